// Carbon: the largest rule set. The families are tried in this order, so a
// more specific pattern must stay above a more general one (the two
// "Coo(?)" rows above the amine carbon, the ring-nitrogen rows above the
// aryl-nitrogen row at the end).
#include <algorithm>

#include "chem/group_rules.hpp"

namespace vorn::groups {

namespace {

// Names of the C(=O)O family for a carbon (carboxyl) or nitrogen (carbamoyl)
// substituent. An empty anhydride name means there is no such group.
struct AcidNames {
  std::string_view salt, acid, anhydride, ester;
};
constexpr AcidNames kCarboxyl{"carboxylate", "carboxylic", "anhydride", "ester"};
constexpr AcidNames kCarbamoyl{"carbamate", "carbamic acid", "", "carbamate ester"};

Outcome acid_carbon(const Env& e, const AcidNames& names) {
  const std::vector<int> oxygens = e.of_element(e.a, O);
  if (std::all_of(oxygens.begin(), oxygens.end(), [&](int o) { return e.n(o) == 1; })) return named(names.salt);
  int p = 0;  // the O carrying a substituent; the second one when both do
  for (int o : oxygens)
    if (e.n(o) == 2) p = o;
  if (p == 0) return unknown_file("cOO(?)");
  if (e.lightest(p) == H) return named(names.acid);
  if (!e.elements_are(p, {C})) return unknown_file("cOO(?)");
  const int q = e.other(p, e.a);
  if (e.n(q) == 3 && !names.anhydride.empty()) return named(names.anhydride);
  if (e.n(q) == 4) return named(names.ester);
  return unknown_file("cOO(?)");
}

Outcome amine_carbon(Env& e) {
  for (int k = 1; k < e.ntype(e.a); ++k)
    if (e.type_z(e.a, k) != H && e.type_z(e.a, k) != C) return unknown("n-C-(x/y/z)");
  const int nn = e.first_of(e.a, N);
  to_lst(e.run, "(/a,a)"_f, " Checking connected N-atom = ", e.run.atoms.label[static_cast<std::size_t>(nn)]);
  if (e.n(nn) == 4) return named("ammonium");
  if (e.n(nn) == 3) return e.planar_with_neighbours(nn, false) ? named("planar amine") : named("pyramidal amine");
  return unknown("n-C-(c/h)3");
}

Outcome aryl_oxygen(Env& e) {
  const int o = e.first_of(e.a, O);
  const RingTest ro = e.ring(o);
  if (e.in_ring_of_a(ro)) {
    if (e.n(o) == 2 && e.elements_are(o, {C})) return named("furano");
    if (e.n(o) == 2 && e.elements_are(o, {C, N})) return named("furanoN");
    return none();
  }
  if (e.n(o) == 1) return named("phenolate");
  if (e.n(o) == 2 && (e.lightest(o) == H || e.ntype(o) == 1)) return named("phenolic");
  return none();
}

Outcome boron_carbon(Env& e) {
  const int b = e.first_of(e.a, B);
  return e.z(e.other(b, e.a)) == F ? named("C-b-F3") : unknown_file("(?)");
}

Outcome triaza_carbon(Env& e) {
  const std::vector<int> ns = e.neighbours(e.a);
  const int s = e.sum_n(ns);
  int mx = 0, mn = 1 << 30;
  for (int j : ns) {
    mx = std::max(mx, e.n(j));
    mn = std::min(mn, e.n(j));
  }
  if (mx == 3 && s == 7) return named("3N-sp2(232)");
  if (mn == 3) return named("3N-sp2(333)");
  if (mx == 3 && s == 8) return named("3N-sp2(233)");
  return kept();
}

// A nitrogen neighbour outside any planar ring: named by the bond counts of
// all three neighbours.
Outcome open_chain_nitrogen(Env& e) {
  e.checking(" n-=Cn=-c (?) ");
  const int a1 = e.nei(e.a, 1), a2 = e.nei(e.a, 2), a3 = e.nei(e.a, 3);
  const int n1 = e.n(a1), n2 = e.n(a2), n3 = e.n(a3);
  const int mx = std::max({n1, n2, n3}), mn = std::min({n1, n2, n3}), s = n1 + n2 + n3;
  const bool oxygen = e.heaviest(a1) == O || e.heaviest(a2) == O || e.heaviest(a3) == O;
  if (oxygen) {
    e.note(" ia1, ia2, ia3 = ", {a1, a2, a3});
    if (mx == 3 && mn == 2 && s == 8) return named("nitro-n2n3c3");
    if (mx == 3 && mn == 3 && s == 9) return named("nitro-n3n3c3");
    return none();
  }
  e.note(" ia4, ia5, ia6 = ", {a1, a2, a3});
  if (mx == 3 && mn == 2 && s == 8) return named("n2n3c3");
  if (mx == 3 && mn == 3 && s == 9) return named("n3n3c3");
  return none();
}

// A ring carbon between two nitrogens: named by how the nitrogens are bonded.
Outcome ring_nitrogens(Env& e) {
  const RingTest& ra = e.ring_a();
  int n1 = 0, n2 = 0, found = 0;
  for (int l : e.neighbours(e.a)) {
    const RingTest rl = e.ring(l);
    e.note(" iatr, iCr = ", {rl.iring, ra.iring});
    if (e.z(l) != N) continue;
    if (!Env::in_planar_ring(rl)) return open_chain_nitrogen(e);
    ++found;
    if (rl.iring != ra.iring) return named(e.sum_n(e.neighbours(e.a)) == 8 ? "NNring1" : "NNring2");
    (found == 1 ? n1 : n2) = l;
  }
  e.note(" i1N, i2N = ", {n1, n2});
  e.note(" i1Nn, i2Nn = ", {e.n(n1), e.n(n2)});
  const int mx = std::max(e.n(n1), e.n(n2)), mn = std::min(e.n(n1), e.n(n2));
  if (mx == 2) return named("non-substituted nitrogens");
  if (mn == 3) return named(e.heaviest(n1) == Zn || e.heaviest(n2) == Zn ? "ZNnCn" : "substituted nitrogens");
  if (mn == 2 && mx == 3) return named("mixed nitrogens");
  return none();
}

Outcome ring_carbonyl_two_n(Env& e) {
  const int o = e.first_of(e.a, O);
  if (e.in_ring_of_a(e.ring(o)) && e.n(o) == 2) return named("pirofurano");
  if (e.n(o) == 1) return named("aromaturea");
  return none();
}

Outcome ring_amide_carbon(Env& e) {
  const int z1 = e.z(e.nei(e.a, 1)), z2 = e.z(e.nei(e.a, 2));
  if (!((z1 == N && z2 == O) || (z1 == O && z2 == N))) {
    e.note(":(");
    return unknown("C(cyc)-n=");
  }
  const int o = e.first_of(e.a, O);
  if (e.in_ring_of_a(e.ring(o))) return named("o-Cc-n");
  if (e.n(o) == 1) return named("amido");
  if (e.n(o) == 2) return named("amidoH");
  return kept();
}

Outcome fused_ring_nitrogen(Env& e) {
  const RingTest rn = e.ring(e.first_of(e.a, N));
  return Env::in_planar_ring(rn) && rn.nsize == 5 ? named("C(2cyc)-n5") : none();
}

Outcome ring_next_to_sp3(Env& e) {
  const int c = e.first_of(e.a, C);
  if (c == 0) return unknown("c(sp3,cyc)-C(cyc)=x");
  return e.n(c) == 4 && e.in_ring_of_a(e.ring(c)) ? named("cycloene") : none();
}

Outcome thiolate_carbon(Env& e) {
  const int s = e.first_of(e.a, S);
  return e.lightest(s) == Zn || e.second(s) == Zn ? named("C-s-Zn") : unknown_file("c-s-(?)");
}

Outcome thioamide_carbon(Env& e) {
  switch (e.n(e.first_of(e.a, S))) {
    case 1: return named("THIO");
    case 4: return named("SX4");
    case 2: return named("THIO-X");
    default: return unknown_file("c-C(=s)-n(?)");
  }
}

// The nitrogen on a ring carbon: in the same ring, or a substituent.
Outcome aryl_nitrogen(Env& e) {
  const int nn = e.first_of(e.a, N);
  const int k = e.n(nn);
  if (e.in_ring_of_a(e.ring(nn))) {
    if (k == 3) return e.only_h_or_c(nn) ? named("substituted nitrogen") : unknown("C(cyc)-n=");
    if (k == 2) return named("non-substituted nitrogen");
    return unknown("C(cyc)-n=");
  }
  if (k == 3 && e.heaviest_is(nn, O, 2)) return named("nitrophenyl");
  if (k == 2 && e.heaviest_is(nn, O, 1)) return named("ph-noh");
  if (k == 4) return e.only_h_or_c(nn) ? named("protonated aminophenyl") : unknown("C(cyc)-n=");
  if (k == 3) return e.only_h_or_c(nn) ? named("aminophenyl") : unknown("C(cyc)-n=");
  return none();
}

bool three(const Env& e) { return e.n(e.a) == 3; }
bool three_in_ring(const Env& e) { return e.n(e.a) == 3 && e.a_in_planar_ring(); }

const Family kCarbon[] = {
    {"c2Co",
     [](const Env& e) { return three(e) && !e.a_in_planar_ring() && e.types_are(e.a, {{C, 2}, {O, 1}}); },
     [](Env& e) { return e.n(e.first_of(e.a, O)) == 1 ? named("ketone") : unknown_file("c2--C--o-"); }},
    {"Coo(?)",
     [](const Env& e) { return three(e) && e.types_are(e.a, {{C, 1}, {O, 2}}); },
     [](Env& e) { return acid_carbon(e, kCarboxyl); }},
    {"Coo(?)",
     [](const Env& e) { return three(e) && e.types_are(e.a, {{N, 1}, {O, 2}}); },
     [](Env& e) { return acid_carbon(e, kCarbamoyl); }},
    {"n-C-(c/h)3",
     [](const Env& e) { return e.n(e.a) == 4 && e.heaviest_is(e.a, N, 1); },
     amine_carbon},
    {"C(cyc)-o-x",
     [](const Env& e) { return three_in_ring(e) && e.types_are(e.a, {{C, 2}, {O, 1}}); },
     aryl_oxygen},
    {"c2Cb(?)",
     [](const Env& e) { return three(e) && e.types_are(e.a, {{B, 1}, {C, 2}}); },
     boron_carbon},
    {"n-Cn-n",
     [](const Env& e) { return three_in_ring(e) && e.heaviest_is(e.a, N, 3); },
     triaza_carbon},
    {"n-C(cyc)-n",
     [](const Env& e) { return three_in_ring(e) && e.heaviest_is(e.a, N, 2); },
     ring_nitrogens},
    {"Cn2(cyc)=o/Cno(cyc)-n(?)",
     [](const Env& e) { return three_in_ring(e) && e.types_are(e.a, {{N, 2}, {O, 1}}); },
     ring_carbonyl_two_n},
    {"Ccno(?)",
     [](const Env& e) { return three_in_ring(e) && e.elements_are(e.a, {C, N, O}); },
     ring_amide_carbon},
    {"C(2cyc)-n=",
     [](const Env& e) { return three(e) && e.ring_a().l2plan == 1 && e.heaviest_is(e.a, N, 1); },
     fused_ring_nitrogen},
    {"c(sp3,cyc)-C(cyc)=x",
     [](const Env& e) { return three_in_ring(e) && e.heaviest_is(e.a, C, 2); },
     ring_next_to_sp3},
    {"C-s(?)",
     [](const Env& e) {
       return e.n(e.a) == 4 && (e.types_are(e.a, {{H, 3}, {S, 1}}) || e.types_are(e.a, {{H, 2}, {C, 1}, {S, 1}}));
     },
     thiolate_carbon},
    {"c-C(=s)-n(?)",
     [](const Env& e) { return three(e) && e.types_are(e.a, {{C, 1}, {N, 1}, {S, 1}}); },
     thioamide_carbon},
    {"C(cyc)-n=",
     [](const Env& e) { return three_in_ring(e) && e.heaviest_is(e.a, N, 1); },
     aryl_nitrogen},
};

}  // namespace

std::span<const Family> carbon_families() { return kCarbon; }

}  // namespace vorn::groups
