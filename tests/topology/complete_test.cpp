#include "topology/complete.hpp"

#include <gtest/gtest.h>

#include <random>

#include "base/error.hpp"
#include "structure/shelx_reader.hpp"
#include "structure_gen.hpp"
#include "topology/complete_oracle.hpp"
#include "topology/connectivity.hpp"
#include "topology/molecules.hpp"
#include "topology/real_files.hpp"
#include "topology/rings.hpp"

namespace vorn::test {
namespace {

// Half a benzene molecule on the inversion centre at the origin of a
// triclinic P-1 cell: C1 C2 C3 and their hydrogens.
void half_benzene(Run& run) {
  set_cell(run, 7.5f, 8.5f, 9.5f, 95.0f, 100.0f, 105.0f);
  set_ops(run, {inversion()});
  for (int i = 0; i < 3; ++i) {
    const float th = 60.0f * static_cast<float>(i);
    add_atom(run, name("C", i + 1), {1.39f * cosd(th), 1.39f * sind(th), 0.0f});
  }
  for (int i = 0; i < 3; ++i) {
    const float th = 60.0f * static_cast<float>(i);
    add_atom(run, name("H", i + 1), {2.47f * cosd(th), 2.47f * sind(th), 0.0f});
  }
}

TEST(GenCompleteFrags, HalfMoleculeOnAnInversionCentreIsCompleted) {
  for (int ncells : {0, 1}) {
    TestRun t;
    half_benzene(t.run);
    t.run.ctl.ncells = ncells;
    gencompletefrags(t.run);
    const vorn::Run& r = t.run;
    ASSERT_EQ(r.cryst.ncryst, 12) << "NCELLS " << ncells;
    EXPECT_EQ(r.atoms.nat, 6);
    for (int i = 1; i <= 6; ++i) {
      const auto j = static_cast<std::size_t>(6 + i);
      EXPECT_EQ(r.cryst.nsq[static_cast<std::size_t>(i)], 1);
      EXPECT_EQ(r.cryst.isq[static_cast<std::size_t>(i)], 0);
      EXPECT_EQ(r.cryst.isq[j], i);
      EXPECT_EQ(r.cryst.nsq[j], 0);
      EXPECT_EQ(r.atoms.label[j], r.atoms.label[static_cast<std::size_t>(i)]);
      EXPECT_EQ(r.atoms.iz[j], r.atoms.iz[static_cast<std::size_t>(i)]);
      for (int k = 0; k < 3; ++k) {
        EXPECT_FLOAT_EQ(r.atoms.xf[j][k], -r.atoms.xf[static_cast<std::size_t>(i)][k]);
        EXPECT_NEAR(r.atoms.xc[j][k], -r.atoms.xc[static_cast<std::size_t>(i)][k], 1e-5f);
      }
      // Generated atoms carry no refinement attributes of their own.
      EXPECT_EQ(r.atoms1.iu[j], 0);
      EXPECT_EQ(r.atoms1.lmax[j], 0);
    }
  }
}

TEST(GenCompleteFrags, ListingAndPlatonFile) {
  TestRun t;
  half_benzene(t.run);
  t.run.ctl.ncells = 1;
  gencompletefrags(t.run);
  const auto lst = lines_of(t.lst.str());
  ASSERT_EQ(lst.size(), 18u) << t.lst.str();
  EXPECT_EQ(lst[0], "");
  EXPECT_EQ(lst[1], "List of atoms in complete fragment(s) :");
  EXPECT_EQ(lst[2], "");
  EXPECT_EQ(lst[3], "       ATOM        ------ FRACTIONAL ------    ----- CARTESIAN -----     ISQ NSQ");
  EXPECT_EQ(lst[4], "     1 C1          0.1853   0.0000   0.0000    1.390   0.000   0.000       0   1");
  EXPECT_EQ(lst[8], "     5 H2          0.2411   0.2605   0.0000    1.235   2.139   0.000       0   1");
  EXPECT_EQ(lst[11], "     8 C2         -0.1357  -0.1466   0.0000   -0.695  -1.204   0.000       2   0");
  EXPECT_EQ(lst[15], "    12 H3          0.0882  -0.2605   0.0000    1.235  -2.139   0.000       6   0");
  EXPECT_EQ(lst[16], "");
  EXPECT_EQ(lst[17], " File with complete fragment(s) in PLATON format : complete.ang");
  const auto ang = lines_of(t.read("complete.ang"));
  ASSERT_EQ(ang.size(), 12u);
  EXPECT_EQ(ang[0], "ATOM   C1               1.3900      0.0000      0.0000");
  EXPECT_EQ(ang[7], "ATOM   C2              -0.6950     -1.2038      0.0000");
}

TEST(GenCompleteFrags, CompletedRingIsFoundByTheRingSearch) {
  TestRun t;
  half_benzene(t.run);
  t.run.ctl.ncells = 1;
  gencompletefrags(t.run);
  t.run.ring1 = {3, 8, 0};
  connect4rings(t.run);
  FindRings(t.run);
  ASSERT_EQ(t.run.rings.nor, 1);
  EXPECT_EQ(t.run.rings.ring[1].size, 6);
  EXPECT_EQ(t.run.rings.ring[1].planar, 1);
  int generated = 0;
  for (int a : t.run.rings.ring[1].members) generated += a > 6 ? 1 : 0;
  EXPECT_EQ(generated, 3);
}

TEST(GenCompleteFrags, AtomOnTheCentreIsNotDuplicated) {
  // Carbon dioxide with C on the inversion centre (1/2, 1/2, 1/2).
  TestRun t;
  set_cell(t.run, 6.0f, 6.5f, 7.0f, 90.0f, 90.0f, 90.0f);
  set_ops(t.run, {inversion()});
  const Cart centre = to_cart(t.run.transf, Frac(0.5f, 0.5f, 0.5f));
  add_atom(t.run, "C1", centre);
  add_atom(t.run, "O1", at(centre, {0.7f, 0.75f, 0.5f}));  // 1.16 A from C1
  t.run.ctl.ncells = 1;
  gencompletefrags(t.run);
  ASSERT_EQ(t.run.cryst.ncryst, 3);
  EXPECT_EQ(t.run.cryst.nsq[1], 0);
  EXPECT_EQ(t.run.cryst.nsq[2], 1);
  EXPECT_EQ(t.run.cryst.isq[3], 2);
  EXPECT_NEAR(t.run.atoms.xf[3][0], 1.0f - t.run.atoms.xf[2][0], 1e-6f);
}

TEST(GenCompleteFrags, ZeroCellsUseOnlyTheOperatorsThemselves) {
  // The molecule sits on the centre at (1/2, 0, 0): its other half is the
  // image under -x+1, -y, -z, which needs a cell shift.
  for (int ncells : {0, 1}) {
    TestRun t;
    set_cell(t.run, 7.5f, 8.5f, 9.5f, 90.0f, 100.0f, 90.0f);
    set_ops(t.run, {inversion()});
    const Cart centre = to_cart(t.run.transf, Frac(0.5f, 0.0f, 0.0f));
    for (int i = 0; i < 3; ++i) {
      const float th = 60.0f * static_cast<float>(i);
      add_atom(t.run, name("C", i + 1), at(centre, {1.39f * cosd(th), 1.39f * sind(th), 0.0f}));
    }
    t.run.ctl.ncells = ncells;
    gencompletefrags(t.run);
    EXPECT_EQ(t.run.cryst.ncryst, ncells == 0 ? 3 : 6);
  }
}

TEST(GenCompleteFrags, CompleteMoleculesWithoutContactsAddNothing) {
  TestRun t;
  set_cell(t.run, 12.0f, 12.0f, 12.0f, 90.0f, 90.0f, 90.0f);
  set_ops(t.run, {inversion()});
  benzene(t.run, to_cart(t.run.transf, Frac(0.25f, 0.25f, 0.25f)));
  t.run.ctl.ncells = 1;
  gencompletefrags(t.run);
  EXPECT_EQ(t.run.cryst.ncryst, 12);
  EXPECT_TRUE(t.lst.str().empty());
  EXPECT_FALSE(t.exists("complete.ang"));

  // NCELLS -1: no search at all.
  TestRun off;
  half_benzene(off.run);
  off.run.ctl.ncells = -1;
  gencompletefrags(off.run);
  EXPECT_EQ(off.run.cryst.ncryst, 6);
}

TEST(GenCompleteFrags, ChainsGrowAcrossCellsToTheLimit) {
  // A polymer -C-O-C-O- along a: every image bonds to the previous one.
  TestRun t;
  set_cell(t.run, 2.8f, 6.0f, 6.0f, 90.0f, 90.0f, 90.0f);
  set_ops(t.run, {});
  add_atom(t.run, "C1", {0.0f, 0.0f, 0.0f});
  add_atom(t.run, "O1", {1.4f, 0.0f, 0.3f});
  t.run.ctl.ncells = 3;
  gencompletefrags(t.run);
  EXPECT_EQ(t.run.cryst.ncryst, 2 + 2 * 6);
  EXPECT_EQ(t.run.cryst.nsq[1], 6);
  EXPECT_EQ(t.run.cryst.nsq[2], 6);
}

TEST(GenCompleteFrags, TooManyAtomsStopsTheSearch) {
  // A carbon framework in a 1.5 A cubic cell bonds to all six neighbours;
  // 29^3 images exceed the atom table.
  TestRun t;
  set_cell(t.run, 1.5f, 1.5f, 1.5f, 90.0f, 90.0f, 90.0f);
  set_ops(t.run, {});
  add_atom(t.run, "C1", {0.0f, 0.0f, 0.0f});
  t.run.ctl.ncells = 14;
  try {
    gencompletefrags(t.run);
    FAIL() << "no error";
  } catch (const VornError& e) {
    EXPECT_EQ(e.routine(), "gencompletefrags");
    EXPECT_EQ(e.message(), "Too many atoms");
  }
  EXPECT_EQ(t.run.cryst.ncryst, MAXAT);
}

TEST(GenCompleteFrags, CellFarTooSmallForTheCellsSearchedStops) {
  TestRun t;
  set_cell(t.run, 0.1f, 0.1f, 0.1f, 90.0f, 90.0f, 90.0f);
  set_ops(t.run, {});
  add_atom(t.run, "C1", {0.0f, 0.0f, 0.0f});
  t.run.ctl.ncells = 11;
  try {
    gencompletefrags(t.run);
    FAIL() << "no error";
  } catch (const VornError& e) {
    EXPECT_EQ(e.routine(), "gencompletefrags");
    EXPECT_EQ(e.message(), "Unit cell too small: many cells lie within bonding distance of an atom");
  }
}

// --- Comparison with the plain restarted scan on random small crystals ---

struct RandomCrystal {
  std::mt19937 rng;
  explicit RandomCrystal(unsigned seed) : rng(seed) {}
  float uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); }
  int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

