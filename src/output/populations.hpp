// What the XD and MoPro parameter writers share: the population order and
// the checked reading of the kappa-set and dummy tables.
#pragma once

#include <array>
#include <string_view>

#include "model/run.hpp"
#include "structure/shelx_atoms.hpp"

namespace vorn {

constexpr int NPOP = 26;

// Pv, P00, then the dipoles P11+ P11- P10, then for l = 2..4 the sequence
// Pl0, Pl1+, Pl1-, Pl2+, Pl2-, ... (m > 0 is the "+" and m < 0 the "-"
// component of P(l, m)). Index 0 is Pv.
std::array<float, NPOP> xd_populations(const Mpole& mp);

// The number of kappa sets with values. Stops the run when the kappa table is
// shorter than its count, or when an atom 1..nat refers to a set outside it:
// a parameter file naming a kappa set it does not define is unreadable.
int kappa_sets(const Run& run, std::string_view routine);

// The number of dummy atoms; stops the run when the list is shorter.
int dummy_count(const Run& run, std::string_view routine);

// Free variable k as the SHELX reader left it, or its preset value (1.0 for
// the first, 0 otherwise) when the list does not reach it.
float free_variable(const Run& run, int k);

// The coordinates an atom line carries: fractional, or for input without a
// cell (PLATON, AIM2TAB), where the fractional ones are not known, the
// Cartesian ones in angstroms.
Vec3 written_position(const Run& run, int i);

// The one displacement value of an atom line that has room for one U: the
// Uiso of an isotropic atom, the Ueq of an anisotropic one (XD orders 2 to
// 4 all carry the six harmonic terms). U11 alone would be no isotropic
// value of any kind.
class SingleU {
 public:
  explicit SingleU(const Run& run) : run_(run), terms_(run.ucell) {}
  bool anisotropic(int i) const { return run_.atoms1.iu[static_cast<std::size_t>(i)] >= 2; }
  float operator()(int i) const {
    const Uij& u = run_.at_uij[static_cast<std::size_t>(i)];
    return anisotropic(i) ? terms_.ueq(u) : u[0];
  }

 private:
  const Run& run_;
  UeqTerms terms_;
};

}  // namespace vorn
