#include "output/rho_cif.hpp"

#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/elements.hpp"
#include "base/text.hpp"
#include "base/version.hpp"
#include "local/frame.hpp"
#include "output/populations.hpp"
#include "output/scattering_sources.hpp"
#include "output/xd_master.hpp"
#include "symmetry/group_name.hpp"

namespace vorn {

namespace {

constexpr std::string_view kRoutine = "write_rho_cif";

// Decimals of the numbers, those of xd_vorn.inp (and of the dummy table of
// xd_vorn.mas), so that both files give the same density to the last digit.
constexpr int kPositionDecimals = 5;  // atom coordinates (F9.5)
constexpr int kDummyDecimals = 6;     // dummy coordinates (F12.6)
constexpr int kOccupancyDecimals = 4; // F8.4
constexpr int kUDecimals = 6;         // F10.6
constexpr int kPopulationDecimals = 4;  // F8.4
constexpr int kKappaDecimals = 6;     // F10.6

// The text is built in one buffer and handed to the file a piece at a time.
class CifText {
 public:
  explicit CifText(std::ostream& os) : os_(os) { s_.reserve(2 * kPiece); }
  ~CifText() { flush(); }
  CifText(const CifText&) = delete;
  CifText& operator=(const CifText&) = delete;

  CifText& raw(std::string_view t) {
    s_.append(t);
    return *this;
  }
  CifText& blank() {
    s_.push_back(' ');
    return *this;
  }
  // A row or a line ends; a full piece goes to the file.
  void end_line() {
    s_.push_back('\n');
    if (s_.size() >= kPiece) flush();
  }
  void line(std::string_view t) {
    raw(t);
    end_line();
  }
  // A value, quoted as CIF 1.1 asks where it could be read as something
  // else (or holds blanks); an empty text is unknown ("?").
  CifText& value(std::string_view v);
  // v rounded to the given decimals as an F field of a Fortran write rounds
  // it (the exact value, ties to even); no sign on a value that rounds to zero.
  CifText& fixed(float v, int decimals);
  CifText& integer(long long v) {
    char buf[24];
    s_.append(buf, static_cast<std::size_t>(std::to_chars(buf, buf + sizeof buf, v).ptr - buf));
    return *this;
  }
  void flush() {
    os_.write(s_.data(), static_cast<std::streamsize>(s_.size()));
    s_.clear();
  }

