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

std::vector<int> reduced_atoms(const Run& run) {
  std::vector<int> out;
  for (int i = 1; i <= run.atoms.nat; ++i)
    if (const auto u = static_cast<std::size_t>(i); u < run.site_check.size() && run.site_check[u].reduced)
      out.push_back(i);
  return out;
}

namespace {

void print_reduced(Run& run) {
  const std::vector<int> atoms = reduced_atoms(run);
  if (atoms.empty()) {
    to_lst(run, "(/' Site symmetries reduced : none misfits its neighbours by more than the limit of ',f6.3,' Angstrom')"_f,
           run.ctl.misfit_limit);
    return;
  }
  to_lst(run, "(/' Site symmetries reduced : the rule''s symmetry misfits the neighbours by more than the limit of ',"
              "f6.3,' Angstrom'/)"_f,
         run.ctl.misfit_limit);
  to_lst(run, "(a)"_f, "      NO  ATOM      RULE   MISFIT (A)  USED   MISFIT (A)");
  for (int i : atoms) {
    const SiteCheck& c = run.site_check[static_cast<std::size_t>(i)];
    to_lst(run, "(j8,2x,a8,2x,a5,f12.3,2x,a5,f12.3)"_f, i, run.atoms.label[static_cast<std::size_t>(i)],
           pad(c.rule_code, 5), c.rule_misfit, run.atoms.sitesym[static_cast<std::size_t>(i)], c.misfit);
  }
}

}  // namespace

void print_misfit_list(Run& run, const std::vector<int>& atoms) {
  to_lst(run, "(/a)"_f, std::string(80, '-'));
  if (atoms.empty()) {
    to_lst(run, "(/' Site-symmetry check : no atom has a misfit above the ring tolerance of ',f6.3,' Angstrom')"_f,
           run.ctl.tol2);
    print_reduced(run);
    return;
  }
  to_lst(run, "(/' Site-symmetry check : atoms with a misfit above the ring tolerance of ',f6.3,' Angstrom'/)"_f,
         run.ctl.tol2);
  to_lst(run, "(a)"_f, "      NO  ATOM      SITESYM  MISFIT (A)");
  for (int i : atoms)
    to_lst(run, "(j8,2x,a8,2x,a5,f12.3)"_f, i, run.atoms.label[static_cast<std::size_t>(i)],
           run.atoms.sitesym[static_cast<std::size_t>(i)], *site_misfit(run, i));
  print_reduced(run);
}

}  // namespace vorn
