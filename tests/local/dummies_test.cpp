#include "local/dummies.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "base/error.hpp"
#include "support/builders.hpp"

namespace vorn {
namespace {

using test::add_atom;
using test::TestRun;

// An orthorhombic cell of 10 x 12 x 8 A.
void orthorhombic(vorn::Run& r) {
  r.ctl.ifrac = 1;
  r.transf.M = {{{10, 0, 0}, {0, 12, 0}, {0, 0, 8}}};
  r.transf.Minv = {{{0.1f, 0, 0}, {0, 1.0f / 12, 0}, {0, 0, 0.125f}}};
}

void expect_near(const Vec3& a, const Vec3& b, float tol = 1e-5f) {
  for (std::size_t k = 0; k < 3; ++k) EXPECT_NEAR(a[k], b[k], tol) << "component " << k;
}

TEST(AddDummy, ReusedWithinATenthOfAnAngstrom) {
  TestRun t;
  vorn::Run& r = t.run;
  orthorhombic(r);
  Vec3 cart{};
  EXPECT_EQ(adddummyatom(r, 1, {0.25f, 0.5f, 0.125f}, cart), 1);
  expect_near(cart, {2.5f, 6.0f, 1.0f});
  EXPECT_EQ(r.dummy.label[1], "DUM1  ");
  expect_near(r.dummy.x[1], {0.25f, 0.5f, 0.125f});  // stored fractional

  // 0.05 A away, given in Cartesian: the existing dummy and its position
  EXPECT_EQ(adddummyatom(r, 0, {2.55f, 6.0f, 1.0f}, cart), 1);
  expect_near(cart, {2.5f, 6.0f, 1.0f});
  EXPECT_EQ(r.dummy.n, 1);

  // 0.15 A away: a new one, stored fractional
  EXPECT_EQ(adddummyatom(r, 0, {2.5f, 6.15f, 1.0f}, cart), 2);
  expect_near(cart, {2.5f, 6.15f, 1.0f});
  expect_near(r.dummy.x[2], {0.25f, 0.5125f, 0.125f});
  EXPECT_EQ(r.dummy.n, 2);
}

TEST(AddDummy, ATenthOfAnAngstromMakesANewOne) {
  TestRun t;
  vorn::Run& r = t.run;
  r.ctl.ifrac = 0;  // Cartesian input: dummies are stored Cartesian
  Vec3 cart{};
  EXPECT_EQ(adddummyatom(r, 0, {3.0f, 0, 0}, cart), 1);
  EXPECT_EQ(adddummyatom(r, 0, {3.0f, 0.05f, 0}, cart), 1);
  EXPECT_EQ(adddummyatom(r, 0, {3.0f, 0, 0.1f}, cart), 2);
  expect_near(r.dummy.x[2], {3.0f, 0, 0.1f});
  // the first dummy in range wins, even when a later one is nearer
  EXPECT_EQ(adddummyatom(r, 0, {3.0f, 0, 0.06f}, cart), 1);
}

TEST(DummyLabels, OneTwoAndThreeDigitsThenStop) {
  TestRun t;
  vorn::Run& r = t.run;
  r.ctl.ifrac = 0;
  Vec3 cart{};
  for (int i = 1; i <= 999; ++i) ASSERT_EQ(adddummyatom(r, 0, {float(i % 10), float(i / 10 % 10), float(i / 100)}, cart), i);
  EXPECT_EQ(r.dummy.label[1], "DUM1  ");
  EXPECT_EQ(r.dummy.label[10], "DUM10 ");
  EXPECT_EQ(r.dummy.label[100], "DUM100");
  EXPECT_EQ(r.dummy.label[999], "DUM999");
  try {
    adddummyatom(r, 0, {20.0f, 20.0f, 20.0f}, cart);
    FAIL() << "no stop";
  } catch (const VornError& e) {
    EXPECT_EQ(e.routine(), "DummyLab");
    EXPECT_EQ(e.message(), "DUMMY label exceeds format...");
  }
}

// Hydroxyl O1-H1 on C1 (atoms 1..3), and images O1' (4) and C1' (5) made
// by the fragment completion; the axes of C1 point at the images.
struct WithImages {
  TestRun t;
  WithImages() {
    vorn::Run& r = t.run;
    orthorhombic(r);
    add_atom(r, "C1", Cart(2.0f, 3.0f, 1.0f));
    add_atom(r, "O1", Cart(3.43f, 3.0f, 1.0f));
    add_atom(r, "H1", Cart(3.75f, 3.9f, 1.0f));
    add_atom(r, "O1", Cart(1.30f, 4.25f, 1.0f));  // image of O1
    add_atom(r, "C1", Cart(1.30f, 4.25f, 2.5f));  // image of C1
    r.atoms.nat = 3;
  }
};

TEST(SymmetryEquivalentAxisAtoms, GeneratedAtomReplacedByDummyOnce) {
  WithImages w;
  vorn::Run& r = w.t.run;
  r.axes.ATOM0 = pad("O1", 8);
  r.axes.AX1 = "X";
  r.axes.P1 = r.atoms.xc[4];
  r.axes.ATOM2 = pad("O1", 8);  // the read O1
  r.axes.AX2 = "Y";
  r.axes.P2 = r.atoms.xc[2];
  checksymeq(r);
  EXPECT_EQ(r.axes.ATOM0, "DUM1    ");
  EXPECT_EQ(r.axes.ATOM2, "O1      ");
  EXPECT_EQ(r.dummy.n, 1);
  expect_near(r.dummy.x[1], r.atoms.xf[4]);
  EXPECT_EQ(w.t.lst.str(),
            "\n Atom O1 used in definition of X-axis is symmetry-generated; replace with dummy    1\n");
}

TEST(SymmetryEquivalentAxisAtoms, BothAxesNumberedInAtomOrder) {
  WithImages w;
  vorn::Run& r = w.t.run;
  // a second image on the very same site as atom 5 does not make a second dummy
  r.atoms.nat = r.cryst.ncryst;
  add_atom(r, "C1", Cart(1.30f, 4.25f, 2.5f));
  r.atoms.nat = 3;
  r.axes.ATOM0 = pad("C1", 8);
  r.axes.AX1 = "Z";
  r.axes.P1 = r.atoms.xc[5];
  r.axes.ATOM2 = pad("O1", 8);
  r.axes.AX2 = "X";
  r.axes.P2 = r.atoms.xc[4];
  checksymeq(r);
  EXPECT_EQ(r.axes.ATOM2, "DUM1    ");  // atom 4 comes first
  EXPECT_EQ(r.axes.ATOM0, "DUM2    ");
  EXPECT_EQ(r.dummy.n, 2);
}

TEST(AxisGeometry, MidpointAndAngles) {
  expect_near(midpoint({1.0f, 2.0f, 3.0f}, {2.0f, -2.0f, 4.0f}), {1.5f, 0.0f, 3.5f});
  // water, H-O-H 104.5 deg
  const Vec3 o{0, 0, 0};
  const Vec3 h1{0.96f, 0, 0};
  const Vec3 h2{0.96f * cosd(104.5f), 0.96f * sind(104.5f), 0};
  EXPECT_NEAR(calcang(h1, o, h2), 104.5f, 1e-3f);
  EXPECT_NEAR(calcang({0, 0, 1.5f}, o, {1.2f, 0, 0}), 90.0f, 1e-4f);
}

TEST(AxisGeometry, StraightAnglesStayFinite) {
  // nitrile-like chains in general directions: the cosine may round past -1
  for (int i = 1; i <= 200; ++i) {
    const Vec3 dir{0.3f + 0.01f * i, -0.7f + 0.003f * i, 0.11f * i};
    const Vec3 b{1.7f, -2.3f, 0.9f};
    const Vec3 a = add(b, scale(dir, 1.16f));
    const Vec3 c = add(b, scale(dir, -1.46f));
    const float ang = calcang(a, b, c);
    ASSERT_TRUE(std::isfinite(ang)) << i;
    EXPECT_NEAR(ang, 180.0f, 0.05f) << i;
  }
}

TEST(AxisGeometry, CoincidingPointsGiveZeroNotNaN) {
  const Vec3 b{1.0f, 2.0f, 3.0f};
  EXPECT_EQ(calcang(b, b, {2.0f, 2.0f, 3.0f}), 0.0f);
  EXPECT_EQ(calcang({2.0f, 2.0f, 3.0f}, b, b), 0.0f);
  const auto tips = getdummy(b, {Vec3{0, 0, 0}, Vec3{0, 3.0f, 0}, Vec3{0, 0, 0}});
  expect_near(tips[0], b);
  expect_near(tips[1], {1.0f, 2.2f, 3.0f});
  expect_near(tips[2], b);
}

TEST(AxisGeometry, AngleLine) {
  TestRun t;
  vorn::Run& r = t.run;
  add_atom(r, "O1", Cart(0, 0, 0));
  add_atom(r, "C1", Cart(1.23f, 0, 0));
  add_atom(r, "N1", Cart(1.23f - 1.35f * cosd(60.0f), 1.35f * sind(60.0f), 0));
  std::ostringstream os;
  prtang(r, os, 1, 2, 3, calcang(r.atoms.xc[1], r.atoms.xc[2], r.atoms.xc[3]));
  EXPECT_EQ(os.str(), "\n Angle   O1 - C1 - N1 =    60.00 deg.\n");
}

TEST(AxisGeometry, DummyLabelOfAnAtomIndex) {
  EXPECT_EQ(getdummylabel(12), "12");
  EXPECT_EQ(getdummylabel(20000), "20000");
  EXPECT_EQ(getdummylabel(7), "7");
  EXPECT_EQ(getdummylabel(2147483647), "2147483647");
}

// An amide carbon at (1, 1, 1): O along +x, N at 120 deg in the xy plane.
struct Drawing {
  TestRun t;
  std::ostringstream spf;
  Drawing() {
    vorn::Run& r = t.run;
    r.spf.attach(spf);
    for (int i = 1; i <= 11; ++i) add_atom(r, "H" + std::to_string(i), Cart(10.0f + 2 * i, 10, 10));
    add_atom(r, "C12", Cart(1, 1, 1));
  }
  void axes(const char* ax1, const Vec3& p1, const char* ax2, const Vec3& p2) {
    t.run.axes.AX1 = ax1;
    t.run.axes.AX2 = ax2;
    t.run.axes.P1 = p1;
    t.run.axes.P2 = p2;
    loc2plat(t.run, 12);
  }
};

const Vec3 kO{2.23f, 1, 1};                                    // C=O 1.23 A along +x
const Vec3 kN{1 - 1.35f * 0.5f, 1 + 1.35f * 0.8660254f, 1};   // C-N 1.35 A at 120 deg

TEST(AxisDrawing, XAndYGiveZAlongTheirProduct) {
  Drawing d;
  d.axes("X", kO, "Y", kN);
  EXPECT_EQ(d.spf.str(),
            "ATOM C12              1.0000      1.0000      1.0000\n"
            "ATOM X12              1.2000      1.0000      1.0000\n"
            "ATOM Y12              1.0000      1.2000      1.0000\n"
            "ATOM Z12              1.0000      1.0000      1.2000\n");
}

TEST(AxisDrawing, ZAndXGiveYAlongZCrossX) {
  Drawing d;
  // Z towards an atom above, X towards the O
  d.axes("Z", {1, 1, 2.5f}, "X", kO);
  EXPECT_EQ(d.spf.str(),
            "ATOM C12              1.0000      1.0000      1.0000\n"
            "ATOM X12              1.2000      1.0000      1.0000\n"
            "ATOM Y12              1.0000      1.2000      1.0000\n"
            "ATOM Z12              1.0000      1.0000      1.2000\n");
}

TEST(AxisDrawing, ZAndYDrawARightHandedX) {
  Drawing d;
  // a hydrogen-like system: Z towards the parent above, Y towards an atom along +y
  d.axes("Z", {1, 1, 2.09f}, "Y", {1, 2.35f, 1.4f});
  const std::string s = d.spf.str();
  // Y x Z, not Z x Y: the tip lies on +x as the "R" of the axis line says
  EXPECT_NE(s.find("ATOM X12              1.2000      1.0000      1.0000\n"), std::string::npos) << s;
  EXPECT_NE(s.find("ATOM Y12              1.0000      1.2000      1.0000\n"), std::string::npos) << s;
  EXPECT_NE(s.find("ATOM Z12              1.0000      1.0000      1.2000\n"), std::string::npos) << s;
}

TEST(AxisDrawing, CollinearAxisAtomsDrawNoNaN) {
  Drawing d;
  d.axes("Z", {1, 1, 2.5f}, "X", {1, 1, 3.5f});
  const std::string s = d.spf.str();
  EXPECT_EQ(s.find("NaN"), std::string::npos) << s;
  EXPECT_EQ(s.find("nan"), std::string::npos) << s;
  EXPECT_NE(s.find("ATOM Z12              1.0000      1.0000      1.2000\n"), std::string::npos) << s;
  EXPECT_NE(s.find("ATOM X12              1.0000      1.0000      1.0000\n"), std::string::npos) << s;
}

TEST(AxisDrawing, UnsetAxisLettersStopTheRun) {
  Drawing d;
  EXPECT_THROW(d.axes(" ", kO, "Y", kN), VornError);
  EXPECT_THROW(d.axes("Y", kO, "Y", kN), VornError);
}

}  // namespace
}  // namespace vorn
