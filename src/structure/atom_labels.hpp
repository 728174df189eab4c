// The labels of the read atoms: one rule for SHELX and CIF input, and every
// label unique within the eight characters the output files give it.
//
// An atom's name (as the file gives it, in upper case; a SHELX atom inside
// RESI n gets "_n" appended, as SHELXL names it in its CIF) becomes the
// element symbol followed by the rest of the name in parentheses: C12 is
// C(12), C4 of residue 12 is C(4_12). Parentheses already in the name are
// not doubled (P(1) stays P(1)). A label that is then taken by an earlier
// atom, does not fit eight characters, or has nothing in its parentheses
// (a name without a number) becomes the element symbol with the smallest
// number that labels no other atom: C(1), C(2), ...
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/run.hpp"

namespace vorn {

// The label the rule makes of a name before labels are compared: the
// element part (the first one or two characters of the name, as many as the
// symbol of element iz has), then the rest without parentheses, in
// parentheses. Not cut: it may be longer than eight characters.
std::string name_label(std::string_view name, int iz);

// The name of a SHELX atom as its label is made from it: "_n" appended
// inside residue n.
std::string residue_name(std::string_view name, int resnum);

// Makes the labels of atoms 1..nat unique and eight characters wide: a
// label kept as formed when it is well formed and not taken by an earlier
// atom, otherwise the element with a free number. Labels on entry are as
// the reader formed them (by name_label, or by the renaming of *rename),
// not cut. Returns the atoms whose label is not the plain form of their
// name (or, with renaming, not the label the renaming gave).
std::vector<int> settle_labels(Run& run);
// Those atoms to the listing: name in the file, residue, label.
void print_label_changes(Run& run, const std::vector<int>& atoms);

}  // namespace vorn
