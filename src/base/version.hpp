// The program's version.
#pragma once

namespace vorn {

// The version of the project ("1.0.0").
const char* program_version();

}  // namespace vorn
