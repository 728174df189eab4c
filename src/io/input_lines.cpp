#include "io/input_lines.hpp"

#include "base/error.hpp"
#include "io/scanner.hpp"

namespace vorn {

bool ReadInputLine(TextFile& f, std::string& buf) {
  buf.assign(LINELEN, ' ');
  int pos = 1;
  bool continued = false;
  std::string line;
  while (f.next(line, LINELEN)) {
    if (line[0] == '!' || lenstr(line, LINELEN) == 0) continue;
    // Text beyond column 255 would be lost without a word.
    if (f.cut())
      err("ReadInputLine", "Line " + std::to_string(f.line_number()) + " of " + f.name() +
                               " is longer than 255 characters");
    int last = lenstr(line, LINELEN);
    if (line[static_cast<std::size_t>(last - 1)] != '\\') {
      // The last piece of a continued line must fit as well: cut, it would
      // lose its end without a word.
      if (last + pos - 1 > LINELEN) err("ReadInputLine", "Line exceeds limit of 255 characters");
      for (int k = 0; k < last && pos - 1 + k < LINELEN; ++k)
        buf[static_cast<std::size_t>(pos - 1 + k)] = line[static_cast<std::size_t>(k)];
      return false;
    }
    if (last + pos > LINELEN) err("ReadInputLine", "Line exceeds limit of 255 characters");
    for (int k = 0; k < last; ++k) buf[static_cast<std::size_t>(pos - 1 + k)] = line[static_cast<std::size_t>(k)];
    pos = lenstr(buf, LINELEN) + 2;
    continued = true;
  }
  // A file that ends inside a continued line still yields what was read.
  return !continued;
}

}  // namespace vorn
