#include "control/read_inp.hpp"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <sstream>

#include "base/error.hpp"
#include "control/run_sequence.hpp"
#include "support/builders.hpp"

using namespace vorn;
using vorn::test::TestRun;

namespace {

// Reads the control text; returns the error message, "" when none.
std::string read(TestRun& t, const std::string& text) {
  t.write("vorn.inp", text);
  try {
    ReadInp(t.run);
  } catch (const VornError& e) {
    return e.routine() + ": " + e.message();
  }
  return "";
}

std::string sample_control_file() {
  std::ostringstream os;
  print_sample_input(os);
  return os.str();
}

}  // namespace

TEST(ReadInp, MissingFileAndMissingFormat) {
  TestRun t;
  try {
    ReadInp(t.run);
    FAIL();
  } catch (const VornError& e) {
    EXPECT_EQ(e.routine(), "ReadInp");
    EXPECT_EQ(e.message(), "Unable to open VORN input file vorn.inp");
  }
  TestRun u;
  EXPECT_EQ(read(u, "FORMAT shelx xd\nINPUT a.res\n"),
            "ReadInp: Unknown input file format: give a FORMAT line with one starred word, *shelx, *cif, *xd, *aim2tab or *platon");
}

TEST(ReadInp, FormatTakesTheLastStarredWord) {
  TestRun t;
  EXPECT_EQ(read(t, "FORMAT *SHELX *PLATON\nINPUT a.ang\n"), "");
  EXPECT_EQ(t.run.ctl.iformat, FMT_PLATON);
  EXPECT_EQ(t.run.ctl.ifrac, 0);
  TestRun u;
  EXPECT_EQ(read(u, "format *shelx\nINPUT a.res\n"), "");
  EXPECT_EQ(u.run.ctl.iformat, FMT_SHELX);
  EXPECT_EQ(u.run.ctl.ifrac, 1);
  TestRun v;  // a longer keyword is not the keyword
  EXPECT_EQ(read(v, "FORMATS *shelx\nINPUT a.res\n"),
            "ReadInp: Unknown input file format: give a FORMAT line with one starred word, *shelx, *cif, *xd, *aim2tab or *platon");
}

TEST(ReadInp, FractionalSwitchFollowsTheLastFormatLine) {
  TestRun t;
  EXPECT_EQ(read(t, "FORMAT *platon\nFORMAT *shelx\nINPUT a.res\nNCELLS 1\n"), "");
  EXPECT_EQ(t.run.ctl.iformat, FMT_SHELX);
  EXPECT_EQ(t.run.ctl.ifrac, 1);
  EXPECT_NE(t.lst.str().find(" Search for complete fragments"), std::string::npos);
  TestRun u;
  EXPECT_EQ(read(u, "FORMAT *shelx\nFORMAT *aim2tab\nINPUT a.aim\n"), "");
  EXPECT_EQ(u.run.ctl.ifrac, 0);
  TestRun v;  // a FORMAT line that selects nothing leaves the format in force
  EXPECT_EQ(read(v, "FORMAT *platon\nFORMAT shelx\nINPUT a.ang\n"), "");
  EXPECT_EQ(v.run.ctl.iformat, FMT_PLATON);
  EXPECT_EQ(v.run.ctl.ifrac, 0);
}

TEST(ReadInp, FileNamesUpTo255CharactersAreTakenWhole) {
  const std::string dir = "/" + std::string(60, 'd') + "/" + std::string(40, 'e');  // names beyond 60
  TestRun t;
  EXPECT_EQ(read(t, "FORMAT *xd\nINPUT " + dir + "/x.mas " + dir + "/x.inp\nDATABANK " + dir + "/bank.db\n"), "");
  EXPECT_EQ(rtrim(t.run.ctl.xdold), dir + "/x.mas");
  EXPECT_EQ(rtrim(t.run.ctl.args), dir + "/x.inp");
  EXPECT_EQ(rtrim(t.run.ctl.dbname), dir + "/bank.db");
  EXPECT_NE(t.lst.str().find("   " + dir + "/bank.db\n"), std::string::npos);

  const std::string name255(255, 'b');
  setenv("VORN_DB", name255.c_str(), 1);
  TestRun u;
  EXPECT_EQ(read(u, "FORMAT *shelx\nINPUT a\nDATABANK\n"), "");
  EXPECT_EQ(rtrim(u.run.ctl.dbname), name255);
  setenv("VORN_DB", (name255 + "c").c_str(), 1);
  TestRun v;
  const std::string m = read(v, "FORMAT *shelx\nINPUT a\nDATABANK\n");
  unsetenv("VORN_DB");
  EXPECT_NE(m.find("The file name given in the environment variable VORN_DB is 256 characters long; file names are "
                   "limited to 255 characters"),
            std::string::npos)
      << m;
}

