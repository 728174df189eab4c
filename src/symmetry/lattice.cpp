#include "symmetry/lattice.hpp"

#include <cmath>
#include <vector>

#include "base/error.hpp"
#include "symmetry/cards.hpp"

namespace vorn {

namespace {

// Line j: how the j-th coordinate enters the image (column j of R), then t_j.
void print_matrix(Run& run, const SymOp& op) {
  for (int j = 0; j < 3; ++j) to_lst(run, "(3f12.6,5x,f12.6)"_f, op.R[0][j], op.R[1][j], op.R[2][j], op.t[j]);
}

std::vector<Vec3> centring_vectors(char letter) {
  switch (letter) {
    case 'A': return {{0.0f, 0.5f, 0.5f}};
    case 'B': return {{0.5f, 0.0f, 0.5f}};
    case 'C': return {{0.5f, 0.5f, 0.0f}};
    case 'I': return {{0.5f, 0.5f, 0.5f}};
    case 'F': return {{0.5f, 0.5f, 0.0f}, {0.0f, 0.5f, 0.5f}, {0.5f, 0.0f, 0.5f}};
    // Rhombohedral on hexagonal axes, obverse setting (the one SHELX means).
    case 'R': return {{2.0f / 3.0f, 1.0f / 3.0f, 1.0f / 3.0f}, {1.0f / 3.0f, 2.0f / 3.0f, 2.0f / 3.0f}};
    default: return {};
  }
}

}  // namespace

void nonp(Run& run, char letter) {
  const std::string l(1, letter);
  to_lst(run, "(/' Non-Primitive lattice...')"_f);
  to_lst(run, "(' Lattice centring type is [ ',a,' ]')"_f, l);
  std::vector<Vec3> v = centring_vectors(letter);
  if (v.empty()) err("nonp", "Lattice type " + l + " is not supported");
  const int points = static_cast<int>(v.size()) + 1;
  to_lst(run, "(' Number of lattice points per cell = ',i1)"_f, points);
  const int n0 = run.symm.nsym;
  for (const Vec3& c : v)
    for (int i = 1; i <= n0; ++i) {
      SymOp op = run.symm.op[i];
      op.t = add(op.t, c);
      push_op(run.symm, op);
    }
  checkts(run);
  to_lst(run, "(/' Symmetry operations after applying the lattice centering:')"_f);
  prsymop(run);
}

void addcentsymm(Run& run) {
  const int n0 = run.symm.nsym;
  for (int i = 1; i <= n0; ++i) {
    SymOp op = run.symm.op[i];
    for (int r = 0; r < 3; ++r) {
      op.t[r] = -op.t[r];
      for (int c = 0; c < 3; ++c) op.R[r][c] = -op.R[r][c];
    }
    push_op(run.symm, op);
  }
  to_lst(run, "(/' Symmetry operations with Center of Symmetry applied: ',i4)"_f, run.symm.nsym);
  for (int n = 1; n <= run.symm.nsym; ++n) {
    to_lst(run, "(/' SYMM ',i4)"_f, n);
    print_matrix(run, run.symm.op[n]);
  }
}

void checkts(Run& run) {
  for (int n = 1; n <= run.symm.nsym; ++n)
    for (float& x : run.symm.op[n].t)
      if (x >= 1.0f || x <= -1.0f) x -= std::trunc(x);
}

void prsymop(Run& run) {
  to_lst(run, "(/' Number of symmetry operations = ',i4)"_f, run.symm.nsym);
  if (run.ctl.iverb < 2) return;
  for (int n = 1; n <= run.symm.nsym; ++n) {
    to_lst(run, "(/' SYMM ',j2)"_f, n);  // beyond 99 (F-centred cubic groups) in full
    print_matrix(run, run.symm.op[n]);
  }
}

}  // namespace vorn
