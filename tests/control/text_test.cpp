#include "control/text.hpp"

#include <gtest/gtest.h>

#include <random>

using namespace vorn;

TEST(Text, SamePaddedComparesAsPadWould) {
  EXPECT_TRUE(same_padded("C1", "C1      ", 8));
  EXPECT_TRUE(same_padded("C1      X", "C1", 8));  // cut at the width
  EXPECT_FALSE(same_padded("C1", "C10", 8));
  EXPECT_TRUE(same_padded("", "   ", 3));
  EXPECT_TRUE(same_padded("abc", "xyz", 0));
  std::mt19937 rng(5);
  for (int k = 0; k < 5000; ++k) {
    std::string a, b;
    for (int c = static_cast<int>(rng() % 8); c > 0; --c) a += "a "[rng() % 2];
    for (int c = static_cast<int>(rng() % 8); c > 0; --c) b += "a "[rng() % 2];
    const std::size_t n = rng() % 7;
    ASSERT_EQ(same_padded(a, b, n), pad(a, n) == pad(b, n)) << "[" << a << "] [" << b << "] " << n;
  }
}
