#include "local/site_check.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "base/text.hpp"

namespace vorn {

namespace {

// One generator: the rotation by 360/n degrees about an axis, followed by
// the inversion when it is improper (a mirror is the improper two-fold
// about its normal, the inversion the improper one-fold).
struct Generator {
  Vec3 axis;
  int n;
  bool improper;
};

struct SiteGroup {
  std::string_view code;
  std::vector<Generator> generators;
};

constexpr Vec3 kX{1, 0, 0};
constexpr Vec3 kY{0, 1, 0};
constexpr Vec3 kZ{0, 0, 1};
constexpr Vec3 kBody{0.57735027f, 0.57735027f, 0.57735027f};

// The generators of each code in its key-mask orientation. The rows the
// rules do not give yet are here so that any code a key can take is checked.
const std::vector<SiteGroup>& site_groups() {
  static const std::vector<SiteGroup> groups = {
      {"NO", {}},
      {"1", {}},
      {"-1", {{kZ, 1, true}}},
      {"C", {{kZ, 1, true}}},  // centrosymmetric
      {"2", {{kZ, 2, false}}},
      {"m", {{kZ, 2, true}}},
      {"2/m", {{kZ, 2, false}, {kZ, 2, true}}},
      {"222", {{kZ, 2, false}, {kX, 2, false}}},
      {"mm2", {{kZ, 2, false}, {kX, 2, true}}},
      {"mmm", {{kZ, 2, true}, {kX, 2, true}, {kY, 2, true}}},
      {"4", {{kZ, 4, false}}},
      {"-4", {{kZ, 4, true}}},
      {"4/m", {{kZ, 4, false}, {kZ, 2, true}}},
      {"422", {{kZ, 4, false}, {kX, 2, false}}},
      {"4mm", {{kZ, 4, false}, {kX, 2, true}}},
      {"-42m", {{kZ, 4, true}, {kX, 2, true}}},
      {"4/mmm", {{kZ, 4, false}, {kZ, 2, true}, {kX, 2, true}}},
      {"3", {{kZ, 3, false}}},
      {"-3", {{kZ, 3, true}}},
      {"32", {{kZ, 3, false}, {kX, 2, false}}},
      {"3m", {{kZ, 3, false}, {kY, 2, true}}},
      {"-3m", {{kZ, 3, true}, {kY, 2, true}}},
      {"6", {{kZ, 6, false}}},
      {"-6", {{kZ, 6, true}}},
      {"6/m", {{kZ, 6, false}, {kZ, 2, true}}},
      {"622", {{kZ, 6, false}, {kX, 2, false}}},
      {"6mm", {{kZ, 6, false}, {kY, 2, true}}},
      {"-6m2", {{kZ, 6, true}, {kY, 2, true}}},
      {"6/mmm", {{kZ, 6, false}, {kZ, 2, true}, {kY, 2, true}}},
      {"23", {{kZ, 2, false}, {kX, 2, false}, {kBody, 3, false}}},
      {"m-3", {{kZ, 2, false}, {kX, 2, false}, {kBody, 3, false}, {kZ, 1, true}}},
      {"432", {{kZ, 4, false}, {kBody, 3, false}}},
      {"-43m", {{kZ, 4, true}, {kBody, 3, false}}},
      {"m-3m", {{kZ, 4, false}, {kBody, 3, false}, {kZ, 1, true}}},
      // A cylinder: its rotations sampled every 30 degrees.
      {"cyl", {{kZ, 12, false}, {kX, 2, true}}},
      {"cyl/m", {{kZ, 12, false}, {kX, 2, true}, {kZ, 2, true}}},
  };
  return groups;
}

Mat3 identity() { return Mat3{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}}; }

// Rotation by 360/n degrees about a unit axis (Rodrigues), then the
// inversion when improper.
Mat3 generator_matrix(const Generator& g) {
  const double t = 2.0 * 3.14159265358979323846 / g.n;
  const double c = std::cos(t), s = std::sin(t);
  const double x = g.axis[0], y = g.axis[1], z = g.axis[2];
  const double r[3][3] = {{c + x * x * (1 - c), x * y * (1 - c) - z * s, x * z * (1 - c) + y * s},
                          {y * x * (1 - c) + z * s, c + y * y * (1 - c), y * z * (1 - c) - x * s},
                          {z * x * (1 - c) - y * s, z * y * (1 - c) + x * s, c + z * z * (1 - c)}};
  Mat3 m{};
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = 0; j < 3; ++j) m[i][j] = static_cast<float>(g.improper ? -r[i][j] : r[i][j]);
  return m;
}

