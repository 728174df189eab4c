#include "structure/xd_reader.hpp"

#include <gtest/gtest.h>

#include "base/error.hpp"
#include "support/builders.hpp"

namespace vorn {
namespace {

using test::TestRun;

// Urea in P-421m (a = 5.565, c = 4.684 A), the classic charge-density test
// structure: C and O on the mm2 axis (site factor 0.25), N and H on mirror
// planes (0.5).
const char* const kUreaMas =
    "!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!\n"
    "TITLE UREA\n"
    "CELL   5.5650   5.5650   4.6840  90.0000  90.0000  90.0000\n"
    "CELLSD 0.0010   0.0010   0.0010   0.0000   0.0000   0.0000\n"
    "WAVE  0.710730\n"
    "LATT   A P\n"
    "SYMM -X, -Y, Z\n"
    "SYMM Y, -X, -Z\n"
    "SYMM -Y, X, -Z\n"
    "SYMM 1/2+X, 1/2-Y, -Z\n"
    "SYMM 1/2-X, 1/2+Y, -Z\n"
    "SYMM 1/2+Y, 1/2+X, Z\n"
    "SYMM 1/2-Y, 1/2-X, Z\n"
    "    MODULE *XDLSM\n"
    "ATOM     ATOM0    AX1 ATOM1    ATOM2   AX2 R/L TP TBL KAP LMX SITESYM  CHEMCON\n"
    "C(1)     O(1)      Z  C(1)     N(1)     Y   R   2  1   1   4  mm2\n"
    "END ATOM\n"
    "KEY     XYZ --U2-- ----U3---- ------U4------- M- -D- --Q-- ---O--- ----H----\n"
    "END KEY\n"
    "    END XDLSM\n";

struct XdAtom {
  const char* label;
  int iu;
  int isft;
  int level;
  Frac xf;
  float occ;
  Uij u;
};

const XdAtom kUrea[] = {
    {"C(1)", 2, 1, 4, {0.0f, 0.5f, 0.3260f}, 0.25f, {0.0143f, 0.0143f, 0.0062f, 0.0003f, 0.0f, 0.0f}},
    {"O(1)", 2, 2, 4, {0.0f, 0.5f, 0.5953f}, 0.25f, {0.0200f, 0.0200f, 0.0058f, -0.0031f, 0.0f, 0.0f}},
    {"N(1)", 2, 3, 4, {0.1459f, 0.6459f, 0.1766f}, 0.5f, {0.0232f, 0.0232f, 0.0096f, -0.0125f, -0.0013f, -0.0013f}},
    {"H(1)", 1, 4, 4, {0.2575f, 0.7575f, 0.2827f}, 0.5f, {0.0380f, 0, 0, 0, 0, 0}},
    {"H(2)", 1, 4, 1, {0.1441f, 0.6441f, -0.0380f}, 0.5f, {0.0390f, 0, 0, 0, 0, 0}},
};

// The lines of one atom as XD writes them: the atom record, the
// displacement parameters, the anharmonic lines, Pv and the populations.
std::string atom_lines(const XdAtom& a, int index) {
  std::string s = ff::format("(a8,2i3,3i5,2x,6i5,3f9.5,f8.4)", pad(a.label, 8), 3, 1, index == 1 ? 2 : 1, index,
                             index == 1 ? 3 : 1, a.iu, a.isft, 1, a.level, 1, 0, a.xf, a.occ);
  s += ff::format("(6f10.6)", a.u);
  int anharmonic = a.iu == 3 ? 2 : a.iu == 4 ? 5 : 0;
  for (int k = 0; k < anharmonic; ++k) s += ff::format("(6f10.6)", std::array<float, 6>{});
  std::vector<float> pops(static_cast<std::size_t>((a.level + 1) * (a.level + 1) + 1), 0.01f);
  pops[0] = 4.0f;
  s += ff::format("(10f8.4)", pops);
  return s;
}

const char* const kTrailer =
    "  0.1000E-01 0.2000E-01 0.3000E-01 0.4000E-01 0.5000E-01 0.6000E-01 0.7000E-01\n"
    "  0.8000E-01\n"
    "  0.987654E+00\n";

std::string usage_lines(int nat, int nkappa, int ndummy) {
  std::string s = "LIMITS nat 300 ntx 31 lmx 4 nzz 30 nto 0 nsc 20 ntb 20 nov 2500\n";
  s += ff::format("('USAGE ',j4,' 2 4 ',i4,' 0 1 0 0 ',i4,' 0 0 0 0 ',i4)", nat, nkappa, 4, ndummy);
  s += ff::format("(8f10.6)", std::array<float, 14>{});
  return s;
}

std::string kappa_lines(int n) {
  std::string s;
  for (int k = 1; k <= n; ++k) s += ff::format("(i3,6f10.6)", k, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f);
  return s;
}

std::string atoms_block(int n = 5) {
  std::string s;
  for (int i = 0; i < n; ++i) s += atom_lines(kUrea[i], i + 1);
  return s;
}

std::string urea_inp_v2() {
  return std::string(80, '!') + "\n! urea at 123 K\nXDPARFILE VERSION  2\n  urea   MODEL  4  2  1  0\n" +
         usage_lines(5, 4, 1) + ff::format("(3f13.6)", 0.1f, 0.6f, 0.3f) + atoms_block() + kappa_lines(4) + kTrailer;
}

// A version 1 file: the model line first, then all 22 header integers.
std::string urea_inp_v1() {
  std::string header = "  300 31  4 30  0 20 20 2500    5  2  4  4  0  1  0  0  4  0  0  0  0  0\n";
  return "  UREA   MODEL  4  2  1  0\n" + header + std::string(2, '\n') + atoms_block() + kappa_lines(4) + kTrailer;
}

std::string replace_first(std::string s, const std::string& from, const std::string& to) {
  auto p = s.find(from);
  if (p != std::string::npos) s.replace(p, from.size(), to);
  return s;
}

struct XdFiles {
  explicit XdFiles(const std::string& inp, const std::string& mas = kUreaMas) {
    t.write("xd.mas", mas);
    t.write("xd.inp", inp);
    t.run.ctl.xdold = pad("xd.mas", 60);
  }
  void read() { ReadXD(t.run, "xd.inp"); }
  // The stop of a run that must fail: routine and message of the banner.
  std::string stop() {
    try {
      read();
    } catch (const VornError& e) {
      return e.routine() + ": " + e.message();
    }
    return "no stop";
  }
  TestRun t;
};

// ---------------------------------------------------------------------------

TEST(ReadXD, ReadsUreaAtomsFromVersion2File) {
  XdFiles x(urea_inp_v2());
  x.read();
  const vorn::Run& r = x.t.run;
  ASSERT_EQ(r.atoms.nat, 5);
  for (int i = 1; i <= 5; ++i) {
    const XdAtom& a = kUrea[i - 1];
    EXPECT_EQ(r.atoms.label[i], pad(a.label, 8));
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(r.atoms.xf[i][k], a.xf[k], 1e-5f);
    EXPECT_FLOAT_EQ(r.atoms1.occ[i], a.occ);
    EXPECT_EQ(r.atoms1.iu[i], a.iu);
    EXPECT_EQ(r.atoms1.isft[i], a.isft);
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(r.at_uij[i][k], a.u[k], 1e-6f) << a.label << " U" << k;
  }
  EXPECT_EQ(r.atoms.iz[1], 6);
  EXPECT_EQ(r.atoms.iz[2], 8);
  EXPECT_EQ(r.atoms.iz[3], 7);
  EXPECT_EQ(r.atoms.iz[4], 1);
  // Hydrogen keeps level 2 whether the file gives it 4 (H(1)) or 1 (H(2)).
  EXPECT_EQ(r.atoms1.lmax[1], 4);
  EXPECT_EQ(r.atoms1.lmax[4], 2);
  EXPECT_EQ(r.atoms1.lmax[5], 2);
  EXPECT_EQ(r.amodel, pad("UREA", 20));
  ASSERT_EQ(r.at_types.ntyp, 4);
  EXPECT_EQ(std::vector<int>(r.at_types.iz.begin() + 1, r.at_types.iz.end()), (std::vector<int>{6, 8, 7, 1}));
  // Extinction into free variables 2..8, overall U into 9, scale into 1.
  const auto& fv = r.shelx.fv;
  for (int k = 2; k <= 8; ++k) EXPECT_FLOAT_EQ(fv[k], 0.01f * static_cast<float>(k - 1)) << "fv " << k;
  EXPECT_FLOAT_EQ(fv[9], 0.08f);
  EXPECT_FLOAT_EQ(fv[1], 0.987654f);
}

TEST(ReadXD, CellSymmetryAndCartesianCoordinates) {
  XdFiles x(urea_inp_v2());
  x.read();
  const vorn::Run& r = x.t.run;
  EXPECT_EQ(r.ucell, (std::array<float, 6>{5.565f, 5.565f, 4.684f, 90.0f, 90.0f, 90.0f}));
  // Eight operators of P-421m; acentric and primitive, so nothing is added.
  EXPECT_EQ(r.symm.nsym, 8);
  EXPECT_NEAR(dist(r.atoms.xc[1], r.atoms.xc[2]), 1.2614f, 1e-3f);  // C=O
  EXPECT_NEAR(dist(r.atoms.xc[1], r.atoms.xc[3]), 1.3447f, 1e-3f);  // C-N
  EXPECT_NEAR(dist(r.atoms.xc[3], r.atoms.xc[4]), 1.0092f, 1e-3f);  // N-H
  // Partial occupancies that come from the site symmetry.
  for (int i = 1; i <= 5; ++i) EXPECT_EQ(r.atoms1.flag[i], 1) << r.atoms.label[i];
}

TEST(ReadXD, VersionOneFileHasTheModelLineFirst) {
  XdFiles v1(urea_inp_v1());
  v1.read();
  XdFiles v2(urea_inp_v2());
  v2.read();
  ASSERT_EQ(v1.t.run.atoms.nat, 5);
  for (int i = 1; i <= 5; ++i) {
    EXPECT_EQ(v1.t.run.atoms.label[i], v2.t.run.atoms.label[i]);
    EXPECT_EQ(v1.t.run.atoms.xf[i], v2.t.run.atoms.xf[i]);
    EXPECT_EQ(v1.t.run.at_uij[i], v2.t.run.at_uij[i]);
  }
  EXPECT_EQ(v1.t.run.amodel, pad("UREA", 20));
  EXPECT_NE(v1.t.lst.str().find("\n XD parameter file version =    1\n"), std::string::npos);
  EXPECT_NE(v2.t.lst.str().find("\n XD parameter file version =    2\n"), std::string::npos);
}

TEST(ReadXD, ListingAndStandardOutput) {
  XdFiles x(urea_inp_v2());
  x.read();
  std::string lst = x.t.lst.str();
  std::string out = x.t.out.str();
  for (const char* line : {
           "\n Reading data from XD master file: xd.mas",
           "\n\n Cell parameters:      5.565     5.565     4.684   90.00   90.00   90.00\n",
           "\n\n Lattice type : P\n Lattice is Acentric\n\n Symmetry operations : \n",
           "\n\n Final set of symmetry operations in matrix form:\n",
           "\n\n Reading data from XD parameter file: xd.inp",
           "\n\n Maximum level of multipole expansion =    4\n Model name = UREA                \n",
           " Number of atoms in XD parameter file =    5\n Number kappa sets =    4\n",
           "\n Number of atom types =    4\n",
           " FLAG =  0 : normal atoms (     0 )\n      =  1 : atoms in special positions (     5 ) \n",
       })
    EXPECT_NE(lst.find(line), std::string::npos) << line;
  const char* atoms =
      "\n NO.   ATOM      AT.NO.   ORDER_OF_U     iSFT\n"
      "   1   C(1)        6          2            1\n"
      "   2   O(1)        8          2            2\n"
      "   3   N(1)        7          2            3\n"
      "   4   H(1)        1          1            4\n"
      "   5   H(2)        1          1            4\n";
  EXPECT_NE(lst.find(atoms), std::string::npos);
  // The line of two blanks closes the cell matrices.
  EXPECT_EQ(out, std::string("  \n") + atoms);
}

// ---------------------------------------------------------------------------
// Lattice line of the master file.

struct LatticeCase {
  const char* latt;  // "" for no LATT line
  int nsym;
  const char* letter;
  const char* kind;
};

TEST(ReadXD, LatticeLineSetsCentreAndCentring) {
  // One card (a 2-fold axis): the centre comes before the centring, so an
  // I lattice doubles the four centric operators.
  const LatticeCase cases[] = {
      {"", 4, "P", "CentroSymmetric"},
      {"LATT   A P\n", 2, "P", "Acentric"},
      {"LATT   C I\n", 8, "I", "CentroSymmetric"},
      {"LATT   C c\n", 8, "C", "CentroSymmetric"},
      {"LATT   a P\n", 4, "P", "CentroSymmetric"},  // words compared as they stand
  };
  for (const auto& c : cases) {
    std::string mas = std::string("CELL  7.0 8.0 9.0 90.0 100.0 90.0\n") + c.latt + "SYMM -X, Y, -Z\n";
    XdFiles x(urea_inp_v2(), mas);
    x.read();
    EXPECT_EQ(x.t.run.symm.nsym, c.nsym) << c.latt;
    std::string lst = x.t.lst.str();
    EXPECT_NE(lst.find(std::string(" Lattice type : ") + c.letter + "\n Lattice is " + c.kind + "\n"),
              std::string::npos)
        << c.latt;
  }
}

TEST(ReadXD, CentreIsAppliedBeforeCentring) {
  std::string mas = "CELL  7.0 8.0 9.0 90.0 90.0 90.0\nLATT C I\n";
  XdFiles x(urea_inp_v2(), mas);
  x.read();
  const Symm& s = x.t.run.symm;
  ASSERT_EQ(s.nsym, 4);
  // 1: x,y,z  2: -x,-y,-z  3: x+1/2,y+1/2,z+1/2  4: -x+1/2,-y+1/2,-z+1/2
  EXPECT_FLOAT_EQ(s.op[2].R[0][0], -1.0f);
  EXPECT_FLOAT_EQ(s.op[2].t[0], 0.0f);
  EXPECT_FLOAT_EQ(s.op[3].R[0][0], 1.0f);
  EXPECT_FLOAT_EQ(s.op[3].t[0], 0.5f);
  EXPECT_FLOAT_EQ(s.op[4].R[0][0], -1.0f);
  EXPECT_FLOAT_EQ(s.op[4].t[0], 0.5f);
}

// ---------------------------------------------------------------------------
// Line counting of the parameter file.

TEST(ReadXD, AnharmonicAtomAtLevelFourOccupiesTenLines) {
  XdAtom c4 = kUrea[0];
  c4.iu = 4;
  XdAtom o3 = kUrea[1];
  o3.iu = 3;
  o3.level = 3;
  std::string atoms = atom_lines(c4, 1) + atom_lines(o3, 2);
  for (int i = 3; i <= 5; ++i) atoms += atom_lines(kUrea[i - 1], i);
  EXPECT_EQ(std::count(atoms.begin(), atoms.end(), '\n'), 10 + (1 + 1 + 2 + 2) + (1 + 1 + 3) + (1 + 1 + 3) + (1 + 1 + 1));
  std::string inp = "XDPARFILE VERSION 2\n UREA MODEL 4 2 1 0\n" + usage_lines(5, 4, 0) + atoms + kappa_lines(4) + kTrailer;
  XdFiles x(inp);
  x.read();
  ASSERT_EQ(x.t.run.atoms.nat, 5);
  EXPECT_EQ(x.t.run.atoms1.iu[1], 4);
  EXPECT_EQ(x.t.run.atoms1.iu[2], 3);
  EXPECT_EQ(x.t.run.atoms.label[2], "O(1)    ");
  EXPECT_EQ(x.t.run.atoms.label[5], "H(2)    ");
  EXPECT_FLOAT_EQ(x.t.run.shelx.fv[1], 0.987654f);
}

TEST(ReadXD, CommentAndStrayLinesBetweenAtomsArePassedOver) {
  std::string atoms = atom_lines(kUrea[0], 1) + "! the oxygen\n!\n" + atom_lines(kUrea[1], 2) +
                      "  -- not an atom --\n" + atom_lines(kUrea[2], 3) + atom_lines(kUrea[3], 4) +
                      atom_lines(kUrea[4], 5) + "! kappa sets\n";
  std::string inp = "! made by hand\nXDPARFILE VERSION 2\n!\n UREA MODEL 4 2 1 0\n" + usage_lines(5, 4, 0) + atoms +
                    kappa_lines(4) + kTrailer;
  XdFiles x(inp);
  x.read();
  ASSERT_EQ(x.t.run.atoms.nat, 5);
  EXPECT_EQ(x.t.run.atoms.label[2], "O(1)    ");
  EXPECT_EQ(x.t.run.atoms.label[3], "N(1)    ");
  EXPECT_FLOAT_EQ(x.t.run.at_uij[3][3], -0.0125f);
}

TEST(ReadXD, ModelNameIsTheWholeFirstWord) {
  std::string inp = urea_inp_v2();
  inp.replace(inp.find("  urea   MODEL"), 14, "  urea_123K_exp MODEL");
  XdFiles x(inp);
  x.read();
  EXPECT_EQ(x.t.run.amodel, pad("UREA_123K_EXP", 20));
}

// ---------------------------------------------------------------------------
// Faults.

TEST(ReadXD, LabelLongerThanEightCharactersStops) {
  // Cut to eight characters, C(1)LONG1 and C(1)LONG2 would be one label.
  std::string inp = replace_first(urea_inp_v2(), "C(1)    ", "C(1)LONG1");
  XdFiles x(inp);
  EXPECT_EQ(x.stop(), "ReadXD: Error reading XD parameter file");
  EXPECT_NE(x.t.out.str().find("xd.inp, line 10: atom label C(1)LONG1 is longer than 8 characters"), std::string::npos)
      << x.t.out.str();
}

TEST(ReadXD, TextBeyondColumn255Stops) {
  std::string wide = std::string(kTrailer).substr(0, std::string(kTrailer).find('\n')) + std::string(200, ' ') + "0.5";
  XdFiles x(replace_first(urea_inp_v2(), std::string(kTrailer).substr(0, std::string(kTrailer).find('\n')), wide));
  EXPECT_EQ(x.stop(), "ReadXD: Error reading XD parameter file");
  EXPECT_NE(x.t.out.str().find("line longer than 255 characters"), std::string::npos) << x.t.out.str();
  std::string mas = kUreaMas;
  XdFiles m(urea_inp_v2(), replace_first(mas, "LATT   A P", "LATT   A P" + std::string(250, ' ') + "X"));
  EXPECT_EQ(m.stop(), "ReadXD: Error reading XD master file");
  EXPECT_NE(m.t.out.str().find("xd.mas, line 6: line longer than 255 characters"), std::string::npos) << m.t.out.str();
}

TEST(ReadXD, FilesThatCannotBeOpened) {
  {
    XdFiles x(urea_inp_v2());
    x.t.run.ctl.xdold = pad("nowhere.mas", 60);
    EXPECT_EQ(x.stop(), "ReadXD: Error opening XD master file nowhere.mas (No such file or directory)");
  }
  {
    XdFiles x(urea_inp_v2());
    try {
      ReadXD(x.t.run, "nowhere.inp");
      FAIL();
    } catch (const VornError& e) {
      EXPECT_EQ(e.message(), "Error opening XD parameter file nowhere.inp (No such file or directory)");
    }
  }
}

TEST(ReadXD, BadMasterFileStops) {
  const char* const cases[] = {
      "CELL  7.0 8.0 x 90 90 90\nLATT C P\n",  // unreadable cell
      "CELL  7.0 8.0 9.0 90 90\nLATT C P\n",   // five numbers
      "LATT C P\nSYMM -X,Y,-Z\n",              // no cell at all
      "CELL  7.0 8.0 9.0 90 90 90\nLATT C\n",  // no lattice letter
  };
  for (const char* mas : cases) {
    XdFiles x(urea_inp_v2(), mas);
    EXPECT_EQ(x.stop(), "ReadXD: Error reading XD master file") << mas;
    EXPECT_NE(x.t.out.str().find("xd.mas"), std::string::npos) << mas;
  }
}

TEST(ReadXD, ParameterFileDeclaringMoreAtomsThanItHoldsStops) {
  std::string inp = "XDPARFILE VERSION 2\n UREA MODEL 4 2 1 0\n" + usage_lines(6, 4, 0) + atoms_block() +
                    kappa_lines(4) + kTrailer;
  XdFiles x(inp);
  EXPECT_EQ(x.stop(), "ReadXD: Error reading XD parameter file");
  EXPECT_NE(x.t.out.str().find("xd.inp: ends after line"), std::string::npos);
  EXPECT_NE(x.t.out.str().find("(atom 6)"), std::string::npos);
}

TEST(ReadXD, EveryEndOfFileAndUnreadableLineStops) {
  std::string full = urea_inp_v2();
  // Cut the file after every line: each shorter file must stop, never hang
  // or leave a half-read table behind as if it were whole.
  std::size_t pos = 0;
  int cuts = 0;
  while ((pos = full.find('\n', pos)) != std::string::npos && pos + 1 < full.size()) {
    ++pos;
    XdFiles x(full.substr(0, pos));
    EXPECT_EQ(x.stop(), "ReadXD: Error reading XD parameter file") << "cut after " << pos;
    ++cuts;
  }
  EXPECT_GT(cuts, 30);

  auto replaced = [&](const std::string& from, const std::string& to) {
    std::string s = full;
    s.replace(s.find(from), from.size(), to);
    return s;
  };
  const std::pair<std::string, std::string> edits[] = {
      {"XDPARFILE VERSION  2", "XDPARFILE VERSION  two"},
      {"XDPARFILE VERSION  2", "XDPARFILE VERSION  3"},
      {"MODEL  4  2  1  0", "MODEL  4  2"},
      {"nov 2500", "nov"},
      {"USAGE    5 2 4 ", "USAGE    5 2 x "},
      {"  0.014300  0.014300", "! comment  0.014300"},  // no comment before the U line
      {"  0.038000  0.000000", "  x.038000  0.000000"},
      {"  0.020000  0.020000  0.005800 -0.003100", "  0.020000  0.020000  0.005800"},
      {"  0.8000E-01\n", "\n"},
      {"0.6000E-01 0.7000E-01\n", "0.6000E-01\n"},
      {"0.987654E+00", "scale"},
  };
  for (const auto& [from, to] : edits) {
    XdFiles x(replaced(from, to));
    EXPECT_EQ(x.stop(), "ReadXD: Error reading XD parameter file") << to;
    EXPECT_NE(x.t.out.str().find(" xd.inp"), std::string::npos) << to;
  }
}

TEST(ReadXD, OrderOfUAndLevelOutsideWhatXdWritesStop) {
  XdAtom a = kUrea[0];
  a.iu = 5;
  XdFiles x("XDPARFILE VERSION 2\n UREA MODEL 4 2 1 0\n" + usage_lines(1, 1, 0) + atom_lines(a, 1) + kappa_lines(1) +
            kTrailer);
  EXPECT_EQ(x.stop(), "ReadXD: Error reading XD parameter file");
  EXPECT_NE(x.t.out.str().find("order of U 5"), std::string::npos);

  a.iu = 2;
  a.level = 7;
  XdFiles y("XDPARFILE VERSION 2\n UREA MODEL 4 2 1 0\n" + usage_lines(1, 1, 0) + atom_lines(a, 1) + kappa_lines(1) +
            kTrailer);
  EXPECT_EQ(y.stop(), "ReadXD: Error reading XD parameter file");
  EXPECT_NE(y.t.out.str().find("multipole level 7"), std::string::npos);
}

TEST(ReadXD, HeaderCounts) {
  {
    XdFiles x("XDPARFILE VERSION 2\n UREA MODEL 4 2 1 0\n" + usage_lines(MAXAT + 1, 1, 0));
    EXPECT_EQ(x.stop(), "ReadXD: Too many atoms");
  }
  {
    XdFiles x("XDPARFILE VERSION 2\n UREA MODEL 4 2 1 0\n" + usage_lines(-1, 1, 0));
    EXPECT_EQ(x.stop(), "ReadXD: Error reading XD parameter file");
  }
  {
    // No atoms: no atom types either, and nothing to set up.
    XdFiles x("XDPARFILE VERSION 2\n UREA MODEL 4 2 1 0\n" + usage_lines(0, 0, 0) + kTrailer);
    EXPECT_EQ(x.stop(), "ReadXD: No atom in XD parameter file xd.inp");
    EXPECT_EQ(x.t.run.atoms.nat, 0);
    EXPECT_EQ(x.t.run.at_types.ntyp, 0);
  }
}

}  // namespace
}  // namespace vorn
