// The databank parameter record of the current atom, the counters, and the
// databank file as ReadFile sees it.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace vorn {

struct DbRecord {
  int found = 0;
  float pv = 0;
  float spv = 0.01f;
  float kappa = 1.0f;
  float kappap = 1.0f;
  std::array<std::array<float, 9>, 5> plm{};  // plm[l][m + 4]
  std::string comment;
  float& P(int l, int m) { return plm[static_cast<std::size_t>(l)][static_cast<std::size_t>(m + 4)]; }
  float P(int l, int m) const { return plm[static_cast<std::size_t>(l)][static_cast<std::size_t>(m + 4)]; }
};

// What the databank gave one atom: whether it was looked up, and the comment
// of the entry found ("" when none was).
struct DbAtom {
  bool searched = false;
  bool found = false;
  std::string entry;
};

// A fragment whose valence populations were rescaled to its net charge.
struct Fragment {
  float charge = 0;
  std::vector<int> atoms;  // ascending
};

struct DbCounters {
  int inuse = 0;
  int searched = 0;
  int found = 0;
  int notfound = 0;
};

// A number of a databank line, read both ways once.
struct DbNumber {
  float r = 0;
  int i = 0;
  bool real_ok = false;  // reads as a real
  bool int_ok = false;   // reads as an integer
};

// One databank line, scanned once: every atom is matched against the whole
// file, so the words and numbers of a line are extracted when the file is
// first used and not again for each atom.
struct DbLine {
  std::string raw;                 // as in the file, at most 200 characters
  bool comment = false;            // "!" in column 1
  bool cut = false;                // text beyond column 200 was dropped
  int headz = -1;                  // atomic number of an entry head line, else -1
  std::string note;                // the comment of an entry head line
  std::vector<std::string> words;  // upper case, 8 characters each, in order
  std::vector<DbNumber> numbers;   // what is left once the words are blanked out
  // Word k (1-based), blank beyond the last.
  const std::string& word(int k) const {
    static const std::string blank(8, ' ');
    return k >= 1 && k <= static_cast<int>(words.size()) ? words[static_cast<std::size_t>(k - 1)] : blank;
  }
};

// What an entry is compared with: the atom's chemical environment.
struct DbQuery {
  int ityp = 0;               // atomic number
  int inei = 0;               // bonded neighbours (fresh covalent search)
  int ity = 0;                // neighbour types
  std::vector<int> ztype;     // 1..ity, increasing atomic number
  std::vector<int> ntypenei;  // 1..ity, neighbours of each type
  int iring = 0;              // forring: 0 none, 1 or 2 planar rings
  int imemb = 0;              // forring: ring-size figure
  std::string asymi = std::string(5, ' ');  // site symmetry, upper case
  int lPG = 0;                // planar with its neighbours
  std::array<int, 3> parent{};  // hydrogen: parent's Z, bonds, H neighbours
  int exflag = 0;             // functional-group exception recorded
  std::string group = std::string(40, ' ');  // its name, upper case
};

// The outcome of matching one description against the whole file. A large
// structure has thousands of atoms but few distinct environments, and the
// outcome depends on the description alone, so it is kept per description
// together with the listing text that depends on nothing else.
struct DbMatch {
  std::string query_text;  // the listing lines of the description
  bool found = false;
  DbRecord rec;
  std::string group;       // group name read with an exception entry
  std::size_t pos = 0;     // reading position after the entry
  std::string values_text; // the listing lines of the parameter values
};

// The databank file with the reading position shared by ReadDB, ReadFile and
// exceptdb.
struct DbFile {
  bool loaded = false;
  std::string name;
  std::size_t fingerprint = 0;
  std::vector<DbLine> lines;                      // 0-based
  std::map<int, std::vector<std::size_t>> heads;  // head lines by atomic number, ascending
  // For the keywords an entry is searched for: per line, the first line at
  // or after it that the keyword begins (lines.size() when none).
  std::vector<std::size_t> next_prnt, next_neig, next_pval;
  std::size_t pos = 0;                            // next line to read
  // Matches made so far, by the description's key (see ReadDB).
  std::unordered_map<std::string, DbMatch> matches;
  std::string key;  // scratch: the key of the current description
  DbQuery query;    // scratch: the description of the current atom
};

}  // namespace vorn
