#include "output/mopro.hpp"

#include <gtest/gtest.h>

#include "base/error.hpp"
#include "output/lines.hpp"
#include "output/methanol.hpp"

namespace vorn::test {
namespace {

struct Mopro : ::testing::Test {
  TestRun t;
  std::ostringstream par, con;
  void SetUp() override {
    build_methanol(t.run);
    t.run.par.attach(par);
    t.run.con.attach(con);
  }
  std::string axis(int i) const { return std::string(t.run.mopro[static_cast<std::size_t>(i)]); }
};

const std::string kHPop = " 0.88230 0.00000  0.000  0.000  0.132  0.061  0.000  0.000  0.000  0.000";

// Worked out by hand from the layout of the MoPro parameter file.
TEST_F(Mopro, MethanolBodyAndTailMatchTheLayoutLineByLine) {
  write_mopro_atoms(t.run);
  write_mopro_tail(t.run);
  expect_lines(par.str(), {
      "DUMMY   1",
      "DUMY     0.700000    0.600000    0.500000  D1     0",
      "",
      "KAPPA   4",
      "  0.997000  0.824000",
      "  0.998000  0.862000",
      "  1.130000  1.290000",
      "  1.160000  1.250000",
      "",
      "ATOMS    6",
      "",
      "ATOM   1 O1        MOL   1    0.643000    0.500000    0.500000 1.000  1 O         ",
      axis(1),
      "UANI     0.020100  0.025300  0.018700 -0.001200  0.003400  0.000800",
      " 6.32120 0.00000  0.012  -.005  0.056  -.067  0.011  0.000  0.083  -.021",
      "  0.014  0.000  0.006  0.000  0.000  -.030  0.000",
      "  0.008  0.000  0.000  0.002  0.000  0.000  0.000  -.005  0.001",
      "",
      "ATOM   2 C1        MOL   1    0.500000    0.500000    0.500000 1.000  1 C         ",
      axis(2),
      "UANI     0.022300  0.029100  0.024500  0.001100  0.002000 -0.001500",
      " 4.03210 0.00000  0.000  0.000  0.120  0.031  0.000  0.000  0.000  0.000",
      "  0.250  0.000  0.000  0.000  0.000  -.150  0.000",
      "  0.010  0.000  0.000  0.000  0.000  0.000  0.000  0.000  0.000",
      "",
      "ATOM   3 H1        MOL   1    0.673500    0.591000    0.500000 1.000  1 H         ",
      axis(3),
      "UISO     0.041200",
      kHPop,
      "",
      "ATOM   4 H2        MOL   1    0.468000    0.500000    0.409500 1.000  1 H         ",
      axis(4),
      "UISO     0.038500",
      kHPop,
      "",
      "ATOM   5 H3        MOL   1    0.468000    0.578400    0.545200 1.000  1 H         ",
      axis(5),
      "UISO     0.039100",
      kHPop,
      "",
      "ATOM   6 H4        MOL   1    0.468000    0.421600    0.545200 0.500  1 H         ",
      axis(6),
      "UISO     0.040200",
      " 0.88240 0.00000  0.000  0.000  0.132  0.061  0.000  0.000  0.000  0.000",
      "",
      "",
      "ANHAR    0    3         !  #atoms #order ",
      "! 1         ! atom number ",
      "! 0. 0. 0. 0. 0. 0. 0. 0. ",
      "! 0. 0. ",
      "",
      "STOP ",
  });
  EXPECT_EQ(axis(1).size(), 90u);
}

TEST_F(Mopro, HalfOccupiedAtomShowsPopulationsPerUnitOccupancy) {
  // Pv 2.0 stored for an atom at occupancy 0.5 reads 4.0 in MoPro.
  t.run.atoms1.occ[2] = 0.5f;
  t.run.mpoles[2].pv = 2.0f;
  write_mopro_atoms(t.run);
  auto l = lines_of(par.str());
  EXPECT_EQ(l[18].substr(62, 6), " 0.500");
  EXPECT_EQ(l[21].substr(0, 8), " 4.00000");
  EXPECT_EQ(l[21].substr(16, 21), "  0.000  0.000  0.240");  // P10 0.1201 / 0.5
}

TEST_F(Mopro, EmptySiteGetsZeroPopulationsAndAListingNote) {
  t.run.atoms1.occ[2] = 0.0f;
  write_mopro_atoms(t.run);
  auto l = lines_of(par.str());
  EXPECT_EQ(l[21], " 0.00000 0.00000  0.000  0.000  0.000  0.000  0.000  0.000  0.000  0.000");
  EXPECT_EQ(l[22], "  0.000  0.000  0.000  0.000  0.000  0.000  0.000");
  EXPECT_EQ(l[23], "  0.000  0.000  0.000  0.000  0.000  0.000  0.000  0.000  0.000");
  EXPECT_NE(t.lst.str().find(" Atom C(1) has occupancy 0 : its populations are written as 0 in mopro_vorn.par"),
            std::string::npos);
  EXPECT_EQ(par.str().find("NaN"), std::string::npos);
  EXPECT_EQ(par.str().find("Inf"), std::string::npos);
}

// The displacement line follows what was refined: an isotropic carbon keeps
// its Uiso (a UANI line of it would be flat, not positive definite); an
// anisotropic H gets its Ueq. In a monoclinic cell (beta = 120 degrees)
// Ueq = [(U11 + U33 + 2 U13 cos beta) / sin^2 beta + U22] / 3
//     = [(0.04 + 0.06 - 0.01) / 0.75 + 0.05] / 3 = 0.056667.
TEST_F(Mopro, DisplacementLineFollowsTheRefinedType) {
  t.run.ucell = {7.0f, 8.0f, 9.0f, 90.0f, 120.0f, 90.0f};
  t.run.atoms1.iu[2] = 1;
  t.run.at_uij[2] = {0.03f, 0, 0, 0, 0, 0};
  t.run.atoms1.iu[3] = 2;
  t.run.at_uij[3] = {0.04f, 0.05f, 0.06f, 0.0f, 0.01f, 0.0f};
  write_mopro_atoms(t.run);
  auto l = lines_of(par.str());
  EXPECT_EQ(l[13], "UANI     0.020100  0.025300  0.018700 -0.001200  0.003400  0.000800");  // O(1), anisotropic
  EXPECT_EQ(l[20], "UISO     0.030000");  // C(1), isotropic
  EXPECT_EQ(l[27], "UISO     0.056667");  // H(1), anisotropic
  // XD's anharmonic orders carry the harmonic tensor as well.
  par.str("");
  t.run.atoms1.iu[3] = 4;
  write_mopro_atoms(t.run);
  EXPECT_EQ(lines_of(par.str())[27], "UISO     0.056667");
}

// PLATON and AIM2TAB input has no cell: the atom line carries the Cartesian
// coordinates, and an atom without displacement parameters a zero Uiso.
TEST_F(Mopro, CartesianInputWritesCartesianCoordinates) {
  t.run.ctl.ifrac = 0;
  for (int i = 1; i <= t.run.atoms.nat; ++i) {
    t.run.atoms.xf[i] = Frac();
    t.run.atoms1.iu[i] = 0;
    t.run.at_uij[i] = Uij{};
  }
  write_mopro_atoms(t.run);
  auto l = lines_of(par.str());
  EXPECT_EQ(l[11], "ATOM   1 O1        MOL   1    6.430000    5.000000    5.000000 1.000  1 O         ");
  EXPECT_EQ(l[13], "UISO     0.000000");
}

TEST_F(Mopro, HydrogenTestLooksAtTheElementPartOfTheLabel) {
  EXPECT_TRUE(mopro_hydrogen("H(5)    "));
  EXPECT_FALSE(mopro_hydrogen("H5      "));  // no bracket: the element part is H5
  EXPECT_FALSE(mopro_hydrogen("HG(1)   "));
  EXPECT_FALSE(mopro_hydrogen("C(12)   "));

  // A bracket-less H gets the populations of a heavier atom; its U stays
  // the isotropic one it has.
  t.run.atoms.label[3] = pad("H5", 8);
  write_mopro_atoms(t.run);
  auto l = lines_of(par.str());
  EXPECT_EQ(l[25], "ATOM   3 H5        MOL   1    0.673500    0.591000    0.500000 1.000  1 H5        ");
  EXPECT_EQ(l[27], "UISO     0.041200");
  EXPECT_EQ(l[28], kHPop);
  EXPECT_EQ(l[29], "  0.000  0.000  0.000  0.000  0.000  0.000  0.000");
  EXPECT_EQ(l[30], "  0.000  0.000  0.000  0.000  0.000  0.000  0.000  0.000  0.000");
  EXPECT_EQ(l[31], "");
}

TEST_F(Mopro, ResidueLabelsNameTheAtoms) {
  t.run.shelx.resi = true;
  // 17 characters each: name (6), blank, residue number (3), two blanks, residue name (5).
  t.run.shelx.reslab = {"", "O1       1  MEOH ", "C1       1  MEOH ", "H1       1  MEOH ", "H2       1  MEOH ",
                        "H3       1  MEOH "};  // the residue scan missed H(4)
  write_mopro_atoms(t.run);
  auto l = lines_of(par.str());
  EXPECT_EQ(l[11], "ATOM   1 O1       1  MEOH     0.643000    0.500000    0.500000 1.000  1 O         ");
  EXPECT_EQ(l[18], "ATOM   2 C1       1  MEOH     0.500000    0.500000    0.500000 1.000  1 C         ");
  // Without a residue label of its own H(4) keeps its plain name, same width.
  EXPECT_EQ(l[40], "ATOM   6 H4        MOL   1    0.468000    0.421600    0.545200 0.500  1 H         ");
  EXPECT_NE(t.lst.str().find(" Atom H(4) has no residue label : named H4 in mopro_vorn.par"), std::string::npos);
}

TEST_F(Mopro, DummyNumbersAreLeftJustifiedInFiveColumns) {
  t.run.dummy.n = 12;
  for (int j = 2; j <= 12; ++j) {
    t.run.dummy.label.push_back(pad("DUM" + std::to_string(j), 6));
    t.run.dummy.x.push_back(Vec3{0.1f * static_cast<float>(j % 10), 0.25f, -0.125f});
  }
  write_mopro_atoms(t.run);
  auto l = lines_of(par.str());
  EXPECT_EQ(l[0], "DUMMY  12");
  EXPECT_EQ(l[12], "DUMY     0.200000    0.250000   -0.125000  D12    0");
  EXPECT_EQ(l[13], "");
}

TEST_F(Mopro, ConstraintTailListsOnlyTheSimilarityLinesAndCloses) {
  t.run.mcon.set(3, "DISTAN  whatever");  // not a similarity line
  write_con_tail(t.run);
  expect_lines(con.str(), {
      "!",
      "! similarity (switched-off)",
      "!",
      pad("! CONPVM  H3         1  H2         1", 90),
      pad("! CONPVM  H4         1  H2         1", 90),
      "!",
      "! end",
      "!",
  });
  EXPECT_FALSE(t.run.con.is_open());
}

TEST_F(Mopro, ConstraintFileOnDiskIsComplete) {
  ASSERT_TRUE(t.run.con.open(t.run.path("con_mopro.inp")));
  ff::write(*t.run.con, "(a)", "!");
  write_con_tail(t.run);
  EXPECT_EQ(lines_of(t.read("con_mopro.inp")).size(), 9u);
  EXPECT_EQ(lines_of(t.read("con_mopro.inp")).back(), "!");
}

TEST_F(Mopro, KappaTableShorterThanItsCountStops) {
  t.run.kappas.n = 7;
  EXPECT_THROW(write_mopro_atoms(t.run), VornError);
}

}  // namespace
}  // namespace vorn::test
