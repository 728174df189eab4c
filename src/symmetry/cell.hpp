// The crystal-to-Cartesian matrix and its inverse.
#pragma once

#include "control/run.hpp"

namespace vorn {

// Builds run.transf from run.ucell and prints both matrices.
void tranmat(Run& run);
Mat3 Inverse(const Mat3& m);

}  // namespace vorn
