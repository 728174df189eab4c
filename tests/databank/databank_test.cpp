#include "databank/databank.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "base/error.hpp"
#include "base/text.hpp"
#include "support/builders.hpp"

namespace vorn {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using test::add_atom;
using test::TestRun;

// Methanol, CH3-OH, with standard bond lengths (C-O 1.427, C-H 1.09,
// O-H 0.96 A) and tetrahedral angles at C.
struct Methanol {
  int c, o, h1, h2, h3, ho;
};

Methanol add_methanol(Run& run) {
  Methanol m{};
  m.c = add_atom(run, "C(1)", Cart(0.0f, 0.0f, 0.0f));
  m.o = add_atom(run, "O(1)", Cart(1.427f, 0.0f, 0.0f));
  m.h1 = add_atom(run, "H(1)", Cart(-0.363f, 1.028f, 0.0f));
  m.h2 = add_atom(run, "H(2)", Cart(-0.363f, -0.514f, 0.890f));
  m.h3 = add_atom(run, "H(3)", Cart(-0.363f, -0.514f, -0.890f));
  m.ho = add_atom(run, "H(4)", Cart(1.732f, 0.910f, 0.0f));
  return m;
}

// What the local-axes stage and the group recognition leave for an atom.
void describe(Run& run, int atom, const std::string& sym, int lpg, std::array<int, 3> forh = {},
              const std::string& group = "") {
  run.atoms.sitesym[static_cast<std::size_t>(atom)] = pad(sym, 5);
  run.lPG = lpg;
  run.forring = {0, 0};
  run.forh[static_cast<std::size_t>(atom)] = forh;
  run.except.flag[static_cast<std::size_t>(atom)] = group.empty() ? 0 : 1;
  run.except.group[static_cast<std::size_t>(atom)] = pad(upper(group), 40);
}

void use_db(Run& run, const std::string& text) { run.db = TextFile::from_string(text, "test.db"); }

std::string example_db_path() { return std::string(VORN_SOURCE_DIR) + "/examples/databank/vorn_example.db"; }

// The methyl carbon of methanol: four neighbours, H x3 and O x1.
const char* const METHYL_ON_O =
    "NEIG 4 2 0 0  nei typ ring size  3M  planar F\n"
    "TYPE 1 1 3\n"
    "TYPE 2 8 1\n";

TEST(Pval, CountsTheValenceElectronsOfTheScatLine) {
  EXPECT_EQ(pval(1), 1.0f);
  EXPECT_EQ(pval(2), 2.0f);
  EXPECT_EQ(pval(3), 1.0f);
  EXPECT_EQ(pval(6), 4.0f);
  EXPECT_EQ(pval(7), 5.0f);
  EXPECT_EQ(pval(8), 6.0f);
  EXPECT_EQ(pval(10), 8.0f);
  EXPECT_EQ(pval(11), 1.0f);
  EXPECT_EQ(pval(17), 7.0f);
  EXPECT_EQ(pval(18), 8.0f);
  EXPECT_EQ(pval(26), 8.0f);
  EXPECT_EQ(pval(30), 12.0f);
  EXPECT_EQ(pval(36), 18.0f);
  // Rb, Sr: 5s; Y to Cd: 4d and 5s; In to Xe: 5s and 5p over a 4d core.
  EXPECT_EQ(pval(37), 1.0f);
  EXPECT_EQ(pval(42), 6.0f);
  EXPECT_EQ(pval(46), 10.0f);
  EXPECT_EQ(pval(48), 12.0f);
  EXPECT_EQ(pval(49), 3.0f);
  EXPECT_EQ(pval(50), 4.0f);
  EXPECT_EQ(pval(53), 7.0f);
  EXPECT_EQ(pval(54), 8.0f);
  // Beyond Xe the valence shells of the SCAT line: Cs 6s; Ho 4f11 6s2; Pt
  // 5d9 6s1 over a 4f core; Rn 6s2 6p6 over 4f and 5d cores; U 5f3 6d1 7s2.
  EXPECT_EQ(pval(55), 1.0f);
  EXPECT_EQ(pval(67), 13.0f);
  EXPECT_EQ(pval(78), 10.0f);
  EXPECT_EQ(pval(86), 8.0f);
  EXPECT_EQ(pval(92), 6.0f);
  // Beyond Lr, where no SCAT line exists, outside the preceding noble gas.
  EXPECT_EQ(pval(104), 18.0f);
}

// ---------------------------------------------------------------------------
// Not found.

TEST(ReadDBNotFound, EmptyDatabankGivesNeutralAtomDefaults) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  describe(t.run, m.c, "3m", 0);
  use_db(t.run, "");
  t.run.dbrec.pv = 99;  // a previous atom's values must not survive
  t.run.dbrec.P(2, 1) = 5;
  ReadDB(t.run, m.c);
  const DbRecord& r = t.run.dbrec;
  EXPECT_EQ(r.found, 0);
  EXPECT_EQ(r.pv, 4.0f);
  EXPECT_EQ(r.kappa, 1.0f);
  EXPECT_EQ(r.kappap, 1.0f);
  EXPECT_EQ(r.spv, 0.01f);
  for (int l = 0; l <= 4; ++l)
    for (int mm = -l; mm <= l; ++mm) EXPECT_EQ(r.P(l, mm), 0.0f);
  EXPECT_EQ(t.run.dbc.searched, 1);
  EXPECT_EQ(t.run.dbc.found, 0);
  EXPECT_EQ(t.run.dbc.notfound, 1);
  EXPECT_THAT(t.lst.str(), HasSubstr("\n ReadDB :: atom C(1) was NOT found in the DataBank\n"));
}

