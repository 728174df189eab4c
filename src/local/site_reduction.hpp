// A site symmetry the geometry supports. The rules give an atom the
// symmetry its chemistry suggests; where its neighbours misfit that
// symmetry by more than the misfit limit of TOLS (a distorted metal centre,
// a pair equivalent by connectivity that is no mirror image), the key would
// forbid multipoles the density has. The atom then takes the highest
// subgroup that fits within the ring tolerance, in a frame that keeps the
// rule's first axis, or no symmetry when none fits.
#pragma once

#include <string_view>

#include "model/run.hpp"

namespace vorn {

// After the rules and the crystal's site have set the atom's axes and site
// symmetry (run.axes, run.atoms.sitesym): reduces a symmetry whose misfit
// exceeds the limit, turns run.axes where the subgroup's code needs another
// frame (the first axis stays on its point; its letter, the second axis and
// its point may change), records the rule's code and misfit in
// run.site_check and reports on standard output and in the listing. An atom
// on a special position keeps the crystal's site group and its frame: only
// subgroups that hold the site group are taken, else its symmetry stays.
void reduce_gross_misfit(Run& run, int atom);

// Whether the atom's symmetry was reduced, and whether its frame changed
// with it (the databank's multipoles describe the rule's frame).
bool site_reduced(const Run& run, int atom);
bool reduced_frame_changed(const Run& run, int atom);

}  // namespace vorn
