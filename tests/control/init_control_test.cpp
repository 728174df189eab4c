// vorn --init: the control file it writes must run as it is, without a
// warning, on the structures users bring.
#include "control/init_control.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "control/run_sequence.hpp"
#include "support/builders.hpp"
#include "support/program.hpp"

namespace vorn {
namespace {

namespace fs = std::filesystem;
using test::lines_of;
using test::read_file;
using test::TestRun;

const fs::path kSource(VORN_SOURCE_DIR);
const fs::path kDatabank = kSource / "examples/databank/vorn_example.db";

// The line of the control file that starts with the keyword.
std::string line_with(const std::string& control, const std::string& keyword) {
  for (const std::string& l : lines_of(control))
    if (l.rfind(keyword, 0) == 0) return l;
  return {};
}

TEST(InitControl, FileNamesAreQuotedOnlyWhereInputNeedsIt) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"x.res", "x.res"},
      {"../data/1979688.cif", "../data/1979688.cif"},
      {"*odd.res", "*odd.res"},
      {"my structure.cif", "\"my structure.cif\""},
      {"tab\tname.res", ""},  // a control character: no quoting holds it
      {"a \"b\".cif", "'a \"b\".cif'"},
      {"it's here.res", "\"it's here.res\""},
      {"'quoted'.res", "\"'quoted'.res\""},
      {"both \"'.res", ""},
  };
  for (const auto& [name, word] : cases) EXPECT_EQ(input_word(name), word) << name;
}

// One structure: vorn --init and then vorn, as a user does in an empty
// folder. The run must complete with no warning on either stream and write
// the XD files.
void init_and_run(const fs::path& structure, bool with_databank) {
  const std::string name = structure.filename().string();
  TestRun t;
  fs::copy_file(structure, t.dir.path() / name);
  std::ostringstream init_diag;
  if (with_databank)
    setenv("VORN_DB", kDatabank.c_str(), 1);
  else
    unsetenv("VORN_DB");
  const int init = vorn_main(t.run, {"--init", name}, init_diag);
  unsetenv("VORN_DB");
  ASSERT_EQ(init, 0) << name << ": " << init_diag.str();
  EXPECT_EQ(init_diag.str(), "") << name;
  const std::string control = t.read("vorn.inp");
  if (with_databank) EXPECT_EQ(line_with(control, "DATABANK"), "DATABANK") << name;

  std::ostringstream diag;
  if (with_databank) setenv("VORN_DB", kDatabank.c_str(), 1);
  const int status = vorn_main(t.run, {}, diag);
  unsetenv("VORN_DB");
  const std::string out = t.out.str();
  EXPECT_EQ(status, 0) << name << ":\n" << out.substr(out.size() > 1500 ? out.size() - 1500 : 0);
  // The control file --init writes draws no warning. A few shared files
  // hold displacement parameters that are not positive definite; the
  // warning about those is the structure's own and stays.
  for (const std::string& text : {out, diag.str()})
    for (const std::string& l : test::lines_of(text))
      if (l.find("WARNING") != std::string::npos || l.find("warning") != std::string::npos)
        EXPECT_TRUE(l.find("not positive definite") != std::string::npos || l.find("Uiso not positive") != std::string::npos)
            << name << ": " << l;
  for (const char* f : {"xd_vorn.mas", "xd_vorn.inp"}) EXPECT_TRUE(t.exists(f)) << name << ": " << f;
  EXPECT_NE(t.read("xd_vorn.inp").find("XDPARFILE"), std::string::npos) << name;
}

// Every structure file shared with the project: half of them with the
// example databank (VORN_DB), half without one.
void init_and_run_all(const fs::path& dir, const std::string& extension) {
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == extension) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  ASSERT_FALSE(files.empty()) << dir;
  for (std::size_t k = 0; k < files.size(); ++k) init_and_run(files[k], k % 2 == 0);
}

