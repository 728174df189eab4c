#include "control/run_sequence.hpp"

#include "control/error.hpp"

namespace vorn {

void print_banner(std::ostream&) {}
void print_sample_input(std::ostream&) {}
void run_sequence(Run&) {}

int vorn_main(Run& run, const std::vector<std::string>& args) {
  if (!args.empty()) {
    print_banner(run.out);
    if (args[0].rfind("-h", 0) == 0) print_sample_input(run.out);
    return 0;
  }
  try {
    run_sequence(run);
  } catch (const VornError& e) {
    return 1;
  }
  return 0;
}

}  // namespace vorn
