#include "structure/shelx_atoms.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "control/error.hpp"
#include "support/builders.hpp"

namespace vorn {
namespace {

using test::TestRun;

// Every atom line rdshline hands out, with the residue in force.
struct Found {
  std::string line;
  bool cont;
  int resnum;
};
std::vector<Found> atom_lines(const std::string& text) {
  TextFile f = TextFile::from_string(text);
  std::vector<Found> out;
  std::string line, next;
  bool cont = false;
  ShelxResidue res;
  while (rdshline(f, line, cont, res)) {
    out.push_back({std::string(rtrim(line)), cont, res.number});
    while (cont && rdcontinuation(f, next, cont)) out.back().line += " | " + std::string(rtrim(next));
  }
  return out;
}

TEST(Rdshline, PassesOverInstructionsCommentsAndTheirContinuations) {
  auto found = atom_lines(
      "TITL thing in P2(1)/c\n"
      "    created by SHELXL-2018/3\n"  // indented: part of TITL
      "REM a remark that goes on =\n"
      "   over a second line\n"
      "SADI 0.02 C1 C2 C1 C3 =\n"
      "   C1 C4 C2 C3 =\n"
      "   C3 C4\n"
      "RIGU_* O1 > F9\n"
      "ABIN\n"
      "+include.dfx\n"
      "! a comment line\n"
      "\n"
      "rem\n"
      "c1    1    0.10000    0.20000    0.30000    11.00000    0.02000 ! a comment\n"
      "O1    3    0.25000    0.20000    0.30000    11.00000    0.02000    0.03000 =\n"
      "         0.02500    0.00100    0.00200    0.00300\n"
      "HKLF 4\n"
      "L1  1  0.1 0.2 0.3 11.0 0.05 0.0\n"
      "END\n");
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].line, "C1    1    0.10000    0.20000    0.30000    11.00000    0.02000");
  EXPECT_FALSE(found[0].cont);
  EXPECT_EQ(found[1].line,
            "O1    3    0.25000    0.20000    0.30000    11.00000    0.02000    0.03000 | "
            "         0.02500    0.00100    0.00200    0.00300");
}

TEST(Rdshline, EndWithoutTrailingBlankAndEndOfFileEndTheAtoms) {
  EXPECT_EQ(atom_lines("C1 1 0 0 0 11 0.02\nEND\nC2 1 0 0 0 11 0.02\n").size(), 1u);
  EXPECT_EQ(atom_lines("C1 1 0 0 0 11 0.02\nC2 1 0 0 0 11 0.02").size(), 2u);
  // an instruction ending in "=" takes the next line with it even when it is not indented
  EXPECT_EQ(atom_lines("DFIX 1.5 C1 =\nC2\nC3 1 0 0 0 11 0.02\n").size(), 1u);
}

TEST(Rdshline, ResidueInstructionsSetTheResidueInForce) {
  auto found = atom_lines(
      "C1 1 0 0 0 11 0.02\n"
      "RESI 4 CCF3\n"
      "PART 2 -31\n"
      "C2 1 0 0 0 11 0.02\n"
      "AFIX 137\n"
      "H2A 2 0 0 0 11 -1.5\n"
      "RESI CCF3 5\n"
      "C3 1 0 0 0 11 0.02\n"
      "RESI 0\n"
      "C4 1 0 0 0 11 0.02\n");
  ASSERT_EQ(found.size(), 5u);
  EXPECT_EQ(found[0].resnum, 0);
  EXPECT_EQ(found[1].resnum, 4);
  EXPECT_EQ(found[2].resnum, 4);
  EXPECT_EQ(found[3].resnum, 5);
  EXPECT_EQ(found[4].resnum, 0);
}

TEST(ParseResi, ClassAndNumberInEitherOrder) {
  ShelxResidue r;
  parse_resi("RESI 4 CCF3", r);
  EXPECT_EQ(r.number, 4);
  EXPECT_EQ(r.name, "CCF3      ");
  parse_resi("RESI PYR 12", r);
  EXPECT_EQ(r.number, 12);
  EXPECT_EQ(r.name, "PYR       ");
  parse_resi("RESI 0", r);
  EXPECT_EQ(r.number, 0);
  EXPECT_EQ(r.name, std::string(10, ' '));
}

