// Pseudoatom databank: matching an atom to an entry.
#pragma once

#include <string>

#include "control/run.hpp"

namespace vorn {

void ReadDB(Run& run, int atom);
// Valence electrons of element z (outside the preceding noble-gas shell).
float pval(int z);

}  // namespace vorn
