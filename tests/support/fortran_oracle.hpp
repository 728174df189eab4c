// The formatting engine as it was first written: the format parsed into a
// tree for every call and walked recursively, each field built on its own.
// Kept as the reference that the compiled formats of control/fortran_io.cpp
// are checked against, field by field and line by line.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "format/fortran_io.hpp"

namespace ff_oracle {

using ff::Item;
using ff::Items;


namespace {

// The edit descriptors append to the output line in place: a run writes
// tens of megabytes, and a temporary string per field would cost more than
// the conversion itself.

// An output line under construction. Appending here is a copy into room
// already there; std::string would go out of line for every field.
class Line {
 public:
  std::size_t size() const { return n_; }
  char operator[](std::size_t i) const { return b_[i]; }
  char back() const { return b_[n_ - 1]; }
  void truncate(std::size_t n) { n_ = n; }
  void clear() { n_ = 0; }
  void add(std::string_view s) {
    const std::size_t k = s.size();
    if (k == 0) return;
    room(k);
    char* p = b_.data() + n_;
    if (k <= 16) {
      for (std::size_t i = 0; i < k; ++i) p[i] = s[i];
    } else {
      std::memcpy(p, s.data(), k);
    }
    n_ += k;
  }
  void add(char c) {
    room(1);
    b_[n_++] = c;
  }
  void fill(std::size_t k, char c) {
    if (k == 0) return;
    room(k);
    char* p = b_.data() + n_;
    if (k <= 16) {
      for (std::size_t i = 0; i < k; ++i) p[i] = c;
    } else {
      std::memset(p, c, k);
    }
    n_ += k;
  }
  std::string_view view() const { return {b_.data(), n_}; }
  std::string str() const { return std::string(view()); }

