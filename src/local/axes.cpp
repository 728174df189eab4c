#include "local/axes.hpp"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <string>
#include <vector>

#include "chem/equivalence.hpp"
#include "chem/hydrogens.hpp"
#include "base/error.hpp"
#include "base/text.hpp"
#include "local/atom_lines.hpp"
#include "local/dummies.hpp"
#include "topology/neighbors.hpp"
#include "local/site_check.hpp"
#include "local/site_symmetry.hpp"
#include "topology/planarity.hpp"

namespace vorn {

namespace {

struct Pair {
  int a;
  int b;
};

// The decision context of one atom.
class AxisRules {
 public:
  AxisRules(Run& run, int atom) : run_(run), i_(atom), nb_(run.neighbors[atom]) {}

  AtomFacts run_rules();

 private:
  // --- results -----------------------------------------------------------
  void axis0(const char* letter, int atom) {
    run_.axes.AX1 = letter;
    run_.axes.ATOM0 = run_.atoms.label[atom];
    run_.axes.P1 = run_.atoms.xc[atom];
  }
  void axis2(const char* letter, int atom) {
    run_.axes.AX2 = letter;
    run_.axes.ATOM2 = run_.atoms.label[atom];
    run_.axes.P2 = run_.atoms.xc[atom];
  }
  void axis0_dummy(const char* letter, int d, const Vec3& cart) {
    run_.axes.AX1 = letter;
    run_.axes.ATOM0 = pad(run_.dummy.label[d], 8);
    run_.axes.P1 = cart;
  }
  void axis2_dummy(const char* letter, int d, const Vec3& cart) {
    run_.axes.AX2 = letter;
    run_.axes.ATOM2 = pad(run_.dummy.label[d], 8);
    run_.axes.P2 = cart;
  }
  void sitesym(std::string_view s) { pad_into(run_.atoms.sitesym[i_], s, 5); }

  // A dummy at a point in the structure's own coordinates (fractional when
  // they exist) or at a Cartesian point.
  int dummy_own(const Vec3& p, Vec3& cart) { return adddummyatom(run_, run_.ctl.ifrac, p, cart); }
  int dummy_cart(const Vec3& p, Vec3& cart) { return adddummyatom(run_, 0, p, cart); }

  // --- helpers ------------------------------------------------------------
  const std::string& label(int k) const { return run_.atoms.label[k]; }
  const Cart& xc(int k) const { return run_.atoms.xc[k]; }
  int nei(int k) const { return nb_.inei[static_cast<std::size_t>(k)]; }
  int isn(int k) const { return run_.isn[static_cast<std::size_t>(k)]; }
  float angle(int a, int b, int c) const { return calcang(xc(a), xc(b), xc(c)); }

  void no_neighbors_message(int atom, float r) {
    to_both(run_, "(/' No neighbors of atom ',a,' were found within ',f10.2,' Angstroms')", label(atom), r);
  }
  void origin_dummy_as_atom2(const char* letter) {
    to_both(run_, "(/' Will make dummy at 0,0,0')");
    Vec3 cart;
    int d = fixing_dummy(Vec3{0, 0, 0}, first_axis(), cart);
    axis2_dummy(letter, d, cart);
  }

