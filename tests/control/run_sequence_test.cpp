#include "control/run_sequence.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <stdlib.h>

#include "control/command_line.hpp"
#include "control/databank_location.hpp"
#include "model/output_files.hpp"
#include "support/builders.hpp"
#include "support/program.hpp"

using namespace vorn;
using vorn::test::TestRun;

namespace {
int count_lines(const std::string& s) { return static_cast<int>(std::count(s.begin(), s.end(), '\n')); }

int files_in(const std::filesystem::path& d) {
  return static_cast<int>(std::distance(std::filesystem::directory_iterator(d), std::filesystem::directory_iterator()));
}
}  // namespace

TEST(CommandLine, HelpPrintsBannerTheSampleControlFileAndTheOptions) {
  TestRun t;
  EXPECT_EQ(vorn_main(t.run, {"-h"}), 0);
  std::string out = t.out.str();
  std::ostringstream banner;
  print_banner(banner);
  ASSERT_EQ(out.substr(0, banner.str().size()), banner.str());
  const std::vector<std::string> after = vorn::test::lines_of(out.substr(banner.str().size()));
  ASSERT_GT(after.size(), 44u);
  const std::vector<std::string> sample(after.begin(), after.begin() + 44);
  EXPECT_EQ(sample[0], " ");
  EXPECT_EQ(sample[1], "!");
  EXPECT_EQ(sample[43], " ");
  // The sample's databank is the one make install puts under the prefix.
  EXPECT_EQ(sample[33], "DATABANK " + installed_databank());
  EXPECT_EQ(installed_databank().substr(installed_databank().size() - 32), "/share/vorn/databank/vorn_db.txt");
  std::ostringstream options;
  print_option_help(options);
  EXPECT_EQ(out.substr(out.size() - options.str().size()), options.str());
  EXPECT_EQ(files_in(t.dir.path()), 0);
}

TEST(CommandLine, LongHelpIsTheShortOneAndVersionIsOneLine) {
  TestRun h, help;
  std::ostringstream diag;
  EXPECT_EQ(vorn_main(h.run, {"-h"}, diag), 0);
  EXPECT_EQ(vorn_main(help.run, {"--help"}, diag), 0);
  EXPECT_EQ(help.out.str(), h.out.str());
  TestRun v;
  EXPECT_EQ(vorn_main(v.run, {"--version"}, diag), 0);
  EXPECT_EQ(v.out.str(), std::string("vorn ") + program_version() + "\n");
  EXPECT_EQ(count_lines(v.out.str()), 1);
  EXPECT_NE(std::string(program_version()), "unknown");
  EXPECT_EQ(diag.str(), "");
  EXPECT_EQ(files_in(v.dir.path()), 0);
}

// A structure file where a folder belongs, or an unknown option: nothing
// runs, and the usage goes to standard error with exit status 2.
TEST(CommandLine, AFileNameOrAnUnknownOptionRunsNothing) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"x.res"}, {"--frobnicate"}, {"-v"}}) {
    TestRun t;
    std::ostringstream diag;
    t.write("vorn.inp", "FORMAT *shelx\nINPUT x.res\n");
    EXPECT_EQ(vorn_main(t.run, args, diag), 2) << args[0];
    EXPECT_EQ(t.out.str(), "") << args[0];
    EXPECT_NE(diag.str().find("usage: vorn [--strict] [-j N] [DIR ...]"), std::string::npos) << diag.str();
    EXPECT_EQ(files_in(t.dir.path()), 1) << args[0];  // vorn.inp alone: nothing was run
  }
}

TEST(RunSequence, MissingControlFileStopsWithStatusOne) {
  TestRun t;
  std::ostringstream diag;
  EXPECT_EQ(vorn_main(t.run, {}, diag), 1);
  const std::string banner =
      "\n ERROR *** ReadInp *** Unable to open VORN input file vorn.inp\n\n"
      " The run failed: no output file was changed\n\n";
  std::string out = t.out.str();
  ASSERT_GE(out.size(), banner.size());
  EXPECT_EQ(out.substr(out.size() - banner.size()), banner);
  EXPECT_EQ(diag.str(),
            "vorn: error: ReadInp: Unable to open VORN input file vorn.inp (vorn.inp: No such file or directory)\n");
  // Nothing to run: no stub output files are left behind.
  EXPECT_EQ(files_in(t.dir.path()), 0);
}

