#include "structure/cif_reader.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "base/error.hpp"
#include "control/run_sequence.hpp"
#include "structure/shelx_reader.hpp"
#include "support/builders.hpp"

namespace vorn {
namespace {

using test::TestRun;

// A run with the XD master and MoPro files caught in strings.
struct CifRun {
  CifRun() {
    t.run.mas.attach(mas);
    t.run.par.attach(par);
  }
  void read(const std::string& text, const std::string& block = "") {
    t.write("s.cif", text);
    ReadCif(t.run, "s.cif", block);
  }
  std::string fails(const std::string& text, const std::string& block = "") {
    try {
      read(text, block);
    } catch (const VornError& e) {
      EXPECT_EQ(e.routine(), "ReadCif");
      return e.message();
    }
    ADD_FAILURE() << "the file was read";
    return {};
  }
  const vorn::Run& run() const { return t.run; }
  TestRun t;
  std::ostringstream mas, par;
};

// Half a centrosymmetric copper complex in P2(1)/n: Cu on the inversion
// centre (Cu-O 1.91 A, O-C 1.27 A, C-H 0.95 A), preceded by a block of
// publication data without atoms, as journals' CIFs come.
const std::string kHead =
    "data_global\n"
    "_publ_contact_author_name 'A. Author'\n"
    "\n"
    "data_cuacac\n"
    "_space_group_name_H-M_alt 'P 21/n'\n"
    "loop_\n"
    "_space_group_symop_id\n"
    "_space_group_symop_operation_xyz\n"
    "1 'x, y, z'\n"
    "2 '-x+1/2, y+1/2, -z+1/2'\n"
    "3 '-x, -y, -z'\n"
    "4 'x-1/2, -y-1/2, z-1/2'\n"
    "_cell_length_a 10.2728(6)\n"
    "_cell_length_b 4.6738(4)\n"
    "_cell_length_c 11.3097(8)\n"
    "_cell_angle_alpha 90\n"
    "_cell_angle_beta 92.185(7)\n"
    "_cell_angle_gamma 90\n";
const std::string kSymbol = "_space_group_name_H-M_alt 'P 21/n'\n";
const std::string kWave = "_diffrn_radiation_wavelength 0.71073\n";
const std::string kTypes =
    "loop_\n"
    "_atom_type_symbol\n"
    "_atom_type_scat_source\n"
    "O 'International Tables Vol C'\n"
    "C 'International Tables Vol C'\n"
    "Cu2+ 'International Tables Vol C'\n"
    "H 'International Tables Vol C'\n";
const std::string kSites =
    "loop_\n"
    "_atom_site_label\n"
    "_atom_site_type_symbol\n"
    "_atom_site_fract_x\n"
    "_atom_site_fract_y\n"
    "_atom_site_fract_z\n"
    "_atom_site_U_iso_or_equiv\n"
    "_atom_site_adp_type\n"
    "_atom_site_occupancy\n"
    "_atom_site_site_symmetry_order\n"
    "Cu1 Cu2+ 0.5000 0.0000 0.5000 0.0284(2) Uani 1 2\n"
    "O1 O 0.6859(2) 0.0512(4) 0.4981(2) 0.031(1) Uani 1 1\n"
    "C1 C 0.7740(3) -0.1390(6) 0.4701(3) 0.030(1) Uani 1 1\n"
    "H1 . 0.8626 -0.0882 0.4832 0.036 Uiso 1 1\n";
const std::string kAniso =
    "loop_\n"
    "_atom_site_aniso_label\n"
    "_atom_site_aniso_U_11\n"
    "_atom_site_aniso_U_22\n"
    "_atom_site_aniso_U_33\n"
    "_atom_site_aniso_U_23\n"
    "_atom_site_aniso_U_13\n"
    "_atom_site_aniso_U_12\n"
    "Cu1 0.0286(2) 0.0312(2) 0.0254(2) -0.0011(2) 0.0043(1) 0.0021(2)\n"
    "O1 0.030(1) 0.033(1) 0.030(1) 0.001(1) 0.004(1) 0.002(1)\n"
    "C1 0.029(1) 0.031(1) 0.030(1) 0.000(1) 0.003(1) 0.001(1)\n"
    "C1' 0.05 0.05 0.05 0 0 0\n";
const std::string kCopper = kHead + kWave + kTypes + kSites + kAniso;

std::string replace_once(std::string s, const std::string& from, const std::string& to) {
  const std::size_t p = s.find(from);
  EXPECT_NE(p, std::string::npos) << from;
  return p == std::string::npos ? s : s.replace(p, from.size(), to);
}

// A type of the _atom_type loop that no site uses never stops the run, even
// beyond Lr; a site of such an element does, naming it, its atom and where.
// Up to Lr a site reads, with the SCAT line of its ground state.
TEST(CifReader, ElementsBeyondLawrenciumOnlyWhereASiteHasOne) {
  {
    CifRun r;
    const std::string types = kTypes + "Rf 'none'\n";
    r.read(kHead + kWave + types + kSites + kAniso);
    EXPECT_EQ(r.run().atoms.nat, 4);
    EXPECT_NE(r.mas.str().find("Rf   CHFW CHFW CSZD    0   0   0"), std::string::npos) << r.mas.str();
  }
  {
    CifRun r;
    std::string sites = kSites;
    sites.replace(sites.find("Cu1 Cu2+"), 8, "Pt1 Pt2+");
    r.read(kHead + kWave + kTypes + sites);
    EXPECT_EQ(r.run().atoms.iz[1], 78);
    // [Xe] 4f14 core, 5d9 6s1 valence.
    EXPECT_NE(r.mas.str().find("Pt   CHFW CHFW CSZD    2   2   2   2   6   6   6  10  10  14   2   6  -1   0  -9"),
              std::string::npos)
        << r.mas.str();
  }
  {
    CifRun r;
    std::string sites = kSites;
    sites.replace(sites.find("Cu1 Cu2+"), 8, "Rf1 Rf  ");
    const std::string m = r.fails(kHead + kWave + kTypes + sites);
    EXPECT_EQ(m, "Element Rf (Z = 104) of atom Rf1, file s.cif, data block cuacac, _atom_site_ loop, row 1: "
                 "no wavefunction table covers it (SCAT tables reach Lr, Z = 103)");
  }
}

TEST(CifReader, AtomsTypesAndDisplacementParameters) {
  CifRun r;
  r.read(kCopper);
  const vorn::Run& run = r.run();
  ASSERT_EQ(run.atoms.nat, 4);  // C1' of the aniso loop is no atom
  const char* labels[] = {"", "CU(1)   ", "O(1)    ", "C(1)    ", "H(1)    "};
  const int iz[] = {0, 29, 8, 6, 1};
  const int isft[] = {0, 3, 1, 2, 4};  // the order of the _atom_type loop
  for (int i = 1; i <= 4; ++i) {
    EXPECT_EQ(run.atoms.label[i], labels[i]);
    EXPECT_EQ(run.atoms.iz[i], iz[i]);
    EXPECT_EQ(run.atoms1.isft[i], isft[i]);
    EXPECT_EQ(run.atoms1.lmax[i], i == 4 ? 2 : 4);
  }
  EXPECT_EQ(run.at_types.ntyp, 4);
  EXPECT_EQ(run.at_types.iz[3], 29);
  // Standard uncertainties gone; Cartesian from the cell.
  EXPECT_FLOAT_EQ(run.atoms.xf[2][0], 0.6859f);
  EXPECT_FLOAT_EQ(run.atoms.xf[3][1], -0.1390f);
  EXPECT_NEAR(dist(run.atoms.xc[1], run.atoms.xc[2]), 1.93f, 0.01f);
  // Table order U11 U22 U33 U12 U13 U23 whatever the order of the loop.
  EXPECT_EQ(run.atoms1.iu[1], 2);
  EXPECT_EQ(run.at_uij[1], (Uij{0.0286f, 0.0312f, 0.0254f, 0.0021f, 0.0043f, -0.0011f}));
  EXPECT_EQ(run.atoms1.iu[4], 1);
  EXPECT_EQ(run.at_uij[4], (Uij{0.036f, 0, 0, 0, 0, 0}));
  // Cu on the inversion centre: occupancy 1 of a site of order 2 counts 1/2.
  EXPECT_FLOAT_EQ(run.atoms1.occ[1], 0.5f);
  EXPECT_EQ(run.atoms1.flag[1], 1);
  EXPECT_FLOAT_EQ(run.atoms1.occ[2], 1.0f);
  EXPECT_EQ(run.atoms1.flag[2], 0);
  EXPECT_EQ(run.symm.nsym, 4);
  const std::string lst = r.t.lst.str();
  // Read without a block name, the block is named with the others, on
  // standard output too.
  const std::string block = " Data block : cuacac (the first with atom sites; the file holds 2 blocks: global, cuacac)\n";
  EXPECT_NE(lst.find(block), std::string::npos) << lst;
  EXPECT_NE(r.t.out.str().find(block), std::string::npos);
  EXPECT_EQ(r.run().data_block, "cuacac");
  EXPECT_NE(lst.find(" Aniso entry C1' has no atom site: passed over\n"), std::string::npos);
  EXPECT_NE(lst.find(" Lattice is CentroSymmetric\n"), std::string::npos);
  EXPECT_NE(r.t.out.str().find(" Total atoms read from CIF file =     4\n"), std::string::npos);
}

TEST(CifReader, HeadsOfTheXdMasterAndMoproFilesAsForShelxInput) {
  CifRun r;
  r.read(kCopper);
  const std::string mas = r.mas.str();
  EXPECT_EQ(mas.substr(0, 80), std::string(79, '!') + "\n");
  EXPECT_NE(mas.find("\nTITLE TEST\n"
                     "CELL      10.2728      4.6738     11.3097     90.0000     92.1850     90.0000\n"
                     "WAVE     0.710730\n"
                     "LATT C P\n"
                     "SYMM -X+1/2, Y+1/2, -Z+1/2\n" +
                     std::string(79, '!') + "\n!\n    MODULE *XDLSM\n"),
            std::string::npos)
      << mas;
  // SCAT lines in the order of the types
  const std::size_t o = mas.find("\nO    CHFW"), c = mas.find("\nC    CHFW"), cu = mas.find("\nCu   CHFW"),
                    h = mas.find("\nH    CHFW");
  ASSERT_NE(h, std::string::npos);
  EXPECT_TRUE(o < c && c < cu && cu < h) << mas;

  const std::string par = r.par.str();
  EXPECT_NE(par.find("CELL   10.2728    4.6738   11.3097  90.0000  92.1850  90.0000  0.71073\n\n"
                     "SYMM   2 P CENTRO\n"
                     "  X, Y, Z\n"
                     "-X+1/2, Y+1/2, -Z+1/2         \n\n"
                     "SCALE  1  1.0\n"),
            std::string::npos)
      << par;
}

TEST(CifReader, SiteSymmetryOrderFromTheOperatorsWhenTheFileGivesNone) {
  std::string sites = kSites;
  // drop the order column
  std::string out;
  std::istringstream in(sites);
  for (std::string l; std::getline(in, l);) {
    if (l == "_atom_site_site_symmetry_order") continue;
    if (l.size() > 2 && (l.substr(l.size() - 2) == " 2" || l.substr(l.size() - 2) == " 1") && l[0] != '_')
      l = l.substr(0, l.size() - 2);
    out += l + "\n";
  }
  CifRun r;
  r.read(kHead + kWave + kTypes + out + kAniso);
  EXPECT_FLOAT_EQ(r.run().atoms1.occ[1], 0.5f);
  EXPECT_EQ(r.run().atoms1.flag[1], 1);
  EXPECT_FLOAT_EQ(r.run().atoms1.occ[3], 1.0f);
  EXPECT_NE(r.t.lst.str().find("site symmetry of order  2 (from the operators)"), std::string::npos);
}

TEST(CifReader, BlockChosenByNameOrTheFirstWithAtoms) {
  // Blocks named as numbers, as a database export numbers them; block 4
  // has no aniso loop, so its atoms are isotropic.
  const std::string body = kHead.substr(kHead.find("_space_group"));
  const std::string text = kCopper + "\ndata_4\n" + body + kSites + "\ndata_data_7\n" + body + kSites;
  for (const char* name : {"4", "data_4", "DATA_7", "data_data_7"}) {
    CifRun r;
    r.read(text, name);
    const std::string want = std::string(" Data block : ") + (name[0] == '4' || name[5] == '4' ? "4" : "data_7") + "\n";
    EXPECT_NE(r.t.lst.str().find(want), std::string::npos) << name << r.t.lst.str();
    EXPECT_NE(r.t.out.str().find(want), std::string::npos) << name;
    EXPECT_EQ(r.run().atoms1.iu[1], 1) << name;
  }
  CifRun r;
  const std::string m = r.fails(text, "6");
  EXPECT_EQ(m, "File s.cif has no data block 6 (its blocks: global, cuacac, 4, data_7)");
  CifRun q;
  EXPECT_EQ(q.fails("data_a\n_cell_length_a 5\ndata_b\n_cell_length_a 6\n"),
            "File s.cif has no data block with atom sites (_atom_site_label); its blocks: a, b");
}

TEST(CifReader, BValuesConvertedAndNoTypeSymbolsNorOperatorLoop) {
  const std::string text =
      "data_b\n"
      "_symmetry_space_group_name_H-M 'P 21/c'\n"
      "_cell_length_a 7.0\n_cell_length_b 8.0\n_cell_length_c 9.0\n_cell_angle_beta 100.0\n"
      "loop_\n_atom_site_label\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
      "_atom_site_B_iso_or_equiv\n"
      "CL1 0.1 0.2 0.3 3.1583\n"
      "C2 0.25 0.2 0.3 2.3687\n"
      "loop_\n_atom_site_aniso_label\n_atom_site_aniso_B_11\n_atom_site_aniso_B_22\n_atom_site_aniso_B_33\n"
      "_atom_site_aniso_B_12\n_atom_site_aniso_B_13\n_atom_site_aniso_B_23\n"
      "CL1 3.1583 3.1583 3.1583 0.7896 0 0\n";
  CifRun r;
  r.read(text);
  const vorn::Run& run = r.run();
  EXPECT_EQ(run.atoms.iz[1], 17);  // typed from the label
  EXPECT_EQ(run.atoms.label[1], "CL(1)   ");
  EXPECT_EQ(run.atoms.iz[2], 6);
  EXPECT_EQ(run.atoms1.iu[1], 2);
  EXPECT_NEAR(run.at_uij[1][0], 0.04f, 1e-5f);
  EXPECT_NEAR(run.at_uij[1][3], 0.01f, 1e-5f);
  EXPECT_NEAR(run.at_uij[2][0], 0.03f, 1e-5f);
  EXPECT_EQ(run.symm.nsym, 4);  // the operators of the named group
  const std::string lst = r.t.lst.str();
  EXPECT_NE(lst.find("(Mo K-alpha) assumed"), std::string::npos);
  EXPECT_NE(r.mas.str().find("WAVE     0.710730\n"), std::string::npos);
}

TEST(CifReader, RenameOptionsApplyAsForShelxInput) {
  CifRun r;
  r.t.run.ctl.irename = 1;
  r.t.run.ctl.irs = 1;
  r.read(kHead + kWave + kSites + kAniso);  // no _atom_type loop: types in order of appearance
  const vorn::Run& run = r.run();
  EXPECT_EQ(run.atoms.label[1], "Cu(1)   ");  // the element symbol and the count of its type
  EXPECT_EQ(run.atoms.label[4], "H(1)    ");
  EXPECT_EQ(run.atoms1.isft[1], 1);
  EXPECT_EQ(run.atoms1.isft[4], 4);
}

TEST(CifReader, FaultsNameFileBlockAndItem) {
  auto replace = [](std::string s, const std::string& from, const std::string& to) {
    const std::size_t p = s.find(from);
    EXPECT_NE(p, std::string::npos) << from;
    return p == std::string::npos ? s : s.replace(p, from.size(), to);
  };
  struct Case {
    std::string text, want;
  };
  const Case cases[] = {
      {"TITL not a cif\nCELL 0.71 1 2 3 90 90 90\n", "File s.cif is not a CIF: "},
      {"", "File s.cif is not a CIF: it has no data block"},
      {replace(kCopper, "_cell_length_b 4.6738(4)\n", ""), "file s.cif, data block cuacac, _cell_length_b missing"},
      {kHead + kWave, "File s.cif has no data block with atom sites"},
      // A faulty loop without a space-group symbol to fall back on.
      {replace(replace(kCopper, "'x-1/2, -y-1/2, z-1/2'", "'x-1/2, -y-1/2'"), kSymbol, ""),
       "file s.cif, data block cuacac, _space_group_symop_operation_xyz: operator 'x-1/2, -y-1/2' does not parse"},
      {replace(replace(kCopper, "4 'x-1/2, -y-1/2, z-1/2'\n", ""), kSymbol, ""),
       "file s.cif, data block cuacac, symmetry operators: the operators form no group"},
      {replace(replace(kCopper, "1 'x, y, z'\n", ""), kSymbol, ""),
       "file s.cif, data block cuacac, symmetry operators: the identity x,y,z is not among the operators"},
      {replace(kCopper, "O1 O 0.6859(2)", "O1 Xx 0.6859(2)"),
       "file s.cif, data block cuacac, _atom_site_type_symbol of atom O1: 'Xx' names no element"},
      {replace(kCopper, "H1 . 0.8626", "Q1 . 0.8626"),
       "file s.cif, data block cuacac, _atom_site_label: no type symbol, and the label Q1 names no element"},
      {replace(kCopper, "0.0512(4)", "0.05x"),
       "file s.cif, data block cuacac, _atom_site_fract_y of atom O1: '0.05x' is not a number"},
      {replace(kCopper, "0.0512(4)", "?"), "_atom_site_fract_y of atom O1: value missing"},
      {replace(kCopper, "O1 0.030(1)", "O1 ?"), "_atom_site_aniso_U_11 of atom O1: value missing"},
      {replace(kCopper, "_cell_angle_beta 92.185(7)", "_cell_angle_beta 192"), "impossible cell"},
  };
  for (const Case& c : cases) {
    CifRun r;
    const std::string m = r.fails(c.text);
    EXPECT_NE(m.find(c.want), std::string::npos) << "got: " << m;
  }
  CifRun r;
  try {
    ReadCif(r.t.run, "absent.cif", "");
    ADD_FAILURE();
  } catch (const VornError& e) {
    EXPECT_EQ(e.message(), "Error opening CIF file absent.cif (No such file or directory)");
  }
}

// The warning lines of a text.
std::vector<std::string> warning_lines(const std::string& text) {
  std::vector<std::string> w;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);)
    if (l.rfind(" WARNING: ", 0) == 0) w.push_back(l);
  return w;
}

