#include "chem/hydrogens.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "control/run_sequence.hpp"
#include "support/builders.hpp"
#include "topology/neighbors.hpp"

using namespace vorn;
using vorn::test::TestRun;

namespace {

Vec3 unit(const Vec3& v) { return scale(v, 1.0f / rlength(v)); }

// Directions at the given angle (degrees) from b, in the plane with normal n,
// turned to one side (+1) or the other (-1).
Vec3 bent(const Vec3& b, const Vec3& n, float angle, int side = 1) {
  const Vec3 p = unit(vmult(n, b));
  return unit(add(scale(b, cosd(angle)), scale(p, static_cast<float>(side) * sind(angle))));
}

// The three directions that complete a tetrahedron around an atom whose
// existing bond points along b, the first turned by phi about b.
std::vector<Vec3> tetra(const Vec3& bond, float phi = 0) {
  const Vec3 b = unit(bond);
  const Vec3 ref = std::fabs(b[2]) < 0.9f ? Vec3{0, 0, 1} : Vec3{1, 0, 0};
  const Vec3 p = unit(vmult(b, ref));
  const Vec3 q = vmult(b, p);
  std::vector<Vec3> out;
  for (int k = 0; k < 3; ++k) {
    const float a = phi + 120.0f * static_cast<float>(k);
    out.push_back(
        unit(add(scale(b, cosd(109.47f)), scale(add(scale(p, cosd(a)), scale(q, sind(a))), sind(109.47f)))));
  }
  return out;
}

const Vec3 kX{1, 0, 0};
const Vec3 kZ{0, 0, 1};

// A run with the three H-atom files in memory and molecules built in
// Cartesian coordinates (X-ray H distances, to be extended).
class Hydrogens : public ::testing::Test {
 protected:
  void SetUp() override {
    run.ctl.ifrac = 0;
    run.ctl.iextH = 1;
    run.reset.attach(reset);
    run.cbond.attach(cbond);
    run.resm.attach(resm);
  }

  int atom(const std::string& label, const Vec3& x) { return test::add_atom(run, label, Cart(x)); }
  int bonded(int a, const std::string& label, const Vec3& dir, float d) {
    return atom(label, add(xc(a), scale(unit(dir), d)));
  }
  void methyl(int c, const Vec3& to_partner, const std::string& tag, float phi = 60) {
    int k = 0;
    for (const Vec3& d : tetra(to_partner, phi)) bonded(c, "H(" + tag + std::to_string(++k) + ")", d, 0.96f);
  }
  Vec3 xc(int a) const { return run.atoms.xc[static_cast<std::size_t>(a)]; }
  Vec3 towards(int from, int to) const { return unit(sub(xc(to), xc(from))); }
  float bond(int a, int b) const { return dist(xc(a), xc(b)); }
  // Declares the ring planar in the ring table, as the ring search would.
  void planar_ring(const std::vector<int>& members) {
    Ring r;
    r.size = static_cast<int>(members.size());
    r.members = members;
    r.planar = 1;
    run.rings.ring.push_back(r);
    run.rings.nor = static_cast<int>(run.rings.ring.size()) - 1;
  }

  // Extends h as the local-axes stage does: the parent and its description
  // come from the neighbour table.
  int extend(int h) {
    if (!tabled) {
      findallneighbors(run);
      tabled = true;
    }
    const NeighborRec& nh = run.neighbors[static_cast<std::size_t>(h)];
    EXPECT_EQ(nh.nnei, 1) << "hydrogen " << h << " should have one neighbour";
    const int p = nh.inei[1];
    const NeighborRec& np = run.neighbors[static_cast<std::size_t>(p)];
    run.forh[static_cast<std::size_t>(h)] = {np.nnei, run.atoms.iz[static_cast<std::size_t>(p)], np.ntypenei[1]};
    ExtendH(run, p, h);
    return p;
  }

  std::string last_group_line() const {
    const std::string s = t.lst.str();
    const auto p = s.rfind("   X-H group : ");
    if (p == std::string::npos) return "";
    return s.substr(p, s.find('\n', p) - p);
  }

  // The hydrogen ends in the named class at its standard distance, on the
  // line from its parent through its old position.
  ::testing::AssertionResult lands(int h, const std::string& name, float d) {
    const Vec3 before = xc(h);
    const int p = extend(h);
    const std::string line = last_group_line();
    if (line.find(">  " + name + " =") == std::string::npos)
      return ::testing::AssertionFailure() << "group line: " << line << "\nexpected class " << name;
    if (std::fabs(bond(p, h) - d) > 1e-5f)
      return ::testing::AssertionFailure() << name << ": distance " << bond(p, h) << ", expected " << d;
    const Vec3 u0 = unit(sub(before, xc(p))), u1 = towards(p, h);
    if (dot(u0, u1) < 0.999999f) return ::testing::AssertionFailure() << name << ": direction changed";
    return ::testing::AssertionSuccess();
  }

  ::testing::AssertionResult unidentified(int h) {
    const Vec3 before = xc(h);
    extend(h);
    const std::string line = last_group_line();
    if (!line.ends_with(">  NOT IDENTIFIED"))
      return ::testing::AssertionFailure() << "group line: " << line;
    if (dist(before, xc(h)) != 0.0f) return ::testing::AssertionFailure() << "hydrogen moved";
    return ::testing::AssertionSuccess();
  }

