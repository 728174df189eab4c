// An atom's local frame as its line in the XD atom table defines it: X, Y
// or Z (AX1) from the atom towards ATOM0, the second axis (AX2) in the plane
// of the atom, ATOM0 and ATOM2 on the side of ATOM2, the third completing a
// right-handed system ("R"). Worked out from the positions the model ends
// with (after hydrogen atoms are moved), as a refinement program reading the
// files would.
#pragma once

#include <array>
#include <string>

#include "model/run.hpp"

namespace vorn {

struct AtomFrame {
  int atom0 = 0;  // an atom 1..nat, or nat + the dummy's number; 0 when unknown
  int atom2 = 0;
  char ax1 = ' ';  // 'X', 'Y' or 'Z'
  char ax2 = ' ';
  char hand = 'R';
  // X, Y and Z as Cartesian unit vectors; all zero unless defined.
  std::array<Vec3, 3> axis{};
  // Both directions exist (the axis points lie off the atom) and are not
  // parallel.
  bool defined = false;
};

// The frame written for atom 1..nat once localdef has run.
AtomFrame atom_frame(const Run& run, int atom);

// Cartesian position of an axis point: an atom 1..nat or nat + a dummy's
// number (the origin for any other index).
Cart axis_point(const Run& run, int index);

// Label of an axis point as the atom table writes it, without blanks.
std::string axis_label(const Run& run, int index);

}  // namespace vorn
