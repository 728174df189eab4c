#include "structure/platon_reader.hpp"

#include "base/elements.hpp"
#include "base/error.hpp"
#include "base/text.hpp"
#include "structure/atom_list.hpp"
#include "structure/atom_types.hpp"
#include "structure/input_fault.hpp"

namespace vorn {

namespace {
constexpr std::size_t LINELEN = 255;
// One blank beyond the line, so that a word ending in its last column is
// still seen by the scanner.
constexpr int SCANLEN = LINELEN + 1;

// Token k of the line (the k-th word that is no number) as written.
std::string token_word(const std::string& line, int k) {
  int n = 0;
  for (const Word& w : words(line, SCANLEN)) {
    std::string s = line.substr(static_cast<std::size_t>(w.start - 1), static_cast<std::size_t>(w.end - w.start + 1));
    if (!ff::is_fixed_number(s) && ++n == k) return s[0] == '*' ? s.substr(1) : s;
  }
  return {};
}
}  // namespace

void ReadPlaton(Run& run, const std::string& fname) {
  auto file = TextFile::open(run.path(fname));
  if (!file) input_missing(run, "ReadPlaton", "Error opening PLATON file", fname);
  TextFile& f = *file;
  to_lst(run, "(//' Reading PLATON file : ',a)"_f, fname.size() < 60 ? pad(fname, 60) : fname);

  int nat = 0;
  std::string line;
  while (f.next(line, LINELEN)) {
    line.push_back(' ');
    const std::string raw = line;
    readline(run.tok, line, SCANLEN);
    if (run.tok[1] != "ATOM    ") continue;
    if (++nat > MAXAT) err("ReadPlaton", "Too many atoms");
    // Text beyond column 255 would be lost without a word.
    if (f.cut()) input_fault(run, "ReadPlaton", "Error reading PLATON file", f, "line longer than 255 characters");
    if (run.tok.n < 2) input_fault(run, "ReadPlaton", "Error reading PLATON file", f, "ATOM line without a label");
    // Labels are 8 characters: a longer one would be cut without a word and
    // could take the label of another atom.
    if (std::string w = token_word(raw, 2); w.size() > 8)
      input_fault(run, "ReadPlaton", "Error reading PLATON file", f, "atom label " + w + " is longer than 8 characters");
    Vec3 x{};
    if (!ff::ListReader(line).read(x[0], x[1], x[2]))
      input_fault(run, "ReadPlaton", "Error reading PLATON file", f,
                  "ATOM " + std::string(rtrim(run.tok[2])) + " needs x, y, z, found " + shown(line));
    set_cartesian_atom(run, nat, run.tok[2], x);
  }
  run.atoms.nat = nat;

  collect_types(run);
  prattyp(run);
  to_both(run, "(/' Total atoms read from PLATON file = ',i8)"_f, nat);
  printatoms(run, *run.lst);
  // Without atoms every output file would be an empty shell.
  if (nat == 0) err("ReadPlaton", "No ATOM line in PLATON file " + fname);
}

}  // namespace vorn
