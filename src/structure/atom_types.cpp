#include "structure/atom_types.hpp"

#include <vector>

namespace vorn {

void collect_types(Run& run) {
  std::vector<bool> seen;
  run.at_types.ntyp = 0;
  run.at_types.iz.assign(1, 0);
  for (int i = 1; i <= run.atoms.nat; ++i) {
    auto z = static_cast<std::size_t>(run.atoms.iz[i]);
    if (z >= seen.size()) seen.resize(z + 1, false);
    if (seen[z]) continue;
    seen[z] = true;
    run.at_types.iz.push_back(run.atoms.iz[i]);
    ++run.at_types.ntyp;
  }
}

}  // namespace vorn
