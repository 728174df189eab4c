// A methanol molecule in a 10 A cubic cell with every table the parameter
// writers read filled as the per-atom stage leaves it: axes, kappa sets, a
// dummy atom for the hydroxyl H, constrained methyl H atoms, one H at half
// occupancy and databank populations.
#pragma once

#include "support/builders.hpp"

namespace vorn::test {

inline void cubic_cell(Run& run, float a) {
  run.ucell = {a, a, a, 90.0f, 90.0f, 90.0f};
  run.transf.M = {{{a, 0, 0}, {0, a, 0}, {0, 0, a}}};
  run.transf.Minv = {{{1 / a, 0, 0}, {0, 1 / a, 0}, {0, 0, 1 / a}}};
}

inline void set_record(Run& run, int i, int ax1, int atom0, int ax2, int atom2, int tp, int tbl, int kap,
                       int equiv) {
  Mpole& m = run.mpoles[static_cast<std::size_t>(i)];
  m.ax1 = ax1;
  m.atom0 = atom0;
  m.atom1 = i;
  m.ax2 = ax2;
  m.atom2 = atom2;
  m.tp = tp;
  m.tbl = tbl;
  m.kap = kap;
  m.lmx = 4;
  m.one = 1;
  m.equiv = equiv;
  run.atoms1.isft[static_cast<std::size_t>(i)] = tbl;
  run.atoms1.iu[static_cast<std::size_t>(i)] = tp;
  run.kappaset[static_cast<std::size_t>(i)] = kap;
}

inline void add_kappa(Run& run, int nsft, float kappa, float kappap) {
  ++run.kappas.n;
  run.kappas.kappa.push_back(kappa);
  run.kappas.kappap.push_back(kappap);
  run.kappas.nsft.push_back(nsft);
  run.kappaset[0] = run.kappas.n;
}

// Atoms: 1 O(1), 2 C(1), 3 H(1) on O, 4-6 H(2)-H(4) on C (H(4) at half
// occupancy). C-O 1.43 A, O-H and C-H 0.96 A, tetrahedral angles.
inline void build_methanol(Run& run) {
  cubic_cell(run, 10.0f);
  add_atom(run, "O(1)", Cart(6.430f, 5.000f, 5.000f));
  add_atom(run, "C(1)", Cart(5.000f, 5.000f, 5.000f));
  add_atom(run, "H(1)", Cart(6.735f, 5.910f, 5.000f));
  add_atom(run, "H(2)", Cart(4.680f, 5.000f, 4.095f));
  add_atom(run, "H(3)", Cart(4.680f, 5.784f, 5.452f));
  add_atom(run, "H(4)", Cart(4.680f, 4.216f, 5.452f), 0.5f);
  run.at_types.ntyp = 3;
  run.at_types.iz = {0, 8, 6, 1};
  run.nsft = 3;

  // X, Y, Z = 1, 2, 3; the hydroxyl H points X at dummy 1 (index nat + 1).
  set_record(run, 1, 3, 2, 1, 3, 2, 1, 1, 0);
  set_record(run, 2, 3, 1, 1, 4, 2, 2, 2, 0);
  set_record(run, 3, 3, 1, 1, 7, 1, 3, 3, 0);
  set_record(run, 4, 3, 2, 1, 1, 1, 3, 4, 0);
  set_record(run, 5, 3, 2, 1, 1, 1, 3, 4, 4);
  set_record(run, 6, 3, 2, 1, 1, 1, 3, 4, 4);
  add_kappa(run, 1, 0.997f, 0.824f);
  add_kappa(run, 2, 0.998f, 0.862f);
  add_kappa(run, 3, 1.130f, 1.290f);
  add_kappa(run, 3, 1.160f, 1.250f);

  run.dummy.n = 1;
  run.dummy.label.push_back("DUM1  ");
  run.dummy.x.push_back(Vec3{0.7f, 0.6f, 0.5f});

  run.at_uij[1] = {0.0201f, 0.0253f, 0.0187f, -0.0012f, 0.0034f, 0.0008f};
  run.at_uij[2] = {0.0223f, 0.0291f, 0.0245f, 0.0011f, 0.0020f, -0.0015f};
  run.at_uij[3] = {0.0412f, 0, 0, 0, 0, 0};
  run.at_uij[4] = {0.0385f, 0, 0, 0, 0, 0};
  run.at_uij[5] = {0.0391f, 0, 0, 0, 0, 0};
  run.at_uij[6] = {0.0402f, 0, 0, 0, 0, 0};

  Mpole& o = run.mpoles[1];
  o.pv = 6.3212f;
  o.P(1, 1) = 0.0123f;
  o.P(1, -1) = -0.0046f;
  o.P(1, 0) = 0.0561f;
  o.P(2, 0) = -0.0671f;
  o.P(2, 1) = 0.0107f;
  o.P(2, 2) = 0.0832f;
  o.P(2, -2) = -0.0213f;
  o.P(3, 0) = 0.0144f;
  o.P(3, -1) = 0.0057f;
  o.P(3, 3) = -0.0301f;
  o.P(4, 0) = 0.0078f;
  o.P(4, 2) = 0.0022f;
  o.P(4, 4) = -0.0049f;
  o.P(4, -4) = 0.0011f;
  Mpole& c = run.mpoles[2];
  c.pv = 4.0321f;
  c.P(1, 0) = 0.1201f;
  c.P(2, 0) = 0.0312f;
  c.P(3, 0) = 0.2502f;
  c.P(3, 3) = -0.1503f;
  c.P(4, 0) = 0.0098f;
  for (int h = 3; h <= 5; ++h) {
    Mpole& m = run.mpoles[static_cast<std::size_t>(h)];
    m.pv = 0.8823f;
    m.P(1, 0) = 0.1321f;
    m.P(2, 0) = 0.0611f;
  }
  Mpole& h4 = run.mpoles[6];  // stored times its occupancy 0.5
  h4.pv = 0.4412f;
  h4.P(1, 0) = 0.0660f;
  h4.P(2, 0) = 0.0305f;

  run.mopro.set(1, "ZX   C1           H1            HEX    K1       V0  M0  Q0");
  run.mopro.set(2, "ZX   O1           H2            HEX    K2       V0  M0  Q0");
  run.mopro.set(3, "ZX   O1           D1            QUA    K3       V0  M0  Q0");
  run.mopro.set(4, "ZX   C1           O1            QUA    K4       V0  M0  Q0");
  run.mopro.set(5, "ZX   C1           O1            QUA    K4       V0  M0  Q0");
  run.mopro.set(6, "ZX   C1           O1            QUA    K4       V0  M0  Q0");
  run.mcon.set(5, "! CONPVM  H3         1  H2         1");
  run.mcon.set(6, "! CONPVM  H4         1  H2         1");
  run.chemcon[5] = run.chemcon[6] = 1;

  run.shelx.fv[1] = 0.98765f;
  run.shelx.fv[2] = 0.001234f;
  run.shelx.fv[9] = 0.0125f;
}

}  // namespace vorn::test