  void fill(Run& run) {
    const int group = pick(5);
    switch (group) {
      case 0:  // P1
        set_cell(run, uniform(2.8f, 6), uniform(3, 6), uniform(3, 6), uniform(80, 110), uniform(80, 110), uniform(80, 110));
        set_ops(run, {});
        break;
      case 1:  // P-1
        set_cell(run, uniform(4, 8), uniform(4, 8), uniform(4, 8), uniform(80, 110), uniform(80, 110), uniform(80, 110));
        set_ops(run, {inversion()});
        break;
      case 2: {  // P21/c
        set_cell(run, uniform(6, 9), uniform(6, 9), uniform(6, 9), 90, uniform(95, 115), 90);
        SymOp s = screw_b(), g = glide_c();
        set_ops(run, {s, inversion(), g});
        break;
      }
      case 3: {  // P1 with a short cell: bonds reach over several cells
        set_cell(run, uniform(1.6f, 2.6f), uniform(1.8f, 4), uniform(2, 5), uniform(80, 100), uniform(80, 100),
                 uniform(80, 100));
        set_ops(run, {});
        break;
      }
      default: {  // P212121
        set_cell(run, uniform(6, 9), uniform(6, 9), uniform(6, 9), 90, 90, 90);
        set_ops(run, {op({{{-1, 0, 0}, {0, -1, 0}, {0, 0, 1}}}, {0.5f, 0, 0.5f}),
                      op({{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}}, {0, 0.5f, 0.5f}),
                      op({{{1, 0, 0}, {0, -1, 0}, {0, 0, -1}}}, {0.5f, 0.5f, 0})});
        break;
      }
    }
    const char* elements[] = {"C", "C", "N", "O", "H", "S"};
    const int n = group == 3 ? 1 + pick(2) : 3 + pick(3);
    for (int i = 0; i < n; ++i) {
      Frac f(uniform(-0.3f, 1.3f), uniform(-0.3f, 1.3f), uniform(-0.3f, 1.3f));
      // Now and then an atom on a centre of symmetry or a cell corner.
      if (pick(6) == 0) f = Frac(0.5f * static_cast<float>(pick(2)), 0.5f * static_cast<float>(pick(2)), 0.0f);
      add_atom(run, name(elements[pick(6)], i + 1), to_cart(run.transf, f));
      // A bonded partner close by, so that fragments exist.
      if (pick(3) != 0 && i + 1 < n) {
        ++i;
        const Vec3 d = unit({uniform(-1, 1), uniform(-1, 1), uniform(-1, 1)});
        const int prev = run.atoms.nat;
        add_atom(run, name("C", i + 1), Cart(add(run.atoms.xc[static_cast<std::size_t>(prev)], scale(d, 1.45f))));
      }
    }
    const int cells[] = {0, 1, 1, 2};
    run.ctl.ncells = cells[pick(4)];
    run.ctl.tol1 = pick(2) == 0 ? 0.2f : 0.4f;
  }
};

