// SHELX instruction and result files (.ins, .res).
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "control/run.hpp"

namespace vorn {

// Reads the structure file into the atom table, writes the head of the XD
// master file and of the MoPro parameter file.
void ReadShelx(Run& run, const std::string& fname);

// Pieces of the XD master-file and MoPro heads that every reader of a
// fractional structure writes the same way: the banner of xd_vorn.mas; the
// head of its least-squares module with the SCAT table of the atom types;
// the symmetry block of mopro_vorn.par (lattice letter, "CENTRO" for an
// inversion at the origin, the identity and the card texts) with the fixed
// lines after it.
void write_mas_banner(Run& run);
void write_mas_module(Run& run);
void write_mopro_symmetry(Run& run, char letter, bool centro, const std::vector<std::string>& cards);

// Core (positive) and valence (negative) occupancies of an element for the
// SCAT table, orbitals 1S 2S 3S 4S 2P 3P 4P 3D 4D 4F 5S 5P 6S 6P 5D 7S 6D 5F.
// Elements beyond Kr other than iodine stop the run.
std::array<int, 18> GetSFT(int z);

}  // namespace vorn
