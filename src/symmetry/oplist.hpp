// A space group given as its full operator list (as a CIF gives it): the
// checks a list must pass, its reduction to the lattice card and symmetry
// cards of an XD or MoPro head, and the order of the site symmetry of a
// position.
//
// The algebra (products, centring vectors, cosets) is gemmi's; operators
// are exact there (rotation and translation in 24ths), so that equality of
// two operators is equality of integers.
#pragma once

#include <gemmi/symmetry.hpp>

#include <string>
#include <vector>

#include "model/run.hpp"

namespace vorn {

// What an XD "LATT" card and its "SYMM" cards say about a group: the
// lattice letter, whether the inversion through the origin is to be added
// ("LATT C") and the operators to write as cards. Expanded as the XD reader
// expands them (cards and identity, with and without inversion, times the
// centring vectors), the cards give the whole group back.
struct XdSymmetry {
  char letter = 'P';
  bool centro = false;
  std::vector<gemmi::Op> cards;
};

// Parses one operator ("-x+1/2, y, -z"; decimal translations such as
// "x+0.5" are taken as well); false, with the reason, when it does not parse
// or is no crystallographic operation.
bool parse_operator(const std::string& text, gemmi::Op& op, std::string& why);

// The operators of the list with translations in [0, 1) (and as given, in
// the same order), duplicates (equal up to lattice translations) dropped and
// the identity first. Returns a
// message instead of the list when it is not a space group: an operator
// that is no crystallographic operation (rotation entries not whole, or a
// determinant other than +1 or -1), a missing identity, more than 192
// operators, or a product of two operators that is not in the list. `dropped` counts the duplicates.
struct OpList {
  std::vector<gemmi::Op> ops;
  std::vector<gemmi::Op> given;
  std::string fault;  // empty when the list is a group
  int dropped = 0;
};
OpList check_op_list(const std::vector<gemmi::Op>& ops);

// Reduces a whole group (as check_op_list returns it). Lattices A, B, C, I
// and F are named by their letter; for any other set of centring vectors
// (R, H, ... or none of the standard ones) the letter is P and every
// operator but the identity becomes a card, so that no reader of the file
// has to know that centring. When the inversion through the origin is in
// the group, "LATT C" and one card per coset of {1, -1} times the
// centring; otherwise "LATT A" and one card per coset of the centring
// (every non-centring operator), even when the group has an inversion
// centre elsewhere.
XdSymmetry reduce_for_xd(const std::vector<gemmi::Op>& group);

// The operator with real entries, as the operator list of a run holds it.
SymOp to_symop(const gemmi::Op& op);
// The exact operator of one with real entries (translations to the nearest
// 24th).
gemmi::Op from_symop(const SymOp& op);

// "-X, Y+1/2, -Z+1/2": the text of a symmetry card.
std::string card_text(const gemmi::Op& op);

// How many operators of the run's list map the fractional position onto
// itself (up to lattice translations) within tol angstroms: 1 for a general
// position.
int site_symmetry_order(const Run& run, const Frac& x, float tol);

}  // namespace vorn
