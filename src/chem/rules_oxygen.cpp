// Oxygen: hydroxyl on carbon (O1), carbonyl (O2), ether and ester oxygen
// (O3), N-O (O4) and P=O (O5).
#include <algorithm>

#include "base/error.hpp"
#include "chem/group_rules.hpp"

namespace vorn::groups {

namespace {

Outcome hydroxyl_oxygen(Env& e) {
  const int c = e.first_of(e.a, C);
  const RingTest rc = e.ring(c);
  switch (e.count_of(c, O)) {
    case 1:
      if (e.n(c) == 3 && Env::in_planar_ring(rc)) return named("phenol");
      if (e.n(c) == 3 || e.n(c) == 4) return named("alcohol");
      return unknown_file("c-O-h");
    case 2: {
      const int p = e.other_of_element(c, O, e.a);
      if (p == 0) err("DetExcept", "Could not identify \"other\" O-atom");
      return e.n(p) == 1 ? named("carboxylic") : named("alcohol");
    }
    default:
      return unknown_file("x-O-h");
  }
}

// Names of the C(=O)O family seen from the C=O oxygen; an empty anhydride
// name means an acyl partner is not recognised.
struct AcylNames {
  std::string_view salt, acid, anhydride, ester;
};
constexpr AcylNames kCarboxyl{"carboxylate", "carboxylic", "anhydride", "ester"};
constexpr AcylNames kCarbamoyl{"carbamate", "carbamic acid", "", "carbamate ester"};

Outcome carboxyl_oxygen(const Env& e, int c, const AcylNames& names) {
  const int p = e.other_of_element(c, O, e.a);
  if (e.n(p) == 1) return named(names.salt);
  if (e.n(p) == 2 && e.lightest(p) == H) return named(names.acid);
  const int q = e.other(p, c);
  if (e.n(q) == 3) {
    if (names.anhydride.empty()) return unknown_file("(?)c=O [2]");
    return e.count_of(q, O) == 2 ? named(names.anhydride) : none();
  }
  if (e.n(q) == 4) return named(names.ester);
  return unknown_file("(?)c=O [2]");
}

Outcome carbonyl_oxygen(Env& e) {
  const int c = e.nei(e.a, 1);
  if (e.n(c) != 3) return unknown_file("(?)c=O [1]");
  if (Env::in_planar_ring(e.ring(c))) {
    if (e.lightest_is(c, N, 2)) return named("aromaturea");
    if (e.lightest_is(c, C, 2)) return named("aromatketone");
    if (e.types_are(c, {{C, 1}, {O, 2}})) return named("aromatester");
    if (e.elements_are(c, {C, N, O})) return named("aromatamide");
  }
  if (e.lightest(c) == H && e.second(c) == C) return named("aldehyde");
  if (e.lightest_is(c, C, 2)) return named("ketone");
  if (e.lightest_is(c, N, 2)) return named("urea");
  if (e.types_are(c, {{C, 1}, {O, 2}})) return carboxyl_oxygen(e, c, kCarboxyl);
  if (e.types_are(c, {{N, 1}, {O, 2}})) return carboxyl_oxygen(e, c, kCarbamoyl);
  if (e.heaviest_is(c, S, 1)) return named("thioester");
  if (e.elements_are(c, {C, N, O}) && e.n(e.first_of(c, N)) >= 3) return named("amide");
  return unknown_file("(?)c=O [3]");
}

Outcome ether_oxygen(Env& e) {
  const int c1 = e.nei(e.a, 1), c2 = e.nei(e.a, 2);
  auto acyl = [&](int c) { return e.n(c) == 3 && e.types_are(c, {{C, 1}, {O, 2}}); };
  auto carbamoyl = [&](int c) { return e.n(c) == 3 && e.types_are(c, {{N, 1}, {O, 2}}); };
  if (acyl(c1) && acyl(c2)) return named("anhydride");
  const int mx = std::max(e.n(c1), e.n(c2));
  if (e.n(c1) == 3 && (mx == 3 || mx == 4)) {
    if (acyl(c1) || acyl(c2)) return named("ester");
    if (carbamoyl(c1) || carbamoyl(c2)) return named("carbamate ester");
  }
  return unknown_file("c-O-c");
}

Outcome oxygen_on_nitrogen(Env& e) {
  const int nn = e.nei(e.a, 1);
  const int k = e.n(nn);
  if (k != 2 && k != 3) return unknown_file("(?)N-O [1]");
  if (k == 2 && e.types_are(nn, {{C, 1}, {O, 1}})) return named("NO");
  if (k == 3 && e.types_are(nn, {{C, 1}, {O, 2}})) return named("NO2");
  return kept();
}

// The phosphorus of a P=O belongs to the same group, so it is flagged too.
Outcome phosphoryl_oxygen(Env& e) {
  const int p = e.nei(e.a, 1);
  if (e.n(p) != 4) return unknown_file("(?)p=O [1]");
  if (e.types_are(p, {{C, 3}, {O, 1}})) return named("C3PO");
  e.run.except.flag[static_cast<std::size_t>(p)] = 1;
  if (e.types_are(p, {{C, 1}, {O, 3}})) {
    e.checking("cpOoo(?)");
    switch (e.sum_n(e.of_element(p, O))) {
      case 4: return named("CPO2(O-X)");
      case 5: return named("CPO(O-X)2");
      case 3: return named("CPO3");
      default: return unknown_file("cpOoo(?)");
    }
  }
  e.checking("pOooo(?)");
  switch (e.sum_n(e.neighbours(p))) {
    case 4: return named("pO4");
    case 7: return named("O-p(ox)3");
    case 5: return named("O3-p(ox)");
    default: return unknown_file("pOooo(?)");
  }
}

bool terminal_on(const Env& e, int el) { return e.n(e.a) == 1 && e.z(e.nei(e.a, 1)) == el; }

const Family kOxygen[] = {
    {"c-O-h",
     [](const Env& e) { return e.n(e.a) == 2 && e.lightest(e.a) == H && e.second(e.a) == C; },
     hydroxyl_oxygen},
    {"(?)c=O", [](const Env& e) { return terminal_on(e, C); }, carbonyl_oxygen},
    {"c-O-c", [](const Env& e) { return e.n(e.a) == 2 && e.elements_are(e.a, {C}); }, ether_oxygen},
    {"(?)N-O", [](const Env& e) { return terminal_on(e, N); }, oxygen_on_nitrogen},
    {"(?)p=O", [](const Env& e) { return terminal_on(e, P); }, phosphoryl_oxygen},
};

}  // namespace

std::span<const Family> oxygen_families() { return kOxygen; }

}  // namespace vorn::groups
