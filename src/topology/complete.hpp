// Completion of fragments by symmetry images.
#pragma once

#include "control/run.hpp"

namespace vorn {

void gencompletefrags(Run& run);

}  // namespace vorn