 private:
  static constexpr std::size_t kPiece = 64 * 1024;
  std::ostream& os_;
  std::string s_;
};

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// A quote character ends a quoted value only where a blank follows it.
bool closes_early(std::string_view v, char quote) {
  for (std::size_t k = 0; k + 1 < v.size(); ++k)
    if (v[k] == quote && is_blank(v[k + 1])) return true;
  return false;
}

// The words CIF reserves, which no bare value may begin with (any case).
bool starts_reserved(std::string_view v) {
  const auto starts = [&](std::string_view w) {
    if (v.size() < w.size()) return false;
    for (std::size_t k = 0; k < w.size(); ++k)
      if ((v[k] & ~0x20) != (w[k] & ~0x20) && !(w[k] == '_' && v[k] == '_')) return false;
    return true;
  };
  return starts("DATA_") || starts("SAVE_") || starts("LOOP_") || starts("GLOBAL_") || starts("STOP_");
}

// A value that reads as itself without quotes: printable, no blank, not
// beginning with a character or word that means something else.
bool bare(std::string_view v) {
  if (v == "." || v == "?") return false;
  switch (v[0]) {
    case '_': case '#': case '$': case '\'': case '"': case '[': case ']': case ';': return false;
    case 'd': case 'D': case 's': case 'S': case 'l': case 'L': case 'g': case 'G':
      if (starts_reserved(v)) return false;
      break;
    default: break;
  }
  for (char c : v)
    if (static_cast<unsigned char>(c) <= 32 || static_cast<unsigned char>(c) >= 127) return false;
  return true;
}

CifText& CifText::value(std::string_view v) {
  if (v.empty()) return raw("?");
  if (bare(v)) return raw(v);
  if (v.find_first_of("\r\n") == std::string_view::npos) {
    if (!closes_early(v, '\'') && v.back() != '\'') return raw("'").raw(v).raw("'");
    if (!closes_early(v, '"') && v.back() != '"') return raw("\"").raw(v).raw("\"");
  }
  // A text field, whose delimiter stands first on a line: no line of the
  // value may begin with it.
  s_.append("\n;");
  for (std::size_t k = 0; k < v.size(); ++k) {
    s_.push_back(v[k]);
    if ((v[k] == '\n' || v[k] == '\r') && k + 1 < v.size() && v[k + 1] == ';') s_.push_back(' ');
  }
  return raw("\n;");
}

CifText& CifText::fixed(float v, int decimals) {
  static constexpr double kScale[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};
  if (v == 0.0f) {
    static constexpr std::string_view kZero = "0.000000";
    return raw(kZero.substr(0, static_cast<std::size_t>(decimals) + 2));
  }
  if (!std::isfinite(v)) return raw("?");
  // A float times at most 10^6 fits a double exactly, so that rounding the
  // product rounds the exact value, to even as the default mode does.
  const double whole = std::nearbyint(static_cast<double>(v) * kScale[decimals]);
  if (!(std::fabs(whole) < 1e15)) {
    char buf[64];
    s_.append(buf, static_cast<std::size_t>(
                       std::to_chars(buf, buf + sizeof buf, static_cast<double>(v), std::chars_format::fixed, decimals).ptr -
                       buf));
    return *this;
  }
  const auto n = static_cast<long long>(whole);
  char digits[24];
  const char* end = std::to_chars(digits, digits + sizeof digits, n < 0 ? -n : n).ptr;
  std::string_view d(digits, static_cast<std::size_t>(end - digits));
  const auto places = static_cast<std::size_t>(decimals);
  if (n < 0) s_.push_back('-');
  if (d.size() > places) {
    s_.append(d.substr(0, d.size() - places));
    d.remove_prefix(d.size() - places);
  } else {
    s_.push_back('0');
  }
  s_.push_back('.');
  s_.append(places - d.size(), '0');
  s_.append(d);
  return *this;
}

std::string element_symbol(int z) {
  std::string s(rtrim(atsym(z)));
  if (s.size() == 2) s[1] = static_cast<char>(std::tolower(static_cast<unsigned char>(s[1])));
  return s;
}

// The block is named after the structure file: data_ and its stem, each
// character a CIF name cannot hold replaced by "_".
std::string block_name(const Run& run) {
  std::string stem = std::filesystem::path(std::string(rtrim(run.ctl.args))).stem().string();
  for (char& c : stem)
    if (static_cast<unsigned char>(c) <= 32 || static_cast<unsigned char>(c) >= 127) c = '_';
  // Data block codes of CIF 1.1 hold at most 75 characters with "data_".
  if (stem.size() > 70) stem.resize(70);
  return "data_" + (stem.empty() ? std::string("vorn") : stem);
}

std::string_view atom_label(const Run& run, int i) { return rtrim(run.atoms.label[static_cast<std::size_t>(i)]); }

void write_head(Run& run, CifText& t) {
  t.line("#\\#CIF_1.1");
  t.line("# The multipole model of every atom as VORN set it up, in the terms of the");
  t.line("# electron-density dictionary (CIF 1 names). Populations, kappas, coordinates and");
  t.line("# displacement parameters are those of xd_vorn.inp, to its decimals; populations");
  t.line("# include the site occupancy, as there. Items of _vorn_atom_model: see VORN's");
  t.line("# docs/rhocif.md.");
  t.line(block_name(run));
  t.raw("_audit_creation_method ").value("VORN " + std::string(program_version())).end_line();
}

void write_cell_and_group(Run& run, CifText& t) {
  const auto& c = run.ucell;
  const char* names[] = {"_cell_length_a", "_cell_length_b", "_cell_length_c",
                         "_cell_angle_alpha", "_cell_angle_beta", "_cell_angle_gamma"};
  t.end_line();
  for (std::size_t k = 0; k < 6; ++k) {
    t.raw(names[k]).blank();
    // As the CELL line of xd_vorn.mas: four decimals where VORN writes it,
    // the values of the input master file for XD input.
    if (run.ctl.iformat == FMT_XD) {
      char buf[32];
      t.raw(std::string_view(buf, static_cast<std::size_t>(std::to_chars(buf, buf + sizeof buf, c[k]).ptr - buf)));
    } else {
      t.fixed(c[k], 4);
    }
    t.end_line();
  }
  const GroupName g = group_name(run.symm);
  t.end_line();
  t.raw("_space_group_name_H-M_alt ").value(g.hm).end_line();
  t.raw("_space_group_IT_number ");
  if (g.number > 0)
    t.integer(g.number);
  else
    t.raw("?");
  t.end_line();
  t.end_line();
  t.line("loop_");
  t.line("_space_group_symop_id");
  t.line("_space_group_symop_operation_xyz");
  for (int k = 1; k <= run.symm.nsym; ++k) {
    t.integer(k).blank().value(operator_triplet(run.symm.op[static_cast<std::size_t>(k)]));
    t.end_line();
  }
  if (g.hm.empty())
    to_both(run, "(/' vorn_rho.cif : the ',i0,' symmetry operators form no tabulated space-group setting;',"
                 "' its H-M name is written as unknown (?)')"_f,
            run.symm.nsym);
}

void write_atom_sites(Run& run, CifText& t, int ndum) {
  const bool fractional = run.ctl.ifrac == 1;
  const SingleU single_u(run);
  t.end_line();
  t.line("loop_");
  for (const char* name : {"_atom_site_label", "_atom_site_type_symbol"}) t.line(name);
  if (fractional)
    for (const char* name : {"_atom_site_fract_x", "_atom_site_fract_y", "_atom_site_fract_z"}) t.line(name);
  else
    for (const char* name : {"_atom_site_Cartn_x", "_atom_site_Cartn_y", "_atom_site_Cartn_z"}) t.line(name);
  for (const char* name : {"_atom_site_occupancy", "_atom_site_adp_type", "_atom_site_U_iso_or_equiv",
                           "_atom_site_calc_flag"})
    t.line(name);
  for (int i = 1; i <= run.atoms.nat; ++i) {
    const auto k = static_cast<std::size_t>(i);
    t.value(atom_label(run, i)).blank().value(element_symbol(run.atoms.iz[k]));
    const Vec3 x = written_position(run, i);
    for (float v : x) t.blank().fixed(v, kPositionDecimals);
    t.blank().fixed(run.atoms1.occ[k], kOccupancyDecimals);
    const Uij& u = run.at_uij[k];
    if (!single_u.anisotropic(i))
      t.raw(" Uiso ").fixed(u[0], kUDecimals);
    else if (fractional)
      t.raw(" Uani ").fixed(single_u(i), kUDecimals);
    else  // Cartesian terms: their trace
      t.raw(" Uani ").fixed((u[0] + u[1] + u[2]) / 3.0f, kUDecimals);
    t.raw(" d");
    t.end_line();
  }
  // The points the frames point at where no atom lies: sites of no
  // occupancy, marked as dummies.
  for (int j = 1; j <= ndum; ++j) {
    const auto k = static_cast<std::size_t>(j);
    t.value(rtrim(run.dummy.label[k])).raw(" .");
    for (float v : run.dummy.x[k]) t.blank().fixed(v, kDummyDecimals);
    t.raw(" 0 . . dum");
    t.end_line();
  }
  if (!fractional) return;
  bool any = false;
  for (int i = 1; i <= run.atoms.nat && !any; ++i) any = single_u.anisotropic(i);
  if (!any) return;
  t.end_line();
  t.line("loop_");
  for (const char* name : {"_atom_site_aniso_label", "_atom_site_aniso_U_11", "_atom_site_aniso_U_22",
                           "_atom_site_aniso_U_33", "_atom_site_aniso_U_12", "_atom_site_aniso_U_13",
                           "_atom_site_aniso_U_23"})
    t.line(name);
  for (int i = 1; i <= run.atoms.nat; ++i) {
    if (!single_u.anisotropic(i)) continue;
    t.value(atom_label(run, i));
    for (float v : run.at_uij[static_cast<std::size_t>(i)]) t.blank().fixed(v, kUDecimals);
    t.end_line();
  }
}

char axis_letter(int code) { return code == 1 ? 'X' : code == 2 ? 'Y' : code == 3 ? 'Z' : '?'; }

// Axis references that name no atom and no dummy, counted for the warning.
void write_local_axes(Run& run, CifText& t, int& unnamed) {
  t.end_line();
  t.line("loop_");
  for (const char* name : {"_atom_local_axes_atom_label", "_atom_local_axes_atom0", "_atom_local_axes_ax1",
                           "_atom_local_axes_atom1", "_atom_local_axes_atom2", "_atom_local_axes_ax2"})
    t.line(name);
  for (int i = 1; i <= run.atoms.nat; ++i) {
    const Mpole& mp = run.mpoles[static_cast<std::size_t>(i)];
    const std::string atom0 = axis_label(run, mp.atom0), atom2 = axis_label(run, mp.atom2);
    unnamed += (atom0.empty() ? 1 : 0) + (atom2.empty() ? 1 : 0);
    const char letters[] = {axis_letter(mp.ax1), axis_letter(mp.ax2)};
    // The frame's origin is the atom itself (ATOM1 of the atom table).
    t.value(atom_label(run, i)).blank().value(atom0).blank().raw(std::string_view(&letters[0], 1));
    t.blank().value(atom_label(run, i)).blank().value(atom2).blank().raw(std::string_view(&letters[1], 1));
    t.end_line();
  }
}

// Source texts of the wavefunction tables VORN's SCAT lines name.
std::string table_text(const std::string& table) {
  if (table == "CHFW") return "Clementi & Roetti (1974) HF, XD table CHFW";
  return "XD table " + table;
}
std::string radial_text(const std::string& table) {
  if (table == "CSZD") return "Slater, single zeta, XD table CSZD";
  return "XD table " + table;
}

// What the multipole loop repeats for the atoms of one scattering table:
// configuration and sources, as the row writes them (made once).
struct TableTexts {
  std::string sources;
  int core_electrons = 0;
  bool known = false;
};

std::vector<TableTexts> table_texts(Run& run) {
  const std::vector<ScatteringSource> sources = scattering_sources(run);
  std::vector<TableTexts> out(sources.size());
  for (std::size_t k = 0; k < sources.size(); ++k) {
    const ScatteringSource& s = sources[k];
    std::ostringstream text;
    {
      CifText t(text);
      if (k > 0 && s.known)
        t.blank().value(configuration_text(s.occupancy)).blank().value(table_text(s.core)).blank()
            .value(table_text(s.valence)).blank().value(radial_text(s.deformation));
      else
        t.raw(" ? ? ? ?");
    }
    out[k].sources = text.str();
    out[k].known = k > 0 && s.known;
    out[k].core_electrons = core_electrons(s.occupancy);
  }
  return out;
}

// Kappa and the five kappa' of each set as the row writes them (made once):
// one kappa' for every l, as the kappa line of xd_vorn.inp repeats it.
std::vector<std::string> kappa_texts(const Run& run) {
  std::vector<std::string> out(static_cast<std::size_t>(run.kappas.n) + 1);
  for (std::size_t k = 1; k < out.size(); ++k) {
    std::ostringstream text;
    {
      CifText t(text);
      t.fixed(run.kappas.kappa[k], kKappaDecimals);
      for (int l = 0; l <= 4; ++l) t.blank().fixed(run.kappas.kappap[k], kKappaDecimals);
    }
    out[k] = text.str();
  }
  return out;
}

void write_multipoles(Run& run, CifText& t) {
  const std::vector<TableTexts> texts = table_texts(run);
  const std::vector<std::string> kappas = kappa_texts(run);
  t.end_line();
  t.line("loop_");
  for (const char* name :
       {"_atom_rho_multipole_atom_label", "_atom_rho_multipole_configuration", "_atom_rho_multipole_core_source",
        "_atom_rho_multipole_valence_source", "_atom_rho_multipole_radial_function_type",
        "_atom_rho_multipole_coeff_Pc", "_atom_rho_multipole_coeff_Pv", "_atom_rho_multipole_coeff_P00"})
    t.line(name);
  for (int l = 1; l <= 4; ++l) {
    t.raw("_atom_rho_multipole_coeff_P").integer(l).raw("0").end_line();
    for (int m = 1; m <= l; ++m) {
      t.raw("_atom_rho_multipole_coeff_P").integer(l).integer(m).end_line();
      t.raw("_atom_rho_multipole_coeff_P").integer(l).raw("_").integer(m).end_line();
    }
  }
  t.line("_atom_rho_multipole_kappa");
  for (int l = 0; l <= 4; ++l) t.raw("_atom_rho_multipole_kappa_prime").integer(l).end_line();

  for (int i = 1; i <= run.atoms.nat; ++i) {
    const auto a = static_cast<std::size_t>(i);
    const Mpole* mp = &run.mpoles[a];
    const int tbl = run.atoms1.isft[a];
    const TableTexts& tt = texts[tbl >= 1 && static_cast<std::size_t>(tbl) < texts.size() ? static_cast<std::size_t>(tbl) : 0];
    // Every frame is written right-handed.
    Mpole flipped;
    if (atom_frame(run, i).hand == 'L') {
      flipped = right_handed_populations(*mp, mp->ax1, mp->ax2);
      mp = &flipped;
    }
    t.value(atom_label(run, i)).raw(tt.sources);
    t.end_line();
    // The core is that of the SCAT line, times the occupancy as Pv is.
    if (tt.known)
      t.fixed(static_cast<float>(tt.core_electrons) * run.atoms1.occ[a], kPopulationDecimals);
    else
      t.raw("?");
    t.blank().fixed(mp->pv, kPopulationDecimals).blank().fixed(mp->P(0, 0), kPopulationDecimals);
    for (int l = 1; l <= 4; ++l) {
      t.end_line();
      t.fixed(mp->P(l, 0), kPopulationDecimals);
      for (int m = 1; m <= l; ++m)
        t.blank().fixed(mp->P(l, m), kPopulationDecimals).blank().fixed(mp->P(l, -m), kPopulationDecimals);
    }
    t.end_line();
    t.raw(kappas[static_cast<std::size_t>(mp->kap)]);
    t.end_line();
  }
}

// What the dictionary has no items for: the site symmetry of the key
// table, the kappa set, the atom a chemical constraint ties it to, and the
// key of xd_vorn.mas (which parameters a refinement starts with free).
void write_vorn_loop(Run& run, CifText& t) {
  t.end_line();
  t.line("loop_");
  for (const char* name : {"_vorn_atom_model_label", "_vorn_atom_model_site_symmetry", "_vorn_atom_model_kappa_set",
                           "_vorn_atom_model_constrained_to", "_vorn_atom_model_refine_key"})
    t.line(name);
  for (int i = 1; i <= run.atoms.nat; ++i) {
    const auto a = static_cast<std::size_t>(i);
    const Mpole& mp = run.mpoles[a];
    const std::string_view site = rtrim(run.atoms.sitesym[a]);
    t.value(atom_label(run, i)).blank();
    if (site.empty())
      t.raw(".");
    else
      t.value(site);
    t.blank().integer(mp.kap).blank();
    if (mp.equiv >= 1 && mp.equiv <= run.atoms.nat)
      t.value(atom_label(run, mp.equiv));
    else
      t.raw(".");
    t.blank().value(getkey(run, i));
    t.end_line();
  }
}

// Labels that name more than one site leave a reader unable to tell which
// one a frame or a population belongs to.
void warn_repeated_labels(Run& run, int ndum) {
  std::unordered_map<std::string_view, int> seen;
  seen.reserve(static_cast<std::size_t>(run.atoms.nat + ndum));
  std::string repeated;
  int count = 0;
  auto note = [&](std::string_view label) {
    if (++seen[label] == 2) {
      if (++count <= 10) repeated += (repeated.empty() ? "" : ", ") + std::string(label);
    }
  };
  for (int i = 1; i <= run.atoms.nat; ++i) note(atom_label(run, i));
  for (int j = 1; j <= ndum; ++j) note(rtrim(run.dummy.label[static_cast<std::size_t>(j)]));
  if (count == 0) return;
  if (count > 10) repeated += ", ...";
  to_both(run, "(/' vorn_rho.cif : ',i0,' label(s) name more than one site (',a,');',"
               "' a reader cannot tell those sites apart in the local axes and multipoles')"_f,
          count, repeated);
}

}  // namespace

Mpole right_handed_populations(const Mpole& left, int first, int second) {
  Mpole out = left;
  // The third axis reverses: x -> -x turns phi into pi - phi, y -> -y phi
  // into -phi, z -> -z theta into pi - theta.
  const int third = 6 - first - second;
  for (int l = 1; l <= 4; ++l)
    for (int m = -l; m <= l; ++m) {
      const int am = m < 0 ? -m : m;
      int sign = 1;
      if (third == 3)
        sign = (l + am) % 2 == 0 ? 1 : -1;
      else if (third == 1)
        sign = ((m >= 0 ? am : am + 1) % 2 == 0) ? 1 : -1;
      else if (third == 2)
        sign = m < 0 ? -1 : 1;
      out.P(l, m) = static_cast<float>(sign) * left.P(l, m);
    }
  return out;
}

void write_rho_cif(Run& run) {
  kappa_sets(run, kRoutine);
  const int ndum = dummy_count(run, kRoutine);
  CifText t(*run.rho);
  write_head(run, t);
  if (run.ctl.ifrac == 1)
    write_cell_and_group(run, t);
  else
    to_both(run, "(/' The input has no cell : vorn_rho.cif gives no cell and no space group, and Cartesian',"
                 "' coordinates (Angstrom)')"_f);
  write_atom_sites(run, t, ndum);
  int unnamed = 0;
  write_local_axes(run, t, unnamed);
  write_multipoles(run, t);
  write_vorn_loop(run, t);
  t.flush();
  if (unnamed > 0)
    to_both(run, "(/' vorn_rho.cif : ',i0,' axis reference(s) name no atom and no dummy; written as unknown (?)')"_f,
            unnamed);
  warn_repeated_labels(run, ndum);
}

}  // namespace vorn
