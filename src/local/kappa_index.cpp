#include "local/kappa_index.hpp"

#include "chem/equivalence.hpp"
#include "control/text.hpp"
#include "local/neighbors.hpp"
#include "local/search_index.hpp"

namespace vorn {

namespace {

template <class T>
T at_or_zero(const std::vector<T>& v, int k) {
  return k >= 0 && static_cast<std::size_t>(k) < v.size() ? v[static_cast<std::size_t>(k)] : T{};
}

void put(std::string& key, long long v) {
  key += std::to_string(v);
  key += ',';
}

// What sameatoms compares with every switch on but the simple model: element,
// bonds, neighbour types, ring size, site symmetry, group name.
std::string heavy_signature(Run& run, int k, const std::string& group) {
  const auto uk = static_cast<std::size_t>(k);
  const NeighborRec& r = run.neighbors[uk];
  std::string key;
  put(key, run.atoms.iz[uk]);
  put(key, r.nnei);
  put(key, r.ntype);
  for (int t = 1; t <= r.ntype; ++t) {
    put(key, at_or_zero(r.ztype, t));
    put(key, at_or_zero(r.ntypenei, t));
  }
  put(key, isitcyclic(run, k).nsize);
  key += pad(run.atoms.sitesym[uk], 5);
  key += '|';
  key += pad(group, 40);
  return key;
}

// What the hydrogen rule compares: scattering table, parent description and
// the group name as stored.
std::string hydrogen_signature(const Run& run, int k, const std::string& group) {
  const auto uk = static_cast<std::size_t>(k);
  std::string key;
  put(key, run.atoms1.isft[uk]);
  for (int v : run.forh[uk]) put(key, v);
  key += group;
  return key;
}

}  // namespace

void KappaIndex::add(Run& run, int k) {
  const std::string& group = run.except.group[static_cast<std::size_t>(k)];
  heavy_.try_emplace(heavy_signature(run, k, group), k);
  hydrogen_.try_emplace(hydrogen_signature(run, k, group), k);
}

int KappaIndex::first_match(Run& run, int i, const std::string& group) {
  // Atoms set up again (a second pass over an atom) may have changed: start over.
  if (added_ > i - 1) {
    heavy_.clear();
    hydrogen_.clear();
    added_ = 0;
  }
  while (added_ < i - 1) add(run, ++added_);
  const bool hydrogen = run.atoms.iz[static_cast<std::size_t>(i)] == 1;
  const auto& table = hydrogen ? hydrogen_ : heavy_;
  auto it = table.find(hydrogen ? hydrogen_signature(run, i, group) : heavy_signature(run, i, group));
  return it == table.end() ? 0 : it->second;
}

int earlier_equivalent_scan(Run& run, int i, const std::string& group) {
  const bool hydrogen = run.atoms.iz[static_cast<std::size_t>(i)] == 1;
  const int tbl = run.atoms1.isft[static_cast<std::size_t>(i)];
  for (int k = 1; k < i; ++k) {
    bool match;
    if (hydrogen) {
      if (run.ctl.lchem[1] == 0) break;
      match = run.atoms1.isft[k] == tbl && run.forh[static_cast<std::size_t>(k)] == run.forh[static_cast<std::size_t>(i)] &&
              run.except.group[static_cast<std::size_t>(k)] == group;
    } else {
      if (run.ctl.lchem[2] == 0) break;
      match = sameatoms(run, i, k, 1, 1, 0, 1) == 1;
    }
    if (match) return k;
  }
  return 0;
}

int earlier_equivalent(Run& run, int i, const std::string& group) {
  const bool hydrogen = run.atoms.iz[static_cast<std::size_t>(i)] == 1;
  if (run.ctl.lchem[hydrogen ? 1 : 2] == 0) return 0;
  SearchIndex* idx = run.plain_scans || run.ctl.iverb > 2 ? nullptr : search_index(run);
  // Without an index, or where the listing shows each comparison, scan.
  if (idx == nullptr || i < 1 || i > run.atoms.nat) return earlier_equivalent_scan(run, i, group);
  return idx->kappa.first_match(run, i, group);
}

}  // namespace vorn
