// The bond criterion shared by fragment completion and the connectivity
// table, and a spatial hash that finds the candidates of a distance test in
// constant time per atom instead of scanning the whole atom table.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "model/run.hpp"

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

// The bonded partners of atoms 1..n, each list in increasing atom index
// (entry 0 unused). A list can be replaced and single partners added or
// removed, so that the table can follow an atom that moves.
class BondTable {
 public:
  std::size_t size() const { return spans_.size(); }
  std::span<const int> operator[](std::size_t atom) const {
    const Span& s = spans_[atom];
    return {flat_.data() + s.start, static_cast<std::size_t>(s.size)};
  }
  void replace(int atom, std::span<const int> list);
  void insert(int atom, int partner);  // partner not yet listed
  void erase(int atom, int partner);   // partner listed

 private:
  friend BondTable bond_partners(const Run& run);
  struct Span {
    int start = 0, size = 0, room = 0;
  };
  // Moves the list of the atom to the end of the storage with room for at
  // least `need` partners.
  void regrow(Span& s, int need);
  std::vector<Span> spans_;
  std::vector<int> flat_;
};

// Bonded partners of every atom 1..ncryst (ascending atom index) by the bond
// criterion; disordered atoms included. With disorder parts an atom's list
// holds only the partners its part lets it see (topology/parts.hpp), so
// that a pair may be listed in one direction only.
BondTable bond_partners(const Run& run);

// A bond table with what it was found from, so that a later stage can take
// it over while the atoms have not changed.
struct FoundBonds {
  BondTable table;
  float tol = 0;
  std::vector<float> radius;  // per atom 1..n
  std::vector<Vec3> at;       // per atom 1..n
};
// bond_partners(), kept in run.bonds for take_bonds().
const BondTable& keep_bonds(Run& run);
// The table keep_bonds() kept when the atoms, their radii and the tolerance
// are still those it was found from, else bond_partners(); run.bonds is
// emptied.
BondTable take_bonds(Run& run);

// Points bucketed in cubic cells. near() hands out every stored point within
// `reach` of the query point (and some a little farther); callers make the
// exact distance test themselves. The cells are found through an
// open-addressing table of their keys; the points of a cell are chained in
// insertion order.
class PointGrid {
 public:
  explicit PointGrid(float reach);
  void add(int id, const Vec3& p);
  template <class F>
  void near(const Vec3& p, F&& f) const {
    near_sq(p, size_, [&](int id, float) { f(id); });
  }
  // As near(), but only up to `radius` (at most the grid's reach), handing
  // out also the squared distance of the stored point from p, so that a
  // caller can pass over most points without computing anything else.
  template <class F>
  void near_sq(const Vec3& p, float radius, F&& f) const {
    if (used_ == 0) return;
    const Cell c = cell_of(p);
    // Points beyond one cell width (the grid's reach with room to spare)
    // are of no use to any caller; they are most of the 27 cells.
    const float r = std::min(radius, size_);
    const float far = r * r;
    // A neighbouring cell whose nearest face, edge or corner is farther
    // than r holds nothing wanted; its lookup is skipped. The gaps are
    // lower bounds on the distance to any point of the cell, with room for
    // the rounding of the cell index.
    const double slack = 1.0e-4 * static_cast<double>(size_);
    const double lim = static_cast<double>(r) + slack;
    const double lim2 = lim * lim;
    const std::array<double, 3> gx = gaps(p[0], c.x), gy = gaps(p[1], c.y), gz = gaps(p[2], c.z);
    // Cells outside the box of the occupied ones are empty: a probe near
    // the edge of the points (most probes of images moved by a lattice
    // translation) is answered without looking them up.
    const std::int64_t x0 = std::max(c.x - 1, lo_.x), x1 = std::min(c.x + 1, hi_.x);
    const std::int64_t y0 = std::max(c.y - 1, lo_.y), y1 = std::min(c.y + 1, hi_.y);
    const std::int64_t z0 = std::max(c.z - 1, lo_.z), z1 = std::min(c.z + 1, hi_.z);
    for (std::int64_t x = x0; x <= x1; ++x) {
      const double ax = gx[static_cast<std::size_t>(x - c.x + 1)];
      for (std::int64_t y = y0; y <= y1; ++y) {
        const double axy = ax + gy[static_cast<std::size_t>(y - c.y + 1)];
        if (axy > lim2) continue;
        for (std::int64_t z = z0; z <= z1; ++z) {
          if (axy + gz[static_cast<std::size_t>(z - c.z + 1)] > lim2) continue;
          const int cell = find(key(x, y, z));
          if (cell < 0) continue;
          for (int e = first_[static_cast<std::size_t>(cell)]; e >= 0; e = next_[static_cast<std::size_t>(e)]) {
            const Vec3& q = at_[static_cast<std::size_t>(e)];
            const float dx2 = q[0] - p[0], dy2 = q[1] - p[1], dz2 = q[2] - p[2];
            const float d2 = dx2 * dx2 + dy2 * dy2 + dz2 * dz2;
            if (!(d2 > far)) f(ids_[static_cast<std::size_t>(e)], d2);
          }
        }
      }
    }
  }

