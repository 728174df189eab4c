#include "topology/parts.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "control/run_sequence.hpp"
#include "structure/shelx_reader.hpp"
#include "support/builders.hpp"
#include "topology/bonds.hpp"
#include "topology/complete.hpp"
#include "topology/neighbors.hpp"

namespace vorn {
namespace {

using test::TestRun;

// Reads the SHELX text, completes fragments over one cell and finds every
// atom's bonded neighbours, by the index or by plain scans.
void set_up(TestRun& t, const std::string& res, bool plain) {
  t.write("s.res", res);
  ReadShelx(t.run, "s.res");
  t.run.ctl.ncells = 1;
  t.run.plain_scans = plain;
  gencompletefrags(t.run);
  findallneighbors(t.run);
}

std::vector<std::string> neighbor_labels(const vorn::Run& run, int atom) {
  std::vector<std::string> v;
  const NeighborRec& r = run.neighbors[static_cast<std::size_t>(atom)];
  for (int k = 1; k <= r.nnei; ++k) v.push_back(std::string(rtrim(run.atoms.label[static_cast<std::size_t>(r.inei[static_cast<std::size_t>(k)])])));
  std::sort(v.begin(), v.end());
  return v;
}

int atom_labelled(const vorn::Run& run, const std::string& label) {
  for (int i = 1; i <= run.cryst.ncryst; ++i)
    if (rtrim(run.atoms.label[static_cast<std::size_t>(i)]) == label) return i;
  return 0;
}

// N1 bonded (1.47 A) to a carbon disordered over two sites 0.64 A apart,
// C1 in PART 1 and C1A in PART 2, both bonded to C2; occupancies given.
std::string two_site_chain(const char* occ1, const char* occ2) {
  return std::string("TITL two sites\nCELL 0.71073 10 10 10 90 90 90\nLATT -1\nSFAC C N\n") +
         "N1 2 0.100 0.100 0.1 11.0 0.02\n"
         "PART 1\nC1 1 0.247 0.100 0.1 " + occ1 + " 0.02\n"
         "PART 2\nC1A 1 0.2332 0.1621 0.1 " + occ2 + " 0.02\n"
         "PART 0\nC2 1 0.370 0.150 0.1 11.0 0.02\nHKLF 4\nEND\n";
}

TEST(DisorderParts, AnAtomOfPartZeroSeesTheMajorAlternativeOnly) {
  for (bool plain : {false, true}) {
    SCOPED_TRACE(plain ? "plain scans" : "index");
    TestRun t;
    set_up(t, two_site_chain("10.7", "10.3"), plain);
    const vorn::Run& run = t.run;
    ASSERT_EQ(run.atoms1.part[2], 1);
    ASSERT_EQ(run.atoms1.part[3], 2);
    // The part-0 atoms bond to the 70 % site only.
    EXPECT_EQ(neighbor_labels(run, 1), std::vector<std::string>{"C(1)"});
    EXPECT_EQ(neighbor_labels(run, atom_labelled(run, "C(2)")), std::vector<std::string>{"C(1)"});
    // Each site sees the ordered atoms, never the other site.
    EXPECT_EQ(neighbor_labels(run, 2), (std::vector<std::string>{"C(2)", "N(1)"}));
    EXPECT_EQ(neighbor_labels(run, 3), (std::vector<std::string>{"C(2)", "N(1)"}));
  }
}

TEST(DisorderParts, OnATieThePartWithTheLowerNumberIsTaken) {
  TestRun t;
  // The 50 % sites listed PART 2 first would win by order; the number decides.
  set_up(t, two_site_chain("10.5", "10.5"), false);
  EXPECT_EQ(neighbor_labels(t.run, 1), std::vector<std::string>{"C(1)"});
  TestRun m;
  set_up(m, two_site_chain("10.4", "10.6"), false);
  EXPECT_EQ(neighbor_labels(m.run, 1), std::vector<std::string>{"C(1A)"});
}

// Two carbons of a group disordered about the inversion centre at
// (1/2, 1/2, 1/2) of P-1: C1 lies 1.17 A from its own image.
std::string about_inversion(const char* part) {
  return std::string("TITL about a centre\nCELL 0.71073 10 10 10 90 90 90\nLATT 1\nSFAC C\nPART ") + part +
         " 10.5\nC1 1 0.530 0.550 0.5 10.5 0.02\nC2 1 0.680 0.550 0.5 10.5 0.02\nPART 0\nHKLF 4\nEND\n";
}

TEST(DisorderParts, ANegativePartIsNotBondedToItsOwnSymmetryImages) {
  for (bool plain : {false, true}) {
    SCOPED_TRACE(plain ? "plain scans" : "index");
    TestRun t;
    set_up(t, about_inversion("-1"), plain);
    // No image joins the group: the one bond that would bring one in is
    // to the group's own image.
    EXPECT_EQ(t.run.cryst.ncryst, 2);
    EXPECT_EQ(neighbor_labels(t.run, 1), std::vector<std::string>{"C(2)"});
    EXPECT_EQ(neighbor_labels(t.run, 2), std::vector<std::string>{"C(1)"});
  }
  // A positive part is one alternative with its images: they are bonded.
  TestRun p;
  set_up(p, about_inversion("1"), false);
  EXPECT_EQ(p.run.cryst.ncryst, 4);
  EXPECT_EQ(neighbor_labels(p.run, 1).size(), 2u);
}

TEST(DisorderParts, ThePairRuleInItsOwnTerms) {
  const SymCopy self{1, 0, 0, 0}, image{2, 0, 0, 0};
  EXPECT_TRUE(parts_may_meet(0, self, 3, image));
  EXPECT_TRUE(parts_may_meet(2, self, 2, image));
  EXPECT_FALSE(parts_may_meet(1, self, 2, self));
  EXPECT_TRUE(parts_may_meet(-1, self, -1, self));
  EXPECT_FALSE(parts_may_meet(-1, self, -1, image));
  EXPECT_FALSE(parts_may_meet(-1, self, -2, self));
}

TEST(DisorderParts, WithoutPartsTheBondTableIsSymmetric) {
  TestRun t;
  t.write("s.res", two_site_chain("10.7", "10.3"));
  std::string text = t.read("s.res");
  for (const char* p : {"PART 1\n", "PART 2\n", "PART 0\n"}) text.erase(text.find(p), std::string(p).size());
  set_up(t, text, false);
  // No part: the old rule for disordered atoms (different occupancy, not
  // seen together) and every ordered atom bonded to both sites.
  EXPECT_EQ(neighbor_labels(t.run, 1), (std::vector<std::string>{"C(1)", "C(1A)"}));
  const BondTable b = bond_partners(t.run);
  for (int i = 1; i <= t.run.cryst.ncryst; ++i)
    for (int j : b[static_cast<std::size_t>(i)]) {
      const auto back = b[static_cast<std::size_t>(j)];
      EXPECT_NE(std::find(back.begin(), back.end(), i), back.end());
    }
}

}  // namespace
}  // namespace vorn

