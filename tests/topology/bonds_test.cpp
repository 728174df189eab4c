#include "topology/bonds.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <utility>
#include <vector>

using namespace vorn;

namespace {

std::vector<int> near_ids(const PointGrid& g, const Vec3& p) {
  std::vector<int> ids;
  g.near(p, [&](int id) { ids.push_back(id); });
  std::sort(ids.begin(), ids.end());
  return ids;
}

}  // namespace

// Enough points to make the cell table grow several times, a few far out
// (cells clamped) and some on one site: every point within reach of a query
// comes out exactly once.
TEST(PointGrid, NearGivesEveryPointWithinReachOnce) {
  const float reach = 3.2f;
  PointGrid grid(reach);
  std::vector<Vec3> pts;
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> u(-20.0f, 20.0f);
  for (int i = 0; i < 3000; ++i) {
    Vec3 x{u(rng), u(rng), u(rng)};
    if (i % 50 == 0) x = Vec3{x[0] * 1.0e7f, x[1], -x[2] * 1.0e7f};
    if (i % 37 == 0 && i > 0) x = pts.back();
    pts.push_back(x);
    grid.add(i, x);
  }
  for (int q = 0; q < 300; ++q) {
    const Vec3 p = q % 3 == 0 ? pts[static_cast<std::size_t>(q * 7)] : Vec3{u(rng), u(rng), u(rng)};
    const std::vector<int> got = near_ids(grid, p);
    ASSERT_TRUE(std::adjacent_find(got.begin(), got.end()) == got.end()) << q;
    for (int i = 0; i < static_cast<int>(pts.size()); ++i) {
      if (dist(p, pts[static_cast<std::size_t>(i)]) <= reach) {
        ASSERT_TRUE(std::binary_search(got.begin(), got.end(), i)) << "query " << q << " point " << i;
      }
    }
  }
}

// A query for a smaller radius skips whole cells; points at that radius,
// on cell faces and on the clamped far cells must still come out, with the
// squared distance the caller would compute.
TEST(PointGrid, NearSqGivesEveryPointWithinTheRadiusAndItsSquaredDistance) {
  const float reach = 2.0f;
  PointGrid grid(reach);
  std::vector<Vec3> pts;
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> u(-12.0f, 12.0f);
  const float size = reach * 1.01f + 0.01f;  // the grid's cell width
  for (int i = 0; i < 2000; ++i) {
    Vec3 x{u(rng), u(rng), u(rng)};
    if (i % 4 == 0) x[0] = size * static_cast<float>(static_cast<int>(x[0] / size));  // on a cell face
    if (i % 40 == 0) x = Vec3{x[0] * 1.0e7f, -x[1] * 1.0e7f, x[2]};
    pts.push_back(x);
    grid.add(i, x);
  }
  for (int q = 0; q < 400; ++q) {
    const float radius = q % 4 == 0 ? 0.002f : 0.4f + 0.4f * static_cast<float>(q % 5);
    Vec3 p = q % 2 == 0 ? pts[static_cast<std::size_t>(q * 5)] : Vec3{u(rng), u(rng), u(rng)};
    if (q % 6 == 1) p[1] += radius;  // a point exactly at the radius
    std::vector<std::pair<int, float>> got;
    grid.near_sq(p, radius, [&](int id, float d2) { got.emplace_back(id, d2); });
    for (const auto& [id, d2] : got) {
      const Vec3& x = pts[static_cast<std::size_t>(id)];
      const float dx = x[0] - p[0], dy = x[1] - p[1], dz = x[2] - p[2];
      ASSERT_EQ(d2, dx * dx + dy * dy + dz * dz);
    }
    for (int i = 0; i < static_cast<int>(pts.size()); ++i) {
      if (dist(p, pts[static_cast<std::size_t>(i)]) > radius) continue;
      const bool found = std::any_of(got.begin(), got.end(), [&](const auto& g) { return g.first == i; });
      ASSERT_TRUE(found) << "query " << q << " point " << i;
    }
  }
}

TEST(PointGrid, EmptyAndZeroReachGrids) {
  PointGrid empty(2.0f);
  EXPECT_TRUE(near_ids(empty, Vec3{0, 0, 0}).empty());
  PointGrid tight(0.0f);
  tight.add(7, Vec3{1.0f, 1.0f, 1.0f});
  tight.add(8, Vec3{1.0f, 1.0f, 1.0f});
  tight.add(9, Vec3{1.5f, 1.0f, 1.0f});
  EXPECT_EQ(near_ids(tight, Vec3{1.0f, 1.0f, 1.0f}), (std::vector<int>{7, 8}));
}