Mat3 product(const Mat3& a, const Mat3& b) {
  Mat3 m{};
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = 0; j < 3; ++j) m[i][j] = a[i][0] * b[0][j] + a[i][1] * b[1][j] + a[i][2] * b[2][j];
  return m;
}

bool same(const Mat3& a, const Mat3& b) {
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = 0; j < 3; ++j)
      if (std::fabs(a[i][j] - b[i][j]) > 1e-3f) return false;
  return true;
}

// The closure of the generators under products.
std::vector<Mat3> closure(const std::vector<Generator>& gens) {
  std::vector<Mat3> ops{identity()};
  std::vector<Mat3> g;
  for (const Generator& x : gens) g.push_back(generator_matrix(x));
  for (std::size_t k = 0; k < ops.size(); ++k)
    for (const Mat3& m : g) {
      const Mat3 p = product(m, ops[k]);
      if (std::none_of(ops.begin(), ops.end(), [&](const Mat3& o) { return same(o, p); })) ops.push_back(p);
    }
  return ops;
}

int letter_index(std::string_view letter) {
  switch (letter.empty() ? ' ' : letter[0]) {
    case 'X': return 0;
    case 'Y': return 1;
    case 'Z': return 2;
    default: return -1;
  }
}

}  // namespace

const std::vector<Mat3>& site_operations(std::string_view code) {
  // Closed once per code: the check runs for every atom, and closing a
  // group of 24 operations each time cost a tenth of the set-up's time.
  static const std::vector<std::vector<Mat3>> closed = [] {
    std::vector<std::vector<Mat3>> c;
    for (const SiteGroup& g : site_groups()) c.push_back(closure(g.generators));
    return c;
  }();
  static const std::vector<Mat3> none;
  const std::string_view c = rtrim(code);
  const std::vector<SiteGroup>& groups = site_groups();
  for (std::size_t k = 0; k < groups.size(); ++k)
    if (groups[k].code == c) return closed[k];
  return none;
}

bool local_frame(const Vec3& atom, const LocalAxes& axes, Mat3& frame) {
  const int a1 = letter_index(axes.AX1), a2 = letter_index(axes.AX2);
  if (a1 < 0 || a2 < 0 || a1 == a2) return false;
  const Vec3 u = sub(axes.P1, atom), w = sub(axes.P2, atom);
  const float lu = rlength(u);
  if (!(lu > 1e-6f)) return false;
  const Vec3 e1 = scale(u, 1.0f / lu);
  const Vec3 wp = sub(w, scale(e1, dot(w, e1)));
  const float lw = rlength(wp);
  if (!(lw > 1e-6f * std::max(1.0f, rlength(w)))) return false;
  const auto k1 = static_cast<std::size_t>(a1), k2 = static_cast<std::size_t>(a2);
  const std::size_t k3 = 3 - k1 - k2;
  frame[k1] = e1;
  frame[k2] = scale(wp, 1.0f / lw);
  frame[k3] = vmult(frame[(k3 + 1) % 3], frame[(k3 + 2) % 3]);
  return true;
}

