#include "symmetry/point_group.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace vorn {

namespace {

constexpr Mat3 kIdentity{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};

float det(const Mat3& m) {
  return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

Mat3 negated(Mat3 m) {
  for (auto& r : m)
    for (float& v : r) v = -v;
  return m;
}

Mat3 rot_z(int n) {
  const double a = 2.0 * M_PI / n;
  const auto c = static_cast<float>(std::cos(a)), s = static_cast<float>(std::sin(a));
  return Mat3{{{c, -s, 0}, {s, c, 0}, {0, 0, 1}}};
}
Mat3 diag(float a, float b, float c) { return Mat3{{{a, 0, 0}, {0, b, 0}, {0, 0, c}}}; }

// Generators in the orientation of the key table: Z the main axis; X a
// 2-fold axis or mirror normal where the group has one across Z (for
// "-42m" the mirror normal, for "3m", "-3m", "6mm", "-6m2" and "6/mmm" the
// mirror through X); cubic groups with 2-fold or 4-fold axes along X, Y, Z.
std::vector<std::pair<std::string, std::vector<Mat3>>> generator_table() {
  const Mat3 inv = negated(kIdentity), mx = diag(-1, 1, 1), my = diag(1, -1, 1), mz = diag(1, 1, -1);
  const Mat3 c2x = diag(1, -1, -1);
  const Mat3 c3d{{{0, 0, 1}, {1, 0, 0}, {0, 1, 0}}};
  const Mat3 mxy{{{0, 1, 0}, {1, 0, 0}, {0, 0, 1}}};
  return {
      {"1", {}},
      {"-1", {inv}},
      {"2", {rot_z(2)}},
      {"m", {mz}},
      {"2/m", {rot_z(2), inv}},
      {"222", {rot_z(2), c2x}},
      {"mm2", {rot_z(2), mx}},
      {"mmm", {rot_z(2), c2x, inv}},
      {"4", {rot_z(4)}},
      {"-4", {negated(rot_z(4))}},
      {"4/m", {rot_z(4), inv}},
      {"422", {rot_z(4), c2x}},
      {"4mm", {rot_z(4), mx}},
      {"-42m", {negated(rot_z(4)), mx}},
      {"4/mmm", {rot_z(4), mx, inv}},
      {"3", {rot_z(3)}},
      {"-3", {rot_z(3), inv}},
      {"32", {rot_z(3), c2x}},
      {"3m", {rot_z(3), my}},
      {"-3m", {rot_z(3), my, inv}},
      {"6", {rot_z(6)}},
      {"-6", {negated(rot_z(6))}},
      {"6/m", {rot_z(6), inv}},
      {"622", {rot_z(6), c2x}},
      {"6mm", {rot_z(6), my}},
      {"-6m2", {negated(rot_z(6)), my}},
      {"6/mmm", {rot_z(6), my, inv}},
      {"23", {rot_z(2), c2x, c3d}},
      {"m-3", {rot_z(2), c2x, c3d, inv}},
      {"432", {rot_z(4), c2x, c3d}},
      {"-43m", {negated(rot_z(4)), c3d, mxy}},
      {"m-3m", {rot_z(4), c3d, inv}},
  };
}

struct Standard {
  std::vector<std::string> names;
  std::map<std::string, std::vector<Mat3>, std::less<>> groups;
  std::map<std::string, std::string> by_kinds;  // kinds of the elements -> name
};

// The elements of a group counted by kind, as one text ("2:3 m:2 ...").
std::string kinds(const std::vector<Mat3>& ops) {
  std::map<std::string, int> count;
  for (const Mat3& m : ops) ++count[describe(m).symbol];
  std::string k;
  for (const auto& [s, c] : count) k += s + ":" + std::to_string(c) + " ";
  return k;
}

const Standard& standard() {
  static const Standard s = [] {
    Standard t;
    for (auto& [name, gens] : generator_table()) {
      t.names.push_back(name);
      std::vector<Mat3> g = close_group(gens);
      t.by_kinds[kinds(g)] = name;
      t.groups[name] = std::move(g);
    }
    t.groups["NO"] = t.groups["1"];
    return t;
  }();
  return s;
}

}  // namespace

Mat3 mul(const Mat3& a, const Mat3& b) {
  Mat3 c{};
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = 0; j < 3; ++j)
      for (std::size_t k = 0; k < 3; ++k) c[i][j] += a[i][k] * b[k][j];
  return c;
}