TEST(Shatnam, ElementPartAndTheRestInParentheses) {
  Ctl ctl;
  struct Case {
    const char* line;
    int iz;
    const char* label;
  } cases[] = {{"C12   1  0.1", 6, "C(12)   "},   {"CL1   2  0.1", 17, "CL(1)   "}, {"H12A  3  0.1", 1, "H(12A)  "},
               {"N     4  0.1", 7, "N()     "},   {"SN    5  0.1", 50, "SN()    "}, {"N1'   4  0.1", 7, "N(1')   "},
               {"O001  4  0.1", 8, "O(001)  "},   {"C1234567 1 0", 6, "C(123456"}};
  for (const Case& c : cases) {
    std::string line = c.line;
    EXPECT_EQ(shatnam(line, c.iz, 1, 1, ctl), c.label) << c.line;
    std::size_t n = std::string(c.line).find(' ');
    EXPECT_EQ(line, std::string(n, ' ') + std::string(c.line).substr(n)) << "name blanked: " << c.line;
  }
}

TEST(Shatnam, RenamingCountsAtomsOrAtomsOfTheType) {
  Ctl ctl;
  ctl.irename = 1;
  std::string line = "CL7   2  0.1";
  ctl.irs = 0;
  EXPECT_EQ(shatnam(line, 17, 12, 3, ctl), "Cl(12)  ");
  line = "CL7   2  0.1";
  ctl.irs = 1;
  EXPECT_EQ(shatnam(line, 17, 12, 3, ctl), "Cl(3)   ");
  line = "Q     1  0.1";
  EXPECT_EQ(shatnam(line, 6, 12, 7, ctl), "C(7)    ");
}

TEST(FreeVariables, DecodingFollowsTheShelxCoding) {
  TestRun t;
  ShelxData& s = t.run.shelx;
  s.nfv = 3;
  s.fv[1] = 0.95f;
  s.fv[2] = 0.6f;
  s.fv[3] = 0.25f;
  const std::string at = "file x.res, line 9";
  EXPECT_FLOAT_EQ(decode_fvar(11.0f, s, at), 1.0f);
  EXPECT_FLOAT_EQ(decode_fvar(10.5f, s, at), 0.5f);
  EXPECT_NEAR(decode_fvar(10.33333f, s, at), 0.33333f, 1e-5f);
  EXPECT_FLOAT_EQ(decode_fvar(21.0f, s, at), 0.6f);
  EXPECT_FLOAT_EQ(decode_fvar(-21.0f, s, at), 0.4f);
  EXPECT_FLOAT_EQ(decode_fvar(20.5f, s, at), 0.3f);
  EXPECT_FLOAT_EQ(decode_fvar(-20.5f, s, at), 0.2f);
  EXPECT_FLOAT_EQ(decode_fvar(-31.0f, s, at), 0.75f);
  EXPECT_FLOAT_EQ(decode_fvar(0.0234f, s, at), 0.0234f);
  EXPECT_FLOAT_EQ(decode_fvar(-1.2f, s, at), -1.2f);
  // a negative fixed value keeps its sign
  EXPECT_FLOAT_EQ(decode_fvar(-10.25f, s, at), -0.25f);
  // beyond the variables read: the preset value (0)
  EXPECT_FLOAT_EQ(decode_fvar(41.0f, s, at), 0.0f);
  try {
    decode_fvar(2011.0f, s, at);
    FAIL() << "no stop";
  } catch (const VornError& e) {
    EXPECT_NE(e.message().find("Free variable 201"), std::string::npos);
    EXPECT_NE(e.message().find("line 9"), std::string::npos);
  }
}

TEST(FreeVariables, ProcessfvarRewritesTheLine) {
  TestRun t;
  t.run.shelx.fv[2] = 0.6f;
  std::string line = "      2    0.10000    10.25000    0.30000    21.00000    -1.20000";
  processfvar(line, t.run.shelx, "here");
  EXPECT_EQ(line, "        2    0.100000    0.250000    0.300000    0.600000   -1.200000");
  line = "      2    0.10000    0.2x    0.30000    21.00000    -1.20000";
  EXPECT_THROW(processfvar(line, t.run.shelx, "here"), VornError);
}

