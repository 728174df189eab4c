#include "topology/rings.hpp"

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "base/error.hpp"
#include "topology/planarity.hpp"

namespace vorn {

namespace {

class RingWalk {
 public:
  explicit RingWalk(Run& run);
  void search();

 private:
  int ncon(int p) const { return run_.conmat.ncon[static_cast<std::size_t>(p)]; }
  int partner(int p, int slot) const { return run_.conmat.icon[static_cast<std::size_t>(p)][static_cast<std::size_t>(slot)]; }

  void start(int p);
  void append(int h);
  void cut(int length);
  int ichoice(int b, int c);
  bool go2lcp();
  bool CheckVisited();
  void checkring(int L, int k);
  int ichk_ring(const std::vector<int>& members);
  void print_ring(int q);

  Run& run_;
  int n_;
  std::vector<std::vector<char>> walkable_;  // per position and partner slot
  std::vector<int> nwalkable_;               // walkable slots left per position
  std::vector<char> visited_;
  // The walk path, path_[1..L]; path_[0] = 0 stands for "no previous atom"
  // when the walk resumes at the path's first atom.
  std::vector<int> path_;
  // Path indices at which each position occurs, ascending, so that the
  // latest earlier occurrence is found without scanning the path.
  std::vector<std::vector<int>> where_;
  int next_unvisited_ = 1;
  std::vector<std::vector<int>> of_size_;  // the rings found, by size
  std::vector<int> times_;                 // per atom: its count among the members tested
};

RingWalk::RingWalk(Run& run) : run_(run), n_(run.newat.n) {
  const auto n = static_cast<std::size_t>(n_) + 1;
  walkable_.resize(n);
  nwalkable_.assign(n, 0);
  for (int p = 1; p <= n_; ++p) {
    walkable_[static_cast<std::size_t>(p)].assign(static_cast<std::size_t>(ncon(p)), 1);
    nwalkable_[static_cast<std::size_t>(p)] = ncon(p);
  }
  visited_.assign(n, 0);
  where_.resize(n);
  path_.assign(1, 0);
}

void RingWalk::append(int h) {
  path_.push_back(h);
  visited_[static_cast<std::size_t>(h)] = 1;
  where_[static_cast<std::size_t>(h)].push_back(static_cast<int>(path_.size()) - 1);
}

void RingWalk::cut(int length) {
  while (static_cast<int>(path_.size()) - 1 > length) {
    where_[static_cast<std::size_t>(path_.back())].pop_back();
    path_.pop_back();
  }
}

void RingWalk::start(int p) {
  cut(0);
  walkable_[static_cast<std::size_t>(p)][0] = 0;
  --nwalkable_[static_cast<std::size_t>(p)];
  append(p);
  append(partner(p, 0));
}

// The first partner slot of c, in slot order, that is still walkable and
// does not lead back to b; its bond is marked walked.
int RingWalk::ichoice(int b, int c) {
  auto& marks = walkable_[static_cast<std::size_t>(c)];
  for (int slot = 0; slot < ncon(c); ++slot) {
    if (!marks[static_cast<std::size_t>(slot)] || partner(c, slot) == b) continue;
    marks[static_cast<std::size_t>(slot)] = 0;
    --nwalkable_[static_cast<std::size_t>(c)];
    return partner(c, slot);
  }
  return 0;
}

// Backs up to the latest path atom that is a branch point with a bond left.
bool RingWalk::go2lcp() {
  for (int i = static_cast<int>(path_.size()) - 2; i >= 1; --i) {
    const int p = path_[static_cast<std::size_t>(i)];
    if (ncon(p) > 2 && nwalkable_[static_cast<std::size_t>(p)] > 0) {
      cut(i);
      return true;
    }
  }
  return false;
}

bool RingWalk::CheckVisited() {
  // Visited marks are never taken back, so the search for the first
  // unvisited position can go on from where it stopped last time.
  while (next_unvisited_ <= n_ &&
         (visited_[static_cast<std::size_t>(next_unvisited_)] || ncon(next_unvisited_) == 0))
    ++next_unvisited_;
  if (next_unvisited_ > n_) return false;
  const int p = next_unvisited_;
  if (!walkable_[static_cast<std::size_t>(p)][0]) err("CheckVisited", "Internal error");
  start(p);
  return true;
}

// A ring of the same size whose members, each counted as often as it occurs
// among the given ones, add up to the size (for lists without repeats: the
// same atoms) is already known.
int RingWalk::ichk_ring(const std::vector<int>& members) {
  const int size = static_cast<int>(members.size());
  const auto us = static_cast<std::size_t>(size);
  if (us >= of_size_.size()) return 0;
  for (int b : members) {
    const auto ub = static_cast<std::size_t>(b);
    if (ub >= times_.size()) times_.resize(ub + 1, 0);
    ++times_[ub];
  }
  int found = 0;
  for (int q : of_size_[us]) {
    int equal = 0;
    for (int a : run_.rings.ring[static_cast<std::size_t>(q)].members)
      if (static_cast<std::size_t>(a) < times_.size()) equal += times_[static_cast<std::size_t>(a)];
    if (equal == size) {
      found = 1;
      break;
    }
  }
  for (int b : members) times_[static_cast<std::size_t>(b)] = 0;
  return found;
}

void RingWalk::checkring(int L, int k) {
  const Ring1& lim = run_.ring1;
  const int size = L - k;
  if (size > lim.nmax || size < lim.nmin) return;
  // Out and back over the same atom is not a ring.
  if (path_[static_cast<std::size_t>(k + 1)] == path_[static_cast<std::size_t>(L - 1)]) return;
  std::vector<int> members;
  members.reserve(static_cast<std::size_t>(size));
  for (int i = k; i <= L - 1; ++i)
    members.push_back(run_.newat.idx[static_cast<std::size_t>(path_[static_cast<std::size_t>(i)])]);
  if (ichk_ring(members) == 1) return;

  Rings& rings = run_.rings;
  if (size > MAXRINGSIZE)
    err("FindRings", "Ring of " + std::to_string(size) + " members: more than " + std::to_string(MAXRINGSIZE) +
                         " (maxringsize)");
  const int q = ++rings.nor;
  if (static_cast<std::size_t>(size) >= of_size_.size()) of_size_.resize(static_cast<std::size_t>(size) + 1);
  of_size_[static_cast<std::size_t>(size)].push_back(q);
  Ring ring;
  ring.size = size;
  ring.members = std::move(members);
  rings.ring.push_back(std::move(ring));
  print_ring(q);

  Ring& stored = rings.ring[static_cast<std::size_t>(q)];
  stored.planar = 1;
  if (size > 3) stored.planar = planarity(run_, 1, std::span<const int>(stored.members), 2);
}

void RingWalk::print_ring(int q) {
  const Ring& r = run_.rings.ring[static_cast<std::size_t>(q)];
  std::vector<std::string> labels;
  for (int a : r.members) labels.push_back(run_.atoms.label[static_cast<std::size_t>(a)]);
  to_lst(run_, "(//' **********  FOUND RING # ',i4,' ---> ',i3,' - MEMBERED  **********'/)"_f, q, r.size);
  to_lst(run_, "(99(2x,a))"_f, labels);
  to_lst(run_, "(99(i6,4x) )"_f, r.members);
}

void RingWalk::search() {
  bool walking = false;
  if (n_ >= 1 && ncon(1) > 0) {
    start(1);
    walking = true;
  } else {
    walking = CheckVisited();
  }
  while (walking) {
    const int L = static_cast<int>(path_.size()) - 1;
    const int h = ichoice(path_[static_cast<std::size_t>(L - 1)], path_[static_cast<std::size_t>(L)]);
    if (h != 0) {
      const auto& seen = where_[static_cast<std::size_t>(h)];
      const int k = seen.empty() ? 0 : seen.back();
      append(h);
      if (k != 0) checkring(L + 1, k);
      continue;
    }
    if (go2lcp()) continue;
    walking = CheckVisited();
  }
}

// Moves the first position with more than two partners to position 1, so
// that the walk starts at a branch point.
void move_branch_point_first(Run& run) {
  Newat& na = run.newat;
  Conmat& cm = run.conmat;
  int q = 0;
  for (int p = 1; p <= na.n && q == 0; ++p)
    if (cm.ncon[static_cast<std::size_t>(p)] > 2) q = p;
  if (q <= 1) return;
  const auto qq = static_cast<std::size_t>(q);
  std::swap(na.idx[1], na.idx[qq]);
  std::swap(cm.ncon[1], cm.ncon[qq]);
  std::swap(cm.icon[1], cm.icon[qq]);
  // The partner lists keep their slot order; only the two references change.
  for (int p = 1; p <= na.n; ++p)
    for (int& v : cm.icon[static_cast<std::size_t>(p)]) {
      if (v == 1)
        v = q;
      else if (v == q)
        v = 1;
    }
}

}  // namespace

void FindRings(Run& run) {
  run.rings = Rings{};
  run.rings.ring.assign(1, Ring{});

  to_lst(run, "(/a)"_f, std::string(80, '-'));
  to_both(run, "(/' AUTOMATED SEARCH FOR ',i3,' -',i3,' - MEMBERED RINGS')"_f, run.ring1.nmin, run.ring1.nmax);
  to_out(run, "(a)"_f, "");

  if (run.newat.n <= 2) {
    to_both(run, "(/' THERE ARE NO ATOMS IN THE REDUCED CONNECTIVITY TABLE',//,' SEARCH FOR RINGS WILL NOT BE PERFORMED...')"_f);
    return;
  }
  move_branch_point_first(run);
  RingWalk walk(run);
  walk.search();

  to_both(run, "(/1x,79a)"_f, std::string(79, '-'));
  to_both(run, "(/' TOTAL RINGS FOUND (nor)  = ',i6)"_f, run.rings.nor);
}

}  // namespace vorn
