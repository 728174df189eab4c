// Where make install puts the example databank.
#pragma once

#include <string>

namespace vorn {

// PREFIX/share/vorn/databank/vorn_db.txt: PREFIX is the one the running
// program was installed under (its bin folder beside share) when the file
// is there, else the one the build was configured with (the prefix make
// install uses by default).
std::string installed_databank();

}  // namespace vorn
