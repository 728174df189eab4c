#include "control/text.hpp"

#include <cctype>

namespace vorn {

std::string pad(std::string_view s, std::size_t n) {
  std::string r(s.substr(0, n));
  r.resize(n, ' ');
  return r;
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

std::string upper(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return r;
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
