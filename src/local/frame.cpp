#include "local/frame.hpp"

#include <cmath>

#include "base/text.hpp"

namespace vorn {

namespace {

using DVec = std::array<double, 3>;

DVec widen(const Vec3& v) { return {v[0], v[1], v[2]}; }
double ddot(const DVec& a, const DVec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
DVec dcross(const DVec& a, const DVec& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec3 narrow(const DVec& v) { return {static_cast<float>(v[0]), static_cast<float>(v[1]), static_cast<float>(v[2])}; }

int letter_index(char c) { return c == 'X' ? 0 : c == 'Y' ? 1 : c == 'Z' ? 2 : -1; }
char index_letter(int k) { return k == 1 ? 'X' : k == 2 ? 'Y' : k == 3 ? 'Z' : ' '; }

}  // namespace

Cart axis_point(const Run& run, int index) {
  const int nat = run.atoms.nat;
  if (index >= 1 && index <= nat) return run.atoms.xc[static_cast<std::size_t>(index)];
  const int d = index - nat;
  if (d >= 1 && d <= run.dummy.n) {
    const Vec3& x = run.dummy.x[static_cast<std::size_t>(d)];
    return run.ctl.ifrac == 1 ? to_cart(run.transf, Frac(x)) : Cart(x);
  }
  return Cart();
}

std::string axis_label(const Run& run, int index) {
  const int nat = run.atoms.nat;
  if (index >= 1 && index <= nat) return std::string(rtrim(run.atoms.label[static_cast<std::size_t>(index)]));
  const int d = index - nat;
  if (d >= 1 && d <= run.dummy.n) return std::string(rtrim(run.dummy.label[static_cast<std::size_t>(d)]));
  return std::string();
}

AtomFrame atom_frame(const Run& run, int atom) {
  AtomFrame f;
  const auto a = static_cast<std::size_t>(atom);
  if (atom < 1 || atom > run.atoms.nat || a >= run.mpoles.size()) return f;
  const Mpole& mp = run.mpoles[a];
  f.atom0 = mp.atom0;
  f.atom2 = mp.atom2;
  f.ax1 = index_letter(mp.ax1);
  f.ax2 = index_letter(mp.ax2);
  const int i1 = letter_index(f.ax1), i2 = letter_index(f.ax2);
  if (i1 < 0 || i2 < 0 || i1 == i2 || f.atom0 == 0 || f.atom2 == 0) return f;

  const DVec c = widen(run.atoms.xc[a]);
  DVec u = widen(axis_point(run, f.atom0)), w = widen(axis_point(run, f.atom2));
  for (int k = 0; k < 3; ++k) {
    u[k] -= c[k];
    w[k] -= c[k];
  }
  const double lu = std::sqrt(ddot(u, u)), lw = std::sqrt(ddot(w, w));
  if (!(lu > 1e-6) || !(lw > 1e-6)) return f;
  for (double& x : u) x /= lu;
  // The part of the second direction across the first.
  const double along = ddot(w, u);
  DVec v{w[0] - along * u[0], w[1] - along * u[1], w[2] - along * u[2]};
  const double lv = std::sqrt(ddot(v, v));
  // Directions within about 0.06 degrees of each other fix no plane.
  if (!(lv > 1e-3 * lw)) return f;
  for (double& x : v) x /= lv;
  DVec t = dcross(u, v);
  // X x Y = Z, Y x Z = X, Z x X = Y: when AX2 follows AX1 in that cycle the
  // third axis is AX1 x AX2, otherwise its opposite.
  if (i2 != (i1 + 1) % 3)
    for (double& x : t) x = -x;
  f.axis[static_cast<std::size_t>(i1)] = narrow(u);
  f.axis[static_cast<std::size_t>(i2)] = narrow(v);
  f.axis[static_cast<std::size_t>(3 - i1 - i2)] = narrow(t);
  f.defined = true;
  return f;
}

}  // namespace vorn
