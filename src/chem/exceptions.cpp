#include "chem/exceptions.hpp"

#include <algorithm>
#include <fstream>

#include "base/error.hpp"
#include "base/text.hpp"
#include "chem/group_rules.hpp"
#include "topology/neighbors.hpp"

namespace vorn {

namespace {

using groups::Family;
using groups::Outcome;

std::span<const Family> rule_set(int z) {
  switch (z) {
    case groups::H: return groups::hydrogen_families();
    case groups::C: return groups::carbon_families();
    case groups::N: return groups::nitrogen_families();
    case groups::O: return groups::oxygen_families();
    case groups::F: return groups::fluorine_families();
    case groups::P: return groups::phosphorus_families();
    case groups::S: return groups::sulphur_families();
    case groups::Cl: return groups::chlorine_families();
    case groups::Br: return groups::bromine_families();
    default: return {};
  }
}

void report_unknown(Run& run, std::string_view label) {
  to_lst(run, "(/' DetExcept :: Unknown ',a,' functional group'//' See file group.ang for more info...'/)"_f, label);
}

bool valid_atom(const Run& run, int i) {
  return i >= 1 && i <= run.cryst.ncryst && static_cast<std::size_t>(i) < run.except.flag.size() &&
         static_cast<std::size_t>(i) < run.except.group.size() && static_cast<std::size_t>(i) < run.neighbors.size();
}

std::string outside(const Run& run, int i) {
  return "atom index " + std::to_string(i) + " is outside the atom table (1.." + std::to_string(run.cryst.ncryst) + ")";
}

}  // namespace

void DetExcept(Run& run, int atom) {
  if (!valid_atom(run, atom)) err("DetExcept", outside(run, atom));
  const auto i = static_cast<std::size_t>(atom);
  run.except.flag[i] = 0;
  std::string& group = run.except.group[i];
  group.assign(40, ' ');

  groups::Env env(run, atom);
  for (const Family& family : rule_set(run.atoms.iz[i])) {
    if (!family.entry(env)) continue;
    run.except.flag[i] = 1;
    env.checking(family.label);
    const Outcome result = family.rules(env);
    switch (result.kind) {
      case Outcome::Name:
        pad_into(group, result.text, 40);
        break;
      case Outcome::Unknown:
        report_unknown(run, result.text);
        if (result.file) printgroup(run, atom);
        run.except.flag[i] = 0;
        break;
      case Outcome::None:
        run.except.flag[i] = 0;
        break;
      case Outcome::Kept:
        break;
    }
    return;
  }
}

void printgroup(Run& run, int atom) {
  if (!valid_atom(run, atom)) err("printgroup", outside(run, atom));
  const NeighborRec none;
  auto neighbours = [&](int j) -> std::vector<int> {
    const NeighborRec& r =
        j >= 1 && static_cast<std::size_t>(j) < run.neighbors.size() ? run.neighbors[static_cast<std::size_t>(j)] : none;
    const int n = std::min<int>(r.nnei, static_cast<int>(r.inei.size()) - 1);
    return n > 0 ? std::vector<int>(r.inei.begin() + 1, r.inei.begin() + 1 + n) : std::vector<int>{};
  };

  std::vector<int> list{atom};
  for (int j1 : neighbours(atom)) {
    for (int j2 : neighbours(j1)) {
      for (int j3 : neighbours(j2)) checkat(list, j3);
      checkat(list, j2);
    }
    checkat(list, j1);
  }

  std::ofstream f(run.output_path("group.ang"), std::ios::out | std::ios::trunc);
  if (!f) err("printgroup", "Cannot open file group.ang");
  ff::write(f, "('ANGSTROM')"_f);
  for (int k : list) {
    const auto u = static_cast<std::size_t>(k);
    ff::write(f, "('ATOM ',a,2x,3f12.4)"_f, run.atoms.label[u], run.atoms.xc[u]);
  }
  f.close();
  if (!f) err("printgroup", "Error while writing file group.ang");
}

int checkat(std::vector<int>& list, int j) {
  if (std::find(list.begin(), list.end(), j) != list.end()) return 1;
  list.push_back(j);
  return 0;
}

}  // namespace vorn
