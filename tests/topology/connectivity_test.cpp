#include "topology/connectivity.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "base/error.hpp"
#include "topology/molecules.hpp"

namespace vorn::test {
namespace {

std::vector<int> list(const BondTable& p, int atom) {
  const auto s = p[static_cast<std::size_t>(atom)];
  return {s.begin(), s.end()};
}

std::vector<std::string> reduced_labels(const Run& run) {
  std::vector<std::string> out;
  for (int p = 1; p <= run.newat.n; ++p) out.emplace_back(rtrim(run.atoms.label[static_cast<std::size_t>(run.newat.idx[static_cast<std::size_t>(p)])]));
  return out;
}

TEST(Connect4Rings, BenzeneLosesItsHydrogensInTheFirstCycle) {
  TestRun t;
  benzene(t.run, Cart(0, 0, 0));
  connect4rings(t.run);
  EXPECT_EQ(reduced_labels(t.run), (std::vector<std::string>{"C1", "C2", "C3", "C4", "C5", "C6"}));
  for (int p = 1; p <= 6; ++p) EXPECT_EQ(t.run.conmat.ncon[static_cast<std::size_t>(p)], 2);
  EXPECT_EQ(t.run.conmat.icon[1], (std::vector<int>{2, 6}));
  EXPECT_EQ(t.run.conmat.icon[4], (std::vector<int>{3, 5}));
  const std::string cycles =
      "\n CREATING CONNECTIVITY TABLE AND ELIMINATING OPEN ATOMS\n"
      "\n **** ELIMINATION CYCLE =    0     NUMBER OF ATOMS =     12\n"
      "        NUMBER OF ATOMS REMOVED FROM THE TABLE =       6\n"
      "\n **** ELIMINATION CYCLE =    1     NUMBER OF ATOMS =      6\n"
      "        NUMBER OF ATOMS REMOVED FROM THE TABLE =       0\n";
  EXPECT_EQ(t.out.str(), cycles);
  EXPECT_EQ(t.lst.str(), "\n" + std::string(80, '-') + "\n" + cycles);
}

TEST(Connect4Rings, ChainMoleculeIsRemovedCompletely) {
  TestRun t;
  alkane(t.run, 6, Cart(0, 0, 0));
  connect4rings(t.run);
  EXPECT_EQ(t.run.newat.n, 0);
  // Hydrogens first, then the chain ends two by two.
  const std::string out = t.out.str();
  EXPECT_NE(out.find("CYCLE =    0     NUMBER OF ATOMS =     20\n        NUMBER OF ATOMS REMOVED FROM THE TABLE =      14"),
            std::string::npos);
  EXPECT_NE(out.find("CYCLE =    3     NUMBER OF ATOMS =      2\n        NUMBER OF ATOMS REMOVED FROM THE TABLE =       2"),
            std::string::npos);
  EXPECT_NE(out.find("CYCLE =    4     NUMBER OF ATOMS =      0\n        NUMBER OF ATOMS REMOVED FROM THE TABLE =       0"),
            std::string::npos);
  EXPECT_EQ(t.read("reduced.ang"), "ANGSTROM\n");
  EXPECT_EQ(t.read("reduced_1.ang"), "ANGSTROM\n");
}

TEST(Connect4Rings, BiphenylKeepsBothRingsAndTheBridge) {
  TestRun t;
  auto a = benzene(t.run, Cart(0, 0, 0), "A", false);
  auto b = benzene(t.run, Cart(1.39f * 2 + 1.49f, 0, 0), "B", false);
  (void)a;
  (void)b;
  // Hydrogens on the ten outer carbons only.
  for (int ring = 0; ring < 2; ++ring)
    for (int i = 0; i < 6; ++i) {
      if ((ring == 0 && i == 0) || (ring == 1 && i == 3)) continue;
      const Vec3 centre{ring == 0 ? 0.0f : 1.39f * 2 + 1.49f, 0, 0};
      const Vec3 x = t.run.atoms.xc[static_cast<std::size_t>(ring * 6 + i + 1)];
      add_atom(t.run, name("H", ring * 6 + i + 1), Cart(add(x, scale(unit(sub(x, centre)), 1.08f))));
    }
  connect4rings(t.run);
  EXPECT_EQ(t.run.newat.n, 12);
  EXPECT_EQ(t.run.conmat.ncon[1], 3);   // C1A, bonded to C4B
  EXPECT_EQ(t.run.conmat.icon[1], (std::vector<int>{2, 6, 10}));
  EXPECT_EQ(t.run.conmat.ncon[10], 3);  // C4B
}

TEST(Connect4Rings, DisorderedRingAtomOpensTheRing) {
  TestRun t;
  benzene(t.run, Cart(0, 0, 0));
  t.run.atoms1.flag[1] = -1;

  // Cycle 0 by itself: the disordered atom has no partners, but is still
  // the partner of its neighbours and of its hydrogen.
  t.run.newat.n = t.run.cryst.ncryst;
  t.run.newat.idx.assign(13, 0);
  for (int i = 1; i <= 12; ++i) t.run.newat.idx[static_cast<std::size_t>(i)] = i;
  const auto partners = bond_partners(t.run);
  EXPECT_EQ(eliminate(t.run, 0, partners), 7);
  // conmat still describes the list of cycle 0.
  EXPECT_EQ(t.run.conmat.ncon[1], 0);
  EXPECT_EQ(t.run.conmat.icon[2], (std::vector<int>{1, 3, 8}));
  EXPECT_EQ(t.run.conmat.icon[7], (std::vector<int>{1}));

  TestRun u;
  benzene(u.run, Cart(0, 0, 0));
  u.run.atoms1.flag[1] = -1;
  connect4rings(u.run);
  EXPECT_EQ(u.run.newat.n, 0);
  EXPECT_NE(u.out.str().find("CYCLE =    4     NUMBER OF ATOMS =      0"), std::string::npos);
}

TEST(Connect4Rings, TablesArePrintedByVerbosity) {
  TestRun quiet;
  benzene(quiet.run, Cart(0, 0, 0));
  quiet.run.ctl.iverb = 1;
  connect4rings(quiet.run);
  EXPECT_EQ(quiet.lst.str().find(" -"), std::string::npos);

  TestRun two;
  benzene(two.run, Cart(0, 0, 0));
  two.run.ctl.iverb = 2;
  connect4rings(two.run);
  EXPECT_NE(trimmed_lines(two.lst.str()).find("\n\n CONNECTIVITY TABLE AFTER THE FINAL ELIMINATION CYCLE :\n"
                                              "      1 C1       - C2       C6\n"),
            std::string::npos);
  EXPECT_EQ(two.lst.str().find("H1       -"), std::string::npos);

  TestRun loud;
  benzene(loud.run, Cart(0, 0, 0));
  loud.run.ctl.iverb = 3;
  connect4rings(loud.run);
  const std::string lst = trimmed_lines(loud.lst.str());
  // The table of cycle 0 (hydrogens included) comes before its removal count.
  const auto first = lst.find("      1 C1       - C2       C6       H1\n");
  const auto h = lst.find("      7 H1       - C1\n");
  const auto removed = lst.find("REMOVED FROM THE TABLE =       6");
  const auto final_table = lst.find("AFTER THE FINAL ELIMINATION CYCLE");
  ASSERT_NE(first, std::string::npos);
  ASSERT_NE(h, std::string::npos);
  EXPECT_LT(h, removed);
  EXPECT_LT(removed, final_table);
  EXPECT_NE(lst.find("      6 C6       - C1       C5\n", final_table), std::string::npos);
}

TEST(Connect4Rings, MoreThanTwentyPartnersGrowTheTableAndWrapTenToALine) {
  TestRun t;
  t.run.ctl.iverb = 3;
  int fe = add_atom(t.run, "FE1", {0, 0, 0});
  // 22 hydrogens spread over a sphere of 1.75 A (a spiral of equal areas).
  const int n = 22;
  for (int i = 0; i < n; ++i) {
    const float z = 1.0f - (2.0f * static_cast<float>(i) + 1.0f) / static_cast<float>(n);
    const float r = std::sqrt(1.0f - z * z);
    const float ph = 137.50776f * static_cast<float>(i);
    add_atom(t.run, name("H", i + 1), Cart(1.75f * r * cosd(ph), 1.75f * r * sind(ph), 1.75f * z));
  }
  for (int i = 2; i <= n + 1; ++i)
    for (int j = i + 1; j <= n + 1; ++j)
      ASSERT_GT(dist(t.run.atoms.xc[static_cast<std::size_t>(i)], t.run.atoms.xc[static_cast<std::size_t>(j)]), 1.0f);
  connect4rings(t.run);
  const std::string lst = trimmed_lines(t.lst.str());
  const auto at = lst.find("      1 FE1      - H1       H2       H3       H4       H5       H6       H7       H8       H9       H10\n"
                           " H11      H12      H13      H14      H15      H16      H17      H18      H19      H20\n"
                           " H21      H22\n");
  EXPECT_NE(at, std::string::npos) << lst;
  EXPECT_EQ(t.run.newat.n, 0);
  (void)fe;
}

TEST(Connect4Rings, CoordinateFilesOfTheReducedList) {
  TestRun t;
  naphthalene(t.run);
  connect4rings(t.run);
  ASSERT_EQ(t.run.newat.n, 10);
  const auto reduced = lines_of(t.read("reduced.ang"));
  const auto by_position = lines_of(t.read("reduced_1.ang"));
  ASSERT_EQ(reduced.size(), 11u);
  ASSERT_EQ(by_position.size(), 11u);
  EXPECT_EQ(reduced[0], "ANGSTROM");
  EXPECT_EQ(reduced[5], "ATOM C4A           0.0000     -0.7000      0.0000");
  EXPECT_EQ(by_position[5], "ATOM C5            0.0000     -0.7000      0.0000");
  EXPECT_EQ(by_position[10], "ATOM C10           0.0000      0.7000      0.0000");
}

TEST(BondPartners, CriterionAndCoincidentAtoms) {
  TestRun t;
  t.run.ctl.tol1 = 0.2f;
  int c = add_atom(t.run, "C1", {0, 0, 0});
  int o = add_atom(t.run, "O1", {1.70f, 0, 0});   // 0.77 + 0.73 + 0.2 = 1.70: bonded
  int n = add_atom(t.run, "N1", {0, 1.7201f, 0});  // 0.77 + 0.75 + 0.2 = 1.72: just beyond
  int c2 = add_atom(t.run, "C2", {0, 0, 0});       // same place as C1
  auto p = bond_partners(t.run);
  EXPECT_EQ(list(p, c), (std::vector<int>{o, c2}));
  EXPECT_EQ(list(p, n), (std::vector<int>{}));
  t.run.covrad[7] = 0.76f;  // RADII N 0.76
  p = bond_partners(t.run);
  EXPECT_EQ(list(p, n), (std::vector<int>{c, c2}));
}

TEST(BondPartners, EveryPairThePlainTestBondsAndNoOther) {
  // Clusters, coincident atoms, far outliers and positions that are not
  // finite, against the bond test of every pair.
  TestRun t;
  t.run.ctl.tol1 = 0.2f;
  std::mt19937 rng(17);
  std::uniform_real_distribution<float> u(0.0f, 12.0f);
  const char* kinds[] = {"C", "H", "O", "N", "CL", "CS"};
  for (int i = 1; i <= 900; ++i) {
    Cart x(u(rng), u(rng), 0.5f * u(rng));
    if (i % 37 == 0) x = t.run.atoms.xc[static_cast<std::size_t>(i - 1)];
    if (i % 101 == 0) x = Cart(x[0] - 3000.0f, x[1], x[2]);
    if (i == 450) x = Cart(std::numeric_limits<float>::infinity(), 1.0f, 1.0f);
    if (i == 451) x = Cart(std::nanf(""), 1.0f, 1.0f);
    add_atom(t.run, std::string(kinds[i % 6]) + std::to_string(i), x);
  }
  const auto p = bond_partners(t.run);
  ASSERT_EQ(p.size(), static_cast<std::size_t>(t.run.cryst.ncryst) + 1);
  for (int i = 1; i <= t.run.cryst.ncryst; ++i) {
    std::vector<int> want;
    for (int j = 1; j <= t.run.cryst.ncryst; ++j)
      if (j != i && bonded(dist(t.run.atoms.xc[static_cast<std::size_t>(i)], t.run.atoms.xc[static_cast<std::size_t>(j)]),
                           bond_radius(t.run, i), bond_radius(t.run, j), t.run.ctl.tol1))
        want.push_back(j);
    ASSERT_EQ(list(p, i), want) << "atom " << i;
  }
}

TEST(BondPartners, ElementWithoutCovalentRadiusGetsNoBonds) {
  TestRun t;
  add_atom(t.run, "C1", {0, 0, 0});
  int cs = add_atom(t.run, "RF1", {1.5f, 0, 0});
  ASSERT_EQ(t.run.atoms.iz[static_cast<std::size_t>(cs)], 104);
  add_atom(t.run, "C2", {-1.5f, 0, 0});
  auto p = bond_partners(t.run);
  EXPECT_TRUE(p[static_cast<std::size_t>(cs)].empty());
  EXPECT_EQ(list(p, 1), std::vector<int>{3});
  EXPECT_NO_THROW(connect4rings(t.run));
}

}  // namespace
}  // namespace vorn::test
