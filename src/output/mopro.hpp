// The MoPro parameter file body and the tail of the constraint file.
#pragma once

#include "control/run.hpp"

namespace vorn {

// Dummies, kappas and atoms of mopro_vorn.par.
void write_mopro_atoms(Run& run);
// Similarity section and end of con_mopro.inp; closes it.
void write_con_tail(Run& run);
// ANHAR block and STOP of mopro_vorn.par.
void write_mopro_tail(Run& run);

}  // namespace vorn
