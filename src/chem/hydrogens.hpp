// Extension of X-H bonds to standard distances.
#pragma once

#include "control/run.hpp"

namespace vorn {

void ExtendH(Run& run, int parent, int h);
// Moves h along x->h to distance d from x; returns the old distance.
float extendbond(const Vec3& x, Vec3& h, float d);

}  // namespace vorn
