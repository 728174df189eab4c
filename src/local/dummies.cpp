#include "local/dummies.hpp"

#include <algorithm>
#include <cmath>
#include <vector>
#include <string>

#include "base/error.hpp"
#include "base/text.hpp"
#include "topology/search_index.hpp"

namespace vorn {

namespace {

bool has_fractional(const Run& run) { return run.ctl.ifrac != 0; }

Vec3 dummy_cart(const Run& run, int k) {
  const Vec3& x = run.dummy.x[static_cast<std::size_t>(k)];
  return has_fractional(run) ? rabs(run.transf, 0, x) : x;
}

// Room for dummy n in both lists.
void make_slot(Run& run, int n) {
  const auto need = static_cast<std::size_t>(n) + 1;
  if (run.dummy.label.size() < need) run.dummy.label.resize(need, std::string(6, ' '));
  if (run.dummy.x.size() < need) run.dummy.x.resize(need, Vec3{});
}

// A new dummy at a generated atom's site takes over the axis.
void replace_axis_atom(Run& run, int i, std::string& atom, const std::string& ax) {
  Dummy& d = run.dummy;
  ++d.n;
  make_slot(run, d.n);
  DummyLab(run);
  to_lst(run,
         "(/' Atom ',a,' used in definition of ',a,'-axis is',"
         "' symmetry-generated; replace with dummy ',i4)"_f,
         std::string(rtrim(atom)), ax, d.n);
  atom = pad(d.label[static_cast<std::size_t>(d.n)], 8);
  const auto ui = static_cast<std::size_t>(i);
  // Stored in the list's own frame, so PLATON-style input keeps Cartesian dummies.
  d.x[static_cast<std::size_t>(d.n)] = has_fractional(run) ? Vec3(run.atoms.xf[ui]) : Vec3(run.atoms.xc[ui]);
}

// Position of an axis letter in "XYZ", -1 for anything else.
int axis_index(const std::string& ax) {
  if (ax.empty()) return -1;
  switch (ax[0]) {
    case 'X': return 0;
    case 'Y': return 1;
    case 'Z': return 2;
    default: return -1;
  }
}

}  // namespace

void DummyLab(Run& run) {
  const int n = run.dummy.n;
  if (n >= 1000) err("DummyLab", "DUMMY label exceeds format...");
  if (n < 1) err("DummyLab", "no dummy atom to label");
  make_slot(run, n);
  // "DUM" and the number in as many digits as it has (1..999), in six columns.
  std::string& label = run.dummy.label[static_cast<std::size_t>(n)];
  label.assign("DUM");
  label += getdummylabel(n);
  label.resize(6, ' ');
}

int adddummyatom(Run& run, int mode, const Vec3& point, Vec3& cart) {
  Vec3 stored = point;
  Vec3 c = point;
  if (has_fractional(run)) {
    if (mode == 1) {
      c = rabs(run.transf, 0, point);
    } else {
      stored = rabs(run.transf, 1, point);
    }
  }
  Dummy& d = run.dummy;
  for (int k = 1; k <= d.n; ++k) {
    const Vec3 ck = dummy_cart(run, k);
    if (dist(ck, c) < 0.1f) {
      cart = ck;
      return k;
    }
  }
  ++d.n;
  make_slot(run, d.n);
  DummyLab(run);
  d.x[static_cast<std::size_t>(d.n)] = stored;
  cart = c;
  return d.n;
}

int dummy_at(const Run& run, const Vec3& cart_point, float tol) {
  for (int k = 1; k <= run.dummy.n; ++k)
    if (dist(dummy_cart(run, k), cart_point) < tol) return k;
  return 0;
}

int append_dummy(Run& run, const Vec3& stored) {
  Dummy& d = run.dummy;
  ++d.n;
  make_slot(run, d.n);
  DummyLab(run);
  d.x[static_cast<std::size_t>(d.n)] = stored;
  return d.n;
}

void checksymeq(Run& run) {
  LocalAxes& a = run.axes;
  bool done1 = false, done2 = false;
  // The generated atoms on either axis point, or all of them without an index.
  std::vector<int> near;
  SearchIndex* idx = run.plain_scans ? nullptr : search_index(run);
  if (idx != nullptr) {
    std::vector<int> more;
    idx->grid.candidates(run, a.P1, 0.001, near);
    idx->grid.candidates(run, a.P2, 0.001, more);
    near.insert(near.end(), more.begin(), more.end());
    std::sort(near.begin(), near.end());
    near.erase(std::unique(near.begin(), near.end()), near.end());
  }
  // One walk over the generated atoms for both axes, so dummies are numbered
  // in the order their atoms come.
  auto walk = [&](int i) {
    const Vec3& xi = run.atoms.xc[static_cast<std::size_t>(i)];
    if (!done1 && dist(a.P1, xi) < 0.001f) {
      replace_axis_atom(run, i, a.ATOM0, a.AX1);
      done1 = true;
    }
    if (!done2 && dist(a.P2, xi) < 0.001f) {
      replace_axis_atom(run, i, a.ATOM2, a.AX2);
      done2 = true;
    }
  };
  if (idx != nullptr) {
    for (int i : near)
      if (i > run.atoms.nat) walk(i);
  } else {
    for (int i = run.atoms.nat + 1; i <= run.cryst.ncryst; ++i) walk(i);
  }
}

Vec3 midpoint(const Vec3& a, const Vec3& b) {
  return {(a[0] + b[0]) / 2.0f, (a[1] + b[1]) / 2.0f, (a[2] + b[2]) / 2.0f};
}

float calcang(const Vec3& a, const Vec3& b, const Vec3& c) {
  const Vec3 u = sub(a, b);
  const Vec3 v = sub(c, b);
  const float ru = rlength(u);
  const float rv = rlength(v);
  if (!(ru > 0.0f) || !(rv > 0.0f)) return 0.0f;
  float cs = dot(u, v) / (ru * rv);
  if (!std::isfinite(cs)) return 0.0f;
  // Rounding can push a straight angle's cosine just past -1.
  if (cs > 1.0f) cs = 1.0f;
  if (cs < -1.0f) cs = -1.0f;
  return std::acos(cs) * 57.29577791868205f;
}

void prtang(Run& run, std::ostream& os, int a, int b, int c, float angle) {
  auto label = [&](int i) { return rtrim(run.atoms.label.at(static_cast<std::size_t>(i))); };
  ff::write(os, "(/' Angle   ',a,' - ',a,' - ',a,' = ',f8.2,' deg.')"_f, label(a), label(b), label(c), angle);
}

std::array<Vec3, 3> getdummy(const Vec3& origin, const std::array<Vec3, 3>& axes) {
  std::array<Vec3, 3> tips{};
  for (std::size_t k = 0; k < 3; ++k) {
    const float r = rlength(axes[k]);
    tips[k] = origin;
    if (!(r > 0.0f) || !std::isfinite(r)) continue;
    for (std::size_t m = 0; m < 3; ++m) tips[k][m] = origin[m] + axes[k][m] / r * 0.2f;
  }
  return tips;
}

// The number in as many digits as it needs (an I10 field without its blanks).
std::string getdummylabel(int atom) { return std::string(ff::IntText(atom).view()); }

void loc2plat(Run& run, int atom) {
  if (atom < 1 || static_cast<std::size_t>(atom) >= run.atoms.xc.size())
    err("loc2plat", "atom index " + std::to_string(atom) + " is outside the atom table");
  const LocalAxes& a = run.axes;
  const int i1 = axis_index(a.AX1);
  const int i2 = axis_index(a.AX2);
  if (i1 < 0 || i2 < 0 || i1 == i2)
    err("loc2plat", "axis letters '" + a.AX1 + "' and '" + a.AX2 + "' do not name two different axes");

  const auto ua = static_cast<std::size_t>(atom);
  const Vec3 c = run.atoms.xc[ua];
  auto& os = *run.spf;

  const Vec3 u = sub(a.P1, c);
  const Vec3 w = sub(a.P2, c);
  const Vec3 t = vmult(u, w);
  std::array<Vec3, 3> dir{};
  dir[static_cast<std::size_t>(i1)] = u;
  dir[static_cast<std::size_t>(i2)] = vmult(t, u);
  // The third axis completes a right-handed system, as the axis line of the
  // master file declares ("R"): X x Y = Z, Y x Z = X, Z x X = Y. For the
  // pairs (X,Y) and (Z,X) that is u x w; for (Z,Y) it is w x u.
  const int i3 = 3 - i1 - i2;
  const bool cyclic = i2 == (i1 + 1) % 3;
  dir[static_cast<std::size_t>(i3)] = cyclic ? t : scale(t, -1.0f);

  const std::array<Vec3, 3> tips = getdummy(c, dir);
  // The atom and its three axis tips, one line each, in one write; the tip
  // labels differ only in their leading axis letter.
  const ff::IntText num(atom);
  std::string x_name(8, ' ');
  x_name[0] = 'X';
  x_name.replace(1, std::min<std::size_t>(num.size(), 7), num.view().substr(0, 7));
  std::string y_name = x_name, z_name = x_name;
  y_name[0] = 'Y';
  z_name[0] = 'Z';
  ff::write(os, "(4('ATOM ',a8,3x,3f12.4,:/))"_f, run.atoms.label[ua], c, x_name, tips[0], y_name, tips[1], z_name,
            tips[2]);
}

}  // namespace vorn
