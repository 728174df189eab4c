// The fragment completion written out as the plain scan it is defined by:
// every (read atom, operator, shift a, shift b, shift c) in that order, and
// a restart from the very beginning after every image appended. Slow on
// purpose; gencompletefrags must append exactly these atoms in exactly this
// order, however it is made fast.
#pragma once

#include <vector>

#include "model/run.hpp"

namespace vorn::test {

struct OracleAtom {
  int source = 0;  // isq
  Frac xf;
  Cart xc;
};

inline std::vector<OracleAtom> complete_oracle(const Run& run) {
  const Atoms& a = run.atoms;
  const int nat = a.nat;
  const int N = run.ctl.ncells;
  const float tol = run.ctl.tol1;
  std::vector<Cart> xc(a.xc.begin(), a.xc.begin() + nat + 1);
  std::vector<int> iz(a.iz.begin(), a.iz.begin() + nat + 1);
  std::vector<OracleAtom> added;
  auto radius = [&](int z) { return run.covrad[static_cast<std::size_t>(z)]; };

  bool appended = true;
  while (appended) {
    appended = false;
    for (int q = 1; q <= nat && !appended; ++q)
      for (int r = 1; r <= run.symm.nsym && !appended; ++r)
        for (int k = -N; k <= N && !appended; ++k)
          for (int l = -N; l <= N && !appended; ++l)
            for (int m = -N; m <= N && !appended; ++m) {
              if (r == 1 && k == 0 && l == 0 && m == 0) continue;
              const SymOp& op = run.symm.op[static_cast<std::size_t>(r)];
              const Vec3 rx = matvec(op.R, a.xf[static_cast<std::size_t>(q)]);
              const Frac xi(rx[0] + op.t[0] + static_cast<float>(k), rx[1] + op.t[1] + static_cast<float>(l),
                            rx[2] + op.t[2] + static_cast<float>(m));
              const Cart ci = to_cart(run.transf, xi);
              if (dist(ci, a.xc[static_cast<std::size_t>(q)]) < 0.001f) continue;
              bool there = false;
              for (std::size_t s = 1; s < xc.size() && !there; ++s) there = dist(ci, xc[s]) < 0.001f;
              if (there) continue;
              for (std::size_t s = 1; s < xc.size(); ++s) {
                const float d = dist(ci, xc[s]);
                if (d <= radius(iz[s]) + radius(a.iz[static_cast<std::size_t>(q)]) + tol) {
                  xc.push_back(ci);
                  iz.push_back(a.iz[static_cast<std::size_t>(q)]);
                  added.push_back({q, xi, ci});
                  appended = true;
                  break;
                }
              }
            }
  }
  return added;
}

}  // namespace vorn::test
