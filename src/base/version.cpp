#include "base/version.hpp"

namespace vorn {

// The build passes the version of the project (CMakeLists.txt).
#ifndef VORN_VERSION
#define VORN_VERSION "unknown"
#endif
const char* program_version() { return VORN_VERSION; }

}  // namespace vorn
