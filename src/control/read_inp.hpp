// The control file vorn.inp.
#pragma once

#include <string>

#include "control/run.hpp"
#include "control/textfile.hpp"

namespace vorn {

// Next logical line (continuation lines ending in "\" joined) into buf, 255
// characters; returns true at end of file.
bool ReadInputLine(TextFile& f, std::string& buf);

// Reads vorn.inp in the working directory into run.ctl (and run.covrad,
// run.ring1) and prints the options summary.
void ReadInp(Run& run);

// The options summary and the covalent-radius table, to the listing.
void print_options(Run& run);

}  // namespace vorn
