#include "control/scanner.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "control/error.hpp"
#include "control/fortran_io.hpp"
#include "control/text.hpp"

namespace vorn {

namespace {
char at(std::string_view s, int pos) {  // 1-based, blank beyond the end
  return pos >= 1 && pos <= static_cast<int>(s.size()) ? s[static_cast<std::size_t>(pos - 1)] : ' ';
}

// The 10-character label forms work in place on one fixed buffer.
constexpr std::size_t kLabel = 10;
using LabelBuf = std::array<char, kLabel>;

LabelBuf padded_label(std::string_view label) {
  LabelBuf b;
  b.fill(' ');
  const std::size_t n = std::min(label.size(), kLabel);
  for (std::size_t k = 0; k < n; ++k) b[k] = label[k];
  return b;
}

// Drops n characters at p; blanks come in at the end.
void remove_at(LabelBuf& b, std::size_t p, std::size_t n) {
  for (std::size_t k = p; k + n < kLabel; ++k) b[k] = b[k + n];
  for (std::size_t k = kLabel - n; k < kLabel; ++k) b[k] = ' ';
}

std::size_t find_char(const LabelBuf& b, char c) {
  for (std::size_t k = 0; k < kLabel; ++k)
    if (b[k] == c) return k;
  return kLabel;
}

void left_justify(LabelBuf& b) {
  std::size_t k = 0;
  while (k < kLabel && b[k] == ' ') ++k;
  if (k > 0 && k < kLabel) remove_at(b, 0, k);
}

void remove_brackets(LabelBuf& b) {
  if (std::size_t p = find_char(b, '('); p < kLabel) remove_at(b, p, 1);
  if (std::size_t p = find_char(b, ')'); p < kLabel) remove_at(b, p, 1);
  left_justify(b);
}

void remove_um(LabelBuf& b) {
  for (std::size_t k = 0; k + 1 < kLabel; ++k)
    if (b[k] == 'U' && b[k + 1] == 'M') {
      remove_at(b, k, 2);
      break;
    }
  left_justify(b);
}

std::string text_of(const LabelBuf& b) { return std::string(b.data(), kLabel); }

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
  LabelBuf b = padded_label(label);
  remove_brackets(b);
  return text_of(b);
}

std::string ernum(std::string_view label) {
  LabelBuf b = padded_label(label);
  for (std::size_t k = find_char(b, '('); k < kLabel; ++k) b[k] = ' ';
  left_justify(b);
  return text_of(b);
}

std::string erum(std::string_view label) {
  LabelBuf b = padded_label(label);
  remove_um(b);
  return text_of(b);
}

std::string erbras_erum(std::string_view label) {
  LabelBuf b = padded_label(label);
  remove_um(b);
  remove_brackets(b);
  return text_of(b);
}

bool ernum_is(std::string_view label, std::string_view name) {
  LabelBuf b = padded_label(label);
  for (std::size_t k = find_char(b, '('); k < kLabel; ++k) b[k] = ' ';
  left_justify(b);
  return rtrim(std::string_view(b.data(), kLabel)) == name;
}

}  // namespace vorn
