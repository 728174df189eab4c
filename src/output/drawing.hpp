// The rest of the drawing file vorn.spf after the per-atom lines.
#pragma once

#include "model/run.hpp"

namespace vorn {

// Dummy atoms, JOIN RADII, the fixed colour/radius/label block and PLOT, to
// run.spf. The caller writes the head and closes the file.
void write_spf_rest(Run& run);

// The radius PLATON joins atoms of element z with: the covalent radius (as
// RADII left it) for z = 1..54; for the heavier elements, which the table
// lacks, the radius of the lighter element of the same group (Cs-La and
// Fr-Ac take Rb-Y, Hf-Rn take Zr-Xe, the lanthanides and Th-U take Y), since
// the lanthanide contraction keeps a 5d element about the size of its 4d
// congener. The source element comes back in `from`. False for an element
// without a symbol (z = 0 or above 92), which the drawing cannot name.
bool join_radius(const Run& run, int z, float& r, int& from);

}  // namespace vorn
