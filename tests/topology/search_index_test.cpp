#include "topology/search_index.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory_resource>
#include <random>
#include <utility>
#include <vector>

#include "support/builders.hpp"
#include "support/generated.hpp"
#include "topology/connectivity.hpp"
#include "topology/neighbors.hpp"

using namespace vorn;
using vorn::test::TestRun;

namespace {

struct Found {
  int n;
  std::pmr::vector<int> idx;
  std::pmr::vector<float> d;
  int ntype;
  std::pmr::vector<int> z;
  std::pmr::vector<std::pmr::vector<int>> members;
  int dis;
  bool operator==(const Found&) const = default;
};

Found search(vorn::Run& run, int atom, float rmax, bool plain) {
  run.plain_scans = plain;
  const int dis = findnei(run, atom, rmax);
  run.plain_scans = false;
  const NeighborRec& r = run.neig;
  return Found{r.nnei, r.inei, r.rnei, r.ntype, r.ztype, r.itypenei, dis};
}

// Every bonded and radius search of every atom, with the index and with the
// whole-table scan.
void expect_searches_match(vorn::Run& run) {
  for (int i = 1; i <= run.cryst.ncryst; ++i)
    for (float r : {0.0f, 3.0f, 10.0f}) {
      ASSERT_EQ(search(run, i, r, false), search(run, i, r, true)) << "atom " << i << " rmax " << r;
    }
}

// Atoms scattered in a box, with pairs on one site and a few far outliers.
void scatter(vorn::Run& run, int n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> u(0.0f, 30.0f);
  for (int i = 1; i <= n; ++i) {
    Cart x(u(rng), u(rng), u(rng));
    if (i % 97 == 0) x = run.atoms.xc[static_cast<std::size_t>(i - 1)];  // same site
    if (i % 101 == 0) x = Cart(x[0] + 5000.0f, x[1], -x[2]);             // far away
    vorn::test::add_atom(run, i % 3 == 0 ? "H" + std::to_string(i) : "C" + std::to_string(i), x);
  }
}

std::vector<int> within(const vorn::Run& run, const Vec3& p, float r) {
  std::vector<int> v;
  for (int j = 1; j <= run.cryst.ncryst; ++j)
    if (dist(p, run.atoms.xc[static_cast<std::size_t>(j)]) <= r) v.push_back(j);
  return v;
}

}  // namespace

TEST(AtomGrid, CandidatesHoldEveryAtomWithinReachInIndexOrder) {
  TestRun t;
  vorn::Run& run = t.run;
  scatter(run, 1500, 3);
  AtomGrid grid(run, run.cryst.ncryst, 1.74);
  ASSERT_TRUE(grid.valid());
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> pick(1, run.cryst.ncryst);
  std::uniform_real_distribution<float> jitter(-0.4f, 0.4f);
  auto check = [&]() {
    std::vector<int> c;
    for (int q = 0; q < 150; ++q) {
      const Vec3 p = run.atoms.xc[static_cast<std::size_t>(pick(rng))];
      for (float r : {0.001f, 1.5f, 4.0f, 10.0f, 25.0f}) {
        grid.candidates(run, p, r, c);
        ASSERT_TRUE(std::is_sorted(c.begin(), c.end()));
        ASSERT_EQ(std::adjacent_find(c.begin(), c.end()), c.end());
        for (int j : within(run, p, r)) ASSERT_TRUE(std::binary_search(c.begin(), c.end(), j)) << j;
      }
    }
  };
  check();
  // Atoms moved a little, onto another atom, and out of the grid's box.
  std::vector<int> near;
  for (int k = 0; k < 80; ++k) {
    const int j = pick(rng);
    Cart& x = run.atoms.xc[static_cast<std::size_t>(j)];
    if (k % 8 == 0)
      x = run.atoms.xc[static_cast<std::size_t>(pick(rng))];
    else if (k % 8 == 1)
      x = Cart(x[0] - 200.0f, x[1], x[2]);
    else
      x = Cart(x[0] + jitter(rng), x[1] + jitter(rng), x[2] + jitter(rng));
    grid.moved(run, j, 0.0, near);
  }
  check();
}

