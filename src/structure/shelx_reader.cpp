#include "structure/shelx_reader.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>

#include "base/configurations.hpp"
#include "base/elements.hpp"
#include "base/error.hpp"
#include "base/text.hpp"
#include "format/fortran_io.hpp"
#include "io/scanner.hpp"
#include "structure/atom_labels.hpp"
#include "structure/atom_list.hpp"
#include "structure/input_fault.hpp"
#include "structure/shelx_atoms.hpp"
#include "symmetry/cards.hpp"
#include "symmetry/cell.hpp"
#include "symmetry/lattice.hpp"
#include "symmetry/oplist.hpp"

namespace vorn {

namespace {

constexpr const char* kLattice = "PIRFABC";

// What the first pass learns besides the tables, and the lines of the head
// of the XD master file in the order of the instructions they come from
// (written once the lattice is known: an R lattice is written otherwise).
struct Head {
  bool cell_read = false;
  bool latt_read = false;
  int nsymm = 0;  // SYMM lines
  struct Line {
    enum Kind { Plain, Latt, Symm } kind;
    std::string text;
  };
  std::vector<Line> mas;
};

class ShelxFile {
 public:
  ShelxFile(TextFile& f, std::string name) : f(f), name(std::move(name)) {}
  // "file x.res, line 12" for messages about the line last read.
  std::string where() const { return where(f.line_number()); }
  std::string where(std::size_t line) const { return "file " + name + ", line " + std::to_string(line); }
  // The same into a buffer that keeps its room from atom to atom.
  void where(std::size_t line, std::string& out) const {
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, line);
    out.assign("file ").append(name).append(", line ").append(digits, r.ptr);
  }
  TextFile& f;
  std::string name;
};

char last_nonblank(std::string_view s) {
  std::string_view t = rtrim(s);
  return t.empty() ? ' ' : t.back();
}

// Lines are read up to column 255. Text beyond it, unless it belongs to a
// comment, would be lost without a word: the reader stops instead.
void check_width(const ShelxFile& sf) {
  if (!sf.f.cut()) return;
  sf.f.backspace();
  std::string raw;
  sf.f.next_raw(raw);
  if (raw.substr(0, 255).find('!') != std::string::npos) return;
  err("ReadShelx", "Line longer than 255 characters, " + sf.where());
}

// An instruction with its "=" continuation lines joined into one line.
std::string gather(TextFile& f, std::string line) {
  while (last_nonblank(line) == '=') {
    line.resize(rtrim(line).size() - 1);
    std::string next;
    if (!f.next(next, 255)) break;
    strip_comment(next);
    line = std::string(rtrim(line)) + " " + upper(next);
  }
  return line;
}

int count_words(const std::string& s) { return dnumline(s, static_cast<int>(s.size()) + 1); }

}  // namespace

void write_mas_banner(Run& run) {
  std::ostream& m = *run.mas;
  ff::write(m, "(a)"_f, std::string(79, '!'));
  ff::write(m, "(a)"_f, "!                   CREATED BY PROGRAM << VORN >>");
  ff::write(m, "(a)"_f, std::string(79, '!'));
  ff::write(m, "(a)"_f, "TITLE TEST");
}

void write_mas_module(Run& run) {
  std::ostream& m = *run.mas;
  const std::string rule = "!" + std::string(78, '-');
  ff::write(m, "(a)"_f, std::string(79, '!'));
  ff::write(m, "(a)"_f, "!");
  ff::write(m, "(a)"_f, "    MODULE *XDLSM");
  ff::write(m, "(a)"_f, "!");
  ff::write(m, "(a)"_f, "SELECT  *model 4 0 0 0 based_on F test verbose 3");
  ff::write(m, "(a)"_f, "SELECT  cycle 15 dampk 0.6 cmin 0.6 cmax 1. eigcut 1.d-09");
  ff::write(m, "(a)"_f, "SAVE  deriv lsqmat cormat");
  ff::write(m, "(a)"_f, "SOLVE  *inv diag *cond");
  ff::write(m, "(a)"_f, rule);
  ff::write(m, "(a,a,a)"_f, "SCAT CORE SPHV DEFV   1S  2S  3S  4S  2P  3P",
            "  4P  3D  4D  4F  5S  5P  6S  6P  5D  7S  6D  5F  DELF'", "   DELF''  NSCTL");
  for (int k = 1; k <= run.at_types.ntyp; ++k) {
    const int z = run.at_types.iz[static_cast<std::size_t>(k)];
    ff::write(m, "(a2,3x,'CHFW CHFW CSZD',1x,18i4,2f8.4,f7.3)"_f, atsym(z), GetSFT(z), 0.0f, 0.0f, 0.0f);
    // The line keeps its place, so that the table numbers of the types after
    // it stay right; an atom of this type stops the run when it is read.
    if (z > MAXSCATZ)
      to_lst(run, "(/' Atom type ',i3,' (',a,') : no wavefunction table covers it; its SCAT line has no occupancies')"_f,
             k, rtrim(atsym(z)));
  }
  ff::write(m, "(a)"_f, "END SCAT");
  ff::write(m, "(a)"_f, rule);
}