TEST(ReadInp, InputNamesKeepTheirCase) {
  TestRun t;
  EXPECT_EQ(read(t, "FORMAT *xd\nINPUT My.mas My.inp\n"), "");
  EXPECT_EQ(rtrim(t.run.ctl.xdold), "My.mas");
  EXPECT_EQ(rtrim(t.run.ctl.args), "My.inp");
  TestRun u;  // the format decides how many names INPUT holds, wherever FORMAT stands
  EXPECT_EQ(read(u, "INPUT My.mas My.inp\nFORMAT *xd\n"), "");
  EXPECT_EQ(rtrim(u.run.ctl.xdold), "My.mas");
  EXPECT_EQ(rtrim(u.run.ctl.args), "My.inp");
  TestRun w;
  EXPECT_EQ(read(w, "INPUT Paper.cif C2c_a\nFORMAT *cif\n"), "");
  EXPECT_EQ(rtrim(w.run.ctl.args), "Paper.cif");
  EXPECT_EQ(w.run.ctl.cifblock, "C2c_a");
  TestRun v;
  EXPECT_EQ(read(v, "FORMAT *xd\nINPUT only.mas\n"), "ReadChar: Unexpected STOP in ReadChar...");
}

TEST(ReadInp, CifFileWithItsDataBlock) {
  TestRun t;
  EXPECT_EQ(read(t, "FORMAT shelx *cif\nINPUT Paper.cif data_C2c_a *rename 1\n"), "");
  EXPECT_EQ(t.run.ctl.iformat, FMT_CIF);
  EXPECT_EQ(t.run.ctl.ifrac, 1);
  EXPECT_EQ(rtrim(t.run.ctl.args), "Paper.cif");
  EXPECT_EQ(t.run.ctl.cifblock, "data_C2c_a");
  EXPECT_EQ(t.run.ctl.irename, 1);
  EXPECT_NE(t.lst.str().find("\n Input file format = CIF    file(s) = Paper.cif\n"), std::string::npos);
  // The option words after the name are no block names.
  for (const char* line : {"INPUT x.cif\n", "INPUT x.cif *rename 1\n", "INPUT x.cif rename 0 toxd\n"}) {
    TestRun u;
    EXPECT_EQ(read(u, std::string("FORMAT *CIF\n") + line), "");
    EXPECT_EQ(u.run.ctl.cifblock, "") << line;
  }
}

