#include "local/atom_lines.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "base/text.hpp"
#include "chem/equivalence.hpp"
#include "chem/exceptions.hpp"
#include "databank/databank.hpp"
#include "io/scanner.hpp"
#include "local/dummies.hpp"
#include "local/kappa_index.hpp"
#include "local/key_masks.hpp"
#include "local/site_dummies.hpp"
#include "local/site_reduction.hpp"
#include "local/site_symmetry.hpp"

namespace vorn {

namespace {

bool unrefined(const Kappas& k, int set) {
  return std::fabs(k.kappa[static_cast<std::size_t>(set)] - 1.0f) <= 0.0001f &&
         std::fabs(k.kappap[static_cast<std::size_t>(set)] - 1.0f) <= 0.0001f;
}

// The text as pad(s, n) gives it; copied only when its length differs.
std::string_view fitted(const std::string& s, std::size_t n, std::string& spare) {
  if (s.size() == n) return s;
  spare = pad(s, n);
  return spare;
}

using ff::Columns;

void ensure_kappa_slot(Kappas& k, int set) {
  auto n = static_cast<std::size_t>(set + 1);
  if (k.kappa.size() < n) {
    k.kappa.resize(n, 0.0f);
    k.kappap.resize(n, 0.0f);
    k.nsft.resize(n, 0);
  }
}

// The atom's residue reference: 10 characters.
std::string_view residue_ref(const Run& run, int atom) {
  auto a = static_cast<std::size_t>(atom);
  return a < run.shelx.resshort.size() ? std::string_view(run.shelx.resshort[a]) : std::string_view();
}

// The atom-table line of the master file without trailing blanks, as
// "(a,1x,a,2x,a,2x,a,1x,a,1x,a,3x,'R ',2j3,2j4,3x,a,3x,a$)" gives it: every
// field but the four numbers is plain text, so the line is put together
// here, and formatted only when a number outgrows its field.
void xd_axis_line(std::string& line, const LocalAxes& ax, std::string_view lab, int iu, int isft, int kap, int lmax,
                  std::string_view sym, std::string_view equiv) {
  Columns c(line, 2 * lab.size() + ax.AX1.size() + ax.AX2.size() + equiv.size() + 64);
  c.text(lab).blanks(1).padded(ax.ATOM0, 8).blanks(2).text(ax.AX1).blanks(2).text(lab).blanks(1);
  c.padded(ax.ATOM2, 8).blanks(1).text(ax.AX2).text("   R ");
  if (c.int_field(iu, 3) && c.int_field(isft, 3) && c.int_field(kap, 4) && c.int_field(lmax, 4)) {
    c.blanks(3).padded(sym, 5).blanks(3).text(equiv).done();
  } else {
    line = ff::format("(a,1x,a,2x,a,2x,a,1x,a,1x,a,3x,'R ',2j3,2j4,3x,a,3x,a$)"_f, lab, pad(ax.ATOM0, 8), ax.AX1, lab,
                      pad(ax.ATOM2, 8), ax.AX2, iu, isft, kap, lmax, pad(sym, 5), equiv);
  }
  line.resize(rtrim(line).size());
}

struct KappaChoice {
  int kap = 0;
  int equiv = 0;  // the earlier atom this one is constrained to
};

int new_kappa_set(Run& run) {
  int n = ++run.kappaset[0];
  to_lst(run, "(/a,j4)"_f, " New kappa set = ", n);
  return n;
}

KappaChoice choose_kappa(Run& run, int i, const AtomFacts& f) {
  KappaChoice c;
  int tbl = run.atoms1.isft[i];
  if (run.ctl.itoxd == 1) {
    c.kap = tbl;
    run.kappaset[0] = std::max(run.kappaset[0], c.kap);
    return c;
  }
  if (!f.disordered && f.disordered_neighbor) {
    for (int k = 1; k <= run.kappas.n; ++k)
      if (run.kappas.nsft[static_cast<std::size_t>(k)] == tbl && unrefined(run.kappas, k)) {
        c.kap = k;
        to_lst(run, "(/a,j4)"_f, " Using old [IAM] kappa set = ", k);
        return c;
      }
    c.kap = new_kappa_set(run);
    return c;
  }
  to_lst(run, "(/a)"_f, " Calling DetExcept...");
  DetExcept(run, i);
  std::string& group = run.except.group[static_cast<std::size_t>(i)];
  for (char& ch : group) ch = upper(ch);
  if (run.except.flag[static_cast<std::size_t>(i)] == 1)
    to_lst(run, "(/' Exception identified for ',a,' : Functional group = [',a,']')"_f, rtrim(run.atoms.label[i]),
           rtrim(group));
  if (i > 1) {
    to_lst(run, "(/a)"_f, " Trying to determine the KAPPA SET : ");
    if (int k = earlier_equivalent(run, i, group); k > 0) {
      c.kap = run.kappaset[static_cast<std::size_t>(k)];
      to_lst(run, "(/a,j4)"_f, " Old kappa set = ", c.kap);
      // Equal multipoles would carry the one atom's site restrictions, or
      // its freedom, to the other in a frame that may differ: the kappa set
      // is shared, the multipoles are not.
      if (!site_group(run, i).empty() || !site_group(run, k).empty()) {
        to_lst(run, "(/' No chemical constraint to ',a,': one of the two is on a special position')"_f,
               rtrim(run.atoms.label[k]));
        return c;
      }
      c.equiv = k;
      return c;
    }
  }
  c.kap = new_kappa_set(run);
  return c;
}

// a + b == w, without building a + b.
bool joined_is(std::string_view a, std::string_view b, std::string_view w) {
  return a.size() + b.size() == w.size() && w.starts_with(a) && w.substr(a.size()) == b;
}

// The MoPro code of a site symmetry in a frame of the site (Z along its
// main axis, a lone mirror across Z), where the axis letters say nothing
// about the mirror: the codes MoPro shares with the chemical rules.
std::string_view site_symplm_code(std::string_view sitesym) {
  const std::string_view s = rtrim(sitesym);
  if (s == "m") return "mz  ";
  if (s == "mm2") return "mxmz";
  if (s == "3m") return "3m  ";
  if (s == "cyl") return "cy  ";
  return "    ";
}

std::string_view symplm_code(std::string_view sitesym, std::string_view ax1, std::string_view ax2) {
  const std::string_view s = rtrim(sitesym);
  if (s == "m") {
    if (joined_is(ax1, ax2, "XY") || joined_is(ax1, ax2, "YX")) return "mz  ";
    if (joined_is(ax1, ax2, "YZ") || joined_is(ax1, ax2, "ZY")) return "mx  ";
    return "my  ";
  }
  if (s == "mm2") return "mxmz";
  if (s == "3m") return "3m  ";
  if (s == "cyl") return "cy  ";
  return "    ";
}

// Databank multipoles of an atom on a special position: those its key
// fixes are set to zero (a fixed value the site forbids would stay in the
// model), and all but the monopole when the frame is the site's own, which
// is not the frame the databank entry describes.
void site_populations(Run& run, int i, Mpole& mp) {
  const std::string_view mask = key_mask(run.atoms.sitesym[i]);
  const bool own = site_frame_replaced(run, i) || reduced_frame_changed(run, i);
  std::string cleared;
  for (int k = 1; k < 25; ++k) {
    const auto [l, m] = key_flag_lm(k);
    if ((own || !key_flag(mask, k)) && mp.P(l, m) != 0.0f) {
      mp.P(l, m) = 0.0f;
      if (!cleared.empty()) cleared += ' ';
      cleared += key_flag_name(k);
    }
  }
  if (!cleared.empty())
    to_lst(run, "(/' Databank multipoles set to zero ',a,': ',a)"_f,
           site_group(run, i).empty() ? "in the frame of the reduced site symmetry" : "on the special position", cleared);
}

int axis_number(const std::string& letter) {
  switch (letter.empty() ? ' ' : letter[0]) {
    case 'X': return 1;
    case 'Y': return 2;
    case 'Z': return 3;
    default: return 0;
  }
}

}  // namespace

std::string mopro_name(const std::string& label) { return erbras_erum(label); }

// Dummy d is labelled "DUM"d, so its number is read from the label and
// checked; only a label that is not of that form needs the scan of the list.
int dummy_number(const Run& run, std::string_view label) {
  if (label.size() < 4 || label.substr(0, 3) != "DUM") return 0;
  int d = 0;
  std::size_t k = 3;
  for (; k < label.size() && k < 7 && label[k] >= '0' && label[k] <= '9'; ++k) d = 10 * d + (label[k] - '0');
  if (d < 1 || d > run.dummy.n || !same_padded(run.dummy.label[static_cast<std::size_t>(d)], label, 8)) return 0;
  return d;
}

int axis_index(const Run& run, const std::string& label) {
  if (const int d = dummy_number(run, label); d > 0) return run.atoms.nat + d;
  if (label.starts_with("DUM"))
    for (int d = 1; d <= run.dummy.n; ++d)
      if (same_padded(run.dummy.label[static_cast<std::size_t>(d)], label, 8)) return run.atoms.nat + d;
  std::string spare;
  const std::string_view l = fitted(label, 8, spare);
  if (const int a = run.label_index.find(l); a > 0) return a;
  for (int a = 1; a <= run.atoms.nat; ++a)
    if (run.atoms.label[a] == l) return a;
  return 0;
}

void refer_axes(Run& run, int i, const LocalAxes& ax, int equiv) {
  const auto ia = static_cast<std::size_t>(i);
  const int kap = run.kappaset[ia];
  const std::string& lab = run.atoms.label[i];
  std::string& line = run.atom_line;
  xd_axis_line(line, ax, lab, run.atoms1.iu[i], run.atoms1.isft[i], kap, run.atoms1.lmax[i], run.atoms.sitesym[i],
               equiv > 0 ? std::string_view(run.atoms.label[equiv]) : std::string_view("        "));
  if (run.atom_table.size() <= ia) run.atom_table.resize(ia + 1);
  run.atom_table[ia] = line;

  // MoPro axis line, 90 characters: plain text fields put together in the
  // run's line buffer and copied into their table, blank-padded.
  {
    // The set number as I5 writes it, without its leading blanks, in five columns.
    const ff::IntText kt(kap);
    const std::string_view k5 = kt.in_width(5);
    const std::string m0 = mopro_name(ax.ATOM0), m2 = mopro_name(ax.ATOM2);
    Columns c(line, ax.AX1.size() + ax.AX2.size() + m0.size() + m2.size() + 64);
    c.text(ax.AX1).text(ax.AX2).blanks(3).text(m0).blanks(3).text(m2).blanks(3);
    c.text(ernum_is(lab, "H") ? " QUA " : " HEX ");
    c.text("    K").padded(k5, 5).text("   V0  M0  Q0");
    c.done();
    run.mopro.set(ia, line);
  }
  if (ia < run.mpoles.size()) {
    Mpole& mp = run.mpoles[ia];
    mp.ax1 = axis_number(ax.AX1);
    mp.ax2 = axis_number(ax.AX2);
    mp.atom0 = axis_index(run, ax.ATOM0);
    mp.atom2 = axis_index(run, ax.ATOM2);
  }
}

void atom_lines(Run& run, int i, const AtomFacts& f) {
  const LocalAxes& ax = run.axes;
  auto ia = static_cast<std::size_t>(i);
  KappaChoice kc = choose_kappa(run, i, f);
  int kap = kc.kap;
  run.kappaset[ia] = kap;
  run.chemcon[ia] = kc.equiv > 0 ? 1 : 0;
  const std::string& sym = run.atoms.sitesym[i];
  to_lst(run, "(/3a)"_f, " Symmetry = [", sym, "]");

  // XD atom table and MoPro axis line
  const std::string& lab = run.atoms.label[i];
  refer_axes(run, i, ax, kc.equiv);
  if (waits_for_site_dummies(run, i)) {
    to_lst(run, "(/a)"_f, " Local coordinate system definition :  given after the last atom, when the dummies of the"
                        " site frame have their numbers");
  } else {
    const std::string& line = run.atom_table[ia];
    run.out << ' ' << line << '\n';
    to_lst(run, "(/a,a/)"_f, " Local coordinate system definition :  ", line);
  }

  const std::string name = mopro_name(lab);
  std::string& line = run.atom_line;
  if (kc.equiv > 0) {
    const std::string other = run.shelx.resi ? std::string() : mopro_name(run.atoms.label[kc.equiv]);
    Columns c(line, name.size() + other.size() + 64);
    c.text("! CONPVM  ");
    if (run.shelx.resi)
      c.padded(residue_ref(run, i), 10).blanks(2).padded(residue_ref(run, kc.equiv), 10);
    else
      c.text(name).text("  1 ").text(other).text(" 1");
    c.done();
    run.mcon.set(ia, line);
  }
  if (rtrim(sym) != "NO") {
    const std::string_view code = site_frame_replaced(run, i) || site_reduced(run, i)
                                      ? site_symplm_code(sym)
                                      : symplm_code(sym, ax.AX1, ax.AX2);
    if ((!site_group(run, i).empty() || site_reduced(run, i)) && rtrim(code).empty())
      to_lst(run, "(/' MoPro has no SYMPLM code for site symmetry ',a,': its code is left blank',"
                  "' (restrict the multipoles of ',a,' in MoPro by hand)')"_f,
             rtrim(sym), rtrim(lab));
    if (run.shelx.resi) {
      ff::write(*run.con, "(a,1x,a6,1x,a)"_f, "SYMPLM ", code, pad(residue_ref(run, i), 10));
    } else {
      ff::write(*run.con, "(a,1x,a,1x,a,1x,a)"_f, "SYMPLM ", code, name, "1");
    }
  }

  loc2plat(run, i);

  // Parameters: from the databank or by default
  bool use_db = run.ctl.idb == 1 && ((!f.disordered && !f.disordered_neighbor) || (f.disordered && run.ctl.idisDB == 1));
  to_lst(run, use_db ? "(/' Atom ',a,' :: will now read databank')"_f : "(/' Atom ',a,' :: will skip reading databank')"_f,
         rtrim(lab));
  Kappas& ks = run.kappas;
  ensure_kappa_slot(ks, kap);
  Mpole& mp = run.mpoles[ia];
  float occ = run.atoms1.occ[i];
  auto k = static_cast<std::size_t>(kap);
  if (use_db) {
    ReadDB(run, i);
    if (ia < run.db_atoms.size()) {
      DbAtom& d = run.db_atoms[ia];
      d.searched = true;
      d.found = run.dbrec.found != 0;
      if (d.found) d.entry = rtrim(run.dbrec.comment);
    }
    if (i == 1) {
      ks.n = 1;
      ks.nsft[1] = run.atoms1.isft[i];
    } else if (kap > ks.n) {
      ks.n = kap;
      ks.nsft[k] = run.atoms1.isft[i];
    }
    ks.kappa[k] = run.dbrec.kappa;
    ks.kappap[k] = run.dbrec.kappap;
    mp.pv = run.dbrec.pv * occ;
    mp.spv = run.dbrec.spv;
    for (int l = 0; l <= 4; ++l)
      for (int m = -l; m <= l; ++m)
        mp.P(l, m) = run.dbrec.plm[static_cast<std::size_t>(l)][static_cast<std::size_t>(m + 4)] * occ;
  } else {
    mp.pv = pval(run.atoms.iz[i]) * occ;
    ks.n = std::max(ks.n, kap);
    ks.kappa[k] = 1.0f;
    ks.kappap[k] = 1.0f;
    ks.nsft[k] = run.atoms1.isft[i];
  }
  if (use_db && (!site_group(run, i).empty() || site_reduced(run, i))) site_populations(run, i, mp);
  to_lst(run, "(/' CKS :: Atom=',j6,2x,'kset=',j4,2x,'nsft=',j4)"_f, i, kap, ks.nsft[k]);

  mp.atom1 = i;
  mp.tp = run.atoms1.iu[i];
  mp.tbl = run.atoms1.isft[i];
  mp.kap = kap;
  mp.lmx = 4;
  mp.one = 1;
  mp.equiv = kc.equiv;
}

}  // namespace vorn
