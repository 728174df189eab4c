// Functional groups that need their own treatment (exceptions).
#pragma once

#include <vector>

#include "model/run.hpp"

namespace vorn {

void DetExcept(Run& run, int atom);
// group.ang for the atom, its neighbours and two further shells.
void printgroup(Run& run, int atom);
// Adds j to the list unless present; returns 1 when it was already there.
int checkat(std::vector<int>& list, int j);

}  // namespace vorn
