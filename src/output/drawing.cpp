#include "output/drawing.hpp"

// Not built yet: passed over by the run sequence until its stage is written.

namespace vorn {

void write_spf_rest(Run&) {}

}  // namespace vorn
