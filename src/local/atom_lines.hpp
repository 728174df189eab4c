// After the axes of an atom are chosen: its kappa set and chemical
// constraint, its lines in the XD master file, the MoPro files and the
// drawing file, and its parameters (from the databank or by default).
#pragma once

#include "model/run.hpp"

namespace vorn {

struct AtomFacts {
  bool disordered = false;
  bool disordered_neighbor = false;
};

void atom_lines(Run& run, int atom, const AtomFacts& facts);

// The atom's axis references in its line of the master file's atom table
// (run.atom_table), its MoPro axis line and its multipole record; equiv is
// the atom its chemical constraint names, or 0.
void refer_axes(Run& run, int atom, const LocalAxes& axes, int equiv);

// Index of the atom or dummy with this label: an atom 1..nat, or nat + the
// dummy's number (a dummy label wins); 0 when none.
int axis_index(const Run& run, const std::string& label);

// The MoPro name of a label: "UM" and the brackets removed (DUM3 -> D3,
// C(1) -> C1), 10 characters.
std::string mopro_name(const std::string& label);

}  // namespace vorn
