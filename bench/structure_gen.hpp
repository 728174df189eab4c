// Large, chemically realistic SHELX structures for timing runs and for the
// equivalence tests of the fast stages.
//
// The unit is ibuprofen, C13H18O2 (33 atoms: one para-substituted benzene
// ring, an isobutyl group, a propionic acid group, three methyl groups), built
// from standard bond lengths and angles with its hydrogen atoms at the
// distances a SHELX riding model gives (C-H 0.95 aromatic, 0.98 methyl, 0.99
// methylene, 1.00 methine; O-H 0.84), so that the hydrogen extension has work
// to do. A structure is a P1 supercell: one molecule per sub-cell, the two
// hands alternating like the pairs of a centrosymmetric packing, the
// molecules whole and 2.5 A or more apart, so that fragment completion adds
// no atom and no bond joins two molecules.
//
// One ring and no dummy-producing group per 33 atoms keeps 20,000 atoms
// within the 1000 rings and 999 dummy atoms a run can hold. Optional
// variety (for the equivalence tests): a random twist of every molecule's
// torsions, which changes geometry and radius searches but not chemistry,
// and a fraction of molecules with a chlorine in place of one ring hydrogen,
// which breaks the equivalences so the kappa-set search must look further.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace vorn::bench {

struct GenOptions {
  int target_atoms = 1000;   // the structure holds at most this many atoms
  unsigned seed = 1;
  bool twist = false;        // vary the torsions molecule by molecule
  double chloro = 0.0;       // fraction of molecules with a Cl on the ring
  // Molecules cut by the cell edges: the origin moved by half a sub-cell and
  // every atom put back into the cell, so that fragment completion has
  // images to add.
  bool split = false;
};

struct GenAtom {
  std::string name;  // SHELX name, element letters first
  int sfac = 0;      // 1 C, 2 H, 3 O, 4 Cl
  std::array<double, 3> x{};  // Cartesian, A
  double uiso = 0.0;          // riding factor of a hydrogen (-1.2, -1.5), else 0
};

using Mol = std::vector<GenAtom>;

