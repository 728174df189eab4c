#include "structure/aim2tab_reader.hpp"

#include <cmath>

#include "base/elements.hpp"
#include "base/error.hpp"
#include "base/text.hpp"
#include "structure/atom_list.hpp"
#include "structure/atom_types.hpp"
#include "structure/input_fault.hpp"

namespace vorn {

namespace {

constexpr std::size_t LINELEN = 255;
constexpr float BOHR = 0.52917725f;  // angstrom per bohr

const char* const kRoutine = "ReadAim2Tab";
const char* const kBadFile = "Error reading AIM2TAB output file";

// One Fw.d input field as a Fortran formatted read takes it: blanks are
// ignored, an empty field is zero, and a field without a decimal point has d
// implied decimals.
bool read_fw(std::string_view field, int d, float& out) {
  std::string s;
  for (char c : field)
    if (c != ' ') s.push_back(c);
  if (s.empty()) {
    out = 0.0f;
    return true;
  }
  double v = 0.0;
  if (!ff::parse_real(s, v)) return false;
  if (s.find('.') == std::string::npos) v /= std::pow(10.0, d);
  out = static_cast<float>(v);
  return true;
}

std::string columns(const std::string& line, std::size_t from, std::size_t n) {
  return pad(std::string_view(line).substr(std::min(from, line.size())), n);
}

}  // namespace

void ReadAim2Tab(Run& run, const std::string& fname) {
  // The atom table is read by columns: a tab in a hand-edited line stands
  // for the blanks up to the column the editor showed.
  auto file = TextFile::open(run.path(fname), Tabs::Columns);
  if (!file) input_missing(run, kRoutine, "Error opening AIM2TAB output file...", fname);
  TextFile& f = *file;

  // The table holds as many lines as the count line declared before it; a
  // table met before any count line reads nothing, and the atom count is what
  // the table delivered, never a declared number of atoms that were not read.
  int declared = 0;
  int nat = 0;
  std::string line;
  while (f.next(line, LINELEN)) {
    std::string key = columns(line, 1, 22);
    if (key == "NUMBER OF ATOMS READ =") {
      std::string field = columns(line, 23, 7);
      if (!ff::ListReader(field).read(declared) || declared < 0)
        input_fault(run, kRoutine, kBadFile, f, "atom count expected in columns 24-30, found " + shown(field));
      if (declared > MAXAT) err(kRoutine, "Too many atoms");
    } else if (key == "NO. ATOM       AT.MASS") {
      if (!f.next(line, LINELEN)) input_ended(run, kRoutine, kBadFile, f, "atom table heading without atoms");
      for (int i = 1; i <= declared; ++i) {
        if (!f.next(line, LINELEN))
          input_ended(run, kRoutine, kBadFile, f, "atom table with fewer than " + std::to_string(declared) + " atoms");
        Vec3 x{};
        for (int k = 0; k < 3; ++k) {
          std::string field = columns(line, 24 + 9 * static_cast<std::size_t>(k), 9);
          if (!read_fw(field, 4, x[static_cast<std::size_t>(k)]))
            input_fault(run, kRoutine, kBadFile, f, "coordinate expected in F9.4, found " + shown(field));
        }
        set_cartesian_atom(run, i, columns(line, 5, 8), scale(x, BOHR));
      }
      nat = declared;
    }
  }
  run.atoms.nat = nat;

  collect_types(run);
  to_out(run, "(/' Number of atom types = ',i4)"_f, run.at_types.ntyp);
  for (int k = 1; k <= run.at_types.ntyp; ++k)
    to_out(run, "(3x,'atom type = ',i2,3x,' atomic number = ',i3)"_f, k, run.at_types.iz[k]);
  to_out(run, "(/' Total atoms read from AIM2TAB output file = ',i5)"_f, nat);
  printatoms(run, *run.lst);
  // Without atoms every output file would be an empty shell.
  if (nat == 0)
    err(kRoutine, "No atom in AIM2TAB output file " + fname +
                      " (the atom table follows a line NUMBER OF ATOMS READ = with the count)");
}

}  // namespace vorn
