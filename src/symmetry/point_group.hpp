// Point groups as sets of orthogonal matrices in a Cartesian frame: what
// one operation is (its kind and axis), closing a set into a group, and the
// crystallographic point groups in the orientation the key table of the
// local frame assumes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/vecmath.hpp"

namespace vorn {

// One operation: an n-fold rotation (n = order of the rotation part, 1 for
// the identity) or, improper, the inversion times an n-fold rotation: "-1"
// (n 1), "m" (n 2; the axis is the mirror normal), "-3", "-4", "-6". The
// axis is a unit vector, zero for the identity and the inversion.
struct PointElement {
  int n = 1;            // order of the proper part
  bool proper = true;
  Vec3 axis{0, 0, 0};
  std::string symbol;   // "1", "2", "3", "4", "6", "-1", "m", "-3", "-4", "-6"
};
PointElement describe(const Mat3& op);

bool same_op(const Mat3& a, const Mat3& b, float tol = 1e-3f);
bool has_op(const std::vector<Mat3>& ops, const Mat3& m, float tol = 1e-3f);
bool same_group(const std::vector<Mat3>& a, const std::vector<Mat3>& b, float tol = 1e-3f);
Mat3 mul(const Mat3& a, const Mat3& b);
Mat3 transpose(const Mat3& a);

// The group the operations generate, identity included; empty when it
// grows beyond `limit` elements (no finite point group).
std::vector<Mat3> close_group(const std::vector<Mat3>& gens, std::size_t limit = 48);

// The name of a crystallographic point group from its operations (by the
// kinds of its elements, which tell the 32 groups apart), or "" when they
// form none of them.
std::string point_group_name(const std::vector<Mat3>& ops);

// The group of a name in its standard orientation of the local frame (see
// local/key_masks.hpp); empty for a name that has none ("NO" has the
// identity; "cyl" is no finite group).
const std::vector<Mat3>& standard_group(std::string_view name);

// The names of every crystallographic point group, "1" first.
const std::vector<std::string>& point_group_names();

}  // namespace vorn
