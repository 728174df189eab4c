#include "base/text.hpp"

#include <cctype>
#include <cstdint>
#include <cstring>

namespace vorn {

std::string pad(std::string_view s, std::size_t n) {
  std::string r;
  pad_into(r, s, n);
  return r;
}

void pad_into(std::string& out, std::string_view s, std::size_t n) {
  out.assign(s.substr(0, n));
  out.resize(n, ' ');
}

bool same_padded(std::string_view a, std::string_view b, std::size_t n) {
  for (std::size_t k = 0; k < n; ++k) {
    const char ca = k < a.size() ? a[k] : ' ';
    const char cb = k < b.size() ? b[k] : ' ';
    if (ca != cb) return false;
  }
  return true;
}

std::string_view rtrim(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0 && s[n - 1] == ' ') --n;
  return s.substr(0, n);
}

namespace {

// The n characters at p in upper case, eight at a time: in each byte below
// 128 that lies in a..z, the 32 bit is cleared.
void upper_in_place(char* p, std::size_t n) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
  constexpr std::uint64_t kHigh = kOnes * 0x80;
  std::size_t k = 0;
  for (; k + 8 <= n; k += 8) {
    std::uint64_t x;
    std::memcpy(&x, p + k, 8);
    const std::uint64_t low7 = x & ~kHigh;
    const std::uint64_t from_a = low7 + kOnes * (0x80 - 'a');      // high bit: at least 'a'
    const std::uint64_t past_z = low7 + kOnes * (0x80 - 'z' - 1);  // high bit: beyond 'z'
    const std::uint64_t lower = from_a & ~past_z & ~x & kHigh;
    x ^= lower >> 2;
    std::memcpy(p + k, &x, 8);
  }
  for (; k < n; ++k) p[k] = upper(p[k]);
}

}  // namespace

std::string upper(std::string_view s) {
  std::string r(s);
  upper_in_place(r.data(), r.size());
  return r;
}

void assign_upper(std::string& out, std::string_view s) {
  out.assign(s);
  upper_in_place(out.data(), out.size());
}

std::string lower(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

std::string printable(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (static_cast<unsigned char>(c) < 32 || c == 127) c = '?';
  return r;
}

bool starts_padded(std::string_view text, std::string_view key) {
  for (std::size_t k = 0; k < key.size(); ++k) {
    char c = k < text.size() ? text[k] : ' ';
    if (c != key[k]) return false;
  }
  return true;
}

}  // namespace vorn
