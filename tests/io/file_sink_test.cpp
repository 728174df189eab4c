#include "io/file_sink.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "base/error.hpp"
#include "format/fortran_io.hpp"
#include "model/run.hpp"
#include "support/builders.hpp"

using namespace vorn;
using vorn::test::read_file;

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
  EXPECT_EQ(read_file(dir.path() / "a.txt"), want_a);
  EXPECT_EQ(read_file(dir.path() / "b.txt"), want_b);
  EXPECT_EQ(read_file(dir.path() / "small.txt"), "one line\n");

  // A unit opened again after the writer stopped writes as before.
  wb.stop();
  ASSERT_TRUE(a.open(dir.path() / "a.txt"));
  *a << piece << piece << piece << piece;
  EXPECT_EQ(a.close(), "");
  EXPECT_EQ(read_file(dir.path() / "a.txt"), piece + piece + piece + piece);
}

// Bytes the system refuses are never a success: the reason comes back at
// the close, and finish() stops the run naming the file.
// Standard output taken over by the run: formatted and plain writes come
// out in order, a flush puts what was written so far on the descriptor (a
// prompt is seen before the answer is read), and the descriptor stays open.
TEST(WriteBehind, StandardOutputTakenOverKeepsOrderFlushesAndStaysOpen) {
  test::ScratchDir dir;
  const std::filesystem::path file = dir.path() / "stdout.txt";
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  std::ostringstream unused;
  std::istringstream in;
  std::ostream out(unused.rdbuf());
  vorn::Run run(out, in, dir.path());
  run.take_standard_output(fd);
  ff::write(run.out, "(1x,'Enter the name of databank file : ',$)");
  run.out.flush();
  EXPECT_EQ(read_file(file), " Enter the name of databank file : ");
  std::string want = " Enter the name of databank file : ";
  const std::string piece(WriteBehind::kBlock / 2 + 3, 'z');
  for (int k = 0; k < 2000; ++k) {
    ff::write(run.out, "(i6,f9.3)", k, 0.25f * static_cast<float>(k));
    want += ff::format("(i6,f9.3)", k, 0.25f * static_cast<float>(k));
    if (k % 500 == 0) {
      run.out << piece << '\n';
      want += piece + '\n';
    }
  }
  run.out.flush();
  EXPECT_EQ(read_file(file), want);
  run.out << "the end\n";
  run.close_all();
  EXPECT_EQ(read_file(file), want + "the end\n");
  EXPECT_EQ(::write(fd, "x", 1), 1);  // still open
  ::close(fd);
  EXPECT_TRUE(unused.str().empty());
}
