#include "chem/exceptions.hpp"

// Not built yet: passed over by the run sequence until its stage is written.

namespace vorn {

void DetExcept(Run&, int) {}
void printgroup(Run&, int) {}
int checkat(std::vector<int>&, int) { return 0; }

}  // namespace vorn
