// The crystal-to-Cartesian matrix and its inverse, the reciprocal cell.
// Cartesian frame: X along a, Y in the a-b plane, Z along c*.
#pragma once

#include <array>
#include <string>

#include "model/run.hpp"

namespace vorn {

using Cell = std::array<float, 6>;  // a, b, c (angstroms), alpha, beta, gamma (degrees)

// Why the cell has no real cell matrix (a length not positive, angles that
// close no cell), or "" when it has one.
std::string cell_fault(const Cell& cell);

// M with the cell vectors as columns (Cartesian = M * fractional); the cell
// must pass cell_fault.
Mat3 cell_matrix(const Cell& cell);

// Builds run.transf from run.ucell and prints both matrices.
void tranmat(Run& run);
// Inverse by cofactors; a determinant of exactly 0 stops the run.
Mat3 Inverse(const Mat3& m);

// Reciprocal cell: a*, b*, c* and the reciprocal angles (degrees).
Cell r_cell(const Cell& cell);

}  // namespace vorn
