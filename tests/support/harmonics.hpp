// Real spherical harmonics up to the hexadecapoles, in the order of XD's
// key flags, and their behaviour under point operations: the science the
// key masks are checked against.
#pragma once

#include <array>
#include <cmath>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "base/vecmath.hpp"

namespace vorn::test {

// The angular parts as polynomials on the unit sphere (normalisation plays
// no part in invariance). Index 0 is the monopole; 1-3 the dipoles 11+,
// 11-, 10; 4-8 the quadrupoles 20, 21+, 21-, 22+, 22-; 9-15 the octupoles;
// 16-24 the hexadecapoles (l0, l1+, l1-, l2+, l2-, ...).
inline double harmonic(int k, const std::array<double, 3>& p) {
  const double x = p[0], y = p[1], z = p[2];
  const double c2 = x * x - y * y, s2 = 2 * x * y;
  switch (k) {
    case 0: return 1;
    case 1: return x;
    case 2: return y;
    case 3: return z;
    case 4: return 3 * z * z - 1;
    case 5: return x * z;
    case 6: return y * z;
    case 7: return c2;
    case 8: return s2;
    case 9: return z * (5 * z * z - 3);
    case 10: return x * (5 * z * z - 1);
    case 11: return y * (5 * z * z - 1);
    case 12: return z * c2;
    case 13: return z * s2;
    case 14: return x * (x * x - 3 * y * y);
    case 15: return y * (3 * x * x - y * y);
    case 16: return 35 * z * z * z * z - 30 * z * z + 3;
    case 17: return x * z * (7 * z * z - 3);
    case 18: return y * z * (7 * z * z - 3);
    case 19: return c2 * (7 * z * z - 1);
    case 20: return s2 * (7 * z * z - 1);
    case 21: return x * z * (x * x - 3 * y * y);
    case 22: return y * z * (3 * x * x - y * y);
    case 23: return x * x * x * x - 6 * x * x * y * y + y * y * y * y;
    case 24: return x * y * (x * x - y * y);
    default: return 0;
  }
}
inline const char* harmonic_name(int k) {
  static const char* names[] = {"M0",   "D11+", "D11-", "D10",  "Q20",  "Q21+", "Q21-", "Q22+", "Q22-",
                                "O30",  "O31+", "O31-", "O32+", "O32-", "O33+", "O33-", "H40",  "H41+",
                                "H41-", "H42+", "H42-", "H43+", "H43-", "H44+", "H44-"};
  return k >= 0 && k < 25 ? names[k] : "?";
}

using DMat = std::array<std::array<double, 3>, 3>;

inline std::array<double, 3> apply(const DMat& m, const std::array<double, 3>& v) {
  return {m[0][0] * v[0] + m[0][1] * v[1] + m[0][2] * v[2], m[1][0] * v[0] + m[1][1] * v[1] + m[1][2] * v[2],
          m[2][0] * v[0] + m[2][1] * v[1] + m[2][2] * v[2]};
}

// Sample points on the sphere, the same every run.
inline const std::vector<std::array<double, 3>>& sphere_points() {
  static const std::vector<std::array<double, 3>> pts = [] {
    std::mt19937 gen(12345);
    std::normal_distribution<double> g;
    std::vector<std::array<double, 3>> v;
    for (int k = 0; k < 24; ++k) {
      std::array<double, 3> p{g(gen), g(gen), g(gen)};
      const double n = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
      v.push_back({p[0] / n, p[1] / n, p[2] / n});
    }
    return v;
  }();
  return pts;
}

// Whether harmonic k takes the same value at every sample point and at its
// image under the operation (a rotation or an improper rotation, given in
// the frame of the harmonics); tol relative to the harmonic's size.
inline bool invariant(int k, const DMat& op, double tol = 1e-4) {
  for (const auto& p : sphere_points())
    if (std::fabs(harmonic(k, apply(op, p)) - harmonic(k, p)) > tol * 40) return false;
  return true;
}

// The 25 flags of the harmonics invariant under every operation, laid out
// as the multipole half of an XD key line ("10 ddd qqqqq ooooooo hhhhhhhhh":
// the valence population and the monopole always refined).
inline std::string invariant_mask(const std::vector<DMat>& ops) {
  std::string f;
  for (int k = 0; k < 25; ++k) {
    bool ok = true;
    for (const DMat& op : ops) ok = ok && invariant(k, op);
    f += ok ? '1' : '0';
  }
  return "10 " + f.substr(1, 3) + ' ' + f.substr(4, 5) + ' ' + f.substr(9, 7) + ' ' + f.substr(16, 9);
}

// The 25 flags (monopole first) of the multipole half of a key line.
inline std::string flags_of(const std::string& mask) {
  std::string f;
  f += mask[1];
  for (std::size_t k = 3; k < mask.size(); ++k)
    if (mask[k] != ' ') f += mask[k];
  return f;
}

// Operations in the frame of the harmonics.
inline DMat rot_z(double deg) {
  const double a = deg * M_PI / 180.0, c = std::cos(a), s = std::sin(a);
  return DMat{{{c, -s, 0}, {s, c, 0}, {0, 0, 1}}};
}
inline DMat diag(double a, double b, double c) { return DMat{{{a, 0, 0}, {0, b, 0}, {0, 0, c}}}; }
inline DMat neg(DMat m) {
  for (auto& r : m)
    for (double& v : r) v = -v;
  return m;
}
inline DMat mul(const DMat& a, const DMat& b) {
  DMat c{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) c[i][j] += a[i][k] * b[k][j];
  return c;
}

inline const DMat kInv = diag(-1, -1, -1);
inline const DMat kMirX = diag(-1, 1, 1), kMirY = diag(1, -1, 1), kMirZ = diag(1, 1, -1);
inline const DMat k2X = diag(1, -1, -1);
inline const DMat k3Diag{{{0, 0, 1}, {1, 0, 0}, {0, 1, 0}}};   // 3-fold about [111]
inline const DMat kMirXY{{{0, 1, 0}, {1, 0, 0}, {0, 0, 1}}};   // mirror across x = y

// The generators of each named group in the orientation the key table
// states (local frame: Z the main axis, then X).
inline const std::map<std::string, std::vector<DMat>>& named_groups() {
  static const std::map<std::string, std::vector<DMat>> g = {
      {"NO", {}},
      {"C", {kInv}},
      {"-1", {kInv}},
      {"2", {rot_z(180)}},
      {"m", {kMirZ}},
      {"2/m", {rot_z(180), kInv}},
      {"222", {rot_z(180), k2X}},
      {"mm2", {rot_z(180), kMirX}},
      {"mmm", {rot_z(180), k2X, kInv}},
      {"4", {rot_z(90)}},
      {"-4", {neg(rot_z(90))}},
      {"4/m", {rot_z(90), kInv}},
      {"422", {rot_z(90), k2X}},
      {"4mm", {rot_z(90), kMirX}},
      {"-42m", {neg(rot_z(90)), kMirX}},
      {"4/mmm", {rot_z(90), kMirX, kInv}},
      {"3", {rot_z(120)}},
      {"-3", {rot_z(120), kInv}},
      {"32", {rot_z(120), k2X}},
      {"3m", {rot_z(120), kMirY}},
      {"-3m", {rot_z(120), kMirY, kInv}},
      {"6", {rot_z(60)}},
      {"-6", {neg(rot_z(60))}},
      {"6/m", {rot_z(60), kInv}},
      {"622", {rot_z(60), k2X}},
      {"6mm", {rot_z(60), kMirY}},
      {"-6m2", {neg(rot_z(60)), kMirY}},
      {"6/mmm", {rot_z(60), kMirY, kInv}},
      {"23", {rot_z(180), k2X, k3Diag}},
      {"m-3", {rot_z(180), k2X, k3Diag, kInv}},
      {"432", {rot_z(90), k2X, k3Diag}},
      {"-43m", {neg(rot_z(90)), k3Diag, kMirXY}},
      {"m-3m", {rot_z(90), k3Diag, kInv}},
      // A rotation by an angle no multiple of 2pi/m for m up to 4 stands for
      // every rotation about the cylinder's axis.
      {"cyl", {rot_z(57.3), kMirY}},
      {"cyl/m", {rot_z(57.3), kMirY, kMirZ}},
  };
  return g;
}

}  // namespace vorn::test
