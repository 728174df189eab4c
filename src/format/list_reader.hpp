// List-directed (free-format) reading of numbers, as a Fortran READ with
// IOSTAT reads them: a failed read is a false return, never garbage.
#pragma once

#include <string_view>

namespace ff {

// Reads a word as a Fortran Fw.0 field would: an optional sign, digits with
// an optional decimal point (at least one digit), and an optional exponent
// (E, D or Q with an optional sign, or a bare sign). A lone sign or point,
// and the words NaN and Inf, are not numbers here.
bool is_fixed_number(std::string_view word);

// Parses one real in the syntax of is_fixed_number. False when the text is
// not a number or the value is out of the range of a 32-bit float.
bool parse_real(std::string_view word, float& out);
bool parse_real(std::string_view word, double& out);
// Parses an integer: optional sign and digits only; false on overflow.
bool parse_int(std::string_view word, int& out);

// List-directed reading of numbers from one text: values are separated by
// blanks, tabs or a comma; "r*v" repeats v r times; "/" ends the list.
// Every read returns false at the end of the text or on a value that does not
// read as the requested type (as a Fortran READ with IOSTAT would fail); the
// reader is then left at that value.
class ListReader {
 public:
  explicit ListReader(std::string_view text) : text_(text) {}
  bool next(float& x);
  bool next(double& x);
  bool next(int& x);
  template <class... Ts>
  bool read(Ts&... xs) {
    return (next(xs) && ...);
  }
  // Number of values left (a repeat r*v counts r).
  int count_left() const;

 private:
  bool next_word(std::string_view& w);  // the next value text, or empty for a null value
  void advance_after_value();
  std::string_view text_;
  std::size_t pos_ = 0;
  int repeat_left_ = 0;
  std::string_view repeat_value_;
  bool ended_ = false;
};

}  // namespace ff
