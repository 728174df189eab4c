// vorn: automatic set-up of the local coordinate systems of a multipole model.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "control/run_sequence.hpp"
#include "model/run.hpp"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  // The run state lives until the process ends: a large structure leaves
  // millions of small objects that the system takes back at once, faster
  // than freeing them one by one. Every file is closed before.
  std::ostream out(std::cout.rdbuf());
  auto* run = new vorn::Run(out, std::cin, std::filesystem::current_path());
  run->take_standard_output(STDOUT_FILENO);
  const int status = vorn::vorn_main(*run, args);
  run->close_all();
  std::exit(status);
}