// An atom that leaves its cell, moves on and comes back is met exactly once
// wherever it is, by the ordered and the unordered search alike.
TEST(AtomGrid, AtomMovedAwayAndBackIsFoundOnceWhereverItIs) {
  TestRun t;
  vorn::Run& run = t.run;
  for (int i = 1; i <= 30; ++i) {
    const float a = 0.5f * static_cast<float>(i);
    vorn::test::add_atom(run, "C" + std::to_string(i), Cart(1.4f * static_cast<float>(i % 6), 1.3f * static_cast<float>(i / 6), std::sin(a)));
  }
  AtomGrid grid(run, run.cryst.ncryst, 1.74);
  ASSERT_TRUE(grid.valid());
  const Cart home = run.atoms.xc[7];
  std::vector<int> c, u, near;
  for (const Cart& to : {Cart(home[0] + 3.1f, home[1], home[2]), Cart(home[0] + 3.1f, home[1] + 4.2f, home[2] - 1.0f),
                         Cart(home[0] + 0.05f, home[1], home[2]), home}) {
    run.atoms.xc[7] = to;
    grid.moved(run, 7, 0.0, near);
    for (int q = 1; q <= run.cryst.ncryst; ++q) {
      const Vec3 p = run.atoms.xc[static_cast<std::size_t>(q)];
      grid.candidates(run, p, 2.0, c);
      grid.near_atoms(run, p, 2.0, u);
      ASSERT_EQ(std::count(c.begin(), c.end(), 7), dist(p, to) <= 2.0f ? 1 : 0) << q;
      std::sort(u.begin(), u.end());
      ASSERT_EQ(u, c) << q;
    }
  }
}

TEST(AtomGrid, NonFinitePositionsLeaveTheSearchesToTheScan) {
  TestRun t;
  vorn::Run& run = t.run;
  scatter(run, 50, 1);
  run.atoms.xc[7] = Cart(std::nanf(""), 0.0f, 0.0f);
  findallneighbors(run);
  EXPECT_EQ(search_index(run), nullptr);
  expect_searches_match(run);
}

TEST(NeighbourSearch, IndexGivesTheScanListsWithSitesSharedAndAtomsMoved) {
  TestRun t;
  vorn::Run& run = t.run;
  scatter(run, 600, 11);
  findallneighbors(run);
  ASSERT_NE(search_index(run), nullptr);
  expect_searches_match(run);
  // An atom put on another one's site, and a twin taken away from its site.
  run.atoms.xc[10] = Cart(run.atoms.xc[20][0] + 0.004f, run.atoms.xc[20][1], run.atoms.xc[20][2]);
  atom_moved(run, 10);
  run.atoms.xc[97] = Cart(run.atoms.xc[97][0] + 0.3f, run.atoms.xc[97][1], run.atoms.xc[97][2]);
  atom_moved(run, 97);
  expect_searches_match(run);
  EXPECT_TRUE(search_index(run)->grid.may_share_site(20));
  EXPECT_FALSE(search_index(run)->grid.may_share_site(96));
  // The newcomer leaves again: the site it shared is single once more.
  run.atoms.xc[10] = Cart(run.atoms.xc[20][0] + 1.2f, run.atoms.xc[20][1], run.atoms.xc[20][2]);
  atom_moved(run, 10);
  EXPECT_FALSE(search_index(run)->grid.may_share_site(20));
  EXPECT_FALSE(search_index(run)->grid.may_share_site(10));
  expect_searches_match(run);
}