// The operators a run holds, as a sorted list of their wrapped triplets.
std::vector<std::string> group_of(const vorn::Run& run) {
  std::vector<std::string> ops;
  for (int n = 1; n <= run.symm.nsym; ++n) {
    const SymOp& o = run.symm.op[static_cast<std::size_t>(n)];
    std::ostringstream os;
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 3; ++c) os << o.R[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)] << ' ';
      float t = std::fmod(o.t[static_cast<std::size_t>(r)], 1.0f);
      if (t < 0) t += 1.0f;
      os << std::lround(t * 24) % 24 << ';';
    }
    ops.push_back(os.str());
  }
  std::sort(ops.begin(), ops.end());
  return ops;
}

TEST(CifSymmetry, ALoopWithoutTheIdentityTakesTheSymbolsGroupWithAWarning) {
  CifRun good;
  good.read(kCopper);
  CifRun r;
  r.read(replace_once(kCopper, "1 'x, y, z'\n", ""));
  EXPECT_EQ(group_of(r.run()), group_of(good.run()));
  EXPECT_EQ(r.mas.str(), good.mas.str());
  const auto w = warning_lines(r.t.out.str());
  ASSERT_EQ(w.size(), 3u) << r.t.out.str();
  EXPECT_EQ(w[0],
            " WARNING: file s.cif, data block cuacac, symmetry operators: the operators of "
            "_space_group_symop_operation_xyz form no group (the identity x,y,z is not among the operators); the "
            "group of _space_group_name_H-M_alt 'P 21/n' is taken instead");
  EXPECT_EQ(w[1], " WARNING: operators of the loop that the group lacks: none");
  EXPECT_EQ(w[2], " WARNING: operators the group adds: x,y,z");
  EXPECT_EQ(warning_lines(r.t.lst.str()), w);
}

