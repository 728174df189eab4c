#include "output/mopro.hpp"

#include <algorithm>
#include <array>
#include <span>
#include <string>

#include "base/text.hpp"
#include "io/scanner.hpp"
#include "output/populations.hpp"

namespace vorn {

namespace {

constexpr std::string_view kRoutine = "write_mopro_atoms";

// The name field of the atom line: the residue label, or the plain name with
// the one molecule MoPro then assumes. Both are 17 characters wide; the
// plain name comes in two parts (10 + 7 characters).
struct NameField {
  std::string name;
  std::string_view molecule;
};

NameField name_field(Run& run, int i) {
  const auto k = static_cast<std::size_t>(i);
  const std::string& label = run.atoms.label[k];
  if (run.shelx.resi) {
    if (k < run.shelx.reslab.size()) return {pad(run.shelx.reslab[k], 17), {}};
    // The residue scan saw fewer atom lines than the atom pass: rather than
    // read past the residue table, the atom keeps its plain name.
    ff::write(*run.lst, "(/' Atom ',a,' has no residue label : named ',a,' in mopro_vorn.par')"_f,
              rtrim(label), rtrim(erbras(label)));
  }
  return {erbras(label), "MOL   1"};
}

void write_dummies(Run& run) {
  std::ostream& os = *run.par;
  const int ndum = dummy_count(run, kRoutine);
  ff::write(os, "('DUMMY ',j3)"_f, ndum);
  for (int j = 1; j <= ndum; ++j) {
    // MoPro wants the dummy number left-justified in its five columns.
    std::string num = ff::fmt_i(j, 5);
    num.erase(0, num.find_first_not_of(' '));
    ff::write(os, "('DUMY ',3f12.6,'  D',a,' 0')"_f, run.dummy.x[static_cast<std::size_t>(j)], pad(num, 5));
  }
  ff::write(os, "()"_f);
}

void write_kappas(Run& run) {
  std::ostream& os = *run.par;
  const int nkap = kappa_sets(run, kRoutine);
  ff::write(os, "('KAPPA ',j3)"_f, nkap);
  for (int j = 1; j <= nkap; ++j) {
    const auto k = static_cast<std::size_t>(j);
    ff::write(os, "(2f10.6)"_f, run.kappas.kappa[k], run.kappas.kappap[k]);
  }
  ff::write(os, "()"_f);
}

template <std::size_t From, std::size_t N>
std::array<float, N> slice(const std::array<float, NPOP>& p) {
  static_assert(From + N <= NPOP);
  std::array<float, N> r;
  std::copy_n(p.begin() + From, N, r.begin());
  return r;
}

void write_atom(Run& run, int i, const SingleU& single_u) {
  std::ostream& os = *run.par;
  const auto k = static_cast<std::size_t>(i);
  const std::string& label = run.atoms.label[k];
  const float occ = run.atoms1.occ[k];
  const std::string en = ernum(label);
  const bool hydrogen = rtrim(en) == "H";  // mopro_hydrogen(label), from the name made above

  const NameField nf = name_field(run, i);
  const Vec3 x = written_position(run, i);
  if (nf.molecule.empty())
    ff::write(os, "('ATOM ',j3,1x,a,3f12.6,f6.3,1x,' 1 ',a)"_f, i, nf.name, x, occ, en);
  else
    ff::write(os, "('ATOM ',j3,1x,2a,3f12.6,f6.3,1x,' 1 ',a)"_f, i, nf.name, nf.molecule, x, occ, en);
  ff::write(os, "(a)"_f, run.mopro[k]);  // 90 characters
  // The tensor only where one was refined: a UANI line made from a Uiso
  // would be flat and not positive definite. Hydrogen atoms stay isotropic
  // in MoPro's model, with the Ueq of a refined tensor.
  if (single_u.anisotropic(i) && !hydrogen)
    ff::write(os, "('UANI   ',6f10.6)"_f, run.at_uij[k]);
  else
    ff::write(os, "('UISO   ',f10.6)"_f, single_u(i));

  std::array<float, NPOP> p = xd_populations(run.mpoles[k]);
  if (occ == 0.0f) {
    // MoPro wants populations per unit occupancy; an empty site has none.
    ff::write(*run.lst, "(/' Atom ',a,' has occupancy 0 : its populations are written as 0 in mopro_vorn.par')"_f,
              rtrim(label));
    p.fill(0.0f);
  } else {
    for (float& v : p) v /= occ;
  }
  // Fixed-size pieces, so that the writes are recorded and formatted behind the run.
  ff::write(os, "(2f8.5,2x,8(f5.3,2x))"_f, slice<0, 10>(p));
  if (!hydrogen) {
    ff::write(os, "(2x,7(f5.3,2x))"_f, slice<10, 7>(p));
    ff::write(os, "(2x,9(f5.3,2x))"_f, slice<17, 9>(p));
  }
  ff::write(os, "()"_f);
}

}  // namespace

bool mopro_hydrogen(std::string_view label) { return rtrim(ernum(label)) == "H"; }

void write_mopro_atoms(Run& run) {
  write_dummies(run);
  write_kappas(run);
  ff::write(*run.par, "('ATOMS ',j4,/)"_f, run.atoms.nat);
  const SingleU single_u(run);
  for (int i = 1; i <= run.atoms.nat; ++i) write_atom(run, i, single_u);
}

void write_con_tail(Run& run) {
  std::ostream& os = *run.con;
  ff::write(os, "(a)"_f, "!");
  ff::write(os, "(a)"_f, "! similarity (switched-off)");
  ff::write(os, "(a)"_f, "!");
  for (std::size_t k = 1; k < run.mcon.size(); ++k) {
    const std::string_view line = run.mcon[k];  // 90 characters
    if (line.starts_with("! CONPVM")) ff::write(os, "(a)"_f, line);
  }
  ff::write(os, "(a)"_f, "!");
  ff::write(os, "(a)"_f, "! end");
  ff::write(os, "(a)"_f, "!");
  run.con.finish();
}

void write_mopro_tail(Run& run) {
  std::ostream& os = *run.par;
  ff::write(os, "()"_f);
  ff::write(os, "(a)"_f, "ANHAR    0    3         !  #atoms #order ");
  ff::write(os, "(a)"_f, "! 1         ! atom number ");
  ff::write(os, "(a)"_f, "! 0. 0. 0. 0. 0. 0. 0. 0. ");
  ff::write(os, "(a)"_f, "! 0. 0. ");
  ff::write(os, "()"_f);
  ff::write(os, "(a)"_f, "STOP ");
}

}  // namespace vorn
