// The single fatal-error path. A stage that cannot go on calls err(); the
// exception unwinds to the run driver, which writes the error banner to the
// listing and to standard output and ends the run with exit status 1.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace vorn {

class VornError : public std::runtime_error {
 public:
  VornError(std::string routine, std::string message, bool reported)
      : std::runtime_error(routine + ": " + message),
        routine_(std::move(routine)),
        message_(std::move(message)),
        reported_(reported) {}
  const std::string& routine() const { return routine_; }
  const std::string& message() const { return message_; }
  // True when the stage has already printed its own message (the few stops
  // that do not go through the error banner).
  bool reported() const { return reported_; }

 private:
  std::string routine_;
  std::string message_;
  bool reported_;
};

// Stops the run with the error banner " ERROR *** routine *** message".
[[noreturn]] void err(std::string_view routine, std::string_view message);

// Stops the run after the stage printed its own message.
[[noreturn]] void stop_reported(std::string_view routine, std::string_view message);

}  // namespace vorn