TEST(ReadDBNotFound, EntriesOfOtherElementsOnly) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  describe(t.run, m.o, "m", 1, {}, "alcohol");
  use_db(t.run, std::string("ATOM 6 C methyl\n") + METHYL_ON_O + "PVAL 4.1 1.0 0.9 0.05\nEND\n");
  ReadDB(t.run, m.o);
  EXPECT_EQ(t.run.dbrec.found, 0);
  EXPECT_EQ(t.run.dbrec.pv, 6.0f);
  EXPECT_EQ(t.run.dbc.notfound, 1);
}

TEST(ReadDBNotFound, LowerCaseHeadLineIsNotAnEntry) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  describe(t.run, m.c, "3m", 0);
  use_db(t.run, std::string("atom 6 C methyl\n") + METHYL_ON_O + "PVAL 4.1 1.0 0.9 0.05\nEND\n");
  ReadDB(t.run, m.c);
  EXPECT_EQ(t.run.dbrec.found, 0);
  EXPECT_EQ(t.run.dbrec.pv, 4.0f);
}

// ---------------------------------------------------------------------------
// Matching.

TEST(ReadDBMatch, FirstMatchingEntryWins) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  describe(t.run, m.c, "3m", 0);
  use_db(t.run, std::string("ATOM 6 C first methyl\n") + METHYL_ON_O +
                    "PVAL 4.11 1.01 0.91 0.05\nPLMS 3 3 0.25\n"
                    "ATOM 6 C second methyl\n" +
                    METHYL_ON_O + "PVAL 4.22 1.02 0.92 0.06\nPLMS 3 3 0.35\nEND\n");
  ReadDB(t.run, m.c);
  const DbRecord& r = t.run.dbrec;
  EXPECT_EQ(r.found, 1);
  EXPECT_FLOAT_EQ(r.pv, 4.11f);
  EXPECT_FLOAT_EQ(r.kappa, 1.01f);
  EXPECT_FLOAT_EQ(r.kappap, 0.91f);
  EXPECT_FLOAT_EQ(r.spv, 0.05f);
  EXPECT_FLOAT_EQ(r.P(3, 3), 0.25f);
  EXPECT_EQ(r.comment, "first methyl");
  EXPECT_EQ(t.run.dbc.found, 1);
  EXPECT_THAT(t.lst.str(), HasSubstr("\n ReadDB :: atom C(1) was found in the DataBank\n"));
  EXPECT_THAT(t.lst.str(), HasSubstr("\n DB comment for C(1)     = [first methyl]\n"));
}

TEST(ReadDBMatch, EveryAtomIsMatchedFromTheStartOfTheFile) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  use_db(t.run, std::string("ATOM 6 C methyl\n") + METHYL_ON_O +
                    "PVAL 4.11 1.0 0.9 0.05\n"
                    "ATOM 1 H methyl H\nPRNT 6 4 3 z nei nh CYL\nPVAL 0.89 1.16 1.16 0.03\nEND\n");
  describe(t.run, m.h1, "cyl", 1, {4, 6, 3});
  ReadDB(t.run, m.h1);
  EXPECT_FLOAT_EQ(t.run.dbrec.pv, 0.89f);
  describe(t.run, m.c, "3m", 0);
  ReadDB(t.run, m.c);
  EXPECT_FLOAT_EQ(t.run.dbrec.pv, 4.11f);
  EXPECT_EQ(t.run.dbc.searched, 2);
  EXPECT_EQ(t.run.dbc.found, 2);
}

TEST(ReadDBMatch, BlankSiteSymmetryFitsAnyNonHydrogenAtom) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  use_db(t.run,
         "ATOM 6 C wrong symmetry\nNEIG 4 2 0 0 nei typ ring size MM2 planar F\nTYPE 1 1 3\nTYPE 2 8 1\n"
         "PVAL 4.5 1 1 0.05\n"
         "ATOM 6 C any symmetry\nNEIG 4 2 0 0 nei typ ring size\nTYPE 1 1 3\nTYPE 2 8 1\n"
         "PVAL 4.2 1 1 0.05\nEND\n");
  for (const char* sym : {"3m", "NO", "m"}) {
    describe(t.run, m.c, sym, 0);
    ReadDB(t.run, m.c);
    EXPECT_EQ(t.run.dbrec.found, 1) << sym;
    EXPECT_FLOAT_EQ(t.run.dbrec.pv, 4.2f) << sym;
  }
  describe(t.run, m.c, "mm2", 0);
  ReadDB(t.run, m.c);
  EXPECT_FLOAT_EQ(t.run.dbrec.pv, 4.5f);
}

