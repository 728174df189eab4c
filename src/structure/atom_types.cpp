#include "structure/atom_types.hpp"

#include <vector>

#include "base/elements.hpp"

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

void set_cartesian_atom(Run& run, int i, const std::string& label, const Vec3& xc) {
  run.atoms.label[i] = label;
  run.atoms.xc[i] = Cart(xc);
  run.atoms.xf[i] = Frac();
  run.atoms.iz[i] = iatnum(label);
  run.atoms1.occ[i] = 1.0f;
  run.atoms1.lmax[i] = run.atoms.iz[i] == 1 ? 2 : 4;
  run.atoms1.iu[i] = 0;
  run.atoms1.isft[i] = 0;
  run.atoms1.flag[i] = 0;
  run.at_uij[i] = Uij{};
}

}  // namespace vorn
