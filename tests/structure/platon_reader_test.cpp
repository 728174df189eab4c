#include "structure/platon_reader.hpp"

#include <gtest/gtest.h>

#include "base/error.hpp"
#include "support/builders.hpp"

namespace vorn {
namespace {

using test::TestRun;

// Methanol as this program writes its own coordinate files: label in eight
// columns after "ATOM ", then x, y, z in angstrom.
std::string methanol_ang() {
  std::string s = "TITL methanol\nCELL 1.0 1.0 1.0 90.0 90.0 90.0\nANGSTROM\n";
  auto atom = [&](const char* label, float x, float y, float z) {
    s += ff::format("('ATOM ',a8,3x,3f12.4)", pad(label, 8), x, y, z);
  };
  atom("C(1)", 0.0000f, 0.0000f, 0.0000f);
  atom("O(1)", 1.4270f, 0.0000f, 0.0000f);
  atom("H(1)", 1.7480f, 0.9080f, 0.0000f);
  atom("H(2)", -0.3630f, 1.0270f, 0.0000f);
  atom("H(3)", -0.3630f, -0.5135f, 0.8894f);
  atom("H(4)", -0.3630f, -0.5135f, -0.8894f);
  return s;
}

TEST(ReadPlaton, ReadsOwnCoordinateFileAsCartesianAtoms) {
  TestRun t;
  t.write("vorn.ang", methanol_ang());
  ReadPlaton(t.run, "vorn.ang");

  const auto& a = t.run.atoms;
  ASSERT_EQ(a.nat, 6);
  EXPECT_EQ(a.label[1], "C(1)    ");
  EXPECT_EQ(a.label[6], "H(4)    ");
  EXPECT_NEAR(dist(a.xc[1], a.xc[2]), 1.427f, 1e-4f);  // C-O
  EXPECT_NEAR(dist(a.xc[2], a.xc[3]), 0.9640f, 1e-3f);  // O-H
  EXPECT_FLOAT_EQ(a.xc[5][2], 0.8894f);
  EXPECT_EQ(a.iz[1], 6);
  EXPECT_EQ(a.iz[2], 8);
  EXPECT_EQ(a.iz[3], 1);
  for (int i = 1; i <= 6; ++i) {
    EXPECT_EQ(a.xf[i], Frac(0, 0, 0));
    EXPECT_EQ(t.run.atoms1.occ[i], 1.0f);
    EXPECT_EQ(t.run.atoms1.flag[i], 0);
    EXPECT_EQ(t.run.atoms1.iu[i], 0);
    EXPECT_EQ(t.run.atoms1.isft[i], 0);
    EXPECT_EQ(t.run.atoms1.lmax[i], a.iz[i] == 1 ? 2 : 4);
    EXPECT_EQ(t.run.at_uij[i], Uij{});
  }
  ASSERT_EQ(t.run.at_types.ntyp, 3);
  EXPECT_EQ(t.run.at_types.iz[1], 6);
  EXPECT_EQ(t.run.at_types.iz[2], 8);
  EXPECT_EQ(t.run.at_types.iz[3], 1);
  // No cell is read, whatever the CELL line says.
  EXPECT_EQ(t.run.transf.M, Transf{}.M);
  EXPECT_EQ(t.run.symm.nsym, 0);
}

TEST(ReadPlaton, ListsTypesTotalAndAtomsWithoutOccupancyCheck) {
  TestRun t;
  t.write("vorn.ang", methanol_ang());
  ReadPlaton(t.run, "vorn.ang");
  std::string lst = t.lst.str();
  EXPECT_EQ(lst.find("\n\n Reading PLATON file : vorn.ang"), 0u);
  EXPECT_NE(lst.find("\n Number of atom types =    3\n   atom type = C     atomic number =   6\n"), std::string::npos);
  EXPECT_NE(lst.find("\n\n Total atoms read from PLATON file =        6\n"), std::string::npos);
  EXPECT_NE(lst.find("      2  O(1)       0.00000  0.00000  0.00000     1.4270   0.0000   0.0000     0\n"),
            std::string::npos);
  EXPECT_NE(lst.find(" FLAG =  0 : normal atoms (     6 )"), std::string::npos);
  EXPECT_EQ(t.out.str(), "\n Total atoms read from PLATON file =        6\n");
}

TEST(ReadPlaton, AtomWordIsComparedInUpperCase) {
  TestRun t;
  t.write("w.ang", "ANGSTROM\natom o1 0.0 0.0 0.0\nAtom h1 0.9572 0.0 0.0\n  ATOM h2 -0.2400 0.9266 0.0 extra 7\n"
                   "ATOMS x 1 2 3\nHETATM C1 1 2 3\n");
  ReadPlaton(t.run, "w.ang");
  ASSERT_EQ(t.run.atoms.nat, 3);
  EXPECT_EQ(t.run.atoms.label[1], "O1      ");  // labels come upper-cased from the scanner
  EXPECT_EQ(t.run.atoms.label[3], "H2      ");
  EXPECT_NEAR(dist(t.run.atoms.xc[1], t.run.atoms.xc[3]), 0.9572f, 1e-4f);
}

TEST(ReadPlaton, FileWithoutAtomLinesGivesNoAtomsAndStops) {
  // Binary garbage reads the same way: a run on it would write empty files.
  TestRun t;
  t.write("empty.ang", "TITL nothing\nCELL 0.71073 5.0 5.0 5.0 90 90 90\nANGSTROM\n");
  try {
    ReadPlaton(t.run, "empty.ang");
    FAIL() << "no stop";
  } catch (const VornError& e) {
    EXPECT_EQ(e.routine(), "ReadPlaton");
    EXPECT_EQ(e.message(), "No ATOM line in PLATON file empty.ang");
  }
  EXPECT_EQ(t.run.atoms.nat, 0);
  EXPECT_EQ(t.run.at_types.ntyp, 0);
  EXPECT_NE(t.out.str().find("Total atoms read from PLATON file =        0"), std::string::npos);
}

TEST(ReadPlaton, BadInputStopsNamingFileAndLine) {
  {
    TestRun t;
    try {
      ReadPlaton(t.run, "missing.ang");
      FAIL();
    } catch (const VornError& e) {
      EXPECT_EQ(e.routine(), "ReadPlaton");
      EXPECT_EQ(e.message(), "Error opening PLATON file");
      EXPECT_NE(t.out.str().find("missing.ang: cannot be opened"), std::string::npos);
    }
  }
  {
    TestRun t;
    t.write("short.ang", "ANGSTROM\nATOM C1 0.0 0.0 0.0\nATOM C2 1.54 0.0\n");
    try {
      ReadPlaton(t.run, "short.ang");
      FAIL();
    } catch (const VornError& e) {
      EXPECT_EQ(e.routine(), "ReadPlaton");
      EXPECT_EQ(e.message(), "Error reading PLATON file");
      EXPECT_NE(t.out.str().find("short.ang, line 3: ATOM C2 needs x, y, z"), std::string::npos);
    }
  }
  {
    TestRun t;
    t.write("nolabel.ang", "ATOM 0.0 0.0 0.0\n");
    EXPECT_THROW(ReadPlaton(t.run, "nolabel.ang"), VornError);
  }
}

TEST(ReadPlaton, LongLabelsAndLongLinesStop) {
  auto stop = [](const std::string& text) {
    TestRun t;
    t.write("x.ang", text);
    try {
      ReadPlaton(t.run, "x.ang");
    } catch (const VornError& e) {
      return e.message() + " |" + t.out.str();
    }
    return std::string("no stop");
  };
  // Cut to eight characters, the two labels would be one.
  std::string e = stop("ATOM C1ABCDEFG 0 0 0\nATOM C1ABCDEFH 1.54 0 0\n");
  EXPECT_NE(e.find("Error reading PLATON file |"), std::string::npos) << e;
  EXPECT_NE(e.find("x.ang, line 1: atom label C1ABCDEFG is longer than 8 characters"), std::string::npos) << e;
  e = stop("ATOM C1 0 0" + std::string(250, ' ') + "0\n");
  EXPECT_NE(e.find("x.ang, line 1: line longer than 255 characters"), std::string::npos) << e;
  TestRun ok;  // an eight-character label, tabs between the words, a long line that is no atom
  ok.write("x.ang", "TITL " + std::string(300, 't') + "\nATOM\tC1ABCDEF\t0.5\t0\t0\n");
  ReadPlaton(ok.run, "x.ang");
  ASSERT_EQ(ok.run.atoms.nat, 1);
  EXPECT_EQ(ok.run.atoms.label[1], "C1ABCDEF");
  EXPECT_FLOAT_EQ(ok.run.atoms.xc[1][0], 0.5f);
}

TEST(ReadPlaton, StopsBeyondTheAtomCapacity) {
  TestRun t;
  std::string s;
  s.reserve(30 * (MAXAT + 1));
  for (int i = 1; i <= MAXAT + 1; ++i) s += "ATOM C" + std::to_string(i) + " 0 0 " + std::to_string(i) + "\n";
  t.write("big.ang", s);
  try {
    ReadPlaton(t.run, "big.ang");
    FAIL();
  } catch (const VornError& e) {
    EXPECT_EQ(e.routine(), "ReadPlaton");
    EXPECT_EQ(e.message(), "Too many atoms");
  }
}

}  // namespace
}  // namespace vorn