TEST(ReadDBMatch, BlankSiteSymmetryOfHydrogenEntryFitsOnlyBlank) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  use_db(t.run, "ATOM 1 H no symmetry code\nPRNT 6 4 3 z nei nh\nPVAL 0.8 1.1 1.1 0.03\nEND\n");
  describe(t.run, m.h1, "cyl", 1, {4, 6, 3});
  ReadDB(t.run, m.h1);
  EXPECT_EQ(t.run.dbrec.found, 0);
  describe(t.run, m.h1, "", 1, {4, 6, 3});
  ReadDB(t.run, m.h1);
  EXPECT_EQ(t.run.dbrec.found, 1);
  EXPECT_FLOAT_EQ(t.run.dbrec.pv, 0.8f);
}

TEST(ReadDBMatch, HydrogenNeedsTheParentDescription) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  use_db(t.run,
         "ATOM 1 H methylene H\nPRNT 6 4 2 z nei nh CYL\nPVAL 0.81 1 1 0.03\n"
         "ATOM 1 H on nitrogen\nPRNT 7 4 3 z nei nh CYL\nPVAL 0.82 1 1 0.03\n"
         "ATOM 1 H methyl H\nPRNT 6 4 3 z nei nh CYL\nPVAL 0.83 1 1 0.03\nEND\n");
  // forh holds the parent's bonds, atomic number and H count, in that order
  describe(t.run, m.h2, "cyl", 1, {4, 6, 3});
  ReadDB(t.run, m.h2);
  EXPECT_FLOAT_EQ(t.run.dbrec.pv, 0.83f);
}

TEST(ReadDBMatch, NeighbourCountsTypesRingAndPlanarityMustAgree) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  describe(t.run, m.c, "3m", 0);
  auto entry = [](const std::string& neig, const std::string& types, const std::string& pv) {
    return "ATOM 6 C x\nNEIG " + neig + "\n" + types + "PVAL " + pv + " 1 1 0.05\n";
  };
  const std::string types = "TYPE 1 1 3\nTYPE 2 8 1\n";
  use_db(t.run, entry("3 2 0 0 a b c d 3M p F", types, "4.01") +                // neighbours
                    entry("4 3 0 0 a b c d 3M p F", "TYPE 1 1 3\nTYPE 2 8 1\nTYPE 3 6 1\n", "4.02") +  // types
                    entry("4 2 1 6 a b c d 3M p F", types, "4.03") +            // ring
                    entry("4 2 0 6 a b c d 3M p F", types, "4.04") +            // ring size
                    entry("4 2 0 0 a b c d 3M p T", types, "4.05") +            // planarity
                    entry("4 2 0 0 a b c d 3M p F", "TYPE 1 1 2\nTYPE 2 8 1\n", "4.06") +  // type count
                    entry("4 2 0 0 a b c d 3M p F", "TYPE 1 1 3\nTYPE 2 7 1\n", "4.07") +  // type element
                    entry("4 2 0 0 a b c d 3M p F", "TYPE 2 8 1\nTYPE 1 1 3\n", "4.08") + "END\n");
  ReadDB(t.run, m.c);
  EXPECT_EQ(t.run.dbrec.found, 1);
  EXPECT_FLOAT_EQ(t.run.dbrec.pv, 4.08f);  // type lines may come in any order
}

TEST(ReadDBMatch, PlanarityWordDefaultsByNeighbourCount) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  // O has two neighbours: an entry without the planarity word is planar
  use_db(t.run, "ATOM 8 O hydroxyl\nNEIG 2 2 0 0\nTYPE 1 1 1\nTYPE 2 6 1\nPVAL 6.1 1 1 0.05\nEND\n");
  describe(t.run, m.o, "m", 1);
  ReadDB(t.run, m.o);
  EXPECT_EQ(t.run.dbrec.found, 1);
  describe(t.run, m.o, "m", 0);
  ReadDB(t.run, m.o);
  EXPECT_EQ(t.run.dbrec.found, 0);
}

TEST(ReadDBMatch, KeywordLinesAreFoundPastOtherLinesAndComments) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  describe(t.run, m.c, "3m", 0);
  use_db(t.run,
         "ATOM 6 C methyl with notes\n"
         "REMARK the NEIG line follows\n"
         "! a comment\n"
         "NEIG 4 2 0 0  nei typ ring size  3M  planar F\n"
         "! types\n"
         "TYPE 1 1 3\n"
         "TYPE 2 8 1\n"
         "! values\n"
         "SOURCE made up\n"
         "PVAL 4.3 1.0 0.9 0.05\n"
         "! populations\n"
         "PLMS 1 0 0.1  3 -3 -0.2\n"
         "PLMS 4.2 2.8 0.3\n"
         "END\n");
  ReadDB(t.run, m.c);
  const DbRecord& r = t.run.dbrec;
  EXPECT_EQ(r.found, 1);
  EXPECT_FLOAT_EQ(r.pv, 4.3f);
  EXPECT_FLOAT_EQ(r.P(1, 0), 0.1f);
  EXPECT_FLOAT_EQ(r.P(3, -3), -0.2f);
  EXPECT_FLOAT_EQ(r.P(4, 3), 0.3f);  // l and m rounded to the nearest integer
}

