// The first atom with each label, for the axis atoms named by label.
//
// Labels are 8 characters wide, so a label is its own 8-byte key: an
// open-addressed table of those keys answers without building a string or
// hashing one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorn {

class LabelIndex {
 public:
  // Atoms 1..n of labels; the first atom of each label is kept. A label that
  // is not 8 characters long is left out: no 8-character label names it.
  void build(const std::vector<std::string>& labels, int n);
  void clear() {
    slots_.clear();
    mask_ = 0;
  }
  // The first atom with this 8-character label, 0 when none.
  int find(std::string_view label) const;

 private:
  struct Slot {
    std::uint64_t key = 0;
    int atom = 0;  // 0: empty
  };
  static std::uint64_t key_of(std::string_view label);
  std::size_t home(std::uint64_t key) const {
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & mask_;
  }
  std::vector<Slot> slots_;
  std::size_t mask_ = 0;
};

}  // namespace vorn
