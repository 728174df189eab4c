#include "io/scanner.hpp"

#include <gtest/gtest.h>

#include <random>

#include "base/error.hpp"
#include "base/text.hpp"
#include "format/fortran_io.hpp"

using namespace vorn;

namespace {
std::string line255(const std::string& s) { return pad(s, 255); }
}  // namespace

TEST(Readline, SeparatesTokensFromNumbers) {
  Tokens t;
  std::string l = line255("TOLS bond 0.4 ring 0.1 group 0.1");
  readline(t, l, 255);
  ASSERT_EQ(t.n, 4);
  EXPECT_EQ(t[1], "TOLS    ");
  EXPECT_EQ(t[2], "BOND    ");
  EXPECT_EQ(t[4], "GROUP   ");
  for (int k = 1; k <= 4; ++k) EXPECT_FALSE(t.starred(k));
  EXPECT_EQ(rtrim(l), "          0.4      0.1       0.1");
}

TEST(Readline, StarFlagsUpperCaseAndCutTokens) {
  Tokens t;
  std::string l = line255("FORMAT  *shelx xd databanks *sigma C(1) 1.d10 -25");
  readline(t, l, 255);
  ASSERT_EQ(t.n, 6);
  EXPECT_EQ(t[2], "SHELX   ");
  EXPECT_TRUE(t.starred(2));
  EXPECT_FALSE(t.starred(3));
  EXPECT_EQ(t[4], "DATABANK");
  EXPECT_EQ(t[5], "SIGMA   ");
  EXPECT_TRUE(t.starred(5));
  EXPECT_EQ(t[6], "C(1)    ");
  EXPECT_EQ(ff::ListReader(l).count_left(), 2);  // the numbers stay, in place
}

TEST(Readline, KeepsOnlyFortyTokensButBlanksAllWords) {
  Tokens t;
  std::string s;
  for (int k = 0; k < 45; ++k) s += "w" + std::to_string(k) + " ";
  s += "7";
  std::string l = line255(s);
  readline(t, l, 255);
  EXPECT_EQ(t.n, 40);
  EXPECT_EQ(rtrim(l).find_first_not_of(' '), rtrim(l).size() - 1);
}

TEST(Words, AWordTouchingTheLastPositionIsNotSeen) {
  EXPECT_EQ(dnumline("ab cd", 5), 1);
  EXPECT_EQ(dnumline("ab cd ", 6), 2);
  Word w = ReadChar("  ab  cde ", 2, 10);
  EXPECT_EQ(w.start, 7);
  EXPECT_EQ(w.end, 9);
  EXPECT_THROW(ReadChar("ab ", 2, 3), VornError);
  try {
    ReadChar("ab ", 2, 3);
  } catch (const VornError& e) {
    EXPECT_EQ(e.routine(), "ReadChar");
    EXPECT_EQ(e.message(), "Unexpected STOP in ReadChar...");
  }
}

TEST(Words, LengthsOfBlankText) {
  std::string blank(60, ' ');
  EXPECT_EQ(ils(blank, 60), 60);
  EXPECT_EQ(lenstr(blank, 60), 0);
  EXPECT_EQ(ifs(blank, 60), 0);
  EXPECT_EQ(ifs("  x ", 4), 3);
  EXPECT_EQ(lenstr("  x ", 4), 3);
}

TEST(Words, RmBlanksPacksAndGuardsItsLength) {
  std::string s = " a b  c ";
  RmBlanks(s, 8);
  EXPECT_EQ(s, "abc     ");
  EXPECT_THROW(RmBlanks(s, 257), VornError);
}

TEST(LabelForms, BracketsNumbersAndDummies) {
  EXPECT_EQ(erbras("H(1A)"), pad("H1A", 10));
  EXPECT_EQ(erbras("C(12)"), pad("C12", 10));
  EXPECT_EQ(ernum("H(1A)"), pad("H", 10));
  EXPECT_EQ(ernum("H1A"), pad("H1A", 10));
  EXPECT_EQ(erum("DUM3"), pad("D3", 10));
  EXPECT_EQ(erbras(erum("DUM12")), pad("D12", 10));
}

