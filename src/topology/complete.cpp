#include "topology/complete.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cmath>
#include <fstream>
#include <optional>
#include <queue>
#include <vector>

#include "base/error.hpp"
#include "topology/bonds.hpp"
#include "topology/parts.hpp"

// The restart-after-every-append scan is quadratic in the number of images
// times the atoms present, far too slow for large structures. The same
// result comes from a priority queue: a candidate (atom, operator, shift)
// can only become acceptable when an atom it bonds to is added, and once it
// is present it stays rejected; so the restarted scan always takes the
// smallest candidate, in scan order, that is bonded to some atom and not yet
// present. Candidates enter the queue when an atom bonded to them appears
// and are checked again against the current table when they leave it.
//
// The candidates bonded to a new atom are found in a grid of the images
// R x + t of every (atom, operator), probed at each lattice translation that
// can bring one within bonding distance: either the images moved into the
// unit cell, probed at the few translations a bond can span (the cost per
// atom then does not grow with the number of cells searched), or, when the
// cells searched are fewer than that, the images as they are, probed at
// every shift searched.

namespace vorn {

namespace {

struct Candidate {
  int q, r, k, l, m;  // scan order: source atom, operator, shifts
  auto operator<=>(const Candidate&) const = default;
};

using Lattice = std::array<std::int64_t, 3>;

Lattice floor_of(const Vec3& f) {
  Lattice n{};
  for (int i = 0; i < 3; ++i) {
    const double v = std::floor(static_cast<double>(f[static_cast<std::size_t>(i)]));
    // Coordinates this far out have no bonds to find; keep the arithmetic defined.
    n[static_cast<std::size_t>(i)] = std::isfinite(v) ? static_cast<std::int64_t>(std::clamp(v, -1.0e12, 1.0e12)) : 0;
  }
  return n;
}

Vec3 minus(const Vec3& f, const Lattice& n) {
  return {f[0] - static_cast<float>(n[0]), f[1] - static_cast<float>(n[1]), f[2] - static_cast<float>(n[2])};
}

class Completion {
 public:
  explicit Completion(Run& run);
  void search();

 private:
  Cart image_cart(const Candidate& c) const {
    return to_cart(run_.transf, symm_image(run_.symm.op[static_cast<std::size_t>(c.r)],
                                           run_.atoms.xf[static_cast<std::size_t>(c.q)], c.k, c.l, c.m));
  }
  // Queues every candidate image bonded to atom s.
  void activate(int s);
  bool present(const Cart& x);
  void append(const Candidate& c, const Cart& xc);

