#include "control/file_sink.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "control/error.hpp"
#include "control/fortran_io.hpp"
#include "control/run.hpp"
#include "support/builders.hpp"

using namespace vorn;

namespace {

std::string slurp(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

}  // namespace

// Files of many buffers written in turn, line by line and in long pieces,
// come out whole and in order; a file that never fills a buffer is written
// at its close without the writer thread.
TEST(WriteBehind, InterleavedFilesOfManyBlocksComeOutWholeAndInOrder) {
  test::ScratchDir dir;
  WriteBehind wb;
  OutUnit a(wb), b(wb), small(wb);
  ASSERT_TRUE(a.open(dir.path() / "a.txt"));
  ASSERT_TRUE(b.open(dir.path() / "b.txt"));
  ASSERT_TRUE(small.open(dir.path() / "small.txt"));
  std::string want_a, want_b;
  const std::string piece(WriteBehind::kBlock / 3 + 17, 'x');
  for (int k = 0; k < 60000; ++k) {
    std::string la = ff::format("(i8,2x,f10.4)", k, 0.5f * static_cast<float>(k));
    ff::write(*a, "(i8,2x,f10.4)", k, 0.5f * static_cast<float>(k));
    want_a += la;
    *b << k << ' ';
    want_b += std::to_string(k) + ' ';
    if (k % 9000 == 0) {
      *b << piece;
      want_b += piece;
    }
  }
  *small << "one line\n";
  ASSERT_GT(want_a.size(), 4 * WriteBehind::kBlock);
  EXPECT_EQ(a.close(), "");
  EXPECT_EQ(small.close(), "");
  EXPECT_EQ(b.close(), "");
  EXPECT_EQ(slurp(dir.path() / "a.txt"), want_a);
  EXPECT_EQ(slurp(dir.path() / "b.txt"), want_b);
  EXPECT_EQ(slurp(dir.path() / "small.txt"), "one line\n");

  // A unit opened again after the writer stopped writes as before.
  wb.stop();
  ASSERT_TRUE(a.open(dir.path() / "a.txt"));
  *a << piece << piece << piece << piece;
  EXPECT_EQ(a.close(), "");
  EXPECT_EQ(slurp(dir.path() / "a.txt"), piece + piece + piece + piece);
}

// Bytes the system refuses are never a success: the reason comes back at
// the close, and finish() stops the run naming the file.
TEST(WriteBehind, LostBytesAreReportedAtTheClose) {
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

TEST(WriteBehind, AFileThatCannotBeCreatedIsRefused) {
  test::ScratchDir dir;
  WriteBehind wb;
  OutUnit u(wb);
  EXPECT_FALSE(u.open(dir.path() / "no such folder" / "x.txt"));
  EXPECT_FALSE(u.is_open());
  *u << "goes nowhere\n";  // an unopened unit swallows its writes
  EXPECT_EQ(u.close(), "");
}
