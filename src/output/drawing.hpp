// The rest of the drawing file vorn.spf after the per-atom lines.
#pragma once

#include "model/run.hpp"

namespace vorn {

// Dummy atoms, JOIN RADII, the fixed colour/radius/label block and PLOT, to
// run.spf. The caller writes the head and closes the file.
void write_spf_rest(Run& run);

// The radius PLATON joins atoms of element z with: its covalent radius, as
// RADII left it. False for an element without one (z = 0, or beyond Lr),
// which the drawing leaves out.
bool join_radius(const Run& run, int z, float& r);

}  // namespace vorn
