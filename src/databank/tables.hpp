// The databank parameter record of the current atom and the counters.
#pragma once

#include <array>
#include <string>

namespace vorn {

struct DbRecord {
  int found = 0;
  float pv = 0;
  float spv = 0.01f;
  float kappa = 1.0f;
  float kappap = 1.0f;
  std::array<std::array<float, 9>, 5> plm{};  // plm[l][m + 4]
  std::string comment;
};

struct DbCounters {
  int inuse = 0;
  int searched = 0;
  int found = 0;
  int notfound = 0;
};

}  // namespace vorn
