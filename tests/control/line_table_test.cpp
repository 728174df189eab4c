#include "control/line_table.hpp"

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

}  // namespace
}  // namespace vorn
