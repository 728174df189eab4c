#include "structure/atom_list.hpp"

#include "base/elements.hpp"

namespace vorn {

void checkocc(Run& run) {
  const auto& a = run.atoms;
  auto& a1 = run.atoms1;
  for (int i = 1; i <= a.nat; ++i) {
    a1.flag[i] = 0;
    if (a1.occ[i] == 1.0f) continue;
    bool special = false;
    for (int j = 1; j <= run.symm.nsym && !special; ++j) {
      const SymOp& op = run.symm.op[j];
      Vec3 rx = matvec(op.R, a.xf[i]);
      for (int k = -2; k <= 2 && !special; ++k)
        for (int l = -2; l <= 2 && !special; ++l)
          for (int m = -2; m <= 2 && !special; ++m) {
            if (j == 1 && k == 0 && l == 0 && m == 0) continue;
            Frac img(rx[0] + op.t[0] + k, rx[1] + op.t[1] + l, rx[2] + op.t[2] + m);
            if (dist(to_cart(run.transf, img), a.xc[i]) < 0.001f) special = true;
          }
    }
    a1.flag[i] = special ? 1 : -1;
  }
}

void prattyp(Run& run) {
  to_lst(run, "(/' Number of atom types = ',i4)"_f, run.at_types.ntyp);
  for (int k = 1; k <= run.at_types.ntyp; ++k) {
    int z = run.at_types.iz[k];
    to_lst(run, "(3x,'atom type = ',a,3x,' atomic number = ',i3)"_f, atsym(z), z);
  }
}

void printatoms(Run& run, std::ostream& os) {
  ff::write(os, "(/9x,'ATOM',6x,'------- FRACTIONAL -------',4x,'------- CARTESIAN -------  FLAG')"_f);
  int count[3] = {0, 0, 0};  // flags -1, 0, 1
  for (int i = 1; i <= run.atoms.nat; ++i) {
    int f = run.atoms1.flag[i];
    ff::write(os, "(i7,2x,a,1x,3f9.5,2x,3f9.4,i6)"_f, i, run.atoms.label[i], run.atoms.xf[i], run.atoms.xc[i], f);
    if (f >= -1 && f <= 1) ++count[f + 1];
  }
  ff::write(os, "(/' FLAG =  0 : normal atoms ( ',i5,' )')"_f, count[1]);
  ff::write(os, "('      =  1 : atoms in special positions ( ',i5,' ) ')"_f, count[2]);
  ff::write(os, "('      = -1 : disordered atoms ( ',i5,' ) ')"_f, count[0]);
}

}  // namespace vorn
