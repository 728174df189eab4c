#include "symmetry/cards.hpp"

#include <cmath>
#include <cstdlib>

#include "base/text.hpp"
#include "format/fortran_io.hpp"

namespace vorn {

namespace {

constexpr const char* kAxes = "XYZ";

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::string trim(std::string_view s) {
  std::size_t b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  std::size_t e = s.find_last_not_of(' ');
  return std::string(s.substr(b, e - b + 1));
}

std::string no_blanks(std::string_view s) {
  std::string r;
  for (char c : s)
    if (c != ' ') r.push_back(c);
  return r;
}

// Digits only, at most six of them (a translation has no use for more).
bool parse_digits(std::string_view s, long& v) {
  if (s.empty() || s.size() > 6) return false;
  v = 0;
  for (char c : s) {
    if (!is_digit(c)) return false;
    v = v * 10 + (c - '0');
  }
  return true;
}

// The translation left over once the rotation terms are gone: blank, a real
// number (0.5, +0.25) or a fraction of whole numbers (1/2, -1/4, 5/6, 1/12).
// Anything else is refused, since taking it for some number would give a
// wrong operator without a word.
bool parse_translation(std::string_view s, float& t) {
  if (s.empty()) {
    t = 0.0f;
    return true;
  }
  std::size_t slash = s.find('/');
  if (slash == std::string_view::npos) return ff::parse_real(s, t);
  std::string_view num = s.substr(0, slash), den = s.substr(slash + 1);
  float sign = 1.0f;
  if (!num.empty() && (num[0] == '+' || num[0] == '-')) {
    if (num[0] == '-') sign = -sign;
    num.remove_prefix(1);
  }
  if (!den.empty() && (den[0] == '+' || den[0] == '-')) {
    if (den[0] == '-') sign = -sign;
    den.remove_prefix(1);
  }
  long n = 0, d = 0;
  if (!parse_digits(num, n) || !parse_digits(den, d) || d == 0) return false;
  t = sign * static_cast<float>(n) / static_cast<float>(d);
  return true;
}

float det3(const Mat3& m) {
  return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

bool is_identity(const SymOp& op) {
  for (int i = 0; i < 3; ++i) {
    if (op.t[i] != 0.0f) return false;
    for (int j = 0; j < 3; ++j)
      if (op.R[i][j] != (i == j ? 1.0f : 0.0f)) return false;
  }
  return true;
}

// One operator text of a card into an operator; false when illegal.
bool parse_operator(const std::string& text, SymOp& op) {
  std::vector<std::string> items = split(text, text.find(',') != std::string::npos ? ',' : ' ', 1);
  if (items.size() == 12) {
    for (int i = 0; i < 3; ++i) {
      if (!ff::parse_real(items[4 * i], op.t[i])) return false;
      for (int j = 0; j < 3; ++j)
        if (!ff::parse_real(items[4 * i + 1 + j], op.R[i][j])) return false;
    }
  } else if (items.size() == 3) {
    for (int i = 0; i < 3; ++i)
      if (!symop(items[i], op.t[i], op.R[i])) return false;
  } else {
    return false;
  }
  // A rotation that is not invertible with determinant +1 or -1 maps the
  // crystal onto something else: no symmetry operation.
  return std::fabs(std::fabs(det3(op.R)) - 1.0f) < 1e-3f;
}

// The translation as the listing shows it: a fraction in twelfths as
// " 1/2", " 2/3", " 5/6", " 1/12"; other fractions with the smallest
// denominator that fits; a decimal number when none does.
std::string fraction_text(float t) {
  long num = 0, den = 0;
  float x = 12.0f * t;
  long n = std::lround(x);
  if (n != 0 && std::fabs(x - static_cast<float>(n)) < 1e-3f) {
    for (long d : {6L, 4L, 3L, 2L, 1L})
      if (n % d == 0) {
        num = n / d;
        den = 12 / d;
        break;
      }
  } else {
    for (long d = 1; d <= 48; ++d) {
      float y = t * static_cast<float>(d);
      long m = std::lround(y);
      if (m != 0 && std::fabs(y - static_cast<float>(m)) < 1e-4f * static_cast<float>(d)) {
        num = m;
        den = d;
        break;
      }
    }
  }
  if (den == 0) return ff::fmt_f(t, 9, 5);
  auto digits = [](long v) {
    int w = v < 0 ? 1 : 0;
    v = std::labs(v);
    do {
      ++w;
      v /= 10;
    } while (v > 0);
    return w;
  };
  return ff::fmt_i(num, std::max(2, digits(num))) + "/" + ff::fmt_i(den, digits(den));
}

}  // namespace

int push_op(Symm& symm, const SymOp& op) {
  ++symm.nsym;
  if (symm.op.size() <= static_cast<std::size_t>(symm.nsym)) symm.op.resize(static_cast<std::size_t>(symm.nsym) + 1);
  symm.op[symm.nsym] = op;
  return symm.nsym;
}

std::vector<std::string> split(std::string_view text, char delim, int mode) {
  std::vector<std::string> items;
  auto take = [&](std::string_view piece) {
    std::string s = mode == 1 || mode == 3 ? trim(piece) : std::string(piece);
    if (mode == 3) s = upper(s);
    items.push_back(std::move(s));
  };
  if (delim == ' ') {
    std::size_t k = 0;
    while (k < text.size()) {
      while (k < text.size() && text[k] == ' ') ++k;
      if (k >= text.size()) break;
      std::size_t e = text.find(' ', k);
      if (e == std::string_view::npos) e = text.size();
      take(text.substr(k, e - k));
      k = e;
    }
    return items;
  }
  std::size_t start = 0;
  while (true) {
    std::size_t e = text.find(delim, start);
    if (e == std::string_view::npos) {
      take(text.substr(start));
      break;
    }
    take(text.substr(start, e - start));
    start = e + 1;
  }
  return items;
}

bool removerot(std::string& text, Vec3& r) {
  r = {0.0f, 0.0f, 0.0f};
  bool found[3] = {false, false, false};
  // Signed terms first, so that the bare letter of pass 3 can only be the
  // leading term of the expression.
  for (int pass = 1; pass <= 3; ++pass) {
    for (int k = 0; k < 3; ++k) {
      std::string key = pass == 1 ? std::string("+") + kAxes[k]
                                  : pass == 2 ? std::string("-") + kAxes[k] : std::string(1, kAxes[k]);
      std::size_t p = text.find(key);
      if (p == std::string::npos || found[k]) continue;
      if (pass == 3 && p != 0) return false;  // "2X", "1/2X": a factor the cards cannot carry
      std::size_t after = p + key.size();
      if (after < text.size() && text[after] != '+' && text[after] != '-') return false;  // "-X2", "X/2"
      r[k] = pass == 2 ? -1.0f : 1.0f;
      found[k] = true;
      text.erase(p, key.size());
    }
  }
  for (char c : text)
    if (c == 'X' || c == 'Y' || c == 'Z') return false;  // a term given twice
  return true;
}

bool symop(std::string_view text, float& t, Vec3& r) {
  std::string s = upper(no_blanks(text));
  if (!removerot(s, r)) return false;
  return parse_translation(s, t);
}

int symcrd(std::string_view line, Symm& symm) {
  std::string card(line.substr(0, line.find('!')));
  std::string head = upper(pad(card, 4));
  std::size_t from = head == "SYMM" ? 4 : head.compare(0, 3, "SYM") == 0 ? 3 : 0;
  std::string rest = from < card.size() ? card.substr(from) : std::string();
  int taken = 0;
  for (const std::string& text : split(rest, ';', 3)) {
    if (text.empty()) continue;  // a trailing ";" separates nothing
    SymOp op;
    if (!parse_operator(text, op)) return 1;
    ++taken;
    if (!is_identity(op)) push_op(symm, op);
  }
  return taken == 0 ? 1 : 0;
}

bool srchl(TextFile& f, std::string_view key, bool rewind, std::string& line) {
  constexpr std::size_t kWidth = 255;
  if (rewind) f.rewind();
  if (key.size() > kWidth) return false;  // no line read is that long
  const std::string want = upper(key);
  std::string_view s;
  while (f.next_view(s, kWidth)) {
    // The line is compared as read, blank-padded to the width.
    bool same = true;
    for (std::size_t k = 0; k < want.size() && same; ++k) {
      const char c = k < s.size() ? s[k] : ' ';
      same = upper(c) == want[k];
    }
    if (same) {
      line.assign(s);
      line.resize(kWidth, ' ');
      return true;
    }
  }
  return false;
}

std::string opout(const Vec3& r, float t) {
  std::string s;
  if (t != 0.0f) s += fraction_text(t);
  for (int k = 0; k < 3; ++k) {
    if (r[k] == 0.0f) continue;
    s += r[k] > 0.0f ? " + " : " - ";
    if (std::fabs(r[k]) != 1.0f) s += ff::fmt_f(std::fabs(r[k]), 3, 1);
    s += kAxes[k];
  }
  return s;
}

void symout(std::ostream& os, int n, const SymOp& op) {
  std::string text = opout(op.R[0], op.t[0]) + "," + opout(op.R[1], op.t[1]) + "," + opout(op.R[2], op.t[2]);
  ff::write(os, "(3x,'SYMM', I3, 5X, A)"_f, n, text);
}

void getsym(Run& run, TextFile& f) {
  Symm& s = run.symm;
  s.nsym = 0;
  s.op.assign(1, SymOp{});
  SymOp unit;
  unit.R = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  push_op(s, unit);

  std::string line;
  bool first = true;
  while (srchl(f, "SYM", first, line)) {
    first = false;
    // An illegal card is reported with the number its operator would have had;
    // so is a card longer than the 255 columns read, which would lose its end.
    if (f.cut() || symcrd(line, s) != 0) to_lst(run, "(' * * * Symmetry card no.', I3, ' illegal * * *')"_f, s.nsym + 1);
  }
  for (int n = 1; n <= s.nsym; ++n) symout(*run.lst, n, s.op[n]);
}

}  // namespace vorn
