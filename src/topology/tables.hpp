// Connectivity and ring tables.
#pragma once

#include <vector>

namespace vorn {

constexpr int MAXRINGS = 1000;
constexpr int MAXRINGSIZE = 100;

// The reduced atom list: positions 1..n hold atom indices in ascending order
// (until the ring search moves its start atom to position 1).
struct Newat {
  int n = 0;
  std::vector<int> idx;
};

// Bonded partners by position, per position 1..newat.n, in ascending order
// (the ring search's exchange of its start position keeps the slots where
// they are). A position may have any number of partners.
struct Conmat {
  std::vector<int> ncon;
  std::vector<std::vector<int>> icon;  // icon[p][0..ncon-1], partner slots in walk order
};

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
  std::vector<Ring> ring;  // 1..nor (at most MAXRINGS)
};

}  // namespace vorn
