#include "control/read_inp.hpp"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "base/elements.hpp"
#include "base/error.hpp"
#include "base/text.hpp"
#include "control/file_words.hpp"
#include "control/inp_words.hpp"
#include "io/input_lines.hpp"
#include "io/scanner.hpp"
#include "model/interaction.hpp"

namespace vorn {

namespace {

// The logical line being applied, for the line that says what was wrong
// before the error banner.
struct Where {
  Run& run;
  std::string file;
  int line = 0;
  std::string text;
  [[noreturn]] void fail(std::string_view what, std::string_view routine = "ReadInp",
                         std::string_view message = "Error while reading file vorn.inp") const {
    run.error_detail =
        file + ", line " + std::to_string(line) + ": " + std::string(what) + ", found <<" + std::string(rtrim(text)) + ">>";
    to_both(run, "(/1x,a)"_f, run.error_detail);
    err(routine, message);
  }
};

bool is(const Tokens& t, int k, const char* word) { return t[k] == pad(word, 8); }

void set_format(Run& run, const Tokens& t) {
  static const struct {
    const char* word;
    int fmt;
  } kFormats[] = {{"SHELX", FMT_SHELX}, {"XD", FMT_XD}, {"AIM2TAB", FMT_AIM2TAB}, {"PLATON", FMT_PLATON},
                   {"CIF", FMT_CIF}};
  for (int k = 2; k <= t.n; ++k)
    for (const auto& f : kFormats)
      if (t.starred(k) && is(t, k, f.word)) run.ctl.iformat = f.fmt;
  // The switch follows the format in force, so that a later FORMAT line
  // that names a format with fractional coordinates turns it back on.
  run.ctl.ifrac = run.ctl.iformat == FMT_AIM2TAB || run.ctl.iformat == FMT_PLATON ? 0 : 1;
}

// The words of a line that names files, quotes taken off; a lone backslash
// is the mark of a continued line, no word of it.
std::vector<LineWord> file_line_words(const Where& at, std::string_view keyword) {
  std::string fault;
  std::vector<LineWord> w = line_words(at.text, fault);
  if (!fault.empty()) at.fail(std::string(keyword) + ": " + fault);
  std::erase_if(w, [](const LineWord& x) { return !x.quoted && x.text == "\\"; });
  return w;
}

std::string name_from(const LineWord& w, const Where& at, std::string_view what) {
  if (w.text.empty() || w.text.find_first_not_of(' ') == std::string::npos)
    at.fail("INPUT gives an empty " + std::string(what));
  return file_name_field(w.text, at.file + ", line " + std::to_string(at.line));
}

// One INPUT line, applied once the whole file is read, so that the format
// decides how many names the line holds wherever its FORMAT line stands.
// The option words and the rename mode of every INPUT line act, in order;
// the names of the last one count.
void apply_input(Run& run, const Where& at, bool names) {
  Ctl& c = run.ctl;
  const std::vector<LineWord> w = file_line_words(at, "INPUT");
  // The option words count among the last two words that are no numbers.
  std::vector<const LineWord*> tokens;
  for (const LineWord& x : w)
    if (!is_number_word(x)) tokens.push_back(&x);
  for (std::size_t k = tokens.size() >= 2 ? tokens.size() - 2 : 0; k < tokens.size(); ++k) {
    const LineWord& x = *tokens[k];
    if (x.quoted || x.text.empty() || x.text[0] != '*' || !is_input_option(x)) continue;
    const std::string u = upper(x.text.substr(1)).substr(0, 8);
    if (u == "RENAME") c.irename = 1;
    if (u == "TOXD") c.itoxd = 1;
  }
  const std::size_t need = c.iformat == FMT_XD ? 3 : 2;
  if (names && w.size() < need)
    at.fail(need == 3 ? "INPUT needs the master and the parameter file names" : "INPUT needs a file name", "ReadChar",
            "Unexpected STOP in ReadChar...");
  // The word after a CIF file name names its data block whatever it looks
  // like ("4" too); only the option words are no block names (quoted, they
  // are).
  std::size_t after = need;
  std::string block;
  if (c.iformat == FMT_CIF && w.size() > need && !is_input_option(w[need])) block = w[after++].text;
  if (c.irename == 1) {
    std::vector<const LineWord*> numbers;
    for (std::size_t k = after; k < w.size(); ++k)
      if (is_number_word(w[k])) numbers.push_back(&w[k]);
    ff::write(run.out, "(1x,a,i12)"_f, " inum = ", static_cast<int>(numbers.size()));
    if (!numbers.empty()) {
      int irs = 0;
      if (!ff::parse_int(numbers.back()->text, irs)) at.fail("the rename mode must be an integer");
      c.irs = irs;
    }
  }
  if (!names) return;
  if (c.iformat == FMT_XD) {
    c.xdold = name_from(w[1], at, "master file name");
    c.args = name_from(w[2], at, "parameter file name");
  } else {
    c.args = name_from(w[1], at, "file name");
  }
  c.cifblock = block;
}

// The shortest text that reads back as the value.
std::string number_text(float v) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

// TOLS: bond, ring and group tolerances, then optionally the misfit limit of
// the site-symmetry check and the bond-length tolerance of equivalent pairs
// (control files of three numbers keep their meaning). A limit or tolerance
// that cannot be meant is reported and the default kept.
void set_tolerances(Run& run, ff::ListReader& numbers, const Where& at) {
  Ctl& c = run.ctl;
  if (!numbers.read(c.tol1, c.tol2, c.tol3)) at.fail("TOLS needs three numbers");
  const std::string where = " WARNING: vorn.inp, line " + std::to_string(at.line) + ": ";
  float limit = 0, pair = 0;
  if (numbers.count_left() > 0) {
    if (!numbers.next(limit)) at.fail("the fourth TOLS number (misfit limit) is no number");
    if (limit > 0 && std::isfinite(limit)) {
      c.misfit_limit = limit;
    } else {
      to_both(run, "(a)"_f, where + "TOLS misfit limit " + number_text(limit) + " is not positive: the default " +
                                number_text(Ctl{}.misfit_limit) + " Angstrom is kept");
    }
  }
  if (numbers.count_left() > 0) {
    if (!numbers.next(pair)) at.fail("the fifth TOLS number (pair tolerance) is no number");
    if (pair >= 0 && std::isfinite(pair)) {
      c.pair_tol = pair;
    } else {
      to_both(run, "(a)"_f, where + "TOLS pair tolerance " + number_text(pair) + " is negative: the default " +
                                number_text(Ctl{}.pair_tol) + " Angstrom is kept");
    }
  }
  if (c.misfit_limit < c.tol2)
    to_both(run, "(a)"_f, where + "TOLS misfit limit " + number_text(c.misfit_limit) +
                              " Angstrom is below the ring tolerance " + number_text(c.tol2) +
                              " Angstrom: every site symmetry that fails the check is reduced");
}

void set_radii(Run& run, const Tokens& t, const std::string& numbers, const Where& at) {
  int m = dnumline(numbers, LINELEN);
  if (t.n != m + 1) at.fail("RADII needs one radius after each element symbol");
  std::vector<float> r(static_cast<std::size_t>(m));
  ff::ListReader rd(numbers);
  for (float& x : r)
    if (!rd.next(x)) at.fail("a radius is no number");
  for (int k = 2; k <= t.n; ++k) {
    std::string sym{t[k][0], static_cast<char>(lower(t[k].substr(1, 1))[0])};
    for (int z = 1; z <= NCOVRAD; ++z) {
      if (atsym(z) != sym) continue;
      float radius = r[static_cast<std::size_t>(k - 2)];
      to_lst(run, "(' Changing covalent radius of ',a,' to ',f8.3,' Angstroms')"_f, sym, radius);
      run.covrad[static_cast<std::size_t>(z)] = radius;
    }
  }
}

void set_databank(Run& run, const Where& at) {
  run.ctl.idb = 1;
  const std::vector<LineWord> w = file_line_words(at, "DATABANK");
  if (w.size() > 1) {
    if (w[1].text.empty()) at.fail("DATABANK gives an empty path");
    run.ctl.dbname = file_name_field(w[1].text, at.file + ", line " + std::to_string(at.line));
  } else {
    const char* env = std::getenv("VORN_DB");
    run.ctl.dbname = file_name_field(env ? env : "", "the environment variable VORN_DB");
  }
}

void apply_line(Run& run, std::string line, TextFile& f, std::vector<Where>& input_lines) {
  const Where at{run, f.name(), static_cast<int>(f.line_number()), line};
  Tokens& t = run.tok;
  readline(t, line, LINELEN);
  check_control_words(run, at.line, at.text, t);
  Ctl& c = run.ctl;
  ff::ListReader numbers(line);
  if (is(t, 1, "FORMAT")) set_format(run, t);
  if (is(t, 1, "INPUT")) input_lines.push_back(at);
  if (is(t, 1, "VERBOSE") && !numbers.read(c.iverb)) at.fail("VERBOSE needs an integer");
  if (is(t, 1, "TOLS")) set_tolerances(run, numbers, at);
  if (is(t, 1, "RADII")) set_radii(run, t, line, at);
  if (is(t, 1, "NCELLS") && !numbers.read(c.ncells)) at.fail("NCELLS needs an integer");
  if (is(t, 1, "DISORD")) {
    c.idisH = t.starred(2) ? 1 : 0;
    c.idisDB = t.starred(3) ? 1 : 0;
  }
  if (is(t, 1, "KEYGEN"))
    for (int k = 2; k <= 8; ++k)
      if (t.starred(k)) c.lkey[static_cast<std::size_t>(k - 1)] = true;
  if (is(t, 1, "EXTEND_H")) c.iextH = 1;
  if (is(t, 1, "CHEMCON")) {
    if (!t.starred(2)) c.lchem[1] = 0;
    if (!t.starred(3)) c.lchem[2] = 0;
  }
  if (is(t, 1, "SIMPLE")) c.isimple = 1;
  if (is(t, 1, "DATABANK")) set_databank(run, at);
  if (is(t, 1, "RINGS")) {
    c.iring = 1;
    if (!numbers.read(run.ring1.nmin, run.ring1.nmax)) at.fail("RINGS needs two integers");
    if (t.starred(2)) run.ring1.special = 1;
  }
  if (is(t, 1, "SCALE"))
    for (int k = 2; k <= t.n; ++k) {
      if (!t.starred(k)) continue;
      if (is(t, k, "SIGMA")) c.iscale = 3;
      if (is(t, k, "DIFF")) c.iscale = 1;
      if (is(t, k, "FRAC")) c.iscale = 2;
    }
}

void reconcile(Ctl& c) {
  auto& k = c.lkey;
  if (!k[1]) k[2] = k[3] = false;
  if (!k[4]) k[5] = k[6] = k[7] = false;
  if (k[2] && k[3]) k[2] = false;
  if (k[5] && k[6]) k[5] = false;
  if (c.irs != 0 && c.irs != 1) c.irs = 1;
  if (c.itoxd == 0 && c.ncells != -1) c.ncells = std::abs(c.ncells);
}

const char* format_name(int f) {
  switch (f) {
    case FMT_SHELX: return "SHELX";
    case FMT_XD: return "XD";
    case FMT_AIM2TAB: return "AIM2TAB";
    case FMT_PLATON: return "PLATON";
    case FMT_CIF: return "CIF";
    default: return "";
  }
}

}  // namespace

std::string file_name_field(std::string_view name, const std::string& from) {
  if (name.size() > MAXFILENAME)
    err("ReadInp", "The file name given in " + from + " is " + std::to_string(name.size()) +
                       " characters long; file names are limited to " + std::to_string(MAXFILENAME) +
                       " characters: " + std::string(name.substr(0, 40)) + "...");
  return name.size() < 60 ? pad(name, 60) : std::string(name);
}

void ReadInp(Run& run) {
  auto f = TextFile::open(run.path("vorn.inp"));
  if (!f) err("ReadInp", "Unable to open VORN input file vorn.inp");
  to_lst(run, "(/1x,71('-')//' VORN options : '/)"_f);
  run.ctl.iscale = 1;
  std::string buf;
  std::vector<Where> input_lines;
  while (!ReadInputLine(*f, buf)) apply_line(run, buf, *f, input_lines);
  if (run.ctl.iformat == FMT_NONE)
    err("ReadInp", "Unknown input file format: give a FORMAT line with one starred word, *shelx, *cif, *xd, "
                   "*aim2tab or *platon");
  if (input_lines.empty())
    err("ReadInp", "vorn.inp has no INPUT line: name the structure file on one, as INPUT structure.res (a name "
                   "with blanks in quotes, INPUT \"my structure.cif\")");
  for (std::size_t k = 0; k < input_lines.size(); ++k) apply_input(run, input_lines[k], k + 1 == input_lines.size());
  reconcile(run.ctl);
  print_options(run);
}

void print_options(Run& run) {
  Ctl& c = run.ctl;
  to_lst(run, "(' Verbosity level = ',i2)"_f, c.iverb);
  std::string files(rtrim(c.args));
  if (c.iformat == FMT_XD) files = std::string(rtrim(c.xdold)) + " " + files;
  to_lst(run, "(' Input file format = ',a,4x,'file(s) = ',a)"_f, format_name(c.iformat), files);
  if (c.irename == 1)
    to_lst(run, "(' Change SHELX atom names ( irs=',i1,' : ',a,' ) ')"_f, c.irs,
           c.irs == 0 ? "straightforward counting" : "counting atoms types");
  if (c.itoxd == 1) {
    to_lst(run,
           "(/' SIMPLE CONVERSION OF SHELX FILE TO XD FILES WAS REQUESTED'/"
           "' ALL OTHER OPTIONS WILL BE IGNORED !!!!!!'//1x,71('-'))"_f);
    c.iextH = 0;
    c.idb = 0;
    c.iring = 0;
    return;
  }
  if (c.ncells == -1)
    to_lst(run, "(' Do not search for complete fragments')"_f);
  else
    to_lst(run, "(' Search for complete fragments within ',i3,' ... ',sp,i3,ss,' unit cells')"_f, -c.ncells, c.ncells);
  to_lst(run, "(' Threshold / Tolerance parameters : ')"_f);
  to_lst(run, "('   bond criterion (tol1) : d(i-j) < covR(i) + covR(j) + ',f6.3,' Angstroms')"_f, c.tol1);
  to_lst(run, "('   ring  planarity criterion (tol2) : sigpln < ',f7.3,' Angstroms')"_f, c.tol2);
  to_lst(run, "('   group planarity criterion (tol3) : sigpln < ',f7.3,' Angstroms')"_f, c.tol3);
  to_lst(run, "(' Treatment of disorder :')"_f);
  to_lst(run, "(a)"_f, c.idisH == 1 ? "   apply Extend_H option" : "   do NOT apply Extend_H option");
  to_lst(run, "(a)"_f, c.idisDB == 1 ? "   apply DB" : "   do NOT apply DB");
  if (c.idb == 1 && c.idisDB == 1 && c.idisH == 0) {
    to_lst(run, "('   WARNING!!! Applying DB to disordered H-atoms'/14x,'w/o extending distances is CRAZY !!!')"_f);
    report_warning(run,
                   "vorn.inp: DISORD applies the databank to disordered H atoms without extending them (star extendH)",
                   WarningSource::ControlFile);
  }
  const auto& k = c.lkey;
  to_lst(run, "(' Instructions for KEY table generation:')"_f);
  to_lst(run, "(3x,'XYZUIJ=.',l1,'. all=.',l1,'. ordered=.',l1,'.')"_f, k[1], k[2], k[3]);
  to_lst(run, "(3x,'  MULT=.',l1,'. all=.',l1,'. ordered=.',l1,'. kappas=.',l1,'.')"_f, k[4], k[5], k[6], k[7]);
  if (c.idb == 1) {
    to_lst(run, "(' Read pseudoatom parameters from databank file :')"_f);
    to_lst(run, "(3x,a)"_f, rtrim(c.dbname));
  }
  if (c.isimple == 1) to_lst(run, "(' Use simple model for determination of chemical equivalency')"_f);
  to_lst(run, "(a,' chemical/kappa constraints for H-atoms')"_f, c.lchem[1] == 1 ? " Use" : " Do NOT use");
  to_lst(run, "(a,' chemical/kappa constraints for non-H atoms')"_f, c.lchem[2] == 1 ? " Use" : " Do NOT use");
  if (c.iring == 1) to_lst(run, "(' Find rings with ',i3,' - ',i3,' atoms')"_f, run.ring1.nmin, run.ring1.nmax);
  to_lst(run, "(' Treatment of atoms that belong to 1 planar ring :')"_f);
  to_lst(run, "(3x,a)"_f,
         run.ring1.special == 1 ? "always m-symmetry : X - towards center, Y - neighbor in the ring"
                                : "as other atoms (only mark with iring=1)");
  if (c.iextH == 1) {
    to_lst(run, "(' Extend H-atoms to standard/neutron distances and create files : ')"_f);
    to_lst(run, "('   ''reset.bond'' with RESET BOND instructions')"_f);
    to_lst(run, "('   ''const.bond'' with CONSTRAINTS instructions')"_f);
  }
  if (c.idb == 1) {
    const char* m = c.iscale == 2 ? "fraction" : (c.iscale == 3 ? "sigma" : "difference");
    to_lst(run, "(' Scale total population using ',a,' method')"_f, m);
  }
  to_lst(run, "(/1x,71('-'))"_f);
  to_lst(run, "(/' Atomic covalent radii (Angstroms) : ')"_f);
  ff::Items items;
  std::vector<std::string> syms;
  syms.reserve(NLISTED_RADII);
  for (int z = 1; z <= NLISTED_RADII; ++z) syms.push_back(atsym(z));
  for (int z = 1; z <= NLISTED_RADII; ++z) {
    ff::add(items, syms[static_cast<std::size_t>(z - 1)]);
    ff::add(items, run.covrad[static_cast<std::size_t>(z)]);
  }
  *run.lst << "\n" << ff::format_items("(7(3x,a2,f5.2))"_f, items);
  to_lst(run, "(/1x,71('-'))"_f);
}

}  // namespace vorn
