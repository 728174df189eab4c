// Electron configurations of the elements H to Lr as the SCAT table of the
// XD master file gives them, and the valence counts that follow from them.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace vorn {

// The heaviest element the SCAT line is written for (Lr): the line has a
// column for every orbital up to 5F. XD reads the element's wavefunctions
// from the user's bank, which must cover it.
constexpr int MAXSCATZ = 103;

// Core (positive) and valence (negative) occupancies of an element for the
// SCAT table, orbitals 1S 2S 3S 4S 2P 3P 4P 3D 4D 4F 5S 5P 6S 6P 5D 7S 6D 5F.
// All zero outside 1..MAXSCATZ: such an element has no SCAT line of its own.
std::array<int, 18> GetSFT(int z);

// Valence electrons of the element's SCAT line (the sum of its negative
// occupancies); 0 outside 1..MAXSCATZ.
int scat_valence(int z);

// Stops the run for an atom of an element that no SCAT line covers:
// routine, the atom's label and where it was read ("file x.res, line 12").
void require_scat(int z, std::string_view routine, std::string_view atom, const std::string& where);

}  // namespace vorn
