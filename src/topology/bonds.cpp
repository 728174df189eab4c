#include "topology/bonds.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <utility>

#include "base/elements.hpp"
#include "base/error.hpp"
#include "base/short_sort.hpp"
#include "base/text.hpp"
#include "topology/cell_edge.hpp"
#include "topology/parts.hpp"

namespace vorn {

float bond_radius(const Run& run, int i) {
  const int z = run.atoms.iz[static_cast<std::size_t>(i)];
  if (z < 1 || z > NCOVRAD) return -1.0f;
  return run.covrad[static_cast<std::size_t>(z)];
}

void BondTable::regrow(Span& s, int need) {
  const int room = std::max(need, 2 * s.room) + 2;
  const auto start = static_cast<int>(flat_.size());
  flat_.resize(flat_.size() + static_cast<std::size_t>(room));
  std::copy_n(flat_.begin() + s.start, s.size, flat_.begin() + start);
  s.start = start;
  s.room = room;
}

void BondTable::replace(int atom, std::span<const int> list) {
  Span& s = spans_[static_cast<std::size_t>(atom)];
  const auto n = static_cast<int>(list.size());
  if (n > s.room) regrow(s, n);
  std::copy(list.begin(), list.end(), flat_.begin() + s.start);
  s.size = n;
}

void BondTable::insert(int atom, int partner) {
  Span& s = spans_[static_cast<std::size_t>(atom)];
  if (s.size == s.room) regrow(s, s.size + 1);
  const auto begin = flat_.begin() + s.start, end = begin + s.size;
  const auto at = std::upper_bound(begin, end, partner);
  std::copy_backward(at, end, end + 1);
  *at = partner;
  ++s.size;
}

void BondTable::erase(int atom, int partner) {
  Span& s = spans_[static_cast<std::size_t>(atom)];
  auto begin = flat_.begin() + s.start, end = begin + s.size;
  auto it = std::lower_bound(begin, end, partner);
  if (it == end || *it != partner) return;
  std::copy(it + 1, end, it);
  --s.size;
}

BondTable bond_partners(const Run& run) {
  const int n = run.cryst.ncryst;
  const float tol = run.ctl.tol1;
  std::vector<float> rad(static_cast<std::size_t>(n) + 1, 0.0f);
  float rmax = 0.0f;
  for (int i = 1; i <= n; ++i) {
    rad[static_cast<std::size_t>(i)] = bond_radius(run, i);
    rmax = std::max(rmax, rad[static_cast<std::size_t>(i)]);
  }
  // The longest bond any two atoms can form.
  const float longest = rmax + rmax + tol;
  // The atoms that can bond: a radius and a finite position. Atoms at an
  // infinite position can still pass a bond test of infinite length; such
  // tests, and any atom whose position is not finite, go to a plain scan.
  std::vector<int> binned, loose;
  std::vector<Vec3> binned_at;
  for (int i = 1; i <= n; ++i) {
    const auto ii = static_cast<std::size_t>(i);
    if (rad[ii] < 0.0f) continue;
    const Vec3& x = run.atoms.xc[ii];
    if (!finite(x) || !std::isfinite(longest)) {
      loose.push_back(i);
      continue;
    }
    binned_at.push_back(x);
    binned.push_back(i);
  }

  // Bonded pairs, each once; a pair is bonded alike seen from either atom
  // (the distance and the sum of the radii do not depend on the order).
  std::vector<std::pair<int, int>> pairs;
  auto test = [&](int i, int j) {
    const auto ii = static_cast<std::size_t>(i), jj = static_cast<std::size_t>(j);
    if (bonded(dist(run.atoms.xc[ii], run.atoms.xc[jj]), rad[ii], rad[jj], tol)) pairs.emplace_back(i, j);
  };
  for (std::size_t k = 0; k < loose.size(); ++k) {
    for (int j : binned) test(loose[k], j);
    for (std::size_t m = k + 1; m < loose.size(); ++m) test(loose[k], loose[m]);
  }
  if (!binned.empty() && longest >= 0.0f) {
    // A candidate farther than the longest bond (with room for rounding)
    // is passed over on its squared distance.
    const double far2 = static_cast<double>(longest) * longest * (1.0 + 1.0e-4) + 1.0e-6;
    PointCells(longest, binned_at, binned).each_close_pair([&](int i, const Vec3& xi, int j, const Vec3& xj) {
      const float dx = xi[0] - xj[0], dy = xi[1] - xj[1], dz = xi[2] - xj[2];
      if (static_cast<double>(dx * dx + dy * dy + dz * dz) > far2) return;
      if (bonded(dist(xi, xj), rad[static_cast<std::size_t>(i)], rad[static_cast<std::size_t>(j)], tol))
        pairs.emplace_back(i, j);
    });
  }

  // Disorder: each direction of a pair is kept when the parts allow it
  // (an atom of part 0 sees one alternative, chosen among all it bonds to).
  std::vector<std::pair<int, int>> directed;
  const bool parts = has_parts(run, n);
  if (parts) {
    std::vector<std::vector<int>> by_distance(static_cast<std::size_t>(n) + 1);
    for (const auto& [i, j] : pairs) {
      by_distance[static_cast<std::size_t>(i)].push_back(j);
      by_distance[static_cast<std::size_t>(j)].push_back(i);
    }
    std::vector<Alternative> chosen(static_cast<std::size_t>(n) + 1);
    for (int i = 1; i <= n; ++i) {
      auto& list = by_distance[static_cast<std::size_t>(i)];
      sort_short(list.data(), list.data() + list.size());
      chosen[static_cast<std::size_t>(i)] = chosen_alternative(run, i, list);
    }
    for (const auto& [i, j] : pairs) {
      if (takes_neighbor(run, i, chosen[static_cast<std::size_t>(i)], j)) directed.emplace_back(i, j);
      if (takes_neighbor(run, j, chosen[static_cast<std::size_t>(j)], i)) directed.emplace_back(j, i);
    }
  }

  // Both directions of every pair (with parts: the directions kept), each
  // list in index order.
  BondTable t;
  t.spans_.resize(static_cast<std::size_t>(n) + 1);
  if (parts) {
    for (const auto& [i, j] : directed) ++t.spans_[static_cast<std::size_t>(i)].size;
  } else {
    for (const auto& [i, j] : pairs) {
      ++t.spans_[static_cast<std::size_t>(i)].size;
      ++t.spans_[static_cast<std::size_t>(j)].size;
    }
  }
  int start = 0;
  for (auto& sp : t.spans_) {
    sp.start = start;
    sp.room = sp.size;
    start += sp.size;
    sp.size = 0;
  }
  t.flat_.resize(static_cast<std::size_t>(start));
  if (parts) {
    for (const auto& [i, j] : directed) {
      BondTable::Span& a = t.spans_[static_cast<std::size_t>(i)];
      t.flat_[static_cast<std::size_t>(a.start + a.size++)] = j;
    }
  } else {
    for (const auto& [i, j] : pairs) {
      BondTable::Span& a = t.spans_[static_cast<std::size_t>(i)];
      t.flat_[static_cast<std::size_t>(a.start + a.size++)] = j;
      BondTable::Span& b = t.spans_[static_cast<std::size_t>(j)];
      t.flat_[static_cast<std::size_t>(b.start + b.size++)] = i;
    }
  }
  for (const auto& sp : t.spans_) sort_short(t.flat_.data() + sp.start, t.flat_.data() + sp.start + sp.size);
  return t;
}

namespace {

void describe_atoms(const Run& run, FoundBonds& f) {
  const auto n = static_cast<std::size_t>(std::max(run.cryst.ncryst, 0));
  f.tol = run.ctl.tol1;
  f.radius.resize(n);
  for (std::size_t i = 0; i < n; ++i) f.radius[i] = bond_radius(run, static_cast<int>(i) + 1);
  f.at.assign(run.atoms.xc.begin() + 1, run.atoms.xc.begin() + 1 + static_cast<std::ptrdiff_t>(n));
}

}  // namespace

const BondTable& keep_bonds(Run& run) {
  auto f = std::make_shared<FoundBonds>();
  f->table = bond_partners(run);
  describe_atoms(run, *f);
  run.bonds = f;
  return f->table;
}

BondTable take_bonds(Run& run) {
  std::shared_ptr<FoundBonds> f = std::move(run.bonds);
  run.bonds.reset();
  if (f && f->table.size() == static_cast<std::size_t>(run.cryst.ncryst) + 1) {
    FoundBonds now;
    describe_atoms(run, now);
    // Bit for bit: the table was found from these very values.
    auto same = [](const auto& a, const auto& b) {
      return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(a[0])) == 0;
    };
    if (std::memcmp(&now.tol, &f->tol, sizeof(float)) == 0 && same(now.radius, f->radius) && same(now.at, f->at))
      return std::move(f->table);
  }
  return bond_partners(run);
}

