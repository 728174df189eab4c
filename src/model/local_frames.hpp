// The local frame of the current atom, the site symmetry each read atom's
// frame took, and the check of its neighbours against that symmetry.
#pragma once

#include <string>
#include <vector>

#include "base/vecmath.hpp"

namespace vorn {

// The axes chosen for the current atom.
struct LocalAxes {
  std::string ATOM0 = std::string(8, ' ');
  std::string AX1 = " ";
  std::string ATOM2 = std::string(8, ' ');
  std::string AX2 = " ";
  Vec3 P1{};
  Vec3 P2{};
};

// The crystal's own symmetry at each read atom, as its local frame took it.
struct SiteSymm {
  std::vector<std::string> group;  // point group of the site; empty on a general position
  std::vector<char> own_frame;     // 1: the frame follows the site's elements, not the chemical rule
};

// Whether an atom's bonded neighbours obey the site symmetry it was given:
// every operation of the group, applied in the atom's local frame, must put
// each neighbour on a neighbour of the same element.
struct SiteCheck {
  bool checked = false;  // a known group and a frame that exists
  bool passes = false;
  float misfit = 0;  // A: largest distance from an operated neighbour to the nearest neighbour of its element
};

}  // namespace vorn