TEST(NeighbourSearch, StoredRecordStandsForABondedSearchOnlyWhileNothingBondedMoved) {
  TestRun t;
  vorn::Run& run = t.run;
  scatter(run, 600, 17);
  findallneighbors(run);
  ASSERT_NE(unchanged_bonds(run, 1), nullptr);
  // Moves that break bonds, make new ones and put an atom on another's site.
  std::mt19937 rng(23);
  std::uniform_int_distribution<int> pick(1, run.cryst.ncryst);
  std::uniform_real_distribution<float> step(-0.8f, 0.8f);
  std::vector<int> moved;
  for (int k = 0; k < 40; ++k) {
    const int a = pick(rng);
    const auto ua = static_cast<std::size_t>(a);
    run.atoms.xc[ua] = Cart(run.atoms.xc[ua][0] + step(rng), run.atoms.xc[ua][1] + step(rng), run.atoms.xc[ua][2]);
    atom_moved(run, a);
    moved.push_back(a);
  }
  run.atoms.xc[30] = Cart(run.atoms.xc[40][0] + 0.004f, run.atoms.xc[40][1], run.atoms.xc[40][2]);
  atom_moved(run, 30);
  moved.push_back(30);
  for (int a : moved) EXPECT_EQ(unchanged_bonds(run, a), nullptr) << "atom " << a;
  int kept = 0;
  for (int i = 1; i <= run.cryst.ncryst; ++i) {
    const NeighborRec* r = unchanged_bonds(run, i);
    if (r == nullptr) continue;
    ++kept;
    const Found now = search(run, i, 0.0f, true);
    ASSERT_EQ(r->nnei, now.n) << "atom " << i;
    EXPECT_EQ(std::vector<int>(r->inei.begin(), r->inei.end()), std::vector<int>(now.idx.begin(), now.idx.end()))
        << "atom " << i;
  }
  EXPECT_GT(kept, 400);
}

TEST(NeighbourSearch, BondTableOfTheRingStageIsTakenOverOnlyForUnchangedAtoms) {
  TestRun t;
  vorn::Run& run = t.run;
  scatter(run, 400, 29);
  connect4rings(run);
  ASSERT_NE(run.bonds, nullptr);
  // An atom moved after the ring stage, next to another one.
  run.atoms.xc[5] = Cart(run.atoms.xc[6][0] + 1.1f, run.atoms.xc[6][1], run.atoms.xc[6][2]);
  findallneighbors(run);
  EXPECT_EQ(run.bonds, nullptr);
  expect_searches_match(run);

  TestRun u;
  scatter(u.run, 400, 29);
  connect4rings(u.run);
  findallneighbors(u.run);
  expect_searches_match(u.run);
}

TEST(NeighbourSearch, IndexGivesTheScanListsAfterAWholeRun) {
  // After the run the hydrogens stand at their standard distances: the index
  // followed every move.
  TestRun t;
  bench::GenOptions opts;
  opts.target_atoms = 700;
  opts.split = true;
  opts.twist = true;
  opts.chloro = 0.3;
  vorn::test::write_generated(t, opts);
  ASSERT_EQ(vorn_main(t.run, {}), 0) << t.out.str();
  vorn::Run& run = t.run;
  ASSERT_GT(run.cryst.ncryst, run.atoms.nat);  // completion added images
  ASSERT_NE(search_index(run), nullptr);
  expect_searches_match(run);
  for (int i = 1; i <= run.cryst.ncryst; ++i) {
    const RingTest a = isitcyclic(run, i);
    run.plain_scans = true;
    const RingTest b = isitcyclic(run, i);
    run.plain_scans = false;
    ASSERT_TRUE(a.lcyc == b.lcyc && a.l1plan == b.l1plan && a.l2plan == b.l2plan && a.iring == b.iring &&
                a.nsize == b.nsize)
        << i;
  }
}

