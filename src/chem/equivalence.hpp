// Chemical equivalence of two atoms.
#pragma once

#include <string_view>

#include "model/run.hpp"

namespace vorn {

// 1 when atoms i and j are equivalent under the given switches.
int sameatoms(Run& run, int i, int j, int isym, int igroup, int isimple, int iring);

// The site symmetry the chemical rules gave the atom, before the crystal's
// site changed it (5 characters). Equivalence is judged on it: a site of
// the crystal makes two atoms neither alike nor different in kind, and the
// kappa sets shared by that rule keep their numbers.
std::string_view chemical_site_symmetry(const Run& run, int atom);

}  // namespace vorn
