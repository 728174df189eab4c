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

// One databank line, scanned once: every atom is matched against the whole
// file, so the words of a line are extracted when the file is first used and
// not again for each atom.
struct DbLine {
  std::string raw;                 // as in the file, at most 200 characters
  bool comment = false;            // "!" in column 1
  int headz = -1;                  // atomic number of an entry head line, else -1
  std::vector<std::string> words;  // upper case, 8 characters each, in order
  std::string numbers;             // upper case, with the words blanked out
  // Word k (1-based), blank beyond the last.
  std::string word(int k) const {
    return k >= 1 && k <= static_cast<int>(words.size()) ? words[static_cast<std::size_t>(k - 1)] : std::string(8, ' ');
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
  std::size_t pos = 0;                            // next line to read
};

}  // namespace vorn
