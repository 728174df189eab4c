// SHELX instruction and result files (.ins, .res).
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/run.hpp"

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

}  // namespace vorn
