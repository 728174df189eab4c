#include "local/axes.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "base/error.hpp"
#include "base/text.hpp"
#include "chem/equivalence.hpp"
#include "chem/hydrogens.hpp"
#include "local/atom_lines.hpp"
#include "local/axis_rules.hpp"
#include "local/dummies.hpp"
#include "local/site_check.hpp"
#include "local/site_reduction.hpp"
#include "local/site_symmetry.hpp"
#include "topology/neighbors.hpp"
#include "topology/planarity.hpp"

namespace vorn {

namespace axis_rules {

// The dummy that points an axis between two neighbours: at their midpoint,
// unless that point fixes no direction apart from theirs (bonds of very
// different length, or a wide angle, put it on the atom or next to one of
// the bonds); then 1 A from the atom on the bisector of the two bonds,
// which is where the symmetry of an equivalent pair puts its axis.
int AxisRules::pair_dummy(int a, int b, Vec3& cart) {
  const Vec3 mid = midpoint(xc(a), xc(b));
  const Vec3 ua = sub(xc(a), xc(i_)), ub = sub(xc(b), xc(i_));
  if (fixes_axis(mid, ua) && fixes_axis(mid, ub)) return dummy_cart(mid, cart);
  const Vec3 bis = add(scale(ua, 1.0f / rlength(ua)), scale(ub, 1.0f / rlength(ub)));
  if (rlength(bis) < 0.1f) return dummy_cart(mid, cart);
  to_lst(run_, "(/a)"_f, " Midpoint of the pair too near the atom or a bond: dummy on the bisector of the bonds");
  return dummy_cart(add(xc(i_), scale(bis, 1.0f / rlength(bis))), cart);
}

void AxisRules::route_a() {
  float r = 5.0f;
  findnei(run_, i_, r);
  while (run_.neig.nnei <= 1 && r < 20.0f) {
    r += 1.0f;
    findnei(run_, i_, r);
  }
  sitesym("NO");
  if (run_.neig.nnei >= 2) {
    axis0("X", run_.neig.inei[1]);
    // The second nearest, unless it lies on the line of the first.
    for (int k = 2; k <= run_.neig.nnei; ++k) {
      int kk = run_.neig.inei[static_cast<std::size_t>(k)];
      if (fixes_axis(xc(kk), first_axis())) {
        axis2("Y", kk);
        return;
      }
    }
    Vec3 c1;
    int d1 = fixing_dummy(Vec3{0, 0, 0}, first_axis(), c1);
    axis2_dummy("Y", d1, c1);
    return;
  }
  no_neighbors_message(i_, r);
  to_both(run_, "(/' Will make dummies at 0,0,0 and 0.5,0.5,0.5')"_f);
  Vec3 c0, c1;
  int d0 = fixing_dummy(Vec3{0, 0, 0}, Vec3{0, 0, 0}, c0);
  axis0_dummy("X", d0, c0);
  int d1 = fixing_dummy(Vec3{0.5f, 0.5f, 0.5f}, first_axis(), c1);
  axis2_dummy("Y", d1, c1);
}

// The first two sorted neighbours. Next to disorder the second may be the
// other site of the first (nearly the same direction, no frame): the next
// sorted neighbour off the line of the first axis is taken then. An ordered
// atom whose only neighbour is disordered has no second one: the nearest
// other atom within 20 A off that line fixes the second axis instead, and a
// dummy at the origin when there is none.
void AxisRules::route_b() {
  sitesym("NO");
  axis0("X", isn(1));
  for (int k = 2; k <= nb_.nnei; ++k)
    if (fixes_axis(xc(isn(k)), first_axis())) {
      axis2("Y", isn(k));
      return;
    }
  for (float r = 5.0f; r <= 20.0f; r += 1.0f) {
    findnei(run_, i_, r);
    for (int k = 1; k <= run_.neig.nnei; ++k) {
      int cand = run_.neig.inei[static_cast<std::size_t>(k)];
      if (cand == isn(1) || !fixes_axis(xc(cand), first_axis())) continue;
      axis2("Y", cand);
      return;
    }
  }
  no_neighbors_message(i_, 20.0f);
  origin_dummy_as_atom2("Y");
}

bool AxisRules::route_c(const RingTest& rt) {
  to_lst(run_, "(/a,i5,a)"_f, " Atom belongs to only one planar ring ( # ", rt.iring, " )");
  run_.forring = {1, rt.nsize};
  if (run_.ring1.special != 1) return false;
  Ring& ring = run_.rings.ring[static_cast<std::size_t>(rt.iring)];
  Vec3 cart;
  if (ring.dummy == 0) {
    Vec3 mean{0, 0, 0};
    for (int m : ring.members) mean = add(mean, run_.ctl.ifrac == 1 ? Vec3(run_.atoms.xf[m]) : Vec3(xc(m)));
    mean = scale(mean, 1.0f / static_cast<float>(ring.members.size()));
    ring.dummy = dummy_own(mean, cart);
  } else {
    const Vec3& x = run_.dummy.x[static_cast<std::size_t>(ring.dummy)];
    cart = run_.ctl.ifrac == 1 ? Vec3(to_cart(run_.transf, Frac(x))) : x;
  }
  to_lst(run_, "(/' Dummy atom which defines the ring center = ',a)"_f, run_.dummy.label[static_cast<std::size_t>(ring.dummy)]);
  sitesym("m");
  axis0_dummy("X", ring.dummy, cart);
  for (int k = 1; k <= nb_.nnei; ++k) {
    for (int m : ring.members)
      if (m == isn(k)) {
        axis2("Y", m);
        return true;
      }
  }
  err("DefLoc", "Could not find atom to direct Y-axis");
}

bool AxisRules::route_d(const RingTest& rt) {
  if (rt.l2plan != 1) {
    to_lst(run_,
           "(/' This atom belongs to 1 or 2 rings which are NOT planar '' or it belongs to >2 rings',/,"
           "' Will be treated as if it DOES NOT belong to a ring')"_f);
    return false;
  }
  to_lst(run_, "(/a,i5,a)"_f, " Atom belongs to 2 planar rings of tot numb ( #", rt.iring, " )");
  run_.forring = {2, rt.nsize};
  if (run_.ring1.special != 1) return false;
  sitesym("m");
  int partner = 0;
  int partner_size = 0;
  for (int k = 1; k <= nb_.nnei && partner == 0; ++k) {
    RingTest t = isitcyclic(run_, isn(k));
    if (t.lcyc == 1 && (t.l2plan == 1 || t.l1plan == 0)) {
      partner = isn(k);
      partner_size = t.nsize;
    }
  }
  // In condensed ring systems (every neighbour shared by two rings, or no
  // fusion partner) the special rule has no atom to point at; the general
  // rules still give a sound frame, so they take over instead of a stop.
  if (partner == 0) {
    to_lst(run_, "(/a)"_f, " Could not find atom to direct X-axis : general rules used");
    return false;
  }
  axis0("X", partner);
  if (partner_size != 11 && partner_size != 12) return false;
  for (int k = 1; k <= nb_.nnei; ++k) {
    RingTest t = isitcyclic(run_, isn(k));
    if (t.lcyc == 1 && t.l1plan == 1 && t.nsize == 6) {
      axis2("Y", isn(k));
      return true;
    }
  }
  to_lst(run_, "(/a)"_f, " Could not find atom to direct Y-axis : general rules used");
  return false;
}

void AxisRules::find_pairs() {
  std::vector<int> neighbours;
  for (int a = 1; a <= nb_.nnei; ++a) neighbours.push_back(nei(a));
  for (const NeighborPair& p : equivalent_pairs(run_, i_, neighbours, true)) {
    pairs_.push_back(Pair{p.a, p.b});
    to_lst(run_, "(/a,2i6)"_f, " Same atoms : ", p.a, p.b);
  }
  to_lst(run_, "(/a,i4)"_f, " is = ", static_cast<int>(pairs_.size()));
}

void AxisRules::route_e() {
  if (nb_.nnei > 2) {
    std::vector<int> group = collectnei(run_, i_);
    run_.lPG = planarity(run_, run_.ctl.iverb > 2 ? 1 : 0, group, 3);
    to_lst(run_, "(/' Atomic group (',i2,' atoms) planarity (lPG) = .',l1,'.')"_f, static_cast<int>(group.size()),
           run_.lPG == 1);
  }
  find_pairs();
  switch (nb_.nnei) {
    case 1:
      if (run_.atoms.iz[i_] == 1)
        one_hydrogen();
      else
        one_heavy();
      break;
    case 2: two_neighbors(); break;
    case 3: three_neighbors(); break;
    default: four_neighbors(); break;
  }
}

// The sorted neighbour, else the nearest atom within 20 A, that fixes the
// second axis with the first; 0 when there is none.
int AxisRules::second_axis_atom() {
  for (int k = 1; k <= nb_.nnei; ++k)
    if (fixes_axis(xc(isn(k)), first_axis())) return isn(k);
  run_.iprint = 0;
  const int k = first_neighbor(run_, i_, 20.0f, [&](int j) { return fixes_axis(xc(j), first_axis()); });
  run_.iprint = 1;
  return k;
}

// No axis may be defined by a point on the atom, nor the frame by two
// directions within 10 degrees of one line. Where a rule's points do that
// (a midpoint of two nearly trans neighbours, an atom behind the first axis
// atom), the letters and the site symmetry stay; the first axis goes to the
// first sorted neighbour, and the second to the first sorted neighbour (else
// the nearest atom, else a dummy) that fixes it. The site check then tells
// whether the symmetry still holds.
void AxisRules::ensure_frame() {
  LocalAxes& ax = run_.axes;
  const bool first_ok = finite(ax.P1) && dist(ax.P1, xc(i_)) >= 0.1f;
  if (first_ok && finite(ax.P2) && fixes_axis(ax.P2, first_axis())) return;
  if (!first_ok) {
    const std::string letter = ax.AX1;
    if (nb_.nnei >= 1) {
      axis0(letter.c_str(), isn(1));
    } else {
      Vec3 cart;
      const int d = fixing_dummy(Vec3{0, 0, 0}, Vec3{0, 0, 0}, cart);
      axis0_dummy(letter.c_str(), d, cart);
    }
    to_lst(run_, "(/a,a,a,a)"_f, " The ", letter, "-axis point lies on the atom: replaced by ", rtrim(ax.ATOM0));
    if (finite(ax.P2) && fixes_axis(ax.P2, first_axis())) return;
  }
  const std::string letter = ax.AX2;
  if (const int k = second_axis_atom(); k != 0) {
    axis2(letter.c_str(), k);
  } else {
    Vec3 cart;
    const int d = fixing_dummy(Vec3{0, 0, 0}, first_axis(), cart);
    axis2_dummy(letter.c_str(), d, cart);
  }
  to_lst(run_, "(/a,a,a,a)"_f, " The ", letter, "-axis point fixes no frame with the first axis: replaced by ",
         rtrim(ax.ATOM2));
}

AtomFacts AxisRules::run_rules() {
  LocalAxes& ax = run_.axes;
  ax = LocalAxes{};
  run_.forring = {0, 0};
  run_.iprint = 1;
  prtatomnei(run_, i_, *run_.lst);
  SortNei(run_, i_);

  AtomFacts facts;
  facts.disordered = run_.atoms1.flag[i_] == -1;
  for (int k = 1; k <= nb_.nnei; ++k)
    if (run_.atoms1.flag[nei(k)] == -1) facts.disordered_neighbor = true;
  run_.lPG = nb_.nnei > 3 ? 0 : 1;
  nh_ = (nb_.ntype >= 1 && nb_.ztype[1] == 1) ? nb_.ntypenei[1] : 0;
  to_lst(run_, "(/a,i4)"_f, " Number of covalently-bonded H-atoms = ", nh_);

  bool toxd = run_.ctl.itoxd == 1;
  if ((toxd && nb_.nnei <= 1) || nb_.nnei == 0) {
    route_a();
  } else if (nb_.nnei > 4 || toxd || (!facts.disordered && facts.disordered_neighbor)) {
    route_b();
  } else {
    RingTest rt = isitcyclic(run_, i_);
    bool done = false;
    if (rt.l1plan == 1)
      done = route_c(rt);
    else if (rt.lcyc == 1)
      done = route_d(rt);
    if (!done) route_e();
  }
  ensure_frame();
  return facts;
}

}  // namespace axis_rules

void DefLoc(Run& run, int atom) {
  const int dummies_before = run.dummy.n;
  AtomFacts facts = axis_rules::AxisRules(run, atom).run_rules();
  // An image of a read atom cannot be named in the atom table. Replaced
  // before the site frame is chosen, so that the chemical set-up makes the
  // same dummies whether or not the atom is on a special position.
  if (run.cryst.ncryst > run.atoms.nat) checksymeq(run);
  align_with_site(run, atom, dummies_before);
  reduce_gross_misfit(run, atom);
  atom_lines(run, atom, facts);
  record_site_check(run, atom);
}

}  // namespace vorn