namespace {

// The first atom of the whole list that passes the test, by the plain scan.
int first_by_scan(vorn::Run& run, int atom, float rmax, const std::function<bool(int)>& test) {
  run.plain_scans = true;
  const int k = first_neighbor(run, atom, rmax, test);
  run.plain_scans = false;
  return k;
}

void expect_first_matches(vorn::Run& run, int step) {
  const std::vector<std::pair<const char*, std::function<bool(int)>>> tests = {
      {"heavy", [&](int j) { return run.atoms.iz[static_cast<std::size_t>(j)] != 1; }},
      {"every fifth", [](int j) { return j % 5 == 0; }},
      {"far index", [](int j) { return j > 400; }},
      {"none", [](int) { return false; }},
      {"any", [](int) { return true; }}};
  for (int i = 1; i <= run.cryst.ncryst; i += step) {
    // Tests that pass only atoms beyond a distance reach the runs of equal
    // distances that the growing searches cut.
    const Vec3 xi = run.atoms.xc[static_cast<std::size_t>(i)];
    auto beyond = [&](float d) { return [&run, xi, d](int j) { return dist(xi, run.atoms.xc[static_cast<std::size_t>(j)]) > d; }; };
    auto all = tests;
    all.push_back({"beyond 2.4", beyond(2.4f)});
    all.push_back({"beyond 4.9", beyond(4.9f)});
    for (float r : {2.0f, 3.7f, 7.0f, 10.0f, 16.0f})
      for (const auto& [name, test] : all)
        ASSERT_EQ(first_neighbor(run, i, r, test), first_by_scan(run, i, r, test))
            << "atom " << i << " rmax " << r << " test " << name;
  }
}

}  // namespace

TEST(NearestFirst, FirstNeighbourIsTheFirstOfTheWholeListThatPasses) {
  TestRun t;
  vorn::Run& run = t.run;
  scatter(run, 900, 17);  // with pairs on one site
  findallneighbors(run);
  ASSERT_NE(search_index(run), nullptr);
  expect_first_matches(run, 3);
}

TEST(NearestFirst, RunsOfEqualDistancesAcrossTheSearchRadiusKeepIndexOrder) {
  // A cubic lattice of 1.25 A: shells of atoms at one distance, shifted by
  // less than the distance that counts as equal, so that every shell is a
  // run that the growing searches cut.
  TestRun t;
  vorn::Run& run = t.run;
  std::mt19937 rng(2);
  std::uniform_real_distribution<float> tiny(-0.0002f, 0.0002f);
  for (int x = 0; x < 9; ++x)
    for (int y = 0; y < 9; ++y)
      for (int z = 0; z < 9; ++z) {
        const int n = run.atoms.nat + 1;
        vorn::test::add_atom(run, (n % 4 == 0 ? "H" : "C") + std::to_string(n),
                             Cart(1.25f * x + tiny(rng), 1.25f * y + tiny(rng), 1.25f * z + tiny(rng)));
      }
  findallneighbors(run);
  ASSERT_NE(search_index(run), nullptr);
  expect_first_matches(run, 7);
  // Atoms moved after the index was built, one onto another's site.
  run.atoms.xc[40] = Cart(run.atoms.xc[41][0] + 0.003f, run.atoms.xc[41][1], run.atoms.xc[41][2]);
  atom_moved(run, 40);
  run.atoms.xc[300] = Cart(run.atoms.xc[300][0] + 0.4f, run.atoms.xc[300][1], run.atoms.xc[300][2]);
  atom_moved(run, 300);
  expect_first_matches(run, 7);
}

// However many atoms lie around it, the search goes on outward and gives the
// first of the whole list that passes.
TEST(NearestFirst, ManyAtomsAroundStillGiveTheFirstThatPasses) {
  // 1331 atoms 0.6 A apart: more than a thousand within 10 A of the middle one.
  TestRun t;
  vorn::Run& run = t.run;
  for (int x = 0; x < 11; ++x)
    for (int y = 0; y < 11; ++y)
      for (int z = 0; z < 11; ++z)
        vorn::test::add_atom(run, "C" + std::to_string(run.atoms.nat + 1), Cart(0.6f * x, 0.6f * y, 0.6f * z));
  findallneighbors(run);
  ASSERT_NE(search_index(run), nullptr);
  const int middle = 5 * 121 + 5 * 11 + 5 + 1;
  EXPECT_GT(search_index(run)->grid.count_bound(run.atoms.xc[middle], 10.0), 1000u);
  for (const std::function<bool(int)>& test : std::vector<std::function<bool(int)>>{
           [](int) { return true; }, [](int j) { return j == 1; }, [](int) { return false; }}) {
    const int k = first_neighbor(run, middle, 10.0f, test);
    EXPECT_EQ(k, first_by_scan(run, middle, 10.0f, test));
  }
  EXPECT_EQ(first_neighbor(run, middle, 10.0f, [](int j) { return j == 1; }), 1);  // the far corner, 5.2 A away
  EXPECT_EQ(first_neighbor(run, middle, 3.0f, [](int) { return true; }), first_by_scan(run, middle, 3.0f, [](int) { return true; }));
}

