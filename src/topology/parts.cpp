#include "topology/parts.hpp"

namespace vorn {

bool parts_may_meet(const Run& run, int i, int j) {
  const auto ui = static_cast<std::size_t>(i), uj = static_cast<std::size_t>(j);
  return parts_may_meet(run.atoms1.part[ui], run.cryst.copy[ui], run.atoms1.part[uj], run.cryst.copy[uj]);
}

Alternative alternative_of(const Run& run, int j) {
  const auto uj = static_cast<std::size_t>(j);
  const int part = run.atoms1.part[uj];
  return {part, part < 0 ? run.cryst.copy[uj] : SymCopy{}};
}

Alternative chosen_alternative(const Run& run, int atom, std::span<const int> bonded) {
  const auto ua = static_cast<std::size_t>(atom);
  if (run.atoms1.part[ua] != 0) return {};
  Alternative best;
  float best_occ = 0.0f;
  bool best_own = false;
  for (int j : bonded) {
    const auto uj = static_cast<std::size_t>(j);
    if (run.atoms1.part[uj] == 0) continue;
    const Alternative alt = alternative_of(run, j);
    const float occ = run.atoms1.occ[uj];
    const bool own = alt.part > 0 || alt.copy == run.cryst.copy[ua];
    if (alt == best) {
      best_occ = std::max(best_occ, occ);
      continue;
    }
    const bool better = best.part == 0 || occ > best_occ ||
                        (occ == best_occ && (alt.part < best.part || (alt.part == best.part && own && !best_own)));
    if (better) {
      best = alt;
      best_occ = occ;
      best_own = own;
    }
  }
  return best;
}

bool takes_neighbor(const Run& run, int atom, const Alternative& chosen, int j) {
  if (!parts_may_meet(run, atom, j)) return false;
  if (run.atoms1.part[static_cast<std::size_t>(atom)] != 0 || run.atoms1.part[static_cast<std::size_t>(j)] == 0)
    return true;
  return alternative_of(run, j) == chosen;
}

bool has_parts(const Run& run, int n) {
  for (int i = 1; i <= n; ++i)
    if (run.atoms1.part[static_cast<std::size_t>(i)] != 0) return true;
  return false;
}

}  // namespace vorn
