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
  EXPECT_EQ(atsym(0), "  ");
  EXPECT_EQ(atsym(93), "  ");
  const auto& r = default_covrad();
  EXPECT_FLOAT_EQ(r[1], 0.40f);
  EXPECT_FLOAT_EQ(r[2], 0.93f);
  EXPECT_FLOAT_EQ(r[36], 1.89f);
  EXPECT_FLOAT_EQ(r[54], 1.31f);
  // every symbol reads back as its own element
  for (int z = 1; z <= 92; ++z) EXPECT_EQ(iatnum(atsym(z)), z) << atsym(z);
}
