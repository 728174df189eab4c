#include "output/mopro.hpp"

// Not built yet: passed over by the run sequence until its stage is written.

namespace vorn {

void write_mopro_atoms(Run&) {}
void write_con_tail(Run&) {}
void write_mopro_tail(Run&) {}

}  // namespace vorn