TEST(ReadDBMatch, PlmsLinesEndAtTheNextOtherLine) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  describe(t.run, m.c, "3m", 0);
  use_db(t.run, std::string("ATOM 6 C methyl\n") + METHYL_ON_O +
                    "PVAL 4.3 1.0 0.9 0.05\nPLMS 1 0 0.1\nREMARK\nPLMS 2 0 0.2\nEND\n");
  ReadDB(t.run, m.c);
  EXPECT_FLOAT_EQ(t.run.dbrec.P(1, 0), 0.1f);
  EXPECT_EQ(t.run.dbrec.P(2, 0), 0.0f);
}

// ---------------------------------------------------------------------------
// Functional-group entries.

const char* const ESTER_O =
    "ATOM 8 O plain\nNEIG 2 2 0 0 a b c d M p T\nTYPE 1 1 1\nTYPE 2 6 1\nPVAL 6.01 1 1 0.05\n"
    "ATOM 8 O ester\nNEIG 2 2 0 0 a b c d M p T\nTYPE 1 1 1\nTYPE 2 6 1\nEXCEPT GROUP ester\nPVAL 6.02 1 1 0.05\n"
    "ATOM 8 O alcohol\nNEIG 2 2 0 0 a b c d M p T\nTYPE 1 1 1\nTYPE 2 6 1\nexcept  group alcohol\nPVAL 6.03 1 1 0.05\n"
    "END\n";

TEST(ReadDBExcept, AtomWithGroupSkipsEntriesWithoutExceptLine) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  use_db(t.run, ESTER_O);
  describe(t.run, m.o, "m", 1, {}, "ester");
  ReadDB(t.run, m.o);
  EXPECT_FLOAT_EQ(t.run.dbrec.pv, 6.02f);
  EXPECT_THAT(t.lst.str(), HasSubstr("\n Functional group = [ESTER]\n"));
}

TEST(ReadDBExcept, AtomWithoutGroupSkipsExceptionEntries) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  use_db(t.run, std::string(ESTER_O).substr(std::string(ESTER_O).find("ATOM 8 O ester")));
  describe(t.run, m.o, "m", 1);
  ReadDB(t.run, m.o);
  EXPECT_EQ(t.run.dbrec.found, 0);
}

TEST(ReadDBExcept, GroupNamesCompareInUpperCase) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  use_db(t.run, ESTER_O);
  describe(t.run, m.o, "m", 1, {}, "Alcohol");
  ReadDB(t.run, m.o);
  EXPECT_FLOAT_EQ(t.run.dbrec.pv, 6.03f);
}

TEST(ReadDBExcept, NameStartsOneCharacterAfterGroup) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  use_db(t.run,
         "ATOM 8 O two blanks\nNEIG 2 2 0 0 a b c d M p T\nTYPE 1 1 1\nTYPE 2 6 1\nEXCEPT GROUP  ester\n"
         "PVAL 6.1 1 1 0.05\n"
         "ATOM 8 O equals sign\nNEIG 2 2 0 0 a b c d M p T\nTYPE 1 1 1\nTYPE 2 6 1\nEXCEPT GROUP=ester\n"
         "PVAL 6.2 1 1 0.05\nEND\n");
  describe(t.run, m.o, "m", 1, {}, "ester");
  ReadDB(t.run, m.o);
  EXPECT_FLOAT_EQ(t.run.dbrec.pv, 6.2f);
}

TEST(ReadDBExcept, HydrogenEntriesCheckTheGroupBeforeTheParent) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  use_db(t.run,
         "ATOM 1 H hydroxyl, plain\nPRNT 8 2 1 z nei nh CYL\nPVAL 0.5 1 1 0.03\n"
         "ATOM 1 H hydroxyl, alcohol\nPRNT 8 2 1 z nei nh CYL\nEXCEPT GROUP alcohol\nPVAL 0.6 1 1 0.03\nEND\n");
  describe(t.run, m.ho, "cyl", 1, {2, 8, 1}, "alcohol");
  t.run.ctl.iverb = 2;
  ReadDB(t.run, m.ho);
  EXPECT_FLOAT_EQ(t.run.dbrec.pv, 0.6f);
  const std::string lst = t.lst.str();
  EXPECT_THAT(lst, HasSubstr("\n Functional group = [ALCOHOL], but no functional group"
                             " specified for this entry..\n Skipping DB entry...\n\n"));
  EXPECT_THAT(lst, HasSubstr("\n   Exception entry in DataBank :\n"));
  EXPECT_THAT(lst, HasSubstr("\n      functional group   = [" + pad("ALCOHOL", 40) + "]\n"));
  EXPECT_THAT(lst, HasSubstr("\n      group read from DB = [" + pad("ALCOHOL", 40) + "]\n"));
}

TEST(ReadDBExcept, ExceptLineWithoutGroupIsReported) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  use_db(t.run, "ATOM 8 O bad\nNEIG 2 2 0 0 a b c d M p T\nTYPE 1 1 1\nTYPE 2 6 1\nEXCEPT ester\nPVAL 6 1 1 0\nEND\n");
  describe(t.run, m.o, "m", 1, {}, "ester");
  try {
    ReadDB(t.run, m.o);
    FAIL() << "no error";
  } catch (const VornError& e) {
    EXPECT_EQ(e.routine(), "exceptdb");
    EXPECT_THAT(e.message(), HasSubstr("line 5"));
    EXPECT_THAT(e.message(), HasSubstr("test.db"));
  }
}