// The fallback of the axis rules: the nearest atom within 20 A that lies off
// the line of the first axis. 1,500 atoms and more lie within 20 A of the
// atom; all the near ones lie on the line.
TEST(NearestFirst, NearestAtomOffTheLineAmongFifteenHundredWithinTwentyAngstroms) {
  TestRun t;
  vorn::Run& run = t.run;
  // The atom and a chain of atoms on its x axis, 1.5 A apart.
  const int atom = vorn::test::add_atom(run, "C1", Cart(0, 0, 0));
  for (int k = 1; k <= 12; ++k)
    vorn::test::add_atom(run, "C" + std::to_string(run.atoms.nat + 1), Cart(1.5f * static_cast<float>(k), 0, 0));
  // A lattice of 2.4 A around it, clear of the line by 4 A and more.
  for (int x = -8; x <= 8; ++x)
    for (int y = -8; y <= 8; ++y)
      for (int z = -8; z <= 8; ++z) {
        const Cart p(2.4f * static_cast<float>(x) + 0.3f, 2.4f * static_cast<float>(y) + 0.2f, 2.4f * static_cast<float>(z) + 0.1f);
        if (std::hypot(p[1], p[2]) < 4.0f) continue;
        vorn::test::add_atom(run, "O" + std::to_string(run.atoms.nat + 1), p);
      }
  findallneighbors(run);
  int within = 0;
  for (int j = 1; j <= run.atoms.nat; ++j) within += dist(run.atoms.xc[j], run.atoms.xc[atom]) <= 20.0f ? 1 : 0;
  ASSERT_GE(within, 1500);
  // Off the line: more than 10 degrees from the x axis, seen from the atom.
  const auto off_line = [&](int j) {
    const Vec3& p = run.atoms.xc[static_cast<std::size_t>(j)];
    return std::hypot(p[1], p[2]) > std::tan(10.0f * 0.017453292f) * std::fabs(p[0]) + 1e-3f;
  };
  // The answer by a plain scan of every atom: the nearest off the line, the
  // lower index on a tie.
  int nearest = 0;
  float best = 1e30f;
  for (int j = 1; j <= run.atoms.nat; ++j) {
    const float d = dist(run.atoms.xc[j], run.atoms.xc[atom]);
    if (j != atom && d <= 20.0f && off_line(j) && d < best - 5e-5f) {
      best = d;
      nearest = j;
    }
  }
  ASSERT_NE(nearest, 0);
  EXPECT_EQ(first_neighbor(run, atom, 20.0f, off_line), nearest);
  EXPECT_EQ(first_by_scan(run, atom, 20.0f, off_line), nearest);
}

TEST(AtomGrid, CountBoundHoldsEveryCandidate) {
  TestRun t;
  vorn::Run& run = t.run;
  scatter(run, 1500, 23);
  AtomGrid grid(run, run.cryst.ncryst, 1.74);
  std::mt19937 rng(9);
  std::uniform_int_distribution<int> pick(1, run.cryst.ncryst);
  std::vector<int> c, near;
  for (int q = 0; q < 400; ++q) {
    if (q % 4 == 0) {  // moved atoms are counted where they went
      const int j = pick(rng);
      Cart& x = run.atoms.xc[static_cast<std::size_t>(j)];
      x = q % 8 == 0 ? Cart(x[0] + 60.0f, x[1], x[2]) : Cart(x[0] + 0.9f, x[1] - 0.7f, x[2]);
      grid.moved(run, j, 0.0, near);
    }
    const Vec3 p = run.atoms.xc[static_cast<std::size_t>(pick(rng))];
    for (double r : {0.5, 1.74, 4.0, 10.0, 40.0}) {
      grid.candidates(run, p, r, c);
      ASSERT_GE(grid.count_bound(p, r), c.size()) << q << " " << r;
      // The quick test around either count.
      for (std::size_t limit : {c.size() - (c.empty() ? 0 : 1), c.size(), grid.count_bound(p, r)}) {
        if (grid.at_most(p, r, limit))
          ASSERT_LE(c.size(), limit) << q << " " << r;
        else
          ASSERT_GT(grid.count_bound(p, r), limit) << q << " " << r;
      }
    }
  }
}