namespace detail {

using V = std::array<double, 3>;

inline V sub(const V& a, const V& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
inline V add(const V& a, const V& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
inline V mul(const V& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
inline double dot(const V& a, const V& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline V cross(const V& a, const V& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline V unit(const V& a) { return mul(a, 1.0 / std::sqrt(dot(a, a))); }
inline double norm(const V& a) { return std::sqrt(dot(a, a)); }

// The atom d bonded to c with |cd| = bond, angle bcd and torsion abcd (deg).
inline V place(const V& a, const V& b, const V& c, double bond, double angle, double torsion) {
  const double pi = 3.14159265358979323846;
  const double th = angle * pi / 180.0, ph = torsion * pi / 180.0;
  const V bc = unit(sub(c, b));
  const V n = unit(cross(sub(b, a), bc));
  const V m = cross(n, bc);
  const V d2{-bond * std::cos(th), bond * std::sin(th) * std::cos(ph), bond * std::sin(th) * std::sin(ph)};
  return add(c, add(mul(bc, d2[0]), add(mul(m, d2[1]), mul(n, d2[2]))));
}

// One ibuprofen molecule in its own frame (ring in the xy plane, centred at
// the origin); tw shifts the free torsions by up to about 15 degrees.
inline Mol ibuprofen(std::mt19937& rng, bool twist, bool chloro) {
  std::uniform_real_distribution<double> u(-15.0, 15.0);
  auto tw = [&]() { return twist ? u(rng) : 0.0; };
  const double pi = 3.14159265358979323846;
  Mol m;
  // Riding hydrogens follow their parent atom, as SHELX requires.
  auto at = [&](const char* name, int sfac, const V& x, double uiso = 0.0) {
    m.push_back(GenAtom{name, sfac, x, uiso});
    return x;
  };
  V r[6];
  for (int k = 0; k < 6; ++k) r[k] = {1.39 * std::cos(pi / 3 * k), 1.39 * std::sin(pi / 3 * k), 0.0};
  auto out = [&](const V& p, double d) { return mul(p, (1.39 + d) / 1.39); };
  // Ring; hydrogens (or one chlorine) on C2, C3, C5, C6.
  at("C1", 1, r[0]);
  at("C2", 1, r[1]);
  if (chloro)
    at("CL1", 4, out(r[1], 1.74));
  else
    at("H2", 2, out(r[1], 0.95), -1.2);
  at("C3", 1, r[2]);
  at("H3", 2, out(r[2], 0.95), -1.2);
  at("C4", 1, r[3]);
  at("C5", 1, r[4]);
  at("H5", 2, out(r[4], 0.95), -1.2);
  at("C6", 1, r[5]);
  at("H6", 2, out(r[5], 0.95), -1.2);
  // Propionic acid group on C1: C7(H)(C8H3)C9(=O1)O2H.
  const V c7 = at("C7", 1, out(r[0], 1.52));
  const double t7 = 90.0 + tw();
  at("H7", 2, place(r[1], r[0], c7, 1.00, 108.0, t7 - 120.0), -1.2);
  const V c8 = at("C8", 1, place(r[1], r[0], c7, 1.53, 110.0, t7));
  const double t8 = 60.0 + tw();
  const char* h8[3] = {"H8A", "H8B", "H8C"};
  for (int k = 0; k < 3; ++k) at(h8[k], 2, place(r[0], c7, c8, 0.98, 109.5, t8 + 120.0 * k), -1.5);
  const V c9 = at("C9", 1, place(r[1], r[0], c7, 1.52, 110.0, t7 + 120.0));
  const double t9 = 100.0 + tw();
  at("O1", 3, place(r[0], c7, c9, 1.21, 124.0, t9));
  const V o2 = at("O2", 3, place(r[0], c7, c9, 1.31, 112.0, t9 + 180.0));
  at("H2O", 2, place(c7, c9, o2, 0.84, 109.5, 180.0 + tw()), -1.5);
  // Isobutyl group on C4: C10H2-C11H(C12H3)(C13H3).
  const V c10 = at("C10", 1, out(r[3], 1.51));
  const double t10 = 90.0 + tw();
  at("H10A", 2, place(r[2], r[3], c10, 0.99, 109.0, t10 + 120.0), -1.2);
  at("H10B", 2, place(r[2], r[3], c10, 0.99, 109.0, t10 - 120.0), -1.2);
  const V c11 = at("C11", 1, place(r[2], r[3], c10, 1.53, 112.0, t10));
  const double t11 = 180.0 + tw();
  at("H11", 2, place(r[3], c10, c11, 1.00, 108.0, t11 + 120.0), -1.2);
  const V c12 = at("C12", 1, place(r[3], c10, c11, 1.52, 110.5, t11));
  const double t12 = 60.0 + tw(), t13 = 60.0 + tw();
  const char* h12[3] = {"H12A", "H12B", "H12C"};
  for (int k = 0; k < 3; ++k) at(h12[k], 2, place(c10, c11, c12, 0.98, 109.5, t12 + 120.0 * k), -1.5);
  const V c13 = at("C13", 1, place(r[3], c10, c11, 1.52, 110.5, t11 - 120.0));
  const char* h13[3] = {"H13A", "H13B", "H13C"};
  for (int k = 0; k < 3; ++k) at(h13[k], 2, place(c10, c11, c13, 0.98, 109.5, t13 + 120.0 * k), -1.5);
  // Centre the molecule on its bounding box.
  V lo = m[0].x, hi = m[0].x;
  for (const auto& a : m)
    for (int d = 0; d < 3; ++d) {
      lo[d] = std::min(lo[d], a.x[d]);
      hi[d] = std::max(hi[d], a.x[d]);
    }
  const V c = mul(add(lo, hi), 0.5);
  for (auto& a : m) a.x = sub(a.x, c);
  return m;
}

inline V rotate(const V& x, double ax, double ay, double az) {
  const double cx = std::cos(ax), sx = std::sin(ax), cy = std::cos(ay), sy = std::sin(ay), cz = std::cos(az),
               sz = std::sin(az);
  V a{x[0], cx * x[1] - sx * x[2], sx * x[1] + cx * x[2]};
  V b{cy * a[0] + sy * a[2], a[1], -sy * a[0] + cy * a[2]};
  return {cz * b[0] - sz * b[1], sz * b[0] + cz * b[1], b[2]};
}

}  // namespace detail

// The molecules of the structure, each with its atoms in Cartesian
// coordinates, and the orthogonal P1 cell that holds them.
struct Structure {
  std::array<double, 3> cell{};  // a, b, c (alpha = beta = gamma = 90)
  bool wrap = false;             // fractional coordinates put back into [0, 1)
  std::vector<Mol> mols;
  int natoms() const {
    int n = 0;
    for (const auto& m : mols) n += static_cast<int>(m.size());
    return n;
  }
};

inline Structure generate(const GenOptions& opts) {
  using namespace detail;
  std::mt19937 rng(opts.seed);
  std::uniform_real_distribution<double> u01(0.0, 1.0);
  const int per = 33;
  const int nmol = std::max(1, opts.target_atoms / per);
  // A tilted orientation, so that no axis of the cell lies along a bond.
  const double ax = 0.35, ay = 0.5, az = 0.2;
  Structure s;
  std::vector<Mol> mols;
  V box{0, 0, 0};
  for (int k = 0; k < nmol; ++k) {
    Mol m = ibuprofen(rng, opts.twist, u01(rng) < opts.chloro);
    const bool inverted = k % 2 == 1;
    for (auto& a : m) {
      a.x = rotate(a.x, ax, ay, az);
      if (inverted) a.x = mul(a.x, -1.0);
    }
    for (const auto& a : m)
      for (int d = 0; d < 3; ++d) box[d] = std::max(box[d], 2.0 * std::fabs(a.x[d]));
    mols.push_back(std::move(m));
  }
  // Sub-cells: the molecule's extent plus 2.6 A of room in each direction.
  for (int d = 0; d < 3; ++d) box[d] += 2.6;
  int n[3] = {1, 1, 1};
  while (n[0] * n[1] * n[2] < nmol) {
    int d = 0;
    for (int e = 1; e < 3; ++e)
      if (n[e] * box[e] < n[d] * box[d]) d = e;
    ++n[d];
  }
  for (int d = 0; d < 3; ++d) s.cell[d] = n[d] * box[d];
  const double shift = opts.split ? 0.5 : 0.0;
  for (int k = 0; k < nmol; ++k) {
    const int i = k % n[0], j = (k / n[0]) % n[1], l = k / (n[0] * n[1]);
    const V centre{(i + 0.5 + shift) * box[0], (j + 0.5 + shift) * box[1], (l + 0.5 + shift) * box[2]};
    for (auto& a : mols[static_cast<std::size_t>(k)]) a.x = add(a.x, centre);
  }
  s.wrap = opts.split;
  s.mols = std::move(mols);
  return s;
}

// The structure as a SHELX result file (riding H atoms with Uiso -1.2/-1.5).
inline std::string shelx_text(const Structure& s) {
  std::string t;
  char buf[256];
  t += "TITL ibuprofen supercell in P1, " + std::to_string(s.natoms()) + " atoms (generated for timing runs)\n";
  std::snprintf(buf, sizeof buf, "CELL 0.71073 %9.4f %9.4f %9.4f  90.000  90.000  90.000\n", s.cell[0], s.cell[1],
                s.cell[2]);
  t += buf;
  t += "ZERR 1 0.0010 0.0010 0.0010 0.000 0.000 0.000\nLATT -1\nSFAC C H O CL\n";
  int count[5] = {0, 0, 0, 0, 0};
  for (const auto& m : s.mols)
    for (const auto& a : m) ++count[a.sfac];
  std::snprintf(buf, sizeof buf, "UNIT %d %d %d %d\n", count[1], count[2], count[3], count[4]);
  t += buf;
  t += "L.S. 10\nWGHT    0.050000    0.100000\nFVAR       1.00000\n";
  for (const auto& m : s.mols) {
    for (const auto& a : m) {
      double f[3] = {a.x[0] / s.cell[0], a.x[1] / s.cell[1], a.x[2] / s.cell[2]};
      if (s.wrap)
        for (double& v : f) v -= std::floor(v);
      if (a.uiso < 0.0) {
        std::snprintf(buf, sizeof buf, "%-4s %d %10.6f %10.6f %10.6f %11.5f %10.5f\n", a.name.c_str(), a.sfac, f[0],
                      f[1], f[2], 11.0, a.uiso);
        t += buf;
      } else {
        std::snprintf(buf, sizeof buf, "%-4s %d %10.6f %10.6f %10.6f %11.5f %10.5f %10.5f =\n", a.name.c_str(),
                      a.sfac, f[0], f[1], f[2], 11.0, 0.031, 0.036);
        t += buf;
        std::snprintf(buf, sizeof buf, "    %10.5f %10.5f %10.5f %10.5f\n", 0.041, -0.002, 0.005, 0.001);
        t += buf;
      }
    }
  }
  t += "HKLF 4\nEND\n";
  return t;
}

// The control file of a full run over the structure: fragment completion,
// rings, keys, databank, H extension and one neutral fragment.
inline std::string control_text(const std::string& structure_file, const std::string& databank, int natoms,
                                int verbose = 1) {
  std::string t;
  t += "! Timing run over a generated structure\n";
  t += "FORMAT  *shelx\n";
  t += "INPUT   " + structure_file + "  *rename 1\n";
  t += "VERBOSE " + std::to_string(verbose) + "\n";
  t += "TOLS bond 0.2 ring 0.1 group 0.1\n";
  t += "NCELLS  1\n";
  t += "RINGS   3  8\n";
  t += "KEYGEN  *XYZUIJ all *ordered  *MULT all *ordered *kappas\n";
  t += "CHEMCON *hydrogen *other\n";
  t += "EXTEND_H\n";
  t += "DATABANK " + databank + "\n";
  t += "SCALE   *diff\n";
  t += "NFRAG   1\n";
  t += "FRAG    1  1 -" + std::to_string(natoms) + "\n";
  t += "CHFRAG  0.0\n";
  return t;
}

}  // namespace vorn::bench
