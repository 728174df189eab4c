// Least-squares plane through a set of atoms.
#pragma once

#include <span>

#include "control/run.hpp"

namespace vorn {

// mode 2: ring (TOLS ring value), otherwise group (TOLS group value);
// print 1 writes the test to the listing. Returns 1 when planar.
int planarity(Run& run, int print, std::span<const int> list, int mode);

}  // namespace vorn
