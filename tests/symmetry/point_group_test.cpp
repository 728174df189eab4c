// Point groups from their operations: the kind and axis of single
// operations against textbook matrices, and the names of the 32 groups
// built from generators in any orientation.
#include "symmetry/point_group.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace vorn {
namespace {

Mat3 rot(const Vec3& axis, double deg) {
  const double a = deg * M_PI / 180.0, c = std::cos(a), s = std::sin(a);
  const double n = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
  const double x = axis[0] / n, y = axis[1] / n, z = axis[2] / n;
  auto f = [](double v) { return static_cast<float>(v); };
  return Mat3{{{f(c + x * x * (1 - c)), f(x * y * (1 - c) - z * s), f(x * z * (1 - c) + y * s)},
               {f(y * x * (1 - c) + z * s), f(c + y * y * (1 - c)), f(y * z * (1 - c) - x * s)},
               {f(z * x * (1 - c) - y * s), f(z * y * (1 - c) + x * s), f(c + z * z * (1 - c))}}};
}
Mat3 neg(Mat3 m) {
  for (auto& r : m)
    for (float& v : r) v = -v;
  return m;
}
Mat3 mirror(const Vec3& normal) { return neg(rot(normal, 180)); }

TEST(PointElement, KindAndAxisOfSingleOperations) {
  const Vec3 d{1, 1, 1};
  PointElement e = describe(rot(d, 120));
  EXPECT_EQ(e.symbol, "3");
  EXPECT_NEAR(e.axis[0], 1 / std::sqrt(3.0f), 1e-5);
  EXPECT_EQ(describe(rot({0, 0, 1}, 60)).symbol, "6");
  EXPECT_EQ(describe(rot({0, 1, 0}, 180)).symbol, "2");
  const PointElement m = describe(mirror({1, 1, 0}));
  EXPECT_EQ(m.symbol, "m");
  EXPECT_NEAR(std::fabs(m.axis[0]), std::sqrt(0.5f), 1e-5);
  EXPECT_NEAR(m.axis[2], 0, 1e-5);
  EXPECT_EQ(describe(neg(rot({0, 0, 1}, 0))).symbol, "-1");
  EXPECT_EQ(describe(neg(rot({0, 0, 1}, 120))).symbol, "-3");
  EXPECT_EQ(describe(neg(rot({0, 0, 1}, 90))).symbol, "-4");
  EXPECT_EQ(describe(neg(rot({0, 0, 1}, 60))).symbol, "-6");
  EXPECT_EQ(describe(rot({0, 0, 1}, 0)).symbol, "1");
}

// Each group from its textbook generators, turned to a general
// orientation: its order and its name.
TEST(PointGroupName, TheThirtyTwoGroupsInAnyOrientation) {
  const Vec3 z{0, 0, 1}, x{1, 0, 0}, y{0, 1, 0}, d{1, 1, 1}, xy{1, -1, 0};
  const Mat3 i = neg(rot(z, 0));
  struct Case {
    const char* name;
    std::vector<Mat3> gens;
    std::size_t order;
  };
  const std::vector<Case> cases = {
      {"1", {}, 1},
      {"-1", {i}, 2},
      {"2", {rot(y, 180)}, 2},
      {"m", {mirror(y)}, 2},
      {"2/m", {rot(y, 180), i}, 4},
      {"222", {rot(x, 180), rot(y, 180)}, 4},
      {"mm2", {mirror(x), mirror(y)}, 4},
      {"mmm", {mirror(x), mirror(y), mirror(z)}, 8},
      {"4", {rot(z, 90)}, 4},
      {"-4", {neg(rot(z, 90))}, 4},
      {"4/m", {rot(z, 90), mirror(z)}, 8},
      {"422", {rot(z, 90), rot(x, 180)}, 8},
      {"4mm", {rot(z, 90), mirror(x)}, 8},
      {"-42m", {neg(rot(z, 90)), rot(x, 180)}, 8},
      {"4/mmm", {rot(z, 90), mirror(x), mirror(z)}, 16},
      {"3", {rot(d, 120)}, 3},
      {"-3", {neg(rot(d, 120))}, 6},
      {"32", {rot(d, 120), rot(xy, 180)}, 6},
      {"3m", {rot(d, 120), mirror(xy)}, 6},
      {"-3m", {neg(rot(d, 120)), mirror(xy)}, 12},
      {"6", {rot(z, 60)}, 6},
      {"-6", {neg(rot(z, 60))}, 6},
      {"6/m", {rot(z, 60), i}, 12},
      {"622", {rot(z, 60), rot(x, 180)}, 12},
      {"6mm", {rot(z, 60), mirror(x)}, 12},
      {"-6m2", {neg(rot(z, 60)), mirror(x)}, 12},
      {"6/mmm", {rot(z, 60), mirror(x), i}, 24},
      {"23", {rot(z, 180), rot(x, 180), rot(d, 120)}, 12},
      {"m-3", {rot(z, 180), rot(x, 180), rot(d, 120), i}, 24},
      {"432", {rot(z, 90), rot(d, 120)}, 24},
      {"-43m", {neg(rot(z, 90)), rot(d, 120)}, 24},
      {"m-3m", {rot(z, 90), rot(d, 120), i}, 48},
  };
  const Mat3 turn = rot({0.3f, -0.7f, 0.2f}, 37);
  for (const Case& c : cases) {
    std::vector<Mat3> gens;
    for (const Mat3& g : c.gens) gens.push_back(mul(mul(turn, g), transpose(turn)));
    const std::vector<Mat3> g = close_group(gens);
    EXPECT_EQ(g.size(), c.order) << c.name;
    EXPECT_EQ(point_group_name(g), c.name);
    // The standard orientation is the same group, only turned.
    EXPECT_EQ(point_group_name(standard_group(c.name)), c.name);
    EXPECT_EQ(standard_group(c.name).size(), c.order) << c.name;
  }
  EXPECT_EQ(point_group_names().size(), 32u);
}

TEST(PointGroupName, NoGroupAndNoFiniteClosure) {
  // A 5-fold axis is no crystallographic group; a rotation by 47 degrees
  // does not close within 48 elements.
  EXPECT_EQ(point_group_name(close_group({rot({0, 0, 1}, 72)})), "");
  EXPECT_TRUE(close_group({rot({0, 0, 1}, 47)}).empty());
  EXPECT_TRUE(standard_group("cyl").empty());
  EXPECT_EQ(standard_group("NO").size(), 1u);
}

}  // namespace
}  // namespace vorn
