#include "topology/rings.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "base/error.hpp"
#include "topology/connectivity.hpp"
#include "topology/molecules.hpp"
#include "topology/real_files.hpp"

namespace vorn::test {
namespace {

void find_rings(Run& run, int nmin, int nmax) {
  run.ring1.nmin = nmin;
  run.ring1.nmax = nmax;
  connect4rings(run);
  FindRings(run);
}

std::vector<std::string> ring_labels(const Run& run, int q) {
  std::vector<std::string> out;
  for (int a : run.rings.ring[static_cast<std::size_t>(q)].members)
    out.emplace_back(rtrim(run.atoms.label[static_cast<std::size_t>(a)]));
  return out;
}

// Every stored ring is a closed chain of bonded atoms within the size range.
void expect_closed_chains(const Run& run) {
  const auto partners = bond_partners(run);
  for (int q = 1; q <= run.rings.nor; ++q) {
    const Ring& r = run.rings.ring[static_cast<std::size_t>(q)];
    ASSERT_EQ(r.size, static_cast<int>(r.members.size()));
    EXPECT_GE(r.size, run.ring1.nmin);
    EXPECT_LE(r.size, run.ring1.nmax);
    for (int i = 0; i < r.size; ++i) {
      const int a = r.members[static_cast<std::size_t>(i)];
      const int b = r.members[static_cast<std::size_t>((i + 1) % r.size)];
      const auto& p = partners[static_cast<std::size_t>(a)];
      EXPECT_NE(std::find(p.begin(), p.end(), b), p.end()) << "ring " << q << " member " << i + 1;
    }
  }
}

TEST(FindRings, BenzeneIsOnePlanarSixMemberedRing) {
  TestRun t;
  benzene(t.run, Cart(1, 2, 3));
  find_rings(t.run, 3, 8);
  ASSERT_EQ(t.run.rings.nor, 1);
  const Ring& r = t.run.rings.ring[1];
  EXPECT_EQ(r.size, 6);
  EXPECT_EQ(r.members, (std::vector<int>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(r.planar, 1);
  EXPECT_EQ(r.dummy, 0);
  expect_closed_chains(t.run);

  const std::string lst = trimmed_lines(t.lst.str());
  EXPECT_NE(lst.find("\n" + std::string(80, '-') + "\n\n AUTOMATED SEARCH FOR   3 -  8 - MEMBERED RINGS\n"
                     "\n\n **********  FOUND RING #    1 --->   6 - MEMBERED  **********\n\n"
                     "  C1        C2        C3        C4        C5        C6\n"
                     "     1         2         3         4         5         6\n"
                     "\n Planarity test for   6-atom ring :\n"),
            std::string::npos)
      << lst;
  EXPECT_NE(lst.find("     This ring is planar = .T.\n\n " + std::string(79, '-') + "\n\n TOTAL RINGS FOUND (nor)  =      1\n"),
            std::string::npos);
  const std::string out = t.out.str();
  EXPECT_NE(out.find("\n AUTOMATED SEARCH FOR   3 -  8 - MEMBERED RINGS\n\n"), std::string::npos);
  EXPECT_NE(out.find("\n TOTAL RINGS FOUND (nor)  =      1\n"), std::string::npos);
  EXPECT_EQ(out.find("FOUND RING #"), std::string::npos);
}

TEST(FindRings, NaphthaleneFindsThePerimeterOnlyWhenTenMembersAreAllowed) {
  TestRun t;
  naphthalene(t.run);
  find_rings(t.run, 3, 8);
  ASSERT_EQ(t.run.rings.nor, 2);
  // The walk starts at the first branch point, C4A, and goes round the ring
  // of its first partner first.
  EXPECT_EQ(ring_labels(t.run, 1), (std::vector<std::string>{"C4A", "C4", "C3", "C2", "C1", "C8A"}));
  EXPECT_EQ(ring_labels(t.run, 2), (std::vector<std::string>{"C8A", "C4A", "C5", "C6", "C7", "C8"}));
  EXPECT_EQ(t.run.newat.idx[1], 5);
  EXPECT_EQ(t.run.newat.idx[5], 1);
  EXPECT_EQ(t.run.rings.ring[1].planar, 1);
  EXPECT_EQ(t.run.rings.ring[2].planar, 1);

  TestRun ten;
  naphthalene(ten.run);
  find_rings(ten.run, 3, 10);
  ASSERT_EQ(ten.run.rings.nor, 3);
  EXPECT_EQ(ring_labels(ten.run, 3),
            (std::vector<std::string>{"C4A", "C5", "C6", "C7", "C8", "C8A", "C1", "C2", "C3", "C4"}));
  EXPECT_EQ(ten.run.rings.ring[3].planar, 1);
  expect_closed_chains(ten.run);
}

TEST(FindRings, CyclohexaneChairIsNotPlanar) {
  TestRun t;
  cyclohexane_chair(t.run, Cart(0, 0, 0));
  find_rings(t.run, 3, 8);
  ASSERT_EQ(t.run.rings.nor, 1);
  EXPECT_EQ(t.run.rings.ring[1].size, 6);
  EXPECT_EQ(t.run.rings.ring[1].planar, 0);
  EXPECT_NE(t.lst.str().find("This ring is planar = .F."), std::string::npos);
}

TEST(FindRings, ThreeMemberedRingIsPlanarWithoutATest) {
  TestRun t;
  const float s = 1.51f, h = s * 0.57735f;  // circumradius of the triangle
  int c1 = add_atom(t.run, "C1", {h, 0, 0});
  int c2 = add_atom(t.run, "C2", {-h / 2, s / 2, 0});
  int c3 = add_atom(t.run, "C3", {-h / 2, -s / 2, 0});
  for (int c : {c1, c2, c3}) {
    const Vec3 x = t.run.atoms.xc[static_cast<std::size_t>(c)];
    const Vec3 out = unit(x);
    add_atom(t.run, name("H", c, "A"), Cart(add(x, add(scale(out, 0.55f), Vec3{0, 0, 0.91f}))));
    add_atom(t.run, name("H", c, "B"), Cart(add(x, add(scale(out, 0.55f), Vec3{0, 0, -0.91f}))));
  }
  find_rings(t.run, 3, 8);
  ASSERT_EQ(t.run.rings.nor, 1);
  EXPECT_EQ(t.run.rings.ring[1].size, 3);
  EXPECT_EQ(t.run.rings.ring[1].planar, 1);
  EXPECT_EQ(t.lst.str().find("Planarity test"), std::string::npos);

  find_rings(t.run, 4, 8);
  EXPECT_EQ(t.run.rings.nor, 0);
}

TEST(FindRings, SizeRangeSkipsAFourMemberedRing) {
  TestRun t;
  // Cyclobutane (puckering left out) next to a benzene ring.
  const float a = 1.55f / 2;
  add_atom(t.run, "C1", {a, a, 0});
  add_atom(t.run, "C2", {-a, a, 0});
  add_atom(t.run, "C3", {-a, -a, 0});
  add_atom(t.run, "C4", {a, -a, 0});
  benzene(t.run, Cart(8, 0, 0), "B", false);
  find_rings(t.run, 5, 6);
  ASSERT_EQ(t.run.rings.nor, 1);
  EXPECT_EQ(t.run.rings.ring[1].size, 6);

  TestRun all;
  all.run.ctl.iverb = 1;
  add_atom(all.run, "C1", {a, a, 0});
  add_atom(all.run, "C2", {-a, a, 0});
  add_atom(all.run, "C3", {-a, -a, 0});
  add_atom(all.run, "C4", {a, -a, 0});
  benzene(all.run, Cart(8, 0, 0), "B", false);
  find_rings(all.run, 3, 8);
  // Two molecules: the walk restarts in the part it has not visited.
  ASSERT_EQ(all.run.rings.nor, 2);
  EXPECT_EQ(ring_labels(all.run, 1), (std::vector<std::string>{"C1", "C2", "C3", "C4"}));
  EXPECT_EQ(all.run.rings.ring[1].planar, 1);
  EXPECT_EQ(ring_labels(all.run, 2)[0], "C1B");
}

TEST(FindRings, CageRingsAreEachStoredOnce) {
  // Bicyclo[1.1.1]pentane: bridgeheads A and B joined by three one-atom
  // bridges; the walk meets each four-membered ring several times.
  TestRun t;
  add_atom(t.run, "C1", {0, 0, 0.93f});
  add_atom(t.run, "C2", {0, 0, -0.93f});
  for (int i = 0; i < 3; ++i) {
    const float th = 120.0f * static_cast<float>(i);
    add_atom(t.run, name("C", i + 3), {1.22f * cosd(th), 1.22f * sind(th), 0.0f});
  }
  find_rings(t.run, 3, 8);
  ASSERT_EQ(t.run.rings.nor, 3);
  EXPECT_EQ(ring_labels(t.run, 1), (std::vector<std::string>{"C1", "C3", "C2", "C4"}));
  EXPECT_EQ(ring_labels(t.run, 2), (std::vector<std::string>{"C2", "C4", "C1", "C5"}));
  EXPECT_EQ(ring_labels(t.run, 3), (std::vector<std::string>{"C1", "C5", "C2", "C3"}));
  expect_closed_chains(t.run);
}

TEST(FindRings, TooFewAtomsInTheReducedTable) {
  TestRun t;
  alkane(t.run, 4, Cart(0, 0, 0));
  find_rings(t.run, 3, 8);
  EXPECT_EQ(t.run.rings.nor, 0);
  const std::string msg =
      "\n THERE ARE NO ATOMS IN THE REDUCED CONNECTIVITY TABLE\n\n SEARCH FOR RINGS WILL NOT BE PERFORMED...\n";
  EXPECT_NE(t.out.str().find(msg), std::string::npos);
  EXPECT_NE(t.lst.str().find(msg), std::string::npos);
  EXPECT_EQ(t.out.str().find("TOTAL RINGS FOUND"), std::string::npos);
}

// No count of rings stops the run: a 20,000-atom structure has thousands.
TEST(FindRings, MoreThanAThousandRingsAreAllFound) {
  TestRun t;
  // 1001 cyclopropane skeletons 5 A apart.
  const float s = 1.51f, h = s * 0.57735f;
  for (int i = 0; i < 1001; ++i) {
    const Cart o(5.0f * static_cast<float>(i % 32), 5.0f * static_cast<float>(i / 32), 0.0f);
    add_atom(t.run, "C1", at(o, {h, 0, 0}));
    add_atom(t.run, "C2", at(o, {-h / 2, s / 2, 0}));
    add_atom(t.run, "C3", at(o, {-h / 2, -s / 2, 0}));
  }
  find_rings(t.run, 3, 8);
  ASSERT_EQ(t.run.rings.nor, 1001);
  // Each ring is one skeleton, and every skeleton is a ring.
  std::set<std::vector<int>> found;
  for (int q = 1; q <= 1001; ++q) {
    std::vector<int> m = t.run.rings.ring[static_cast<std::size_t>(q)].members;
    std::sort(m.begin(), m.end());
    found.insert(m);
  }
  for (int k = 0; k < 1001; ++k) EXPECT_EQ(found.count({3 * k + 1, 3 * k + 2, 3 * k + 3}), 1u) << k;
}

// A ring of n carbons on a circle, C-C 1.50 A.
void big_ring(Run& run, int n) {
  const float r = 1.50f / (2.0f * std::sin(3.14159265f / static_cast<float>(n)));
  for (int i = 0; i < n; ++i) {
    const float th = 360.0f * static_cast<float>(i) / static_cast<float>(n);
    add_atom(run, name("C", i + 1), {r * cosd(th), r * sind(th), 0.0f});
  }
}

TEST(FindRings, RingSizeCapacity) {
  TestRun hundred;
  big_ring(hundred.run, 100);
  find_rings(hundred.run, 3, 100);
  ASSERT_EQ(hundred.run.rings.nor, 1);
  EXPECT_EQ(hundred.run.rings.ring[1].size, 100);
  EXPECT_EQ(hundred.run.rings.ring[1].planar, 1);
  // The index line of a 100-membered ring wraps after 99 fields.
  EXPECT_NE(trimmed_lines(hundred.lst.str()).find("     98        99\n   100\n"), std::string::npos);

  TestRun too_big;
  big_ring(too_big.run, 101);
  find_rings(too_big.run, 3, 100);
  EXPECT_EQ(too_big.run.rings.nor, 0);
  try {
    find_rings(too_big.run, 3, 120);
    FAIL() << "no error";
  } catch (const VornError& e) {
    EXPECT_EQ(e.routine(), "FindRings");
    EXPECT_EQ(e.message(), "Ring of 101 members: more than 100 (maxringsize)");
  }
}

// Six ring bonds all of aromatic length (C-C 1.39, C-N 1.34 A).
bool aromatic_six_ring(const Run& run, const Ring& r) {
  if (r.size != 6) return false;
  for (int i = 0; i < 6; ++i) {
    const float d = dist(run.atoms.xc[static_cast<std::size_t>(r.members[static_cast<std::size_t>(i)])],
                         run.atoms.xc[static_cast<std::size_t>(r.members[static_cast<std::size_t>((i + 1) % 6)])]);
    if (d < 1.30f || d > 1.43f) return false;
  }
  return true;
}

TEST(FindRings, RealStructuresWithOneCellAndRingsThreeToEight) {
  VORN_REQUIRE_SHARED(dir);
  int aromatic = 0;
  for (const auto& name : readable_real_files()) {
    SCOPED_TRACE(name);
    RealRun r;
    r.complete(dir / name);
    r.rings();
    const vorn::Run& run = r.t.run;
    expect_closed_chains(run);
    std::set<std::vector<int>> seen;
    for (int q = 1; q <= run.rings.nor; ++q) {
      const Ring& ring = run.rings.ring[static_cast<std::size_t>(q)];
      std::vector<int> key = ring.members;
      std::sort(key.begin(), key.end());
      EXPECT_EQ(std::adjacent_find(key.begin(), key.end()), key.end()) << "ring " << q << " passes an atom twice";
      EXPECT_TRUE(seen.insert(key).second) << "ring " << q << " listed twice";
      // A partly occupied atom is a ring member only inside a disorder part,
      // and a ring never joins two alternatives.
      int part = 0;
      for (int a : ring.members) {
        const int pa = run.atoms1.part[static_cast<std::size_t>(a)];
        if (pa == 0) {
          EXPECT_NE(run.atoms1.flag[static_cast<std::size_t>(a)], -1);
        }
        if (pa != 0 && part != 0) {
          EXPECT_EQ(pa, part) << "ring " << q;
        }
        if (pa != 0) part = pa;
      }
      if (aromatic_six_ring(run, ring)) {
        ++aromatic;
        EXPECT_EQ(ring.planar, 1) << "aromatic ring " << q;
      }
      if (ring.size == 3) {
        EXPECT_EQ(ring.planar, 1);
      }
    }
    const bool searched = r.t.out.str().find(" TOTAL RINGS FOUND (nor)  =") != std::string::npos;
    const bool nothing = r.t.out.str().find(" SEARCH FOR RINGS WILL NOT BE PERFORMED...") != std::string::npos;
    EXPECT_TRUE(searched != nothing);
    EXPECT_EQ(nothing, run.newat.n <= 2);
  }
  EXPECT_GT(aromatic, 20);
}

}  // namespace
}  // namespace vorn::test
