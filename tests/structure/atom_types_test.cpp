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

// A label gives the element by its first two letters: HO1 is holmium, NO1
// nobelium. Each element beyond xenon read so is named once, with its atoms;
// the light elements pass without a word.
TEST(CollectTypes, HeavyElementsFromLabelsAreNamed) {
  TestRun t;
  for (const char* label : {"O1", "HO1", "C1", "NO1", "HO2", "PT1", "HO3", "HO4", "HO5", "HO6", "CL1", "CO1"})
    add_atom(t.run, label, Cart(0, 0, 0));
  collect_types(t.run);
  EXPECT_EQ(t.run.at_types.iz, (std::vector<int>{0, 8, 67, 6, 102, 78, 17, 27}));
  const std::string want =
      " WARNING: 6 atoms (HO1, HO2, HO3, HO4, HO5, ...) are read as Ho (Z = 67), from the first two letters of their "
      "labels\n"
      " WARNING: atom NO1 is read as No (Z = 102), from the first two letters of its label\n"
      " WARNING: atom PT1 is read as Pt (Z = 78), from the first two letters of its label\n";
  EXPECT_EQ(t.out.str(), want);
  EXPECT_EQ(t.lst.str(), want);
}

}  // namespace
}  // namespace vorn
