// The dummies that fix the frames of atoms on special positions. They take
// their numbers after every dummy of the chemical set-up, once every atom
// has its axes: each atom on a general position then names the same dummies
// as it would with no special position in the structure, and its lines in
// every file stay the same.
#pragma once

#include <array>

#include "model/run.hpp"

namespace vorn {

// The entry (from 1) of a waiting dummy at the Cartesian point: one within
// 0.001 A, else a new one.
int site_dummy(Run& run, const Vec3& cart);

// The atom's axes (run.axes, with the label of a waiting point blank) take
// the waiting dummies `waiting` (per axis point, 0 for none); its chemical
// set-up made the dummies chem_first..chem_last for it alone.
void wait_for_site_dummies(Run& run, int atom, const std::array<int, 2>& waiting, int chem_first, int chem_last);
bool waits_for_site_dummies(const Run& run, int atom);

// After the last atom: each waiting dummy takes the number of a dummy that
// the chemical set-up made for the same atom alone and that nothing names
// any more, else the next number; the axis references of the atoms that
// waited are completed (atom table, MoPro, multipole records) and their
// lines printed.
void number_site_dummies(Run& run);

}  // namespace vorn
