#include "local/site_symmetry.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <string>

#include "base/text.hpp"
#include "local/dummies.hpp"
#include "local/key_masks.hpp"
#include "model/rings.hpp"
#include "local/site_dummies.hpp"
#include "symmetry/cards.hpp"
#include "symmetry/point_group.hpp"

namespace vorn {

namespace {

Vec3 unit(const Vec3& v) {
  const float l = rlength(v);
  return l > 0 ? scale(v, 1.0f / l) : v;
}

// The frame with Z along z and X along x made perpendicular to it; rows X, Y, Z.
Mat3 frame_zx(const Vec3& z, const Vec3& x) {
  const Vec3 e3 = unit(z);
  const Vec3 e1 = unit(sub(x, scale(e3, dot(x, e3))));
  const Vec3 e2 = vmult(e3, e1);
  return Mat3{e1, e2, e3};
}

// The operations (Cartesian) as seen in a frame (rows the frame's axes).
std::vector<Mat3> in_frame(const Mat3& f, const std::vector<Mat3>& ops) {
  std::vector<Mat3> out;
  out.reserve(ops.size());
  const Mat3 ft = transpose(f);
  for (const Mat3& r : ops) out.push_back(mul(mul(f, r), ft));
  return out;
}

// The name of the group the two sets generate when it stands in the key
// table's orientation in this frame; empty otherwise.
std::string combined_name(const std::vector<Mat3>& a, const std::vector<Mat3>& b) {
  std::vector<Mat3> gens = a;
  gens.insert(gens.end(), b.begin(), b.end());
  const std::vector<Mat3> g = close_group(gens);
  if (g.empty()) return {};
  std::string name = point_group_name(g);
  if (name.empty() || !same_group(g, standard_group(name))) return {};
  return name;
}

// A cylinder about the chemical Z axis c, with the crystal's operations:
// "cyl" when every one keeps c, "cyl/m" when some turn it round, empty
// when one moves it off its line.
std::string cylinder_name(const Vec3& c, const std::vector<Mat3>& cart) {
  bool flipped = false;
  for (const Mat3& r : cart) {
    const float d = dot(matvec(r, c), c);
    if (d > 0.999f) continue;
    if (d < -0.999f) {
      flipped = true;
      continue;
    }
    return {};
  }
  return flipped ? "cyl/m" : "cyl";
}

bool is_cylinder(std::string_view s) { return s == "cyl"; }

struct Choice {
  std::string name;
  Mat3 frame{};
  bool own = false;        // a frame of the site's own, not the chemical one
  bool with_chem = false;  // the chemical group taken into the name
  std::string z_what, x_what;
};

class SiteAligner {
 public:
  SiteAligner(Run& run, int atom, CrystalSite site, int dummies_before)
      : run_(run), i_(atom), site_(std::move(site)), first_own_dummy_(dummies_before + 1) {}
  void run();

 private:
  std::optional<Choice> keep_chemical_frame() const;
  std::optional<Choice> own_frame() const;
  std::vector<std::pair<Vec3, std::string>> z_candidates() const;
  std::vector<std::pair<Vec3, std::string>> x_candidates(const Vec3& z) const;
  Vec3 nearest_neighbor_direction(const Vec3& z) const;
  int axis_atom(const Vec3& z, const Vec3* x) const;
  void axis_point(int atom, const Vec3& point, std::string& label, Vec3& cart, int& waiting);
  std::string point_name(const std::string& label, int waiting) const;
  void make_axes(Choice& c);
  void report(const Choice& c, std::string_view chem) const;

