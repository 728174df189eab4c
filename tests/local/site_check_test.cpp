#include "local/site_check.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "local/local_run.hpp"

namespace vorn::test {
namespace {

using SiteCheckTest = LocalTest;

float det(const Mat3& m) {
  return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

int proper_count(const std::vector<Mat3>& ops) {
  int n = 0;
  for (const Mat3& m : ops) n += det(m) > 0 ? 1 : 0;
  return n;
}

// The groups have their textbook orders, and every operation is a rotation
// or a rotation followed by the inversion.
TEST(SiteOperations, GroupsHaveTheirOrderAndAreOrthogonal) {
  const std::vector<std::pair<std::string, int>> orders = {
      {"NO", 1}, {"-1", 2},   {"2", 2},   {"m", 2},    {"2/m", 4},  {"222", 4},  {"mm2", 4},  {"mmm", 8},
      {"4", 4},  {"-4", 4},   {"4/m", 8}, {"422", 8},  {"4mm", 8},  {"-42m", 8}, {"4/mmm", 16}, {"3", 3},
      {"-3", 6}, {"32", 6},   {"3m", 6},  {"-3m", 12}, {"6", 6},    {"-6", 6},   {"6/m", 12}, {"622", 12},
      {"6mm", 12}, {"-6m2", 12}, {"6/mmm", 24}, {"23", 12}, {"m-3", 24}, {"432", 24}, {"-43m", 24}, {"m-3m", 48}};
  for (const auto& [code, order] : orders) {
    const std::vector<Mat3> ops = site_operations(code);
    EXPECT_EQ(static_cast<int>(ops.size()), order) << code;
    for (const Mat3& m : ops) {
      EXPECT_NEAR(std::fabs(det(m)), 1.0f, 1e-4f) << code;
      for (std::size_t i = 0; i < 3; ++i) EXPECT_NEAR(dot(m[i], m[i]), 1.0f, 1e-4f) << code;
    }
  }
  // Groups without the inversion that hold improper operations: half of
  // them proper.
  EXPECT_EQ(proper_count(site_operations("-42m")), 4);
  EXPECT_EQ(proper_count(site_operations("3m")), 3);
  EXPECT_TRUE(site_operations("xyz").empty());
  EXPECT_EQ(site_operations("mm2  ").size(), 4u);  // padded as stored
}

// A point on a symmetry element stays where it is; the orientations are the
// ones the key masks assume (a point on Z is fixed by every operation of an
// axial group; one in the xz plane by the mirror of 3m; one on the diagonal
// x = y by the two-fold of -42m).
TEST(SiteOperations, ElementsLieAlongTheFrameAxes) {
  auto keeping = [](const std::string& code, const Vec3& p) {
    int kept = 0;
    for (const Mat3& m : site_operations(code)) kept += dist(matvec(m, p), p) < 1e-4f ? 1 : 0;
    return kept;
  };
  for (const char* code : {"2", "mm2", "4", "3", "3m", "6", "cyl", "4mm"})
    EXPECT_EQ(keeping(code, {0, 0, 1}), static_cast<int>(site_operations(code).size())) << code;
  EXPECT_EQ(keeping("m", {1, 2, 0}), 2);     // mirror normal to Z
  EXPECT_EQ(keeping("3m", {1, 0, 2}), 2);    // the mirror normal to Y
  EXPECT_EQ(keeping("mm2", {1, 0, 0}), 2);   // the mirror normal to Y
  EXPECT_EQ(keeping("-42m", {1, 1, 0}), 2);  // the two-fold on the diagonal
  EXPECT_EQ(keeping("-42m", {1, 0, 0}), 2);  // the mirror normal to Y
}

// The rules' frames of ideal groups pass with no misfit: a methyl carbon
// (3m), a methylene carbon (mm2), a carbonyl carbon (m), a methane carbon
// (-42m).
TEST_F(SiteCheckTest, IdealGroupsPass) {
  const Propane p(m, 5);
  const Acetaldehyde a(m, 15);
  define();
  for (int i = 1; i <= run.atoms.nat; ++i) {
    const SiteCheck& c = run.site_check[static_cast<std::size_t>(i)];
    EXPECT_TRUE(c.checked) << run.atoms.label[i];
    EXPECT_TRUE(c.passes) << run.atoms.label[i] << " " << run.atoms.sitesym[i] << " misfit " << c.misfit;
  }
  EXPECT_EQ(axes_of(p.c2), "Z>DUM1 Y>H(21) mm2");
  EXPECT_EQ(t.out.str().find("fails the check"), std::string::npos);
}

// A bent XH2 whose two hydrogens the chemistry takes as equivalent but whose
// bonds differ (0.90 and 1.10 A): "mm2" with Z at the midpoint. The two-fold
// axis maps each H onto the other's bond direction at its own length; the
// misfit is the distance of one H reflected through the Z line in the plane
// of the group to the other H.
TEST_F(SiteCheckTest, FailureIsListedWithTheLargestMisfit) {
  const int o = m.at("O(1)", 5, 5, 5);
  const int h1 = m.polar("H(1)", o, 0.90f, 0);
  const int h2 = m.polar("H(2)", o, 1.10f, 104.5f);
  define();
  ASSERT_EQ(axes_of(o), "Z>DUM1 Y>H(1) mm2");
  const Vec3 v1 = sub(run.atoms.xc[h1], run.atoms.xc[o]), v2 = sub(run.atoms.xc[h2], run.atoms.xc[o]);
  const Vec3 mid = scale(add(v1, v2), 0.5f);
  const Vec3 z = scale(mid, 1.0f / rlength(mid));
  const Vec3 reflected = sub(scale(z, 2.0f * dot(v1, z)), v1);
  const float expected = dist(reflected, v2);
  ASSERT_GT(expected, 0.1f);
  const SiteCheck& c = run.site_check[static_cast<std::size_t>(o)];
  EXPECT_TRUE(c.checked);
  EXPECT_FALSE(c.passes);
  EXPECT_NEAR(c.misfit, expected, 1e-4f);
  const std::string line = ff::format(
      "(' Site symmetry mm2 of O(1) fails the check on its neighbours: largest misfit ',f7.3,' Angstrom')", expected);
  EXPECT_NE(t.out.str().find(line), std::string::npos) << t.out.str();
  EXPECT_TRUE(listed("\n" + line));
  // The choice is kept.
  EXPECT_EQ(run.atoms.sitesym[o], "mm2  ");
}

// The tolerance is the ring planarity tolerance of the control file.
TEST_F(SiteCheckTest, ToleranceIsTheRingTolerance) {
  const int o = m.at("O(1)", 5, 5, 5);
  m.polar("H(1)", o, 0.95f, 0);
  m.polar("H(2)", o, 0.97f, 104.5f);
  define();
  EXPECT_TRUE(run.site_check[static_cast<std::size_t>(o)].passes);
  run.ctl.tol2 = 0.01f;
  EXPECT_FALSE(check_site(run, o, ax[static_cast<std::size_t>(o)], "mm2").passes);
}

// Frames the master file cannot define are not checked.
TEST(SiteFrame, NoFrameWithoutTwoDirections) {
  LocalAxes a;
  a.AX1 = "Z";
  a.AX2 = "X";
  a.P1 = {0, 0, 2};
  a.P2 = {0, 0, -3};  // on the line of the first axis
  Mat3 f{};
  EXPECT_FALSE(local_frame({0, 0, 0}, a, f));
  a.P2 = {1, 1, 1};
  ASSERT_TRUE(local_frame({0, 0, 0}, a, f));
  expect_near(f[2], {0, 0, 1});
  expect_near(f[0], {0.70710678f, 0.70710678f, 0});
  expect_near(f[1], vmult(f[2], f[0]));  // right-handed
  a.AX2 = "Y";
  ASSERT_TRUE(local_frame({0, 0, 0}, a, f));
  expect_near(f[0], vmult(f[1], f[2]));  // right-handed with Z and Y given too
  a.P1 = {0, 0, 0};
  EXPECT_FALSE(local_frame({0, 0, 0}, a, f));
}

}  // namespace
}  // namespace vorn::test