void expect_same_as_oracle(Run& run, unsigned seed) {
  gencompletefrags(run);
  const auto expected = complete_oracle(run);
  ASSERT_EQ(run.cryst.ncryst - run.atoms.nat, static_cast<int>(expected.size())) << "seed " << seed;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const auto j = static_cast<std::size_t>(run.atoms.nat) + 1 + i;
    EXPECT_EQ(run.cryst.isq[j], expected[i].source) << "seed " << seed << " atom " << j;
    EXPECT_EQ(static_cast<const Vec3&>(run.atoms.xf[j]), static_cast<const Vec3&>(expected[i].xf)) << "seed " << seed;
    EXPECT_EQ(static_cast<const Vec3&>(run.atoms.xc[j]), static_cast<const Vec3&>(expected[i].xc)) << "seed " << seed;
  }
  for (int q = 1; q <= run.atoms.nat; ++q) {
    int n = 0;
    for (const auto& a : expected) n += a.source == q ? 1 : 0;
    EXPECT_EQ(run.cryst.nsq[static_cast<std::size_t>(q)], n) << "seed " << seed;
  }
}

TEST(GenCompleteFrags, SameAtomsInTheSameOrderAsTheRestartedScan) {
  TestRun t;
  int appended = 0;
  for (unsigned seed = 1; seed <= 150; ++seed) {
    t.run.init();
    RandomCrystal(seed).fill(t.run);
    expect_same_as_oracle(t.run, seed);
    appended += t.run.cryst.ncryst - t.run.atoms.nat;
    if (HasFailure()) break;
  }
  // The structures must exercise the search, not just pass through it.
  EXPECT_GT(appended, 500);
}

