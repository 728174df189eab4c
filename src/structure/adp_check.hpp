// Displacement parameters that describe no ellipsoid: a tensor with an
// eigenvalue of zero or below (or an isotropic U of zero or below) is no
// vibration a refinement can start from, yet it is the file's own value.
#pragma once

#include "model/run.hpp"

namespace vorn {

// The smallest eigenvalue (A^2) of the Cartesian tensor of U11 U22 U33 U12
// U13 U23 (the crystallographic Uij, on the reciprocal axes of the cell
// whose crystal-to-Cartesian matrix is `transf.M`): U_cart = M N U N M^T with
// N = diag(a*, b*, c*).
double smallest_u_eigenvalue(const Transf& transf, const Uij& u);

// Warns, on standard output and in the listing, about every atom 1..nat
// whose displacement parameters are not positive definite, naming the atom
// and the smallest eigenvalue. The values stay as read.
void check_adps(Run& run);

}  // namespace vorn
