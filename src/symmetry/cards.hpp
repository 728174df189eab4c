// Symmetry cards (SYMM lines) in coordinate-expression and matrix form.
//
// A card holds one or more operators separated by ";". An operator is either
// three coordinate expressions ("-X+1/2, Y, -Z") or twelve numbers, each row
// written as its translation followed by the coefficients of x, y and z
// ("0 1 0 0  0 0 1 0  0.5 0 0 -1").
#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "io/textfile.hpp"
#include "model/run.hpp"

namespace vorn {

// Appends an operator behind the last one, growing the list; returns its number.
int push_op(Symm& symm, const SymOp& op);

// Resets the operator list to the identity, reads every card of the file
// (from its start) and prints the operators as text to the listing.
void getsym(Run& run, TextFile& f);

// Reads lines until one whose first characters equal the key (case ignored);
// false at end of file.
bool srchl(TextFile& f, std::string_view key, bool rewind, std::string& line);

// Parses one card and appends its operators (the identity is never stored
// twice). Returns 0, or non-zero for an illegal card; the operators taken from
// the card before the illegal one stay.
int symcrd(std::string_view line, Symm& symm);

// One coordinate expression ("-X+1/2") into the coefficients of x, y, z and the
// translation; false when it is no valid expression.
bool symop(std::string_view text, float& t, Vec3& r);

// Takes the rotation terms (+X, -Y, Z, ...) out of a blank-free expression and
// returns their coefficients; false when a term is malformed or repeated.
bool removerot(std::string& text, Vec3& r);

// Splits at the delimiter. A blank delimiter takes runs of blanks as one
// separator and yields no empty items. Mode 1 trims every item, mode 3 trims
// and upper-cases.
std::vector<std::string> split(std::string_view text, char delim, int mode);

// Operator n as one listing line ("   SYMM  2      1/2 - X, + Y, 1/2 - Z").
void symout(std::ostream& os, int n, const SymOp& op);
// One coordinate expression as text: the translation as a fraction, then the
// rotation terms.
std::string opout(const Vec3& r, float t);

}  // namespace vorn
