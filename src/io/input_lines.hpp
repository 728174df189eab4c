// The logical lines of the control file: comments and blank lines passed
// over, a line ending in "\" joined with the next.
#pragma once

#include <string>

#include "io/textfile.hpp"

namespace vorn {

// The longest logical line of the control file.
constexpr int LINELEN = 255;

// Next logical line (continuation lines ending in "\" joined) into buf, 255
// characters; returns true at end of file.
bool ReadInputLine(TextFile& f, std::string& buf);

}  // namespace vorn
