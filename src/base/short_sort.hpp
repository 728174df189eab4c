// Sorting the short lists that most atoms have.
#pragma once

#include <algorithm>
#include <functional>

namespace vorn {

// Sorts a range whose elements are all distinct under the order (so that
// any sort gives the one order): an insertion sort for the handful of
// elements of most lists, std::sort beyond.
template <class It, class Less = std::less<>>
void sort_short(It begin, It end, Less less = {}) {
  if (end - begin > 16) {
    std::sort(begin, end, less);
    return;
  }
  for (It i = begin + (begin != end ? 1 : 0); i < end; ++i)
    for (It j = i; j != begin && less(*j, *(j - 1)); --j) std::iter_swap(j, j - 1);
}

}  // namespace vorn
