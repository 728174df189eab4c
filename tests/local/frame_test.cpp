#include "local/frame.hpp"

#include <gtest/gtest.h>

#include "../output/methanol.hpp"

namespace vorn::test {
namespace {

Vec3 unit_of(const Vec3& v) { return scale(v, 1.0f / rlength(v)); }

void expect_near(const Vec3& a, const Vec3& b, const char* what) {
  EXPECT_NEAR(a[0], b[0], 1e-5f) << what;
  EXPECT_NEAR(a[1], b[1], 1e-5f) << what;
  EXPECT_NEAR(a[2], b[2], 1e-5f) << what;
}

// Methanol's O(1): Z towards C(1), X towards the hydroxyl H(1). Built here
// from the positions alone: Z along O->C, X the part of O->H across Z, and
// Y = Z x X so that X, Y, Z are right-handed.
TEST(AtomFrame, AxesFollowTheAxisAtomsAndAreRightHanded) {
  TestRun t;
  vorn::Run& run = t.run;
  build_methanol(run);
  const AtomFrame f = atom_frame(run, 1);
  ASSERT_TRUE(f.defined);
  EXPECT_EQ(f.ax1, 'Z');
  EXPECT_EQ(f.ax2, 'X');
  EXPECT_EQ(f.hand, 'R');
  EXPECT_EQ(axis_label(run, f.atom0), "C(1)");
  EXPECT_EQ(axis_label(run, f.atom2), "H(1)");

  const Vec3 o = run.atoms.xc[1];
  const Vec3 z = unit_of(sub(run.atoms.xc[2], o));
  const Vec3 oh = sub(run.atoms.xc[3], o);
  const Vec3 x = unit_of(sub(oh, scale(z, dot(oh, z))));
  const Vec3 y = vmult(z, x);
  expect_near(f.axis[0], x, "X");
  expect_near(f.axis[1], y, "Y");
  expect_near(f.axis[2], z, "Z");
  EXPECT_NEAR(dot(vmult(f.axis[0], f.axis[1]), f.axis[2]), 1.0f, 1e-5f);
}

// H(1) takes its X from dummy 1, stored fractional: (0.7, 0.6, 0.5) of a
// 10 A cube is (7, 6, 5) A.
TEST(AtomFrame, DummyPointsAreTakenFromTheirFractionalPositions) {
  TestRun t;
  vorn::Run& run = t.run;
  build_methanol(run);
  EXPECT_EQ(axis_label(run, run.atoms.nat + 1), "DUM1");
  const Cart p = axis_point(run, run.atoms.nat + 1);
  expect_near(p, Vec3{7.0f, 6.0f, 5.0f}, "dummy");
  const AtomFrame f = atom_frame(run, 3);
  ASSERT_TRUE(f.defined);
  const Vec3 h = run.atoms.xc[3];
  const Vec3 w = sub(p, h);
  const Vec3 z = f.axis[2];
  expect_near(z, unit_of(sub(run.atoms.xc[1], h)), "Z towards O(1)");
  // X lies in the plane of the three points, on the side of the dummy.
  EXPECT_NEAR(dot(vmult(z, w), f.axis[0]), 0.0f, 1e-5f);
  EXPECT_GT(dot(w, f.axis[0]), 0.0f);
}

// A frame needs two directions: an axis point on the atom, or a second
// point on the line of the first, defines none, and nothing is invented.
TEST(AtomFrame, CollinearOrCoincidentPointsDefineNoFrame) {
  TestRun t;
  vorn::Run& run = t.run;
  build_methanol(run);
  run.mpoles[2].atom2 = 1;  // C(1): Z and X both towards O(1)
  EXPECT_FALSE(atom_frame(run, 2).defined);
  run.mpoles[2].atom2 = 4;
  run.mpoles[2].atom0 = 2;  // C(1) on itself
  const AtomFrame f = atom_frame(run, 2);
  EXPECT_FALSE(f.defined);
  EXPECT_EQ(rlength(f.axis[0]) + rlength(f.axis[1]) + rlength(f.axis[2]), 0.0f);
  run.mpoles[2].atom0 = 0;  // an axis atom the table does not know
  EXPECT_FALSE(atom_frame(run, 2).defined);
  EXPECT_FALSE(atom_frame(run, 99).defined);
}

}  // namespace
}  // namespace vorn::test
