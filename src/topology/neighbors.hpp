// Bonded neighbours and radius searches.
//
// Every list here that is a table (run.neig, run.neighbors[i], run.isn) is
// 1-based with entry 0 unused. The tables and the lists of single searches
// grow with the structure: no count stops a run.
#pragma once

#include <ostream>
#include <vector>

#include "model/run.hpp"

namespace vorn {

// Atoms bonded to atom (rmax <= 0) or within rmax of it, into run.neig
// (count, indices and distances by increasing distance; types cleared);
// returns 1 when one of them is disordered.
int GetNei(Run& run, int atom, float rmax);
// GetNei, the listing when run.iprint is 1, and the grouping into types;
// returns GetNei's disorder flag.
int findnei(Run& run, int atom, float rmax);
// The first atom, in the order of the list GetNei(run, atom, rmax) would
// give (rmax > 0), that passes the test; 0 when none does. The same answer
// as a scan of that list, found by growing searches from near the atom while
// the grid can prove that the nearer part of the list is final; run.neig is
// left as it was unless the whole search had to be made (then it holds it).
template <class Test>
int first_neighbor(Run& run, int atom, float rmax, Test&& test);
// The neighbour table of every atom 1..ncryst and the neighbour report; the
// report fixes the member order of every type.
void findallneighbors(Run& run);
// The atom's neighbours in the order the axis rules use, into run.isn
// (1..nnei): atomic number descending, bond count ascending, distance ascending.
void SortNei(Run& run, int atom);
void prtatomnei(Run& run, int atom, std::ostream& os);
// The atom's neighbours (inei order) followed by the atom itself, as a plain
// 0-based list of nnei + 1 atom indices (ready for planarity).
std::vector<int> collectnei(const Run& run, int atom);

struct RingTest {
  int lcyc = 0;    // in a ring
  int l1plan = 0;  // in one planar ring
  int l2plan = 0;  // in two planar rings
  int iring = 0;   // the planar ring
  int nsize = 0;   // its size
};
RingTest isitcyclic(Run& run, int atom);
// The numbers of the rings that hold the atom, in ring-table order.
std::vector<int> rings_containing(Run& run, int atom);
// Whether ring q of the ring table holds the atom.
bool ring_holds(const Run& run, int q, int atom);

// A test of first_neighbor passed on without copying it: the callable and
// the one function that calls it.
class AtomTest {
 public:
  template <class Test>
  explicit AtomTest(const Test& test)
      : test_(&test), call_([](const void* t, int k) { return static_cast<bool>((*static_cast<const Test*>(t))(k)); }) {}
  bool operator()(int k) const { return call_(test_, k); }

 private:
  const void* test_;
  bool (*call_)(const void*, int);
};
int first_neighbor_of(Run& run, int atom, float rmax, AtomTest test);

template <class Test>
int first_neighbor(Run& run, int atom, float rmax, Test&& test) {
  return first_neighbor_of(run, atom, rmax, AtomTest(test));
}

}  // namespace vorn
