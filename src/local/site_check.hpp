// The check of an atom's site symmetry against its bonded neighbours.
//
// A site-symmetry code names a point group in the orientation the key masks
// of the master file assume: the main axis along Z; "m" a mirror normal to
// Z; "mm2" mirrors normal to X and Y; "3m" and "-3m" a mirror normal to Y;
// "-42m" mirrors normal to X and Y (two-fold axes on the diagonals); "cyl"
// rotation about Z with mirrors through it. The operations are built from
// the group's generators as rotations about the frame's axes.
#pragma once

#include <string_view>
#include <vector>

#include "model/run.hpp"

namespace vorn {

// Every operation of the group of a code (rtrimmed or padded), as matrices
// on local coordinates, the identity first; empty when the code names no
// known group. "cyl" gives a sample of its continuous group: rotations by
// multiples of 30 degrees about Z and the mirrors through those rotations.
const std::vector<Mat3>& site_operations(std::string_view code);

// The atom's local frame as the master file defines it (right-handed): the
// first axis towards P1, the second towards P2 made normal to it, the third
// by the right-hand rule. Rows are the unit X, Y and Z axes in Cartesian
// coordinates. False when the letters or the points fix no frame.
bool local_frame(const Vec3& atom, const LocalAxes& axes, Mat3& frame);

// Applies the operations of the code in the frame of the axes to the atom's
// bonded neighbours (the neighbour table): each operated neighbour must lie
// within the ring tolerance of a neighbour of the same element.
SiteCheck check_site(const Run& run, int atom, const LocalAxes& axes, std::string_view code);

// The result of the atom's check into run.site_check, and a line in the
// listing and on standard output when the check fails.
void record_site_check(Run& run, int atom);

}  // namespace vorn
