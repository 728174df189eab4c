#include "control/error.hpp"

#include "control/text.hpp"

namespace vorn {

void err(std::string_view routine, std::string_view message) {
  throw VornError(std::string(routine), std::string(rtrim(message)), false);
}

void stop_reported(std::string_view routine, std::string_view message) {
  throw VornError(std::string(routine), std::string(rtrim(message)), true);
}

}  // namespace vorn