namespace {
// Cell indices are clamped so that absurd coordinates still hash; clamping
// keeps neighbouring cells neighbours, so no candidate is lost.
constexpr std::int64_t kClamp = (std::int64_t{1} << 20) - 2;
}  // namespace

PointGrid::PointGrid(float reach) {
  // A little wider than asked, so that rounding in the division below never
  // puts two points within reach more than one cell apart.
  size_ = std::max(reach, 0.0f) * 1.01f + 0.01f;
  table_.assign(std::size_t{1} << (64 - shift_), Slot{});
}

PointGrid::Cell PointGrid::cell_of(const Vec3& p) const {
  auto idx = [&](float v) {
    double c = std::floor(static_cast<double>(v) / static_cast<double>(size_));
    if (!(c > -static_cast<double>(kClamp))) return -kClamp;  // also NaN
    if (c > static_cast<double>(kClamp)) return kClamp;
    return static_cast<std::int64_t>(c);
  };
  return {idx(p[0]), idx(p[1]), idx(p[2])};
}

void PointGrid::add(int id, const Vec3& p) {
  const Cell c = cell_of(p);
  const std::uint64_t k = key(c.x, c.y, c.z);
  if (used_ == 0) {
    lo_ = c;
    hi_ = c;
  } else {
    lo_ = {std::min(lo_.x, c.x), std::min(lo_.y, c.y), std::min(lo_.z, c.z)};
    hi_ = {std::max(hi_.x, c.x), std::max(hi_.y, c.y), std::max(hi_.z, c.z)};
  }
  const auto e = static_cast<int>(ids_.size());
  ids_.push_back(id);
  at_.push_back(p);
  next_.push_back(-1);
  int cell = find(k);
  if (cell < 0) {
    if (2 * (used_ + 1) > table_.size()) grow();
    std::size_t s = slot_of(k);
    while (table_[s].cell >= 0) s = (s + 1) & (table_.size() - 1);
    cell = static_cast<int>(used_++);
    table_[s] = Slot{k, cell};
    first_.push_back(e);
    last_.push_back(e);
    return;
  }
  next_[static_cast<std::size_t>(last_[static_cast<std::size_t>(cell)])] = e;
  last_[static_cast<std::size_t>(cell)] = e;
}