// ---------------------------------------------------------------------------
// The end of the file.

TEST(ReadDBEndOfFile, LastEntryMayEndWithItsPlmsLines) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  describe(t.run, m.c, "3m", 0);
  use_db(t.run, std::string("ATOM 6 C methyl\n") + METHYL_ON_O + "PVAL 4.3 1.0 0.9 0.05\nPLMS 3 3 0.25\n! the end\n");
  ReadDB(t.run, m.c);
  EXPECT_EQ(t.run.dbrec.found, 1);
  EXPECT_FLOAT_EQ(t.run.dbrec.P(3, 3), 0.25f);
  use_db(t.run, std::string("ATOM 6 C methyl\n") + METHYL_ON_O + "PVAL 4.4 1.0 0.9 0.05");
  ReadDB(t.run, m.c);
  EXPECT_FLOAT_EQ(t.run.dbrec.pv, 4.4f);
}

void expect_eof_error(const std::string& db, const std::string& what) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  describe(t.run, m.c, "3m", 0);
  use_db(t.run, db);
  try {
    ReadDB(t.run, m.c);
    FAIL() << "no error for " << what;
  } catch (const VornError& e) {
    EXPECT_EQ(e.routine(), "ReadFile");
    EXPECT_THAT(e.message(), HasSubstr("Error reading unit =           47")) << e.message();
    EXPECT_THAT(e.message(), HasSubstr(what)) << e.message();
    EXPECT_THAT(e.message(), HasSubstr("test.db")) << e.message();
  }
}

TEST(ReadDBEndOfFile, MissingRequiredLinesStopTheRun) {
  expect_eof_error("ATOM 6 C methyl\n! nothing more\n", "the NEIG line of the entry on line 1");
  expect_eof_error("ATOM 6 C methyl\nNEIG 4 2 0 0 a b c d 3M p F\nTYPE 1 1 3\n", "a neighbour-type line");
  expect_eof_error(std::string("ATOM 6 C methyl\n") + METHYL_ON_O, "the line after the description");
  expect_eof_error(std::string("ATOM 6 C methyl\n") + METHYL_ON_O + "REMARK\n", "the PVAL line");
}

TEST(ReadDBEndOfFile, NonMatchingLastEntryIsPassedOver) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  describe(t.run, m.c, "3m", 0);
  // rejected at its NEIG line, so its missing PVAL line is never needed
  use_db(t.run, "ATOM 6 C ring carbon\nNEIG 3 2 1 6 a b c d M p T\n");
  ReadDB(t.run, m.c);
  EXPECT_EQ(t.run.dbrec.found, 0);
}

// ---------------------------------------------------------------------------
// Bad entries.

void expect_readdb_error(const std::string& db, const std::string& what) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  describe(t.run, m.c, "3m", 0);
  use_db(t.run, db);
  try {
    ReadDB(t.run, m.c);
    FAIL() << "no error for " << what;
  } catch (const VornError& e) {
    EXPECT_EQ(e.routine(), "ReadDB");
    EXPECT_THAT(e.message(), HasSubstr(what)) << e.message();
    EXPECT_THAT(e.message(), HasSubstr("test.db")) << e.message();
  }
}

TEST(ReadDBBadInput, UnreadableValuesNameTheLine) {
  expect_readdb_error("ATOM C carbon\n", "[C]");
  expect_readdb_error("ATOM 6 C methyl\nNEIG 4 2 x y 3M\n", "line 2");
  expect_readdb_error(std::string("ATOM 6 C methyl\nNEIG 4 2 0 0 a b c d 3M p F\nTYPE 1 1\nTYPE 2 8 1\n"),
                      "line 3");
  expect_readdb_error(std::string("ATOM 6 C methyl\n") + METHYL_ON_O + "PVAL 4.1 1.0\nEND\n", "line 5");
  expect_readdb_error(std::string("ATOM 6 C methyl\n") + METHYL_ON_O + "PVAL 4.1 1 1 0.1\nPLMS 1 0\nEND\n",
                      "line 6");
  expect_readdb_error(std::string("ATOM 6 C methyl\n") + METHYL_ON_O + "PVAL 4.1 1 1 0.1\nPLMS 5 0 0.1\nEND\n",
                      "l = 5");
  expect_readdb_error(std::string("ATOM 6 C methyl\n") + METHYL_ON_O + "PVAL 4.1 1 1 0.1\nPLMS 2 3 0.1\nEND\n",
                      "m = 3");
}

TEST(ReadDBBadInput, NoDatabankOpen) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  describe(t.run, m.c, "3m", 0);
  EXPECT_THROW(ReadDB(t.run, m.c), VornError);
  EXPECT_THROW(ReadDB(t.run, 99), VornError);
}

TEST(ReadDBFile, AnotherFileInPlaceIsReadAfresh) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  describe(t.run, m.c, "3m", 0);
  use_db(t.run, std::string("ATOM 6 C one\n") + METHYL_ON_O + "PVAL 4.1 1 1 0.1\nEND\n");
  ReadDB(t.run, m.c);
  EXPECT_FLOAT_EQ(t.run.dbrec.pv, 4.1f);
  use_db(t.run, std::string("ATOM 6 C two\n") + METHYL_ON_O + "PVAL 4.2 1 1 0.1\nEND\n");  // same name and size
  ReadDB(t.run, m.c);
  EXPECT_FLOAT_EQ(t.run.dbrec.pv, 4.2f);
}