std::vector<ShellPoint> shell_points(const Run& run, int atom) {
  std::vector<ShellPoint> points;
  const auto ua = static_cast<std::size_t>(atom);
  const Vec3& centre = run.atoms.xc[ua];
  const NeighborRec& r = run.neighbors[ua];
  auto add_point = [&](int j, int shell) {
    const auto uj = static_cast<std::size_t>(j);
    points.push_back(ShellPoint{j, sub(run.atoms.xc[uj], centre), run.atoms.iz[uj], shell});
  };
  for (int k = 1; k <= r.nnei; ++k) add_point(r.inei[static_cast<std::size_t>(k)], 1);
  if (r.nnei == 1 && run.atoms.iz[ua] != 1) {
    const NeighborRec& parent = run.neighbors[static_cast<std::size_t>(r.inei[1])];
    // A parent of no disorder part lists the neighbours of one alternative
    // only: of another alternative's atom it lists a shell that is not the
    // atom's own, and says nothing.
    bool listed = false;
    for (int k = 1; k <= parent.nnei; ++k) listed = listed || parent.inei[static_cast<std::size_t>(k)] == atom;
    if (listed)
      for (int k = 1; k <= parent.nnei; ++k)
        if (const int j = parent.inei[static_cast<std::size_t>(k)]; j != atom) add_point(j, 2);
  }
  return points;
}

float shell_misfit(const std::vector<ShellPoint>& points, const std::vector<Mat3>& operations) {
  float misfit = 0;
  for (const Mat3& op : operations)
    for (const ShellPoint& p : points) {
      const Vec3 moved = matvec(op, p.offset);
      float nearest = std::numeric_limits<float>::infinity();
      for (const ShellPoint& q : points)
        if (q.z == p.z && q.shell == p.shell) nearest = std::min(nearest, dist(moved, q.offset));
      misfit = std::max(misfit, nearest);
    }
  return misfit;
}

std::vector<Mat3> operations_in_frame(const Mat3& frame, std::string_view code) {
  std::vector<Mat3> out;
  for (const Mat3& g : site_operations(code)) {
    // frame^T g frame: local coordinates are frame * cartesian.
    Mat3 c{};
    for (std::size_t i = 0; i < 3; ++i)
      for (std::size_t j = 0; j < 3; ++j) {
        float v = 0;
        for (std::size_t a = 0; a < 3; ++a)
          for (std::size_t b = 0; b < 3; ++b) v += frame[a][i] * g[a][b] * frame[b][j];
        c[i][j] = v;
      }
    out.push_back(c);
  }
  return out;
}

SiteCheck check_site(const Run& run, int atom, const LocalAxes& axes, std::string_view code) {
  SiteCheck res;
  const auto ua = static_cast<std::size_t>(atom);
  Mat3 frame{};
  if (!local_frame(run.atoms.xc[ua], axes, frame)) return res;
  if (site_operations(code).empty()) return res;
  res.checked = true;
  res.misfit = shell_misfit(shell_points(run, atom), operations_in_frame(frame, code));
  res.passes = res.misfit <= run.ctl.tol2;
  return res;
}

void record_site_check(Run& run, int atom) {
  const auto ua = static_cast<std::size_t>(atom);
  const SiteCheck c = check_site(run, atom, run.axes, run.atoms.sitesym[ua]);
  if (ua < run.site_check.size()) {
    SiteCheck& kept = run.site_check[ua];
    kept.checked = c.checked;
    kept.passes = c.passes;
    kept.misfit = c.misfit;
  }
  if (!c.checked || c.passes) return;
  const std::string_view sym = rtrim(run.atoms.sitesym[ua]);
  const std::string_view lab = rtrim(run.atoms.label[ua]);
  to_lst(run, "(/' Site symmetry ',a,' of ',a,' fails the check on its neighbours: largest misfit ',f7.3,' Angstrom')"_f,
         sym, lab, c.misfit);
  to_out(run, "(' Site symmetry ',a,' of ',a,' fails the check on its neighbours: largest misfit ',f7.3,' Angstrom')"_f,
         sym, lab, c.misfit);
}

}  // namespace vorn