TEST(RunSequence, DatabankPromptRepeatsUntilAFileOpens) {
  TestRun t("\n   \nbank.db\n");
  t.write("vorn.inp", "FORMAT *platon\nINPUT x.ang\nDATABANK missing.db\n");
  t.write("x.ang", "TITL one atom\nATOM C1 0.0 0.0 0.0\n");
  t.write("bank.db", "! empty databank\n");
  vorn_main(t.run, {});
  std::string out = t.out.str();
  EXPECT_NE(out.find("\n Error opening databank file missing.db"), std::string::npos);
  size_t prompts = 0;
  for (size_t p = out.find("Enter the name of databank file : "); p != std::string::npos;
       p = out.find("Enter the name of databank file : ", p + 1))
    ++prompts;
  EXPECT_EQ(prompts, 3u);
  EXPECT_EQ(rtrim(t.run.ctl.dbname), "bank.db");
}

TEST(RunSequence, DatabankPromptAtEndOfInputIsAFatalError) {
  TestRun t("");
  t.write("vorn.inp", "FORMAT *platon\nINPUT x.ang\nDATABANK missing.db\n");
  t.write("x.ang", "TITL one atom\nATOM C1 0.0 0.0 0.0\n");
  EXPECT_EQ(vorn_main(t.run, {}), 1);
  EXPECT_NE(t.out.str().find(" ERROR *** vorn *** Unable to open databank file missing.db"), std::string::npos);
}

TEST(RunSequence, DatabankWithoutPathOrVornDbNamesTheVariable) {
  unsetenv("VORN_DB");
  TestRun t("");
  t.write("vorn.inp", "FORMAT *platon\nINPUT x.ang\nDATABANK\n");
  t.write("x.ang", "TITL one atom\nATOM C1 0.0 0.0 0.0\n");
  EXPECT_EQ(vorn_main(t.run, {}), 1);
  const std::string out = t.out.str();
  EXPECT_NE(out.find("\n DATABANK gives no path and the environment variable VORN_DB is not set: give the path on the "
                     "DATABANK line or in VORN_DB\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find(" ERROR *** vorn *** DATABANK gives no path and the environment variable VORN_DB is not set, and "
                     "no other name was given"),
            std::string::npos)
      << out;
}

TEST(RunSequence, DatabankPromptTakesLongNamesAndRefusesTooLongOnes) {
  TestRun probe;
  const std::filesystem::path deep = probe.dir.path() / std::string(100, 'p') / std::string(90, 'q');
  std::filesystem::create_directories(deep);
  std::filesystem::copy_file(std::filesystem::path(VORN_SOURCE_DIR) / "examples/databank/vorn_example.db",
                             deep / "bank.db");
  const std::string good = (deep / "bank.db").string();
  ASSERT_GT(good.size(), 190u);
  TestRun t(std::string(300, 'z') + "\n" + good + "\n");
  t.write("vorn.inp", "FORMAT *platon\nINPUT x.ang\nDATABANK missing.db\nCHFRAG 0.0\n");
  t.write("x.ang", "TITL one atom\nATOM C1 0.0 0.0 0.0\n");
  EXPECT_EQ(vorn_main(t.run, {}), 0) << t.out.str();
  EXPECT_NE(t.out.str().find(" The name is 300 characters long; file names are limited to 255 characters"),
            std::string::npos);
  EXPECT_EQ(rtrim(t.run.ctl.dbname), good);
}

TEST(RunSequence, ALongAbsoluteDatabankPathWorksInAWholeRun) {
  // 200 characters from the root to the databank file.
  TestRun t;
  std::string root = t.dir.path().string();
  const std::string file = "/bank.db";
  const std::size_t fill = 200 - root.size() - file.size() - 2;
  ASSERT_GT(fill, 10u);
  const std::filesystem::path deep = t.dir.path() / std::string(fill / 2, 'a') / std::string(fill - fill / 2, 'b');
  std::filesystem::create_directories(deep);
  const std::string db = deep.string() + file;
  ASSERT_EQ(db.size(), 200u);
  std::filesystem::copy_file(std::filesystem::path(VORN_SOURCE_DIR) / "examples/databank/vorn_example.db", db);
  std::filesystem::copy_file(std::filesystem::path(VORN_SOURCE_DIR) / "examples/toluic/toluic.res",
                             t.dir.path() / "toluic.res");
  t.write("vorn.inp", "FORMAT *shelx\nINPUT toluic.res\nDATABANK " + db + "\nCHFRAG 0.0\n");
  ASSERT_EQ(vorn_main(t.run, {}), 0) << t.out.str();
  EXPECT_NE(t.out.str().find(" ATOMS SEARCHED in DB, FOUND in DB, NOT FOUND in DB =       18 "),
            std::string::npos)
      << t.out.str();
  EXPECT_NE(t.read("vorn.out").find("   " + db + "\n"), std::string::npos);
}

