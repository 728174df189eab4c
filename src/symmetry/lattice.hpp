// Lattice centring and the centre of symmetry.
#pragma once

#include "control/run.hpp"

namespace vorn {

// Adds the centring translations of the lattice letter (A, B, C, I, F).
void nonp(Run& run, char letter);
// Adds the centrosymmetric counterpart of every operator.
void addcentsymm(Run& run);
// Reduces translation components into (-1, 1).
void checkts(Run& run);
// Prints the operator list to the listing.
void prsymop(Run& run);

}  // namespace vorn
