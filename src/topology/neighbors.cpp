#include "topology/neighbors.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <numeric>
#include <string>
#include <string_view>
#include <utility>

#include "base/elements.hpp"
#include "base/error.hpp"
#include "base/short_sort.hpp"
#include "base/text.hpp"
#include "topology/parts.hpp"
#include "topology/search_index.hpp"

namespace vorn {

namespace {

// Distances closer than this (angstrom) are one distance computed twice: a
// neighbour and its image under the atom's own site symmetry lie at the same
// distance, which single-precision arithmetic gives only to about 1e-6 A,
// and coordinates written back to six decimals move by up to 1e-5 A. It is
// below what the coordinates of a structure file can tell apart (five
// decimals of a 10 A cell are 1e-4 A), so every real difference decides.
constexpr float kSameDistance = 5e-5f;

// How far past a bonded partner that passes its test a nearest-first search
// reaches at first, so that the partner is found by the first search.
constexpr float kFirstReach = 0.05f;

// Elements beyond the radius table (and unknown ones, z = 0) have no
// covalent radius; such atoms are given no bonds rather than a guessed one.
float covalent_radius(const Run& run, int z) {
  if (z < 1 || z > NCOVRAD) return -1.0f;
  return run.covrad[static_cast<std::size_t>(z)];
}

void check_atom(const Run& run, int atom, std::string_view routine) {
  if (atom < 1 || atom > run.cryst.ncryst || static_cast<std::size_t>(atom) >= run.atoms.xc.size())
    err(routine, "atom index " + std::to_string(atom) + " is outside the atom table (1.." +
                     std::to_string(run.cryst.ncryst) + ")");
}

void clear_types(NeighborRec& r) {
  r.ntype = 0;
  r.ztype.assign(1, 0);
  r.ntypenei.assign(1, 0);
  r.itypenei.resize(1);
  r.itypenei[0].clear();
}

void clear_list(NeighborRec& r) {
  r.nnei = 0;
  r.inei.assign(1, 0);
  r.rnei.assign(1, 0.0f);
  clear_types(r);
}

// The candidate tests of one search, applied to the atoms in increasing
// index order (the order decides which of two atoms on one site is kept).
class Collector {
 public:
  // With a grid, atoms without a twin skip the same-site test.
  Collector(Run& run, int atom, float rmax, NeighborRec& out, SearchScratch& scratch, const AtomGrid* grid = nullptr)
      : run_(run),
        atom_(atom),
        rmax_(rmax),
        out_(out),
        xa_(run.atoms.xc[static_cast<std::size_t>(atom)]),
        grid_(grid),
        head_(scratch.heads),
        used_(scratch.used_heads),
        next_(scratch.chain),
        order_(scratch.order) {
    ra_ = covalent_radius(run, run.atoms.iz[static_cast<std::size_t>(atom)]);
    dis_a_ = run.atoms1.flag[static_cast<std::size_t>(atom)] == -1;
    occ_a_ = run.atoms1.occ[static_cast<std::size_t>(atom)];
    part_a_ = run.atoms1.part[static_cast<std::size_t>(atom)];
    // Only the chains the search before used need emptying.
    if (head_.size() != kChains) head_.assign(kChains, -1);
    for (std::size_t b : used_) head_[b] = -1;
    used_.clear();
    next_.clear();
    // The member lists of the types go to the spares for the next grouping.
    for (std::size_t t = 1; t < out_.itypenei.size(); ++t) scratch.spare_members.push_back(std::move(out_.itypenei[t]));
    clear_list(out_);
  }

