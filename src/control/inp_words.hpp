// The words the control file knows, and the warnings for the words it does
// not. A misspelt keyword or option word is passed over as the reader always
// did; the warning (standard output and listing, with the line number) makes
// sure the user learns that the run does not do what the line asked for.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "io/scanner.hpp"
#include "model/run.hpp"

namespace vorn {

// The keywords of vorn.inp, in the order the reader tests them.
const std::vector<std::string>& control_keywords();

// The known word nearest to a word (upper case), "" when none is near
// enough to be a likely misspelling.
std::string nearest_word(std::string_view word, const std::vector<std::string>& known);

// Warns about the words of one logical line of vorn.inp that the reader
// passes over or takes differently from what they say: an unknown keyword,
// a starred option word that is not one of the keyword's words, a
// positional word at the wrong place, TOLS words out of order. `text` is
// the line as read, `t` its tokens, `line` its line number.
void check_control_words(Run& run, int line, std::string_view text, const Tokens& t);

}  // namespace vorn
