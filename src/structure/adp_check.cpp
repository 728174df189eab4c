#include "structure/adp_check.hpp"

#include <algorithm>
#include <cmath>

#include "base/text.hpp"

namespace vorn {

namespace {

using Sym3 = std::array<std::array<double, 3>, 3>;

// Eigenvalues of a symmetric 3x3 matrix by the trigonometric solution of its
// characteristic cubic; the smallest is returned.
double smallest_eigenvalue(const Sym3& a) {
  const double off = a[0][1] * a[0][1] + a[0][2] * a[0][2] + a[1][2] * a[1][2];
  if (off == 0.0) return std::min({a[0][0], a[1][1], a[2][2]});
  const double q = (a[0][0] + a[1][1] + a[2][2]) / 3.0;
  const double p2 =
      (a[0][0] - q) * (a[0][0] - q) + (a[1][1] - q) * (a[1][1] - q) + (a[2][2] - q) * (a[2][2] - q) + 2.0 * off;
  const double p = std::sqrt(p2 / 6.0);
  Sym3 b;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) b[i][j] = (a[i][j] - (i == j ? q : 0.0)) / p;
  const double det = b[0][0] * (b[1][1] * b[2][2] - b[1][2] * b[2][1]) - b[0][1] * (b[1][0] * b[2][2] - b[1][2] * b[2][0]) +
                     b[0][2] * (b[1][0] * b[2][1] - b[1][1] * b[2][0]);
  const double r = std::clamp(det / 2.0, -1.0, 1.0);
  const double phi = std::acos(r) / 3.0;
  // The three roots are q + 2p cos(phi + 2 pi k / 3); k = 1 gives the smallest.
  return q + 2.0 * p * std::cos(phi + 2.0943951023931957);
}

}  // namespace

double smallest_u_eigenvalue(const Transf& transf, const Uij& u) {
  // a*, b*, c*: the lengths of the rows of the inverse cell matrix.
  std::array<double, 3> n{};
  for (int i = 0; i < 3; ++i) {
    const auto& row = transf.Minv[static_cast<std::size_t>(i)];
    n[static_cast<std::size_t>(i)] = std::sqrt(double(row[0]) * row[0] + double(row[1]) * row[1] + double(row[2]) * row[2]);
  }
  const Sym3 ustar = {{{u[0] * n[0] * n[0], u[3] * n[0] * n[1], u[4] * n[0] * n[2]},
                       {u[3] * n[0] * n[1], u[1] * n[1] * n[1], u[5] * n[1] * n[2]},
                       {u[4] * n[0] * n[2], u[5] * n[1] * n[2], u[2] * n[2] * n[2]}}};
  const Mat3& m = transf.M;
  Sym3 cart{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int p = 0; p < 3; ++p)
        for (int q = 0; q < 3; ++q) cart[i][j] += double(m[i][p]) * ustar[p][q] * m[j][q];
  return smallest_eigenvalue(cart);
}

void check_adps(Run& run) {
  for (int i = 1; i <= run.atoms.nat; ++i) {
    const auto k = static_cast<std::size_t>(i);
    const int order = run.atoms1.iu[k];
    const Uij& u = run.at_uij[k];
    double smallest = 0;
    if (order == 1)
      smallest = u[0];
    else if (order >= 2)
      smallest = smallest_u_eigenvalue(run.transf, u);
    else
      continue;  // no displacement parameters (Cartesian input)
    // "Not above zero", so that a NaN warns too.
    if (smallest > 0.0) continue;
    const std::string name = run.atoms.name[k].empty() ? std::string(rtrim(run.atoms.label[k])) : run.atoms.name[k];
    if (order == 1)
      to_both(run, "(1x,a,1x,f8.5,a)"_f, "WARNING: atom " + name + ": Uiso not positive,", static_cast<float>(smallest),
              " A**2; passed on unchanged");
    else
      to_both(run, "(1x,a,1x,f8.5,a)"_f,
              "WARNING: atom " + name + ": displacement parameters not positive definite, smallest eigenvalue",
              static_cast<float>(smallest), " A**2; passed on unchanged");
  }
}

}  // namespace vorn
