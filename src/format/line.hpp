// An output line under construction, for the field writers and the
// formatting engine.
//
// A run writes about ten million fields. Each is written straight into the
// line at its final place: no temporary text, no allocation. A line starts
// in room it is given (the free part of a stream's or a block's buffer) or
// in its own, and moves to the heap only when it outgrows that.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace ff::detail {

// Copies n bytes. Nearly every field and text is short: two overlapping
// moves of a fixed size each, instead of a call of the library's copy.
inline void copy_text(char* dst, const char* src, std::size_t n) {
  if (n > 16) {
    std::memcpy(dst, src, n);
  } else if (n >= 8) {
    std::memcpy(dst, src, 8);
    std::memcpy(dst + n - 8, src + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(dst, src, 4);
    std::memcpy(dst + n - 4, src + n - 4, 4);
  } else if (n > 0) {
    dst[0] = src[0];
    dst[n / 2] = src[n / 2];
    dst[n - 1] = src[n - 1];
  }
}

class Line {
 public:
  // Room a writer may use past what it commits: short runs of blanks are
  // written as a block of this size.
  static constexpr std::size_t kSlack = 32;

  Line() = default;
  Line(char* room, std::size_t cap) : p_(room), cur_(room), end_(room + cap) {}
  Line(const Line&) = delete;
  Line& operator=(const Line&) = delete;

  std::size_t size() const { return static_cast<std::size_t>(cur_ - p_); }
  char back() const { return cur_[-1]; }
  // Room for k more characters and kSlack beyond; the caller writes them
  // and calls commit.
  char* room(std::size_t k) {
    if (k + kSlack > static_cast<std::size_t>(end_ - cur_)) [[unlikely]]
      grow(k + kSlack);
    return cur_;
  }
  void commit(std::size_t k) { cur_ += k; }
  void add(std::string_view s) {
    copy_text(room(s.size()), s.data(), s.size());
    cur_ += s.size();
  }
  void add(char c) {
    *room(1) = c;
    ++cur_;
  }
  void fill(std::size_t k, char c) {
    char* p = room(k);
    if (k <= kSlack)
      std::memset(p, c, kSlack);
    else
      std::memset(p, c, k);
    cur_ += k;
  }
  std::string_view view() const { return {p_, size()}; }
  std::string str() const { return std::string(view()); }
  // Whether the line is still in the room it was given.
  bool in(const char* room) const { return p_ == room; }

 private:
  [[gnu::noinline]] void grow(std::size_t k) {
    const std::size_t n = size();
    const std::size_t cap = std::max(2 * static_cast<std::size_t>(end_ - p_), n + k + 256);
    auto heap = std::make_unique<char[]>(cap);
    std::memcpy(heap.get(), p_, n);
    heap_ = std::move(heap);
    p_ = heap_.get();
    cur_ = p_ + n;
    end_ = p_ + cap;
  }
  static constexpr std::size_t kInline = 1024;
  char inline_[kInline];
  std::unique_ptr<char[]> heap_;
  char* p_ = inline_;    // the line
  char* cur_ = inline_;  // its end so far
  char* end_ = inline_ + kInline;
};

}  // namespace ff::detail