TEST(InitControl, EverySharedCifRunsWithoutAWarning) {
  VORN_REQUIRE_SHARED(real);
  init_and_run_all(real.parent_path() / "cif", ".cif");
}

TEST(InitControl, EverySharedShelxFileRunsWithoutAWarning) {
  VORN_REQUIRE_SHARED(real);
  init_and_run_all(real.parent_path() / "cif", ".res");
  init_and_run_all(real, ".res");
}

// The shell's own way, with the installed program's view of the databank:
// vorn --init x.cif && vorn.
TEST(InitControl, TheProgramRunsTheFileItWrote) {
  test::ScratchDir d;
  fs::copy_file(kSource / "examples/toluic-cif/toluic.cif", d.path() / "toluic.cif");
  const test::ProgramResult init = test::run_program(d.path(), {"--init", "toluic.cif"}, {"VORN_DB"});
  ASSERT_EQ(init.status, 0) << init.err;
  EXPECT_EQ(init.err, "");
  EXPECT_NE(init.out.find("vorn.inp written for toluic.cif (CIF)"), std::string::npos) << init.out;
  const test::ProgramResult run = test::run_program(d.path(), {}, {"VORN_DB"});
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out.find("WARNING"), std::string::npos);
  EXPECT_TRUE(fs::exists(d.path() / "xd_vorn.mas"));
  EXPECT_TRUE(fs::exists(d.path() / "xd_vorn.inp"));
}

// Every line but the comments is a keyword of its own, each preceded by a
// comment; the settings are the defaults but for what XD needs.
TEST(InitControl, EachSettingHasItsCommentAndTheChargeIsToBeSet) {
  TestRun t;
  fs::copy_file(kSource / "examples/toluic/toluic.res", t.dir.path() / "toluic.res");
  std::ostringstream diag;
  setenv("VORN_DB", kDatabank.c_str(), 1);
  ASSERT_EQ(vorn_main(t.run, {"--init", "toluic.res"}, diag), 0) << diag.str();
  unsetenv("VORN_DB");
  const std::vector<std::string> lines = lines_of(t.read("vorn.inp"));
  ASSERT_GT(lines.size(), 10u);
  for (std::size_t k = 1; k < lines.size(); ++k)
    if (lines[k][0] != '!') EXPECT_EQ(lines[k - 1][0], '!') << lines[k] << " has no comment before it";
  const std::string control = t.read("vorn.inp");
  EXPECT_EQ(line_with(control, "FORMAT"), "FORMAT   *shelx");
  EXPECT_EQ(line_with(control, "INPUT"), "INPUT    toluic.res");
  EXPECT_EQ(line_with(control, "TOLS"), "TOLS     bond 0.2 ring 0.1 group 0.1");
  EXPECT_EQ(line_with(control, "EXTEND_H"), "EXTEND_H");
  EXPECT_EQ(line_with(control, "RINGS").substr(0, 12), "RINGS    3 8");
  EXPECT_EQ(line_with(control, "CHFRAG"), "CHFRAG   0.0");
  EXPECT_NE(control.find("SET THE NET CHARGE"), std::string::npos);
  // Nothing the sample sets otherwise than the defaults.
  for (const char* k : {"SIMPLE", "VERBOSE  4", "SCALE *sigma", "SCALE    *frac"})
    EXPECT_EQ(line_with(control, k), "") << k;
}

TEST(InitControl, AMultiBlockCifNamesItsBlocksAndReadsTheOneWithAtoms) {
  VORN_REQUIRE_SHARED(real);
  TestRun t;
  fs::copy_file(real.parent_path() / "cif" / "c2c_a.cif", t.dir.path() / "c2c_a.cif");
  std::ostringstream diag;
  ASSERT_EQ(vorn_main(t.run, {"--init", "c2c_a.cif"}, diag), 0);
  const std::string control = t.read("vorn.inp");
  EXPECT_EQ(line_with(control, "INPUT"), "INPUT    c2c_a.cif C2c_a");
  EXPECT_NE(control.find("! c2c_a.cif holds 2 data blocks: New_Global_Publ_Block, C2c_a (atom sites)\n"),
            std::string::npos)
      << control;
  EXPECT_NE(t.out.str().find("data block C2c_a"), std::string::npos);
}

