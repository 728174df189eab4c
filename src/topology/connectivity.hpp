// The reduced connectivity table used by the ring search: the atoms of the
// extended list that can lie on a ring, with their bonded partners.
#pragma once

#include <vector>

#include "model/run.hpp"
#include "topology/bonds.hpp"

namespace vorn {

// Builds newat and conmat over atoms 1..ncryst, removing open atoms (fewer
// than two partners) cycle by cycle until none is left; prints the cycles
// and writes reduced.ang and reduced_1.ang.
void connect4rings(Run& run);

// One elimination cycle over the current newat: fills conmat (a disordered
// atom gets no partners of its own but is still a partner of others), prints
// the table of cycle 0 at verbosity above 2, keeps the positions with more
// than one partner and returns the number removed.
int eliminate(Run& run, int cycle, const BondTable& partners);

// The connectivity table of the current list, to the listing.
void writeconn(Run& run);

}  // namespace vorn
