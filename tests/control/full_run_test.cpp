// Whole runs with every option on: every file the closing summary names must
// exist, and the parameter files must be complete.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <map>
#include <regex>
#include <sstream>

#include <nlohmann/json.hpp>

#include "control/run_sequence.hpp"
#include "support/builders.hpp"

using namespace vorn;
using vorn::test::TestRun;
using vorn::test::words_of;

namespace {

std::string control_file(const std::string& structure, int nat) {
  std::string db = std::string(VORN_SOURCE_DIR) + "/examples/databank/vorn_example.db";
  return "FORMAT *shelx\nINPUT " + structure +
         "\nVERBOSE 2\nNCELLS 1\nRINGS 3 8 *special\n"
         "KEYGEN *XYZUIJ *all *ordered *MULT *all *ordered *kappas\n"
         "EXTEND_H\nDATABANK " + db + "\nSCALE *diff\nNFRAG 1\nFRAG 1 1 -" + std::to_string(nat) +
         "\nCHFRAG 0.0\n";
}

// The files named after " : " in the closing summary on standard output.
std::vector<std::string> summary_files(const std::string& out) {
  std::vector<std::string> names;
  std::regex line(R"(^ [A-Za-z/ -]+ : ([A-Za-z_.0-9]+)( & ([A-Za-z_.0-9]+))?$)");
  std::istringstream is(out);
  for (std::string l; std::getline(is, l);) {
    std::smatch m;
    if (!std::regex_match(l, m, line)) continue;
    names.push_back(m[1]);
    if (m[3].matched) names.push_back(m[3]);
  }
  return names;
}

void expect_complete_run(TestRun& t, int nat) {
  ASSERT_EQ(vorn_main(t.run, {}), 0) << t.out.str().substr(t.out.str().size() > 2000 ? t.out.str().size() - 2000 : 0);
  auto names = summary_files(t.out.str());
  EXPECT_GE(names.size(), 10u);
  for (const auto& n : names) EXPECT_TRUE(t.exists(n)) << n << " is named in the summary but missing";
  for (const char* n : {"xd_vorn.mas", "xd_vorn.inp", "mopro_vorn.par", "con_mopro.inp", "res_mopro.inp", "reset.bond",
                        "const.bond", "fixedH.ins", "vorn.spf", "vorn.ang", "vorn.out"})
    EXPECT_TRUE(t.exists(n)) << n;
  std::string inp = t.read("xd_vorn.inp");
  EXPECT_NE(inp.find("XDPARFILE VERSION  2"), std::string::npos);
  std::string mopro = t.read("mopro_vorn.par");
  EXPECT_EQ(mopro.substr(mopro.size() - 6), "STOP \n");
  std::string con = t.read("con_mopro.inp");
  EXPECT_NE(con.find("! similarity (switched-off)"), std::string::npos);
  EXPECT_EQ(con.substr(con.size() - 10), "!\n! end\n!\n");
  EXPECT_EQ(t.read("vorn.spf").substr(t.read("vorn.spf").size() - 5), "PLOT\n");
  std::string fixedh = t.read("fixedH.ins");
  EXPECT_EQ(static_cast<int>(std::count(fixedh.begin(), fixedh.end(), '\n')), nat);
  EXPECT_NE(t.read("vorn.out").find(" Total program elapsed times u,s,t (s) :"), std::string::npos);
}

}  // namespace

TEST(FullRun, ProjectExampleWithEveryOption) {
  TestRun t;
  std::filesystem::copy_file(std::filesystem::path(VORN_SOURCE_DIR) / "examples/toluic/toluic.res",
                             t.dir.path() / "toluic.res");
  t.write("vorn.inp", control_file("toluic.res", 18));
  expect_complete_run(t, 18);
  std::string out = t.out.str();
  EXPECT_NE(out.find(" ATOMS SEARCHED in DB, FOUND in DB, NOT FOUND in DB =       18"), std::string::npos);
  EXPECT_NE(out.find("( Charge =   +0.000 el. )"), std::string::npos);
}

TEST(FullRun, RealStructureWithEveryOption) {
  VORN_REQUIRE_SHARED(dir);
  TestRun t;
  std::filesystem::copy_file(dir / "jkd77.res", t.dir.path() / "jkd77.res");
  t.write("vorn.inp", control_file("jkd77.res", 44));
  expect_complete_run(t, 44);
}

// ---------------------------------------------------------------------------
// Every real structure with the databank, extended hydrogens, completed
// fragments and one neutral fragment: the parameter files must be a start a
// refinement can take.

