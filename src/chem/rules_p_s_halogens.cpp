// Phosphorus, sulphur and the halogens F, Cl, Br.
#include "chem/group_rules.hpp"

namespace vorn::groups {

namespace {

Outcome phosphonate(Env& e) {
  switch (e.sum_n(e.of_element(e.a, O))) {
    case 4: return named("CPO2(O-X)");
    case 5: return named("CPO(O-X)2");
    case 3: return named("CPO3");
    default: return unknown_file("cPooo(?)");
  }
}

Outcome phosphate(Env& e) {
  switch (e.sum_n(e.of_element(e.a, O))) {
    case 5: return named("o3-P(ox)");
    case 6: return named("o2-P(ox)2");
    case 7: return named("o-P(ox)3");
    default: return unknown_file("Poooo(?)");
  }
}

const Family kPhosphorus[] = {
    {"cPooo(?)", [](const Env& e) { return e.n(e.a) == 4 && e.types_are(e.a, {{C, 1}, {O, 3}}); }, phosphonate},
    {"Poooo(?)", [](const Env& e) { return e.n(e.a) == 4 && e.elements_are(e.a, {O}); }, phosphate},
};

Outcome thione(Env& e) {
  const int c = e.nei(e.a, 1);
  if (e.n(c) != 3) return unknown_file("(?)c=S [1]");
  if (!Env::in_planar_ring(e.ring(c))) return none();
  if (e.lightest_is(c, N, 2)) return named("PHthiourea");
  if (e.lightest_is(c, C, 2)) return named("PH=S");
  if (e.elements_are(c, {C, N, S})) return named("aromathioamide");
  return none();
}

const Family kSulphur[] = {
    {"(?)c=S", [](const Env& e) { return e.n(e.a) == 1; }, thione},
};

bool on_carbon(const Env& e) { return e.n(e.a) == 1 && e.z(e.nei(e.a, 1)) == C; }
Outcome on_ring(const Env& e, std::string_view group) {
  return Env::in_planar_ring(e.ring(e.nei(e.a, 1))) ? named(group) : none();
}

const Family kFluorine[] = {{"(?)c-F", on_carbon, [](Env& e) { return on_ring(e, "PH-F"); }}};
const Family kChlorine[] = {{"(?)c-Cl", on_carbon, [](Env& e) { return on_ring(e, "PH-Cl"); }}};
const Family kBromine[] = {{"(?)c-Br", on_carbon, [](Env& e) { return on_ring(e, "PH-Br"); }}};

}  // namespace

std::span<const Family> phosphorus_families() { return kPhosphorus; }
std::span<const Family> sulphur_families() { return kSulphur; }
std::span<const Family> fluorine_families() { return kFluorine; }
std::span<const Family> chlorine_families() { return kChlorine; }
std::span<const Family> bromine_families() { return kBromine; }

}  // namespace vorn::groups
