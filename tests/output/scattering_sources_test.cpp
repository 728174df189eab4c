#include "output/scattering_sources.hpp"

#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "base/configurations.hpp"
#include "support/builders.hpp"

namespace vorn {
namespace {

// Electrons in a configuration text ("core 1s2; valence 2s2 2p2").
int electrons_in(const std::string& text) {
  static const std::regex orbital("[1-7][spdf]([0-9]+)");
  int n = 0;
  for (std::sregex_iterator it(text.begin(), text.end(), orbital), end; it != end; ++it) n += std::stoi((*it)[1]);
  return n;
}

// Every element with a SCAT line is a neutral atom whose core is a set of
// closed shells: none, He, Ne, Ar, Kr, Kr with the 4d shell, Xe, Xe with
// the 4f shell, and that with the 5d shell, Rn, Rn with the 5f shell.
TEST(ScatteringSources, ConfigurationsOfNeutralAtomsWithClosedShellCores) {
  const std::set<int> closed_cores = {0, 2, 10, 18, 36, 46, 54, 68, 78, 86, 100};
  for (int z = 1; z <= MAXSCATZ; ++z) {
    const auto occ = GetSFT(z);
    const std::string text = configuration_text(occ);
    EXPECT_EQ(electrons_in(text), z) << "Z = " << z << ": " << text;
    EXPECT_TRUE(closed_cores.count(core_electrons(occ))) << "Z = " << z << ": " << text;
  }
}

// Ground states as the tables of atomic spectra give them.
TEST(ScatteringSources, PublishedGroundStates) {
  EXPECT_EQ(configuration_text(GetSFT(1)), "valence 1s1");
  EXPECT_EQ(configuration_text(GetSFT(6)), "core 1s2; valence 2s2 2p2");
  EXPECT_EQ(configuration_text(GetSFT(26)), "core 1s2 2s2 2p6 3s2 3p6; valence 3d6 4s2");
  EXPECT_EQ(configuration_text(GetSFT(42)), "core 1s2 2s2 2p6 3s2 3p6 3d10 4s2 4p6; valence 4d5 5s1");
  EXPECT_EQ(configuration_text(GetSFT(50)), "core 1s2 2s2 2p6 3s2 3p6 3d10 4s2 4p6 4d10; valence 5s2 5p2");
  EXPECT_EQ(core_electrons(GetSFT(17)), 10);
}

// For XD input the tables come from the SCAT lines of the input master
// file, row by row; a row that does not read falls back on the element.
TEST(ScatteringSources, XdInputReadsTheScatLinesOfItsMasterFile) {
  test::TestRun t;
  t.write("in.mas",
          "TITLE x\nSCAT CORE SPHV DEFV   1S  2S  3S  4S  2P  3P  4P  3D  4D  4F  5S  5P  6S  6P  5D  7S  6D  5F\n"
          "O    RHFW RHFW STOD    2  -2   0   0  -4   0   0   0   0   0   0   0   0   0   0   0   0   0\n"
          "C    CHFW\n"
          "END SCAT\n");
  vorn::Run& run = t.run;
  run.ctl.iformat = FMT_XD;
  run.ctl.xdold = pad("in.mas", 60);
  run.nsft = 2;
  test::add_atom(run, "O1", Cart{0, 0, 0});
  test::add_atom(run, "C1", Cart{1.4f, 0, 0});
  run.atoms1.isft[1] = 1;
  run.atoms1.isft[2] = 2;
  const auto s = scattering_sources(run);
  ASSERT_EQ(s.size(), 3u);
  EXPECT_TRUE(s[1].known);
  EXPECT_EQ(s[1].core, "RHFW");
  EXPECT_EQ(s[1].deformation, "STOD");
  EXPECT_EQ(configuration_text(s[1].occupancy), "core 1s2; valence 2s2 2p4");
  // The carbon row is cut short: the element's own line.
  EXPECT_TRUE(s[2].known);
  EXPECT_EQ(s[2].core, "CHFW");
  EXPECT_EQ(configuration_text(s[2].occupancy), "core 1s2; valence 2s2 2p2");
}

}  // namespace
}  // namespace vorn
