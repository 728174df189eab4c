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

// One point the check holds a site symmetry against: an atom's offset from
// the centre (Cartesian), its element and its shell (1: bonded to the
// centre; 2: bonded to the centre's only neighbour).
struct ShellPoint {
  int atom = 0;
  Vec3 offset{};
  int z = 0;
  int shell = 1;
};

// The bonded neighbours of the atom; for an atom other than hydrogen with
// one neighbour also that neighbour's other neighbours (where the neighbour
// lists the atom: a parent outside the disorder lists one alternative). The first shell of
// such an atom lies on its axis and tells no mirror from a false one; a
// hydrogen's cylinder is the model's picture of its one bond, which no
// second shell has.
std::vector<ShellPoint> shell_points(const Run& run, int atom);

// The largest distance from an operated point (operations in Cartesian
// coordinates about the centre) to the nearest point of its element and
// shell.
float shell_misfit(const std::vector<ShellPoint>& points, const std::vector<Mat3>& operations);

// The operations of a code in a frame (rows the local axes), in Cartesian
// coordinates.
std::vector<Mat3> operations_in_frame(const Mat3& frame, std::string_view code);

// Applies the operations of the code in the frame of the axes to the
// atom's shell points: each operated point must lie within the ring
// tolerance of a point of the same element and shell.
SiteCheck check_site(const Run& run, int atom, const LocalAxes& axes, std::string_view code);

// The result of the atom's check into run.site_check (keeping what a
// reduction of its symmetry recorded there), and a line in the listing and
// on standard output when the check fails.
void record_site_check(Run& run, int atom);

}  // namespace vorn
