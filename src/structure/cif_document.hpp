// A CIF document as plain tables: the parse by gemmi's CIF parser, turned
// into blocks of tagged value columns. This header and its source use only
// what C++17 has, because clang (the fuzz harness builds) cannot compile
// gemmi's CIF document headers in C++20 mode; the source is built as C++17
// (CMakeLists.txt) and the CIF reader works on these tables.
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace vorn::cifdoc {

// The raw values of one tag, as written (quotes kept): one for a pair, one
// per row for a loop column.
struct Column {
  std::vector<std::string> values;
  int loop = -1;  // the loop the column belongs to (numbered per block); -1 for a pair
};

struct Block {
  std::string name;                      // without "data_"
  std::map<std::string, Column> items;  // by lower-case tag; the first of a repeated tag
  // The column of a tag (any case), or nullptr.
  const Column* find(const std::string& tag) const;
};

struct Document {
  std::vector<Block> blocks;
};

// Parses a CIF held in memory; throws std::runtime_error with the parser's
// reason when the text is no CIF. `name` is the file name for that reason.
Document parse(const std::string& text, const std::string& name);

// "?" and ".": no value.
bool is_null(const std::string& raw);
// The value without its quotes.
std::string as_string(const std::string& raw);
// The number, its standard uncertainty in parentheses dropped; NaN when the
// value is no number.
double as_number(const std::string& raw);

}  // namespace vorn::cifdoc
