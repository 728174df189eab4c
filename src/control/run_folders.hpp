// vorn DIR ...: a run in each folder, several at a time.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>

#include "control/command_line.hpp"

namespace vorn {

// Runs in each folder of the command line (all must be folders, else
// nothing runs and the status is kExitUsage). One folder runs in this
// process, with standard input for its prompts; several run in child
// processes, up to cl.jobs at a time (default: one per core), with no
// standard input, their standard output passed on whole in the order given.
// Each folder gets one status line on diag with its time; when diag is a
// terminal and there are more than a few folders, a progress bar. Returns
// the worst exit status of the runs.
int run_folders(const CommandLine& cl, std::ostream& diag);

// One run in dir, in this process, as main() starts it: standard output and
// input taken over, the stop signals handled. `label` names the folder in
// the lines on standard error. Returns the exit status; a run stopped by a
// signal ends the process as that signal would have.
int run_here(const std::filesystem::path& dir, const std::string& label, bool strict);

// The status line of a folder: "vorn: DIR: completed in 0.42 s".
std::string status_line(const std::string& folder, int status, double seconds);

}  // namespace vorn
