#include "io/scanner.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/error.hpp"
#include "base/text.hpp"
#include "format/fortran_io.hpp"

namespace vorn {

namespace {
char at(std::string_view s, int pos) {  // 1-based, blank beyond the end
  return pos >= 1 && pos <= static_cast<int>(s.size()) ? s[static_cast<std::size_t>(pos - 1)] : ' ';
}

// The 10-character label forms: the label blank-padded in a 16-byte
// buffer, of which the first 10 characters count.
constexpr std::size_t kLabel = 10;
using LabelBuf = std::array<char, 16>;

LabelBuf padded_label(std::string_view label) {
  LabelBuf b;
  b.fill(' ');
  const std::size_t n = std::min(label.size(), kLabel);
  if (n > 0) std::memcpy(b.data(), label.data(), n);
  return b;
}

// Bit k set when character k of the label is c.
#if defined(__SSE2__)
unsigned where(const LabelBuf& b, char c) {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b.data()));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_set1_epi8(c)))) & ((1u << kLabel) - 1);
}
#else
unsigned where(const LabelBuf& b, char c) {
  unsigned m = 0;
  for (unsigned k = 0; k < kLabel; ++k)
    if (b[k] == c) m |= 1u << k;
  return m;
}
#endif

// The label forms drop a few characters of the padded label and
// left-justify what is left; the characters kept (bit k for character k)
// are copied once, leading blanks passed over.
using Kept = unsigned;
constexpr Kept kAll = (1u << kLabel) - 1;

Kept lowest(Kept m) { return m & (0u - m); }

// Without the first "(" and the first ")".
Kept without_brackets(const LabelBuf& b, Kept keep) { return keep & ~lowest(where(b, '(')) & ~lowest(where(b, ')')); }

// Without the first "UM".
Kept without_um(const LabelBuf& b, Kept keep) {
  const Kept um = lowest(where(b, 'U') & (where(b, 'M') >> 1));
  return keep & ~(um | um << 1);
}

std::string kept_text(const LabelBuf& b, Kept keep) {
  // Leading blanks: every kept character before the first kept non-blank.
  const Kept first = lowest(keep & ~where(b, ' '));
  keep &= ~(first - 1);
  std::string out(kLabel, ' ');
  char* p = out.data();
  for (; keep != 0; keep &= keep - 1) *p++ = b[static_cast<std::size_t>(std::countr_zero(keep))];
  return out;
}

// The characters before the first "(".
Kept before_bracket(const LabelBuf& b) {
  const Kept open = where(b, '(');
  return open == 0 ? kAll : lowest(open) - 1;
}

// Bit k set when character k of the 16 at p is not a blank.
#if defined(__SSE2__)
std::uint64_t nonblank16(const char* p) {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return ~static_cast<std::uint64_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(x, _mm_set1_epi8(' ')))) & 0xFFFF;
}
#else
std::uint64_t nonblank16(const char* p) {
  std::uint64_t m = 0;
  for (unsigned k = 0; k < 16; ++k)
    if (p[k] != ' ') m |= std::uint64_t{1} << k;
  return m;
}
#endif

// Bit k set when character k of the n <= 64 at p is not a blank.
std::uint64_t nonblank_bits(const char* p, std::size_t n) {
  std::uint64_t bits = 0;
  std::size_t k = 0;
  for (; k + 16 <= n; k += 16) bits |= nonblank16(p + k) << k;
  if (k < n) {
    char tail[16];
    std::memset(tail, ' ', sizeof tail);
    std::memcpy(tail, p + k, n - k);
    bits |= nonblank16(tail) << k;
  }
  return bits;
}
}  // namespace

// A word runs from a non-blank after a blank (or the first position) to a
// non-blank before a blank; it counts only when that blank is at a position
// below len. Both scans walk the text once.
std::vector<Word> words(std::string_view text, int len) {
  std::vector<Word> w;
  w.reserve(16);
  int j = 1;
  while (j < len) {
    while (j < len && at(text, j) == ' ') ++j;
    if (j >= len) break;
    const int start = j;
    while (j < len && at(text, j + 1) != ' ') ++j;
    if (j >= len) break;
    w.push_back(Word{start, j});
    ++j;
  }
  return w;
}

int dnumline(std::string_view text, int len) {
  int n = 0;
  int j = 1;
  while (j < len) {
    while (j < len && at(text, j) == ' ') ++j;
    if (j >= len) break;
    while (j < len && at(text, j + 1) != ' ') ++j;
    if (j >= len) break;
    ++n;
    ++j;
  }
  return n;
}

