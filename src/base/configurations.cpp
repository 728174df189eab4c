#include "base/configurations.hpp"

#include <iterator>

#include "base/elements.hpp"
#include "base/error.hpp"

namespace vorn {

namespace {

// Orbital positions in the SCAT line.
enum { S1, S2, S3, S4, P2, P3, P4, D3, D4, F4, S5, P5, S6, P6, D5, S7, D6, F5 };

// Y to Cd: 4d and 5s occupancies of the ground state. The 5s electrons move
// into 4d where a half-filled or filled shell is reached (Nb, Mo, Ru, Rh, Pd,
// Ag), so these are no simple count.
struct D4S5 {
  int d4, s5;
};
constexpr D4S5 kFifthPeriodD[] = {{1, 2}, {2, 2}, {4, 1}, {5, 1}, {5, 2},
                                  {7, 1}, {8, 1}, {10, 0}, {10, 1}, {10, 2}};

// Cs to Lr: the ground states of the NIST tables over a noble-gas core, as
// the electrons of the open f, d, s and p shells: 4f 5d 6s 6p over [Xe] from
// Cs to Rn, 5f 6d 7s over [Rn] from Fr to Lr. NIST gives Lr 7s2 7p1; the SCAT
// line has no 7p column, so its third valence electron is written as 6d, the
// shell of its congener Lu.
struct Outer {
  int f, d, s, p;
};
constexpr int CAESIUM = 55, RADON = 86, LUTETIUM = 71, THALLIUM = 81, LAWRENCIUM = 103;
constexpr Outer kBeyondXenon[] = {
    {0, 0, 1, 0},  {0, 0, 2, 0},  {0, 1, 2, 0},  {1, 1, 2, 0},  {3, 0, 2, 0},  {4, 0, 2, 0},  {5, 0, 2, 0},  // Cs-Pm
    {6, 0, 2, 0},  {7, 0, 2, 0},  {7, 1, 2, 0},  {9, 0, 2, 0},  {10, 0, 2, 0}, {11, 0, 2, 0}, {12, 0, 2, 0},  // Sm-Er
    {13, 0, 2, 0}, {14, 0, 2, 0}, {14, 1, 2, 0}, {14, 2, 2, 0}, {14, 3, 2, 0}, {14, 4, 2, 0}, {14, 5, 2, 0},  // Tm-Re
    {14, 6, 2, 0}, {14, 7, 2, 0}, {14, 9, 1, 0}, {14, 10, 1, 0}, {14, 10, 2, 0}, {14, 10, 2, 1},             // Os-Tl
    {14, 10, 2, 2}, {14, 10, 2, 3}, {14, 10, 2, 4}, {14, 10, 2, 5}, {14, 10, 2, 6},                           // Pb-Rn
    {0, 0, 1, 0},  {0, 0, 2, 0},  {0, 1, 2, 0},  {0, 2, 2, 0},  {2, 1, 2, 0},  {3, 1, 2, 0},  {4, 1, 2, 0},  // Fr-Np
    {6, 0, 2, 0},  {7, 0, 2, 0},  {7, 1, 2, 0},  {9, 0, 2, 0},  {10, 0, 2, 0}, {11, 0, 2, 0}, {12, 0, 2, 0},  // Pu-Fm
    {13, 0, 2, 0}, {14, 0, 2, 0}, {14, 1, 2, 0}};                                                            // Md-Lr
static_assert(static_cast<int>(std::size(kBeyondXenon)) == LAWRENCIUM - CAESIUM + 1);

// Core and valence split as in the fifth period: the open shells of a block
// are valence along the whole block, its filled end included (Yb 4f14, as
// Cd 4d10); after it they are core. So Cs, Ba, Fr, Ra have only s valence;
// La to Yb 4f, 5d, 6s; Lu to Hg 5d, 6s over a 4f14 core; Tl to Rn 6s, 6p
// over 4f14 and 5d10, as In to Xe over 4d10; Ac to No 5f, 6d, 7s; Lr 6d, 7s
// over 5f14.
std::array<int, 18> beyond_xenon(int z) {
  std::array<int, 18> o{};
  o[S1] = o[S2] = o[S3] = o[S4] = o[S5] = 2;
  o[P2] = o[P3] = o[P4] = o[P5] = 6;
  o[D3] = o[D4] = 10;
  const Outer c = kBeyondXenon[z - CAESIUM];
  auto put = [&](int orbital, int electrons, bool core) { o[static_cast<std::size_t>(orbital)] = core ? electrons : -electrons; };
  if (z <= RADON) {
    put(F4, c.f, z >= LUTETIUM);
    put(D5, c.d, z >= THALLIUM);
    put(S6, c.s, false);
    put(P6, c.p, false);
    return o;
  }
  o[F4] = 14;
  o[D5] = 10;
  o[S6] = 2;
  o[P6] = 6;
  put(F5, c.f, z >= LAWRENCIUM);
  put(D6, c.d, false);
  put(S7, c.s, false);
  return o;
}

}  // namespace

std::array<int, 18> GetSFT(int z) {
  std::array<int, 18> o{};
  if (z < 1 || z > MAXSCATZ) return o;
  if (z >= CAESIUM) return beyond_xenon(z);
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
                   ": no wavefunction table covers it (SCAT tables reach Lr, Z = 103)");
}

}  // namespace vorn
