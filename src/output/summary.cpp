#include "output/summary.hpp"

#include <string>

#include "output/misfit_list.hpp"

namespace vorn {

namespace {

// Most summary lines reach the terminal before the listing.
void out_then_lst(Run& run, std::string_view fmt, std::string_view text) {
  std::string s = ff::format(fmt, text);
  run.out << s;
  *run.lst << s;
}

}  // namespace

void print_summary(Run& run, bool parameter_files) {
  const bool extend_h = run.ctl.iextH != 0;
  to_lst(run, "(/a)", std::string(80, '-'));
  to_both(run, "(/a)", " XD instructions are in file            : xd_vorn.mas");
  if (parameter_files) out_then_lst(run, "(a)", " XD parameters are in file              : xd_vorn.inp");
  if (extend_h) {
    out_then_lst(run, "(a)", " Atomic coordinates w/extended H-atoms  : fixedH.ins");
    out_then_lst(run, "(a)", " RESET BOND instructions for H-atoms    : reset.bond");
    out_then_lst(run, "(a)", " CONSTRAINT instructions for H-atoms    : const.bond");
  }
  out_then_lst(run, "(a)", " Cartesian coordinates in PLATON format : vorn.ang");
  out_then_lst(run, "(a)", " Reduced structure in PLATON format     : reduced.ang & reduced_1.ang");
  out_then_lst(run, "(a)", " PLATON plot file with local axes       : vorn.spf");
  if (run.model_record) {
    out_then_lst(run, "(a)", " JSON record of the model set-up        : vorn.json");
    out_then_lst(run, "(a)", " Interactive page of the local axes     : vorn.html");
  }
  const std::size_t misfits = misfit_atoms(run).size();
  if (misfits == 0)
    out_then_lst(run, "(a)", " Atoms failing the site-symmetry check  : no atom");
  else
    out_then_lst(run, "(a)",
                 " Atoms failing the site-symmetry check  : " + std::to_string(misfits) + (misfits == 1 ? " atom" : " atoms") + ", listed at the end of vorn.out");
  out_then_lst(run, "(a)", " Program log file                       : vorn.out");
  out_then_lst(run, "(/a)", " Local axes can be visualized in PLATON using command : platon -p vorn.spf");
  if (run.ctl.idb != 0) out_then_lst(run, "(a)", " Summary of DB atom types : grep 'DB comment' vorn.out");
  if (extend_h) out_then_lst(run, "(a)", " Summary of X-H distances : grep -i 'x-h' vorn.out");
  out_then_lst(run, "(a)", " Summary of exceptions    : grep -i 'Exception identified' vorn.out");
}

}  // namespace vorn