  Run& run_;
  int i_;
  CrystalSite site_;
  std::string chem_;  // the chemical rule's site symmetry, trimmed
  bool chem_frame_ok_ = false;
  Mat3 chem_frame_{};
  int first_own_dummy_;               // the dummies from here on were made by the chemical rule for this atom
  std::array<int, 2> waiting_{0, 0};  // per axis point: the waiting site dummy it takes, or 0
};

std::optional<Choice> SiteAligner::keep_chemical_frame() const {
  if (!chem_frame_ok_) return std::nullopt;
  Choice c;
  c.frame = chem_frame_;
  c.with_chem = true;
  if (is_cylinder(chem_)) {
    c.name = cylinder_name(chem_frame_[2], site_.cart);
  } else {
    const std::vector<Mat3>& chem_ops = standard_group(chem_);
    c.name = combined_name(chem_ops, in_frame(chem_frame_, site_.cart));
  }
  if (c.name.empty()) return std::nullopt;
  return c;
}

// Candidate Z axes: the axes of the site's elements, the highest order
// first and a rotation before an improper one of the same order; in a cubic
// group the 3-fold axes are passed over (its frame has 2-fold or 4-fold axes
// along X, Y, Z).
std::vector<std::pair<Vec3, std::string>> SiteAligner::z_candidates() const {
  std::vector<PointElement> els;
  int threes = 0;
  for (const Mat3& r : site_.cart) {
    PointElement e = describe(r);
    if (e.n == 3 && e.proper) ++threes;
    if (rlength(e.axis) > 0) els.push_back(std::move(e));
  }
  const bool cubic = threes > 2;  // more than one 3-fold axis
  std::stable_sort(els.begin(), els.end(), [](const PointElement& a, const PointElement& b) {
    if (a.n != b.n) return a.n > b.n;
    return a.proper && !b.proper;
  });
  const Vec3 near = nearest_neighbor_direction(Vec3{0, 0, 0});
  std::vector<std::pair<Vec3, std::string>> out;
  for (const PointElement& e : els) {
    if (cubic && e.n == 3) continue;
    bool seen = false;
    for (const auto& [v, what] : out) seen = seen || std::fabs(dot(v, e.axis)) > 0.999f;
    if (seen) continue;
    const std::string what = e.symbol == "m" ? "the mirror normal" : "the " + e.symbol + " axis";
    const Vec3 a = dot(e.axis, near) < 0 ? scale(e.axis, -1.0f) : e.axis;
    out.emplace_back(a, what);
    out.emplace_back(scale(a, -1.0f), what);
  }
  // A group with no axis (the inversion): Z across the nearest neighbour.
  if (out.empty() && rlength(near) > 0) {
    const Vec3 across = x_candidates(near).back().first;
    out.emplace_back(unit(sub(across, scale(near, dot(across, near)))), "a direction across the nearest neighbour");
  }
  return out;
}

std::vector<std::pair<Vec3, std::string>> SiteAligner::x_candidates(const Vec3& z) const {
  std::vector<std::pair<Vec3, std::string>> out;
  for (const Mat3& r : site_.cart) {
    const PointElement e = describe(r);
    if (rlength(e.axis) == 0 || std::fabs(dot(e.axis, z)) > 0.001f) continue;
    const std::string what = e.symbol == "m" ? "a mirror normal" : "a " + e.symbol + " axis";
    out.emplace_back(e.axis, what);
    out.emplace_back(scale(e.axis, -1.0f), what);
    const Vec3 across = vmult(z, e.axis);
    const std::string in = e.symbol == "m" ? "a mirror plane" : "the normal of a " + e.symbol + " axis";
    out.emplace_back(across, in);
    out.emplace_back(scale(across, -1.0f), in);
  }
  const Vec3 near = nearest_neighbor_direction(z);
  if (rlength(near) > 0) out.emplace_back(near, "the nearest neighbour's projection");
  if (chem_frame_ok_)
    for (const Vec3& a : chem_frame_)
      if (rlength(sub(a, scale(z, dot(a, z)))) > 0.1f) out.emplace_back(a, "the projection of a chemical axis");
  // Any direction across Z, when nothing else gives one.
  std::size_t k = 0;
  for (std::size_t m = 1; m < 3; ++m)
    if (std::fabs(z[m]) < std::fabs(z[k])) k = m;
  Vec3 e{0, 0, 0};
  e[k] = 1.0f;
  out.emplace_back(e, "a direction across Z");
  return out;
}

// From the atom towards its nearest bonded neighbour off the line of z (a
// zero z: any), made perpendicular to z; zero when there is none. A read
// atom other than hydrogen is taken first: it can then fix the axis itself
// (no dummy), and it stays where it is when hydrogen atoms are moved out.
// Without bonded neighbours the nearest atom of the model serves.
Vec3 SiteAligner::nearest_neighbor_direction(const Vec3& z) const {
  const Cart& x = run_.atoms.xc[i_];
  auto off_axis = [&](int j) {
    const Vec3 d = sub(run_.atoms.xc[j], x);
    return sub(d, scale(z, dot(d, z)));
  };
  auto nameable = [&](int j) { return j <= run_.atoms.nat && run_.atoms.iz[j] != 1; };
  auto ui = static_cast<std::size_t>(i_);
  if (ui < run_.neighbors.size()) {
    const NeighborRec& nb = run_.neighbors[ui];
    for (bool named : {true, false})
      for (int k = 1; k <= nb.nnei; ++k) {
        const int j = nb.inei[static_cast<std::size_t>(k)];
        const Vec3 d = off_axis(j);
        if ((!named || nameable(j)) && rlength(d) > 0.1f) return unit(d);
      }
  }
  float best = 0;
  Vec3 dir{0, 0, 0};
  for (int j = 1; j <= std::max(run_.cryst.ncryst, run_.atoms.nat); ++j) {
    if (j == i_) continue;
    const float r = dist(run_.atoms.xc[j], x);
    const Vec3 d = off_axis(j);
    if (rlength(d) > 0.1f && (best == 0 || r < best)) {
      best = r;
      dir = unit(d);
    }
  }
  return dir;
}

std::optional<Choice> SiteAligner::own_frame() const {
  const std::vector<Mat3>& want = standard_group(site_.group);
  std::optional<Choice> plain;
  for (const auto& [z, z_what] : z_candidates())
    for (const auto& [x, x_what] : x_candidates(z)) {
      if (rlength(sub(x, scale(z, dot(x, z)))) < 0.1f) continue;
      Choice c;
      c.frame = frame_zx(z, x);
      c.own = true;
      c.z_what = z_what;
      c.x_what = x_what;
      const std::vector<Mat3> local = in_frame(c.frame, site_.cart);
      if (!same_group(local, want)) continue;
      if (chem_frame_ok_ && !is_cylinder(chem_)) {
        const Mat3 t = mul(c.frame, transpose(chem_frame_));
        const std::string both = combined_name(in_frame(t, standard_group(chem_)), local);
        if (!both.empty()) {
          c.name = both;
          c.with_chem = true;
          return c;
        }
      }
      if (!plain) {
        c.name = site_.group;
        plain = c;
      }
    }
  return plain;
}

// A read atom that fixes an axis exactly: on the line of z beyond the
// atom, or (x given) in the half plane of z and x; 0 when there is none.
// Naming an atom keeps the dummy list, and so every later atom's lines, as
// they were.
int SiteAligner::axis_atom(const Vec3& z, const Vec3* x) const {
  const Cart& o = run_.atoms.xc[i_];
  int best = 0;
  float best_r = 0;
  for (int j = 1; j <= run_.atoms.nat; ++j) {
    // Hydrogen atoms may yet be moved out along their bonds.
    if (j == i_ || run_.atoms.iz[j] == 1) continue;
    const Vec3 d = sub(run_.atoms.xc[j], o);
    const float r = rlength(d);
    if (r < 0.5f || (best != 0 && r >= best_r)) continue;
    const Vec3 across = sub(d, scale(z, dot(d, z)));
    bool fits = false;
    if (x == nullptr)
      fits = dot(d, z) > 0.5f && rlength(across) < 1e-3f;
    else
      fits = dot(across, *x) > 0.5f && rlength(vmult(across, *x)) < 1e-3f;
    if (fits) {
      best = j;
      best_r = r;
    }
  }
  return best;
}

void SiteAligner::make_axes(Choice& c) {
  const Vec3 x = run_.atoms.xc[i_];
  // An atom on the axis the other way round serves when the frame turned
  // half about X is the same group.
  if (axis_atom(c.frame[2], nullptr) == 0) {
    const Vec3 down = scale(c.frame[2], -1.0f);
    const Mat3 flipped = frame_zx(down, c.frame[0]);
    if (axis_atom(down, nullptr) != 0 && same_group(in_frame(flipped, site_.cart), in_frame(c.frame, site_.cart)))
      c.frame = flipped;
  }
  LocalAxes& ax = run_.axes;
  ax.AX1 = "Z";
  axis_point(axis_atom(c.frame[2], nullptr), add(x, c.frame[2]), ax.ATOM0, ax.P1, waiting_[0]);
  ax.AX2 = "X";
  axis_point(axis_atom(c.frame[2], &c.frame[0]), add(x, c.frame[0]), ax.ATOM2, ax.P2, waiting_[1]);
}

// The point an axis is drawn to: the atom on it where there is one, else a
// dummy exactly at the given point (one 0.1 A away would bend an axis that
// must lie along a symmetry element). A dummy already made serves; a new
// one waits for its number until every atom has its axes, and its label
// stays blank until then.
void SiteAligner::axis_point(int atom, const Vec3& point, std::string& label, Vec3& cart, int& waiting) {
  waiting = 0;
  if (atom != 0) {
    label = run_.atoms.label[atom];
    cart = run_.atoms.xc[atom];
    return;
  }
  if (const int d = dummy_at(run_, point, 0.001f); d != 0) {
    label = pad(run_.dummy.label[static_cast<std::size_t>(d)], 8);
    const Vec3& xd = run_.dummy.x[static_cast<std::size_t>(d)];
    cart = run_.ctl.ifrac != 0 ? Vec3(to_cart(run_.transf, Frac(xd))) : xd;
    return;
  }
  waiting = site_dummy(run_, point);
  label = std::string(8, ' ');
  cart = point;
}

std::string SiteAligner::point_name(const std::string& label, int waiting) const {
  return waiting != 0 ? std::string("a new dummy") : std::string(rtrim(label));
}

void SiteAligner::report(const Choice& c, std::string_view chem) const {
  const std::string lab(rtrim(run_.atoms.label[i_]));
  to_lst(run_, "(/' Atom ',a,' is on a special position: site symmetry of the crystal ',a,' (',i0,' operations)')"_f,
         lab, site_.group, static_cast<int>(site_.ops.size()));
  for (int n : site_.ops) symout(*run_.lst, n, run_.symm.op[static_cast<std::size_t>(n)]);
  for (const Mat3& r : site_.cart) {
    const PointElement e = describe(r);
    if (e.symbol == "1") continue;
    if (rlength(e.axis) == 0) {
      to_lst(run_, "(3x,a4,' inversion centre at the atom')"_f, e.symbol);
      continue;
    }
    const Vec3 f = to_frac(run_.transf, Cart(e.axis));
    float big = 0;
    for (float v : f) big = std::max(big, std::fabs(v));
    to_lst(run_, "(3x,a4,1x,a,3f8.4,' (Cartesian), [',3f7.3,'] (cell axes)')"_f, e.symbol,
           e.symbol == "m" ? "normal" : "axis  ", e.axis, scale(f, 1.0f / big));
  }
  if (c.own) {
    to_lst(run_, "(' Frame of the site: Z along ',a,', X along ',a,' (axis points ',a,' and ',a,')')"_f, c.z_what,
           c.x_what, point_name(run_.axes.ATOM0, waiting_[0]), point_name(run_.axes.ATOM2, waiting_[1]));
    if (waiting_[0] != 0 || waiting_[1] != 0)
      to_lst(run_, "(' New dummies are numbered after all others, once every atom has its axes')"_f);
  } else {
    to_lst(run_, "(' Frame of the chemical rule kept: its axes already lie along the elements of the site')"_f);
  }
  if (!chem_frame_ok_)
    to_lst(run_, "(' The axes of the chemical rule fix no frame: the site group alone decides')"_f);
  else if (!c.with_chem)
    to_lst(run_, "(' The chemical site symmetry ',a,' cannot be expressed in this frame: the site group alone decides')"_f,
           chem);
  to_lst(run_, "(' Site symmetry used: ',a,' (chemical rule: ',a,', crystal: ',a,')')"_f, c.name, chem, site_.group);
  const std::string_view before = key_mask(pad(chem, 5));
  const std::string_view after = key_mask(pad(c.name, 5));
  std::string fixed;
  for (int k = 1; k < 25; ++k)
    if ((before.empty() || key_flag(before, k)) && !key_flag(after, k)) {
      if (!fixed.empty()) fixed += ' ';
      fixed += key_flag_name(k);
    }
  to_lst(run_, "(' Multipoles the crystal fixes: ',a)"_f, fixed.empty() ? std::string("none") : fixed);
  to_out(run_, "(' Atom ',a,' on a special position (site group ',a,'): site symmetry ',a,', frame ',a)"_f, lab,
         site_.group, c.name, c.own ? "of the site" : "of the chemical rule");
}

void SiteAligner::run() {
  chem_ = std::string(rtrim(run_.atoms.sitesym[i_]));
  if (!is_cylinder(chem_) && standard_group(chem_).empty()) chem_ = "NO";
  chem_frame_ok_ = axes_frame(run_.atoms.xc[i_], run_.axes.P1, run_.axes.AX1, run_.axes.P2, run_.axes.AX2, chem_frame_);
  std::optional<Choice> c = keep_chemical_frame();
  if (!c) c = own_frame();
  if (!c) {
    to_both(run_, "(/' Atom ',a,' is on a special position (site group ',a,') but no frame of the site was found:',"
                  "' the chemical set-up is kept')"_f,
            rtrim(run_.atoms.label[i_]), site_.group);
    return;
  }
  if (c->own) make_axes(*c);
  if (waiting_[0] != 0 || waiting_[1] != 0) wait_for_site_dummies(run_, i_, waiting_, first_own_dummy_, run_.dummy.n);
  const auto ui = static_cast<std::size_t>(i_);
  if (ui < run_.site.own_frame.size()) run_.site.own_frame[ui] = c->own ? 1 : 0;
  report(*c, std::string(rtrim(run_.atoms.sitesym[i_])));
  if (ui < run_.site.chemical.size()) run_.site.chemical[ui] = run_.atoms.sitesym[i_];
  pad_into(run_.atoms.sitesym[i_], c->name, 5);
}

}  // namespace

CrystalSite crystal_site(const Run& run, int atom, float tol) {
  CrystalSite s;
  const Frac& x = run.atoms.xf[atom];
  const Transf& t = run.transf;
  for (int j = 1; j <= run.symm.nsym; ++j) {
    const SymOp& op = run.symm.op[static_cast<std::size_t>(j)];
    Vec3 d = sub(add(matvec(op.R, x), op.t), x);
    for (float& v : d) v -= std::round(v);
    if (rlength(matvec(t.M, d)) >= tol) continue;
    const Mat3 c = mul(mul(t.M, op.R), t.Minv);
    if (has_op(s.cart, c, 1e-3f)) continue;
    s.ops.push_back(j);
    s.cart.push_back(c);
  }
  if (s.cart.empty()) {  // no operator list at all: the identity alone
    s.ops.push_back(0);
    s.cart.push_back(Mat3{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}});
  }
  s.group = point_group_name(s.cart);
  return s;
}

