// The dummies of the frames of atoms on special positions: numbered after
// every other dummy, so that an atom on a general position names the dummy
// it would name with no special position in the structure; and every file
// names each of them at its own point.
#include "local/site_dummies.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <set>
#include <sstream>

#include "control/run_sequence.hpp"
#include "base/text.hpp"
#include "support/builders.hpp"

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

using Point = std::array<double, 3>;

double distance(const Point& a, const Point& b) {
  return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
}

// The atom table of xd_vorn.mas: each atom's words, and the dummies'
// fractional coordinates by number.
struct MasterTable {
  std::vector<std::vector<std::string>> atoms;
  std::map<int, Point> dummies;
};

MasterTable master_table(const TestRun& t) {
  MasterTable m;
  bool table = false;
  for (const std::string& l : lines_of(t.read("xd_vorn.mas"))) {
    if (l.starts_with("ATOM     ATOM0")) {
      table = true;
      continue;
    }
    if (l.starts_with("END ATOM")) break;
    const auto w = words_of(l);
    if (!table || w.empty()) continue;
    if (w[0].starts_with("DUM") && w.size() == 4)
      m.dummies[std::stoi(w[0].substr(3))] = {std::stod(w[1]), std::stod(w[2]), std::stod(w[3])};
    else
      m.atoms.push_back(w);
  }
  return m;
}

int dummy_number(const std::string& name) { return name.starts_with("DUM") ? std::stoi(name.substr(3)) : 0; }

// An iron complex on the twofold axis along b (Fe, Cl and one O on the
// axis), then a water molecule on a general position, whose oxygen takes a
// dummy between its hydrogen atoms. The chlorine's site frame needs a dummy
// across the axis; it is made before the water's, but numbered after it.
const char* kIronAndWater =
    "TITL site\nCELL 0.71073 14 16 18 90 90 90\nZERR 1 0.001 0.001 0.001 0 0 0\nLATT -1\nSYMM -X, Y, -Z\n"
    "SFAC O N CL FE H\nUNIT 1 1 1 1 1\nFVAR 1.0\n"
    "FE1 4 0.0 0.25 0.0 10.5 0.02\nO1 1 0.101 0.25 0.0785555 11.0 0.02\nN1 2 0.1060715 0.25 -0.0825 11.0 0.02\n"
    "CL1 3 0.0 0.39375 0.0 10.5 0.02\nO2 1 0.0 0.125 0.0 10.5 0.02\n"
    "O3 1 0.3 0.7 0.3 11.0 0.02\nH1 5 0.368571 0.7 0.3 11.0 0.02\nH2 5 0.282857 0.758125 0.3 11.0 0.02\n"
    "HKLF 4\nEND\n";

TEST(SiteDummies, ComeAfterTheDummiesOfGeneralPositionsAndEveryFileNamesThemAtTheirPoint) {
  TestRun t;
  t.write("s.res", kIronAndWater);
  t.write("vorn.inp", "FORMAT *shelx\nINPUT s.res\nNCELLS 1\nEXTEND_H\n");
  ASSERT_EQ(vorn_main(t.run, {}), 0) << t.out.str();
  const MasterTable m = master_table(t);
  ASSERT_EQ(m.atoms.size(), 8u);
  ASSERT_EQ(m.dummies.size(), 2u);
  const auto& cl = m.atoms[3];
  const auto& water = m.atoms[5];
  ASSERT_EQ(cl[0], "CL(1)");
  ASSERT_EQ(water[0], "O(3)");
  // The water names the first dummy, as it would with no special position.
  EXPECT_EQ(water[1], "DUM1");
  ASSERT_EQ(cl[4], "DUM2") << "the chlorine's X axis point";
  EXPECT_EQ(cl[5], "X");

  // Its point, from the master file: across the twofold axis (b) from Cl.
  const Point cl_at{0.0, 0.39375, 0.0};
  const Point d2 = m.dummies.at(2);
  EXPECT_NEAR(d2[1], cl_at[1], 1e-6) << "on the plane through Cl across the axis";
  EXPECT_GT(std::hypot(d2[0] * 14, d2[2] * 18), 0.5);

  // xd_vorn.inp: the chlorine's second axis point is dummy 2 (after the
  // eight atoms), whose coordinates are the second dummy line.
  std::vector<Point> inp_dummies;
  std::vector<std::string> cl_inp;
  for (const std::string& l : lines_of(t.read("xd_vorn.inp"))) {
    const auto w = words_of(l);
    if (w.size() == 3 && l.starts_with("  ")) inp_dummies.push_back({std::stod(w[0]), std::stod(w[1]), std::stod(w[2])});
    if (!w.empty() && w[0] == "CL(1)") cl_inp = w;
  }
  ASSERT_EQ(inp_dummies.size(), 2u);
  EXPECT_LT(distance(inp_dummies[1], d2), 1e-6);
  ASSERT_GE(cl_inp.size(), 6u);
  EXPECT_EQ(cl_inp[5], "10") << "atom2 of CL(1): 8 atoms + dummy 2";

  // mopro_vorn.par: the axis line names D2, the dummy line D2 is the point.
  bool cl_axis = false, d2_line = false;
  const auto par = lines_of(t.read("mopro_vorn.par"));
  for (std::size_t k = 0; k + 1 < par.size(); ++k) {
    const auto w = words_of(par[k]);
    if (w.size() >= 3 && w[0] == "ATOM" && w[2] == "CL1") cl_axis = words_of(par[k + 1]).at(2) == "D2";
    if (w.size() >= 5 && w[0] == "DUMY" && w[4] == "D2")
      d2_line = distance({std::stod(w[1]), std::stod(w[2]), std::stod(w[3])}, d2) < 1e-6;
  }
  EXPECT_TRUE(cl_axis) << t.read("mopro_vorn.par");
  EXPECT_TRUE(d2_line);

  // The record names it too, at the same point.
  const std::string json = t.read("vorn.json");
  EXPECT_NE(json.find("\"label\":\"CL(1)\""), std::string::npos);
  EXPECT_NE(json.find("\"atom2\":\"DUM2\",\"ax2\":\"X\""), std::string::npos);
  EXPECT_NE(json.find("{\"n\":2,\"label\":\"DUM2\",\"frac\":[-0.05"), std::string::npos);

  // Standard output and the listing give its line once the number is known.
  const std::string line = "CL(1)    FE(1)     Z  CL(1)    DUM2     X   R   1  3   4   4   mm2";
  EXPECT_NE(t.out.str().find(" Atoms on special positions, with the dummies of their frames numbered after all "
                             "others:\n " + line + "\n"),
            std::string::npos)
      << t.out.str();
  EXPECT_NE(t.read("vorn.out").find(" Local coordinate system definition :  " + line), std::string::npos);
  EXPECT_EQ(t.read("vorn.out").find(" Local coordinate system definition :  CL(1)    FE(1)     Z  CL(1)    DUM1"),
            std::string::npos);
}

