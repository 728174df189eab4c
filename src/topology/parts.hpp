// Disorder parts: which atoms may be neighbours or bonded. Every stage that
// finds neighbours (fragment completion, the bond table of connectivity and
// rings, the neighbour searches of the per-atom stage, and through them the
// functional groups, equivalence and hydrogen extension) asks here.
//
// Atoms of two different non-zero parts belong to different alternatives of
// the disorder and are never neighbours. A negative part (SHELX: a group
// disordered about a symmetry element) is not bonded to its own symmetry
// images either. An atom of part 0 sees part 0 and one alternative: the one
// with the largest occupancy among the alternatives bonded to it, the lower
// part number on a tie. Without parts nothing changes.
#pragma once

#include <span>

#include "model/run.hpp"

namespace vorn {

// Two atoms, given by part and symmetry copy, may meet unless they lie in
// different non-zero parts, or in one negative part and different copies.
inline bool parts_may_meet(int pa, const SymCopy& ca, int pb, const SymCopy& cb) {
  if (pa == 0 || pb == 0) return true;
  if (pa != pb) return false;
  return pa > 0 || ca == cb;
}
bool parts_may_meet(const Run& run, int i, int j);

// One alternative of the disorder: a part and, for a negative part, the
// symmetry copy (the images of such a part are alternatives of their own).
// Part 0 stands for none.
struct Alternative {
  int part = 0;
  SymCopy copy{};
  bool operator==(const Alternative&) const = default;
};
Alternative alternative_of(const Run& run, int j);

// The alternative an atom of part 0 takes its neighbours from, chosen among
// the atoms given (those bonded to it by distance): the largest occupancy,
// then the lower part number, then the atom's own copy, then the
// alternative met first. None for an atom of a non-zero part, or when no
// atom given has a part.
Alternative chosen_alternative(const Run& run, int atom, std::span<const int> bonded);

// Whether atom j may be a neighbour of the atom, whose chosen alternative is
// given.
bool takes_neighbor(const Run& run, int atom, const Alternative& chosen, int j);

// True when some atom 1..n has a non-zero part.
bool has_parts(const Run& run, int n);

}  // namespace vorn
