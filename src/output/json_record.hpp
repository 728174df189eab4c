// vorn.json: the model set-up in machine-readable form, for scripts, for
// comparing runs and for the page vorn.html (docs/json.md lists the fields).
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "model/run.hpp"

namespace vorn {

// The record of a run after localdef (and the rescaling, when made), as
// text: each top-level field on its own line, and each member of a
// top-level list (an atom, a ring, a bond) on its own line, so that two runs
// compare line by line. Reals are written to a fixed number of decimals
// (lengths in Angstrom 5, all else 6), without the zeros at their end, but
// misfits and tolerances as the shortest text that reads back to the same
// 32-bit value; bytes that are not UTF-8 (a label from a Latin-1 file)
// become U+FFFD.
std::string record_text(const Run& run);

// Takes the record's text piece by piece, in order.
using RecordSink = std::function<void(std::string_view)>;

// The record, handed to sink a piece at a time: the record of a large
// structure is never held whole.
void stream_record(const Run& run, const RecordSink& sink);

// Writes vorn.json, handing each piece of its text to also as well (the
// page carries the same record).
void write_json_record(Run& run, const RecordSink& also);

}  // namespace vorn
