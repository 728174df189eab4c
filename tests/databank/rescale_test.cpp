#include "databank/rescale.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "control/run_sequence.hpp"
#include "databank/databank.hpp"
#include "support/builders.hpp"

namespace vorn {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using test::add_atom;
using test::TestRun;

// Glycine zwitterion, H3N(+)-CH2-COO(-): ten atoms whose free-atom valence
// populations add up to 30 electrons, with Pv and sigma(Pv) of the size a
// databank gives.
void add_glycine(Run& run) {
  struct A {
    const char* label;
    Cart x;
    float pv, spv;
  };
  const A atoms[] = {
      {"N(1)", Cart(0.000f, 0.000f, 0.000f), 4.90f, 0.06f},   {"C(1)", Cart(1.480f, 0.000f, 0.000f), 4.05f, 0.05f},
      {"C(2)", Cart(2.020f, 1.420f, 0.000f), 3.90f, 0.05f},   {"O(1)", Cart(1.230f, 2.380f, 0.000f), 6.30f, 0.06f},
      {"O(2)", Cart(3.260f, 1.520f, 0.000f), 6.30f, 0.06f},   {"H(1)", Cart(-0.350f, 0.960f, 0.000f), 0.70f, 0.04f},
      {"H(2)", Cart(-0.350f, -0.480f, 0.830f), 0.70f, 0.04f}, {"H(3)", Cart(-0.350f, -0.480f, -0.830f), 0.70f, 0.04f},
      {"H(4)", Cart(1.840f, -0.520f, 0.890f), 0.88f, 0.03f},  {"H(5)", Cart(1.840f, -0.520f, -0.890f), 0.88f, 0.03f},
  };
  for (const A& a : atoms) {
    int i = add_atom(run, a.label, a.x);
    run.mpoles[static_cast<std::size_t>(i)].pv = a.pv;
    run.mpoles[static_cast<std::size_t>(i)].spv = a.spv;
  }
}

std::vector<float> pvs(const Run& run) {
  std::vector<float> v(1, 0.0f);
  for (int i = 1; i <= run.atoms.nat; ++i) v.push_back(run.mpoles[static_cast<std::size_t>(i)].pv);
  return v;
}

float sum(const std::vector<float>& v, const std::vector<int>& atoms) {
  float s = 0;
  for (int i : atoms) s += v[static_cast<std::size_t>(i)];
  return s;
}

const std::vector<int> ALL10 = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};

// ---------------------------------------------------------------------------
// The three methods.

TEST(RescalePv, SigmaMethodOneFragmentAndAnEmptyAnswer) {
  TestRun t("\n");
  t.write("vorn.inp", "FORMAT *shelx\nINPUT gly.res\nDATABANK\nSCALE *sigma diff fract\n");
  add_glycine(t.run);
  t.run.ctl.iscale = 3;
  const std::vector<float> before = pvs(t.run);
  rescalePv(t.run);
  const std::vector<float> after = pvs(t.run);
  EXPECT_NEAR(sum(after, ALL10), 30.0f, 1e-4);
  // the correction of each atom is proportional to its sigma(Pv)
  const float sdb = sum(before, ALL10);
  for (int i : ALL10) {
    auto a = static_cast<std::size_t>(i);
    EXPECT_NEAR(after[a] - before[a], t.run.mpoles[a].spv * (30.0f - sdb) / 0.46f, 1e-5) << i;
  }
  EXPECT_THAT(t.out.str(), HasSubstr("\n Using ALL atoms for fragment 1 !\n"));
  EXPECT_THAT(t.out.str(), HasSubstr(" Enter net charge of fragment   1 [0.] : "));
  EXPECT_THAT(t.out.str(), HasSubstr("\n Sum of sigma(Pv)    =     0.460000\n"));
  EXPECT_THAT(t.lst.str(), HasSubstr("\n Using sigmaPv method for rescaling...\n"));
  EXPECT_THAT(t.lst.str(), HasSubstr("Pv(free)    sCorr       Pv(new)"));
}

