#include "control/stop_signals.hpp"

#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "model/output_files.hpp"

namespace vorn {

namespace {

// What the handler reaches: set before it is installed, left alone while it
// is (the process runs one Run at a time).
volatile std::sig_atomic_t* g_stop = nullptr;
std::vector<std::string> g_temporary;        // every temporary name the run may write
std::vector<const char*> g_temporary_cstr;   // the same, for unlink()
struct sigaction g_before_int, g_before_term;

void on_stop_signal(int signal) {
  if (g_stop != nullptr && *g_stop == 0) {
    *g_stop = signal;
    return;
  }
  for (const char* p : g_temporary_cstr) ::unlink(p);
  static const char kMessage[] = "vorn: stopped at once by a second signal: no output file was changed\n";
  [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace

StopSignals::StopSignals(Run& run) {
  g_stop = &run.stop_signal;
  g_temporary.clear();
  for (const std::string& name : output_file_names())
    g_temporary.push_back((run.dir / (name + std::string(OutputSet::kTemporarySuffix))).string());
  g_temporary_cstr.clear();
  for (const std::string& t : g_temporary) g_temporary_cstr.push_back(t.c_str());

  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = on_stop_signal;
  sigemptyset(&sa.sa_mask);
  // No SA_RESTART: a wait for input ends at once, and looks at the stop.
  sa.sa_flags = 0;
  sigaction(SIGINT, &sa, &g_before_int);
  sigaction(SIGTERM, &sa, &g_before_term);
}

StopSignals::~StopSignals() {
  sigaction(SIGINT, &g_before_int, nullptr);
  sigaction(SIGTERM, &g_before_term, nullptr);
  g_stop = nullptr;
}

void end_as_signalled(int signal) {
  ::signal(signal, SIG_DFL);
  sigset_t just;
  sigemptyset(&just);
  sigaddset(&just, signal);
  pthread_sigmask(SIG_UNBLOCK, &just, nullptr);
  ::raise(signal);
  ::_exit(128 + signal);
}

}  // namespace vorn
