// The earlier atom whose kappa set an atom shares: the first atom k < i that
// the kappa-set search accepts (same scattering table, parent description
// and group for a hydrogen; chemically equivalent in every respect for any
// other atom).
//
// Comparing each atom with every earlier one is quadratic. Everything the
// comparison looks at is fixed once an atom has been set up, so the earlier
// atoms are kept in two hash tables by their comparison signature, each
// signature with its first atom: one lookup gives the atom the scan would
// have stopped at.
#pragma once

#include <string>
#include <unordered_map>

#include "model/run.hpp"

namespace vorn {

class KappaIndex {
 public:
  // First atom k < i that the scan accepts, 0 when none; group is atom i's
  // upper-case group name.
  int first_match(Run& run, int i, const std::string& group);

 private:
  void add(Run& run, int k);
  std::unordered_map<std::string, int> heavy_;     // signature -> first atom
  std::unordered_map<std::string, int> hydrogen_;  // hydrogen signature -> first atom
  int added_ = 0;                                  // atoms 1..added_ are in the tables
  std::string key_;                                // scratch for the signature being built
};

// The kappa-set search of atom i (i > 1) over the earlier atoms: the first
// match, or 0. With the comparison listing on (verbosity above 2) every
// comparison is made and listed, in atom order; otherwise the index answers.
int earlier_equivalent(Run& run, int i, const std::string& group);
// The plain scan, comparing with every earlier atom in turn.
int earlier_equivalent_scan(Run& run, int i, const std::string& group);

}  // namespace vorn
