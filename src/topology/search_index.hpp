// Indexes that let the single-atom searches of the per-atom stage (bonded and
// radius searches, the coincidence test of generated atoms, ring membership)
// visit only what lies near the atom instead of the whole atom table.
//
// findallneighbors builds the index once the atom table is complete
// (fragment completion and ring search are done). From then on the index
// must see every change of a position: a stage that moves an atom calls
// atom_moved. Searches fall back to the plain scans when there is no index,
// or when the atom table has grown since it was built.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "model/run.hpp"
#include "topology/bonds.hpp"

namespace vorn {

// Atoms 1..n binned into cubic cells of the Cartesian frame.
class AtomGrid {
 public:
  // A grid that is not valid() when some position is not finite.
  AtomGrid(const Run& run, int n, double cell);
  bool valid() const { return valid_; }
  int count() const { return n_; }
  // Every atom whose position may lie within reach of p (a superset of those
  // whose float distance from p is at most reach), in increasing index order.
  void candidates(const Run& run, const Vec3& p, double reach, std::vector<int>& out) const;
  // The same atoms in no particular order, for searches whose result does
  // not depend on the order of their candidates.
  void near_atoms(const Run& run, const Vec3& p, double reach, std::vector<int>& out) const;
  // At least as many as the atoms candidates() would give for p and reach:
  // the atoms of the cells it visits, counted row by row without looking at
  // a single atom.
  std::size_t count_bound(const Vec3& p, double reach) const;
  // True when candidates() for p and reach can give no more than limit
  // atoms; false when count_bound() is above limit. The atoms of the box of
  // cells around the reach decide first, the rows of the sphere only when
  // the box holds too many.
  bool at_most(const Vec3& p, double reach, std::size_t limit) const;
  // Re-bins an atom after its position changed, leaving in `near` at least
  // the atoms near_atoms() gives for the new position and reach (which also
  // serve the twin flags).
  void moved(const Run& run, int atom, double reach, std::vector<int>& near);
  // False when no other atom lies within 0.01 A of the atom, so that it can
  // never be taken for a second atom on a listed site.
  bool may_share_site(int atom) const { return twin_[static_cast<std::size_t>(atom)] != 0; }

 private:
  int coord(double v, int d) const;
  std::size_t index(int ix, int iy, int iz) const;
  std::size_t row_of(int iy, int iz) const;  // the row of cells along x at (iy, iz)
  std::size_t cell_of(const Vec3& x) const;

  bool valid_ = false;
  int n_ = 0;
  double lo_[3]{};
  double s_ = 1;
  double margin_ = 0.01;
  int dim_[3]{1, 1, 1};
  // The atoms as binned when the grid was built, cell after cell (so that
  // the cells of a row along x form one range), in index order within a
  // cell; first_[c] is the first slot of cell c. An atom that later leaves
  // its cell leaves a 0 in its slot and goes to the strays of its new row.
  std::vector<int> first_;
  std::vector<int> slots_;
  std::vector<std::vector<int>> strays_;  // per row of cells along x
  std::vector<char> stray_;               // per atom: held by strays_
  // Per row of cells along x (one per y, z): the number of atoms in the
  // cells before each x, dim_[0] + 1 entries.
  std::vector<int> before_;
  void count_in_row(std::size_t cell, int delta);
  std::vector<std::size_t> where_;  // cell of each atom
  std::vector<Vec3> at_;            // position of each atom as binned
  std::vector<char> twin_;          // another atom lies within 0.01 A
  void mark_twins(const Run& run, const Vec3& p);
  void mark_twins_from(const Run& run, const Vec3& p, const std::vector<int>& near);
  char has_twin(const Run& run, int j, std::vector<int>& around) const;
  std::vector<int> near_, around_;           // scratch of mark_twins()
  mutable std::vector<std::uint64_t> bits_;  // scratch of candidates()
  mutable std::vector<double> gaps_;         // scratch of candidates(): per axis, squared gaps of the cells
  // The latest count_bound() and the count of row changes it saw.
  std::uint64_t counts_changed_ = 0;
  struct Bound {
    Vec3 p{};
    double reach = -1;
    std::uint64_t counts = 0;
    std::size_t total = 0;
  };
  mutable Bound bound_;
  // The latest box of cells at_most() counted.
  struct Box {
    std::array<int, 6> range{-1, -1, -1, -1, -1, -1};
    std::uint64_t counts = 0;
    std::size_t atoms = 0;
  };
  mutable Box box_;
};

// Working lists of one neighbour search, kept between searches so that their
// storage is reused.
struct SearchScratch {
  std::vector<int> heads;                    // first listed atom of each chain of distance bands
  std::vector<std::size_t> used_heads;       // the chains in use
  std::vector<int> chain;                    // listed atoms chained by distance band
  std::vector<std::pair<float, int>> order;  // (distance, atom) while sorting
  std::vector<std::pmr::vector<int>> spare_members;  // member lists of types, for reuse
};

struct SearchIndex {
  AtomGrid grid;
  // The bonded partners of each atom 1..n at the current positions: the
  // candidates of every bonded search, already in index order.
  BondTable bonds;
  // Rings containing each atom 1..n, in ring order (ring table fixed).
  std::vector<std::vector<int>> rings_of;
  int nor = 0;
  float rbig = 0;  // largest covalent radius among the atoms
  std::vector<int> scratch;  // candidate list of the latest search
  NeighborRec near;          // the list of the latest nearest-first search
  SearchScratch lists;       // working lists of the searches
  std::vector<int> moved_near, moved_old, moved_new;  // scratch of atom_moved()
  // Per atom: it moved, or an atom bonded to it (before or after) did, since
  // the neighbour table was built; its stored record may then differ from a
  // fresh bonded search.
  std::vector<char> touched;
  bool parts = false;  // some atom has a disorder part
};

// Builds run.index over atoms 1..ncryst and the current ring table; rbig is
// the largest covalent radius among the atoms (twice the widest bond is the cell).
void build_search_index(Run& run, float rbig);
// The index when it describes the current atom table, else nullptr.
SearchIndex* search_index(Run& run);
// Tells the index that the atom's Cartesian position changed: the grid
// re-bins it and the bond table gives it its new partners (and it them).
void atom_moved(Run& run, int atom);
// The atom's record in the neighbour table when it is still what a bonded
// search (GetNei with rmax 0) would list, else nullptr: neither the atom
// nor any atom bonded to it has moved since the table was built.
const NeighborRec* unchanged_bonds(Run& run, int atom);

}  // namespace vorn
