// The axis rules of an atom by the number of its bonded neighbours: one (a
// heavy atom or a hydrogen), two, three, four or more.
#include <algorithm>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "chem/equivalence.hpp"
#include "chem/hydrogens.hpp"
#include "local/axis_rules.hpp"

namespace vorn::axis_rules {

// The mirror of a terminal atom holds its bond and the Y axis. Where the
// parent has an equivalent pair among its other neighbours, only a plane
// that maps that pair onto itself is a mirror: Y goes to the parent's first
// other neighbour outside the pair, else to the bisector of the pair (in
// the plane of the pair when the bisector lies on the bond). False, with
// nothing set, when the parent has no such pair, or another of its bonds is
// in line with this one (the cylinder rule decides then).
bool AxisRules::mirror_through_parent(int j) {
  const NeighborRec& nj = run_.neighbors[j];
  std::vector<int> others;
  for (int k = 1; k <= nj.nnei; ++k)
    if (const int kk = nj.inei[static_cast<std::size_t>(k)]; kk != i_) {
      if (angle(i_, j, kk) > 160.0f) return false;
      others.push_back(kk);
    }
  if (others.size() < 2) return false;
  const std::vector<NeighborPair> pairs = equivalent_pairs(run_, j, others, true);
  if (pairs.empty()) return false;
  // Of three or more alike, any one serves as the neighbour outside the
  // pair of two others: a read atom is taken before a symmetry image, which
  // the atom table could name only through a dummy.
  NeighborPair chosen{};
  int outside_atom = 0;
  for (const NeighborPair& p : pairs)
    for (int kk : others) {
      if (kk == p.a || kk == p.b) continue;
      const float ang = angle(i_, j, kk);
      if (!(ang > 10.0f && ang <= 160.0f)) continue;
      if (outside_atom == 0 || (outside_atom > run_.atoms.nat && kk <= run_.atoms.nat)) {
        chosen = p;
        outside_atom = kk;
      }
    }
  if (outside_atom != 0) {
    const int kk = outside_atom;
    to_lst(run_, "(/' Y towards ',a,', the neighbour of ',a,' outside its equivalent pair ',a,' ',a)"_f,
           rtrim(label(kk)), rtrim(label(j)), rtrim(label(chosen.a)), rtrim(label(chosen.b)));
    prtang(run_, *run_.lst, i_, j, kk, angle(i_, j, kk));
    axis2("Y", kk);
    return true;
  }
  // Neighbours outside the pair that fix no plane with the bond: the
  // general scan decides.
  const NeighborPair p = pairs.front();
  for (int kk : others)
    if (kk != p.a && kk != p.b) return false;
  const Vec3 ua = sub(xc(p.a), xc(j)), ub = sub(xc(p.b), xc(j));
  const Vec3 bis = add(scale(ua, 1.0f / rlength(ua)), scale(ub, 1.0f / rlength(ub)));
  const float lb = rlength(bis);
  if (lb > 0.1f) {
    const Vec3 point = add(xc(j), scale(bis, 1.0f / lb));
    if (fixes_axis(point, first_axis())) {
      Vec3 cart;
      const int d = dummy_cart(point, cart);
      to_lst(run_, "(/' Y towards the bisector of the equivalent pair ',a,' ',a,' of ',a,' (dummy ',a,')')"_f,
             rtrim(label(p.a)), rtrim(label(p.b)), rtrim(label(j)), rtrim(run_.dummy.label[static_cast<std::size_t>(d)]));
      axis2_dummy("Y", d, cart);
      return true;
    }
  }
  to_lst(run_, "(/' Y towards ',a,': the plane of the bond and the equivalent pair ',a,' ',a,' of ',a)"_f,
         rtrim(label(p.a)), rtrim(label(p.a)), rtrim(label(p.b)), rtrim(label(j)));
  axis2("Y", p.a);
  return true;
}

void AxisRules::one_heavy() {
  int j = nei(1);
  const NeighborRec& nj = run_.neighbors[j];
  axis0("X", j);
  run_.axes.AX2 = "Y";
  sitesym("m");
  if (mirror_through_parent(j)) return;
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
  to_lst(run_, "(/' Hydrogen connected to an atom with ',i2,' bonds ( ',i2,' - Hydrogen(s) )')"_f, fh[0], fh[2]);
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
    to_lst(run_, "(/a)"_f, " LINEAR conformation !");
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
  to_lst(run_, "(/a)"_f, " BENT conformation !");
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
  if (is != 0 && is != 1 && is != 3) err("DefLoc", ff::format("(' is = ',i4,' is not valid...')"_f, is));
  bool planar = run_.lPG == 1;
  int label = planar ? (is == 0 ? 300 : is == 1 ? 301 : 303) : (is == 0 ? 310 : is == 1 ? 311 : 312);
  to_lst(run_, "(/' Label = ',i5)"_f, label);
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
      to_lst(run_, "(/a)"_f, " No neighbour outside the equivalent pairs: no local symmetry assumed");
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
  to_lst(run_, "(/a)"_f, " First two sorted neighbours are trans: Z bisects a cis pair");
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
  to_lst(run_, "(/a)"_f, " Both equivalent pairs are trans: Z along the first pair");
  axis0("Z", zpair.a);
  axis2("Y", other.a);
  sitesym("mm2");
}

}  // namespace vorn::axis_rules
