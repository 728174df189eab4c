// The kappa sets and the multipole parameters of each atom as the parameter
// files give them.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

namespace vorn {

struct Kappas {
  int n = 0;
  std::vector<float> kappa;   // 1..n
  std::vector<float> kappap;
  std::vector<int> nsft;      // scattering table the set belongs to
};

// Parameters of one atom as written to the parameter files.
struct Mpole {
  float pv = 0;
  float spv = 0;
  std::array<std::array<float, 9>, 5> plm{};  // plm[l][m + 4]
  int ax1 = 0, ax2 = 0;                       // 1 X, 2 Y, 3 Z
  int atom0 = 0, atom1 = 0, atom2 = 0;
  int tp = 0, tbl = 0, kap = 0, lmx = 4, one = 1, equiv = 0;
  float& P(int l, int m) { return plm[static_cast<std::size_t>(l)][static_cast<std::size_t>(m + 4)]; }
  float P(int l, int m) const { return plm[static_cast<std::size_t>(l)][static_cast<std::size_t>(m + 4)]; }
};

}  // namespace vorn
