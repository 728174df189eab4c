// The crystal's own symmetry at an atom: the operations of the space group
// that map it onto itself, their point group, and the frame and site
// symmetry that its multipoles then take.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/run.hpp"

namespace vorn {

struct CrystalSite {
  std::vector<int> ops;    // operator numbers in run.symm, one per distinct rotation
  std::vector<Mat3> cart;  // their rotation parts in Cartesian coordinates, parallel to ops
  std::string group;       // the point group ("1" on a general position)
};

// The operations of the run's list (centring included) that map the read
// atom onto itself within tol angstroms, modulo lattice translations.
CrystalSite crystal_site(const Run& run, int atom, float tol = 0.1f);

// The local frame as XD builds it from an atom's axis points (Cartesian):
// the first axis towards p1, the second towards p2 made perpendicular to
// it, the third by the right-hand rule. Rows X, Y, Z. False when the points
// fix no frame.
bool axes_frame(const Vec3& origin, const Vec3& p1, std::string_view ax1, const Vec3& p2, std::string_view ax2,
                Mat3& frame);

// After the chemical rules have chosen the atom's axes and site symmetry:
// on a special position the density must keep the symmetry of the site.
// The chemical frame stays where the site's elements already lie along its
// axes (always on a bare inversion centre); otherwise Z is turned along the
// highest-order axis (a lone mirror: its normal) and X along a second
// element or towards the nearest neighbour, with dummies. The site
// symmetry becomes the group of both the chemical rule and the crystal
// where the chemical group can be expressed in that frame, else the
// crystal's. The axis points are read atoms where one lies exactly on the
// axis, else dummies; a new dummy waits for its number until every atom
// has its axes (site_dummies.hpp), and may then take one that the chemical
// rule made for this atom alone (numbers above dummies_before). Prints what
// it did; general positions are left untouched.
void align_with_site(Run& run, int atom, int dummies_before);

// The crystal's point group at the read atom as align_with_site found it;
// empty on a general position (and before it ran).
std::string_view site_group(const Run& run, int atom);
// Whether align_with_site replaced the chemical frame of the atom.
bool site_frame_replaced(const Run& run, int atom);

}  // namespace vorn
