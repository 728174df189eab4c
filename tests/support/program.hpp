// Test support: the vorn program itself, run as a shell user runs it.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/builders.hpp"

namespace vorn::test {

// What a run of the program left: its exit status (128 + the signal when a
// signal ended it), standard output and standard error.
struct ProgramResult {
  int status = -1;
  std::string out, err;
};

// The program, started in dir with the arguments; standard input from the
// file stdin_path (default /dev/null). env: "NAME=value" to set, "NAME" to
// remove from the environment.
class Program {
 public:
  Program(const std::filesystem::path& dir, const std::vector<std::string>& args,
          const std::vector<std::string>& env = {}, const std::string& stdin_path = "/dev/null")
      : dir_(dir), out_(dir.parent_path() / (dir.filename().string() + ".stdout")),
        err_(dir.parent_path() / (dir.filename().string() + ".stderr")) {
    pid_ = ::fork();
    if (pid_ != 0) return;
    for (const std::string& e : env) {
      const std::size_t eq = e.find('=');
      if (eq == std::string::npos)
        ::unsetenv(e.c_str());
      else
        ::setenv(e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), 1);
    }
    const int in = ::open(stdin_path.c_str(), O_RDONLY);
    const int out = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || ::chdir(dir.c_str()) != 0) ::_exit(126);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    std::vector<char*> argv{const_cast<char*>(VORN_BINARY)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(VORN_BINARY, argv.data());
    ::_exit(127);
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;
  ~Program() {
    if (pid_ > 0 && !waited_) wait();
  }

  pid_t pid() const { return pid_; }
  // Waits for the end of the run.
  ProgramResult wait() {
    int st = 0;
    while (::waitpid(pid_, &st, 0) < 0 && errno == EINTR) {
    }
    waited_ = true;
    ProgramResult r;
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : WIFSIGNALED(st) ? 128 + WTERMSIG(st) : -1;
    r.out = read_file(out_);
    r.err = read_file(err_);
    std::filesystem::remove(out_);
    std::filesystem::remove(err_);
    return r;
  }

 private:
  std::filesystem::path dir_, out_, err_;
  pid_t pid_ = -1;
  bool waited_ = false;
};

inline ProgramResult run_program(const std::filesystem::path& dir, const std::vector<std::string>& args,
                                 const std::vector<std::string>& env = {}) {
  return Program(dir, args, env).wait();
}

// Every file of a folder with its bytes.
inline std::map<std::string, std::string> folder_files(const std::filesystem::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    if (e.is_regular_file()) files[e.path().filename().string()] = read_file(e.path());
  return files;
}

// The names of the files of a folder that a run left under a temporary name.
inline std::vector<std::string> temporary_files(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir))
    if (e.path().filename().string().find(".vorn-tmp") != std::string::npos)
      names.push_back(e.path().filename().string());
  return names;
}

}  // namespace vorn::test
