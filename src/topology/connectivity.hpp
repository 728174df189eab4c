// The reduced connectivity table used by the ring search.
#pragma once

#include "control/run.hpp"

namespace vorn {

void connect4rings(Run& run);

}  // namespace vorn