namespace {

void read_cell(Run& run, Head& h, const ShelxFile& sf, const std::string& line) {
  float wave = 0.0f;
  Cell c{};
  ff::ListReader lr(std::string_view(line).substr(4));
  if (!lr.read(wave, c[0], c[1], c[2], c[3], c[4], c[5]))
    err("ReadShelx", "CELL needs the wavelength and six cell parameters, " + sf.where() + ": " + std::string(rtrim(line)));
  std::string fault = cell_fault(c);
  if (!fault.empty()) err("ReadShelx", "Impossible cell: " + fault + ", " + sf.where() + ": " + std::string(rtrim(line)));
  run.ucell = c;
  h.mas.push_back({Head::Line::Plain, ff::format("('CELL ',6f12.4)"_f, c)});
  h.mas.push_back({Head::Line::Plain, ff::format("('WAVE ',f12.6)"_f, wave)});
  ff::write(*run.par, "('CELL',3f10.4,3f9.4,1x,f8.5)"_f, c[0], c[1], c[2], c[3], c[4], c[5], wave);
  ff::write(*run.par, "(a)"_f);
}

void read_latt(Run& run, Head& h, const ShelxFile& sf, const std::string& line) {
  int n = 0;
  ff::ListReader lr(std::string_view(line).substr(4));
  if (!lr.read(n) || n == 0 || n < -7 || n > 7)
    err("ReadShelx", "LATT needs a lattice number from 1 to 7 or -1 to -7, " + sf.where() + ": " + std::string(rtrim(line)));
  run.shelx.latt = n;
  h.mas.push_back({Head::Line::Latt, ff::format("(a,a)"_f, n > 0 ? "LATT C " : "LATT A ", std::string(1, kLattice[std::abs(n) - 1]))});
}

void read_sfac(Run& run, const ShelxFile& sf, const std::string& line) {
  std::string buf = line + " ";
  readline(run.tok, buf, static_cast<int>(buf.size()));
  for (int k = 2; k <= run.tok.n; ++k) {
    const int z = iatnum(run.tok[k]);
    if (z == 0)
      err("ReadShelx", "SFAC names no known element: '" + std::string(rtrim(run.tok[k])) + "', " + sf.where());
    run.at_types.iz.push_back(z);
    ++run.at_types.ntyp;
  }
}

// FVAR and WGHT: the numbers after the keyword, as many as the line has words.
std::vector<float> read_values(const ShelxFile& sf, const std::string& line, const char* what) {
  const int n = count_words(line) - 1;
  std::vector<float> v(static_cast<std::size_t>(std::max(n, 0)));
  ff::ListReader lr(std::string_view(line).substr(4));
  for (float& x : v)
    if (!lr.next(x)) err("ReadShelx", std::string("Error reading the numbers of ") + what + ", " + sf.where() + ": " + std::string(rtrim(line)));
  return v;
}

bool is_first_pass_key(std::string_view head) {
  for (const char* key : {"CELL", "LATT", "SYMM", "SFAC", "FVAR", "WGHT", "RESI"})
    if (head == key) return true;
  return false;
}

Head first_pass(Run& run, ShelxFile& sf) {
  Head h;
  ShelxData& sh = run.shelx;
  sh.symcards.assign(1, std::string());
  std::string_view view;
  sf.f.rewind();
  while (sf.f.next_view(view, 255)) {
    // Only lines whose first four characters (before a comment) name one of
    // the instructions below are read further.
    if (!view.empty() && view[0] == '!') continue;
    const std::string_view text = view.substr(0, view.find('!'));
    std::array<char, 4> head{' ', ' ', ' ', ' '};
    for (std::size_t k = 0; k < head.size() && k < text.size(); ++k) head[k] = upper(text[k]);
    if (!is_first_pass_key(std::string_view(head.data(), head.size()))) continue;
    std::string raw(view);
    raw.resize(255, ' ');
    strip_comment(raw);
    std::string up = upper(raw);
    for (const char* key : {"CELL", "LATT", "SYMM", "SFAC", "FVAR", "WGHT"})
      if (starts_padded(up, key)) check_width(sf);
    if (starts_padded(up, "CELL")) {
      read_cell(run, h, sf, gather(sf.f, up));
      h.cell_read = true;
    } else if (starts_padded(up, "LATT")) {
      read_latt(run, h, sf, gather(sf.f, up));
      h.latt_read = true;
    } else if (starts_padded(up, "SYMM")) {
      std::string card(rtrim(up));
      h.mas.push_back({Head::Line::Symm, ff::format("(a)"_f, card)});
      // Cards longer than the 30 columns the MoPro file gives them are kept
      // whole: a cut card would lose its last coordinate.
      std::string text = card.size() > 4 ? card.substr(4) : std::string();
      sh.symcards.push_back(text.size() < 30 ? pad(text, 30) : text);
      ++h.nsymm;
    } else if (starts_padded(up, "SFAC")) {
      read_sfac(run, sf, gather(sf.f, up));
    } else if (starts_padded(up, "FVAR")) {
      const std::size_t line = sf.f.line_number();
      for (float x : read_values(sf, gather(sf.f, up), "FVAR")) {
        if (sh.nfv >= MAXFV)
          err("ReadShelx", "More than " + std::to_string(MAXFV) + " free variables, " + sf.where(line));
        sh.fv[static_cast<std::size_t>(++sh.nfv)] = x;
      }
    } else if (starts_padded(up, "WGHT")) {
      std::vector<float> w = read_values(sf, gather(sf.f, up), "WGHT");
      for (std::size_t k = 0; k < w.size() && k < 6; ++k) sh.wght[k + 1] = w[k];
    } else if (starts_padded(up, "RESI")) {
      sh.resi = true;
    }
  }
  return h;
}

}  // namespace

