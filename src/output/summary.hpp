// The closing summary naming the output files.
#pragma once

#include "control/run.hpp"

namespace vorn {

void print_summary(Run& run, bool parameter_files);

}  // namespace vorn
