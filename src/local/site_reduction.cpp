#include "local/site_reduction.hpp"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "base/text.hpp"
#include "local/dummies.hpp"
#include "local/site_check.hpp"
#include "local/site_symmetry.hpp"
#include "symmetry/point_group.hpp"

namespace vorn {

namespace {

// The codes a reduced symmetry may take: every group the key table has
// (the cylinders are no subgroup of anything the rules give).
constexpr std::string_view kCodes[] = {"m-3m", "-43m", "432", "m-3", "23", "6/mmm", "-6m2", "6mm", "622", "6/m",
                                       "-6",   "6",    "-3m", "32",  "3m", "-3",    "3",    "4/mmm", "-42m", "4mm",
                                       "422",  "4/m",  "-4",  "4",   "mmm", "mm2",  "222",  "2/m",   "m",    "2",
                                       "-1"};

constexpr float kSameOp = 2e-3f;

Vec3 unit(const Vec3& v) {
  const float l = rlength(v);
  return l > 0 ? scale(v, 1.0f / l) : v;
}

// A right-handed frame (rows X, Y, Z) with axis `lu` along u and axis `lv`
// along v (unit, normal to u).
Mat3 frame_of(const Vec3& u, int lu, const Vec3& v, int lv) {
  Mat3 f{};
  const auto k1 = static_cast<std::size_t>(lu), k2 = static_cast<std::size_t>(lv);
  const std::size_t k3 = 3 - k1 - k2;
  f[k1] = u;
  f[k2] = v;
  f[k3] = vmult(f[(k3 + 1) % 3], f[(k3 + 2) % 3]);
  return f;
}

// The rule's group in Cartesian coordinates: its operations, or for a
// cylinder its axis (every operation that keeps the axis belongs to it;
// with a mirror across it, also every one that turns it round).
struct RuleGroup {
  std::vector<Mat3> ops;
  bool cylinder = false;
  bool turns = false;
  Vec3 axis{};
  std::size_t order() const { return cylinder ? 1000 : ops.size(); }
  bool holds(const Mat3& m) const {
    if (cylinder) {
      const Vec3 moved = matvec(m, axis);
      return dist(moved, axis) < kSameOp || (turns && dist(moved, scale(axis, -1.0f)) < kSameOp);
    }
    return has_op(ops, m, kSameOp);
  }
};

struct Candidate {
  std::string code;
  Mat3 frame{};
  int first_letter = 0, second_letter = 0;
  float misfit = 0;
  int rank = 0;  // lower is preferred among candidates of one order and misfit
};

class Reducer {
 public:
  Reducer(Run& run, int atom) : run_(run), i_(atom), x_(run.atoms.xc[static_cast<std::size_t>(atom)]) {}
  void run();

 private:
  std::vector<Vec3> second_directions(const Vec3& u) const;
  std::optional<Candidate> best_subgroup(const Mat3& rule_frame);
  int axis_atom(const Vec3& u, const Vec3& v) const;
  void set_second_axis(const Candidate& c);
  void report(const std::string& rule_code, float rule_misfit, const std::string& used, float misfit,
              std::string_view why) const;

