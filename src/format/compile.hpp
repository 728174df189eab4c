// The compiler of Fortran formats: a format's text parsed and laid out as
// a short list of operations, in one pass. It runs in the compiler for a
// literal format (format/format.hpp) and in the program for a format put
// together at run time; both get the same operations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ff {

// One step of a compiled format. Blanks of an X go with what follows them:
// the leading blanks of a field or of a text (pre), or an X operation of its
// own where the line may be entered in between (a loop, the reversion point).
struct Op {
  enum Kind : std::uint8_t { I, J, F, E, A, L, X, Lit, Slash, SP, SS, Dollar, Colon, Open, Close };
  Kind kind = Lit;
  std::uint8_t pre = 0;  // fields and texts: blanks before the first item, or before the text
  std::uint8_t gap = 0;  // fields: blanks before each further item (3(1x,i4) is one I of 3 items)
  std::int8_t d = -1;    // F, E: decimals; I: least digits; -1: none given
  std::int16_t w = -1;   // fields: width, -1 none given; Lit: length of the text
  std::uint16_t n = 1;   // repeat count; Lit: where its text starts in the format
};

// Groups nest no deeper than this (a format is program text, not data).
constexpr int kMaxDepth = 16;
// A literal format takes at most this many operations (a longer one does not
// compile: split it).
constexpr std::size_t kLiteralOps = 32;

