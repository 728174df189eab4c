// What a run tells and asks its user beyond the listing: warnings, which
// scripts also see on standard error, answers read at a prompt, and the stop
// that a signal asks for.
#pragma once

#include <string>
#include <string_view>

#include "model/run.hpp"

namespace vorn {

// Where a warning comes from: --strict makes those about the control file
// errors.
enum class WarningSource { ControlFile, Input };

// " WARNING: text" in the listing and on standard output, and
// report_warning().
void warning(Run& run, std::string_view text, WarningSource from = WarningSource::Input);

// For a warning the caller prints in its own layout: the line
// "vorn: warning: FOLDER: text" on standard error ("vorn: error: ..." for a
// control-file warning under --strict), and the count of control-file
// warnings that --strict turns into a stop.
void report_warning(Run& run, std::string_view text, WarningSource from = WarningSource::Input);

// Stops the run (VornError) when a signal has asked for it. Long loops call
// it now and then: the signal handler itself only notes the signal.
void stop_if_asked(const Run& run);

// "SIGINT", "SIGTERM", or "signal N".
std::string signal_name(int signal);

// One line of the answer to a prompt, without its line end; false when
// standard input has ended. When the run reads a descriptor it waits for
// the answer in a way that a signal still stops the run.
bool read_answer(Run& run, std::string& line);

}  // namespace vorn
