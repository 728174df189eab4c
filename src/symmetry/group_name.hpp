// The space group an operator list forms, by its Hermann-Mauguin name and
// number in International Tables, and each operator as a coordinate triplet.
#pragma once

#include <string>

#include "model/crystal.hpp"

namespace vorn {

struct GroupName {
  std::string hm;  // "P 1 21/c 1"; empty when the operators form no tabulated setting
  int number = 0;  // 1..230; 0 when unknown
};

// The tabulated setting whose operators are exactly those of the list
// (translations taken modulo whole cells).
GroupName group_name(const Symm& symm);

// An operator as a coordinate triplet in lower case, translations reduced
// to [0, 1) and written as fractions ("-x,y+1/2,-z+1/2"); a translation
// that is no multiple of 1/24 is written as a decimal.
std::string operator_triplet(const SymOp& op);

}  // namespace vorn
