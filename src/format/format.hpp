// A Fortran format, compiled.
//
// A format at a call is written as a literal with the suffix _f:
//
//     ff::write(os, "(i7,2x,a,1x,3f9.5)"_f, i, label, xf);
//
// The literal is a template argument: the compiler parses it once, lays it
// out as a short list of operations in an object of its own that lasts as
// long as the program, and the call passes a reference to that object. A
// text that is not a format does not compile. A record of a write (the
// writer thread formats it later) then names the format by its address.
//
// A plain literal ("(i4)" without the suffix) is compiled by the compiler
// too, by Format's consteval constructor, but into a temporary object made
// at every call: the form for tests and for a write done once.
//
// A format put together while the program runs is compiled where it is
// made, by the run-time constructor (from std::string or std::string_view);
// such a format refers to the text it was made from, which must outlive it.
//
// A plain or run-time text that is not a format (an unknown descriptor, a
// missing parenthesis) is a fault of the program: it raises
// std::logic_error, with the format and the reason, when the format is used
// (a plain literal) or made (at run time).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "format/compile.hpp"

namespace ff {

// What the formatting engine runs: the operations and the text they refer to.
struct Program {
  std::string_view text;
  std::span<const Op> ops;
  std::uint16_t revert = 0;
};

template <std::size_t N>
struct Literal;

class Format {
 public:
  // A plain literal: compiled by the compiler, into this object.
  template <std::size_t N>
  consteval Format(const char (&text)[N]) : text_(text, N - 1), literal_(true) {
    detail::FixedOps ops;
    detail::Compiler c(text_, ops);
    fault_ = c.run();
    if (ops.overflow) throw "a literal format of more than kLiteralOps operations: split it";
    for (std::size_t k = 0; k < ops.n; ++k) fixed_[k] = ops.ops[k];
    n_ = static_cast<std::uint16_t>(ops.n);
    revert_ = c.revert;
  }
  // A format made at run time: compiled here. It refers to text.
  Format(std::string_view text);
  Format(const std::string& text) : Format(std::string_view(text)) {}

  constexpr Program program() const {
    return {text_, literal_ ? std::span<const Op>(fixed_, n_) : std::span<const Op>(grown_), revert_};
  }
  // Its text lies in the program's constant data.
  constexpr bool literal() const { return literal_; }
  // The object itself lasts as long as the program (a literal with _f): a
  // record of a write may name it by its address.
  constexpr bool lasting() const { return lasting_; }
  // Why the text is not a format, or nullptr.
  constexpr const char* fault() const { return fault_; }
  // Raises the fault of a text that is not a format.
  void check() const {
    if (fault_ != nullptr) [[unlikely]]
      throw_fault();
  }

 private:
  template <std::size_t N>
  friend struct Literal;
  struct Lasting {};
  template <std::size_t N>
  consteval Format(const char (&text)[N], Lasting) : Format(text) {
    if (fault_ != nullptr) throw fault_;  // a literal with _f that is not a format does not compile
    lasting_ = true;
  }
  [[noreturn]] void throw_fault() const;

  std::string_view text_;
  const char* fault_ = nullptr;
  std::uint16_t n_ = 0;
  std::uint16_t revert_ = 0;
  bool literal_ = false;
  bool lasting_ = false;
  Op fixed_[kLiteralOps] = {};
  std::vector<Op> grown_;
};

// The text of a literal with _f, as a template argument.
template <std::size_t N>
struct Literal {
  char text[N];
  consteval Literal(const char (&s)[N]) { std::copy_n(s, N, text); }
  consteval Format compile() const { return Format(text, Format::Lasting{}); }
};

// The compiled format of a literal: one object per text in the program.
template <Literal L>
inline constexpr Format kCompiled = L.compile();

inline namespace literals {

template <Literal L>
consteval const Format& operator""_f() {
  return kCompiled<L>;
}

}  // namespace literals

}  // namespace ff

using ff::literals::operator""_f;
