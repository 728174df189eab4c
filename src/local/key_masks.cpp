#include "local/key_masks.hpp"

#include "base/text.hpp"

namespace vorn {

namespace {

struct SiteMask {
  std::string_view sitesym;
  std::string_view mask;
};

// The rows the chemical rules use come first; the crystallographic point
// groups a site of the crystal can have follow. A cubic group keeps only
// the harmonics that are invariant one by one: its invariant hexadecapole
// (H40 and H44+ in a fixed ratio) is no single harmonic, so it stays fixed.
constexpr SiteMask kMasks[] = {
    {"NO", "10 111 11111 1111111 111111111"},    {"C", "10 000 11111 0000000 111111111"},
    {"2", "10 001 10011 1001100 100110011"},     {"m", "10 110 10011 0110011 100110011"},
    {"2/m", "10 000 10011 0000000 100110011"},   {"222", "10 000 10010 0000100 100100010"},
    {"mm2", "10 001 10010 1001000 100100010"},   {"mmm", "10 000 10010 0000000 100100010"},
    {"4", "10 001 10000 1000000 100000011"},     {"-42m", "10 000 10000 0001000 100000010"},
    {"3", "10 001 10000 1000011 100001100"},     {"3m", "10 001 10000 1000010 100001000"},
    {"cyl", "10 001 10000 1000000 100000000"},   {"-1", "10 000 11111 0000000 111111111"},
    {"-4", "10 000 10000 0001100 100000011"},    {"4/m", "10 000 10000 0000000 100000011"},
    {"422", "10 000 10000 0000000 100000010"},   {"4mm", "10 001 10000 1000000 100000010"},
    {"4/mmm", "10 000 10000 0000000 100000010"}, {"-3", "10 000 10000 0000000 100001100"},
    {"32", "10 000 10000 0000010 100000100"},    {"-3m", "10 000 10000 0000000 100001000"},
    {"6", "10 001 10000 1000000 100000000"},     {"-6", "10 000 10000 0000011 100000000"},
    {"6/m", "10 000 10000 0000000 100000000"},   {"622", "10 000 10000 0000000 100000000"},
    {"6mm", "10 001 10000 1000000 100000000"},   {"-6m2", "10 000 10000 0000010 100000000"},
    {"6/mmm", "10 000 10000 0000000 100000000"}, {"23", "10 000 00000 0000100 000000000"},
    {"m-3", "10 000 00000 0000000 000000000"},   {"432", "10 000 00000 0000000 000000000"},
    {"-43m", "10 000 00000 0000100 000000000"},  {"m-3m", "10 000 00000 0000000 000000000"},
    {"cyl/m", "10 000 10000 0000000 100000000"},
};

}  // namespace

std::string_view key_flag_name(int k) {
  static constexpr std::string_view names[] = {"M0",   "D11+", "D11-", "D10",  "Q20",  "Q21+", "Q21-",
                                               "Q22+", "Q22-", "O30",  "O31+", "O31-", "O32+", "O32-",
                                               "O33+", "O33-", "H40",  "H41+", "H41-", "H42+", "H42-",
                                               "H43+", "H43-", "H44+", "H44-"};
  return k >= 0 && k < 25 ? names[k] : std::string_view();
}

std::pair<int, int> key_flag_lm(int k) {
  if (k <= 0) return {0, 0};
  if (k <= 3) return {1, k == 1 ? 1 : k == 2 ? -1 : 0};
  int l = 2, first = 4;
  while (k >= first + 2 * l + 1) {
    first += 2 * l + 1;
    ++l;
  }
  const int j = k - first;  // 0: l0; then the + and - harmonic of each m
  if (j == 0) return {l, 0};
  const int m = (j + 1) / 2;
  return {l, j % 2 == 1 ? m : -m};
}

bool key_flag(std::string_view mask, int k) {
  if (k == 0) return mask.size() > 1 && mask[1] == '1';
  int seen = 0;
  for (std::size_t p = 3; p < mask.size(); ++p) {
    if (mask[p] == ' ') continue;
    if (++seen == k) return mask[p] == '1';
  }
  return false;
}

std::string_view key_mask(std::string_view sitesym) {
  // The site symmetry is stored padded to 5; any other length matches no mask.
  if (sitesym.size() != 5) return {};
  for (const SiteMask& m : kMasks)
    if (same_padded(m.sitesym, sitesym, 5)) return m.mask;
  return {};
}

}  // namespace vorn
