#include "topology/neighbors.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "support/builders.hpp"

namespace vorn {
namespace {

using test::add_atom;
using test::TestRun;

// Unit vectors to the corners of a tetrahedron around the origin.
const Vec3 kT1{0.57735027f, 0.57735027f, 0.57735027f};
const Vec3 kT2{0.57735027f, -0.57735027f, -0.57735027f};
const Vec3 kT3{-0.57735027f, 0.57735027f, -0.57735027f};
const Vec3 kT4{-0.57735027f, -0.57735027f, 0.57735027f};

Cart at(const Vec3& from, const Vec3& dir, float len) { return Cart(add(from, scale(dir, len))); }

std::vector<int> table(std::span<const int> v) { return std::vector<int>(v.begin() + 1, v.end()); }

std::vector<int> inei(const vorn::Run& run, int atom) { return table(run.neighbors[static_cast<std::size_t>(atom)].inei); }

// A tetrahedral carbon carrying O, N, C and H (an amino-alcohol carbon).
struct MixedCarbon {
  TestRun t;
  int c1, o1, n1, c2, h1;
  MixedCarbon() {
    Run& r = t.run;
    c1 = add_atom(r, "C1", Cart(0, 0, 0));
    o1 = add_atom(r, "O1", at({0, 0, 0}, kT1, 1.43f));
    n1 = add_atom(r, "N1", at({0, 0, 0}, kT2, 1.47f));
    c2 = add_atom(r, "C2", at({0, 0, 0}, kT3, 1.53f));
    h1 = add_atom(r, "H1", at({0, 0, 0}, kT4, 1.09f));
  }
};

TEST(NeighborTable, BondedAtomsByDistanceAndTypesByAtomicNumber) {
  MixedCarbon m;
  findallneighbors(m.t.run);
  const NeighborRec& r = m.t.run.neighbors[1];
  EXPECT_EQ(r.nnei, 4);
  EXPECT_EQ(table(r.inei), (std::vector<int>{m.h1, m.o1, m.n1, m.c2}));
  EXPECT_NEAR(r.rnei[1], 1.09f, 1e-5f);
  EXPECT_NEAR(r.rnei[4], 1.53f, 1e-5f);
  EXPECT_EQ(r.ntype, 4);
  EXPECT_EQ(table(r.ztype), (std::vector<int>{1, 6, 7, 8}));
  EXPECT_EQ(table(r.ntypenei), (std::vector<int>{1, 1, 1, 1}));
  // the substituents are bonded only to the centre
  EXPECT_EQ(inei(m.t.run, m.o1), std::vector<int>{m.c1});
  EXPECT_EQ(inei(m.t.run, m.h1), std::vector<int>{m.c1});
}

TEST(SortedNeighbors, AtomicNumberDescending) {
  MixedCarbon m;
  findallneighbors(m.t.run);
  SortNei(m.t.run, m.c1);
  EXPECT_EQ(table(m.t.run.isn), (std::vector<int>{m.o1, m.n1, m.c2, m.h1}));
}

// Central C1 with three carbon neighbours: C2 nearest but a methyl (4 bonds),
// C3 and C4 terminal (1 bond) at 1.54 and 1.52 A.
TEST(SortedNeighbors, FewerBondsFirstThenShorterDistance) {
  TestRun t;
  vorn::Run& r = t.run;
  const Vec3 o{0, 0, 0};
  int c1 = add_atom(r, "C1", Cart(o));
  int c2 = add_atom(r, "C2", at(o, kT1, 1.50f));
  int c3 = add_atom(r, "C3", at(o, kT2, 1.54f));
  int c4 = add_atom(r, "C4", at(o, kT3, 1.52f));
  int h1 = add_atom(r, "H1", at(o, kT4, 1.09f));
  const Vec3 x2 = r.atoms.xc[static_cast<std::size_t>(c2)];
  add_atom(r, "H2A", at(x2, scale(kT2, -1), 1.09f));
  add_atom(r, "H2B", at(x2, scale(kT3, -1), 1.09f));
  add_atom(r, "H2C", at(x2, scale(kT4, -1), 1.09f));
  findallneighbors(r);
  ASSERT_EQ(r.neighbors[static_cast<std::size_t>(c2)].nnei, 4);
  ASSERT_EQ(r.neighbors[static_cast<std::size_t>(c3)].nnei, 1);
  // by distance the carbons come C2, C4, C3; the stored type order differs
  EXPECT_EQ(inei(r, c1), (std::vector<int>{h1, c2, c4, c3}));
  EXPECT_EQ(table(r.neighbors[1].itypenei[2]), (std::vector<int>{c4, c3, c2}));
  SortNei(r, c1);
  EXPECT_EQ(table(r.isn), (std::vector<int>{c4, c3, c2, h1}));
  // the report prints the members in that order, with their bond counts
  const std::string lst = t.lst.str();
  const std::string block = " Atom #      1 = C1       :\n"
                            "        6   1      1.520       4   C4      \n"
                            "        6   1      1.540       3   C3      \n"
                            "        6   4      1.500       2   C2      \n"
                            "        1   1      1.090       5   H1      \n";
  EXPECT_NE(lst.find(block), std::string::npos) << lst;
}

TEST(NeighborReport, HeadingsAndOneBlockPerAtom) {
  TestRun t;
  vorn::Run& r = t.run;
  // water: O-H 0.96 A, H-O-H 104.5 deg
  add_atom(r, "O1", Cart(0, 0, 0));
  add_atom(r, "H1", Cart(0.96f, 0, 0));
  add_atom(r, "H2", Cart(0.96f * cosd(104.5f), 0.96f * sind(104.5f), 0));
  findallneighbors(r);
  const std::string dashes(79, '-');
  EXPECT_EQ(t.lst.str(),
            "\n" + dashes + "\n"
            "\n IDENTIFYING COVALENTLY-BONDED NEIGHBORS FOR EACH ATOM\n"
            "\n Printout of neighbors of all atoms sorted by \n"
            "    1) atomic number (descending)\n"
            "    2) hybridization ( ascending)\n"
            "    3) distance      ( ascending)\n"
            "\n Atom #      1 = O1       :\n"
            "        1   1      0.960       2   H1      \n"
            "        1   1      0.960       3   H2      \n"
            "\n Atom #      2 = H1       :\n"
            "        8   2      0.960       1   O1      \n"
            "\n Atom #      3 = H2       :\n"
            "        8   2      0.960       1   O1      \n");
  EXPECT_EQ(t.out.str(), "\n IDENTIFYING COVALENTLY-BONDED NEIGHBORS FOR EACH ATOM\n");
  EXPECT_EQ(r.iprint, 0);
}

// A disordered ethyl end: C2A (0.60) and C2B (0.40) both on C1, 0.9 A apart.
struct DisorderedEthyl {
  TestRun t;
  int c1, c2a, c2b;
  DisorderedEthyl(float occa, float occb) {
    Run& r = t.run;
    c1 = add_atom(r, "C1", Cart(0, 0, 0));
    c2a = add_atom(r, "C2A", Cart(1.44f, 0.45f, 0), occa);
    c2b = add_atom(r, "C2B", Cart(1.44f, -0.45f, 0), occb);
    r.atoms1.flag[static_cast<std::size_t>(c2a)] = -1;
    r.atoms1.flag[static_cast<std::size_t>(c2b)] = -1;
  }
};

TEST(GetNeiDisorder, AlternativesOfDifferentOccupancyAreNotBonded) {
  DisorderedEthyl e(0.60f, 0.40f);
  EXPECT_EQ(GetNei(e.t.run, e.c2a, 0.0f), 0);  // C1 is ordered
  EXPECT_EQ(table(e.t.run.neig.inei), std::vector<int>{e.c1});
  // even a radius search does not see the other alternative
  GetNei(e.t.run, e.c2a, 3.0f);
  EXPECT_EQ(table(e.t.run.neig.inei), std::vector<int>{e.c1});
}

TEST(GetNeiDisorder, AlternativesOfNearlyEqualOccupancyAreBonded) {
  DisorderedEthyl e(0.50f, 0.505f);
  GetNei(e.t.run, e.c2a, 0.0f);
  EXPECT_EQ(table(e.t.run.neig.inei), (std::vector<int>{e.c2b, e.c1}));
}

TEST(GetNeiDisorder, FlagAndNoteWhenANeighbourIsDisordered) {
  DisorderedEthyl e(0.60f, 0.40f);
  vorn::Run& r = e.t.run;
  EXPECT_EQ(GetNei(r, e.c1, 0.0f), 1);
  EXPECT_EQ(r.neig.nnei, 2);
  r.iprint = 1;
  EXPECT_EQ(findnei(r, e.c1, 0.0f), 1);
  EXPECT_EQ(e.t.lst.str(),
            "\n Covalently-bonded neighbors to C1 =    2\n\n"
            "     i       n     r(Ang)    atom       occ\n"
            "     1       2      1.509    C2A        0.6000\n"
            "     2       3      1.509    C2B        0.4000\n"
            "\n    Note : at least 1 neighbor is disordered\n");
}

TEST(GetNeiRules, CloseContactsSameSiteAndInclusiveLimit) {
  TestRun t;
  vorn::Run& r = t.run;
  const float limit = r.covrad[6] + r.covrad[6] + r.ctl.tol1;
  int c1 = add_atom(r, "C1", Cart(0, 0, 0));
  int c2 = add_atom(r, "C2", Cart(limit, 0, 0));                               // exactly at the limit
  int c3 = add_atom(r, "C3", Cart(0, std::nextafter(limit, 10.0f), 0));        // just beyond
  int c4 = add_atom(r, "C4", Cart(0, 0, 0.45f));                               // too close to be a bond
  int c5 = add_atom(r, "C5", Cart(-1.54f, 0, 0));
  int c6 = add_atom(r, "C6", Cart(-1.54f, 0.005f, 0));                         // same site as C5
  (void)c3;
  (void)c4;
  (void)c6;
  GetNei(r, c1, 0.0f);
  EXPECT_EQ(table(r.neig.inei), (std::vector<int>{c5, c2}));
}

TEST(GetNeiRules, EqualDistancesKeepIndexOrder) {
  TestRun t;
  vorn::Run& r = t.run;
  int c = add_atom(r, "C1", Cart(0, 0, 0));
  int h1 = add_atom(r, "H1", Cart(0, 0, 1.09f));
  int h2 = add_atom(r, "H2", Cart(0, 1.09f, 0));
  int h3 = add_atom(r, "H3", Cart(1.09f, 0, 0));
  GetNei(r, c, 0.0f);
  EXPECT_EQ(table(r.neig.inei), (std::vector<int>{h1, h2, h3}));
}

// Only equal distances keep index order: a difference of a thousandth of an
// angstrom or less still decides, and near-equal distances do not chain into
// one group (1.0118, 1.0109 and 1.0100 A come nearest first).
TEST(GetNeiRules, TheNearerAtomComesFirstHoweverSmallTheDifference) {
  TestRun t;
  vorn::Run& r = t.run;
  const Vec3 o{0, 0, 0};
  int n = add_atom(r, "N1", Cart(o));
  int h1 = add_atom(r, "H1", at(o, kT1, 1.0118f));
  int h2 = add_atom(r, "H2", at(o, kT2, 1.0109f));
  int h3 = add_atom(r, "H3", at(o, kT3, 1.0100f));
  int c1 = add_atom(r, "C1", at(o, kT4, 1.4700f));
  findallneighbors(r);
  EXPECT_EQ(inei(r, n), (std::vector<int>{h3, h2, h1, c1}));
  // Members of one type with equal bond counts: the same rule, and the
  // report lists them in that order.
  EXPECT_EQ(table(r.neighbors[static_cast<std::size_t>(n)].itypenei[1]), (std::vector<int>{h3, h2, h1}));
  SortNei(r, n);
  EXPECT_EQ(table(r.isn), (std::vector<int>{c1, h3, h2, h1}));
  const std::string lst = t.lst.str();
  const auto p3 = lst.find("1.010       4   H3"), p2 = lst.find("1.011       3   H2"), p1 = lst.find("1.012       2   H1");
  ASSERT_NE(p3, std::string::npos) << lst;
  EXPECT_LT(p3, p2);
  EXPECT_LT(p2, p1);
}

// An aromatic carbon with two ring carbons 0.0009 A apart in distance (as
// C(25) of a real structure): the nearer one is the first sorted neighbour
// and so takes the X axis.
TEST(GetNeiRules, NearTieOfTwoRingCarbonsGoesToTheNearer) {
  TestRun t;
  vorn::Run& r = t.run;
  const Vec3 o{0, 0, 0};
  int c = add_atom(r, "C25", Cart(o));
  int far = add_atom(r, "C24", Cart(1.38209f, 0, 0));
  int near = add_atom(r, "C29", Cart(-0.690585f * 1.0f, 1.196126f, 0));  // 1.38117 A at 120 degrees
  int h = add_atom(r, "H25", Cart(-0.47f, -0.814f, 0));
  ASSERT_NEAR(dist(r.atoms.xc[near], r.atoms.xc[c]), 1.38117f, 2e-5f);
  findallneighbors(r);
  EXPECT_EQ(inei(r, c), (std::vector<int>{h, near, far}));
  SortNei(r, c);
  EXPECT_EQ(table(r.isn), (std::vector<int>{near, far, h}));
}

TEST(GetNeiRules, ElementsWithoutRadiusFormNoBonds) {
  TestRun t;
  vorn::Run& r = t.run;
  int pt = add_atom(r, "Rf1", Cart(0, 0, 0));  // Z = 104, beyond the radius table
  int cl = add_atom(r, "Cl1", Cart(2.30f, 0, 0));
  findallneighbors(r);
  EXPECT_EQ(r.neighbors[static_cast<std::size_t>(pt)].nnei, 0);
  EXPECT_EQ(r.neighbors[static_cast<std::size_t>(cl)].nnei, 0);
  GetNei(r, pt, 3.0f);  // a radius search still sees it
  EXPECT_EQ(table(r.neig.inei), std::vector<int>{cl});
}

TEST(IsolatedAtom, NoNeighboursNoTypesEmptySortedList) {
  TestRun t;
  vorn::Run& r = t.run;
  add_atom(r, "C1", Cart(0, 0, 0));
  int na = add_atom(r, "Na1", Cart(6, 0, 0));
  findallneighbors(r);
  const NeighborRec& n = r.neighbors[static_cast<std::size_t>(na)];
  EXPECT_EQ(n.nnei, 0);
  EXPECT_EQ(n.ntype, 0);
  SortNei(r, na);
  EXPECT_EQ(r.isn.size(), 1u);
  EXPECT_EQ(collectnei(r, na), std::vector<int>{na});
}

TEST(RadiusSearch, AllAtomsWithinRadiusWithListing) {
  MixedCarbon m;
  vorn::Run& r = m.t.run;
  findallneighbors(r);
  m.t.lst.str("");
  r.iprint = 1;
  r.ctl.iverb = 2;
  findnei(r, m.o1, 2.5f);
  // C1 bonded; H1, N1, C2 only near
  EXPECT_EQ(table(r.neig.inei), (std::vector<int>{m.c1, m.h1, m.n1, m.c2}));
  EXPECT_EQ(table(r.neig.ztype), (std::vector<int>{1, 6, 7}));
  EXPECT_EQ(table(r.neig.itypenei[2]), (std::vector<int>{m.c1, m.c2}));
  const std::string lst = m.t.lst.str();
  EXPECT_EQ(lst.substr(0, lst.find("     i ")), "\n Neighbors of O1 within   2.500 Ang =    4\n\n");
  EXPECT_NE(lst.find("\n    There is(are)    3 atom type(s) among neighbors\n"), std::string::npos) << lst;
  EXPECT_NE(lst.find("\n    Type =    2\n"
                     "      atomic number =    6\n"
                     "      neighbors of this type =    2\n"
                     "      atoms : C1       C2      \n"),
            std::string::npos)
      << lst;
  // the neighbour table is left alone by a search
  EXPECT_EQ(r.neighbors[static_cast<std::size_t>(m.o1)].nnei, 1);
}

// No count stops a search: 1331 atoms within 30 A, every one listed, in
// order of distance.
TEST(RadiusSearch, MoreThanAThousandAtomsAreAllListed) {
  TestRun t;
  vorn::Run& r = t.run;
  for (int i = 0; i < 11; ++i)
    for (int j = 0; j < 11; ++j)
      for (int k = 0; k < 11; ++k) add_atom(r, "C" + std::to_string(r.atoms.nat + 1), Cart(1.2f * i, 1.2f * j, 1.2f * k));
  r.iprint = 1;
  findnei(r, 1, 30.0f);
  ASSERT_EQ(r.neig.nnei, 1330);
  // Nearer first; distances equal to within a rounding keep index order.
  for (int k = 2; k <= r.neig.nnei; ++k) ASSERT_LE(r.neig.rnei[k - 1], r.neig.rnei[k] + 5e-5f) << k;
  EXPECT_EQ(r.neig.inei[1330], 1331);  // the far corner
  EXPECT_NEAR(r.neig.rnei[1330], 12.0f * std::sqrt(3.0f), 1e-4f);
  // The listing holds one row per atom, the last one too, with no gap.
  const std::string lst = t.lst.str();
  EXPECT_NE(lst.find("\n Neighbors of C1 within  30.000 Ang = 1330\n"), std::string::npos);
  EXPECT_NE(lst.find("\n  1330    1331     20.785    C1331      1.0000\n"), std::string::npos) << lst.substr(lst.size() - 300);
  EXPECT_EQ(lst.find("\n\n  1001"), std::string::npos);
  EXPECT_EQ(t.out.str(), "");
}

// Many neighbours of one type: the table grows past its historic 20 slots.
TEST(NeighborTable, GrowsBeyondTwentyNeighboursOfOneType) {
  TestRun t;
  vorn::Run& r = t.run;
  int k = add_atom(r, "K1", Cart(0, 0, 0));
  // 24 hydrogens 2.4 A away on a sphere (K-H limit 2.63 A), 1.5 A or more apart
  const float golden = 2.3999632f;
  for (int i = 0; i < 24; ++i) {
    float z = 1.0f - (2.0f * i + 1.0f) / 24.0f;
    float rho = std::sqrt(1.0f - z * z);
    add_atom(r, "H" + std::to_string(i + 1),
             Cart(2.4f * rho * std::cos(golden * i), 2.4f * rho * std::sin(golden * i), 2.4f * z));
  }
  findallneighbors(r);
  const NeighborRec& n = r.neighbors[static_cast<std::size_t>(k)];
  EXPECT_EQ(n.nnei, 24);
  EXPECT_EQ(n.ntype, 1);
  EXPECT_EQ(n.ntypenei[1], 24);
  SortNei(r, k);
  EXPECT_EQ(r.isn.size(), 25u);
  std::ostringstream os;
  r.ctl.iverb = 2;
  prtatomnei(r, k, os);
  const std::string s = os.str();
  // six labels a line, the last line holding the rest
  EXPECT_NE(s.find("      atoms : H"), std::string::npos);
  int lines = 0;
  for (std::size_t p = s.find("      atoms : "); p != std::string::npos; p = s.find('\n', p + 1)) ++lines;
  EXPECT_GE(lines, 4);
}

TEST(PrintAtomNeighbors, TypesOnlyFromVerbosityTwo) {
  MixedCarbon m;
  vorn::Run& r = m.t.run;
  findallneighbors(r);
  std::ostringstream quiet;
  prtatomnei(r, m.n1, quiet);
  EXPECT_EQ(quiet.str(),
            "\n Covalently-bonded neighbors to N1 =    1\n\n"
            "     i       n     r(Ang)    atom       occ\n"
            "     1       1      1.470    C1         1.0000\n");
  r.ctl.iverb = 2;
  std::ostringstream loud;
  prtatomnei(r, m.n1, loud);
  EXPECT_EQ(loud.str(), quiet.str() +
                            "\n    There is(are)    1 atom type(s) among neighbors\n"
                            "\n    Type =    1\n"
                            "      atomic number =    6\n"
                            "      neighbors of this type =    1\n"
                            "      atoms : C1      \n");
}

TEST(CollectNeighbors, NeighboursThenTheAtom) {
  MixedCarbon m;
  findallneighbors(m.t.run);
  EXPECT_EQ(collectnei(m.t.run, m.c1), (std::vector<int>{m.h1, m.o1, m.n1, m.c2, m.c1}));
}

// The cell grid must reproduce the full scan: same atoms in the same order,
// with same-site pairs, close contacts, disorder and atoms far outside.
TEST(NeighborTable, MatchesFullScanOnADenseRandomStructure) {
  TestRun t;
  vorn::Run& r = t.run;
  std::mt19937 gen(12345);
  std::uniform_real_distribution<float> u(0.0f, 14.0f);
  const char* el[] = {"C", "H", "O", "N", "S", "Cl", "H", "C"};
  for (int i = 1; i <= 600; ++i) {
    std::string lab = std::string(el[i % 8]) + std::to_string(i);
    int a = add_atom(r, lab, Cart(u(gen), u(gen), u(gen)), (i % 13 == 0) ? 0.5f : 1.0f);
    if (i % 13 == 0) r.atoms1.flag[static_cast<std::size_t>(a)] = -1;
    if (i % 50 == 0) add_atom(r, lab + "B", Cart(add(r.atoms.xc[static_cast<std::size_t>(a)], {0.004f, 0, 0})));
  }
  add_atom(r, "C999", Cart(500.0f, -300.0f, 80.0f));
  r.ctl.tol1 = 0.4f;
  findallneighbors(r);
  int bonds = 0;
  for (int i = 1; i <= r.cryst.ncryst; ++i) {
    GetNei(r, i, 0.0f);
    const NeighborRec& n = r.neighbors[static_cast<std::size_t>(i)];
    ASSERT_EQ(table(n.inei), table(r.neig.inei)) << "atom " << i;
    ASSERT_EQ(n.rnei, r.neig.rnei) << "atom " << i;
    bonds += n.nnei;
    SortNei(r, i);
  }
  EXPECT_GT(bonds, 600);
}

// Naphthalene carbons C1..C10 (C9, C10 fused) and their hydrogens; the ring
// table is filled as the ring search leaves it.
struct Naphthalene {
  TestRun t;
  Naphthalene() {
    Run& r = t.run;
    const float a = 1.40f, h = a * 0.8660254f;
    const Vec3 xs[10] = {{-2 * h, 0.7f, 0},  {-2 * h, -0.7f, 0}, {-h, -1.4f, 0}, {h, -1.4f, 0}, {2 * h, -0.7f, 0},
                         {2 * h, 0.7f, 0},   {h, 1.4f, 0},       {-h, 1.4f, 0},  {0, 0.7f, 0}, {0, -0.7f, 0}};
    for (int i = 0; i < 10; ++i) add_atom(r, "C" + std::to_string(i + 1), Cart(xs[i]));
  }
  void ring(int planar, std::vector<int> members) {
    Rings& rs = t.run.rings;
    Ring g;
    g.size = static_cast<int>(members.size());
    g.members.push_back(0);
    g.members.insert(g.members.end(), members.begin(), members.end());
    g.planar = planar;
    rs.ring.push_back(g);
    rs.nor = static_cast<int>(rs.ring.size()) - 1;
  }
};

TEST(RingMembership, FusedPlanarRings) {
  Naphthalene n;
  n.ring(1, {9, 8, 1, 2, 3, 10});
  n.ring(1, {9, 7, 6, 5, 4, 10});
  vorn::Run& r = n.t.run;
  RingTest fused = isitcyclic(r, 9);
  EXPECT_EQ(fused.lcyc, 1);
  EXPECT_EQ(fused.l2plan, 1);
  EXPECT_EQ(fused.l1plan, 0);
  EXPECT_EQ(fused.iring, 3);
  EXPECT_EQ(fused.nsize, 12);
  RingTest outer = isitcyclic(r, 6);
  EXPECT_EQ(outer.lcyc, 1);
  EXPECT_EQ(outer.l1plan, 1);
  EXPECT_EQ(outer.l2plan, 0);
  EXPECT_EQ(outer.iring, 2);
  EXPECT_EQ(outer.nsize, 6);
  // the fused carbon has three neighbours; with itself they form the group
  findallneighbors(r);
  EXPECT_EQ(collectnei(r, 9), (std::vector<int>{7, 8, 10, 9}));
}

TEST(RingMembership, PlanarAndNonPlanarRing) {
  Naphthalene n;
  n.ring(0, {9, 8, 1, 2, 3, 10});  // puckered
  n.ring(1, {9, 7, 6, 5, 4, 10});
  vorn::Run& r = n.t.run;
  RingTest shared = isitcyclic(r, 10);
  EXPECT_EQ(shared.lcyc, 1);
  EXPECT_EQ(shared.l1plan, 1);
  EXPECT_EQ(shared.l2plan, 0);
  EXPECT_EQ(shared.iring, 2);
  EXPECT_EQ(shared.nsize, 6);
  RingTest puckered = isitcyclic(r, 1);
  EXPECT_EQ(puckered.lcyc, 1);
  EXPECT_EQ(puckered.l1plan, 0);
  EXPECT_EQ(puckered.iring, 0);
}

TEST(RingMembership, NoRingAndThreeRings) {
  Naphthalene n;
  n.ring(1, {9, 8, 1, 2, 3, 10});
  n.ring(1, {9, 7, 6, 5, 4, 10});
  n.ring(1, {1, 2, 3, 10, 4, 5, 6, 7, 9, 8});  // the perimeter
  vorn::Run& r = n.t.run;
  RingTest three = isitcyclic(r, 9);
  EXPECT_EQ(three.lcyc, 1);
  EXPECT_EQ(three.l1plan + three.l2plan + three.iring + three.nsize, 0);
  RingTest both = isitcyclic(r, 1);  // ring 1 and the perimeter
  EXPECT_EQ(both.l2plan, 1);
  EXPECT_EQ(both.iring, 4);
  EXPECT_EQ(both.nsize, 16);
  int h = add_atom(r, "H1", Cart(-3.36f, 1.25f, 0));
  RingTest none = isitcyclic(r, h);
  EXPECT_EQ(none.lcyc + none.l1plan + none.l2plan + none.iring + none.nsize, 0);
}

}  // namespace
}  // namespace vorn
