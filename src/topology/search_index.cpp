#include "topology/search_index.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cmath>
#include "topology/cell_edge.hpp"
#include "topology/parts.hpp"

namespace vorn {

AtomGrid::AtomGrid(const Run& run, int n, double cell) : n_(n) {
  double hi[3]{};
  double maxabs = 0;
  for (int i = 1; i <= n; ++i) {
    const Vec3& x = run.atoms.xc[static_cast<std::size_t>(i)];
    for (int d = 0; d < 3; ++d) {
      const double v = x[static_cast<std::size_t>(d)];
      if (!std::isfinite(v)) return;
      if (i == 1 || v < lo_[d]) lo_[d] = v;
      if (i == 1 || v > hi[d]) hi[d] = v;
      maxabs = std::max(maxabs, std::fabs(v));
    }
  }
  // Float distances near the cell edges may differ slightly from the exact
  // ones; a margin keeps the visited cells a superset of what can pass.
  margin_ = 0.01 + 1e-5 * maxabs;
  s_ = fit_cell_edge(lo_, hi, std::max(cell, 0.5), 2.0 * n + 64.0, dim_);
  std::size_t total = 1;
  for (int d : dim_) total *= static_cast<std::size_t>(d);
  where_.assign(static_cast<std::size_t>(n) + 1, 0);
  at_.assign(static_cast<std::size_t>(n) + 1, Vec3{});
  twin_.assign(static_cast<std::size_t>(n) + 1, 0);
  for (int i = 1; i <= n; ++i) {
    const std::size_t c = cell_of(run.atoms.xc[static_cast<std::size_t>(i)]);
    where_[static_cast<std::size_t>(i)] = c;
    at_[static_cast<std::size_t>(i)] = run.atoms.xc[static_cast<std::size_t>(i)];
  }
  // Counting sort by cell keeps index order within each cell.
  first_.assign(total + 1, 0);
  for (int i = 1; i <= n; ++i) ++first_[where_[static_cast<std::size_t>(i)] + 1];
  for (std::size_t c = 0; c < total; ++c) first_[c + 1] += first_[c];
  slots_.assign(static_cast<std::size_t>(n), 0);
  {
    std::vector<int> fill(first_.begin(), first_.end() - 1);
    for (int i = 1; i <= n; ++i) slots_[static_cast<std::size_t>(fill[where_[static_cast<std::size_t>(i)]]++)] = i;
  }
  strays_.assign(total / static_cast<std::size_t>(dim_[0]), {});
  stray_.assign(static_cast<std::size_t>(n) + 1, 0);
  before_.assign(total / static_cast<std::size_t>(dim_[0]) * static_cast<std::size_t>(dim_[0] + 1), 0);
  for (int i = 1; i <= n; ++i) count_in_row(where_[static_cast<std::size_t>(i)], 1);
  valid_ = true;
  // An atom whose twin search stays within its own cell (most atoms: a
  // cell is far wider than 0.01 A) is compared with the atoms of that cell
  // only, as near_atoms() would do; the others ask the grid.
  const double reach = 0.01 + margin_;
  for (std::size_t c = 0; c < total; ++c)
    for (int k = first_[c]; k < first_[c + 1]; ++k) {
      const int i = slots_[static_cast<std::size_t>(k)];
      const Vec3& xi = run.atoms.xc[static_cast<std::size_t>(i)];
      bool inside = true;
      for (int d = 0; d < 3 && inside; ++d)
        inside = coord(xi[static_cast<std::size_t>(d)] - reach, d) == coord(xi[static_cast<std::size_t>(d)] + reach, d);
      if (!inside) {
        twin_[static_cast<std::size_t>(i)] = has_twin(run, i, near_);
        continue;
      }
      char twin = 0;
      for (int m = first_[c]; m < first_[c + 1] && twin == 0; ++m)
        if (m != k && dist(xi, run.atoms.xc[static_cast<std::size_t>(slots_[static_cast<std::size_t>(m)])]) < 0.01f) twin = 1;
      twin_[static_cast<std::size_t>(i)] = twin;
    }
}

// Whether another atom lies within 0.01 A of atom j.
char AtomGrid::has_twin(const Run& run, int j, std::vector<int>& around) const {
  const Vec3& xj = run.atoms.xc[static_cast<std::size_t>(j)];
  near_atoms(run, xj, 0.01, around);
  for (int k : around)
    if (k != j && dist(xj, run.atoms.xc[static_cast<std::size_t>(k)]) < 0.01f) return 1;
  return 0;
}

// Sets the twin flag of every atom near p from scratch.
void AtomGrid::mark_twins(const Run& run, const Vec3& p) {
  near_atoms(run, p, 0.02, near_);
  for (int j : near_) twin_[static_cast<std::size_t>(j)] = has_twin(run, j, around_);
}

namespace {

// A search this wide around p holds every atom within 0.01 A of any atom
// within 0.02 A of p, rounding included.
constexpr double kTwinsAround = 0.04;

}  // namespace

// mark_twins() for the atoms of near_atoms(p, kTwinsAround): the atoms
// within 0.02 A of p (all whose flag can depend on an atom at p) and their
// twins are all among them.
void AtomGrid::mark_twins_from(const Run& run, const Vec3& p, const std::vector<int>& near) {
  for (int j : near) {
    const Vec3& xj = run.atoms.xc[static_cast<std::size_t>(j)];
    if (!(dist(p, xj) <= 0.02f)) continue;
    char twin = 0;
    for (int k : near)
      if (k != j && dist(xj, run.atoms.xc[static_cast<std::size_t>(k)]) < 0.01f) {
        twin = 1;
        break;
      }
    twin_[static_cast<std::size_t>(j)] = twin;
  }
}

int AtomGrid::coord(double v, int d) const {
  // The floor of c, clamped to the grid: below 0 (or not a number) and from
  // dim on the clamp decides, and in between truncation is the floor.
  const double c = (v - lo_[d]) / s_;
  if (!(c >= 0)) return 0;
  if (c >= dim_[d]) return dim_[d] - 1;
  return static_cast<int>(c);
}

std::size_t AtomGrid::index(int ix, int iy, int iz) const {
  return (static_cast<std::size_t>(iz) * static_cast<std::size_t>(dim_[1]) + static_cast<std::size_t>(iy)) *
             static_cast<std::size_t>(dim_[0]) +
         static_cast<std::size_t>(ix);
}

std::size_t AtomGrid::row_of(int iy, int iz) const {
  return static_cast<std::size_t>(iz) * static_cast<std::size_t>(dim_[1]) + static_cast<std::size_t>(iy);
}

std::size_t AtomGrid::cell_of(const Vec3& x) const { return index(coord(x[0], 0), coord(x[1], 1), coord(x[2], 2)); }

namespace {

// Bounds spanning up to this many rows along y take the gaps of the rows
// from a table worked out once per bound.
constexpr int kGapCells = 64;

}  // namespace

void AtomGrid::near_atoms(const Run& run, const Vec3& p, double reach, std::vector<int>& out) const {
  out.clear();
  if (!valid_ || !(reach >= 0)) return;
  reach += margin_;
  int a[3], b[3];
  for (int d = 0; d < 3; ++d) {
    a[d] = coord(p[static_cast<std::size_t>(d)] - reach, d);
    b[d] = coord(p[static_cast<std::size_t>(d)] + reach, d);
  }
  // Clamping keeps the cell coordinate monotonic, so an atom beyond the
  // border (a hydrogen moved outward) is still met; the distance filter is
  // looser than any caller's own test.
  // A square below far squared with room for rounding keeps every atom whose
  // float distance is not beyond far, and spares the root.
  const auto far = static_cast<float>(reach);
  const double far2 = static_cast<double>(far) * far * (1 + 1e-5);
  auto beyond = [&](const Vec3& x) {
    const float dx = p[0] - x[0], dy = p[1] - x[1], dz = p[2] - x[2];
    return static_cast<double>(dx * dx + dy * dy + dz * dz) > far2;
  };
  const int* slots = slots_.data();
  const int* first = first_.data();
  const Vec3* xc = run.atoms.xc.data();
  // The atoms of cells x0..x1 of one row are one range of slots; atoms that
  // came into the row later are its strays, and the distance filter sorts
  // out those of other cells.
  auto take_row = [&](int x0, int x1, int iy, int iz) {
    for (int k = first[index(x0, iy, iz)], e = first[index(x1, iy, iz) + 1]; k < e; ++k) {
      const int j = slots[k];
      if (j != 0 && !beyond(xc[j])) out.push_back(j);
    }
    const std::vector<int>& strays = strays_[row_of(iy, iz)];
    if (!strays.empty())
      for (int j : strays)
        if (!beyond(xc[j])) out.push_back(j);
  };
  // A reach within one cell (the same-site tests) needs no gaps.
  if (a[0] == b[0] && a[1] == b[1] && a[2] == b[2]) {
    take_row(a[0], a[0], a[1], a[2]);
    return;
  }
  // Squared distance from p to the nearest point of each cell slab along
  // each axis; the border cells reach out to infinity (clamped atoms live
  // there). The edges are summed up cell by cell: their rounding is far
  // below the room left for it in the limit below.
  std::vector<double>& gaps = gaps_;
  const std::size_t span = static_cast<std::size_t>(b[0] - a[0] + 1) + static_cast<std::size_t>(b[1] - a[1] + 1) +
                           static_cast<std::size_t>(b[2] - a[2] + 1);
  if (gaps.size() < span) gaps.resize(span);
  double* g = gaps.data();
  for (int d = 0; d < 3; ++d) {
    const double v = p[static_cast<std::size_t>(d)];
    double edge = lo_[d] + a[d] * s_;
    for (int c = a[d]; c <= b[d]; ++c) {
      const double lo = c == 0 ? -HUGE_VAL : edge;
      edge += s_;
      const double hi = c == dim_[d] - 1 ? HUGE_VAL : edge;
      const double gap = v < lo ? lo - v : (v > hi ? v - hi : 0.0);
      *g++ = gap * gap;
    }
  }
  const double* gx = gaps.data();
  const double* gy = gx + (b[0] - a[0] + 1);
  const double* gz = gy + (b[1] - a[1] + 1);
  // Cells wholly beyond reach (with room for rounding) are passed over.
  const double limit = (reach + 0.01) * (reach + 0.01);
  for (int iz = a[2]; iz <= b[2]; ++iz) {
    for (int iy = a[1]; iy <= b[1]; ++iy) {
      const double gyz = gy[iy - a[1]] + gz[iz - a[2]];
      if (gyz > limit) continue;
      int x0 = a[0], x1 = b[0];
      while (x0 < x1 && gx[x0 - a[0]] + gyz > limit) ++x0;
      while (x1 > x0 && gx[x1 - a[0]] + gyz > limit) --x1;
      if (gx[x0 - a[0]] + gyz > limit) continue;
      take_row(x0, x1, iy, iz);
    }
  }
}

void AtomGrid::candidates(const Run& run, const Vec3& p, double reach, std::vector<int>& out) const {
  near_atoms(run, p, reach, out);
  // Index order: a sort for the few atoms of a bond search, a bit map for
  // the hundreds of a wide radius search.
  if (out.size() < 64) {
    std::sort(out.begin(), out.end());
    return;
  }
  std::vector<std::uint64_t>& bits = bits_;
  bits.assign(static_cast<std::size_t>(n_) / 64 + 1, 0);
  for (int j : out) bits[static_cast<std::size_t>(j) >> 6] |= std::uint64_t{1} << (j & 63);
  out.clear();
  for (std::size_t w = 0; w < bits.size(); ++w)
    for (std::uint64_t v = bits[w]; v != 0; v &= v - 1)
      out.push_back(static_cast<int>(w * 64 + static_cast<std::size_t>(std::countr_zero(v))));
}

void AtomGrid::count_in_row(std::size_t cell, int delta) {
  ++counts_changed_;
  const auto nx = static_cast<std::size_t>(dim_[0]);
  const std::size_t row = cell / nx;
  int* b = before_.data() + row * (nx + 1);
  for (std::size_t x = cell % nx + 1; x <= nx; ++x) b[x] += delta;
}

std::size_t AtomGrid::count_bound(const Vec3& p, double reach) const {
  if (!valid_ || !(reach >= 0)) return 0;
  // Hydrogens on one atom ask for the same bound one after the other.
  if (bound_.p == p && bound_.reach == reach && bound_.counts == counts_changed_) return bound_.total;
  bound_.p = p;
  bound_.reach = reach;
  bound_.counts = counts_changed_;
  reach += margin_;
  // The cells of each row that candidates() visits lie within half a chord
  // of the sphere of its limit around p along x (widened a little, so that
  // rounding can only add cells); the border cells reach out to infinity.
  const double limit = (reach + 0.01) * (reach + 0.01);
  auto gap = [&](int c, int d) {
    const double v = p[static_cast<std::size_t>(d)];
    const double lo = c == 0 ? -HUGE_VAL : lo_[d] + c * s_;
    const double hi = c == dim_[d] - 1 ? HUGE_VAL : lo_[d] + (c + 1) * s_;
    const double g = v < lo ? lo - v : (v > hi ? v - hi : 0.0);
    return g * g;
  };
  const int y0 = coord(p[1] - reach, 1);
  const int y1 = coord(p[1] + reach, 1);
  double gy[kGapCells];
  const bool tabled = y1 - y0 < kGapCells;
  if (tabled)
    for (int iy = y0; iy <= y1; ++iy) gy[iy - y0] = gap(iy, 1);
  const auto nx = static_cast<std::size_t>(dim_[0]);
  std::size_t total = 0;
  for (int iz = coord(p[2] - reach, 2), z1 = coord(p[2] + reach, 2); iz <= z1; ++iz) {
    const double gz = gap(iz, 2);
    for (int iy = y0; iy <= y1; ++iy) {
      const double rest = limit - (tabled ? gy[iy - y0] : gap(iy, 1)) - gz;
      if (rest < -1e-9 * limit) continue;
      const double half = std::sqrt(std::max(rest, 0.0)) * (1 + 1e-9) + 1e-9;
      const int x0 = coord(p[0] - std::min(half, reach), 0);
      const int x1 = coord(p[0] + std::min(half, reach), 0);
      const int* b = before_.data() + row_of(iy, iz) * (nx + 1);
      total += static_cast<std::size_t>(b[x1 + 1] - b[x0]);
    }
  }
  bound_.total = total;
  return total;
}

bool AtomGrid::at_most(const Vec3& p, double reach, std::size_t limit) const {
  if (!valid_ || !(reach >= 0)) return true;
  const double r = reach + margin_;
  const int x0 = coord(p[0] - r, 0), x1 = coord(p[0] + r, 0);
  const int y0 = coord(p[1] - r, 1), y1 = coord(p[1] + r, 1);
  const int z0 = coord(p[2] - r, 2), z1 = coord(p[2] + r, 2);
  // The hydrogens of one atom, and atoms close together, ask about the same
  // box one after the other.
  const std::array<int, 6> range{x0, x1, y0, y1, z0, z1};
  if (box_.range != range || box_.counts != counts_changed_) {
    const auto nx = static_cast<std::size_t>(dim_[0]);
    std::size_t box = 0;
    for (int iz = z0; iz <= z1; ++iz)
      for (int iy = y0; iy <= y1; ++iy) {
        const int* b = before_.data() + row_of(iy, iz) * (nx + 1);
        box += static_cast<std::size_t>(b[x1 + 1] - b[x0]);
      }
    box_ = {range, counts_changed_, box};
  }
  return box_.atoms <= limit || count_bound(p, reach) <= limit;
}

void AtomGrid::moved(const Run& run, int atom, double reach, std::vector<int>& near) {
  near.clear();
  if (!valid_ || atom < 1 || atom > n_) return;
  const auto ua = static_cast<std::size_t>(atom);
  const Vec3& x = run.atoms.xc[ua];
  if (!finite(x)) {
    // A position the grid cannot place: searches scan the table again.
    valid_ = false;
    return;
  }
  const Vec3 old = at_[ua];
  const std::size_t c = cell_of(x);
  if (c != where_[ua]) {
    const auto nx = static_cast<std::size_t>(dim_[0]);
    if (stray_[ua] != 0) {
      auto& from = strays_[where_[ua] / nx];
      from.erase(std::find(from.begin(), from.end(), atom));
    } else {
      const std::size_t home = where_[ua];
      *std::find(slots_.begin() + first_[home], slots_.begin() + first_[home + 1], atom) = 0;
      stray_[ua] = 1;
    }
    strays_[c / nx].push_back(atom);
    count_in_row(where_[ua], -1);
    count_in_row(c, 1);
    where_[ua] = c;
  }
  at_[ua] = x;
  // The atoms it left (only when one of them shared its site: the flags of
  // the others never depended on it) and the atoms it joined.
  if (twin_[ua] != 0) mark_twins(run, old);
  near_atoms(run, x, std::max(reach, kTwinsAround), near);
  mark_twins_from(run, x, near);
}

void build_search_index(Run& run, float rbig) {
  // Cells twice the widest bond: a bond search then spans two cells along
  // each axis, and fewer, fuller rows cost less than many empty ones.
  const double cell = 2.0 * (2.0 * rbig + run.ctl.tol1);
  auto idx = std::make_shared<SearchIndex>(
      SearchIndex{AtomGrid(run, run.cryst.ncryst, cell), take_bonds(run), {}, run.rings.nor, rbig, {}, {}, {}, {}, {}, {}, {}, false});
  idx->rings_of.assign(static_cast<std::size_t>(run.cryst.ncryst) + 1, {});
  idx->touched.assign(static_cast<std::size_t>(run.cryst.ncryst) + 1, 0);
  idx->parts = has_parts(run, run.cryst.ncryst);
  for (int q = 1; q <= run.rings.nor && static_cast<std::size_t>(q) < run.rings.ring.size(); ++q)
    for (int m : run.rings.ring[static_cast<std::size_t>(q)].members)
      if (m >= 1 && m <= run.cryst.ncryst) {
        auto& list = idx->rings_of[static_cast<std::size_t>(m)];
        if (list.empty() || list.back() != q) list.push_back(q);
      }
  run.index = std::move(idx);
  // The kappa signatures kept so far describe the atoms of the old index.
  run.kappa_index.reset();
}

SearchIndex* search_index(Run& run) {
  SearchIndex* s = run.index.get();
  if (s == nullptr || !s->grid.valid() || s->grid.count() != run.cryst.ncryst || s->nor != run.rings.nor) return nullptr;
  return s;
}

namespace {

// The partners of a moved atom found anew, and the atom put into or taken
// out of the lists of the atoms it came to or left: a pair is bonded alike
// seen from either atom.
// With disorder parts the lists need not agree both ways: each atom near
// the moved one (or listed by it before) is asked whether it sees it now.
void rebond_parts(const Run& run, SearchIndex& idx, int atom) {
  const float tol = run.ctl.tol1;
  const float ra = bond_radius(run, atom);
  const Vec3& xa = run.atoms.xc[static_cast<std::size_t>(atom)];
  auto bonded_to = [&](int j) {
    return j != atom && ra >= 0.0f && bonded(dist(xa, run.atoms.xc[static_cast<std::size_t>(j)]), ra, bond_radius(run, j), tol);
  };
  std::vector<int>& all = idx.moved_new;
  all.clear();
  for (int j : idx.moved_near)
    if (bonded_to(j)) all.push_back(j);
  std::sort(all.begin(), all.end());
  const Alternative mine = chosen_alternative(run, atom, all);
  std::vector<int> now;
  for (int j : all)
    if (takes_neighbor(run, atom, mine, j)) now.push_back(j);
  const auto own = idx.bonds[static_cast<std::size_t>(atom)];
  const std::vector<int> listed(own.begin(), own.end());  // the table's storage moves as lists grow
  std::vector<int>& around = idx.moved_old;
  around.assign(listed.begin(), listed.end());
  around.insert(around.end(), idx.moved_near.begin(), idx.moved_near.end());
  std::sort(around.begin(), around.end());
  around.erase(std::unique(around.begin(), around.end()), around.end());
  idx.touched[static_cast<std::size_t>(atom)] = 1;
  for (int j : around) {
    if (j == atom) continue;
    const auto theirs = idx.bonds[static_cast<std::size_t>(j)];
    const bool has = std::binary_search(theirs.begin(), theirs.end(), atom);
    const bool want = bonded_to(j) && takes_neighbor(run, j, chosen_alternative(run, j, theirs), atom);
    if (has != want || std::binary_search(listed.begin(), listed.end(), j) || std::binary_search(now.begin(), now.end(), j))
      idx.touched[static_cast<std::size_t>(j)] = 1;
    if (has && !want) idx.bonds.erase(j, atom);
    if (want && !has) idx.bonds.insert(j, atom);
  }
  idx.bonds.replace(atom, now);
}

void rebond(const Run& run, SearchIndex& idx, int atom) {
  if (idx.parts) {
    rebond_parts(run, idx, atom);
    return;
  }
  const float tol = run.ctl.tol1;
  const float ra = bond_radius(run, atom);
  const Vec3& xa = run.atoms.xc[static_cast<std::size_t>(atom)];
  std::vector<int>& now = idx.moved_new;
  now.clear();
  if (ra >= 0.0f) {
    // The grid's list around the new position holds the candidates.
    for (int j : idx.moved_near)
      if (j != atom && bonded(dist(xa, run.atoms.xc[static_cast<std::size_t>(j)]), ra, bond_radius(run, j), tol))
        now.push_back(j);
    std::sort(now.begin(), now.end());
  }
  const auto listed = idx.bonds[static_cast<std::size_t>(atom)];
  std::vector<int>& old = idx.moved_old;
  old.assign(listed.begin(), listed.end());
  // The atom and every partner it had or has now see it elsewhere.
  idx.touched[static_cast<std::size_t>(atom)] = 1;
  for (int j : old) idx.touched[static_cast<std::size_t>(j)] = 1;
  for (int j : now) idx.touched[static_cast<std::size_t>(j)] = 1;
  std::size_t k = 0, m = 0;
  while (k < old.size() || m < now.size()) {
    if (m == now.size() || (k < old.size() && old[k] < now[m])) {
      idx.bonds.erase(old[k++], atom);
    } else if (k == old.size() || now[m] < old[k]) {
      idx.bonds.insert(now[m++], atom);
    } else {
      ++k;
      ++m;
    }
  }
  idx.bonds.replace(atom, now);
}

}  // namespace

const NeighborRec* unchanged_bonds(Run& run, int atom) {
  const SearchIndex* idx = run.plain_scans ? nullptr : search_index(run);
  const auto a = static_cast<std::size_t>(atom);
  if (idx == nullptr || atom < 1 || a >= idx->touched.size() || idx->touched[a] != 0 || a >= run.neighbors.size())
    return nullptr;
  return &run.neighbors[a];
}

void atom_moved(Run& run, int atom) {
  if (!run.index || atom < 1 || static_cast<std::size_t>(atom) >= run.atoms.xc.size()) return;
  SearchIndex& idx = *run.index;
  const float ra = bond_radius(run, atom);
  idx.grid.moved(run, atom, ra < 0.0f ? 0.0 : static_cast<double>(ra) + idx.rbig + run.ctl.tol1, idx.moved_near);
  // An index that no longer stands for the table is never asked again.
  if (idx.grid.valid() && atom <= idx.grid.count() && static_cast<std::size_t>(atom) < idx.bonds.size())
    rebond(run, idx, atom);
}

}  // namespace vorn
