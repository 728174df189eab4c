#include "topology/bonds.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "control/elements.hpp"
#include "control/error.hpp"
#include "control/text.hpp"

namespace vorn {

float bond_radius(const Run& run, int i) {
  const int z = run.atoms.iz[static_cast<std::size_t>(i)];
  if (z < 1 || z > NCOVRAD) return -1.0f;
  return run.covrad[static_cast<std::size_t>(z)];
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

}  // namespace vorn
