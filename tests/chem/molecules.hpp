// Small molecules with textbook geometry for the chemistry tests: atoms are
// placed by bond length, bond angle and torsion from atoms already placed,
// so every structure has realistic distances and the bond search finds
// exactly the chemical bonds.
#pragma once

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include "model/run.hpp"
#include "support/builders.hpp"
#include "topology/connectivity.hpp"
#include "topology/neighbors.hpp"
#include "topology/rings.hpp"

namespace vorn::test {

class Mol {
 public:
  explicit Mol(Run& run) : run_(run) {}

  int at(const std::string& label, float x, float y, float z) { return add_atom(run_, label, Cart(x, y, z)); }

  // A new atom bonded to a at distance d, with angle (new, a, b) and torsion
  // (new, a, b, c) in degrees.
  int place(const std::string& label, int a, float d, int b, float angle, int c, float torsion) {
    const Vec3 pa = xc(a), pb = xc(b), pc = xc(c);
    const Vec3 n = unit(vmult(sub(pb, pc), sub(pa, pb)));
    const Vec3 ab = unit(sub(pa, pb));
    const Vec3 m = vmult(n, ab);
    const float th = angle * kDeg, ph = torsion * kDeg;
    const Vec3 local{-d * std::cos(th), d * std::sin(th) * std::cos(ph), d * std::sin(th) * std::sin(ph)};
    const Vec3 p = add(pa, add(scale(ab, local[0]), add(scale(m, local[1]), scale(n, local[2]))));
    return add_atom(run_, label, Cart(p));
  }

  // A point in the xy plane at distance d from atom a, in direction angle
  // (degrees from +x): the substituents of a planar sp2 centre.
  int polar(const std::string& label, int a, float d, float angle) {
    const Vec3 p = xc(a);
    return at(label, p[0] + d * std::cos(angle * kDeg), p[1] + d * std::sin(angle * kDeg), p[2]);
  }

  // A regular planar ring of the given labels in the xy plane around centre,
  // bond length d; returns the member indices in ring order.
  std::vector<int> ring(std::initializer_list<std::string> labels, float d, Cart centre = Cart()) {
    const int n = static_cast<int>(labels.size());
    const float r = d / (2.0f * std::sin(3.14159265f / static_cast<float>(n)));
    std::vector<int> out;
    int k = 0;
    for (const std::string& l : labels) {
      const float phi = 2.0f * 3.14159265f * static_cast<float>(k++) / static_cast<float>(n);
      out.push_back(at(l, centre[0] + r * std::cos(phi), centre[1] + r * std::sin(phi), centre[2]));
    }
    return out;
  }

  // A substituent on a ring atom, pointing away from the ring centre in the
  // ring plane.
  int radial(const std::string& label, int ring_atom, float d, Cart centre = Cart()) {
    const Vec3 u = unit(sub(xc(ring_atom), centre));
    return add_atom(run_, label, Cart(add(xc(ring_atom), scale(u, d))));
  }

  Vec3 xc(int i) const { return run_.atoms.xc[static_cast<std::size_t>(i)]; }

 private:
  static constexpr float kDeg = 0.017453292f;
  static Vec3 unit(const Vec3& v) { return scale(v, 1.0f / rlength(v)); }
  Run& run_;
};

// The ring search (3- to 8-membered rings) and the bond search over
// everything built so far, as the run does them before the per-atom stages.
inline void rings_and_bonds(Run& run) {
  run.ring1.nmin = 3;
  run.ring1.nmax = 8;
  connect4rings(run);
  FindRings(run);
  findallneighbors(run);
}

// Three hydrogens on the sp3 atom x, staggered against b (bonded to x) and
// c; slightly different X-H lengths give them a fixed distance order.
inline void hydrogens3(Mol& m, const std::string& prefix, int x, int b, int c) {
  m.place(prefix + "1)", x, 1.08f, b, 109.5f, c, 60.0f);
  m.place(prefix + "2)", x, 1.09f, b, 109.5f, c, 180.0f);
  m.place(prefix + "3)", x, 1.10f, b, 109.5f, c, -60.0f);
}

// A methyl carbon at distance d from a (angle to b, torsion to c) with its
// hydrogens; h_prefix "H(2" gives H(21), H(22), H(23).
inline int methyl(Mol& m, const std::string& c_label, const std::string& h_prefix, int a, float d, int b,
                  float angle, int c, float torsion) {
  const int cm = m.place(c_label, a, d, b, angle, c, torsion);
  hydrogens3(m, h_prefix, cm, a, b);
  return cm;
}

// A styrene with a vinyl group on its vinyl group, Ph-CH=CH-CH=CH2, around
// centre: the ipso carbon has two ring carbons and a vinyl carbon, all
// three with neighbours C, C, H; the second chain carbon sits between a
// double bond (1.34 A) and a single bond (1.45 A) to two such carbons.
struct PhenylDiene {
  std::vector<int> ring;
  int ipso = 0, ca = 0, cb = 0, cc = 0, cd = 0;
  PhenylDiene(Mol& m, Cart centre, int n = 0) {
    auto lab = [&](const std::string& el, int k) { return el + "(" + std::to_string(n + k) + ")"; };
    ring = m.ring({lab("C", 1), lab("C", 2), lab("C", 3), lab("C", 4), lab("C", 5), lab("C", 6)}, 1.39f, centre);
    ipso = ring[0];
    for (int k = 1; k < 6; ++k) m.radial(lab("H", k + 1), ring[static_cast<std::size_t>(k)], 1.08f, centre);
    ca = m.radial(lab("C", 7), ipso, 1.47f, centre);
    const int h7 = m.place(lab("H", 7), ca, 1.08f, ipso, 117.0f, ring[1], 0);
    cb = m.place(lab("C", 8), ca, 1.34f, ipso, 125.0f, ring[1], 180);
    m.place(lab("H", 8), cb, 1.08f, ca, 118.0f, h7, 180);
    cc = m.place(lab("C", 9), cb, 1.45f, ca, 124.0f, h7, 0);
    m.place(lab("H", 9), cc, 1.08f, cb, 117.0f, ca, 180);
    cd = m.place(lab("C", 10), cc, 1.34f, cb, 124.0f, ca, 180);
    m.place(lab("H", 11), cd, 1.08f, cc, 121.0f, cb, 0);
    m.place(lab("H", 12), cd, 1.08f, cc, 121.0f, cb, 180);
  }
};

}  // namespace vorn::test
