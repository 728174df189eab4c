// vorn.json: the model set-up in machine-readable form, for scripts, for
// comparing runs and for the page vorn.html (docs/json.md lists the fields).
#pragma once

#include <string>

#include "model/run.hpp"

namespace vorn {

// The record of a run after localdef (and the rescaling, when made), as
// text: each top-level field on its own line, and each member of a
// top-level list (an atom, a ring, a bond) on its own line, so that two runs
// compare line by line. Reals are written as the program holds them (32-bit),
// each as the shortest text that reads back to the same value; bytes that
// are not UTF-8 (a label from a Latin-1 file) become U+FFFD.
std::string record_text(const Run& run);

// Writes vorn.json and returns its text.
std::string write_json_record(Run& run);

}  // namespace vorn