bool axes_frame(const Vec3& origin, const Vec3& p1, std::string_view ax1, const Vec3& p2, std::string_view ax2,
                Mat3& frame) {
  auto index = [](std::string_view a) { return a.empty() ? -1 : a[0] == 'X' ? 0 : a[0] == 'Y' ? 1 : a[0] == 'Z' ? 2 : -1; };
  const int i1 = index(ax1), i2 = index(ax2);
  if (i1 < 0 || i2 < 0 || i1 == i2) return false;
  const Vec3 a = sub(p1, origin);
  const Vec3 b0 = sub(p2, origin);
  if (rlength(a) < 1e-3f || rlength(b0) < 1e-3f) return false;
  const Vec3 u = unit(a);
  const Vec3 b = sub(b0, scale(u, dot(b0, u)));
  if (rlength(b) < 1e-3f * rlength(b0)) return false;
  const Vec3 v = unit(b);
  // X, Y, Z in cyclic order: the third follows u x v when the second axis
  // comes next after the first in that order.
  const int i3 = 3 - i1 - i2;
  const bool cyclic = (i1 + 1) % 3 == i2;
  const Vec3 w = cyclic ? vmult(u, v) : vmult(v, u);
  frame[static_cast<std::size_t>(i1)] = u;
  frame[static_cast<std::size_t>(i2)] = v;
  frame[static_cast<std::size_t>(i3)] = w;
  return true;
}

void align_with_site(Run& run, int atom, int dummies_before) {
  if (run.symm.nsym <= 1) return;
  CrystalSite site = crystal_site(run, atom);
  if (site.group == "1") return;
  if (site.group.empty()) {
    // Operations that form no point group: the tolerance took in a near miss.
    to_both(run, "(/' Atom ',a,' is mapped onto itself by ',i0,' operations that form no point group:',"
                 "' no site symmetry of the crystal taken')"_f,
            rtrim(run.atoms.label[atom]), static_cast<int>(site.ops.size()));
    return;
  }
  const auto ui = static_cast<std::size_t>(atom);
  if (ui < run.site.group.size()) run.site.group[ui] = site.group;
  SiteAligner(run, atom, std::move(site), dummies_before).run();
}

std::string_view site_group(const Run& run, int atom) {
  const auto ui = static_cast<std::size_t>(atom);
  return atom >= 1 && ui < run.site.group.size() ? std::string_view(run.site.group[ui]) : std::string_view();
}

bool site_frame_replaced(const Run& run, int atom) {
  const auto ui = static_cast<std::size_t>(atom);
  return atom >= 1 && ui < run.site.own_frame.size() && run.site.own_frame[ui] == 1;
}

}  // namespace vorn
