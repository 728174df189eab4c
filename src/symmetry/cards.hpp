// Symmetry cards (SYMM lines) in coordinate-expression and matrix form.
#pragma once

#include "control/run.hpp"
#include "control/textfile.hpp"

namespace vorn {

// Resets the operator list to the identity, reads every card of the file
// (from its start) and prints the operators as text to the listing.
void getsym(Run& run, TextFile& f);

}  // namespace vorn