TEST(RescalePv, FractionMethodScalesEveryPvByOneFactor) {
  TestRun t;
  t.write("vorn.inp", "CHFRAG 1.\n");
  add_glycine(t.run);
  t.run.ctl.iscale = 2;
  const std::vector<float> before = pvs(t.run);
  const float sdb = sum(before, ALL10);
  rescalePv(t.run);
  const std::vector<float> after = pvs(t.run);
  for (int i : ALL10) {
    auto a = static_cast<std::size_t>(i);
    EXPECT_NEAR(after[a], before[a] * 29.0f / sdb, 1e-5) << i;
  }
  EXPECT_NEAR(sum(after, ALL10), 29.0f, 1e-4);
  EXPECT_THAT(t.out.str(), Not(HasSubstr("Enter net charge")));
  EXPECT_THAT(t.out.str(), HasSubstr("\n Rescaling Sum-of-Pv to     29.000000 el.   ( Charge =   +1.000 el. )\n"));
}

TEST(RescalePv, DifferenceMethodSharesTheDifferenceEqually) {
  TestRun t;
  t.write("vorn.inp", "CHFRAG -0.5\n");
  add_glycine(t.run);
  const std::vector<float> before = pvs(t.run);
  const float sdb = sum(before, ALL10);
  rescalePv(t.run);
  const std::vector<float> after = pvs(t.run);
  for (int i : ALL10) {
    auto a = static_cast<std::size_t>(i);
    EXPECT_NEAR(after[a] - before[a], (30.5f - sdb) / 10.0f, 1e-5) << i;
  }
  EXPECT_NEAR(sum(after, ALL10), 30.5f, 1e-4);
}

TEST(RescalePv, OccupancyWeightsTheFreeAtomPopulations) {
  TestRun t;
  t.write("vorn.inp", "CHFRAG 0\n");
  add_atom(t.run, "Cl(1)", Cart(0, 0, 0), 0.5f);
  add_atom(t.run, "Na(1)", Cart(2.8f, 0, 0), 0.5f);
  t.run.mpoles[1].pv = 3.9f;
  t.run.mpoles[2].pv = 0.1f;
  rescalePv(t.run);
  EXPECT_NEAR(t.run.mpoles[1].pv + t.run.mpoles[2].pv, 4.0f, 1e-5);  // (7 + 1) x 0.5
}

// ---------------------------------------------------------------------------
// Fragments.

TEST(RescalePvFragments, RangesWithNegativeNumbers) {
  TestRun t;
  t.write("vorn.inp",
          "NFRAG 2\n"
          "FRAG 1 2 3 8 9\n"
          "FRAG 2 1 4 -7 10\n"
          "CHFRAG 0. 1.\n");
  add_glycine(t.run);
  const std::vector<float> before = pvs(t.run);
  rescalePv(t.run);
  const std::vector<float> after = pvs(t.run);
  const std::vector<int> f1 = {2, 3, 8, 9}, f2 = {1, 4, 5, 6, 7, 10};
  // free atoms: fragment 1 C C H H = 10, fragment 2 N O O H H H = 20
  EXPECT_NEAR(sum(after, f1), 10.0f, 1e-4);
  EXPECT_NEAR(sum(after, f2), 19.0f, 1e-4);
  for (int i : f2) {
    auto a = static_cast<std::size_t>(i);
    EXPECT_NEAR(after[a] - before[a], (19.0f - sum(before, f2)) / 6.0f, 1e-5) << i;
  }
  EXPECT_THAT(t.out.str(), Not(HasSubstr("Using ALL atoms")));
  EXPECT_THAT(t.out.str(), HasSubstr("\n ***** Rescaling Pv's in fragment =   2 *****\n"));
}

TEST(RescalePvFragments, RepeatedAndContinuedFragLines) {
  TestRun t;
  t.write("vorn.inp",
          "NFRAG 1\n"
          "FRAG 1 1 2 \\\n"
          "  3 -5\n"
          "! FRAG 1 6 -10 is a comment\n"
          "FRAG 1 9\n"
          "CHFRAG 0\n");
  add_glycine(t.run);
  const std::vector<float> before = pvs(t.run);
  rescalePv(t.run);
  const std::vector<float> after = pvs(t.run);
  for (int i : {6, 7, 8, 10}) EXPECT_EQ(after[static_cast<std::size_t>(i)], before[static_cast<std::size_t>(i)]) << i;
  // N C C O O H = 5 + 8 + 12 + 1
  EXPECT_NEAR(sum(after, {1, 2, 3, 4, 5, 9}), 26.0f, 1e-4);
}