void PointGrid::grow() {
  std::vector<Slot> old = std::move(table_);
  --shift_;
  table_.assign(old.size() * 2, Slot{});
  for (const Slot& slot : old) {
    if (slot.cell < 0) continue;
    std::size_t s = slot_of(slot.key);
    while (table_[s].cell >= 0) s = (s + 1) & (table_.size() - 1);
    table_[s] = slot;
  }
}

PointCells::PointCells(float reach, std::span<const Vec3> points, std::span<const int> ids) {
  size_ = std::max(reach, 0.0f) * 1.01f + 0.01f;
  double hi[3]{};
  double maxabs = 0.0;
  bool any = false;
  for (const Vec3& x : points) {
    if (!finite(x)) continue;
    for (std::size_t d = 0; d < 3; ++d) {
      if (!any || x[d] < lo_[d]) lo_[d] = x[d];
      if (!any || x[d] > hi[d]) hi[d] = x[d];
      maxabs = std::max(maxabs, std::fabs(static_cast<double>(x[d])));
    }
    any = true;
  }
  // A point whose float distance is within the radius lies within the
  // radius and the margin along each axis.
  margin_ = 0.01 + 1.0e-5 * maxabs;
  s_ = fit_cell_edge(lo_, hi, std::max(static_cast<double>(size_), 0.01), 2.0 * static_cast<double>(points.size()) + 64.0,
                     dim_);
  std::size_t total = 1;
  for (int d : dim_) total *= static_cast<std::size_t>(d);
  std::vector<std::size_t> where(points.size(), total);  // total: not binned
  first_.assign(total + 2, 0);
  for (std::size_t k = 0; k < points.size(); ++k) {
    const Vec3& x = points[k];
    if (finite(x))
      where[k] = (static_cast<std::size_t>(coord(x[2], 2)) * static_cast<std::size_t>(dim_[1]) +
                  static_cast<std::size_t>(coord(x[1], 1))) * static_cast<std::size_t>(dim_[0]) +
                 static_cast<std::size_t>(coord(x[0], 0));
    ++first_[where[k] + 1];
  }
  for (std::size_t c = 0; c <= total; ++c) first_[c + 1] += first_[c];
  binned_ = first_[total];
  ids_.resize(points.size());
  at_.resize(points.size());
  std::vector<int> fill(first_.begin(), first_.end() - 1);
  for (std::size_t k = 0; k < points.size(); ++k) {
    const auto slot = static_cast<std::size_t>(fill[where[k]]++);
    ids_[slot] = ids.empty() ? static_cast<int>(k) : ids[k];
    at_[slot] = points[k];
  }
  first_.pop_back();
}

}  // namespace vorn
