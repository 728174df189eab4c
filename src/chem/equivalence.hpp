// Chemical equivalence of two atoms.
#pragma once

#include "model/run.hpp"

namespace vorn {

// 1 when atoms i and j are equivalent under the given switches.
int sameatoms(Run& run, int i, int j, int isym, int igroup, int isimple, int iring);

}  // namespace vorn
