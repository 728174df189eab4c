// Ring search over the reduced connectivity table.
#pragma once

#include "model/run.hpp"

namespace vorn {

// Walks the bonds of newat/conmat depth first, each directed bond once, and
// stores every ring closed by the walk whose size lies within ring1.nmin ..
// ring1.nmax, once, with its planarity flag (rings of four or more atoms are
// tested). Which rings of a fused or cage system are found follows from the
// order of positions and partner slots; the first position with more than
// two partners is moved to position 1 (newat and conmat are changed
// accordingly) before the walk starts.
void FindRings(Run& run);

}  // namespace vorn
