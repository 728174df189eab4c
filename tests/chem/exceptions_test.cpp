#include "chem/exceptions.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "base/text.hpp"
#include "chem/molecules.hpp"
#include "topology/neighbors.hpp"

namespace vorn::test {
namespace {

class DetExceptTest : public ::testing::Test {
 protected:
  TestRun t;
  vorn::Run& run = t.run;
  Mol m{run};

  void bonds() { rings_and_bonds(run); }

  std::string group(int i) {
    DetExcept(run, i);
    return std::string(rtrim(run.except.group[static_cast<std::size_t>(i)]));
  }
  int flag(int i) const { return run.except.flag[static_cast<std::size_t>(i)]; }

  // What one call adds to the listing.
  std::string listing_of(int i) {
    const std::size_t before = t.lst.str().size();
    DetExcept(run, i);
    return t.lst.str().substr(before);
  }

  // A planar benzene ring C(1)..C(6) (1.39 A) around the origin; positions
  // listed in subst get the given atom instead of H.
  std::vector<int> benzene(std::vector<std::pair<int, std::pair<std::string, float>>> subst = {}) {
    std::vector<int> c = m.ring({"C(1)", "C(2)", "C(3)", "C(4)", "C(5)", "C(6)"}, 1.39f);
    for (int k = 0; k < 6; ++k) {
      bool done = false;
      for (const auto& [pos, what] : subst)
        if (pos == k + 1) {
          m.radial(what.first, c[static_cast<std::size_t>(k)], what.second);
          done = true;
        }
      if (!done) m.radial("H(" + std::to_string(k + 1) + ")", c[static_cast<std::size_t>(k)], 1.08f);
    }
    return c;
  }
};

// ---------------------------------------------------------------------------
// Acids, salts and esters of C(=O)O

TEST_F(DetExceptTest, CarboxylicAcidIsNamedOnItsHydrogenBothOxygensAndTheCarbon) {
  const int c1 = m.at("C(1)", 0, 0, 0);
  const int o1 = m.polar("O(1)", c1, 1.21f, 0);
  const int o2 = m.polar("O(2)", c1, 1.31f, 120);
  const int c2 = m.polar("C(2)", c1, 1.50f, 240);
  const int h = m.place("H(1)", o2, 0.97f, c1, 109.5f, o1, 0);
  hydrogens3(m, "H(2", c2, c1, o1);
  bonds();

  EXPECT_EQ(group(h), "carboxylic");
  EXPECT_EQ(group(o2), "carboxylic");
  EXPECT_EQ(group(o1), "carboxylic");
  EXPECT_EQ(group(c1), "carboxylic");
  EXPECT_EQ(flag(c1), 1);
  // The methyl carbon has no exception.
  EXPECT_EQ(group(c2), "");
  EXPECT_EQ(flag(c2), 0);
}

TEST_F(DetExceptTest, CarboxylateNamesTheCarbonAndBothOxygens) {
  const int c1 = m.at("C(1)", 0, 0, 0);
  const int o1 = m.polar("O(1)", c1, 1.25f, 0);
  const int o2 = m.polar("O(2)", c1, 1.26f, 120);
  const int c2 = m.polar("C(2)", c1, 1.52f, 240);
  hydrogens3(m, "H(2", c2, c1, o1);
  bonds();

  EXPECT_EQ(group(c1), "carboxylate");
  EXPECT_EQ(group(o1), "carboxylate");
  EXPECT_EQ(group(o2), "carboxylate");
}

TEST_F(DetExceptTest, MethylEsterIsNamedOnTheCarbonylCarbonAndBothOxygens) {
  const int c1 = m.at("C(1)", 0, 0, 0);
  const int o1 = m.polar("O(1)", c1, 1.20f, 0);
  const int o2 = m.polar("O(2)", c1, 1.34f, 120);
  const int c2 = m.polar("C(2)", c1, 1.50f, 240);
  hydrogens3(m, "H(2", c2, c1, o1);
  const int c3 = methyl(m, "C(3)", "H(3", o2, 1.45f, c1, 116.0f, o1, 0);
  bonds();

  EXPECT_EQ(group(c1), "ester");
  EXPECT_EQ(group(o1), "ester");
  EXPECT_EQ(group(o2), "ester");
  EXPECT_EQ(group(c3), "");
}

TEST_F(DetExceptTest, AceticAnhydrideIsNamedOnTheBridgingOxygenAndTheCarbonylOxygens) {
  const int o = m.at("O(1)", 0, 0, 0);
  const int c1 = m.polar("C(1)", o, 1.39f, 0);
  const int c2 = m.polar("C(2)", o, 1.39f, 120);
  const int o2 = m.place("O(2)", c1, 1.19f, o, 122.0f, c2, 0);
  const int o3 = m.place("O(3)", c2, 1.19f, o, 122.0f, c1, 0);
  methyl(m, "C(3)", "H(3", c1, 1.49f, o, 110.0f, c2, 180);
  methyl(m, "C(4)", "H(4", c2, 1.49f, o, 110.0f, c1, 180);
  bonds();

  EXPECT_EQ(group(o), "anhydride");
  EXPECT_EQ(group(o2), "anhydride");
  EXPECT_EQ(group(o3), "anhydride");
  EXPECT_EQ(group(c1), "anhydride");
}

// ---------------------------------------------------------------------------
// Carbonyls, alcohols, phenols

TEST_F(DetExceptTest, AcetoneIsAKetoneOnCarbonAndOxygen) {
  const int c1 = m.at("C(1)", 0, 0, 0);
  const int o = m.polar("O(1)", c1, 1.21f, 0);
  const int c2 = m.polar("C(2)", c1, 1.51f, 120);
  const int c3 = m.polar("C(3)", c1, 1.51f, 240);
  hydrogens3(m, "H(2", c2, c1, o);
  hydrogens3(m, "H(3", c3, c1, o);
  bonds();

  EXPECT_EQ(group(c1), "ketone");
  EXPECT_EQ(group(o), "ketone");
  EXPECT_NE(listing_of(c1).find("\n DetExcept :: checking c2Co group...\n"), std::string::npos);
}

TEST_F(DetExceptTest, AcetaldehydeOxygenIsAnAldehyde) {
  const int c1 = m.at("C(1)", 0, 0, 0);
  const int o = m.polar("O(1)", c1, 1.21f, 0);
  m.polar("H(1)", c1, 1.10f, 120);
  const int c2 = m.polar("C(2)", c1, 1.50f, 240);
  hydrogens3(m, "H(2", c2, c1, o);
  bonds();

  EXPECT_EQ(group(o), "aldehyde");
  EXPECT_EQ(group(c1), "");
}

TEST_F(DetExceptTest, AcetamideOxygenIsAnAmideAndTheCarbonIsNoException) {
  const int c1 = m.at("C(1)", 0, 0, 0);
  const int o = m.polar("O(1)", c1, 1.23f, 0);
  const int n = m.polar("N(1)", c1, 1.33f, 120);
  const int c2 = m.polar("C(2)", c1, 1.51f, 240);
  m.place("H(1)", n, 1.01f, c1, 120.0f, o, 0);
  m.place("H(2)", n, 1.01f, c1, 120.0f, o, 180);
  hydrogens3(m, "H(3", c2, c1, o);
  bonds();

  EXPECT_EQ(group(o), "amide");
  EXPECT_EQ(group(c1), "");
  EXPECT_EQ(flag(c1), 0);
}

TEST_F(DetExceptTest, MethanolIsAnAlcoholOnHydrogenAndOxygen) {
  const int c = m.at("C(1)", 0, 0, 0);
  const int o = m.at("O(1)", 1.43f, 0, 0);
  const int h1 = m.polar("H(1)", c, 1.09f, 109.5f);
  m.place("H(2)", c, 1.09f, o, 109.5f, h1, 120);
  m.place("H(3)", c, 1.09f, o, 109.5f, h1, -120);
  const int ho = m.place("H(4)", o, 0.96f, c, 108.5f, h1, 180);
  bonds();

  EXPECT_EQ(group(ho), "alcohol");
  EXPECT_EQ(group(o), "alcohol");
  EXPECT_EQ(group(c), "");
}

TEST_F(DetExceptTest, PhenolIsNamedOnItsHydrogenOxygenAndRingCarbon) {
  const std::vector<int> c = benzene({{1, {"O(1)", 1.36f}}});
  const int o = c.back() + 1;
  ASSERT_EQ(rtrim(run.atoms.label[static_cast<std::size_t>(o)]), "O(1)");
  const int h = m.place("H(7)", o, 0.96f, c[0], 109.5f, c[1], 0);
  bonds();

  EXPECT_EQ(group(h), "phenol");
  EXPECT_EQ(group(o), "phenol");
  EXPECT_EQ(group(c[0]), "phenolic");
  // A ring CH next to it is checked and found to be nothing special.
  const std::string lst = listing_of(c[1]);
  EXPECT_NE(lst.find(" DetExcept :: checking c(sp3,cyc)-C(cyc)=x group..."), std::string::npos);
  EXPECT_EQ(flag(c[1]), 0);
  EXPECT_EQ(group(c[1]), "");
}

// ---------------------------------------------------------------------------
// Nitrogen groups

TEST_F(DetExceptTest, NitrobenzeneIsNitrophenylOnTheRingCarbonAndNO2OnTheOxygens) {
  const std::vector<int> c = benzene({{1, {"N(1)", 1.47f}}});
  const int n = c.back() + 1;
  const int o1 = m.place("O(1)", n, 1.22f, c[0], 118.0f, c[1], 0);
  const int o2 = m.place("O(2)", n, 1.22f, c[0], 118.0f, c[1], 180);
  bonds();

  EXPECT_EQ(group(c[0]), "nitrophenyl");
  EXPECT_EQ(group(o1), "NO2");
  EXPECT_EQ(group(o2), "NO2");
  EXPECT_EQ(group(n), "");
  EXPECT_EQ(listing_of(n), "");
}

TEST_F(DetExceptTest, AnilineRingCarbonIsAminophenylAndItsNHIsAPlanarAmine) {
  const std::vector<int> c = benzene({{1, {"N(1)", 1.40f}}});
  const int n = c.back() + 1;
  const int h = m.place("H(7)", n, 1.01f, c[0], 120.0f, c[1], 0);
  m.place("H(8)", n, 1.01f, c[0], 120.0f, c[1], 180);
  bonds();

  EXPECT_EQ(group(c[0]), "aminophenyl");
  EXPECT_EQ(group(h), "planar amine");
}

TEST_F(DetExceptTest, AnilineWithAPyramidalNitrogenGivesAPyramidalAmineOnItsHydrogen) {
  const std::vector<int> c = benzene({{1, {"N(1)", 1.40f}}});
  const int n = c.back() + 1;
  const int h = m.place("H(7)", n, 1.01f, c[0], 109.5f, c[1], 60);
  m.place("H(8)", n, 1.01f, c[0], 109.5f, c[1], -60);
  bonds();

  EXPECT_EQ(group(h), "pyramidal amine");
}

TEST_F(DetExceptTest, AnilineHydrogenPrintsItsPlanarityTestOnlyAboveVerbosityTwo) {
  const std::vector<int> c = benzene({{1, {"N(1)", 1.40f}}});
  const int n = c.back() + 1;
  const int h = m.place("H(7)", n, 1.01f, c[0], 120.0f, c[1], 0);
  m.place("H(8)", n, 1.01f, c[0], 120.0f, c[1], 180);
  bonds();

  EXPECT_EQ(listing_of(h).find("Planarity test"), std::string::npos);
  run.ctl.iverb = 3;
  EXPECT_NE(listing_of(h).find("Planarity test"), std::string::npos);
}

TEST_F(DetExceptTest, MethylammoniumCarbonIsAnAmmoniumAndNamesTheNitrogenInTheListing) {
  const int c = m.at("C(1)", 0, 0, 0);
  const int n = m.at("N(1)", 1.49f, 0, 0);
  const int h1 = m.polar("H(1)", c, 1.09f, 109.5f);
  m.place("H(2)", c, 1.09f, n, 109.5f, h1, 120);
  m.place("H(3)", c, 1.09f, n, 109.5f, h1, -120);
  hydrogens3(m, "H(4", n, c, h1);
  bonds();

  const std::string lst = listing_of(c);
  EXPECT_EQ(run.except.group[static_cast<std::size_t>(c)], pad("ammonium", 40));
  EXPECT_NE(lst.find("\n DetExcept :: checking n-C-(c/h)3 group...\n\n Checking connected N-atom = N(1)    \n"),
            std::string::npos);
  // H on a four-coordinate N: no hydrogen family applies.
  EXPECT_EQ(group(h1 + 3), "");
}

TEST_F(DetExceptTest, MethylamineCarbonIsAPyramidalAmine) {
  const int c = m.at("C(1)", 0, 0, 0);
  const int n = m.at("N(1)", 1.47f, 0, 0);
  const int h1 = m.polar("H(1)", c, 1.09f, 109.5f);
  m.place("H(2)", c, 1.09f, n, 109.5f, h1, 120);
  m.place("H(3)", c, 1.09f, n, 109.5f, h1, -120);
  m.place("H(4)", n, 1.01f, c, 109.5f, h1, 60);
  m.place("H(5)", n, 1.01f, c, 109.5f, h1, -60);
  bonds();

  EXPECT_EQ(group(c), "pyramidal amine");
}

TEST_F(DetExceptTest, DimethylformamideNitrogenIsPlanarOnOneSp2AndTwoSp3Carbons) {
  const int n = m.at("N(1)", 0, 0, 0);
  const int c1 = m.polar("C(1)", n, 1.33f, 0);
  const int c2 = m.polar("C(2)", n, 1.45f, 120);
  const int c3 = m.polar("C(3)", n, 1.45f, 240);
  m.place("O(1)", c1, 1.23f, n, 124.0f, c2, 0);
  m.place("H(1)", c1, 1.10f, n, 114.0f, c2, 180);
  hydrogens3(m, "H(2", c2, n, c1);
  hydrogens3(m, "H(3", c3, n, c1);
  bonds();

  EXPECT_EQ(group(n), "csp2sp3sp3");
}

// ---------------------------------------------------------------------------
// Rings with nitrogen

class RingNitrogenTest : public DetExceptTest {
 protected:
  // Pyrimidine C(2) N(1) C(6) C(5) C(4) N(3) with H on C(4..6); the
  // substituent of C(2) is given (label, distance).
  std::vector<int> pyrimidine(const std::string& on_c2, float d) {
    std::vector<int> r = m.ring({"C(2)", "N(1)", "C(6)", "C(5)", "C(4)", "N(3)"}, 1.34f);
    m.radial(on_c2, r[0], d);
    m.radial("H(6)", r[2], 1.08f);
    m.radial("H(5)", r[3], 1.08f);
    m.radial("H(4)", r[4], 1.08f);
    return r;
  }
};

TEST_F(RingNitrogenTest, PyrimidineC2IsBetweenNonSubstitutedNitrogensWithItsDiagnostics) {
  const std::vector<int> r = pyrimidine("H(2)", 1.08f);
  bonds();

  const std::string lst = listing_of(r[0]);
  EXPECT_EQ(run.except.group[static_cast<std::size_t>(r[0])], pad("non-substituted nitrogens", 40));
  EXPECT_NE(lst.find(" DetExcept :: checking n-C(cyc)-n group..."), std::string::npos);
  // One line per neighbour with the two ring indices, then the two nitrogens.
  EXPECT_NE(lst.find("iatr, iCr =            1           1\n"), std::string::npos);
  EXPECT_NE(lst.find("iatr, iCr =            0           1\n"), std::string::npos);
  EXPECT_NE(lst.find("i1Nn, i2Nn =            2           2\n"), std::string::npos);
}

TEST_F(RingNitrogenTest, PyrimidineC4IsNextToANonSubstitutedRingNitrogen) {
  const std::vector<int> r = pyrimidine("H(2)", 1.08f);
  bonds();
  EXPECT_EQ(group(r[4]), "non-substituted nitrogen");
}

TEST_F(RingNitrogenTest, RingCarbonOnThreeTwoCoordinateNitrogensKeepsItsFlagWithoutAName) {
  const std::vector<int> r = pyrimidine("N(7)", 1.28f);
  const int n7 = r.back() + 1;
  m.place("H(7)", n7, 1.01f, r[0], 110.0f, r[1], 0);
  bonds();

  EXPECT_EQ(group(r[0]), "");
  EXPECT_EQ(flag(r[0]), 1);
}

TEST_F(RingNitrogenTest, ImidazoleC2IsBetweenMixedNitrogens) {
  // N(1)-H, C(2)-H, N(3), C(4)-H, C(5)-H in a regular pentagon.
  std::vector<int> r = m.ring({"C(2)", "N(3)", "C(4)", "C(5)", "N(1)"}, 1.36f);
  m.radial("H(2)", r[0], 1.08f);
  m.radial("H(4)", r[2], 1.08f);
  m.radial("H(5)", r[3], 1.08f);
  m.radial("H(1)", r[4], 1.01f);
  bonds();

  EXPECT_EQ(group(r[0]), "mixed nitrogens");
  // C(5) sees its ring N-H: a substituted nitrogen.
  EXPECT_EQ(group(r[3]), "substituted nitrogen");
}

TEST_F(RingNitrogenTest, MethylfuranRingCarbonNextToTheRingOxygenIsFurano) {
  std::vector<int> r = m.ring({"O(1)", "C(2)", "C(3)", "C(4)", "C(5)"}, 1.37f);
  const int cm = m.radial("C(6)", r[1], 1.49f);
  hydrogens3(m, "H(6", cm, r[1], r[0]);
  m.radial("H(3)", r[2], 1.08f);
  m.radial("H(4)", r[3], 1.08f);
  m.radial("H(5)", r[4], 1.08f);
  bonds();

  EXPECT_EQ(group(r[1]), "furano");
  // C(5) carries an H: types H, C, O fit no carbon family.
  EXPECT_EQ(listing_of(r[4]), "");
}

TEST_F(RingNitrogenTest, BenzimidazoleFusionCarbonLiesInTwoPlanarRingsNextToTheFiveRingNitrogen) {
  // Benzene ring; the imidazole ring is a regular pentagon on the edge C(7a)-C(3a).
  const std::vector<int> hex = m.ring({"C(7A)", "C(3A)", "C(4)", "C(5)", "C(6)", "C(7)"}, 1.39f);
  const Vec3 v0 = m.xc(hex[0]), v1 = m.xc(hex[1]);
  const Vec3 mid = scale(add(v0, v1), 0.5f);
  const Vec3 out = scale(mid, 1.0f / rlength(mid));
  const float s = 1.39f, pi = 3.14159265f;
  const Vec3 centre = add(mid, scale(out, s / (2.0f * std::tan(pi / 5.0f))));
  const float rad = s / (2.0f * std::sin(pi / 5.0f));
  const float a0 = std::atan2(v0[1] - centre[1], v0[0] - centre[0]);
  const float a1 = std::atan2(v1[1] - centre[1], v1[0] - centre[0]);
  const float step = std::remainder(a1 - a0, 2.0f * pi) > 0 ? -2.0f * pi / 5.0f : 2.0f * pi / 5.0f;
  std::vector<int> five;
  for (const char* l : {"N(1)", "C(2)", "N(3)"}) {
    const float a = a0 + step * static_cast<float>(five.size() + 1);
    five.push_back(m.at(l, centre[0] + rad * std::cos(a), centre[1] + rad * std::sin(a), 0));
  }
  m.radial("H(1)", five[0], 1.01f, Cart(centre));
  m.radial("H(2)", five[1], 1.08f, Cart(centre));
  for (std::size_t k = 2; k < 6; ++k) m.radial("H(" + std::to_string(k + 2) + ")", hex[k], 1.08f);
  bonds();

  EXPECT_EQ(isitcyclic(run, hex[0]).l2plan, 1);
  EXPECT_EQ(group(hex[0]), "C(2cyc)-n5");
  EXPECT_EQ(group(hex[1]), "C(2cyc)-n5");
  EXPECT_EQ(group(five[1]), "mixed nitrogens");
}

// ---------------------------------------------------------------------------
// Phosphorus, sulphur, halogens

TEST_F(DetExceptTest, TrimethylPhosphateNamesPhosphorusAndPhosphorylOxygenAndFlagsThePhosphorus) {
  const int p = m.at("P(1)", 0, 0, 0);
  const int o1 = m.at("O(1)", 0, 0, 1.45f);
  std::vector<int> ox;
  for (int k = 0; k < 3; ++k) {
    const float th = 109.5f * 0.017453292f, ph = 120.0f * static_cast<float>(k) * 0.017453292f;
    ox.push_back(m.at("O(" + std::to_string(k + 2) + ")", 1.57f * std::sin(th) * std::cos(ph),
                      1.57f * std::sin(th) * std::sin(ph), 1.57f * std::cos(th)));
  }
  for (int k = 0; k < 3; ++k)
    methyl(m, "C(" + std::to_string(k + 1) + ")", "H(" + std::to_string(k + 1), ox[static_cast<std::size_t>(k)],
           1.44f, p, 120.0f, o1, 180);
  bonds();

  EXPECT_EQ(group(p), "o-P(ox)3");
  run.except.flag[static_cast<std::size_t>(p)] = 0;
  const std::string lst = listing_of(o1);
  EXPECT_EQ(run.except.group[static_cast<std::size_t>(o1)], pad("O-p(ox)3", 40));
  EXPECT_EQ(flag(o1), 1);
  EXPECT_EQ(flag(p), 1);
  EXPECT_NE(lst.find("checking (?)p=O group...\n\n DetExcept :: checking pOooo(?) group...\n"), std::string::npos);
  // The ester oxygens (C and P neighbours) have no family.
  EXPECT_EQ(group(ox[0]), "");
}

TEST_F(DetExceptTest, ThioacetamideCarbonIsTHIOAndItsSulphurIsCheckedButNotNamed) {
  const int c1 = m.at("C(1)", 0, 0, 0);
  const int s = m.polar("S(1)", c1, 1.68f, 0);
  const int n = m.polar("N(1)", c1, 1.32f, 120);
  const int c2 = m.polar("C(2)", c1, 1.50f, 240);
  m.place("H(1)", n, 1.01f, c1, 120.0f, s, 0);
  m.place("H(2)", n, 1.01f, c1, 120.0f, s, 180);
  hydrogens3(m, "H(3", c2, c1, s);
  bonds();

  EXPECT_EQ(group(c1), "THIO");
  const std::string lst = listing_of(s);
  EXPECT_NE(lst.find("checking (?)c=S group..."), std::string::npos);
  EXPECT_EQ(flag(s), 0);
}

TEST_F(DetExceptTest, HalogensOnAPhenylRingArePHHalidesAndOnAMethylAreNothing) {
  const std::vector<int> c = benzene({{1, {"F(1)", 1.35f}}, {3, {"Cl(1)", 1.74f}}, {5, {"Br(1)", 1.90f}}});
  int f = 0, cl = 0, br = 0;
  for (int i = 1; i <= run.atoms.nat; ++i) {
    const std::string l(rtrim(run.atoms.label[static_cast<std::size_t>(i)]));
    if (l == "F(1)") f = i;
    if (l == "Cl(1)") cl = i;
    if (l == "Br(1)") br = i;
  }
  const int cm = m.at("C(9)", 0, 0, 6.0f);
  const int cl2 = m.at("Cl(2)", 0, 0, 7.78f);
  hydrogens3(m, "H(9", cm, cl2, c[0]);
  bonds();

  EXPECT_EQ(group(f), "PH-F");
  EXPECT_EQ(group(cl), "PH-Cl");
  EXPECT_EQ(group(br), "PH-Br");
  EXPECT_NE(listing_of(cl2).find("checking (?)c-Cl group..."), std::string::npos);
  EXPECT_EQ(flag(cl2), 0);
  EXPECT_EQ(group(cl2), "");
}

// ---------------------------------------------------------------------------
// Unrecognised groups and the frame

TEST_F(DetExceptTest, WaterIsAnUnknownHydroxylSeenFromEitherHydrogenWithoutGroupFile) {
  const int o = m.at("O(1)", 0, 0, 0);
  const int h1 = m.polar("H(1)", o, 0.96f, 0);
  const int h2 = m.polar("H(2)", o, 0.96f, 104.5f);
  bonds();

  for (int h : {h1, h2}) {
    const std::string lst = listing_of(h);
    EXPECT_EQ(lst,
              "\n DetExcept :: checking x-o-H group...\n"
              "\n DetExcept :: Unknown x-o-H [1] functional group\n"
              "\n See file group.ang for more info...\n\n");
    EXPECT_EQ(flag(h), 0);
    EXPECT_EQ(run.except.group[static_cast<std::size_t>(h)], std::string(40, ' '));
  }
  EXPECT_FALSE(t.exists("group.ang"));
  EXPECT_EQ(listing_of(o), "");
}

TEST_F(DetExceptTest, ThioetherMethylIsUnknownAndWritesItsFragmentToGroupAng) {
  const int s = m.at("S(1)", 0, 0, 0);
  const int c1 = m.at("C(1)", 1.81f, 0, 0);
  const int c2 = m.polar("C(2)", s, 1.81f, 99.0f);
  hydrogens3(m, "H(1", c1, s, c2);
  hydrogens3(m, "H(2", c2, s, c1);
  bonds();

  const std::string lst = listing_of(c1);
  EXPECT_EQ(lst,
            "\n DetExcept :: checking C-s(?) group...\n"
            "\n DetExcept :: Unknown c-s-(?) functional group\n"
            "\n See file group.ang for more info...\n\n");
  EXPECT_EQ(flag(c1), 0);

  // The carbon, its neighbours and two further shells, each once, at its
  // first appearance in the shell walk.
  auto line = [&](int i) {
    return ff::format("('ATOM ',a,2x,3f12.4)", run.atoms.label[static_cast<std::size_t>(i)],
                      run.atoms.xc[static_cast<std::size_t>(i)]);
  };
  const int h11 = c2 + 1, h21 = c2 + 4;
  std::string expected = "ANGSTROM\n" + line(c1);
  for (int i : {h11, h11 + 1, h11 + 2, s, h21, h21 + 1, h21 + 2, c2}) expected += line(i);
  EXPECT_EQ(t.read("group.ang"), expected);
}

TEST_F(DetExceptTest, DimethylEtherOxygenIsAnUnknownEtherWithItsFragmentInGroupAng) {
  const int o = m.at("O(1)", 0, 0, 0);
  const int c1 = m.polar("C(1)", o, 1.41f, 0);
  const int c2 = m.polar("C(2)", o, 1.42f, 112);
  hydrogens3(m, "H(1", c1, o, c2);
  hydrogens3(m, "H(2", c2, o, c1);
  bonds();

  EXPECT_NE(listing_of(o).find(" DetExcept :: Unknown c-O-c functional group"), std::string::npos);
  EXPECT_EQ(flag(o), 0);
  const std::string ang = t.read("group.ang");
  EXPECT_EQ(ang.rfind("ANGSTROM\nATOM O(1)", 0), 0u);
  EXPECT_EQ(std::count(ang.begin(), ang.end(), '\n'), 10);  // ANGSTROM and all nine atoms
}

TEST_F(DetExceptTest, EachUnknownGroupRewritesGroupAng) {
  const int s = m.at("S(1)", 0, 0, 0);
  const int c1 = m.at("C(1)", 1.81f, 0, 0);
  const int c2 = m.polar("C(2)", s, 1.81f, 99.0f);
  hydrogens3(m, "H(1", c1, s, c2);
  hydrogens3(m, "H(2", c2, s, c1);
  bonds();

  DetExcept(run, c1);
  const std::string first = t.read("group.ang");
  DetExcept(run, c2);
  const std::string second = t.read("group.ang");
  EXPECT_NE(first, second);
  EXPECT_EQ(second.rfind("ANGSTROM\n", 0), 0u);
  EXPECT_NE(second.find("ATOM C(2)"), std::string::npos);
  EXPECT_EQ(second.find("ANGSTROM", 1), std::string::npos);
}

TEST_F(DetExceptTest, IsolatedHydrogenAndOtherElementsLeaveNoTraceAndClearAnOldGroup) {
  const int h = m.at("H(1)", 0, 0, 0);
  const int si = m.at("Si(1)", 5, 0, 0);
  const int hs = m.polar("H(2)", si, 1.48f, 0);
  m.polar("H(3)", si, 1.48f, 180);
  bonds();

  run.except.flag[static_cast<std::size_t>(si)] = 1;
  run.except.group[static_cast<std::size_t>(si)] = pad("stale", 40);
  for (int i : {h, si, hs}) {
    EXPECT_EQ(listing_of(i), "");
    EXPECT_EQ(flag(i), 0);
    EXPECT_EQ(run.except.group[static_cast<std::size_t>(i)], std::string(40, ' '));
  }
}

TEST_F(DetExceptTest, AnAtomOutsideTheAtomTableIsAnError) {
  m.at("C(1)", 0, 0, 0);
  bonds();
  EXPECT_THROW(DetExcept(run, 0), VornError);
  EXPECT_THROW(DetExcept(run, 2), VornError);
}

TEST_F(DetExceptTest, HydroxylOnACarbonWhoseNeighbourTableMissesTheOtherOxygenStops) {
  // Methanol, then the carbon's record is made inconsistent: it lists the
  // hydroxyl O twice as its two oxygens.
  const int c = m.at("C(1)", 0, 0, 0);
  const int o = m.at("O(1)", 1.43f, 0, 0);
  const int h1 = m.polar("H(1)", c, 1.09f, 109.5f);
  m.place("H(2)", c, 1.09f, o, 109.5f, h1, 120);
  m.place("H(3)", c, 1.09f, o, 109.5f, h1, -120);
  m.place("H(4)", o, 0.96f, c, 108.5f, h1, 180);
  bonds();
  NeighborRec& rc = run.neighbors[static_cast<std::size_t>(c)];
  for (int k = 1; k <= rc.ntype; ++k)
    if (rc.ztype[static_cast<std::size_t>(k)] == 8) {
      rc.ntypenei[static_cast<std::size_t>(k)] = 2;
      rc.itypenei[static_cast<std::size_t>(k)].resize(3);
      rc.itypenei[static_cast<std::size_t>(k)][2] = o;
    }

  try {
    DetExcept(run, o);
    FAIL() << "no error";
  } catch (const VornError& e) {
    EXPECT_EQ(e.routine(), "DetExcept");
    EXPECT_EQ(e.message(), "Could not identify \"other\" O-atom");
  }
}

TEST(CheckAt, AddsOnlyNewAtomsAndSaysWhetherTheAtomWasThere) {
  std::vector<int> list{5};
  EXPECT_EQ(checkat(list, 7), 0);
  EXPECT_EQ(checkat(list, 5), 1);
  EXPECT_EQ(checkat(list, 7), 1);
  EXPECT_EQ(list, (std::vector<int>{5, 7}));
}

}  // namespace
}  // namespace vorn::test