  Run& run_;
  int i_;
  Vec3 x_;
  RuleGroup rule_;
  std::vector<ShellPoint> points_;
  std::vector<Mat3> site_ops_;  // the crystal's site group (Cartesian); empty on a general position
  int rule_first_ = 0, rule_second_ = 0;
  Vec3 rule_v_{};
};

int letter(std::string_view l) { return l.empty() ? -1 : l[0] == 'X' ? 0 : l[0] == 'Y' ? 1 : l[0] == 'Z' ? 2 : -1; }
const char* letter_text(int k) { return k == 0 ? "X" : k == 1 ? "Y" : "Z"; }

// Directions normal to u that a subgroup's elements may lie along: the
// rule's other axes, the projections of the shell's atoms and the normals
// to them, and the bisectors of two projections and their normals (a
// mirror or two-fold axis between two atoms it exchanges).
std::vector<Vec3> Reducer::second_directions(const Vec3& u) const {
  std::vector<Vec3> dirs;
  auto add_dir = [&](const Vec3& d) {
    const float l = rlength(d);
    if (!(l > 1e-3f)) return;
    const Vec3 e = scale(d, 1.0f / l);
    for (const Vec3& o : dirs)
      if (dot(o, e) > 0.99999f) return;
    dirs.push_back(e);
  };
  for (int s : {1, -1}) add_dir(scale(rule_v_, static_cast<float>(s)));
  const Vec3 third = vmult(u, rule_v_);
  for (int s : {1, -1}) add_dir(scale(third, static_cast<float>(s)));
  std::vector<Vec3> across;
  for (const ShellPoint& p : points_) {
    const Vec3 w = sub(p.offset, scale(u, dot(p.offset, u)));
    if (rlength(w) > 0.1f) across.push_back(unit(w));
  }
  auto add_with_normal = [&](const Vec3& d) {
    add_dir(d);
    add_dir(scale(d, -1.0f));
    add_dir(vmult(u, d));
    add_dir(scale(vmult(u, d), -1.0f));
  };
  for (const Vec3& w : across) add_with_normal(w);
  for (std::size_t a = 0; a < across.size(); ++a)
    for (std::size_t b = a + 1; b < across.size(); ++b) {
      const Vec3 bis = add(across[a], across[b]);
      if (rlength(bis) > 0.1f) add_with_normal(unit(bis));
    }
  return dirs;
}

// A read atom other than a hydrogen of the second shell (which a later
// extension may move) whose position fixes the second axis along v exactly,
// and more than 10 degrees off the line of the first axis, as every axis
// point of the rules.
int Reducer::axis_atom(const Vec3& u, const Vec3& v) const {
  for (const ShellPoint& p : points_) {
    if (p.atom > run_.atoms.nat || (p.shell == 2 && p.z == 1)) continue;
    if (std::fabs(dot(unit(p.offset), u)) > 0.98480775f) continue;
    const Vec3 w = sub(p.offset, scale(u, dot(p.offset, u)));
    if (rlength(w) > 0.1f && dot(unit(w), v) > 0.9999995f) return p.atom;
  }
  return 0;
}

std::optional<Candidate> Reducer::best_subgroup(const Mat3& rule_frame) {
  const Vec3 u = rule_frame[static_cast<std::size_t>(rule_first_)];
  const bool keep_frame = !site_ops_.empty();
  const std::vector<Vec3> dirs = keep_frame ? std::vector<Vec3>{rule_v_} : second_directions(u);
  std::vector<std::string_view> codes;
  for (std::string_view c : kCodes) {
    const std::size_t n = site_operations(c).size();
    if (n >= rule_.order() || (!rule_.cylinder && rule_.order() % n != 0)) continue;
    if (!site_ops_.empty() && n < site_ops_.size()) continue;
    codes.push_back(c);
  }
  std::stable_sort(codes.begin(), codes.end(), [](std::string_view a, std::string_view b) {
    return site_operations(a).size() > site_operations(b).size();
  });
  std::vector<Candidate> found;
  std::size_t level = 0;
  for (std::string_view code : codes) {
    const std::size_t n = site_operations(code).size();
    if (!found.empty() && n < level) break;
    level = n;
    for (int lu = 0; lu < 3; ++lu) {
      if (keep_frame && lu != rule_first_) continue;
      for (int lv = 0; lv < 3; ++lv) {
        if (lv == lu || (keep_frame && lv != rule_second_)) continue;
        for (const Vec3& v : dirs) {
          const Mat3 f = frame_of(u, lu, v, lv);
          const std::vector<Mat3> ops = operations_in_frame(f, code);
          if (!std::all_of(ops.begin(), ops.end(), [&](const Mat3& m) { return rule_.holds(m); })) continue;
          if (!std::all_of(site_ops_.begin(), site_ops_.end(), [&](const Mat3& m) { return has_op(ops, m, kSameOp); }))
            continue;
          const float misfit = shell_misfit(points_, ops);
          if (misfit > run_.ctl.tol2) continue;
          Candidate c;
          c.code = std::string(code);
          c.frame = f;
          c.first_letter = lu;
          c.second_letter = lv;
          c.misfit = misfit;
          // The rule's letters and second axis kept first, then an atom on
          // the second axis, then the letters in the order X, Y, Z.
          const bool same_v = dot(v, rule_v_) > 0.9999995f;
          c.rank = (lu == rule_first_ ? 0 : 1000) + (same_v ? 0 : axis_atom(u, v) != 0 ? 100 : 200) +
                   (lv == rule_second_ ? 0 : 10) + lu * 3 + lv;
          found.push_back(c);
        }
      }
    }
  }
  if (found.empty()) return std::nullopt;
  // The best fit among the highest subgroups; fits within a thousandth of
  // an angstrom count as equal.
  float best = found.front().misfit;
  for (const Candidate& c : found) best = std::min(best, c.misfit);
  const Candidate* pick = nullptr;
  for (const Candidate& c : found)
    if (c.misfit <= best + 1e-3f && (pick == nullptr || c.rank < pick->rank)) pick = &c;
  return *pick;
}

// The second axis of the new frame: the rule's point where it still fixes
// it, else an atom on it, else a dummy 1 A from the atom along it.
void Reducer::set_second_axis(const Candidate& c) {
  LocalAxes& ax = run_.axes;
  const Vec3 u = c.frame[static_cast<std::size_t>(c.first_letter)];
  const Vec3 v = c.frame[static_cast<std::size_t>(c.second_letter)];
  ax.AX1 = letter_text(c.first_letter);
  ax.AX2 = letter_text(c.second_letter);
  if (dot(v, rule_v_) > 0.9999995f) return;
  if (const int a = axis_atom(u, v); a != 0) {
    ax.ATOM2 = run_.atoms.label[a];
    ax.P2 = run_.atoms.xc[a];
    return;
  }
  const Vec3 point = add(x_, v);
  int d = dummy_at(run_, point, 0.001f);
  if (d == 0) d = append_dummy(run_, run_.ctl.ifrac == 1 ? Vec3(to_frac(run_.transf, Cart(point))) : point);
  ax.ATOM2 = pad(run_.dummy.label[static_cast<std::size_t>(d)], 8);
  ax.P2 = point;
}

void Reducer::report(const std::string& rule_code, float rule_misfit, const std::string& used, float misfit,
                     std::string_view why) const {
  const std::string lab(rtrim(run_.atoms.label[i_]));
  to_both(run_, "(/' Site symmetry ',a,' of ',a,' misfits its neighbours by ',f7.3,' Angstrom (limit ',f6.3,'): ',a)"_f,
          rule_code, lab, rule_misfit, run_.ctl.misfit_limit, why);
  if (!used.empty())
    to_both(run_, "('   site symmetry of ',a,' reduced to ',a,', misfit ',f7.3,' Angstrom; axes ',a,' to ',a,', ',a,' to ',a)"_f,
            lab, used, misfit, run_.axes.AX1, rtrim(run_.axes.ATOM0), run_.axes.AX2, rtrim(run_.axes.ATOM2));
}

void Reducer::run() {
  const auto ui = static_cast<std::size_t>(i_);
  const std::string code(rtrim(run_.atoms.sitesym[ui]));
  if (code == "NO" || site_operations(code).empty()) return;
  Mat3 frame{};
  if (!local_frame(x_, run_.axes, frame)) return;
  rule_first_ = letter(run_.axes.AX1);
  rule_second_ = letter(run_.axes.AX2);
  rule_v_ = frame[static_cast<std::size_t>(rule_second_)];
  points_ = shell_points(run_, i_);
  rule_.ops = operations_in_frame(frame, code);
  const float misfit = shell_misfit(points_, rule_.ops);
  if (!(misfit > run_.ctl.misfit_limit)) return;
  if (code == "cyl" || code == "cyl/m") {
    rule_.cylinder = true;
    rule_.turns = code == "cyl/m";
    rule_.axis = frame[2];
  }
  if (!site_group(run_, i_).empty()) site_ops_ = crystal_site(run_, i_).cart;
  const std::optional<Candidate> c = best_subgroup(frame);
  if (!c && !site_ops_.empty()) {
    report(code, misfit, "", 0,
           "kept, the atom is on a special position (site group " + std::string(site_group(run_, i_)) +
               ") and no subgroup that holds the site group fits");
    return;
  }
  SiteCheck& rec = run_.site_check[ui];
  rec.reduced = true;
  rec.rule_code = code;
  rec.rule_misfit = misfit;
  const LocalAxes before = run_.axes;
  std::string used = "NO";
  float used_misfit = 0;
  if (c) {
    set_second_axis(*c);
    used = c->code;
    used_misfit = c->misfit;
  }
  rec.frame_changed = before.AX1 != run_.axes.AX1 || before.AX2 != run_.axes.AX2 || before.ATOM2 != run_.axes.ATOM2;
  pad_into(run_.atoms.sitesym[ui], used, 5);
  report(code, misfit, used, used_misfit,
         c ? "the highest subgroup that fits within the ring tolerance is taken"
           : "no subgroup fits within the ring tolerance, no symmetry is taken");
}

}  // namespace

void reduce_gross_misfit(Run& run, int atom) {
  const auto ui = static_cast<std::size_t>(atom);
  if (atom < 1 || ui >= run.site_check.size()) return;
  Reducer(run, atom).run();
}

bool site_reduced(const Run& run, int atom) {
  const auto ui = static_cast<std::size_t>(atom);
  return atom >= 1 && ui < run.site_check.size() && run.site_check[ui].reduced;
}

bool reduced_frame_changed(const Run& run, int atom) {
  const auto ui = static_cast<std::size_t>(atom);
  return atom >= 1 && ui < run.site_check.size() && run.site_check[ui].frame_changed;
}

}  // namespace vorn
