#include "base/error.hpp"

#include "base/text.hpp"

namespace vorn {

// Messages quote input text; input files come without control characters
// (TextFile), but a name typed at a prompt or taken from the environment may
// carry them.
void err(std::string_view routine, std::string_view message) {
  throw VornError(std::string(routine), printable(rtrim(message)), false);
}

void stop_reported(std::string_view routine, std::string_view message) {
  throw VornError(std::string(routine), printable(rtrim(message)), true);
}

}  // namespace vorn