Word ReadChar(std::string_view text, int k, int len) {
  int n = 0;
  for (int j = 1; j < len; ++j) {
    if (at(text, j) != ' ' && at(text, j + 1) == ' ') {
      if (++n == k) {
        int s = j;
        while (s > 1 && at(text, s - 1) != ' ') --s;
        return Word{s, j};
      }
    }
  }
  err("ReadChar", "Unexpected STOP in ReadChar...");
}

// Sixty-four characters at a time: a word starts or ends where a character
// differs in blankness from the one before it.
void split_blanks(std::string_view text, std::vector<std::string_view>& out) {
  out.clear();
  const char* const p = text.data();
  const std::size_t n = text.size();
  std::size_t start = 0;
  bool in_word = false;
  for (std::size_t base = 0; base < n; base += 64) {
    const std::uint64_t word = nonblank_bits(p + base, std::min<std::size_t>(64, n - base));
    for (std::uint64_t edges = word ^ (word << 1 | (in_word ? 1 : 0)); edges != 0; edges &= edges - 1) {
      const std::size_t at = base + static_cast<std::size_t>(std::countr_zero(edges));
      if (!in_word)
        start = at;
      else
        out.emplace_back(p + start, at - start);
      in_word = !in_word;
    }
  }
  if (in_word) out.emplace_back(p + start, n - start);
}

std::string word(std::string_view text, int k, int len) {
  auto w = words(text, len);
  if (k < 1 || k > static_cast<int>(w.size())) return {};
  const Word& x = w[static_cast<std::size_t>(k - 1)];
  return std::string(text.substr(static_cast<std::size_t>(x.start - 1), static_cast<std::size_t>(x.end - x.start + 1)));
}

void readline(Tokens& t, std::string& line, int len) {
  t.n = 0;
  t.flag.fill(0);
  for (auto& s : t.tok) s = std::string(8, ' ');
  std::vector<Word> blank;
  for (const Word& w : words(line, len)) {
    std::string_view text = std::string_view(line).substr(static_cast<std::size_t>(w.start - 1),
                                                          static_cast<std::size_t>(w.end - w.start + 1));
    if (ff::is_fixed_number(text)) continue;
    blank.push_back(w);
    if (t.n >= MAXTOK) continue;  // only the first 40 are stored
    ++t.n;
    auto k = static_cast<std::size_t>(t.n);
    if (text[0] == '*') {
      t.flag[k] = 1;
      text.remove_prefix(1);
    }
    t.tok[k] = pad(upper(text.substr(0, 8)), 8);
  }
  for (const Word& w : blank)
    for (int p = w.start; p <= w.end; ++p) line[static_cast<std::size_t>(p - 1)] = ' ';
}

void RmBlanks(std::string& text, int len) {
  if (len > 256) err("RmBlanks", "len(op).gt.len(line)");
  std::string r;
  for (char c : text)
    if (c != ' ') r.push_back(c);
  r.resize(text.size(), ' ');
  text = r;
}

void locase(std::string& text) { text = lower(text); }
void upcase(std::string& text) { text = upper(text); }

int lenstr(std::string_view text, int len) {
  for (int j = len; j >= 1; --j)
    if (at(text, j) != ' ') return j;
  return 0;
}

int ils(std::string_view text, int len) {
  int n = lenstr(text, len);
  return n == 0 ? len : n;
}

int ifs(std::string_view text, int len) {
  for (int j = 1; j <= len; ++j)
    if (at(text, j) != ' ') return j;
  return 0;
}

std::string erbras(std::string_view label) {
  const LabelBuf b = padded_label(label);
  return kept_text(b, without_brackets(b, kAll));
}

std::string ernum(std::string_view label) {
  const LabelBuf b = padded_label(label);
  return kept_text(b, before_bracket(b));
}

std::string erum(std::string_view label) {
  const LabelBuf b = padded_label(label);
  return kept_text(b, without_um(b, kAll));
}

std::string erbras_erum(std::string_view label) {
  // The brackets are found after the "UM" is gone, but neither is a U or
  // an M, so they are the label's own first brackets.
  const LabelBuf b = padded_label(label);
  return kept_text(b, without_brackets(b, without_um(b, kAll)));
}

bool ernum_is(std::string_view label, std::string_view name) {
  const LabelBuf b = padded_label(label);
  return rtrim(kept_text(b, before_bracket(b))) == name;
}

}  // namespace vorn