TEST(RescalePvFragments, FragLinesWithoutNfragMeanAllAtoms) {
  TestRun t;
  t.write("vorn.inp", "FRAG 1 1 -3\nCHFRAG 0\n");
  add_glycine(t.run);
  rescalePv(t.run);
  EXPECT_NEAR(sum(pvs(t.run), ALL10), 30.0f, 1e-4);
  EXPECT_THAT(t.out.str(), HasSubstr("Using ALL atoms for fragment 1 !"));
}

TEST(RescalePvFragments, MissingControlFileMeansAllAtoms) {
  TestRun t("0\n");
  add_glycine(t.run);
  rescalePv(t.run);
  EXPECT_NEAR(sum(pvs(t.run), ALL10), 30.0f, 1e-4);
}

TEST(RescalePvFragments, ChargesBeyondTheListAreZeroAndNothingIsAsked) {
  TestRun t;  // an empty standard input: a question would stop the run
  t.write("vorn.inp", "NFRAG 3\nFRAG 1 1 -3\nFRAG 2 4 -6\nFRAG 3 7 -10\nCHFRAG 1. -1.\n");
  add_glycine(t.run);
  rescalePv(t.run);
  EXPECT_THAT(t.out.str(), Not(HasSubstr("Enter net charge")));
  EXPECT_THAT(t.out.str(), HasSubstr("\n Rescaling Sum-of-Pv to      4.000000 el.   ( Charge =   +0.000 el. )\n"));
  const std::vector<float> after = pvs(t.run);
  EXPECT_NEAR(sum(after, {1, 2, 3}), 12.0f, 1e-4);
  EXPECT_NEAR(sum(after, {4, 5, 6}), 14.0f, 1e-4);
  EXPECT_NEAR(sum(after, {7, 8, 9, 10}), 4.0f, 1e-4);
}

TEST(RescalePvFragments, FragmentWithoutAtomsIsPassedOver) {
  TestRun t;
  t.write("vorn.inp", "NFRAG 2\nFRAG 1 1 -10\nCHFRAG 0 0\n");
  add_glycine(t.run);
  rescalePv(t.run);
  EXPECT_NEAR(sum(pvs(t.run), ALL10), 30.0f, 1e-4);
  EXPECT_THAT(t.out.str(), HasSubstr("\n Fragment   2 has no atoms : nothing to rescale\n"));
  EXPECT_THAT(t.lst.str(), Not(HasSubstr("nan")));
}

void expect_frag_error(const std::string& inp, const std::string& detail) {
  TestRun t;
  t.write("vorn.inp", inp);
  add_glycine(t.run);
  try {
    rescalePv(t.run);
    FAIL() << "no error for " << inp;
  } catch (const VornError& e) {
    EXPECT_EQ(e.routine(), "rescalePv");
    EXPECT_THAT(e.message(), HasSubstr("Error reading fragments from vorn.inp")) << e.message();
    EXPECT_THAT(e.message(), HasSubstr(detail)) << e.message();
  }
}

TEST(RescalePvFragments, BadFragLinesStopTheRun) {
  expect_frag_error("NFRAG 1\nFRAG 1 1 -12\nCHFRAG 0\n", "atom 12 is not one of the atoms 1..10");
  expect_frag_error("NFRAG 2\nCHFRAG 0 0\nFRAG 1 1 -5\nFRAG 2 6 0\n", "line 4: atom 0");
  expect_frag_error("NFRAG 2\nCHFRAG 0 0\nFRAG 1 1 -5\nFRAG 2 6 20000\n", "atom 20000");
  expect_frag_error("NFRAG 1\nFRAG 1 1 C(3)\nCHFRAG 0\n", "not an integer");
  expect_frag_error("NFRAG 1\nFRAG 1 1.5\nCHFRAG 0\n", "not an integer");
  expect_frag_error("NFRAG 1\nFRAG 1 -5\nCHFRAG 0\n", "does not follow an atom number");
  expect_frag_error("NFRAG 1\nFRAG 1 7 -3\nCHFRAG 0\n", "runs backwards");
  expect_frag_error("NFRAG 1\nFRAG\nCHFRAG 0\n", "no fragment number");
  expect_frag_error("NFRAG\nFRAG 1 1 -10\n", "NFRAG");
}

