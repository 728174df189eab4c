// Line scanning and word routines: splitting a line into option words
// (tokens) and numbers, counting and locating words, label surgery.
//
// Positions are 1-based as in the listings; a text shorter than the length
// passed is read as if padded with blanks. A word is counted only when it
// ends before the last position of the text, so callers pass padded buffers.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace vorn {

constexpr int MAXTOK = 40;

// The token table filled by readline (entries 1..n).
struct Tokens {
  int n = 0;
  std::array<int, MAXTOK + 1> flag{};
  std::array<std::string, MAXTOK + 1> tok{};
  // Token k, "" beyond the count (an 8-character blank-padded text).
  const std::string& operator[](int k) const { return tok[static_cast<std::size_t>(k)]; }
  bool starred(int k) const { return k >= 1 && k <= MAXTOK && flag[static_cast<std::size_t>(k)] == 1; }
};

struct Word {
  int start;  // 1-based, inclusive
  int end;
};

// Splits the line into tokens and numbers: tokens go to the table and are
// blanked out of the line, numbers stay at their positions.
void readline(Tokens& t, std::string& line, int len);

int dnumline(std::string_view text, int len);
// Start and end of word k (1-based); stops the run when there are fewer words.
Word ReadChar(std::string_view text, int k, int len);
// All words as dnumline counts them.
std::vector<Word> words(std::string_view text, int len);
// The words of the text, runs of characters between blanks, in order (the
// text is read as it is, without padding).
void split_blanks(std::string_view text, std::vector<std::string_view>& out);
// Word k as text (1-based), "" when there are fewer words.
std::string word(std::string_view text, int k, int len);

void RmBlanks(std::string& text, int len);
void locase(std::string& text);
void upcase(std::string& text);
int ils(std::string_view text, int len);
int lenstr(std::string_view text, int len);
int ifs(std::string_view text, int len);

// Label forms (10-character labels): erbras removes the first "(" and then the
// first ")"; ernum blanks everything from the first "("; erum removes the
// first "UM". All left-justify the result.
std::string erbras(std::string_view label);
std::string ernum(std::string_view label);
std::string erum(std::string_view label);
// erbras(erum(label)) in one pass.
std::string erbras_erum(std::string_view label);
// True when rtrim(ernum(label)) == name.
bool ernum_is(std::string_view label, std::string_view name);

}  // namespace vorn
