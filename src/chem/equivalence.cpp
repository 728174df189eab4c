#include "chem/equivalence.hpp"

#include <algorithm>
#include <cmath>
#include <span>

#include "base/error.hpp"
#include "base/text.hpp"
#include "topology/neighbors.hpp"

namespace vorn {

namespace {

// The k-th type's reason, in the 40-character buffer the listing shows whole.
std::string type_reason(std::string_view text, int k) {
  std::string s = ff::format("(a,i2,a)"_f, text, k, "-th type");
  if (!s.empty() && s.back() == '\n') s.pop_back();
  return pad(s, 40);
}

// Empty when the atoms are equivalent, else the first difference found.
std::string difference(Run& run, int i, int j, int isym, int igroup, int isimple, int iring) {
  const auto ui = static_cast<std::size_t>(i), uj = static_cast<std::size_t>(j);
  if (run.atoms.iz[ui] != run.atoms.iz[uj]) return " Diff. atomic numbers";
  const NeighborRec& a = run.neighbors[ui];
  const NeighborRec& b = run.neighbors[uj];
  if (a.nnei != b.nnei) return " Diff. number of neighbors";
  if (isimple == 0) {
    if (a.ntype != b.ntype) return " Diff. number of neighbor types";
    for (int k = 1; k <= a.ntype; ++k) {
      if (at_or_zero(a.ztype, k) != at_or_zero(b.ztype, k)) return type_reason(" Diff. atomic numbers of ", k);
      if (at_or_zero(a.ntypenei, k) != at_or_zero(b.ntypenei, k)) return type_reason(" Diff. num. of nei. of ", k);
    }
    if (iring != 0 && isitcyclic(run, i).nsize != isitcyclic(run, j).nsize) return " Diff. ring memb numbers";
  }
  if (isym != 0 && (!same_padded(chemical_site_symmetry(run, i), chemical_site_symmetry(run, j), 5) ||
                    !same_padded(rule_site_symmetry(run, i), rule_site_symmetry(run, j), 5)))
    return " Diff. local symmetry";
  if (igroup != 0 && !same_padded(run.except.group[ui], run.except.group[uj], 40)) return " Diff. functional groups";
  return {};
}

bool valid_atom(const Run& run, int i) {
  const auto u = static_cast<std::size_t>(i);
  return i >= 1 && i <= run.cryst.ncryst && u < run.atoms.iz.size() && u < run.neighbors.size() && u < run.atoms.sitesym.size() &&
         u < run.except.group.size();
}

std::string outside(const Run& run, int i) {
  return "atom index " + std::to_string(i) + " is outside the atom table (1.." + std::to_string(run.cryst.ncryst) + ")";
}

}  // namespace

std::string_view chemical_site_symmetry(const Run& run, int atom) {
  const auto ui = static_cast<std::size_t>(atom);
  if (atom >= 1 && ui < run.site.chemical.size() && !run.site.chemical[ui].empty()) return run.site.chemical[ui];
  return run.atoms.sitesym[ui];
}

std::string_view rule_site_symmetry(const Run& run, int atom) {
  const auto ui = static_cast<std::size_t>(atom);
  if (atom >= 1 && ui < run.site_check.size() && run.site_check[ui].reduced) return run.site_check[ui].rule_code;
  return chemical_site_symmetry(run, atom);
}

std::string pair_difference(Run& run, int centre, int a, int b) {
  const std::vector<int> rings = rings_containing(run, centre);
  bool a_in = false, b_in = false, shared = false;
  for (int q : rings) {
    const bool ha = ring_holds(run, q, a), hb = ring_holds(run, q, b);
    a_in = a_in || ha;
    b_in = b_in || hb;
    shared = shared || (ha && hb);
  }
  if ((a_in || b_in) && !shared) {
    return a_in && b_in ? "in different rings of the atom" : "one in a ring of the atom, the other outside it";
  }
  // Bonds to hydrogen are single whatever their length, and X-ray H
  // positions scatter by more than the tolerance (EXTEND_H moves them to
  // one standard length later): their lengths tell no pair apart.
  if (run.atoms.iz[static_cast<std::size_t>(a)] == 1 && run.atoms.iz[static_cast<std::size_t>(b)] == 1) return {};
  const Vec3& c = run.atoms.xc[static_cast<std::size_t>(centre)];
  const float da = dist(run.atoms.xc[static_cast<std::size_t>(a)], c);
  const float db = dist(run.atoms.xc[static_cast<std::size_t>(b)], c);
  if (std::fabs(da - db) > run.ctl.pair_tol)
    return ff::format("('bond lengths ',f6.3,' and ',f6.3,' differ by more than ',f6.3,' Angstrom'$)"_f, da, db,
                      run.ctl.pair_tol);
  return {};
}

std::vector<NeighborPair> equivalent_pairs(Run& run, int centre, const std::vector<int>& neighbours, bool listing) {
  const std::size_t n = neighbours.size();
  std::vector<std::vector<char>> alike(n, std::vector<char>(n, 0));
  struct Candidate {
    std::size_t i, j;
    float diff;
  };
  std::vector<Candidate> candidates;
  const Vec3& c = run.atoms.xc[static_cast<std::size_t>(centre)];
  auto length = [&](std::size_t k) { return dist(run.atoms.xc[static_cast<std::size_t>(neighbours[k])], c); };
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = i + 1; j < n; ++j) {
      if (sameatoms(run, neighbours[i], neighbours[j], 0, 0, run.ctl.isimple, 0) != 1) continue;
      const std::string why = pair_difference(run, centre, neighbours[i], neighbours[j]);
      if (!why.empty()) {
        if (listing) to_lst(run, "(/a,2i6,a,a)"_f, " Not the same : ", neighbours[i], neighbours[j], "  ", why);
        continue;
      }
      alike[i][j] = alike[j][i] = 1;
      candidates.push_back({i, j, std::fabs(length(i) - length(j))});
    }
  // Sets grow from the closest bond lengths on; two sets join only when
  // every member of one is alike to every member of the other.
  std::stable_sort(candidates.begin(), candidates.end(),
                   [](const Candidate& x, const Candidate& y) { return x.diff < y.diff; });
  std::vector<std::size_t> set(n);
  for (std::size_t k = 0; k < n; ++k) set[k] = k;
  for (const Candidate& cand : candidates) {
    const std::size_t si = set[cand.i], sj = set[cand.j];
    if (si == sj) continue;
    bool all = true;
    for (std::size_t p = 0; p < n && all; ++p)
      for (std::size_t q = 0; q < n && all; ++q)
        if (set[p] == si && set[q] == sj && alike[p][q] == 0) all = false;
    if (!all) {
      if (listing)
        to_lst(run, "(/a,2i6,a)"_f, " Not the same : ", neighbours[cand.i], neighbours[cand.j],
               "  each is alike to a third atom that the other is not alike to");
      continue;
    }
    for (std::size_t k = 0; k < n; ++k)
      if (set[k] == sj) set[k] = si;
  }
  std::vector<NeighborPair> pairs;
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = i + 1; j < n; ++j)
      if (set[i] == set[j]) pairs.push_back({neighbours[i], neighbours[j]});
  return pairs;
}

int sameatoms(Run& run, int i, int j, int isym, int igroup, int isimple, int iring) {
  if (!valid_atom(run, i)) err("sameatoms", outside(run, i));
  if (!valid_atom(run, j)) err("sameatoms", outside(run, j));
  const std::string why = difference(run, i, j, isym, igroup, isimple, iring);
  if (run.ctl.iverb > 2) {
    to_lst(run, "(/' Checking if atoms ',a,' and ',a,' are chemically equivalent:')"_f,
           rtrim(run.atoms.label[static_cast<std::size_t>(i)]), rtrim(run.atoms.label[static_cast<std::size_t>(j)]));
    if (why.empty())
      to_lst(run, "(a)"_f, "  YES, these atoms are chemically equivalent !");
    else
      to_lst(run, "(3x,'atoms are NOT chemically equivalent : ',a)"_f, why);
  }
  return why.empty() ? 1 : 0;
}

}  // namespace vorn
