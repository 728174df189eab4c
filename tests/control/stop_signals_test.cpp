// SIGTERM and SIGINT in the middle of a run: the outputs of the run before
// stay byte for byte, no temporary file is left, and the run says why it
// stopped. Through the program itself, as a user's Ctrl-C or a batch
// system's kill reaches it.
#include "control/stop_signals.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "structure_gen.hpp"
#include "support/builders.hpp"
#include "support/program.hpp"

namespace vorn {
namespace {

namespace fs = std::filesystem;
using test::read_file;

const std::string kDatabank = (fs::path(VORN_SOURCE_DIR) / "examples/databank/vorn_example.db").string();

// The folder's files but the listing, which is each run's own.
std::map<std::string, std::string> outputs_but_listing(const fs::path& dir) {
  auto files = test::folder_files(dir);
  files.erase("vorn.out");
  return files;
}

int write_structure(const fs::path& dir, int atoms) {
  bench::GenOptions opts;
  opts.target_atoms = atoms;
  const bench::Structure s = bench::generate(opts);
  std::ofstream(dir / "bench.res") << bench::shelx_text(s);
  std::ofstream(dir / "vorn.inp") << bench::control_text("bench.res", kDatabank, s.natoms());
  return s.natoms();
}

// True while the process has not ended (it may be stopped).
bool still_running(pid_t pid) {
  siginfo_t info{};
  return ::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

// Waits until the path exists or the process has ended; true when it
// exists while the process runs.
bool wait_for(const fs::path& p, pid_t pid) {
  while (still_running(pid)) {
    if (fs::exists(p)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

void expect_stopped_cleanly(const test::ProgramResult& r, const fs::path& dir,
                            const std::map<std::string, std::string>& before, const std::string& signal) {
  EXPECT_EQ(outputs_but_listing(dir), before) << "an output file changed";
  EXPECT_TRUE(test::temporary_files(dir).empty());
  const std::string stopped = "Stopped by " + signal + ": no output file was changed";
  EXPECT_NE(r.out.find(stopped), std::string::npos) << r.out.substr(r.out.size() > 800 ? r.out.size() - 800 : 0);
  EXPECT_NE(read_file(dir / "vorn.out").find(stopped), std::string::npos);
  EXPECT_NE(r.err.find("vorn: error: .: vorn: Stopped by " + signal), std::string::npos) << r.err;
}

// A 20,000-atom run, frozen while it sets up the atoms (its temporary
// vorn.ang has appeared), sent SIGTERM and let go. A run that ends before it
// could be frozen is tried again.
TEST(StopSignals, SigtermInTheMiddleOfALargeRunChangesNoOutput) {
  test::ScratchDir scratch;
  const fs::path dir = scratch.path() / "large";
  fs::create_directories(dir);
  ASSERT_GT(write_structure(dir, 20000), 19000);
  bool caught = false;
  for (int attempt = 0; attempt < 5 && !caught; ++attempt) {
    const test::ProgramResult good = test::run_program(dir, {});
    ASSERT_EQ(good.status, 0) << good.err;
    const auto before = outputs_but_listing(dir);
    test::Program run(dir, {});
    if (!wait_for(dir / "vorn.ang.vorn-tmp", run.pid())) continue;
    ::kill(run.pid(), SIGSTOP);
    if (!still_running(run.pid())) continue;
    caught = true;
    ::kill(run.pid(), SIGTERM);
    ::kill(run.pid(), SIGCONT);
    const test::ProgramResult r = run.wait();
    EXPECT_EQ(r.status, 128 + SIGTERM);
    expect_stopped_cleanly(r, dir, before, "SIGTERM");
  }
  EXPECT_TRUE(caught) << "the run always ended before it could be stopped";
}

// Ctrl-C while the run waits for a fragment charge on the terminal (here a
// pipe that never answers).
TEST(StopSignals, SigintAtThePromptChangesNoOutput) {
  test::ScratchDir scratch;
  const fs::path dir = scratch.path() / "prompt";
  fs::create_directories(dir);
  write_structure(dir, 66);
  ASSERT_EQ(test::run_program(dir, {}).status, 0);
  const auto before = outputs_but_listing(dir);
  std::string control = read_file(dir / "vorn.inp");
  control.erase(control.find("CHFRAG"));
  std::ofstream(dir / "vorn.inp") << control;
  const auto before_with_control = outputs_but_listing(dir);
  const fs::path fifo = scratch.path() / "answers";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int writer = ::open(fifo.c_str(), O_RDWR);  // open for as long as the run waits
  ASSERT_GE(writer, 0);
  test::Program run(dir, {}, {}, fifo.string());
  const fs::path out = scratch.path() / "prompt.stdout";
  bool asked = false;
  while (!asked && still_running(run.pid())) {
    asked = read_file(out).find("Enter net charge of fragment") != std::string::npos;
    if (!asked) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_TRUE(asked);
  ::kill(run.pid(), SIGINT);
  const test::ProgramResult r = run.wait();
  ::close(writer);
  EXPECT_EQ(r.status, 128 + SIGINT);
  expect_stopped_cleanly(r, dir, before_with_control, "SIGINT");
  EXPECT_EQ(before_with_control.at("xd_vorn.inp"), before.at("xd_vorn.inp"));
}

// A second signal before the run could look at the first: the process ends
// at once, and still removes its temporary files.
TEST(StopSignals, ASecondSignalStopsAtOnceWithoutLeavingTemporaryFiles) {
  test::ScratchDir scratch;
  const fs::path dir = scratch.path() / "twice";
  fs::create_directories(dir);
  write_structure(dir, 2000);
  ASSERT_EQ(test::run_program(dir, {}).status, 0);
  const auto before = outputs_but_listing(dir);
  bool caught = false;
  for (int attempt = 0; attempt < 5 && !caught; ++attempt) {
    test::Program run(dir, {});
    if (!wait_for(dir / "mopro_vorn.par.vorn-tmp", run.pid())) continue;
    ::kill(run.pid(), SIGSTOP);
    if (!still_running(run.pid())) continue;
    caught = true;
    ::kill(run.pid(), SIGINT);
    ::kill(run.pid(), SIGTERM);
    ::kill(run.pid(), SIGCONT);
    const test::ProgramResult r = run.wait();
    EXPECT_TRUE(r.status == 128 + SIGINT || r.status == 128 + SIGTERM) << r.status;
    EXPECT_NE(r.err.find("vorn: stopped at once by a second signal: no output file was changed"), std::string::npos)
        << r.err;
    EXPECT_EQ(outputs_but_listing(dir), before);
    EXPECT_TRUE(test::temporary_files(dir).empty());
  }
  EXPECT_TRUE(caught);
}

}  // namespace
}  // namespace vorn
