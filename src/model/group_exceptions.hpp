// Functional-group exceptions per atom.
#pragma once

#include <string>
#include <vector>

#include "base/line_table.hpp"

namespace vorn {

struct Except {
  std::vector<int> flag;  // 1 when a group is recorded
  LineTable group;        // 40 characters, blank when none
};

}  // namespace vorn
