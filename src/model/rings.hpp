// The ring table and the ring sizes searched for.
#pragma once

#include <vector>

namespace vorn {

constexpr int MAXRINGSIZE = 100;

// Smallest and largest ring size and the "*special" switch of RINGS.
struct Ring1 {
  int nmin = 0;
  int nmax = 0;
  int special = 0;
};

struct Ring {
  int size = 0;
  std::vector<int> members;  // members[0..size-1]: atom indices in walk order, each bonded to the next
  int planar = 0;            // 1 planar
  int dummy = 0;             // ring-centre dummy number (0 = none yet)
};

struct Rings {
  int nor = 0;
  std::vector<Ring> ring;  // 1..nor, as many as the structure has
};

}  // namespace vorn
