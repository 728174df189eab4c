// Atom lines of a SHELX file: finding them among the instructions, naming
// the atom, decoding free-variable coding and riding displacement parameters.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "io/textfile.hpp"
#include "model/run.hpp"
#include "symmetry/cell.hpp"

namespace vorn {

// The residue in force (RESI class number): number 0 and a blank class
// outside every residue. It also carries the disorder part in force (PART
// n; 0 outside every part), which the same lines switch.
struct ShelxResidue {
  int number = 0;
  std::string name = std::string(10, ' ');
  int part = 0;
};

// Blanks a comment: everything from the first "!" on.
void strip_comment(std::string& line);

// True when the first four characters of an upper-case line name an
// instruction, so that the line holds no atom.
bool is_instruction(std::string_view line);

// Reads the words after RESI (class and number, in either order).
void parse_resi(std::string_view line, ShelxResidue& res);
// Reads the part number after PART (its occupancy, when given, is passed over).
void parse_part(std::string_view line, ShelxResidue& res);

// The next atom line, in upper case without its comment and without
// trailing blanks; a closing "=" is taken off and cont set. Instructions (and their continuation lines), lines
// that begin with a blank, include lines ("+file") and comments are passed
// over; RESI lines update res on the way. False at END, HKLF or end of file.
// name, when given, receives the atom's name as the file writes it (its case kept).
bool rdshline(TextFile& f, std::string& line, bool& cont, ShelxResidue& res, std::string* name = nullptr);

// The line that continues an atom line ending in "=", prepared as rdshline
// prepares atom lines; false at end of file.
bool rdcontinuation(TextFile& f, std::string& line, bool& cont);

// The atom label from the name (the first word of the line), which is then
// blanked out of the line. Without renaming C12 becomes C(12); with renaming
// the element symbol and the atom's number in the file (mode 0) or among the
// atoms of its SFAC type (mode 1). Without renaming the label is not cut to
// eight characters (settle_labels makes every label fit).
std::string shatnam(std::string& line, int iz, int nat, int type_count, const Ctl& ctl);
// The label shatnam makes of the name, without touching a line.
std::string atom_label(std::string_view name, int iz, int nat, int type_count, const Ctl& ctl);

// Decodes one free-variable coded number; where names the line for messages.
float decode_fvar(float v, const ShelxData& shelx, std::string_view atom, const std::string& where);

// A Uiso in [-5, -0.5] rides on the nearest earlier atom that does not ride:
// it becomes |Uiso| times that atom's equivalent isotropic U.
// where names the atom's line in the message of a failed search.
void ProcessU(Run& run, int i, const std::string& where = "");

// The terms of the equivalent isotropic U that depend on the cell only,
// worked out once for all the atoms of a cell.
struct UeqTerms {
  explicit UeqTerms(const Cell& c);
  float ueq(const Uij& u) const;
  float a, b, cc, r0, r1, r2, aa, bb, ccs, cos_al, cos_be, cos_ga;
};
// ProcessU with the terms of run.ucell at hand.
void ProcessU(Run& run, int i, const UeqTerms& terms, const std::string& where);

// ff::parse_real, with a short way for the plain decimals of atom lines.
bool parse_atom_number(std::string_view word, float& out);

// The value a number keeps once written in an F12.6 field of the rewritten
// atom line "(5x,i4,100f12.6)" and read back from it. False when it would not read back: the field
// is filled to its first column (and runs into the number before it) or
// overflows.
bool through_f12_6(float v, float& out);

// The numbers of an atom line after its SFAC number (words), free variables
// decoded, as a list-directed read of the line rewritten "(5x,i4,100f12.6)"
// gives them, without the text in between: rounded to six decimals. A word
// that is no number or no free-variable code stops the run; false when a
// value does not read back from its field. values has room for every word.
bool processfvar(std::span<const std::string_view> words, const ShelxData& shelx, std::string_view atom,
                 const std::string& where, std::span<float> values);

// Equivalent isotropic U of atom i.
float calcueq(const Run& run, int i);

}  // namespace vorn