 private:
  struct Cell {
    std::int64_t x, y, z;
  };
  struct Slot {
    std::uint64_t key = 0;
    int cell = -1;  // -1: empty
  };
  Cell cell_of(const Vec3& p) const;
  // Squared distance, along one axis, from coordinate v in cell i to the
  // cells i-1, i, i+1 (zero when not sure). Points of cell i-1 lie below
  // i*size and those of cell i+1 at or above (i+1)*size, the clamped end
  // cells included.
  std::array<double, 3> gaps(float v, std::int64_t i) const {
    const double below = std::max(static_cast<double>(v) - static_cast<double>(i) * size_, 0.0);
    const double above = std::max(static_cast<double>(i + 1) * size_ - static_cast<double>(v), 0.0);
    // Not a number: look everywhere, as the caller's test then decides.
    if (!(below >= 0.0) || !(above >= 0.0)) return {0.0, 0.0, 0.0};
    return {below * below, 0.0, above * above};
  }
  static std::uint64_t key(std::int64_t x, std::int64_t y, std::int64_t z) {
    auto u = [](std::int64_t v) { return static_cast<std::uint64_t>(v + (std::int64_t{1} << 20)) & 0x1FFFFFu; };
    return (u(x) << 42) | (u(y) << 21) | u(z);
  }
  std::size_t slot_of(std::uint64_t key) const {
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> shift_);
  }
  // The cell of a key, -1 when no point lies in it.
  int find(std::uint64_t key) const {
    for (std::size_t s = slot_of(key);; s = (s + 1) & (table_.size() - 1)) {
      const Slot& slot = table_[s];
      if (slot.cell < 0 || slot.key == key) return slot.cell;
    }
  }
  void grow();

  float size_;
  int shift_ = 60;                 // 64 - log2 of the table size
  std::vector<Slot> table_;        // at most half full
  std::size_t used_ = 0;           // cells in use
  Cell lo_{}, hi_{};               // the box of the cells in use
  std::vector<int> first_, last_;  // per cell: its first and last entry
  std::vector<int> next_;          // per entry: the next of its cell, -1 at the end
  std::vector<int> ids_;           // per entry: the point
  std::vector<Vec3> at_;           // per entry: its position
};