  TestRun t;
  vorn::Run& run = t.run;
  std::ostringstream reset, cbond, resm;
  bool tabled = false;
};

// ---------------------------------------------------------------------------

TEST(Extendbond, MovesAlongTheBondAndReturnsTheOldLength) {
  const Vec3 x{1.0f, 2.0f, 3.0f};
  const Vec3 dir = unit({0.3f, -0.5f, 0.8f});
  Vec3 h = add(x, scale(dir, 0.96f));
  EXPECT_NEAR(extendbond(x, h, 1.077f), 0.96f, 1e-6f);
  EXPECT_NEAR(dist(x, h), 1.077f, 1e-6f);
  EXPECT_GT(dot(unit(sub(h, x)), dir), 0.999999f);
  // Shortening works the same way.
  EXPECT_NEAR(extendbond(x, h, 0.5f), 1.077f, 1e-6f);
  EXPECT_NEAR(dist(x, h), 0.5f, 1e-6f);
}

TEST(Extendbond, AHydrogenOnItsParentHasNoDirectionAndStays) {
  const Vec3 x{1, 1, 1};
  Vec3 h = x;
  EXPECT_EQ(extendbond(x, h, 1.0f), 0.0f);
  EXPECT_EQ(h, x);
}

TEST(ClassTable, RowsAreTriedInOrderPerElement) {
  XhGroup g;
  g.z = 6;
  g.nx = 4;
  g.nh = 3;
  g.all_ch = true;
  ASSERT_NE(classify(g), nullptr);
  EXPECT_STREQ(classify(g)->name, "C-C-H3");
  g.all_ch = false;
  EXPECT_STREQ(classify(g)->name, "X-C-H3");
  g.nh = 4;  // methane is not in the table
  EXPECT_EQ(classify(g), nullptr);
  g = XhGroup{};
  g.z = 7;
  g.nx = 2;
  g.nh = 1;
  EXPECT_EQ(classify(g), nullptr);  // N with two neighbours
  g.z = 16;
  EXPECT_STREQ(classify(g)->name, "S-H");
  g.z = 5;
  EXPECT_EQ(classify(g), nullptr);
}

// ---------------------------------------------------------------------------
// The methyl example, with every line it writes.

TEST_F(Hydrogens, MethylHydrogenGoesFrom096To1077WithAllItsLines) {
  const int c1 = atom("C(1)", {0, 0, 0});
  const int c2 = bonded(c1, "C(2)", kX, 1.53f);
  const int h = bonded(c1, "H(11)", tetra(kX)[0], 0.96f);
  bonded(c1, "H(12)", tetra(kX)[1], 0.96f);
  bonded(c1, "H(13)", tetra(kX)[2], 0.96f);
  methyl(c2, scale(kX, -1), "2");
  ASSERT_EQ(h, 3);
  const Vec3 dir = towards(c1, h);

  extend(h);
  EXPECT_NEAR(bond(c1, h), 1.077f, 1e-6f);
  EXPECT_GT(dot(towards(c1, h), dir), 0.999999f);

  const std::string lst = t.lst.str();
  EXPECT_NE(lst.find("\n Trying to extend hydrogen H(11) to standard distance :\n"
                     "   X-H group : C(1)-H(11) >  C-C-H3 =  0.960 /  1.077 Angstroms\n"),
            std::string::npos)
      << lst;
  EXPECT_EQ(reset.str(), "RESET BOND  C(1) H(11) 1.077\n");
  EXPECT_EQ(resm.str(), "DISTAN      C1 1    H11 1  1.077 0.001\n");
  EXPECT_EQ(run.uratio[3], pad("URATIO         C1 1    H11 1    1.2 0.01", 100));
  EXPECT_EQ(cbond.str(),
            "!\n! C(1) - H(11) =     1.077 Angstroms\n!\n"
            "CON 1 X/1 -1 X/3 = 0\nCON 1 Y/1 -1 Y/3 = 0\nCON 1 Z/1 -1 Z/3 = 0\n");
  // The parent's working neighbour list sees the hydrogen at its new place.
  bool seen = false;
  for (int k = 1; k <= run.neig.nnei; ++k)
    if (run.neig.inei[static_cast<std::size_t>(k)] == h) {
      seen = true;
      EXPECT_NEAR(run.neig.rnei[static_cast<std::size_t>(k)], 1.077f, 1e-5f);
    }
  EXPECT_TRUE(seen);
  // ... while the stored table keeps the distance it was built with.
  EXPECT_NEAR(run.neighbors[1].rnei[2], 0.96f, 1e-5f);
}

TEST_F(Hydrogens, EachHydrogenWritesOneCompleteResetLine) {
  const int c1 = atom("C(1)", {0, 0, 0});
  bonded(c1, "C(2)", kX, 1.53f);
  methyl(c1, kX, "1", 0);
  for (int h = 3; h <= 5; ++h) extend(h);
  EXPECT_EQ(reset.str(),
            "RESET BOND  C(1) H(11) 1.077\nRESET BOND  C(1) H(12) 1.077\nRESET BOND  C(1) H(13) 1.077\n");
  EXPECT_EQ(run.uratio[4].substr(0, 12), "URATIO      ");
  EXPECT_EQ(run.uratio[4].size(), 100u);
}

TEST_F(Hydrogens, FractionalCoordinatesFollowTheMove) {
  run.ctl.ifrac = 1;
  run.transf.M = {{{10, 0, 0}, {0, 12, 0}, {0, 0, 8}}};
  run.transf.Minv = {{{0.1f, 0, 0}, {0, 1.0f / 12, 0}, {0, 0, 0.125f}}};
  const int c1 = atom("C(1)", {2, 3, 4});
  bonded(c1, "C(2)", kX, 1.53f);
  methyl(c1, kX, "1", 0);
  extend(3);
  const Cart& x = run.atoms.xc[3];
  const Frac& f = run.atoms.xf[3];
  EXPECT_NEAR(f[0], x[0] / 10, 1e-6f);
  EXPECT_NEAR(f[1], x[1] / 12, 1e-6f);
  EXPECT_NEAR(f[2], x[2] / 8, 1e-6f);
}

// ---------------------------------------------------------------------------
// Carbon parents.

TEST_F(Hydrogens, MethylOnCarbonAndOnOxygen) {
  const int c = atom("C(1)", {0, 0, 0});
  const int o = bonded(c, "O(1)", kX, 1.43f);
  methyl(c, kX, "1");
  const int ho = bonded(o, "H(1)", tetra(scale(kX, -1))[0], 0.82f);
  EXPECT_TRUE(lands(3, "X-C-H3", 1.077f));
  EXPECT_TRUE(lands(ho, "Csp3-O-H in alcohol", 0.970f));
}

TEST_F(Hydrogens, MethyleneInPropaneAndInEthanol) {
  // propane: the middle carbon has two carbons and two hydrogens
  const Vec3 T1 = unit({1, 1, 1}), T2 = unit({1, -1, -1}), T3 = unit({-1, 1, -1}), T4 = unit({-1, -1, 1});
  const int c2 = atom("C(2)", {0, 0, 0});
  const int c1 = bonded(c2, "C(1)", T1, 1.53f);
  const int c3 = bonded(c2, "C(3)", T2, 1.53f);
  const int h21 = bonded(c2, "H(21)", T3, 0.96f);
  bonded(c2, "H(22)", T4, 0.96f);
  methyl(c1, scale(T1, -1), "1");
  methyl(c3, scale(T2, -1), "3");
  // ethanol, well away
  const Vec3 o0{20, 0, 0};
  const int e1 = atom("C(11)", o0);
  const int e2 = bonded(e1, "C(12)", T1, 1.52f);
  const int eo = bonded(e1, "O(11)", T2, 1.43f);
  const int h11 = bonded(e1, "H(111)", T3, 0.97f);
  bonded(e1, "H(112)", T4, 0.97f);
  methyl(e2, scale(T1, -1), "12");
  bonded(eo, "H(11O)", tetra(scale(T2, -1))[0], 0.82f);

  EXPECT_TRUE(lands(h21, "C2-C-H2", 1.092f));
  EXPECT_TRUE(lands(h11, "X2-C-H2", 1.091f));
}

TEST_F(Hydrogens, MethineInIsobutaneAndInIsopropanol) {
  const Vec3 T1 = unit({1, 1, 1}), T2 = unit({1, -1, -1}), T3 = unit({-1, 1, -1}), T4 = unit({-1, -1, 1});
  const int c = atom("C(1)", {0, 0, 0});
  for (const Vec3& d : {T1, T2, T3}) methyl(bonded(c, "C(2)", d, 1.53f), scale(d, -1), "2");
  const int h = bonded(c, "H(1)", T4, 0.98f);

  const int ci = atom("C(11)", {20, 0, 0});
  methyl(bonded(ci, "C(12)", T1, 1.52f), scale(T1, -1), "12");
  methyl(bonded(ci, "C(13)", T2, 1.52f), scale(T2, -1), "13");
  const int oi = bonded(ci, "O(11)", T3, 1.43f);
  bonded(oi, "H(11O)", tetra(scale(T3, -1))[0], 0.82f);
  const int hi = bonded(ci, "H(11)", T4, 0.98f);

  EXPECT_TRUE(lands(h, "C3-C-H", 1.099f));
  EXPECT_TRUE(lands(hi, "X3-C-H", 1.098f));
}

TEST_F(Hydrogens, AromaticCHNeedsThePlanarRing) {
  // benzene in the xy plane
  std::vector<int> c1, h1;
  for (int k = 0; k < 6; ++k) {
    const Vec3 r{cosd(60.0f * k), sind(60.0f * k), 0};
    c1.push_back(atom("C(" + std::to_string(k + 1) + ")", scale(r, 1.39f)));
    h1.push_back(bonded(c1.back(), "H(" + std::to_string(k + 1) + ")", r, 0.93f));
  }
  // The same ring, but not declared planar: an sp2 C-H.
  std::vector<int> c2, h2;
  for (int k = 0; k < 6; ++k) {
    const Vec3 r{cosd(60.0f * k), sind(60.0f * k), 0};
    c2.push_back(atom("C(" + std::to_string(k + 11) + ")", add({20, 0, 0}, scale(r, 1.39f))));
    h2.push_back(bonded(c2.back(), "H(" + std::to_string(k + 11) + ")", r, 0.93f));
  }
  planar_ring(c1);
  EXPECT_TRUE(lands(h1[2], "aromatic C-H", 1.083f));
  EXPECT_TRUE(lands(h2[2], "C-C=C-H", 1.082f));
}

TEST_F(Hydrogens, VinylHydrogenOfEthylene) {
  const int c1 = atom("C(1)", {0, 0, 0});
  const int c2 = bonded(c1, "C(2)", kX, 1.33f);
  const int h = bonded(c1, "H(11)", bent(kX, kZ, 120, 1), 0.95f);
  bonded(c1, "H(12)", bent(kX, kZ, 120, -1), 0.95f);
  bonded(c2, "H(21)", bent(scale(kX, -1), kZ, 120, 1), 0.95f);
  bonded(c2, "H(22)", bent(scale(kX, -1), kZ, 120, -1), 0.95f);
  EXPECT_TRUE(lands(h, "C-C=C-H", 1.082f));
}

TEST_F(Hydrogens, AcetyleneHydrogenIsNotIdentified) {
  const int c1 = atom("C(1)", {0, 0, 0});
  const int c2 = bonded(c1, "C(2)", kX, 1.20f);
  const int h = bonded(c1, "H(1)", scale(kX, -1), 0.93f);
  bonded(c2, "H(2)", kX, 0.93f);
  EXPECT_TRUE(unidentified(h));
}

// ---------------------------------------------------------------------------
// Nitrogen parents.

TEST_F(Hydrogens, AmmoniumAndSecondaryAmines) {
  // methylammonium
  const int c = atom("C(1)", {0, 0, 0});
  const int n = bonded(c, "N(1)", kX, 1.49f);
  methyl(c, kX, "1");
  int hn = 0;
  for (const Vec3& d : tetra(scale(kX, -1), 60)) hn = bonded(n, "H(N)", d, 0.89f);
  // diformamide, planar: N between two carbonyl carbons
  const Vec3 o1{20, 0, 0};
  const int nd = atom("N(2)", o1);
  const int hd = bonded(nd, "H(2)", bent(kX, kZ, 0), 0.86f);
  for (int side : {1, -1}) {
    const int cd = bonded(nd, "C(2)", bent(kX, kZ, 120, side), 1.35f);
    const Vec3 back = towards(cd, nd);
    bonded(cd, "O(2)", bent(back, kZ, 120, side), 1.22f);
    bonded(cd, "H(2C)", bent(back, kZ, 120, -side), 0.95f);
  }
  // dimethylamine, pyramidal, sp3 carbons
  const Vec3 T1 = unit({1, 1, 1}), T2 = unit({1, -1, -1}), T3 = unit({-1, 1, -1});
  const int nm = atom("N(3)", {0, 20, 0});
  methyl(bonded(nm, "C(31)", T1, 1.46f), scale(T1, -1), "31");
  methyl(bonded(nm, "C(32)", T2, 1.46f), scale(T2, -1), "32");
  const int hm = bonded(nm, "H(3)", T3, 0.86f);

  EXPECT_TRUE(lands(hn, "N+-H", 1.036f));
  EXPECT_TRUE(lands(hd, "C2-N-H", 1.030f));
  EXPECT_TRUE(lands(hm, "X2-N-H", 1.027f));
}

// Amino groups: the NH2 rows of the table turn on the planarity of the
// nitrogen with its three neighbours and on the carbon it hangs from.
class AminoGroups : public Hydrogens {
 protected:
  // NH2 on n, whose other neighbour lies along `back`; planar or pyramidal.
  int nh2(int n, const Vec3& back, bool planar) {
    if (planar) {
      bonded(n, "H(N1)", bent(back, kZ, 120, 1), 0.86f);
      return bonded(n, "H(N2)", bent(back, kZ, 120, -1), 0.86f);
    }
    const auto d = tetra(back, 90);
    bonded(n, "H(N1)", d[0], 0.86f);
    return bonded(n, "H(N2)", d[1], 0.86f);
  }
  int aniline(const Vec3& origin, bool planar) {
    std::vector<int> ring;
    int n = 0;
    for (int k = 0; k < 6; ++k) {
      const Vec3 r{cosd(60.0f * k), sind(60.0f * k), 0};
      ring.push_back(atom("C(" + std::to_string(k + 1) + ")", add(origin, scale(r, 1.39f))));
      if (k == 0)
        n = bonded(ring.back(), "N(1)", r, 1.40f);
      else
        bonded(ring.back(), "H(" + std::to_string(k + 1) + ")", r, 0.93f);
    }
    planar_ring(ring);
    return nh2(n, scale(kX, -1), planar);
  }
  int formamide(const Vec3& origin) {
    const int c = atom("C(1)", origin);
    bonded(c, "O(1)", bent(kX, kZ, 120, 1), 1.23f);
    bonded(c, "H(1)", bent(kX, kZ, 120, -1), 0.95f);
    const int n = bonded(c, "N(1)", kX, 1.33f);
    return nh2(n, scale(kX, -1), true);
  }
  int vinylamine(const Vec3& origin, bool planar) {
    const int c1 = atom("C(1)", origin);
    const int c2 = bonded(c1, "C(2)", bent(kX, kZ, 120, 1), 1.33f);
    bonded(c1, "H(1)", bent(kX, kZ, 120, -1), 0.95f);
    const Vec3 back = towards(c2, c1);
    bonded(c2, "H(21)", bent(back, kZ, 120, 1), 0.95f);
    bonded(c2, "H(22)", bent(back, kZ, 120, -1), 0.95f);
    const int n = bonded(c1, "N(1)", kX, 1.38f);
    return nh2(n, scale(kX, -1), planar);
  }
  int methylamine(const Vec3& origin, bool planar) {
    const int c = atom("C(1)", origin);
    methyl(c, kX, "1");
    const int n = bonded(c, "N(1)", kX, 1.47f);
    return nh2(n, scale(kX, -1), planar);
  }
  int nitramide(const Vec3& origin) {
    const int n2 = atom("N(2)", origin);
    bonded(n2, "O(1)", bent(scale(kX, -1), kZ, 120, 1), 1.22f);
    bonded(n2, "O(2)", bent(scale(kX, -1), kZ, 120, -1), 1.22f);
    const int n1 = bonded(n2, "N(1)", scale(kX, -1), 1.38f);
    return nh2(n1, kX, true);
  }
};

TEST_F(AminoGroups, PlanarNH2Variants) {
  const int ar = aniline({0, 0, 0}, true);
  const int am = formamide({20, 0, 0});
  const int vi = vinylamine({0, 20, 0}, true);
  const int me = methylamine({20, 20, 0}, true);
  const int ni = nitramide({0, 0, 20});
  EXPECT_TRUE(lands(ar, "C(ar)-N-H2pl", 1.010f));
  EXPECT_TRUE(lands(am, "C-N-H2 amido", 1.010f));
  EXPECT_TRUE(lands(vi, "C-N-H2pl", 1.012f));
  EXPECT_TRUE(lands(me, "Csp3-N-H2pl", 1.002f));
  EXPECT_TRUE(lands(ni, "X-N-H2pl", 1.015f));
}

TEST_F(AminoGroups, PyramidalNH2Variants) {
  const int ar = aniline({0, 0, 0}, false);
  const int vi = vinylamine({0, 20, 0}, false);
  const int me = methylamine({20, 20, 0}, false);
  EXPECT_TRUE(lands(ar, "C(ar)-N-H2py", 1.024f));
  EXPECT_TRUE(lands(vi, "X-N-H2", 1.015f));
  // an sp3 carbon on a pyramidal nitrogen is not in the table
  EXPECT_TRUE(unidentified(me));
}

// ---------------------------------------------------------------------------
// Oxygen and sulfur parents.

TEST_F(Hydrogens, WaterPhenolAndEnol) {
  const int o = atom("O(1)", {0, 0, 0});
  const int hw = bonded(o, "H(1)", {sind(52.25f), cosd(52.25f), 0}, 0.82f);
  bonded(o, "H(2)", {-sind(52.25f), cosd(52.25f), 0}, 0.82f);

  std::vector<int> ring;
  int op = 0;
  for (int k = 0; k < 6; ++k) {
    const Vec3 r{cosd(60.0f * k), sind(60.0f * k), 0};
    ring.push_back(atom("C(" + std::to_string(k + 1) + ")", add({20, 0, 0}, scale(r, 1.39f))));
    if (k == 0)
      op = bonded(ring.back(), "O(2)", r, 1.36f);
    else
      bonded(ring.back(), "H(" + std::to_string(k + 1) + ")", r, 0.93f);
  }
  planar_ring(ring);
  const int hp = bonded(op, "H(2O)", bent(scale(kX, -1), kZ, 109, 1), 0.82f);

  // vinyl alcohol: the carbon has three neighbours and is in no ring
  const int c1 = atom("C(11)", {0, 20, 0});
  const int c2 = bonded(c1, "C(12)", bent(kX, kZ, 120, 1), 1.33f);
  bonded(c1, "H(11)", bent(kX, kZ, 120, -1), 0.95f);
  const Vec3 back = towards(c2, c1);
  bonded(c2, "H(121)", bent(back, kZ, 120, 1), 0.95f);
  bonded(c2, "H(122)", bent(back, kZ, 120, -1), 0.95f);
  const int oe = bonded(c1, "O(11)", kX, 1.36f);
  const int he = bonded(oe, "H(11O)", bent(scale(kX, -1), kZ, 109, 1), 0.82f);

  EXPECT_TRUE(lands(hw, "water", 0.9584f));
  EXPECT_TRUE(lands(hp, "O-H in phenol", 0.992f));
  EXPECT_TRUE(lands(he, "C-O-H any", 0.980f));
}

TEST_F(Hydrogens, AcidAndHemiacetal) {
  // formic acid
  const int c = atom("C(1)", {0, 0, 0});
  bonded(c, "O(1)", bent(kX, kZ, 120, 1), 1.21f);
  bonded(c, "H(1)", bent(kX, kZ, 120, -1), 0.95f);
  const int o2 = bonded(c, "O(2)", kX, 1.31f);
  const int ha = bonded(o2, "H(2)", bent(scale(kX, -1), kZ, 109, 1), 0.82f);
  // methoxymethanol: the OH carbon's other oxygen carries a methyl
  const Vec3 T1 = unit({1, 1, 1}), T2 = unit({1, -1, -1}), T3 = unit({-1, 1, -1}), T4 = unit({-1, -1, 1});
  const int cm = atom("C(11)", {20, 0, 0});
  const int oh = bonded(cm, "O(11)", T1, 1.41f);
  const int oe = bonded(cm, "O(12)", T2, 1.41f);
  bonded(cm, "H(111)", T3, 0.97f);
  bonded(cm, "H(112)", T4, 0.97f);
  const int he = bonded(oh, "H(11O)", tetra(scale(T1, -1))[0], 0.82f);
  const Vec3 dme = tetra(scale(T2, -1))[0];
  const int cme = bonded(oe, "C(12)", dme, 1.42f);
  methyl(cme, scale(dme, -1), "12");

  EXPECT_TRUE(lands(ha, "O-H in acid", 1.018f));
  EXPECT_TRUE(lands(he, "O-H in ether", 0.980f));
}

TEST_F(Hydrogens, PhosphoricAcidAndHydroxylamine) {
  const Vec3 T[4] = {unit({1, 1, 1}), unit({1, -1, -1}), unit({-1, 1, -1}), unit({-1, -1, 1})};
  const int p = atom("P(1)", {0, 0, 0});
  int hp = 0;
  for (int k = 0; k < 3; ++k) {
    const int o = bonded(p, "O(" + std::to_string(k + 1) + ")", T[k], 1.55f);
    hp = bonded(o, "H(" + std::to_string(k + 1) + ")", tetra(scale(T[k], -1))[0], 0.82f);
  }
  bonded(p, "O(4)", T[3], 1.50f);

  const int n = atom("N(1)", {20, 0, 0});
  const int o = bonded(n, "O(11)", kX, 1.45f);
  for (const Vec3& d : std::vector<Vec3>{tetra(kX)[0], tetra(kX)[1]}) bonded(n, "H(N)", d, 0.88f);
  const int ho = bonded(o, "H(11)", tetra(scale(kX, -1))[0], 0.82f);

  EXPECT_TRUE(lands(hp, "O-H in Pacid", 1.015f));
  EXPECT_TRUE(lands(ho, "X-OH", 0.983f));
}

TEST_F(Hydrogens, CarbonWithThreeOxygensIsNotIdentified) {
  const int c = atom("C(1)", {0, 0, 0});
  bonded(c, "O(1)", bent(kX, kZ, 120, 1), 1.21f);
  const int o3 = bonded(c, "O(3)", bent(kX, kZ, 120, -1), 1.31f);
  const int o2 = bonded(c, "O(2)", kX, 1.31f);
  const int h = bonded(o2, "H(2)", bent(scale(kX, -1), kZ, 109, 1), 0.82f);
  bonded(o3, "H(3)", bent(towards(o3, c), kZ, 109, -1), 0.82f);
  EXPECT_TRUE(unidentified(h));
}

TEST_F(Hydrogens, ThiolHydrogen) {
  const int c = atom("C(1)", {0, 0, 0});
  const int s = bonded(c, "S(1)", kX, 1.82f);
  methyl(c, kX, "1");
  const int h = bonded(s, "H(1S)", tetra(scale(kX, -1))[0], 1.20f);
  EXPECT_TRUE(lands(h, "S-H", 1.338f));
  EXPECT_EQ(run.uratio[static_cast<std::size_t>(h)], pad("URATIO         S1 1    H1S 1    1.5 0.01", 100));
}

// ---------------------------------------------------------------------------
// Groups left alone or only reported.

TEST_F(Hydrogens, UnidentifiedGroupStillGetsItsFourKindsOfLines) {
  // methylamine with a pyramidal nitrogen
  const int c = atom("C(1)", {0, 0, 0});
  methyl(c, kX, "1");
  const int n = bonded(c, "N(1)", kX, 1.47f);
  const auto d = tetra(scale(kX, -1), 90);
  bonded(n, "H(N1)", d[0], 0.86f);
  const int h = bonded(n, "H(N2)", d[1], 0.86f);
  ASSERT_EQ(h, 7);
  const float d0 = bond(n, h);
  ASSERT_TRUE(unidentified(h));
  const std::string dd = ff::format("(f6.3)", d0).substr(0, 6);
  EXPECT_EQ(reset.str(), "RESET BOND  N(1) H(N2)" + dd + "\n");
  EXPECT_EQ(resm.str(), "DISTAN      N1 1    HN2 1 " + dd + " 0.001\n");
  EXPECT_EQ(run.uratio[7], pad("URATIO         N1 1    HN2 1    1.5 0.01", 100));
  EXPECT_EQ(cbond.str(), "!\n! N(1) - H(N2) = " + ff::format("(f9.3)", d0).substr(0, 9) +
                             " Angstroms\n!\nCON 1 X/5 -1 X/7 = 0\nCON 1 Y/5 -1 Y/7 = 0\nCON 1 Z/5 -1 Z/7 = 0\n");
}

TEST_F(Hydrogens, DisorderedHydrogenIsLeftAloneUnlessAsked) {
  const int c1 = atom("C(1)", {0, 0, 0});
  bonded(c1, "C(2)", kX, 1.53f);
  methyl(c1, kX, "1", 0);
  run.atoms1.flag[3] = -1;
  run.atoms1.occ[3] = 0.5f;
  const Cart before = run.atoms.xc[3];
  extend(3);
  EXPECT_EQ(run.atoms.xc[3], before);
  EXPECT_EQ(last_group_line(), "   X-H group : C(1)-H(11) >  H-ATOM IS DISORDERED");
  EXPECT_EQ(t.lst.str().find("Trying to extend"), std::string::npos);
  EXPECT_EQ(reset.str(), "");
  EXPECT_EQ(cbond.str(), "");
  EXPECT_EQ(resm.str(), "");
  EXPECT_EQ(run.uratio[3], std::string(100, ' '));

  run.ctl.idisH = 1;
  EXPECT_TRUE(lands(3, "C-C-H3", 1.077f));
  EXPECT_EQ(reset.str(), "RESET BOND  C(1) H(11) 1.077\n");
}

TEST_F(Hydrogens, HydrogenOnBoronIsNotHandled) {
  const int b = atom("B(1)", {0, 0, 0});
  const int c = bonded(b, "C(1)", kX, 1.57f);
  methyl(c, scale(kX, -1), "1");
  const int h = bonded(b, "H(1)", bent(kX, kZ, 120, 1), 1.10f);
  bonded(b, "H(2)", bent(kX, kZ, 120, -1), 1.10f);
  const Cart before = run.atoms.xc[static_cast<std::size_t>(h)];
  extend(h);
  EXPECT_EQ(last_group_line(), "   X-H group : B(1)-H(1) >  DON'T KNOW HOW TO HANDLE");
  EXPECT_NE(t.lst.str().find(" Trying to extend hydrogen H(1) to standard distance :"), std::string::npos);
  EXPECT_EQ(run.atoms.xc[static_cast<std::size_t>(h)], before);
  EXPECT_EQ(reset.str(), "");
  EXPECT_EQ(cbond.str(), "");
  EXPECT_EQ(resm.str(), "");
  EXPECT_EQ(run.uratio[static_cast<std::size_t>(h)], std::string(100, ' '));
}

// ---------------------------------------------------------------------------
// MoPro names.

TEST_F(Hydrogens, ResidueNamesReplaceTheMoProLabels) {
  const int c1 = atom("C(1)", {0, 0, 0});
  bonded(c1, "C(2)", kX, 1.53f);
  methyl(c1, kX, "1", 0);
  run.shelx.resi = true;
  run.shelx.resshort.assign(run.atoms.nat + 1, std::string(10, ' '));
  run.shelx.resshort[1] = "C1       1";
  run.shelx.resshort[3] = "H11      1";
  extend(3);
  EXPECT_EQ(resm.str(), "DISTAN   C1       1  H11      1  1.077  0.001\n");
  EXPECT_EQ(run.uratio[3], pad("URATIO      C1       1  H11      1    1.2  0.01", 100));
}

TEST_F(Hydrogens, MissingResidueNameFallsBackToPlainNames) {
  const int c1 = atom("C(1)", {0, 0, 0});
  bonded(c1, "C(2)", kX, 1.53f);
  methyl(c1, kX, "1", 0);
  run.shelx.resi = true;
  run.shelx.resshort.assign(2, "C1       1");  // no entry for the hydrogen
  extend(3);
  EXPECT_EQ(resm.str(), "DISTAN      C1 1    H11 1  1.077 0.001\n");
  EXPECT_NE(t.lst.str().find("no residue name for C(1) or H(11)"), std::string::npos);
}

TEST_F(Hydrogens, LongMoProNameIsWrittenInFull) {
  const int c1 = atom("C(101)", {0, 0, 0});
  bonded(c1, "C(102)", kX, 1.53f);
  const auto d = tetra(kX, 0);
  const int h = bonded(c1, "H(101AB)", d[0], 0.96f);
  bonded(c1, "H(101AC)", d[1], 0.96f);
  bonded(c1, "H(101AD)", d[2], 0.96f);
  extend(h);
  EXPECT_EQ(resm.str(), "DISTAN    C101 1  H101AB 1  1.077 0.001\n");
  EXPECT_EQ(run.uratio[static_cast<std::size_t>(h)], pad("URATIO       C101 1  H101AB 1    1.2 0.01", 100));
}

// ---------------------------------------------------------------------------
// Contradictory neighbour tables.

TEST_F(Hydrogens, OxygenNeighbourWithoutOxygenStops) {
  const int c = atom("C(1)", {0, 0, 0});
  const int o = bonded(c, "O(1)", kX, 1.43f);
  methyl(c, kX, "1");
  const int h = bonded(o, "H(1)", tetra(scale(kX, -1))[0], 0.82f);
  findallneighbors(run);
  tabled = true;
  // the carbon's own list loses the oxygen
  NeighborRec& nc = run.neighbors[static_cast<std::size_t>(c)];
  for (int k = 1; k <= nc.nnei; ++k)
    if (nc.inei[static_cast<std::size_t>(k)] == o) nc.inei[static_cast<std::size_t>(k)] = nc.inei[1];
  try {
    extend(h);
    FAIL() << "no error";
  } catch (const VornError& e) {
    EXPECT_EQ(e.routine(), "ExtendH");
    EXPECT_EQ(e.message(), "Error 1 in Y-O-H");
  }
  // The listing shows which hydrogen stopped the run, and nothing more.
  const std::string lst = t.lst.str();
  const std::string last = "\n Trying to extend hydrogen H(1) to standard distance :\n";
  ASSERT_GE(lst.size(), last.size());
  EXPECT_EQ(lst.substr(lst.size() - last.size()), last);
  EXPECT_EQ(reset.str(), "");
  EXPECT_EQ(resm.str(), "");
}

TEST_F(Hydrogens, CarboxylWithoutASecondOxygenStops) {
  const int c = atom("C(1)", {0, 0, 0});
  bonded(c, "H(1)", bent(kX, kZ, 120, -1), 0.95f);
  const int o1 = bonded(c, "O(1)", bent(kX, kZ, 120, 1), 1.21f);
  const int o2 = bonded(c, "O(2)", kX, 1.31f);
  const int h = bonded(o2, "H(2)", bent(scale(kX, -1), kZ, 109, 1), 0.82f);
  findallneighbors(run);
  tabled = true;
  // the carbon lists the hydroxyl oxygen twice instead of O(1)
  NeighborRec& nc = run.neighbors[static_cast<std::size_t>(c)];
  for (int k = 1; k <= nc.nnei; ++k)
    if (nc.inei[static_cast<std::size_t>(k)] == o1) nc.inei[static_cast<std::size_t>(k)] = o2;
  try {
    extend(h);
    FAIL() << "no error";
  } catch (const VornError& e) {
    EXPECT_EQ(e.message(), "Error 2 in Y-O-H");
  }
}

TEST_F(Hydrogens, ParentIndexOutsideTheTableStops) {
  atom("C(1)", {0, 0, 0});
  EXPECT_THROW(ExtendH(run, 1, 7), VornError);
  EXPECT_THROW(ExtendH(run, 0, 1), VornError);
}

}  // namespace

