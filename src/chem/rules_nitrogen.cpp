// Nitrogen: a planar tertiary amine on three carbons, and the C-N-O oximes
// and nitroso groups.
#include <algorithm>

#include "chem/group_rules.hpp"

namespace vorn::groups {

namespace {

// Named by the hybridisation of the three carbons (3 neighbours sp2, 4 sp3).
Outcome planar_tertiary(Env& e) {
  const std::vector<int> cs = e.neighbours(e.a);
  const int s = e.sum_n(cs);
  int mx = 0, mn = 1 << 30;
  for (int c : cs) {
    mx = std::max(mx, e.n(c));
    mn = std::min(mn, e.n(c));
  }
  if (s == 11 && mn == 3 && mx == 4) return named("csp2sp3sp3");
  if (s == 10 && mn == 3 && mx == 4) return named("csp3sp2sp2");
  return unknown_file("c-Nc1-c1 planar");
}

Outcome nitrogen_on_oxygen(Env& e) {
  const int o = e.first_of(e.a, O);
  if (e.n(o) == 2 && e.lightest(o) == H && e.second(o) == N) return named("N-OH");
  if (e.n(o) == 1) return named("N=O");
  return unknown_file("c--N--c?");
}

const Family kNitrogen[] = {
    {"c-Nc1-c1 N-planar c1=?",
     // The plane fit is the costly part, so it is asked last.
     [](const Env& e) { return e.n(e.a) == 3 && e.elements_are(e.a, {C}) && e.planar_with_neighbours(e.a, false); },
     planar_tertiary},
    {"c--N--o(?)",
     [](const Env& e) { return e.n(e.a) == 2 && e.elements_are(e.a, {C, O}); },
     nitrogen_on_oxygen},
};

}  // namespace

std::span<const Family> nitrogen_families() { return kNitrogen; }

}  // namespace vorn::groups
