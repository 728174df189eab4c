#include "topology/planarity.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "topology/molecules.hpp"

namespace vorn::test {
namespace {

TEST(EigenSolver, TextbookTridiagonalMatrix) {
  // [[2,-1,0],[-1,2,-1],[0,-1,2]]: eigenvalues 2 - sqrt 2, 2, 2 + sqrt 2.
  Mat3 a{{{2, -1, 0}, {-1, 2, -1}, {0, -1, 2}}};
  Vec3 d{}, e{};
  Mat3 z{};
  tred2(a, d, e, z);
  ASSERT_EQ(tql2(d, e, z), 0);
  EXPECT_NEAR(d[0], 2.0f - std::sqrt(2.0f), 1e-5f);
  EXPECT_NEAR(d[1], 2.0f, 1e-5f);
  EXPECT_NEAR(d[2], 2.0f + std::sqrt(2.0f), 1e-5f);
  for (int col = 0; col < 3; ++col) {
    Vec3 v{z[0][col], z[1][col], z[2][col]};
    EXPECT_NEAR(rlength(v), 1.0f, 1e-5f);
    Vec3 av = matvec(a, v);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(av[i], d[col] * v[i], 1e-5f);
  }
  // The smallest eigenvector is (1, sqrt 2, 1) / 2 up to its sign.
  EXPECT_NEAR(std::fabs(z[1][0]), std::sqrt(2.0f) / 2.0f, 1e-5f);
}

TEST(EigenSolver, DiagonalAndDegenerateMatrices) {
  Mat3 a{{{3, 0, 0}, {0, 1, 0}, {0, 0, 2}}};
  Vec3 d{}, e{};
  Mat3 z{};
  tred2(a, d, e, z);
  ASSERT_EQ(tql2(d, e, z), 0);
  EXPECT_FLOAT_EQ(d[0], 1.0f);
  EXPECT_FLOAT_EQ(d[1], 2.0f);
  EXPECT_FLOAT_EQ(d[2], 3.0f);
  EXPECT_FLOAT_EQ(std::fabs(z[1][0]), 1.0f);

  Mat3 zero{};
  tred2(zero, d, e, z);
  ASSERT_EQ(tql2(d, e, z), 0);
  EXPECT_EQ(d, (Vec3{0, 0, 0}));
}

TEST(Pythag, OverflowSafeHypotenuse) {
  EXPECT_NEAR(pythag(3.0f, 4.0f), 5.0f, 1e-6f);
  EXPECT_NEAR(pythag(3.0e30f, 4.0e30f), 5.0e30f, 1e24f);
  EXPECT_EQ(pythag(0.0f, 0.0f), 0.0f);
  EXPECT_NEAR(pythag(-1.0e-30f, 1.0e-30f), 1.41421356e-30f, 1e-36f);
}

TEST(Planarity, RegularHexagonInATiltedPlaneIsPlanar) {
  TestRun t;
  const Vec3 u = unit({1, 1, 0}), v = unit({-1, 1, 2});
  auto c = benzene(t.run, Cart(3.0f, -2.0f, 5.0f), "", false, u, v);
  Plane p;
  EXPECT_EQ(planarity(t.run, 0, c, 2, p), 1);
  EXPECT_NEAR(p.sigpln, 0.0f, 1e-4f);
  const Vec3 n = unit(vmult(u, v));
  EXPECT_NEAR(std::fabs(dot(p.normal, n)), 1.0f, 1e-5f);
  EXPECT_NEAR(p.s, dot(p.normal, {3.0f, -2.0f, 5.0f}), 1e-4f);
  EXPECT_TRUE(t.lst.str().empty());
}

TEST(Planarity, ChairRingIsNotPlanarAtTheDefaultTolerance) {
  TestRun t;
  auto c = cyclohexane_chair(t.run, Cart(0, 0, 0));
  Plane p;
  EXPECT_EQ(planarity(t.run, 0, c, 2, p), 0);
  EXPECT_NEAR(p.sigpln, std::sqrt(6.0f * 0.0625f / 3.0f), 1e-4f);
  // A tolerance above the deviation turns the verdict; equal counts as planar.
  t.run.ctl.tol2 = 0.4f;
  EXPECT_EQ(planarity(t.run, 0, c, 2), 1);
  t.run.ctl.tol2 = 0.1f;
  t.run.ctl.tol3 = 0.4f;
  EXPECT_EQ(planarity(t.run, 0, c, 3), 1);
}

TEST(Planarity, ThreeAtomsOrFewerAreAlwaysPlanar) {
  TestRun t;
  int a = add_atom(t.run, "C1", {0, 0, 0});
  int b = add_atom(t.run, "O1", {1.43f, 0, 0});
  int h = add_atom(t.run, "H1", {1.75f, 0.91f, 0.2f});
  Plane p;
  const int three[] = {a, b, h};
  t.run.ctl.iverb = 3;
  EXPECT_EQ(planarity(t.run, 1, three, 3, p), 1);
  EXPECT_EQ(p.sigpln, 0.0f);
  EXPECT_TRUE(has_line(t.lst.str(), "     Esd atoms from the plane (sigpln) =       0.0000 ( tol =   0.1000 )"));
  const int two[] = {a, b};
  EXPECT_EQ(planarity(t.run, 0, two, 3), 1);
  EXPECT_EQ(planarity(t.run, 0, std::span<const int>(), 3), 1);
}

TEST(Planarity, ListingFollowsPrintSwitchAndVerbosity) {
  TestRun t;
  auto c = cyclohexane_chair(t.run, Cart(0, 0, 0));
  std::vector<int> ring = c;
  ring.push_back(c[0] + 6);  // a seventh atom: labels go six to a line

  t.run.ctl.iverb = 4;
  planarity(t.run, 0, c, 2);
  EXPECT_TRUE(t.lst.str().empty());

  t.run.ctl.iverb = 1;
  planarity(t.run, 1, ring, 2);
  EXPECT_EQ(trimmed_lines(t.lst.str()),
            "\n Planarity test for   7-atom ring :\n\n"
            "  C1        C2        C3        C4        C5        C6\n"
            "  H1A\n"
            "\n     Esd atoms from the plane (sigpln) =       0.6111 ( tol =   0.1000 )\n"
            "\n     This ring is planar = .F.\n");

  t.lst.str("");
  t.run.ctl.iverb = 2;
  planarity(t.run, 1, c, 3);
  const auto lines = lines_of(t.lst.str());
  ASSERT_EQ(lines.size(), 17u);
  EXPECT_EQ(lines[1], " Planarity test for   6-atom group : ");
  EXPECT_EQ(lines[5].substr(0, 15), "     P Q R S = ");
  EXPECT_EQ(lines[7], "       dist. from C1       to lsq plane =      0.250 Ang");
  EXPECT_EQ(lines[8], "       dist. from C2       to lsq plane =     -0.250 Ang");
  EXPECT_EQ(lines[16], "     This group is planar = .F.");
}

}  // namespace
}  // namespace vorn::test
