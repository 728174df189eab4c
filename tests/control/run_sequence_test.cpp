#include "control/run_sequence.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <stdlib.h>

#include "support/builders.hpp"

using namespace vorn;
using vorn::test::TestRun;

namespace {
int count_lines(const std::string& s) { return static_cast<int>(std::count(s.begin(), s.end(), '\n')); }

int files_in(const std::filesystem::path& d) {
  return static_cast<int>(std::distance(std::filesystem::directory_iterator(d), std::filesystem::directory_iterator()));
}
}  // namespace

TEST(CommandLine, HelpPrintsBannerAndTheSampleControlFile) {
  TestRun t;
  EXPECT_EQ(vorn_main(t.run, {"-h"}), 0);
  std::string out = t.out.str();
  std::ostringstream banner;
  print_banner(banner);
  ASSERT_EQ(out.substr(0, banner.str().size()), banner.str());
  std::string sample = out.substr(banner.str().size());
  EXPECT_EQ(count_lines(sample), 44);
  EXPECT_EQ(sample.substr(0, 4), " \n!\n");
  EXPECT_NE(sample.find("\nDATABANK "), std::string::npos);
  std::string db = sample.substr(sample.find("\nDATABANK ") + 1);
  EXPECT_EQ(db.find('\n'), 51u);
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

TEST(CommandLine, AnyOtherArgumentPrintsTheBannerAndSaysItIsNotUsed) {
  TestRun t;
  std::ostringstream diag;
  t.write("vorn.inp", "FORMAT *shelx\nINPUT x.res\n");
  EXPECT_EQ(vorn_main(t.run, {"x.res"}, diag), 0);
  std::ostringstream banner;
  print_banner(banner);
  EXPECT_EQ(t.out.str(), banner.str());
  EXPECT_EQ(count_lines(banner.str()), 10);
  EXPECT_EQ(diag.str(),
            "vorn reads vorn.inp in the working directory and takes no file names: the argument x.res is not used\n");
  EXPECT_EQ(files_in(t.dir.path()), 1);  // vorn.inp alone: nothing was run
  std::ostringstream two;
  TestRun u;
  EXPECT_EQ(vorn_main(u.run, {"a.res", "-v"}, two), 0);
  EXPECT_NE(two.str().find("the arguments a.res -v are not used"), std::string::npos);
}

TEST(RunSequence, MissingControlFileStopsWithStatusOne) {
  TestRun t;
  EXPECT_EQ(vorn_main(t.run, {}), 1);
  const std::string banner = "\n ERROR *** ReadInp *** Unable to open VORN input file vorn.inp\n\n";
  std::string out = t.out.str();
  ASSERT_GE(out.size(), banner.size());
  EXPECT_EQ(out.substr(out.size() - banner.size()), banner);
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