// XD input comes as two files: either one given finds the other.
TEST(InitControl, AnXdFileFindsItsPartner) {
  TestRun first;
  fs::copy_file(kSource / "examples/toluic/toluic.res", first.dir.path() / "toluic.res");
  first.write("vorn.inp", "FORMAT *shelx\nINPUT toluic.res\nEXTEND_H\n");
  ASSERT_EQ(vorn_main(first.run, {}), 0);
  for (const char* given : {"xd.mas", "xd.inp"}) {
    TestRun t;
    fs::copy_file(first.dir.path() / "xd_vorn.mas", t.dir.path() / "xd.mas");
    fs::copy_file(first.dir.path() / "xd_vorn.inp", t.dir.path() / "xd.inp");
    std::ostringstream diag;
    ASSERT_EQ(vorn_main(t.run, {"--init", given}, diag), 0) << diag.str();
    EXPECT_EQ(line_with(t.read("vorn.inp"), "INPUT"), "INPUT    xd.mas xd.inp") << given;
    EXPECT_EQ(vorn_main(t.run, {}, diag), 0) << t.out.str();
    EXPECT_EQ(diag.str(), "");
  }
  // Without its parameter file a master file cannot be read.
  TestRun lone;
  fs::copy_file(first.dir.path() / "xd_vorn.mas", lone.dir.path() / "xd.mas");
  std::ostringstream diag;
  EXPECT_EQ(vorn_main(lone.run, {"--init", "xd.mas"}, diag), 2);
  EXPECT_NE(diag.str().find("no XD parameter file (.res or .inp) beside xd.mas"), std::string::npos) << diag.str();
  EXPECT_FALSE(lone.exists("vorn.inp"));
}

TEST(InitControl, ANameWithABlankIsQuotedOnInput) {
  TestRun t;
  fs::copy_file(kSource / "examples/toluic/toluic.res", t.dir.path() / "my toluic.res");
  std::ostringstream diag;
  ASSERT_EQ(vorn_main(t.run, {"--init", "my toluic.res"}, diag), 0) << diag.str();
  EXPECT_EQ(line_with(t.read("vorn.inp"), "INPUT"), "INPUT    \"my toluic.res\"");
}

// What --init cannot do it says on standard error, with exit status 2, and
// it writes nothing.
TEST(InitControl, RefusalsLeaveTheFolderAsItWas) {
  struct Case {
    std::string name, content, existing_control, message;
  };
  const std::vector<Case> cases = {
      {"x.res", read_file(kSource / "examples/toluic/toluic.res"), "FORMAT *shelx\nINPUT mine.res\n",
       "vorn.inp exists already here; --init never replaces it"},
      {"missing.res", "", "", "cannot read missing.res: No such file or directory"},
      {"notes.txt", "Some notes about the crystal.\nNothing to read here.\n", "",
       "cannot tell the format of notes.txt from its content"},
      {"empty.cif", "data_nothing\n_cell_length_a 5.0\n", "", "empty.cif is a CIF with no data block of atom sites"},
  };
  for (const Case& c : cases) {
    TestRun t;
    if (!c.content.empty()) t.write(c.name, c.content);
    if (!c.existing_control.empty()) t.write("vorn.inp", c.existing_control);
    const auto before = test::folder_files(t.dir.path());
    std::ostringstream diag;
    EXPECT_EQ(vorn_main(t.run, {"--init", c.name}, diag), 2) << c.name;
    EXPECT_NE(diag.str().find("vorn: error: " + c.message), std::string::npos) << c.name << ": " << diag.str();
    EXPECT_EQ(test::folder_files(t.dir.path()), before) << c.name;
  }
}

}  // namespace
}  // namespace vorn