TEST(GenCompleteFrags, SupercellCutByTheCellEdgesAsTheRestartedScan) {
  // A cell many bonds wide, where most lattice translations of an atom reach
  // nothing: molecules cut by the cell faces are completed as by the scan.
  TestRun t;
  bench::GenOptions opts;
  opts.target_atoms = 140;
  opts.split = true;
  const bench::Structure s = bench::generate(opts);
  t.write("bench.res", bench::shelx_text(s));
  t.run.ctl.ncells = 1;
  ReadShelx(t.run, "bench.res");
  expect_same_as_oracle(t.run, 0);
  EXPECT_GT(t.run.cryst.ncryst - t.run.atoms.nat, 30);
}

TEST(GenCompleteFrags, LargerToleranceNeverAppendsFewer) {
  TestRun t;
  for (unsigned seed = 200; seed < 240; ++seed) {
    int count[2];
    for (int pass = 0; pass < 2; ++pass) {
      t.run.init();
      RandomCrystal(seed).fill(t.run);
      t.run.ctl.tol1 = pass == 0 ? 0.2f : 0.35f;
      gencompletefrags(t.run);
      count[pass] = t.run.cryst.ncryst;
    }
    EXPECT_LE(count[0], count[1]) << "seed " << seed;
  }
}

TEST(GenCompleteFrags, RealStructuresNeverAppendAnImageTwice) {
  VORN_REQUIRE_SHARED(dir);
  for (const auto& name : readable_real_files()) {
    SCOPED_TRACE(name);
    RealRun r;
    r.complete(dir / name);
    const vorn::Run& run = r.t.run;
    ASSERT_GE(run.cryst.ncryst, run.atoms.nat);
    int generated = 0;
    for (int q = 1; q <= run.atoms.nat; ++q) generated += run.cryst.nsq[static_cast<std::size_t>(q)];
    EXPECT_EQ(generated, run.cryst.ncryst - run.atoms.nat);
    // A generated atom coincides with no other atom, read or generated.
    for (int j = run.atoms.nat + 1; j <= run.cryst.ncryst; ++j) {
      const auto jj = static_cast<std::size_t>(j);
      ASSERT_GE(run.cryst.isq[jj], 1);
      ASSERT_LE(run.cryst.isq[jj], run.atoms.nat);
      for (int i = 1; i < j; ++i)
        ASSERT_GE(dist(run.atoms.xc[jj], run.atoms.xc[static_cast<std::size_t>(i)]), 0.001f)
            << "atom " << j << " " << run.atoms.label[jj] << " on atom " << i;
    }
  }
}

}  // namespace
}  // namespace vorn::test
