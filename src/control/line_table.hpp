// A per-atom table of fixed-width text lines that read blank until written.
// A run sizes its tables for the largest structure it accepts, but writes a
// line only for the atoms it has: an entry is made on first use, so set-up
// and tear-down cost nothing for the rest. Entries live in a deque, so a
// reference to one stays valid while later entries are made.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

namespace vorn {

class LineTable {
 public:
  // n entries, each width blanks.
  void assign(std::size_t n, std::size_t width) {
    lines_.clear();
    blank_.assign(width, ' ');
    size_ = n;
  }
  // New entries beyond the current size are blank.
  void resize(std::size_t n) {
    if (lines_.size() > n) lines_.resize(n);
    size_ = n;
  }
  std::size_t size() const { return size_; }

  std::string& operator[](std::size_t i) {
    while (lines_.size() <= i) lines_.push_back(blank_);
    return lines_[i];
  }
  const std::string& operator[](std::size_t i) const { return i < lines_.size() ? lines_[i] : blank_; }

 private:
  std::deque<std::string> lines_;  // entries 0..made-1; the rest are blank_
  std::string blank_;
  std::size_t size_ = 0;
};

}  // namespace vorn
