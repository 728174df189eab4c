// The atom table of an AIM2TAB output file (coordinates in bohr).
#pragma once

#include <string>

#include "model/run.hpp"

namespace vorn {

void ReadAim2Tab(Run& run, const std::string& fname);

}  // namespace vorn
