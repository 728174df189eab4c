#include "local/axes.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "base/text.hpp"
#include "control/run_sequence.hpp"
#include "local/dummies.hpp"
#include "local/local_run.hpp"
#include "local/site_check.hpp"

namespace vorn::test {
namespace {

using AxesTest = LocalTest;

TEST_F(AxesTest, CarbonylGroupOfAcetaldehyde) {
  Acetaldehyde a(m, 5);
  define();
  // O=C: X along the bond, Y at the first neighbour of C with a fitting angle
  // (C-H is the shortest bond of C after C=O).
  EXPECT_EQ(axes_of(a.o1), "X>C(1) Y>H(1) m");
  EXPECT_TRUE(listed("\n Angle   O(1) - C(1) - H(1) =   120.00 deg.\n"));
  // The planar sp2 carbon with three different neighbours: O first, then C.
  EXPECT_EQ(axes_of(a.c1), "X>O(1) Y>C(2) m");
  EXPECT_TRUE(listed("\n Atomic group ( 4 atoms) planarity (lPG) = .T.\n"));
  EXPECT_TRUE(listed("\n is =    0\n\n Label =   300\n"));
  // The aldehyde H: Z at its carbon, Y at the nearest heavy atom around it.
  EXPECT_EQ(axes_of(a.h1), "Z>C(1) Y>O(1) cyl");
  EXPECT_EQ(run.forh[static_cast<std::size_t>(a.h1)], (std::array<int, 3>{3, 6, 1}));
}

// Terminal halogens whose parent holds an equivalent pair: BrCH2-CH3 and
// CF3-CH3. Each halogen's mirror (the plane of its X and Y axes) must hold
// the parent's neighbour outside the pair, so that it maps the pair onto
// itself; the check takes the parent's other neighbours and passes. A Y
// towards an H of the CH2 group (the nearest other neighbour) gives no
// mirror, and the check says so.
TEST_F(AxesTest, TerminalHalogenMirrorHoldsTheParentsUniqueNeighbour) {
  const int cb = m.at("C(1)", 5, 5, 5);
  const int cb2 = m.polar("C(2)", cb, 1.52f, 0);
  const int br = m.polar("BR(1)", cb, 1.94f, 110);
  m.place("H(11)", cb, 1.09f, cb2, 109.5f, br, 120);
  m.place("H(12)", cb, 1.09f, cb2, 109.5f, br, -120);
  hydrogens3(m, "H(2", cb2, cb, br);
  const int cf = m.at("C(3)", 15, 15, 15);
  const int cm = m.polar("C(4)", cf, 1.50f, 0);
  std::vector<int> f{m.polar("F(1)", cf, 1.33f, 110)};
  f.push_back(m.place("F(2)", cf, 1.33f, cm, 110.0f, f[0], 120));
  f.push_back(m.place("F(3)", cf, 1.33f, cm, 110.0f, f[0], -120));
  hydrogens3(m, "H(4", cm, cf, f[0]);
  define();

  auto mirror_holds = [&](int atom, int other) {
    Mat3 fr{};
    EXPECT_TRUE(local_frame(run.atoms.xc[atom], ax[static_cast<std::size_t>(atom)], fr));
    // Distance of the atom from the plane of X and Y through the centre.
    return std::fabs(dot(fr[2], sub(run.atoms.xc[other], run.atoms.xc[atom])));
  };
  EXPECT_EQ(axes_of(br), "X>C(1) Y>C(2) m");
  EXPECT_LT(mirror_holds(br, cb2), 1e-4f);
  EXPECT_TRUE(run.site_check[static_cast<std::size_t>(br)].passes);
  for (int fk : f) {
    EXPECT_EQ(axes_of(fk), "X>C(3) Y>C(4) m") << run.atoms.label[fk];
    EXPECT_LT(mirror_holds(fk, cm), 1e-4f);
    const SiteCheck& c = run.site_check[static_cast<std::size_t>(fk)];
    EXPECT_TRUE(c.checked && c.passes) << run.atoms.label[fk] << " misfit " << c.misfit;
  }
  // The old choice for Br, Y towards H(11): the second shell shows that the
  // plane Br-C-H is no mirror (H(12) lands far from any H).
  LocalAxes wrong = ax[static_cast<std::size_t>(br)];
  wrong.ATOM2 = "H(11)";
  wrong.P2 = run.atoms.xc[static_cast<std::size_t>(br + 1)];
  EXPECT_GT(check_site(run, br, wrong, "m").misfit, 1.0f);
  EXPECT_TRUE(listed(" Y towards C(2), the neighbour of C(1) outside its equivalent pair H(11) H(12)"));
}

// The phenyl diene: the ipso carbon pairs only its two ring neighbours (Z
// towards the vinyl carbon, "mm2"), and the chain carbon between a double
// and a single bond pairs nothing ("m"); both fit their neighbours.
TEST_F(AxesTest, RingAndBondLengthKeepUnlikeNeighboursApart) {
  const PhenylDiene d(m, Cart(8, 8, 8));
  define();
  EXPECT_EQ(axes_of(d.ipso), "Z>C(7) X>C(2) mm2");
  EXPECT_EQ(rtrim(run.atoms.sitesym[d.cb]), "m");
  for (int i : {d.ipso, d.cb})
    EXPECT_TRUE(run.site_check[static_cast<std::size_t>(i)].passes) << run.atoms.label[i];
}

TEST_F(AxesTest, MethylCarbonHasThreefoldSymmetryAlongItsCarbonBond) {
  Acetaldehyde a(m, 5);
  define();
  EXPECT_EQ(axes_of(a.c2), "Z>C(1) X>H(21) 3m");
  EXPECT_TRUE(listed("\n Same atoms :      5     6\n\n Same atoms :      5     7\n\n Same atoms :      6     7\n\n is =    3\n"));
  // Its hydrogens: the parent has H and C neighbours, so Y goes to the nearest
  // heavy atom around the parent.
  EXPECT_EQ(axes_of(a.c2 + 1), "Z>C(2) Y>C(1) cyl");
  EXPECT_EQ(run.forh[static_cast<std::size_t>(a.c2 + 1)], (std::array<int, 3>{4, 6, 3}));
  EXPECT_TRUE(listed("\n Hydrogen connected to an atom with  4 bonds (  3 - Hydrogen(s) )\n"));
  EXPECT_EQ(run.dummy.n, 0);
}

// Acetonitrile N#C-CH3 along x.
TEST_F(AxesTest, NitrileNitrogenIsCylindricalAndTakesYFromBeyondTheFarCarbon) {
  const int c1 = m.at("C(1)", 5, 5, 5);
  const int n1 = m.polar("N(1)", c1, 1.16f, 0);
  const int c2 = m.polar("C(2)", c1, 1.46f, 180);
  const float d[3] = {1.08f, 1.09f, 1.10f};
  for (int k = 0; k < 3; ++k) {
    const float phi = 120.0f * static_cast<float>(k) * kDeg;
    const float a = 70.5f * kDeg;
    m.at("H(2" + std::to_string(k + 1) + ")", 5 - 1.46f - d[k] * std::cos(a), 5 + d[k] * std::sin(a) * std::cos(phi),
         5 + d[k] * std::sin(a) * std::sin(phi));
  }
  define();
  // N-C-C is straight: Z at C, then the search around C passes N and the far
  // carbon and takes the nearest methyl H.
  EXPECT_EQ(axes_of(n1), "Z>C(1) Y>H(21) cyl");
  EXPECT_TRUE(listed("\n Neighbors of C(1) within   4.000 Ang =    5\n"));
  // The nitrile carbon itself is linear: Z at the carbon (N2), X at the first
  // atom past its two neighbours.
  EXPECT_EQ(axes_of(c1), "Z>C(2) X>H(21) cyl");
  EXPECT_TRUE(listed("\n LINEAR conformation !\n"));
  EXPECT_EQ(axes_of(c2), "Z>C(1) X>H(21) 3m");
}

// Methanol and, 8 A away, a water molecule.
TEST_F(AxesTest, HydroxylHydrogenLooksForAHeavyAtomAndWaterHydrogenForTheOtherH) {
  const int o1 = m.at("O(1)", 5, 5, 5);
  const int c1 = m.polar("C(1)", o1, 1.43f, 180);
  const int h4 = m.polar("H(4)", o1, 0.96f, 71.0f);
  hydrogens3(m, "H(1", c1, o1, h4);
  const int o2 = m.at("O(2)", 13, 5, 5);
  const int h5 = m.polar("H(5)", o2, 0.957f, 0);
  const int h6 = m.polar("H(6)", o2, 0.960f, 104.5f);
  define();
  EXPECT_EQ(axes_of(h4), "Z>O(1) Y>C(1) cyl");
  EXPECT_EQ(run.forh[static_cast<std::size_t>(h4)], (std::array<int, 3>{2, 8, 1}));
  EXPECT_EQ(axes_of(h5), "Z>O(2) Y>H(6) cyl");
  EXPECT_EQ(axes_of(h6), "Z>O(2) Y>H(5) cyl");
  EXPECT_EQ(run.forh[static_cast<std::size_t>(h5)], (std::array<int, 3>{2, 8, 2}));
  // The bent water oxygen: Z at the midpoint of its equivalent hydrogens.
  EXPECT_EQ(axes_of(o2), "Z>DUM1 Y>H(5) mm2");
  expect_near(dummy_cart(1), midpoint(run.atoms.xc[h5], run.atoms.xc[h6]));
  EXPECT_TRUE(listed("\n BENT conformation !\n"));
  // The methanol oxygen (C and H, not equivalent): X at N1; with one H, X at N2.
  EXPECT_EQ(axes_of(o1), "X>C(1) Y>H(4) m");
  EXPECT_EQ(axes_of(c1), "Z>O(1) X>H(11) 3m");
}

// Propane: the central carbon has two equivalent H and two equivalent C.
TEST_F(AxesTest, MethyleneCarbonPointsZAtTheMidpointOfItsCarbons) {
  const Propane p(m, 5);
  const int c1 = p.c1, c2 = p.c2, c3 = p.c3;
  define();
  EXPECT_EQ(axes_of(c2), "Z>DUM1 Y>H(21) mm2");
  expect_near(dummy_cart(1), midpoint(run.atoms.xc[c1], run.atoms.xc[c3]));
  expect_near(ax[static_cast<std::size_t>(c2)].P1, midpoint(run.atoms.xc[c1], run.atoms.xc[c3]));
  EXPECT_TRUE(listed("\n is =    2\n"));
  EXPECT_EQ(axes_of(c1), "Z>C(2) X>H(11) 3m");
  EXPECT_EQ(axes_of(c3), "Z>C(2) X>H(31) 3m");
}

TEST_F(AxesTest, CarboxylateAndFormateCarbonsHaveMm2Symmetry) {
  // Acetate: the odd neighbour is the methyl carbon.
  const int c1 = m.at("C(1)", 5, 5, 5);
  const int o1 = m.polar("O(1)", c1, 1.25f, 0);
  m.polar("O(2)", c1, 1.26f, 124);
  const int c2 = m.polar("C(2)", c1, 1.52f, 242);
  hydrogens3(m, "H(2", c2, c1, o1);
  // Formate: the odd neighbour is H, so Z goes to the midpoint of the O pair.
  const int c3 = m.at("C(3)", 15, 5, 5);
  const int o3 = m.polar("O(3)", c3, 1.25f, 0);
  const int o4 = m.polar("O(4)", c3, 1.26f, 125);
  m.polar("H(3)", c3, 1.10f, 242);
  define();
  EXPECT_EQ(axes_of(c1), "Z>C(2) X>O(1) mm2");
  EXPECT_EQ(axes_of(c3), "Z>DUM1 X>O(3) mm2");
  expect_near(dummy_cart(1), midpoint(run.atoms.xc[o3], run.atoms.xc[o4]));
  EXPECT_TRUE(listed("\n Label =   301\n"));
}

TEST_F(AxesTest, MethaneCarbonHasMinus42mSymmetry) {
  const int c = m.at("C(1)", 5, 5, 5);
  const float s = 1.0f / std::sqrt(3.0f);
  const float dir[4][3] = {{s, s, s}, {s, -s, -s}, {-s, s, -s}, {-s, -s, s}};
  for (int k = 0; k < 4; ++k) {
    const float d = 1.087f + 0.001f * static_cast<float>(k);
    m.at("H(" + std::to_string(k + 1) + ")", 5 + d * dir[k][0], 5 + d * dir[k][1], 5 + d * dir[k][2]);
  }
  const int h1 = c + 1;
  define();
  EXPECT_EQ(axes_of(c), "Z>DUM1 Y>H(3) -42m");
  expect_near(dummy_cart(1), midpoint(run.atoms.xc[h1], run.atoms.xc[h1 + 1]));
}

TEST_F(AxesTest, IsolatedIonTakesDummiesAtTheOriginAndTheCellCentre) {
  const int cl = m.at("Cl(1)", 7, 8, 9);
  define();
  EXPECT_EQ(axes_of(cl), "X>DUM1 Y>DUM2 NO");
  expect_near(run.dummy.x[1], {0, 0, 0});
  expect_near(run.dummy.x[2], {0.5f, 0.5f, 0.5f});  // stored fractional
  expect_near(ax[1].P2, {15, 15, 15});               // Cartesian
  const std::string msg =
      "\n No neighbors of atom Cl(1)    were found within      20.00 Angstroms\n"
      "\n Will make dummies at 0,0,0 and 0.5,0.5,0.5\n";
  EXPECT_NE(t.out.str().find(msg), std::string::npos);
  EXPECT_TRUE(listed(msg));
}

TEST_F(AxesTest, IonWithTwoAtomsWithinTwentyAngstromsPointsAtThem) {
  const int cl = m.at("Cl(1)", 15, 15, 15);
  m.at("Na(2)", 15, 15, 23);  // 8 A
  m.at("Na(1)", 15, 22, 15);  // 7 A
  define();
  EXPECT_EQ(axes_of(cl), "X>Na(1) Y>Na(2) NO");
  EXPECT_TRUE(listed("\n Neighbors of Cl(1) within   8.000 Ang =    2\n"));
  EXPECT_EQ(run.dummy.n, 0);
}

// An ion whose standard dummies would not fix a frame: on the origin itself,
// the first axis has no direction; on the cell diagonal both dummies lie on
// one line through the atom.
TEST_F(AxesTest, IsolatedIonOnTheOriginOrTheCellDiagonalStillGetsAFrame) {
  for (const Cart& at : {Cart(0, 0, 0), Cart(15, 15, 15), Cart(7.5f, 7.5f, 7.5f)}) {
    TestRun t2;
    vorn::Run& r = t2.run;
    r.transf = run.transf;
    add_atom(r, "Na(1)", at);
    findallneighbors(r);
    DefLoc(r, 1);
    const Vec3 u = sub(r.axes.P1, at), w = sub(r.axes.P2, at);
    const float ang = calcang(r.axes.P1, at, r.axes.P2);
    EXPECT_GT(rlength(u), 0.5f) << at[0];
    EXPECT_GT(rlength(w), 0.5f) << at[0];
    EXPECT_GT(ang, 10.0f) << at[0];
    EXPECT_LT(ang, 170.0f) << at[0];
    EXPECT_EQ(rtrim(r.atoms.sitesym[1]), "NO");
  }
}

TEST_F(AxesTest, BenzeneRingAtomsShareOneCentreDummyWithSpecialRings) {
  const std::vector<int> ring = m.ring({"C(1)", "C(2)", "C(3)", "C(4)", "C(5)", "C(6)"}, 1.39f, Cart(10, 10, 10));
  for (int k = 0; k < 6; ++k)
    m.radial("H(" + std::to_string(k + 1) + ")", ring[static_cast<std::size_t>(k)], 1.08f, Cart(10, 10, 10));
  define(true);
  EXPECT_EQ(run.dummy.n, 1);
  expect_near(dummy_cart(1), {10, 10, 10});
  for (int k = 0; k < 6; ++k) {
    const int c = ring[static_cast<std::size_t>(k)];
    const LocalAxes& a = ax[static_cast<std::size_t>(c)];
    EXPECT_EQ(a.AX1 + ">" + std::string(rtrim(a.ATOM0)), "X>DUM1") << k;
    EXPECT_EQ(a.AX2, "Y");
    // Y at one of its two ring neighbours (never the H).
    const int prev = ring[static_cast<std::size_t>((k + 5) % 6)], next = ring[static_cast<std::size_t>((k + 1) % 6)];
    EXPECT_TRUE(a.ATOM2 == run.atoms.label[prev] || a.ATOM2 == run.atoms.label[next]) << a.ATOM2;
    EXPECT_EQ(rtrim(run.atoms.sitesym[c]), "m");
    expect_near(a.P1, {10, 10, 10});
  }
  EXPECT_TRUE(listed("\n Atom belongs to only one planar ring ( #     1 )\n"));
  EXPECT_TRUE(listed("\n Dummy atom which defines the ring center = DUM1  \n"));
  // The ring hydrogens keep the general rules.
  EXPECT_EQ(axes_of(7).substr(0, 11), "Z>C(1) Y>C(");
}

TEST_F(AxesTest, BenzeneRingAtomsWithoutSpecialRingsFollowTheGeneralRules) {
  const std::vector<int> ring = m.ring({"C(1)", "C(2)", "C(3)", "C(4)", "C(5)", "C(6)"}, 1.39f, Cart(10, 10, 10));
  for (int k = 0; k < 6; ++k)
    m.radial("H(" + std::to_string(k + 1) + ")", ring[static_cast<std::size_t>(k)], 1.08f, Cart(10, 10, 10));
  define(false);
  // Two equivalent ring neighbours and an H: Z at the midpoint of the pair.
  for (int k = 0; k < 6; ++k) {
    const int c = ring[static_cast<std::size_t>(k)];
    EXPECT_EQ(ax[static_cast<std::size_t>(c)].AX1 + ax[static_cast<std::size_t>(c)].AX2, "ZX");
    EXPECT_EQ(rtrim(ax[static_cast<std::size_t>(c)].ATOM0).substr(0, 3), "DUM");
    EXPECT_EQ(rtrim(run.atoms.sitesym[c]), "mm2");
  }
  EXPECT_EQ(run.dummy.n, 6);
  EXPECT_EQ(run.forring, (std::array<int, 2>{0, 0}));  // cleared for the H atoms after the ring
  EXPECT_TRUE(listed("\n Atom belongs to only one planar ring ( #     1 )\n"));
}

// Naphthalene without its H atoms: the second hexagon is the first one
// mirrored through the shared edge C(1)-C(6).
TEST_F(AxesTest, FusionCarbonOfNaphthalenePointsXAtItsPartnerAndYIntoARing) {
  const std::vector<int> r1 = m.ring({"C(1)", "C(2)", "C(3)", "C(4)", "C(5)", "C(6)"}, 1.40f, Cart(10, 10, 10));
  const Vec3 a = run.atoms.xc[r1[0]], b = run.atoms.xc[r1[5]];
  const Vec3 e = scale(sub(b, a), 1.0f / rlength(sub(b, a)));
  for (std::size_t k = 1; k <= 4; ++k) {
    const Vec3 p = run.atoms.xc[r1[k]];
    const Vec3 foot = add(a, scale(e, dot(sub(p, a), e)));
    const Vec3 q = sub(scale(foot, 2.0f), p);
    m.at("C(" + std::to_string(6 + k) + ")", q[0], q[1], q[2]);
  }
  define(true);
  const LocalAxes& f = ax[static_cast<std::size_t>(r1[0])];
  EXPECT_EQ(f.AX1 + ">" + std::string(rtrim(f.ATOM0)), "X>C(6)");
  // Y at a neighbour in exactly one planar six-membered ring: C(2) or its
  // mirror image C(7).
  EXPECT_EQ(f.AX2, "Y");
  EXPECT_TRUE(f.ATOM2 == pad("C(2)", 8) || f.ATOM2 == pad("C(7)", 8)) << f.ATOM2;
  EXPECT_EQ(rtrim(run.atoms.sitesym[r1[0]]), "m");
  EXPECT_TRUE(listed("\n Atom belongs to 2 planar rings of tot numb ( #    3 )\n"));
  // An atom of one ring only takes that ring's centre dummy.
  EXPECT_EQ(axes_of(r1[2]).substr(0, 6), "X>DUM1");
}

// Bent CO2 next to a nitrogen atom 4 A away.
class LinearLimitTest : public AxesTest {
 protected:
  int c = 0, o1 = 0, o2 = 0;
  void build(float angle) {
    c = m.at("C(1)", 1, 1, 1);
    o1 = m.polar("O(1)", c, 1.16f, 0);
    o2 = m.polar("O(2)", c, 1.17f, angle);
    m.at("N(1)", 1, 1, 5);
    set_angle_exactly(o1, c, o2, angle);
  }
};

TEST_F(LinearLimitTest, ExactlyOneHundredSeventyDegreesIsLinear) {
  build(170.0f);
  define();
  EXPECT_EQ(calcang(run.atoms.xc[o1], run.atoms.xc[c], run.atoms.xc[o2]), 170.0f);
  EXPECT_EQ(axes_of(c), "Z>O(2) X>N(1) cyl");
  EXPECT_TRUE(listed("\n Angle   C(1) - O(2) - N(1) ="));
}

TEST_F(LinearLimitTest, JustBelowIsBent) {
  build(std::nextafter(170.0f, 0.0f));
  define();
  EXPECT_LT(calcang(run.atoms.xc[o1], run.atoms.xc[c], run.atoms.xc[o2]), 170.0f);
  EXPECT_EQ(axes_of(c), "Z>DUM1 Y>O(1) mm2");
}

// An isocyanate R-N=C=O: the terminal O looks along C=N for its Y axis.
class YLimitTest : public AxesTest {
 protected:
  int c1 = 0, o1 = 0, n1 = 0, c2 = 0;
  void build(float angle) {
    c1 = m.at("C(1)", 1, 1, 1);
    o1 = m.polar("O(1)", c1, 1.17f, 180);
    n1 = m.polar("N(1)", c1, 1.21f, 180.0f - angle);
    c2 = m.polar("C(2)", n1, 1.45f, 180.0f - angle + 45.0f);
    set_angle_exactly(o1, c1, n1, angle);
  }
};

TEST_F(YLimitTest, ExactlyOneHundredSixtyStillDirectsY) {
  build(160.0f);
  define();
  EXPECT_EQ(calcang(run.atoms.xc[o1], run.atoms.xc[c1], run.atoms.xc[n1]), 160.0f);
  EXPECT_EQ(axes_of(o1), "X>C(1) Y>N(1) m");
}

// The rule's cylinder, kept here by a misfit limit no misfit reaches: the
// N, 20 degrees off the axis, is no cylinder's (the site check takes it).
TEST_F(YLimitTest, JustAboveMakesTheAtomCylindricalAndSearchesOn) {
  build(std::nextafter(160.0f, 180.0f));
  run.ctl.misfit_limit = 99.0f;
  define();
  EXPECT_EQ(axes_of(o1), "Z>C(1) Y>C(2) cyl");
  EXPECT_GT(run.site_check[static_cast<std::size_t>(o1)].misfit, 0.5f);
  EXPECT_TRUE(listed("\n Neighbors of C(1) within   4.000 Ang ="));
}

// A hydroxide ion with a sodium ion nearly straight behind its O and
// another one to the side.
class HydrogenLimitTest : public AxesTest {
 protected:
  int o = 0, h = 0, na1 = 0;
  void build(float angle) {
    o = m.at("O(1)", 1, 1, 1);
    h = m.polar("H(1)", o, 0.97f, 0);
    na1 = m.polar("Na(1)", o, 2.60f, angle);
    m.polar("Na(2)", o, 2.70f, 80.0f);
    set_angle_exactly(h, o, na1, angle);
  }
};

// At 170 degrees around the parent the atom still passes that test, but
// seen from the H it lies within 10 degrees of the bond (for any distance:
// the angle at the H tends to 10 degrees from below), so the two axes would
// fix no frame: the next atom is taken.
TEST_F(HydrogenLimitTest, HeavyAtomAtExactlyOneHundredSeventyDegreesFixesNoFrameAtTheHydrogen) {
  build(170.0f);
  define();
  EXPECT_LT(calcang(run.atoms.xc[o], run.atoms.xc[h], run.atoms.xc[na1]), 10.0f);
  EXPECT_EQ(axes_of(h), "Z>O(1) Y>Na(2) cyl");
  EXPECT_FALSE(listed("Na(1) =   170.00 deg."));
}

TEST_F(HydrogenLimitTest, HeavyAtomJustPastOneHundredSeventyDegreesIsPassedOver) {
  build(170.0001f);
  define();
  EXPECT_EQ(axes_of(h), "Z>O(1) Y>Na(2) cyl");
}

TEST_F(AxesTest, HeavyAtomStraightBeyondTheHydrogenIsPassedOver) {
  // A hydroxide ion whose H bonds to an O 2.6 A away, 3 degrees off the line
  // O-H, and a sodium ion to the side.
  const int o = m.at("O(1)", 1, 1, 1);
  const int h = m.polar("H(1)", o, 0.97f, 0);
  m.polar("O(2)", o, 2.60f, 3.0f);
  m.polar("Na(2)", o, 2.70f, 80.0f);
  define();
  EXPECT_EQ(axes_of(h), "Z>O(1) Y>Na(2) cyl");
}

// Cyanoacetylene H-C#C-C#N and the O of a neighbouring molecule: the X axis
// of the linear carbon next to N passes over the atoms further along the
// chain.
TEST_F(AxesTest, LinearAtomTakesXOffTheLineOfTheChain) {
  const int c1 = m.at("C(1)", 5, 5, 5);
  m.polar("N(1)", c1, 1.16f, 0);
  const int c2 = m.polar("C(2)", c1, 1.38f, 180);
  const int c3 = m.polar("C(3)", c2, 1.20f, 180);
  m.polar("H(3)", c3, 1.06f, 180);
  m.polar("O(1)", c1, 3.40f, 90);
  define();
  EXPECT_EQ(axes_of(c1), "Z>C(2) X>O(1) cyl");
}

// An ordered atom whose only neighbour is disordered: X at that neighbour,
// Y at the nearest other atom that fixes a plane with it.
TEST_F(AxesTest, OrderedAtomWithOneDisorderedNeighbourFindsASecondAxisAtom) {
  Acetaldehyde a(m, 5);
  run.atoms1.flag[a.c1] = -1;
  run.atoms1.occ[a.c1] = 0.6f;
  define();
  EXPECT_EQ(axes_of(a.o1), "X>C(1) Y>H(1) NO");
}

TEST_F(AxesTest, SecondAxisAtomOnTheLineOfTheFirstIsPassedOver) {
  // C=O with a chlorine 3 A straight behind O and a nitrogen off the line.
  const int c1 = m.at("C(1)", 5, 5, 5);
  const int o1 = m.polar("O(1)", c1, 1.21f, 0);
  m.polar("Cl(1)", o1, 3.0f, 0);
  m.polar("N(1)", o1, 3.3f, 90);
  run.atoms1.flag[c1] = -1;
  run.atoms1.occ[c1] = 0.5f;
  define();
  EXPECT_EQ(axes_of(o1), "X>C(1) Y>N(1) NO");
}

TEST_F(AxesTest, OrderedAtomWithOneDisorderedNeighbourAndNothingElseTakesADummy) {
  const int c1 = m.at("C(1)", 6, 7, 8);
  const int o1 = m.polar("O(1)", c1, 1.13f, 30);
  run.atoms1.flag[c1] = -1;
  run.atoms1.occ[c1] = 0.5f;
  define();
  EXPECT_EQ(axes_of(o1), "X>C(1) Y>DUM1 NO");
  expect_near(run.dummy.x[1], {0, 0, 0});
  EXPECT_NE(t.out.str().find("\n Will make dummy at 0,0,0\n"), std::string::npos);
}

// A carbonyl carbon whose O is disordered over two sites 6 degrees apart:
// the two sites are its first sorted neighbours, but fix no plane together.
TEST_F(AxesTest, SecondSiteOfADisorderedNeighbourIsNotTakenForTheSecondAxis) {
  const int c1 = m.at("C(1)", 5, 5, 5);
  const int oa = m.polar("O(1A)", c1, 1.21f, 0);
  const int ob = m.polar("O(1B)", c1, 1.22f, 6);
  m.polar("H(1)", c1, 1.10f, 120);
  const int c2 = m.polar("C(2)", c1, 1.50f, 240);
  hydrogens3(m, "H(2", c2, c1, oa);
  run.atoms1.flag[oa] = run.atoms1.flag[ob] = -1;
  run.atoms1.occ[oa] = 0.6f;
  run.atoms1.occ[ob] = 0.4f;
  define();
  EXPECT_EQ(run.neighbors[c1].nnei, 4);
  EXPECT_EQ(axes_of(c1), "X>O(1A) Y>C(2) NO");
}

// Al2H6: each Al has two terminal and two bridging H, so both equivalent
// pairs begin with a hydrogen; the first pair (the terminal H) fixes Z.
TEST_F(AxesTest, TwoPlusTwoCaseWithOnlyHydrogenPairsUsesTheFirstPair) {
  const int al1 = m.at("Al(1)", 5, 5, 5);
  const float a = 64.5f * kDeg;
  const int ht1 = m.at("H(1)", 5 - 1.57f * std::cos(a), 5, 5 + 1.57f * std::sin(a));
  const int ht2 = m.at("H(2)", 5 - 1.58f * std::cos(a), 5, 5 - 1.58f * std::sin(a));
  const int hb1 = m.at("H(3)", 6.30f, 5 + 1.141f, 5);
  m.at("H(4)", 6.30f, 5 - 1.150f, 5);
  m.at("Al(2)", 7.60f, 5, 5);
  m.at("H(5)", 7.60f + 1.57f * std::cos(a), 5, 5 + 1.57f * std::sin(a));
  m.at("H(6)", 7.60f + 1.58f * std::cos(a), 5, 5 - 1.58f * std::sin(a));
  define();
  EXPECT_EQ(axes_of(al1), "Z>DUM1 Y>H(3) mm2");
  expect_near(dummy_cart(1), midpoint(run.atoms.xc[ht1], run.atoms.xc[ht2]));
  EXPECT_EQ(run.neighbors[al1].nnei, 4);
  (void)hb1;
}

// trans-[NiCl2(OH2)2], square planar: both equivalent pairs are trans and the
// midpoint of either is the Ni itself. The twofold axes of such a centre run
// along the pairs: Z points at the first O, Y at the first Cl, and the
// neighbours obey mm2 in that frame.
TEST_F(AxesTest, TwoTransPairsTakeTheirOwnLinesAsAxes) {
  const int ni = m.at("Ni(1)", 10, 10, 10);
  m.at("O(1)", 10, 11.9f, 10);
  m.at("O(2)", 10, 8.1f, 10);
  m.at("Cl(1)", 12.2f, 10, 10);
  m.at("Cl(2)", 7.8f, 10, 10);
  for (const float s : {1.0f, -1.0f}) {
    const std::string k = s > 0 ? "1" : "2";
    m.at("H(" + k + "1)", 10, 10 + s * 2.49f, 10.76f);
    m.at("H(" + k + "2)", 10, 10 + s * 2.49f, 9.24f);
  }
  define();
  EXPECT_EQ(axes_of(ni), "Z>O(1) Y>Cl(1) mm2");
  EXPECT_TRUE(listed("\n Both equivalent pairs are trans: Z along the first pair\n"));
  const SiteCheck& c = run.site_check[static_cast<std::size_t>(ni)];
  EXPECT_TRUE(c.checked);
  EXPECT_TRUE(c.passes) << c.misfit;
}

// A nearly straight H-O-H (169.5 degrees, still bent) with equivalent H: the
// midpoint of the pair lies 0.09 A from the O and would fix no axis. Z goes
// to a dummy 1 A from the O on the bisector of the two bonds, the pair's
// twofold axis, and the pair obeys mm2 there.
TEST_F(AxesTest, PairMidpointOnTheAtomGivesWayToTheBisectorOfTheBonds) {
  const int o = m.at("O(1)", 10, 10, 10);
  const int h1 = m.polar("H(1)", o, 0.95f, 0);
  const int h2 = m.polar("H(2)", o, 0.951f, 169.5f);
  define();
  const Vec3 xo = run.atoms.xc[o];
  ASSERT_LT(dist(midpoint(run.atoms.xc[h1], run.atoms.xc[h2]), xo), 0.1f);
  EXPECT_EQ(axes_of(o), "Z>DUM1 Y>H(1) mm2");
  const Vec3 u1 = sub(run.atoms.xc[h1], xo), u2 = sub(run.atoms.xc[h2], xo);
  Vec3 bis = add(scale(u1, 1.0f / rlength(u1)), scale(u2, 1.0f / rlength(u2)));
  bis = scale(bis, 1.0f / rlength(bis));
  expect_near(dummy_cart(1), add(xo, bis), 1e-3f);
  EXPECT_TRUE(run.site_check[static_cast<std::size_t>(o)].passes);
  // Seen from each H, the other H lies 5 degrees off its bond: the H takes
  // another point for Y, off that line.
  for (int h : {h1, h2}) {
    const LocalAxes& a = ax[static_cast<std::size_t>(h)];
    const float angle = calcang(a.P1, run.atoms.xc[h], a.P2);
    EXPECT_GT(angle, 10.0f) << axes_of(h);
    EXPECT_LT(angle, 170.0f) << axes_of(h);
  }
}

// Cu(II) with four O on an inversion centre (P-1, NCELLS 1). O(1) lies
// nearer than O(2), so the first two sorted neighbours are O(1) and its
// image, trans: their midpoint is the Cu. Z goes on the bisector of the cis
// pair O(1), O(2) and Y towards the other pair (the image of O(1)); the site
// symmetry is mm2, which this CuO4 has, with the inversion of the site:
// mmm. Checked from the written master file.
TEST(AxesOfACentre, SquarePlanarCuO4OnAnInversionCentreTakesZOnACisBisector) {
  TestRun t;
  t.write("cuo4.res",
          "TITL cuo4\nCELL 0.71073 10 10 10 90 90 90\nZERR 1 0.001 0.001 0.001 0 0 0\nLATT 1\n"
          "SFAC H O CU\nUNIT 4 4 1\nFVAR 1.0\n"
          "CU1   3  0.50000  0.00000  0.50000  10.50000  0.02\n"
          "O1    2  0.63079  0.13782  0.50000  11.00000  0.02\n"
          "O2    2  0.63354 -0.14072  0.50000  11.00000  0.02\n"
          "H1    1  0.63079  0.13782  0.59600  11.00000  0.03\n"
          "H2    1  0.63354 -0.14072  0.59600  11.00000  0.03\n"
          "HKLF 4\nEND\n");
  t.write("vorn.inp", "FORMAT *shelx\nINPUT cuo4.res\nNCELLS 1\nRINGS 3 8\n");
  ASSERT_EQ(vorn_main(t.run, {}), 0) << t.out.str();
  // The atom table and the dummies as written (fractional, a 10 A cube).
  std::vector<std::string> cu;
  std::map<std::string, Vec3> dummy;
  std::istringstream mas(t.read("xd_vorn.mas"));
  for (std::string l; std::getline(mas, l);) {
    std::istringstream in(l);
    std::vector<std::string> w;
    for (std::string x; in >> x;) w.push_back(x);
    if (!w.empty() && w[0] == "CU(1)" && w.size() >= 12 && cu.empty()) cu = w;
    if (w.size() == 4 && w[0].rfind("DUM", 0) == 0)
      dummy[w[0]] = Vec3{10 * std::stof(w[1]), 10 * std::stof(w[2]), 10 * std::stof(w[3])};
  }
  ASSERT_EQ(cu.size(), 12u);
  EXPECT_EQ(cu[2], "Z");
  EXPECT_EQ(cu[5], "Y");
  // mm2 of the rule with the inversion of the site.
  EXPECT_EQ(cu[11], "mmm");
  ASSERT_TRUE(dummy.count(cu[1]) && dummy.count(cu[4])) << cu[1] << " " << cu[4];
  const Vec3 xcu{5, 0, 5}, o1{6.3079f, 1.3782f, 5}, o2{6.3354f, -1.4072f, 5};
  const Vec3 z = dummy[cu[1]], y = dummy[cu[4]];
  EXPECT_GT(dist(z, xcu), 0.1f);
  // Z bisects O(1)-Cu-O(2); Y points at the image of O(1) through the Cu.
  EXPECT_NEAR(calcang(z, xcu, o1), calcang(z, xcu, o2), 2.0f);
  EXPECT_LT(calcang(z, xcu, o1), 50.0f);
  expect_near(y, sub(scale(xcu, 2.0f), o1), 1e-3f);
  EXPECT_TRUE(t.run.site_check[1].passes) << t.run.site_check[1].misfit;
  EXPECT_EQ(t.out.str().find("fails the check"), std::string::npos);
}

}  // namespace
}  // namespace vorn::test
