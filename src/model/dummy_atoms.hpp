// The dummy atoms that local frames point to where no atom lies.
#pragma once

#include <string>
#include <vector>

#include "base/vecmath.hpp"

namespace vorn {

constexpr int MAXDUM = 999;    // dummy atoms (three-digit labels)

struct Dummy {
  int n = 0;
  std::vector<std::string> label;  // "DUM"n, 6 characters; 1..n
  std::vector<Vec3> x;             // fractional for fractional input, else Cartesian
};

}  // namespace vorn
