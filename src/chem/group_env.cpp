#include <algorithm>
#include <span>
#include <string>

#include "chem/group_rules.hpp"
#include "topology/planarity.hpp"

namespace vorn::groups {

const NeighborRec* Env::rec(int i) const {
  if (i < 1 || static_cast<std::size_t>(i) >= run.neighbors.size()) return nullptr;
  return &run.neighbors[static_cast<std::size_t>(i)];
}

int Env::z(int i) const {
  if (i < 1 || static_cast<std::size_t>(i) >= run.atoms.iz.size()) return 0;
  return run.atoms.iz[static_cast<std::size_t>(i)];
}

int Env::n(int i) const {
  const NeighborRec* r = rec(i);
  return r ? r->nnei : 0;
}

int Env::nei(int i, int k) const {
  const NeighborRec* r = rec(i);
  if (!r || k < 1 || k > r->nnei) return 0;
  return at_or_zero(r->inei, k);
}

std::vector<int> Env::neighbours(int i) const {
  std::vector<int> out;
  for (int k = 1; k <= n(i); ++k) out.push_back(nei(i, k));
  return out;
}

int Env::ntype(int i) const {
  const NeighborRec* r = rec(i);
  return r ? r->ntype : 0;
}

int Env::type_z(int i, int k) const {
  const NeighborRec* r = rec(i);
  if (!r || k < 1 || k > r->ntype) return 0;
  return at_or_zero(r->ztype, k);
}

int Env::type_n(int i, int k) const {
  const NeighborRec* r = rec(i);
  if (!r || k < 1 || k > r->ntype) return 0;
  return at_or_zero(r->ntypenei, k);
}

int Env::member(int i, int k, int m) const {
  const NeighborRec* r = rec(i);
  if (!r || k < 1 || k > r->ntype || m < 1 || m > type_n(i, k)) return 0;
  if (static_cast<std::size_t>(k) >= r->itypenei.size()) return 0;
  return at_or_zero(r->itypenei[static_cast<std::size_t>(k)], m);
}

bool Env::types_are(int i, std::initializer_list<TypeCount> types) const {
  if (ntype(i) != static_cast<int>(types.size())) return false;
  int k = 0;
  for (const TypeCount& t : types) {
    ++k;
    if (type_z(i, k) != t.z || type_n(i, k) != t.count) return false;
  }
  return true;
}

bool Env::elements_are(int i, std::initializer_list<int> elements) const {
  if (ntype(i) != static_cast<int>(elements.size())) return false;
  for (int el : elements)
    if (count_of(i, el) == 0) return false;
  return true;
}

bool Env::only_h_or_c(int i) const {
  for (int k = 1; k <= ntype(i); ++k)
    if (type_z(i, k) != H && type_z(i, k) != C) return false;
  return true;
}

std::vector<int> Env::of_element(int i, int el) const {
  std::vector<int> out;
  for (int k = 1; k <= ntype(i); ++k) {
    if (type_z(i, k) != el) continue;
    for (int m = 1; m <= type_n(i, k); ++m) out.push_back(member(i, k, m));
  }
  return out;
}

int Env::count_of(int i, int el) const {
  for (int k = 1; k <= ntype(i); ++k)
    if (type_z(i, k) == el) return type_n(i, k);
  return 0;
}

int Env::first_of(int i, int el) const {
  for (int k = 1; k <= n(i); ++k)
    if (z(nei(i, k)) == el) return nei(i, k);
  return 0;
}

int Env::other(int i, int besides) const {
  for (int k = 1; k <= n(i); ++k)
    if (nei(i, k) != besides) return nei(i, k);
  return 0;
}

int Env::other_of_element(int i, int el, int besides) const {
  for (int j : of_element(i, el))
    if (j != besides) return j;
  return 0;
}

int Env::sum_n(const std::vector<int>& atoms) const {
  int s = 0;
  for (int j : atoms) s += n(j);
  return s;
}

RingTest Env::ring(int i) const {
  if (i < 1) return {};
  return isitcyclic(run, i);
}

const RingTest& Env::ring_a() const {
  if (!ring_a_) ring_a_ = ring(a);
  return *ring_a_;
}

bool Env::planar_with_neighbours(int i, bool print) const {
  std::vector<int> list = collectnei(run, i);
  // An atom with fewer than two neighbours forms no group to fit; the rules
  // only ask about atoms with three neighbours.
  if (list.size() <= 2) return false;
  return planarity(run, print ? 1 : 0, list, 3) == 1;
}

void Env::checking(std::string_view label) const {
  to_lst(run, "(/' DetExcept :: checking ',a,' group...')"_f, label);
}

void Env::note(std::string_view text, std::initializer_list<int> values) const {
  std::vector<int> v(values);
  to_lst(run, "(1x,a,100i12)"_f, text, v);
}

}  // namespace vorn::groups