namespace detail {

// The fixed room of a literal format, and a growing one for a format made at
// run time: the compiler below fills either.
struct FixedOps {
  Op ops[kLiteralOps] = {};
  std::size_t n = 0;
  bool overflow = false;
  constexpr std::size_t size() const { return n; }
  constexpr Op& operator[](std::size_t k) { return ops[k]; }
  constexpr Op& back() { return ops[n - 1]; }
  constexpr void push_back(const Op& o) {
    if (n == kLiteralOps) {
      overflow = true;
      return;
    }
    ops[n++] = o;
  }
  constexpr void pop_back() { --n; }
};

constexpr bool is_digit(char c) { return c >= '0' && c <= '9'; }
constexpr char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Parses the format and lays it out in one pass. A group is a loop (Open ..
// Close), except that a group holding one field, after blanks or not, is
// that field repeated with its blanks before each item. Returns the reason
// when the text is not a format, else nullptr.
template <class Ops>
class Compiler {
 public:
  constexpr Compiler(std::string_view f, Ops& ops) : f_(f), ops_(ops) {}

  // The operation where format reversion starts again: the last group of
  // the top level (or the start).
  std::uint16_t revert = 0;

  constexpr const char* run() {
    if (f_.size() > 0xFFFF) return "format too long";
    skip();
    if (p_ >= f_.size() || f_[p_] != '(') return "must start with (";
    ++p_;
    if (const char* why = list(0)) return why;
    skip();
    if (p_ != f_.size()) return "text after the closing )";
    put_blanks();  // blanks at the end: an operation, as they were
    return nullptr;
  }

 private:
  constexpr void skip() {
    while (p_ < f_.size() && (f_[p_] == ' ' || f_[p_] == ',')) ++p_;
  }
  // A number, or -1 when none stands here; -2 when it is too large.
  constexpr long number() {
    long v = 0;
    bool any = false;
    while (p_ < f_.size() && is_digit(f_[p_])) {
      if (v > 99999999) return -2;
      v = v * 10 + (f_[p_] - '0');
      ++p_;
      any = true;
    }
    return any ? v : -1;
  }

  // The items of a list up to its closing parenthesis.
  constexpr const char* list(int depth) {
    for (;;) {
      skip();
      if (p_ >= f_.size()) return "missing )";
      char c = f_[p_];
      if (c == ')') {
        ++p_;
        return nullptr;
      }
      if (c == '\'' || c == '"') {
        if (const char* why = literal(c)) return why;
        continue;
      }
      const long rep = number();
      if (rep == -2 || rep > 0xFFFF) return "number too large";
      if (p_ >= f_.size()) return "missing )";
      c = upper(f_[p_]);
      ++p_;
      Op o;
      o.n = static_cast<std::uint16_t>(rep < 0 ? 1 : rep);
      switch (c) {
        case '(':
          if (const char* why = group(o.n, depth)) return why;
          continue;
        case 'I':
        case 'J':
          o.kind = c == 'I' ? Op::I : Op::J;
          if (const char* why = width(o, "I needs a width")) return why;
          if (p_ < f_.size() && f_[p_] == '.') {
            ++p_;
            if (const char* why = decimals(o, false, "I needs a width")) return why;
          }
          break;
        case 'F':
        case 'E':
          o.kind = c == 'F' ? Op::F : Op::E;
          if (const char* why = width(o, "F and E need w.d")) return why;
          if (p_ >= f_.size() || f_[p_] != '.') return "F and E need w.d";
          ++p_;
          if (const char* why = decimals(o, true, "F and E need w.d")) return why;
          break;
        case 'A':
          o.kind = Op::A;
          if (const char* why = width(o, nullptr)) return why;
          break;
        case 'L':
          o.kind = Op::L;
          if (const char* why = width(o, "L needs a width")) return why;
          break;
        case 'X':
          blanks_ += o.n;
          continue;
        case '/': control(o, Op::Slash); continue;
        case '$': control(o, Op::Dollar); continue;
        case ':': control(o, Op::Colon); continue;
        case 'S': {
          const char c2 = p_ < f_.size() ? upper(f_[p_]) : ' ';
          if (c2 == 'P') {
            ++p_;
            control(o, Op::SP);
          } else {
            if (c2 == 'S') ++p_;
            control(o, Op::SS);
          }
          continue;
        }
        default:
          return "unknown edit descriptor";
      }
      field(o);
    }
  }

  // w of a field; without one, why (nullptr: none is needed).
  constexpr const char* width(Op& o, const char* why) {
    const long w = number();
    if (w == -2 || w > 0x7FFF) return "number too large";
    if (w < 0 && why != nullptr) return why;
    o.w = static_cast<std::int16_t>(w);
    return nullptr;
  }
  // d of Fw.d and Ew.d (needed), m of Iw.m (may be left out).
  constexpr const char* decimals(Op& o, bool needed, const char* why) {
    const long d = number();
    if (d == -2 || d > 127) return "number too large";
    if (d < 0 && needed) return why;
    o.d = static_cast<std::int8_t>(d);
    return nullptr;
  }

  // A quoted text; a doubled quote stands for one, so the text is cut there
  // into pieces of the format's own text.
  constexpr const char* literal(char q) {
    ++p_;
    std::size_t start = p_;
    for (;;) {
      if (p_ >= f_.size()) return "unterminated text";
      if (f_[p_] != q) {
        ++p_;
        continue;
      }
      const bool doubled = p_ + 1 < f_.size() && f_[p_ + 1] == q;
      text(start, doubled ? p_ + 1 : p_);
      p_ += doubled ? 2 : 1;
      if (!doubled) return nullptr;
      start = p_;
    }
  }

  constexpr void text(std::size_t from, std::size_t to) {
    do {
      const std::size_t len = to - from < 0x7FFF ? to - from : 0x7FFF;
      Op o;
      o.kind = Op::Lit;
      o.n = static_cast<std::uint16_t>(from);
      o.w = static_cast<std::int16_t>(len);
      take_blanks(o);
      ops_.push_back(o);
      from += len;
    } while (from < to);
  }

  constexpr void field(Op o) {
    take_blanks(o);
    ops_.push_back(o);
  }

  constexpr void control(Op o, Op::Kind k) {
    put_blanks();
    o.kind = k;
    ops_.push_back(o);
  }

  constexpr const char* group(std::uint16_t rep, int depth) {
    if (depth + 1 > kMaxDepth) return "groups nested too deep";
    put_blanks();  // the loop, or the reversion, comes back to what follows
    const std::size_t open = ops_.size();
    if (depth == 0) revert = static_cast<std::uint16_t>(open);
    Op o;
    o.kind = Op::Open;
    o.n = rep;
    ops_.push_back(o);
    if (const char* why = list(depth + 1)) return why;
    put_blanks();
    // One field with its blanks: the field repeated, the blanks before each
    // item.
    if (ops_.size() == open + 2 && is_field(ops_[open + 1].kind) && ops_[open + 1].n == 1) {
      Op f = ops_[open + 1];
      f.n = rep;
      f.gap = f.pre;
      ops_.pop_back();
      ops_.back() = f;
      return nullptr;
    }
    Op close;
    close.kind = Op::Close;
    ops_.push_back(close);
    return nullptr;
  }

  static constexpr bool is_field(Op::Kind k) {
    return k == Op::I || k == Op::J || k == Op::F || k == Op::E || k == Op::A || k == Op::L;
  }

  // The pending blanks as the lead of o, as far as the field holds them.
  constexpr void take_blanks(Op& o) {
    if (blanks_ > 0xFF) put_blanks();
    o.pre = static_cast<std::uint8_t>(blanks_);
    blanks_ = 0;
  }
  constexpr void put_blanks() {
    while (blanks_ > 0) {
      Op o;
      o.kind = Op::X;
      o.n = static_cast<std::uint16_t>(blanks_ > 0xFFFF ? 0xFFFF : blanks_);
      blanks_ -= o.n;
      ops_.push_back(o);
    }
  }

  std::string_view f_;
  Ops& ops_;
  std::size_t p_ = 0;
  unsigned long blanks_ = 0;  // of X, not yet placed
};

}  // namespace detail

}  // namespace ff