// ---------------------------------------------------------------------------
// The charge prompt.

TEST(RescalePvPrompt, TextThatIsNotANumberIsAskedAgain) {
  TestRun t("one\n  -1.0  \n");
  add_glycine(t.run);
  rescalePv(t.run);
  EXPECT_NEAR(sum(pvs(t.run), ALL10), 31.0f, 1e-4);
  const std::string out = t.out.str();
  EXPECT_THAT(out, HasSubstr(" Enter net charge of fragment   1 [0.] :  Not a number : [one]"));
  EXPECT_NE(out.find("Enter net charge"), out.rfind("Enter net charge"));
}

TEST(RescalePvPrompt, EndOfInputStopsWithAdvice) {
  TestRun t("");
  add_glycine(t.run);
  const std::vector<float> before = pvs(t.run);
  try {
    rescalePv(t.run);
    FAIL() << "no error";
  } catch (const VornError& e) {
    EXPECT_EQ(e.routine(), "rescalePv");
    EXPECT_THAT(e.message(), HasSubstr("CHFRAG"));
  }
  EXPECT_EQ(pvs(t.run), before);
}

// ---------------------------------------------------------------------------
// Sums that cannot scale.

TEST(RescalePvZeroSums, FractionWithoutPopulationsFallsBackToDifference) {
  TestRun t;
  t.write("vorn.inp", "CHFRAG 0\n");
  add_glycine(t.run);
  t.run.ctl.iscale = 2;
  for (int i : ALL10) t.run.mpoles[static_cast<std::size_t>(i)].pv = 0.0f;
  rescalePv(t.run);
  const std::vector<float> after = pvs(t.run);
  for (int i : ALL10) EXPECT_NEAR(after[static_cast<std::size_t>(i)], 3.0f, 1e-5);
  EXPECT_THAT(t.lst.str(), HasSubstr("is rescaled by the difference method"));
  EXPECT_THAT(t.lst.str(), HasSubstr("Pv(free)    +Corr"));
}

TEST(RescalePvZeroSums, SigmaWithoutSigmasFallsBackToDifference) {
  TestRun t;
  t.write("vorn.inp", "CHFRAG 0\n");
  add_glycine(t.run);
  t.run.ctl.iscale = 3;
  for (int i : ALL10) t.run.mpoles[static_cast<std::size_t>(i)].spv = 0.0f;
  rescalePv(t.run);
  const std::vector<float> after = pvs(t.run);
  EXPECT_NEAR(sum(after, ALL10), 30.0f, 1e-4);
  for (float v : after) EXPECT_TRUE(std::isfinite(v));
  EXPECT_THAT(t.out.str(), HasSubstr("Sum of sigma(Pv) is zero"));
}

// ---------------------------------------------------------------------------
// Listing.

TEST(RescalePvListing, WaterWithTheDifferenceMethod) {
  TestRun t;
  t.write("vorn.inp", "CHFRAG 0.\n");
  add_atom(t.run, "O(1)", Cart(0.0f, 0.0f, 0.0f));
  add_atom(t.run, "H(1)", Cart(0.757f, 0.586f, 0.0f));
  add_atom(t.run, "H(2)", Cart(-0.757f, 0.586f, 0.0f));
  t.run.mpoles[1].pv = 6.2f;
  t.run.mpoles[2].pv = 0.85f;
  t.run.mpoles[3].pv = 0.85f;
  rescalePv(t.run);
  EXPECT_EQ(t.lst.str(),
            "\n Using difference method for rescaling...\n"
            "\n Using ALL atoms for fragment 1 !\n"
            "\n ***** Rescaling Pv's in fragment =   1 *****\n"
            "\n Sum-of-Pv[free]     =     8.000000 el.\n"
            " Sum-of-Pv[databank] =     7.900000 el.\n"
            " Difference          =     0.100000 el. (   1.25 % )\n"
            "\n Rescaling Sum-of-Pv to      8.000000 el.   ( Charge =   +0.000 el. )\n"
            "\n    NO  ATOM       Occup.    Pv(DB)      Pv(free)    +Corr       Pv(new)\n\n"
            "     1  O(1)       1.000     6.20000     6.00000    +0.03333     6.23333\n"
            "     2  H(1)       1.000     0.85000     1.00000    +0.03333     0.88333\n"
            "     3  H(2)       1.000     0.85000     1.00000    +0.03333     0.88333\n"
            "\n                    SUM      7.90000     8.00000     0.10000     8.00000\n");
  EXPECT_EQ(t.out.str(),
            "\n Using ALL atoms for fragment 1 !\n"
            "\n ***** Rescaling Pv's in fragment =   1 *****\n"
            "\n Sum-of-Pv[free]     =     8.000000 el.\n"
            " Sum-of-Pv[databank] =     7.900000 el.\n"
            " Difference          =     0.100000 el. (   1.25 % )\n"
            "\n Rescaling Sum-of-Pv to      8.000000 el.   ( Charge =   +0.000 el. )\n");
}

}  // namespace
}  // namespace vorn

