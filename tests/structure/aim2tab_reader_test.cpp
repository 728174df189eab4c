#include "structure/aim2tab_reader.hpp"

#include <gtest/gtest.h>

#include "base/error.hpp"
#include "support/builders.hpp"

namespace vorn {
namespace {

using test::TestRun;

constexpr float BOHR = 0.52917725f;

std::string count_line(int n) { return ff::format("(1x,a,i7)", "NUMBER OF ATOMS READ =", n); }

std::string table(const std::vector<std::tuple<const char*, float, float, float>>& atoms) {
  std::string s = " NO. ATOM       AT.MASS       X        Y        Z\n ---------------------------------------------------\n";
  int i = 0;
  for (const auto& [label, x, y, z] : atoms)
    s += ff::format("(i4,1x,a8,f9.4,2x,3f9.4)", ++i, pad(label, 8), 15.9994f, x, y, z);
  return s;
}

// Water in bohr: O-H 0.9572 A = 1.80885 bohr, H-O-H 104.52 degrees.
std::string water() {
  return " AIM2TAB  wavefunction analysis\n\n" + count_line(3) +
         table({{"O1", 0.0f, 0.0f, 0.0f}, {"H1", 1.8089f, 0.0f, 0.0f}, {"H2", -0.4530f, 1.7512f, 0.0f}}) +
         " END OF TABLE\n";
}

TEST(ReadAim2Tab, ConvertsBohrToAngstrom) {
  TestRun t;
  t.write("w.aim", water());
  ReadAim2Tab(t.run, "w.aim");
  const auto& a = t.run.atoms;
  ASSERT_EQ(a.nat, 3);
  EXPECT_EQ(a.label[1], "O1      ");
  EXPECT_EQ(a.label[3], "H2      ");
  EXPECT_FLOAT_EQ(a.xc[2][0], 1.8089f * BOHR);
  EXPECT_NEAR(dist(a.xc[1], a.xc[2]), 0.9572f, 1e-4f);
  EXPECT_NEAR(dist(a.xc[1], a.xc[3]), 0.9572f, 1e-3f);
  EXPECT_EQ(a.iz[1], 8);
  EXPECT_EQ(a.iz[2], 1);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(a.xf[i], Frac(0, 0, 0));
    EXPECT_EQ(t.run.atoms1.occ[i], 1.0f);
    EXPECT_EQ(t.run.atoms1.flag[i], 0);
    EXPECT_EQ(t.run.atoms1.lmax[i], i == 1 ? 4 : 2);
    EXPECT_EQ(t.run.atoms1.iu[i], 0);
    EXPECT_EQ(t.run.atoms1.isft[i], 0);
  }
}

TEST(ReadAim2Tab, OneAngstromInBohrAndImpliedDecimals) {
  TestRun t;
  // The second atom's x is written without a decimal point: F9.4 implies four.
  std::string rows = " NO. ATOM       AT.MASS\n --\n";
  rows += ff::format("(i4,1x,a8,f9.4,2x,3f9.4)", 1, pad("C1", 8), 12.011f, 1.8897f, 0.0f, 0.0f);
  rows += ff::format("(i4,1x,a8,f9.4,2x,3a9)", 2, pad("C2", 8), 12.011f, "    18897", "  -1.8897", "         ");
  t.write("c.aim", count_line(2) + rows);
  ReadAim2Tab(t.run, "c.aim");
  ASSERT_EQ(t.run.atoms.nat, 2);
  EXPECT_EQ(ff::format("(3f9.4)", t.run.atoms.xc[1]), "   1.0000   0.0000   0.0000\n");
  EXPECT_EQ(ff::format("(3f9.4)", t.run.atoms.xc[2]), "   1.0000  -1.0000   0.0000\n");
}

TEST(ReadAim2Tab, PrintsTypesAndTotalToStandardOutputAndAtomsToListing) {
  TestRun t;
  t.write("w.aim", water());
  ReadAim2Tab(t.run, "w.aim");
  EXPECT_EQ(t.out.str(),
            "\n Number of atom types =    2\n"
            "   atom type =  1    atomic number =   8\n"
            "   atom type =  2    atomic number =   1\n"
            "\n Total atoms read from AIM2TAB output file =     3\n");
  std::string lst = t.lst.str();
  EXPECT_NE(lst.find("      2  H1         0.00000  0.00000  0.00000     0.9572   0.0000   0.0000     0\n"),
            std::string::npos);
  EXPECT_NE(lst.find(" FLAG =  0 : normal atoms (     3 )"), std::string::npos);
}

TEST(ReadAim2Tab, TableBeforeTheCountReadsNoAtoms) {
  TestRun t;
  t.write("late.aim", table({{"O1", 0.0f, 0.0f, 0.0f}, {"H1", 1.8089f, 0.0f, 0.0f}}) + count_line(2));
  try {
    ReadAim2Tab(t.run, "late.aim");
    FAIL() << "no stop";
  } catch (const VornError& e) {
    EXPECT_EQ(e.message(),
              "No atom in AIM2TAB output file late.aim (the atom table follows a line NUMBER OF ATOMS READ = with the "
              "count)");
  }
  // The count line alone does not make atoms that were never read.
  EXPECT_EQ(t.run.atoms.nat, 0);
  EXPECT_EQ(t.run.at_types.ntyp, 0);
  EXPECT_NE(t.out.str().find("AIM2TAB output file =     0"), std::string::npos);
}

TEST(ReadAim2Tab, TabsInTheAtomTableKeepTheColumnsAnEditorShows) {
  // Label in columns 6-13, then tabs up to column 24, so that x starts in
  // column 25 as the editor shows it (the mass, which is not read, left out).
  TestRun t;
  t.write("tab.aim", count_line(1) + " NO. ATOM       AT.MASS\n --\n   1 O1\t\t\t   1.8897  -3.7794   0.5000\n");
  ReadAim2Tab(t.run, "tab.aim");
  ASSERT_EQ(t.run.atoms.nat, 1);
  EXPECT_EQ(t.run.atoms.label[1], "O1      ");
  EXPECT_NEAR(t.run.atoms.xc[1][0], 1.0f, 1e-4f);
  EXPECT_NEAR(t.run.atoms.xc[1][1], -2.0f, 1e-4f);
  EXPECT_FLOAT_EQ(t.run.atoms.xc[1][2], 0.5f * BOHR);
}

TEST(ReadAim2Tab, BadInputStops) {
  auto expect_stop = [](const std::string& text, const std::string& message, const std::string& detail) {
    TestRun t;
    t.write("bad.aim", text);
    try {
      ReadAim2Tab(t.run, "bad.aim");
      ADD_FAILURE() << "no stop for " << text;
    } catch (const VornError& e) {
      EXPECT_EQ(e.routine(), "ReadAim2Tab");
      EXPECT_EQ(e.message(), message);
      EXPECT_NE(t.out.str().find(detail), std::string::npos) << t.out.str();
    }
  };
  // Table shorter than its count.
  expect_stop(count_line(3) + table({{"O1", 0, 0, 0}, {"H1", 1.8089f, 0, 0}}), "Error reading AIM2TAB output file",
              "bad.aim: ends after line 5 (atom table with fewer than 3 atoms)");
  // Coordinate that is not a number.
  expect_stop(count_line(1) + " NO. ATOM       AT.MASS\n --\n" +
                  ff::format("(i4,1x,a8,f9.4,2x,3a9)", 1, pad("O1", 8), 15.9994f, "   0.0000", "   x.0000", "   0.0000"),
              "Error reading AIM2TAB output file", "bad.aim, line 4: coordinate expected in F9.4, found <<   x.0000>>");
  // Unreadable count.
  expect_stop(" NUMBER OF ATOMS READ =  three\n", "Error reading AIM2TAB output file", "bad.aim, line 1");
  expect_stop(count_line(MAXAT + 1), "Too many atoms", "");
  TestRun t;
  try {
    ReadAim2Tab(t.run, "none.aim");
    FAIL();
  } catch (const VornError& e) {
    EXPECT_EQ(e.message(), "Error opening AIM2TAB output file...");
  }
}

}  // namespace
}  // namespace vorn
