#include "symmetry/lattice.hpp"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "base/error.hpp"
#include "support/builders.hpp"
#include "symmetry/cards.hpp"

namespace vorn {
namespace {

using test::TestRun;

void read_cards(TestRun& t, const std::string& text) {
  TextFile f = TextFile::from_string(text);
  getsym(t.run, f);
  t.lst.str("");
}

// An operator reduced to a comparable key (translations modulo whole cells).
using OpKey = std::tuple<Mat3, std::array<int, 3>>;
OpKey key(const SymOp& op) {
  std::array<int, 3> t{};
  for (int i = 0; i < 3; ++i) t[i] = static_cast<int>(std::lround(op.t[i] * 24.0f + 240.0f)) % 24;
  Mat3 r = op.R;
  for (auto& row : r)
    for (float& x : row) x += 0.0f;  // -0 and 0 alike
  return {r, t};
}
std::set<OpKey> op_set(const Symm& s) {
  std::set<OpKey> k;
  for (int n = 1; n <= s.nsym; ++n) k.insert(key(s.op[n]));
  return k;
}

TEST(LatticeCentring, CCentringAppendsShiftedCopiesAndReducesTranslations) {
  TestRun t;
  read_cards(t, "SYMM -X, Y, 1/2-Z\nSYMM 1/2+X, 1/2+Y, Z\nSYMM X, -Y, 1/2+Z\n");
  ASSERT_EQ(t.run.symm.nsym, 4);
  nonp(t.run, 'C');
  ASSERT_EQ(t.run.symm.nsym, 8);
  for (int i = 1; i <= 4; ++i) {
    const SymOp& a = t.run.symm.op[i];
    const SymOp& b = t.run.symm.op[i + 4];
    EXPECT_EQ(a.R, b.R);
    for (int k = 0; k < 3; ++k) {
      float want = a.t[k] + (k < 2 ? 0.5f : 0.0f);
      if (want >= 1.0f) want -= 1.0f;
      EXPECT_FLOAT_EQ(b.t[k], want) << "operator " << i + 4 << " component " << k;
    }
  }
  EXPECT_FLOAT_EQ(t.run.symm.op[7].t[0], 0.0f);  // 1/2 + 1/2 reaches a whole cell
  std::string lst = t.lst.str();
  EXPECT_NE(lst.find("\n Non-Primitive lattice...\n Lattice centring type is [ C ]\n"), std::string::npos);
  EXPECT_NE(lst.find(" Number of lattice points per cell = 2\n"), std::string::npos);
  EXPECT_NE(lst.find("\n Symmetry operations after applying the lattice centering:\n\n Number of symmetry operations =    8\n"),
            std::string::npos);
}

TEST(LatticeCentring, FCentringQuadruplesInTableOrder) {
  TestRun t;
  read_cards(t, "SYMM -x,-y,z\nSYMM 1/4+x,1/4-y,1/4+z\nSYMM 1/4-x,1/4+y,1/4+z\n");
  nonp(t.run, 'F');
  ASSERT_EQ(t.run.symm.nsym, 16);
  const Vec3 v[3] = {{0.5f, 0.5f, 0}, {0, 0.5f, 0.5f}, {0.5f, 0, 0.5f}};
  for (int k = 1; k <= 3; ++k)
    for (int i = 1; i <= 4; ++i)
      for (int c = 0; c < 3; ++c) {
        float want = t.run.symm.op[i].t[c] + v[k - 1][c];
        if (want >= 1.0f) want -= 1.0f;
        EXPECT_FLOAT_EQ(t.run.symm.op[4 * k + i].t[c], want);
      }
  EXPECT_EQ(op_set(t.run.symm).size(), 16u);
}

TEST(LatticeCentring, UnknownLatticeLetterStopsInTheErrorForm) {
  TestRun t;
  read_cards(t, "SYMM -Y, X-Y, Z\n");
  try {
    nonp(t.run, 'H');
    FAIL() << "no stop";
  } catch (const VornError& e) {
    EXPECT_EQ(e.message(), "Lattice type H is not supported");
    EXPECT_FALSE(e.reported());
  }
}

TEST(CentreOfSymmetry, DoublesWithNegatedOperators) {
  TestRun t;
  read_cards(t, "SYMM -X, 1/2+Y, 1/2-Z\n");
  addcentsymm(t.run);
  ASSERT_EQ(t.run.symm.nsym, 4);
  const SymOp& inv = t.run.symm.op[3];
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(inv.t[i], 0.0f);
    for (int j = 0; j < 3; ++j) EXPECT_EQ(inv.R[i][j], i == j ? -1.0f : 0.0f);
  }
  EXPECT_FLOAT_EQ(t.run.symm.op[4].t[1], -0.5f);
  EXPECT_FLOAT_EQ(t.run.symm.op[4].R[0][0], 1.0f);
  // printed whatever the verbosity
  std::string lst = t.lst.str();
  EXPECT_NE(lst.find("\n Symmetry operations with Center of Symmetry applied:    4\n"), std::string::npos);
  EXPECT_NE(lst.find("\n SYMM    3\n   -1.000000    0.000000    0.000000         0.000000\n"), std::string::npos);
}

TEST(CentreOfSymmetry, BothReaderOrdersGiveTheSameGroup) {
  // C2/c: the SHELX order centres first, the XD order inverts first.
  TestRun shelx, xd;
  read_cards(shelx, "SYMM -X, Y, 1/2-Z\n");
  read_cards(xd, "SYMM -X, Y, 1/2-Z\n");
  nonp(shelx.run, 'C');
  addcentsymm(shelx.run);
  addcentsymm(xd.run);
  nonp(xd.run, 'C');
  ASSERT_EQ(shelx.run.symm.nsym, 8);
  ASSERT_EQ(xd.run.symm.nsym, 8);
  EXPECT_EQ(op_set(shelx.run.symm), op_set(xd.run.symm));
  // the order differs: SHELX operator 3 is the centred identity, XD operator 3 the inversion
  EXPECT_FLOAT_EQ(shelx.run.symm.op[3].t[0], 0.5f);
  EXPECT_EQ(xd.run.symm.op[3].R[0][0], -1.0f);
  // the XD order leaves a negative translation unreduced: -1/2 + 1/2 = 0, -1/2 stays
  EXPECT_FLOAT_EQ(xd.run.symm.op[4].t[2], -0.5f);
}

TEST(Checkts, ReducesByTheIntegerPartOnly) {
  TestRun t;
  SymOp op;
  op.t = {1.5f, -1.5f, 1.0f};
  push_op(t.run.symm, op);
  op.t = {0.75f, -0.999f, -1.0f};
  push_op(t.run.symm, op);
  checkts(t.run);
  EXPECT_FLOAT_EQ(t.run.symm.op[1].t[0], 0.5f);
  EXPECT_FLOAT_EQ(t.run.symm.op[1].t[1], -0.5f);
  EXPECT_FLOAT_EQ(t.run.symm.op[1].t[2], 0.0f);
  EXPECT_FLOAT_EQ(t.run.symm.op[2].t[0], 0.75f);
  EXPECT_FLOAT_EQ(t.run.symm.op[2].t[1], -0.999f);
  EXPECT_FLOAT_EQ(t.run.symm.op[2].t[2], 0.0f);
}

TEST(Prsymop, MatricesOnlyFromVerbosityTwo) {
  TestRun t;
  read_cards(t, "SYMM -Y, X-Y, Z+1/3\n");
  prsymop(t.run);
  EXPECT_EQ(t.lst.str(), "\n Number of symmetry operations =    2\n");
  t.lst.str("");
  t.run.ctl.iverb = 2;
  prsymop(t.run);
  EXPECT_EQ(t.lst.str(),
            "\n Number of symmetry operations =    2\n"
            "\n SYMM  1\n"
            "    1.000000    0.000000    0.000000         0.000000\n"
            "    0.000000    1.000000    0.000000         0.000000\n"
            "    0.000000    0.000000    1.000000         0.000000\n"
            "\n SYMM  2\n"
            "    0.000000    1.000000    0.000000         0.000000\n"
            "   -1.000000   -1.000000    0.000000         0.000000\n"
            "    0.000000    0.000000    1.000000         0.333333\n");
}

TEST(LatticeCentring, FaceCentredCubicReaches192Operators) {
  // Fm-3m: the 24 proper rotations of the cube as cards, inverted, F-centred.
  TestRun t;
  std::string cards;
  const char* ax[3] = {"X", "Y", "Z"};
  int perms[6][3] = {{0, 1, 2}, {1, 2, 0}, {2, 0, 1}, {1, 0, 2}, {0, 2, 1}, {2, 1, 0}};
  for (int p = 0; p < 6; ++p)
    for (int s = 0; s < 8; ++s) {
      int sg[3] = {s & 1 ? -1 : 1, s & 2 ? -1 : 1, s & 4 ? -1 : 1};
      int parity = p < 3 ? 1 : -1;
      if (sg[0] * sg[1] * sg[2] * parity != 1) continue;
      std::string card = "SYMM ";
      for (int i = 0; i < 3; ++i) card += std::string(i ? "," : "") + (sg[i] < 0 ? "-" : "") + ax[perms[p][i]];
      cards += card + "\n";
    }
  read_cards(t, cards);
  ASSERT_EQ(t.run.symm.nsym, 24);
  nonp(t.run, 'F');
  addcentsymm(t.run);
  ASSERT_EQ(t.run.symm.nsym, 192);
  EXPECT_EQ(op_set(t.run.symm).size(), 192u);
  t.run.ctl.iverb = 2;
  t.lst.str("");
  prsymop(t.run);
  EXPECT_NE(t.lst.str().find("\n SYMM 192\n"), std::string::npos);
}

}  // namespace
}  // namespace vorn
