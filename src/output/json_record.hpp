// vorn.json: the model set-up in machine-readable form, for scripts, for
// comparing runs and for the page vorn.html (docs/json.md lists the fields).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "control/run.hpp"

namespace vorn {

// Keys in the order written; reals as the program holds them (32-bit), so
// that each prints as the shortest text that reads back to the same value.
using Json = nlohmann::basic_json<nlohmann::ordered_map, std::vector, std::string, bool, std::int64_t, std::uint64_t,
                                  float>;

// The record of a run after localdef (and the rescaling, when made).
Json model_record(const Run& run);

// The record as text: each top-level field on its own line, and each member
// of a top-level list (an atom, a ring, ...) on its own line, so that two
// runs compare line by line; bytes that are not UTF-8 (a label read from a
// Latin-1 file) become U+FFFD instead of stopping the run.
std::string record_text(const Json& record);

// Writes vorn.json and returns its text.
std::string write_json_record(Run& run);

}  // namespace vorn
