// Functional-group exceptions per atom.
#pragma once

#include <string>
#include <vector>

namespace vorn {

struct Except {
  std::vector<int> flag;           // 1 when a group is recorded
  std::vector<std::string> group;  // 40 characters, blank when none
};

}  // namespace vorn
