// Atoms on special positions, checked in the frame that the written files
// give them (axis points from xd_vorn.mas, coordinates from xd_vorn.inp):
// every multipole the key refines must be invariant under every operation
// of the crystal that fixes the site, applied to the spherical harmonics at
// sample points; and every harmonic the site and the chemical rule both
// allow must be refined.
#include "local/site_symmetry.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>

#include "base/text.hpp"
#include "control/run_sequence.hpp"
#include "support/builders.hpp"
#include "support/harmonics.hpp"

namespace vorn::test {
namespace {

using V3 = std::array<double, 3>;

V3 dv(const Vec3& v) { return {v[0], v[1], v[2]}; }
V3 dsub(const V3& a, const V3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double ddot(const V3& a, const V3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
V3 dcross(const V3& a, const V3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
V3 dunit(const V3& a) {
  const double n = std::sqrt(ddot(a, a));
  return {a[0] / n, a[1] / n, a[2] / n};
}
DMat transposed(const DMat& a) {
  DMat t{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) t[i][j] = a[j][i];
  return t;
}
DMat conj(const DMat& f, const DMat& r) { return mul(mul(f, r), transposed(f)); }
DMat dm(const Mat3& m) {
  DMat d{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) d[i][j] = m[i][j];
  return d;
}

// What the written files say about one atom.
struct WrittenAtom {
  std::string ax0, ax1, ax2, ax2atom, sitesym, mask;
  V3 frac{};
};

struct Written {
  std::map<std::string, WrittenAtom> atoms;
  std::map<std::string, V3> dummies;  // fractional
  std::vector<std::string> order;
};

Written read_written(const TestRun& t) {
  Written w;
  std::istringstream mas(t.read("xd_vorn.mas"));
  enum { Before, AtomTable, Between, Keys, After } part = Before;
  for (std::string l; std::getline(mas, l);) {
    if (part == Before && l.starts_with("ATOM     ATOM0")) {
      part = AtomTable;
      continue;
    }
    if (part == AtomTable) {
      if (l.starts_with("END ATOM")) {
        part = Between;
        continue;
      }
      const auto v = words_of(l);
      if (l.starts_with("DUM") && v.size() == 4) {
        w.dummies[v[0]] = {std::stod(v[1]), std::stod(v[2]), std::stod(v[3])};
      } else if (v.size() >= 12) {
        WrittenAtom& a = w.atoms[v[0]];
        a.ax0 = v[1];
        a.ax1 = v[2];
        a.ax2atom = v[4];
        a.ax2 = v[5];
        a.sitesym = v[11];
        w.order.push_back(v[0]);
      }
      continue;
    }
    if (part == Between && l.starts_with("KEY     XYZ")) {
      part = Keys;
      continue;
    }
    if (part == Keys) {
      if (l.starts_with("KAPPA")) {
        part = After;
        continue;
      }
      const std::string lab(rtrim(l.substr(0, 8)));
      if (w.atoms.count(lab) && l.size() >= 8 + 38 + 30) w.atoms[lab].mask = l.substr(8 + 38, 30);
    }
  }
  std::istringstream inp(t.read("xd_vorn.inp"));
  for (std::string l; std::getline(inp, l);) {
    const auto v = words_of(l);
    if (v.size() == 16 && w.atoms.count(v[0])) w.atoms[v[0]].frac = {std::stod(v[12]), std::stod(v[13]), std::stod(v[14])};
  }
  return w;
}

V3 cart(const vorn::Run& r, const V3& f) {
  V3 c{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) c[i] += r.transf.M[i][j] * f[j];
  return c;
}

V3 point_of(const vorn::Run& r, const Written& w, const std::string& name) {
  if (auto d = w.dummies.find(name); d != w.dummies.end()) return cart(r, d->second);
  return cart(r, w.atoms.at(name).frac);
}

// The frame XD builds: rows X, Y, Z.
DMat frame_of(const vorn::Run& r, const Written& w, const std::string& lab) {
  const WrittenAtom& a = w.atoms.at(lab);
  const V3 o = cart(r, a.frac);
  const V3 u = dunit(dsub(point_of(r, w, a.ax0), o));
  V3 b = dsub(point_of(r, w, a.ax2atom), o);
  const double p = ddot(b, u);
  b = dunit({b[0] - p * u[0], b[1] - p * u[1], b[2] - p * u[2]});
  const int i1 = a.ax1[0] - 'X', i2 = a.ax2[0] - 'X', i3 = 3 - i1 - i2;
  DMat f{};
  f[i1] = u;
  f[i2] = b;
  f[i3] = (i1 + 1) % 3 == i2 ? dcross(u, b) : dcross(b, u);
  return f;
}

// The rotation parts, in Cartesian coordinates, of the operations of the
// run's list that bring the position back onto itself within 0.1 A.
std::vector<DMat> site_operations(const vorn::Run& r, const V3& x) {
  DMat m = dm(r.transf.M), minv = dm(r.transf.Minv);
  std::vector<DMat> ops;
  for (int j = 1; j <= r.symm.nsym; ++j) {
    const SymOp& op = r.symm.op[static_cast<std::size_t>(j)];
    V3 d{};
    for (int i = 0; i < 3; ++i) {
      d[i] = op.t[i] - x[i];
      for (int k = 0; k < 3; ++k) d[i] += op.R[i][k] * x[k];
      d[i] -= std::round(d[i]);
    }
    const V3 c = cart(r, d);
    if (std::sqrt(ddot(c, c)) < 0.1) ops.push_back(mul(mul(m, dm(op.R)), minv));
  }
  return ops;
}

// Refined harmonics that some site operation changes, by name.
std::string forbidden_refined(const DMat& frame, const std::vector<DMat>& ops, const std::string& mask) {
  std::string bad;
  const std::string f = flags_of(mask);
  for (int k = 1; k < 25; ++k) {
    if (f[static_cast<std::size_t>(k)] != '1') continue;
    for (const DMat& r : ops)
      if (!invariant(k, conj(frame, r))) {
        bad += std::string(" ") + harmonic_name(k);
        break;
      }
  }
  return bad;
}

const char* kControl =
    "FORMAT *shelx\nINPUT s.res\nNCELLS 1\nEXTEND_H\n"
    "KEYGEN *XYZUIJ *all ordered *MULT *all ordered *kappas\n";

// A SHELX file: cell (orthogonal unless gamma given), lattice, cards, atoms.
std::string res_file(const std::string& cell, int latt, const std::vector<std::string>& cards, const std::string& sfac,
                     const std::string& atoms) {
  std::string s = "TITL site\nCELL 0.71073 " + cell + "\nZERR 1 0.001 0.001 0.001 0 0 0\nLATT " + std::to_string(latt) + "\n";
  for (const auto& c : cards) s += "SYMM " + c + "\n";
  std::string unit;
  for (std::size_t k = 0; k < words_of(sfac).size(); ++k) unit += " 1";
  s += "SFAC " + sfac + "\nUNIT" + unit + "\nFVAR 1.0\n" + atoms + "HKLF 4\nEND\n";
  return s;
}

struct Case {
  const char* site;    // the crystal's point group at the atom
  const char* atom;    // its label as written
  const char* used;    // the site symmetry it must get: the group of the site and its chemistry
  std::string res;
};

std::vector<Case> cases() {
  return {
      // -1: a linear Si-O-Si bridge, O on the inversion centre.
      {"-1", "O(1)", "cyl/m",
       res_file("7 8 9 90 90 90", 1, {}, "C H O Si",
                "O1 3 0.0 0.0 0.0 10.5 0.02\nSI1 4 0.231429 0.0 0.0 11.0 0.02\n")},
      // 2: six-coordinate Fe on the 2-fold axis along b, three kinds of ligand.
      {"2", "FE(1)", "2",
       res_file("7 8 9 90 90 90", -1, {"-X, Y, -Z"}, "O N CL FE",
                "FE1 4 0.0 0.25 0.0 10.5 0.02\nO1 1 0.202 0.25 0.157111 11.0 0.02\n"
                "N1 2 0.212143 0.25 -0.165 11.0 0.02\nCL1 3 0.0 0.5375 0.0 10.5 0.02\nO2 1 0.0 0.0 0.0 10.5 0.02\n")},
      // m: CH2ClF with C, F and Cl on the mirror y = 0.
      {"m", "C(1)", "m",
       res_file("7 8 9 90 90 90", -1, {"X, -Y, Z"}, "C H F CL",
                "C1 1 0.3 0.0 0.3 10.5 0.02\nF1 3 0.493 0.0 0.3 10.5 0.02\nCL1 4 0.3 0.0 0.103333 10.5 0.02\n"
                "H1 2 0.251 0.1075 0.335 11.0 0.02\n")},
      // 3: ammonia on the 3-fold axis of P3.
      {"3", "N(1)", "3m",
       res_file("8 8 9 90 90 120", -1, {"-Y, X-Y, Z", "-X+Y, -X, Z"}, "N H",
                "N1 1 0.0 0.0 0.1 10.33333 0.02\nH1 2 0.115 0.0 0.14 11.0 0.02\n")},
      // -3: six oxygen atoms around aluminium on the -3 site of P-3.
      {"-3", "AL(1)", "-3",
       res_file("8 8 9 90 90 120", 1, {"-Y, X-Y, Z", "-X+Y, -X, Z"}, "O AL",
                "AL1 2 0.0 0.0 0.0 10.16667 0.02\nO1 1 0.198 0.066 0.159 11.0 0.02\n")},
      // 4: a square pyramid NiCl4O on the 4-fold axis of P4.
      {"4", "NI(1)", "4",
       res_file("8 8 9 90 90 90", -1, {"-Y, X, Z", "-X, -Y, Z", "Y, -X, Z"}, "O CL NI",
                "NI1 3 0.0 0.0 0.3 10.25 0.02\nCL1 2 0.2875 0.0 0.3 11.0 0.02\nO1 1 0.0 0.0 0.522222 10.25 0.02\n")},
      // mm2: water on the 2-fold axis of Pmm2.
      {"mm2", "O(1)", "mm2",
       res_file("7 8 9 90 90 90", -1, {"-X, -Y, Z", "X, -Y, Z", "-X, Y, Z"}, "O H",
                "O1 1 0.0 0.0 0.2 10.25 0.02\nH1 2 0.108143 0.0 0.265111 10.5 0.02\n")},
  };
}

// The same molecules written out whole in P1, element numbers after
// kP1Sfac: the chemical rule's own view of the atom, with no symmetry of
// the crystal to take into account. The special atom, read first, stays
// first.
const std::vector<std::string> kP1Sfac = {"C", "H", "O", "SI", "N", "CL", "FE", "AL", "NI", "F"};

std::string expanded_p1(const vorn::Run& sym) {
  std::string atoms;
  std::vector<V3> seen;
  const V3 centre = dv(sym.atoms.xf[1]);
  int n = 0;
  for (int i = 1; i <= sym.atoms.nat; ++i) {
    const V3 x = dv(sym.atoms.xf[i]);
    const std::string& lab = sym.atoms.label[i];
    const std::string el(rtrim(lab.substr(0, lab.find('('))));
    const auto k = std::find(kP1Sfac.begin(), kP1Sfac.end(), el) - kP1Sfac.begin() + 1;
    for (int j = 1; j <= sym.symm.nsym; ++j) {
      const SymOp& op = sym.symm.op[static_cast<std::size_t>(j)];
      V3 y{};
      for (int a = 0; a < 3; ++a) {
        y[a] = op.t[a];
        for (int b = 0; b < 3; ++b) y[a] += op.R[a][b] * x[b];
        y[a] -= std::round(y[a] - centre[a]);  // the image next to the centre
      }
      bool dup = false;
      for (const V3& s : seen) {
        const V3 d = cart(sym, dsub(s, y));
        dup = dup || std::sqrt(ddot(d, d)) < 0.01;
      }
      if (dup) continue;
      seen.push_back(y);
      std::ostringstream l;
      l.precision(6);
      l << std::fixed << el << ++n << " " << k << " " << y[0] << " " << y[1] << " " << y[2] << " 11.0 0.02\n";
      atoms += l.str();
    }
  }
  return atoms;
}

TEST(SiteSymmetry, OneSmallStructurePerSiteGroup) {
  for (const Case& c : cases()) {
    SCOPED_TRACE(c.site);
    TestRun t;
    t.write("s.res", c.res);
    t.write("vorn.inp", kControl);
    ASSERT_EQ(vorn_main(t.run, {}), 0) << t.out.str();
    const vorn::Run& r = t.run;
    const Written w = read_written(t);
    ASSERT_TRUE(w.atoms.count(c.atom)) << t.read("xd_vorn.mas");
    const WrittenAtom& a = w.atoms.at(c.atom);
    const std::vector<DMat> ops = site_operations(r, a.frac);
    // The site group the structure was built with.
    EXPECT_NE(t.read("vorn.out").find("site symmetry of the crystal " + std::string(c.site) + " ("), std::string::npos);
    const DMat f = frame_of(r, w, c.atom);
    EXPECT_EQ(forbidden_refined(f, ops, a.mask), "") << a.sitesym << " " << a.mask;
    EXPECT_EQ(a.sitesym, c.used);

    // The chemical rule's group, seen in a P1 copy, taken into this frame.
    const std::size_t cell_at = c.res.find("CELL 0.71073 ") + 13;
    const std::string cell = c.res.substr(cell_at, c.res.find('\n', cell_at) - cell_at);
    std::string sfac;
    for (const auto& e : kP1Sfac) sfac += e + " ";
    TestRun p1;
    p1.write("s.res", res_file(cell, -1, {}, sfac, expanded_p1(r)));
    p1.write("vorn.inp", kControl);
    ASSERT_EQ(vorn_main(p1.run, {}), 0) << p1.out.str();
    const Written w1 = read_written(p1);
    // The central atom is the first one written.
    const std::string lab1 = w1.order.front();
    const std::string chem = w1.atoms.at(lab1).sitesym;
    ASSERT_TRUE(named_groups().count(chem)) << chem;
    const DMat f1 = frame_of(p1.run, w1, lab1);
    // On an inversion centre the chemical frame stays (for a cylinder: its axis).
    if (std::string(c.site) == "-1") {
      EXPECT_NEAR(std::fabs(ddot(f[2], f1[2])), 1.0, 1e-4);
    }
    std::vector<DMat> both;
    for (const DMat& r0 : ops) both.push_back(conj(f, r0));
    for (const DMat& g : named_groups().at(chem)) both.push_back(conj(f, conj(transposed(f1), g)));
    const std::string want = invariant_mask(both);
    const std::string got = flags_of(a.mask);
    for (int k = 1; k < 25; ++k) {
      if (flags_of(want)[static_cast<std::size_t>(k)] == '1') {
        EXPECT_EQ(got[static_cast<std::size_t>(k)], '1')
            << harmonic_name(k) << " is allowed by the site and by the chemical rule (" << chem << ") but fixed ("
            << a.sitesym << ")";
      }
    }
  }
}

// Every atom on a special position of the real structures, run as a user
// asks for every multipole of every atom: none that the site forbids is
// refined.
TEST(SiteSymmetry, RealStructuresRefineNoForbiddenMultipole) {
  VORN_REQUIRE_SHARED(real);
  const std::filesystem::path cif = real.parent_path() / "cif";
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(real))
    if (e.path().extension() == ".res") files.push_back(e.path());
  if (std::filesystem::is_directory(cif))
    for (const auto& e : std::filesystem::directory_iterator(cif))
      if (e.path().extension() == ".res" || e.path().extension() == ".cif") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  int special = 0;
  for (const auto& p : files) {
    SCOPED_TRACE(p.string());
    TestRun t;
    std::filesystem::copy_file(p, t.dir.path() / p.filename());
    const bool is_cif = p.extension() == ".cif";
    t.write("vorn.inp", std::string("FORMAT ") + (is_cif ? "*cif" : "*shelx") + "\nINPUT " + p.filename().string() +
                            "\nNCELLS 1\nEXTEND_H\nKEYGEN *XYZUIJ *all ordered *MULT *all ordered *kappas\n");
    if (vorn_main(t.run, {}) != 0) {
      const std::string out = t.out.str();
      if (out.find("atomic number not implemented yet") != std::string::npos) continue;
      // Rhombohedral SHELX files are refused by the reader of this version.
      if (out.find("Lattice type R is not supported") != std::string::npos) continue;
      ADD_FAILURE() << out.substr(out.size() > 1500 ? out.size() - 1500 : 0);
      continue;
    }
    const Written w = read_written(t);
    for (const auto& [lab, a] : w.atoms) {
      const std::vector<DMat> ops = site_operations(t.run, a.frac);
      if (ops.size() <= 1) continue;
      ++special;
      EXPECT_EQ(forbidden_refined(frame_of(t.run, w, lab), ops, a.mask), "")
          << lab << " (" << ops.size() << " operations) site symmetry " << a.sitesym;
    }
  }
  EXPECT_GT(special, 0);
}

}  // namespace
}  // namespace vorn::test
