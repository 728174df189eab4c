#include "structure/atom_types.hpp"

#include <vector>

#include "base/elements.hpp"
#include "base/text.hpp"

namespace vorn {

namespace {

constexpr int XENON = 54;
constexpr std::size_t kNamesShown = 5;

void warn_heavy_elements(Run& run) {
  for (int t = 1; t <= run.at_types.ntyp; ++t) {
    const int z = run.at_types.iz[static_cast<std::size_t>(t)];
    if (z <= XENON) continue;
    std::vector<std::string> names;
    int count = 0;
    for (int i = 1; i <= run.atoms.nat; ++i) {
      if (run.atoms.iz[i] != z) continue;
      if (++count <= static_cast<int>(kNamesShown)) names.emplace_back(rtrim(run.atoms.label[i]));
    }
    std::string listed;
    for (const std::string& n : names) listed += (listed.empty() ? "" : ", ") + n;
    if (count > static_cast<int>(kNamesShown)) listed += ", ...";
    const std::string element = std::string(rtrim(atsym(z))) + " (Z = " + std::to_string(z) + ")";
    to_both(run, "(1x,a)"_f,
            count == 1 ? "WARNING: atom " + listed + " is read as " + element + ", from the first two letters of its label"
                       : "WARNING: " + std::to_string(count) + " atoms (" + listed + ") are read as " + element +
                             ", from the first two letters of their labels");
  }
}

}  // namespace

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
  warn_heavy_elements(run);
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
