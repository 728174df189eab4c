// One invocation of vorn: banner and help, or the whole run from the control
// file to the closing summary.
#pragma once

#include <iostream>
#include <string>
#include <vector>

#include "base/version.hpp"
#include "model/run.hpp"

namespace vorn {

// Runs the program with its command-line arguments (command_line.hpp) in
// the run's folder; returns the exit status. Problems with the command line,
// and the errors and warnings of the run, go to diag (standard error).
int vorn_main(Run& run, const std::vector<std::string>& args, std::ostream& diag = std::cerr);

// One whole run in the run's folder: the output files are put in place when
// it succeeds; after an error or a stop asked for by a signal, the error
// banner and "no output file was changed" close the listing and standard
// output, and the files of the run before stay as they were. Returns the
// exit status.
int run_in_folder(Run& run, bool strict, std::ostream& diag);

// The whole run sequence; fatal errors leave it as VornError.
void run_sequence(Run& run);

void print_banner(std::ostream& os);
void print_sample_input(std::ostream& os);

}  // namespace vorn