// The word after a CIF file name is its block, whatever it looks like; a
// number there is no rename mode.
TEST(ReadInp, CifBlockNamedByAnyWord) {
  const struct {
    const char* input;
    const char* file;
    const char* block;
    int irename, irs;
  } kCases[] = {
      {"INPUT x.cif 4", "x.cif", "4", 0, 0},
      {"INPUT x.cif '4'", "x.cif", "4", 0, 0},
      {"INPUT x.cif \"4\"", "x.cif", "4", 0, 0},
      {"INPUT x.cif 1.5", "x.cif", "1.5", 0, 0},
      {"INPUT x.cif 3b", "x.cif", "3b", 0, 0},
      {"INPUT x.cif -2", "x.cif", "-2", 0, 0},
      {"INPUT x.cif 'toxd'", "x.cif", "toxd", 0, 0},
      {"INPUT x.cif 4 *rename", "x.cif", "4", 1, 0},
      {"INPUT x.cif 4 *rename 1", "x.cif", "4", 1, 1},
      {"INPUT 'my paper.cif' 6", "my paper.cif", "6", 0, 0},
      {"INPUT x.cif \\\n  6", "x.cif", "6", 0, 0},  // a continued line
  };
  for (const auto& c : kCases) {
    TestRun t;
    EXPECT_EQ(read(t, std::string("FORMAT *cif\n") + c.input + "\n"), "") << c.input;
    EXPECT_EQ(rtrim(t.run.ctl.args), c.file) << c.input;
    EXPECT_EQ(t.run.ctl.cifblock, c.block) << c.input;
    EXPECT_EQ(t.run.ctl.irename, c.irename) << c.input;
    EXPECT_EQ(t.run.ctl.irs, c.irs) << c.input;
  }
  // For other formats the word is no block (a number there is the rename mode).
  TestRun u;
  EXPECT_EQ(read(u, "FORMAT *shelx\nINPUT x.res 4 *rename\n"), "");
  EXPECT_EQ(u.run.ctl.cifblock, "");
  EXPECT_EQ(u.run.ctl.irs, 1);  // 4 is no mode: taken as 1
}

TEST(ReadInp, QuotedFileNamesHoldBlanks) {
  TestRun t;
  EXPECT_EQ(read(t, "FORMAT *shelx\nINPUT \"my structure.res\" *rename 0\nDATABANK '/opt/my bank/db.txt'\n"), "");
  EXPECT_EQ(rtrim(t.run.ctl.args), "my structure.res");
  EXPECT_EQ(rtrim(t.run.ctl.dbname), "/opt/my bank/db.txt");
  EXPECT_EQ(t.run.ctl.irename, 1);
  EXPECT_EQ(t.run.ctl.irs, 0);
  EXPECT_NE(t.lst.str().find(" Input file format = SHELX    file(s) = my structure.res\n"), std::string::npos);
  TestRun u;
  EXPECT_EQ(read(u, "FORMAT *xd\nINPUT \"old run.mas\" 'old run.inp'\n"), "");
  EXPECT_EQ(rtrim(u.run.ctl.xdold), "old run.mas");
  EXPECT_EQ(rtrim(u.run.ctl.args), "old run.inp");
  // A quoted starred word is a name, not an option.
  TestRun v;
  EXPECT_EQ(read(v, "FORMAT *shelx\nINPUT '*toxd'\n"), "");
  EXPECT_EQ(rtrim(v.run.ctl.args), "*toxd");
  EXPECT_EQ(v.run.ctl.itoxd, 0);
  // The names of the last INPUT line count; the options of every one act.
  TestRun w;
  EXPECT_EQ(read(w, "FORMAT *shelx\nINPUT a.res *toxd\nINPUT b.res\n"), "");
  EXPECT_EQ(rtrim(w.run.ctl.args), "b.res");
  EXPECT_EQ(w.run.ctl.itoxd, 1);
}

TEST(ReadInp, BadOrMissingNamesStopNamingTheLine) {
  const struct {
    const char* text;
    const char* said;  // on standard output before the error banner
    const char* error;
  } kCases[] = {
      {"FORMAT *shelx\nINPUT \"my structure.res\n", "vorn.inp, line 2: INPUT: the quote \" in column 7 is not closed",
       "ReadInp: Error while reading file vorn.inp"},
      {"FORMAT *cif\nINPUT \"a b\".cif\n",
       "vorn.inp, line 2: INPUT: the name quoted from column 7 goes on after its closing quote in column 11",
       "ReadInp: Error while reading file vorn.inp"},
      {"FORMAT *shelx\nINPUT \"\"\n", "vorn.inp, line 2: INPUT gives an empty file name, found <<INPUT \"\">>",
       "ReadInp: Error while reading file vorn.inp"},
      {"FORMAT *shelx\nINPUT a.res\nDATABANK 'my bank\n",
       "vorn.inp, line 3: DATABANK: the quote ' in column 10 is not closed", "ReadInp: Error while reading file vorn.inp"},
      {"FORMAT *shelx\nVERBOSE 2\n", "",
       "ReadInp: vorn.inp has no INPUT line: name the structure file on one, as INPUT structure.res (a name with "
       "blanks in quotes, INPUT \"my structure.cif\")"},
  };
  for (const auto& c : kCases) {
    TestRun t;
    EXPECT_EQ(read(t, c.text), c.error) << c.text;
    EXPECT_NE(t.out.str().find(c.said), std::string::npos) << t.out.str();
  }
}