TEST(RunSequence, StandardInputAtItsEndStopsBeforeTheParameterFilesAreCreated) {
  TestRun t("");
  std::filesystem::copy_file(std::filesystem::path(VORN_SOURCE_DIR) / "examples/toluic/toluic.res",
                             t.dir.path() / "toluic.res");
  const std::string db = std::string(VORN_SOURCE_DIR) + "/examples/databank/vorn_example.db";
  t.write("vorn.inp", "FORMAT *shelx\nINPUT toluic.res\nEXTEND_H\nDATABANK " + db + "\n");
  EXPECT_EQ(vorn_main(t.run, {}), 1);
  EXPECT_NE(t.out.str().find("Give the charges of the fragments with CHFRAG in vorn.inp"), std::string::npos);
  EXPECT_FALSE(t.exists("xd_vorn.inp"));
  EXPECT_FALSE(t.exists("fixedH.ins"));
  for (const auto& e : std::filesystem::directory_iterator(t.dir.path()))
    EXPECT_GT(e.file_size(), 0u) << e.path().filename() << " left empty";
}

TEST(RunSequence, ACifReadAsAnotherFormatIsNamedAsACif) {
  TestRun t;
  std::filesystem::copy_file(std::filesystem::path(VORN_SOURCE_DIR) / "examples/toluic-cif/toluic.cif",
                             t.dir.path() / "toluic.cif");
  t.write("vorn.inp", "FORMAT *shelx\nINPUT toluic.cif\n");
  EXPECT_EQ(vorn_main(t.run, {}), 1);
  EXPECT_NE(t.out.str().find(" ERROR *** ReadShelx *** File toluic.cif looks like a CIF (a data_ block with _ items): "
                             "give FORMAT *cif in vorn.inp"),
            std::string::npos)
      << t.out.str();
}

namespace {

namespace fs = std::filesystem;

const std::string kToluicDatabank = std::string(VORN_SOURCE_DIR) + "/examples/databank/vorn_example.db";

std::string toluic_control(const std::string& extra = "") {
  return "FORMAT *shelx\nINPUT toluic.res\nNCELLS 1\nRINGS 3 8\nEXTEND_H\nDATABANK " + kToluicDatabank +
         "\nCHFRAG 0.0\n" + extra;
}

// Every file of the folder but the listing, byte for byte.
std::map<std::string, std::string> outputs_of(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().filename() != "vorn.out") files[e.path().filename().string()] = vorn::test::read_file(e.path());
  return files;
}

}  // namespace

// A good run, then a run that fails for each of the ways a run can fail:
// every earlier output stays as it was, byte for byte, no temporary file is
// left, and standard output, the listing and standard error say why.
TEST(ResultsNeverLost, AFailedRunChangesNoOutputFile) {
  struct Case {
    const char* what;
    std::string control;          // the control file of the failing run
    std::vector<std::string> args;
    std::string stdin_text;
    int stop_signal;              // a signal noted before the run
    int status;
    std::string message;          // on standard output, the listing and standard error
  };
  const std::vector<Case> cases = {
      {"INPUT names a missing file", "FORMAT *shelx\nINPUT tolu.res\nEXTEND_H\n", {}, "", 0, 1,
       "tolu.res: cannot be opened: No such file or directory"},
      {"the structure file is damaged", "FORMAT *shelx\nINPUT broken.res\nEXTEND_H\n", {}, "", 0, 1,
       "Error reading atom"},
      {"no charge and standard input ended", "FORMAT *shelx\nINPUT toluic.res\nEXTEND_H\nDATABANK " +
       kToluicDatabank + "\n", {}, "", 0, 1, "Give the charges of the fragments with CHFRAG"},
      {"a misspelt keyword under --strict", toluic_control("EXTENDH\n"), {"--strict"}, "", 0, 1,
       "1 warning about vorn.inp, which --strict makes errors"},
      {"SIGTERM", toluic_control(), {}, "", SIGTERM, 128 + SIGTERM, "Stopped by SIGTERM"},
  };
  for (const Case& c : cases) {
    TestRun good;
    fs::copy_file(fs::path(VORN_SOURCE_DIR) / "examples/toluic/toluic.res", good.dir.path() / "toluic.res");
    good.write("broken.res", "TITL x\nCELL 0.7 5 6 7 90 90 90\nLATT 1\nSFAC C\nC1 1 0.1 0.2\nEND\n");
    good.write("vorn.inp", toluic_control());
    ASSERT_EQ(vorn_main(good.run, {}), 0) << good.out.str();
    good.write("vorn.inp", c.control);
    const auto before = outputs_of(good.dir.path());
    ASSERT_GE(before.size(), 14u);

    TestRun again(c.stdin_text);
    again.run.dir = good.dir.path();
    again.run.stop_signal = c.stop_signal;
    std::ostringstream diag;
    EXPECT_EQ(vorn_main(again.run, c.args, diag), c.status) << c.what;
    EXPECT_EQ(outputs_of(good.dir.path()), before) << c.what;
    const std::string out = again.out.str(), listing = good.read("vorn.out");
    for (const std::string* text : {&out, &listing}) {
      EXPECT_NE(text->find(c.message), std::string::npos) << c.what << ":\n" << *text;
      EXPECT_NE(text->find("no output file was changed"), std::string::npos) << c.what;
    }
    EXPECT_EQ(diag.str().find("vorn: error: "), 0u) << c.what << ": " << diag.str();
    // The listing is the failed run's own.
    EXPECT_EQ(listing.find(" Total program elapsed times"), std::string::npos) << c.what;
  }
}

