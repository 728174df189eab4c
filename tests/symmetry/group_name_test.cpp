#include "symmetry/group_name.hpp"

#include <gtest/gtest.h>

#include "support/builders.hpp"
#include "symmetry/cards.hpp"
#include "symmetry/lattice.hpp"

namespace vorn {
namespace {

using test::TestRun;

// The operator list of SHELX-style cards, the lattice centring and the
// centre of symmetry, as the reader builds it.
Symm group_of(const std::string& cards, char lattice, bool centric) {
  TestRun t;
  TextFile f = TextFile::from_string(cards);
  getsym(t.run, f);
  if (lattice != 'P') nonp(t.run, lattice);
  if (centric) addcentsymm(t.run);
  checkts(t.run);
  return t.run.symm;
}

// Names and numbers as International Tables A gives them for these
// settings.
TEST(GroupName, TabulatedGroupsByTheirOperators) {
  struct Case {
    const char* cards;
    char lattice;
    bool centric;
    const char* hm;
    int number;
  };
  const Case cases[] = {
      {"", 'P', false, "P 1", 1},
      {"", 'P', true, "P -1", 2},
      {"SYMM -X, 1/2+Y, 1/2-Z\n", 'P', true, "P 1 21/c 1", 14},
      {"SYMM 1/2-X, 1/2+Y, 1/2-Z\n", 'P', true, "P 1 21/n 1", 14},
      {"SYMM -X, Y, 1/2-Z\n", 'C', true, "C 1 2/c 1", 15},
      {"SYMM 1/2-X, -Y, 1/2+Z\nSYMM -X, 1/2+Y, 1/2-Z\nSYMM 1/2+X, 1/2-Y, -Z\n", 'P', false, "P 21 21 21", 19},
      {"SYMM -X, -Y, Z\nSYMM 1/4-X, 1/4+Y, 1/4+Z\nSYMM 1/4+X, 1/4-Y, 1/4+Z\n", 'F', false, "F d d 2", 43},
      {"SYMM -Y, X-Y, Z\nSYMM -X+Y, -X, Z\nSYMM Y, X, 1/2-Z\nSYMM X-Y, -Y, 1/2-Z\nSYMM -X, -X+Y, 1/2-Z\n", 'R', true,
       "R -3 c:H", 167},
  };
  for (const Case& c : cases) {
    const GroupName g = group_name(group_of(c.cards, c.lattice, c.centric));
    EXPECT_EQ(g.hm, c.hm) << c.cards;
    EXPECT_EQ(g.number, c.number) << c.cards;
  }
}

// Operators that are no group, or no tabulated setting, have no name.
TEST(GroupName, NoNameForAListThatIsNoTabulatedGroup) {
  Symm s;
  s.op.assign(1, SymOp{});
  SymOp identity;
  identity.R = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  push_op(s, identity);
  SymOp screw = identity;  // a 3-fold screw translation along a 2-fold axis: not closed
  screw.R = {{{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}};
  screw.t = {0, 0, 1.0f / 3.0f};
  push_op(s, screw);
  EXPECT_EQ(group_name(s).hm, "");
  EXPECT_EQ(group_name(s).number, 0);
  EXPECT_EQ(group_name(Symm{}).hm, "");
}

TEST(GroupName, OperatorsAsCoordinateTriplets) {
  const Symm s = group_of("SYMM -X, 1/2+Y, 1/2-Z\n", 'P', true);
  ASSERT_EQ(s.nsym, 4);
  EXPECT_EQ(operator_triplet(s.op[1]), "x,y,z");
  EXPECT_EQ(operator_triplet(s.op[2]), "-x,y+1/2,-z+1/2");
  // Translations reduced into the cell.
  EXPECT_EQ(operator_triplet(s.op[4]), "x,-y+1/2,z+1/2");
  SymOp odd;
  odd.R = {{{0, 1, 0}, {-1, 0, 0}, {0, 0, 1}}};
  odd.t = {-0.3f, 0, 0};
  EXPECT_EQ(operator_triplet(odd), "y+0.7,-x,z");
}

}  // namespace
}  // namespace vorn