 private:
  void room(std::size_t k) {
    if (n_ + k > b_.size()) b_.resize(std::max<std::size_t>(2 * b_.size(), n_ + k + 256));
  }
  std::vector<char> b_ = std::vector<char>(512);
  std::size_t n_ = 0;
};

void put_stars(Line& out, int w) { out.fill(static_cast<std::size_t>(w < 0 ? 0 : w), '*'); }

// The field's text right-justified in w columns, asterisks when it does not
// fit; the text as it is when w <= 0. The text is given in up to two parts
// (a sign and the digits), so that neither has to be joined first.
void put_right(Line& out, std::string_view a, std::string_view b, int w) {
  const std::size_t n = a.size() + b.size();
  if (w > 0) {
    if (n > static_cast<std::size_t>(w)) {
      put_stars(out, w);
      return;
    }
    out.fill(static_cast<std::size_t>(w) - n, ' ');
  }
  out.add(a);
  out.add(b);
}

std::string right(const std::string& s, int w) {
  Line out;
  put_right(out, s, {}, w);
  return out.str();
}

std::string stars(int w) { return std::string(static_cast<std::size_t>(w < 0 ? 0 : w), '*'); }

void put_non_finite(Line& out, double v, int w, bool plus) {
  if (std::isnan(v)) {
    put_right(out, "NaN", {}, w);
    return;
  }
  std::string_view sign = v < 0 ? "-" : (plus ? "+" : "");
  if (w > 0 && sign.size() + 8 > static_cast<std::size_t>(w))
    put_right(out, sign, "Inf", w);
  else
    put_right(out, sign, "Infinity", w);
}

void put_i(Line& out, long long v, int w, int m, bool plus) {
  unsigned long long mag = v < 0 ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
  char buf[64];
  char* end = buf + sizeof buf;
  char* p = end;
  if (!(m == 0 && v == 0)) {
    do {
      *--p = static_cast<char>('0' + mag % 10);
      mag /= 10;
    } while (mag != 0);
  }
  while (m >= 0 && end - p < m && p > buf) *--p = '0';
  std::string_view sign = v < 0 ? "-" : (plus ? "+" : "");
  put_right(out, sign, std::string_view(p, static_cast<std::size_t>(end - p)), w);
}

// Iw when the value fits; otherwise the number in full, after one blank
// unless the line is empty so far or already ends in a blank.
void put_j(Line& out, long long v, int w, bool touching) {
  const std::size_t at = out.size();
  put_i(out, v, w, -1, false);
  if (out.size() > at && out[at] == '*') {
    out.truncate(at);
    if (touching) out.add(' ');
    put_i(out, v, 0, -1, false);
  }
}

// The digits of a (finite, not negative) with d decimals, rounded to nearest
// on the exact binary value with ties to even, as to_chars writes them; the
// integer arithmetic is exact. nullptr for values this does not cover (then
// to_chars does the work).
char* fixed_digits(double a, int d, char* buf) {
  static constexpr std::uint64_t kPow10[20] = {1ULL,
                                               10ULL,
                                               100ULL,
                                               1000ULL,
                                               10000ULL,
                                               100000ULL,
                                               1000000ULL,
                                               10000000ULL,
                                               100000000ULL,
                                               1000000000ULL,
                                               10000000000ULL,
                                               100000000000ULL,
                                               1000000000000ULL,
                                               10000000000000ULL,
                                               100000000000000ULL,
                                               1000000000000000ULL,
                                               10000000000000000ULL,
                                               100000000000000000ULL,
                                               1000000000000000000ULL,
                                               10000000000000000000ULL};
  if (d < 0 || d > 18) return nullptr;
  const auto bits = std::bit_cast<std::uint64_t>(a);
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
  int e = -1074;
  if (biased != 0) {
    m |= std::uint64_t{1} << 52;
    e = biased - 1075;
  }
  // a = m 2^e; the result is round(m 10^d 2^e).
  using u128 = unsigned __int128;
  const u128 n = static_cast<u128>(m) * kPow10[d];  // below 2^113
  u128 q = 0;
  if (e >= 0) {
    if (e > 10) return nullptr;
    q = n << e;
  } else if (-e <= 114) {
    const int sh = -e;
    q = n >> sh;
    const u128 r = n - (q << sh);
    const u128 half = static_cast<u128>(1) << (sh - 1);
    if (r > half || (r == half && (q & 1) != 0)) ++q;
  }  // else far below half a unit of the last place: zero
  if (q >= static_cast<u128>(kPow10[19])) return nullptr;
  const auto v = static_cast<std::uint64_t>(q);
  std::uint64_t ip = v / kPow10[d], fp = v % kPow10[d];
  char tmp[24];
  char* t = tmp + sizeof tmp;
  do {
    *--t = static_cast<char>('0' + ip % 10);
    ip /= 10;
  } while (ip != 0);
  char* p = buf;
  while (t < tmp + sizeof tmp) *p++ = *t++;
  if (d > 0) {
    *p++ = '.';
    for (int k = d - 1; k >= 0; --k) {
      p[k] = static_cast<char>('0' + fp % 10);
      fp /= 10;
    }
    p += d;
  }
  return p;
}

void put_f(Line& out, double v, int w, int d, bool plus) {
  if (!std::isfinite(v)) {
    put_non_finite(out, v, w, plus);
    return;
  }
  const bool neg = std::signbit(v) && v != 0.0;
  const double a = std::fabs(v);
  char buf[400];
  char* end = fixed_digits(a, d, buf);
  if (end == nullptr) end = std::to_chars(buf, buf + sizeof buf - 1, a, std::chars_format::fixed, d).ptr;
  if (d == 0) *end++ = '.';
  std::string_view body(buf, static_cast<std::size_t>(end - buf));
  std::string_view sign = neg ? "-" : (plus ? "+" : "");
  const bool lead0 = body.size() > 1 && body[0] == '0' && body[1] == '.';
  if (lead0 && (w == 0 || (w > 0 && sign.size() + body.size() > static_cast<std::size_t>(w)))) body.remove_prefix(1);
  put_right(out, sign, body, w);
}

void put_a(Line& out, std::string_view s, int w) {
  if (w < 0) {
    out.add(s);
  } else if (s.size() >= static_cast<std::size_t>(w)) {
    out.add(s.substr(0, static_cast<std::size_t>(w)));
  } else {
    out.fill(static_cast<std::size_t>(w) - s.size(), ' ');
    out.add(s);
  }
}

}  // namespace




inline std::string fmt_e(double v, int w, int d, bool plus) {
  if (d < 1) throw std::logic_error("E edit descriptor needs at least one digit");
  if (!std::isfinite(v)) {
    Line out;
    put_non_finite(out, v, w, plus);
    return out.str();
  }
  bool neg = std::signbit(v) && v != 0.0;
  double a = std::fabs(v);
  std::string digits;
  int exp10 = 0;
  if (a == 0.0) {
    digits.assign(static_cast<std::size_t>(d), '0');
  } else {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, a, std::chars_format::scientific, d - 1);
    std::string t(buf, res.ptr);
    auto epos = t.find('e');
    digits.push_back(t[0]);
    for (std::size_t k = 1; k < epos; ++k)
      if (t[k] != '.') digits.push_back(t[k]);
    exp10 = std::stoi(t.substr(epos + 1)) + 1;
  }
  std::string ex;
  int ea = exp10 < 0 ? -exp10 : exp10;
  char es = exp10 < 0 ? '-' : '+';
  if (ea <= 99) {
    ex = std::string("E") + es + (ea < 10 ? "0" : "") + std::to_string(ea);
  } else if (ea <= 999) {
    ex = std::string(1, es) + std::to_string(ea);
  } else {
    return stars(w);
  }
  std::string sign = neg ? "-" : (plus ? "+" : "");
  std::string s = sign + "0." + digits + ex;
  if (w > 0 && static_cast<int>(s.size()) > w) s = sign + "." + digits + ex;
  return right(s, w);
}