  // Each test only rejects, so their order does not change the result; the
  // distance goes first because it rejects almost every atom of a scan.
  void take(int j) {
    if (j == atom_) return;
    const auto uj = static_cast<std::size_t>(j);
    const Vec3& xj = run_.atoms.xc[uj];
    const float d = dist(xa_, xj);
    // Written as "not within" so that a non-finite distance never passes.
    if (rmax_ > 0.0f) {
      if (!(d <= rmax_)) return;
    } else {
      const float rj = covalent_radius(run_, run_.atoms.iz[uj]);
      if (ra_ < 0.0f || rj < 0.0f) return;
      if (!(d <= ra_ + rj + run_.ctl.tol1)) return;
    }
    if (d < 0.5f) return;
    const bool dis_j = run_.atoms1.flag[uj] == -1;
    // Disorder parts say which alternatives the atom sees; without them, two
    // disordered atoms of different occupancy belong to different
    // alternatives and are never seen together.
    if (parts_) {
      if (!takes_neighbor(run_, atom_, chosen_, j)) return;
      if (dis_a_ && dis_j && part_a_ == 0 && run_.atoms1.part[uj] == 0 && std::fabs(occ_a_ - run_.atoms1.occ[uj]) > 0.01f)
        return;
    } else if (dis_a_ && dis_j && std::fabs(occ_a_ - run_.atoms1.occ[uj]) > 0.01f) {
      return;
    }
    // Two atoms on one site lie at nearly the same distance from the centre,
    // so only listed atoms of the neighbouring distance bands can be the
    // same site (a band is wider than the 0.01 A that counts as one site).
    const auto band = static_cast<std::size_t>(d / kBand);
    if (grid_ == nullptr || grid_->may_share_site(j))
      for (std::size_t b = band == 0 ? 0 : band - 1; b <= band + 1; ++b)
        for (int k = head_[b % kChains]; k >= 0; k = next_[static_cast<std::size_t>(k)])
          if (dist(xj, run_.atoms.xc[static_cast<std::size_t>(out_.inei[static_cast<std::size_t>(k) + 1])]) < 0.01f)
            return;
    ++out_.nnei;
    out_.inei.push_back(j);
    out_.rnei.push_back(d);
    if (head_[band % kChains] < 0) used_.push_back(band % kChains);
    next_.push_back(head_[band % kChains]);
    head_[band % kChains] = out_.nnei - 1;
    if (dis_j) idis_ = 1;
  }

  // Orders the list by distance; only equal distances keep increasing
  // index. A real difference decides however small it is: a nearer atom
  // must never lose an axis to a farther one.
  int finish() {
    const auto n = static_cast<std::size_t>(out_.nnei);
    if (n < 2) return idis_;
    std::vector<std::pair<float, int>>& v = order_;
    v.resize(n);
    for (std::size_t k = 0; k < n; ++k) v[k] = {out_.rnei[k + 1], out_.inei[k + 1]};
    // No two entries compare equal under (distance, index), so any sort gives
    // the one order; the short lists of most searches take an insertion sort.
    sort_short(v.begin(), v.end());
    // Atoms at one distance come in index order. A run is measured from its
    // first distance, so that near distances never chain into one.
    for (std::size_t lo = 0; lo < n;) {
      std::size_t hi = lo + 1;
      while (hi < n && v[hi].first - v[lo].first < kSameDistance) ++hi;
      if (hi - lo > 1)
        sort_short(v.begin() + static_cast<std::ptrdiff_t>(lo), v.begin() + static_cast<std::ptrdiff_t>(hi),
                   [](const auto& a, const auto& b) { return a.second < b.second; });
      last_run_ = lo;
      lo = hi;
    }
    for (std::size_t k = 0; k < n; ++k) {
      out_.rnei[k + 1] = v[k].first;
      out_.inei[k + 1] = v[k].second;
    }
    return idis_;
  }
  // After finish: the number of atoms before the last run of one distance.
  std::size_t before_last_run() const { return last_run_; }

  // The structure has disorder parts; the atom (of part 0) sees the chosen
  // alternative of them.
  void use_parts(const Alternative& chosen) {
    parts_ = true;
    chosen_ = chosen;
  }

