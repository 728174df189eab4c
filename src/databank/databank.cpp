#include "databank/databank.hpp"

// Not built yet: passed over by the run sequence until its stage is written.

namespace vorn {

void ReadDB(Run&, int) {}
float pval(int) { return 0; }

}  // namespace vorn
