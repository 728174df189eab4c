#include "format/fortran_io.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <link.h>
#include <cctype>
#include <cfloat>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <streambuf>
#include <stdexcept>
#include <unordered_map>
#include <vector>

namespace ff {

namespace {

// A run writes about ten million fields. Each field is written straight
// into the line at its final place: no temporary text, no allocation.

// An output line under construction: room for ordinary lines inline, on the
// heap beyond.
class Line {
 public:
  Line() = default;
  // Starts in the room given (the free part of a stream's buffer); moves to
  // the heap when the line outgrows it.
  Line(char* room, std::size_t cap) : p_(room), cur_(room), end_(room + cap) {}
  Line(const Line&) = delete;
  Line& operator=(const Line&) = delete;

  std::size_t size() const { return static_cast<std::size_t>(cur_ - p_); }
  char operator[](std::size_t i) const { return p_[i]; }
  char back() const { return cur_[-1]; }
  void truncate(std::size_t n) { cur_ = p_ + n; }
  // Room for k more characters; the caller writes them and calls commit.
  char* room(std::size_t k) {
    if (k > static_cast<std::size_t>(end_ - cur_)) [[unlikely]]
      grow(k);
    return cur_;
  }
  void commit(std::size_t k) { cur_ += k; }
  void add(std::string_view s) {
    std::memcpy(room(s.size()), s.data(), s.size());
    cur_ += s.size();
  }
  void add(char c) {
    *room(1) = c;
    ++cur_;
  }
  void fill(std::size_t k, char c) {
    std::memset(room(k), c, k);
    cur_ += k;
  }
  std::string_view view() const { return {p_, size()}; }
  std::string str() const { return std::string(view()); }
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

constexpr std::uint64_t kPow10[20] = {1ULL,
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

constexpr char kPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Number of decimal digits of v (1 for 0): from the bit length, then one
// comparison.
int digit_count(std::uint64_t v) {
  if (v < 10) return 1;
  const int bits = 64 - std::countl_zero(v);
  const int n = (bits * 1233) >> 12;  // floor(bits log10(2)), at most one short
  return n + (n < 20 && v >= kPow10[n] ? 1 : 0);
}

// Fields up to this width start from a fixed block of blanks: two stores
// instead of a fill of the exact width (the line has room for the block).
constexpr int kBlock = 32;

// Writes the digits of v so that they end just before end, two at a time;
// returns where they start.
char* digits_before(char* end, std::uint64_t v) {
  while (v >= 100) {
    const auto r = static_cast<std::size_t>(v % 100);
    v /= 100;
    end -= 2;
    end[0] = kPairs[2 * r];
    end[1] = kPairs[2 * r + 1];
  }
  if (v >= 10) {
    end -= 2;
    end[0] = kPairs[2 * v];
    end[1] = kPairs[2 * v + 1];
  } else {
    *--end = static_cast<char>('0' + v);
  }
  return end;
}

// Writes exactly k digits of v (v < 10^k), zeros in front, ending before end.
void fixed_digits_before(char* end, std::uint64_t v, int k) {
  for (; k >= 2; k -= 2) {
    const auto r = static_cast<std::size_t>(v % 100);
    v /= 100;
    end -= 2;
    end[0] = kPairs[2 * r];
    end[1] = kPairs[2 * r + 1];
  }
  if (k == 1) *--end = static_cast<char>('0' + v);
}

void put_stars(Line& out, int w) { out.fill(static_cast<std::size_t>(w < 0 ? 0 : w), '*'); }

// The text right-justified in w columns, asterisks when it does not fit; the
// text as it is when w <= 0.
void put_right(Line& out, std::string_view s, int w) {
  if (w > 0) {
    if (s.size() > static_cast<std::size_t>(w)) {
      put_stars(out, w);
      return;
    }
    out.fill(static_cast<std::size_t>(w) - s.size(), ' ');
  }
  out.add(s);
}

std::string stars(int w) { return std::string(static_cast<std::size_t>(w < 0 ? 0 : w), '*'); }

std::string right(const std::string& s, int w) {
  Line out;
  put_right(out, s, w);
  return out.str();
}

void put_non_finite(Line& out, double v, int w, bool plus) {
  if (std::isnan(v)) {
    put_right(out, "NaN", w);
    return;
  }
  const std::string sign = v < 0 ? "-" : (plus ? "+" : "");
  if (w > 0 && sign.size() + 8 > static_cast<std::size_t>(w))
    put_right(out, sign + "Inf", w);
  else
    put_right(out, sign + "Infinity", w);
}

// Iw.m (m < 0: no minimum digit count).
void put_i(Line& out, long long v, int w, int m, bool plus) {
  if (v >= 0 && m < 0 && !plus && w > 0 && w < 20 && static_cast<std::uint64_t>(v) < kPow10[w]) [[likely]] {
    // The usual field: a number that fits, blanks in front.
    char* p = out.room(kBlock);
    std::memset(p, ' ', kBlock);
    digits_before(p + w, static_cast<std::uint64_t>(v));
    out.commit(static_cast<std::size_t>(w));
    return;
  }
  const std::uint64_t mag =
      v < 0 ? 0ULL - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  const int nd = m == 0 && v == 0 ? 0 : digit_count(mag);
  const int body = std::max(nd, std::min(m, 64));
  const int sign = v < 0 || plus ? 1 : 0;
  const int len = sign + body;
  if (w > 0 && len > w) {
    put_stars(out, w);
    return;
  }
  const int total = std::max(w, len);
  char* p = out.room(static_cast<std::size_t>(total));
  char* end = p + total;
  if (nd > 0) digits_before(end, mag);
  char* q = end - nd;
  while (q > end - body) *--q = '0';
  if (sign == 1) *--q = v < 0 ? '-' : '+';
  while (q > p) *--q = ' ';
  out.commit(static_cast<std::size_t>(total));
}

// Iw when the value fits; otherwise the number in full, after one blank
// unless the line is empty so far or already ends in a blank.
void put_j(Line& out, long long v, int w, bool touching) {
  const std::uint64_t mag =
      v < 0 ? 0ULL - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  const int len = (v < 0 ? 1 : 0) + digit_count(mag);
  if (w > 0 && len > w) {
    if (touching) out.add(' ');
    put_i(out, v, 0, -1, false);
    return;
  }
  put_i(out, v, w, -1, false);
}

// round(a 10^d) for a finite a >= 0, rounded to nearest on the exact binary
// value with ties to even, as to_chars rounds; the integer arithmetic is
// exact. False for values this does not cover (then to_chars does the work).
bool scaled(double a, int d, std::uint64_t& out) {
  if (d < 0 || d > 18) return false;
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
    if (e > 10) return false;
    q = n << e;
  } else if (-e <= 114) {
    const int sh = -e;
    q = n >> sh;
    const u128 r = n - (q << sh);
    const u128 half = static_cast<u128>(1) << (sh - 1);
    if (r > half || (r == half && (q & 1) != 0)) ++q;
  }  // else far below half a unit of the last place: zero
  if (q >= static_cast<u128>(kPow10[19])) return false;
  out = static_cast<std::uint64_t>(q);
  return true;
}

// The largest odd mantissa m with m 10^d below 2^63, per d.
constexpr auto kMantissaLimit = [] {
  std::array<std::uint64_t, 20> t{};
  for (std::size_t d = 0; d < t.size(); ++d) t[d] = (std::uint64_t{1} << 63) / kPow10[d];
  return t;
}();

// scaled() in 64-bit arithmetic, for the values it covers (a float's
// mantissa times 10^9 fits): false when it does not, never a different
// result.
bool scaled64(double a, int d, std::uint64_t& out) {
  const auto bits = std::bit_cast<std::uint64_t>(a);
  const int biased = static_cast<int>((bits >> 52) & 0x7FF);
  std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
  int e = -1074;
  if (biased != 0) {
    m |= std::uint64_t{1} << 52;
    e = biased - 1075;
  }
  if (m == 0) {
    out = 0;
    return true;
  }
  const int tz = std::countr_zero(m);
  m >>= tz;
  e += tz;
  // m 10^d below 2^63
  if (m > kMantissaLimit[static_cast<std::size_t>(d)]) return false;
  const std::uint64_t n = m * kPow10[d];
  if (e >= 0) {
    if (e > 10 || n >= (std::uint64_t{1} << (62 - e))) return false;
    out = n << e;
    return true;
  }
  const int sh = -e;
  if (sh >= 64) {  // n < 2^63 <= half a unit of the last place
    out = 0;
    return true;
  }
  std::uint64_t q = n >> sh;
  const std::uint64_t r = n & ((std::uint64_t{1} << sh) - 1);
  const std::uint64_t half = std::uint64_t{1} << (sh - 1);
  if (r > half || (r == half && (q & 1) != 0)) ++q;
  out = q;
  return true;
}

// Fw.d of a value too large for the integer path: the library conversion.
void put_f_wide(Line& out, double a, bool neg, int w, int d, bool plus) {
  char buf[400];
  char* end = std::to_chars(buf, buf + sizeof buf - 1, a, std::chars_format::fixed, d).ptr;
  if (d == 0) *end++ = '.';
  std::string_view body(buf, static_cast<std::size_t>(end - buf));
  const std::size_t sign = neg || plus ? 1 : 0;
  const bool lead0 = body.size() > 1 && body[0] == '0' && body[1] == '.';
  if (lead0 && (w == 0 || (w > 0 && sign + body.size() > static_cast<std::size_t>(w)))) body.remove_prefix(1);
  if (w > 0 && sign + body.size() > static_cast<std::size_t>(w)) {
    put_stars(out, w);
    return;
  }
  if (w > 0) out.fill(static_cast<std::size_t>(w) - sign - body.size(), ' ');
  if (sign == 1) out.add(neg ? '-' : '+');
  out.add(body);
}

// The eight decimal digits of v < 10^8 as text, the first digit in the
// lowest byte (the first in memory): the halves, quarters and digits are
// split side by side in one 64-bit word, each division by 100 or 10 a
// multiplication by its reciprocal, exact for these ranges.
[[gnu::always_inline]] inline std::uint64_t eight_digits(std::uint32_t v) {
  std::uint64_t x = (v / 10000) | (static_cast<std::uint64_t>(v % 10000) << 32);
  const std::uint64_t hundreds = ((x * 10486) >> 20) & 0x0000007F0000007FULL;  // each half / 100, below 10^4
  x = hundreds | ((x - hundreds * 100) << 16);
  const std::uint64_t tens = ((x * 103) >> 10) & 0x000F000F000F000FULL;  // each quarter / 10, below 100
  x = tens | ((x - tens * 10) << 8);
  return x | 0x3030303030303030ULL;
}

constexpr std::uint64_t kBlanks8 = 0x2020202020202020ULL;
constexpr std::uint64_t kZeroToBlank8 = 0x1010101010101010ULL;  // '0' - ' ' in every byte

// Writes k blanks (what an X before a field left pending).
void put_blanks(Line& out, std::size_t k) {
  if (k == 0) return;
  if (k <= static_cast<std::size_t>(kBlock)) {
    std::memset(out.room(kBlock), ' ', kBlock);
    out.commit(k);
  } else {
    out.fill(k, ' ');
  }
}

// Iw without minimum digits or sign for 0 <= v < 10^8 that fits, after lead
// blanks, lead + w <= kBlock: the digits as one word, the zeros in front
// blanked. Writes the blanks and the field and returns true, or returns
// false (and writes nothing) for any other case.
[[gnu::always_inline]] inline bool put_i_short(Line& out, std::size_t lead, long long v, int w) {
  if (v < 0 || v >= 100000000 || w < 1 || lead + static_cast<std::size_t>(w) > kBlock ||
      (w < 8 && static_cast<std::uint64_t>(v) >= kPow10[w]))
    return false;
  const auto n = static_cast<std::uint32_t>(v);
  const int nd = digit_count(n);
  std::uint64_t u = eight_digits(n);
  u -= kZeroToBlank8 & ((std::uint64_t{1} << (8 * (8 - nd))) - 1);
  const std::size_t width = lead + static_cast<std::size_t>(w);  // blanks and field, written as one
  char* p = out.room(kBlock);
  std::memset(p, ' ', kBlock);
  if (width >= 8) {
    std::memcpy(p + width - 8, &u, 8);
  } else {
    u >>= 8 * (8 - width);  // the last digits and blanks; what comes after the field is not kept
    std::memcpy(p, &u, 8);
  }
  out.commit(width);
  return true;
}

// Powers of ten as doubles, exact.
constexpr double kPow10Real[8] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7};

// The mantissa bits of a double below those of a float: zero when the value
// has no more significant bits than a float, as nearly every value written
// has (the values are floats).
constexpr std::uint64_t kBelowFloat = (std::uint64_t{1} << 29) - 1;

// Fw.d for the usual field, after lead blanks: 1 <= d <= 7, lead + w <=
// kBlock, v with no more significant bits than a float, |v| 10^d below 10^8.
// Such a product has at most 41 significant bits, so the multiplication is
// exact, and adding 2^52 rounds it to an integer, to nearest with ties to
// even: the rounding of the exact value, as scaled() gives. Writes the blanks
// and the field and returns true, or returns false (and writes nothing) for
// any other case. The digits come as one word, shifted once past the point.
[[gnu::always_inline]] inline bool put_f_short(Line& out, std::size_t lead, double v, int w, int d, bool plus) {
  if (static_cast<unsigned>(d - 1) > 6u || w < 1 || lead + static_cast<std::size_t>(w) > kBlock) return false;
  const auto bits = std::bit_cast<std::uint64_t>(v);
  if ((bits & kBelowFloat) != 0) return false;
  const double x = std::fabs(v) * kPow10Real[d];
  if (!(x < 99999999.5)) return false;  // also infinite or NaN
  const std::uint64_t q = std::bit_cast<std::uint64_t>(x + 0x1p52) & ((std::uint64_t{1} << 52) - 1);
  // An exact negative zero has no sign; a negative value rounding to zero has.
  const bool neg = (bits >> 63) != 0 && (bits << 1) != 0;
  const int sign = neg || plus ? 1 : 0;
  int ni = 1;  // integer digits shown
  if (q < kPow10[d]) {
    if (sign + 2 + d > w) ni = 0;  // 0.xx without its zero when it does not fit
  } else {
    ni = digit_count(q) - d;
  }
  if (sign + ni + 1 + d > w) {
    put_blanks(out, lead);
    put_stars(out, w);
    return true;
  }
  std::uint64_t u = eight_digits(static_cast<std::uint32_t>(q));
  const int zeros = 8 - d - ni;  // 0 <= zeros <= 7: the zeros in front become blanks
  u -= kZeroToBlank8 & ((std::uint64_t{1} << (8 * zeros)) - 1);
  const std::size_t width = lead + static_cast<std::size_t>(w);
  if (width <= 16) {
    // The usual field: put together in a 128-bit word, the field ending at
    // its top byte, and stored once (a scratch block read back after
    // narrower stores would wait for them). The decimals stay where they
    // are; the integer digits move one place down for the point; blanks
    // below.
    using u128 = unsigned __int128;
    const std::uint64_t dec = ~std::uint64_t{0} << (8 * (8 - d));
    u128 f = (static_cast<u128>(u & dec) << 64) | (static_cast<u128>(u & ~dec) << 56) |
             (static_cast<u128>('.') << (8 * (15 - d))) | u128{0x20202020202020};
    if (sign != 0) {
      const int at = 8 * (14 - d - ni);
      f = (f & ~(static_cast<u128>(0xFF) << at)) | (static_cast<u128>(neg ? '-' : '+') << at);
    }
    f >>= 8 * (16 - width);
    std::memcpy(out.room(kBlock), &f, 16);
    out.commit(width);
    return true;
  }
  // A wider field is built to end at kEnd in a scratch block of blanks,
  // then copied as one block of kBlock from where its leading blanks start.
  constexpr int kEnd = 48;
  char b[kEnd + kBlock];
  std::memset(b + kEnd - kBlock, ' ', 2 * kBlock);
  // The decimals are the last d digits: in place with the word ending at
  // kEnd (the zeros in front were blanked above, which the decimals never
  // are).
  std::memcpy(b + kEnd - 8, &u, 8);
  b[kEnd - d - 1] = '.';
  // The integer digits move one place left of where they stand, before the
  // point; what the shift brings in is blank.
  const std::uint64_t ip = (u << (8 * d)) | (kBlanks8 >> (64 - 8 * d));
  std::memcpy(b + kEnd - 9 - d, &ip, 8);  // ends at the point
  if (sign != 0) b[kEnd - d - 2 - ni] = neg ? '-' : '+';
  std::memcpy(out.room(kBlock), b + kEnd - width, kBlock);
  out.commit(width);
  return true;
}

// Fw.d of any value.
[[gnu::noinline]] void put_f(Line& out, double v, int w, int d, bool plus) {
  if (put_f_short(out, 0, v, w, d, plus)) return;
  std::uint64_t q = 0;
  if (w > 0 && w <= kBlock && d <= 9 && std::isfinite(v) && scaled64(std::fabs(v), d, q)) [[likely]] {
    // The usual field: the digits of q written backwards from the end of
    // the field, the point d places in.
    const bool neg = std::signbit(v) && v != 0.0;
    const int sign = neg || plus ? 1 : 0;
    const bool zero = q < kPow10[d];  // integer part 0: dropped without room
    int ni = zero ? 1 : digit_count(q) - d;
    if (zero && sign + 2 + d > w) ni = 0;
    if (sign + ni + 1 + d > w) {
      put_stars(out, w);
      return;
    }
    char* p = out.room(kBlock);
    std::memset(p, ' ', kBlock);
    char* e = p + w;
    int k = d;
    for (; k >= 2; k -= 2) {
      const auto r = static_cast<std::size_t>(q % 100);
      q /= 100;
      e -= 2;
      e[0] = kPairs[2 * r];
      e[1] = kPairs[2 * r + 1];
    }
    if (k == 1) {
      *--e = static_cast<char>('0' + q % 10);
      q /= 10;
    }
    *--e = '.';
    if (ni > 0) e = digits_before(e, q);
    if (sign == 1) e[-1] = neg ? '-' : '+';
    out.commit(static_cast<std::size_t>(w));
    return;
  }
  if (!std::isfinite(v)) {
    put_non_finite(out, v, w, plus);
    return;
  }
  const bool neg = std::signbit(v) && v != 0.0;
  const double a = std::fabs(v);
  if (!scaled(a, d, q)) {
    put_f_wide(out, a, neg, w, d, plus);
    return;
  }
  // The body is the integer part (at least one digit), the point and d
  // decimals; a zero integer part goes when the field has no room for it.
  const std::uint64_t ip = q / kPow10[d];
  const std::uint64_t fp = q - ip * kPow10[d];
  const int sign = neg || plus ? 1 : 0;
  int ni = digit_count(ip);
  if (ip == 0 && (w == 0 || (w > 0 && sign + 1 + 1 + d > w))) ni = 0;
  const int len = sign + ni + 1 + d;
  if (w > 0 && len > w) {
    put_stars(out, w);
    return;
  }
  const int total = std::max(w, len);
  char* p = out.room(static_cast<std::size_t>(total));
  char* end = p + total;
  fixed_digits_before(end, fp, d);
  char* q2 = end - d;
  *--q2 = '.';
  if (ni > 0) q2 = digits_before(q2, ip);
  if (sign == 1) *--q2 = neg ? '-' : '+';
  while (q2 > p) *--q2 = ' ';
  out.commit(static_cast<std::size_t>(total));
}

// Copies n <= 32 bytes with a few fixed-size moves (overlapping where n is
// between their sizes) instead of a library call.
inline void copy_short(char* dst, const char* src, std::size_t n) {
  if (n >= 16) {
    std::memcpy(dst, src, 16);
    std::memcpy(dst + n - 16, src + n - 16, 16);
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

void put_a_long(Line& out, std::string_view s, int w);

// Aw (w < 0: the whole text) after lead blanks: right-justified, or its
// first w characters.
[[gnu::always_inline]] inline void put_a(Line& out, std::size_t lead, std::string_view s, int w) {
  const std::size_t n = s.size();
  if (w > 0 && lead + static_cast<std::size_t>(w) <= kBlock) {
    const auto width = static_cast<std::size_t>(w);
    char* p = out.room(kBlock);
    if (n < width || lead != 0) std::memset(p, ' ', kBlock);
    if (n < width)
      copy_short(p + lead + (width - n), s.data(), n);
    else
      copy_short(p + lead, s.data(), width);
    out.commit(lead + width);
    return;
  }
  if (w < 0 && lead + n <= static_cast<std::size_t>(kBlock)) {
    char* p = out.room(kBlock);
    if (lead != 0) std::memset(p, ' ', kBlock);
    copy_short(p + lead, s.data(), n);
    out.commit(lead + n);
    return;
  }
  put_blanks(out, lead);
  put_a_long(out, s, w);
}

// Aw for texts and fields wider than kBlock.
[[gnu::noinline]] void put_a_long(Line& out, std::string_view s, int w) {
  const std::size_t n = s.size();
  if (w < 0) {
    out.add(s);
  } else if (n >= static_cast<std::size_t>(w)) {
    out.add(s.substr(0, static_cast<std::size_t>(w)));
  } else {
    char* p = out.room(static_cast<std::size_t>(w));
    const std::size_t blanks = static_cast<std::size_t>(w) - n;
    std::memset(p, ' ', blanks);
    std::memcpy(p + blanks, s.data(), n);
    out.commit(static_cast<std::size_t>(w));
  }
}

}  // namespace

IntText::IntText(long long v) {
  const std::uint64_t mag = v < 0 ? 0ULL - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
  char* end = buf_ + sizeof buf_;
  char* p = digits_before(end, mag);
  if (v < 0) *--p = '-';
  n_ = static_cast<std::size_t>(end - p);
}

bool Columns::fixed_field(double v, int w, int d) {
  // Written in place; the field writers store whole blocks of kBlock bytes,
  // within the slack after the line's room.
  if (w < 1 || w > kBlock) return false;
  Line field(p_, static_cast<std::size_t>(end_ - p_));
  put_f(field, v, w, d, false);
  if (!field.in(p_) || field.size() != static_cast<std::size_t>(w) || *p_ == '*') return false;
  p_ += w;
  return true;
}

std::string fmt_i(long long v, int w, int m, bool plus) {
  Line out;
  put_i(out, v, w, m, plus);
  return out.str();
}

std::string fmt_j(long long v, int w) {
  Line out;
  put_j(out, v, w, true);
  return out.str();
}

std::string fmt_f(double v, int w, int d, bool plus) {
  Line out;
  put_f(out, v, w, d, plus);
  return out.str();
}

std::string fmt_e(double v, int w, int d, bool plus) {
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

std::string fmt_a(std::string_view s, int w) {
  Line out;
  put_a(out, 0, s, w);
  return out.str();
}

// ---------------------------------------------------------------------------
// Format strings.
//
// A format is parsed once into a tree and then laid out flat: one operation
// per descriptor with its repeat count, a group as an opening operation that
// knows where it ends and a closing one that knows where it began. Writing a
// line is then one pass over an array.

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
      if (n > 99999999) bad_format(f_, "number too large");
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

struct Op {
  enum Kind : std::uint8_t { I, J, F, E, A, L, X, Lit, Slash, SP, SS, Dollar, Colon, Open, Close } kind = Lit;
  int rep = 1;
  int w = -1;
  int d = -1;
  std::uint32_t pre = 0;  // data descriptors: blanks of the X just before the first item
  std::uint32_t gap = 0;  // and before each further item
  std::uint32_t at = 0;   // Lit: its text in Program::text
  std::uint32_t len = 0;
  std::uint32_t jump = 0;  // Open: the operation after its Close; Close: its Open
};

// Groups nest no deeper than this (a format is program text, not data).
constexpr int kMaxDepth = 16;
// Literals up to this length are copied as one block.
constexpr std::uint32_t kLitBlock = 16;
// A group is written out repeat by repeat when that takes no more operations
// than this; beyond, it loops.
constexpr long long kUnrollOps = 96;

struct Program {
  std::string_view fmt;  // the format text (the cache's key)
  std::vector<Op> ops;
  std::string text;          // the literals, one after another
  std::uint32_t revert = 0;  // where format reversion starts again: the last top-level group
};

// The operations the nodes take when every group is written out; anything
// above kUnrollOps stands for "too many".
long long unrolled_size(const std::vector<Node>& nodes) {
  long long n = 0;
  for (const Node& k : nodes) {
    if (k.kind == Node::Group) {
      const long long body = k.rep > 0 ? unrolled_size(k.kids) : 0;
      if (body > kUnrollOps) return body;
      n += body * k.rep;  // below 10^8 times kUnrollOps
    } else {
      ++n;
    }
    if (n > kUnrollOps) return n;
  }
  return n;
}

// Lays the tree out flat. Blanks of X go into what follows: into a literal's
// text, or as the leading blanks of a data descriptor (written only when it
// takes an item, as X's blanks appear only when something follows). Where
// the line may be entered from elsewhere (a loop, the reversion point), they
// stay an operation of their own.
class LayOut {
 public:
  LayOut(std::string_view fmt, Program& p) : fmt_(fmt), p_(p) {}

  void nodes(const std::vector<Node>& list, int depth) {
    if (depth > kMaxDepth) bad_format(fmt_, "groups nested too deep");
    const Node* last_group = nullptr;  // at the top level: where reversion starts
    if (depth == 0)
      for (const Node& n : list)
        if (n.kind == Node::Group) last_group = &n;
    for (const Node& n : list) {
      if (n.kind == Node::Group) {
        group(n, depth, &n == last_group);
        continue;
      }
      Op o;
      o.rep = n.rep;
      o.w = n.w;
      o.d = n.d;
      switch (n.kind) {
        case Node::X:
          if (n.rep > 0) blanks_ += static_cast<std::uint32_t>(n.rep);
          continue;
        case Node::Lit: {
          // Texts in a row (79('-') written out) are one text: the last
          // literal's text ends the program's text, so this one extends it.
          const bool joins = !p_.ops.empty() && p_.ops.back().kind == Op::Lit && p_.ops.size() != entry_;
          const auto start = static_cast<std::uint32_t>(p_.text.size());
          p_.text.append(blanks_, ' ');
          p_.text += n.lit;
          blanks_ = 0;
          const auto len = static_cast<std::uint32_t>(p_.text.size()) - start;
          if (joins) {
            p_.ops.back().len += len;
          } else {
            o.kind = Op::Lit;
            o.at = start;
            o.len = len;
            p_.ops.push_back(o);
          }
          continue;
        }
        case Node::I: o.kind = Op::I; break;
        case Node::J: o.kind = Op::J; break;
        case Node::F: o.kind = Op::F; break;
        case Node::E: o.kind = Op::E; break;
        case Node::A: o.kind = Op::A; break;
        case Node::L: o.kind = Op::L; break;
        case Node::Slash: control(o, Op::Slash); continue;
        case Node::SP: control(o, Op::SP); continue;
        case Node::SS: control(o, Op::SS); continue;
        case Node::Dollar: control(o, Op::Dollar); continue;
        case Node::Colon: control(o, Op::Colon); continue;
        case Node::Group: continue;
      }
      o.pre = blanks_;
      blanks_ = 0;
      data(o);
    }
  }

  // The blanks left at the end: an operation, as they were.
  void finish() { put_blanks(); }

 private:
  // A data descriptor of one item joins the one before it when that is the
  // same descriptor with the same blanks between items (as 3(1x,i4) gives)
  // and the line is not entered between them.
  void data(Op o) {
    if (!p_.ops.empty() && o.rep == 1 && p_.ops.size() != entry_) {
      Op& last = p_.ops.back();
      if (last.kind == o.kind && last.w == o.w && last.d == o.d && last.rep >= 1 &&
          (last.rep == 1 || last.gap == o.pre)) {
        last.gap = o.pre;
        ++last.rep;
        return;
      }
    }
    p_.ops.push_back(o);
  }

  void group(const Node& n, int depth, bool reverts) {
    if (reverts) {
      put_blanks();  // the reversion comes back to what follows
      p_.revert = static_cast<std::uint32_t>(p_.ops.size());
      entry_ = p_.ops.size();
    }
    if (n.rep <= 0) return;
    const long long body = unrolled_size(n.kids);
    if (body <= kUnrollOps && body * n.rep <= kUnrollOps) {
      for (int r = 0; r < n.rep; ++r) nodes(n.kids, depth + 1);
      return;
    }
    put_blanks();  // the loop comes back to what follows
    const auto open = static_cast<std::uint32_t>(p_.ops.size());
    Op o;
    o.kind = Op::Open;
    o.rep = n.rep;
    p_.ops.push_back(o);
    nodes(n.kids, depth + 1);
    put_blanks();
    Op close;
    close.kind = Op::Close;
    close.jump = open;
    p_.ops.push_back(close);
    p_.ops[open].jump = static_cast<std::uint32_t>(p_.ops.size());
  }

  void control(Op o, Op::Kind k) {
    put_blanks();
    o.kind = k;
    p_.ops.push_back(o);
  }

  void put_blanks() {
    if (blanks_ == 0) return;
    Op o;
    o.kind = Op::X;
    o.rep = static_cast<int>(blanks_);
    blanks_ = 0;
    p_.ops.push_back(o);
  }

  std::string_view fmt_;
  Program& p_;
  std::uint32_t blanks_ = 0;
  std::size_t entry_ = SIZE_MAX;  // the reversion point, where no descriptor may join the one before
};

Program compile(std::string_view fmt) {
  Program p;
  LayOut lay(fmt, p);
  lay.nodes(Parser(fmt).parse(), 0);
  lay.finish();
  p.text.append(kLitBlock, '\0');
  return p;
}

[[noreturn]] [[gnu::noinline]] [[gnu::cold]] void mismatch(std::string_view fmt, std::size_t item, const char* d) {
  throw std::logic_error(std::string("format ") + std::string(fmt) + ": item " + std::to_string(item) +
                         " does not suit " + d);
}

class Writer {
 public:
  Writer(std::string_view fmt, const Program& prog, std::span<const Item> items, Line& out)
      : out_(out), fmt_(fmt), prog_(prog), items_(items.data()), count_(items.size()), record_start_(out.size()) {}

  // Runs the operations from the one at from to the end; false when the
  // items ran out at a data descriptor or a colon.
  bool run(std::uint32_t from) {
    const Op* ops = prog_.ops.data();
    const auto n = static_cast<std::uint32_t>(prog_.ops.size());
    struct Frame {
      std::uint32_t open;
      int left;
    };
    Frame stack[kMaxDepth + 1];
    int depth = 0;
    for (std::uint32_t k = from; k < n; ++k) {
      const Op& o = ops[k];
      switch (o.kind) {
        case Op::Open:
          if (o.rep <= 0) {
            k = o.jump - 1;
            continue;
          }
          stack[depth++] = Frame{k, o.rep};
          continue;
        case Op::Close:
          if (--stack[depth - 1].left > 0)
            k = stack[depth - 1].open;
          else
            --depth;
          continue;
        case Op::Lit:
          flush();
          literal(o);
          continue;
        case Op::X:
          pending_ += static_cast<std::size_t>(o.rep);  // blanks appear when something follows
          continue;
        case Op::Slash:
          for (int r = 0; r < o.rep; ++r) end_record();
          continue;
        case Op::SP:
          if (o.rep > 0) plus_ = true;
          continue;
        case Op::SS:
          if (o.rep > 0) plus_ = false;
          continue;
        case Op::Dollar:
          if (o.rep > 0) dollar = true;
          continue;
        case Op::Colon:
          if (o.rep > 0 && next >= count_) return false;
          continue;
        case Op::I: {
          std::size_t lead = pending_ + o.pre;  // X blanks before the field, written with it
          pending_ = 0;
          for (int r = 0; r < o.rep; ++r, lead = o.gap) {
            const Item* it = take(Item::Int, "I");
            if (it == nullptr) return false;
            if (o.d >= 0 || plus_ || !put_i_short(out_, lead, it->i, o.w)) {
              put_blanks(out_, lead);
              put_i(out_, it->i, o.w, o.d, plus_);
            }
          }
          continue;
        }
        case Op::J: {
          std::size_t lead = pending_ + o.pre;
          pending_ = 0;
          for (int r = 0; r < o.rep; ++r, lead = o.gap) {
            const Item* it = take(Item::Int, "J");
            if (it == nullptr) return false;
            if (!put_i_short(out_, lead, it->i, o.w)) {
              put_blanks(out_, lead);
              put_j(out_, it->i, o.w, out_.size() > record_start_ && out_.back() != ' ');
            }
          }
          continue;
        }
        case Op::F: {
          std::size_t lead = pending_ + o.pre;
          pending_ = 0;
          for (int r = 0; r < o.rep; ++r, lead = o.gap) {
            const Item* it = take(Item::Real, "F");
            if (it == nullptr) return false;
            if (!put_f_short(out_, lead, it->r, o.w, o.d, plus_)) {
              put_blanks(out_, lead);
              put_f(out_, it->r, o.w, o.d, plus_);
            }
          }
          continue;
        }
        case Op::E: {
          std::size_t lead = pending_ + o.pre;
          pending_ = 0;
          for (int r = 0; r < o.rep; ++r, lead = o.gap) {
            const Item* it = take(Item::Real, "E");
            if (it == nullptr) return false;
            put_blanks(out_, lead);
            out_.add(fmt_e(it->r, o.w, o.d, plus_));
          }
          continue;
        }
        case Op::A: {
          std::size_t lead = pending_ + o.pre;
          pending_ = 0;
          for (int r = 0; r < o.rep; ++r, lead = o.gap) {
            const Item* it = take(Item::Str, "A");
            if (it == nullptr) return false;
            put_a(out_, lead, it->s(), o.w);
          }
          continue;
        }
        case Op::L: {
          std::size_t lead = pending_ + o.pre;
          pending_ = 0;
          for (int r = 0; r < o.rep; ++r, lead = o.gap) {
            const Item* it = take(Item::Log, "L");
            if (it == nullptr) return false;
            put_a(out_, lead, it->b ? "T" : "F", o.w);
          }
          continue;
        }
      }
    }
    return true;
  }

  void end_record() {
    pending_ = 0;
    out_.add('\n');
    record_start_ = out_.size();
  }

  bool dollar = false;
  std::size_t next = 0;

 private:
  // The next item for a data descriptor; nullptr when the items ran out
  // (the blanks before it are then not written).
  const Item* take(Item::Kind k, const char* d) {
    if (next >= count_) [[unlikely]]
      return nullptr;
    const Item* it = items_ + next++;
    if (it->kind != k) [[unlikely]]
      mismatch(fmt_, next, d);  // counted from 1
    return it;
  }

  void flush() {
    if (pending_ == 0) [[likely]]
      return;
    put_blanks(out_, pending_);
    pending_ = 0;
  }

  // The literal texts are followed by kLitBlock spare bytes in the program,
  // so a short one is copied as one block.
  void literal(const Op& o) {
    const char* src = prog_.text.data() + o.at;
    if (o.len <= kLitBlock) {
      std::memcpy(out_.room(kLitBlock), src, kLitBlock);
      out_.commit(o.len);
    } else {
      out_.add(std::string_view(src, o.len));
    }
  }

  Line& out_;
  std::string_view fmt_;
  const Program& prog_;
  const Item* items_;
  std::size_t count_;
  bool plus_ = false;
  std::size_t pending_ = 0;
  std::size_t record_start_ = 0;
};

// A run writes millions of lines with a few hundred formats: each is
// compiled once. This is the one piece of state kept between calls, and it
// is pure memoisation: what a format writes depends on its text alone, never
// on what was compiled before, so no run can see another's. Per thread, so
// that no two threads share it; bounded, for formats built at run time. (A
// compiled format per call site would need a different argument at every
// call: formats come as plain text, also through to_lst and its kin.)
struct TextHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

// A compiled format. Stable: it stays where it is for the rest of the thread's
// life, so that a record may name it (the cache holds up to kCacheSize
// formats and then compiles further ones at each use).
struct Compiled {
  const Program* program;
  bool stable;
};
constexpr std::size_t kCacheSize = 4096;

// The loaded segments of the program itself that are never written: the
// string literals lie there, and a text there never changes.
struct Span {
  std::uintptr_t lo, hi;
};
const std::vector<Span>& read_only_spans() {
  static const std::vector<Span> spans = [] {
    std::vector<Span> v;
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data) -> int {
          auto& out = *static_cast<std::vector<Span>*>(data);
          for (int i = 0; i < info->dlpi_phnum; ++i) {
            const auto& ph = info->dlpi_phdr[i];
            if (ph.p_type == PT_LOAD && (ph.p_flags & PF_W) == 0)
              out.push_back({info->dlpi_addr + ph.p_vaddr, info->dlpi_addr + ph.p_vaddr + ph.p_memsz});
          }
          return 1;  // the program comes first; the libraries do not matter
        },
        &v);
    return v;
  }();
  return spans;
}

bool never_written(std::string_view s) {
  const auto lo = reinterpret_cast<std::uintptr_t>(s.data());
  for (const Span& r : read_only_spans())
    if (lo >= r.lo && lo < r.hi && s.size() <= r.hi - lo) return true;
  return false;
}

Compiled compiled(std::string_view fmt) {
  // A literal met before: found by its address alone.
  if (const void* known = detail::known_program(fmt)) [[likely]]
    return {static_cast<const Program*>(known), true};
  thread_local std::unordered_map<std::string, Program, TextHash, std::equal_to<>> cache;
  // Other formats that lie at a fixed address: a small table by address
  // answers before the text is hashed, the text compared, since a format
  // built at run time may reuse an address. Two entries per address class,
  // the one used last first, so that two formats in turn do not push each
  // other out.
  struct Recent {
    const char* at = nullptr;
    std::string_view text;
    const Program* program = nullptr;
  };
  thread_local std::array<std::array<Recent, 2>, 256> recent{};
  auto& set = recent[(reinterpret_cast<std::uintptr_t>(fmt.data()) >> 3) % recent.size()];
  if (set[0].at == fmt.data() && set[0].text == fmt) return {set[0].program, true};
  if (set[1].at == fmt.data() && set[1].text == fmt) {
    std::swap(set[0], set[1]);
    return {set[0].program, true};
  }
  auto it = cache.find(fmt);
  if (it == cache.end()) {
    if (cache.size() >= kCacheSize) {
      thread_local Program spare;
      thread_local std::string spare_text;
      spare_text.assign(fmt);
      spare = compile(spare_text);
      spare.fmt = spare_text;
      return {&spare, false};
    }
    it = cache.emplace(std::string(fmt), compile(fmt)).first;
    it->second.fmt = it->first;
  }
  if (never_written(fmt)) {
    detail::KnownSet& known = detail::known_set(fmt.data());
    known[1] = known[0];
    known[0] = detail::KnownLiteral{fmt.data(), fmt.size(), &it->second};
  } else {
    set[1] = set[0];
    set[0] = Recent{fmt.data(), it->first, &it->second};
  }
  return {&it->second, true};
}

void format_program(Line& out, const Program& p, std::span<const Item> items) {
  const std::string_view fmt = p.fmt;
  Writer w(fmt, p, items, out);
  std::uint32_t from = 0;
  for (;;) {
    const std::size_t before = w.next;
    if (!w.run(from)) break;
    if (w.next >= items.size()) break;
    if (w.next == before) throw std::logic_error("format " + std::string(fmt) + " takes no items");
    w.end_record();
    from = p.revert;
  }
  if (!w.dollar) out.add('\n');
}

void format_line(Line& out, std::string_view fmt, std::span<const Item> items) {
  format_program(out, *compiled(fmt).program, items);
}

}  // namespace

void format_append(std::string& out, std::string_view fmt, std::span<const Item> items) {
  Line line;
  format_line(line, fmt, items);
  out += line.view();
}

std::string format_items(std::string_view fmt, std::span<const Item> items) {
  Line line;
  format_line(line, fmt, items);
  return line.str();
}

namespace {

// The put area of any stream buffer, for writing a line straight into it.
// The members are protected; naming them through a class derived from
// std::streambuf gives member pointers that apply to every stream buffer.
struct PutArea : std::streambuf {
  static char* next(std::streambuf* b) { return (b->*&PutArea::pptr)(); }
  static char* end(std::streambuf* b) { return (b->*&PutArea::epptr)(); }
  static void advance(std::streambuf* b, int n) { (b->*&PutArea::pbump)(n); }
};

// Lines are built in the stream's buffer when it has this much room left.
constexpr std::size_t kMinRoom = 512;

// Hands the write over to the stream's RecordBuf; false when it has none or
// the write cannot be recorded.
bool record(std::ostream& os, std::string_view fmt, std::span<const Item> items) {
  RecordBuf* rb = RecordBuf::of(os);
  if (rb == nullptr) [[likely]]
    return false;
  return detail::put_record(*rb, fmt, [&](auto& adder) {
    for (const Item& it : items) adder.push_back(it);
  });
}

}  // namespace

void RecordBuf::attach(std::ostream& os, RecordBuf* buf) { os.pword(kSlot) = buf; }

char* RecordBuf::room_in_next_block(std::size_t n) {
  if (block_ == nullptr || n > detail::kMaxRecord || n + 2 * kHead > static_cast<std::size_t>(end_ - block_)) return nullptr;
  block_full();
  return block_;
}

int RecordBuf::overflow(int c) {
  if (block_ == nullptr) return traits_type::eof();
  block_full();
  if (c != traits_type::eof()) {
    *pptr() = static_cast<char>(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

std::streamsize RecordBuf::xsputn(const char* s, std::streamsize n) {
  if (block_ == nullptr) return 0;
  std::streamsize left = n;
  while (left > 0) {
    if (pptr() == epptr()) block_full();
    const auto room = static_cast<std::streamsize>(epptr() - pptr());
    const std::streamsize k = left < room ? left : room;
    std::memcpy(pptr(), s, static_cast<std::size_t>(k));
    pbump(static_cast<int>(k));
    s += k;
    left -= k;
  }
  return n;
}

thread_local constinit std::array<detail::KnownSet, std::size_t{1} << detail::kKnownSetBits> detail::known_literals{};

const void* detail::find_record_program(std::string_view fmt) {
  const Compiled c = compiled(fmt);
  return c.stable ? c.program : nullptr;
}

std::string_view format_record(const char* rec, std::size_t n, char* room, std::size_t cap, std::string& spill) {
  using detail::kRecordHead;
  if (n < kRecordHead) throw std::logic_error("record cut short");
  const Program* prog = nullptr;
  std::uint32_t count = 0;
  std::memcpy(&prog, rec, sizeof prog);
  std::memcpy(&count, rec + sizeof prog, 4);
  const char* p = rec + kRecordHead;
  const char* end = rec + n;
  // The items, on the stack for the usual record.
  constexpr std::uint32_t kInline = 64;
  Item local[kInline];  // trivial: not initialised before the items are written
  thread_local std::vector<Item> heap;
  if (count > kInline) heap.resize(count);
  const std::span<Item> items(count > kInline ? heap.data() : local, count);
  for (Item& it : items) {
    if (p >= end) throw std::logic_error("record cut short");
    it.kind = static_cast<Item::Kind>(*p++);
    it.b = false;
    switch (it.kind) {
      case Item::Int:
        std::memcpy(&it.i, p, 8);
        p += 8;
        break;
      case Item::Real:
        std::memcpy(&it.r, p, 8);
        p += 8;
        break;
      case Item::Str: {
        std::uint32_t len = 0;
        std::memcpy(&len, p, 4);
        it.t = Item::Text{p + 4, len};
        p += 4 + len;
        break;
      }
      case Item::Log:
        it.i = 0;
        it.b = *p++ != 0;
        break;
      default:
        throw std::logic_error("record of an unknown item");
    }
  }
  if (p != end) throw std::logic_error("record of the wrong length");
  if (cap > static_cast<std::size_t>(INT_MAX)) cap = static_cast<std::size_t>(INT_MAX);
  Line line(room, cap);
  format_program(line, *prog, items);
  if (line.in(room)) return {room, line.size()};
  spill.assign(line.view());
  return spill;
}

void write_items(std::ostream& os, std::string_view fmt, std::span<const Item> items) {
  // A stream in error writes nothing; a short write marks it bad, as the
  // stream would.
  if (!os.good()) [[unlikely]] {
    os.setstate(std::ios::badbit);
    return;
  }
  if (record(os, fmt, items)) return;
  std::streambuf* sb = os.rdbuf();
  char* room = PutArea::next(sb);
  const auto free = room == nullptr ? 0 : static_cast<std::size_t>(PutArea::end(sb) - room);
  if (free >= kMinRoom && free <= static_cast<std::size_t>(INT_MAX)) [[likely]] {
    // Straight into the stream's buffer; the line counts once it is whole.
    Line line(room, free);
    format_line(line, fmt, items);
    if (line.in(room))
      PutArea::advance(sb, static_cast<int>(line.size()));
    else if (sb->sputn(line.view().data(), static_cast<std::streamsize>(line.size())) !=
             static_cast<std::streamsize>(line.size()))
      os.setstate(std::ios::badbit);
  } else {
    Line line;
    format_line(line, fmt, items);
    const auto n = static_cast<std::streamsize>(line.size());
    if (sb->sputn(line.view().data(), n) != n) os.setstate(std::ios::badbit);
  }
  if (os.flags() & std::ios::unitbuf) os.flush();
}

// ---------------------------------------------------------------------------
// Input.

namespace {

// Splits a number word into mantissa and exponent text; false on bad syntax.
bool split_number(std::string_view w, std::string& normal) {
  std::size_t i = 0, n = w.size();
  normal.clear();
  if (i < n && (w[i] == '+' || w[i] == '-')) {
    if (w[i] == '-') normal.push_back('-');
    ++i;
  }
  int digits = 0;
  bool point = false;
  while (i < n) {
    char c = w[i];
    if (std::isdigit(static_cast<unsigned char>(c))) {
      ++digits;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
    normal.push_back(c);
    ++i;
  }
  if (digits == 0) return false;
  if (i == n) return true;
  char c = static_cast<char>(std::toupper(static_cast<unsigned char>(w[i])));
  if (c == 'E' || c == 'D' || c == 'Q') {
    ++i;
  } else if (c != '+' && c != '-') {
    return false;
  }
  normal.push_back('e');
  if (i < n && (w[i] == '+' || w[i] == '-')) {
    normal.push_back(w[i]);
    ++i;
  }
  int edigits = 0;
  while (i < n && std::isdigit(static_cast<unsigned char>(w[i]))) {
    normal.push_back(w[i]);
    ++i;
    ++edigits;
  }
  return edigits > 0 && i == n;
}

}  // namespace

bool is_fixed_number(std::string_view word) {
  std::string normal;
  return split_number(word, normal);
}

bool parse_real(std::string_view word, double& out) {
  std::string normal;
  if (!split_number(word, normal)) return false;
  double d = 0;
  auto r = std::from_chars(normal.data(), normal.data() + normal.size(), d);
  if (r.ec == std::errc::result_out_of_range) {
    // underflow reads as zero; overflow is an error
    auto e = normal.find('e');
    if (e != std::string::npos && normal[e + 1] == '-') {
      out = 0.0;
      return true;
    }
    return false;
  }
  if (r.ec != std::errc() || r.ptr != normal.data() + normal.size()) return false;
  out = d;
  return true;
}

bool parse_real(std::string_view word, float& out) {
  std::string normal;
  if (!split_number(word, normal)) return false;
  float f = 0;
  auto r = std::from_chars(normal.data(), normal.data() + normal.size(), f);
  if (r.ec == std::errc() && r.ptr == normal.data() + normal.size()) {
    out = f;
    return true;
  }
  if (r.ec != std::errc::result_out_of_range) return false;
  double d = 0;
  if (!parse_real(word, d)) return false;
  if (std::fabs(d) > static_cast<double>(FLT_MAX)) return false;
  out = static_cast<float>(d);
  return true;
}

bool parse_int(std::string_view word, int& out) {
  std::size_t i = 0;
  bool neg = false;
  if (i < word.size() && (word[i] == '+' || word[i] == '-')) {
    neg = word[i] == '-';
    ++i;
  }
  if (i == word.size()) return false;
  long long v = 0;
  for (; i < word.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(word[i]))) return false;
    v = v * 10 + (word[i] - '0');
    if (v > 2147483648LL) return false;
  }
  if (neg) v = -v;
  if (v > 2147483647LL || v < -2147483648LL) return false;
  out = static_cast<int>(v);
  return true;
}

namespace {
bool is_sep(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
}  // namespace

void ListReader::advance_after_value() {
  while (pos_ < text_.size() && is_sep(text_[pos_])) ++pos_;
  if (pos_ < text_.size() && text_[pos_] == ',') ++pos_;
}

// Sets w to the next value text (empty for a null value); false at the end.
bool ListReader::next_word(std::string_view& w) {
  if (repeat_left_ > 0) {
    --repeat_left_;
    w = repeat_value_;
    return true;
  }
  if (ended_) return false;
  while (pos_ < text_.size() && is_sep(text_[pos_])) ++pos_;
  if (pos_ >= text_.size()) return false;
  if (text_[pos_] == '/') {
    ended_ = true;
    return false;
  }
  if (text_[pos_] == ',') {
    ++pos_;
    w = {};
    return true;
  }
  std::size_t start = pos_;
  while (pos_ < text_.size() && !is_sep(text_[pos_]) && text_[pos_] != ',' && text_[pos_] != '/') ++pos_;
  w = text_.substr(start, pos_ - start);
  advance_after_value();
  auto star = w.find('*');
  if (star != std::string_view::npos && star > 0) {
    int r = 0;
    if (parse_int(w.substr(0, star), r) && r > 0 && w[0] != '+' && w[0] != '-') {
      repeat_value_ = w.substr(star + 1);
      repeat_left_ = r - 1;
      w = repeat_value_;
    }
  }
  return true;
}

bool ListReader::next(double& x) {
  std::string_view w;
  if (!next_word(w)) return false;
  if (w.empty()) return true;
  return parse_real(w, x);
}

bool ListReader::next(float& x) {
  std::string_view w;
  if (!next_word(w)) return false;
  if (w.empty()) return true;
  return parse_real(w, x);
}

bool ListReader::next(int& x) {
  std::string_view w;
  if (!next_word(w)) return false;
  if (w.empty()) return true;
  return parse_int(w, x);
}

int ListReader::count_left() const {
  ListReader copy = *this;
  int n = 0;
  std::string_view w;
  while (copy.next_word(w)) ++n;
  return n;
}

}  // namespace ff
