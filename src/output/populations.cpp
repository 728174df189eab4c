#include "output/populations.hpp"

#include <string>

#include "base/error.hpp"
#include "base/text.hpp"

namespace vorn {

std::array<float, NPOP> xd_populations(const Mpole& mp) {
  std::array<float, NPOP> p{};
  std::size_t k = 0;
  p[k++] = mp.pv;
  p[k++] = mp.P(0, 0);
  // The dipoles are the one group XD lists with its m = 0 term last.
  p[k++] = mp.P(1, 1);
  p[k++] = mp.P(1, -1);
  p[k++] = mp.P(1, 0);
  for (int l = 2; l <= 4; ++l) {
    p[k++] = mp.P(l, 0);
    for (int m = 1; m <= l; ++m) {
      p[k++] = mp.P(l, m);
      p[k++] = mp.P(l, -m);
    }
  }
  return p;
}

int kappa_sets(const Run& run, std::string_view routine) {
  const Kappas& ks = run.kappas;
  const int n = ks.n;
  const auto need = static_cast<std::size_t>(n < 0 ? 0 : n) + 1;
  if (n < 0 || ks.kappa.size() < need || ks.kappap.size() < need || ks.nsft.size() < need)
    err(routine, "Kappa table holds fewer sets than its count " + std::to_string(n));
  for (int i = 1; i <= run.atoms.nat; ++i) {
    int k = run.mpoles[static_cast<std::size_t>(i)].kap;
    if (k < 1 || k > n)
      err(routine, "Atom " + std::string(rtrim(run.atoms.label[static_cast<std::size_t>(i)])) +
                       " refers to kappa set " + std::to_string(k) + ", but only " + std::to_string(n) +
                       " sets have values");
  }
  return n;
}

int dummy_count(const Run& run, std::string_view routine) {
  const int n = run.dummy.n;
  if (n < 0 || run.dummy.x.size() < static_cast<std::size_t>(n) + 1)
    err(routine, "Dummy-atom list holds fewer atoms than its count " + std::to_string(n));
  return n;
}

float free_variable(const Run& run, int k) {
  const auto& fv = run.shelx.fv;
  if (k >= 1 && static_cast<std::size_t>(k) < fv.size()) return fv[static_cast<std::size_t>(k)];
  return k == 1 ? 1.0f : 0.0f;
}

Vec3 written_position(const Run& run, int i) {
  const auto k = static_cast<std::size_t>(i);
  if (run.ctl.ifrac == 0) return run.atoms.xc[k];
  return run.atoms.xf[k];
}

}  // namespace vorn
