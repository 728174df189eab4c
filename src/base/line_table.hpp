// A per-atom table of fixed-width text lines that read blank until written.
// A run sizes its tables for the largest structure it accepts, but writes a
// line only for the atoms it has: an entry is made on first use, so set-up
// and tear-down cost nothing for the rest. Entries live in a deque, so a
// reference to one stays valid while later entries are made.
#pragma once

#include <algorithm>
#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

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

// A per-atom table of lines that are written whole and read back as text
// (the lines of an output file kept until the file is written): the lines
// lie one after another in one buffer, which grows as far as the highest
// entry written. Unwritten entries read blank.
class LineBlock {
 public:
  // n entries, each width blanks.
  void assign(std::size_t n, std::size_t width) {
    text_.clear();
    blank_.assign(width, ' ');
    made_ = 0;
    size_ = n;
  }
  // New entries beyond the current size are blank.
  void resize(std::size_t n) {
    if (made_ > n) {
      made_ = n;
      text_.resize(made_ * blank_.size());
    }
    size_ = n;
  }
  std::size_t size() const { return size_; }
  // Room for entries 0..n-1, so that writing them never moves the text.
  void reserve(std::size_t n) { text_.reserve(std::min(n, size_) * blank_.size()); }

  std::string_view operator[](std::size_t i) const {
    const std::size_t w = blank_.size();
    return i < made_ ? std::string_view(text_).substr(i * w, w) : std::string_view(blank_);
  }
  // Entry i becomes the text, blank-padded (or cut) to the table width.
  void set(std::size_t i, std::string_view text) {
    const std::size_t w = blank_.size();
    if (i >= made_) {
      made_ = i + 1;
      text_.resize(made_ * w, ' ');
    }
    const std::size_t m = std::min(text.size(), w);
    text.copy(text_.data() + i * w, m);
    std::fill_n(text_.data() + i * w + m, w - m, ' ');
  }

 private:
  std::string text_;    // entries 0..made-1, width characters each
  std::string blank_;   // the width in blanks
  std::size_t made_ = 0;
  std::size_t size_ = 0;
};

}  // namespace vorn
