// vorn DIR ...: runs in several folders, as a shell script or make would
// start them, through the program itself.
#include "control/run_folders.hpp"

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "control/command_line.hpp"
#include "structure_gen.hpp"
#include "support/builders.hpp"
#include "support/program.hpp"

namespace vorn {
namespace {

namespace fs = std::filesystem;
using test::lines_of;
using test::read_file;

// A folder with a small generated structure and its control file.
void make_folder(const fs::path& dir, int atoms = 66) {
  fs::create_directories(dir);
  bench::GenOptions opts;
  opts.target_atoms = atoms;
  const bench::Structure s = bench::generate(opts);
  std::ofstream(dir / "mol.res") << bench::shelx_text(s);
  const std::string db = (fs::path(VORN_SOURCE_DIR) / "examples/databank/vorn_example.db").string();
  std::ofstream(dir / "vorn.inp") << bench::control_text("mol.res", db, s.natoms());
}

void break_input(const fs::path& dir) {
  std::string control = read_file(dir / "vorn.inp");
  control.replace(control.find("INPUT   mol.res"), 15, "INPUT   mlo.res");
  std::ofstream(dir / "vorn.inp") << control;
}

std::vector<std::string> lines_starting(const std::string& text, const std::string& start) {
  std::vector<std::string> out;
  for (const std::string& l : lines_of(text))
    if (l.rfind(start, 0) == 0) out.push_back(l);
  return out;
}

// The second folder cannot be read: the others complete, each folder gets
// one status line, the error names its folder, and the exit status is the
// worst.
TEST(RunFolders, OneBrokenFolderAmongThreeRunsInParallel) {
  test::ScratchDir scratch;
  const fs::path top = scratch.path() / "work";
  for (const char* d : {"d1", "d2", "d3"}) make_folder(top / d);
  break_input(top / "d2");
  const test::ProgramResult r = test::run_program(top, {"-j", "2", "d1", "d2", "d3"});
  EXPECT_EQ(r.status, 1) << r.err;
  for (const char* d : {"d1", "d3"}) {
    EXPECT_TRUE(fs::exists(top / d / "xd_vorn.mas")) << d;
    EXPECT_TRUE(fs::exists(top / d / "xd_vorn.inp")) << d;
  }
  EXPECT_FALSE(fs::exists(top / "d2" / "xd_vorn.mas"));
  EXPECT_TRUE(test::temporary_files(top / "d2").empty());
  const std::vector<std::string> status = lines_starting(r.err, "vorn: d");
  ASSERT_EQ(status.size(), 3u) << r.err;
  auto status_of = [&](const std::string& d) {
    std::string found;
    for (const std::string& l : status)
      if (l.rfind("vorn: " + d + ": ", 0) == 0) found += l;
    return found;
  };
  EXPECT_EQ(status_of("d1").rfind("vorn: d1: completed in ", 0), 0u) << r.err;
  EXPECT_EQ(status_of("d2").rfind("vorn: d2: failed (exit status 1) after ", 0), 0u) << r.err;
  EXPECT_EQ(status_of("d3").rfind("vorn: d3: completed in ", 0), 0u) << r.err;
  EXPECT_NE(r.err.find("vorn: error: d2: ReadShelx: Error opening SHELX file... (mlo.res: cannot be opened: No such "
                       "file or directory)"),
            std::string::npos)
      << r.err;
  // Standard output: each folder's report whole, in the order given.
  const std::size_t banner1 = r.out.find("PROGRAM  V O R N");
  const std::size_t error2 = r.out.find(" ERROR *** ReadShelx ***");
  const std::size_t banner3 = r.out.find("PROGRAM  V O R N", error2 == std::string::npos ? 0 : error2);
  ASSERT_NE(banner1, std::string::npos);
  ASSERT_NE(error2, std::string::npos);
  ASSERT_NE(banner3, std::string::npos);
  EXPECT_LT(banner1, error2);
  EXPECT_EQ(lines_starting(r.out, " Total program elapsed times").size(), 2u);
}

// A single folder runs in the program's own process; the status line
// follows its run.
TEST(RunFolders, OneFolderGivenRunsThereWithItsStatusLine) {
  test::ScratchDir scratch;
  make_folder(scratch.path() / "only");
  const test::ProgramResult r = test::run_program(scratch.path(), {"only"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(lines_starting(r.err, "vorn: only: completed in ").size(), 1u) << r.err;
  EXPECT_EQ(lines_of(r.err).size(), 1u) << r.err;
  EXPECT_TRUE(fs::exists(scratch.path() / "only" / "xd_vorn.mas"));
}

// What the command line gets wrong runs nothing: exit status 2 and a usage
// on standard error.
TEST(RunFolders, CommandLineMistakesRunNothing) {
  test::ScratchDir scratch;
  make_folder(scratch.path() / "d1");
  make_folder(scratch.path() / "d1" / "inner");
  std::ofstream(scratch.path() / "d1" / "x.res") << "TITL x\n";
  const auto before = test::folder_files(scratch.path() / "d1");
  const std::vector<std::vector<std::string>> lines = {
      {"--frobnicate"}, {"x.res"}, {"inner", "x.res"}, {"-j", "0", "inner"}, {"--init"}, {"inner", "./inner/"}};
  for (const auto& args : lines) {
    const test::ProgramResult r = test::run_program(scratch.path() / "d1", args);
    EXPECT_EQ(r.status, 2) << args.front();
    EXPECT_EQ(r.out, "") << args.front();
    EXPECT_NE(r.err.find("usage: vorn"), std::string::npos) << args.front() << ": " << r.err;
    EXPECT_EQ(r.err.rfind("vorn: error: ", 0), 0u) << r.err;
    EXPECT_EQ(test::folder_files(scratch.path() / "d1"), before) << args.front();
    EXPECT_FALSE(fs::exists(scratch.path() / "d1" / "inner" / "vorn.out")) << args.front();
  }
  const test::ProgramResult r = test::run_program(scratch.path() / "d1", {"x.res"});
  EXPECT_NE(r.err.find("x.res is not a folder"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("vorn --init"), std::string::npos) << r.err;
}

// On a terminal, more than a few folders draw a progress bar on standard
// error, redrawn in place and cleared before each status line.
TEST(RunFolders, AProgressBarOnATerminal) {
  test::ScratchDir scratch;
  std::vector<std::string> args{"-j", "2"};
  for (int k = 1; k <= 5; ++k) {
    make_folder(scratch.path() / ("f" + std::to_string(k)));
    args.push_back("f" + std::to_string(k));
  }
  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (::chdir(scratch.path().c_str()) != 0) ::_exit(126);
    const int devnull = ::open("/dev/null", O_WRONLY);
    ::dup2(devnull, STDOUT_FILENO);  // the reports; the terminal keeps standard error
    std::vector<char*> argv{const_cast<char*>(VORN_BINARY)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(VORN_BINARY, argv.data());
    ::_exit(127);
  }
  std::string screen;
  char buf[4096];
  for (;;) {
    const ssize_t k = ::read(master, buf, sizeof buf);
    if (k > 0) {
      screen.append(buf, static_cast<std::size_t>(k));
      continue;
    }
    if (k < 0 && errno == EINTR) continue;
    break;  // the terminal closes with the program
  }
  int st = 0;
  ::waitpid(pid, &st, 0);
  ::close(master);
  EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << screen;
  EXPECT_NE(screen.find("] 0/5 folders, 2 running"), std::string::npos) << screen;
  EXPECT_NE(screen.find("\r\033[K"), std::string::npos);
  for (int k = 1; k <= 5; ++k)
    EXPECT_NE(screen.find("vorn: f" + std::to_string(k) + ": completed in "), std::string::npos) << screen;
  // Without a terminal there is no bar.
  const test::ProgramResult plain = test::run_program(scratch.path(), args);
  EXPECT_EQ(plain.err.find("folders"), std::string::npos) << plain.err;
  EXPECT_EQ(lines_of(plain.err).size(), 5u) << plain.err;
}

}  // namespace
}  // namespace vorn