 private:
  Run& run_;
  int atom_;
  float rmax_;
  NeighborRec& out_;
  Vec3 xa_;
  const AtomGrid* grid_;
  float ra_ = 0;
  bool dis_a_ = false;
  float occ_a_ = 1;
  int idis_ = 0;
  std::size_t last_run_ = 0;
  bool parts_ = false;
  int part_a_ = 0;
  Alternative chosen_;
  // The listed atoms (0-based slots) chained per distance band; bands share
  // a chain modulo kChains, which only adds atoms to test.
  static constexpr float kBand = 0.02f;
  static constexpr std::size_t kChains = 256;
  std::vector<int>& head_;
  std::vector<std::size_t>& used_;
  std::vector<int>& next_;
  std::vector<std::pair<float, int>>& order_;
};

// The found atoms grouped by element: types in increasing atomic number,
// members of a type in distance order. The record's own lists are refilled
// in place, so that a search reuses what the one before it allocated.
void group_types(NeighborRec& r, const Run& run, std::vector<std::pmr::vector<int>>* spare) {
  if (spare != nullptr)
    for (std::size_t t = 1; t < r.itypenei.size(); ++t) spare->push_back(std::move(r.itypenei[t]));
  clear_types(r);
  auto z_of = [&](int k) { return run.atoms.iz[static_cast<std::size_t>(r.inei[static_cast<std::size_t>(k)])]; };
  for (int k = 1; k <= r.nnei; ++k)
    if (std::find(r.ztype.begin() + 1, r.ztype.end(), z_of(k)) == r.ztype.end()) r.ztype.push_back(z_of(k));
  std::sort(r.ztype.begin() + 1, r.ztype.end());
  r.ntype = static_cast<int>(r.ztype.size()) - 1;
  r.ntypenei.resize(r.ztype.size(), 0);
  for (std::size_t t = 1; t < r.ztype.size(); ++t) {
    if (spare != nullptr && !spare->empty()) {
      r.itypenei.push_back(std::move(spare->back()));
      spare->pop_back();
    } else {
      r.itypenei.emplace_back();
    }
    auto& m = r.itypenei[t];
    m.assign(1, 0);
    for (int k = 1; k <= r.nnei; ++k)
      if (z_of(k) == r.ztype[t]) m.push_back(r.inei[static_cast<std::size_t>(k)]);
    r.ntypenei[t] = static_cast<int>(m.size()) - 1;
  }
}

std::vector<std::string> member_labels(const Run& run, const NeighborRec& r, int t) {
  std::vector<std::string> labels;
  const auto& m = r.itypenei[static_cast<std::size_t>(t)];
  for (int k = 1; k <= r.ntypenei[static_cast<std::size_t>(t)]; ++k)
    labels.push_back(run.atoms.label[static_cast<std::size_t>(m[static_cast<std::size_t>(k)])]);
  return labels;
}

constexpr const ff::Format& kMemberFormat = "( 6x,'atoms : ', 6(a,1x), 10000(/,14x,6(a,1x)) )"_f;

// The list of one search: heading, column header, one row per atom, in one
// write (the row group repeats often enough for any search of a structure).
void print_list(Run& run, std::ostream& os, int atom, float rmax, const NeighborRec& r) {
  ff::ItemList items;
  ff::add(items, rtrim(run.atoms.label[static_cast<std::size_t>(atom)]));
  if (rmax > 0.0f) ff::add(items, rmax);
  ff::add(items, r.nnei);
  for (int k = 1; k <= r.nnei; ++k) {
    const auto j = static_cast<std::size_t>(r.inei[static_cast<std::size_t>(k)]);
    ff::add(items, k);
    ff::add(items, static_cast<int>(j));
    ff::add(items, r.rnei[static_cast<std::size_t>(k)]);
    ff::add(items, run.atoms.label[j]);
    ff::add(items, run.atoms1.occ[j]);
  }
  if (rmax <= 0.0f)
    ff::write_items(os,
                    "(/1x,'Covalently-bonded neighbors to ',a,' = ',i4,//"
                    "5x,'i',7x,'n',5x,'r(Ang)',4x,'atom',7x,'occ',:/,60000(i6,i8,2x,f9.3,4x,a,2x,f7.4,:/))"_f,
                    items.view());
  else
    ff::write_items(os,
                    "(/1x,'Neighbors of ',a,' within ',f7.3,' Ang = ',i4,//"
                    "5x,'i',7x,'n',5x,'r(Ang)',4x,'atom',7x,'occ',:/,60000(i6,i8,2x,f9.3,4x,a,2x,f7.4,:/))"_f,
                    items.view());
}

// The atom types among the neighbours of a record, each with its members.
void print_search_types(const Run& run, const NeighborRec& r, std::ostream& os) {
  ff::write(os, "(/4x,'There is(are) ',i4,' atom type(s) among neighbors')"_f, r.ntype);
  for (int t = 1; t <= r.ntype; ++t) {
    const auto ut = static_cast<std::size_t>(t);
    ff::write(os, "(/4x,a,i4)"_f, "Type = ", t);
    ff::write(os, "(4x,a,i4)"_f, "  atomic number = ", r.ztype[ut]);
    ff::write(os, "(4x,a,i4)"_f, "  neighbors of this type = ", r.ntypenei[ut]);
    ff::write(os, kMemberFormat, member_labels(run, r, t));
  }
}

// Puts the members of one type in the order the axis rules walk: fewer
// bonded neighbours first, then shorter distance to the central atom.
void order_members(Run& run, NeighborRec& r, int t) {
  auto& m = r.itypenei[static_cast<std::size_t>(t)];
  const int n = r.ntypenei[static_cast<std::size_t>(t)];
  auto distance_to = [&](int j) {
    for (int k = 1; k <= r.nnei; ++k)
      if (r.inei[static_cast<std::size_t>(k)] == j) return r.rnei[static_cast<std::size_t>(k)];
    return 0.0f;
  };
  auto bonds = [&](int j) { return run.neighbors[static_cast<std::size_t>(j)].nnei; };
  bool swapped = true;
  while (swapped) {
    swapped = false;
    for (int k = 2; k <= n; ++k) {
      const int a = m[static_cast<std::size_t>(k - 1)];
      const int b = m[static_cast<std::size_t>(k)];
      const bool ahead =
          bonds(b) < bonds(a) || (bonds(b) == bonds(a) && distance_to(b) < distance_to(a) - kSameDistance);
      if (ahead) {
        std::swap(m[static_cast<std::size_t>(k - 1)], m[static_cast<std::size_t>(k)]);
        swapped = true;
      }
    }
  }
}

// The heading of the atom and one row per neighbour, in one write.
void report_atom(Run& run, int atom) {
  NeighborRec& r = run.neighbors[static_cast<std::size_t>(atom)];
  ff::ItemList items;
  ff::add(items, atom);
  ff::add(items, run.atoms.label[static_cast<std::size_t>(atom)]);
  for (int t = r.ntype; t >= 1; --t) {
    const auto ut = static_cast<std::size_t>(t);
    if (r.ntypenei[ut] > 1) order_members(run, r, t);
    for (int k = 1; k <= r.ntypenei[ut]; ++k) {
      const int j = r.itypenei[ut][static_cast<std::size_t>(k)];
      const auto uj = static_cast<std::size_t>(j);
      float d = 0;
      for (int q = 1; q <= r.nnei; ++q)
        if (r.inei[static_cast<std::size_t>(q)] == j) d = r.rnei[static_cast<std::size_t>(q)];
      ff::add(items, r.ztype[ut]);
      ff::add(items, run.neighbors[uj].nnei);
      ff::add(items, d);
      ff::add(items, j);
      ff::add(items, run.atoms.label[uj]);
    }
  }
  ff::write_items(*run.lst, "(/' Atom # ',i6,' = ',a,' :',:/,1000(5x,2i4,f11.3,i8,3x,a,:/))"_f, items.view());
}

// Whichever base the ring's member list uses, its unused entries hold 0,
// which is never an atom.
bool ring_has(const Ring& ring, int atom) {
  return std::find(ring.members.begin(), ring.members.end(), atom) != ring.members.end();
}

// With disorder parts, the alternative the atom sees, chosen among the atoms
// bonded to it: from the bond table of the index (which holds only that
// alternative), else from a scan of the whole table.
void apply_parts(Run& run, int atom, const SearchIndex* idx, Collector& c) {
  if (idx != nullptr) {
    if (idx->parts) c.use_parts(chosen_alternative(run, atom, idx->bonds[static_cast<std::size_t>(atom)]));
    return;
  }
  if (!has_parts(run, run.cryst.ncryst)) return;
  const float ra = bond_radius(run, atom);
  const Vec3& xa = run.atoms.xc[static_cast<std::size_t>(atom)];
  std::vector<int> bonded_to;
  for (int j = 1; j <= run.cryst.ncryst; ++j)
    if (j != atom && bonded(dist(xa, run.atoms.xc[static_cast<std::size_t>(j)]), ra, bond_radius(run, j), run.ctl.tol1))
      bonded_to.push_back(j);
  c.use_parts(chosen_alternative(run, atom, bonded_to));
}

}  // namespace

int GetNei(Run& run, int atom, float rmax) {
  check_atom(run, atom, "GetNei");
  SearchIndex* idx = run.plain_scans ? nullptr : search_index(run);
  if (idx == nullptr) {
    SearchScratch scratch;
    Collector c(run, atom, rmax, run.neig, scratch);
    apply_parts(run, atom, nullptr, c);
    for (int j = 1; j <= run.cryst.ncryst; ++j) c.take(j);
    return c.finish();
  }
  Collector c(run, atom, rmax, run.neig, idx->lists, &idx->grid);
  apply_parts(run, atom, idx, c);
  // The candidates are a superset of the atoms that can pass, in index
  // order, so the list is the one of the whole scan.
  const auto ua = static_cast<std::size_t>(atom);
  if (rmax <= 0.0f) {
    for (int j : idx->bonds[ua]) c.take(j);
    return c.finish();
  }
  const double reach = rmax;
  std::vector<int>& cands = idx->scratch;
  const AtomGrid& grid = idx->grid;
  grid.near_atoms(run, run.atoms.xc[ua], reach, cands);
  // Only which of two atoms on one site is kept depends on the order of
  // the candidates; without such atoms any order gives the same list.
  for (int j : cands)
    if (j != atom && grid.may_share_site(j)) {
      grid.candidates(run, run.atoms.xc[ua], reach, cands);
      break;
    }
  for (int j : cands) c.take(j);
  return c.finish();
}

int first_neighbor_of(Run& run, int atom, float rmax, AtomTest test) {
  check_atom(run, atom, "GetNei");
  auto whole_list = [&] {
    GetNei(run, atom, rmax);
    for (int k = 1; k <= run.neig.nnei; ++k)
      if (test(run.neig.inei[static_cast<std::size_t>(k)])) return run.neig.inei[static_cast<std::size_t>(k)];
    return 0;
  };
  SearchIndex* idx = run.plain_scans ? nullptr : search_index(run);
  const Vec3& xa = run.atoms.xc[static_cast<std::size_t>(atom)];
  if (idx == nullptr || !(rmax > 0.0f)) return whole_list();
  AtomGrid& grid = idx->grid;
  NeighborRec& part = idx->near;
  std::vector<int>& cands = idx->scratch;
  // The list within r is the start of the whole list as long as no atom
  // there can be taken for a second atom on a listed site (such atoms drop
  // out by index order, whichever side of r their twin lies), except that
  // an atom beyond r at the distance of the last run may sort into it:
  // everything before that run is final, and the run too when r lies past
  // its distance by more than what counts as one distance.
  //
  // The first search reaches just past the nearest bonded partner that
  // passes (most answers are one), else 2.5 A.
  float start = 2.5f;
  const auto ua = static_cast<std::size_t>(atom);
  if (ua < idx->bonds.size())
    for (int j : idx->bonds[ua])
      if (test(j)) start = std::min(start, dist(xa, run.atoms.xc[static_cast<std::size_t>(j)]) + kFirstReach);
  std::size_t tested = 0;  // atoms of the final part already put to the test
  for (float r = std::min(start, rmax); r < rmax; r = std::min(2.0f * r, rmax)) {
    grid.near_atoms(run, xa, r, cands);
    for (int j : cands)
      if (j != atom && grid.may_share_site(j)) return whole_list();
    Collector c(run, atom, r, part, idx->lists, &grid);
    apply_parts(run, atom, idx, c);
    for (int j : cands) c.take(j);
    c.finish();
    const auto n = static_cast<std::size_t>(part.nnei);
    const std::size_t settled = n == 0 || r - part.rnei[c.before_last_run() + 1] >= kSameDistance ? n : c.before_last_run();
    for (std::size_t k = tested + 1; k <= settled; ++k)
      if (test(part.inei[k])) return part.inei[k];
    tested = std::max(tested, settled);
  }
  return whole_list();
}

int findnei(Run& run, int atom, float rmax) {
  const int idis = GetNei(run, atom, rmax);
  if (run.iprint == 1) {
    print_list(run, *run.lst, atom, rmax, run.neig);
    if (idis == 1) to_lst(run, "(/4x,'Note : at least 1 neighbor is disordered')"_f);
  }
  SearchIndex* idx = run.plain_scans ? nullptr : search_index(run);
  group_types(run.neig, run, idx != nullptr ? &idx->lists.spare_members : nullptr);
  if (run.iprint == 1 && run.ctl.iverb >= 2) print_search_types(run, run.neig, *run.lst);
  return idis;
}

void findallneighbors(Run& run) {
  run.iprint = 0;
  const int n = run.cryst.ncryst;
  if (n < 0 || static_cast<std::size_t>(n) >= run.atoms.xc.size())
    err("findallneighbors", "atom count " + std::to_string(n) + " does not fit the atom table");
  to_lst(run, "(/a)"_f, std::string(79, '-'));
  to_both(run, "(/' IDENTIFYING COVALENTLY-BONDED NEIGHBORS FOR EACH ATOM')"_f);
  // The lists of the table go into the run's pool, emptied first (no list
  // of it is left in use then).
  const std::size_t records = std::max(run.neighbors.size(), static_cast<std::size_t>(n) + 1);
  run.neighbors.clear();
  run.neighbor_pool.release();
  run.neighbors.reserve(records);
  for (std::size_t i = 0; i < records; ++i) run.neighbors.emplace_back(&run.neighbor_pool);

  // The widest bond any atom can form decides the cell size.
  float rbig = 0;
  for (int i = 1; i <= n; ++i) rbig = std::max(rbig, covalent_radius(run, run.atoms.iz[static_cast<std::size_t>(i)]));
  build_search_index(run, rbig);
  for (int i = 1; i <= n; ++i) {
    findnei(run, i, 0.0f);
    // A copy takes just the room the lists need, from the pool; run.neig
    // keeps its own for the next search.
    run.neighbors[static_cast<std::size_t>(i)] = run.neig;
  }

  to_lst(run, "(/a/4x,a/4x,a/4x,a)"_f, " Printout of neighbors of all atoms sorted by ", "1) atomic number (descending)",
         "2) hybridization ( ascending)", "3) distance      ( ascending)");
  for (int i = 1; i <= n; ++i) report_atom(run, i);
}

void SortNei(Run& run, int atom) {
  check_atom(run, atom, "SortNei");
  const NeighborRec& r = run.neighbors[static_cast<std::size_t>(atom)];
  run.isn.assign(1, 0);
  for (int t = r.ntype; t >= 1; --t) {
    const auto ut = static_cast<std::size_t>(t);
    for (int k = 1; k <= r.ntypenei[ut]; ++k) run.isn.push_back(r.itypenei[ut][static_cast<std::size_t>(k)]);
  }
  if (static_cast<int>(run.isn.size()) - 1 != r.nnei) err("SortNei", "l.ne.nnei(k)");
}

void prtatomnei(Run& run, int atom, std::ostream& os) {
  check_atom(run, atom, "prtatomnei");
  const NeighborRec& r = run.neighbors[static_cast<std::size_t>(atom)];
  print_list(run, os, atom, 0.0f, r);
  if (run.ctl.iverb >= 2) print_search_types(run, r, os);
}

std::vector<int> collectnei(const Run& run, int atom) {
  check_atom(run, atom, "collectnei");
  const NeighborRec& r = run.neighbors[static_cast<std::size_t>(atom)];
  std::vector<int> list(r.inei.begin() + 1, r.inei.begin() + 1 + r.nnei);
  list.push_back(atom);
  return list;
}

std::vector<int> rings_containing(Run& run, int atom) {
  const SearchIndex* idx = run.plain_scans ? nullptr : search_index(run);
  if (idx != nullptr && atom >= 1 && static_cast<std::size_t>(atom) < idx->rings_of.size())
    return idx->rings_of[static_cast<std::size_t>(atom)];
  std::vector<int> out;
  for (int q = 1; q <= run.rings.nor && static_cast<std::size_t>(q) < run.rings.ring.size(); ++q)
    if (ring_has(run.rings.ring[static_cast<std::size_t>(q)], atom)) out.push_back(q);
  return out;
}

bool ring_holds(const Run& run, int q, int atom) {
  return q >= 1 && static_cast<std::size_t>(q) < run.rings.ring.size() &&
         ring_has(run.rings.ring[static_cast<std::size_t>(q)], atom);
}

RingTest isitcyclic(Run& run, int atom) {
  RingTest res;
  int count = 0;
  int first[2] = {0, 0};
  auto met = [&](int q) {
    if (count < 2) first[count] = q;
    ++count;
  };
  const SearchIndex* idx = run.plain_scans ? nullptr : search_index(run);
  if (idx != nullptr && atom >= 1 && static_cast<std::size_t>(atom) < idx->rings_of.size()) {
    for (int q : idx->rings_of[static_cast<std::size_t>(atom)]) met(q);
  } else {
    for (int q = 1; q <= run.rings.nor && static_cast<std::size_t>(q) < run.rings.ring.size(); ++q)
      if (ring_has(run.rings.ring[static_cast<std::size_t>(q)], atom)) met(q);
  }
  if (count == 0) return res;
  res.lcyc = 1;
  auto ring = [&](int q) -> const Ring& { return run.rings.ring[static_cast<std::size_t>(q)]; };
  if (count == 1) {
    if (ring(first[0]).planar == 1) {
      res.l1plan = 1;
      res.iring = first[0];
      res.nsize = ring(first[0]).size;
    }
  } else if (count == 2) {
    const bool p0 = ring(first[0]).planar == 1;
    const bool p1 = ring(first[1]).planar == 1;
    if (p0 && p1) {
      res.l2plan = 1;
      res.iring = first[0] + first[1];
      res.nsize = ring(first[0]).size + ring(first[1]).size;
    } else if (p0 || p1) {
      const int q = p0 ? first[0] : first[1];
      res.l1plan = 1;
      res.iring = q;
      res.nsize = ring(q).size;
    }
  }
  return res;
}

}  // namespace vorn
