#include "model/label_index.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vorn::test {
namespace {

TEST(LabelIndex, FindsTheFirstAtomOfEachEightCharacterLabel) {
  // Entry 0 is unused, as in the atom table.
  const std::vector<std::string> labels = {"", "C(1)    ", "H(11)   ", "C(1)    ", "O(1)", "N(1)    ", "X(1)    "};
  LabelIndex idx;
  EXPECT_EQ(idx.find("C(1)    "), 0);  // nothing built yet
  idx.build(labels, 5);
  EXPECT_EQ(idx.find("C(1)    "), 1);  // a repeated label names its first atom
  EXPECT_EQ(idx.find("H(11)   "), 2);
  EXPECT_EQ(idx.find("N(1)    "), 5);
  EXPECT_EQ(idx.find("O(1)    "), 0);  // stored unpadded: no 8-character label names it
  EXPECT_EQ(idx.find("X(1)    "), 0);  // beyond the atoms indexed
  EXPECT_EQ(idx.find("C(1)"), 0);
  idx.clear();
  EXPECT_EQ(idx.find("C(1)    "), 0);
}

TEST(LabelIndex, KeepsEveryLabelOfALargeTable) {
  std::vector<std::string> labels(1, "");
  for (int a = 1; a <= 5000; ++a) {
    std::string l = "C" + std::to_string(a);
    l.resize(8, ' ');
    labels.push_back(l);
  }
  LabelIndex idx;
  idx.build(labels, 5000);
  for (int a = 1; a <= 5000; ++a) ASSERT_EQ(idx.find(labels[static_cast<std::size_t>(a)]), a);
}

}  // namespace
}  // namespace vorn::test
