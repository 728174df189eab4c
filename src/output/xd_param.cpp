#include "output/xd_param.hpp"

// Not built yet: passed over by the run sequence until its stage is written.

namespace vorn {

void write_xd_inp(Run&) {}

}  // namespace vorn
