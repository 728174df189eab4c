// Which structure format a file holds, told from its content, so that a
// control file can be started for it (vorn --init) without asking.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "model/options.hpp"

namespace vorn {

struct StructureKind {
  Format format = FMT_NONE;
  // CIF: the data blocks in file order, and the first that has atom sites
  // (the one read when INPUT names none; "" when none has).
  std::vector<std::string> cif_blocks;
  std::string cif_atom_block;
  // XD: true for the parameter file (XDPARFILE), false for the master file.
  bool xd_parameters = false;
};

// The format of the file's text: a CIF (a data block and items), an XD
// parameter file (XDPARFILE first) or master file (MODULE sections), an
// AIM2TAB output (its atom-count line), a SHELX file (CELL with SFAC, UNIT,
// LATT, FVAR or HKLF), a PLATON file (ATOM lines); FMT_NONE when none fits.
StructureKind structure_kind(const std::string& text);

}  // namespace vorn
