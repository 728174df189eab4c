#include "control/inp_words.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "base/error.hpp"
#include "control/read_inp.hpp"
#include "control/run_sequence.hpp"
#include "support/builders.hpp"

using namespace vorn;
using vorn::test::TestRun;

namespace {

// The warning lines of a text, in order.
std::vector<std::string> warnings(const std::string& text) {
  std::vector<std::string> w;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);)
    if (l.rfind(" WARNING: vorn.inp", 0) == 0) w.push_back(l);
  return w;
}

// Reads the control text with ReadInp; the warnings on standard output,
// after checking that the listing has the same ones.
std::vector<std::string> warnings_of(const std::string& control, TestRun& t) {
  t.write("vorn.inp", control);
  ReadInp(t.run);
  const auto out = warnings(t.out.str());
  EXPECT_EQ(out, warnings(t.lst.str())) << "standard output and listing differ";
  return out;
}

std::vector<std::string> warnings_of(const std::string& control) {
  TestRun t;
  return warnings_of(control, t);
}

std::string sample_control_file() {
  std::ostringstream os;
  print_sample_input(os);
  return os.str();
}

}  // namespace

TEST(ControlWords, UnknownKeywordsWarnWithTheirLineAndTheNearestKeyword) {
  TestRun t;
  const auto w = warnings_of(
      "FORMAT *shelx\n"
      "INPUT x.res\n"
      "! a comment\n"
      "NCELS 1\n"
      "EXTEND-H\n"
      "Verbosity 3\n"
      "DATA /tmp/x.db\n"
      "BLAH 1\n"
      "0.2 0.1\n",
      t);
  ASSERT_EQ(w.size(), 6u);
  EXPECT_EQ(w[0], " WARNING: vorn.inp, line 4: NCELS is no keyword; the line is passed over (did you mean NCELLS?)");
  EXPECT_EQ(w[1], " WARNING: vorn.inp, line 5: EXTEND-H is no keyword; the line is passed over (did you mean EXTEND_H?)");
  EXPECT_NE(w[2].find("line 6: Verbosity is no keyword"), std::string::npos);
  EXPECT_NE(w[2].find("(did you mean VERBOSE?)"), std::string::npos);
  EXPECT_NE(w[3].find("line 7: DATA is no keyword; the line is passed over (did you mean DATABANK?)"),
            std::string::npos);
  // Far from every keyword: the list of them instead of a guess.
  EXPECT_NE(w[4].find("line 8: BLAH is no keyword; the line is passed over (the keywords are FORMAT INPUT"),
            std::string::npos);
  EXPECT_NE(w[5].find("line 9: the line has no keyword"), std::string::npos);
  // The lines stay passed over, as before.
  EXPECT_EQ(t.run.ctl.ncells, -1);
  EXPECT_EQ(t.run.ctl.iextH, 0);
  EXPECT_EQ(t.run.ctl.idb, 0);
}

TEST(ControlWords, TheSampleControlFileAndWellFormedLinesGiveNoWarning) {
  // The sample has unstarred alternatives (FORMAT, SCALE, KEYGEN, DISORD):
  // words that are not switched on are no mistake.
  TestRun t;
  std::string sample = sample_control_file();
  EXPECT_TRUE(warnings_of(sample, t).empty()) << t.out.str();
  EXPECT_TRUE(warnings_of("FORMAT *cif\nINPUT x.cif\nTOLS bond 0.3 ring 0.2 group 0.15\nTOLS 0.3 0.2 0.1\n"
                          "KEYGEN *XYZUIJ all *ordered *MULT all *ordered *kappas\nDISORD *extendH *db\n"
                          "CHEMCON *hydrogen *other\nSCALE *frac\nNFRAG 1\nFRAG 1 1 -3\nCHFRAG 0.0\n"
                          "  ! not in column 1\n")
                  .empty());
}

TEST(ControlWords, StarredWordsThatAreNotTheKeywordsOwnWarnAndNameTheWords) {
  TestRun t;
  const auto w = warnings_of("FORMAT *shelx\nINPUT x.res\nSCALE *fract\nSCALE *bogus\nFORMAT *shelxl *shelx\n", t);
  ASSERT_EQ(w.size(), 3u);
  EXPECT_EQ(w[0], " WARNING: vorn.inp, line 3: *fract is no SCALE word; it is passed over (did you mean *FRAC?)");
  EXPECT_EQ(w[1],
            " WARNING: vorn.inp, line 4: *bogus is no SCALE word; it is passed over (the words are *sigma, *diff or "
            "*frac)");
  EXPECT_NE(w[2].find("line 5: *shelxl is no format word"), std::string::npos);
  EXPECT_EQ(t.run.ctl.iscale, 1);  // the method stays difference

  const auto f = warnings_of("FORMAT shelx\nFORMAT *cif\nINPUT x.cif *renam *toxd\nINPUT x.cif *rename a b\n");
  ASSERT_EQ(f.size(), 3u);
  EXPECT_NE(f[0].find("line 1: FORMAT selects no format: star one of *shelx, *cif, *xd, *aim2tab or *platon"),
            std::string::npos);
  EXPECT_NE(f[1].find("line 3: *renam is no INPUT word; it is passed over (did you mean *RENAME?)"),
            std::string::npos);
  EXPECT_NE(f[2].find("line 4: *rename counts only as one of the last two words"), std::string::npos);
}

