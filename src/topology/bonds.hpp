// The bond criterion shared by fragment completion and the connectivity
// table, and a spatial hash that finds the candidates of a distance test in
// constant time per atom instead of scanning the whole atom table.
#pragma once

#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "control/run.hpp"

namespace vorn {

// Covalent radius of atom i (covalent radii as changed by RADII), or -1 when
// the element has none: the table covers elements 1..54 only, and an atom of
// any other atomic number (0 for an unknown label) gets no bonds, as in the
// neighbour search, rather than an invented bond distance.
float bond_radius(const Run& run, int i);

// Two atoms with radii r1, r2 at distance d are bonded when
// d <= r1 + r2 + tol (the sum in this order, so every stage decides alike).
inline bool bonded(float d, float r1, float r2, float tol) {
  return r1 >= 0.0f && r2 >= 0.0f && d <= r1 + r2 + tol;
}

// Points bucketed in cubic cells. near() hands out every stored point within
// `reach` of the query point (and some farther ones); callers make the exact
// distance test themselves.
class PointGrid {
 public:
  explicit PointGrid(float reach);
  void add(int id, const Vec3& p);
  template <class F>
  void near(const Vec3& p, F&& f) const {
    const Cell c = cell_of(p);
    for (int dx = -1; dx <= 1; ++dx)
      for (int dy = -1; dy <= 1; ++dy)
        for (int dz = -1; dz <= 1; ++dz) {
          auto it = cells_.find(key(c.x + dx, c.y + dy, c.z + dz));
          if (it == cells_.end()) continue;
          for (int id : it->second) f(id);
        }
  }

 private:
  struct Cell {
    std::int64_t x, y, z;
  };
  Cell cell_of(const Vec3& p) const;
  static std::uint64_t key(std::int64_t x, std::int64_t y, std::int64_t z);
  float size_;
  std::unordered_map<std::uint64_t, std::vector<int>> cells_;
};

}  // namespace vorn
