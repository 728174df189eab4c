// Comparing written files line by line.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/builders.hpp"

namespace vorn::test {

// Every line equal, and the same number of lines.
inline void expect_lines(const std::string& text, const std::vector<std::string>& want) {
  std::vector<std::string> got = lines_of(text);
  for (std::size_t k = 0; k < want.size() && k < got.size(); ++k)
    EXPECT_EQ(got[k], want[k]) << "line " << k + 1;
  EXPECT_EQ(got.size(), want.size());
  if (!text.empty()) {
    EXPECT_EQ(text.back(), '\n');
  }
}

}  // namespace vorn::test
