// Small-molecule CIF files (the crystallographer's exchange format), read
// with gemmi: cell, wavelength, the symmetry-operator list and the atom
// sites of one data block.
#pragma once

#include <filesystem>
#include <string>

#include "model/run.hpp"

namespace vorn {

// Reads the data block named block (any case, with or without "data_"; ""
// for the first block that has atom sites) into the tables the SHELX reader
// fills, and writes the same heads of the XD master file and of the MoPro
// parameter file.
void ReadCif(Run& run, const std::string& fname, const std::string& block);

// True when the file reads as a CIF: a line that opens a data block
// ("data_...") and a line that starts with an item name ("_cell..."). No
// other structure format has either.
bool looks_like_cif(const std::filesystem::path& path);

}  // namespace vorn