// An orthogonal 10 A cell with a methyl carbon and its hydrogens.
int add_iso(Run& run, const std::string& label, float u) {
  int i = test::add_atom(run, label, Cart(1, 1, 1));
  run.at_uij[static_cast<std::size_t>(i)] = {u, 0, 0, 0, 0, 0};
  return i;
}

TEST(RidingU, HydrogensTakeTheirUFromTheLastAtomThatDoesNotRide) {
  TestRun t;
  t.run.ucell = {10, 10, 10, 90, 90, 90};
  int c = add_iso(t.run, "C(1)", 0.0f);
  t.run.atoms1.iu[static_cast<std::size_t>(c)] = 2;
  t.run.at_uij[static_cast<std::size_t>(c)] = {0.02f, 0.02f, 0.02f, 0, 0, 0};
  int h1 = add_iso(t.run, "H(1A)", -1.2f);
  int h2 = add_iso(t.run, "H(1B)", -1.5f);
  int h3 = add_iso(t.run, "H(1C)", -0.4f);  // outside the riding band
  for (int i : {h1, h2, h3}) ProcessU(t.run, i);
  EXPECT_NEAR(t.run.at_uij[static_cast<std::size_t>(h1)][0], 0.024f, 1e-6f);
  EXPECT_NEAR(t.run.at_uij[static_cast<std::size_t>(h2)][0], 0.030f, 1e-6f);
  EXPECT_FLOAT_EQ(t.run.at_uij[static_cast<std::size_t>(h3)][0], -0.4f);
  EXPECT_EQ(t.run.shelx.riding[static_cast<std::size_t>(h1)], 1);
  EXPECT_EQ(t.run.shelx.riding[static_cast<std::size_t>(h2)], 1);
  EXPECT_EQ(t.run.shelx.riding[static_cast<std::size_t>(h3)], 0);
  // an isotropic non-riding atom is a parent too
  int o = add_iso(t.run, "O(2)", 0.03f);
  int h4 = add_iso(t.run, "H(2)", -1.5f);
  ProcessU(t.run, h4);
  EXPECT_NEAR(t.run.at_uij[static_cast<std::size_t>(h4)][0], 0.045f, 1e-6f);
  (void)o;
}

TEST(RidingU, NoParentStops) {
  TestRun t;
  t.run.ucell = {10, 10, 10, 90, 90, 90};
  int h = add_iso(t.run, "H(1)", -1.2f);
  try {
    ProcessU(t.run, h);
    FAIL() << "no stop";
  } catch (const VornError& e) {
    EXPECT_TRUE(e.reported());
  }
  EXPECT_EQ(t.out.str(), " ProcessU :: Could not find parent atom \n");
}

TEST(Calcueq, MonoclinicCellAgreesWithTheTensorForm) {
  TestRun t;
  t.run.ucell = {8.0f, 11.0f, 9.0f, 90.0f, 104.0f, 90.0f};
  int c = add_iso(t.run, "C(1)", 0.0f);
  t.run.atoms1.iu[static_cast<std::size_t>(c)] = 2;
  const Uij u = {0.021f, 0.034f, 0.027f, 0.0f, 0.006f, 0.0f};
  t.run.at_uij[static_cast<std::size_t>(c)] = u;
  // Ueq = 1/3 sum_ij Uij a*_i a*_j (a_i . a_j), in double
  const double beta = 104.0 * M_PI / 180.0;
  const double as = 1.0 / (8.0 * std::sin(beta)), bs = 1.0 / 11.0, cs = 1.0 / (9.0 * std::sin(beta));
  const double want = (u[0] * as * as * 64.0 + u[1] * bs * bs * 121.0 + u[2] * cs * cs * 81.0 +
                       2.0 * u[4] * as * cs * 8.0 * 9.0 * std::cos(beta)) /
                      3.0;
  EXPECT_NEAR(calcueq(t.run, c), want, 1e-6);
  EXPECT_FLOAT_EQ(calcueq(t.run, add_iso(t.run, "H(1)", 0.05f)), 0.05f);
}

}  // namespace
}  // namespace vorn
