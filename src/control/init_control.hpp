// vorn --init STRUCTURE: a control file that works as it is.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>

namespace vorn {

// Writes vorn.inp in dir for the structure file (a path as given on the
// command line, from dir): the format told from the file's content, the
// file named on INPUT (quoted where it must be; a CIF's data blocks listed),
// the documented defaults with what a first XD set-up needs switched on
// (rings, H extension, a databank when VORN_DB or the installed one is
// there, the net charge 0 to be set), a comment before each line. Never
// replaces an existing vorn.inp. Returns the exit status; says what it did
// on out, and what it could not do on diag.
int init_control_file(const std::filesystem::path& dir, const std::string& structure, std::ostream& out,
                      std::ostream& diag);

// The file name as INPUT takes it: as it is, or in double quotes (single
// quotes when it holds a double quote) when it holds a blank or begins
// with a quote; "" when no quoting can hold it.
std::string input_word(const std::string& name);

}  // namespace vorn
