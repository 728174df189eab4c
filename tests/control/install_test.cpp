// make install (cmake --install) into a scratch prefix, then runs of the
// installed program: the databank lands where the DATABANK line of the
// sample control file looks for it, relative to the prefix.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
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

// The path on the DATABANK line of the sample control file.
std::string sample_databank_path() {
  std::ostringstream os;
  print_sample_input(os);
  const std::string s = os.str();
  const std::size_t p = s.find("\nDATABANK ");
  if (p == std::string::npos) return {};
  const std::size_t from = p + 10;
  return s.substr(from, s.find('\n', from) - from);
}

TEST(Install, TheInstalledProgramRunsAndFindsTheDatabankOfTheSample) {
  test::ScratchDir scratch;
  const fs::path prefix = scratch.path() / "prefix";
  // The build folder holds the program (CMakeLists.txt puts it at the top).
  const fs::path build = fs::path(VORN_BINARY).parent_path();
  const std::string install = "cmake --install " + quoted(build) + " --prefix " + quoted(prefix) + " > " +
                              quoted(scratch.path() / "install.log") + " 2>&1";
  ASSERT_EQ(std::system(install.c_str()), 0) << text_of(scratch.path() / "install.log");

  const fs::path vorn = prefix / "bin" / "vorn";
  ASSERT_TRUE(fs::exists(vorn));
  const std::string sample = sample_databank_path();
  const std::string usual = "/usr/local/";
  ASSERT_EQ(sample.rfind(usual, 0), 0u) << sample;
  const fs::path db = prefix / sample.substr(usual.size());
  ASSERT_TRUE(fs::exists(db)) << db;
  EXPECT_EQ(text_of(db), text_of(fs::path(VORN_SOURCE_DIR) / "examples/databank/vorn_example.db"));

  const fs::path work = scratch.path() / "work";
  fs::create_directories(work);
  const std::string version = "cd " + quoted(work) + " && " + quoted(vorn) + " --version > version.txt";
  ASSERT_EQ(std::system(version.c_str()), 0);
  EXPECT_EQ(text_of(work / "version.txt"), std::string("vorn ") + program_version() + "\n");

  // A whole run of the installed program on the example, with the sample's
  // databank line moved under the prefix.
  fs::copy_file(fs::path(VORN_SOURCE_DIR) / "examples/toluic/toluic.res", work / "toluic.res");
  std::ofstream(work / "vorn.inp") << "FORMAT *shelx\nINPUT toluic.res\nNCELLS 1\nRINGS 3 8 *special\nEXTEND_H\n"
                                   << "DATABANK " << db.string() << "\nCHFRAG 0.0\n";
  const std::string run = "cd " + quoted(work) + " && " + quoted(vorn) + " < /dev/null > out.txt 2>&1";
  ASSERT_EQ(std::system(run.c_str()), 0) << text_of(work / "out.txt");
  EXPECT_NE(text_of(work / "out.txt").find(" ATOMS SEARCHED in DB, FOUND in DB, NOT FOUND in DB =       18 "),
            std::string::npos)
      << text_of(work / "out.txt");
  EXPECT_NE(text_of(work / "xd_vorn.inp").find("XDPARFILE VERSION  2"), std::string::npos);
}

}  // namespace
}  // namespace vorn
