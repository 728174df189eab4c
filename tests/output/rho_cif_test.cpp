#include "output/rho_cif.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include "base/elements.hpp"
#include "control/run_sequence.hpp"
#include "support/builders.hpp"
#include "support/harmonics.hpp"
#include "support/model_files.hpp"

namespace vorn {
namespace {

namespace fs = std::filesystem;
using test::TestRun;

std::string databank_line() { return std::string("DATABANK ") + VORN_SOURCE_DIR + "/examples/databank/vorn_example.db\n"; }

// Methanol (textbook geometry, H atoms at X-ray distances) in P 21/c, the
// molecule on a general position, EXTEND_H moving every H; beside it a
// chloride ion with no neighbour, whose frame points at dummies.
std::string methanol_res() {
  struct Site {
    const char* label;
    int sfac;
    double x, y, z;
  };
  const Site sites[] = {{"O1", 3, 1.43, 0, 0},          {"C1", 1, 0, 0, 0},
                        {"H1", 2, 1.75, 0.905, 0},      {"H2", 2, -0.32, 0, -0.9051},
                        {"H3", 2, -0.32, 0.7838, 0.4526}, {"H4", 2, -0.32, -0.7838, 0.4526}};
  std::string s =
      "TITL methanol\nCELL 0.71073 10.0 11.0 12.0 90 90 90\nZERR 4 0.001 0.001 0.001 0 0 0\nLATT 1\n"
      "SYMM -X, 0.5+Y, 0.5-Z\nSFAC C H O CL\nUNIT 4 16 4 4\nFVAR 1.0\nCL1 4 0.70000 0.80000 0.75000 11.00000 0.04\n";
  for (const Site& a : sites) {
    char line[160];
    const double f[] = {0.2 + a.x / 10.0, 0.3 + a.y / 11.0, 0.25 + a.z / 12.0};
    if (a.sfac == 2)
      std::snprintf(line, sizeof line, "%-4s %d %9.5f %9.5f %9.5f 11.00000 0.05\n", a.label, a.sfac, f[0], f[1], f[2]);
    else  // anisotropic, SHELX order U11 U22 U33 U23 U13 U12
      std::snprintf(line, sizeof line, "%-4s %d %9.5f %9.5f %9.5f 11.00000 0.02 0.03 0.025 0.001 0.002 0.003\n",
                    a.label, a.sfac, f[0], f[1], f[2]);
    s += line;
  }
  return s + "HKLF 4\nEND\n";
}

void run_methanol(TestRun& t, const std::string& extra = "") {
  t.write("methanol.res", methanol_res());
  t.write("vorn.inp", "FORMAT *shelx\nINPUT methanol.res\nNCELLS 1\nEXTEND_H\nCHFRAG 0.0\nKEYGEN *XYZUIJ *all *ordered *MULT *all *ordered *kappas\n" +
                          databank_line() + extra);
  ASSERT_EQ(vorn_main(t.run, {}), 0) << t.out.str();
}

cifdoc::Block only_block(const TestRun& t) {
  const cifdoc::Document d = cifdoc::parse(t.read("vorn_rho.cif"), "vorn_rho.cif");
  EXPECT_EQ(d.blocks.size(), 1u);
  return d.blocks.at(0);
}

std::string value(const cifdoc::Block& b, const std::string& tag, std::size_t row = 0) {
  const auto c = test::column(b, tag);
  return row < c.size() ? cifdoc::as_string(c[row]) : std::string("(none)");
}

// The row of a label in a loop keyed by tag.
std::size_t row_of(const cifdoc::Block& b, const std::string& tag, const std::string& label) {
  const auto c = test::column(b, tag);
  for (std::size_t k = 0; k < c.size(); ++k)
    if (cifdoc::as_string(c[k]) == label) return k;
  ADD_FAILURE() << label << " not in " << tag;
  return 0;
}

TEST(RhoCif, MethanolDescribesTheFramesAndDensityOfTheXdFiles) {
  const std::string dic = test::dictionary_text();
  if (dic.empty()) GTEST_SKIP() << "../shared/dictionaries/cif_rho.dic not present: skipped";
  TestRun t;
  run_methanol(t);
  const test::RhoCheck c = test::check_rho_cif(t, "methanol", test::dictionary_names(dic));
  EXPECT_EQ(c.atoms, 7);
  EXPECT_GE(c.dummies, 1);
  EXPECT_EQ(c.beyond_1e3, 0);

  const cifdoc::Block b = only_block(t);
  EXPECT_EQ(b.name, "methanol");
  EXPECT_EQ(value(b, "_space_group_name_H-M_alt"), "P 1 21/c 1");
  EXPECT_EQ(value(b, "_space_group_IT_number"), "14");
  EXPECT_EQ(test::column(b, "_space_group_symop_operation_xyz").size(), 4u);
  EXPECT_EQ(value(b, "_cell_length_b"), "11.0000");
  // Anisotropic atoms with their six terms in the order of the dictionary.
  const std::size_t o1 = row_of(b, "_atom_site_aniso_label", "O(1)");
  EXPECT_EQ(value(b, "_atom_site_aniso_U_11", o1), "0.020000");
  EXPECT_EQ(value(b, "_atom_site_aniso_U_23", o1), "0.001000");
  EXPECT_EQ(value(b, "_atom_site_aniso_U_12", o1), "0.003000");
  EXPECT_EQ(test::column(b, "_atom_site_aniso_label").size(), 2u);
  EXPECT_EQ(value(b, "_atom_site_adp_type", row_of(b, "_atom_site_label", "H(1)")), "Uiso");
}

// The electron configuration written for each atom is that of a neutral
// atom of its element in its ground state (carbon [He]2s2 2p2, oxygen
// [He]2s2 2p4), and Pc counts the core electrons at the site's occupancy.
TEST(RhoCif, ConfigurationsAndCorePopulationsOfTheElements) {
  TestRun t;
  run_methanol(t);
  const cifdoc::Block b = only_block(t);
  const std::map<std::string, std::pair<std::string, std::string>> expected = {
      {"C(1)", {"core 1s2; valence 2s2 2p2", "2.0000"}},
      {"O(1)", {"core 1s2; valence 2s2 2p4", "2.0000"}},
      {"H(1)", {"valence 1s1", "0.0000"}}};
  for (const auto& [label, want] : expected) {
    const std::size_t r = row_of(b, "_atom_rho_multipole_atom_label", label);
    EXPECT_EQ(value(b, "_atom_rho_multipole_configuration", r), want.first) << label;
    EXPECT_EQ(value(b, "_atom_rho_multipole_coeff_Pc", r), want.second) << label;
    EXPECT_NE(value(b, "_atom_rho_multipole_core_source", r).find("Clementi & Roetti (1974)"), std::string::npos);
    EXPECT_NE(value(b, "_atom_rho_multipole_radial_function_type", r).find("CSZD"), std::string::npos);
  }
}

// What the dictionary has no items for comes from the atom table and the
// key table of xd_vorn.mas.
TEST(RhoCif, VornLoopCarriesSiteSymmetryKappaSetConstraintAndKey) {
  TestRun t;
  run_methanol(t);
  const cifdoc::Block b = only_block(t);
  std::map<std::string, std::vector<std::string>> table;
  std::map<std::string, std::string> keys;
  bool in_table = false, in_keys = false;
  for (const std::string& l : test::lines_of(t.read("xd_vorn.mas"))) {
    if (l.rfind("ATOM     ATOM0", 0) == 0) in_table = true;
    if (l.rfind("END ATOM", 0) == 0) in_table = false;
    if (l.rfind("KEY ", 0) == 0) in_keys = true;
    if (l.rfind("KAPPA", 0) == 0) in_keys = false;
    const auto w = test::words_of(l);
    if (in_table && w.size() >= 12 && w[0] != "ATOM") table[w[0]] = w;
    if (in_keys && w.size() > 1 && w[0] != "KEY") keys[w[0]] = std::string(rtrim(l.substr(8)));
  }
  ASSERT_EQ(table.size(), 7u);
  int constrained = 0;
  for (const auto& [label, w] : table) {
    const std::size_t r = row_of(b, "_vorn_atom_model_label", label);
    EXPECT_EQ(value(b, "_vorn_atom_model_site_symmetry", r), w[11]) << label;
    EXPECT_EQ(value(b, "_vorn_atom_model_kappa_set", r), w[9]) << label;
    // "." (none) reads as an empty value.
    EXPECT_EQ(value(b, "_vorn_atom_model_constrained_to", r), w.size() > 12 ? w[12] : "") << label;
    EXPECT_EQ(value(b, "_vorn_atom_model_refine_key", r), keys[label]) << label;
    constrained += w.size() > 12 ? 1 : 0;
  }
  EXPECT_GE(constrained, 1);  // the methyl H atoms share their first one's set
}

// A frame whose third axis runs against the right-hand rule, written
// right-handed with the same first two axes: the populations it takes give
// the same density at every point (checked on the harmonics themselves).
TEST(RhoCif, LeftHandedFramesWrittenRightHandedKeepTheDensity) {
  Mpole left;
  float v = 0.05f;
  for (int l = 0; l <= 4; ++l)
    for (int m = -l; m <= l; ++m) left.P(l, m) = (v += 0.037f) * ((l + m) % 3 == 0 ? -1.0f : 1.0f);
  const auto density = [](const Mpole& p, const std::array<double, 3>& local) {
    double s = 0;
    for (int l = 0; l <= 4; ++l)
      for (int m = -l; m <= l; ++m) s += p.P(l, m) * test::harmonic(test::harmonic_index(l, m), local);
    return s;
  };
  for (int first = 1; first <= 3; ++first)
    for (int second = 1; second <= 3; ++second) {
      if (first == second) continue;
      const Mpole right = right_handed_populations(left, first, second);
      const std::size_t third = static_cast<std::size_t>(6 - first - second - 1);
      for (const auto& p : test::sphere_points()) {
        // The same point in the left frame: its third coordinate reversed.
        std::array<double, 3> in_left = p;
        in_left[third] = -in_left[third];
        EXPECT_NEAR(density(right, p), density(left, in_left), 1e-6) << "axes " << first << second;
      }
      EXPECT_EQ(right.pv, left.pv);
    }
}

// Without a cell (PLATON input) the sites are Cartesian and the file has
// no cell and no space group; the frames and densities still agree.
TEST(RhoCif, CartesianInputGivesCartesianSitesWithoutCell) {
  const std::string dic = test::dictionary_text();
  if (dic.empty()) GTEST_SKIP() << "../shared/dictionaries/cif_rho.dic not present: skipped";
  TestRun t;
  t.write("m.ang",
          "ANGSTROM\nATOM O1   1.4300 0.0000 0.0000\nATOM C1   0.0000 0.0000 0.0000\n"
          "ATOM H1   1.7500 0.9050 0.0000\nATOM H2  -0.3200 0.0000 -0.9051\n"
          "ATOM H3  -0.3200 0.7838 0.4526\nATOM H4  -0.3200 -0.7838 0.4526\n");
  t.write("vorn.inp", "FORMAT *platon\nINPUT m.ang\nEXTEND_H\n");
  ASSERT_EQ(vorn_main(t.run, {}), 0) << t.out.str();
  const cifdoc::Block b = only_block(t);
  EXPECT_EQ(b.find("_cell_length_a"), nullptr);
  EXPECT_EQ(b.find("_atom_site_fract_x"), nullptr);
  EXPECT_EQ(value(b, "_atom_site_Cartn_x", row_of(b, "_atom_site_label", "O1")), "1.43000");
  EXPECT_NE(t.read("vorn.out").find(" The input has no cell : vorn_rho.cif gives no cell and no space group"),
            std::string::npos);
  EXPECT_EQ(test::check_rho_cif(t, "methanol (Cartesian)", test::dictionary_names(dic)).atoms, 6);
}

// The file comes with the parameter files, and only with them.
TEST(RhoCif, WrittenExactlyWhenTheParameterFilesAre) {
  TestRun with;
  run_methanol(with);
  EXPECT_TRUE(with.exists("xd_vorn.inp"));
  EXPECT_TRUE(with.exists("vorn_rho.cif"));
  TestRun without;
  without.write("methanol.res", methanol_res());
  without.write("vorn.inp", "FORMAT *shelx\nINPUT methanol.res\n");
  ASSERT_EQ(vorn_main(without.run, {}), 0) << without.out.str();
  EXPECT_FALSE(without.exists("xd_vorn.inp"));
  EXPECT_FALSE(without.exists("vorn_rho.cif"));
}

// XD input: the radial sources are those of the SCAT lines of the input
// master file, which may name other wavefunction tables than VORN's own.
TEST(RhoCif, XdInputTakesTheSourcesOfItsScatLines) {
  const std::string dic = test::dictionary_text();
  if (dic.empty()) GTEST_SKIP() << "../shared/dictionaries/cif_rho.dic not present: skipped";
  TestRun first;
  run_methanol(first);
  TestRun again;
  std::string mas = first.read("xd_vorn.mas");
  // The first SCAT line (carbon) names other tables.
  const std::size_t at = mas.find("C    CHFW CHFW CSZD");
  ASSERT_NE(at, std::string::npos) << mas;
  mas.replace(at, 19, "C    RHFW BBBW STOD");
  again.write("in.mas", mas);
  again.write("in.inp", first.read("xd_vorn.inp"));
  again.write("vorn.inp", "FORMAT *xd\nINPUT in.mas in.inp\nEXTEND_H\n");
  ASSERT_EQ(vorn_main(again.run, {}), 0) << again.out.str();
  const cifdoc::Block b = only_block(again);
  EXPECT_EQ(b.name, "in");
  const std::size_t c1 = row_of(b, "_atom_rho_multipole_atom_label", "C(1)");
  EXPECT_EQ(value(b, "_atom_rho_multipole_core_source", c1), "XD table RHFW");
  EXPECT_EQ(value(b, "_atom_rho_multipole_valence_source", c1), "XD table BBBW");
  EXPECT_EQ(value(b, "_atom_rho_multipole_radial_function_type", c1), "XD table STOD");
  EXPECT_EQ(value(b, "_atom_rho_multipole_configuration", c1), "core 1s2; valence 2s2 2p2");
  EXPECT_EQ(test::check_rho_cif(again, "methanol (XD input)", test::dictionary_names(dic)).atoms, 7);
}

}  // namespace
}  // namespace vorn
