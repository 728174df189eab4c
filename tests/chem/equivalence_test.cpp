#include "chem/equivalence.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "base/error.hpp"
#include "base/text.hpp"
#include "chem/molecules.hpp"
#include "topology/neighbors.hpp"

namespace vorn::test {
namespace {

// Beside each other, far enough apart not to bond: benzene, propene
// CH2=CH-CH3, acetaldehyde and methanimine CH2=N. The ring CH and the
// open-chain =CH- carbon both have neighbours C, C, H.
class SameAtomsTest : public ::testing::Test {
 protected:
  TestRun t;
  vorn::Run& run = t.run;
  Mol m{run};
  std::vector<int> ring;
  int c1 = 0, c2 = 0, c3 = 0;  // propene =CH2, =CH-, CH3
  int ca = 0;                  // acetaldehyde C(=O)H
  int cn = 0;                  // methanimine =CH2

  void SetUp() override {
    ring = m.ring({"C(1)", "C(2)", "C(3)", "C(4)", "C(5)", "C(6)"}, 1.39f);
    for (int k = 0; k < 6; ++k) m.radial("H(" + std::to_string(k + 1) + ")", ring[static_cast<std::size_t>(k)], 1.08f);

    c1 = m.at("C(11)", 10, 0, 0);
    c2 = m.polar("C(12)", c1, 1.34f, 0);
    const int h11 = m.polar("H(11)", c1, 1.08f, 120);
    m.polar("H(12)", c1, 1.08f, 240);
    m.place("H(13)", c2, 1.09f, c1, 119.0f, h11, 180);
    c3 = m.place("C(13)", c2, 1.50f, c1, 124.0f, h11, 0);
    hydrogens3(m, "H(14", c3, c2, c1);

    ca = m.at("C(21)", 20, 0, 0);
    const int o = m.polar("O(21)", ca, 1.21f, 0);
    m.polar("H(21)", ca, 1.10f, 120);
    const int cb = m.polar("C(22)", ca, 1.50f, 240);
    hydrogens3(m, "H(22", cb, ca, o);

    cn = m.at("C(31)", 30, 0, 0);
    m.polar("N(31)", cn, 1.28f, 0);
    m.polar("H(31)", cn, 1.08f, 120);
    m.polar("H(32)", cn, 1.08f, 240);

    rings_and_bonds(run);
  }

  std::string listing_of(int i, int j, int isym, int igroup, int isimple, int iring, int* result) {
    const std::size_t before = t.lst.str().size();
    *result = sameatoms(run, i, j, isym, igroup, isimple, iring);
    return t.lst.str().substr(before);
  }

