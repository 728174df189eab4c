#include "output/xd_param.hpp"

#include <string>

#include "base/text.hpp"
#include "output/populations.hpp"

namespace vorn {

namespace {

constexpr std::string_view kRoutine = "write_xd_inp";

void write_head(Run& run, int nkap, int ndum) {
  std::ostream& os = *run.inp;
  const std::string bangs(80, '!');
  ff::write(os, "(a)"_f, bangs);
  ff::write(os, "(a)"_f, "!                   CREATED BY PROGRAM << VORN >>");
  ff::write(os, "(a)"_f, bangs);
  ff::write(os, "(a)"_f, "XDPARFILE VERSION  2");
  ff::write(os, "(2x,a,a)"_f, rtrim(run.amodel), "   MODEL  4  2  1  0");
  ff::write(os, "(a)"_f, "LIMITS nat 300 ntx 31 lmx 4 nzz 30 nto 0 nsc 20 ntb 20 nov 2500");
  ff::write(os, "('USAGE ',j4,' 2 4 ',j4,' 0 1 0 0 ',j4,' 0 0 0 0 ',j4)"_f, run.atoms.nat, nkap, run.nsft, ndum);
  ff::write(os, "(8f10.6)"_f, std::array<float, 14>{});
  for (int j = 1; j <= ndum; ++j) ff::write(os, "(3f13.6)"_f, run.dummy.x[static_cast<std::size_t>(j)]);
}

void write_atom(Run& run, int i, bool fixed_h, const SingleU& single_u) {
  const auto k = static_cast<std::size_t>(i);
  const Mpole& mp = run.mpoles[k];
  const std::string label = pad(run.atoms.label[k], 8);
  const Vec3 xf = written_position(run, i);
  const float occ = run.atoms1.occ[k];
  std::ostream& os = *run.inp;
  ff::write(os, "(a,2j3,3(1x,j4),2x,6(1x,j4),3f9.5,f8.4)"_f, label, mp.ax1, mp.ax2, mp.atom0, mp.atom1, mp.atom2, mp.tp,
            mp.tbl, mp.kap, mp.lmx, mp.one, 0, xf, occ);  // no chemical constraint code for XD
  ff::write(os, "(6f10.6)"_f, run.at_uij[k]);
  ff::write(os, "(10f8.4)"_f, xd_populations(mp));
  if (fixed_h)
    ff::write(*run.fixh, "(a,1x,j4,2x,3f12.6,2x,f10.5,1x,f8.4)"_f, label, run.atoms1.isft[k], xf, occ, single_u(i));
}

void write_tail(Run& run, int nkap) {
  std::ostream& os = *run.inp;
  const Kappas& ks = run.kappas;
  for (int j = 1; j <= nkap; ++j) {
    const auto k = static_cast<std::size_t>(j);
    const float kp = ks.kappap[k];
    ff::write(os, "(j3,6f10.6)"_f, ks.nsft[k], ks.kappa[k], kp, kp, kp, kp, kp);
  }
  // Only an XD parameter file has extinction and overall values of its own;
  // the free variables 2 to 9 of a SHELX file are occupancy variables.
  std::array<float, 8> extinction{};
  if (run.ctl.iformat == FMT_XD)
    for (int v = 2; v <= 9; ++v) extinction[static_cast<std::size_t>(v - 2)] = free_variable(run, v);
  ff::write(os, "(7e11.4)"_f, extinction);
  ff::write(os, "(e13.6)"_f, free_variable(run, 1));
}

}  // namespace

void write_xd_inp(Run& run) {
  const int nkap = kappa_sets(run, kRoutine);
  const int ndum = dummy_count(run, kRoutine);
  const bool fixed_h = run.ctl.iextH != 0 && run.ctl.itoxd == 0;
  write_head(run, nkap, ndum);
  if (run.ctl.ifrac == 0)
    to_both(run, "(/' The input has no cell : xd_vorn.inp, mopro_vorn.par',a,' carry Cartesian coordinates (Angstrom)')"_f,
            fixed_h ? " and fixedH.ins" : "");
  const SingleU single_u(run);
  for (int i = 1; i <= run.atoms.nat; ++i) write_atom(run, i, fixed_h, single_u);
  write_tail(run, nkap);
}

}  // namespace vorn
