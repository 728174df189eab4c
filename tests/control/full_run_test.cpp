// Whole runs with every option on: every file the closing summary names must
// exist, and the parameter files must be complete.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <regex>
#include <sstream>

#include "control/run_sequence.hpp"
#include "support/builders.hpp"

using namespace vorn;
using vorn::test::TestRun;

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

// Cisplatin: platinum has no SCAT line, and the run says so.
TEST(FullRun, PlatinumStopsNamingElementAtomFileAndLine) {
  TestRun t;
  t.write("pt.res",
          "TITL cisplatin\n"
          "CELL 0.71073 10.0 10.0 10.0 90 90 90\n"
          "LATT -1\n"
          "SFAC PT CL N H\n"
          "FVAR 1.0\n"
          "PT1   1   0.50000   0.50000   0.50000  11.00000   0.02000\n"
          "CL1   2   0.73000   0.50000   0.50000  11.00000   0.03000\n"
          "END\n");
  t.write("vorn.inp", accepted_control("shelx", "pt.res"));
  EXPECT_EQ(vorn_main(t.run, {}), 1);
  EXPECT_NE(t.out.str().find("\n ERROR *** ReadShelx *** Element Pt (Z = 78) of atom PT1, file pt.res, line 6: "
                             "no wavefunction table covers it (SCAT tables reach Xe, Z = 54)\n"),
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
