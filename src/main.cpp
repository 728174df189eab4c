// vorn: automatic set-up of the local coordinate systems of a multipole model.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "control/command_line.hpp"
#include "control/run_folders.hpp"
#include "control/run_sequence.hpp"
#include "control/stop_signals.hpp"
#include "model/run.hpp"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + 1, argv + argc);
  const vorn::CommandLine cl = vorn::parse_command_line(args);
  int status = 0;
  if (cl.action == vorn::CommandLine::Action::Run) {
    status = cl.folders.empty() ? vorn::run_here(std::filesystem::current_path(), ".", cl.strict)
                                : vorn::run_folders(cl, std::cerr);
  } else {
    std::ostream out(std::cout.rdbuf());
    vorn::Run run(out, std::cin, std::filesystem::current_path());
    status = vorn::vorn_main(run, args);
    run.close_all();
    std::cout.flush();
  }
  if (status > vorn::kExitSignalBase) vorn::end_as_signalled(status - vorn::kExitSignalBase);
  std::exit(status);
}
