// The cells of a grid over a box of points.
#pragma once

#include <cmath>

namespace vorn {

// The edge of the cubic cells over the box lo..hi: at least `edge`, grown by
// half until the cells number at most `cap`, so that points spread far apart
// do not make many more cells than points. dims gets the cells along each
// axis.
inline double fit_cell_edge(const double (&lo)[3], const double (&hi)[3], double edge, double cap, int (&dims)[3]) {
  for (;;) {
    double cells = 1.0;
    for (int d = 0; d < 3; ++d) cells *= std::floor((hi[d] - lo[d]) / edge) + 1.0;
    if (cells <= cap) break;
    edge *= 1.5;
  }
  for (int d = 0; d < 3; ++d) dims[d] = static_cast<int>(std::floor((hi[d] - lo[d]) / edge)) + 1;
  return edge;
}

}  // namespace vorn
