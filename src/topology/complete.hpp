// Completion of fragments by symmetry images.
#pragma once

#include "model/run.hpp"

namespace vorn {

// Appends to the atom table (nat+1..ncryst) every image of a read atom,
// within +-NCELLS cells, that is bonded to the atoms already present, until
// the fragments around every read atom are complete; sets isq and nsq,
// lists the extended table and writes complete.ang when anything was added.
//
// The images appended, and their order, are those of a scan over
// (atom, operator, shift a, shift b, shift c) that restarts from its
// beginning after every image it appends.
void gencompletefrags(Run& run);

// Position of atom xf under operator op and cell shift (k, l, m), computed in
// the one order every symmetry test of the program uses.
inline Frac symm_image(const SymOp& op, const Frac& xf, int k, int l, int m) {
  Vec3 rx = matvec(op.R, xf);
  return Frac(rx[0] + op.t[0] + static_cast<float>(k), rx[1] + op.t[1] + static_cast<float>(l),
              rx[2] + op.t[2] + static_cast<float>(m));
}

}  // namespace vorn
