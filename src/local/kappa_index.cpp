#include "local/kappa_index.hpp"

#include <algorithm>
#include <memory>
#include <span>

#include "base/text.hpp"
#include "chem/equivalence.hpp"
#include "topology/neighbors.hpp"
#include "topology/search_index.hpp"

namespace vorn {

namespace {

// Numbers go in as their bytes: every field has a fixed width or a count
// before it, so equal keys mean equal fields.
void put(std::string& key, int v) { key.append(reinterpret_cast<const char*>(&v), sizeof v); }

void put_padded(std::string& key, std::string_view s, std::size_t n) {
  const std::size_t m = std::min(s.size(), n);
  key.append(s.data(), m);
  key.append(n - m, ' ');
}

// What sameatoms compares with every switch on but the simple model: element,
// bonds, neighbour types, ring size, site symmetry, group name.
void heavy_signature(Run& run, int k, const std::string& group, std::string& key) {
  const auto uk = static_cast<std::size_t>(k);
  const NeighborRec& r = run.neighbors[uk];
  key.clear();
  put(key, run.atoms.iz[uk]);
  put(key, r.nnei);
  put(key, r.ntype);
  for (int t = 1; t <= r.ntype; ++t) {
    put(key, at_or_zero(r.ztype, t));
    put(key, at_or_zero(r.ntypenei, t));
  }
  put(key, isitcyclic(run, k).nsize);
  put_padded(key, chemical_site_symmetry(run, k), 5);
  put_padded(key, rule_site_symmetry(run, k), 5);
  put_padded(key, group, 40);
}

// What the hydrogen rule compares: scattering table, parent description and
// the group name as stored.
void hydrogen_signature(const Run& run, int k, const std::string& group, std::string& key) {
  const auto uk = static_cast<std::size_t>(k);
  key.clear();
  put(key, run.atoms1.isft[uk]);
  const auto& parent = run.forh[uk];
  put(key, static_cast<int>(parent.size()));
  for (int v : parent) put(key, v);
  key += group;
}

}  // namespace

void KappaIndex::add(Run& run, int k) {
  const auto uk = static_cast<std::size_t>(k);
  const std::string& group = run.except.group[uk];
  // The element is part of the heavy-atom key, and only non-hydrogens look
  // that table up, so a hydrogen there could never be found.
  if (run.atoms.iz[uk] != 1) {
    heavy_signature(run, k, group, key_);
    heavy_.try_emplace(key_, k);
  }
  hydrogen_signature(run, k, group, key_);
  hydrogen_.try_emplace(key_, k);
}

int KappaIndex::first_match(Run& run, int i, const std::string& group) {
  // Atoms set up again (a second pass over an atom) may have changed: start over.
  if (added_ > i - 1) {
    heavy_.clear();
    hydrogen_.clear();
    added_ = 0;
  }
  while (added_ < i - 1) add(run, ++added_);
  // Atom i is set up by now: its own signatures go in with the lookup, the
  // one it is looked up by only when no earlier atom has it (and only when
  // it is looked up by its own group name).
  const auto ui = static_cast<std::size_t>(i);
  const bool hydrogen = run.atoms.iz[ui] == 1;
  auto& table = hydrogen ? hydrogen_ : heavy_;
  if (hydrogen)
    hydrogen_signature(run, i, group, key_);
  else
    heavy_signature(run, i, group, key_);
  const std::string& own = run.except.group[ui];
  if (&group != &own && group != own) {
    const auto it = table.find(key_);
    const int found = it == table.end() ? 0 : it->second;
    add(run, ++added_);
    return found;
  }
  const auto [it, fresh] = table.try_emplace(key_, i);
  const int found = fresh ? 0 : it->second;
  if (!hydrogen) {
    hydrogen_signature(run, i, group, key_);
    hydrogen_.try_emplace(key_, i);
  }
  added_ = i;
  return found;
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
  if (!run.kappa_index) run.kappa_index = std::make_shared<KappaIndex>();
  return run.kappa_index->first_match(run, i, group);
}

}  // namespace vorn
