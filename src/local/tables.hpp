// Neighbour tables, dummy atoms, the local-axis result and the per-atom
// kappa, constraint and population tables.
#pragma once

#include <array>
#include <memory_resource>
#include <span>
#include <string>
#include <vector>

#include "control/vecmath.hpp"

namespace vorn {

constexpr int MAXNEI = 1000;   // atoms per radius search
constexpr int MAXDUM = 999;    // dummy atoms (three-digit labels)

// Bonded neighbours of one atom, or the result of one radius search. The
// lists take their storage from a memory resource: the table of every atom
// puts its many short lists one after another in one pool (a copy made of a
// record uses the ordinary heap).
struct NeighborRec {
  NeighborRec() = default;
  explicit NeighborRec(std::pmr::memory_resource* pool)
      : inei(pool), rnei(pool), ztype(pool), ntypenei(pool), itypenei(pool) {}

  int nnei = 0;
  std::pmr::vector<int> inei;    // 1..nnei, by increasing distance
  std::pmr::vector<float> rnei;  // parallel to inei
  int ntype = 0;
  std::pmr::vector<int> ztype;                       // 1..ntype, increasing atomic number
  std::pmr::vector<int> ntypenei;                    // members per type
  std::pmr::vector<std::pmr::vector<int>> itypenei;  // itypenei[type][1..ntypenei]
};

// Entry k of a list of a record, 0 outside the list.
inline int at_or_zero(std::span<const int> v, int k) {
  return k >= 0 && static_cast<std::size_t>(k) < v.size() ? v[static_cast<std::size_t>(k)] : 0;
}

struct Dummy {
  int n = 0;
  std::vector<std::string> label;  // "DUM"n, 6 characters; 1..n
  std::vector<Vec3> x;             // fractional for fractional input, else Cartesian
};

// The axes chosen for the current atom.
struct LocalAxes {
  std::string ATOM0 = std::string(8, ' ');
  std::string AX1 = " ";
  std::string ATOM2 = std::string(8, ' ');
  std::string AX2 = " ";
  Vec3 P1{};
  Vec3 P2{};
};

// The crystal's own symmetry at each read atom, as its local frame took it.
struct SiteSymm {
  std::vector<std::string> group;  // point group of the site; empty on a general position
  std::vector<char> own_frame;     // 1: the frame follows the site's elements, not the chemical rule
};

// Whether an atom's bonded neighbours obey the site symmetry it was given:
// every operation of the group, applied in the atom's local frame, must put
// each neighbour on a neighbour of the same element.
struct SiteCheck {
  bool checked = false;  // a known group and a frame that exists
  bool passes = false;
  float misfit = 0;  // A: largest distance from an operated neighbour to the nearest neighbour of its element
};

struct Kappas {
  int n = 0;
  std::vector<float> kappa;   // 1..n
  std::vector<float> kappap;
  std::vector<int> nsft;      // scattering table the set belongs to
};

// Parameters of one atom as written to the parameter files.
struct Mpole {
  float pv = 0;
  float spv = 0;
  std::array<std::array<float, 9>, 5> plm{};  // plm[l][m + 4]
  int ax1 = 0, ax2 = 0;                       // 1 X, 2 Y, 3 Z
  int atom0 = 0, atom1 = 0, atom2 = 0;
  int tp = 0, tbl = 0, kap = 0, lmx = 4, one = 1, equiv = 0;
  float& P(int l, int m) { return plm[static_cast<std::size_t>(l)][static_cast<std::size_t>(m + 4)]; }
  float P(int l, int m) const { return plm[static_cast<std::size_t>(l)][static_cast<std::size_t>(m + 4)]; }
};

}  // namespace vorn
