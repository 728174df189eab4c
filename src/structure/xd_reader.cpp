#include "structure/xd_reader.hpp"

#include <array>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "base/elements.hpp"
#include "base/error.hpp"
#include "base/text.hpp"
#include "structure/atom_list.hpp"
#include "structure/atom_types.hpp"
#include "structure/input_fault.hpp"
#include "symmetry/cards.hpp"
#include "symmetry/cell.hpp"
#include "symmetry/lattice.hpp"

namespace vorn {

namespace {

constexpr std::size_t LINELEN = 255;
// One blank beyond the line, so that a word ending in its last column is
// still seen by the scanner.
constexpr int SCANLEN = LINELEN + 1;

const char* const kRoutine = "ReadXD";
const char* const kBadMas = "Error reading XD master file";
const char* const kBadPar = "Error reading XD parameter file";

// Lines are read up to column 255; text beyond it would be lost without a
// word, so the reader stops instead.
void check_width(Run& run, const TextFile& f, const char* message) {
  if (f.cut()) input_fault(run, kRoutine, message, f, "line longer than 255 characters");
}

// The first word of the line that is no number, as written (a token keeps
// only 8 characters).
std::string first_token_word(const std::string& line) {
  std::string text = line + ' ';
  for (const Word& w : words(text, SCANLEN)) {
    std::string s = text.substr(static_cast<std::size_t>(w.start - 1), static_cast<std::size_t>(w.end - w.start + 1));
    if (!ff::is_fixed_number(s)) return s[0] == '*' ? s.substr(1) : s;
  }
  return {};
}

std::string name60(std::string_view name) { return name.size() >= 60 ? std::string(name) : pad(name, 60); }

// ---------------------------------------------------------------------------
// Master file.

struct Lattice {
  bool centro = true;
  char letter = 'P';
};

Lattice scan_master(Run& run, TextFile& mas) {
  Lattice lat;
  bool have_cell = false;
  std::string line;
  while (mas.next(line, LINELEN)) {
    // A symmetry card is also copied to the new master file: it must be whole.
    if (starts_padded(line, "CELL ") || starts_padded(line, "LATT ") || upper(line.substr(0, 3)) == "SYM")
      check_width(run, mas, kBadMas);
    if (starts_padded(line, "CELL ")) {
      std::array<float, 6> cell{};
      ff::ListReader lr(std::string_view(line).substr(4));
      if (!lr.read(cell[0], cell[1], cell[2], cell[3], cell[4], cell[5]))
        input_fault(run, kRoutine, kBadMas, mas, "six cell parameters expected, found " + shown(line));
      run.ucell = cell;
      have_cell = true;
    } else if (starts_padded(line, "LATT ")) {
      // Both words are needed: without the lattice letter the operator list
      // would silently lose its centring.
      std::string w2 = word(line + ' ', 2, SCANLEN);
      std::string w3 = word(line + ' ', 3, SCANLEN);
      if (w3.empty())
        input_fault(run, kRoutine, kBadMas, mas, "LATT needs the centrosymmetry and the lattice letter, found " + shown(line));
      lat.centro = w2 != "A";
      lat.letter = static_cast<char>(std::toupper(static_cast<unsigned char>(w3[0])));
    }
  }
  // Without a cell there are no cell matrices and no Cartesian coordinates.
  if (!have_cell) input_ended(run, kRoutine, kBadMas, mas, "no CELL line");
  return lat;
}

void read_master(Run& run, TextFile& mas) {
  to_lst(run, "(/' Reading data from XD master file: ',a)"_f, name60(run.ctl.xdold));
  Lattice lat = scan_master(run, mas);
  to_lst(run, "(/' Cell parameters: ',3f10.3,3f8.2)"_f, run.ucell);
  to_lst(run, "(/' Lattice type : ',a)"_f, std::string(1, lat.letter));
  to_lst(run, "(' Lattice is ',a)"_f, lat.centro ? "CentroSymmetric" : "Acentric");
  to_lst(run, "(/' Symmetry operations : ')"_f);

  getsym(run, mas);
  // The inversion first, then the centring: the centred copies then include
  // the inverted operators.
  if (lat.centro) addcentsymm(run);
  if (lat.letter != 'P') nonp(run, lat.letter);
  to_lst(run, "(/' Final set of symmetry operations in matrix form:')"_f);
  prsymop(run);
  tranmat(run);
}

// ---------------------------------------------------------------------------
// Parameter file.

// A line read as it stands (comments are not passed over).
void direct_line(Run& run, TextFile& f, std::string& line, std::string_view expected) {
  if (!f.next(line, LINELEN)) input_ended(run, kRoutine, kBadPar, f, expected);
  check_width(run, f, kBadPar);
}

// A line through readxdline, split by the scanner: tokens go to run.tok, the
// numbers stay in the returned text.
std::string scanned_line(Run& run, TextFile& f, std::string& line, std::string_view expected) {
  readxdline(run, f, line, expected);
  std::string scan = line + ' ';
  readline(run.tok, scan, SCANLEN);
  return scan;
}

// Integers first..last of the header from the numbers of one line.
void read_header(Run& run, TextFile& f, std::array<int, 23>& hdr, int first, int last) {
  std::string line;
  std::string scan = scanned_line(run, f, line, "header integers");
  ff::ListReader lr(scan);
  for (int k = first; k <= last; ++k)
    if (!lr.next(hdr[static_cast<std::size_t>(k)]))
      input_fault(run, kRoutine, kBadPar, f,
                  "header integers " + std::to_string(first) + " to " + std::to_string(last) + " expected, found " +
                      shown(line));
}

struct AtomLine {
  std::string label;
  std::array<int, 12> n{};  // the eleven atom integers, 1-based
  Frac xf;
  float occ = 1.0f;
};

// The next line that reads as an atom: a label, eleven integers, x, y, z and
// the occupancy. Lines that do not read so are passed over.
AtomLine next_atom(Run& run, TextFile& f, int i) {
  std::string line;
  std::string expected = "atom " + std::to_string(i);
  for (;;) {
    std::string scan = scanned_line(run, f, line, expected);
    if (run.tok.n < 1) continue;
    AtomLine a;
    ff::ListReader lr(scan);
    bool ok = true;
    for (int k = 1; k <= 11 && ok; ++k) ok = lr.next(a.n[static_cast<std::size_t>(k)]);
    if (!ok || !lr.read(a.xf[0], a.xf[1], a.xf[2], a.occ)) continue;
    a.label = run.tok[1];
    // Labels are 8 characters: a longer one would be cut without a word and
    // could take the label of another atom.
    std::string w = first_token_word(line);
    if (w.size() > 8)
      input_fault(run, kRoutine, kBadPar, f, "atom label " + w + " is longer than 8 characters");
    return a;
  }
}

// The displacement parameters in the file's order U11 U22 U33 U12 U13 U23.
// An isotropic atom needs only its Uiso on the line.
Uij read_uij(Run& run, TextFile& f, int iu, const std::string& label) {
  std::string line;
  direct_line(run, f, line, "displacement parameters of " + std::string(rtrim(label)));
  Uij u{};
  ff::ListReader lr(line);
  int got = 0;
  while (got < 6 && lr.next(u[static_cast<std::size_t>(got)])) ++got;
  if (got < (iu == 1 ? 1 : 6))
    input_fault(run, kRoutine, kBadPar, f,
                "displacement parameters of " + std::string(rtrim(label)) + " expected, found " + shown(line));
  return u;
}

void read_atoms(Run& run, TextFile& f, int nat) {
  std::string line;
  for (int i = 1; i <= nat; ++i) {
    AtomLine a = next_atom(run, f, i);
    int iu = a.n[6];
    int level = a.n[9];
    // Each order and level fixes how many lines follow the atom line; a value
    // outside the ranges XD writes would make every later line misread.
    if (iu < 1 || iu > 4)
      input_fault(run, kRoutine, kBadPar, f,
                  "atom " + std::string(rtrim(a.label)) + ": order of U " + std::to_string(iu) + " is not 1 to 4");
    if (level < 0 || level > 4)
      input_fault(run, kRoutine, kBadPar, f,
                  "atom " + std::string(rtrim(a.label)) + ": multipole level " + std::to_string(level) +
                      " is not 0 to 4");

    run.atoms.label[i] = a.label;
    run.atoms.xf[i] = a.xf;
    run.atoms1.occ[i] = a.occ;
    run.atoms1.iu[i] = iu;
    run.atoms1.isft[i] = a.n[7];
    run.at_uij[i] = read_uij(run, f, iu, a.label);

    int anharmonic = iu == 3 ? 2 : iu == 4 ? 5 : 0;
    for (int k = 0; k < anharmonic; ++k)
      direct_line(run, f, line, "anharmonic coefficients of " + std::string(rtrim(a.label)));

    int iz = iatnum(a.label);
    run.atoms.iz[i] = iz;
    run.atoms1.lmax[i] = iz == 1 ? 2 : 4;
    to_both(run, "(j4,3x,a,2x,i3,3x,i8,5x,i8)"_f, i, a.label, iz, iu, run.atoms1.isft[i]);

    // Pv and the (L+1)^2 multipole populations, ten to a line.
    int npop = (level + 1) * (level + 1) / 10 + 1;
    for (int k = 0; k < npop; ++k)
      readxdline(run, f, line, "populations of " + std::string(rtrim(a.label)));

    run.atoms.xc[i] = to_cart(run.transf, run.atoms.xf[i]);
  }
}

// Extinction (free variables 2..8), overall U (9) and scale factor (1).
void read_trailer(Run& run, TextFile& f) {
  struct Part {
    int first, count;
    const char* what;
  };
  const Part parts[] = {{2, 7, "seven extinction parameters"}, {9, 1, "overall thermal parameter"}, {1, 1, "scale factor"}};
  std::string line;
  for (const Part& p : parts) {
    direct_line(run, f, line, p.what);
    ff::ListReader lr(line);
    for (int k = 0; k < p.count; ++k)
      if (!lr.next(run.shelx.fv[static_cast<std::size_t>(p.first + k)]))
        input_fault(run, kRoutine, kBadPar, f, std::string(p.what) + " expected, found " + shown(line));
  }
}

void read_parameters(Run& run, TextFile& f, const std::string& parfile) {
  to_lst(run, "(/' Reading data from XD parameter file: ',a)"_f, name60(parfile));

  std::string line;
  std::string scan = scanned_line(run, f, line, "the model line");
  int version = 1;
  if (run.tok[1] == "XDPARFIL") {
    if (!ff::ListReader(scan).read(version) || (version != 1 && version != 2))
      input_fault(run, kRoutine, kBadPar, f, "version 1 or 2 expected, found " + shown(line));
    // The model line follows the version line whatever the version says.
    readxdline(run, f, line, "the model line");
  }
  to_lst(run, "(/' XD parameter file version = ',i4)"_f, version);

  // The model name is the first word, whatever it looks like; the integers
  // are read from the rest of the line.
  std::string model = line + ' ';
  auto w = words(model, SCANLEN);
  if (w.empty()) input_fault(run, kRoutine, kBadPar, f, "model line expected, found an empty line");
  run.amodel = pad(std::string_view(model).substr(static_cast<std::size_t>(w[0].start - 1),
                                                   static_cast<std::size_t>(w[0].end - w[0].start + 1)),
                   20);
  for (int p = w[0].start; p <= w[0].end; ++p) model[static_cast<std::size_t>(p - 1)] = ' ';
  readline(run.tok, model, SCANLEN);
  std::array<int, 4> mi{};
  if (!ff::ListReader(model).read(mi[0], mi[1], mi[2], mi[3]))
    input_fault(run, kRoutine, kBadPar, f, "model name and four integers expected, found " + shown(line));
  to_lst(run, "(/' Maximum level of multipole expansion = ',i4)"_f, mi[0]);
  to_lst(run, "(' Model name = ',a)"_f, run.amodel);

  std::array<int, 23> hdr{};
  if (version == 1) {
    read_header(run, f, hdr, 1, 22);
  } else {
    read_header(run, f, hdr, 1, 8);
    read_header(run, f, hdr, 9, 22);
  }
  int nat = hdr[9];
  int nkappa = hdr[12];
  int ndummy = hdr[22];
  to_lst(run, "(a,j4)"_f, " Number of atoms in XD parameter file = ", nat);
  to_lst(run, "(a,i4)"_f, " Number kappa sets = ", nkappa);
  if (nat > MAXAT) err(kRoutine, "Too many atoms");
  if (nat < 0 || nkappa < 0 || ndummy < 0)
    input_fault(run, kRoutine, kBadPar, f,
                "negative count in the header (atoms " + std::to_string(nat) + ", kappa sets " +
                    std::to_string(nkappa) + ", dummy atoms " + std::to_string(ndummy) + ")");

  to_both(run, "(/1x,'NO.',3x,'ATOM',6x,'AT.NO.',3x,'ORDER_OF_U',5x,'iSFT')"_f);
  for (int k = 0; k < ndummy + 2; ++k) direct_line(run, f, line, "header lines and dummy atoms");

  read_atoms(run, f, nat);
  run.atoms.nat = nat;
  for (int k = 0; k < nkappa; ++k) readxdline(run, f, line, "kappa set " + std::to_string(k + 1));
  read_trailer(run, f);

  collect_types(run);
  prattyp(run);
  checkocc(run);
  printatoms(run, *run.lst);
  // Without atoms every output file would be an empty shell.
  if (nat == 0) err(kRoutine, "No atom in XD parameter file " + parfile);
}

}  // namespace

void readxdline(Run& run, TextFile& f, std::string& line, std::string_view expected) {
  for (;;) {
    if (!f.next(line, LINELEN)) input_ended(run, kRoutine, kBadPar, f, expected);
    if (line[0] == '!') continue;
    check_width(run, f, kBadPar);
    upcase(line);
    return;
  }
}

void ReadXD(Run& run, const std::string& parfile) {
  std::string masname(rtrim(run.ctl.xdold));
  auto mas = TextFile::open(run.path(masname));
  if (!mas) err(kRoutine, "Error opening XD master file " + masname + " (" + open_failure(run.path(masname)) + ")");
  auto par = TextFile::open(run.path(parfile));
  if (!par) err(kRoutine, "Error opening XD parameter file " + parfile + " (" + open_failure(run.path(parfile)) + ")");

  read_master(run, *mas);
  read_parameters(run, *par, parfile);
}

}  // namespace vorn
