#include "model/interaction.hpp"

#include <poll.h>
#include <signal.h>

#include <cerrno>

#include "base/error.hpp"
#include "format/fortran_io.hpp"

namespace vorn {

void warning(Run& run, std::string_view text, WarningSource from) {
  to_both(run, "(a)"_f, " WARNING: " + std::string(text));
  report_warning(run, text, from);
}

void report_warning(Run& run, std::string_view text, WarningSource from) {
  const bool fatal = from == WarningSource::ControlFile && run.strict;
  if (from == WarningSource::ControlFile) ++run.control_warnings;
  if (run.diag == nullptr) return;
  std::string line = fatal ? "vorn: error: " : "vorn: warning: ";
  if (!run.folder.empty()) line += run.folder + ": ";
  line.append(text);
  line += '\n';
  // One write per line: the lines of runs in parallel do not mix.
  run.diag->write(line.data(), static_cast<std::streamsize>(line.size()));
  run.diag->flush();
}

std::string signal_name(int signal) {
  if (signal == SIGINT) return "SIGINT";
  if (signal == SIGTERM) return "SIGTERM";
  return "signal " + std::to_string(signal);
}

void stop_if_asked(const Run& run) {
  if (const int s = run.stop_signal; s != 0) err("vorn", "Stopped by " + signal_name(s));
}

bool read_answer(Run& run, std::string& line) {
  stop_if_asked(run);
  if (run.in_fd >= 0 && run.in.rdbuf()->in_avail() <= 0) {
    // Waits with the two signals let through only inside ppoll, so that one
    // that comes just before the wait still ends it.
    sigset_t stops, before;
    sigemptyset(&stops);
    sigaddset(&stops, SIGINT);
    sigaddset(&stops, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stops, &before);
    pollfd p{run.in_fd, POLLIN, 0};
    while (run.stop_signal == 0 && ::ppoll(&p, 1, nullptr, &before) < 0 && errno == EINTR) {
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    stop_if_asked(run);
  }
  if (!std::getline(run.in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

}  // namespace vorn
