// The XD parameter file xd_vorn.inp and fixedH.ins.
#pragma once

#include "control/run.hpp"

namespace vorn {

void write_xd_inp(Run& run);

}  // namespace vorn
