// The fields of the edit descriptors: I, J, F, E, A and L, as gfortran
// writes them. Numbers come from std::to_chars, which is exact and
// correctly rounded.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "format/line.hpp"

namespace ff {

namespace detail {

// Each writer puts lead blanks (what an X before the field left) and then
// the field at the end of the line.
void put_i(Line& out, std::size_t lead, long long v, int w, int m, bool plus);
// Iw when the value fits; otherwise the number in full, after one blank
// when it would touch what stands before it.
void put_j(Line& out, std::size_t lead, long long v, int w, bool touching);
void put_f(Line& out, std::size_t lead, double v, int w, int d, bool plus);
void put_e(Line& out, std::size_t lead, double v, int w, int d, bool plus);
// Aw (w < 0: the whole text): right-justified, or its first w characters.
void put_a(Line& out, std::size_t lead, std::string_view s, int w);

}  // namespace detail

// Single edit descriptors, for building fields by hand and for tests.
std::string fmt_i(long long v, int w, int m = -1, bool plus = false);
std::string fmt_f(double v, int w, int d, bool plus = false);
std::string fmt_e(double v, int w, int d, bool plus = false);
std::string fmt_a(std::string_view s, int w);  // w < 0: the whole text
std::string fmt_j(long long v, int w);          // Iw, or " <full number>" when it does not fit

// An integer's text as I0 writes it (its digits, after a '-' when negative),
// held in place: no allocation.
class IntText {
 public:
  explicit IntText(long long v);
  std::string_view view() const { return {buf_, n_}; }
  std::size_t size() const { return n_; }
  // What Iw writes, without its leading blanks: the text, or w asterisks
  // when it does not fit (1 <= w <= 24).
  std::string_view in_width(std::size_t w) const {
    return n_ <= w ? view() : std::string_view("************************", w);
  }

 private:
  char buf_[24];
  std::size_t n_;
};

// A line put together field by field in a string's own buffer, for the few
// lines made for every atom whose fields are texts and integers: the columns
// the format with the same fields gives, without a format to run. The
// caller gives room for the longest line the fields can make.
class Columns {
 public:
  Columns(std::string& s, std::size_t room) : s_(s) {
    s_.resize(room + kSlack);
    p_ = s_.data();
    end_ = p_ + room + kSlack;
  }
  Columns& text(std::string_view t) {
    if (!t.empty()) std::memcpy(p_, t.data(), t.size());
    p_ += t.size();
    return *this;
  }
  Columns& blanks(std::size_t n) {
    std::memset(p_, ' ', n);
    p_ += n;
    return *this;
  }
  // The text cut or blank-padded on the right to n characters.
  Columns& padded(std::string_view t, std::size_t n) {
    const std::size_t m = t.size() < n ? t.size() : n;
    return text(t.substr(0, m)).blanks(n - m);
  }
  // v as Iw (and Jw) write it when it fits; false, with nothing written,
  // when it does not (the caller then formats the line).
  bool int_field(long long v, int w) {
    const IntText t(v);
    if (w < 0 || t.size() > static_cast<std::size_t>(w)) return false;
    return blanks(static_cast<std::size_t>(w) - t.size()).text(t.view()), true;
  }
  // v as Fw.d writes it when it fits (no asterisks); false when it does
  // not (the columns after the line so far then hold no text).
  bool fixed_field(double v, int w, int d);
  // Ends the line here.
  void done() { s_.resize(static_cast<std::size_t>(p_ - s_.data())); }

 private:
  static constexpr std::size_t kSlack = 64;  // room the field writers may use past their field
  std::string& s_;
  char* p_;
  char* end_;
};

}  // namespace ff