namespace {

struct Cell6 {
  double a, b, c, al, be, ga;
};

// Ueq as a third of the trace of the Cartesian tensor U_cart = A N U N A^T,
// A the orthogonalisation matrix of the cell, N = diag(a*, b*, c*) with the
// reciprocal lengths taken as the row lengths of A^-1.
double ueq_cartesian(const Cell6& c, const std::array<double, 6>& u) {
  const double d = std::acos(-1.0) / 180.0;
  const double ca = std::cos(c.al * d), cb = std::cos(c.be * d), cg = std::cos(c.ga * d), sg = std::sin(c.ga * d);
  const double v = std::sqrt(1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg);
  const double A[3][3] = {{c.a, c.b * cg, c.c * cb}, {0, c.b * sg, c.c * (ca - cb * cg) / sg}, {0, 0, c.c * v / sg}};
  // A is upper triangular: its inverse by back substitution, column by column.
  double Ai[3][3] = {};
  for (int col = 0; col < 3; ++col)
    for (int r = 2; r >= 0; --r) {
      double s = r == col ? 1.0 : 0.0;
      for (int k = r + 1; k < 3; ++k) s -= A[r][k] * Ai[k][col];
      Ai[r][col] = s / A[r][r];
    }
  double n[3];
  for (int r = 0; r < 3; ++r) n[r] = std::sqrt(Ai[r][0] * Ai[r][0] + Ai[r][1] * Ai[r][1] + Ai[r][2] * Ai[r][2]);
  // Stored order U11 U22 U33 U12 U13 U23.
  const double U[3][3] = {{u[0], u[3], u[4]}, {u[3], u[1], u[5]}, {u[4], u[5], u[2]}};
  double tr = 0;
  for (int i = 0; i < 3; ++i)
    for (int p = 0; p < 3; ++p)
      for (int q = 0; q < 3; ++q) tr += A[i][p] * n[p] * U[p][q] * n[q] * A[i][q];
  return tr / 3;
}

struct AtomRecord {
  std::string label;
  int tp = 0, tbl = 0;
  double occ = 0;
  std::array<double, 6> u{};
};

std::vector<std::string> file_lines(const std::string& text) {
  std::vector<std::string> l;
  std::istringstream is(text);
  for (std::string s; std::getline(is, s);) l.push_back(s);
  return l;
}

// The atom records of xd_vorn.inp: after the USAGE line, two lines of
// zeros and the dummy atoms, five lines per atom.
std::vector<AtomRecord> xd_atoms(const std::string& inp) {
  const auto l = file_lines(inp);
  std::size_t k = 0;
  while (k < l.size() && l[k].rfind("USAGE", 0) != 0) ++k;
  std::istringstream usage(l.at(k).substr(5));
  std::vector<int> n;
  for (int x; usage >> x;) n.push_back(x);
  const int nat = n.at(0), ndum = n.back();
  k += 3 + static_cast<std::size_t>(ndum);
  std::vector<AtomRecord> atoms;
  for (int i = 0; i < nat; ++i, k += 5) {
    AtomRecord a;
    a.label = l.at(k).substr(0, 8);
    std::istringstream rec(l.at(k).substr(8));
    int v[11];
    for (int& x : v) rec >> x;
    double x, y, z;
    rec >> x >> y >> z >> a.occ;
    a.tp = v[5];
    a.tbl = v[6];
    std::istringstream us(l.at(k + 1));
    for (double& x6 : a.u) us >> x6;
    atoms.push_back(a);
  }
  return atoms;
}

// Valence electrons of each SCAT row of xd_vorn.mas (its negative
// occupancies), 1-based, and the cell.
std::vector<int> scat_valences(const std::string& mas, Cell6& cell) {
  std::vector<int> val(1, 0);
  bool in = false;
  for (const std::string& s : file_lines(mas)) {
    if (s.rfind("CELL ", 0) == 0) {
      std::istringstream is(s.substr(5));
      is >> cell.a >> cell.b >> cell.c >> cell.al >> cell.be >> cell.ga;
    }
    if (s.rfind("SCAT CORE", 0) == 0) {
      in = true;
      continue;
    }
    if (s.rfind("END SCAT", 0) == 0) break;
    if (!in) continue;
    std::istringstream is(s.substr(20));
    int v = 0;
    for (int k = 0, o; k < 18 && is >> o; ++k)
      if (o < 0) v -= o;
    val.push_back(v);
  }
  return val;
}

// The U line of each atom of mopro_vorn.par: "UISO" or "UANI" and its values.
std::vector<std::pair<std::string, std::vector<double>>> mopro_u(const std::string& par) {
  std::vector<std::pair<std::string, std::vector<double>>> out;
  for (const std::string& s : file_lines(par)) {
    if (s.rfind("UISO", 0) != 0 && s.rfind("UANI", 0) != 0) continue;
    std::istringstream is(s.substr(4));
    std::vector<double> v;
    for (double x; is >> x;) v.push_back(x);
    out.emplace_back(s.substr(0, 4), v);
  }
  return out;
}

void check_parameter_files(const std::string& name, TestRun& t) {
  Cell6 cell{};
  const std::vector<int> val = scat_valences(t.read("xd_vorn.mas"), cell);
  const std::vector<AtomRecord> atoms = xd_atoms(t.read("xd_vorn.inp"));
  const auto us = mopro_u(t.read("mopro_vorn.par"));
  const auto fixedh = file_lines(t.read("fixedH.ins"));
  ASSERT_EQ(atoms.size(), us.size()) << name;
  ASSERT_EQ(atoms.size(), fixedh.size()) << name;
  ASSERT_EQ(static_cast<int>(atoms.size()), t.run.atoms.nat) << name;
  double pv = 0, valence = 0;
  for (std::size_t i = 0; i < atoms.size(); ++i) {
    const AtomRecord& a = atoms[i];
    const auto& [kind, u] = us[i];
    if (kind == "UANI") {
      ASSERT_EQ(u.size(), 6u) << name << " " << a.label;
      for (int k = 0; k < 3; ++k) EXPECT_NE(u[static_cast<std::size_t>(k)], 0.0) << name << " " << a.label;
    } else if (a.tp >= 2) {
      const double ueq = ueq_cartesian(cell, a.u);
      ASSERT_EQ(u.size(), 1u) << name << " " << a.label;
      EXPECT_NEAR(u[0], ueq, 1e-5) << name << " " << a.label;
      EXPECT_NEAR(std::stod(fixedh[i].substr(fixedh[i].size() - 8)), ueq, 5.1e-5) << name << " " << a.label;
    } else {
      // An isotropic atom: its Uiso, as xd_vorn.inp has it.
      EXPECT_NEAR(u.at(0), a.u[0], 1e-6) << name << " " << a.label;
    }
    ASSERT_GE(a.tbl, 1) << name;
    ASSERT_LT(static_cast<std::size_t>(a.tbl), val.size()) << name;
    const auto k = i + 1;
    pv += t.run.mpoles[k].pv;
    valence += val[static_cast<std::size_t>(a.tbl)] * static_cast<double>(t.run.atoms1.occ[k]);
  }
  // One fragment of all atoms with charge 0.
  EXPECT_NEAR(pv, valence, 1e-4) << name;
  // SHELX free variables 2 to 9 are occupancies: extinction starts at 0.
  const auto inp = file_lines(t.read("xd_vorn.inp"));
  ASSERT_GE(inp.size(), 3u);
  EXPECT_EQ(inp[inp.size() - 3], " 0.0000E+00 0.0000E+00 0.0000E+00 0.0000E+00 0.0000E+00 0.0000E+00 0.0000E+00")
      << name;
  EXPECT_EQ(inp[inp.size() - 2], " 0.0000E+00") << name;
}

std::string accepted_control(const std::string& format, const std::string& file) {
  return "FORMAT *" + format + "\nINPUT " + file + "\nNCELLS 1\nEXTEND_H\nDATABANK " + std::string(VORN_SOURCE_DIR) +
         "/examples/databank/vorn_example.db\nCHFRAG 0.0\n";
}

}  // namespace

