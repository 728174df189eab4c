#include "structure/adp_check.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "control/run_sequence.hpp"
#include "support/builders.hpp"
#include "symmetry/cell.hpp"

namespace vorn {
namespace {

using test::TestRun;
using D3 = std::array<std::array<double, 3>, 3>;

D3 product(const D3& a, const D3& b) {
  D3 c{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j)
      for (int k = 0; k < 3; ++k) c[i][j] += a[i][k] * b[k][j];
  return c;
}

D3 transposed(const D3& a) {
  D3 t{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) t[i][j] = a[j][i];
  return t;
}

Transf transf_of(const Cell& cell) {
  Transf t;
  t.M = cell_matrix(cell);
  t.Minv = Inverse(t.M);
  return t;
}

// The crystallographic Uij of a Cartesian tensor with eigenvalues l along
// the axes of a rotation by `degrees` about (1, 1, 1): U* = M^-1 U_cart M^-T,
// Uij = U*ij / (a*_i a*_j), a*_i the length of row i of M^-1.
Uij uij_of(const Transf& t, std::array<double, 3> l, double degrees) {
  const double c = std::cos(degrees * 0.017453292519943295), s = std::sin(degrees * 0.017453292519943295);
  const double n = 1.0 / std::sqrt(3.0), k = 1 - c;
  const D3 r = {{{c + n * n * k, n * n * k - n * s, n * n * k + n * s},
                 {n * n * k + n * s, c + n * n * k, n * n * k - n * s},
                 {n * n * k - n * s, n * n * k + n * s, c + n * n * k}}};
  const D3 diag = {{{l[0], 0, 0}, {0, l[1], 0}, {0, 0, l[2]}}};
  const D3 cart = product(product(r, diag), transposed(r));
  D3 minv{};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) minv[i][j] = t.Minv[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
  const D3 ustar = product(product(minv, cart), transposed(minv));
  double a[3];
  for (int i = 0; i < 3; ++i) a[i] = std::sqrt(minv[i][0] * minv[i][0] + minv[i][1] * minv[i][1] + minv[i][2] * minv[i][2]);
  auto u = [&](int i, int j) { return static_cast<float>(ustar[i][j] / (a[i] * a[j])); };
  return {u(0, 0), u(1, 1), u(2, 2), u(0, 1), u(0, 2), u(1, 2)};
}

TEST(AdpCheck, SmallestEigenvalueOfTheCartesianTensor) {
  const Cell cells[] = {{7.0f, 9.0f, 11.0f, 90.0f, 105.0f, 90.0f}, {6.2f, 8.1f, 9.7f, 78.0f, 83.5f, 71.2f}};
  const struct {
    std::array<double, 3> l;
    double degrees;
  } kTensors[] = {{{0.010, 0.020, 0.030}, 0},  {{0.030, 0.010, 0.020}, 37},  {{-0.005, 0.020, 0.030}, 52},
                  {{0.020, 0.0, 0.025}, 115},  {{0.020, 0.020, 0.020}, 20},  {{0.040, 0.040, -0.0254}, 71},
                  {{0.015, 0.015, 0.015}, 0}};
  for (const Cell& cell : cells) {
    const Transf t = transf_of(cell);
    for (const auto& c : kTensors) {
      const double want = std::min({c.l[0], c.l[1], c.l[2]});
      EXPECT_NEAR(smallest_u_eigenvalue(t, uij_of(t, c.l, c.degrees)), want, 2e-6) << cell[5] << " " << c.degrees;
    }
  }
  // The Uij are on the reciprocal axes: on hexagonal axes (gamma* = 60) an
  // isotropic atom has U11 = U22 = U33 = U and U12 = U/2, all three
  // eigenvalues U; in an orthogonal cell the same numbers are an ellipsoid
  // whose smallest eigenvalue is U/2.
  const Uij isotropic_on_hexagonal_axes = {0.02f, 0.02f, 0.02f, 0.01f, 0.0f, 0.0f};
  EXPECT_NEAR(smallest_u_eigenvalue(transf_of({8, 8, 12, 90, 90, 120}), isotropic_on_hexagonal_axes), 0.02, 1e-6);
  EXPECT_NEAR(smallest_u_eigenvalue(transf_of({8, 8, 12, 90, 90, 90}), isotropic_on_hexagonal_axes), 0.01, 1e-6);
}

TEST(AdpCheck, WarnsPerAtomAndLeavesTheValues) {
  TestRun t;
  vorn::Run& run = t.run;
  run.transf = transf_of({7.0f, 9.0f, 11.0f, 90.0f, 105.0f, 90.0f});
  const Uij prolate = uij_of(run.transf, {0.01, 0.02, 0.05}, 30);
  const Uij broken = uij_of(run.transf, {0.03, -0.004, 0.02}, 65);
  const struct {
    const char* label;
    int order;
    Uij u;
  } kAtoms[] = {{"C1", 2, prolate}, {"AL3", 2, broken}, {"H1", 1, {-0.002f, 0, 0, 0, 0, 0}},
                {"H2", 1, {0.03f, 0, 0, 0, 0, 0}}, {"O1", 0, {}}, {"N1", 3, broken}};
  for (const auto& a : kAtoms) {
    const int i = test::add_atom(run, a.label, Cart(1, 2, 3));
    run.atoms1.iu[i] = a.order;
    run.at_uij[i] = a.u;
    run.atoms.name[i] = a.label;
  }
  check_adps(run);
  const std::string want =
      " WARNING: atom AL3: displacement parameters not positive definite, smallest eigenvalue -0.00400 A**2; passed on "
      "unchanged\n"
      " WARNING: atom H1: Uiso not positive, -0.00200 A**2; passed on unchanged\n"
      " WARNING: atom N1: displacement parameters not positive definite, smallest eigenvalue -0.00400 A**2; passed on "
      "unchanged\n";
  EXPECT_EQ(t.out.str(), want);
  EXPECT_EQ(t.lst.str(), want);
  EXPECT_EQ(run.at_uij[2], broken);
  EXPECT_EQ(run.at_uij[3], (Uij{-0.002f, 0, 0, 0, 0, 0}));
}

// 014ep-4: a real refinement with non-positive-definite tensors (AL3 has
// U22 = -0.00649). Every atom warned about is one whose Cartesian tensor
// fails Sylvester's criterion, and none other; the values reach the MoPro
// file as read.
TEST(AdpCheck, RealStructureWarnsExactlyTheAtomsWithoutAnEllipsoid) {
  VORN_REQUIRE_SHARED(real);
  TestRun t;
  std::filesystem::copy_file(real / "014ep-4_a_shelxl.res", t.dir.path() / "x.res");
  t.write("vorn.inp", "FORMAT *shelx\nINPUT x.res\nEXTEND_H\n");
  ASSERT_EQ(vorn_main(t.run, {}), 0) << t.out.str().substr(t.out.str().size() - 1000);
  const vorn::Run& run = t.run;
  // The tetragonal cell is orthogonal: U_cart is Uij scaled by the axes,
  // and positive definite when its three leading minors are.
  std::vector<std::string> failing;
  for (int i = 1; i <= run.atoms.nat; ++i) {
    const Uij& u = run.at_uij[static_cast<std::size_t>(i)];
    const double m1 = u[0], m2 = double(u[0]) * u[1] - double(u[3]) * u[3];
    const double m3 = u[0] * (double(u[1]) * u[2] - double(u[5]) * u[5]) - u[3] * (double(u[3]) * u[2] - double(u[5]) * u[4]) +
                      u[4] * (double(u[3]) * u[5] - double(u[1]) * u[4]);
    const bool positive = run.atoms1.iu[static_cast<std::size_t>(i)] == 1 ? u[0] > 0 : (m1 > 0 && m2 > 0 && m3 > 0);
    if (!positive) failing.push_back(run.atoms.name[static_cast<std::size_t>(i)]);
  }
  ASSERT_FALSE(failing.empty());
  std::vector<std::string> warned;
  for (const std::string& l : test::lines_of(t.out.str()))
    if (l.rfind(" WARNING: atom ", 0) == 0) warned.push_back(l.substr(15, l.find(':', 15) - 15));
  EXPECT_EQ(warned, failing);
  // In the a-b plane AL3 has U11 0.01404, U22 -0.00649, U12 0.02739: the
  // smallest eigenvalue is their mean less sqrt(half difference^2 + U12^2).
  EXPECT_NE(t.out.str().find(" WARNING: atom AL3: displacement parameters not positive definite, smallest eigenvalue "
                             "-0.0254"),
            std::string::npos);
  EXPECT_NE(t.read("vorn.out").find(" WARNING: atom AL3: "), std::string::npos);
  // AL3's tensor as the file gives it (U12 and U23 in SHELX order).
  EXPECT_NE(t.read("mopro_vorn.par").find("UANI     0.014040 -0.006490  0.003670  0.027390  0.000000  0.000000"),
            std::string::npos);
}

}  // namespace
}  // namespace vorn