TEST(ReadInp, RenameAndSimpleConversionNeedTheirStars) {
  TestRun t;
  EXPECT_EQ(read(t, "FORMAT *shelx\nINPUT l-dopa.shelx   rename 0 toxd \n"), "");
  EXPECT_EQ(t.run.ctl.irename, 0);
  EXPECT_EQ(t.run.ctl.itoxd, 0);
  TestRun u;
  EXPECT_EQ(read(u, "FORMAT *shelx\nINPUT x.res *rename 1 *toxd\n"), "");
  EXPECT_EQ(u.run.ctl.irename, 1);
  EXPECT_EQ(u.run.ctl.irs, 1);
  EXPECT_EQ(u.run.ctl.itoxd, 1);
  EXPECT_EQ(u.out.str(), "  inum =            1\n");
  TestRun v;  // TOXD counts among the last two tokens only
  EXPECT_EQ(read(v, "FORMAT *shelx\nINPUT x.res *toxd extra\n"), "");
  EXPECT_EQ(v.run.ctl.itoxd, 1);
  TestRun w;  // rename modes other than 0 and 1 become 1
  EXPECT_EQ(read(w, "FORMAT *shelx\nINPUT x.res *rename 7\n"), "");
  EXPECT_EQ(w.run.ctl.irs, 1);
}

// The misfit limit and the pair tolerance after the three tolerances; a
// value that cannot be meant is reported (line and value) and the default
// kept, a limit below the ring tolerance taken with a warning.
TEST(ReadInp, MisfitLimitAndPairToleranceOfTols) {
  struct Case {
    const char* tols;
    float limit, pair;
    const char* warning;  // "" for none
  };
  const Case cases[] = {
      {"TOLS bond 0.2 ring 0.1 group 0.1 misfit 0.8 pair 0.02", 0.8f, 0.02f, ""},
      {"TOLS 0.2 0.1 0.1 0.3", 0.3f, 0.05f, ""},
      {"TOLS 0.2 0.1 0.1 0 0.02", 0.5f, 0.02f,
       " WARNING: vorn.inp, line 3: TOLS misfit limit 0 is not positive: the default 0.5 Angstrom is kept"},
      {"TOLS 0.2 0.1 0.1 0.5 -1", 0.5f, 0.05f,
       " WARNING: vorn.inp, line 3: TOLS pair tolerance -1 is negative: the default 0.05 Angstrom is kept"},
      {"TOLS 0.2 0.1 0.1 0.05", 0.05f, 0.05f,
       " WARNING: vorn.inp, line 3: TOLS misfit limit 0.05 Angstrom is below the ring tolerance 0.1 Angstrom: "
       "every site symmetry that fails the check is reduced"},
  };
  for (const Case& c : cases) {
    TestRun t;
    EXPECT_EQ(read(t, std::string("FORMAT *shelx\nINPUT a\n") + c.tols + "\n"), "") << c.tols;
    EXPECT_FLOAT_EQ(t.run.ctl.misfit_limit, c.limit) << c.tols;
    EXPECT_FLOAT_EQ(t.run.ctl.pair_tol, c.pair) << c.tols;
    const std::string out = t.out.str();
    if (*c.warning == 0)
      EXPECT_EQ(out.find("WARNING"), std::string::npos) << out;
    else
      EXPECT_NE(out.find(std::string(c.warning) + "\n"), std::string::npos) << out;
  }
  TestRun bad;
  EXPECT_EQ(read(bad, "FORMAT *shelx\nINPUT a\nTOLS 0.2 0.1 0.1 0.5 x\n"), "");
  EXPECT_FLOAT_EQ(bad.run.ctl.pair_tol, 0.05f);
}

