// The databank parameter record of the current atom, the counters, and the
// databank file as ReadFile sees it.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <string>
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
};

}  // namespace vorn
