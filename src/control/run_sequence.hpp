// One invocation of vorn: banner and help, or the whole run from the control
// file to the closing summary.
#pragma once

#include <iostream>
#include <string>
#include <vector>

#include "base/version.hpp"
#include "model/run.hpp"

namespace vorn {

// Runs the program with its command-line arguments; returns the exit status
// (0 after a completed run, the banner, help or version; 1 after a fatal
// error). An argument that is no option is reported on diag.
int vorn_main(Run& run, const std::vector<std::string>& args, std::ostream& diag = std::cerr);

// The whole run sequence; fatal errors leave it as VornError.
void run_sequence(Run& run);

void print_banner(std::ostream& os);
void print_sample_input(std::ostream& os);

}  // namespace vorn
