// The stop of a structure reader on bad input. The error banner keeps the
// reader's own message; the line before it says where the reader stopped
// (file, line number, the text it could not use), so that a user can find
// the fault in a file of thousands of lines.
#pragma once

#include <string_view>

#include "io/textfile.hpp"
#include "model/run.hpp"

namespace vorn {

// Writes " <file>, line <n>: <what>" (the line last read from f) to the
// listing and standard output, then stops with err(routine, message).
[[noreturn]] void input_fault(Run& run, std::string_view routine, std::string_view message, const TextFile& f,
                              std::string_view what);

// The same for a file that ended too early: " <file>: ends after line <n>
// (<what>)".
[[noreturn]] void input_ended(Run& run, std::string_view routine, std::string_view message, const TextFile& f,
                              std::string_view what);

// For a file that cannot be opened: " <name>: cannot be opened: <the
// system's reason>".
[[noreturn]] void input_missing(Run& run, std::string_view routine, std::string_view message, std::string_view name);

// "<<text>>" with the trailing blanks of the text removed, for the detail
// line.
std::string shown(std::string_view text);

}  // namespace vorn
