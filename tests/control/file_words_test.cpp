#include "control/file_words.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vorn {
namespace {

// The words as "text" for a plain word and "<text>" for a quoted one.
std::string shown(const std::vector<LineWord>& ws) {
  std::string s;
  for (const LineWord& w : ws) s += (s.empty() ? "" : "|") + (w.quoted ? "<" + w.text + ">" : w.text);
  return s;
}

TEST(LineWords, QuotedNamesHoldBlanksAndKeepTheirCase) {
  const struct {
    const char* line;
    const char* words;
  } kCases[] = {
      {"INPUT a.res", "INPUT|a.res"},
      {"INPUT   My.res   *rename 1 ", "INPUT|My.res|*rename|1"},
      {"INPUT \"my structure.cif\"", "INPUT|<my structure.cif>"},
      {"INPUT 'my structure.cif' 4", "INPUT|<my structure.cif>|4"},
      {"INPUT \"a b.mas\" 'c  d.inp'", "INPUT|<a b.mas>|<c  d.inp>"},
      // An inner quote of the other kind, or of the same kind not followed
      // by a blank, stays in the name.
      {"INPUT \"it's.cif\"", "INPUT|<it's.cif>"},
      {"INPUT 'it's x.cif' '4'", "INPUT|<it's x.cif>|<4>"},
      {"INPUT x.cif \"\"", "INPUT|x.cif|<>"},
      // A quote inside a plain word is a character of it.
      {"INPUT o'brien.res", "INPUT|o'brien.res"},
      {"DATABANK \"/opt/my bank/db.txt\"", "DATABANK|</opt/my bank/db.txt>"},
  };
  for (const auto& c : kCases) {
    std::string fault = "unset";
    EXPECT_EQ(shown(line_words(c.line, fault)), c.words) << c.line;
    EXPECT_EQ(fault, "") << c.line;
  }
  std::string fault;
  const auto ws = line_words("  INPUT 'a b.cif'", fault);
  ASSERT_EQ(ws.size(), 2u);
  EXPECT_EQ(ws[0].column, 3);
  EXPECT_EQ(ws[1].column, 9);
}

TEST(LineWords, QuotesThatDoNotCloseAreFaults) {
  const struct {
    const char* line;
    const char* fault;
    const char* before;  // the words before the fault
  } kCases[] = {
      {"INPUT \"my structure.cif", "the quote \" in column 7 is not closed", "INPUT"},
      {"INPUT x.cif 'block", "the quote ' in column 13 is not closed", "INPUT|x.cif"},
      {"INPUT \"a b\".cif",
       "the name quoted from column 7 goes on after its closing quote in column 11: put the whole name in the quotes",
       "INPUT"},
  };
  for (const auto& c : kCases) {
    std::string fault;
    EXPECT_EQ(shown(line_words(c.line, fault)), c.before) << c.line;
    EXPECT_EQ(fault, c.fault) << c.line;
  }
}

TEST(LineWords, NumbersAndOptionWordsAreNeverQuoted) {
  std::string fault;
  const auto ws = line_words("INPUT x.cif 4 '4' *rename rename '*toxd' *ToXd 1.5e0 toxdx", fault);
  ASSERT_EQ(ws.size(), 10u);
  const bool number[] = {false, false, true, false, false, false, false, false, true, false};
  const bool option[] = {false, false, false, false, true, true, false, true, false, false};
  for (std::size_t k = 0; k < ws.size(); ++k) {
    EXPECT_EQ(is_number_word(ws[k]), number[k]) << ws[k].text;
    EXPECT_EQ(is_input_option(ws[k]), option[k]) << ws[k].text;
  }
}

}  // namespace
}  // namespace vorn