// ---------------------------------------------------------------------------
// Atoms that share an environment.

// The listing of one call, from the first line of the search on.
std::string listing_of(TestRun& t, int atom) {
  const std::size_t from = t.lst.str().size();
  ReadDB(t.run, atom);
  return t.lst.str().substr(from);
}

std::string replaced(std::string s, const std::string& from, const std::string& to) {
  for (std::size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size())) s.replace(p, from.size(), to);
  return s;
}

const std::string METHYL_H_DB = std::string("ATOM 6 C methyl\n") + METHYL_ON_O +
                                "PVAL 4.11 1.0 0.9 0.05\n"
                                "ATOM 1 H other parent\nPRNT 7 4 3 z nei nh CYL\nPVAL 0.70 1.1 1.1 0.03\n"
                                "ATOM 1 H methyl H\nPRNT 6 4 3 z nei nh CYL\nPVAL 0.89 1.16 1.16 0.03\n"
                                "PLMS 1 0 0.12 2 0 0.05\n"
                                "! the line after the entry\n"
                                "NEXT 1 2 3\n"
                                "END\n";

TEST(ReadDBRepeat, SameEnvironmentGivesTheSameRecordListingAndPosition) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  use_db(t.run, METHYL_H_DB);
  for (int h : {m.h1, m.h2}) describe(t.run, h, "cyl", 1, {4, 6, 3});
  const std::string first = listing_of(t, m.h1);
  const DbRecord r1 = t.run.dbrec;
  std::string after1;
  ReadFile(t.run, after1);
  const std::string second = listing_of(t, m.h2);
  const DbRecord& r2 = t.run.dbrec;
  std::string after2;
  ReadFile(t.run, after2);

  EXPECT_EQ(second, replaced(first, "H(1)", "H(2)"));
  EXPECT_THAT(second, HasSubstr("\n DB comment for H(2)     = [methyl H]\n"));
  EXPECT_EQ(r2.found, 1);
  EXPECT_FLOAT_EQ(r2.pv, 0.89f);
  EXPECT_EQ(r2.comment, "methyl H");
  EXPECT_EQ(r2.plm, r1.plm);
  EXPECT_FLOAT_EQ(r2.P(2, 0), 0.05f);
  // the reading position is the one the scan left
  EXPECT_FALSE(after1.empty());
  EXPECT_EQ(after2, after1);
  EXPECT_EQ(t.run.dbc.searched, 2);
  EXPECT_EQ(t.run.dbc.found, 2);
}

TEST(ReadDBRepeat, AnyChangeOfTheEnvironmentIsMatchedAfresh) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  use_db(t.run, METHYL_H_DB + ESTER_O);
  describe(t.run, m.h1, "cyl", 1, {4, 6, 3});
  ReadDB(t.run, m.h1);
  EXPECT_FLOAT_EQ(t.run.dbrec.pv, 0.89f);
  describe(t.run, m.h2, "cyl", 1, {4, 7, 3});  // another parent element
  ReadDB(t.run, m.h2);
  EXPECT_FLOAT_EQ(t.run.dbrec.pv, 0.70f);
  describe(t.run, m.h3, "cs", 1, {4, 6, 3});  // another site symmetry
  ReadDB(t.run, m.h3);
  EXPECT_EQ(t.run.dbrec.found, 0);
  EXPECT_FLOAT_EQ(t.run.dbrec.pv, 1.0f);
  EXPECT_EQ(t.run.dbrec.P(1, 0), 0.0f);  // nothing left over from the matched hydrogen

  // The same oxygen with and without a functional group, and with another one.
  describe(t.run, m.o, "m", 1, {}, "ester");
  ReadDB(t.run, m.o);
  EXPECT_FLOAT_EQ(t.run.dbrec.pv, 6.02f);
  EXPECT_THAT(t.lst.str(), HasSubstr("\n Functional group = [ESTER]\n"));
  describe(t.run, m.o, "m", 1);
  ReadDB(t.run, m.o);
  EXPECT_FLOAT_EQ(t.run.dbrec.pv, 6.01f);
  describe(t.run, m.o, "m", 1, {}, "alcohol");
  ReadDB(t.run, m.o);
  EXPECT_FLOAT_EQ(t.run.dbrec.pv, 6.03f);
  EXPECT_EQ(t.run.dbc.found, 5);
  EXPECT_EQ(t.run.dbc.notfound, 1);
}