// The label forms as string surgery on the padded text, to hold the in-place
// versions to: every edit keeps ten characters, the result left-justified.
namespace reference {
std::string left_justify(const std::string& s) {
  const auto k = s.find_first_not_of(' ');
  return k == std::string::npos ? std::string(10, ' ') : pad(std::string_view(s).substr(k), 10);
}
std::string erbras(std::string_view label) {
  std::string s = pad(label, 10);
  if (auto p = s.find('('); p != std::string::npos) s = s.erase(p, 1) + " ";
  if (auto p = s.find(')'); p != std::string::npos) s = s.erase(p, 1) + " ";
  return left_justify(s);
}
std::string ernum(std::string_view label) {
  std::string s = pad(label, 10);
  if (auto p = s.find('('); p != std::string::npos) s.replace(p, std::string::npos, 10 - p, ' ');
  return left_justify(s);
}
std::string erum(std::string_view label) {
  std::string s = pad(label, 10);
  if (auto p = s.find("UM"); p != std::string::npos) s = s.erase(p, 2) + "  ";
  return left_justify(s);
}
}  // namespace reference

TEST(LabelForms, MatchTheStringSurgeryOnAnyLabel) {
  std::mt19937 rng(17);
  for (int k = 0; k < 20000; ++k) {
    std::string label;
    const int n = static_cast<int>(rng() % 14);
    for (int c = 0; c < n; ++c) label += "UM()( H1"[rng() % 8];
    SCOPED_TRACE("[" + label + "]");
    ASSERT_EQ(erbras(label), reference::erbras(label));
    ASSERT_EQ(ernum(label), reference::ernum(label));
    ASSERT_EQ(erum(label), reference::erum(label));
    ASSERT_EQ(erbras_erum(label), reference::erbras(reference::erum(label)));
    ASSERT_EQ(ernum_is(label, "H"), rtrim(reference::ernum(label)) == "H");
  }
  EXPECT_EQ(erbras_erum(" DUM(12)"), pad("D12", 10));
  EXPECT_TRUE(ernum_is("  H(12)", "H"));
  EXPECT_FALSE(ernum_is("HUM(1)", "H"));
}

// The word scans walk the text once; they must count and place words as the
// position-by-position rule does, for every length passed.
TEST(Scanner, WordsFollowThePositionRuleForAnyLength) {
  auto at = [](std::string_view s, int pos) {
    return pos >= 1 && pos <= static_cast<int>(s.size()) ? s[static_cast<std::size_t>(pos - 1)] : ' ';
  };
  std::mt19937 rng(9);
  for (int k = 0; k < 5000; ++k) {
    std::string text;
    const int n = static_cast<int>(rng() % 30);
    for (int c = 0; c < n; ++c) text += "ab  *1."[rng() % 7];
    const int len = static_cast<int>(rng() % 34);
    std::vector<Word> expected;
    int start = 0;
    for (int j = 1; j < len; ++j) {
      const char c = at(text, j);
      if (c != ' ' && (j == 1 || at(text, j - 1) == ' ')) start = j;
      if (c != ' ' && at(text, j + 1) == ' ') expected.push_back(Word{start, j});
    }
    const std::vector<Word> got = words(text, len);
    ASSERT_EQ(got.size(), expected.size()) << "[" << text << "] " << len;
    for (std::size_t w = 0; w < got.size(); ++w) {
      EXPECT_EQ(got[w].start, expected[w].start) << "[" << text << "] " << len;
      EXPECT_EQ(got[w].end, expected[w].end) << "[" << text << "] " << len;
    }
    EXPECT_EQ(dnumline(text, len), static_cast<int>(expected.size())) << "[" << text << "] " << len;
  }
}

TEST(Scanner, SplitBlanksGivesTheWordsOfAnyText) {
  // Texts across the blocks of 16 and 64 characters, words touching both ends.
  std::mt19937 rng(11);
  std::vector<std::string_view> got;
  for (int k = 0; k < 3000; ++k) {
    std::string text;
    for (int c = static_cast<int>(rng() % 200); c > 0; --c) text += "a b  x.1-="[rng() % 10];
    std::vector<std::string_view> want;
    const std::string_view v(text);
    for (std::size_t i = 0; i < v.size();) {
      if (v[i] == ' ') {
        ++i;
        continue;
      }
      const std::size_t j = std::min(v.find(' ', i), v.size());
      want.push_back(v.substr(i, j - i));
      i = j;
    }
    split_blanks(text, got);
    ASSERT_EQ(got, want) << "[" << text << "]";
    for (std::size_t w = 0; w < got.size(); ++w) EXPECT_EQ(got[w].data(), want[w].data());
  }
  split_blanks("", got);
  EXPECT_TRUE(got.empty());
}
