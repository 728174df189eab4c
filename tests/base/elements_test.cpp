#include "base/elements.hpp"

#include <gtest/gtest.h>

using namespace vorn;

TEST(Iatnum, TwoLetterSymbolsWinOverOneLetter) {
  EXPECT_EQ(iatnum("CL1"), 17);
  EXPECT_EQ(iatnum("C1"), 6);
  EXPECT_EQ(iatnum("CA1"), 20);
  EXPECT_EQ(iatnum("HE2"), 2);
  EXPECT_EQ(iatnum("NO1"), 102);
  EXPECT_EQ(iatnum("SI"), 14);
  EXPECT_EQ(iatnum("S1"), 16);
}

TEST(Iatnum, CaseIsIgnoredAndUnknownsGiveZero) {
  EXPECT_EQ(iatnum("c1"), 6);
  EXPECT_EQ(iatnum("Cl"), 17);
  EXPECT_EQ(iatnum("Hg5"), 80);
  EXPECT_EQ(iatnum("C(1)"), 6);
  EXPECT_EQ(iatnum("H12A"), 1);
  EXPECT_EQ(iatnum(" C1"), 0);
  EXPECT_EQ(iatnum("D1"), 0);
  EXPECT_EQ(iatnum("X1"), 0);
  EXPECT_EQ(iatnum("Q1"), 0);
  EXPECT_EQ(iatnum("N"), 7);
  EXPECT_EQ(iatnum(""), 0);
  EXPECT_EQ(iatnum("MT"), 109);
}

TEST(ElementTables, SymbolsAndRadii) {
  EXPECT_EQ(atsym(1), "H ");
  EXPECT_EQ(atsym(17), "Cl");
  EXPECT_EQ(atsym(92), "U ");
  EXPECT_EQ(atsym(93), "Np");
  EXPECT_EQ(atsym(103), "Lr");
  EXPECT_EQ(atsym(109), "Mt");
  EXPECT_EQ(atsym(0), "  ");
  EXPECT_EQ(atsym(110), "  ");
  const auto& r = default_covrad();
  EXPECT_FLOAT_EQ(r[1], 0.40f);
  EXPECT_FLOAT_EQ(r[2], 0.93f);
  EXPECT_FLOAT_EQ(r[36], 1.89f);
  EXPECT_FLOAT_EQ(r[54], 1.31f);
  // every symbol reads back as its own element
  for (int z = 1; z <= NSYM_ELEMENTS; ++z) EXPECT_EQ(iatnum(atsym(z)), z) << atsym(z);
}

// Bonds beyond xenon measured in crystal structures: each must count as a
// bond with the default tolerance of 0.2 A (d < r1 + r2 + 0.2), and the
// contact beside it, which is none, must not.
TEST(ElementTables, RadiiBeyondXenonBondWhatCrystalsBond) {
  const auto& r = default_covrad();
  const struct {
    int z1, z2;
    float bond, contact;
    const char* what;
  } kBonds[] = {
      {55, 8, 3.10f, 3.80f, "Cs-O of a caesium carboxylate"},
      {56, 8, 2.80f, 3.50f, "Ba-O of a barium salt"},
      {57, 8, 2.50f, 3.30f, "La-O of a lanthanum aqua ion"},
      {67, 8, 2.36f, 3.10f, "Ho-O of a holmium aqua ion"},
      {67, 17, 2.70f, 3.40f, "Ho-Cl"},
      {75, 8, 1.72f, 3.00f, "Re-O of perrhenate"},
      {78, 17, 2.31f, 3.00f, "Pt-Cl of cisplatin"},
      {78, 7, 2.05f, 2.80f, "Pt-N of cisplatin"},
      {79, 15, 2.23f, 3.00f, "Au-P of a gold phosphine"},
      {79, 17, 2.28f, 3.00f, "Au-Cl of a gold phosphine"},
      {80, 6, 2.06f, 2.80f, "Hg-C of methylmercury"},
      {80, 17, 2.30f, 3.10f, "Hg-Cl"},
      {82, 8, 2.30f, 3.10f, "Pb-O"},
      {92, 8, 1.77f, 3.00f, "U=O of uranyl"},
      {92, 8, 2.40f, 3.00f, "U-O equatorial of uranyl"},
  };
  for (const auto& b : kBonds) {
    const float limit = r[static_cast<std::size_t>(b.z1)] + r[static_cast<std::size_t>(b.z2)] + 0.2f;
    EXPECT_LT(b.bond, limit) << b.what;
    EXPECT_GT(b.contact, limit) << b.what;
  }
  // Every element up to Lr has a radius of an atom, none beyond.
  for (int z = 1; z <= NCOVRAD; ++z) {
    EXPECT_GT(r[static_cast<std::size_t>(z)], 0.3f) << atsym(z);
    EXPECT_LT(r[static_cast<std::size_t>(z)], 2.7f) << atsym(z);
  }
  EXPECT_EQ(NCOVRAD, 103);
}
