// The control file vorn.inp.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "model/run.hpp"

namespace vorn {

// The longest file name taken (structure files, databank path, answers to
// the databank prompt).
constexpr std::size_t MAXFILENAME = 255;

// A file name as the control values hold it: at least 60 characters,
// blank-padded, never cut; a name longer than MAXFILENAME stops the run
// with a message naming `from` (where the name was given) and the limit.
std::string file_name_field(std::string_view name, const std::string& from);

// Reads vorn.inp in the working directory into run.ctl (and run.covrad,
// run.ring1) and prints the options summary.
void ReadInp(Run& run);

// The options summary and the covalent-radius table, to the listing.
void print_options(Run& run);

}  // namespace vorn
