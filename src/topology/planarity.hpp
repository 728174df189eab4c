// Least-squares plane through a set of atoms, and the symmetric eigen-solver
// it rests on.
#pragma once

#include <span>

#include "model/run.hpp"

namespace vorn {

// The fitted plane: unit normal (P, Q, R) and S, with P x + Q y + R z = S in
// Cartesian angstroms; sigpln the root-mean-square deviation used in the
// verdict.
struct Plane {
  Vec3 normal{};
  float s = 0.0f;
  float sigpln = 0.0f;
};

// mode 2: ring (TOLS ring value), otherwise group (TOLS group value);
// print 1 writes the test to the listing. Returns 1 when planar.
// Three atoms or fewer always lie in a plane: planar, sigpln 0.
int planarity(Run& run, int print, std::span<const int> list, int mode);
// The same, also handing out the plane.
int planarity(Run& run, int print, std::span<const int> list, int mode, Plane& plane);

// The EISPACK routines for the real symmetric eigenproblem of order 3, in
// single precision. tred2 reduces a to tridiagonal form (diagonal d,
// sub-diagonal e) and accumulates the transformation in z; tql2 then returns
// the eigenvalues in d in ascending order and the eigenvectors as the columns
// of z (z[row][col]), and 0, or l when eigenvalue l fails to converge in 30
// iterations. pythag is sqrt(a^2 + b^2) without overflow or destructive
// underflow.
void tred2(const Mat3& a, Vec3& d, Vec3& e, Mat3& z);
int tql2(Vec3& d, Vec3& e, Mat3& z);
float pythag(float a, float b);

}  // namespace vorn
