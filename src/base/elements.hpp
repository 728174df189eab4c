// Element tables: symbols 1..109, covalent radii 1..103 and the
// label-to-atomic-number rule every reader uses.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace vorn {

// Elements with a symbol: every element iatnum can return (H to Mt).
constexpr int NSYM_ELEMENTS = 109;
// Elements with a covalent radius: H to Lr, the elements VORN sets up.
constexpr int NCOVRAD = 103;
// The radii the options summary lists (H to Xe), in the listing's layout.
constexpr int NLISTED_RADII = 54;

// Two-character symbol of element z (a one-letter symbol is followed by a
// blank); "  " outside 1..NSYM_ELEMENTS.
std::string atsym(int z);

// The initial covalent radii, index 1..NCOVRAD (entry 0 unused). H to Xe
// are the program's own table; Cs to Cm are those of Cordero et al., Dalton
// Trans. 2008, 2832, and Bk to Lr, which that table lacks, the single-bond
// radii of Pyykko and Atsumi, Chem. Eur. J. 2009, 15, 186.
const std::array<float, NCOVRAD + 1>& default_covrad();

// Atomic number 0..109 from the first two characters of a label; 0 when not
// recognised. Case is ignored; a two-letter symbol wins over a one-letter one.
int iatnum(std::string_view label);

}  // namespace vorn
