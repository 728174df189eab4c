// The multipole model as a refinement program would take it from the files
// VORN writes: once from xd_vorn.mas and xd_vorn.inp, once from
// vorn_rho.cif (read with gemmi), each by its own rules, so that tests can
// compare the frames and the densities the two describe.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "structure/cif_document.hpp"
#include "support/builders.hpp"
#include "support/harmonics.hpp"

namespace vorn::test {

using D3 = std::array<double, 3>;

inline D3 sub(const D3& a, const D3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
inline double dot3(const D3& a, const D3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline D3 cross3(const D3& a, const D3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline D3 scaled(const D3& a, double s) { return {a[0] * s, a[1] * s, a[2] * s}; }
inline D3 unit(const D3& a) { return scaled(a, 1.0 / std::sqrt(dot3(a, a))); }

// Fractional to Cartesian, a along x and b in the xy plane (the columns are
// the cell vectors).
inline DMat orthogonalisation(const std::array<double, 6>& cell) {
  const double d = M_PI / 180.0;
  const double a = cell[0], b = cell[1], c = cell[2];
  const double ca = std::cos(cell[3] * d), cb = std::cos(cell[4] * d), cg = std::cos(cell[5] * d),
               sg = std::sin(cell[5] * d);
  const double cx = c * cb, cy = c * (ca - cb * cg) / sg;
  const double cz = std::sqrt(c * c - cx * cx - cy * cy);
  return {{{a, b * cg, cx}, {0, b * sg, cy}, {0, 0, cz}}};
}

// One atom's model: where it sits, its frame as written, its populations
// (Pv, then P(l, m) as p[l][m + 4]) and kappas.
struct AtomModel {
  std::string label;
  D3 frac{};
  double occupancy = 0;
  std::string atom0, atom2;
  std::string ax1, ax2;  // "X", "-Y", ...
  char hand = 'R';
  double pc = 0, pv = 0;
  std::array<std::array<double, 9>, 5> p{};
  double kappa = 1;
  std::array<double, 5> kappa_prime{};
  double& P(int l, int m) { return p[static_cast<std::size_t>(l)][static_cast<std::size_t>(m + 4)]; }
  double P(int l, int m) const { return p[static_cast<std::size_t>(l)][static_cast<std::size_t>(m + 4)]; }
};

struct Model {
  bool fractional = true;
  std::array<double, 6> cell{};
  std::vector<AtomModel> atoms;     // in file order
  std::map<std::string, D3> sites;  // every labelled point, atoms and dummies (fractional, or Cartesian)
  DMat to_cart{};
  D3 cart(const std::string& label) const {
    const D3& f = sites.at(label);
    return fractional ? apply(to_cart, f) : f;
  }
};

// ---- xd_vorn.mas and xd_vorn.inp ----

// The cell of the CELL line, the atom table and the dummies of the master
// file; coordinates, occupancies, populations and kappa sets of the
// parameter file.
inline Model xd_model(const std::string& mas, const std::string& inp, bool fractional = true) {
  Model m;
  m.fractional = fractional;
  std::map<std::string, std::size_t> row;
  bool table = false;
  for (const std::string& l : lines_of(mas)) {
    const auto w = words_of(l);
    if (w.empty()) continue;
    if (w[0] == "CELL" && w.size() >= 7)
      for (std::size_t k = 0; k < 6; ++k) m.cell[k] = std::stod(w[k + 1]);
    if (l.rfind("ATOM     ATOM0", 0) == 0) {
      table = true;
      continue;
    }
    if (l.rfind("END ATOM", 0) == 0) table = false;
    if (!table || l[0] == '!') continue;
    if (w.size() == 4 && w[0].rfind("DUM", 0) == 0) {
      m.sites[w[0]] = {std::stod(w[1]), std::stod(w[2]), std::stod(w[3])};
      continue;
    }
    // label ATOM0 AX1 ATOM1 ATOM2 AX2 R/L TP TBL KAP LMX SITESYM [CHEMCON]
    if (w.size() < 7) continue;
    AtomModel a;
    a.label = w[0];
    a.atom0 = w[1];
    a.ax1 = w[2];
    a.atom2 = w[4];
    a.ax2 = w[5];
    a.hand = w[6][0];
    row[a.label] = m.atoms.size();
    m.atoms.push_back(a);
  }
  // Parameter file: after the USAGE line, the fourteen zeros and the dummy
  // lines, three records per atom, then the kappa lines.
  const auto lines = lines_of(inp);
  std::size_t k = 0;
  int nat = 0, nkap = 0, ndum = 0;
  for (; k < lines.size(); ++k)
    if (lines[k].rfind("USAGE", 0) == 0) {
      const auto w = words_of(lines[k]);
      nat = std::stoi(w[1]);
      nkap = std::stoi(w[4]);
      ndum = std::stoi(w.back());
      ++k;
      break;
    }
  k += 2 + static_cast<std::size_t>(ndum);
  std::vector<int> kappa_set(static_cast<std::size_t>(nat));
  for (int i = 0; i < nat && k + 4 < lines.size(); ++i) {
    // The label and the eleven integers, then x y z occ (read by columns:
    // the numbers may run together at scale).
    const std::string& rec = lines[k];
    const std::string label(rtrim(rec.substr(0, 8)));
    const auto w = words_of(rec.substr(8));
    AtomModel& a = m.atoms.at(row.at(label));
    kappa_set[static_cast<std::size_t>(i)] = std::stoi(w[7]);
    const std::size_t n = w.size();
    a.frac = {std::stod(w[n - 4]), std::stod(w[n - 3]), std::stod(w[n - 2])};
    a.occupancy = std::stod(w[n - 1]);
    m.sites[label] = a.frac;
    std::vector<double> pops;
    for (std::size_t r = 2; r <= 4; ++r)
      for (const std::string& v : words_of(lines[k + r])) pops.push_back(std::stod(v));
    EXPECT_EQ(pops.size(), 26u) << label;
    pops.resize(26);
    std::size_t q = 0;
    a.pv = pops[q++];
    a.P(0, 0) = pops[q++];
    a.P(1, 1) = pops[q++];
    a.P(1, -1) = pops[q++];
    a.P(1, 0) = pops[q++];
    for (int l = 2; l <= 4; ++l) {
      a.P(l, 0) = pops[q++];
      for (int mm = 1; mm <= l; ++mm) {
        a.P(l, mm) = pops[q++];
        a.P(l, -mm) = pops[q++];
      }
    }
    k += 5;
  }
  std::vector<std::array<double, 6>> kappas;
  for (int j = 0; j < nkap && k < lines.size(); ++j, ++k) {
    const auto w = words_of(lines[k]);
    std::array<double, 6> v{};
    for (std::size_t r = 0; r < 6 && r + 1 < w.size(); ++r) v[r] = std::stod(w[r + 1]);
    kappas.push_back(v);
  }
  for (int i = 0; i < nat; ++i) {
    const int set = kappa_set[static_cast<std::size_t>(i)];
    if (set < 1 || set > static_cast<int>(kappas.size())) continue;
    AtomModel& a = m.atoms[static_cast<std::size_t>(i)];
    a.kappa = kappas[static_cast<std::size_t>(set - 1)][0];
    for (std::size_t l = 0; l < 5; ++l) a.kappa_prime[l] = kappas[static_cast<std::size_t>(set - 1)][l + 1];
  }
  m.to_cart = orthogonalisation(m.cell);
  return m;
}

// ---- vorn_rho.cif ----

// The values of a loop column, or an empty list.
inline std::vector<std::string> column(const cifdoc::Block& b, const std::string& tag) {
  const cifdoc::Column* c = b.find(tag);
  return c == nullptr ? std::vector<std::string>{} : c->values;
}
inline double number(const std::string& raw) { return cifdoc::as_number(raw); }

inline Model rho_model(const cifdoc::Block& b) {
  Model m;
  const auto x = column(b, "_atom_site_fract_x");
  m.fractional = !x.empty();
  if (m.fractional) {
    const char* names[] = {"_cell_length_a", "_cell_length_b", "_cell_length_c",
                           "_cell_angle_alpha", "_cell_angle_beta", "_cell_angle_gamma"};
    for (std::size_t k = 0; k < 6; ++k) m.cell[k] = number(column(b, names[k]).at(0));
    m.to_cart = orthogonalisation(m.cell);
  }
  const std::string axis = m.fractional ? "_atom_site_fract_" : "_atom_site_Cartn_";
  const auto labels = column(b, "_atom_site_label"), xs = column(b, axis + "x"), ys = column(b, axis + "y"),
             zs = column(b, axis + "z"), occ = column(b, "_atom_site_occupancy");
  std::map<std::string, double> occupancy;
  for (std::size_t k = 0; k < labels.size(); ++k) {
    const std::string l = cifdoc::as_string(labels[k]);
    m.sites[l] = {number(xs.at(k)), number(ys.at(k)), number(zs.at(k))};
    occupancy[l] = number(occ.at(k));
  }
  std::map<std::string, std::size_t> row;
  const auto ax_label = column(b, "_atom_local_axes_atom_label"), a0 = column(b, "_atom_local_axes_atom0"),
             a1 = column(b, "_atom_local_axes_ax1"), a2 = column(b, "_atom_local_axes_atom2"),
             x2 = column(b, "_atom_local_axes_ax2");
  for (std::size_t k = 0; k < ax_label.size(); ++k) {
    AtomModel a;
    a.label = cifdoc::as_string(ax_label[k]);
    a.atom0 = cifdoc::as_string(a0[k]);
    a.ax1 = cifdoc::as_string(a1[k]);
    a.atom2 = cifdoc::as_string(a2[k]);
    a.ax2 = cifdoc::as_string(x2[k]);
    if (m.sites.count(a.label)) a.frac = m.sites[a.label];
    a.occupancy = occupancy.count(a.label) ? occupancy[a.label] : 0;
    row[a.label] = m.atoms.size();
    m.atoms.push_back(a);
  }
  const auto mp_label = column(b, "_atom_rho_multipole_atom_label");
  const auto col = [&](const std::string& tag) { return column(b, "_atom_rho_multipole_" + tag); };
  const auto pc = col("coeff_Pc"), pv = col("coeff_Pv"), kappa = col("kappa");
  std::map<std::pair<int, int>, std::vector<std::string>> p;
  for (int l = 0; l <= 4; ++l)
    for (int mm = -l; mm <= l; ++mm)
      p[{l, mm}] = col("coeff_P" + std::to_string(l) + (mm < 0 ? "_" : "") + std::to_string(mm < 0 ? -mm : mm));
  std::array<std::vector<std::string>, 5> prime;
  for (std::size_t l = 0; l < 5; ++l) prime[l] = col("kappa_prime" + std::to_string(l));
  for (std::size_t k = 0; k < mp_label.size(); ++k) {
    const std::string l = cifdoc::as_string(mp_label[k]);
    if (!row.count(l)) {
      ADD_FAILURE() << "multipole row " << l << " has no local axes";
      continue;
    }
    AtomModel& a = m.atoms[row[l]];
    a.pc = number(pc.at(k));
    a.pv = number(pv.at(k));
    for (auto& [lm, v] : p) a.P(lm.first, lm.second) = number(v.at(k));
    a.kappa = number(kappa.at(k));
    for (std::size_t q = 0; q < 5; ++q) a.kappa_prime[q] = number(prime[q].at(k));
  }
  return m;
}

// ---- frames and densities ----

// The axis a letter names (optionally signed: "-Y") and its sign.
inline int axis_index(const std::string& ax, double& sign) {
  sign = !ax.empty() && ax[0] == '-' ? -1.0 : 1.0;
  const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(ax.empty() ? ' ' : ax.back())));
  return c == 'X' ? 0 : c == 'Y' ? 1 : c == 'Z' ? 2 : -1;
}

// The local X, Y, Z (Cartesian unit vectors) of an atom: ax1 from the atom
// towards atom0, ax2 at right angles to it in the plane of the atom, atom0
// and atom2, on the side of atom2; the third axis by the right-hand rule,
// reversed for an "L" frame. False when a reference names no site.
inline bool frame_of(const Model& m, const AtomModel& a, std::array<D3, 3>& axes) {
  if (!m.sites.count(a.label) || !m.sites.count(a.atom0) || !m.sites.count(a.atom2)) return false;
  const D3 o = m.cart(a.label);
  double s1 = 1, s2 = 1;
  const int i1 = axis_index(a.ax1, s1), i2 = axis_index(a.ax2, s2);
  if (i1 < 0 || i2 < 0 || i1 == i2) return false;
  const D3 u = unit(sub(m.cart(a.atom0), o));
  const D3 w = sub(m.cart(a.atom2), o);
  const D3 v = unit(sub(w, scaled(u, dot3(w, u))));
  const int i3 = 3 - i1 - i2;
  axes[static_cast<std::size_t>(i1)] = scaled(u, s1);
  axes[static_cast<std::size_t>(i2)] = scaled(v, s2);
  const std::size_t n1 = static_cast<std::size_t>((i3 + 1) % 3), n2 = static_cast<std::size_t>((i3 + 2) % 3);
  axes[static_cast<std::size_t>(i3)] = cross3(axes[n1], axes[n2]);
  if (a.hand == 'L') axes[static_cast<std::size_t>(i3)] = scaled(axes[static_cast<std::size_t>(i3)], -1);
  return true;
}

// The index of P(l, m) among the harmonics of harmonics.hpp.
inline int harmonic_index(int l, int m) {
  if (l == 0) return 0;
  if (l == 1) return m == 1 ? 1 : m == -1 ? 2 : 3;
  const int base = l * l;
  return m == 0 ? base : m > 0 ? base + 2 * m - 1 : base + 2 * -m;
}

// Slater functions r^n exp(-zeta r) for the spherical valence and each l,
// the same on both sides (both files name the same radial sources).
inline double slater(int n, double zeta, double r) { return std::pow(r, n) * std::exp(-zeta * r); }

// The valence and deformation density of the atom at Cartesian offset d
// from its nucleus, in its frame.
inline double density_at(const AtomModel& a, const std::array<D3, 3>& axes, const D3& d) {
  static constexpr int kN[] = {2, 2, 2, 3, 4};
  constexpr double kZeta = 3.8;  // per Angstrom
  const double r = std::sqrt(dot3(d, d));
  const D3 local{dot3(d, axes[0]) / r, dot3(d, axes[1]) / r, dot3(d, axes[2]) / r};
  double rho = a.pv * std::pow(a.kappa, 3) * slater(2, kZeta, a.kappa * r);
  for (int l = 0; l <= 4; ++l) {
    const double kp = a.kappa_prime[static_cast<std::size_t>(l)];
    double angular = 0;
    for (int m = -l; m <= l; ++m) angular += a.P(l, m) * harmonic(harmonic_index(l, m), local);
    rho += std::pow(kp, 3) * slater(kN[l], kZeta, kp * r) * angular;
  }
  return rho;
}

// Directions on the sphere, the same every run.
inline std::vector<D3> random_directions(int n, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> g;
  std::vector<D3> v;
  for (int k = 0; k < n; ++k) v.push_back(unit({g(gen), g(gen), g(gen)}));
  return v;
}

// ---- data names ----

// The CIF 1 names the electron-density dictionary defines (its aliases),
// in lower case, read from the dictionary file.
inline std::set<std::string> dictionary_names(const std::string& dic) {
  std::set<std::string> names;
  bool alias_loop = false;
  for (const std::string& l : lines_of(dic)) {
    const auto w = words_of(l);
    if (w.empty()) {
      alias_loop = false;
      continue;
    }
    std::string v;
    if (w[0] == "_alias.definition_id") {
      if (w.size() >= 2)
        v = w[1];
      else
        alias_loop = true;
    } else if (alias_loop && w.size() == 1 && w[0].size() > 2 && w[0][0] == '\'') {
      v = w[0];
    } else if (w[0] != "loop_") {
      alias_loop = false;
    }
    if (v.size() > 2 && v.front() == '\'' && v.back() == '\'') v = v.substr(1, v.size() - 2);
    if (!v.empty()) {
      for (char& c : v) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      names.insert(v);
    }
  }
  return names;
}

// The core CIF names the file may use besides: the categories the
// electron-density dictionary imports from the core dictionary and leaves
// to it (cell, space group and its operators, atom sites and their
// displacement parameters, the audit record). Each is the core
// dictionary's own CIF 1 name for what the file writes there.
inline const std::set<std::string>& core_names() {
  static const std::set<std::string> names = {
      "_audit_creation_method",
      "_cell_length_a", "_cell_length_b", "_cell_length_c",
      "_cell_angle_alpha", "_cell_angle_beta", "_cell_angle_gamma",
      "_space_group_name_h-m_alt", "_space_group_it_number",
      "_space_group_symop_id", "_space_group_symop_operation_xyz",
      "_atom_site_label", "_atom_site_type_symbol",
      "_atom_site_fract_x", "_atom_site_fract_y", "_atom_site_fract_z",
      "_atom_site_cartn_x", "_atom_site_cartn_y", "_atom_site_cartn_z",
      "_atom_site_occupancy", "_atom_site_adp_type", "_atom_site_u_iso_or_equiv", "_atom_site_calc_flag",
      "_atom_site_aniso_label", "_atom_site_aniso_u_11", "_atom_site_aniso_u_22", "_atom_site_aniso_u_33",
      "_atom_site_aniso_u_12", "_atom_site_aniso_u_13", "_atom_site_aniso_u_23"};
  return names;
}

inline std::string dictionary_text() {
  return read_file(std::filesystem::path(VORN_SOURCE_DIR) / ".." / "shared" / "dictionaries" / "cif_rho.dic");
}


// ---- the whole comparison ----

struct RhoCheck {
  int atoms = 0;      // atoms whose frame and density were compared
  int dummies = 0;    // dummy sites
  int directions = 0; // density comparisons made
  int beyond_1e3 = 0;  // frames off those of vorn.json by more than 1e-3 (within what the decimals allow)
};

// How far the axes of a frame turn when each of its three points moves by
// about eps (to first order): the first axis by 2 eps / |u|, the part of
// the second direction across the first, w', by 2 eps plus |w| times that
// turn, and its axis by that over |w'|; the third axis by the sum.
inline double frame_rounding(const Model& m, const AtomModel& a, double eps) {
  const D3 o = m.cart(a.label);
  const D3 u = sub(m.cart(a.atom0), o), w = sub(m.cart(a.atom2), o);
  const double lu = std::sqrt(dot3(u, u)), lw = std::sqrt(dot3(w, w));
  const D3 across = sub(w, scaled(u, dot3(w, u) / (lu * lu)));
  const double first = 2 * eps / lu;
  const double second = (2 * eps + lw * first) / std::sqrt(dot3(across, across));
  return first + second;
}

// Reads vorn_rho.cif of a finished run with gemmi and checks it against
// the run's xd_vorn.mas, xd_vorn.inp and vorn.json: the data names, the
// labels the axes name, the populations and kappas, the frames (within
// 1e-3 of those of vorn.json) and the density of every atom at 50
// directions (within 1e-6 of the one of the XD files).
inline RhoCheck check_rho_cif(const TestRun& t, const std::string& name, const std::set<std::string>& dictionary) {
  RhoCheck out;
  const std::string text = t.read("vorn_rho.cif");
  cifdoc::Document doc;
  try {
    doc = cifdoc::parse(text, "vorn_rho.cif");
  } catch (const std::exception& e) {
    ADD_FAILURE() << name << ": vorn_rho.cif does not read: " << e.what();
    return out;
  }
  EXPECT_EQ(text.rfind("#\\#CIF_1.1\n", 0), 0u) << name;
  if (doc.blocks.size() != 1) {
    ADD_FAILURE() << name << ": " << doc.blocks.size() << " data blocks";
    return out;
  }
  const cifdoc::Block& b = doc.blocks[0];
  for (const auto& [tag, col] : b.items)
    EXPECT_TRUE(dictionary.count(tag) || core_names().count(tag) || tag.rfind("_vorn_", 0) == 0)
        << name << ": " << tag << " is defined nowhere";

  // Sites: the dummies have no occupancy and say so.
  const auto labels = column(b, "_atom_site_label"), flags = column(b, "_atom_site_calc_flag"),
             occ = column(b, "_atom_site_occupancy");
  std::set<std::string> sites;
  for (std::size_t k = 0; k < labels.size(); ++k) {
    const std::string l = cifdoc::as_string(labels[k]);
    EXPECT_TRUE(sites.insert(l).second) << name << ": site " << l << " twice";
    if (cifdoc::as_string(flags.at(k)) == "dum") {
      ++out.dummies;
      EXPECT_EQ(number(occ.at(k)), 0.0) << name << ": dummy " << l;
    }
  }
  for (const char* tag : {"_atom_local_axes_atom_label", "_atom_local_axes_atom0", "_atom_local_axes_atom1",
                          "_atom_local_axes_atom2", "_atom_rho_multipole_atom_label", "_atom_site_aniso_label",
                          "_vorn_atom_model_label"})
    for (const std::string& v : column(b, tag))
      EXPECT_TRUE(sites.count(cifdoc::as_string(v))) << name << ": " << tag << " " << v << " is no atom site";

  const Model rho = rho_model(b);
  const Model xd = xd_model(t.read("xd_vorn.mas"), t.read("xd_vorn.inp"), rho.fractional);
  const nlohmann::json record = nlohmann::json::parse(t.read("vorn.json"));
  const auto& json_atoms = record.at("atoms");
  if (rho.atoms.size() != xd.atoms.size() || rho.atoms.size() != json_atoms.size()) {
    ADD_FAILURE() << name << ": " << rho.atoms.size() << " atoms with local axes, " << xd.atoms.size()
                  << " in the XD files, " << json_atoms.size() << " in vorn.json";
    return out;
  }
  EXPECT_EQ(out.dummies, static_cast<int>(record.at("dummies").size())) << name;

  // The frames in VORN's Cartesian system: the cell the file gives must be
  // the one of that system's matrix.
  Model in_vorn_axes = rho;
  if (rho.fractional) {
    DMat m{};
    for (std::size_t r = 0; r < 3; ++r)
      for (std::size_t c = 0; c < 3; ++c) m[r][c] = record.at("to_cartesian")[r][c].get<double>();
    for (std::size_t i = 0; i < 3; ++i)
      for (std::size_t j = 0; j < 3; ++j) {
        double g_vorn = 0, g_file = 0;
        for (std::size_t k = 0; k < 3; ++k) {
          g_vorn += m[k][i] * m[k][j];
          g_file += rho.to_cart[k][i] * rho.to_cart[k][j];
        }
        EXPECT_NEAR(g_vorn, g_file, 1e-3 * std::max(1.0, std::fabs(g_file))) << name << ": metric " << i << j;
      }
    in_vorn_axes.to_cart = m;
  }

  // How far a written position lies from the one VORN worked with: about
  // half a unit of the last decimal along the longest cell edge.
  const double rounding = 0.5e-5 * (rho.fractional ? std::max({rho.cell[0], rho.cell[1], rho.cell[2]}) : 1.0);
  const auto directions = random_directions(50, 2024);
  for (std::size_t i = 0; i < rho.atoms.size(); ++i) {
    const AtomModel& r = rho.atoms[i];
    const AtomModel& x = xd.atoms[i];
    const std::string who = name + " " + r.label;
    if (r.label != x.label) {
      ADD_FAILURE() << name << ": atom " << i + 1 << " is " << r.label << " in vorn_rho.cif, " << x.label
                    << " in the XD files";
      return out;
    }
    // Populations and kappas as xd_vorn.inp gives them (a right-handed
    // frame written for an "L" one changes signs: the density shows that).
    EXPECT_DOUBLE_EQ(r.pv, x.pv) << who;
    if (x.hand == 'R') {
      for (int l = 0; l <= 4; ++l)
        for (int m = -l; m <= l; ++m) {
          EXPECT_DOUBLE_EQ(r.P(l, m), x.P(l, m)) << who << " P" << l << m;
        }
    }
    EXPECT_DOUBLE_EQ(r.kappa, x.kappa) << who;
    for (std::size_t l = 0; l < 5; ++l) EXPECT_DOUBLE_EQ(r.kappa_prime[l], x.kappa_prime[l]) << who << " kappa'";

    std::array<D3, 3> fr{}, fx{}, fv{};
    const bool has_r = frame_of(rho, r, fr), has_x = frame_of(xd, x, fx), has_v = frame_of(in_vorn_axes, r, fv);
    const auto& jf = json_atoms[i].at("frame");
    if (jf.at("x").is_null()) {
      EXPECT_FALSE(has_x && std::isfinite(fx[0][0])) << who << ": a frame vorn.json does not have";
      continue;
    }
    if (!has_r || !has_x || !has_v) {
      ADD_FAILURE() << who << ": no frame from the files";
      continue;
    }
    double off = 0;
    for (std::size_t a = 0; a < 3; ++a)
      for (std::size_t c = 0; c < 3; ++c)
        off = std::max(off, std::fabs(fv[a][c] - jf.at(std::string(1, "xyz"[a]))[c].get<double>()));
    // Beyond 1e-3 only where the written decimals fix the frame no better.
    if (off > 1e-3) {
      ++out.beyond_1e3;
      EXPECT_LE(off, frame_rounding(in_vorn_axes, r, rounding)) << who << ": frame off vorn.json by " << off;
    }
    for (const D3& u : directions) {
      const D3 d = scaled(u, 0.5);
      const double from_rho = density_at(r, fr, d), from_xd = density_at(x, fx, d);
      EXPECT_LE(std::fabs(from_rho - from_xd), 1e-6 * std::max(std::fabs(from_rho), std::fabs(from_xd)) + 1e-15)
          << who << ": " << from_rho << " against " << from_xd;
      ++out.directions;
    }
    ++out.atoms;
  }
  return out;
}

}  // namespace vorn::test