// ---------------------------------------------------------------------------
// A hydrogen whose parent is a symmetry image (whole runs).

namespace {

// Water across the edge of a 10 A cubic P1 cell: O at x = 9.80 A, H(1) at
// x = 0.557 A bonded to the image of O at x = -0.20 A (0.957 A away), H(2)
// bonded to O itself.
const char* const kWaterAcrossTheEdge =
    "TITL water across the cell edge\n"
    "CELL 0.71073 10.0 10.0 10.0 90 90 90\n"
    "LATT -1\n"
    "SFAC O H\n"
    "FVAR 1.0\n"
    "O1    1   0.98000   0.50000   0.50000  11.00000   0.03000\n"
    "H1    2   0.05570   0.55860   0.50000  11.00000   0.04000\n"
    "H2    2   0.90430   0.55860   0.50000  11.00000   0.04000\n"
    "HKLF 4\n"
    "END\n";

std::vector<std::string> lines_with(const std::string& text, const std::string& start) {
  std::vector<std::string> out;
  std::istringstream is(text);
  for (std::string l; std::getline(is, l);)
    if (l.rfind(start, 0) == 0) out.push_back(l);
  return out;
}

}  // namespace

TEST(HydrogenOnASymmetryImage, KeepsItsMoveAndRatioButNamesNoWrongParent) {
  TestRun t;
  t.write("w.res", kWaterAcrossTheEdge);
  t.write("vorn.inp", "FORMAT *shelx\nINPUT w.res\nNCELLS 1\nEXTEND_H\n");
  ASSERT_EQ(vorn_main(t.run, {}), 0) << t.out.str();

  const std::string note = "Note : the parent of H(1) is a symmetry image of O(1) : no RESET BOND, DISTAN or CON lines";
  EXPECT_NE(t.out.str().find(note), std::string::npos) << t.out.str();
  EXPECT_NE(t.read("vorn.out").find(note), std::string::npos);
  EXPECT_EQ(t.out.str().find("parent of H(2)"), std::string::npos);

  // H(2) keeps every line; H(1) only its ratio line.
  EXPECT_EQ(lines_with(t.read("reset.bond"), "RESET BOND"), std::vector<std::string>{"RESET BOND  O(1) H(2) 0.958"});
  const std::string cbond = t.read("const.bond");
  EXPECT_EQ(lines_with(cbond, "CON "),
            (std::vector<std::string>{"CON 1 X/1 -1 X/3 = 0", "CON 1 Y/1 -1 Y/3 = 0", "CON 1 Z/1 -1 Z/3 = 0"}));
  const std::string resm = t.read("res_mopro.inp");
  EXPECT_EQ(lines_with(resm, "DISTAN"), std::vector<std::string>{"DISTAN      O1 1     H2 1  0.958 0.001"});
  EXPECT_EQ(lines_with(resm, "URATIO").size(), 2u) << resm;

  // H(1) still goes out to the water distance 0.9584 A along the bond from
  // the image O at (-0.20, 5.00, 5.00) A.
  const double bx = 0.557 - (-0.20), by = 5.586 - 5.00, r = std::sqrt(bx * bx + by * by);
  const double x = (-0.20 + 0.9584 * bx / r) / 10.0, y = (5.00 + 0.9584 * by / r) / 10.0;
  std::istringstream h1(lines_with(t.read("fixedH.ins"), "H(1)").at(0).substr(8));
  int sft = 0;
  double fx = 0, fy = 0;
  h1 >> sft >> fx >> fy;
  EXPECT_NEAR(fx, x, 2e-6);
  EXPECT_NEAR(fy, y, 2e-6);
}
