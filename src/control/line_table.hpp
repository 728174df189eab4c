// A per-atom table of fixed-width text lines that read blank until written.
// A run sizes its tables for the largest structure it accepts, but writes a
// line only for the atoms it has: an entry is made on first use, so set-up
// and tear-down cost nothing for the rest. The entries before it that were
// never written stay unmade (an empty string, no storage) and still read
// blank. Entries live in a deque, so a reference to one stays valid while
// later entries are made.
#pragma once

#include <algorithm>
#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace vorn {

class LineTable {
 public:
  // n entries, each width blanks.
  void assign(std::size_t n, std::size_t width) {
    lines_.clear();
    made_.clear();
    blank_.assign(width, ' ');
    size_ = n;
  }
  // New entries beyond the current size are blank.
  void resize(std::size_t n) {
    if (lines_.size() > n) {
      lines_.resize(n);
      made_.resize(n);
    }
    size_ = n;
  }
  std::size_t size() const { return size_; }

  std::string& operator[](std::size_t i) {
    if (i < made_.size() && made_[i] != 0) [[likely]]
      return lines_[i];
    std::string& s = slot(i);
    s = blank_;
    made_[i] = 1;
    return s;
  }
  const std::string& operator[](std::size_t i) const {
    return i < made_.size() && made_[i] != 0 ? lines_[i] : blank_;
  }
  // Entry i becomes the text, blank-padded (or cut) to the table width.
  void set(std::size_t i, std::string_view text) {
    std::string& s = i < made_.size() ? lines_[i] : slot(i);
    const std::size_t w = blank_.size(), m = std::min(text.size(), w);
    s.resize(w);  // one allocation for a new entry
    text.copy(s.data(), m);
    std::fill(s.begin() + static_cast<std::ptrdiff_t>(m), s.end(), ' ');
    made_[i] = 1;
  }

 private:
  // Entry i, made empty (with the entries before it) when there is none.
  std::string& slot(std::size_t i) {
    while (lines_.size() <= i) {
      lines_.emplace_back();
      made_.push_back(0);
    }
    return lines_[i];
  }
  std::deque<std::string> lines_;  // entries 0..size-1 of the deque; unmade ones are empty
  std::vector<char> made_;         // per deque entry: written (else it reads blank_)
  std::string blank_;
  std::size_t size_ = 0;
};

}  // namespace vorn