// ---------------------------------------------------------------------------
// Format strings.

namespace {

struct Node {
  enum Kind { I, J, F, E, A, L, X, Lit, Slash, Group, SP, SS, Dollar, Colon } kind = Lit;
  int rep = 1;
  int w = -1;
  int d = -1;
  std::string lit;
  std::vector<Node> kids;
};

[[noreturn]] void bad_format(std::string_view fmt, const char* why) {
  throw std::logic_error(std::string("bad format ") + std::string(fmt) + ": " + why);
}

class Parser {
 public:
  explicit Parser(std::string_view f) : f_(f) {}

  std::vector<Node> parse() {
    skip();
    if (p_ >= f_.size() || f_[p_] != '(') bad_format(f_, "must start with (");
    ++p_;
    auto nodes = list();
    skip();
    if (p_ != f_.size()) bad_format(f_, "text after the closing )");
    return nodes;
  }

 private:
  void skip() {
    while (p_ < f_.size() && (f_[p_] == ' ' || f_[p_] == ',')) ++p_;
  }
  int number() {
    int n = 0;
    bool any = false;
    while (p_ < f_.size() && std::isdigit(static_cast<unsigned char>(f_[p_]))) {
      n = n * 10 + (f_[p_] - '0');
      ++p_;
      any = true;
    }
    return any ? n : -1;
  }

  std::vector<Node> list() {
    std::vector<Node> nodes;
    for (;;) {
      skip();
      if (p_ >= f_.size()) bad_format(f_, "missing )");
      char c = f_[p_];
      if (c == ')') {
        ++p_;
        return nodes;
      }
      if (c == '\'' || c == '"') {
        nodes.push_back(literal(c));
        continue;
      }
      int rep = number();
      if (p_ >= f_.size()) bad_format(f_, "missing )");
      c = static_cast<char>(std::toupper(static_cast<unsigned char>(f_[p_])));
      Node n;
      n.kind = Node::Lit;
      n.rep = rep < 0 ? 1 : rep;
      ++p_;
      switch (c) {
        case '(':
          n.kind = Node::Group;
          n.kids = list();
          break;
        case 'I':
        case 'J':
          n.kind = c == 'I' ? Node::I : Node::J;
          n.w = number();
          if (n.w < 0) bad_format(f_, "I needs a width");
          if (p_ < f_.size() && f_[p_] == '.') {
            ++p_;
            n.d = number();
          }
          break;
        case 'F':
        case 'E':
          n.kind = c == 'F' ? Node::F : Node::E;
          n.w = number();
          if (n.w < 0 || p_ >= f_.size() || f_[p_] != '.') bad_format(f_, "F and E need w.d");
          ++p_;
          n.d = number();
          if (n.d < 0) bad_format(f_, "F and E need w.d");
          break;
        case 'A':
          n.kind = Node::A;
          n.w = number();
          break;
        case 'L':
          n.kind = Node::L;
          n.w = number();
          if (n.w < 0) bad_format(f_, "L needs a width");
          break;
        case 'X':
          n.kind = Node::X;
          break;
        case '/':
          n.kind = Node::Slash;
          break;
        case '$':
          n.kind = Node::Dollar;
          break;
        case ':':
          n.kind = Node::Colon;
          break;
        case 'S': {
          char c2 = p_ < f_.size() ? static_cast<char>(std::toupper(static_cast<unsigned char>(f_[p_]))) : ' ';
          if (c2 == 'P') {
            n.kind = Node::SP;
            ++p_;
          } else {
            if (c2 == 'S') ++p_;
            n.kind = Node::SS;
          }
          break;
        }
        default:
          bad_format(f_, "unknown edit descriptor");
      }
      nodes.push_back(std::move(n));
    }
  }

