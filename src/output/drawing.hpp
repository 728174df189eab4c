// The rest of the drawing file vorn.spf after the per-atom lines.
#pragma once

#include "control/run.hpp"

namespace vorn {

void write_spf_rest(Run& run);

}  // namespace vorn
