// XD master file (run.ctl.xdold) and XD parameter file.
#pragma once

#include <string>

#include "control/run.hpp"

namespace vorn {

void ReadXD(Run& run, const std::string& parfile);

}  // namespace vorn
