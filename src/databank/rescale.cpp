#include "databank/rescale.hpp"

// Not built yet: passed over by the run sequence until its stage is written.

namespace vorn {

void rescalePv(Run&) {}

}  // namespace vorn