TEST(AtomGrid, CountBoundAtOnePointFollowsAtomsMovedNear) {
  TestRun t;
  vorn::Run& run = t.run;
  for (int i = 1; i <= 40; ++i)
    vorn::test::add_atom(run, "C" + std::to_string(i), Cart(1.5f * static_cast<float>(i), 0.0f, 0.0f));
  AtomGrid grid(run, run.cryst.ncryst, 1.74);
  const Vec3 p = run.atoms.xc[1];
  std::vector<int> c, near;
  const std::size_t before = grid.count_bound(p, 3.0);
  EXPECT_EQ(grid.count_bound(p, 3.0), before);
  // Atoms from the far end, one by one, to within the reach of p: the bound
  // asked again at the same point counts each of them.
  for (int j = 40; j >= 36; --j) {
    run.atoms.xc[static_cast<std::size_t>(j)] = Cart(p[0] + 0.8f, p[1] + 0.1f * static_cast<float>(j - 35), p[2]);
    grid.moved(run, j, 0.0, near);
    grid.candidates(run, p, 3.0, c);
    ASSERT_GE(grid.count_bound(p, 3.0), c.size()) << j;
    EXPECT_TRUE(std::find(c.begin(), c.end(), j) != c.end()) << j;
  }
  EXPECT_GE(grid.count_bound(p, 3.0), before + 5);
}

// The whole run with the indexes against the whole run with the plain scans:
// every file and the listing byte for byte (CPU times aside).
class WholeRunEquivalence : public ::testing::TestWithParam<int> {};

TEST_P(WholeRunEquivalence, IndexedAndPlainRunsWriteTheSameBytes) {
  bench::GenOptions opts;
  opts.seed = 7;
  opts.split = true;
  opts.twist = true;
  opts.chloro = 0.25;
  int verbose = 1;
  std::string extra;
  switch (GetParam()) {
    case 0: opts.target_atoms = 3000; break;
    case 1:  // every comparison listed
      opts.target_atoms = 300;
      verbose = 3;
      break;
    case 2:  // hydrogens unconstrained, whole molecules
      opts.target_atoms = 1500;
      opts.split = false;
      extra = "CHEMCON  hydrogen *other\n";
      break;
    default: break;
  }
  TestRun fast, plain;
  const int n = vorn::test::write_generated(fast, opts, verbose, extra);
  vorn::test::write_generated(plain, opts, verbose, extra);
  plain.run.plain_scans = true;
  ASSERT_EQ(vorn_main(fast.run, {}), 0) << fast.out.str();
  ASSERT_EQ(vorn_main(plain.run, {}), 0) << plain.out.str();
  ASSERT_EQ(fast.run.atoms.nat, n);
  const auto a = vorn::test::run_outputs(fast);
  const auto b = vorn::test::run_outputs(plain);
  ASSERT_EQ(a.size(), b.size());
  for (const auto& [name, text] : a) {
    ASSERT_TRUE(b.count(name)) << name;
    EXPECT_TRUE(text == b.at(name)) << name << " differs";
  }
  EXPECT_GT(a.at("xd_vorn.inp").size(), 1000u);
}

INSTANTIATE_TEST_SUITE_P(Generated, WholeRunEquivalence, ::testing::Values(0, 1, 2));
