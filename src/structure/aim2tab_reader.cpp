#include "structure/aim2tab_reader.hpp"

// Not built yet: passed over by the run sequence until its stage is written.

namespace vorn {

void ReadAim2Tab(Run&, const std::string&) {}

}  // namespace vorn
