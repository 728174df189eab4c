// Occupancy check and the two listings every reader prints at its end.
#pragma once

#include <ostream>

#include "model/run.hpp"

namespace vorn {

// Sets flag of atoms 1..nat: 0 normal, 1 partial occupancy from a special
// position, -1 disordered.
void checkocc(Run& run);
// The atom-type list, to the listing.
void prattyp(Run& run);
// Atoms 1..nat with coordinates and flags, and the flag summary.
void printatoms(Run& run, std::ostream& os);

}  // namespace vorn
