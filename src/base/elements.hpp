// Element tables: symbols 1..92, covalent radii 1..54 and the
// label-to-atomic-number rule every reader uses.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace vorn {

constexpr int NSYM_ELEMENTS = 92;
constexpr int NCOVRAD = 54;

// Two-character symbol of element z (a one-letter symbol is followed by a
// blank); "  " outside 1..92.
std::string atsym(int z);

// The initial covalent radii, index 1..54 (entry 0 unused).
const std::array<float, NCOVRAD + 1>& default_covrad();

// Atomic number 0..109 from the first two characters of a label; 0 when not
// recognised. Case is ignored; a two-letter symbol wins over a one-letter one.
int iatnum(std::string_view label);

}  // namespace vorn
