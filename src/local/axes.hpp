// The rules that choose an atom's local axes and site symmetry.
#pragma once

#include "model/run.hpp"

namespace vorn {

// Axes, site symmetry and the atom's output lines (called by localdef).
void DefLoc(Run& run, int atom);

}  // namespace vorn
