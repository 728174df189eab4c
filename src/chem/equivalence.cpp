#include "chem/equivalence.hpp"

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
  if (isym != 0 && !same_padded(chemical_site_symmetry(run, i), chemical_site_symmetry(run, j), 5))
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
