#include "symmetry/cards.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "base/text.hpp"
#include "support/builders.hpp"

namespace vorn {
namespace {

using test::TestRun;

Mat3 rows(Vec3 a, Vec3 b, Vec3 c) { return Mat3{a, b, c}; }

// Reads the cards of a file text; returns the listing.
std::string scan(TestRun& t, const std::string& text) {
  TextFile f = TextFile::from_string(text);
  getsym(t.run, f);
  return t.lst.str();
}

void expect_op(const SymOp& op, const Mat3& R, const Vec3& tr) {
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(op.t[i], tr[i], 1e-6f) << "translation " << i;
    for (int j = 0; j < 3; ++j) EXPECT_EQ(op.R[i][j], R[i][j]) << "R " << i << j;
  }
}

float translation_of(const std::string& expr) {
  float t = -99.0f;
  Vec3 r{};
  EXPECT_TRUE(symop(expr, t, r)) << expr;
  return t;
}

TEST(SymmetryCards, CoordinateExpressionsGiveRowsAndTranslations) {
  struct Case {
    const char* text;
    Vec3 r;
    float t;
  } cases[] = {
      {"-X+1/2", {-1, 0, 0}, 0.5f}, {"X-Y", {1, -1, 0}, 0.0f},     {"1/2+Z", {0, 0, 1}, 0.5f},
      {"0.5-Y", {0, -1, 0}, 0.5f},  {"-x+y", {-1, 1, 0}, 0.0f},    {"Y-X", {-1, 1, 0}, 0.0f},
      {"0.50000 - X", {-1, 0, 0}, 0.5f}, {"-Z+ 0.50000", {0, 0, -1}, 0.5f}, {"1/4+x", {1, 0, 0}, 0.25f},
  };
  for (const Case& c : cases) {
    float t = 0;
    Vec3 r{};
    ASSERT_TRUE(symop(c.text, t, r)) << c.text;
    EXPECT_EQ(r, c.r) << c.text;
    EXPECT_FLOAT_EQ(t, c.t) << c.text;
  }
}

TEST(SymmetryCards, FractionsKeepTheirValuesAndAcceptEveryDigit) {
  EXPECT_FLOAT_EQ(translation_of("X+1/2"), 0.5f);
  EXPECT_FLOAT_EQ(translation_of("X+1/2"), translation_of("+1/2+X"));
  EXPECT_FLOAT_EQ(translation_of("X-1/4"), -0.25f);
  EXPECT_FLOAT_EQ(translation_of("X+2/3"), 2.0f / 3.0f);
  EXPECT_FLOAT_EQ(translation_of("X+0.5"), 0.5f);
  EXPECT_FLOAT_EQ(translation_of("X+0.25"), 0.25f);
  // Hexagonal screw axes: sixths and twelfths must not collapse to whole cells.
  EXPECT_FLOAT_EQ(translation_of("Z+1/6"), 1.0f / 6.0f);
  EXPECT_FLOAT_EQ(translation_of("Z+5/6"), 5.0f / 6.0f);
  EXPECT_FLOAT_EQ(translation_of("Z+1/12"), 1.0f / 12.0f);
  EXPECT_FLOAT_EQ(translation_of("Z-7/12"), -7.0f / 12.0f);
  EXPECT_FLOAT_EQ(translation_of("Z+3/8"), 0.375f);
}

TEST(SymmetryCards, ExpressionsTheCardsCannotCarryAreRefused) {
  for (const char* bad : {"2X", "1/2X", "X/2", "X+Q", "X-X", "-X2", "X+1/0", "X+1/2/3"}) {
    float t = 0;
    Vec3 r{};
    EXPECT_FALSE(symop(bad, t, r)) << bad;
  }
}

TEST(SymmetryCards, BothCardFormsAppendOperators) {
  TestRun t;
  scan(t,
       "TITL test\n"
       "SYMM -X+1/2, Y, -Z+1/2\n"
       "SYMM 0 1 0 0 0 0 1 0 0.5 0 0 -1\n"
       "symm -x,-y,-z\n"
       "SYMM X,Y,Z\n"  // the identity is not stored twice
       "SYMM X,-Y,Z ; -X,Y,-Z\n");
  const Symm& s = t.run.symm;
  ASSERT_EQ(s.nsym, 6);
  expect_op(s.op[1], rows({1, 0, 0}, {0, 1, 0}, {0, 0, 1}), {0, 0, 0});
  expect_op(s.op[2], rows({-1, 0, 0}, {0, 1, 0}, {0, 0, -1}), {0.5f, 0, 0.5f});
  expect_op(s.op[3], rows({1, 0, 0}, {0, 1, 0}, {0, 0, -1}), {0, 0, 0.5f});
  expect_op(s.op[4], rows({-1, 0, 0}, {0, -1, 0}, {0, 0, -1}), {0, 0, 0});
  expect_op(s.op[5], rows({1, 0, 0}, {0, -1, 0}, {0, 0, 1}), {0, 0, 0});
  expect_op(s.op[6], rows({-1, 0, 0}, {0, 1, 0}, {0, 0, -1}), {0, 0, 0});
}

TEST(SymmetryCards, IllegalCardsAreReportedAndTheScanGoesOn) {
  TestRun t;
  std::string lst = scan(t,
                         "SYMM -X,-Y,Z\n"
                         "SYMM X,Y,Z,X\n"         // four expressions
                         "SYMM 0 1 0 0 0 0 1 0 0.5 0 0 Q\n"  // unreadable number
                         "SYMM X,X,Z\n"           // no invertible rotation
                         "SYMM 2X,Y,Z\n"          // a factor the cards cannot carry
                         "SYMM -X,Y,-Z\n");
  EXPECT_EQ(t.run.symm.nsym, 3);
  EXPECT_NE(lst.find(" * * * Symmetry card no.  3 illegal * * *\n"), std::string::npos);
  std::size_t count = 0;
  for (std::size_t p = lst.find("illegal"); p != std::string::npos; p = lst.find("illegal", p + 1)) ++count;
  EXPECT_EQ(count, 4u);
  // an illegal operator after a good one on the same card keeps the good one
  TestRun u;
  scan(u, "SYMM -X,-Y,Z; X,Y\n");
  EXPECT_EQ(u.run.symm.nsym, 2);
}

TEST(SymmetryCards, CardLongerThan255ColumnsIsIllegal) {
  // Cut at column 255 the card would read -X+1/2, -Y, -Z+1: another operator.
  TestRun t;
  std::string lst = scan(t, "SYMM -X+1/2," + std::string(234, ' ') + "-Y, -Z+1/2\nSYMM -X,Y,-Z\n");
  EXPECT_EQ(t.run.symm.nsym, 2);
  EXPECT_NE(lst.find(" * * * Symmetry card no.  2 illegal * * *\n"), std::string::npos);
}

TEST(SymmetryCards, SearchFindsTheKeyInAnyCaseAndGoesOnFromThere) {
  TextFile f = TextFile::from_string("TITL sym\nSYMM -X, Y, Z\nsymm x, -y, z\nsy\nSYM\n");
  std::string line;
  ASSERT_TRUE(srchl(f, "sym", true, line));
  EXPECT_EQ(line.size(), 255u);
  EXPECT_EQ(rtrim(line), "SYMM -X, Y, Z");
  ASSERT_TRUE(srchl(f, "SYM", false, line));
  EXPECT_EQ(rtrim(line), "symm x, -y, z");
  // lines are compared blank-padded
  ASSERT_TRUE(srchl(f, "SYM ", true, line));
  EXPECT_EQ(rtrim(line), "SYM");
  ASSERT_TRUE(srchl(f, "SY  ", true, line));
  EXPECT_EQ(rtrim(line), "sy");
  EXPECT_FALSE(srchl(f, "SYMM", false, line));
  EXPECT_FALSE(srchl(f, std::string(256, 'S'), true, line));
}

TEST(SymmetryCards, HexagonalScrewAxisGivesSixDistinctOperators) {
  TestRun t;
  scan(t,
       "SYMM -Y, X-Y, Z+1/3\nSYMM -X+Y, -X, Z+2/3\nSYMM -X, -Y, Z+1/2\n"
       "SYMM Y, -X+Y, Z+5/6\nSYMM X-Y, X, Z+1/6\n");
  ASSERT_EQ(t.run.symm.nsym, 6);
  EXPECT_FLOAT_EQ(t.run.symm.op[5].t[2], 5.0f / 6.0f);
  EXPECT_FLOAT_EQ(t.run.symm.op[6].t[2], 1.0f / 6.0f);
}

TEST(SymmetryCards, OperatorsPrintAsText) {
  TestRun t;
  std::string lst = scan(t, "SYMM -x+1/2, y, -z+1/2\nSYMM X+1/12, Y+5/12, Z-2/3\n");
  std::istringstream in(lst);
  std::string l1, l2, l3;
  std::getline(in, l1);
  std::getline(in, l2);
  std::getline(in, l3);
  EXPECT_EQ(l1, "   SYMM  1      + X, + Y, + Z");
  EXPECT_EQ(l2, "   SYMM  2      1/2 - X, + Y, 1/2 - Z");
  EXPECT_EQ(l3, "   SYMM  3      1/12 + X, 5/12 + Y,-2/3 + Z");
  EXPECT_EQ(opout({2, 0, -1}, 0.0f), " + 2.0X - Z");
  EXPECT_EQ(opout({0, 0, 1}, 5.0f / 6.0f), " 5/6 + Z");
  EXPECT_EQ(opout({0, 0, -1}, -11.0f / 12.0f), "-11/12 - Z");
  EXPECT_EQ(opout({1, 0, 0}, 0.375f), " 3/8 + X");
}

}  // namespace
}  // namespace vorn
