// The functional-group rule tables behind DetExcept.
//
// Each element has one table of families, tried in order. A family is a row:
// the label printed when it is entered, the entry condition, and the rules
// that give the outcome. The first family whose entry condition holds is the
// only one that runs. The rules only look at connectivity (elements and
// counts of neighbours, their neighbours, ring membership, planarity), never
// at bond lengths, so a distorted structure is classified like a clean one.
#pragma once

#include <initializer_list>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "model/run.hpp"
#include "topology/neighbors.hpp"

namespace vorn::groups {

enum Element : int { H = 1, B = 5, C = 6, N = 7, O = 8, F = 9, P = 15, S = 16, Cl = 17, Zn = 30, Br = 35 };

struct Outcome {
  enum Kind { Name, Unknown, None, Kept };
  Kind kind = None;
  std::string_view text;  // group name (Name) or the label of the message (Unknown)
  bool file = false;      // Unknown: also write group.ang
};

// A recognised group: stored, flag stays 1.
constexpr Outcome named(std::string_view group) { return {Outcome::Name, group, false}; }
// The check started but the group has no name: message only.
constexpr Outcome unknown(std::string_view label) { return {Outcome::Unknown, label, false}; }
// The same, and the fragment goes to group.ang for the user to look at.
constexpr Outcome unknown_file(std::string_view label) { return {Outcome::Unknown, label, true}; }
// No group, no message: the flag goes back to 0.
constexpr Outcome none() { return {Outcome::None, {}, false}; }
// No group name, but the atom stays flagged as an exception.
constexpr Outcome kept() { return {Outcome::Kept, {}, false}; }

struct TypeCount {
  int z;
  int count;
};

// What the rules may ask about the atom under test and the atoms around it.
// Every query answers 0 (or false) for an atom index of 0, so a missing
// neighbour never reads outside the neighbour table.
class Env {
 public:
  Env(Run& run, int atom) : run(run), a(atom) {}

  Run& run;
  const int a;  // the atom under test

  int z(int i) const;
  int n(int i) const;                      // number of bonded neighbours
  int nei(int i, int k) const;             // k-th neighbour in neighbour order, 0 when none
  std::vector<int> neighbours(int i) const;

  // Neighbour types, by increasing atomic number; 0 when there is no such type.
  int ntype(int i) const;
  int type_z(int i, int k) const;
  int type_n(int i, int k) const;
  int member(int i, int k, int m) const;  // m-th atom of the k-th type, stored order
  int lightest(int i) const { return type_z(i, 1); }
  int second(int i) const { return type_z(i, 2); }
  int heaviest(int i) const { return type_z(i, ntype(i)); }
  bool lightest_is(int i, int el, int count) const { return type_z(i, 1) == el && type_n(i, 1) == count; }
  bool heaviest_is(int i, int el, int count) const {
    return heaviest(i) == el && type_n(i, ntype(i)) == count;
  }
  // Exactly these types with these counts, listed by increasing atomic number.
  bool types_are(int i, std::initializer_list<TypeCount> types) const;
  // Exactly these elements among the neighbours, any counts.
  bool elements_are(int i, std::initializer_list<int> elements) const;
  // Every neighbour is H or C.
  bool only_h_or_c(int i) const;

  std::vector<int> of_element(int i, int el) const;  // atoms of that type, stored order
  int count_of(int i, int el) const;
  int first_of(int i, int el) const;  // first neighbour of that element in neighbour order
  int other(int i, int besides) const;               // first neighbour of i other than besides
  int other_of_element(int i, int el, int besides) const;
  int sum_n(const std::vector<int>& atoms) const;

  RingTest ring(int i) const;
  const RingTest& ring_a() const;  // ring test of the atom under test, made once
  // In exactly one planar ring (an atom of two fused planar rings does not count).
  static bool in_planar_ring(const RingTest& r) { return r.lcyc == 1 && r.l1plan == 1; }
  // In the same planar ring as the atom under test.
  bool in_ring_of_a(const RingTest& r) const { return in_planar_ring(r) && r.iring == ring_a().iring; }
  bool a_in_planar_ring() const { return in_planar_ring(ring_a()); }

  // The atom together with its bonded neighbours lies in a plane (group tolerance).
  bool planar_with_neighbours(int i, bool print) const;

  // " DetExcept :: checking <label> group..." after a blank line.
  void checking(std::string_view label) const;
  // A diagnostic line in list-directed style: the text and the integers.
  void note(std::string_view text, std::initializer_list<int> values = {}) const;

 private:
  const NeighborRec* rec(int i) const;
  mutable std::optional<RingTest> ring_a_;
};

struct Family {
  std::string_view label;
  bool (*entry)(const Env&);
  Outcome (*rules)(Env&);
};

// The rule set of each element, families in the order they are tried.
std::span<const Family> hydrogen_families();
std::span<const Family> carbon_families();
std::span<const Family> nitrogen_families();
std::span<const Family> oxygen_families();
std::span<const Family> phosphorus_families();
std::span<const Family> sulphur_families();
std::span<const Family> fluorine_families();
std::span<const Family> chlorine_families();
std::span<const Family> bromine_families();

}  // namespace vorn::groups
