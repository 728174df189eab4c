// The values of a CIF data block as the CIF reader takes them: numbers with
// their uncertainties dropped, required and optional items with messages
// that name the file, block and item, and the columns of one loop.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "structure/cif_document.hpp"

namespace vorn::cifdoc {

// Where a value sits, for messages: file, data block and item.
struct Place {
  std::string file, block;
  std::string at(const std::string& item) const { return "file " + file + ", data block " + block + ", " + item; }
};

// The number of an item that must have one; a missing or unreadable value
// stops the run.
double required(const Place& p, const std::string& item, const std::string& raw);
// The number of an item, `absent` when it has no value; an unreadable value
// stops the run.
double optional(const Place& p, const std::string& item, const std::string& raw, double absent);
// The first value of an item (a pair or the first row of a loop), or null.
const std::string* first_value(const Block& b, const std::string& tag);

// The columns of a tag prefix that stand together, as a loop (or as pairs):
// the first tag is required, the others ("?" in front) count only when they
// stand in the same loop as the first.
class Rows {
 public:
  Rows(const Block& b, const std::string& prefix, const std::vector<std::string>& tags) {
    for (std::string tag : tags) {
      const bool optional = !tag.empty() && tag[0] == '?';
      if (optional) tag.erase(0, 1);
      const Column* c = b.find(prefix + tag);
      if (c != nullptr && !cols_.empty() && (cols_[0] == nullptr || c->loop != cols_[0]->loop)) c = nullptr;
      if (c == nullptr && !optional) ok_ = false;
      cols_.push_back(c);
    }
    if (ok_) length_ = cols_[0]->values.size();
  }
  bool ok() const { return ok_; }
  bool has_column(int k) const { return cols_[static_cast<std::size_t>(k)] != nullptr; }
  std::size_t length() const { return length_; }
  // Row r: the raw value of column k, whether it has a value, the value
  // without its quotes.
  const std::string& raw(std::size_t r, int k) const { return cols_[static_cast<std::size_t>(k)]->values.at(r); }
  bool has2(std::size_t r, int k) const { return has_column(k) && !is_null(raw(r, k)); }
  std::string str(std::size_t r, int k) const { return as_string(raw(r, k)); }

 private:
  std::vector<const Column*> cols_;
  bool ok_ = true;
  std::size_t length_ = 0;
};

}  // namespace vorn::cifdoc
