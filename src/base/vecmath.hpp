// Single-precision vectors and the two coordinate kinds. Fractional and
// Cartesian positions are distinct types so one cannot be passed for the
// other; they convert only through the cell matrices (rabs, to_cart,
// to_frac). Vec3 is a plain direction or difference.
#pragma once

#include <array>
#include <cmath>

namespace vorn {

using Vec3 = std::array<float, 3>;
using Mat3 = std::array<std::array<float, 3>, 3>;  // m[row][col]

struct Frac : Vec3 {
  Frac() : Vec3{0.0f, 0.0f, 0.0f} {}
  Frac(float x, float y, float z) : Vec3{x, y, z} {}
  explicit Frac(const Vec3& v) : Vec3(v) {}
};

struct Cart : Vec3 {
  Cart() : Vec3{0.0f, 0.0f, 0.0f} {}
  Cart(float x, float y, float z) : Vec3{x, y, z} {}
  explicit Cart(const Vec3& v) : Vec3(v) {}
};

// The crystal-to-Cartesian matrix M and its inverse; identity until a cell
// is read.
struct Transf {
  Mat3 M{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  Mat3 Minv{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
};

inline Vec3 matvec(const Mat3& m, const Vec3& v) {
  return {m[0][0] * v[0] + m[0][1] * v[1] + m[0][2] * v[2], m[1][0] * v[0] + m[1][1] * v[1] + m[1][2] * v[2],
          m[2][0] * v[0] + m[2][1] * v[1] + m[2][2] * v[2]};
}

inline Cart to_cart(const Transf& t, const Frac& f) { return Cart(matvec(t.M, f)); }
inline Frac to_frac(const Transf& t, const Cart& c) { return Frac(matvec(t.Minv, c)); }

// mode 0: fractional to Cartesian; mode 1: Cartesian to fractional; any other
// mode stops the run ("rabs", "iflag is wrong...").
Vec3 rabs(const Transf& t, int mode, const Vec3& in);

inline Vec3 sub(const Vec3& a, const Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
inline Vec3 add(const Vec3& a, const Vec3& b) { return {a[0] + b[0], a[1] + b[1], a[2] + b[2]}; }
inline Vec3 scale(const Vec3& a, float s) { return {a[0] * s, a[1] * s, a[2] * s}; }
inline float dot(const Vec3& a, const Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Every coordinate a finite number.
inline bool finite(const Vec3& v) { return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]); }

inline float rlength(const Vec3& v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

inline float dist(const Vec3& a, const Vec3& b) {
  float dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

inline Vec3 vmult(const Vec3& a, const Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

inline float sind(float deg) { return std::sin(deg * 0.017453292f); }
inline float cosd(float deg) { return std::cos(deg * 0.017453292f); }
inline float asind(float x) { return std::asin(x) * 57.295776f; }

}  // namespace vorn
