// The decision context of the axis rules for one atom, shared by the
// routes of axes.cpp and the rules by number of neighbours of
// axes_by_neighbors.cpp.
#pragma once

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.hpp"
#include "base/vecmath.hpp"
#include "local/atom_lines.hpp"
#include "local/dummies.hpp"
#include "model/run.hpp"
#include "topology/neighbors.hpp"

namespace vorn::axis_rules {

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
    to_both(run_, "(/' No neighbors of atom ',a,' were found within ',f10.2,' Angstroms')"_f, label(atom), r);
  }
  void origin_dummy_as_atom2(const char* letter) {
    to_both(run_, "(/' Will make dummy at 0,0,0')"_f);
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
    to_lst(run_, "(/' That point is on the atom or on its first axis: dummy made 1 Angstrom off the axis')"_f);
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
  bool mirror_through_parent(int j);
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

}  // namespace vorn::axis_rules
