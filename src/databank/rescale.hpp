// Rescaling of valence populations per fragment.
#pragma once

#include "control/run.hpp"

namespace vorn {

void rescalePv(Run& run);

}  // namespace vorn
