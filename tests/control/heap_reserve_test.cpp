#include "control/heap_reserve.hpp"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

using vorn::HeapReserve;

// The prefault runs beside the run's own allocations in the same memory and
// must never change a byte of them.
TEST(HeapReserve, TheRunsOwnDataStaysAsWrittenWhileItsMemoryIsMadeReady) {
  std::vector<std::vector<int>> kept;
  {
    HeapReserve reserve(HeapReserve::kMinBytes * 2);
    for (int k = 0; k < 2000; ++k) {
      kept.emplace_back(1000);
      std::iota(kept.back().begin(), kept.back().end(), k);
    }
  }
  for (int k = 0; k < 2000; ++k) {
    ASSERT_EQ(kept[static_cast<std::size_t>(k)].front(), k);
    ASSERT_EQ(kept[static_cast<std::size_t>(k)].back(), k + 999);
  }
}

TEST(HeapReserve, SmallRunsAreLeftAlone) {
  EXPECT_LT(HeapReserve::estimate(400'000), HeapReserve::kMinBytes);  // some 5,000 atoms of SHELX
  EXPECT_GE(HeapReserve::estimate(1'800'000), HeapReserve::kMinBytes);  // some 20,000
  HeapReserve none(0);  // nothing to do, nothing to wait for
}