// The folder never mixes two runs: what this run does not write, an
// earlier run's file of the set, goes.
TEST(ResultsNeverLost, FilesTheRunDoesNotWriteThisTimeAreRemoved) {
  TestRun t;
  fs::copy_file(fs::path(VORN_SOURCE_DIR) / "examples/toluic/toluic.res", t.dir.path() / "toluic.res");
  t.write("vorn.inp", toluic_control());
  ASSERT_EQ(vorn_main(t.run, {}), 0);
  for (const char* f : {"xd_vorn.inp", "fixedH.ins", "reset.bond", "reduced.ang", "vorn.json"})
    ASSERT_TRUE(t.exists(f)) << f;
  t.write("notes.txt", "the user's own file\n");

  TestRun plain;
  plain.run.dir = t.dir.path();
  plain.run.model_record = false;
  t.write("vorn.inp", "FORMAT *shelx\nINPUT toluic.res\n");
  ASSERT_EQ(vorn_main(plain.run, {}), 0);
  std::set<std::string> left;
  for (const auto& e : fs::directory_iterator(t.dir.path())) left.insert(e.path().filename().string());
  const std::set<std::string> want = {"toluic.res", "vorn.inp", "notes.txt", "vorn.out", "xd_vorn.mas",
                                      "mopro_vorn.par", "con_mopro.inp", "vorn.spf", "vorn.ang"};
  EXPECT_EQ(left, want);
}

// Every file a run with every option writes belongs to the set that is
// staged and cleaned up.
TEST(ResultsNeverLost, EveryOutputFileIsOneOfTheSet) {
  TestRun t;
  fs::copy_file(fs::path(VORN_SOURCE_DIR) / "examples/toluic/toluic.res", t.dir.path() / "toluic.res");
  t.write("vorn.inp", toluic_control("VERBOSE 3\nKEYGEN *XYZUIJ all *ordered *MULT all *ordered *kappas\n"));
  ASSERT_EQ(vorn_main(t.run, {}), 0);
  const std::vector<std::string>& set = output_file_names();
  int written = 0;
  for (const auto& e : fs::directory_iterator(t.dir.path())) {
    const std::string name = e.path().filename().string();
    if (name == "toluic.res" || name == "vorn.inp" || name == "vorn.out") continue;
    ++written;
    EXPECT_NE(std::find(set.begin(), set.end(), name), set.end()) << name;
  }
  EXPECT_GE(written, 14);
}

// --strict: a misspelt keyword stops the run before an output file is
// touched; without it, the run goes on and the warning reaches standard
// error too.
TEST(ResultsNeverLost, StrictMakesAControlFileWarningAnError) {
  for (bool strict : {false, true}) {
    TestRun t;
    fs::copy_file(fs::path(VORN_SOURCE_DIR) / "examples/toluic/toluic.res", t.dir.path() / "toluic.res");
    t.write("vorn.inp", "FORMAT *shelx\nINPUT toluic.res\nEXTENDH\n");
    std::ostringstream diag;
    const int status = vorn_main(t.run, strict ? std::vector<std::string>{"--strict"} : std::vector<std::string>{}, diag);
    const std::string line = "vorn.inp, line 3: EXTENDH is no keyword; the line is passed over (did you mean EXTEND_H?)";
    EXPECT_NE(t.out.str().find(" WARNING: " + line), std::string::npos);
    if (strict) {
      EXPECT_EQ(status, 1);
      EXPECT_NE(diag.str().find("vorn: error: " + line + "\n"), std::string::npos) << diag.str();
      EXPECT_FALSE(t.exists("xd_vorn.mas"));
      EXPECT_TRUE(vorn::test::temporary_files(t.dir.path()).empty());
    } else {
      EXPECT_EQ(status, 0);
      EXPECT_EQ(diag.str(), "vorn: warning: " + line + "\n");
      EXPECT_TRUE(t.exists("xd_vorn.mas"));
    }
  }
}
