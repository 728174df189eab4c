// The per-atom loop and the XD master file xd_vorn.mas.
#pragma once

#include <string>

#include "model/run.hpp"

namespace vorn {

void localdef(Run& run);
std::string getkey(Run& run, int atom);
void wrxdmas1(Run& run);
void wrxdmas2(Run& run);

}  // namespace vorn