TEST(ReadDBRepeat, NeighboursAreSearchedAfreshForEveryCall) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  use_db(t.run, std::string("ATOM 8 O hydroxyl\nNEIG 2 2 0 0 a b c d M p T\nTYPE 1 1 1\nTYPE 2 6 1\n"
                            "PVAL 6.2 1 1 0.05\n"
                            "ATOM 8 O bare\nNEIG 1 1 0 0 a b c d M p T\nTYPE 1 6 1\nPVAL 6.1 1 1 0.05\nEND\n"));
  describe(t.run, m.o, "m", 1);
  const DbQuery q = dbquery(t.run, m.o);
  EXPECT_EQ(q.inei, 2);
  EXPECT_EQ(q.ity, 2);
  EXPECT_EQ(q.ztype, (std::vector<int>{0, 1, 6}));  // increasing atomic number, not distance order
  EXPECT_EQ(q.ntypenei, (std::vector<int>{0, 1, 1}));
  ReadDB(t.run, m.o);
  EXPECT_FLOAT_EQ(t.run.dbrec.pv, 6.2f);
  // The hydroxyl hydrogen moves away: the same oxygen now has one neighbour.
  t.run.atoms.xc[static_cast<std::size_t>(m.ho)] = Cart(4.0f, 3.0f, 0.0f);
  ReadDB(t.run, m.o);
  EXPECT_FLOAT_EQ(t.run.dbrec.pv, 6.1f);
  EXPECT_THAT(t.lst.str(), HasSubstr("  inei  =            1\n"));
}

TEST(ReadDBRepeat, VerboseListingShowsTheScanForEveryAtom) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  t.run.ctl.iverb = 2;
  use_db(t.run, METHYL_H_DB);
  for (int h : {m.h1, m.h2}) describe(t.run, h, "cyl", 1, {4, 6, 3});
  const std::string first = listing_of(t, m.h1);
  const std::string second = listing_of(t, m.h2);
  EXPECT_THAT(second, HasSubstr("\n Reading atom = ATOM 1 H methyl H\n"));
  EXPECT_EQ(second, replaced(first, "H(1)", "H(2)"));
  EXPECT_FLOAT_EQ(t.run.dbrec.pv, 0.89f);
}

// ---------------------------------------------------------------------------
// Listing.

TEST(ReadDBListing, DescriptionAndParameters) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  describe(t.run, m.c, "3m", 0);
  use_db(t.run, std::string("ATOM 6 C methyl on O\n") + METHYL_ON_O +
                    "PVAL 4.02 1.0 0.93 0.05\nPLMS 1 0 0.03 2 0 -0.02 3 0 0.15 3 3 0.24 4 0 0.01 4 3 0.01\nEND\n");
  ReadDB(t.run, m.c);
  EXPECT_EQ(t.lst.str(),
            "\n"
            " Searching DataBank for a match : \n"
            "  ityp  =            6\n"
            "  iring =            0\n"
            "  inei  =            4\n"
            "  ity   =            2\n"
            "  imemb =            0\n"
            "   asymi = [3M   ]\n"
            "  lPG   =            0\n"
            "  type =            1  atom =            1  neib =            3\n"
            "  type =            2  atom =            8  neib =            1\n"
            " \n"
            "\n"
            " ReadDB :: atom C(1) was found in the DataBank\n"
            "\n"
            " DB comment for C(1)     = [methyl on O]\n"
            "\n"
            " Pseudoatom parameters assigned to C(1) : \n"
            "\n"
            "   Pval, Kappa, Kappa', sigmaPv =       4.0200      1.0000      0.9300      0.0500\n"
            "    2nd Monopole:  0.000\n"
            "         Dipoles:  0.000  0.030  0.000\n"
            "     Quadrupoles:  0.000  0.000 -0.020  0.000  0.000\n"
            "       Octupoles:  0.000  0.000  0.000  0.150  0.000  0.000  0.240\n"
            "   Hexadecapoles:  0.000  0.000  0.000  0.000  0.010  0.000  0.000  0.010  0.000\n");
}

TEST(ReadDBListing, VerboseShowsEntriesRead) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  t.run.ctl.iverb = 2;
  use_db(t.run, std::string("ATOM 6 C methyl on O\n") + METHYL_ON_O + "PVAL 4.02 1.0 0.93 0.05\nEND\n" +
                    "ATOM 1 H methyl H\nPRNT 6 4 3 z nei nh CYL\nPVAL 0.89 1.16 1.16 0.03\nEND\n");
  describe(t.run, m.c, "3m", 0);
  ReadDB(t.run, m.c);
  std::string lst = t.lst.str();
  EXPECT_THAT(lst, HasSubstr("\n Reading atom = ATOM 6 C methyl on O\n"
                             "   jnei=  4 jty=  2 jring=  0 asymr=[3M   ] planar=F\n"
                             " jmemb=  0\n"
                             "   type =  1 jatum =  1 jndt =  3\n"
                             "   type =  2 jatum =  8 jndt =  1\n"));
  EXPECT_THAT(lst, Not(HasSubstr("methyl H")));  // hydrogen entries are not read for carbon
  describe(t.run, m.h1, "cyl", 1, {4, 6, 3});
  ReadDB(t.run, m.h1);
  EXPECT_THAT(t.lst.str(), HasSubstr("\n Reading atom = ATOM 1 H methyl H\n   jhp =  6 jsp =  4 jhnei=  3 asymr=[CYL  ]\n"));
}

TEST(ReadDBListing, QuietAtVerbosityOne) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  describe(t.run, m.o, "m", 1, {}, "ester");
  use_db(t.run, ESTER_O);
  ReadDB(t.run, m.o);
  EXPECT_THAT(t.lst.str(), Not(HasSubstr("Reading atom")));
  EXPECT_THAT(t.lst.str(), Not(HasSubstr("Skipping DB entry")));
}

