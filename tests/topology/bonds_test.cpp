#include "topology/bonds.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
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

TEST(PointGrid, EmptyAndZeroReachGrids) {
  PointGrid empty(2.0f);
  EXPECT_TRUE(near_ids(empty, Vec3{0, 0, 0}).empty());
  PointGrid tight(0.0f);
  tight.add(7, Vec3{1.0f, 1.0f, 1.0f});
  tight.add(8, Vec3{1.0f, 1.0f, 1.0f});
  tight.add(9, Vec3{1.5f, 1.0f, 1.0f});
  EXPECT_EQ(near_ids(tight, Vec3{1.0f, 1.0f, 1.0f}), (std::vector<int>{7, 8}));
}
