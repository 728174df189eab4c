// The local frame of the current atom, the site symmetry each read atom's
// frame took, and the check of its neighbours against that symmetry.
#pragma once

#include <array>
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

// An atom whose site frame takes dummies that get their numbers only once
// every atom has its axes.
struct SiteFrameAtom {
  int atom = 0;
  LocalAxes axes;                     // with the label of each waiting axis point blank
  std::array<int, 2> waiting{};       // per axis point: 1-based entry of SiteSymm::dummy_x, or 0
  int chem_first = 0, chem_last = 0;  // the dummies its chemical set-up made for it alone
};

// The crystal's own symmetry at each read atom, as its local frame took it.
struct SiteSymm {
  std::vector<std::string> group;     // point group of the site; empty on a general position
  std::vector<char> own_frame;        // 1: the frame follows the site's elements, not the chemical rule
  std::vector<std::string> chemical;  // the chemical rule's site symmetry where the site changed it, else empty
  // Axis points of site frames: numbered after every other dummy, so that
  // no dummy of an atom on a general position changes its number.
  std::vector<Vec3> dummy_x;  // stored as run.dummy.x stores them
  std::vector<SiteFrameAtom> waiting;
};

// Whether an atom's bonded neighbours obey the site symmetry it was given:
// every operation of the group, applied in the atom's local frame, must put
// each neighbour on a neighbour of the same element. Where the rule's
// symmetry misfit them by more than the limit, it was reduced: the rule's
// code and misfit are kept beside the check of the code used.
struct SiteCheck {
  bool checked = false;  // a known group and a frame that exists
  bool passes = false;
  float misfit = 0;  // A: largest distance from an operated neighbour to the nearest neighbour of its element
  bool reduced = false;
  bool frame_changed = false;  // the reduced code took another frame than the rule's
  std::string rule_code;  // the rule's site symmetry (trimmed) where reduced
  float rule_misfit = 0;  // A: its misfit in the rule's frame
};

}  // namespace vorn