Mat3 transpose(const Mat3& a) {
  Mat3 t{};
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = 0; j < 3; ++j) t[i][j] = a[j][i];
  return t;
}

PointElement describe(const Mat3& op) {
  PointElement e;
  e.proper = det(op) > 0;
  const Mat3 p = e.proper ? op : negated(op);
  const float tr = p[0][0] + p[1][1] + p[2][2];
  const double c = std::clamp((tr - 1.0) / 2.0, -1.0, 1.0);
  const double angle = std::acos(c);
  e.n = angle < 1e-3 ? 1 : static_cast<int>(std::lround(2.0 * M_PI / angle));
  if (e.n == 2) {
    // A half turn: the axis is any non-zero column of p + 1.
    float len = -1;
    for (std::size_t j = 0; j < 3; ++j) {
      Vec3 col{p[0][j], p[1][j], p[2][j]};
      col[j] += 1.0f;
      if (rlength(col) > len) {
        len = rlength(col);
        e.axis = col;
      }
    }
  } else if (e.n > 2) {
    e.axis = {p[2][1] - p[1][2], p[0][2] - p[2][0], p[1][0] - p[0][1]};
  }
  if (const float l = rlength(e.axis); l > 0) e.axis = scale(e.axis, 1.0f / l);
  if (e.proper) {
    e.symbol = std::to_string(e.n);
  } else {
    switch (e.n) {
      case 1: e.symbol = "-1"; break;
      case 2: e.symbol = "m"; break;
      case 3: e.symbol = "-3"; break;
      case 4: e.symbol = "-4"; break;
      case 6: e.symbol = "-6"; break;
      default: e.symbol = "-" + std::to_string(e.n); break;
    }
  }
  return e;
}

bool same_op(const Mat3& a, const Mat3& b, float tol) {
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = 0; j < 3; ++j)
      if (std::fabs(a[i][j] - b[i][j]) > tol) return false;
  return true;
}

bool has_op(const std::vector<Mat3>& ops, const Mat3& m, float tol) {
  return std::any_of(ops.begin(), ops.end(), [&](const Mat3& o) { return same_op(o, m, tol); });
}

bool same_group(const std::vector<Mat3>& a, const std::vector<Mat3>& b, float tol) {
  if (a.size() != b.size()) return false;
  return std::all_of(a.begin(), a.end(), [&](const Mat3& m) { return has_op(b, m, tol); });
}

std::vector<Mat3> close_group(const std::vector<Mat3>& gens, std::size_t limit) {
  std::vector<Mat3> g{kIdentity};
  for (std::size_t k = 0; k < g.size(); ++k)
    for (const Mat3& s : gens) {
      const Mat3 p = mul(g[k], s);
      if (has_op(g, p)) continue;
      if (g.size() >= limit) return {};
      g.push_back(p);
    }
  return g;
}

std::string point_group_name(const std::vector<Mat3>& ops) {
  const Standard& s = standard();
  auto it = s.by_kinds.find(kinds(ops));
  return it == s.by_kinds.end() ? std::string() : it->second;
}

const std::vector<Mat3>& standard_group(std::string_view name) {
  static const std::vector<Mat3> none;
  const Standard& s = standard();
  auto it = s.groups.find(name);
  return it == s.groups.end() ? none : it->second;
}

const std::vector<std::string>& point_group_names() { return standard().names; }

}  // namespace vorn