TEST(ReadInp, NumbersOfTolsVerboseNcellsRings) {
  TestRun t;
  EXPECT_EQ(read(t, "FORMAT *shelx\nINPUT a\nTOLS bond 0.3 ring 0.2 group 0.15\nVERBOSE 3\nNCELLS -2\nRINGS 3 8 *special\n"), "");
  EXPECT_FLOAT_EQ(t.run.ctl.tol1, 0.3f);
  EXPECT_FLOAT_EQ(t.run.ctl.tol2, 0.2f);
  EXPECT_FLOAT_EQ(t.run.ctl.tol3, 0.15f);
  EXPECT_EQ(t.run.ctl.iverb, 3);
  EXPECT_EQ(t.run.ctl.ncells, 2);
  EXPECT_EQ(t.run.ctl.iring, 1);
  EXPECT_EQ(t.run.ring1.nmin, 3);
  EXPECT_EQ(t.run.ring1.nmax, 8);
  EXPECT_EQ(t.run.ring1.special, 1);
  // Three numbers keep the misfit limit and the pair tolerance.
  EXPECT_FLOAT_EQ(t.run.ctl.misfit_limit, 0.5f);
  EXPECT_FLOAT_EQ(t.run.ctl.pair_tol, 0.05f);
  TestRun u;
  EXPECT_EQ(read(u, "FORMAT *shelx\nINPUT a\nTOLS 0.3 0.2 0.15\nNCELLS -1\n"), "");
  EXPECT_FLOAT_EQ(u.run.ctl.tol3, 0.15f);
  EXPECT_EQ(u.run.ctl.ncells, -1);
  for (const char* bad : {"VERBOSE\n", "TOLS 0.3 0.2\n", "NCELLS x\n", "RINGS 3\n", "VERBOSE 2.5\n"}) {
    TestRun v;
    EXPECT_EQ(read(v, std::string("FORMAT *shelx\nINPUT a\n") + bad), "ReadInp: Error while reading file vorn.inp")
        << bad;
  }
}

TEST(ReadInp, RadiiOverridesByElementSymbol) {
  TestRun t;
  EXPECT_EQ(read(t, "FORMAT *shelx\nINPUT a\nRADII H 0.35 Cl 1.0 Te 1.40 Xe 1.5\n"), "");
  EXPECT_FLOAT_EQ(t.run.covrad[1], 0.35f);
  EXPECT_FLOAT_EQ(t.run.covrad[17], 1.0f);
  EXPECT_FLOAT_EQ(t.run.covrad[52], 1.40f);
  EXPECT_FLOAT_EQ(t.run.covrad[54], 1.5f);
  EXPECT_NE(t.lst.str().find(" Changing covalent radius of Cl to    1.000 Angstroms\n"), std::string::npos);
  TestRun u;
  EXPECT_EQ(read(u, "FORMAT *shelx\nINPUT a\nRADII H 0.35 1.0\n"), "ReadInp: Error while reading file vorn.inp");
  // Beyond Xe too, up to Lr; the listing names each change.
  TestRun v;
  EXPECT_EQ(read(v, "FORMAT *shelx\nINPUT a\nRADII Pt 1.30 U 1.80 Lr 1.7\n"), "");
  EXPECT_FLOAT_EQ(v.run.covrad[78], 1.30f);
  EXPECT_FLOAT_EQ(v.run.covrad[92], 1.80f);
  EXPECT_FLOAT_EQ(v.run.covrad[103], 1.7f);
  EXPECT_NE(v.lst.str().find(" Changing covalent radius of Pt to    1.300 Angstroms\n"), std::string::npos);
}

TEST(ReadInp, OptionWordsByPosition) {
  TestRun t;
  EXPECT_EQ(read(t, "FORMAT *shelx\nINPUT a\nDISORD extendH *db\nCHEMCON *hydrogen\nSIMPLE\nEXTEND_H\n"
                    "SCALE sigma diff *fract\n"),
            "");
  EXPECT_EQ(t.run.ctl.idisH, 0);
  EXPECT_EQ(t.run.ctl.idisDB, 1);
  EXPECT_EQ(t.run.ctl.lchem[1], 1);
  EXPECT_EQ(t.run.ctl.lchem[2], 0);
  EXPECT_EQ(t.run.ctl.isimple, 1);
  EXPECT_EQ(t.run.ctl.iextH, 1);
  EXPECT_EQ(t.run.ctl.iscale, 1);  // FRACT is not FRAC
  TestRun u;
  EXPECT_EQ(read(u, "FORMAT *shelx\nINPUT a\nSCALE *sigma diff fract\n"), "");
  EXPECT_EQ(u.run.ctl.iscale, 3);
  EXPECT_EQ(u.run.ctl.lchem[1], 1);
  EXPECT_EQ(u.run.ctl.lchem[2], 1);
}

