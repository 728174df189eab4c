#include "output/misfit_list.hpp"

#include "base/text.hpp"

namespace vorn {

std::optional<float> site_misfit(const Run& run, int atom) {
  const auto u = static_cast<std::size_t>(atom);
  if (atom < 1 || u >= run.site_check.size() || !run.site_check[u].checked) return std::nullopt;
  return run.site_check[u].misfit;
}

std::vector<int> misfit_atoms(const Run& run) {
  std::vector<int> out;
  for (int i = 1; i <= run.atoms.nat; ++i)
    if (const auto m = site_misfit(run, i); m && *m > run.ctl.tol2) out.push_back(i);
  return out;
}

void print_misfit_list(Run& run, const std::vector<int>& atoms) {
  to_lst(run, "(/a)"_f, std::string(80, '-'));
  if (atoms.empty()) {
    to_lst(run, "(/' Site-symmetry check : no atom has a misfit above the ring tolerance of ',f6.3,' Angstrom')"_f,
           run.ctl.tol2);
    return;
  }
  to_lst(run, "(/' Site-symmetry check : atoms with a misfit above the ring tolerance of ',f6.3,' Angstrom'/)"_f,
         run.ctl.tol2);
  to_lst(run, "(a)"_f, "      NO  ATOM      SITESYM  MISFIT (A)");
  for (int i : atoms)
    to_lst(run, "(j8,2x,a8,2x,a5,f12.3)"_f, i, run.atoms.label[static_cast<std::size_t>(i)],
           run.atoms.sitesym[static_cast<std::size_t>(i)], *site_misfit(run, i));
}

}  // namespace vorn
