#include "symmetry/cell.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "base/error.hpp"
#include "support/builders.hpp"

namespace vorn {
namespace {

using test::TestRun;

double column_length(const Mat3& m, int j) {
  double s = 0;
  for (int i = 0; i < 3; ++i) s += double(m[i][j]) * m[i][j];
  return std::sqrt(s);
}
double column_angle(const Mat3& m, int j, int k) {
  double d = 0;
  for (int i = 0; i < 3; ++i) d += double(m[i][j]) * m[i][k];
  return std::acos(d / (column_length(m, j) * column_length(m, k))) * 180.0 / M_PI;
}

TEST(Tranmat, CubicCellIsAScaledUnitMatrix) {
  TestRun t;
  t.run.ucell = {25.4805f, 25.4805f, 25.4805f, 90.0f, 90.0f, 90.0f};
  tranmat(t.run);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      EXPECT_NEAR(t.run.transf.M[i][j], i == j ? 25.4805f : 0.0f, 1e-5f);
      EXPECT_NEAR(t.run.transf.Minv[i][j], i == j ? 1.0f / 25.4805f : 0.0f, 1e-7f);
    }
  EXPECT_EQ(t.out.str(), "  \n");
  std::string lst = t.lst.str();
  EXPECT_EQ(lst.rfind("\n Transformation matrix CRYSTAL --> GLOBAL CARTESIAN :\n    25.48049927", 0), 0u);
  EXPECT_NE(lst.find("\n Transformation matrix GLOBAL CARTESIAN --> CRYSTAL :\n     0.0392457"), std::string::npos);
  EXPECT_EQ(lst.substr(lst.size() - 3), "  \n");
}

TEST(Tranmat, TriclinicCellVectorsKeepLengthsAndAnglesWithCStarAlongZ) {
  TestRun t;
  t.run.ucell = {7.1234f, 9.8765f, 11.2345f, 78.12f, 84.56f, 71.23f};
  tranmat(t.run);
  const Mat3& m = t.run.transf.M;
  EXPECT_NEAR(column_length(m, 0), 7.1234, 1e-4);
  EXPECT_NEAR(column_length(m, 1), 9.8765, 1e-4);
  EXPECT_NEAR(column_length(m, 2), 11.2345, 1e-4);
  EXPECT_NEAR(column_angle(m, 1, 2), 78.12, 1e-3);
  EXPECT_NEAR(column_angle(m, 0, 2), 84.56, 1e-3);
  EXPECT_NEAR(column_angle(m, 0, 1), 71.23, 1e-3);
  // a along X, b in the XY plane
  EXPECT_EQ(m[1][0], 0.0f);
  EXPECT_EQ(m[2][0], 0.0f);
  EXPECT_EQ(m[2][1], 0.0f);
  EXPECT_GT(m[2][2], 0.0f);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) {
      float s = 0;
      for (int k = 0; k < 3; ++k) s += m[i][k] * t.run.transf.Minv[k][j];
      EXPECT_NEAR(s, i == j ? 1.0f : 0.0f, 1e-5f);
    }
}

TEST(Tranmat, ImpossibleAnglesStopInsteadOfGivingNaN) {
  TestRun t;
  t.run.ucell = {10.0f, 10.0f, 10.0f, 30.0f, 30.0f, 120.0f};
  EXPECT_FALSE(cell_fault(t.run.ucell).empty());
  try {
    tranmat(t.run);
    FAIL() << "no stop";
  } catch (const VornError& e) {
    EXPECT_EQ(e.routine(), "tranmat");
  }
  EXPECT_FALSE(cell_fault({10, -1, 10, 90, 90, 90}).empty());
  EXPECT_FALSE(cell_fault({10, 10, 10, 90, 180, 90}).empty());
  EXPECT_TRUE(cell_fault({10, 10, 10, 60, 60, 60}).empty());
}

TEST(Inverse, ZeroDeterminantStops) {
  TestRun t;  // no cell read: all zero
  try {
    tranmat(t.run);
    FAIL() << "no stop";
  } catch (const VornError& e) {
    EXPECT_EQ(e.routine(), "Inverse");
    EXPECT_EQ(e.message(), "Determinant = 0");
  }
}

TEST(RCell, ReciprocalLengths) {
  Cell r = r_cell({5.0f, 8.0f, 10.0f, 90.0f, 90.0f, 90.0f});
  EXPECT_NEAR(r[0], 0.2f, 1e-6f);
  EXPECT_NEAR(r[1], 0.125f, 1e-6f);
  EXPECT_NEAR(r[2], 0.1f, 1e-6f);
  // monoclinic: a* = 1 / (a sin beta)
  Cell m = r_cell({5.0f, 8.0f, 10.0f, 90.0f, 110.0f, 90.0f});
  EXPECT_NEAR(m[0], 1.0 / (5.0 * std::sin(110.0 * M_PI / 180.0)), 1e-6);
  EXPECT_NEAR(m[4], 70.0f, 1e-3f);
}

}  // namespace
}  // namespace vorn
