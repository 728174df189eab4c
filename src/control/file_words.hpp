// The words of the control lines that name files (INPUT, DATABANK): a name
// may be quoted, "my structure.cif" or 'my structure.cif', and then holds
// blanks; quoted or not, it keeps its case and characters as typed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vorn {

struct LineWord {
  std::string text;     // without its quotes
  bool quoted = false;  // written in quotes: always a name, never a number or option word
  int column = 0;       // 1-based column of its first character (the quote, when quoted)
};

// The words of a control line. A word that begins with " or ' runs to the
// next same quote that is followed by a blank or the end of the line, so
// that a name such as 'it's.cif' keeps its inner quote. A quote that is never
// closed so, or a closing quote with more text behind it, is a fault: the
// words are returned as far as they go and `fault` says what is wrong ("" when
// nothing is).
std::vector<LineWord> line_words(std::string_view text, std::string& fault);

// True when the word is a number of the control file (unquoted and readable
// as one).
bool is_number_word(const LineWord& w);

// True when the word, unquoted, is one of INPUT's option words (RENAME, TOXD,
// starred or not).
bool is_input_option(const LineWord& w);

}  // namespace vorn
