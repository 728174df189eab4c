#include "structure/atom_labels.hpp"

#include <gtest/gtest.h>

#include <set>

#include "structure/cif_reader.hpp"
#include "structure/shelx_reader.hpp"
#include "support/builders.hpp"

namespace vorn {
namespace {

using test::TestRun;

std::set<std::string> label_set(const vorn::Run& run) {
  std::set<std::string> s;
  for (int i = 1; i <= run.atoms.nat; ++i) s.insert(run.atoms.label[static_cast<std::size_t>(i)]);
  return s;
}

int atom_named(const vorn::Run& run, const std::string& name, int resnum = 0) {
  for (int i = 1; i <= run.atoms.nat; ++i)
    if (run.atoms.name[static_cast<std::size_t>(i)] == name && run.atoms.resnum[static_cast<std::size_t>(i)] == resnum)
      return i;
  return 0;
}

// Two glycine-like residues with the same atom names, and a water outside
// every residue, as SHELXL writes them.
const char* kResidues =
    "TITL two residues\n"
    "CELL 0.71073 10 11 12 90 90 90\n"
    "LATT -1\n"
    "SFAC C H N O\n"
    "RESI GLY 1\n"
    "N1 3 0.10 0.10 0.10 11.0 0.02\n"
    "C1 1 0.20 0.10 0.10 11.0 0.02\n"
    "C2 1 0.30 0.10 0.10 11.0 0.02\n"
    "RESI GLY 2\n"
    "N1 3 0.10 0.50 0.10 11.0 0.02\n"
    "C1 1 0.20 0.50 0.10 11.0 0.02\n"
    "C2 1 0.30 0.50 0.10 11.0 0.02\n"
    "RESI 0\n"
    "O1 4 0.70 0.70 0.70 11.0 0.03\n"
    "HKLF 4\nEND\n";

TEST(AtomLabels, ResidueAtomsCarryTheirResidueAsShelxlNamesThemInItsCif) {
  TestRun t;
  t.write("s.res", kResidues);
  ReadShelx(t.run, "s.res");
  const vorn::Run& run = t.run;
  ASSERT_EQ(run.atoms.nat, 7);
  EXPECT_EQ(label_set(run).size(), 7u);
  EXPECT_EQ(run.atoms.label[static_cast<std::size_t>(atom_named(run, "N1", 1))], "N(1_1)  ");
  EXPECT_EQ(run.atoms.label[static_cast<std::size_t>(atom_named(run, "N1", 2))], "N(1_2)  ");
  EXPECT_EQ(run.atoms.label[static_cast<std::size_t>(atom_named(run, "C2", 2))], "C(2_2)  ");
  // Outside every residue the label is the plain form of the name.
  EXPECT_EQ(run.atoms.label[static_cast<std::size_t>(atom_named(run, "O1"))], "O(1)    ");
  // The listing tells which labels are not the plain form of the name.
  const std::string lst = t.lst.str();
  EXPECT_NE(lst.find(" Labels that differ from the atom names of the structure file:\n"), std::string::npos);
  EXPECT_NE(lst.find("  N1                2  N(1_2)\n"), std::string::npos);
  EXPECT_EQ(lst.find("  O1 "), std::string::npos);
}

// Names as CIF files from many programs give them: a repeated name, a name
// with parentheses, one without a number, one that makes no 8-character
// label, and an ordinary one the fallback must not take.
const char* kCif =
    "data_labels\n"
    "_cell_length_a 10\n_cell_length_b 11\n_cell_length_c 12\n"
    "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n"
    "loop_\n_space_group_symop_operation_xyz\n'x, y, z'\n"
    "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
    "_atom_site_U_iso_or_equiv\n"
    "H11A H 0.10 0.10 0.10 0.03\n"
    "H11A H 0.20 0.20 0.20 0.03\n"
    "P(1) P 0.30 0.30 0.30 0.02\n"
    "Cl Cl 0.40 0.40 0.40 0.02\n"
    "C123456 C 0.50 0.50 0.50 0.02\n"
    "C1 C 0.60 0.60 0.60 0.02\n"
    "H1 H 0.70 0.70 0.70 0.03\n";

TEST(AtomLabels, RepeatedEmptyParenthesisedAndLongNamesBecomeUniqueLabels) {
  TestRun t;
  t.write("s.cif", kCif);
  ReadCif(t.run, "s.cif", "");
  const vorn::Run& run = t.run;
  ASSERT_EQ(run.atoms.nat, 7);
  const auto& l = run.atoms.label;
  EXPECT_EQ(l[1], "H(11A)  ");  // the first of two keeps its label
  EXPECT_EQ(l[3], "P(1)    ");  // no doubled parentheses
  EXPECT_EQ(l[6], "C(1)    ");  // kept: the fallbacks never take a kept label
  EXPECT_EQ(l[7], "H(1)    ");
  // The second H11A, the number-less Cl and the name too long for eight
  // characters take the smallest free number of their element.
  EXPECT_EQ(l[2], "H(2)    ");
  EXPECT_EQ(l[4], "CL(1)   ");
  EXPECT_EQ(l[5], "C(2)    ");
  EXPECT_EQ(label_set(run).size(), 7u);
  for (int i = 1; i <= 7; ++i) EXPECT_EQ(l[static_cast<std::size_t>(i)].size(), 8u);
  // The names are kept as the file gives them.
  EXPECT_EQ(run.atoms.name[2], "H11A");
  EXPECT_EQ(run.atoms.name[4], "Cl");
  const std::string lst = t.lst.str();
  // name in 11 columns, a blank residue field of 7, the label
  auto row = [](const std::string& name, const std::string& label) {
    return "  " + name + std::string(11 - name.size() + 10, ' ') + label + "\n";
  };
  for (const auto& r : {row("H11A", "H(2)"), row("Cl", "CL(1)"), row("C123456", "C(2)")})
    EXPECT_NE(lst.find(r), std::string::npos) << r;
  // A label that is the name itself is not listed.
  EXPECT_EQ(lst.find(row("C1", "C(1)")), std::string::npos);
  EXPECT_EQ(lst.find(row("P(1)", "P(1)")), std::string::npos);
  EXPECT_EQ(lst.find(row("H11A", "H(11A)")), std::string::npos);
}

TEST(AtomLabels, ShelxAndCifOfOneRefinementGiveTheSameAtomTable) {
  const std::filesystem::path dir = std::filesystem::path(VORN_SOURCE_DIR) / ".." / "shared" / "testdata" / "cif";
  if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "../shared/testdata/cif not present: skipped";
  TestRun r, c;
  ReadShelx(r.run, (dir / "c2c_a.res").string());
  ReadCif(c.run, (dir / "c2c_a.cif").string(), "");
  ASSERT_EQ(r.run.atoms.nat, c.run.atoms.nat);
  int residue_atoms = 0;
  for (int i = 1; i <= r.run.atoms.nat; ++i) {
    const auto ui = static_cast<std::size_t>(i);
    SCOPED_TRACE(r.run.atoms.label[ui]);
    EXPECT_EQ(r.run.atoms.label[ui], c.run.atoms.label[ui]);
    EXPECT_EQ(r.run.atoms.iz[ui], c.run.atoms.iz[ui]);
    EXPECT_EQ(r.run.atoms1.part[ui], c.run.atoms1.part[ui]);
    // The CIF prints coordinates to its standard uncertainty.
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(r.run.atoms.xf[ui][k], c.run.atoms.xf[ui][k], 5e-4f);
    EXPECT_NEAR(r.run.atoms1.occ[ui], c.run.atoms1.occ[ui], 6e-3f);
    residue_atoms += r.run.atoms.resnum[ui] != 0 ? 1 : 0;
  }
  EXPECT_GT(residue_atoms, 100);
  EXPECT_EQ(label_set(r.run).size(), static_cast<std::size_t>(r.run.atoms.nat));
}

}  // namespace
}  // namespace vorn
