// vorn as it runs from main.cpp, but writing no vorn_rho.cif:
// make bench times both, so that the cost of the file shows as a ratio
// of two runs of the same build.
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
  std::ostream out(std::cout.rdbuf());
  auto* run = new vorn::Run(out, std::cin, std::filesystem::current_path());
  run->rho_cif = false;
  run->take_standard_output(STDOUT_FILENO);
  const int status = vorn::vorn_main(*run, args);
  run->close_all();
  std::exit(status);
}