  Node literal(char q) {
    Node n;
    n.kind = Node::Lit;
    ++p_;
    for (;;) {
      if (p_ >= f_.size()) bad_format(f_, "unterminated text");
      if (f_[p_] == q) {
        if (p_ + 1 < f_.size() && f_[p_ + 1] == q) {
          n.lit.push_back(q);
          p_ += 2;
          continue;
        }
        ++p_;
        return n;
      }
      n.lit.push_back(f_[p_++]);
    }
  }

  std::string_view f_;
  std::size_t p_ = 0;
};

class Writer {
 public:
  Writer(std::string_view fmt, const Items& items, Line& out) : out(out), fmt_(fmt), items_(items) {}

  // Returns false when the items ran out at a data descriptor.
  bool run(const std::vector<Node>& nodes, std::size_t from) {
    for (std::size_t k = from; k < nodes.size(); ++k) {
      const Node& n = nodes[k];
      for (int r = 0; r < n.rep; ++r) {
        if (!one(n)) return false;
      }
    }
    return true;
  }

  Line& out;
  bool dollar = false;
  std::size_t next = 0;

 private:
  bool one(const Node& n) {
    switch (n.kind) {
      case Node::Lit:
        emit(n.lit);
        return true;
      case Node::X:
        ++pending_;  // position only: blanks appear when something follows
        return true;
      case Node::Slash:
        end_record();
        return true;
      case Node::SP:
        plus_ = true;
        return true;
      case Node::SS:
        plus_ = false;
        return true;
      case Node::Dollar:
        dollar = true;
        return true;
      case Node::Colon:
        return next < items_.size();
      case Node::Group:
        return run(n.kids, 0);
      default:
        break;
    }
    if (next >= items_.size()) return false;
    const Item& it = items_[next++];
    emit("");
    switch (n.kind) {
      case Node::I:
        need(it, Item::Int, "I");
        put_i(out, it.i, n.w, n.d, plus_);
        break;
      case Node::J:
        need(it, Item::Int, "J");
        put_j(out, it.i, n.w, out.size() > record_start_ && out.back() != ' ');
        break;
      case Node::F:
        need(it, Item::Real, "F");
        put_f(out, it.r, n.w, n.d, plus_);
        break;
      case Node::E:
        need(it, Item::Real, "E");
        out.add(fmt_e(it.r, n.w, n.d, plus_));
        break;
      case Node::A:
        need(it, Item::Str, "A");
        put_a(out, it.s(), n.w);
        break;
      case Node::L:
        need(it, Item::Log, "L");
        put_a(out, it.b ? "T" : "F", n.w);
        break;
      default:
        break;
    }
    return true;
  }

  void emit(std::string_view s) {
    out.fill(pending_, ' ');
    pending_ = 0;
    out.add(s);
  }

 public:
  void end_record() {
    pending_ = 0;
    out.add('\n');
    record_start_ = out.size();
  }

 private:
  void need(const Item& it, Item::Kind k, const char* d) const {
    if (it.kind != k)
      throw std::logic_error(std::string("format ") + std::string(fmt_) + ": item " + std::to_string(next) +
                             " does not suit " + d);
  }

  std::string_view fmt_;
  const Items& items_;
  bool plus_ = false;
  std::size_t pending_ = 0;
  std::size_t record_start_ = out.size();
};

}  // namespace

namespace {

struct Parsed {
  std::vector<Node> nodes;
  std::size_t revert = 0;
};

// Parsed anew for every call: a reference has no business being fast.
Parsed parsed(std::string_view fmt) {
  Parsed p;
  p.nodes = Parser(fmt).parse();
  for (std::size_t k = 0; k < p.nodes.size(); ++k)
    if (p.nodes[k].kind == Node::Group) p.revert = k;
  return p;
}

void format_line(Line& out, std::string_view fmt, const Items& items) {
  const Parsed p = parsed(fmt);
  Writer w(fmt, items, out);
  std::size_t from = 0;
  for (;;) {
    std::size_t before = w.next;
    if (!w.run(p.nodes, from)) break;
    if (w.next >= items.size()) break;
    if (w.next == before) throw std::logic_error("format " + std::string(fmt) + " takes no items");
    w.end_record();
    from = p.revert;
  }
  if (!w.dollar) out.add('\n');
}

}  // namespace

inline std::string format_items(std::string_view fmt, const Items& items) {
  Line line;
  format_line(line, fmt, items);
  return line.str();
}

inline std::string fmt_f(double v, int w, int d, bool plus = false) {
  Line out;
  put_f(out, v, w, d, plus);
  return out.str();
}

template <class... Ts>
std::string format(std::string_view fmt, const Ts&... args) {
  Items items;
  (ff::add(items, args), ...);
  return format_items(fmt, items);
}

}  // namespace ff_oracle

