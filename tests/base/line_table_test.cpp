#include "base/line_table.hpp"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace vorn {
namespace {

TEST(LineTable, UnwrittenEntriesReadBlankAtTheTableWidth) {
  LineTable t;
  t.assign(20001, 40);
  EXPECT_EQ(t.size(), 20001u);
  EXPECT_EQ(std::as_const(t)[19999], std::string(40, ' '));
  EXPECT_EQ(t[7], std::string(40, ' '));
  t[3] = "AROMATIC";
  EXPECT_EQ(t[3], "AROMATIC");
  EXPECT_EQ(std::as_const(t)[2], std::string(40, ' '));
  EXPECT_EQ(std::as_const(t)[3], "AROMATIC");
}

TEST(LineTable, AnEntryHeldByReferenceSurvivesLaterEntries) {
  LineTable t;
  t.assign(20001, 90);
  std::string& first = t[1];
  first = "! CONPVM first";
  for (std::size_t k = 2; k < 5000; ++k) t[k] = "line " + std::to_string(k);
  EXPECT_EQ(first, "! CONPVM first");
  EXPECT_EQ(t[4999], "line 4999");
}

TEST(LineTable, ReassignClearsAndResizeKeepsWrittenEntries) {
  LineTable t;
  t.assign(10, 100);
  t[5] = "URATIO";
  t.resize(30);
  EXPECT_EQ(t.size(), 30u);
  EXPECT_EQ(t[5], "URATIO");
  EXPECT_EQ(t[29], std::string(100, ' '));
  t.resize(4);
  t.resize(10);
  EXPECT_EQ(t[5], std::string(100, ' '));
  t[2] = "x";
  t.assign(10, 100);
  EXPECT_EQ(t[2], std::string(100, ' '));
}

TEST(LineBlock, EntriesReadAsWrittenPaddedOrCutToTheWidth) {
  LineBlock t;
  t.assign(20001, 10);
  EXPECT_EQ(t.size(), 20001u);
  EXPECT_EQ(t[19999], std::string(10, ' '));
  t.set(7, "URATIO");
  t.set(3, "CONPVM 1234567");
  EXPECT_EQ(t[7], "URATIO    ");
  EXPECT_EQ(t[3], "CONPVM 123");
  EXPECT_EQ(t[5], std::string(10, ' '));  // between written entries
  EXPECT_EQ(t[8], std::string(10, ' '));
  t.set(3, "X");
  EXPECT_EQ(t[3], "X         ");
  EXPECT_EQ(t[7], "URATIO    ");
}

TEST(LineBlock, ResizeDropsEntriesBeyondAndReassignClears) {
  LineBlock t;
  t.assign(10, 4);
  t.set(2, "ab");
  t.set(6, "cd");
  t.resize(4);
  t.resize(10);
  EXPECT_EQ(t[2], "ab  ");
  EXPECT_EQ(t[6], "    ");
  t.assign(10, 4);
  EXPECT_EQ(t[2], "    ");
}

}  // namespace
}  // namespace vorn
