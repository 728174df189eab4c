// make install (cmake --install) into a scratch prefix, then runs of the
// installed program: the DATABANK lines of its sample control file and of
// vorn --init name the databank where it landed, under that prefix; the
// guide lands in share/doc/vorn. The install needs no test library and no
// browser.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "control/run_sequence.hpp"
#include "support/builders.hpp"

namespace vorn {
namespace {

namespace fs = std::filesystem;

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

std::string text_of(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

// The path on the DATABANK line of a control file.
std::string databank_path(const std::string& control) {
  const std::string text = "\n" + control;
  const std::size_t p = text.find("\nDATABANK ");
  if (p == std::string::npos) return {};
  const std::size_t from = p + 10;
  return text.substr(from, text.find('\n', from) - from);
}

TEST(Install, TheInstalledProgramRunsAndNamesItsDatabank) {
  test::ScratchDir scratch;
  const fs::path prefix = scratch.path() / "prefix";
  // The build folder holds the program (CMakeLists.txt puts it at the top).
  const fs::path build = fs::path(VORN_BINARY).parent_path();
  const std::string install = "cmake --install " + quoted(build) + " --prefix " + quoted(prefix) + " > " +
                              quoted(scratch.path() / "install.log") + " 2>&1";
  ASSERT_EQ(std::system(install.c_str()), 0) << text_of(scratch.path() / "install.log");

  const fs::path vorn = prefix / "bin" / "vorn";
  ASSERT_TRUE(fs::exists(vorn));
  // The program, its databank and the guide with the texts it refers to:
  // nothing else.
  std::set<std::string> installed;
  for (const auto& e : fs::recursive_directory_iterator(prefix))
    if (e.is_regular_file()) installed.insert(fs::relative(e.path(), prefix).string());
  const std::set<std::string> expected = {"bin/vorn", "share/vorn/databank/vorn_db.txt", "share/doc/vorn/guide.md",
                                          "share/doc/vorn/json.md", "share/doc/vorn/README.md"};
  EXPECT_EQ(installed, expected);
  EXPECT_EQ(text_of(prefix / "share/doc/vorn/guide.md"), text_of(fs::path(VORN_SOURCE_DIR) / "docs/guide.md"));
  const fs::path db = (prefix / "share/vorn/databank/vorn_db.txt").lexically_normal();
  ASSERT_TRUE(fs::exists(db)) << db;
  EXPECT_EQ(text_of(db), text_of(fs::path(VORN_SOURCE_DIR) / "examples/databank/vorn_example.db"));

  const fs::path work = scratch.path() / "work";
  fs::create_directories(work);
  const std::string version = "cd " + quoted(work) + " && " + quoted(vorn) + " --version > version.txt";
  ASSERT_EQ(std::system(version.c_str()), 0);
  EXPECT_EQ(text_of(work / "version.txt"), std::string("vorn ") + program_version() + "\n");

  // The installed program's sample names the databank where it was put.
  const std::string help = "cd " + quoted(work) + " && " + quoted(vorn) + " -h > help.txt";
  ASSERT_EQ(std::system(help.c_str()), 0);
  EXPECT_EQ(databank_path(text_of(work / "help.txt")), db.string());

  // vorn --init in an empty folder with no VORN_DB: the control file takes
  // the installed databank, and runs as it is.
  fs::copy_file(fs::path(VORN_SOURCE_DIR) / "examples/toluic/toluic.res", work / "toluic.res");
  const std::string run = "cd " + quoted(work) + " && env -u VORN_DB " + quoted(vorn) +
                          " --init toluic.res > init.txt 2>&1 && env -u VORN_DB " + quoted(vorn) +
                          " < /dev/null > out.txt 2> err.txt";
  ASSERT_EQ(std::system(run.c_str()), 0) << text_of(work / "init.txt") << text_of(work / "out.txt");
  EXPECT_EQ(databank_path(text_of(work / "vorn.inp")), db.string());
  EXPECT_EQ(text_of(work / "err.txt"), "");
  EXPECT_EQ(text_of(work / "out.txt").find("WARNING"), std::string::npos);
  EXPECT_NE(text_of(work / "out.txt").find(" ATOMS SEARCHED in DB, FOUND in DB, NOT FOUND in DB =       18 "),
            std::string::npos)
      << text_of(work / "out.txt");
  EXPECT_NE(text_of(work / "xd_vorn.inp").find("XDPARFILE VERSION  2"), std::string::npos);
}

// What make install builds: a build folder configured with the tests off,
// where neither GoogleTest nor nlohmann/json may be found, configures, and
// the program it installs is built from the sources and the page's assets
// alone, with no test and no browser. make's install recipe checks only the
// packages of a build and builds the program alone.
TEST(Install, NeedsNeitherTheTestLibrariesNorABrowser) {
  test::ScratchDir scratch;
  const fs::path source(VORN_SOURCE_DIR);
  const fs::path build = scratch.path() / "build";
  const fs::path log = scratch.path() / "log.txt";
  const std::string configure = "cmake -S " + quoted(source) + " -B " + quoted(build) +
                                " -G Ninja -DCMAKE_BUILD_TYPE=Release -DVORN_TESTS=OFF"
                                " -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_nlohmann_json=ON > " +
                                quoted(log) + " 2>&1";
  ASSERT_EQ(std::system(configure.c_str()), 0) << text_of(log);

  const fs::path commands = scratch.path() / "commands.txt", targets = scratch.path() / "targets.txt";
  ASSERT_EQ(std::system(("ninja -C " + quoted(build) + " -t commands vorn > " + quoted(commands)).c_str()), 0);
  ASSERT_EQ(std::system(("ninja -C " + quoted(build) + " -t targets all > " + quoted(targets)).c_str()), 0);
  const std::string steps = text_of(commands);
  EXPECT_NE(steps.find("src/main.cpp"), std::string::npos) << steps.substr(0, 2000);
  EXPECT_NE(steps.find("page_assets"), std::string::npos);
  for (const char* absent : {"gtest", "GTest", "nlohmann", "chromium", "_test.cpp"})
    EXPECT_EQ(steps.find(absent), std::string::npos) << absent;
  EXPECT_EQ(text_of(targets).find("vorn_tests"), std::string::npos);

  // make -n prints the recipe without running it; a fresh build folder
  // shows its configuration too.
  const fs::path recipe = scratch.path() / "recipe.txt";
  const std::string make = "make -n -C " + quoted(source) + " install PREFIX=" + quoted(scratch.path() / "prefix") +
                           " BUILD_INSTALL=" + quoted(scratch.path() / "fresh") + " > " + quoted(recipe) + " 2>&1";
  ASSERT_EQ(std::system(make.c_str()), 0) << text_of(recipe);
  const std::string plan = text_of(recipe);
  EXPECT_NE(plan.find("-DVORN_TESTS=OFF"), std::string::npos) << plan;
  EXPECT_NE(plan.find("--target vorn\n"), std::string::npos) << plan;
  EXPECT_NE(plan.find("rapidjson-dev"), std::string::npos) << plan;
  for (const char* absent : {"libgtest-dev", "nlohmann-json3-dev", "chromium", "ctest"})
    EXPECT_EQ(plan.find(absent), std::string::npos) << absent << " in\n" << plan;
}

}  // namespace
}  // namespace vorn
