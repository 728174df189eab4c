// SIGINT (Ctrl-C) and SIGTERM while a run writes its files.
//
// The handler only notes the signal in the Run; the run sees it at its next
// look (stop_if_asked, and the wait at a prompt), stops through the error
// path, removes its temporary files and leaves the outputs of the run before
// as they were. A second signal, for a user who will not wait, ends the
// process at once: the handler removes the temporary files (unlink, like
// write, may be called in a handler) and the process dies of the signal.
#pragma once

#include "model/run.hpp"

namespace vorn {

class StopSignals {
 public:
  // Until destroyed, SIGINT and SIGTERM ask `run` to stop.
  explicit StopSignals(Run& run);
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;
};

// Ends the process as the signal would have ended it, so that a shell loop
// or a make that ran vorn stops too; exit status 128 + signal where the
// signal cannot end it.
[[noreturn]] void end_as_signalled(int signal);

}  // namespace vorn