// Fe on the -3 site of a rhombohedral cell: the dummy its chemical rule
// made for it alone, which no atom names once the site frame replaced that
// rule's frame, is moved onto the threefold axis instead of lying unused.
TEST(SiteDummies, ADummyOfTheReplacedChemicalFrameServesTheSite) {
  VORN_REQUIRE_SHARED(real);
  TestRun t;
  fs::copy_file(real / "2240189.res", t.dir.path() / "2240189.res");
  t.write("vorn.inp", "FORMAT *shelx\nINPUT 2240189.res\nNCELLS 1\nRINGS 3 8\nEXTEND_H\n");
  ASSERT_EQ(vorn_main(t.run, {}), 0) << t.out.str();
  const MasterTable m = master_table(t);
  ASSERT_FALSE(m.atoms.empty());
  const auto& fe = m.atoms.front();
  ASSERT_EQ(fe[0], "FE(1)");
  ASSERT_EQ(fe[1], "DUM1");
  EXPECT_EQ(fe[2], "Z");
  // The threefold axis through Fe (0, 0, 1/2) runs along c.
  const Point d1 = m.dummies.at(1);
  EXPECT_NEAR(d1[0], 0.0, 1e-6);
  EXPECT_NEAR(d1[1], 0.0, 1e-6);
  EXPECT_NE(t.read("vorn.out").find("   DUM1   for FE(1)   "), std::string::npos);
  EXPECT_NE(t.read("vorn.out").find("(moved: made for its chemical frame, named by no atom now)"), std::string::npos);
}

// Real structures with atoms on special positions: the dummies made new for
// site frames are the last of the table, and only atoms on special
// positions name them.
TEST(SiteDummies, RealStructuresNumberSiteDummiesLast) {
  VORN_REQUIRE_SHARED(real);
  const fs::path cif = real.parent_path() / "cif";
  std::vector<fs::path> files;
  for (const char* f : {"014ep-4_a_shelxl.res", "2240189.res", "i-43d.res", "sad-final.res"}) files.push_back(real / f);
  for (const char* f : {"c2c_a.cif", "i-43d.cif"})
    if (fs::exists(cif / f)) files.push_back(cif / f);
  int appended_total = 0;
  for (const fs::path& p : files) {
    SCOPED_TRACE(p.filename().string());
    TestRun t;
    fs::copy_file(p, t.dir.path() / p.filename());
    t.write("vorn.inp", std::string("FORMAT ") + (p.extension() == ".cif" ? "*cif" : "*shelx") + "\nINPUT " +
                            p.filename().string() + "\nRINGS 3 8\nEXTEND_H\n");
    ASSERT_EQ(vorn_main(t.run, {}), 0) << t.out.str();
    std::set<std::string> special;
    std::set<int> appended;
    bool block = false;
    for (const std::string& l : lines_of(t.read("vorn.out"))) {
      if (l.starts_with(" Atom ") && l.find(" is on a special position") != std::string::npos)
        special.insert(words_of(l)[1]);
      if (l.starts_with(" Dummies of the frames of atoms on special positions")) block = true;
      else if (block && l.starts_with("   DUM")) {
        if (l.find("(moved") == std::string::npos) appended.insert(dummy_number(words_of(l)[0]));
      } else {
        block = false;
      }
    }
    ASSERT_FALSE(special.empty());
    const MasterTable m = master_table(t);
    const int n = static_cast<int>(m.dummies.size());
    const int k = static_cast<int>(appended.size());
    if (k > 0) {
      EXPECT_EQ(*appended.begin(), n - k + 1);
      EXPECT_EQ(*appended.rbegin(), n);
    }
    for (const auto& w : m.atoms)
      for (std::size_t c : {std::size_t{1}, std::size_t{4}})
        if (appended.count(dummy_number(w[c])) != 0) {
          EXPECT_TRUE(special.count(w[0]) != 0) << w[0] << " names " << w[c];
        }
    appended_total += k;
  }
  EXPECT_GT(appended_total, 0);
}

}  // namespace
}  // namespace vorn::test
