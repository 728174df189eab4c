#include "chem/equivalence.hpp"

// Not built yet: passed over by the run sequence until its stage is written.

namespace vorn {

int sameatoms(Run&, int, int, int, int, int, int) { return 0; }

}  // namespace vorn
