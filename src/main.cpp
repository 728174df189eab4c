// vorn: automatic set-up of the local coordinate systems of a multipole model.
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "control/run.hpp"
#include "control/run_sequence.hpp"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  std::vector<std::string> args(argv + 1, argv + argc);
  vorn::Run run(std::cout, std::cin, std::filesystem::current_path());
  int status = vorn::vorn_main(run, args);
  std::cout.flush();
  return status;
}
