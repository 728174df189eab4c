#include "io/output_set.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "support/builders.hpp"

namespace vorn {
namespace {

namespace fs = std::filesystem;
using test::read_file;
using test::ScratchDir;

const std::vector<std::string> kNames = {"a.mas", "b.par", "c.json"};

void put(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

// Every file of the folder with its content.
std::map<std::string, std::string> folder(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::directory_iterator(dir)) files[e.path().filename().string()] = read_file(e.path());
  return files;
}

// The previous run's outputs are the folder's until the commit; then the
// new ones, and only they, are there.
TEST(OutputSet, CommitPutsTheNewFilesInPlaceAndRemovesTheOldOnesNotWritten) {
  ScratchDir d;
  put(d.path() / "a.mas", "old a");
  put(d.path() / "c.json", "old c, of another run");
  put(d.path() / "user.txt", "not ours");
  OutputSet set;
  set.begin(d.path(), kNames);
  const fs::path a = set.path_for(d.path(), "a.mas");
  const fs::path b = set.path_for(d.path(), "b.par");
  EXPECT_NE(a, d.path() / "a.mas");
  EXPECT_EQ(a.parent_path(), d.path());  // renamed within the folder: one file system
  put(a, "new a");
  put(b, "new b");
  EXPECT_EQ(read_file(d.path() / "a.mas"), "old a");
  set.commit();
  EXPECT_TRUE(set.committed());
  const std::map<std::string, std::string> want = {{"a.mas", "new a"}, {"b.par", "new b"}, {"user.txt", "not ours"}};
  EXPECT_EQ(folder(d.path()), want);
}

TEST(OutputSet, AbandonLeavesTheFolderAsItWasAndRemovesEveryTemporaryFile) {
  ScratchDir d;
  put(d.path() / "a.mas", "old a");
  put(d.path() / "c.json", "old c");
  const auto before = folder(d.path());
  OutputSet set;
  set.begin(d.path(), kNames);
  put(set.path_for(d.path(), "a.mas"), "half of a new a");
  put(set.path_for(d.path(), "b.par"), "");
  set.abandon();
  EXPECT_FALSE(set.staging());
  EXPECT_FALSE(set.committed());
  EXPECT_EQ(folder(d.path()), before);
  // A second abandon (an error after an error) finds nothing to do.
  set.abandon();
  EXPECT_EQ(folder(d.path()), before);
}

// A run killed outright leaves its temporary files; the next run clears
// them whether it succeeds or not.
TEST(OutputSet, TemporaryFilesOfAKilledRunAreClearedByTheNext) {
  for (bool succeeds : {true, false}) {
    ScratchDir d;
    OutputSet killed;
    killed.begin(d.path(), kNames);
    for (const std::string& n : kNames) put(killed.path_for(d.path(), n), "cut sh");
    OutputSet next;
    next.begin(d.path(), kNames);
    put(next.path_for(d.path(), "a.mas"), "whole a");
    if (succeeds) {
      next.commit();
      EXPECT_EQ(folder(d.path()), (std::map<std::string, std::string>{{"a.mas", "whole a"}}));
    } else {
      next.abandon();
      EXPECT_TRUE(folder(d.path()).empty());
    }
  }
}

TEST(OutputSet, ANameOutsideTheSetStopsTheRun) {
  ScratchDir d;
  OutputSet set;
  set.begin(d.path(), kNames);
  try {
    set.path_for(d.path(), "new_output.txt");
    FAIL() << "no error";
  } catch (const VornError& e) {
    EXPECT_NE(e.message().find("new_output.txt is not among the program's output files"), std::string::npos);
  }
}

// A file that cannot be put in place (here a folder stands under its name)
// stops the run with the system's reason; what was not renamed is still
// there to be abandoned.
TEST(OutputSet, ACommitThatFailsSaysWhyAndNamesWhatIsInPlace) {
  ScratchDir d;
  fs::create_directory(d.path() / "b.par");
  put(d.path() / "b.par" / "inside", "x");
  OutputSet set;
  set.begin(d.path(), kNames);
  put(set.path_for(d.path(), "a.mas"), "new a");
  put(set.path_for(d.path(), "b.par"), "new b");
  try {
    set.commit();
    FAIL() << "no error";
  } catch (const VornError& e) {
    EXPECT_NE(e.message().find("Unable to put output file b.par in place (Is a directory)"), std::string::npos)
        << e.message();
    EXPECT_NE(e.message().find("already in place: a.mas"), std::string::npos) << e.message();
  }
  EXPECT_FALSE(set.committed());
  set.abandon();
  EXPECT_EQ(read_file(d.path() / "a.mas"), "new a");
  EXPECT_TRUE(fs::is_directory(d.path() / "b.par"));
  for (const auto& e : fs::directory_iterator(d.path()))
    EXPECT_EQ(e.path().string().find(std::string(OutputSet::kTemporarySuffix)), std::string::npos) << e.path();
}

}  // namespace
}  // namespace vorn
