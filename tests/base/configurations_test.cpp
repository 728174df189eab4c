#include "base/configurations.hpp"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "base/elements.hpp"
#include "base/error.hpp"

namespace vorn {
namespace {

// Orbital names of the SCAT line in its order.
const char* const kOrbitals[18] = {"1s", "2s", "3s", "4s", "2p", "3p", "4p", "3d", "4d",
                                   "4f", "5s", "5p", "6s", "6p", "5d", "7s", "6d", "5f"};

// Occupied orbitals of the SCAT line, core and valence alike.
std::map<std::string, int> occupancies(int z) {
  std::map<std::string, int> m;
  const auto o = GetSFT(z);
  for (int k = 0; k < 18; ++k)
    if (o[static_cast<std::size_t>(k)] != 0) m[kOrbitals[k]] = std::abs(o[static_cast<std::size_t>(k)]);
  return m;
}

// A configuration as the periodic table writes it, "[Kr] 4d4 5s1".
std::map<std::string, int> configuration(const std::string& text) {
  static const std::map<std::string, std::string> kCores = {
      {"[Ar]", "1s2 2s2 2p6 3s2 3p6"}, {"[Kr]", "1s2 2s2 2p6 3s2 3p6 3d10 4s2 4p6"}};
  std::map<std::string, int> m;
  std::istringstream in(text);
  for (std::string w; in >> w;) {
    if (w[0] == '[') {
      for (auto [k, v] : configuration(kCores.at(w))) m[k] += v;
      continue;
    }
    m[w.substr(0, 2)] += std::stoi(w.substr(2));
  }
  return m;
}

TEST(ScatTable, EveryLineHoldsTheElectronsOfItsElement) {
  for (int z = 1; z <= MAXSCATZ; ++z) {
    int electrons = 0;
    for (int occ : GetSFT(z)) electrons += std::abs(occ);
    EXPECT_EQ(electrons, z) << atsym(z);
  }
}

TEST(ScatTable, FifthPeriodTakesTheGroundStates) {
  const char* const kGround[] = {
      "[Kr] 5s1",      "[Kr] 5s2",      "[Kr] 4d1 5s2",  "[Kr] 4d2 5s2",  "[Kr] 4d4 5s1",  "[Kr] 4d5 5s1",
      "[Kr] 4d5 5s2",  "[Kr] 4d7 5s1",  "[Kr] 4d8 5s1",  "[Kr] 4d10",     "[Kr] 4d10 5s1", "[Kr] 4d10 5s2",
      "[Kr] 4d10 5s2 5p1", "[Kr] 4d10 5s2 5p2", "[Kr] 4d10 5s2 5p3", "[Kr] 4d10 5s2 5p4", "[Kr] 4d10 5s2 5p5",
      "[Kr] 4d10 5s2 5p6"};
  for (int z = 37; z <= 54; ++z) EXPECT_EQ(occupancies(z), configuration(kGround[z - 37])) << atsym(z);
  // The fourth period as the table has always had it: Fe 3d6 4s2.
  EXPECT_EQ(occupancies(26), configuration("[Ar] 3d6 4s2"));
  EXPECT_EQ(occupancies(35), configuration("[Ar] 3d10 4s2 4p5"));
}

TEST(ScatTable, ValenceShellsOfTheFifthPeriod) {
  // Which orbitals are valence (negative): Rb and Sr 5s only; Y to Cd 4d and
  // 5s; In to Xe 5s and 5p over a core that holds the filled 4d shell.
  enum { D4 = 8, S5 = 10, P5 = 11 };
  for (int z = 37; z <= 54; ++z) {
    const auto o = GetSFT(z);
    for (int k = 0; k < 18; ++k) {
      const bool valence = o[static_cast<std::size_t>(k)] < 0;
      const bool want = (k == S5 && z != 46) || (k == D4 && z >= 39 && z <= 48) || (k == P5 && z >= 49);
      EXPECT_EQ(valence, want) << atsym(z) << " " << kOrbitals[k];
    }
  }
  EXPECT_EQ(scat_valence(53), 7);  // iodine: 5s2 5p5, not 17
  EXPECT_EQ(scat_valence(46), 10);
  EXPECT_EQ(scat_valence(50), 4);
}

TEST(ScatTable, NothingBeyondXenon) {
  EXPECT_EQ(GetSFT(55), (std::array<int, 18>{}));
  EXPECT_EQ(scat_valence(78), 0);
  EXPECT_NO_THROW(require_scat(54, "ReadShelx", "XE1", "file x.res, line 3"));
  try {
    require_scat(57, "ReadCif", "La1", "file x.cif, data block b");
    FAIL() << "no stop";
  } catch (const VornError& e) {
    EXPECT_EQ(e.routine(), "ReadCif");
    EXPECT_EQ(e.message(), "Element La (Z = 57) of atom La1, file x.cif, data block b: no wavefunction table covers it "
                           "(SCAT tables reach Xe, Z = 54)");
  }
}

}  // namespace
}  // namespace vorn
