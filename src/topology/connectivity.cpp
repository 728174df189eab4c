#include "topology/connectivity.hpp"

#include <algorithm>
#include <fstream>
#include <string>

#include "base/elements.hpp"
#include "base/error.hpp"
#include "base/text.hpp"
#include "topology/bonds.hpp"

namespace vorn {

int eliminate(Run& run, int cycle, const BondTable& partners) {
  Newat& na = run.newat;
  Conmat& cm = run.conmat;
  const int n = na.n;
  // Position of every atom in the current list (0 when not in it).
  std::vector<int> pos(partners.size(), 0);
  for (int p = 1; p <= n; ++p) pos[static_cast<std::size_t>(na.idx[static_cast<std::size_t>(p)])] = p;

  cm.ncon.assign(static_cast<std::size_t>(n) + 1, 0);
  // The rows of the cycle before are refilled, keeping their storage.
  cm.icon.resize(static_cast<std::size_t>(n) + 1);
  for (auto& row : cm.icon) row.clear();
  for (int p = 1; p <= n; ++p) {
    const int a = na.idx[static_cast<std::size_t>(p)];
    // A partly occupied atom outside every disorder part has no partner it
    // is known to be seen with; an atom of a part has its part's.
    if (run.atoms1.flag[static_cast<std::size_t>(a)] == -1 && run.atoms1.part[static_cast<std::size_t>(a)] == 0) continue;
    auto& row = cm.icon[static_cast<std::size_t>(p)];
    const auto all = partners[static_cast<std::size_t>(a)];
    row.reserve(all.size());
    // Atom order and position order agree, so the partners stay ascending.
    for (int b : all)
      if (int q = pos[static_cast<std::size_t>(b)]; q != 0) row.push_back(q);
    cm.ncon[static_cast<std::size_t>(p)] = static_cast<int>(row.size());
  }
  if (cycle == 0 && run.ctl.iverb > 2) writeconn(run);

  std::vector<int> kept(1, 0);
  for (int p = 1; p <= n; ++p)
    if (cm.ncon[static_cast<std::size_t>(p)] > 1) kept.push_back(na.idx[static_cast<std::size_t>(p)]);
  const int removed = n - (static_cast<int>(kept.size()) - 1);
  if (removed > 0) {
    na.idx = std::move(kept);
    na.n = static_cast<int>(na.idx.size()) - 1;
  }
  return removed;
}

void writeconn(Run& run) {
  const Newat& na = run.newat;
  for (int p = 1; p <= na.n; ++p) {
    std::vector<std::string> labels;
    for (int q : run.conmat.icon[static_cast<std::size_t>(p)])
      labels.push_back(run.atoms.label[static_cast<std::size_t>(na.idx[static_cast<std::size_t>(q)])]);
    to_lst(run, "(i7,1x,a8,' -',10(1x,a8))"_f, p, run.atoms.label[static_cast<std::size_t>(na.idx[static_cast<std::size_t>(p)])],
           labels);
  }
}

namespace {

// Element symbol and list position without blanks (C12), so that every atom
// of the reduced list has a distinct name in a molecule viewer.
std::string position_label(const Run& run, int p, int a) {
  std::string s = ff::format("(a,i6)"_f, atsym(run.atoms.iz[static_cast<std::size_t>(a)]), p);
  s.erase(std::remove_if(s.begin(), s.end(), [](char c) { return c == ' ' || c == '\n'; }), s.end());
  return pad(s, 8);
}

void write_reduced(Run& run, const char* name, bool by_position) {
  std::ofstream f(run.output_path(name));
  if (!f) err("connect4rings", std::string("Unable to open file ") + name);
  ff::write(f, "(a)"_f, "ANGSTROM");
  for (int p = 1; p <= run.newat.n; ++p) {
    const int a = run.newat.idx[static_cast<std::size_t>(p)];
    const std::string label = by_position ? position_label(run, p, a) : run.atoms.label[static_cast<std::size_t>(a)];
    ff::write(f, "('ATOM ',a8,3f12.4)"_f, label, run.atoms.xc[static_cast<std::size_t>(a)]);
  }
  f.close();
  if (!f) err("connect4rings", std::string("Error writing file ") + name);
}

}  // namespace

void connect4rings(Run& run) {
  Newat& na = run.newat;
  na.n = run.cryst.ncryst;
  na.idx.resize(static_cast<std::size_t>(na.n) + 1);
  na.idx[0] = 0;
  for (int i = 1; i <= na.n; ++i) na.idx[static_cast<std::size_t>(i)] = i;

  to_lst(run, "(/a)"_f, std::string(80, '-'));
  to_both(run, "(/a)"_f, " CREATING CONNECTIVITY TABLE AND ELIMINATING OPEN ATOMS");

  const BondTable& partners = keep_bonds(run);
  for (int cycle = 0;; ++cycle) {
    to_both(run, "(/' **** ELIMINATION CYCLE =',i5,5x,'NUMBER OF ATOMS =',i7)"_f, cycle, na.n);
    const int removed = eliminate(run, cycle, partners);
    to_both(run, "(8x,'NUMBER OF ATOMS REMOVED FROM THE TABLE = ',i7)"_f, removed);
    if (removed == 0) break;
  }
  if (run.ctl.iverb > 1) {
    to_lst(run, "(/a)"_f, " CONNECTIVITY TABLE AFTER THE FINAL ELIMINATION CYCLE :");
    writeconn(run);
  }
  write_reduced(run, "reduced.ang", false);
  write_reduced(run, "reduced_1.ang", true);
}

}  // namespace vorn
