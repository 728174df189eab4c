#include "local/kappa_index.hpp"

#include <gtest/gtest.h>

#include "support/builders.hpp"
#include "support/generated.hpp"

using namespace vorn;
using vorn::test::TestRun;

namespace {

// A finished run over a generated structure in which a quarter of the
// molecules carry a chlorine: their atoms find no earlier equal.
void finished_run(TestRun& t) {
  bench::GenOptions opts;
  opts.target_atoms = 1200;
  opts.seed = 3;
  opts.chloro = 0.25;
  opts.twist = true;
  vorn::test::write_generated(t, opts);
  ASSERT_EQ(vorn_main(t.run, {}), 0) << t.out.str();
}

}  // namespace

TEST(KappaIndex, FirstMatchIsTheAtomTheScanStopsAt) {
  TestRun t;
  finished_run(t);
  vorn::Run& run = t.run;
  KappaIndex index;
  int matched = 0, unmatched = 0, hydrogens = 0;
  for (int i = 2; i <= run.atoms.nat; ++i) {
    const std::string& group = run.except.group[static_cast<std::size_t>(i)];
    const int k = index.first_match(run, i, group);
    ASSERT_EQ(k, earlier_equivalent_scan(run, i, group)) << "atom " << i;
    (k > 0 ? matched : unmatched) += 1;
    if (k > 0 && run.atoms.iz[static_cast<std::size_t>(i)] == 1) ++hydrogens;
  }
  EXPECT_GT(matched, 1000);
  EXPECT_GT(unmatched, 10);
  EXPECT_GT(hydrogens, 500);
  // Asked again for earlier atoms (an atom set up a second time), the index
  // starts over and still answers as the scan.
  for (int i : {40, 7, 500}) {
    const std::string& group = run.except.group[static_cast<std::size_t>(i)];
    EXPECT_EQ(index.first_match(run, i, group), earlier_equivalent_scan(run, i, group)) << i;
  }
}

TEST(KappaIndex, ConstraintsSwitchedOffFindNoEarlierAtom) {
  TestRun t;
  finished_run(t);
  vorn::Run& run = t.run;
  int h = 0, c = 0;
  for (int i = 2; i <= run.atoms.nat && (h == 0 || c == 0); ++i)
    (run.atoms.iz[static_cast<std::size_t>(i)] == 1 ? h : c) = i;
  ASSERT_GT(earlier_equivalent(run, run.atoms.nat, run.except.group[static_cast<std::size_t>(run.atoms.nat)]), 0);
  run.ctl.lchem[1] = 0;
  EXPECT_EQ(earlier_equivalent(run, h + 66, run.except.group[static_cast<std::size_t>(h + 66)]), 0);
  EXPECT_EQ(earlier_equivalent_scan(run, h + 66, run.except.group[static_cast<std::size_t>(h + 66)]), 0);
  run.ctl.lchem[2] = 0;
  EXPECT_EQ(earlier_equivalent(run, c + 66, run.except.group[static_cast<std::size_t>(c + 66)]), 0);
}
