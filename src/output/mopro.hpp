// The MoPro parameter file body and the tail of the constraint file.
#pragma once

#include "model/run.hpp"

namespace vorn {

// Dummies, kappas and atoms of mopro_vorn.par (to run.par), populations per
// unit occupancy.
void write_mopro_atoms(Run& run);
// Similarity section and end of con_mopro.inp (to run.con); closes it.
void write_con_tail(Run& run);
// ANHAR block and STOP of mopro_vorn.par.
void write_mopro_tail(Run& run);

// True when the element part of the label (cut at its first "(") is H; a
// label without a bracket, such as H5, is not.
bool mopro_hydrogen(std::string_view label);

}  // namespace vorn
