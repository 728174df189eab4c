#include "local/site_reduction.hpp"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "control/run_sequence.hpp"

#include "local/key_masks.hpp"
#include "local/local_run.hpp"
#include "local/site_check.hpp"
#include "support/harmonics.hpp"

namespace vorn::test {
namespace {

using SiteReductionTest = LocalTest;

// A four-coordinate nickel with two Cl and two N (Cl-Ni-N 93 degrees cis
// and 153 degrees trans): a cis square plane twisted about its two-fold
// axis, which is all the symmetry left. The axis is along `axis`; the
// ligands sit at polar angle 46.6 (Cl) and 133.4 (N) degrees from it, the
// N pair turned 37.4 degrees about it from the Cl pair.
struct TwistedNickel {
  int ni, cl1, cl2, n1, n2;
  Vec3 axis;
  TwistedNickel(Mol& m, const Vec3& centre, const Vec3& along, const std::string& k) : axis(along) {
    const Vec3 z = scale(along, 1.0f / rlength(along));
    const Vec3 x = unit_across(z), y = vmult(z, x);
    auto dir = [&](float polar, float azimuth) {
      const float p = polar * kDeg, a = azimuth * kDeg;
      return add(scale(z, std::cos(p)), add(scale(x, std::sin(p) * std::cos(a)), scale(y, std::sin(p) * std::sin(a))));
    };
    auto place = [&](const std::string& label, const Vec3& d, float r) {
      const Vec3 p = add(centre, scale(d, r));
      return m.at(label, p[0], p[1], p[2]);
    };
    ni = m.at("NI(" + k + ")", centre[0], centre[1], centre[2]);
    cl1 = place("CL(1" + k + ")", dir(46.6f, 0), 2.25f);
    cl2 = place("CL(2" + k + ")", dir(46.6f, 180), 2.25f);
    n1 = place("N(1" + k + ")", dir(133.4f, 37.4f), 2.00f);
    n2 = place("N(2" + k + ")", dir(133.4f, 217.4f), 2.00f);
  }
  static Vec3 unit_across(const Vec3& z) {
    const Vec3 t = std::fabs(z[0]) < 0.9f ? Vec3{1, 0, 0} : Vec3{0, 1, 0};
    const Vec3 x = sub(t, scale(z, dot(t, z)));
    return scale(x, 1.0f / rlength(x));
  }
};

// The half turn about a unit axis, as a matrix in Cartesian coordinates.
DMat half_turn(const Vec3& a) {
  DMat m{};
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = 0; j < 3; ++j) m[i][j] = 2.0 * a[i] * a[j] - (i == j ? 1.0 : 0.0);
  return m;
}

// frame * op * frame^T: an operation seen in the local axes.
DMat in_local(const Mat3& f, const DMat& op) {
  DMat out{};
  for (std::size_t i = 0; i < 3; ++i)
    for (std::size_t j = 0; j < 3; ++j)
      for (std::size_t a = 0; a < 3; ++a)
        for (std::size_t b = 0; b < 3; ++b) out[i][j] += f[i][a] * op[a][b] * f[j][b];
  return out;
}

// The rule sees two pairs and gives "mm2"; its mirrors map each N onto a
// point 1.77 A from the other N. Only the two-fold axis is left: the code
// is "2", Z still on the rule's point, and the key lets exactly the
// harmonics the half turn keeps be refined.
TEST_F(SiteReductionTest, TwistedMetalCentreKeepsOnlyItsTwofoldAxis) {
  const Vec3 along = scale(Vec3{1, 2, 2}, 1.0f / 3.0f);
  const TwistedNickel ni(m, Vec3{15, 15, 15}, along, "1");
  define();
  const auto u = static_cast<std::size_t>(ni.ni);
  const SiteCheck& c = run.site_check[u];
  ASSERT_TRUE(c.reduced) << t.lst.str();
  EXPECT_EQ(c.rule_code, "mm2");
  EXPECT_EQ(run.atoms.sitesym[u], "2    ");
  EXPECT_TRUE(c.checked && c.passes);
  EXPECT_LT(c.misfit, 1e-3f);
  // The rule's mirror through Z and the first N maps the second N 1.77 A
  // away from the first: 2 r sin(polar) sin(twist) of the mirror's normal.
  EXPECT_NEAR(c.rule_misfit, 2 * 2.0f * std::sin(133.4f * kDeg) * std::sin(37.4f * kDeg), 0.01f);

  // The first axis is the rule's (Z to the midpoint of a pair, on the
  // two-fold axis); the written frame's Z lies along the built axis.
  const LocalAxes& a = ax[u];
  EXPECT_EQ(a.AX1, "Z");
  Mat3 f{};
  ASSERT_TRUE(local_frame(run.atoms.xc[u], a, f));
  EXPECT_NEAR(std::fabs(dot(f[2], along)), 1.0f, 1e-4f);
  const std::string key(key_mask(run.atoms.sitesym[u]));
  EXPECT_EQ(key, invariant_mask({in_local(f, half_turn(along))}));
  // Standard output and the listing say what was done.
  EXPECT_NE(t.out.str().find("Site symmetry mm2 of NI(1) misfits its neighbours by"), std::string::npos);
  EXPECT_TRUE(listed("site symmetry of NI(1) reduced to 2, misfit"));
}

// Two twisted centres and a flat one (planar cis, whose "mm2" holds): the
// flat one keeps "mm2"; the twisted ones, alike only through the rule's
// code, are not constrained to it, but to each other.
TEST_F(SiteReductionTest, AtomsAlikeOnlyThroughTheRulesCodeAreNotConstrained) {
  const Vec3 along{0, 0, 1};
  const int flat_ni = m.at("NI(0)", 5, 5, 5);
  m.polar("CL(10)", flat_ni, 2.25f, 45);
  m.polar("CL(20)", flat_ni, 2.25f, 135);
  m.polar("N(10)", flat_ni, 2.00f, 225);
  m.polar("N(20)", flat_ni, 2.00f, 315);
  const TwistedNickel a(m, Vec3{15, 15, 15}, along, "1");
  const TwistedNickel b(m, Vec3{22, 22, 22}, along, "2");
  define();
  EXPECT_EQ(run.atoms.sitesym[flat_ni], "mm2  ");
  EXPECT_FALSE(run.site_check[static_cast<std::size_t>(flat_ni)].reduced);
  EXPECT_EQ(run.chemcon[static_cast<std::size_t>(a.ni)], 0);
  EXPECT_NE(run.kappaset[static_cast<std::size_t>(a.ni)], run.kappaset[static_cast<std::size_t>(flat_ni)]);
  EXPECT_EQ(run.chemcon[static_cast<std::size_t>(b.ni)], 1);
  EXPECT_EQ(run.mpoles[static_cast<std::size_t>(b.ni)].equiv, a.ni);
}

// A misfit between the ring tolerance and the limit keeps the rule's
// symmetry (listed as failing); the limit of TOLS decides.
TEST_F(SiteReductionTest, MisfitBelowTheLimitKeepsTheRulesSymmetry) {
  run.ctl.pair_tol = 0.5f;  // the two O-H bonds below differ by 0.2 A
  const int o = m.at("O(1)", 5, 5, 5);
  m.polar("H(1)", o, 0.90f, 0);
  m.polar("H(2)", o, 1.10f, 104.5f);
  define();
  const SiteCheck& c = run.site_check[static_cast<std::size_t>(o)];
  EXPECT_EQ(run.atoms.sitesym[o], "mm2  ");
  EXPECT_FALSE(c.reduced);
  EXPECT_FALSE(c.passes);
  EXPECT_GT(c.misfit, run.ctl.tol2);
  EXPECT_LT(c.misfit, run.ctl.misfit_limit);
  // With a limit below that misfit the mirror through both H remains.
  run.ctl.misfit_limit = 0.2f;
  t.out.str("");
  rules(1, run.atoms.nat);
  EXPECT_TRUE(run.site_check[static_cast<std::size_t>(o)].reduced);
  EXPECT_EQ(run.atoms.sitesym[o], "m    ");
  EXPECT_TRUE(run.site_check[static_cast<std::size_t>(o)].passes);
}

// The whole run on the twisted nickel as a SHELX file: standard output,
// the listing's closing table and vorn.json give both codes and misfits,
// and the key written to xd_vorn.mas frees exactly the harmonics that the
// half turn keeps in the frame the record gives.
TEST(SiteReductionRun, BothCodesAreReportedAndTheKeyFollowsTheReducedCode) {
  TestRun t;
  Mol m(t.run);
  const Vec3 along = scale(Vec3{2, 1, 2}, 1.0f / 3.0f);
  const TwistedNickel ni(m, Vec3{10, 10, 10}, along, "1");
  std::string res = "TITL twisted nickel\nCELL 0.71073 20.0 20.0 20.0 90 90 90\nLATT -1\nSFAC NI CL N\nFVAR 1.0\n";
  const char* names[] = {"", "NI1   1", "CL1   2", "CL2   2", "N1    3", "N2    3"};
  for (int i = 1; i <= 5; ++i) {
    const Vec3& x = t.run.atoms.xc[static_cast<std::size_t>(i)];
    char line[128];
    std::snprintf(line, sizeof line, "%s %10.6f %10.6f %10.6f  11.00000   0.02000\n", names[i], x[0] / 20.0, x[1] / 20.0,
                  x[2] / 20.0);
    res += line;
  }
  TestRun w;
  w.write("ni.res", res + "END\n");
  w.write("vorn.inp", "FORMAT *shelx\nINPUT ni.res\nKEYGEN *XYZUIJ *all ordered *MULT *all\n");
  ASSERT_EQ(vorn_main(w.run, {}), 0) << w.out.str();
  EXPECT_NE(w.out.str().find(" Site symmetry mm2 of NI(1) misfits its neighbours by "), std::string::npos) << w.out.str();
  const std::string lst = w.read("vorn.out");
  const std::string head = "      NO  ATOM      RULE   MISFIT (A)  USED   MISFIT (A)\n";
  const auto at = lst.find(head);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(lst.substr(at + head.size(), 25), "       1  NI(1)     mm2  ");

  const nlohmann::json rec = nlohmann::json::parse(w.read("vorn.json"));
  EXPECT_EQ(rec.at("tolerances").at("misfit_limit").get<double>(), 0.5f);
  const nlohmann::json& a = rec.at("atoms").at(0);
  ASSERT_EQ(a.at("label"), "NI(1)");
  EXPECT_EQ(a.at("site_symmetry"), "2");
  EXPECT_EQ(a.at("rule_site_symmetry"), "mm2");
  EXPECT_GT(a.at("rule_misfit").get<double>(), 1.0);
  EXPECT_LT(a.at("misfit").get<double>(), 0.01);
  // The summary counts the atoms the record gives as reduced (the terminal
  // ligands too: the twist leaves their mirrors none).
  int reduced = 0;
  for (const nlohmann::json& b : rec.at("atoms")) reduced += b.at("rule_site_symmetry").is_null() ? 0 : 1;
  EXPECT_NE(w.out.str().find(" Site symmetries reduced (gross misfit) : " + std::to_string(reduced) + " atom"),
            std::string::npos)
      << w.out.str();
  Mat3 f{};
  const char* axes[] = {"x", "y", "z"};
  for (std::size_t r = 0; r < 3; ++r)
    for (std::size_t c = 0; c < 3; ++c) f[r][c] = a.at("frame").at(axes[r]).at(c).get<float>();
  std::string key;
  std::istringstream mas(w.read("xd_vorn.mas"));
  for (std::string l; std::getline(mas, l);)
    if (l.rfind("NI(1)", 0) == 0 && l.find("111 111111") != std::string::npos) key = l.substr(l.size() - 30);
  EXPECT_EQ(key, invariant_mask({in_local(f, half_turn(along))}));
}

}  // namespace
}  // namespace vorn::test
