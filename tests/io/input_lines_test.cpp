#include "io/input_lines.hpp"

#include <gtest/gtest.h>

#include <string>

#include "base/error.hpp"
#include "base/text.hpp"

using namespace vorn;

TEST(ReadInputLine, CommentsBlankLinesAndContinuations) {
  TextFile f = TextFile::from_string("! comment\n\n   \nRINGS 3 \\\n  8\r\n  ! not a comment\n");
  std::string buf;
  ASSERT_FALSE(ReadInputLine(f, buf));
  EXPECT_EQ(rtrim(buf), "RINGS 3 \\   8");
  ASSERT_FALSE(ReadInputLine(f, buf));
  EXPECT_EQ(rtrim(buf), "  ! not a comment");
  EXPECT_TRUE(ReadInputLine(f, buf));
  // a continued line that would pass 255 characters
  TextFile g = TextFile::from_string(std::string(200, 'x') + " \\\n" + std::string(100, 'y') + " \\\nz\n");
  try {
    ReadInputLine(g, buf);
    FAIL();
  } catch (const VornError& e) {
    EXPECT_EQ(e.message(), "Line exceeds limit of 255 characters");
  }
  // so would its last piece, which used to be cut without a word
  TextFile last = TextFile::from_string("TOLS " + std::string(200, '0') + " \\\n" + std::string(60, '1') + "\n");
  try {
    ReadInputLine(last, buf);
    FAIL();
  } catch (const VornError& e) {
    EXPECT_EQ(e.message(), "Line exceeds limit of 255 characters");
  }
  // text beyond column 255 would be lost: the line stops the run, unless it
  // is a comment or the rest is blank
  TextFile h = TextFile::from_string("! " + std::string(400, 'c') + "\nVERBOSE 2" + std::string(300, ' ') + "\n" +
                                     std::string(400, 'a') + "\n", "vorn.inp");
  ASSERT_FALSE(ReadInputLine(h, buf));
  EXPECT_EQ(buf.size(), 255u);
  EXPECT_EQ(rtrim(buf), "VERBOSE 2");
  try {
    ReadInputLine(h, buf);
    FAIL();
  } catch (const VornError& e) {
    EXPECT_EQ(e.routine(), "ReadInputLine");
    EXPECT_EQ(e.message(), "Line 3 of vorn.inp is longer than 255 characters");
  }
}
