// The closing summary naming the output files.
#pragma once

#include "model/run.hpp"

namespace vorn {

// To the listing and standard output; parameter_files says whether
// xd_vorn.inp (and the MoPro atoms) were written in this run.
void print_summary(Run& run, bool parameter_files);

}  // namespace vorn
