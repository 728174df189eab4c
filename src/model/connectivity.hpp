// The connectivity table: the reduced atom list and the bonded partners of
// each position.
#pragma once

#include <vector>

namespace vorn {

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

}  // namespace vorn
