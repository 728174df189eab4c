// Ring search over the reduced connectivity table.
#pragma once

#include "control/run.hpp"

namespace vorn {

void FindRings(Run& run);

}  // namespace vorn
