#include "output/drawing.hpp"

#include <gtest/gtest.h>

#include "base/error.hpp"
#include "output/lines.hpp"
#include "output/methanol.hpp"

namespace vorn::test {
namespace {

const std::vector<std::string> kFixedBlock = {
    "SOLID COLOR",
    "COLOR TYPE X GREEN Y YELLOW Z BROWN D ORANGE",
    "RADII ATOMS ALL 0.06",
    "RADII ATOMS X 0.02",
    "RADII ATOMS Y 0.02",
    "RADII ATOMS Z 0.02",
    "RADII BONDS ALL 0.01 1",
    "RADII BONDS TO X 0.01 1",
    "RADII BONDS TO Y 0.01 1",
    "RADII BONDS TO Z 0.01 1",
    "RADII BONDS TO D 0.00 0",
    "DETACH X Y",
    "DETACH X Z",
    "DETACH Y Z",
    "DETACH X X",
    "DETACH Y Y",
    "DETACH Z Z",
    "LABEL ON",
    "LABEL H",
    "UNLABEL X Y Z",
};

struct Drawing : ::testing::Test {
  TestRun t;
  std::ostringstream spf;
  void SetUp() override {
    build_methanol(t.run);
    t.run.spf.attach(spf);
  }
  void types(std::vector<int> z) {
    t.run.at_types.ntyp = static_cast<int>(z.size());
    z.insert(z.begin(), 0);
    t.run.at_types.iz = z;
  }
  void add_dummy(const Vec3& x) {
    ++t.run.dummy.n;
    t.run.dummy.label.push_back(pad("DUM" + std::to_string(t.run.dummy.n), 6));
    t.run.dummy.x.push_back(x);
  }
};

TEST_F(Drawing, CarbonAndHydrogenWithoutDummies) {
  t.run.dummy.n = 0;
  types({6, 1});
  write_spf_rest(t.run);
  std::vector<std::string> want = {"JOIN RADII  C  0.77 H  0.40  X 0.01  Y 0.01  Z 0.01"};
  want.insert(want.end(), kFixedBlock.begin(), kFixedBlock.end());
  want.push_back("PLOT");
  expect_lines(spf.str(), want);
}

TEST_F(Drawing, DummiesAreDrawnInAngstromAndDetachedFromEveryType) {
  // Methanol: O, C, H and one dummy at fractional (0.7, 0.6, 0.5) of a 10 A cell.
  write_spf_rest(t.run);
  std::vector<std::string> want = {
      "ATOM D(1)          7.0000        6.0000        5.0000",
      "JOIN RADII  O  0.73 C  0.77 H  0.40  X 0.01  Y 0.01  Z 0.01  D 0.01",
  };
  want.insert(want.end(), kFixedBlock.begin(), kFixedBlock.end());
  for (const char* l : {"RADII ATOMS D 0.02", "DETACH D X", "DETACH D Y", "DETACH D Z", "LABEL D", "DETACH D O ",
                        "DETACH D C ", "DETACH D H ", "PLOT"})
    want.push_back(l);
  expect_lines(spf.str(), want);
}

TEST_F(Drawing, CartesianInputKeepsDummyCoordinatesAsStored) {
  t.run.ctl.ifrac = 0;
  t.run.dummy.x[1] = Vec3{1.25f, -2.5f, 3.0f};
  write_spf_rest(t.run);
  EXPECT_EQ(lines_of(spf.str())[0], "ATOM D(1)          1.2500       -2.5000        3.0000");
}

TEST_F(Drawing, DummyNumbersAboveNineAreWrittenInFull) {
  for (int j = 2; j <= 12; ++j) add_dummy(Vec3{0.1f, 0.2f, 0.05f * static_cast<float>(j)});
  write_spf_rest(t.run);
  auto l = lines_of(spf.str());
  EXPECT_EQ(l[8], "ATOM D(9)          1.0000        2.0000        4.5000");
  EXPECT_EQ(l[9], "ATOM D(10)          1.0000        2.0000        5.0000");
  EXPECT_EQ(l[11], "ATOM D(12)          1.0000        2.0000        6.0000");
  EXPECT_EQ(spf.str().find('*'), std::string::npos);
}

TEST_F(Drawing, HeavyElementsTakeTheirOwnRadius) {
  t.run.dummy.n = 0;
  types({78, 55, 64, 92, 54, 103});
  write_spf_rest(t.run);
  EXPECT_EQ(lines_of(spf.str())[0],
            "JOIN RADII  Pt 1.36 Cs 2.44 Gd 1.96 U  1.96 Xe 1.31 Lr 1.61  X 0.01  Y 0.01  Z 0.01");
}

TEST_F(Drawing, RadiiChangedByTheControlFileReachTheHeavyElements) {
  t.run.dummy.n = 0;
  t.run.covrad[78] = 1.39f;  // RADII Pt 1.39
  types({78});
  write_spf_rest(t.run);
  EXPECT_EQ(lines_of(spf.str())[0], "JOIN RADII  Pt 1.39  X 0.01  Y 0.01  Z 0.01");
}

TEST_F(Drawing, TypesWithoutACovalentRadiusAreLeftOut) {
  types({6, 0, 1});
  write_spf_rest(t.run);
  auto l = lines_of(spf.str());
  EXPECT_EQ(l[1], "JOIN RADII  C  0.77 H  0.40  X 0.01  Y 0.01  Z 0.01  D 0.01");
  EXPECT_EQ(l[l.size() - 3], "DETACH D C ");
  EXPECT_EQ(l[l.size() - 2], "DETACH D H ");
  EXPECT_NE(t.lst.str().find(" JOIN RADII : atom type   2 (atomic number   0) has no covalent radius; left out of vorn.spf"),
            std::string::npos);
}

TEST_F(Drawing, JoinRadiusCoversEveryElementUpToLawrencium) {
  float r = 0;
  for (int z = 1; z <= 103; ++z) {
    ASSERT_TRUE(join_radius(t.run, z, r)) << z;
    EXPECT_GT(r, 0.3f) << z;
    EXPECT_LT(r, 2.7f) << z;
  }
  EXPECT_FALSE(join_radius(t.run, 0, r));
  EXPECT_FALSE(join_radius(t.run, 104, r));
}

TEST_F(Drawing, AtomTypeCountBeyondItsListStops) {
  t.run.at_types.ntyp = 5;
  EXPECT_THROW(write_spf_rest(t.run), VornError);
}

}  // namespace
}  // namespace vorn::test
