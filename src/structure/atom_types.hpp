// Atoms and the atom-type list of the readers that give only Cartesian
// positions and have no SFAC list of their own (PLATON, AIM2TAB).
#pragma once

#include <string>

#include "model/run.hpp"

namespace vorn {

// at_types = the distinct atomic numbers of atoms 1..nat, in order of first
// appearance (none when there are no atoms). These readers know an atom's
// element only from the first two letters of its label, and a label such as
// HO1 (a hydroxyl H) or NO1 names holmium or nobelium: each element beyond
// xenon found so is named in a warning (standard output and listing), with
// its atoms.
void collect_types(Run& run);

// Atom i of a Cartesian-only reader: label, position in Angstrom, element from
// the label, full occupancy, no displacement parameters, lmax 2 for hydrogen
// and 4 otherwise.
void set_cartesian_atom(Run& run, int i, const std::string& label, const Vec3& xc);

}  // namespace vorn