  std::string header(int i, int j) const {
    return "\n Checking if atoms " + std::string(rtrim(run.atoms.label[static_cast<std::size_t>(i)])) + " and " +
           std::string(rtrim(run.atoms.label[static_cast<std::size_t>(j)])) + " are chemically equivalent:\n";
  }
  static std::string no(const std::string& reason) {
    return "   atoms are NOT chemically equivalent : " + reason + "\n";
  }
  static constexpr const char* kYes = "  YES, these atoms are chemically equivalent !\n";
};

TEST_F(SameAtomsTest, TwoRingCarbonsAreEquivalentUnderEveryCriterion) {
  run.ctl.iverb = 3;
  int r = 0;
  EXPECT_EQ(listing_of(ring[0], ring[3], 1, 1, 0, 1, &r), header(ring[0], ring[3]) + kYes);
  EXPECT_EQ(r, 1);
}

TEST_F(SameAtomsTest, EachCriterionGivesItsReason) {
  run.ctl.iverb = 3;
  int r = 1;
  const int h1 = ring[5] + 1;
  EXPECT_EQ(listing_of(ring[0], h1, 0, 0, 0, 0, &r), header(ring[0], h1) + no(" Diff. atomic numbers"));
  EXPECT_EQ(r, 0);
  EXPECT_EQ(listing_of(c2, c3, 0, 0, 0, 0, &r), header(c2, c3) + no(" Diff. number of neighbors"));
  // =CH- has types H, C; the aldehyde carbon H, C, O.
  EXPECT_EQ(listing_of(c2, ca, 0, 0, 0, 0, &r), header(c2, ca) + no(" Diff. number of neighbor types"));
  // =CH2 on C against =CH2 on N: the second type differs. The type reasons
  // are shown in their whole 40-character buffer.
  EXPECT_EQ(listing_of(c1, cn, 0, 0, 0, 0, &r), header(c1, cn) + no(pad(" Diff. atomic numbers of  2-th type", 40)));
  // =CH2 (H x2, C x1) against =CH- (H x1, C x2).
  EXPECT_EQ(listing_of(c1, c2, 0, 0, 0, 0, &r), header(c1, c2) + no(pad(" Diff. num. of nei. of  1-th type", 40)));
  EXPECT_EQ(r, 0);
}

TEST_F(SameAtomsTest, SimpleModelComparesOnlyElementAndNeighbourCount) {
  // =CH2 (H, H, C) and =CH2 on N (H, H, N): same element and count.
  EXPECT_EQ(sameatoms(run, c1, cn, 0, 0, 1, 0), 1);
  EXPECT_EQ(sameatoms(run, c1, cn, 0, 0, 0, 0), 0);
  // The simple model still separates different neighbour counts.
  EXPECT_EQ(sameatoms(run, c2, c3, 0, 0, 1, 0), 0);
}

TEST_F(SameAtomsTest, RingSwitchSeparatesARingCarbonFromAnOpenChainOne) {
  run.ctl.iverb = 3;
  int r = 0;
  EXPECT_EQ(listing_of(ring[1], c2, 0, 0, 0, 0, &r), header(ring[1], c2) + kYes);
  EXPECT_EQ(r, 1);
  EXPECT_EQ(listing_of(ring[1], c2, 0, 0, 0, 1, &r), header(ring[1], c2) + no(" Diff. ring memb numbers"));
  EXPECT_EQ(r, 0);
  // The simple model skips the ring criterion too.
  EXPECT_EQ(sameatoms(run, ring[1], c2, 0, 0, 1, 1), 1);
}

TEST_F(SameAtomsTest, SiteSymmetryAndGroupNamesAreComparedOnlyWhenAsked) {
  run.ctl.iverb = 3;
  run.atoms.sitesym[static_cast<std::size_t>(ring[0])] = "m    ";
  run.atoms.sitesym[static_cast<std::size_t>(ring[2])] = "mm2  ";
  int r = 0;
  EXPECT_EQ(sameatoms(run, ring[0], ring[2], 0, 1, 0, 1), 1);
  EXPECT_EQ(listing_of(ring[0], ring[2], 1, 1, 0, 1, &r).substr(header(ring[0], ring[2]).size()),
            no(" Diff. local symmetry"));

  run.except.group[static_cast<std::size_t>(ring[1])] = pad("ESTER", 40);
  EXPECT_EQ(sameatoms(run, ring[1], ring[3], 1, 0, 0, 1), 1);
  EXPECT_EQ(listing_of(ring[1], ring[3], 1, 1, 0, 1, &r).substr(header(ring[1], ring[3]).size()),
            no(" Diff. functional groups"));
  EXPECT_EQ(r, 0);
  // Two blank names are equal.
  EXPECT_EQ(sameatoms(run, ring[3], ring[4], 1, 1, 0, 1), 1);
}

TEST_F(SameAtomsTest, NothingIsPrintedAtVerbosityTwoOrLess) {
  int r = 0;
  for (int v : {0, 1, 2}) {
    run.ctl.iverb = v;
    EXPECT_EQ(listing_of(ring[0], c3, 1, 1, 0, 1, &r), "");
    EXPECT_EQ(listing_of(ring[0], ring[1], 1, 1, 0, 1, &r), "");
    EXPECT_EQ(r, 1);
  }
}

// Equivalent pairs of a centre: alike atoms that also agree on the rings of
// the centre and on their bond lengths to it. A styrene-like phenyl diene
// Ph-CH=CH-CH=CH2 (ipso carbon with two ring carbons and a vinyl carbon,
// all three with neighbours C, C, H; the second chain carbon between a
// double and a single bond to two such carbons) and a CHCl3 whose C-Cl
// bonds are 1.75, 1.78 and 1.82 A (each Cl alike to the next, the first
// and last 0.07 A apart).
class EquivalentPairsTest : public ::testing::Test {
 protected:
  TestRun t;
  vorn::Run& run = t.run;
  Mol m{run};
  std::vector<int> ring;
  int ipso = 0, ca = 0, cb = 0, cc = 0, cd = 0;
  int chcl = 0;
  std::vector<int> cl;

