#include "structure/atom_types.hpp"

#include <gtest/gtest.h>

#include "support/builders.hpp"

namespace vorn {
namespace {

using test::TestRun;
using test::add_atom;

TEST(CollectTypes, DistinctElementsInOrderOfFirstAppearance) {
  TestRun t;
  // Glycine zwitterion, hydrogens listed between the heavy atoms.
  add_atom(t.run, "N1", Cart(0.000f, 0.000f, 0.000f));
  add_atom(t.run, "H1", Cart(-0.380f, 0.890f, 0.330f));
  add_atom(t.run, "C1", Cart(1.480f, 0.000f, 0.000f));
  add_atom(t.run, "H2", Cart(1.840f, -1.020f, 0.000f));
  add_atom(t.run, "C2", Cart(2.010f, 0.720f, 1.230f));
  add_atom(t.run, "O1", Cart(1.230f, 1.330f, 1.930f));
  add_atom(t.run, "O2", Cart(3.240f, 0.670f, 1.430f));
  collect_types(t.run);
  ASSERT_EQ(t.run.at_types.ntyp, 4);
  EXPECT_EQ(t.run.at_types.iz, (std::vector<int>{0, 7, 1, 6, 8}));

  TestRun empty;
  empty.run.at_types.ntyp = 3;  // left from an earlier reader
  collect_types(empty.run);
  EXPECT_EQ(empty.run.at_types.ntyp, 0);
  EXPECT_EQ(empty.run.at_types.iz.size(), 1u);
}

}  // namespace
}  // namespace vorn