TEST(CifSymmetry, AMisprintedOperatorIsNamedAndTheSymbolsGroupTaken) {
  CifRun good;
  good.read(kCopper);
  {
    CifRun r;  // a sign lost: a mirror instead of the screw axis
    r.read(replace_once(kCopper, "'-x+1/2, y+1/2, -z+1/2'", "'-x+1/2, y+1/2, z+1/2'"));
    EXPECT_EQ(group_of(r.run()), group_of(good.run()));
    const auto w = warning_lines(r.t.out.str());
    ASSERT_EQ(w.size(), 3u);
    EXPECT_NE(w[0].find("form no group (the operators form no group: the product of"), std::string::npos) << w[0];
    EXPECT_EQ(w[1], " WARNING: operators of the loop that the group lacks: -x+1/2, y+1/2, z+1/2");
    EXPECT_EQ(w[2], " WARNING: operators the group adds: -x+1/2,y+1/2,-z+1/2");
  }
  {
    CifRun r;  // an operator that does not parse at all
    r.read(replace_once(kCopper, "'x-1/2, -y-1/2, z-1/2'", "'x-1/2, -y-1/2, z-1/2+'"));
    EXPECT_EQ(group_of(r.run()), group_of(good.run()));
    const auto w = warning_lines(r.t.out.str());
    ASSERT_EQ(w.size(), 3u);
    EXPECT_NE(w[0].find("_space_group_symop_operation_xyz: the operators of _space_group_symop_operation_xyz form no "
                        "group (operator 'x-1/2, -y-1/2, z-1/2+' does not parse"),
              std::string::npos)
        << w[0];
    EXPECT_EQ(w[1], " WARNING: operators of the loop that the group lacks: x-1/2, -y-1/2, z-1/2+");
    EXPECT_EQ(w[2], " WARNING: operators the group adds: x+1/2,-y+1/2,z+1/2");
  }
  {
    // The standard name beside the operators of another setting: the
    // setting of the name that holds the loop is taken.
    CifRun r;
    r.read(replace_once(replace_once(kCopper, "'P 21/n'", "'P 21/c'"), "1 'x, y, z'\n", ""));
    EXPECT_EQ(group_of(r.run()), group_of(good.run()));
    const auto w = warning_lines(r.t.out.str());
    ASSERT_EQ(w.size(), 3u);
    EXPECT_NE(w[0].find("the group of _space_group_name_H-M_alt 'P 21/c' (setting P 1 21/n 1) is taken instead"),
              std::string::npos)
        << w[0];
  }
}