  // A point fixes an axis only off the atom and off the line of the axis
  // already chosen (u, zero when there is none): a dummy at the origin or an
  // atom straight behind the first axis atom leaves the frame undefined.
  bool fixes_axis(const Vec3& p, const Vec3& u) const {
    const Vec3 w = sub(p, xc(i_));
    if (rlength(w) < 0.1f) return false;
    if (rlength(u) == 0.0f) return true;
    float a = calcang(add(xc(i_), u), xc(i_), p);
    return a > 10.0f && a < 170.0f;
  }
  Vec3 first_axis() const { return sub(run_.axes.P1, xc(i_)); }
  // The dummy at a point given in the structure's own coordinates, or, when
  // that point fixes nothing, 1 A from the atom at right angles to u.
  int fixing_dummy(const Vec3& own, const Vec3& u, Vec3& cart) {
    Vec3 c = run_.ctl.ifrac == 1 ? Vec3(to_cart(run_.transf, Frac(own))) : own;
    if (fixes_axis(c, u)) return dummy_own(own, cart);
    Vec3 e{1, 0, 0};
    if (rlength(u) > 0.0f) {
      Vec3 n = scale(u, 1.0f / rlength(u));
      std::size_t k = 0;
      for (std::size_t m = 1; m < 3; ++m)
        if (std::fabs(n[m]) < std::fabs(n[k])) k = m;
      Vec3 ek{0, 0, 0};
      ek[k] = 1.0f;
      e = sub(ek, scale(n, dot(ek, n)));
      e = scale(e, 1.0f / rlength(e));
    }
    to_lst(run_, "(/' That point is on the atom or on its first axis: dummy made 1 Angstrom off the axis')");
    return dummy_cart(add(xc(i_), e), cart);
  }
  // Two neighbours on opposite sides of the atom (as straight as a linear
  // group): their midpoint is the atom itself and fixes no axis.
  bool trans(int a, int b) const { return angle(a, i_, b) >= 170.0f; }
  int pair_dummy(int a, int b, Vec3& cart);
  bool in_pair(int atom, std::size_t upto) const {
    for (std::size_t k = 0; k < upto && k < pairs_.size(); ++k)
      if (pairs_[k].a == atom || pairs_[k].b == atom) return true;
    return false;
  }

  // --- routes ---------------------------------------------------------------
  void route_a();
  void route_b();
  bool route_c(const RingTest& rt);
  bool route_d(const RingTest& rt);
  void route_e();
  void find_pairs();
  void one_heavy();
  void one_hydrogen();
  void two_neighbors();
  void three_neighbors();
  void four_neighbors();
  void general_fallback();
  void cis_pair_frame();
  void trans_pairs_frame(const Pair& zpair, const Pair& other);
  void ensure_frame();
  int second_axis_atom();

  Run& run_;
  int i_;
  const NeighborRec& nb_;
  std::vector<Pair> pairs_;
  int nh_ = 0;
};

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
  to_lst(run_, "(/a)", " Midpoint of the pair too near the atom or a bond: dummy on the bisector of the bonds");
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
  to_both(run_, "(/' Will make dummies at 0,0,0 and 0.5,0.5,0.5')");
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
  to_lst(run_, "(/a,i5,a)", " Atom belongs to only one planar ring ( # ", rt.iring, " )");
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
  to_lst(run_, "(/' Dummy atom which defines the ring center = ',a)", run_.dummy.label[static_cast<std::size_t>(ring.dummy)]);
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
           "' Will be treated as if it DOES NOT belong to a ring')");
    return false;
  }
  to_lst(run_, "(/a,i5,a)", " Atom belongs to 2 planar rings of tot numb ( #", rt.iring, " )");
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
    to_lst(run_, "(/a)", " Could not find atom to direct X-axis : general rules used");
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
  to_lst(run_, "(/a)", " Could not find atom to direct Y-axis : general rules used");
  return false;
}

void AxisRules::find_pairs() {
  for (int a = 1; a <= nb_.nnei; ++a)
    for (int b = a + 1; b <= nb_.nnei; ++b)
      if (sameatoms(run_, nei(a), nei(b), 0, 0, run_.ctl.isimple, 0) == 1) {
        pairs_.push_back(Pair{nei(a), nei(b)});
        to_lst(run_, "(/a,2i6)", " Same atoms : ", nei(a), nei(b));
      }
  to_lst(run_, "(/a,i4)", " is = ", static_cast<int>(pairs_.size()));
}