  Run& run_;
  int nat_;
  int nsym_;
  int ncells_;
  float tol_;
  float margin_ = 0.0f;          // bound on the rounding of grid positions
  float rmax_ = 0.0f;            // the largest covalent radius
  std::vector<float> rad_;       // covalent radius per atom 1..ncryst
  const std::vector<int>& part_;  // disorder part per atom
  std::vector<float> rad_of_id_;  // covalent radius per (atom, operator)
  std::vector<Lattice> cell_;    // per (atom, operator): the cell R x + t lies in
  // R x + t moved into the unit cell, Cartesian: by the first operator
  // and by the others.
  PointCells base1_, base_;
  // The cell of every image by the first operator, when they share one:
  // the translation that brings an atom's own cell onto it finds images by
  // the first operator without a shift only, which are never candidates.
  std::optional<Lattice> cell1_;
  // Atoms 1..ncryst, made when the first candidate is checked (most
  // structures have none).
  std::optional<PointGrid> atoms_;
  std::array<int, 3> reach_cells_{};  // lattice translations to probe, per axis
  std::array<float, 3> reach_frac_{};  // the grid's reach along each axis, in cells
  bool by_shift_ = false;             // probe every shift instead of the reachable translations
  std::vector<Vec3> shift_cart_;      // M (k, l, m) of every shift, in scan order
  std::priority_queue<Candidate, std::vector<Candidate>, std::greater<>> queue_;
};

Completion::Completion(Run& run)
    : run_(run),
      nat_(run.atoms.nat),
      nsym_(run.symm.nsym),
      ncells_(run.ctl.ncells),
      tol_(run.ctl.tol1),
      rad_(static_cast<std::size_t>(run.atoms.nat) + 1, 0.0f),
      part_(run.atoms1.part) {
  float rmax = 0.0f;
  float xmax = 0.0f;
  for (int i = 1; i <= nat_; ++i) {
    const auto ii = static_cast<std::size_t>(i);
    rad_[ii] = bond_radius(run, i);
    rmax = std::max(rmax, rad_[ii]);
    for (float v : run.atoms.xc[ii]) xmax = std::max(xmax, std::fabs(v));
  }
  float extent = 0.0f;
  for (const auto& row : run.transf.M)
    for (float v : row) extent += std::fabs(v);
  // The grid holds positions moved by whole cells and rounded on the way;
  // the margin covers that rounding.
  rmax_ = rmax;
  margin_ = 0.05f + 1.0e-5f * (xmax + extent * static_cast<float>(ncells_ + 2));
  const float reach = std::max(rmax + rmax + tol_, 0.0f) + margin_;
  long long probes = 1;
  for (int i = 0; i < 3; ++i) {
    const auto& row = run.transf.Minv[static_cast<std::size_t>(i)];
    const double width = reach * std::sqrt(static_cast<double>(row[0]) * row[0] + static_cast<double>(row[1]) * row[1] +
                                           static_cast<double>(row[2]) * row[2]);
    // |t + (cell part of the image - cell part of the atom)| <= width, the
    // cell parts lying in [0, 1].
    reach_cells_[static_cast<std::size_t>(i)] = static_cast<int>(std::min(std::floor(width), 1.0e4)) + 1;
    // A bonded image lies within `width` cells of its probe along the axis;
    // twice that leaves ample room for the rounding of the cell parts.
    reach_frac_[static_cast<std::size_t>(i)] = static_cast<float>(std::min(2.0 * width * 1.02 + 1.0e-3, 1.0e4));
    probes *= 2 * reach_cells_[static_cast<std::size_t>(i)] + 1;
  }
  const long long side = 2LL * ncells_ + 1;
  by_shift_ = side * side * side < probes;
  // Only a cell a fraction of a bond wide, searched over many cells, gets
  // here; no crystal has one, and the search would not end in useful time.
  if (std::min(probes, side * side * side) > 9261)
    err("gencompletefrags", "Unit cell too small: many cells lie within bonding distance of an atom");
  if (by_shift_)
    for (int k = -ncells_; k <= ncells_; ++k)
      for (int l = -ncells_; l <= ncells_; ++l)
        for (int m = -ncells_; m <= ncells_; ++m)
          shift_cart_.push_back(
              to_cart(run.transf, Frac(static_cast<float>(k), static_cast<float>(l), static_cast<float>(m))));

  cell_.resize(static_cast<std::size_t>(nat_) * static_cast<std::size_t>(std::max(nsym_, 0)));
  rad_of_id_.resize(cell_.size());
  std::vector<Vec3> images[2];
  std::vector<int> ids[2];
  bool one_cell = true;
  for (int q = 1; q <= nat_; ++q)
    for (int r = 1; r <= nsym_; ++r) {
      const Frac b = symm_image(run.symm.op[static_cast<std::size_t>(r)], run.atoms.xf[static_cast<std::size_t>(q)], 0, 0, 0);
      const auto id = static_cast<std::size_t>((q - 1) * nsym_ + (r - 1));
      rad_of_id_[id] = rad_[static_cast<std::size_t>(q)];
      if (!by_shift_) cell_[id] = floor_of(b);
      const int group = r == 1 ? 0 : 1;
      images[group].push_back(to_cart(run.transf, Frac(minus(b, cell_[id]))));
      ids[group].push_back(static_cast<int>(id));
      if (r == 1 && q > 1) one_cell = one_cell && cell_[id] == cell_[static_cast<std::size_t>(q - 2) * static_cast<std::size_t>(nsym_)];
    }
  base1_ = PointCells(reach, images[0], ids[0]);
  base_ = PointCells(reach, images[1], ids[1]);
  if (nat_ >= 1 && nsym_ >= 1 && one_cell) cell1_ = cell_[0];
}

void Completion::activate(int s) {
  const Cart& xs = run_.atoms.xc[static_cast<std::size_t>(s)];
  const float rs = rad_[static_cast<std::size_t>(s)];
  if (rs < 0.0f) return;  // bonds to nothing
  // d2 is the squared distance found in the grid, which differs from the
  // image's true distance by less than the margin: candidates beyond their
  // bond distance by more than that are passed over without computing the
  // image.
  const float within = rs + tol_ + margin_ + margin_;
  const float radius = within + rmax_;
  auto consider = [&](int id, float d2, const std::array<int, 3>& n) {
    const float rq = rad_of_id_[static_cast<std::size_t>(id)];
    const float lim = within + rq;
    if (rq < 0.0f || d2 > lim * lim) return;
    const Candidate c{id / nsym_ + 1, id % nsym_ + 1, n[0], n[1], n[2]};
    if (c.r == 1 && c.k == 0 && c.l == 0 && c.m == 0) return;
    if (!parts_may_meet(part_[static_cast<std::size_t>(c.q)], SymCopy{c.r, c.k, c.l, c.m},
                        run_.atoms1.part[static_cast<std::size_t>(s)], run_.cryst.copy[static_cast<std::size_t>(s)]))
      return;
    if (bonded(dist(image_cart(c), xs), rs, rad_[static_cast<std::size_t>(c.q)], tol_)) queue_.push(c);
  };
  if (by_shift_) {
    std::size_t next = 0;
    for (int k = -ncells_; k <= ncells_; ++k)
      for (int l = -ncells_; l <= ncells_; ++l)
        for (int m = -ncells_; m <= ncells_; ++m) {
          const std::array<int, 3> n{k, l, m};
          const Vec3 probe = sub(xs, shift_cart_[next++]);
          auto take = [&](int id, float d2) { consider(id, d2, n); };
          // Without a shift the first operator gives the atoms themselves.
          if (k != 0 || l != 0 || m != 0) base1_.near_sq(probe, radius, take);
          base_.near_sq(probe, radius, take);
        }
    return;
  }
  const Frac fs = to_frac(run_.transf, xs);
  const Lattice home = floor_of(fs);
  const Vec3 inside = minus(fs, home);
  const auto& w = reach_cells_;
  // The images in the grid lie in the unit cell, so a probe point farther
  // than a bond from it along an axis finds none: in a large cell most
  // translations are passed over.
  auto probed = [&](int i, int t) {
    const float v = inside[static_cast<std::size_t>(i)] - static_cast<float>(t);
    return v >= -reach_frac_[static_cast<std::size_t>(i)] && v <= 1.0f + reach_frac_[static_cast<std::size_t>(i)];
  };
  // The probe point moves monotonically with t, so the translations probed
  // along each axis form one run, found once per axis.
  std::array<int, 3> from{}, to{};
  for (int i = 0; i < 3; ++i) {
    const int wi = w[static_cast<std::size_t>(i)];
    int lo = -wi, hi = wi;
    while (lo <= hi && !probed(i, lo)) ++lo;
    while (hi >= lo && !probed(i, hi)) --hi;
    if (lo > hi) return;
    from[static_cast<std::size_t>(i)] = lo;
    to[static_cast<std::size_t>(i)] = hi;
  }
  for (int ta = from[0]; ta <= to[0]; ++ta)
    for (int tb = from[1]; tb <= to[1]; ++tb)
      for (int tc = from[2]; tc <= to[2]; ++tc) {
        const Lattice t{ta, tb, tc};
        const Vec3 probe = to_cart(run_.transf, Frac(minus(inside, t)));
        auto take = [&](int id, float d2) {
          // R x + t + n lies near atom s when n = t - cell + home.
          const Lattice& cell = cell_[static_cast<std::size_t>(id)];
          std::array<int, 3> n{};
          for (std::size_t i = 0; i < 3; ++i) {
            const std::int64_t v = t[i] - cell[i] + home[i];
            if (v < -ncells_ || v > ncells_) return;
            n[i] = static_cast<int>(v);
          }
          consider(id, d2, n);
        };
        const bool unshifted = cell1_ && t[0] - (*cell1_)[0] + home[0] == 0 && t[1] - (*cell1_)[1] + home[1] == 0 &&
                               t[2] - (*cell1_)[2] + home[2] == 0;
        if (!unshifted) base1_.near_sq(probe, radius, take);
        base_.near_sq(probe, radius, take);
      }
}

bool Completion::present(const Cart& x) {
  if (!atoms_) {
    // Only coincidence within 0.001 is asked of the atoms present; small
    // cells keep the points looked at per question to the few nearby.
    atoms_.emplace(0.1f);
    for (int q = 1; q <= run_.cryst.ncryst; ++q) atoms_->add(q, run_.atoms.xc[static_cast<std::size_t>(q)]);
  }
  bool found = false;
  atoms_->near_sq(x, 0.002f, [&](int s, float) {
    if (!found && dist(x, run_.atoms.xc[static_cast<std::size_t>(s)]) < 0.001f) found = true;
  });
  return found;
}

void Completion::append(const Candidate& c, const Cart& xc) {
  Atoms& a = run_.atoms;
  Cryst& cr = run_.cryst;
  if (cr.ncryst + 1 > MAXAT || static_cast<std::size_t>(cr.ncryst) + 1 >= a.label.size())
    err("gencompletefrags", "Too many atoms");
  const auto j = static_cast<std::size_t>(++cr.ncryst);
  const auto q = static_cast<std::size_t>(c.q);
  a.label[j] = a.label[q];
  a.name[j] = a.name[q];
  a.resnum[j] = a.resnum[q];
  run_.atoms1.part[j] = run_.atoms1.part[q];
  a.iz[j] = a.iz[q];
  run_.atoms1.occ[j] = run_.atoms1.occ[q];
  run_.atoms1.flag[j] = run_.atoms1.flag[q];
  a.xf[j] = symm_image(run_.symm.op[static_cast<std::size_t>(c.r)], a.xf[q], c.k, c.l, c.m);
  a.xc[j] = xc;
  cr.isq[j] = c.q;
  cr.copy[j] = {c.r, c.k, c.l, c.m};
  ++cr.nsq[q];
  rad_.push_back(rad_[q]);
  if (atoms_) atoms_->add(static_cast<int>(j), xc);
}

void Completion::search() {
  for (int s = 1; s <= nat_; ++s) activate(s);
  while (!queue_.empty()) {
    const Candidate c = queue_.top();
    queue_.pop();
    const Cart x = image_cart(c);
    if (dist(x, run_.atoms.xc[static_cast<std::size_t>(c.q)]) < 0.001f) continue;  // the atom itself
    if (present(x)) continue;
    append(c, x);
    activate(run_.cryst.ncryst);
  }
}

void print_completed(Run& run) {
  to_lst(run, "(/a)"_f, "List of atoms in complete fragment(s) :");
  std::ofstream ang(run.output_path("complete.ang"));
  if (!ang) err("gencompletefrags", "Unable to open file complete.ang");
  to_lst(run, "(/7x,'ATOM',8x,'------ FRACTIONAL ------',4x,'----- CARTESIAN -----',5x,'ISQ NSQ')"_f);
  const Atoms& a = run.atoms;
  for (int i = 1; i <= run.cryst.ncryst; ++i) {
    const auto j = static_cast<std::size_t>(i);
    to_lst(run, "(i6,1x,a,1x,3f9.4,1x,3f8.3,i8,i4)"_f, i, a.label[j], a.xf[j], a.xc[j], run.cryst.isq[j],
           run.cryst.nsq[j]);
    ff::write(ang, "('ATOM ',a10,3x,3f12.4)"_f, a.label[j], a.xc[j]);
  }
  to_lst(run, "(/a)"_f, " File with complete fragment(s) in PLATON format : complete.ang");
  ang.close();
  if (!ang) err("gencompletefrags", "Error writing file complete.ang");
}

}  // namespace

void gencompletefrags(Run& run) {
  run.cryst.ncryst = run.atoms.nat;
  if (run.ctl.ncells < 0) return;
  Completion completion(run);
  completion.search();
  if (run.cryst.ncryst > run.atoms.nat) print_completed(run);
}

}  // namespace vorn
