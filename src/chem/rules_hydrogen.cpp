// Hydrogen: the group is decided by the atom the H sits on (X) and, for an
// O-H, by the atom on the other side of the oxygen (Y).
#include "chem/group_rules.hpp"

namespace vorn::groups {

namespace {

int parent(const Env& e) { return e.nei(e.a, 1); }

Outcome hydroxyl_h(Env& e) {
  const int x = parent(e);
  if (e.ntype(x) != 2) return unknown("x-o-H [1]");
  const int y = e.member(x, 2, 1);
  const int ny = e.n(y);
  switch (e.z(y)) {
    case C:
      if (ny == 4) return named("alcohol");
      if (ny == 3) {
        const RingTest ry = e.ring(y);
        if (Env::in_planar_ring(ry)) return named("phenol");
        if (ry.lcyc == 0 && e.heaviest_is(y, O, 2)) return named("carboxylic");
      }
      return unknown("c-o-H");
    case B:
      return named("b-o-H");
    case P:
      return ny == 4 ? named("phosp... acid") : unknown("p-o-H");
    default:
      return unknown("x-o-H [2]");
  }
}

Outcome amine_h(Env& e) {
  const int x = parent(e);
  if (!e.planar_with_neighbours(x, e.run.ctl.iverb > 2)) return named("pyramidal amine");
  return Env::in_planar_ring(e.ring(x)) ? named("aromatic") : named("planar amine");
}

const Family kHydrogen[] = {
    {"x-o-H", [](const Env& e) { return e.z(parent(e)) == O && e.n(parent(e)) == 2; }, hydroxyl_h},
    {"x2-n-H", [](const Env& e) { return e.z(parent(e)) == N && e.n(parent(e)) == 3; }, amine_h},
};

}  // namespace

std::span<const Family> hydrogen_families() { return kHydrogen; }

}  // namespace vorn::groups