void write_mopro_symmetry(Run& run, char letter, bool centro, const std::vector<std::string>& cards) {
  std::ostream& p = *run.par;
  ff::write(p, "('SYMM ',i3,1x,a,a)"_f, static_cast<int>(cards.size()) + 1, std::string(1, letter), centro ? " CENTRO" : "");
  ff::write(p, "(a)"_f, "  X, Y, Z");
  for (const std::string& c : cards) ff::write(p, "(a)"_f, c);
  for (const char* l : {"SCALE  1  1.0", "FMULT  1.0", "UOVER  0.0", "SOLVT  0.0  50.0", "EXTIN  0.0  GAUSSIAN  ISOT  TYP1"})
    ff::write(p, "(/a)"_f, l);
  ff::write(p, "(a)"_f);
}

namespace {

void build_symmetry(Run& run, ShelxFile& sf, const Head& h) {
  const int n = run.shelx.latt;
  const char letter = kLattice[std::abs(n) - 1];
  to_lst(run, "(/' Cell parameters: ',6f10.3)"_f, run.ucell);
  if (!h.latt_read)
    to_lst(run, "(/' No LATT instruction: the SHELX default LATT 1 (centrosymmetric, primitive) is used')"_f);
  to_lst(run, "(/' Lattice type : ',a)"_f, std::string(1, letter));
  to_lst(run, "(' Lattice is ',a)"_f, n > 0 ? "CentroSymmetric" : "Acentric");
  to_lst(run, "(/' Symmetry operations : ')"_f);
  getsym(run, sf.f);
  if (std::abs(n) != 1) nonp(run, letter);
  if (n > 0) addcentsymm(run);
  to_lst(run, "(/' Final set of symmetry operations in matrix form:')"_f);
  prsymop(run);
  prattyp(run);
  tranmat(run);
}

// An R lattice is written as the CIF route writes it: the readers of the
// files then need not know the rhombohedral centring, since every operator
// of the group, centring included, becomes a card.
void write_whole_group(Run& run, const Head& h) {
  std::vector<gemmi::Op> ops;
  for (int k = 1; k <= run.symm.nsym; ++k) ops.push_back(from_symop(run.symm.op[static_cast<std::size_t>(k)]));
  const OpList list = check_op_list(ops);
  if (!list.fault.empty()) err("ReadShelx", "The symmetry cards with the R lattice give no space group: " + list.fault);
  const XdSymmetry xs = reduce_for_xd(list.ops);
  std::vector<std::string> cards;
  for (const gemmi::Op& op : xs.cards) cards.push_back(card_text(op));
  for (const Head::Line& l : h.mas) {
    if (l.kind == Head::Line::Symm) continue;
    if (l.kind == Head::Line::Plain) {
      *run.mas << l.text;
      continue;
    }
    ff::write(*run.mas, "(a,a)"_f, xs.centro ? "LATT C " : "LATT A ", std::string(1, xs.letter));
    for (const std::string& c : cards) ff::write(*run.mas, "(a)"_f, "SYMM " + c);
  }
  write_mas_module(run);
  for (std::string& c : cards)
    if (c.size() < 30) c = pad(c, 30);
  write_mopro_symmetry(run, xs.letter, xs.centro, cards);
}

// An atom as read: its line and continuation lines joined by one blank, and
// where each of them ends in the joined text.
struct AtomText {
  std::string text;
  std::vector<std::size_t> ends;
  void start(const std::string& line) {
    text.assign(line);
    ends.assign(1, line.size());
  }
  void add(const std::string& line) {
    text.push_back(' ');
    text.append(line);
    ends.push_back(text.size());
  }
  // The atom's text as the messages quote it: each line blank-padded to at
  // least 100 columns and one blank past its text, the name blanked out,
  // without the blanks at the end.
  std::string shown(std::string_view name) const {
    std::string work;
    std::size_t begin = 0;
    for (std::size_t end : ends) {
      const std::size_t width = std::max<std::size_t>(100, end - begin + 1);
      work.append(text, begin, end - begin);
      work.append(width - (end - begin), ' ');
      begin = end + 1;
    }
    const std::size_t at = work.find(name);
    work.replace(at, name.size(), name.size(), ' ');
    return std::string(rtrim(work));
  }
};

void read_atoms(Run& run, ShelxFile& sf) {
  to_both(run, "(/4x,'NO.  ATOM     IZ IU SF    XF       YF       ZF','    OCCUP  U''s -->')"_f);
  sf.f.rewind();
  Atoms& a = run.atoms;
  Atoms1& a1 = run.atoms1;
  ShelxData& sh = run.shelx;
  a.nat = 0;
  std::vector<int> type_count(static_cast<std::size_t>(run.at_types.ntyp) + 1, 0);
  sh.reslab.assign(1, std::string(17, ' '));
  sh.resshort.assign(1, std::string(10, ' '));
  const UeqTerms ueq_terms(run.ucell);
  ShelxResidue res;
  // Buffers that keep their room from atom to atom. where keeps "file x,
  // line " and takes the number of each atom's line.
  std::string line, next, where;
  sf.where(0, where);
  const std::size_t where_head = where.size() - 1;
  AtomText atom;
  std::vector<std::string_view> ws;
  bool cont = false;
  std::string file_name;
  while (rdshline(sf.f, line, cont, res, &file_name)) {
    check_width(sf);
    {
      char digits[24];
      const auto r = std::to_chars(digits, digits + sizeof digits, sf.f.line_number());
      where.resize(where_head);
      where.append(digits, r.ptr);
    }
    atom.start(line);
    while (cont) {
      if (!rdcontinuation(sf.f, next, cont))
        err("ReadShelx", "The file ends inside an atom continued with '=', " + where + ": " + line);
      check_width(sf);
      atom.add(next);
    }
    split_blanks(atom.text, ws);
    if (a.nat >= MAXAT) err("ReadShelx", "Too many atoms");
    const int i = ++a.nat;
    const auto ui = static_cast<std::size_t>(i);
    const std::string_view name = ws.empty() ? std::string_view() : ws[0];
    const std::string_view sword = ws.size() > 1 ? ws[1] : std::string_view();
    int s = 0;
    if (!ff::parse_int(sword, s))
      err("ReadShelx", "Atom " + std::string(name) + ": SFAC number expected, found '" + std::string(sword) + "', " + where);
    if (s < 1 || s > run.at_types.ntyp)
      err("ReadShelx", "Atom " + std::string(name) + ": SFAC number " + std::to_string(s) + " points at no SFAC entry (" +
                           std::to_string(run.at_types.ntyp) + " given), " + where);
    a.iz[ui] = run.at_types.iz[static_cast<std::size_t>(s)];
    require_scat(a.iz[ui], "ReadShelx", name, where);
    ++type_count[static_cast<std::size_t>(s)];
    a1.lmax[ui] = a.iz[ui] == 1 ? 2 : 4;
    a1.isft[ui] = s;
    // C12 becomes C(12): a longer name would lose its end in the 8-character
    // label and could take the label of another atom.
    if (run.ctl.irename == 0 && name.size() > 6)
      err("ReadShelx", "Atom name " + std::string(name) + " is longer than 6 characters (its label " +
                           std::string(name.substr(0, 1)) + "(...) must fit 8), " + where);
    a.name[ui] = file_name;
    a.resnum[ui] = res.number;
    a1.part[ui] = res.part;
    a.label[ui] = atom_label(residue_name(name, res.number), a.iz[ui], i, type_count[static_cast<std::size_t>(s)], run.ctl);

    const int n = static_cast<int>(ws.size()) - 1;
    if (n != 6 && n != 11) {
      to_out(run, "(/' Error reading atom: ',a4,' Line <<',a,'>>')"_f, a.label[ui], atom.shown(name));
      to_out(run, "(' (',a,')')"_f, where);
      stop_reported("ReadShelx", "Error reading atom " + std::string(rtrim(a.label[ui])));
    }
    // The SFAC number is written I4 in the rewritten atom line.
    std::array<float, 10> v{};
    if (!processfvar(std::span<const std::string_view>(ws).subspan(2), sh, name, where, v) || s > 9999)
      err("ReadShelx", "Atom " + std::string(name) + ": a number does not fit its field, " + where);
    Uij& u = run.at_uij[ui];
    u = Uij{};
    if (n == 6) {
      a1.iu[ui] = 1;
      u[0] = v[4];
    } else {
      a1.iu[ui] = 2;
      u = {v[4], v[5], v[6], v[9], v[8], v[7]};
    }
    const float occ = v[3];
    a.xf[ui] = Frac(v[0], v[1], v[2]);
    a1.occ[ui] = occ;
    if (n == 6) ProcessU(run, i, ueq_terms, where);

    if (sh.resi) {
      sh.reslab.push_back(ff::format("(a6,1x,i3,2x,a5,$)"_f, pad(name, 10), res.number, res.name));
      sh.resshort.push_back(ff::format("(a6,1x,i3,$)"_f, pad(name, 10), res.number));
    }
    a.xc[ui] = to_cart(run.transf, a.xf[ui]);
  }
  const std::vector<int> relabelled = settle_labels(run);
  // The atoms' rows, to the listing and to standard output (both written
  // behind the run), with their final labels.
  for (int i = 1; i <= a.nat; ++i) {
    const auto ui = static_cast<std::size_t>(i);
    for (std::ostream* os : {&*run.lst, &run.out}) {
      static constexpr const ff::Format& kRow = "( i6, 3x, a, 3i3, 3f9.5, f6.3, 6f7.3 )"_f;
      if (a1.iu[ui] == 1)
        ff::write(*os, kRow, i, a.label[ui], a.iz[ui], a1.iu[ui], a1.isft[ui], a.xf[ui], a1.occ[ui], run.at_uij[ui][0]);
      else
        ff::write(*os, kRow, i, a.label[ui], a.iz[ui], a1.iu[ui], a1.isft[ui], a.xf[ui], a1.occ[ui], run.at_uij[ui]);
    }
  }
  print_label_changes(run, relabelled);
  to_out(run, "(/' Total atoms read from SHELX file = ',i5)"_f, a.nat);
  // Without atoms every output file would be an empty shell.
  if (a.nat == 0) err("ReadShelx", "No atom in SHELX file " + sf.name);
}

}  // namespace

void ReadShelx(Run& run, const std::string& fname) {
  std::optional<TextFile> file = TextFile::open(run.path(fname));
  if (!file) input_missing(run, "ReadShelx", "Error opening SHELX file...", fname);
  ShelxFile sf(*file, fname);
  to_lst(run, "(/' Reading SHELX file : ',a)"_f, fname);

  write_mas_banner(run);
  Head h = first_pass(run, sf);
  if (!h.cell_read) err("ReadShelx", "No CELL instruction in SHELX file " + fname);
  if (!h.latt_read) run.shelx.latt = 1;
  const int n = run.shelx.latt;
  if (std::abs(n) != 3) {
    for (const Head::Line& l : h.mas) *run.mas << l.text;
    write_mas_module(run);
    build_symmetry(run, sf, h);
    write_mopro_symmetry(run, kLattice[std::abs(n) - 1], n > 0,
                         std::vector<std::string>(run.shelx.symcards.begin() + 1, run.shelx.symcards.end()));
  } else {
    build_symmetry(run, sf, h);
    write_whole_group(run, h);
  }

  read_atoms(run, sf);
  checkocc(run);
  printatoms(run, *run.lst);
}

}  // namespace vorn
