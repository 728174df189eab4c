// SHELX instruction and result files (.ins, .res).
#pragma once

#include <string>

#include "control/run.hpp"

namespace vorn {

// Reads the structure file into the atom table, writes the head of the XD
// master file and of the MoPro parameter file.
void ReadShelx(Run& run, const std::string& fname);

}  // namespace vorn