// ---------------------------------------------------------------------------
// The line reader and the exception check on their own.

TEST(ReadFile, SkipsCommentsAndSplitsWordsFromNumbers) {
  TestRun t;
  add_methanol(t.run);
  use_db(t.run, "! comment\nneig 4 2 0 0 nei typ 3m planar f\n");
  std::string line;
  ReadFile(t.run, line);
  EXPECT_EQ(line.size(), 200u);
  EXPECT_EQ(t.run.tok.n, 6);
  EXPECT_EQ(t.run.tok[1], "NEIG    ");
  EXPECT_EQ(t.run.tok[4], "3M      ");
  EXPECT_EQ(t.run.tok[6], "F       ");
  int a = 0, b = 0, c = 0, d = 0;
  EXPECT_TRUE(ff::ListReader(line).read(a, b, c, d));
  EXPECT_EQ(a + b + c + d, 6);
  try {
    ReadFile(t.run, line);
    FAIL();
  } catch (const VornError& e) {
    EXPECT_EQ(e.routine(), "ReadFile");
    EXPECT_THAT(e.message(), HasSubstr("Error reading unit ="));
  }
}

TEST(ReadFile, ALineWhoseNumbersGoBeyondColumn200Stops) {
  // Cut at column 200 the PLMS line would lose its last population.
  std::string plms = "PLMS";
  for (int m = -4; m <= 4; ++m) plms += "        4 " + std::to_string(m) + "    0.010000";
  ASSERT_GT(plms.size(), 200u);
  TestRun t;
  Methanol m = add_methanol(t.run);
  describe(t.run, m.c, "3m", 0);
  use_db(t.run, "ATOM 6 C methyl " + std::string(250, 'c') + "\n" + METHYL_ON_O + "PVAL 4.1 1.0 0.9 0.05\n" + plms +
                    "\nEND\n");
  try {
    ReadDB(t.run, m.c);
    FAIL() << "no stop";
  } catch (const VornError& e) {
    EXPECT_EQ(e.routine(), "ReadFile");
    EXPECT_EQ(e.message(), "Line 6 of databank file test.db is longer than 200 characters");
  }
  // The long comment of a head line alone is no fault: it keeps 80 characters.
  TestRun u;
  Methanol n = add_methanol(u.run);
  describe(u.run, n.c, "3m", 0);
  use_db(u.run, "ATOM 6 C methyl " + std::string(250, 'c') + "\n" + METHYL_ON_O + "PVAL 4.1 1.0 0.9 0.05\nEND\n");
  ReadDB(u.run, n.c);
  EXPECT_EQ(u.run.dbrec.found, 1);
  EXPECT_EQ(u.run.dbrec.comment, "methyl " + std::string(73, 'c'));
}

TEST(ExceptDb, DecidesOnTheNextLine) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  describe(t.run, m.o, "m", 1, {}, "ester");
  use_db(t.run, "PVAL 1 1 1 1\nEXCEPT GROUP ester\n");
  std::string group(40, ' ');
  EXPECT_EQ(exceptdb(t.run, m.o, group), 1);  // no EXCEPT line: the line is left for the caller
  std::string line;
  ReadFile(t.run, line);
  EXPECT_EQ(t.run.tok[1], "PVAL    ");
  EXPECT_EQ(exceptdb(t.run, m.o, group), 0);
  EXPECT_EQ(group, pad("ESTER", 40));
}

// ---------------------------------------------------------------------------
// The project's example databank on a whole molecule.

TEST(ExampleDatabank, EveryAtomOfMethanolIsFound) {
  TestRun t;
  Methanol m = add_methanol(t.run);
  t.run.db = TextFile::open(example_db_path());
  ASSERT_TRUE(t.run.db.has_value());
  describe(t.run, m.c, "3m", 0);
  ReadDB(t.run, m.c);
  EXPECT_EQ(t.run.dbrec.comment, "C(sp3) methyl on oxygen");
  describe(t.run, m.o, "m", 1, {}, "alcohol");
  ReadDB(t.run, m.o);
  EXPECT_EQ(t.run.dbrec.comment, "O(sp3) alcohol hydroxyl oxygen");
  for (int h : {m.h1, m.h2, m.h3}) {
    describe(t.run, h, "cyl", 1, {4, 6, 3});
    ReadDB(t.run, h);
    EXPECT_EQ(t.run.dbrec.comment, "H-C(sp3) methyl hydrogen");
  }
  describe(t.run, m.ho, "cyl", 1, {2, 8, 1}, "alcohol");
  ReadDB(t.run, m.ho);
  EXPECT_EQ(t.run.dbrec.comment, "H-O alcohol hydrogen");
  EXPECT_FLOAT_EQ(t.run.dbrec.pv, 0.64f);
  EXPECT_FLOAT_EQ(t.run.dbrec.P(1, 0), 0.18f);
  EXPECT_EQ(t.run.dbc.searched, 6);
  EXPECT_EQ(t.run.dbc.found, 6);
  EXPECT_EQ(t.run.dbc.notfound, 0);
}

}  // namespace
}  // namespace vorn
