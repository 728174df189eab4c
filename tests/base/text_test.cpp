#include "base/text.hpp"

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

TEST(Text, UpperChangesOnlyTheLettersAToZ) {
  // Every byte value at every place of texts longer than a word of eight.
  std::string all;
  for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
  for (std::size_t shift = 0; shift < 9; ++shift) {
    const std::string text = std::string(shift, 'q') + all;
    std::string want = text;
    for (char& c : want)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    EXPECT_EQ(upper(text), want);
    std::string out = "room";
    assign_upper(out, text);
    EXPECT_EQ(out, want);
  }
  EXPECT_EQ(upper("c1 0.5e-3 Cl(12)"), "C1 0.5E-3 CL(12)");
}
