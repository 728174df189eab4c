#include "control/run_folders.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <system_error>
#include <thread>
#include <vector>

#include "control/run_sequence.hpp"
#include "control/stop_signals.hpp"
#include "model/interaction.hpp"

namespace vorn {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// More folders than this draw a progress bar on a terminal.
constexpr std::size_t kFewFolders = 3;

double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

void write_all(int fd, const std::string& s) {
  std::size_t done = 0;
  while (done < s.size()) {
    const ssize_t k = ::write(fd, s.data() + done, s.size() - done);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) return;
    done += static_cast<std::size_t>(k);
  }
}

// The whole text a child wrote to one of its captured streams.
std::string captured(int fd) {
  std::string text;
  char buf[1 << 16];
  for (off_t at = 0;;) {
    const ssize_t k = ::pread(fd, buf, sizeof buf, at);
    if (k < 0 && errno == EINTR) continue;
    if (k <= 0) break;
    text.append(buf, static_cast<std::size_t>(k));
    at += k;
  }
  return text;
}

// A folder of a run in a child process.
struct Job {
  std::string folder;
  pid_t pid = -1;
  int out_fd = -1, err_fd = -1;  // the child's standard output and error, kept in memory
  Clock::time_point start;
  int status = -1;  // exit status once done
  double seconds = 0;
  bool started = false, done = false;
};

int exit_status_of(int wait_status) {
  if (WIFEXITED(wait_status)) return WEXITSTATUS(wait_status);
  if (WIFSIGNALED(wait_status)) return kExitSignalBase + WTERMSIG(wait_status);
  return kExitRunFailed;
}

// The progress bar on a terminal: one line redrawn in place.
class Progress {
 public:
  Progress(std::size_t total, bool shown) : total_(total), shown_(shown) {}
  void draw(std::size_t done, std::size_t failed, std::size_t running) {
    if (!shown_) return;
    constexpr std::size_t width = 30;
    const std::size_t filled = total_ == 0 ? width : done * width / total_;
    std::string bar = "\r[" + std::string(filled, '#') + std::string(width - filled, '.') + "] " + std::to_string(done) +
                      "/" + std::to_string(total_) + " folders";
    if (running > 0) bar += ", " + std::to_string(running) + " running";
    if (failed > 0) bar += ", " + std::to_string(failed) + " failed";
    write_all(STDERR_FILENO, bar + "\033[K");
    drawn_ = true;
  }
  void clear() {
    if (drawn_) write_all(STDERR_FILENO, "\r\033[K");
    drawn_ = false;
  }

 private:
  std::size_t total_;
  bool shown_;
  bool drawn_ = false;
};

int memory_file(const char* name) {
  const int fd = ::memfd_create(name, MFD_CLOEXEC);
  if (fd >= 0) return fd;
  std::FILE* f = std::tmpfile();  // where memory files cannot be had
  return f == nullptr ? -1 : ::dup(::fileno(f));
}

void start_child(Job& job, bool strict, const sigset_t& mask_before, pid_t parent) {
  job.out_fd = memory_file("vorn-stdout");
  job.err_fd = memory_file("vorn-stderr");
  job.start = Clock::now();
  job.started = true;
  std::cout.flush();
  const pid_t pid = job.out_fd < 0 || job.err_fd < 0 ? -1 : ::fork();
  if (pid == 0) {
    // A group of its own: Ctrl-C reaches the parent alone, which passes it
    // on once; and the run stops when the parent dies.
    ::setpgid(0, 0);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(kExitSignalBase + SIGTERM);
    ::signal(SIGCHLD, SIG_DFL);
    pthread_sigmask(SIG_SETMASK, &mask_before, nullptr);
    const int null_in = ::open("/dev/null", O_RDONLY);
    if (null_in < 0 || ::dup2(null_in, STDIN_FILENO) < 0 || ::dup2(job.out_fd, STDOUT_FILENO) < 0 ||
        ::dup2(job.err_fd, STDERR_FILENO) < 0)
      ::_exit(kExitRunFailed);
    const int status = run_here(job.folder, job.folder, strict);
    if (status > kExitSignalBase) end_as_signalled(status - kExitSignalBase);
    ::_exit(status);
  }
  if (pid < 0) {
    const std::string why = std::strerror(errno);
    job.done = true;
    job.status = kExitRunFailed;
    if (job.err_fd >= 0) write_all(job.err_fd, "vorn: error: " + job.folder + ": cannot start a run: " + why + "\n");
    return;
  }
  job.pid = pid;
}

