// Chemical equivalence of two atoms.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "model/run.hpp"

namespace vorn {

// 1 when atoms i and j are equivalent under the given switches.
int sameatoms(Run& run, int i, int j, int isym, int igroup, int isimple, int iring);

// The site symmetry the chemical rules gave the atom, before the crystal's
// site changed it (5 characters). Equivalence is judged on it: a site of
// the crystal makes two atoms neither alike nor different in kind, and the
// kappa sets shared by that rule keep their numbers.
std::string_view chemical_site_symmetry(const Run& run, int atom);

// The rule's site symmetry of an atom whose symmetry was reduced for a
// gross misfit, else its chemical site symmetry. Two atoms are equivalent
// only when both agree: a code reached by reduction describes another
// frame than the same code given by a rule.
std::string_view rule_site_symmetry(const Run& run, int atom);

// Why two atoms equivalent by sameatoms are still no equivalent pair of
// the centre they are bonded to: one in a ring of the centre and the other
// outside it (or in another of its rings), or bonds to the centre that
// differ by more than the pair tolerance of TOLS (two hydrogens excepted).
// Empty when they are a pair.
std::string pair_difference(Run& run, int centre, int a, int b);

struct NeighborPair {
  int a = 0;
  int b = 0;
};

// The equivalent pairs among neighbours of a centre (a before b in the
// order given): equivalent by sameatoms with the switches of the axis rules
// and by pair_difference. Sets of mutually equivalent atoms are kept whole
// (a neighbour alike to two others that differ from each other joins the
// one of closer bond length), so that the rules always see a partition.
// With listing, each pair and each refusal is written to the listing.
std::vector<NeighborPair> equivalent_pairs(Run& run, int centre, const std::vector<int>& neighbours, bool listing);

}  // namespace vorn
