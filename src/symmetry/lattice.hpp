// Lattice centring and the centre of symmetry: the operator list of the
// cards completed to the whole space group.
#pragma once

#include "model/run.hpp"

namespace vorn {

// Adds the centring translations of the lattice letter (A, B, C, I, F, and R
// on hexagonal axes); any other letter stops the run with "Lattice type X is
// not supported".
void nonp(Run& run, char letter);
// Adds the centrosymmetric counterpart of every operator.
void addcentsymm(Run& run);
// Reduces translation components into (-1, 1).
void checkts(Run& run);
// Prints the operator list to the listing (the matrices from verbosity 2 on).
void prsymop(Run& run);

}  // namespace vorn
