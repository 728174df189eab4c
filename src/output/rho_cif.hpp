// vorn_rho.cif: the multipole model of the run in the field's exchange
// format for charge densities (the electron-density dictionary of CIF,
// read through its CIF 1 names): cell, space group, atom sites with the
// dummies of the frames, local axes, populations, kappas and radial
// sources, and what the dictionary has no items for in a loop of VORN's own.
#pragma once

#include <array>

#include "model/run.hpp"

namespace vorn {

// Writes the file to run.rho (opened and closed by the caller). The
// numbers are those of xd_vorn.inp, to its decimals, so that the file
// describes the density of xd_vorn.mas and xd_vorn.inp exactly.
void write_rho_cif(Run& run);

// The populations P(l, m) of a frame whose third axis points against the
// right-hand product of the other two (an "L" frame), for the right-handed
// frame that shares its first two axes: the density stays the same.
// first and second are the axis codes (1 X, 2 Y, 3 Z) of AX1 and AX2.
Mpole right_handed_populations(const Mpole& left, int first, int second);

}  // namespace vorn