void AxisRules::route_e() {
  if (nb_.nnei > 2) {
    std::vector<int> group = collectnei(run_, i_);
    run_.lPG = planarity(run_, run_.ctl.iverb > 2 ? 1 : 0, group, 3);
    to_lst(run_, "(/' Atomic group (',i2,' atoms) planarity (lPG) = .',l1,'.')", static_cast<int>(group.size()),
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

void AxisRules::one_heavy() {
  int j = nei(1);
  const NeighborRec& nj = run_.neighbors[j];
  axis0("X", j);
  run_.axes.AX2 = "Y";
  sitesym("m");
  bool scanned = nj.nnei > 1;
  if (scanned) {
    for (int k = 1; k <= nj.nnei; ++k) {
      int kk = nj.inei[static_cast<std::size_t>(k)];
      if (kk == i_) continue;
      float ang = angle(i_, j, kk);
      if (ang <= 10.0f) continue;
      if (ang <= 160.0f) {
        prtang(run_, *run_.lst, i_, j, kk, ang);
        axis2("Y", kk);
        return;
      }
      run_.axes.AX1 = "Z";
      sitesym("cyl");
    }
  }
  int last = scanned ? nj.inei[static_cast<std::size_t>(nj.nnei)] : 0;
  for (float r : {4.0f, 6.0f, 8.0f, 10.0f, 12.0f}) {
    findnei(run_, j, r);
    if (!scanned) continue;  // nothing qualifies when j has no other neighbour
    for (int k = 1; k <= run_.neig.nnei; ++k) {
      int kk = run_.neig.inei[static_cast<std::size_t>(k)];
      if (kk == i_ || kk == last) continue;
      float ang = angle(i_, j, kk);
      if (ang > 10.0f && ang <= 160.0f) {
        prtang(run_, *run_.lst, i_, j, kk, ang);
        axis2("Y", kk);
        return;
      }
    }
  }
  no_neighbors_message(j, 12.0f);
  origin_dummy_as_atom2("Y");
}

void AxisRules::one_hydrogen() {
  int j = nei(1);
  const NeighborRec& nj = run_.neighbors[j];
  axis0("Z", j);
  run_.axes.AX2 = "Y";
  sitesym("cyl");
  auto& fh = run_.forh[static_cast<std::size_t>(i_)];
  fh = {nj.nnei, run_.atoms.iz[j], nj.ntype >= 1 ? nj.ntypenei[1] : 0};
  to_lst(run_, "(/' Hydrogen connected to an atom with ',i2,' bonds ( ',i2,' - Hydrogen(s) )')", fh[0], fh[2]);
  bool found = false;
  if (nj.ntype == 1 && nj.nnei > 1) {
    for (int k = 1; k <= nj.nnei && !found; ++k) {
      int kk = nj.inei[static_cast<std::size_t>(k)];
      if (kk == i_) continue;
      axis2("Y", kk);
      found = true;
    }
    if (!found) err("DefLoc", "can not happen <1>");
  } else {
    // The nearest heavy atom within 10 A that fixes a plane with the bond;
    // nothing of the search is listed, so only that atom is looked for.
    run_.iprint = 0;
    const int kk = first_neighbor(run_, j, 10.0f, [&](int k) {
      if (run_.atoms.iz[k] == 1 || k > run_.atoms.nat) return false;
      // Within 10 degrees of the bond (an acceptor straight beyond the H) the
      // atom would fix no plane with it.
      const float ang = angle(i_, j, k);
      if (ang > 170.0f || ang <= 10.0f) return false;
      // Seen from the H itself, an atom far behind its parent can still lie
      // within 10 degrees of the bond.
      return fixes_axis(xc(k), first_axis());
    });
    if (kk != 0) {
      prtang(run_, *run_.lst, i_, j, kk, angle(i_, j, kk));
      axis2("Y", kk);
      found = true;
    }
    run_.iprint = 1;
    if (!found) {
      no_neighbors_message(j, 10.0f);
      origin_dummy_as_atom2("Y");
    }
  }
  if (run_.ctl.iextH == 1) ExtendH(run_, j, i_);
}

void AxisRules::two_neighbors() {
  int n1 = nei(1), n2 = nei(2);
  float ang = angle(n1, i_, n2);
  if (ang >= 170.0f) {
    to_lst(run_, "(/a)", " LINEAR conformation !");
    sitesym("cyl");
    int a0 = run_.atoms.iz[n2] == 1 ? n1 : n2;
    axis0("Z", a0);
    run_.axes.AX2 = "X";
    float r = 2.0f;
    for (int step = 0; step <= 16; ++step) {
      r = 2.0f + 0.5f * static_cast<float>(step);
      findnei(run_, i_, r);
      for (int k = 3; k <= run_.neig.nnei; ++k) {
        int kk = run_.neig.inei[static_cast<std::size_t>(k)];
        float a = angle(a0, i_, kk);
        // An atom further along the line (a > 0 but tiny) fixes nothing.
        if (a <= 160.0f && a > 10.0f) {
          prtang(run_, *run_.lst, i_, a0, kk, a);
          axis2("X", kk);
          return;
        }
      }
    }
    no_neighbors_message(i_, r);
    origin_dummy_as_atom2("X");
    return;
  }
  to_lst(run_, "(/a)", " BENT conformation !");
  if (pairs_.size() == 1) {
    Vec3 cart;
    int d = pair_dummy(n1, n2, cart);
    axis0_dummy("Z", d, cart);
    axis2("Y", n1);
    sitesym("mm2");
    return;
  }
  sitesym("m");
  if (nh_ == 1) std::swap(n1, n2);
  axis0("X", n1);
  axis2("Y", n2);
}

void AxisRules::three_neighbors() {
  int is = static_cast<int>(pairs_.size());
  if (is != 0 && is != 1 && is != 3) err("DefLoc", ff::format("(' is = ',i4,' is not valid...')", is));
  bool planar = run_.lPG == 1;
  int label = planar ? (is == 0 ? 300 : is == 1 ? 301 : 303) : (is == 0 ? 310 : is == 1 ? 311 : 312);
  to_lst(run_, "(/' Label = ',i5)", label);
  int odd = 0;
  if (is >= 1)
    for (int k = 1; k <= nb_.nnei; ++k)
      if (nei(k) != pairs_[0].a && nei(k) != pairs_[0].b) odd = nei(k);
  Vec3 cart;
  switch (label) {
    case 300:
    case 310:
      axis0("X", isn(1));
      axis2("Y", isn(2));
      sitesym(planar ? "m" : "NO");
      break;
    case 301:
      if (run_.atoms.iz[odd] == 1) {
        int d = pair_dummy(pairs_[0].a, pairs_[0].b, cart);
        axis0_dummy("Z", d, cart);
      } else {
        axis0("Z", odd);
      }
      axis2("X", pairs_[0].a);
      sitesym("mm2");
      break;
    case 303:
      axis0("X", nei(1));
      axis2("Y", nei(2));
      sitesym("3m");
      break;
    case 311: {
      int d = pair_dummy(pairs_[0].a, pairs_[0].b, cart);
      axis0_dummy("X", d, cart);
      axis2("Y", odd);
      sitesym("m");
      break;
    }
    case 312: {
      Vec3 mean{0, 0, 0};
      for (int k = 1; k <= 3; ++k)
        mean = add(mean, run_.ctl.ifrac == 1 ? Vec3(run_.atoms.xf[nei(k)]) : Vec3(xc(nei(k))));
      int d = dummy_own(scale(mean, 1.0f / 3.0f), cart);
      axis0_dummy("Z", d, cart);
      axis2("X", nei(1));
      sitesym("3m");
      break;
    }
    default: break;
  }
}

void AxisRules::general_fallback() {
  axis0("X", isn(1));
  axis2("Y", isn(2));
  sitesym("NO");
}

void AxisRules::four_neighbors() {
  int is = static_cast<int>(pairs_.size());
  Vec3 cart;
  if (is == 1) {
    int first = 0, second = 0;
    for (int k = 1; k <= nb_.nnei; ++k) {
      int a = isn(k);
      if (a == pairs_[0].a || a == pairs_[0].b) continue;
      if (first == 0)
        first = a;
      else if (second == 0)
        second = a;
    }
    axis0("X", first);
    axis2("Y", second);
    sitesym("m");
  } else if (is == 2) {
    // The pair of heavier atoms fixes Z; when both pairs start with a
    // hydrogen the first pair does.
    std::size_t zp = 0;
    bool chosen = false;
    for (std::size_t p = 0; p < pairs_.size() && !chosen; ++p)
      if (run_.atoms.iz[pairs_[p].a] != 1) {
        zp = p;
        chosen = true;
      }
    std::size_t other = zp == 0 ? 1 : 0;
    if (other >= pairs_.size()) err("DefLoc", "4 neighbors: 2 + 2 case");
    if (trans(pairs_[zp].a, pairs_[zp].b)) {
      if (!trans(pairs_[other].a, pairs_[other].b)) {
        std::swap(zp, other);
      } else {
        trans_pairs_frame(pairs_[zp], pairs_[other]);
        return;
      }
    }
    int d = pair_dummy(pairs_[zp].a, pairs_[zp].b, cart);
    axis0_dummy("Z", d, cart);
    axis2("Y", pairs_[other].a);
    sitesym("mm2");
  } else if (is == 3) {
    int lone = 0;
    for (int k = 1; k <= nb_.nnei; ++k)
      if (!in_pair(nei(k), pairs_.size())) lone = nei(k);
    if (lone == 0) {
      // Equivalences that do not close into one set of three leave no
      // atom outside the pairs: no symmetry is assumed then.
      to_lst(run_, "(/a)", " No neighbour outside the equivalent pairs: no local symmetry assumed");
      general_fallback();
      return;
    }
    axis0("Z", lone);
    axis2("X", pairs_[0].a);
    sitesym("3m");
  } else if (is >= 4 && is <= 6) {
    if (trans(isn(1), isn(2))) {
      cis_pair_frame();
      return;
    }
    int d = pair_dummy(isn(1), isn(2), cart);
    axis0_dummy("Z", d, cart);
    axis2("Y", isn(3));
    sitesym("-42m");
  } else {
    general_fallback();
  }
}

// Four equivalent neighbours whose first two sorted ones are trans (a
// square-planar or flattened centre): the midpoint rule would put Z on the
// atom. The first sorted neighbour and the first later one that is not trans
// to it form a cis pair; the two-fold axis of such a centre bisects it, and
// Y points towards the other pair.
void AxisRules::cis_pair_frame() {
  const int a = isn(1);
  int b = 0;
  for (int k = 2; k <= nb_.nnei && b == 0; ++k)
    if (!trans(a, isn(k))) b = isn(k);
  if (b == 0) {
    general_fallback();
    return;
  }
  int y = 0;
  for (int k = 2; k <= nb_.nnei && y == 0; ++k)
    if (isn(k) != b) y = isn(k);
  to_lst(run_, "(/a)", " First two sorted neighbours are trans: Z bisects a cis pair");
  Vec3 cart;
  const int d = pair_dummy(a, b, cart);
  axis0_dummy("Z", d, cart);
  axis2("Y", y);
  sitesym("mm2");
}

// Two equivalent pairs, each trans (trans-MA2B2): the two-fold axes run
// along the pairs themselves, so Z points at a member of the pair chosen for
// Z and Y at a member of the other.
void AxisRules::trans_pairs_frame(const Pair& zpair, const Pair& other) {
  to_lst(run_, "(/a)", " Both equivalent pairs are trans: Z along the first pair");
  axis0("Z", zpair.a);
  axis2("Y", other.a);
  sitesym("mm2");
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
    to_lst(run_, "(/a,a,a,a)", " The ", letter, "-axis point lies on the atom: replaced by ", rtrim(ax.ATOM0));
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
  to_lst(run_, "(/a,a,a,a)", " The ", letter, "-axis point fixes no frame with the first axis: replaced by ",
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
  to_lst(run_, "(/a,i4)", " Number of covalently-bonded H-atoms = ", nh_);

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

}  // namespace

void DefLoc(Run& run, int atom) {
  const int dummies_before = run.dummy.n;
  AtomFacts facts = AxisRules(run, atom).run_rules();
  align_with_site(run, atom, dummies_before);
  atom_lines(run, atom, facts);
  record_site_check(run, atom);
}

}  // namespace vorn
