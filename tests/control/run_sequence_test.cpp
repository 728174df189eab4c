#include "control/run_sequence.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

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

TEST(CommandLine, AnyOtherArgumentPrintsOnlyTheBanner) {
  TestRun t;
  EXPECT_EQ(vorn_main(t.run, {"anything"}), 0);
  std::ostringstream banner;
  print_banner(banner);
  EXPECT_EQ(t.out.str(), banner.str());
  EXPECT_EQ(count_lines(banner.str()), 10);
  EXPECT_EQ(files_in(t.dir.path()), 0);
}

TEST(RunSequence, MissingControlFileStopsWithStatusOne) {
  TestRun t;
  EXPECT_EQ(vorn_main(t.run, {}), 1);
  const std::string banner = "\n ERROR *** ReadInp *** Unable to open VORN input file vorn.inp\n\n";
  std::string out = t.out.str();
  ASSERT_GE(out.size(), banner.size());
  EXPECT_EQ(out.substr(out.size() - banner.size()), banner);
  std::string lst = t.read("vorn.out");
  EXPECT_EQ(lst.substr(lst.size() - banner.size()), banner);
  // the output files opened before the control file keep their heads
  EXPECT_EQ(t.read("con_mopro.inp"), "!\n! local symmetry  \n!\n");
  EXPECT_EQ(t.read("mopro_vorn.par").substr(0, 81), std::string(80, '!') + "\n");
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
