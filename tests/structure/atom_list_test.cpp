#include "structure/atom_list.hpp"

#include <gtest/gtest.h>

#include "support/builders.hpp"

using namespace vorn;
using vorn::test::TestRun;

namespace {
// An orthorhombic cell 10 x 11 x 12 with a mirror plane at z = 1/4.
void mirror_cell(Run& run) {
  run.ucell = {10, 11, 12, 90, 90, 90};
  run.transf.M = {{{10, 0, 0}, {0, 11, 0}, {0, 0, 12}}};
  run.transf.Minv = {{{0.1f, 0, 0}, {0, 1 / 11.0f, 0}, {0, 0, 1 / 12.0f}}};
  run.symm.nsym = 2;
  run.symm.op.resize(3);
  run.symm.op[1].R = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  run.symm.op[2].R = {{{1, 0, 0}, {0, 1, 0}, {0, 0, -1}}};
  run.symm.op[2].t = {0, 0, 0.5f};
}
}  // namespace

TEST(Checkocc, SpecialPositionVersusDisorder) {
  TestRun t;
  vorn::Run& r = t.run;
  mirror_cell(r);
  int full_on_mirror = vorn::test::add_atom(r, "C1", Cart(1, 2, 3), 1.0f);
  int half_on_mirror = vorn::test::add_atom(r, "O1", Cart(2, 3, 3), 0.5f);
  int half_general = vorn::test::add_atom(r, "O2", Cart(2, 3, 4), 0.5f);
  checkocc(r);
  EXPECT_EQ(r.atoms1.flag[full_on_mirror], 0);
  EXPECT_EQ(r.atoms1.flag[half_on_mirror], 1);
  EXPECT_EQ(r.atoms1.flag[half_general], -1);
}

TEST(Checkocc, ImagesBeyondTwoCellsAreNotSeen) {
  TestRun t;
  vorn::Run& r = t.run;
  mirror_cell(r);
  r.symm.op[2].R = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  r.symm.op[2].t = {3, 0, 0};  // the atom itself, three cells away
  int a = vorn::test::add_atom(r, "C1", Cart(1, 2, 4), 0.5f);
  checkocc(r);
  EXPECT_EQ(r.atoms1.flag[a], -1);
  r.symm.op[2].t = {2, 0, 0};
  checkocc(r);
  EXPECT_EQ(r.atoms1.flag[a], 1);
}

TEST(Printatoms, ListsAtomsAndCountsFlags) {
  TestRun t;
  vorn::Run& r = t.run;
  mirror_cell(r);
  vorn::test::add_atom(r, "C1", Cart(1, 2, 3), 1.0f);
  vorn::test::add_atom(r, "O1", Cart(2, 3, 3), 0.5f);
  vorn::test::add_atom(r, "O2", Cart(2, 3, 4), 0.5f);
  checkocc(r);
  std::ostringstream os;
  printatoms(r, os);
  EXPECT_EQ(os.str(),
            "\n         ATOM      ------- FRACTIONAL -------    ------- CARTESIAN -------  FLAG\n"
            "      1  C1         0.10000  0.18182  0.25000     1.0000   2.0000   3.0000     0\n"
            "      2  O1         0.20000  0.27273  0.25000     2.0000   3.0000   3.0000     1\n"
            "      3  O2         0.20000  0.27273  0.33333     2.0000   3.0000   4.0000    -1\n"
            "\n FLAG =  0 : normal atoms (     1 )\n"
            "      =  1 : atoms in special positions (     1 ) \n"
            "      = -1 : disordered atoms (     1 ) \n");
}

TEST(Prattyp, ListsTypesWithSymbols) {
  TestRun t;
  t.run.at_types.ntyp = 2;
  t.run.at_types.iz = {0, 6, 17};
  prattyp(t.run);
  EXPECT_EQ(t.lst.str(),
            "\n Number of atom types =    2\n"
            "   atom type = C     atomic number =   6\n"
            "   atom type = Cl    atomic number =  17\n");
}