// A fixed set of points binned once into the cells of their bounding box,
// cell after cell along x, for many searches: a cell is found from its
// coordinates, without hashing, and the cells of a row along x are one range
// of points. near_sq() hands out the very points PointGrid::near_sq() would
// for the same reach, radius and query (in another order).
class PointCells {
 public:
  PointCells() = default;
  // The points get the ids given, or 0, 1, 2, ... in the order given.
  PointCells(float reach, std::span<const Vec3> points, std::span<const int> ids = {});
  template <class F>
  void near_sq(const Vec3& p, float radius, F&& f) const {
    if (ids_.empty()) return;
    const float r = std::min(radius, size_);
    const float far = r * r;
    auto visit = [&](int k) {
      const Vec3& q = at_[static_cast<std::size_t>(k)];
      const float dx2 = q[0] - p[0], dy2 = q[1] - p[1], dz2 = q[2] - p[2];
      const float d2 = dx2 * dx2 + dy2 * dy2 + dz2 * dz2;
      if (!(d2 > far)) f(ids_[static_cast<std::size_t>(k)], d2);
    };
    // Points that are not finite, or a query that is not, are not binned:
    // they are looked at every time, as the distance decides for them.
    for (int k = binned_, e = static_cast<int>(ids_.size()); k < e; ++k) visit(k);
    if (!(finite(p) && std::isfinite(r))) {
      for (int k = 0; k < binned_; ++k) visit(k);
      return;
    }
    // A negative radius passes the points within its size, as in PointGrid.
    const double ext = std::fabs(static_cast<double>(r)) + margin_;
    int a[3], b[3];
    for (std::size_t d = 0; d < 3; ++d) {
      a[d] = coord(static_cast<double>(p[d]) - ext, d);
      b[d] = coord(static_cast<double>(p[d]) + ext, d);
    }
    for (int iz = a[2]; iz <= b[2]; ++iz)
      for (int iy = a[1]; iy <= b[1]; ++iy)
        for (int k = first_[cell(a[0], iy, iz)], e = first_[cell(b[0], iy, iz) + 1]; k < e; ++k) visit(k);
  }

  // Every pair of binned points whose cells touch (the same cell or one of
  // the 26 around it), each pair once: f(id, position, id, position). Two
  // points within the reach are among them.
  template <class F>
  void each_close_pair(F&& f) const {
    auto scan = [&](int a, int from, int to) {
      const Vec3& xa = at_[static_cast<std::size_t>(a)];
      for (int b = from; b < to; ++b)
        f(ids_[static_cast<std::size_t>(a)], xa, ids_[static_cast<std::size_t>(b)], at_[static_cast<std::size_t>(b)]);
    };
    // Each pair of cells once: the rest of the point's own cell and the next
    // cell of its row, then the three cells below, beside and above x in
    // the next row along y and in the three rows of the next layer along z.
    const int nx = dim_[0], ny = dim_[1], nz = dim_[2];
    for (int iz = 0; iz < nz; ++iz)
      for (int iy = 0; iy < ny; ++iy)
        for (int ix = 0; ix < nx; ++ix) {
          const int x0 = std::max(ix - 1, 0), x1 = std::min(ix + 1, nx - 1);
          auto row = [&](int jy, int jz) { return std::pair{first_[cell(x0, jy, jz)], first_[cell(x1, jy, jz) + 1]}; };
          std::pair<int, int> rows[4];
          int nrows = 0;
          if (iy + 1 < ny) rows[nrows++] = row(iy + 1, iz);
          if (iz + 1 < nz)
            for (int jy = std::max(iy - 1, 0); jy <= std::min(iy + 1, ny - 1); ++jy) rows[nrows++] = row(jy, iz + 1);
          const int own_end = first_[cell(x1, iy, iz) + 1];
          for (int a = first_[cell(ix, iy, iz)], e = first_[cell(ix, iy, iz) + 1]; a < e; ++a) {
            scan(a, a + 1, own_end);
            for (int r = 0; r < nrows; ++r) scan(a, rows[r].first, rows[r].second);
          }
        }
  }

 private:
  // The index of the cell (ix, iy, iz), cells along x first.
  std::size_t cell(int ix, int iy, int iz) const {
    return (static_cast<std::size_t>(iz) * static_cast<std::size_t>(dim_[1]) + static_cast<std::size_t>(iy)) *
               static_cast<std::size_t>(dim_[0]) +
           static_cast<std::size_t>(ix);
  }
  // The cell along axis d of coordinate v, clamped to the box.
  int coord(double v, std::size_t d) const {
    const double c = (v - lo_[d]) / s_;
    if (!(c >= 0.0)) return 0;
    if (c >= dim_[d]) return dim_[d] - 1;
    return static_cast<int>(c);
  }

  float size_ = 0.01f;  // the reach as PointGrid widens it
  double lo_[3]{};
  double s_ = 1.0;
  double margin_ = 0.0;  // bound on the rounding of a coordinate
  int dim_[3]{1, 1, 1};
  int binned_ = 0;         // points in cells; the others follow them
  std::vector<int> first_;  // first point of each cell, one entry more at the end
  std::vector<int> ids_;    // per point, in cell order
  std::vector<Vec3> at_;    // per point: its position
};

}  // namespace vorn
