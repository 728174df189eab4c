#include "structure/shelx_reader.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <random>
#include <set>
#include <sstream>

#include <gemmi/symmetry.hpp>
#include <tuple>

#include "base/error.hpp"
#include "format/fortran_io.hpp"
#include "support/builders.hpp"

namespace vorn {
namespace {

using test::TestRun;

// A run with the XD master and MoPro files caught in strings.
struct ShelxRun {
  ShelxRun() {
    t.run.mas.attach(mas);
    t.run.par.attach(par);
  }
  void read(const std::string& text) {
    t.write("s.res", text);
    ReadShelx(t.run, "s.res");
  }
  // Reads and returns the error the run stopped with.
  VornError fails(const std::string& text) {
    try {
      read(text);
    } catch (const VornError& e) {
      return e;
    }
    ADD_FAILURE() << "the file was read";
    return VornError("", "", false);
  }
  const SymOp& op(int n) const { return t.run.symm.op[static_cast<std::size_t>(n)]; }
  TestRun t;
  std::ostringstream mas, par;
};

// Methanol in P2(1)2(1)2(1): C-O 1.43 A, O-H 0.96 A, C-H 1.09 A, written as
// current SHELXL writes a result file.
const std::string kMethanol =
    "TITL methanol in P2(1)2(1)2(1)\n"
    "    methanol.res\n"
    "    created by SHELXL-2018/3 at 12:00:00 on 01-Jan-2024\n"
    "CELL  0.71073   7.0000   8.0000   9.0000  90.000  90.000  90.000\n"
    "ZERR    4   0.001  0.001  0.001  0  0  0\n"
    "LATT -1\n"
    "SYMM 0.5-X, -Y, 0.5+Z\n"
    "SYMM -X, 0.5+Y, 0.5-Z\n"
    "SYMM 0.5+X, 0.5-Y, -Z\n"
    "SFAC C H O\n"
    "UNIT 4 16 4\n"
    "L.S. 10\n"
    "RIGU C1 O1\n"
    "SADI 0.02 C1 H1A C1 H1B =\n"
    "   C1 H1C O1 H1 =\n"
    "   O1 H1\n"
    "+methanol.dfx\n"
    "WGHT    0.0400    0.1200\n"
    "FVAR  1.23456  0.60000\n"
    "C1    1    0.285714    0.250000    0.222222    11.00000    0.02000    0.02000 =\n"
    "         0.02000    0.00000    0.00000    0.00000\n"
    "AFIX 137\n"
    "H1A   2    0.233714    0.378500    0.222222    11.00000   -1.50000\n"
    "H1B   2    0.233714    0.185750    0.321111    11.00000   -1.50000\n"
    "H1C   2    0.233714    0.185750    0.123333    11.00000   -1.50000\n"
    "AFIX 0\n"
    "O1    3    0.490000    0.250000    0.222222    21.00000    0.03000    0.02500 =  ! on free variable 2\n"
    "         0.02800   -0.00100    0.00200    0.00300\n"
    "H1    2    0.533571    0.363750    0.222222   -21.00000    0.04000\n"
    "HKLF 4\n"
    "L1    4    0.1  0.2  0.3  11.0  0.05  0.0   ! lone pair, display only\n"
    "REM  methanol\n"
    "END\n"
    "Q1   1   0.5 0.5 0.5 11.0 0.05 1.23\n";

std::string replace(std::string s, const std::string& from, const std::string& to) {
  std::size_t p = s.find(from);
  EXPECT_NE(p, std::string::npos) << from;
  if (p != std::string::npos) s.replace(p, from.size(), to);
  return s;
}

TEST(ReadShelx, ReadsAtomsWithFreeVariablesRidingUAndContinuations) {
  ShelxRun r;
  r.read(kMethanol);
  const vorn::Run& run = r.t.run;
  ASSERT_EQ(run.atoms.nat, 6);
  const char* labels[] = {"", "C(1)    ", "H(1A)   ", "H(1B)   ", "H(1C)   ", "O(1)    ", "H(1)    "};
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(run.atoms.label[i], labels[i]);
  EXPECT_EQ(run.atoms.iz[5], 8);
  EXPECT_EQ(run.atoms1.isft[5], 3);
  EXPECT_EQ(run.atoms1.lmax[1], 4);
  EXPECT_EQ(run.atoms1.lmax[2], 2);
  EXPECT_EQ(run.atoms1.iu[1], 2);
  EXPECT_EQ(run.atoms1.iu[2], 1);
  // riding: 1.5 x Ueq of C1, all three from the same parent
  for (int h = 2; h <= 4; ++h) {
    EXPECT_NEAR(run.at_uij[h][0], 0.03f, 1e-6f);
    EXPECT_EQ(run.shelx.riding[h], 1);
  }
  EXPECT_EQ(run.shelx.riding[6], 0);
  // occupancies from free variable 2, anisotropic U in table order
  EXPECT_NEAR(run.atoms1.occ[5], 0.6f, 1e-6f);
  EXPECT_NEAR(run.atoms1.occ[6], 0.4f, 1e-6f);
  EXPECT_EQ(run.at_uij[5], (Uij{0.03f, 0.025f, 0.028f, 0.003f, 0.002f, -0.001f}));
  EXPECT_FLOAT_EQ(run.at_uij[6][0], 0.04f);
  // what later writers need
  EXPECT_EQ(run.shelx.nfv, 2);
  EXPECT_FLOAT_EQ(run.shelx.fv[1], 1.23456f);
  EXPECT_FLOAT_EQ(run.shelx.fv[2], 0.6f);
  EXPECT_EQ(run.shelx.wght, (std::array<float, 7>{0.0f, 0.04f, 0.12f, 0.0f, 0.0f, 0.0f, 0.33333334f}));
  EXPECT_FALSE(run.shelx.resi);
  EXPECT_EQ(run.shelx.latt, -1);
  // geometry survives the reading
  EXPECT_NEAR(run.atoms.xc[1][0], 2.0f, 1e-4f);
  EXPECT_NEAR(dist(run.atoms.xc[1], run.atoms.xc[5]), 1.43f, 1e-3f);
  EXPECT_NEAR(dist(run.atoms.xc[5], run.atoms.xc[6]), 0.96f, 1e-3f);
  for (int h = 2; h <= 4; ++h) EXPECT_NEAR(dist(run.atoms.xc[1], run.atoms.xc[h]), 1.09f, 2e-3f);
  // partial occupancy in a general position: disordered
  EXPECT_EQ(run.atoms1.flag[5], -1);
  EXPECT_EQ(run.atoms1.flag[1], 0);
}

TEST(ReadShelx, PrintsTheAtomsToStandardOutputAndTheListing) {
  ShelxRun r;
  r.read(kMethanol);
  const std::string out = r.t.out.str();
  const std::string head = "\n    NO.  ATOM     IZ IU SF    XF       YF       ZF    OCCUP  U's -->\n";
  const std::string c1 = "     1   C(1)      6  2  1  0.28571  0.25000  0.22222 1.000  0.020  0.020  0.020  0.000  0.000  0.000\n";
  const std::string h1a = "     2   H(1A)     1  1  2  0.23371  0.37850  0.22222 1.000  0.030\n";
  EXPECT_NE(out.find(head + c1 + h1a), std::string::npos) << out;
  EXPECT_NE(out.find("\n Total atoms read from SHELX file =     6\n"), std::string::npos);
  const std::string lst = r.t.lst.str();
  EXPECT_EQ(lst.rfind("\n Reading SHELX file : s.res\n", 0), 0u);
  EXPECT_NE(lst.find("\n Cell parameters:      7.000     8.000     9.000    90.000    90.000    90.000\n"
                     "\n Lattice type : P\n Lattice is Acentric\n\n Symmetry operations : \n"
                     "   SYMM  1      + X, + Y, + Z\n"),
            std::string::npos);
  EXPECT_NE(lst.find(head + c1 + h1a), std::string::npos);
  EXPECT_NE(lst.find("      5  O(1)       0.49000  0.25000  0.22222     3.4300   2.0000   2.0000    -1\n"), std::string::npos);
  EXPECT_NE(lst.find(" FLAG =  0 : normal atoms (     4 )\n"), std::string::npos);
}

TEST(ReadShelx, WritesTheHeadOfTheXdMasterFile) {
  ShelxRun r;
  r.read(kMethanol);
  const std::string bang(79, '!'), rule = "!" + std::string(78, '-');
  const std::string zeros = "   0   0   0   0   0   0   0   0   0   0   0   0   0  0.0000  0.0000  0.000\n";
  EXPECT_EQ(r.mas.str(),
            bang + "\n!                   CREATED BY PROGRAM << VORN >>\n" + bang + "\nTITLE TEST\n" +
                "CELL       7.0000      8.0000      9.0000     90.0000     90.0000     90.0000\n"
                "WAVE     0.710730\n"
                "LATT A P\n"
                "SYMM 0.5-X, -Y, 0.5+Z\n"
                "SYMM -X, 0.5+Y, 0.5-Z\n"
                "SYMM 0.5+X, 0.5-Y, -Z\n" +
                bang + "\n!\n    MODULE *XDLSM\n!\n" +
                "SELECT  *model 4 0 0 0 based_on F test verbose 3\n"
                "SELECT  cycle 15 dampk 0.6 cmin 0.6 cmax 1. eigcut 1.d-09\n"
                "SAVE  deriv lsqmat cormat\n"
                "SOLVE  *inv diag *cond\n" +
                rule + "\n" +
                "SCAT CORE SPHV DEFV   1S  2S  3S  4S  2P  3P  4P  3D  4D  4F  5S  5P  6S  6P  5D  7S  6D  5F  "
                "DELF'   DELF''  NSCTL\n"
                "C    CHFW CHFW CSZD    2  -2   0   0  -2" + zeros +
                "H    CHFW CHFW CSZD   -1   0   0   0   0" + zeros +
                "O    CHFW CHFW CSZD    2  -2   0   0  -4" + zeros + "END SCAT\n" + rule + "\n");
}

TEST(ReadShelx, WritesTheHeadOfTheMoproFile) {
  ShelxRun r;
  r.read(kMethanol);
  EXPECT_EQ(r.par.str(),
            "CELL    7.0000    8.0000    9.0000  90.0000  90.0000  90.0000  0.71073\n"
            "\n"
            "SYMM   4 P\n"
            "  X, Y, Z\n"
            " 0.5-X, -Y, 0.5+Z             \n"
            " -X, 0.5+Y, 0.5-Z             \n"
            " 0.5+X, 0.5-Y, -Z             \n"
            "\nSCALE  1  1.0\n\nFMULT  1.0\n\nUOVER  0.0\n\nSOLVT  0.0  50.0\n\nEXTIN  0.0  GAUSSIAN  ISOT  TYP1\n\n");
  // a centrosymmetric lattice is marked, and a long card is kept whole
  ShelxRun c;
  c.read(replace(replace(kMethanol, "LATT -1", "LATT 1"), "SYMM 0.5-X, -Y, 0.5+Z",
                 "SYMM     0.50000 - X ,            - Y ,    0.50000 + Z"));
  EXPECT_NE(c.par.str().find("SYMM   4 P CENTRO\n  X, Y, Z\n     0.50000 - X ,            - Y ,    0.50000 + Z\n"),
            std::string::npos);
}

// A file with the given lattice and cards and one carbon atom.
std::string lattice_file(const std::string& latt, const std::string& cards) {
  return "TITL x\nCELL 0.71073 10 11 12 90 95 90\n" + latt + cards +
         "SFAC C\nC1 1 0.1 0.2 0.3 11.0 0.02\nEND\n";
}

TEST(ReadShelx, LatticeNumberDecidesCentringAndCentre) {
  struct Case {
    const char* latt;
    const char* cards;
    int nsym;
  } cases[] = {{"LATT -1\n", "SYMM -X, 1/2+Y, -Z\n", 2},
               {"LATT 1\n", "SYMM -X, 1/2+Y, -Z\n", 4},
               {"LATT 7\n", "SYMM -X, Y, 1/2-Z\n", 8},
               {"LATT -2\n", "SYMM -X, -Y, Z\n", 4},
               {"LATT 5\n", "", 4},
               {"LATT -6\n", "", 2},
               {"LATT -4\n", "SYMM -x,-y,z\nSYMM 1/4+x,1/4-y,1/4+z\nSYMM 1/4-x,1/4+y,1/4+z\n", 16}};
  for (const Case& c : cases) {
    ShelxRun r;
    r.read(lattice_file(c.latt, c.cards));
    EXPECT_EQ(r.t.run.symm.nsym, c.nsym) << c.latt;
  }
}

// The operators of a run, and of a list of card texts, as exact operators
// taken modulo lattice translations.
std::set<gemmi::Op> exact_ops(const Symm& s) {
  std::set<gemmi::Op> ops;
  for (int n = 1; n <= s.nsym; ++n) {
    gemmi::Op op;
    for (int i = 0; i < 3; ++i) {
      for (int j = 0; j < 3; ++j) op.rot[i][j] = static_cast<int>(std::lround(s.op[n].R[i][j])) * gemmi::Op::DEN;
      op.tran[i] = static_cast<int>(std::lround(s.op[n].t[i] * gemmi::Op::DEN));
    }
    ops.insert(op.wrap());
  }
  return ops;
}

TEST(ReadShelx, RhombohedralLatticeGivesTheWholeGroupAsCards) {
  // R-3 on hexagonal axes, centrosymmetric (LATT 3) and without the centre
  // (LATT -3, R3), against the groups of gemmi's tables.
  for (auto [latt, name, order] : {std::tuple{"LATT 3\n", "R -3:H", 18}, std::tuple{"LATT -3\n", "R 3:H", 9}}) {
    SCOPED_TRACE(latt);
    ShelxRun r;
    r.read("TITL r\nCELL 0.71073 12 12 8 90 90 120\n" + std::string(latt) +
           "SYMM -Y, X-Y, Z\nSYMM -X+Y, -X, Z\nSFAC C\nC1 1 0.1 0.2 0.3 11.0 0.02\nEND\n");
    const gemmi::SpaceGroup* sg = gemmi::find_spacegroup_by_name(name);
    ASSERT_NE(sg, nullptr);
    std::set<gemmi::Op> want;
    for (gemmi::Op op : sg->operations()) want.insert(op.wrap());
    ASSERT_EQ(static_cast<int>(want.size()), order);
    EXPECT_EQ(r.t.run.symm.nsym, order);
    EXPECT_EQ(exact_ops(r.t.run.symm), want);
    EXPECT_NE(r.t.lst.str().find(" Lattice type : R\n"), std::string::npos);

    // Both heads carry every operator as a card, so that their readers need
    // not know the centring: the identity and the cards give the group back.
    auto cards_after = [](const std::string& text, const std::string& lead) {
      std::set<gemmi::Op> ops{gemmi::Op::identity()};
      std::istringstream in(text);
      std::string line;
      while (std::getline(in, line)) {
        if (line.rfind(lead, 0) != 0) continue;
        gemmi::Op op = gemmi::parse_triplet(line.substr(lead.size()));
        EXPECT_TRUE(ops.insert(op.wrap()).second) << line;
      }
      return ops;
    };
    EXPECT_NE(r.mas.str().find("LATT A P\n"), std::string::npos);
    EXPECT_EQ(cards_after(r.mas.str(), "SYMM "), want);
    EXPECT_NE(r.par.str().find(ff::format("('SYMM ',i3,' P')", order)), std::string::npos);
    // MoPro: the cards follow the identity line up to the first blank line.
    const std::string par = r.par.str();
    const std::size_t from = par.find("  X, Y, Z\n") + 10;
    std::string cards = par.substr(from, par.find("\n\n", from) - from + 1);
    std::string prefixed;
    std::istringstream in(cards);
    for (std::string line; std::getline(in, line);) prefixed += "@" + line + "\n";
    EXPECT_EQ(cards_after(prefixed, "@"), want);
  }
}

TEST(ReadShelx, WithoutLattTheShelxDefaultIsCentrosymmetricPrimitive) {
  ShelxRun r;
  r.read(lattice_file("", "SYMM -X, 1/2+Y, 1/2-Z\n"));
  EXPECT_EQ(r.t.run.symm.nsym, 4);
  EXPECT_EQ(r.t.run.shelx.latt, 1);
  const std::string lst = r.t.lst.str();
  EXPECT_NE(lst.find("No LATT instruction"), std::string::npos);
  EXPECT_NE(lst.find(" Lattice type : P\n Lattice is CentroSymmetric\n"), std::string::npos);
  EXPECT_NE(r.par.str().find("SYMM   2 P CENTRO\n"), std::string::npos);
}

TEST(ReadShelx, RenamingInBothModes) {
  const char* straight[] = {"C(1)    ", "H(2)    ", "H(3)    ", "H(4)    ", "O(5)    ", "H(6)    "};
  const char* by_type[] = {"C(1)    ", "H(1)    ", "H(2)    ", "H(3)    ", "O(1)    ", "H(4)    "};
  for (int mode = 0; mode <= 1; ++mode) {
    ShelxRun r;
    r.t.run.ctl.irename = 1;
    r.t.run.ctl.irs = mode;
    r.read(kMethanol);
    for (int i = 1; i <= 6; ++i) EXPECT_EQ(r.t.run.atoms.label[i], (mode == 0 ? straight : by_type)[i - 1]) << i;
  }
}

TEST(ReadShelx, ResidueLabelsFollowTheAtomsTheyBelongTo) {
  ShelxRun r;
  r.read("TITL x\nCELL 0.71073 7 8 9 90 90 90\nLATT -1\nSFAC C H O\n"
         "C0    1    0.100000    0.100000    0.100000    11.00000    0.02000\n"
         "RESI 1 MEOH\n"
         "PART 1 21\n"
         "C1    1    0.285714    0.250000    0.222222    21.00000    0.02000\n"
         "AFIX 137\n"
         "H1A   2    0.233714    0.378500    0.222222    21.00000   -1.50000\n"
         "AFIX 0\n"
         "PART 0\n"
         "RESI SOLVENT 22\n"
         "O1    3    0.490000    0.250000    0.222222    11.00000    0.03000\n"
         "RESI 0\n"
         "O2    3    0.590000    0.250000    0.222222    11.00000    0.03000\n"
         "FVAR 1.0 0.5\n"
         "END\n");
  const ShelxData& s = r.t.run.shelx;
  ASSERT_TRUE(s.resi);
  ASSERT_EQ(s.reslab.size(), 6u);
  EXPECT_EQ(s.reslab[1], "C0       0       ");
  EXPECT_EQ(s.reslab[2], "C1       1  MEOH ");
  EXPECT_EQ(s.reslab[3], "H1A      1  MEOH ");
  EXPECT_EQ(s.reslab[4], "O1      22  SOLVE");
  EXPECT_EQ(s.reslab[5], "O2       0       ");
  EXPECT_EQ(s.resshort[3], "H1A      1");
  EXPECT_FLOAT_EQ(r.t.run.atoms1.occ[3], 0.5f);
}

// The hydroxyl oxygen sits on free variable 2 (21.0); with only the scale
// factor on FVAR there is no value for it.
TEST(ReadShelx, FreeVariableThatFvarDoesNotGiveStops) {
  ShelxRun r;
  VornError e = r.fails(replace(kMethanol, "FVAR  1.23456  0.60000", "FVAR  1.23456"));
  EXPECT_EQ(e.routine(), "ReadShelx");
  EXPECT_EQ(e.message(),
            "Atom O1 refers to free variable 2 (coded 21.00000), but FVAR gives only 1, file s.res, line 27");
}

TEST(ReadShelx, HeavyElementsUpToLawrenciumAndNoFurther) {
  // The methanol oxygen made a tin atom: read, with the tin line of the SCAT
  // table (4d core, 5s2 5p2 valence).
  {
    ShelxRun r;
    r.read(replace(replace(kMethanol, "SFAC C H O", "SFAC C H SN"), "O1    3", "SN1   3"));
    EXPECT_EQ(r.t.run.atoms.iz[5], 50);
    EXPECT_EQ(r.t.run.atoms.label[5], "SN(1)   ");
    EXPECT_NE(r.mas.str().find("Sn   CHFW CHFW CSZD    2   2   2   2   6   6   6  10  10   0  -2  -2   0"),
              std::string::npos)
        << r.mas.str();
  }
  // ... and a gold atom, with the line of its ground state: [Xe] 4f14 core,
  // 5d10 6s1 valence.
  {
    ShelxRun r;
    r.read(replace(replace(kMethanol, "SFAC C H O", "SFAC C H AU"), "O1    3", "AU1   3"));
    EXPECT_EQ(r.t.run.atoms.iz[5], 79);
    EXPECT_NE(
        r.mas.str().find("Au   CHFW CHFW CSZD    2   2   2   2   6   6   6  10  10  14   2   6  -1   0 -10   0   0   0"),
        std::string::npos)
        << r.mas.str();
  }
  // Rutherfordium listed but used by no atom: the run goes on, and the table
  // keeps a row for it, so that the types after it keep their numbers.
  {
    ShelxRun r;
    r.read(replace(replace(kMethanol, "SFAC C H O", "SFAC C H RF O"), "O1    3", "O1    4"));
    EXPECT_EQ(r.t.run.atoms.iz[5], 8);
    EXPECT_EQ(r.t.run.atoms1.isft[5], 4);
    EXPECT_NE(r.mas.str().find("Rf   CHFW CHFW CSZD    0   0"), std::string::npos);
    EXPECT_NE(r.t.lst.str().find("Atom type   3 (Rf) : no wavefunction table covers it"), std::string::npos);
  }
  // A rutherfordium atom stops the run, naming the element, the atom, the
  // file and the line.
  {
    ShelxRun r;
    VornError e = r.fails(replace(replace(kMethanol, "SFAC C H O", "SFAC C H RF"), "O1    3", "RF1   3"));
    EXPECT_EQ(e.routine(), "ReadShelx");
    EXPECT_EQ(e.message(),
              "Element Rf (Z = 104) of atom RF1, file s.res, line 27: no wavefunction table covers it "
              "(SCAT tables reach Lr, Z = 103)");
  }
}

TEST(ReadShelx, BadInputStopsNamingFileAndLine) {
  auto check = [](const std::string& text, const std::string& routine, const std::string& part,
                  const std::string& line) {
    ShelxRun r;
    VornError e = r.fails(text);
    EXPECT_EQ(e.routine(), routine) << text;
    EXPECT_NE(e.message().find(part), std::string::npos) << e.message();
    if (!line.empty()) {
      EXPECT_NE(e.message().find("file s.res, " + line), std::string::npos) << e.message();
    }
  };
  check(replace(kMethanol, "90.000  90.000  90.000", "30.000  30.000 120.000"), "ReadShelx", "Impossible cell", "line 4");
  check(replace(kMethanol, "CELL  0.71073   7.0000   8.0000   9.0000  90.000  90.000  90.000", "CELL"), "ReadShelx",
        "CELL needs", "line 4");
  check(replace(kMethanol, "CELL  0.71073", "REM "), "ReadShelx", "No CELL instruction", "");
  check(replace(kMethanol, "LATT -1", "LATT 9"), "ReadShelx", "LATT needs", "line 6");
  check(replace(kMethanol, "SFAC C H O", "SFAC C D O"), "ReadShelx", "SFAC names no known element: 'D'", "line 10");
  check(replace(kMethanol, "FVAR  1.23456  0.60000", "FVAR  1.23456  O.6"), "ReadShelx", "FVAR", "line 19");
  check(replace(kMethanol, "H1B   2", "H1B   4"), "ReadShelx", "SFAC number 4 points at no SFAC entry", "line 24");
  check(replace(kMethanol, "H1B   2", "H1B   X"), "ReadShelx", "SFAC number expected", "line 24");
  check(replace(kMethanol, "-21.00000", "-2011.00000"), "ReadShelx", "Free variable 201", "line 29");
  // Far beyond every free variable, and too big to round to a whole number.
  check(replace(kMethanol, "0.185750    0.123333", "0.185750    1e30"), "ReadShelx",
        "Number 0.10000E+31 is no free-variable code (free variables 1 to 200)", "line 25");
  check(replace(kMethanol, "0.185750    0.123333", "0.185750    -3e38"), "ReadShelx", "no free-variable code", "line 25");
  check(replace(kMethanol, "0.185750    0.123333", "0.18575O    0.123333"), "ReadShelx", "found '0.18575O'", "line 25");
  check(kMethanol.substr(0, kMethanol.find("         0.02000    0.00000")), "ReadShelx", "ends inside an atom",
        "line 20");
}

TEST(ReadShelx, AtomLineWithMissingNumbersStops) {
  ShelxRun r;
  VornError e = r.fails(replace(kMethanol, "H1C   2    0.233714    0.185750    0.123333    11.00000   -1.50000",
                                "H1C   2    0.233714    0.185750    0.123333"));
  EXPECT_TRUE(e.reported());
  EXPECT_NE(r.t.out.str().find("\n Error reading atom: H(1C Line <<      2    0.233714    0.185750    0.123333>>\n"
                               " (file s.res, line 25)\n"),
            std::string::npos)
      << r.t.out.str();
}

TEST(ReadShelx, MissingFileStops) {
  ShelxRun r;
  try {
    ReadShelx(r.t.run, "nothing.res");
    FAIL() << "no stop";
  } catch (const VornError& e) {
    EXPECT_EQ(e.routine(), "ReadShelx");
    EXPECT_EQ(e.message(), "Error opening SHELX file...");
  }
}

TEST(ReadShelx, MoreAtomsThanTheTableHoldsStops) {
  std::string text = "TITL x\nCELL 0.71073 100 100 100 90 90 90\nSFAC C\n";
  text.reserve(text.size() + 20001 * 48);
  for (int i = 1; i <= MAXAT + 1; ++i) {
    text += 'C';
    text += std::to_string(i);
    text += " 1 0.1 0.2 0.3 11.0 0.02\n";
  }
  ShelxRun r;
  VornError e = r.fails(text);
  EXPECT_EQ(e.message(), "Too many atoms");
  EXPECT_EQ(r.t.run.atoms.nat, MAXAT);
}

// ---------------------------------------------------------------------------
// Hand-edited files: tabs, long lines, long names.

TEST(ReadShelxText, TabsSeparateWordsAsBlanksDo) {
  ShelxRun plain, tabbed;
  plain.read(kMethanol);
  std::string t = kMethanol;
  for (const char* from : {"CELL  ", "SFAC C", "C1    1    ", "    0.250000", "    0.222222    11"}) {
    std::string to = from;
    for (char& c : to)
      if (c == ' ') c = '\t';
    t = replace(t, from, to);
  }
  tabbed.read(t);
  ASSERT_EQ(tabbed.t.run.atoms.nat, plain.t.run.atoms.nat);
  for (int i = 1; i <= plain.t.run.atoms.nat; ++i) {
    EXPECT_EQ(tabbed.t.run.atoms.label[i], plain.t.run.atoms.label[i]);
    EXPECT_EQ(tabbed.t.run.atoms.xf[i], plain.t.run.atoms.xf[i]);
    EXPECT_EQ(tabbed.t.run.at_uij[i], plain.t.run.at_uij[i]);
  }
}

TEST(ReadShelxText, AnAtomLineOfMoreThan100ColumnsIsReadWhole) {
  // Eleven numbers spread over 130 columns: cut at 100 the line would lose
  // its last Uij and read as another atom.
  ShelxRun r;
  r.read("CELL 0.71073 7 8 9 90 90 90\nSFAC C\nC1       1       0.1       0.2       0.3      11.0      0.021"
         "      0.022      0.023      0.004      0.005      0.006\nEND\n");
  ASSERT_EQ(r.t.run.atoms.nat, 1);
  EXPECT_EQ(r.t.run.atoms1.iu[1], 2);
  EXPECT_EQ(r.t.run.at_uij[1], (Uij{0.021f, 0.022f, 0.023f, 0.006f, 0.005f, 0.004f}));
}

TEST(ReadShelxText, TextBeyondColumn255StopsUnlessItIsAComment) {
  const std::string head = "CELL 0.71073 7 8 9 90 90 90\nSFAC C\n";
  ShelxRun r;
  VornError e = r.fails(head + "C1 1 0.1 0.2 0.3 11.0" + std::string(240, ' ') + "0.02\nEND\n");
  EXPECT_EQ(e.routine(), "ReadShelx");
  EXPECT_EQ(e.message(), "Line longer than 255 characters, file s.res, line 3");
  ShelxRun c;
  EXPECT_EQ(c.fails(replace(kMethanol, "LATT -1", "LATT -1" + std::string(250, ' ') + "3")).message(),
            "Line longer than 255 characters, file s.res, line 6");
  ShelxRun ok;  // a long comment, and a long line of an instruction that is not read
  ok.read(head + "REM " + std::string(300, 'x') + "\nC1 1 0.1 0.2 0.3 11.0 0.02 ! " + std::string(300, 'y') +
          "\nEND\n");
  EXPECT_EQ(ok.t.run.atoms.nat, 1);
}

TEST(ReadShelxText, AtomNameWhoseLabelWouldNotFitStops) {
  const std::string head = "CELL 0.71073 7 8 9 90 90 90\nSFAC C\n";
  ShelxRun fits;
  fits.read(head + "C12345 1 0.1 0.2 0.3 11.0 0.02\nEND\n");
  EXPECT_EQ(fits.t.run.atoms.label[1], "C(12345)");
  ShelxRun r;
  VornError e = r.fails(head + "C123456 1 0.1 0.2 0.3 11.0 0.02\nEND\n");
  EXPECT_EQ(e.message(), "Atom name C123456 is longer than 6 characters (its label C(...) must fit 8), file s.res, line 3");
}

TEST(ReadShelxText, AFileWithoutAtomsStops) {
  ShelxRun r;
  EXPECT_EQ(r.fails("TITL empty\nCELL 0.71073 7 8 9 90 90 90\nSFAC C\nEND\n").message(), "No atom in SHELX file s.res");
}

TEST(ReadShelxText, RidingAtomWithoutParentNamesItsLine) {
  ShelxRun r;
  VornError e = r.fails("CELL 0.71073 7 8 9 90 90 90\nSFAC C H\nH1 2 0.1 0.2 0.3 11.0 -1.2\nEND\n");
  EXPECT_EQ(e.routine(), "ProcessU");
  EXPECT_TRUE(e.reported());
  EXPECT_NE(r.t.out.str().find(" ProcessU :: Could not find parent atom \n (file s.res, line 3)\n"), std::string::npos)
      << r.t.out.str();
}


// ---------------------------------------------------------------------------
// The real structures.

struct RealFile {
  const char* name;
  int atoms;
  int ops;
  char letter;
  bool centro;
};

const RealFile kReal[] = {
    {"l-alanine_iam.res", 13, 4, 'P', false},    {"qqqbtp02.res", 27, 4, 'P', true},
    {"sucrose.res", 45, 2, 'P', false},          {"sucrose_p1.res", 90, 1, 'P', false},
    {"03srv209.res", 12, 8, 'P', true},          {"thpp.res", 18, 4, 'P', true},
    {"jkd77.res", 44, 4, 'P', true},             {"714.res", 45, 4, 'P', true},
    {"exp_353.res", 64, 4, 'P', false},          {"ofizag.res", 21, 2, 'P', true},
    {"hxquin13.res", 11, 16, 'F', false},        {"zp2.res", 50, 4, 'P', false},
    {"6-ring-twist-disorder.res", 32, 4, 'P', false}, {"mo_4984af.res", 40, 8, 'P', true},
    {"pk2606sup1_5.res", 29, 4, 'P', true},      {"test_bedelone.res", 24, 4, 'P', false},
    {"sad-final.res", 88, 6, 'P', false},        {"i-43d.res", 65, 48, 'I', false},
    {"p21c.res", 128, 4, 'P', true},             {"x02_p21c.res", 229, 4, 'P', true},
    {"014ep-4_a_shelxl.res", 285, 4, 'P', false}, {"wf5140.res", 1065, 4, 'P', true},
    {"2240189.res", 12, 36, 'R', true},
};

// The CELL numbers as the file states them.
std::array<double, 6> file_cell(const std::filesystem::path& p) {
  std::ifstream in(p);
  std::string line;
  std::array<double, 6> c{};
  while (std::getline(in, line))
    if (line.rfind("CELL", 0) == 0) {
      std::istringstream ss(line.substr(4));
      double w;
      ss >> w >> c[0] >> c[1] >> c[2] >> c[3] >> c[4] >> c[5];
    }
  return c;
}

// Basis vectors as the columns of the upper-triangular Cholesky factor of
// the metric tensor: a along X, b in the XY plane, c* along Z.
std::array<std::array<double, 3>, 3> cholesky_basis(const std::array<double, 6>& c) {
  const double d = M_PI / 180.0;
  const double g[3][3] = {{c[0] * c[0], c[0] * c[1] * std::cos(c[5] * d), c[0] * c[2] * std::cos(c[4] * d)},
                          {c[0] * c[1] * std::cos(c[5] * d), c[1] * c[1], c[1] * c[2] * std::cos(c[3] * d)},
                          {c[0] * c[2] * std::cos(c[4] * d), c[1] * c[2] * std::cos(c[3] * d), c[2] * c[2]}};
  std::array<std::array<double, 3>, 3> u{};
  for (int i = 0; i < 3; ++i)
    for (int j = i; j < 3; ++j) {
      double s = g[i][j];
      for (int k = 0; k < i; ++k) s -= u[k][i] * u[k][j];
      u[i][j] = i == j ? std::sqrt(s) : s / u[i][i];
    }
  return u;
}

// Operators as exact keys: rotation entries and translations in 24ths modulo 1.
std::array<int, 12> op_key(const Mat3& r, const Vec3& t) {
  std::array<int, 12> k{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) k[3 * i + j] = static_cast<int>(std::lround(r[i][j]));
    k[9 + i] = static_cast<int>(((std::lround(t[i] * 24.0f) % 24) + 24) % 24);
  }
  return k;
}

TEST(ShelxRealFiles, EveryReadableStructureIsReadCompletely) {
  VORN_REQUIRE_SHARED(dir);
  for (const RealFile& f : kReal) {
    SCOPED_TRACE(f.name);
    ShelxRun r;
    ReadShelx(r.t.run, (dir / f.name).string());
    const vorn::Run& run = r.t.run;
    EXPECT_EQ(run.atoms.nat, f.atoms);
    EXPECT_EQ(run.symm.nsym, f.ops);
    const std::string lst = r.t.lst.str();
    EXPECT_NE(lst.find(std::string(" Lattice type : ") + f.letter + "\n Lattice is " +
                       (f.centro ? "CentroSymmetric" : "Acentric") + "\n"),
              std::string::npos);

    const std::array<double, 6> cell = file_cell(dir / f.name);
    for (int k = 0; k < 6; ++k) EXPECT_NEAR(run.ucell[k], cell[k], 1e-4 * std::max(1.0, cell[k]));

    // The operators form a group: distinct, and every product is among them.
    std::set<std::array<int, 12>> ops;
    for (int n = 1; n <= run.symm.nsym; ++n) ops.insert(op_key(run.symm.op[n].R, run.symm.op[n].t));
    EXPECT_EQ(static_cast<int>(ops.size()), run.symm.nsym);
    for (int a = 1; a <= run.symm.nsym; ++a)
      for (int b = 1; b <= run.symm.nsym; ++b) {
        const SymOp& A = run.symm.op[a];
        const SymOp& B = run.symm.op[b];
        Mat3 R{};
        for (int i = 0; i < 3; ++i)
          for (int j = 0; j < 3; ++j)
            for (int k = 0; k < 3; ++k) R[i][j] += A.R[i][k] * B.R[k][j];
        Vec3 t = add(matvec(A.R, B.t), A.t);
        ASSERT_TRUE(ops.count(op_key(R, t))) << "product of operators " << a << " and " << b;
      }

    // Cartesian coordinates against an independent orthogonalisation.
    const auto u = cholesky_basis(cell);
    for (int i = 1; i <= run.atoms.nat; ++i) {
      const Frac& x = run.atoms.xf[i];
      for (int k = 0; k < 3; ++k) {
        double want = 0;
        for (int j = 0; j < 3; ++j) want += u[k][j] * x[j];
        ASSERT_NEAR(run.atoms.xc[i][k], want, 1e-4) << "atom " << i << " " << run.atoms.label[i];
      }
    }
  }
}

TEST(ShelxRealFiles, TinAndIndiumStructuresAreRead) {
  VORN_REQUIRE_SHARED(dir);
  for (auto [name, nat, z] : {std::tuple{"hb7731.res", 40, 50}, std::tuple{"1548072_many_atoms.res", 1529, 49}}) {
    ShelxRun r;
    ReadShelx(r.t.run, (dir / name).string());
    EXPECT_EQ(r.t.run.atoms.nat, nat) << name;
    int heavy = 0;
    for (int i = 1; i <= r.t.run.atoms.nat; ++i) heavy += r.t.run.atoms.iz[i] == z ? 1 : 0;
    EXPECT_GE(heavy, 1) << name;
  }
}

TEST(ShelxRealFiles, FormatPointsOfCurrentFiles) {
  VORN_REQUIRE_SHARED(dir);
  {
    ShelxRun r;  // a name without digits, CRLF: the element takes a free number
    ReadShelx(r.t.run, (dir / "03srv209.res").string());
    bool found = false;
    for (int i = 1; i <= r.t.run.atoms.nat; ++i)
      found = found || (r.t.run.atoms.label[i] == "N(1)    " && r.t.run.atoms.name[i] == "N");
    EXPECT_TRUE(found);
  }
  {
    ShelxRun r;  // 26 free variables, riding H
    ReadShelx(r.t.run, (dir / "wf5140.res").string());
    EXPECT_EQ(r.t.run.shelx.nfv, 26);
    int riding = 0;
    for (int i = 1; i <= r.t.run.atoms.nat; ++i) riding += r.t.run.shelx.riding[i];
    EXPECT_EQ(riding, 452);
    EXPECT_TRUE(r.t.run.shelx.resi);
    EXPECT_EQ(static_cast<int>(r.t.run.shelx.reslab.size()), r.t.run.atoms.nat + 1);
  }
  {
    ShelxRun r;  // Fdd2 with lower-case cards and quarter translations
    ReadShelx(r.t.run, (dir / "hxquin13.res").string());
    EXPECT_FLOAT_EQ(r.t.run.symm.op[3].t[0], 0.25f);
    EXPECT_NE(r.t.lst.str().find("   SYMM  3      1/4 + X, 1/4 - Y, 1/4 + Z\n"), std::string::npos);
  }
}

}  // namespace
}  // namespace vorn
