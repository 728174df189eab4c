// Extension of X-H bonds to standard (neutron) distances, with the matching
// instructions for XD (reset.bond, const.bond) and MoPro (res_mopro.inp and
// the URATIO text kept per hydrogen for the end of the run).
#pragma once

#include <span>

#include "model/run.hpp"

namespace vorn {

// What the class table looks at: the parent X of the hydrogen and, around
// it, the atoms that tell the groups apart. Only the facts the parent's
// element needs are filled.
struct XhGroup {
  int z = 0;            // parent's atomic number
  int nx = 0;           // parent's bonded neighbours
  int nh = 0;           // parent's hydrogens
  bool all_ch = false;  // every neighbour of X is C or H
  bool x_ring = false;  // X in a planar ring
  // Nitrogen.
  int ncarb3 = 0;       // neighbours of X that are carbons with three bonds
  bool planar = false;  // X with its neighbours (NH2 groups only)
  bool has_c = false;   // X has a carbon neighbour, C (the last in distance order)
  int nc = 0;           // bonds of C
  bool c_ring = false;  // C in a planar ring
  bool c_oxo = false;   // C has an O neighbour with a single bond
  // Oxygen with one H and one other neighbour Y.
  bool has_y = false;
  bool y_c = false;     // Y is a carbon
  int ny = 0;           // bonds of Y
  bool y_ring = false;  // Y in a planar ring
  int y_no = 0;         // O neighbours of Y (X included)
  int o2_n = 0;         // bonds of Y's other O when Y is a carbon with two
};

// One row of the table of standard X-H distances.
struct XhClass {
  const char* name;
  int z;  // parent element
  bool (*fits)(const XhGroup&);
  float d;  // X-H distance, Angstrom
  float uratio;
};

// The rows in the order they are tried; the first that fits names the group.
std::span<const XhClass> xh_classes();
// The class of the group, or nullptr when it is not identified.
const XhClass* classify(const XhGroup& g);
// Gathers the facts about the parent from the neighbour table, the ring
// table and the planarity test; stops the run on an O-H whose other
// neighbour contradicts the neighbour table ("Error 1/2 in Y-O-H").
XhGroup describe_group(Run& run, int parent, int h);
// Ratio of the H atom's isotropic ADP to its parent's: 1.2 on C, 1.5 on N,
// O and S, 0 otherwise.
float xh_uratio(int z);

void ExtendH(Run& run, int parent, int h);
// Moves h along x->h to distance d from x; returns the old distance. An h on
// top of x has no direction and is left where it is.
float extendbond(const Vec3& x, Vec3& h, float d);

}  // namespace vorn