// ---------------------------------------------------------------------------
// Whole runs: the answers piped in reach the fragments they were meant for.

namespace vorn {
namespace {

// Ammonium chloride in a 10 A cubic P1 cell: Cl 3.2 A from N, N-H 1.03 A.
const char* const kAmmoniumChloride =
    "TITL ammonium chloride\n"
    "CELL 0.71073 10.0 10.0 10.0 90 90 90\n"
    "LATT -1\n"
    "SFAC N H CL\n"
    "FVAR 1.0\n"
    "CL1   3   0.50000   0.50000   0.82000  11.00000   0.03000\n"
    "N1    1   0.50000   0.50000   0.50000  11.00000   0.03000\n"
    "H1    2   0.55947   0.55947   0.55947  11.00000   0.04000\n"
    "H2    2   0.55947   0.44053   0.44053  11.00000   0.04000\n"
    "H3    2   0.44053   0.55947   0.44053  11.00000   0.04000\n"
    "H4    2   0.44053   0.44053   0.55947  11.00000   0.04000\n"
    "HKLF 4\n"
    "END\n";

// Fragment 2 names no atom. Chloride -1, ammonium +1: the chloride ends
// with 7 + 1 = 8 valence electrons, the ammonium with 5 + 4 - 1 = 8.
TEST(RescalePvWholeRun, AnEmptyFragmentStillTakesItsAnswer) {
  TestRun t("-1\n0\n1\n");
  t.write("nh4cl.res", kAmmoniumChloride);
  t.write("vorn.inp", "FORMAT *shelx\nINPUT nh4cl.res\nDATABANK " + std::string(VORN_SOURCE_DIR) +
                          "/examples/databank/vorn_example.db\nNFRAG 3\nFRAG 1 1\nFRAG 3 2 -6\n");
  ASSERT_EQ(vorn_main(t.run, {}), 0) << t.out.str();
  const std::string out = t.out.str();
  for (int j = 1; j <= 3; ++j)
    EXPECT_THAT(out, HasSubstr(" Enter net charge of fragment   " + std::to_string(j) + " [0.] : "));
  EXPECT_THAT(out, HasSubstr(" Fragment   2 has no atoms : nothing to rescale"));
  EXPECT_THAT(out, HasSubstr("( Charge =   +1.000 el. )"));
  const std::vector<float> pv = pvs(t.run);
  EXPECT_NEAR(pv[1], 8.0f, 1e-5);
  EXPECT_NEAR(sum(pv, {2, 3, 4, 5, 6}), 8.0f, 1e-5);
}

// A charge given to a fragment without atoms is lost: the listing says so.
TEST(RescalePvWholeRun, ChargeOfAnEmptyFragmentIsReported) {
  TestRun t;
  t.write("nh4cl.res", kAmmoniumChloride);
  t.write("vorn.inp", "FORMAT *shelx\nINPUT nh4cl.res\nDATABANK " + std::string(VORN_SOURCE_DIR) +
                          "/examples/databank/vorn_example.db\nNFRAG 2\nFRAG 1 1 -6\nCHFRAG 0 -1\n");
  ASSERT_EQ(vorn_main(t.run, {}), 0) << t.out.str();
  EXPECT_THAT(t.out.str(), HasSubstr(" Its net charge   -1.000 el. is given to no atom"));
  EXPECT_NEAR(sum(pvs(t.run), {1, 2, 3, 4, 5, 6}), 16.0f, 1e-5);
}

}  // namespace
}  // namespace vorn
