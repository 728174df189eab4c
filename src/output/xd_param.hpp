// The XD parameter file xd_vorn.inp and fixedH.ins.
#pragma once

#include "model/run.hpp"

namespace vorn {

// Writes xd_vorn.inp to run.inp and, when the H atoms were extended (and
// the simple conversion is off), one fixedH.ins line per atom to run.fixh.
// The caller opens and closes both files.
void write_xd_inp(Run& run);

}  // namespace vorn