TEST(ReadInp, KeySwitchesAreReconciled) {
  TestRun t;
  EXPECT_EQ(read(t, "FORMAT *shelx\nINPUT a\nKEYGEN *xyzuij *all *ordered mult *all *ordered *kappas\n"), "");
  const auto& k = t.run.ctl.lkey;
  EXPECT_TRUE(k[1]);
  EXPECT_FALSE(k[2]);  // all and ordered together: ordered wins
  EXPECT_TRUE(k[3]);
  EXPECT_FALSE(k[4]);  // MULT off clears its sub-switches
  EXPECT_FALSE(k[5]);
  EXPECT_FALSE(k[6]);
  EXPECT_FALSE(k[7]);
  TestRun u;  // a later line only adds switches
  EXPECT_EQ(read(u, "FORMAT *shelx\nINPUT a\nKEYGEN *xyzuij *all\nKEYGEN x y z *mult\n"), "");
  EXPECT_TRUE(u.run.ctl.lkey[2]);
  EXPECT_TRUE(u.run.ctl.lkey[4]);
}

TEST(ReadInp, DatabankPathFromLineOrEnvironment) {
  TestRun t;
  EXPECT_EQ(read(t, "FORMAT *shelx\nINPUT a\nDATABANK /data/My.db\n"), "");
  EXPECT_EQ(t.run.ctl.idb, 1);
  EXPECT_EQ(rtrim(t.run.ctl.dbname), "/data/My.db");
  setenv("VORN_DB", "/env/Bank.db", 1);
  TestRun u;
  EXPECT_EQ(read(u, "FORMAT *shelx\nINPUT a\nDATABANK\n"), "");
  EXPECT_EQ(rtrim(u.run.ctl.dbname), "/env/Bank.db");
  unsetenv("VORN_DB");
}

TEST(ReadInp, TabsSeparateWordsAndNumbersOutOfRangeStop) {
  TestRun t;
  EXPECT_EQ(read(t, "FORMAT\t*shelx\nINPUT\ta.res\t*rename\t1\nTOLS\t0.3\t0.2\t0.15\n"), "");
  EXPECT_EQ(t.run.ctl.iformat, FMT_SHELX);
  EXPECT_EQ(rtrim(t.run.ctl.args), "a.res");
  EXPECT_EQ(t.run.ctl.irs, 1);
  EXPECT_FLOAT_EQ(t.run.ctl.tol3, 0.15f);
  for (const char* bad : {"TOLS 1e40 0.1 0.1", "TOLS NaN 0.1 0.1", "VERBOSE 99999999999", "NCELLS 1.5"}) {
    TestRun u;
    EXPECT_EQ(read(u, std::string("FORMAT *shelx\nINPUT a.res\n") + bad + "\n"),
              "ReadInp: Error while reading file vorn.inp")
        << bad;
  }
}

TEST(ReadInp, ContinuedKeywordLineKeepsItsBackslashAsAToken) {
  TestRun t;
  EXPECT_EQ(read(t, "FORMAT *shelx\nINPUT a\nTOLS 0.3 \\\n 0.2 0.15\n"), "");
  EXPECT_FLOAT_EQ(t.run.ctl.tol2, 0.2f);
  EXPECT_EQ(t.run.tok[2], "\\       ");
}

