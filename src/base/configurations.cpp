#include "base/configurations.hpp"

#include "base/elements.hpp"
#include "base/error.hpp"

namespace vorn {

namespace {

// Orbital positions in the SCAT line.
enum { S1, S2, S3, S4, P2, P3, P4, D3, D4, F4, S5, P5 };

// Y to Cd: 4d and 5s occupancies of the ground state. The 5s electrons move
// into 4d where a half-filled or filled shell is reached (Nb, Mo, Ru, Rh, Pd,
// Ag), so these are no simple count.
struct D4S5 {
  int d4, s5;
};
constexpr D4S5 kFifthPeriodD[] = {{1, 2}, {2, 2}, {4, 1}, {5, 1}, {5, 2},
                                  {7, 1}, {8, 1}, {10, 0}, {10, 1}, {10, 2}};

}  // namespace

std::array<int, 18> GetSFT(int z) {
  std::array<int, 18> o{};
  if (z < 1 || z > MAXSCATZ) return o;
  o[S1] = z == 1 ? -1 : z == 2 ? -2 : 2;
  o[S2] = z == 3 ? -1 : (z >= 4 && z <= 10) ? -2 : z > 10 ? 2 : 0;
  o[P2] = (z >= 5 && z <= 10) ? 4 - z : z > 10 ? 6 : 0;
  o[S3] = z == 11 ? -1 : (z >= 12 && z <= 18) ? -2 : z > 18 ? 2 : 0;
  o[P3] = (z >= 13 && z <= 18) ? 12 - z : z > 18 ? 6 : 0;
  o[S4] = z == 19 ? -1 : (z >= 20 && z <= 36) ? -2 : z > 36 ? 2 : 0;
  o[D3] = (z >= 21 && z <= 30) ? 20 - z : (z >= 31 && z <= 36) ? -10 : z > 36 ? 10 : 0;
  o[P4] = (z >= 31 && z <= 36) ? 30 - z : z > 36 ? 6 : 0;
  if (z <= 36) return o;
  // Fifth period. Rb and Sr have only 5s as valence, Y to Cd 4d and 5s. From
  // In on the filled 4d shell is core and 5s, 5p are the valence shell, as
  // for the 3d shell of Ga to Kr that XD keeps in the valence.
  if (z <= 38) {
    o[S5] = 36 - z;
  } else if (z <= 48) {
    const D4S5 c = kFifthPeriodD[z - 39];
    o[D4] = -c.d4;
    o[S5] = -c.s5;
  } else {
    o[D4] = 10;
    o[S5] = -2;
    o[P5] = 48 - z;
  }
  return o;
}

int scat_valence(int z) {
  int n = 0;
  for (int occ : GetSFT(z))
    if (occ < 0) n -= occ;
  return n;
}

void require_scat(int z, std::string_view routine, std::string_view atom, const std::string& where) {
  if (z <= MAXSCATZ) return;
  err(routine, "Element " + std::string(atsym(z)).substr(0, atsym(z)[1] == ' ' ? 1 : 2) + " (Z = " +
                   std::to_string(z) + ") of atom " + std::string(atom) + ", " + where +
                   ": no wavefunction table covers it (SCAT tables reach Xe, Z = 54)");
}

}  // namespace vorn
