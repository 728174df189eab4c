#include "io/textfile.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorn {
namespace {

std::string first_line(TextFile f, std::size_t width = 40) {
  std::string line;
  EXPECT_TRUE(f.next(line, width));
  return line;
}

TEST(TextFile, WindowsLineEndsAndByteOrderMarkAreDropped) {
  TextFile f = TextFile::from_string("\xEF\xBB\xBF" "FORMAT *shelx\r\nINPUT a.res\r\n");
  std::string line;
  ASSERT_TRUE(f.next_raw(line));
  EXPECT_EQ(line, "FORMAT *shelx");
  ASSERT_TRUE(f.next_raw(line));
  EXPECT_EQ(line, "INPUT a.res");
  EXPECT_FALSE(f.next_raw(line));
  // A mark anywhere but at the start is text.
  EXPECT_EQ(first_line(TextFile::from_string("A\xEF\xBB\xBF"), 4), "A\xEF\xBB\xBF");
}

TEST(TextFile, TabIsOneBlankInFilesReadAsWords) {
  EXPECT_EQ(first_line(TextFile::from_string("CELL\t0.71\t5.0"), 16), "CELL 0.71 5.0   ");
  // "GROUP<tab>ester": the name still starts one character after GROUP.
  EXPECT_EQ(first_line(TextFile::from_string("EXCEPT GROUP\tester"), 18), "EXCEPT GROUP ester");
}

TEST(TextFile, TabReachesTheNextColumnOfEightInFixedColumnFiles) {
  // "   1 C1\t..." as an editor shows it: C1 in columns 6-7, the tab up to column 16.
  TextFile f = TextFile::from_string("   1 C1\tX\n\t\tY\n12345678\tZ\n", "t", Tabs::Columns);
  std::string line;
  ASSERT_TRUE(f.next(line, 20));
  EXPECT_EQ(line, "   1 C1 X           ");
  ASSERT_TRUE(f.next(line, 20));
  EXPECT_EQ(line, std::string(16, ' ') + "Y   ");
  ASSERT_TRUE(f.next(line, 20));
  EXPECT_EQ(line, "12345678        Z   ");
}

TEST(TextFile, CutTellsWhetherTextWasLostBeyondTheWidth) {
  TextFile f = TextFile::from_string("ABCDEF\nABC   \nABC\n");
  std::string line;
  ASSERT_TRUE(f.next(line, 3));
  EXPECT_EQ(line, "ABC");
  EXPECT_TRUE(f.cut());
  ASSERT_TRUE(f.next(line, 3));  // only blanks beyond the width
  EXPECT_FALSE(f.cut());
  ASSERT_TRUE(f.next(line, 3));
  EXPECT_FALSE(f.cut());
  EXPECT_FALSE(f.next(line, 3));
  EXPECT_FALSE(f.cut());
}

TEST(TextFile, ControlCharactersOfBinaryGarbageAreReadAsQuestionMarks) {
  std::string junk("\x00\x01\xff\x7f\x1b[2J\rA\r\n\x0c", 13);
  TextFile f = TextFile::from_string(junk);
  EXPECT_EQ(f.size(), 2u);
  std::string line;
  ASSERT_TRUE(f.next(line, 10));
  EXPECT_EQ(line, "??\xff??[2J?A");  // bytes above 127 stay: text in UTF-8
  ASSERT_TRUE(f.next(line, 2));
  EXPECT_EQ(line, "? ");
}

TEST(TextFile, ViewsGiveTheLinesOfNextWithoutTheirPadding) {
  TextFile f = TextFile::from_string("CELL 0.71073 10 11 12 90 90 90\r\n\tC1 1 0.1\n\nABCDEFGHIJ   \nABCDEFGHIJKL\nlast");
  TextFile g = f;
  std::string padded;
  std::string_view view;
  // text lost beyond the width is cut, blanks are not
  const std::vector<std::pair<std::string_view, bool>> expected = {
      {"CELL 0.710", true}, {" C1 1 0.1", false}, {"", false}, {"ABCDEFGHIJ", false}, {"ABCDEFGHIJ", true}, {"last", false}};
  for (auto [want, cut] : expected) {
    ASSERT_TRUE(f.next(padded, 10));
    EXPECT_EQ(f.cut(), cut) << want;
    ASSERT_TRUE(g.next_view(view, 10));
    EXPECT_EQ(view, want);
    EXPECT_EQ(g.cut(), cut) << want;
    EXPECT_EQ(padded.substr(0, view.size()), view);
    EXPECT_EQ(padded.find_first_not_of(' ', view.size()), std::string::npos);
    EXPECT_EQ(g.line_number(), f.line_number());
  }
  EXPECT_FALSE(f.next_view(view, 10));
  EXPECT_FALSE(f.next(padded, 10));
  g.backspace();
  ASSERT_TRUE(g.next_raw(padded));
  EXPECT_EQ(padded, "last");
  g.rewind();
  ASSERT_TRUE(g.next_view(view, 255));
  EXPECT_EQ(view, "CELL 0.71073 10 11 12 90 90 90");
}

}  // namespace
}  // namespace vorn
