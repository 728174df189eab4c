// The command line: vorn [OPTIONS] [DIR ...], vorn --init STRUCTURE, and
// the help that lists them.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace vorn {

// Exit statuses: the worst of the runs when several folders run.
constexpr int kExitDone = 0;         // every run completed (or help, version, --init)
constexpr int kExitRunFailed = 1;    // a run stopped on an error; its folder keeps the outputs of the run before
constexpr int kExitUsage = 2;        // the command line asked for what cannot be done
constexpr int kExitSignalBase = 128;  // + the signal that stopped a run (130 SIGINT, 143 SIGTERM)

struct CommandLine {
  enum class Action { Run, Help, Version, Init, Usage };
  Action action = Action::Run;
  std::vector<std::string> folders;  // where to run; none: the current folder
  int jobs = 0;                      // runs at a time; 0: one per core
  bool strict = false;
  std::string structure;             // --init
  std::string problem;               // Usage: what is wrong with the command line
};

CommandLine parse_command_line(const std::vector<std::string>& args);

// The short usage printed with a command-line problem.
void print_usage(std::ostream& os);
// Every option and the exit statuses, for --help.
void print_option_help(std::ostream& os);

}  // namespace vorn
