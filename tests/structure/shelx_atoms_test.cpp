#include "structure/shelx_atoms.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <string_view>
#include <vector>

#include "base/error.hpp"
#include "format/fortran_io.hpp"
#include "io/scanner.hpp"
#include "support/builders.hpp"

namespace vorn {
namespace {

using test::TestRun;

// The atom line rewritten as text, "(5x,i4,100f12.6)": the plain form
// that processfvar gives the numbers of without writing the text.
void rewrite_line(std::string& line, const ShelxData& shelx, const std::string& where) {
  const int len = static_cast<int>(line.size()) + 1;
  std::vector<Word> ws = words(line, len);
  int s = 0;
  std::vector<float> v;
  for (std::size_t k = 0; k < ws.size(); ++k) {
    std::string_view w = std::string_view(line).substr(static_cast<std::size_t>(ws[k].start - 1),
                                                       static_cast<std::size_t>(ws[k].end - ws[k].start + 1));
    if (k == 0) {
      if (!ff::parse_int(w, s)) err("ReadShelx", "SFAC number expected, found '" + std::string(w) + "', " + where);
      continue;
    }
    float x = 0.0f;
    if (!ff::parse_real(w, x)) err("ReadShelx", "Number expected, found '" + std::string(w) + "', " + where);
    v.push_back(decode_fvar(x, shelx, "C1", where));
  }
  line = ff::format("(5x,i4,100f12.6)", s, v);
  line.pop_back();  // the record's newline
}

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

TEST(Rdshline, TheLineEndsWithItsLastWord) {
  TextFile f = TextFile::from_string("o1 3 0.25 0.2 0.3 11.0 0.02 0.03   =  ! comment\n   0.025 0.001 0.002 0.003   \n");
  std::string line;
  bool cont = false;
  ShelxResidue res;
  ASSERT_TRUE(rdshline(f, line, cont, res));
  EXPECT_EQ(line, "O1 3 0.25 0.2 0.3 11.0 0.02 0.03");
  EXPECT_TRUE(cont);
  ASSERT_TRUE(rdcontinuation(f, line, cont));
  EXPECT_EQ(line, "   0.025 0.001 0.002 0.003");
  EXPECT_FALSE(cont);
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

// The label as formed, before labels are made unique and eight wide (N() and
// the long label are settled then).
TEST(Shatnam, ElementPartAndTheRestInParentheses) {
  Ctl ctl;
  struct Case {
    const char* line;
    int iz;
    const char* label;
  } cases[] = {{"C12   1  0.1", 6, "C(12)   "},   {"CL1   2  0.1", 17, "CL(1)   "}, {"H12A  3  0.1", 1, "H(12A)  "},
               {"N     4  0.1", 7, "N()     "},   {"SN    5  0.1", 50, "SN()    "}, {"N1'   4  0.1", 7, "N(1')   "},
               {"O001  4  0.1", 8, "O(001)  "},   {"C1234567 1 0", 6, "C(1234567)"}, {"P(1)  4  0.1", 15, "P(1)    "}};
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
  EXPECT_FLOAT_EQ(decode_fvar(11.0f, s, "C1", at), 1.0f);
  EXPECT_FLOAT_EQ(decode_fvar(10.5f, s, "C1", at), 0.5f);
  EXPECT_NEAR(decode_fvar(10.33333f, s, "C1", at), 0.33333f, 1e-5f);
  EXPECT_FLOAT_EQ(decode_fvar(21.0f, s, "C1", at), 0.6f);
  EXPECT_FLOAT_EQ(decode_fvar(-21.0f, s, "C1", at), 0.4f);
  EXPECT_FLOAT_EQ(decode_fvar(20.5f, s, "C1", at), 0.3f);
  EXPECT_FLOAT_EQ(decode_fvar(-20.5f, s, "C1", at), 0.2f);
  EXPECT_FLOAT_EQ(decode_fvar(-31.0f, s, "C1", at), 0.75f);
  EXPECT_FLOAT_EQ(decode_fvar(0.0234f, s, "C1", at), 0.0234f);
  EXPECT_FLOAT_EQ(decode_fvar(-1.2f, s, "C1", at), -1.2f);
  // a negative fixed value keeps its sign
  EXPECT_FLOAT_EQ(decode_fvar(-10.25f, s, "C1", at), -0.25f);
  // beyond the variables FVAR gives: no value to take
  try {
    decode_fvar(41.0f, s, "C1", at);
    FAIL() << "no stop";
  } catch (const VornError& e) {
    EXPECT_EQ(e.message(), "Atom C1 refers to free variable 4 (coded 41.00000), but FVAR gives only 3, file x.res, line 9");
  }
  try {
    decode_fvar(2011.0f, s, "C1", at);
    FAIL() << "no stop";
  } catch (const VornError& e) {
    EXPECT_NE(e.message().find("Free variable 201"), std::string::npos);
    EXPECT_NE(e.message().find("line 9"), std::string::npos);
  }
}

TEST(FreeVariables, RewrittenLineHoldsTheDecodedNumbers) {
  TestRun t;
  t.run.shelx.nfv = 2;
  t.run.shelx.fv[2] = 0.6f;
  std::string line = "      2    0.10000    10.25000    0.30000    21.00000    -1.20000";
  rewrite_line(line, t.run.shelx, "here");
  EXPECT_EQ(line, "        2    0.100000    0.250000    0.300000    0.600000   -1.200000");
  line = "      2    0.10000    0.2x    0.30000    21.00000    -1.20000";
  EXPECT_THROW(rewrite_line(line, t.run.shelx, "here"), VornError);
}

// Floats of every size the atom numbers reach and some they should not,
// ties at the seventh decimal, and values next to the edges of F12.6.
std::vector<float> sample_floats() {
  std::vector<float> v = {0.0f,      -0.0f,     1e-7f,       -1e-7f,     5e-7f,      -5e-7f,     4.9999997e-7f,
                          0.0000015f, 0.0000025f, -0.0000025f, 0.092098f,  -1.2f,      1.0f,       0.333333f,
                          9999.999f,  9999.9999994f, 9999.9999996f, 10000.0f, -999.9999994f, -999.9999996f,
                          -1000.0f,   12345.6f,  99999.99f,  1e6f,       -1e6f,      3.4e38f,    -3.4e38f,
                          std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()};
  std::mt19937 gen(7);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  for (float scale : {1e-6f, 1e-3f, 1.0f, 10.0f, 1000.0f, 20000.0f})
    for (int k = 0; k < 3000; ++k) v.push_back(unit(gen) * scale);
  // exact halves of the last decimal: n + 0.5 millionths, as near as a float gets
  for (int k = 0; k < 2000; ++k) v.push_back(static_cast<float>((k * 37 + 0.5) / 1.0e6));
  return v;
}

TEST(FreeVariables, ValuesComeBackAsFromTheirF12_6Field) {
  for (float v : sample_floats()) {
    // the field read back after the SFAC number, as from the rewritten line
    const std::string text = ff::format("(i4,f12.6)", 1, v);
    ff::ListReader lr(text);
    int s = 0;
    float want = 0.0f;
    const bool ok = lr.read(s, want);
    float got = 0.0f;
    ASSERT_EQ(through_f12_6(v, got), ok) << v << " '" << text << "'";
    if (!ok) continue;
    EXPECT_EQ(got, want) << v << " '" << text << "'";
    EXPECT_EQ(std::signbit(got), std::signbit(want)) << v << " '" << text << "'";
  }
}

TEST(FreeVariables, AtomNumbersAreTheNumbersOfTheRewrittenLine) {
  TestRun t;
  ShelxData& sh = t.run.shelx;
  sh.nfv = 3;
  sh.fv[2] = 0.6f;
  sh.fv[3] = 0.25f;
  // free variables that take values to the edges of the F12.6 field
  sh.nfv = 8;
  sh.fv[4] = 25000.0f;
  sh.fv[5] = -2000.0f;
  sh.fv[6] = 9999.9999f;
  sh.fv[7] = -999.99999f;
  sh.fv[8] = 1.0e30f;
  std::vector<std::string> lines = {
      "0.092098 0.052872 0.052412 11.00000 0.03100 0.03600 0.04100 -0.00200 0.00500 0.00100",
      "0.089456 0.075425 0.060986 11.00000 -1.20000", "10.25 -10.5 20.5 21.0 -31.0", "0.1 .2 +3. 1E-3 2.5D+1",
      "0.333333333 0.6666666667 1e-9 -4e-7 0.0000005", "41.0 0.1 0.1 0.1 0.1",
      "0.1 51.0 0.1 0.1 0.1", "0.1 0.1 -51.0 0.1 0.1", "61.0 -61.0 71.0 -71.0 0.1", "0.1 0.1 0.1 0.1 81.0"};
  // random plain decimals of every length
  std::mt19937 gen(11);
  for (int k = 0; k < 400; ++k) {
    std::string line;
    for (int w = 0; w < 5; ++w) {
      float x = std::uniform_real_distribution<float>(-9.99f, 9.99f)(gen);
      char buf[32];
      auto r = std::to_chars(buf, buf + sizeof buf, x);
      line += std::string(buf, r.ptr) + " ";
    }
    lines.push_back(line);
  }
  // decimals with up to eight places up to 20, free-variable codes 1x.xxx among them
  lines.push_back("-0.0 0.0 10.0 -10.0 10.000000 15.999999 16.0 -15.999999 9.999999 -9.999999 0 -0 +10.5 -0.000001");
  for (int k = 0; k < 400; ++k) {
    std::string line;
    for (int w = 0; w < 10; ++w) {
      const double x = std::uniform_real_distribution<double>(-19.99, 19.99)(gen);
      char buf[32];
      auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, static_cast<int>(gen() % 9));
      line += std::string(buf, r.ptr) + " ";
    }
    lines.push_back(line);
  }
  for (const std::string& numbers : lines) {
    std::string line = "      2    " + numbers;
    std::vector<std::string_view> words;
    std::vector<std::string> texts;
    std::istringstream in(numbers);
    for (std::string w; in >> w;) texts.push_back(w);
    for (const std::string& w : texts) words.push_back(w);
    rewrite_line(line, sh, "here");
    ff::ListReader lr(line);
    int s = 0;
    std::vector<float> want(words.size());
    bool ok = lr.next(s);
    for (float& x : want) ok = ok && lr.next(x);
    std::vector<float> got(words.size());
    ASSERT_EQ(processfvar(words, sh, "C1", "here", got), ok) << numbers << " -> " << line;
    if (ok)
      for (std::size_t k = 0; k < got.size(); ++k) {
        EXPECT_EQ(got[k], want[k]) << numbers << " word " << k;
        EXPECT_EQ(std::signbit(got[k]), std::signbit(want[k])) << numbers << " word " << k;
      }
  }
  std::vector<float> room(1);
  const std::vector<std::string_view> bad = {"0.2x"};
  EXPECT_THROW(processfvar(bad, sh, "C1", "here", room), VornError);
}

TEST(AtomNumbers, ReadAsParseRealReadsThem) {
  std::vector<std::string> words = {"0",      "-0",       "+0.0",   "-0.000000", "0.092098", "-1.20000", "11.00000",
                                    ".5",     "5.",       "-.5",    "+5.",       "1234567.5", "12345678",  "0.12345678",
                                    "0.123456789", "9999999.99999999", "1E5",     "1.5D-3",    "2+3",       "-",
                                    "+",      ".",        "",       "1.2.3",     "0x10",     "1e",        "00000000.1",
                                    "3.14159265358979", "0.00000001", "0.000000005"};
  std::mt19937 gen(3);
  for (int k = 0; k < 5000; ++k) {
    std::string w = k % 3 == 0 ? "-" : k % 3 == 1 ? "" : "+";
    const int whole = static_cast<int>(gen() % 9), fraction = static_cast<int>(gen() % 10);
    for (int d = 0; d < whole; ++d) w.push_back(static_cast<char>('0' + gen() % 10));
    if (fraction > 0 || gen() % 2) w.push_back('.');
    for (int d = 0; d < fraction; ++d) w.push_back(static_cast<char>('0' + gen() % 10));
    words.push_back(w);
  }
  for (const std::string& w : words) {
    float want = 7.0f, got = 7.0f;
    const bool ok = ff::parse_real(w, want);
    ASSERT_EQ(parse_atom_number(w, got), ok) << "'" << w << "'";
    if (!ok) continue;
    EXPECT_EQ(got, want) << w;
    EXPECT_EQ(std::signbit(got), std::signbit(want)) << w;
  }
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
