// Test support for the per-atom stage: molecules in a 30 A cubic cell, one
// scattering table per element, bonds and rings, then DefLoc for every atom
// in order as the per-atom loop calls it, keeping each atom's axes.
#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "base/text.hpp"
#include "chem/molecules.hpp"
#include "local/axes.hpp"
#include "local/dummies.hpp"

namespace vorn::test {

inline constexpr float kCell = 30.0f;
inline constexpr float kDeg = 0.017453292f;

// Molecules in a 30 A cubic cell; each test builds its own, then the rules run
// for every atom in order, as the per-atom loop calls them.
class LocalTest : public ::testing::Test {
 protected:
  TestRun t;
  vorn::Run& run = t.run;
  Mol m{run};
  std::ostringstream mas, con, spf;
  std::vector<LocalAxes> ax;

  void SetUp() override {
    run.transf.M = {{{kCell, 0, 0}, {0, kCell, 0}, {0, 0, kCell}}};
    run.transf.Minv = {{{1 / kCell, 0, 0}, {0, 1 / kCell, 0}, {0, 0, 1 / kCell}}};
    run.mas.attach(mas);
    run.con.attach(con);
    run.spf.attach(spf);
  }

  // One scattering table per element, bonds and rings.
  void prepare(bool special_rings = false) {
    std::vector<int> tables;
    for (int i = 1; i <= run.atoms.nat; ++i) {
      std::size_t k = 0;
      while (k < tables.size() && tables[k] != run.atoms.iz[i]) ++k;
      if (k == tables.size()) tables.push_back(run.atoms.iz[i]);
      run.atoms1.isft[i] = static_cast<int>(k) + 1;
    }
    rings_and_bonds(run);
    run.ring1.special = special_rings ? 1 : 0;
    ax.assign(static_cast<std::size_t>(run.atoms.nat) + 1, LocalAxes{});
  }
  // The rules and the atom's lines for atoms from..to.
  void rules(int from, int to) {
    for (int i = from; i <= to; ++i) {
      DefLoc(run, i);
      ax[static_cast<std::size_t>(i)] = run.axes;
    }
  }
  void define(bool special_rings = false) {
    prepare(special_rings);
    rules(1, run.atoms.nat);
  }

  // "AX1>ATOM0 AX2>ATOM2 SITESYM" of atom i.
  std::string axes_of(int i) const {
    const LocalAxes& a = ax[static_cast<std::size_t>(i)];
    return a.AX1 + ">" + std::string(rtrim(a.ATOM0)) + " " + a.AX2 + ">" + std::string(rtrim(a.ATOM2)) + " " +
           std::string(rtrim(run.atoms.sitesym[i]));
  }
  Vec3 dummy_cart(int d) const { return to_cart(run.transf, Frac(run.dummy.x[static_cast<std::size_t>(d)])); }
  bool listed(const std::string& text) const { return t.lst.str().find(text) != std::string::npos; }

  // Moves atom c within the xy plane by steps of about one unit in the last
  // place until the angle a-b-c the rules measure is exactly `degrees`.
  void set_angle_exactly(int a, int b, int c, float degrees) {
    const Vec3 base = run.atoms.xc[c];
    auto offset = [](int k) { return 1e-7f * static_cast<float>((k % 2 == 0 ? 1 : -1) * (k / 2)); };
    for (int i = 0; i < 400; ++i)
      for (int j = 0; j < 400; ++j) {
        const Vec3 p{base[0] + offset(i), base[1] + offset(j), base[2]};
        if (calcang(run.atoms.xc[a], run.atoms.xc[b], p) == degrees) {
          run.atoms.xc[c] = Cart(p);
          run.atoms.xf[c] = to_frac(run.transf, run.atoms.xc[c]);
          return;
        }
      }
    FAIL() << "no position gives exactly " << degrees << " degrees";
  }
};

inline void expect_near(const Vec3& a, const Vec3& b, float tol = 2e-4f) {
  for (std::size_t k = 0; k < 3; ++k) EXPECT_NEAR(a[k], b[k], tol) << "component " << k;
}

// Acetaldehyde CH3-CH=O in the xy plane: C(n), O(n), H(n), C(n+1) and its
// hydrogens H(n+1)1..3, in this order.
struct Acetaldehyde {
  int c1, o1, h1, c2;
  Acetaldehyde(Mol& m, float x0, int n = 1) {
    const std::string k = std::to_string(n), k1 = std::to_string(n + 1);
    c1 = m.at("C(" + k + ")", x0, 5, 5);
    o1 = m.polar("O(" + k + ")", c1, 1.21f, 0);
    h1 = m.polar("H(" + k + ")", c1, 1.10f, 120);
    c2 = m.polar("C(" + k1 + ")", c1, 1.50f, 240);
    hydrogens3(m, "H(" + k1, c2, c1, o1);
  }
};

// Propane CH3-CH2-CH3; atoms C(2), C(1), C(3), H(21), H(22), H(11)-H(13),
// H(31)-H(33) in this order.
struct Propane {
  int c2, c1, c3;
  Propane(Mol& m, float x0) {
    c2 = m.at("C(2)", x0, 5, 5);
    c1 = m.polar("C(1)", c2, 1.53f, 0);
    c3 = m.polar("C(3)", c2, 1.53f, 112);
    m.place("H(21)", c2, 1.09f, c1, 109.5f, c3, 120);
    m.place("H(22)", c2, 1.10f, c1, 109.5f, c3, -120);
    hydrogens3(m, "H(1", c1, c2, c3);
    hydrogens3(m, "H(3", c3, c2, c1);
  }
};

}  // namespace vorn::test
