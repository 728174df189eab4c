// The atoms whose site symmetry does not fit their first-neighbour shell:
// the largest misfit of the check (the operations of the site symmetry
// applied in the atom's local frame to its bonded neighbours) above the ring
// tolerance. Listed at the end of the listing and counted in the summary.
#pragma once

#include <optional>
#include <vector>

#include "model/run.hpp"

namespace vorn {

// The atom's largest misfit in Angstrom; none where no check was made.
std::optional<float> site_misfit(const Run& run, int atom);

// Atoms 1..nat whose misfit exceeds the ring tolerance, in atom order.
std::vector<int> misfit_atoms(const Run& run);

// Atoms 1..nat whose rule-given site symmetry was reduced for a misfit
// above the limit, in atom order.
std::vector<int> reduced_atoms(const Run& run);

// The list, to the listing, followed by the list of reduced atoms with the
// rule's code and misfit and the code used and its misfit.
void print_misfit_list(Run& run, const std::vector<int>& atoms);

}  // namespace vorn
