#include "local/atom_lines.hpp"

#include <gtest/gtest.h>

#include <string>

#include "base/text.hpp"
#include "databank/databank.hpp"
#include "local/local_run.hpp"
#include "output/lines.hpp"

namespace vorn::test {
namespace {

using AtomLinesTest = LocalTest;

int kap(vorn::Run& r, int i) { return r.kappaset[static_cast<std::size_t>(i)]; }
int chemcon(vorn::Run& r, int i) { return r.chemcon[static_cast<std::size_t>(i)]; }

// The atom-table lines made so far, by atom (localdef writes them to the
// master file after the last atom).
std::vector<std::string> atom_table(const vorn::Run& r) {
  std::vector<std::string> v;
  for (std::size_t i = 1; i < r.atom_table.size() && !r.atom_table[i].empty(); ++i) v.push_back(r.atom_table[i]);
  return v;
}

TEST_F(AtomLinesTest, KappaSetsAndConstraintsFollowTheEarliestEquivalentAtom) {
  const Propane p(m, 5);
  define();
  // C(2) opens set 1; C(1) (methyl) set 2; C(3) is equivalent to C(1).
  EXPECT_EQ(kap(run, p.c2), 1);
  EXPECT_EQ(chemcon(run, p.c2), 0);
  EXPECT_EQ(kap(run, p.c1), 2);
  EXPECT_EQ(kap(run, p.c3), 2);
  EXPECT_EQ(chemcon(run, p.c3), 1);
  // H(21), H(22) on the CH2 share set 3; the six methyl H share set 4 with
  // H(11), the first of them.
  EXPECT_EQ(kap(run, 4), 3);
  EXPECT_EQ(kap(run, 5), 3);
  for (int h = 6; h <= 11; ++h) EXPECT_EQ(kap(run, h), 4) << h;
  EXPECT_EQ(chemcon(run, 6), 0);
  for (int h = 7; h <= 11; ++h) EXPECT_EQ(chemcon(run, h), 1) << h;
  EXPECT_EQ(run.kappaset[0], 4);

  const std::vector<std::string> lines = atom_table(run);
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[0], "C(2)     DUM1      Z  C(2)     H(21)    Y   R   1  1   1   4   mm2");
  EXPECT_EQ(lines[2], "C(3)     C(2)      Z  C(3)     H(31)    X   R   1  1   2   4   3m      C(1)");
  EXPECT_EQ(lines[4], "H(22)    C(2)      Z  H(22)    C(1)     Y   R   1  2   3   2   cyl     H(21)");
  EXPECT_EQ(lines[6], "H(12)    C(1)      Z  H(12)    C(2)     Y   R   1  2   4   2   cyl     H(11)");
  EXPECT_EQ(lines[8], "H(31)    C(3)      Z  H(31)    C(2)     Y   R   1  2   4   2   cyl     H(11)");
  // Echoed on standard output with one leading blank and in the listing.
  EXPECT_NE(t.out.str().find("\n " + lines[6] + "\n"), std::string::npos);
  EXPECT_TRUE(listed("\n Local coordinate system definition :  " + lines[6] + "\n\n"));
  EXPECT_TRUE(listed("\n New kappa set =    1\n"));
  EXPECT_TRUE(listed("\n Trying to determine the KAPPA SET : \n\n Old kappa set =    2\n"));
  EXPECT_TRUE(listed("\n Symmetry = [mm2  ]\n"));
  EXPECT_TRUE(listed("\n CKS :: Atom=     7  kset=   4  nsft=   2\n"));
}

TEST_F(AtomLinesTest, ChemconSwitchesOffConstraintsForHydrogenOrForOtherAtoms) {
  const Propane p(m, 5);
  run.ctl.lchem[1] = 0;
  define();
  for (int h = 4; h <= 11; ++h) {
    EXPECT_EQ(kap(run, h), h - 1) << h;  // sets 3..10, one per H
    EXPECT_EQ(chemcon(run, h), 0) << h;
  }
  EXPECT_EQ(chemcon(run, p.c3), 1);
  EXPECT_EQ(atom_table(run)[6], "H(12)    C(1)      Z  H(12)    C(2)     Y   R   1  2   6   2   cyl");

  TestRun t2;
  vorn::Run& r2 = t2.run;
  std::ostringstream mas2;
  r2.mas.attach(mas2);
  r2.transf = run.transf;
  Mol m2(r2);
  const Propane p2(m2, 5);
  r2.ctl.lchem[2] = 0;
  for (int i = 1; i <= r2.atoms.nat; ++i) r2.atoms1.isft[i] = r2.atoms.iz[i] == 1 ? 2 : 1;
  rings_and_bonds(r2);
  for (int i = 1; i <= r2.atoms.nat; ++i) DefLoc(r2, i);
  EXPECT_EQ(kap(r2, p2.c3), 3);
  EXPECT_EQ(chemcon(r2, p2.c3), 0);
  EXPECT_EQ(kap(r2, 5), 4);  // H(22) still shares the set of H(21)
  EXPECT_EQ(chemcon(r2, 5), 1);
}

// A second acetaldehyde whose carbonyl carbon is disordered: its ordered
// neighbours take the first set of their scattering table that still has
// kappa = kappa' = 1, and are never constrained.
TEST_F(AtomLinesTest, OrderedAtomNextToADisorderedOneJoinsAnUnrefinedSetOfItsType) {
  const Acetaldehyde a(m, 5, 1);
  const Acetaldehyde b(m, 15, 3);
  run.atoms1.flag[b.c1] = -1;
  run.atoms1.occ[b.c1] = 0.6f;
  define();
  EXPECT_EQ(kap(run, b.o1), kap(run, a.o1));
  EXPECT_EQ(kap(run, b.h1), kap(run, a.h1));
  EXPECT_EQ(kap(run, b.c2), kap(run, a.c1));  // the first C set
  for (int i : {b.o1, b.h1, b.c2}) EXPECT_EQ(chemcon(run, i), 0) << i;
  EXPECT_TRUE(listed("\n Using old [IAM] kappa set =    2\n"));
  // The disordered atom itself is matched like any other (its surroundings
  // are those of the first carbonyl carbon); the methyl hydrogens of the
  // second molecule are constrained as usual.
  EXPECT_EQ(kap(run, b.c1), kap(run, a.c1));
  EXPECT_EQ(chemcon(run, b.c1), 1);
  EXPECT_EQ(chemcon(run, b.c2 + 1), 1);
}

TEST_F(AtomLinesTest, SetWithKappasFromTheDatabankIsNotJoined) {
  const Acetaldehyde a(m, 5, 1);
  const Acetaldehyde b(m, 15, 3);
  run.atoms1.flag[b.c1] = -1;
  run.atoms1.occ[b.c1] = 0.6f;
  prepare();
  rules(1, b.c1);
  // What the databank leaves for the oxygen of the first molecule.
  run.kappas.kappa[static_cast<std::size_t>(kap(run, a.o1))] = 0.97f;
  rules(b.o1, run.atoms.nat);
  EXPECT_EQ(kap(run, b.o1), 6);
  EXPECT_EQ(kap(run, b.h1), kap(run, a.h1));
  EXPECT_TRUE(listed("\n New kappa set =    6\n"));
}

TEST_F(AtomLinesTest, MoproAxisConstraintAndSymmetryLines) {
  const Propane p(m, 5);
  define();
  EXPECT_EQ(run.mopro[1], pad("ZY   D1           H21           HEX     K1       V0  M0  Q0", 90));
  EXPECT_EQ(run.mopro[7], pad("ZY   C1           C2            QUA     K4       V0  M0  Q0", 90));
  EXPECT_EQ(run.mcon[7], pad("! CONPVM  H12         1 H11        1", 90));
  EXPECT_EQ(run.mcon[6], std::string(90, ' '));  // not constrained
  const std::vector<std::string> sym = lines_of(con.str());
  ASSERT_EQ(sym.size(), 11u);
  EXPECT_EQ(sym[0], "SYMPLM  mxmz C2         1");
  EXPECT_EQ(sym[1], "SYMPLM  3m   C1         1");
  EXPECT_EQ(sym[3], "SYMPLM  cy   H21        1");
}

TEST_F(AtomLinesTest, SymmetryLineCodesAndResidueReferences) {
  const Acetaldehyde aldehyde(m, 5);
  // A methane molecule (-42m) and a lone ion (NO) beside it.
  const int c = m.at("C(5)", 15, 5, 5);
  const float s = 1.0f / std::sqrt(3.0f);
  const float dir[4][3] = {{s, s, s}, {s, -s, -s}, {-s, s, -s}, {-s, -s, s}};
  for (int k = 0; k < 4; ++k) {
    const float d = 1.087f + 0.001f * static_cast<float>(k);
    m.at("H(5" + std::to_string(k + 1) + ")", 15 + d * dir[k][0], 5 + d * dir[k][1], 5 + d * dir[k][2]);
  }
  m.at("Cl(1)", 25, 25, 25);
  run.shelx.resi = true;
  run.shelx.resshort.assign(static_cast<std::size_t>(run.atoms.nat) + 1, "");
  for (int i = 1; i <= run.atoms.nat; ++i)
    run.shelx.resshort[static_cast<std::size_t>(i)] = pad(std::string(rtrim(erbras(run.atoms.label[i]))) + "_1", 10);
  define();
  const std::vector<std::string> sym = lines_of(con.str());
  // Every atom but the ion; the -42m line has a blank code; the code is
  // right-justified in six columns.
  ASSERT_EQ(sym.size(), static_cast<std::size_t>(run.atoms.nat - 1));
  EXPECT_EQ(sym[static_cast<std::size_t>(aldehyde.c1 - 1)], "SYMPLM    mz   C1_1      ");
  EXPECT_EQ(sym[static_cast<std::size_t>(c - 1)], "SYMPLM         C5_1      ");
  for (const std::string& l : sym) EXPECT_EQ(l.find("Cl"), std::string::npos);
  // Constraint lines name the residue references: H(22) to H(21).
  EXPECT_EQ(run.mcon[static_cast<std::size_t>(aldehyde.c2 + 2)], pad("! CONPVM  H22_1       H21_1     ", 90));
}

TEST_F(AtomLinesTest, AxisAtomsInTheParameterTableAreAtomsOrDummies) {
  const Propane p(m, 5);
  define();
  const Mpole& c2 = run.mpoles[1];
  EXPECT_EQ(c2.ax1, 3);
  EXPECT_EQ(c2.ax2, 2);
  EXPECT_EQ(c2.atom0, run.atoms.nat + 1);  // DUM1
  EXPECT_EQ(c2.atom1, 1);
  EXPECT_EQ(c2.atom2, 4);
  EXPECT_EQ(c2.tp, 1);
  EXPECT_EQ(c2.tbl, 1);
  EXPECT_EQ(c2.kap, 1);
  EXPECT_EQ(c2.lmx, 4);
  EXPECT_EQ(c2.one, 1);
  EXPECT_EQ(c2.equiv, 0);
  const Mpole& h12 = run.mpoles[7];
  EXPECT_EQ(h12.atom0, p.c1);
  EXPECT_EQ(h12.atom2, p.c2);
  EXPECT_EQ(h12.kap, 4);
  EXPECT_EQ(h12.equiv, 6);
  EXPECT_EQ(axis_index(run, "DUM1"), run.atoms.nat + 1);
  EXPECT_EQ(axis_index(run, "H(33)   "), 11);
  EXPECT_EQ(axis_index(run, "X(1)"), 0);
  EXPECT_EQ(mopro_name("DUM12"), "D12       ");
  EXPECT_EQ(mopro_name("C(1)"), "C1        ");
}

TEST_F(AtomLinesTest, DummyAxisAtomsAreFoundByTheirNumber) {
  const Propane p(m, 5);
  define();
  // Dummies up to three digits, named as DummyLab names them.
  while (run.dummy.n < 123) {
    ++run.dummy.n;
    DummyLab(run);
  }
  const int nat = run.atoms.nat;
  EXPECT_EQ(axis_index(run, "DUM1    "), nat + 1);
  EXPECT_EQ(axis_index(run, "DUM9"), nat + 9);
  EXPECT_EQ(axis_index(run, "DUM10   "), nat + 10);
  EXPECT_EQ(axis_index(run, "DUM123  "), nat + 123);
  EXPECT_EQ(axis_index(run, "DUM124  "), 0);  // no such dummy
  EXPECT_EQ(axis_index(run, "DUM01   "), 0);  // not a label DummyLab writes
  EXPECT_EQ(axis_index(run, "DUM"), 0);
  EXPECT_EQ(axis_index(run, "C(2)    "), p.c2);
}

// The methyl group of acetaldehyde is symmetry-generated: the carbonyl
// carbon's Y axis atom becomes a dummy at its place.
TEST_F(AtomLinesTest, SymmetryGeneratedAxisAtomIsReplacedByADummy) {
  const Acetaldehyde a(m, 5);
  prepare();
  run.atoms.nat = 3;  // C(1), O(1), H(1); C(2) and its H are images
  rules(1, 3);
  EXPECT_EQ(axes_of(a.c1), "X>O(1) Y>DUM1 m");
  expect_near(run.dummy.x[1], run.atoms.xf[a.c2]);
  EXPECT_TRUE(listed("\n Atom C(2) used in definition of Y-axis is symmetry-generated; replace with dummy    1\n"));
  EXPECT_EQ(atom_table(run)[0], "C(1)     O(1)      X  C(1)     DUM1     Y   R   1  1   1   4   m");
  EXPECT_EQ(run.mpoles[1].atom2, 4);  // nat + 1
}

// The same when the atom is ordered next to a disordered one: its axis line
// must not name an image either.
TEST_F(AtomLinesTest, SymmetryGeneratedAxisAtomOfAnAtomNextToDisorderIsReplacedToo) {
  const Acetaldehyde a(m, 5);
  run.atoms1.flag[a.o1] = -1;
  run.atoms1.occ[a.o1] = 0.5f;
  prepare();
  run.atoms.nat = 3;
  rules(1, 3);
  EXPECT_EQ(axes_of(a.c1), "X>O(1) Y>DUM1 NO");
  expect_near(run.dummy.x[1], run.atoms.xf[a.c2]);
}

// Disordered atoms (DISORD db off) and atoms next to them keep pval and unit
// kappas; the others take the databank entry, times their occupancy.
TEST_F(AtomLinesTest, DatabankDecision) {
  const Acetaldehyde a(m, 5);
  run.atoms1.flag[a.c1] = -1;
  run.atoms1.occ[a.c1] = 0.6f;
  run.atoms1.occ[a.c2 + 3] = 0.5f;  // H(23)
  run.ctl.idb = 1;
  run.db = TextFile::from_string(
      "ATOM   1  H   methyl hydrogen\n"
      "PRNT   6 4 3    z nei nh   CYL\n"
      "PVAL   0.890  1.160  1.170  0.030\n"
      "PLMS   1 0  0.150   2 0  0.050\n",
      "test.db");
  define();
  EXPECT_TRUE(listed("\n Atom C(1) :: will skip reading databank\n"));
  EXPECT_TRUE(listed("\n Atom O(1) :: will skip reading databank\n"));
  EXPECT_TRUE(listed("\n Atom H(21) :: will now read databank\n"));
  EXPECT_FLOAT_EQ(run.mpoles[a.c1].pv, 4.0f * 0.6f);
  EXPECT_FLOAT_EQ(run.mpoles[a.o1].pv, 6.0f);
  const int h21 = a.c2 + 1, h23 = a.c2 + 3;
  EXPECT_FLOAT_EQ(run.mpoles[h21].pv, 0.89f);
  EXPECT_FLOAT_EQ(run.mpoles[h21].spv, 0.03f);
  EXPECT_FLOAT_EQ(run.mpoles[h21].P(1, 0), 0.15f);
  EXPECT_FLOAT_EQ(run.mpoles[h23].pv, 0.445f);
  EXPECT_FLOAT_EQ(run.mpoles[h23].P(2, 0), 0.025f);
  const std::size_t kh = static_cast<std::size_t>(kap(run, h21));
  EXPECT_FLOAT_EQ(run.kappas.kappa[kh], 1.16f);
  EXPECT_FLOAT_EQ(run.kappas.kappap[kh], 1.17f);
  EXPECT_EQ(run.kappas.nsft[kh], 3);  // tables C, O, H
  const std::size_t kc = static_cast<std::size_t>(kap(run, a.c1));
  EXPECT_EQ(run.kappas.kappa[kc], 1.0f);
  EXPECT_EQ(run.kappas.kappap[kc], 1.0f);
  EXPECT_EQ(run.kappas.n, run.kappaset[0]);
}

TEST_F(AtomLinesTest, DisorderedAtomReadsTheDatabankWithDisordDb) {
  const Acetaldehyde a(m, 5);
  run.atoms1.flag[a.c1] = -1;
  run.atoms1.occ[a.c1] = 0.6f;
  run.ctl.idb = 1;
  run.ctl.idisDB = 1;
  run.db = TextFile::from_string("! nothing to match\n", "test.db");
  define();
  EXPECT_TRUE(listed("\n Atom C(1) :: will now read databank\n"));
  EXPECT_TRUE(listed("\n Atom O(1) :: will skip reading databank\n"));
  EXPECT_TRUE(listed("\n ReadDB :: atom C(1) was NOT found in the DataBank\n"));
  EXPECT_FLOAT_EQ(run.mpoles[a.c1].pv, 4.0f * 0.6f);
}

}  // namespace
}  // namespace vorn::test
