// The bonded neighbours of an atom, or the result of one radius search.
#pragma once

#include <memory_resource>
#include <span>
#include <vector>

namespace vorn {

// Bonded neighbours of one atom, or the result of one radius search. The
// lists take their storage from a memory resource: the table of every atom
// puts its many short lists one after another in one pool (a copy made of a
// record uses the ordinary heap).
struct NeighborRec {
  NeighborRec() = default;
  explicit NeighborRec(std::pmr::memory_resource* pool)
      : inei(pool), rnei(pool), ztype(pool), ntypenei(pool), itypenei(pool) {}

  int nnei = 0;
  std::pmr::vector<int> inei;    // 1..nnei, by increasing distance
  std::pmr::vector<float> rnei;  // parallel to inei
  int ntype = 0;
  std::pmr::vector<int> ztype;                       // 1..ntype, increasing atomic number
  std::pmr::vector<int> ntypenei;                    // members per type
  std::pmr::vector<std::pmr::vector<int>> itypenei;  // itypenei[type][1..ntypenei]
};

// Entry k of a list of a record, 0 outside the list.
inline int at_or_zero(std::span<const int> v, int k) {
  return k >= 0 && static_cast<std::size_t>(k) < v.size() ? v[static_cast<std::size_t>(k)] : 0;
}

}  // namespace vorn
