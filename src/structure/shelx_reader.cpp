#include "structure/shelx_reader.hpp"

// Not built yet: passed over by the run sequence until its stage is written.

namespace vorn {

void ReadShelx(Run&, const std::string&) {}

}  // namespace vorn