namespace vorn {
namespace {

// A ring compound whose CH2-CH2 pair is disordered over two twists (PART 1
// at 80 %, PART 2 at 20 %): the aryl amine N(2) is bonded to C(1) of the
// major twist only, stays neutral, and its ring is found.
TEST(DisorderParts, TheRingOfTheMajorTwistOfARealStructure) {
  VORN_REQUIRE_SHARED(dir);
  TestRun t;
  std::filesystem::copy_file(dir / "6-ring-twist-disorder.res", t.dir.path() / "s.res");
  t.write("vorn.inp", "FORMAT *shelx\nINPUT s.res\nNCELLS 1\nRINGS 3 8\nEXTEND_H\n");
  ASSERT_EQ(vorn_main(t.run, {}), 0);
  const vorn::Run& run = t.run;
  const int n2 = atom_labelled(run, "N(2)");
  ASSERT_NE(n2, 0);
  EXPECT_EQ(neighbor_labels(run, n2), (std::vector<std::string>{"C(1)", "C(10)", "C(7)"}));
  const std::string lst = t.read("vorn.out");
  EXPECT_EQ(lst.find("AMMONIUM"), std::string::npos);
  EXPECT_EQ(lst.find("PROTONATED"), std::string::npos);
  bool ring = false;
  for (int q = 1; q <= run.rings.nor; ++q) {
    const auto& m = run.rings.ring[static_cast<std::size_t>(q)].members;
    ring = ring || (std::find(m.begin(), m.end(), n2) != m.end() &&
                    std::find(m.begin(), m.end(), atom_labelled(run, "C(1)")) != m.end());
  }
  EXPECT_TRUE(ring);
}

}  // namespace
}  // namespace vorn