TEST(ReadInp, SimpleConversionSummaryStopsEarlyAndSwitchesStagesOff) {
  TestRun t;
  EXPECT_EQ(read(t, "FORMAT *shelx\nINPUT x.res *toxd\nNCELLS -3\nEXTEND_H\nDATABANK a.db\nRINGS 3 8\n"), "");
  EXPECT_EQ(t.run.ctl.iextH, 0);
  EXPECT_EQ(t.run.ctl.idb, 0);
  EXPECT_EQ(t.run.ctl.iring, 0);
  EXPECT_EQ(t.run.ctl.ncells, -3);
  std::string l = t.lst.str();
  EXPECT_NE(l.find("\n SIMPLE CONVERSION OF SHELX FILE TO XD FILES WAS REQUESTED\n"
                   " ALL OTHER OPTIONS WILL BE IGNORED !!!!!!\n\n -------"),
            std::string::npos);
  EXPECT_EQ(l.find("Threshold"), std::string::npos);
}

// The options summary of the sample control file, worked out line by line.
TEST(ReadInp, OptionsSummaryOfTheSampleControlFile) {
  TestRun t;
  ASSERT_EQ(read(t, sample_control_file()), "");
  std::string rule = " " + std::string(71, '-');
  std::string expected = "\n" + rule + "\n\n VORN options : \n\n" +
                         " Verbosity level =  4\n"
                         " Input file format = SHELX    file(s) = l-dopa.shelx\n"
                         " Search for complete fragments within  -1 ...  +1 unit cells\n"
                         " Threshold / Tolerance parameters : \n"
                         "   bond criterion (tol1) : d(i-j) < covR(i) + covR(j) +  0.400 Angstroms\n"
                         "   ring  planarity criterion (tol2) : sigpln <   0.100 Angstroms\n"
                         "   group planarity criterion (tol3) : sigpln <   0.100 Angstroms\n"
                         " Treatment of disorder :\n"
                         "   do NOT apply Extend_H option\n"
                         "   do NOT apply DB\n"
                         " Instructions for KEY table generation:\n"
                         "   XYZUIJ=.F. all=.F. ordered=.F.\n"
                         "     MULT=.F. all=.F. ordered=.F. kappas=.F.\n"
                         " Read pseudoatom parameters from databank file :\n"
                         "   /usr/local/share/vorn/databank/vorn_db.txt\n"
                         " Use simple model for determination of chemical equivalency\n"
                         " Use chemical/kappa constraints for H-atoms\n"
                         " Use chemical/kappa constraints for non-H atoms\n"
                         " Find rings with   3 -   8 atoms\n"
                         " Treatment of atoms that belong to 1 planar ring :\n"
                         "   always m-symmetry : X - towards center, Y - neighbor in the ring\n"
                         " Extend H-atoms to standard/neutron distances and create files : \n"
                         "   'reset.bond' with RESET BOND instructions\n"
                         "   'const.bond' with CONSTRAINTS instructions\n"
                         " Scale total population using sigma method\n"
                         "\n" + rule + "\n"
                         "\n Atomic covalent radii (Angstroms) : \n\n"
                         "   H  0.40   He 0.93   Li 1.23   Be 0.90   B  0.82   C  0.77   N  0.75\n"
                         "   O  0.73   F  0.72   Ne 0.71   Na 1.54   Mg 1.36   Al 1.18   Si 1.11\n"
                         "   P  1.06   S  1.02   Cl 0.99   Ar 0.98   K  2.03   Ca 1.74   Sc 1.44\n"
                         "   Ti 1.32   V  1.22   Cr 1.18   Mn 1.17   Fe 1.17   Co 1.16   Ni 1.15\n"
                         "   Cu 1.17   Zn 1.25   Ga 1.26   Ge 1.22   As 1.20   Se 1.16   Br 1.14\n"
                         "   Kr 1.89   Rb 2.16   Sr 1.91   Y  1.62   Zr 1.45   Nb 1.34   Mo 1.30\n"
                         "   Tc 1.27   Ru 1.25   Rh 1.25   Pd 1.28   Ag 1.34   Cd 1.41   In 1.44\n"
                         "   Sn 1.41   Sb 1.40   Te 1.36   I  1.33   Xe 1.31\n"
                         "\n" + rule + "\n";
  EXPECT_EQ(t.lst.str(), expected);
}
