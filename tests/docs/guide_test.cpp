// The user's guide (docs/guide.md) against the program: every keyword,
// atom-table column, file name and message it names in backticks is one the
// program has, its examples are what runs print, and its table of
// site-symmetry codes gives the keys the program writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <stdlib.h>
#include <sstream>
#include <string>
#include <vector>

#include "base/elements.hpp"
#include "base/error.hpp"
#include "base/text.hpp"
#include "chem/hydrogens.hpp"
#include "control/inp_words.hpp"
#include "control/read_inp.hpp"
#include "control/run_sequence.hpp"
#include "local/key_masks.hpp"
#include "output/xd_master.hpp"
#include "support/builders.hpp"

namespace vorn {
namespace {

namespace fs = std::filesystem;
using test::lines_of;
using test::TestRun;

const fs::path kSource(VORN_SOURCE_DIR);

std::string text_of(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

// The guide split into its fenced blocks and its prose.
struct Guide {
  std::vector<std::vector<std::string>> blocks;
  std::vector<std::string> prose;
};

Guide read_guide() {
  Guide g;
  bool in_block = false;
  for (const std::string& l : lines_of(text_of(kSource / "docs" / "guide.md"))) {
    if (l.rfind("```", 0) == 0) {
      if (!in_block) g.blocks.emplace_back();
      in_block = !in_block;
      continue;
    }
    (in_block ? g.blocks.back() : g.prose).push_back(l);
  }
  return g;
}

// The texts in single backticks of the prose.
std::vector<std::string> spans(const std::vector<std::string>& prose) {
  std::vector<std::string> out;
  for (const std::string& l : prose)
    for (std::size_t a = l.find('`'); a != std::string::npos; a = l.find('`', a + 1)) {
      const std::size_t b = l.find('`', a + 1);
      if (b == std::string::npos) break;
      out.push_back(l.substr(a + 1, b - a - 1));
      a = b;
    }
  return out;
}

// The example of the guide: the toluic run with its own control file,
// the databank path made absolute.
std::string example_control() {
  std::string c = text_of(kSource / "examples/toluic/vorn.inp");
  const std::string rel = "../databank/vorn_example.db";
  c.replace(c.find(rel), rel.size(), (kSource / "examples/databank/vorn_example.db").string());
  return c;
}

// Whole runs whose outputs the guide describes: the example; a molecule on
// an inversion centre, completed from its half; a group the functional-group
// search does not know; mistakes in the control file; no control file.
struct Runs {
  std::set<std::string> files;  // every file a run wrote
  std::string text;             // standard output and every file written
  std::string mas;              // xd_vorn.mas of the example
  std::string warnings_out;     // standard output of the run with mistakes
  TestRun example;
  TestRun hydrogens;

  void add(TestRun& t, const std::set<std::string>& inputs) {
    text += t.out.str();
    for (const auto& e : fs::directory_iterator(t.dir.path())) {
      const std::string name = e.path().filename().string();
      if (inputs.count(name) == 0) files.insert(name);
      text += text_of(e.path());
    }
  }

  Runs() {
    example.write("vorn.inp", example_control());
    fs::copy_file(kSource / "examples/toluic/toluic.res", example.dir.path() / "toluic.res");
    EXPECT_EQ(vorn_main(example.run, {}), 0) << example.out.str();
    mas = example.read("xd_vorn.mas");
    add(example, {"vorn.inp", "toluic.res"});

    TestRun ethane;  // C-C across the inversion centre at the origin
    ethane.write("vorn.inp", "FORMAT *shelx\nINPUT e.res\nNCELLS 1\n");
    ethane.write("e.res", "TITL half\nCELL 0.71073 5.0 5.0 5.0 90 90 90\nLATT 1\nSFAC C\nC1 1 0.15 0.0 0.0 11.0 0.02\nEND\n");
    EXPECT_EQ(vorn_main(ethane.run, {}), 0) << ethane.out.str();
    add(ethane, {"vorn.inp", "e.res"});

    TestRun odd;  // a carboxyl carbon whose ester oxygen carries sulfur
    odd.write("vorn.inp", "FORMAT *platon\nINPUT m.ang\n");
    odd.write("m.ang",
              "TITL odd ester\nATOM C2 0.0 0.0 0.0\nATOM C1 1.5 0.0 0.0\nATOM O1 2.1 1.05 0.0\n"
              "ATOM O2 2.2 -1.15 0.0\nATOM S1 3.8 -1.25 0.0\n");
    EXPECT_EQ(vorn_main(odd.run, {}), 0) << odd.out.str();
    add(odd, {"vorn.inp", "m.ang"});

    TestRun mistakes;
    mistakes.write("vorn.inp", "FORMAT *shelx\nINPUT toluic.res\nNCELS 1\nVERBOSE 1\nRINGS 3 8\nNCELLS 1\nSCALE *fract\n");
    fs::copy_file(kSource / "examples/toluic/toluic.res", mistakes.dir.path() / "toluic.res");
    EXPECT_EQ(vorn_main(mistakes.run, {}), 0) << mistakes.out.str();
    warnings_out = mistakes.out.str();
    add(mistakes, {"vorn.inp", "toluic.res"});

    // EXTEND_H on hydrogens it cannot place: an acetylene (a carbon with
    // two neighbours), a B-H and a water with a half-occupied H.
    hydrogens.write("vorn.inp", "FORMAT *shelx\nINPUT h.res\nEXTEND_H\n");
    hydrogens.write("h.res",
                    "TITL hydrogens\nCELL 0.71073 20.0 20.0 20.0 90 90 90\nLATT -1\nSFAC C H B O\n"
                    "C1 1 0.0 0.0 0.0 11.0 0.02\nC2 1 0.06 0.0 0.0 11.0 0.02\n"
                    "H1 2 -0.05 0.0 0.0 11.0 0.03\nH2 2 0.11 0.0 0.0 11.0 0.03\n"
                    "B1 3 0.0 0.25 0.0 11.0 0.02\nH3 2 0.06 0.25 0.0 11.0 0.03\n"
                    "O1 4 0.0 0.0 0.25 11.0 0.02\nH4 2 0.048 0.0 0.25 10.5 0.03\nH5 2 -0.012 0.0465 0.25 11.0 0.03\n"
                    "END\n");
    EXPECT_EQ(vorn_main(hydrogens.run, {}), 0) << hydrogens.out.str();
    add(hydrogens, {"vorn.inp", "h.res"});

    TestRun none;
    EXPECT_EQ(vorn_main(none.run, {}), 1);
    add(none, {});

    unsetenv("VORN_DB");
    TestRun no_path;  // DATABANK without a path, VORN_DB unset, nothing on standard input
    no_path.write("vorn.inp", "FORMAT *platon\nINPUT m.ang\nDATABANK\n");
    no_path.write("m.ang", "TITL one atom\nATOM C1 0.0 0.0 0.0\n");
    EXPECT_EQ(vorn_main(no_path.run, {}), 1);
    add(no_path, {"vorn.inp", "m.ang"});
  }
};

const Runs& runs() {
  static Runs r;
  return r;
}

// The columns of the atom-table header the example wrote.
std::set<std::string> columns(const std::string& mas) {
  std::set<std::string> c;
  for (const std::string& l : lines_of(mas))
    if (l.rfind("ATOM     ATOM0", 0) == 0) {
      std::istringstream w(l);
      for (std::string s; w >> s;) c.insert(s);
    }
  return c;
}

bool is_file_name(const std::string& s) {
  static const std::regex name(R"(^[A-Za-z0-9_./-]+\.(inp|out|mas|par|spf|bond|ins|ang|db|txt|res|cif|md)$)");
  return std::regex_match(s, name);
}

std::string sample_control_file() {
  std::ostringstream os;
  print_sample_input(os);
  return os.str();
}

// Runs one control line after a minimal head; "" or the error.
std::string control_line_fault(const std::string& line, std::string* out = nullptr) {
  TestRun t;
  t.write("vorn.inp", "FORMAT *shelx\nINPUT x.res\n" + line + "\n");
  try {
    ReadInp(t.run);
  } catch (const VornError& e) {
    return e.message();
  }
  if (out != nullptr) *out = t.out.str();
  return "";
}

TEST(Guide, EveryNamedKeywordColumnFileAndMessageExistsInTheProgram) {
  const Guide g = read_guide();
  const Runs& r = runs();
  const std::set<std::string> cols = columns(r.mas);
  ASSERT_EQ(cols.size(), 13u) << r.mas.substr(0, 400);
  const std::string sample = sample_control_file();
  const std::string databank = text_of(kSource / "examples/databank/vorn_example.db");
  const std::string makefile = text_of(kSource / "Makefile");
  const auto& keywords = control_keywords();
  std::string sample_db = sample.substr(sample.find("\nDATABANK ") + 10);
  sample_db = sample_db.substr(0, sample_db.find('\n'));

  int keyword_spans = 0, column_spans = 0, file_spans = 0;
  for (const std::string& s : spans(g.prose)) {
    SCOPED_TRACE("`" + s + "`");
    std::istringstream ws(s);
    std::vector<std::string> words;
    for (std::string w; ws >> w;) words.push_back(w);
    if (words.empty()) continue;
    const std::string first = upper(words[0]);
    if (std::find(keywords.begin(), keywords.end(), first) != keywords.end() && first == words[0]) {
      ++keyword_spans;
      if (words.size() > 1 && s.find("...") == std::string::npos) {
        std::string out;
        EXPECT_EQ(control_line_fault(s, &out), "");
        // Words compared by name are the keyword's own.
        if (first == "SCALE" || first == "FORMAT") {
          EXPECT_EQ(out.find("WARNING"), std::string::npos) << out;
        }
      }
      continue;
    }
    if (words.size() == 1 && cols.count(s)) {
      ++column_spans;
      continue;
    }
    if (words[0] == "make") {
      EXPECT_NE(makefile.find("\n" + words[1] + ":"), std::string::npos) << "no make target " << words[1];
      continue;
    }
    if (words[0] == "vorn") continue;  // command lines, run by the command-line tests
    // The files and the environment variable of XD that the guide names for
    // handing the files over.
    static const std::set<std::string> kOfXd = {"xd.mas", "xd.inp", "xd.hkl", "xd.res", "xd.bnk_RHF_CR", "XD_DATADIR"};
    if (kOfXd.count(s)) continue;
    bool checked_name = false;
    for (const std::string& w : words) {
      if (!is_file_name(w)) continue;
      checked_name = true;
      ++file_spans;
      const bool written = r.files.count(w) > 0;
      const bool in_tree = fs::exists(kSource / w);
      const bool control = w == "vorn.inp";
      const bool installed = w == sample_db;
      EXPECT_TRUE(written || in_tree || control || installed) << w << " is no file of the program";
    }
    if (checked_name) continue;
    if (s.find_first_not_of("01 ") == std::string::npos) continue;  // key masks: the site-symmetry test
    if (s == "\\") {  // the continuation mark
      EXPECT_EQ(control_line_fault("VERBOSE \\\n 2"), "");
      continue;
    }
    if (words.size() == 1 && s.size() > 1 && s[0] == '*') {  // an option word of INPUT, SCALE or FORMAT
      bool known = false;
      for (const char* head : {"INPUT x.res ", "SCALE ", "FORMAT "}) {
        std::string out;
        known = known || (control_line_fault(head + s, &out).empty() && out.find("WARNING") == std::string::npos);
      }
      EXPECT_TRUE(known) << "no option word";
      continue;
    }
    // Everything else (messages, labels, dummy names, listing items, the
    // databank's keywords) is found in what the runs print and write, the
    // example databank or the sample control file.
    const bool seen = r.text.find(s) != std::string::npos || databank.find(s) != std::string::npos ||
                      sample.find(s) != std::string::npos || fs::exists(kSource / s);
    const bool site_code = !key_mask(pad(s, 5)).empty();
    EXPECT_TRUE(seen || site_code) << "not found in the output of any run";
  }
  EXPECT_GE(keyword_spans, 30);
  EXPECT_GE(column_spans, 13);
  EXPECT_GE(file_spans, 20);
  // Every column and every output file is explained.
  const std::set<std::string> named = [&] {
    const auto v = spans(g.prose);
    return std::set<std::string>(v.begin(), v.end());
  }();
  for (const std::string& c : cols) EXPECT_TRUE(named.count(c)) << "column " << c << " is not explained";
  for (const std::string& f : r.files) EXPECT_TRUE(named.count(f)) << "file " << f << " is not explained";
  for (const std::string& k : keywords) EXPECT_TRUE(named.count(k)) << "keyword " << k << " is not explained";
}

TEST(Guide, ExamplesAreWhatTheProgramPrints) {
  const Guide g = read_guide();
  const Runs& r = runs();
  ASSERT_GE(g.blocks.size(), 6u);
  // The control file of the walk-through is the example's, comments left out.
  std::vector<std::string> control;
  for (const std::string& l : lines_of(text_of(kSource / "examples/toluic/vorn.inp")))
    if (!l.empty() && l[0] != '!') control.push_back(l);
  EXPECT_EQ(g.blocks[1], control);
  // The warnings, the atom table and the databank entries, line by line.
  const auto contains = [](const std::string& text, const std::string& line) {
    return text.find(line + "\n") != std::string::npos;
  };
  const std::string databank = text_of(kSource / "examples/databank/vorn_example.db");
  int atom_lines = 0, warning_lines = 0, databank_lines = 0;
  for (const auto& block : g.blocks) {
    for (const std::string& l : block) {
      if (l.rfind(" WARNING:", 0) == 0) {
        ++warning_lines;
        EXPECT_TRUE(contains(r.warnings_out, l)) << l;
      }
    }
    if (!block.empty() && block[0].rfind("ATOM     ATOM0", 0) == 0) {
      for (const std::string& l : block)
        if (l != "...") {
          ++atom_lines;
          EXPECT_TRUE(contains(r.mas, l)) << l;
        }
    }
    if (!block.empty() && block[0].rfind("ATOM   ", 0) == 0 && block[0].rfind("ATOM     ATOM0", 0) != 0) {
      for (const std::string& l : block) {
        ++databank_lines;
        EXPECT_TRUE(contains(databank, l)) << l;
      }
    }
  }
  EXPECT_EQ(warning_lines, 2);
  EXPECT_GE(atom_lines, 12);
  EXPECT_GE(databank_lines, 8);
}

// The site-symmetry table: each code's key mask is the one the program
// writes under KEYGEN *MULT *all, and the multipoles it names as varied are
// the flags of that mask.
TEST(Guide, SiteSymmetryTableGivesTheKeysTheProgramWrites) {
  const Guide g = read_guide();
  static const char* const kTerms[] = {"Pv", "00", "11+", "11-", "10", "20", "21+", "21-", "22+", "22-",
                                       "30", "31+", "31-", "32+", "32-", "33+", "33-", "40", "41+", "41-",
                                       "42+", "42-", "43+", "43-", "44+", "44-"};
  const std::regex row(R"(^\| `([^`]+)` \|.*\| ([^|]+) \| `([01 ]+)` \|$)");
  int rows = 0;
  for (const std::string& l : g.prose) {
    std::smatch m;
    if (!std::regex_match(l, m, row)) continue;
    ++rows;
    const std::string code = m[1], mask = m[3];
    std::string varied = m[2];
    while (!varied.empty() && varied.back() == ' ') varied.pop_back();
    SCOPED_TRACE(code);
    TestRun t;
    test::add_atom(t.run, "C(1)", Cart{0, 0, 0});
    t.run.atoms.sitesym[1] = pad(code, 5);
    t.run.ctl.lkey[4] = t.run.ctl.lkey[5] = true;
    const std::string key = getkey(t.run, 1);
    EXPECT_EQ(key.substr(key.size() - mask.size()), mask);
    std::string flags;
    for (char c : mask)
      if (c != ' ') flags.push_back(c);
    ASSERT_EQ(flags.size(), 26u);
    std::string listed;
    for (std::size_t k = 0; k < flags.size(); ++k)
      if (flags[k] == '1') listed += (listed.empty() ? "" : ", ") + std::string(kTerms[k]);
    if (varied != "Pv and all multipoles") {
      EXPECT_EQ(varied, listed);
    }
  }
  EXPECT_EQ(rows, 18);  // the codes of the chemical rules and those of special positions
}

// The rows of the guide's table of X-H distances.
struct HydrogenRow {
  std::string parent, group;
  double distance, ratio;
};
std::vector<HydrogenRow> hydrogen_rows(const Guide& g) {
  const std::regex row(R"(^\| (C|N|O|S) \| ([^|]+?) \| [^|]+ \| ([0-9.]+) \| ([0-9.]+) \|$)");
  std::vector<HydrogenRow> out;
  for (const std::string& l : g.prose) {
    std::smatch m;
    if (std::regex_match(l, m, row)) out.push_back({m[1], m[2], std::stod(m[3]), std::stod(m[4])});
  }
  return out;
}

// The table of X-H distances is the program's, row for row in the order it
// tries them; and in the example's run every H atom ends at the distance the
// guide gives for the group the listing names, as the written coordinates
// show, with that distance in its RESET BOND line.
TEST(Guide, HydrogenDistancesAreWhereTheProgramPutsTheAtoms) {
  const Guide g = read_guide();
  const std::vector<HydrogenRow> rows = hydrogen_rows(g);
  const auto classes = xh_classes();
  ASSERT_EQ(rows.size(), classes.size());
  std::map<std::string, double> by_group;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    SCOPED_TRACE(rows[k].group);
    EXPECT_EQ(rows[k].group, classes[k].name);
    EXPECT_EQ(rows[k].parent, std::string(rtrim(atsym(classes[k].z))));
    EXPECT_NEAR(rows[k].distance, classes[k].d, 1e-5);
    EXPECT_NEAR(rows[k].ratio, classes[k].uratio, 1e-5);
    by_group[rows[k].group] = rows[k].distance;
  }

  const Runs& r = runs();
  const std::string listing = r.example.read("vorn.out");
  const nlohmann::json rec = nlohmann::json::parse(r.example.read("vorn.json"));
  std::map<std::string, const nlohmann::json*> atom_of;
  for (const auto& a : rec.at("atoms")) atom_of[a.at("label")] = &a;
  int lines = 0;
  for (const std::string& l : lines_of(r.example.read("reset.bond"))) {
    SCOPED_TRACE(l);
    const auto w = test::words_of(l);
    ASSERT_EQ(w.size(), 5u);
    ++lines;
    const std::string x = w[2], h = w[3];
    // "   X-H group : C(8)-H(8A) >  C-C-H3 =  0.960 /  1.077 Angstroms"
    const std::string head = "X-H group : " + x + "-" + h + " >  ";
    const std::size_t at = listing.find(head);
    ASSERT_NE(at, std::string::npos);
    const std::string rest = listing.substr(at + head.size(), listing.find('\n', at) - at - head.size());
    const std::string group = rest.substr(0, rest.find(" ="));
    ASSERT_TRUE(by_group.count(group)) << group;
    EXPECT_NEAR(std::stod(w[4]), by_group[group], 0.0005);
    ASSERT_TRUE(atom_of.count(h));
    double to_parent = -1;
    for (const auto& n : atom_of[h]->at("neighbours"))
      if (n.at("label") == x) to_parent = n.at("distance");
    EXPECT_NEAR(to_parent, by_group[group], 0.0005);
  }
  EXPECT_EQ(lines, 8);
}

// The string literals of a source text inside the calls to the routines
// named (up to each call's closing parenthesis), and inside the braces of
// the tables of names.
std::set<std::string> literals_in_calls(const std::string& source, const std::vector<std::string>& calls) {
  std::set<std::string> out;
  const auto take = [&](std::size_t from, char open, char close) {
    int depth = 0;
    for (std::size_t k = from; k < source.size(); ++k) {
      const char c = source[k];
      if (c == '"') {
        const std::size_t end = source.find('"', k + 1);
        out.insert(source.substr(k + 1, end - k - 1));
        k = end;
      } else if (c == open) {
        ++depth;
      } else if (c == close && --depth == 0) {
        return;
      }
    }
  };
  for (const std::string& call : calls)
    for (std::size_t at = source.find(call); at != std::string::npos; at = source.find(call, at + 1))
      take(at + call.size() - 1, call.back(), call.back() == '(' ? ')' : '}');
  return out;
}

// The guide's table of functional-group names holds every name the group
// search gives, each under the element whose rules give it; and an entry
// of the example databank that names one takes the atom of that group.
TEST(Guide, FunctionalGroupNamesAreThoseTheSearchGives) {
  const Guide g = read_guide();
  std::map<std::string, std::set<std::string>> guide_names;  // element -> names
  const std::regex row(R"(^\| ([A-Z][a-z]?(?:, [A-Z][a-z]?)*) \| (.+) \|$)");
  for (const std::string& l : g.prose) {
    std::smatch m;
    if (!std::regex_match(l, m, row)) continue;
    if (std::string(m[2]).find(',') == std::string::npos || std::string(m[2]).find('|') != std::string::npos) continue;
    std::string names = m[2];
    names = names.substr(0, names.find(" ("));  // a remark after the names
    std::istringstream is(names);
    for (std::string n; std::getline(is, n, ',');) {
      const std::size_t from = n.find_first_not_of(' ');
      guide_names[m[1]].insert(from == std::string::npos ? std::string() : std::string(rtrim(n.substr(from))));
    }
  }
  const std::map<std::string, std::string> rules = {{"H", "rules_hydrogen.cpp"}, {"C", "rules_carbon.cpp"},
                                                    {"N", "rules_nitrogen.cpp"},  {"O", "rules_oxygen.cpp"},
                                                    {"P", "rules_p_s_halogens.cpp"}, {"S", "rules_p_s_halogens.cpp"},
                                                    {"F, Cl, Br", "rules_p_s_halogens.cpp"}};
  ASSERT_EQ(guide_names.size(), rules.size());
  std::set<std::string> in_guide, in_program;
  for (const auto& [element, file] : rules) {
    SCOPED_TRACE(element);
    const std::set<std::string> found = literals_in_calls(text_of(kSource / "src/chem" / file),
                                                          {"named(", "on_ring(", "Names kCarboxyl{", "Names kCarbamoyl{"});
    in_program.insert(found.begin(), found.end());
    ASSERT_TRUE(guide_names.count(element));
    for (const std::string& n : guide_names.at(element)) {
      EXPECT_TRUE(found.count(n)) << n << " is no group of these rules";
      in_guide.insert(n);
    }
  }
  in_program.erase("");  // the carbamoyl group has no anhydride
  for (const std::string& n : in_program) EXPECT_TRUE(in_guide.count(n)) << n << " is missing from the guide";
  EXPECT_GE(in_guide.size(), 80u);

  // The example's acid hydrogen takes the entry for the carboxylic group.
  const std::string listing = runs().example.read("vorn.out");
  EXPECT_TRUE(guide_names.at("H").count("carboxylic"));
  EXPECT_NE(listing.find("H-O carboxylic acid hydrogen"), std::string::npos);
}

}  // namespace
}  // namespace vorn