// The fixed grid hands out the very points of the growing one, whatever the
// radius (beyond the reach too), for points far out, on one site and not
// finite.
TEST(PointCells, NearSqGivesThePointsOfPointGrid) {
  const float reach = 2.5f;
  PointGrid grid(reach);
  std::vector<Vec3> pts;
  std::mt19937 rng(23);
  std::uniform_real_distribution<float> u(-15.0f, 15.0f);
  for (int i = 0; i < 2500; ++i) {
    Vec3 x{u(rng), u(rng), u(rng)};
    if (i % 45 == 0) x = Vec3{x[0] * 1.0e5f, x[1], x[2]};
    if (i % 31 == 0 && i > 0) x = pts.back();
    if (i == 1000) x[1] = std::numeric_limits<float>::quiet_NaN();
    pts.push_back(x);
    grid.add(i, x);
  }
  const PointCells cells(reach, pts);
  auto sorted = [](std::vector<std::pair<int, float>> v) {
    std::sort(v.begin(), v.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return v;
  };
  for (int q = 0; q < 500; ++q) {
    const float radius = q % 5 == 0 ? 0.003f : (q % 7 == 0 ? 4.0f : 0.5f * static_cast<float>(q % 6));
    Vec3 p = q % 2 == 0 ? pts[static_cast<std::size_t>(q * 3)] : Vec3{u(rng), u(rng), u(rng)};
    if (q % 4 == 1) p[2] += radius;
    std::vector<std::pair<int, float>> a, b;
    grid.near_sq(p, radius, [&](int id, float d2) { a.emplace_back(id, d2); });
    cells.near_sq(p, radius, [&](int id, float d2) { b.emplace_back(id, d2); });
    // A point that is not finite is handed out by the fixed grid (its
    // distance decides for the caller); the growing one may not see it.
    std::erase_if(b, [&](const auto& e) { return e.first == 1000; });
    std::erase_if(a, [&](const auto& e) { return e.first == 1000; });
    ASSERT_EQ(sorted(a), sorted(b)) << "query " << q;
  }
}

// Every pair of points within the reach comes out of the pair scan, and no
// pair twice, with points on cell faces, on one site and far out (cells
// grown to keep their number down).
TEST(PointCells, EachClosePairGivesEveryPairWithinReachOnce) {
  const float reach = 2.2f;
  std::vector<Vec3> pts;
  std::mt19937 rng(31);
  std::uniform_real_distribution<float> u(-10.0f, 10.0f);
  const float size = reach * 1.01f + 0.01f;
  for (int i = 0; i < 1500; ++i) {
    Vec3 x{u(rng), u(rng), u(rng)};
    if (i % 5 == 0) x[1] = size * static_cast<float>(static_cast<int>(x[1] / size));
    if (i % 29 == 0 && i > 0) x = pts.back();
    if (i % 300 == 7) x = Vec3{x[0] * 1.0e4f, x[1], x[2]};
    pts.push_back(x);
  }
  std::vector<int> ids(pts.size());
  for (std::size_t k = 0; k < ids.size(); ++k) ids[k] = static_cast<int>(10 + k);
  std::vector<std::pair<int, int>> got;
  PointCells(reach, pts, ids).each_close_pair([&](int a, const Vec3& xa, int b, const Vec3& xb) {
    ASSERT_EQ(xa, pts[static_cast<std::size_t>(a - 10)]);
    ASSERT_EQ(xb, pts[static_cast<std::size_t>(b - 10)]);
    got.emplace_back(std::min(a, b), std::max(a, b));
  });
  std::sort(got.begin(), got.end());
  ASSERT_TRUE(std::adjacent_find(got.begin(), got.end()) == got.end());
  for (std::size_t i = 0; i < pts.size(); ++i)
    for (std::size_t j = i + 1; j < pts.size(); ++j)
      if (dist(pts[i], pts[j]) <= reach) {
        ASSERT_TRUE(std::binary_search(got.begin(), got.end(), std::pair{ids[i], ids[j]})) << i << ' ' << j;
      }
}