int run_in_children(const CommandLine& cl, std::ostream& diag) {
  std::vector<Job> jobs(cl.folders.size());
  for (std::size_t k = 0; k < jobs.size(); ++k) jobs[k].folder = cl.folders[k];
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  const std::size_t at_once = cl.jobs > 0 ? static_cast<std::size_t>(cl.jobs) : cores;

  // The parent waits for its children and for the stop signals in one
  // place (sigtimedwait); SIGCHLD needs a handler to be queued at all.
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = [](int) {};
  sigemptyset(&sa.sa_mask);
  struct sigaction chld_before;
  sigaction(SIGCHLD, &sa, &chld_before);
  sigset_t waited, mask_before;
  sigemptyset(&waited);
  for (int s : {SIGCHLD, SIGINT, SIGTERM}) sigaddset(&waited, s);
  pthread_sigmask(SIG_BLOCK, &waited, &mask_before);

  diag.flush();
  Progress progress(jobs.size(), ::isatty(STDERR_FILENO) == 1 && jobs.size() > kFewFolders);
  const pid_t parent = ::getpid();
  std::size_t next = 0, running = 0, finished = 0, failed = 0, passed = 0;
  int stop = 0;
  int worst = kExitDone;

  auto finish = [&](Job& j) {
    progress.clear();
    if (j.err_fd >= 0) write_all(STDERR_FILENO, captured(j.err_fd));
    write_all(STDERR_FILENO, status_line(j.folder, j.status, j.seconds) + "\n");
    worst = std::max(worst, j.status);
    ++finished;
    if (j.status != kExitDone) ++failed;
    // Standard output in the order of the folders given.
    while (passed < jobs.size() && jobs[passed].done) {
      Job& p = jobs[passed++];
      if (p.out_fd >= 0) {
        write_all(STDOUT_FILENO, captured(p.out_fd));
        ::close(p.out_fd);
      }
      if (p.err_fd >= 0) ::close(p.err_fd);
      p.out_fd = p.err_fd = -1;
    }
  };

  for (;;) {
    while (stop == 0 && running < at_once && next < jobs.size()) {
      Job& j = jobs[next++];
      start_child(j, cl.strict, mask_before, parent);
      if (j.done)
        finish(j);
      else
        ++running;
    }
    progress.draw(finished, failed, running);
    if (running == 0) break;
    siginfo_t info;
    const timespec tick{1, 0};
    const int s = ::sigtimedwait(&waited, &info, &tick);
    if ((s == SIGINT || s == SIGTERM) && stop == 0) {
      stop = s;
      for (const Job& j : jobs)
        if (j.pid > 0 && !j.done) ::kill(j.pid, s);
    } else if (s == SIGINT || s == SIGTERM) {
      // A second signal: the runs stop at once.
      for (const Job& j : jobs)
        if (j.pid > 0 && !j.done) ::kill(j.pid, s);
    }
    for (int st = 0;;) {
      const pid_t pid = ::waitpid(-1, &st, WNOHANG);
      if (pid <= 0) break;
      for (Job& j : jobs) {
        if (j.pid != pid || j.done) continue;
        j.done = true;
        j.status = exit_status_of(st);
        j.seconds = seconds_since(j.start);
        --running;
        finish(j);
      }
    }
  }
  progress.clear();
  for (std::size_t k = next; k < jobs.size(); ++k)
    write_all(STDERR_FILENO, "vorn: " + jobs[k].folder + ": not run (stopped by " + signal_name(stop) + ")\n");
  sigaction(SIGCHLD, &chld_before, nullptr);
  pthread_sigmask(SIG_SETMASK, &mask_before, nullptr);
  if (stop != 0) worst = std::max(worst, kExitSignalBase + stop);
  return worst;
}

}  // namespace

std::string status_line(const std::string& folder, int status, double seconds) {
  char time[32];
  std::snprintf(time, sizeof time, "%.2f s", seconds);
  std::string what;
  if (status == kExitDone)
    what = std::string("completed in ") + time;
  else if (status == kExitSignalBase + SIGINT || status == kExitSignalBase + SIGTERM)
    what = "stopped by " + signal_name(status - kExitSignalBase) + " after " + time + ", no output file changed";
  else if (status > kExitSignalBase)
    what = "ended by " + signal_name(status - kExitSignalBase) + " after " + time;
  else
    what = "failed (exit status " + std::to_string(status) + ") after " + time + ", no output file changed";
  return "vorn: " + folder + ": " + what;
}

int run_here(const fs::path& dir, const std::string& label, bool strict) {
  // The run state lives until the process ends: a large structure leaves
  // millions of small objects that the system takes back at once, faster
  // than freeing them one by one. Every file is closed before.
  auto* out = new std::ostream(std::cout.rdbuf());
  auto* run = new Run(*out, std::cin, dir);
  run->take_standard_output(STDOUT_FILENO);
  run->take_standard_input(STDIN_FILENO);
  run->folder = label;
  int status = 0;
  {
    StopSignals stops(*run);
    status = run_in_folder(*run, strict, std::cerr);
  }
  run->close_all();
  return status;
}

int run_folders(const CommandLine& cl, std::ostream& diag) {
  for (const std::string& f : cl.folders) {
    std::error_code ec;
    if (fs::is_directory(f, ec)) continue;
    diag << "vorn: error: " << f
         << (fs::exists(f, ec) ? " is not a folder" : " does not exist")
         << ": vorn runs in folders that hold vorn.inp (to start one for a structure file: vorn --init FILE)\n";
    print_usage(diag);
    return kExitUsage;
  }
  // Two runs in one folder at a time would write over each other's files.
  for (std::size_t a = 0; a < cl.folders.size(); ++a)
    for (std::size_t b = a + 1; b < cl.folders.size(); ++b) {
      std::error_code ec;
      if (!fs::equivalent(cl.folders[a], cl.folders[b], ec)) continue;
      diag << "vorn: error: " << cl.folders[a] << " and " << cl.folders[b]
           << " are the same folder: give each folder once\n";
      print_usage(diag);
      return kExitUsage;
    }
  if (cl.folders.size() > 1) return run_in_children(cl, diag);
  const auto t0 = Clock::now();
  const int status = run_here(cl.folders.front(), cl.folders.front(), cl.strict);
  diag << status_line(cl.folders.front(), status, seconds_since(t0)) << '\n';
  return status;
}

}  // namespace vorn
