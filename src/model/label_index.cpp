#include "model/label_index.hpp"

#include <algorithm>
#include <cstring>

namespace vorn {

std::uint64_t LabelIndex::key_of(std::string_view label) {
  std::uint64_t k = 0;
  std::memcpy(&k, label.data(), 8);
  return k;
}

void LabelIndex::build(const std::vector<std::string>& labels, int n) {
  const std::size_t count = static_cast<std::size_t>(std::max(n, 0));
  std::size_t size = 16;
  while (4 * size < 5 * count) size *= 2;  // at most 80% full
  slots_.assign(size, Slot{});
  mask_ = size - 1;
  for (std::size_t a = 1; a <= count && a < labels.size(); ++a) {
    if (labels[a].size() != 8) continue;
    const std::uint64_t key = key_of(labels[a]);
    std::size_t s = home(key);
    while (slots_[s].atom != 0 && slots_[s].key != key) s = (s + 1) & mask_;
    if (slots_[s].atom == 0) slots_[s] = Slot{key, static_cast<int>(a)};
  }
}

int LabelIndex::find(std::string_view label) const {
  if (label.size() != 8 || slots_.empty()) return 0;
  const std::uint64_t key = key_of(label);
  for (std::size_t s = home(key); slots_[s].atom != 0; s = (s + 1) & mask_)
    if (slots_[s].key == key) return slots_[s].atom;
  return 0;
}

}  // namespace vorn