  void SetUp() override {
    const PhenylDiene d(m, Cart(5, 5, 5));
    ring = d.ring;
    ipso = d.ipso;
    ca = d.ca;
    cb = d.cb;
    cc = d.cc;
    cd = d.cd;

    chcl = m.at("C(20)", 20, 20, 20);
    m.at("H(20)", 20, 20, 21.09f);
    const float polar = 109.5f * 0.017453292f;
    for (int k = 0; k < 3; ++k) {
      const float r = k == 0 ? 1.75f : k == 1 ? 1.78f : 1.82f, phi = 2.0943951f * static_cast<float>(k);
      cl.push_back(m.at("CL(" + std::to_string(k + 1) + ")", 20 + r * std::sin(polar) * std::cos(phi),
                        20 + r * std::sin(polar) * std::sin(phi), 20 + r * std::cos(polar)));
    }
    rings_and_bonds(run);
  }
  std::vector<int> neighbours(int i) const {
    const NeighborRec& r = run.neighbors[static_cast<std::size_t>(i)];
    std::vector<int> out;
    for (int k = 1; k <= r.nnei; ++k) out.push_back(r.inei[static_cast<std::size_t>(k)]);
    return out;
  }
  std::vector<std::pair<int, int>> pairs_of(int i) {
    std::vector<std::pair<int, int>> out;
    for (const NeighborPair& p : equivalent_pairs(run, i, neighbours(i), true)) out.emplace_back(p.a, p.b);
    return out;
  }
};

TEST_F(EquivalentPairsTest, RingsAndBondLengthsSeparateNeighboursAlikeByConnectivity) {
  // The vinyl carbon is alike to the ring carbons, but outside the ring.
  ASSERT_EQ(sameatoms(run, ring[1], ca, 0, 0, 0, 0), 1);
  EXPECT_EQ(pair_difference(run, ipso, ring[1], ca), "one in a ring of the atom, the other outside it");
  const std::vector<std::pair<int, int>> ortho = {{std::min(ring[1], ring[5]), std::max(ring[1], ring[5])}};
  auto sorted = [](std::vector<std::pair<int, int>> v) {
    for (auto& p : v)
      if (p.first > p.second) std::swap(p.first, p.second);
    return v;
  };
  EXPECT_EQ(sorted(pairs_of(ipso)), ortho);
  // Across the double bond (1.34 A) and the single bond (1.45 A).
  ASSERT_EQ(sameatoms(run, ca, cc, 0, 0, 0, 0), 1);
  EXPECT_EQ(pair_difference(run, cb, ca, cc),
            "bond lengths  1.340 and  1.450 differ by more than  0.050 Angstrom");
  EXPECT_TRUE(pairs_of(cb).empty());
  EXPECT_NE(t.lst.str().find(" Not the same : "), std::string::npos);
  // The tolerance is the control file's.
  run.ctl.pair_tol = 0.2f;
  EXPECT_EQ(pairs_of(cb).size(), 1u);
}

TEST_F(EquivalentPairsTest, NeighboursAlikeOnlyInAChainFormOneSetWithTheCloserBond) {
  // 1.75 ~ 1.78 and 1.78 ~ 1.82, but 1.75 and 1.82 differ by 0.07: one
  // pair (the closer bonds), never a chain that no symmetry could have.
  EXPECT_EQ(pair_difference(run, chcl, cl[0], cl[1]), "");
  EXPECT_EQ(pair_difference(run, chcl, cl[1], cl[2]), "");
  EXPECT_NE(pair_difference(run, chcl, cl[0], cl[2]), "");
  const auto pairs = pairs_of(chcl);
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_TRUE((pairs[0] == std::pair<int, int>{cl[0], cl[1]}) || (pairs[0] == std::pair<int, int>{cl[1], cl[0]}));
  // Within the tolerance all three are one set of three pairs.
  run.ctl.pair_tol = 0.1f;
  EXPECT_EQ(pairs_of(chcl).size(), 3u);
}

TEST_F(SameAtomsTest, AtomIndicesOutsideTheTablesAreAnError) {
  EXPECT_THROW(sameatoms(run, 0, 1, 0, 0, 0, 0), VornError);
  EXPECT_THROW(sameatoms(run, 1, MAXAT + 1, 0, 0, 0, 0), VornError);
}

}  // namespace
}  // namespace vorn::test
