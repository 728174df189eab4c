#include "output/summary.hpp"

#include <string>

#include "output/misfit_list.hpp"

namespace vorn {

namespace {

// Most summary lines reach the terminal before the listing.
void out_then_lst(Run& run, const ff::Format& fmt, std::string_view text) {
  std::string s = ff::format(fmt, text);
  run.out << s;
  *run.lst << s;
}

}  // namespace

void print_summary(Run& run, bool parameter_files) {
  const bool extend_h = run.ctl.iextH != 0;
  to_lst(run, "(/a)"_f, std::string(80, '-'));
  to_both(run, "(/a)"_f, " XD instructions are in file            : xd_vorn.mas");
  if (parameter_files) out_then_lst(run, "(a)"_f, " XD parameters are in file              : xd_vorn.inp");
  if (parameter_files && run.rho_cif) out_then_lst(run, "(a)"_f, " Multipole model in rhoCIF format       : vorn_rho.cif");
  if (extend_h) {
    out_then_lst(run, "(a)"_f, " Atomic coordinates w/extended H-atoms  : fixedH.ins");
    out_then_lst(run, "(a)"_f, " RESET BOND instructions for H-atoms    : reset.bond");
    out_then_lst(run, "(a)"_f, " CONSTRAINT instructions for H-atoms    : const.bond");
  }
  out_then_lst(run, "(a)"_f, " Cartesian coordinates in PLATON format : vorn.ang");
  out_then_lst(run, "(a)"_f, " Reduced structure in PLATON format     : reduced.ang & reduced_1.ang");
  out_then_lst(run, "(a)"_f, " PLATON plot file with local axes       : vorn.spf");
  if (run.model_record) {
    out_then_lst(run, "(a)"_f, " JSON record of the model set-up        : vorn.json");
    out_then_lst(run, "(a)"_f, " Interactive page of the local axes     : vorn.html");
  }
  const std::size_t misfits = misfit_atoms(run).size();
  if (misfits == 0)
    out_then_lst(run, "(a)"_f, " Atoms failing the site-symmetry check  : no atom");
  else
    out_then_lst(run, "(a)"_f,
                 " Atoms failing the site-symmetry check  : " + std::to_string(misfits) + (misfits == 1 ? " atom" : " atoms") + ", listed at the end of vorn.out");
  const std::size_t reduced = reduced_atoms(run).size();
  if (reduced > 0)
    out_then_lst(run, "(a)"_f,
                 " Site symmetries reduced (gross misfit) : " + std::to_string(reduced) + (reduced == 1 ? " atom" : " atoms") + ", listed at the end of vorn.out");
  out_then_lst(run, "(a)"_f, " Program log file                       : vorn.out");
  out_then_lst(run, "(/a)"_f, " Local axes can be visualized in PLATON using command : platon -p vorn.spf");
  if (run.ctl.idb != 0) out_then_lst(run, "(a)"_f, " Summary of DB atom types : grep 'DB comment' vorn.out");
  if (extend_h) out_then_lst(run, "(a)"_f, " Summary of X-H distances : grep -i 'x-h' vorn.out");
  out_then_lst(run, "(a)"_f, " Summary of exceptions    : grep -i 'Exception identified' vorn.out");
}

}  // namespace vorn
