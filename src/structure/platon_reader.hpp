// PLATON-style Cartesian coordinate files (ATOM label x y z).
#pragma once

#include <string>

#include "model/run.hpp"

namespace vorn {

void ReadPlaton(Run& run, const std::string& fname);

}  // namespace vorn