TEST(ControlWords, WordsThatCountByPositionWarnWhenTheyStandElsewhere) {
  TestRun t;
  const auto w = warnings_of(
      "FORMAT *shelx\nINPUT x.res\n"
      "KEYGEN *XYZUIJ *MULT\n"
      "CHEMCON *other\n"
      "DISORD *db\n"
      "KEYGEN *xyzuij all ord mult all ord *kappa *extra\n",
      t);
  ASSERT_EQ(w.size(), 4u);
  EXPECT_EQ(w[0],
            " WARNING: vorn.inp, line 3: KEYGEN word 2, *MULT, switches on XYZUIJ keys of all atoms: the words count "
            "by their position (xyzuij all ordered mult all ordered kappas), not by what they say");
  EXPECT_NE(w[1].find("line 4: CHEMCON word 1, *other, switches on the constraints of H atoms"), std::string::npos);
  EXPECT_NE(w[2].find("line 5: DISORD word 1, *db, switches on extending disordered H atoms"), std::string::npos);
  EXPECT_NE(w[3].find("line 6: KEYGEN takes 7 words (xyzuij all ordered mult all ordered kappas); word 8, *extra, "
                      "is passed over"),
            std::string::npos);
  // Taken by position, as always.
  EXPECT_TRUE(t.run.ctl.lkey[1] && t.run.ctl.lkey[2]);
  EXPECT_EQ(t.run.ctl.lchem[1], 1);
  EXPECT_EQ(t.run.ctl.lchem[2], 0);
  EXPECT_EQ(t.run.ctl.idisH, 1);
}

TEST(ControlWords, TolsWordsOutOfOrderOrUnknownWarn) {
  TestRun t;
  const auto w =
      warnings_of("FORMAT *shelx\nINPUT x.res\nTOLS ring 0.1 bond 0.3 group 0.1\nTOLS bnd 0.3 0.1 0.1 0.5 0.05 0.01\n", t);
  ASSERT_EQ(w.size(), 4u);
  EXPECT_EQ(w[0],
            " WARNING: vorn.inp, line 3: TOLS reads its numbers by position (bond ring group misfit pair): 0.1 after ring is "
            "taken as the bond tolerance");
  EXPECT_NE(w[1].find("line 3: TOLS reads its numbers by position (bond ring group misfit pair): 0.3 after bond is taken as the "
                      "ring tolerance"),
            std::string::npos);
  EXPECT_NE(w[2].find("line 4: TOLS word bnd is not known (did you mean BOND?)"), std::string::npos);
  EXPECT_NE(w[3].find("line 4: TOLS takes at most five numbers (bond ring group misfit pair); 0.01 is passed over"),
            std::string::npos);
  EXPECT_FLOAT_EQ(t.run.ctl.tol1, 0.3f);
  // The mark of a continued line is no TOLS word.
  EXPECT_TRUE(warnings_of("FORMAT *shelx\nINPUT x.res\nTOLS bond 0.3 \\\n ring 0.1 group 0.1\n").empty());
}

TEST(ControlWords, AWholeRunShowsTheWarningOnStandardOutputAndInTheListing) {
  TestRun t;
  std::filesystem::copy_file(std::filesystem::path(VORN_SOURCE_DIR) / "examples/toluic/toluic.res",
                             t.dir.path() / "toluic.res");
  t.write("vorn.inp", "FORMAT *shelx\nINPUT toluic.res\nNCELS 1\n");
  ASSERT_EQ(vorn_main(t.run, {}), 0) << t.out.str();
  const std::string line =
      " WARNING: vorn.inp, line 3: NCELS is no keyword; the line is passed over (did you mean NCELLS?)\n";
  EXPECT_NE(t.out.str().find(line), std::string::npos);
  EXPECT_NE(t.read("vorn.out").find(line), std::string::npos);
}

TEST(NearestWord, MisspellingsShorteningsAndWordsTooFarOff) {
  const auto& k = control_keywords();
  EXPECT_EQ(nearest_word("NCELS", k), "NCELLS");
  EXPECT_EQ(nearest_word("RIGNS", k), "RINGS");  // two letters swapped
  EXPECT_EQ(nearest_word("formta", k), "FORMAT");
  EXPECT_EQ(nearest_word("TOL", k), "TOLS");
  EXPECT_EQ(nearest_word("XYZ", k), "");
  EXPECT_EQ(nearest_word("HYDROGEN", k), "");
}
