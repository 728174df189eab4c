#include "base/configurations.hpp"

#include <gtest/gtest.h>

#include <iterator>
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
      {"[Ar]", "1s2 2s2 2p6 3s2 3p6"},
      {"[Kr]", "[Ar] 3d10 4s2 4p6"},
      {"[Xe]", "[Kr] 4d10 5s2 5p6"},
      {"[Hg]", "[Xe] 4f14 5d10 6s2"},
      {"[Rn]", "[Hg] 6p6"}};
  std::map<std::string, int> m;
  std::string spaced = text;  // "[Xe]4f11 6s2" as "[Xe] 4f11 6s2"
  if (const auto close = spaced.find(']'); close != std::string::npos) spaced.insert(close + 1, " ");
  std::istringstream in(spaced);
  for (std::string w; in >> w;) {
    if (w[0] == '[') {
      for (auto [k, v] : configuration(kCores.at(w))) m[k] += v;
      continue;
    }
    // "5d" alone is one electron, as the tables write it.
    m[w.substr(0, 2)] += w.size() > 2 ? std::stoi(w.substr(2)) : 1;
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

// The ground-state configurations of Cs to Lr as the NIST tables of atomic
// properties give them. Lr is given there as [Rn]5f14 7s2 7p; the SCAT line
// has no 7p column, and the program writes that electron as 6d.
const char* const kNistCsToLr[] = {
    "[Xe]6s",          "[Xe]6s2",         "[Xe]5d 6s2",     "[Xe]4f 5d 6s2",   "[Xe]4f3 6s2",     "[Xe]4f4 6s2",
    "[Xe]4f5 6s2",     "[Xe]4f6 6s2",     "[Xe]4f7 6s2",    "[Xe]4f7 5d 6s2",  "[Xe]4f9 6s2",     "[Xe]4f10 6s2",
    "[Xe]4f11 6s2",    "[Xe]4f12 6s2",    "[Xe]4f13 6s2",   "[Xe]4f14 6s2",    "[Xe]4f14 5d 6s2", "[Xe]4f14 5d2 6s2",
    "[Xe]4f14 5d3 6s2", "[Xe]4f14 5d4 6s2", "[Xe]4f14 5d5 6s2", "[Xe]4f14 5d6 6s2", "[Xe]4f14 5d7 6s2",
    "[Xe]4f14 5d9 6s", "[Xe]4f14 5d10 6s", "[Xe]4f14 5d10 6s2", "[Hg]6p",        "[Hg]6p2",         "[Hg]6p3",
    "[Hg]6p4",         "[Hg]6p5",         "[Hg]6p6",        "[Rn]7s",          "[Rn]7s2",         "[Rn]6d 7s2",
    "[Rn]6d2 7s2",     "[Rn]5f2 6d 7s2",  "[Rn]5f3 6d 7s2", "[Rn]5f4 6d 7s2",  "[Rn]5f6 7s2",     "[Rn]5f7 7s2",
    "[Rn]5f7 6d 7s2",  "[Rn]5f9 7s2",     "[Rn]5f10 7s2",   "[Rn]5f11 7s2",    "[Rn]5f12 7s2",    "[Rn]5f13 7s2",
    "[Rn]5f14 7s2",    "[Rn]5f14 7s2 7p"};

TEST(ScatTable, CaesiumToLawrenciumTakeTheGroundStates) {
  ASSERT_EQ(std::size(kNistCsToLr), 103u - 55u + 1u);
  for (int z = 55; z <= 103; ++z) {
    std::map<std::string, int> want = configuration(kNistCsToLr[z - 55]);
    if (want.count("7p") != 0) {  // no 7p column: written as 6d
      want["6d"] += want["7p"];
      want.erase("7p");
    }
    EXPECT_EQ(occupancies(z), want) << atsym(z) << " " << kNistCsToLr[z - 55];
  }
}

TEST(ScatTable, ValenceShellsBeyondXenon) {
  // The open shells of a block are valence along the whole block, its filled
  // end included, and core after it: Cs, Ba 6s; La to Yb 4f, 5d, 6s; Lu to Hg
  // 5d, 6s; Tl to Rn 6s, 6p; Fr, Ra 7s; Ac to No 5f, 6d, 7s; Lr 6d, 7s.
  const std::map<std::string, std::pair<int, int>> kValenceShells = {
      {"4f", {57, 70}}, {"5d", {57, 80}}, {"6s", {55, 86}}, {"6p", {81, 86}},
      {"5f", {89, 102}}, {"6d", {89, 103}}, {"7s", {87, 103}}};
  for (int z = 55; z <= 103; ++z) {
    const auto o = GetSFT(z);
    for (int k = 0; k < 18; ++k) {
      const int occ = o[static_cast<std::size_t>(k)];
      if (occ == 0) continue;
      const auto shell = kValenceShells.find(kOrbitals[k]);
      const bool want = shell != kValenceShells.end() && z >= shell->second.first && z <= shell->second.second;
      EXPECT_EQ(occ < 0, want) << atsym(z) << " " << kOrbitals[k];
    }
  }
  EXPECT_EQ(scat_valence(55), 1);   // Cs 6s1
  EXPECT_EQ(scat_valence(67), 13);  // Ho 4f11 6s2
  EXPECT_EQ(scat_valence(75), 7);   // Re 5d5 6s2
  EXPECT_EQ(scat_valence(78), 10);  // Pt 5d9 6s1
  EXPECT_EQ(scat_valence(79), 11);  // Au 5d10 6s1
  EXPECT_EQ(scat_valence(80), 12);  // Hg 5d10 6s2
  EXPECT_EQ(scat_valence(82), 4);   // Pb 6s2 6p2
  EXPECT_EQ(scat_valence(92), 6);   // U 5f3 6d1 7s2
}

TEST(ScatTable, NothingBeyondLawrencium) {
  EXPECT_EQ(GetSFT(104), (std::array<int, 18>{}));
  EXPECT_EQ(scat_valence(104), 0);
  EXPECT_NO_THROW(require_scat(103, "ReadShelx", "LR1", "file x.res, line 3"));
  EXPECT_NO_THROW(require_scat(78, "ReadShelx", "PT1", "file x.res, line 3"));
  try {
    require_scat(104, "ReadCif", "Rf1", "file x.cif, data block b");
    FAIL() << "no stop";
  } catch (const VornError& e) {
    EXPECT_EQ(e.routine(), "ReadCif");
    EXPECT_EQ(e.message(), "Element Rf (Z = 104) of atom Rf1, file x.cif, data block b: no wavefunction table covers "
                           "it (SCAT tables reach Lr, Z = 103)");
  }
}

}  // namespace
}  // namespace vorn