TEST(FullRun, EveryAcceptedRealStructureGivesStartingParameters) {
  VORN_REQUIRE_SHARED(real);
  const std::filesystem::path cifdir = real.parent_path() / "cif";
  std::vector<std::filesystem::path> files;
  for (const auto& dir : {real, cifdir})
    for (const auto& e : std::filesystem::directory_iterator(dir)) {
      const auto ext = e.path().extension();
      if (ext == ".res" || ext == ".cif") files.push_back(e.path());
    }
  std::sort(files.begin(), files.end());
  EXPECT_GE(files.size(), 45u);
  for (const auto& f : files) {
    TestRun t;
    const std::string local = f.filename().string();
    std::filesystem::copy_file(f, t.dir.path() / local);
    t.write("vorn.inp", accepted_control(f.extension() == ".cif" ? "cif" : "shelx", local));
    const std::string name = f.parent_path().filename().string() + "/" + local;
    ASSERT_EQ(vorn_main(t.run, {}), 0) << name << "\n"
                                       << t.out.str().substr(t.out.str().size() > 1500 ? t.out.str().size() - 1500 : 0);
    check_parameter_files(name, t);
  }
}

// ---------------------------------------------------------------------------
// Elements beyond xenon: small complexes of Pt, Au, Hg, Cs, Re and Ho with
// the bond lengths of their crystal structures, as SHELX and CIF files.

