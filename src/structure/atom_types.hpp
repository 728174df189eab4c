// The atom-type list of the readers that have no SFAC list of their own.
#pragma once

#include "control/run.hpp"

namespace vorn {

// at_types = the distinct atomic numbers of atoms 1..nat, in order of first
// appearance (none when there are no atoms).
void collect_types(Run& run);

}  // namespace vorn