TEST(CifSymmetry, ASymbolThatDisagreesWithTheLoopOrIsUnknownStopsTheRun) {
  CifRun r;
  const std::string m = r.fails(replace_once(replace_once(kCopper, "'P 21/n'", "'P 1'"), "1 'x, y, z'\n", ""));
  EXPECT_NE(m.find("the identity x,y,z is not among the operators; the symbol _space_group_name_H-M_alt 'P 1' names "
                   "a group that lacks most of them"),
            std::string::npos)
      << m;
  CifRun u;
  const std::string n = u.fails(replace_once(replace_once(kCopper, "'P 21/n'", "'Q 99'"), "1 'x, y, z'\n", ""));
  EXPECT_NE(n.find("nor does the symbol give the group (_space_group_name_H-M_alt: space group 'Q 99' not known)"),
            std::string::npos)
      << n;
}

// ---------------------------------------------------------------------------
// Whole runs.

std::string file_text(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

// The atom table of an XD master file: its lines from the header to END ATOM.
std::vector<std::string> atom_table(const std::string& mas) {
  std::vector<std::string> rows;
  std::istringstream in(mas);
  bool on = false;
  for (std::string l; std::getline(in, l);) {
    if (l.rfind("ATOM     ATOM0", 0) == 0) on = true;
    if (l.rfind("END ATOM", 0) == 0) break;
    if (on) rows.push_back(l);
  }
  return rows;
}

TEST(CifRuns, TheExampleMoleculeAsCifRunsLikeItsShelxFile) {
  const std::filesystem::path ex = std::filesystem::path(VORN_SOURCE_DIR) / "examples";
  const std::string db = (ex / "databank" / "vorn_example.db").string();
  std::map<std::string, std::string> mas, inp;
  for (const char* kind : {"toluic", "toluic-cif"}) {
    TestRun t;
    std::string control = file_text(ex / kind / "vorn.inp");
    const std::size_t p = control.find("DATABANK ");
    control = control.substr(0, p) + "DATABANK " + db + control.substr(control.find('\n', p));
    t.write("vorn.inp", control);
    const char* structure = std::string(kind) == "toluic" ? "toluic.res" : "toluic.cif";
    t.write(structure, file_text(ex / kind / structure));
    ASSERT_EQ(vorn_main(t.run, {}), 0) << kind << "\n" << t.out.str();
    mas[kind] = t.read("xd_vorn.mas");
    inp[kind] = t.read("xd_vorn.inp");
    EXPECT_NE(t.read("vorn.out").find(" Input file format = " + std::string(kind == std::string("toluic") ? "SHELX" : "CIF")),
              std::string::npos);
  }
  // The same atom table, keys and module blocks; the head differs in the
  // card text only, and in the weights the CIF does not carry.
  EXPECT_EQ(atom_table(mas["toluic"]), atom_table(mas["toluic-cif"]));
  EXPECT_EQ(mas["toluic"].substr(mas["toluic"].find("KEY     XYZ")),
            mas["toluic-cif"].substr(mas["toluic-cif"].find("KEY     XYZ")));
  EXPECT_NE(mas["toluic-cif"].find("\nLATT C P\nSYMM -X, Y+1/2, -Z+1/2\n"), std::string::npos);
  // Populations and extended H atoms alike; the CIF gives the Uiso of the
  // riding H atoms to four decimals.
  std::istringstream a(inp["toluic"]), b(inp["toluic-cif"]);
  std::string la, lb;
  int lines = 0;
  while (std::getline(a, la)) {
    ASSERT_TRUE(std::getline(b, lb));
    ++lines;
    std::istringstream wa(la), wb(lb);
    for (std::string x, y; wa >> x;) {
      ASSERT_TRUE(wb >> y) << la << " | " << lb;
      if (x == y) continue;
      EXPECT_NEAR(std::stod(x), std::stod(y), 2e-6) << la << " | " << lb;
    }
  }
  EXPECT_FALSE(std::getline(b, lb));
  EXPECT_GT(lines, 50);
}


// ---------------------------------------------------------------------------
// The same refinements as SHELX and as CIF files (../shared/testdata/cif).

std::optional<std::filesystem::path> shared_cif_dir() {
  std::filesystem::path p = std::filesystem::path(VORN_SOURCE_DIR) / ".." / "shared" / "testdata" / "cif";
  if (std::filesystem::is_directory(p)) return p;
  return std::nullopt;
}

// A .res without the atoms named (and their continuation lines).
std::string without_atoms(const std::string& res, const std::vector<std::string>& names) {
  std::istringstream in(res);
  std::string out;
  bool skip = false;
  for (std::string l; std::getline(in, l);) {
    if (skip) {
      skip = l.find('=') != std::string::npos;
      continue;
    }
    bool drop = false;
    for (const std::string& n : names) drop = drop || l.rfind(n + " ", 0) == 0;
    if (drop) {
      skip = l.find('=') != std::string::npos;
      continue;
    }
    out += l + "\n";
  }
  return out;
}

struct PairRun {
  TestRun t;
  std::vector<std::vector<std::string>> rows;  // the atom lines, split into words
  std::map<std::string, Frac> dummies;
};

void run_pair_side(PairRun& side, const std::string& format, const std::string& name, const std::string& text) {
  side.t.write(name, text);
  side.t.write("vorn.inp", "FORMAT *" + format + "\nINPUT " + name + "\nNCELLS 1\nRINGS 3 8\n"
                           "KEYGEN *XYZUIJ *all *MULT *all\n");
  ASSERT_EQ(vorn_main(side.t.run, {}), 0) << name << "\n" << side.t.out.str();
  for (const std::string& l : atom_table(side.t.read("xd_vorn.mas"))) {
    std::istringstream in(l);
    std::vector<std::string> w;
    for (std::string x; in >> x;) w.push_back(x);
    if (w[0] == "ATOM") continue;
    if (w[0].rfind("DUM", 0) == 0) {
      side.dummies[w[0]] = Frac(std::stof(w[1]), std::stof(w[2]), std::stof(w[3]));
      continue;
    }
    side.rows.push_back(w);
  }
}

// An axis end as points: every atom of that label (generated images too),
// or a dummy, taken as the atom it sits on when it replaces a
// symmetry-generated atom.
struct AxisEnd {
  std::string label;  // "" for a dummy that sits on no atom
  int iz = 0;
  Cart x;
};

std::vector<AxisEnd> axis_ends(const PairRun& side, const std::string& name) {
  const vorn::Run& run = side.t.run;
  std::vector<AxisEnd> ends;
  auto atom = [&](int j) {
    const auto uj = static_cast<std::size_t>(j);
    return AxisEnd{std::string(rtrim(run.atoms.label[uj])), run.atoms.iz[uj], run.atoms.xc[uj]};
  };
  if (name.rfind("DUM", 0) == 0) {
    const Cart x = to_cart(run.transf, side.dummies.at(name));
    for (int j = 1; j <= run.cryst.ncryst && ends.empty(); ++j)
      if (dist(run.atoms.xc[static_cast<std::size_t>(j)], x) < 0.02f) ends.push_back(atom(j));
    if (ends.empty()) ends.push_back(AxisEnd{"", 0, x});
  } else {
    for (int j = 1; j <= run.cryst.ncryst; ++j)
      if (rtrim(run.atoms.label[static_cast<std::size_t>(j)]) == name) ends.push_back(atom(j));
  }
  return ends;
}

// True when two bonded neighbours of one element lie at the same distance
// from the atom to the precision of the files: which of them the axis rules
// take, and so the dummy points built from them, is then a matter of the
// last printed digit.
bool tied_neighbours(const PairRun& side, int i) {
  const NeighborRec& n = side.t.run.neighbors[static_cast<std::size_t>(i)];
  const auto& iz = side.t.run.atoms.iz;
  for (int a = 1; a <= n.nnei; ++a)
    for (int b = a + 1; b <= n.nnei; ++b)
      if (iz[static_cast<std::size_t>(n.inei[static_cast<std::size_t>(a)])] ==
              iz[static_cast<std::size_t>(n.inei[static_cast<std::size_t>(b)])] &&
          std::fabs(n.rnei[static_cast<std::size_t>(a)] - n.rnei[static_cast<std::size_t>(b)]) < 0.005f)
        return true;
  return false;
}

// Two axis ends agree when they name the same atom, or are equally good
// choices to the precision of the files: atoms of one element at the same
// distance from the centre (the riding H atoms of a methyl group, symmetry
// images), or, for an atom with tied neighbours, ends of the same kind.
std::string axis_mismatch(const PairRun& c, const PairRun& r, int i, const std::string& nc, const std::string& nr) {
  const std::vector<AxisEnd> as = axis_ends(c, nc), bs = axis_ends(r, nr);
  const Cart& ca = c.t.run.atoms.xc[static_cast<std::size_t>(i)];
  const Cart& cb = r.t.run.atoms.xc[static_cast<std::size_t>(i)];
  const bool tied = tied_neighbours(c, i) || tied_neighbours(r, i);
  for (const AxisEnd& a : as)
    for (const AxisEnd& b : bs) {
      if (!a.label.empty() && a.label == b.label) return {};
      if (a.label.empty() != b.label.empty() || a.iz != b.iz) continue;
      if (tied || std::fabs(dist(a.x, ca) - dist(b.x, cb)) < 0.01f) return {};
    }
  return "CIF " + nc + " against SHELX " + nr;
}

struct Pair {
  const char* name;
  std::vector<std::string> res_only;  // atoms of the .res that the CIF leaves out
};

TEST(CifRuns, EachCifRunsAsItsShelxTwin) {
  const auto dir_opt = shared_cif_dir();
  if (!dir_opt) GTEST_SKIP() << "../shared/testdata/cif not present: skipped";
  const std::filesystem::path dir = *dir_opt;
  const Pair pairs[] = {{"1979688", {}},       {"alert_1550236", {}}, {"c2c_a", {}},        {"cod_1512116", {}},
                        {"cod_2238212", {"C12'", "C14'", "C7'"}},     {"cu_acac_200k", {}}, {"i-43d", {}},
                        {"l-alanine_iam", {}}, {"ntd51a_p21c", {}},   {"zp2", {}}};
  for (const Pair& p : pairs) {
    SCOPED_TRACE(p.name);
    PairRun c, r;
    run_pair_side(c, "cif", "s.cif", file_text(dir / (std::string(p.name) + ".cif")));
    run_pair_side(r, "shelx", "s.res", without_atoms(file_text(dir / (std::string(p.name) + ".res")), p.res_only));
    const vorn::Run& rc = c.t.run;
    const vorn::Run& rr = r.t.run;
    ASSERT_EQ(rc.atoms.nat, rr.atoms.nat);
    ASSERT_EQ(c.rows.size(), r.rows.size());
    EXPECT_EQ(rc.symm.nsym, rr.symm.nsym);
    std::map<std::string, std::string> kappa;  // CIF kappa set -> SHELX kappa set
    for (std::size_t k = 0; k < c.rows.size(); ++k) {
      const int i = static_cast<int>(k) + 1;
      const auto& a = c.rows[k];
      const auto& b = r.rows[k];
      SCOPED_TRACE(b[0]);
      ASSERT_GE(a.size(), 12u);
      ASSERT_GE(b.size(), 12u);
      // label ATOM0 AX1 ATOM1 ATOM2 AX2 R/L TP TBL KAP LMX SITESYM [CHEMCON]
      // (a SHELX atom of residue n is labelled as SHELXL names it in the CIF)
      ASSERT_EQ(a[0], b[0]);
      EXPECT_EQ(a[2], b[2]);
      EXPECT_EQ(a[5], b[5]);
      EXPECT_EQ(a[7], b[7]);
      EXPECT_EQ(a[10], b[10]);
      EXPECT_EQ(a[11], b[11]);
      EXPECT_EQ(rc.at_types.iz[static_cast<std::size_t>(std::stoi(a[8]))],
                rr.at_types.iz[static_cast<std::size_t>(std::stoi(b[8]))]);
      if (kappa.count(a[9]) == 0) kappa[a[9]] = b[9];
      EXPECT_EQ(kappa[a[9]], b[9]) << "kappa sets";
      EXPECT_EQ(axis_mismatch(c, r, i, a[1], b[1]), "");
      // The second axis of a cylindrical site does not matter.
      if (a[11] != "cyl") {
        EXPECT_EQ(axis_mismatch(c, r, i, a[4], b[4]), "");
      }
      EXPECT_EQ(a.size() > 12 ? a[12] : "", b.size() > 12 ? b[12] : "") << "chemical constraint";
      for (int x = 0; x < 3; ++x)
        EXPECT_NEAR(rc.atoms.xf[static_cast<std::size_t>(i)][static_cast<std::size_t>(x)],
                    rr.atoms.xf[static_cast<std::size_t>(i)][static_cast<std::size_t>(x)], 6e-4f);
      EXPECT_NEAR(rc.atoms1.occ[static_cast<std::size_t>(i)], rr.atoms1.occ[static_cast<std::size_t>(i)], 6e-3f);
      EXPECT_EQ(rc.atoms1.flag[static_cast<std::size_t>(i)], rr.atoms1.flag[static_cast<std::size_t>(i)]);
    }
  }
}

TEST(CifRuns, TheStructureBlockOfATwoBlockFileByName) {
  const auto dir_opt = shared_cif_dir();
  if (!dir_opt) GTEST_SKIP() << "../shared/testdata/cif not present: skipped";
  CifRun r;
  r.t.write("s.cif", file_text(*dir_opt / "c2c_a.cif"));
  ReadCif(r.t.run, "s.cif", "C2C_A");
  EXPECT_EQ(r.run().atoms.nat, 168);
  EXPECT_EQ(r.run().symm.nsym, 8);
  EXPECT_NE(r.mas.str().find("\nLATT C C\n"), std::string::npos);
  CifRun g;
  g.t.write("s.cif", file_text(*dir_opt / "c2c_a.cif"));
  try {
    ReadCif(g.t.run, "s.cif", "New_Global_Publ_Block");
    ADD_FAILURE();
  } catch (const VornError& e) {
    EXPECT_NE(e.message().find("file s.cif, data block New_Global_Publ_Block, _"), std::string::npos) << e.message();
    EXPECT_NE(e.message().find(" missing: "), std::string::npos) << e.message();
  }
}

TEST(CifRuns, RealCifsWithAFaultyOperatorLoopRunOnTheSymbolsGroupWithAWarning) {
  const auto dir_opt = shared_cif_dir();
  if (!dir_opt) GTEST_SKIP() << "../shared/testdata/cif not present: skipped";
  struct Case {
    const char* name;
    std::string from, to;
    const char* symbol;
  };
  const Case cases[] = {
      // The loop without x,y,z; the Hall symbol gives the group.
      {"cu_acac_200k", "'x, y, z'", "", "_space_group_name_Hall '-P 2yn'"},
      // A misprinted operator; the old-style H-M name gives the group.
      {"ntd51a_p21c", "'-x, y+1/2, -z+1/2'", "'-x, y+1/2, z+1/2'", "_symmetry_space_group_name_H-M 'P2(1)/c'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string text = file_text(*dir_opt / (std::string(c.name) + ".cif"));
    TestRun good, bad;
    for (TestRun* t : {&good, &bad}) {
      t->write("vorn.inp", "FORMAT *cif\nINPUT s.cif\nNCELLS 1\nRINGS 3 8\n");
      t->write("s.cif", t == &good ? text : replace_once(text, c.from, c.to));
      ASSERT_EQ(vorn_main(t->run, {}), 0) << t->out.str();
    }
    EXPECT_TRUE(warning_lines(good.out.str()).empty());
    const auto w = warning_lines(bad.out.str());
    ASSERT_EQ(w.size(), 3u) << bad.out.str();
    EXPECT_NE(w[0].find(std::string("the group of ") + c.symbol + " is taken instead"), std::string::npos) << w[0];
    EXPECT_EQ(w[1], " WARNING: operators of the loop that the group lacks: " +
                        (c.to.empty() ? std::string("none") : c.to.substr(1, c.to.size() - 2)));
    EXPECT_EQ(w[2], " WARNING: operators the group adds: " +
                        std::string(c.to.empty() ? "x,y,z" : "-x,y+1/2,-z+1/2"));
    EXPECT_EQ(warning_lines(bad.read("vorn.out")), w);
    EXPECT_EQ(group_of(bad.run), group_of(good.run));
    EXPECT_EQ(atom_table(bad.read("xd_vorn.mas")), atom_table(good.read("xd_vorn.mas")));
  }
}

}  // namespace
}  // namespace vorn
