#include "io/out_unit.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/error.hpp"
#include "support/builders.hpp"

using namespace vorn;

TEST(OutUnit, LostBytesAreReportedAtTheClose) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full on this system";
  WriteBehind wb;
  OutUnit small(wb), big(wb);
  ASSERT_TRUE(small.open("/dev/full"));
  *small << "a few bytes\n";
  EXPECT_EQ(small.close(), "No space left on device");

  ASSERT_TRUE(big.open("/dev/full"));
  const std::string piece(WriteBehind::kBlock, 'y');
  for (int k = 0; k < 5; ++k) *big << piece;  // several blocks through the writer thread
  try {
    big.finish();
    FAIL() << "finish() passed over lost bytes";
  } catch (const VornError& e) {
    EXPECT_EQ(e.message(), "Error while writing file full (No space left on device)");
  }
  // The error is reported once; the unit is closed and reusable.
  EXPECT_FALSE(big.is_open());
  EXPECT_EQ(big.close(), "");
}

TEST(OutUnit, AFileThatCannotBeCreatedIsRefused) {
  test::ScratchDir dir;
  WriteBehind wb;
  OutUnit u(wb);
  EXPECT_FALSE(u.open(dir.path() / "no such folder" / "x.txt"));
  EXPECT_FALSE(u.is_open());
  *u << "goes nowhere\n";  // an unopened unit swallows its writes
  EXPECT_EQ(u.close(), "");
}