namespace {

struct HeavySite {
  std::string label, element;
  Vec3 x;  // Cartesian, angstrom
};

// n atoms at `bond` from `centre`, at `tilt` degrees from the direction
// `axis`, spread evenly around it (the H atoms of a methyl or ammonia).
void umbrella(std::vector<HeavySite>& s, const std::string& prefix, const std::string& element, const Vec3& centre,
              Vec3 axis, int n, float bond, float tilt) {
  axis = scale(axis, 1.0f / rlength(axis));
  Vec3 e1 = vmult(axis, std::fabs(axis[0]) < 0.9f ? Vec3{1, 0, 0} : Vec3{0, 1, 0});
  e1 = scale(e1, 1.0f / rlength(e1));
  const Vec3 e2 = vmult(axis, e1);
  const float t = tilt * 0.017453292f;
  for (int k = 0; k < n; ++k) {
    const float phi = 6.2831853f * static_cast<float>(k) / static_cast<float>(n) + 0.3f;
    const Vec3 d = add(scale(axis, std::cos(t)),
                       add(scale(e1, std::sin(t) * std::cos(phi)), scale(e2, std::sin(t) * std::sin(phi))));
    s.push_back({prefix + std::to_string(k + 1), element, add(centre, scale(d, bond))});
  }
}

// The complexes. Each is centred on the heavy atom, put at (1/4, 1/4, 1/4)
// of a cubic P-1 cell of 12 A, so that its image through the inversion
// centre lies some 10 A away.
std::vector<HeavySite> heavy_complex(const std::string& element) {
  std::vector<HeavySite> s;
  const float tetra = 70.53f;  // 180 - 109.47
  if (element == "Pt") {  // cis-[PtCl2(NH3)2]
    s = {{"Pt1", "Pt", {0, 0, 0}}, {"Cl1", "Cl", {2.31f, 0, 0}}, {"Cl2", "Cl", {0, 2.31f, 0}},
         {"N1", "N", {-2.05f, 0, 0}}, {"N2", "N", {0, -2.05f, 0}}};
    umbrella(s, "H1", "H", {-2.05f, 0, 0}, {-1, 0, 0}, 3, 0.91f, tetra);
    umbrella(s, "H2", "H", {0, -2.05f, 0}, {0, -1, 0}, 3, 0.91f, tetra);
  } else if (element == "Au") {  // Me3P-Au-Cl
    s = {{"Au1", "Au", {0, 0, 0}}, {"Cl1", "Cl", {2.28f, 0, 0}}, {"P1", "P", {-2.23f, 0, 0}}};
    umbrella(s, "C", "C", {-2.23f, 0, 0}, {-1, 0, 0}, 3, 1.81f, 66.0f);
    for (int k = 0; k < 3; ++k) {
      const Vec3 c = s[static_cast<std::size_t>(3 + k)].x;
      umbrella(s, "H" + std::to_string(k + 1), "H", c, sub(c, Vec3{-2.23f, 0, 0}), 3, 0.98f, tetra);
    }
  } else if (element == "Hg") {  // MeHgCl
    s = {{"Hg1", "Hg", {0, 0, 0}}, {"Cl1", "Cl", {2.30f, 0, 0}}, {"C1", "C", {-2.06f, 0, 0}}};
    umbrella(s, "H1", "H", {-2.06f, 0, 0}, {-1, 0, 0}, 3, 0.98f, tetra);
  } else if (element == "Cs") {  // caesium formate, the formate chelating (Cs-O 3.10 A)
    s = {{"Cs1", "Cs", {0, 0, 0}},
         {"O1", "O", {1.109f, -2.895f, 0}},
         {"O2", "O", {-1.109f, -2.895f, 0}},
         {"C1", "C", {0, -3.472f, 0}},
         {"H1", "H", {0, -4.562f, 0}}};
  } else if (element == "Re") {  // ammonium perrhenate, the ion pair
    s = {{"Re1", "Re", {0, 0, 0}}};
    umbrella(s, "O", "O", {0, 0, 0}, {0, 0, 1}, 3, 1.72f, 109.47f);
    s.push_back({"O4", "O", {0, 0, 1.72f}});
    s.push_back({"N1", "N", {0, 0, 4.60f}});
    s.push_back({"H1", "H", {0, 0, 3.59f}});
    umbrella(s, "H", "H", {0, 0, 4.60f}, {0, 0, 1}, 3, 1.01f, tetra);
    s.back().label = "H4";
    s[s.size() - 2].label = "H3";
    s[s.size() - 3].label = "H2";
  } else if (element == "Ho") {  // fac-[HoCl3(H2O)3]
    s = {{"Ho1", "Ho", {0, 0, 0}},          {"Cl1", "Cl", {2.70f, 0, 0}}, {"Cl2", "Cl", {0, 2.70f, 0}},
         {"Cl3", "Cl", {0, 0, 2.70f}},      {"O1", "O", {-2.36f, 0, 0}},  {"O2", "O", {0, -2.36f, 0}},
         {"O3", "O", {0, 0, -2.36f}}};
    const Vec3 out[3] = {{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
    const Vec3 side[3] = {{0, 0.7071f, -0.7071f}, {0.7071f, 0, -0.7071f}, {0.7071f, -0.7071f, 0}};
    const float c = 0.6088f, sn = 0.7934f;  // H-O-H 105 degrees, in a plane with Ho-O
    for (int k = 0; k < 3; ++k) {
      const Vec3 o = scale(out[k], 2.36f);
      for (int h = 0; h < 2; ++h)
        s.push_back({"H" + std::to_string(k + 1) + (h == 0 ? "A" : "B"), "H",
                     add(o, scale(add(scale(out[k], c), scale(side[k], h == 0 ? sn : -sn)), 0.96f))});
    }
  }
  return s;
}

constexpr float kCubicCell = 12.0f;

Vec3 fractional(const Vec3& x) { return add(scale(x, 1.0f / kCubicCell), Vec3{0.25f, 0.25f, 0.25f}); }

std::string heavy_res(const std::vector<HeavySite>& s) {
  std::vector<std::string> sfac;
  for (const HeavySite& a : s)
    if (std::find(sfac.begin(), sfac.end(), a.element) == sfac.end()) sfac.push_back(a.element);
  std::string text = "TITL heavy\nCELL 0.71073 12.0 12.0 12.0 90 90 90\nZERR 2 0.001 0.001 0.001 0 0 0\nLATT 1\nSFAC";
  for (const std::string& e : sfac) text += " " + e;
  text += "\nUNIT";
  for (std::size_t k = 0; k < sfac.size(); ++k) text += " 1";
  text += "\nFVAR 1.0\n";
  for (const HeavySite& a : s) {
    const int type = static_cast<int>(std::find(sfac.begin(), sfac.end(), a.element) - sfac.begin()) + 1;
    const Vec3 f = fractional(a.x);
    if (a.element == "H")
      text += ff::format("(a,1x,i0,3f10.5,'  11.00000   -1.20000')", a.label, type, f);
    else  // anisotropic, elongated along z
      text += ff::format("(a,1x,i0,3f10.5,'  11.00000   0.02000   0.02500   0.03000   0.00100   0.00200   0.00100')",
                         a.label, type, f);
  }
  return text + "HKLF 4\nEND\n";
}

std::string heavy_cif(const std::vector<HeavySite>& s) {
  std::string text =
      "data_heavy\n_symmetry_space_group_name_H-M 'P -1'\nloop_\n_symmetry_equiv_pos_as_xyz\n'x, y, z'\n'-x, -y, -z'\n"
      "_cell_length_a 12.0\n_cell_length_b 12.0\n_cell_length_c 12.0\n"
      "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n"
      "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n_atom_site_fract_z\n"
      "_atom_site_U_iso_or_equiv\n";
  for (const HeavySite& a : s)
    text += ff::format("(a,1x,a,3f10.5,f8.4)", a.label, a.element, fractional(a.x), a.element == "H" ? 0.03f : 0.025f);
  return text;
}

// The published ground states of the heavy elements (NIST).
const std::map<std::string, std::string> kGroundState = {
    {"Cs", "[Xe]6s"},        {"Re", "[Xe]4f14 5d5 6s2"}, {"Pt", "[Xe]4f14 5d9 6s"},
    {"Au", "[Xe]4f14 5d10 6s"}, {"Hg", "[Xe]4f14 5d10 6s2"}, {"Ho", "[Xe]4f11 6s2"}};
// The valence shells the SCAT line gives each (its negative entries).
const std::map<std::string, std::vector<std::string>> kValenceShells = {
    {"Cs", {"6s"}}, {"Re", {"5d", "6s"}}, {"Pt", {"5d", "6s"}}, {"Au", {"5d", "6s"}}, {"Hg", {"5d", "6s"}},
    {"Ho", {"4f", "6s"}}};

// Orbital occupancies of a configuration string such as "[Xe]4f11 6s2".
std::map<std::string, int> electrons_of(const std::string& text) {
  static const std::map<std::string, std::string> kCores = {{"[Xe]", "1s2 2s2 2p6 3s2 3p6 3d10 4s2 4p6 4d10 5s2 5p6"}};
  std::map<std::string, int> m;
  std::string spaced = text;
  if (const auto close = spaced.find(']'); close != std::string::npos) spaced.insert(close + 1, " ");
  std::istringstream in(spaced);
  for (std::string w; in >> w;) {
    if (w[0] == '[') {
      for (auto [k, v] : electrons_of(kCores.at(w))) m[k] += v;
      continue;
    }
    m[w.substr(0, 2)] += w.size() > 2 ? std::stoi(w.substr(2)) : 1;
  }
  return m;
}

// The SCAT line of an element in xd_vorn.mas, as orbital -> signed occupancy.
std::map<std::string, int> scat_line_of(const std::string& mas, const std::string& element) {
  static const char* const kColumns[18] = {"1s", "2s", "3s", "4s", "2p", "3p", "4p", "3d", "4d",
                                           "4f", "5s", "5p", "6s", "6p", "5d", "7s", "6d", "5f"};
  std::map<std::string, int> m;
  for (const std::string& l : file_lines(mas)) {
    if (l.rfind(element + " ", 0) != 0 || l.find("CHFW CHFW CSZD") == std::string::npos) continue;
    std::istringstream is(l.substr(20));
    for (int k = 0, o; k < 18 && is >> o; ++k)
      if (o != 0) m[kColumns[k]] = o;
    return m;
  }
  ADD_FAILURE() << "no SCAT line for " << element;
  return m;
}

}  // namespace

TEST(FullRun, ElementsBeyondXenonRunWithTheirGroundStates) {
  for (const std::string element : {"Pt", "Au", "Hg", "Cs", "Re", "Ho"}) {
    const std::vector<HeavySite> sites = heavy_complex(element);
    for (const std::string format : {"shelx", "cif"}) {
      TestRun t;
      const std::string file = format == "cif" ? "heavy.cif" : "heavy.res";
      t.write(file, format == "cif" ? heavy_cif(sites) : heavy_res(sites));
      t.write("vorn.inp", accepted_control(format, file));
      const std::string name = element + " " + format;
      ASSERT_EQ(vorn_main(t.run, {}), 0) << name << "\n" << t.out.str();
      ASSERT_EQ(t.run.atoms.nat, static_cast<int>(sites.size())) << name;
      check_parameter_files(name, t);
      // The SCAT line: the ground state, valence negative.
      const auto line = scat_line_of(t.read("xd_vorn.mas"), element);
      std::map<std::string, int> electrons;
      for (auto [orbital, occ] : line) electrons[orbital] = std::abs(occ);
      EXPECT_EQ(electrons, electrons_of(kGroundState.at(element))) << name;
      std::vector<std::string> valence;
      for (auto [orbital, occ] : line)
        if (occ < 0) valence.push_back(orbital);
      EXPECT_EQ(valence, kValenceShells.at(element)) << name;
      // The heavy atom is bonded as in its crystal.
      const std::map<std::string, int> kBonded = {{"Pt", 4}, {"Au", 2}, {"Hg", 2}, {"Cs", 2}, {"Re", 4}, {"Ho", 6}};
      EXPECT_EQ(t.run.neighbors[1].nnei, kBonded.at(element)) << name;
      // MoPro names the atom by its element and takes its displacement
      // parameters.
      const std::string par = t.read("mopro_vorn.par");
      const std::size_t at = par.find("ATOM   1 ");
      ASSERT_NE(at, std::string::npos) << name;
      const std::string atom_line = par.substr(at, par.find('\n', at) - at);
      EXPECT_EQ(upper(words_of(atom_line).back()), upper(element)) << atom_line;
      EXPECT_EQ(par.substr(par.find('\n', par.find('\n', at) + 1) + 1, 4), format == "cif" ? "UISO" : "UANI") << name;
    }
  }
}

// Beyond Lr the SCAT line has no columns for the atom's shells: the run
// stops naming the element, the atom, the file and the line.
TEST(FullRun, ElementsBeyondLawrenciumStopNamingElementAtomFileAndLine) {
  TestRun t;
  t.write("rf.res",
          "TITL rutherfordium\n"
          "CELL 0.71073 10.0 10.0 10.0 90 90 90\n"
          "LATT -1\n"
          "SFAC RF CL\n"
          "FVAR 1.0\n"
          "RF1   1   0.50000   0.50000   0.50000  11.00000   0.02000\n"
          "CL1   2   0.73000   0.50000   0.50000  11.00000   0.03000\n"
          "END\n");
  t.write("vorn.inp", accepted_control("shelx", "rf.res"));
  EXPECT_EQ(vorn_main(t.run, {}), 1);
  EXPECT_NE(t.out.str().find("\n ERROR *** ReadShelx *** Element Rf (Z = 104) of atom RF1, file rf.res, line 6: "
                             "no wavefunction table covers it (SCAT tables reach Lr, Z = 103)\n"),
            std::string::npos)
      << t.out.str();
}

// Methanol as a PLATON file (Cartesian, no cell), with EXTEND_H: the
// parameter files carry the Cartesian coordinates, the C-H hydrogens moved
// from 0.96 A to the methyl distance 1.077 A along their bonds.
TEST(FullRun, CartesianInputGivesCartesianParameterFiles) {
  TestRun t;
  t.write("m.ang",
          "ANGSTROM\n"
          "ATOM O1   1.4300 0.0000 0.0000\n"
          "ATOM C1   0.0000 0.0000 0.0000\n"
          "ATOM H1   1.7500 0.9050 0.0000\n"
          "ATOM H2  -0.3200 0.0000 -0.9051\n"
          "ATOM H3  -0.3200 0.7838 0.4526\n"
          "ATOM H4  -0.3200 -0.7838 0.4526\n");
  t.write("vorn.inp", "FORMAT *platon\nINPUT m.ang\nEXTEND_H\n");
  ASSERT_EQ(vorn_main(t.run, {}), 0) << t.out.str();
  EXPECT_NE(t.read("vorn.out").find(" The input has no cell : xd_vorn.inp, mopro_vorn.par and fixedH.ins carry "
                                    "Cartesian coordinates (Angstrom)"),
            std::string::npos);
  const auto fixedh = file_lines(t.read("fixedH.ins"));
  ASSERT_EQ(fixedh.size(), 6u);
  EXPECT_EQ(fixedh[0].substr(0, 51), "O1          0      1.430000    0.000000    0.000000");
  // H2 at (-0.32, 0, -0.9051), |r| = 0.96: times 1.077 / 0.96.
  std::istringstream h2(fixedh[3].substr(8));
  int sft = 0;
  double x = 0, y = 0, z = 0;
  h2 >> sft >> x >> y >> z;
  const double f = 1.077 / std::sqrt(0.32 * 0.32 + 0.9051 * 0.9051);
  EXPECT_NEAR(x, -0.32 * f, 2e-6);
  EXPECT_NEAR(y, 0.0, 1e-6);
  EXPECT_NEAR(z, -0.9051 * f, 2e-6);
  const std::string par = t.read("mopro_vorn.par");
  EXPECT_NE(par.find("ATOM   1 O1        MOL   1    1.430000    0.000000    0.000000"), std::string::npos) << par;
  const std::string inp = t.read("xd_vorn.inp");
  EXPECT_NE(inp.find("  1.43000  0.00000  0.00000  1.0000"), std::string::npos) << inp;
}

namespace {

// Methanol in P-1 (C-O 1.43 A, C-H 1.09 A, O-H 0.96 A) as the fourth block
// of a file whose first block holds only publication data and whose third
// holds another model of it, as a database export numbers its blocks.
std::string methanol_block(const std::string& name, float shift) {
  return "data_" + name +
         "\n_symmetry_space_group_name_H-M 'P -1'\n"
         "loop_\n_symmetry_equiv_pos_as_xyz\n'x, y, z'\n'-x, -y, -z'\n"
         "_cell_length_a 8.0\n_cell_length_b 9.0\n_cell_length_c 10.0\n"
         "_cell_angle_alpha 90\n_cell_angle_beta 90\n_cell_angle_gamma 90\n"
         "loop_\n_atom_site_label\n_atom_site_type_symbol\n_atom_site_fract_x\n_atom_site_fract_y\n"
         "_atom_site_fract_z\n_atom_site_U_iso_or_equiv\n" +
         ff::format("('O1 O ',3f9.5,' 0.030')", 0.3f + shift, 0.3f, 0.3f) +
         ff::format("('C1 C ',3f9.5,' 0.030')", 0.3f + shift + 1.43f / 8.0f, 0.3f, 0.3f) +
         ff::format("('H1 H ',3f9.5,' 0.040')", 0.3f + shift - 0.32f / 8.0f, 0.3f + 0.905f / 9.0f, 0.3f) +
         ff::format("('H2 H ',3f9.5,' 0.040')", 0.3f + shift + 1.793f / 8.0f, 0.3f + 1.028f / 9.0f, 0.3f) +
         ff::format("('H3 H ',3f9.5,' 0.040')", 0.3f + shift + 1.793f / 8.0f, 0.3f - 0.514f / 9.0f, 0.3f + 0.890f / 10.0f) +
         ff::format("('H4 H ',3f9.5,' 0.040')", 0.3f + shift + 1.793f / 8.0f, 0.3f - 0.514f / 9.0f, 0.3f - 0.890f / 10.0f);
}

const std::string kMethanolFile = "data_1\n_publ_section_title 'Methanol, twice'\n\n" + methanol_block("3b", 0.0f) +
                                  "\n" + methanol_block("4", 0.1f);

nlohmann::json record_of(const TestRun& t) { return nlohmann::json::parse(t.read("vorn.json")); }

}  // namespace

// A file name with a blank, quoted, and a block named as a number: the run
// reads that block and says so on standard output and in vorn.json.
TEST(FullRun, QuotedFileNameAndNumericBlock) {
  TestRun t;
  t.write("a b.cif", kMethanolFile);
  t.write("vorn.inp", "FORMAT *cif\nINPUT \"a b.cif\" 4\nEXTEND_H\n");
  ASSERT_EQ(vorn_main(t.run, {}), 0) << t.out.str();
  EXPECT_NE(t.out.str().find("\n Data block : 4\n"), std::string::npos) << t.out.str();
  EXPECT_NE(t.read("vorn.out").find(" Input file format = CIF    file(s) = a b.cif\n"), std::string::npos);
  const nlohmann::json rec = record_of(t);
  EXPECT_EQ(rec["input"]["file"], "a b.cif");
  EXPECT_EQ(rec["input"]["data_block"], "4");
  // Block 4 is block 3b moved by 0.1 along a.
  ASSERT_EQ(t.run.atoms.nat, 6);
  EXPECT_NEAR(t.run.atoms.xf[1][0], 0.4f, 1e-5f);
  EXPECT_TRUE(t.exists("xd_vorn.mas"));

  // Without a block name: the first block with atoms, named on standard
  // output with the others and in vorn.json all the same.
  TestRun u;
  u.write("a b.cif", kMethanolFile);
  u.write("vorn.inp", "FORMAT *cif\nINPUT 'a b.cif'\n");
  ASSERT_EQ(vorn_main(u.run, {}), 0) << u.out.str();
  EXPECT_NE(u.out.str().find("\n Data block : 3b (the first with atom sites; the file holds 3 blocks: 1, 3b, 4)\n"),
            std::string::npos)
      << u.out.str();
  EXPECT_EQ(record_of(u)["input"]["data_block"], "3b");
  EXPECT_NEAR(u.run.atoms.xf[1][0], 0.3f, 1e-5f);

  // A block the file does not have stops the run, listing the blocks.
  TestRun v;
  v.write("a b.cif", kMethanolFile);
  v.write("vorn.inp", "FORMAT *cif\nINPUT \"a b.cif\" 6\n");
  EXPECT_EQ(vorn_main(v.run, {}), 1);
  EXPECT_NE(v.out.str().find(" ERROR *** ReadCif *** File a b.cif has no data block 6 (its blocks: 1, 3b, 4)\n"),
            std::string::npos)
      << v.out.str();
}

// wf5140 (1065 atoms) as PLATON input: its vorn.ang without the dummy atoms.
// Seen without a cell, H(13D_1) has more than a thousand atoms within the
// 20 A its frame search reaches; no count stops the run.
TEST(FullRun, AngFileOfALargeStructureRunsAsPlatonInput) {
  VORN_REQUIRE_SHARED(real);
  TestRun t;
  std::filesystem::copy_file(real / "wf5140.res", t.dir.path() / "wf5140.res");
  t.write("vorn.inp", "FORMAT *shelx\nINPUT wf5140.res\n");
  ASSERT_EQ(vorn_main(t.run, {}), 0) << t.out.str().substr(t.out.str().size() > 1500 ? t.out.str().size() - 1500 : 0);
  std::string ang;
  int atoms = 0;
  for (const std::string& l : file_lines(t.read("vorn.ang"))) {
    if (l.rfind("ATOM Li(", 0) == 0) continue;  // the dummy atoms
    ang += l + "\n";
    if (l.rfind("ATOM ", 0) == 0) ++atoms;
  }
  ASSERT_EQ(atoms, t.run.atoms.nat);

  TestRun u;
  u.write("wf5140.ang", ang);
  u.write("vorn.inp", "FORMAT *platon\nINPUT wf5140.ang\n");
  ASSERT_EQ(vorn_main(u.run, {}), 0) << u.out.str().substr(u.out.str().size() > 1500 ? u.out.str().size() - 1500 : 0);
  EXPECT_EQ(u.run.atoms.nat, atoms);
  EXPECT_EQ(u.out.str().find("ERROR"), std::string::npos);
  // Every atom has its line in the atom table of xd_vorn.mas, H(13D_1) too.
  const std::string mas = u.read("xd_vorn.mas");
  EXPECT_NE(mas.find("\nH(13D_1) "), std::string::npos);
  const std::size_t table = mas.find("ATOM     ATOM0");
  ASSERT_NE(table, std::string::npos);
  int rows = 0;
  for (const std::string& l : file_lines(mas.substr(table))) {
    if (l.rfind("END ATOM", 0) == 0) break;
    if (l.find("   R ") != std::string::npos) ++rows;
  }
  EXPECT_EQ(rows, atoms);
}
