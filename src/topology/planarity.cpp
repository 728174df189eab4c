#include "topology/planarity.hpp"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "base/error.hpp"

namespace vorn {

// The eigen-solver keeps EISPACK's 1-based indexing inside, so that each
// loop can be checked line by line against the published algorithm.
namespace {
constexpr int N = 3;
using M1 = std::array<std::array<float, N + 1>, N + 1>;  // [row][col], 1..3
using V1 = std::array<float, N + 1>;

float sign_of(float a, float b) { return b >= 0.0f ? std::fabs(a) : -std::fabs(a); }

M1 to1(const Mat3& m) {
  M1 r{};
  for (int i = 1; i <= N; ++i)
    for (int j = 1; j <= N; ++j) r[i][j] = m[i - 1][j - 1];
  return r;
}
Mat3 to0(const M1& m) {
  Mat3 r{};
  for (int i = 1; i <= N; ++i)
    for (int j = 1; j <= N; ++j) r[i - 1][j - 1] = m[i][j];
  return r;
}
V1 to1(const Vec3& v) { return {0.0f, v[0], v[1], v[2]}; }
Vec3 to0(const V1& v) { return {v[1], v[2], v[3]}; }
}  // namespace

float pythag(float a, float b) {
  float p = std::max(std::fabs(a), std::fabs(b));
  if (p == 0.0f) return p;
  float r = std::min(std::fabs(a), std::fabs(b)) / p;
  r = r * r;
  for (;;) {
    const float t = 4.0f + r;
    if (t == 4.0f) break;
    const float s = r / t;
    const float u = 1.0f + 2.0f * s;
    p = u * p;
    const float su = s / u;
    r = su * su * r;
  }
  return p;
}

void tred2(const Mat3& a0, Vec3& d0, Vec3& e0, Mat3& z0) {
  const M1 a = to1(a0);
  M1 z{};
  V1 d{}, e{};
  const int n = N;
  for (int i = 1; i <= n; ++i) {
    for (int j = i; j <= n; ++j) z[j][i] = a[j][i];
    d[i] = a[n][i];
  }
  for (int ii = 2; ii <= n; ++ii) {
    const int i = n + 2 - ii;
    const int l = i - 1;
    float h = 0.0f;
    float scale = 0.0f;
    if (l >= 2)
      for (int k = 1; k <= l; ++k) scale += std::fabs(d[k]);
    if (l < 2 || scale == 0.0f) {
      e[i] = d[l];
      for (int j = 1; j <= l; ++j) {
        d[j] = z[l][j];
        z[i][j] = 0.0f;
        z[j][i] = 0.0f;
      }
    } else {
      for (int k = 1; k <= l; ++k) {
        d[k] /= scale;
        h += d[k] * d[k];
      }
      float f = d[l];
      float g = -sign_of(std::sqrt(h), f);
      e[i] = scale * g;
      h -= f * g;
      d[l] = f - g;
      for (int j = 1; j <= l; ++j) e[j] = 0.0f;
      for (int j = 1; j <= l; ++j) {
        f = d[j];
        z[j][i] = f;
        g = e[j] + z[j][j] * f;
        for (int k = j + 1; k <= l; ++k) {
          g += z[k][j] * d[k];
          e[k] += z[k][j] * f;
        }
        e[j] = g;
      }
      f = 0.0f;
      for (int j = 1; j <= l; ++j) {
        e[j] /= h;
        f += e[j] * d[j];
      }
      const float hh = f / (h + h);
      for (int j = 1; j <= l; ++j) e[j] -= hh * d[j];
      for (int j = 1; j <= l; ++j) {
        f = d[j];
        g = e[j];
        for (int k = j; k <= l; ++k) z[k][j] = z[k][j] - f * e[k] - g * d[k];
        d[j] = z[l][j];
        z[i][j] = 0.0f;
      }
    }
    d[i] = h;
  }
  // Accumulation of the transformations.
  for (int i = 2; i <= n; ++i) {
    const int l = i - 1;
    z[n][l] = z[l][l];
    z[l][l] = 1.0f;
    const float h = d[i];
    if (h != 0.0f) {
      for (int k = 1; k <= l; ++k) d[k] = z[k][i] / h;
      for (int j = 1; j <= l; ++j) {
        float g = 0.0f;
        for (int k = 1; k <= l; ++k) g += z[k][i] * z[k][j];
        for (int k = 1; k <= l; ++k) z[k][j] -= g * d[k];
      }
    }
    for (int k = 1; k <= l; ++k) z[k][i] = 0.0f;
  }
  for (int i = 1; i <= n; ++i) {
    d[i] = z[n][i];
    z[n][i] = 0.0f;
  }
  z[n][n] = 1.0f;
  e[1] = 0.0f;
  d0 = to0(d);
  e0 = to0(e);
  z0 = to0(z);
}

int tql2(Vec3& d0, Vec3& e0, Mat3& z0) {
  V1 d = to1(d0);
  V1 e = to1(e0);
  M1 z = to1(z0);
  const int n = N;
  int ierr = 0;
  for (int i = 2; i <= n; ++i) e[i - 1] = e[i];
  float f = 0.0f;
  float tst1 = 0.0f;
  e[n] = 0.0f;
  for (int l = 1; l <= n && ierr == 0; ++l) {
    int j = 0;
    const float h0 = std::fabs(d[l]) + std::fabs(e[l]);
    if (tst1 < h0) tst1 = h0;
    // Look for a small sub-diagonal element; e(n) is zero, so the loop
    // always stops inside the matrix.
    int m = l;
    for (; m <= n; ++m) {
      const float tst2 = tst1 + std::fabs(e[m]);
      if (tst2 == tst1) break;
    }
    if (m > n) m = n;
    if (m != l) {
      for (;;) {
        if (j == 30) {
          ierr = l;
          break;
        }
        ++j;
        // Form the shift.
        const int l1 = l + 1;
        const int l2 = l1 + 1;
        float g = d[l];
        float p = (d[l1] - g) / (2.0f * e[l]);
        float r = pythag(p, 1.0f);
        d[l] = e[l] / (p + sign_of(r, p));
        d[l1] = e[l] * (p + sign_of(r, p));
        const float dl1 = d[l1];
        float h = g - d[l];
        for (int i = l2; i <= n; ++i) d[i] -= h;
        f += h;
        // QL transformation.
        p = d[m];
        float c = 1.0f;
        float c2 = c;
        const float el1 = e[l1];
        float s = 0.0f;
        float c3 = c, s2 = s;
        for (int ii = 1; ii <= m - l; ++ii) {
          c3 = c2;
          c2 = c;
          s2 = s;
          const int i = m - ii;
          g = c * e[i];
          h = c * p;
          r = pythag(p, e[i]);
          e[i + 1] = s * r;
          s = e[i] / r;
          c = p / r;
          p = c * d[i] - s * g;
          d[i + 1] = h + s * (c * g + s * d[i]);
          for (int k = 1; k <= n; ++k) {
            h = z[k][i + 1];
            z[k][i + 1] = s * z[k][i] + c * h;
            z[k][i] = c * z[k][i] - s * h;
          }
        }
        p = -s * s2 * c3 * el1 * e[l] / dl1;
        e[l] = s * p;
        d[l] = c * p;
        const float tst2 = tst1 + std::fabs(e[l]);
        if (!(tst2 > tst1)) break;
      }
    }
    if (ierr != 0) break;
    d[l] = d[l] + f;
    e[l] = 0.0f;
  }
  if (ierr == 0) {
    // Order eigenvalues and eigenvectors.
    for (int ii = 2; ii <= n; ++ii) {
      const int i = ii - 1;
      int k = i;
      float p = d[i];
      for (int j = ii; j <= n; ++j) {
        if (d[j] >= p) continue;
        k = j;
        p = d[j];
      }
      if (k == i) continue;
      d[k] = d[i];
      d[i] = p;
      for (int j = 1; j <= n; ++j) std::swap(z[j][i], z[j][k]);
    }
  }
  d0 = to0(d);
  e0 = to0(e);
  z0 = to0(z);
  return ierr;
}

int planarity(Run& run, int print, std::span<const int> list, int mode) {
  Plane plane;
  return planarity(run, print, list, mode, plane);
}

int planarity(Run& run, int print, std::span<const int> list, int mode, Plane& plane) {
  const bool ring = mode == 2;
  const std::string word = ring ? "ring" : "group";
  const float tol = ring ? run.ctl.tol2 : run.ctl.tol3;
  const int n = static_cast<int>(list.size());
  const bool loud = print == 1;
  const bool details = loud && run.ctl.iverb > 1;
  auto label = [&](int i) -> const std::string& { return run.atoms.label[static_cast<std::size_t>(i)]; };

  if (loud) {
    std::vector<std::string> labels;
    for (int i : list) labels.push_back(label(i));
    to_lst(run, "(/' Planarity test for ',i3,'-atom ',a,' : ',//,6(2x,a))"_f, n, word, labels);
  }
  int flag = 1;

  Vec3 c{0.0f, 0.0f, 0.0f};
  for (int i : list) c = add(c, run.atoms.xc[static_cast<std::size_t>(i)]);
  if (n > 0)
    for (float& v : c) v /= static_cast<float>(n);

  Mat3 a{};
  for (int i : list) {
    const Vec3 x = sub(run.atoms.xc[static_cast<std::size_t>(i)], c);
    for (int k = 0; k < 3; ++k)
      for (int l = 0; l < 3; ++l) a[k][l] += x[k] * x[l];
  }
  Vec3 d{}, e{};
  Mat3 z{};
  tred2(a, d, e, z);
  if (tql2(d, e, z) != 0) err("planarity", "No convergence of the eigenvalue iteration (atom coordinates not finite?)");
  plane.normal = {z[0][0], z[1][0], z[2][0]};
  plane.s = plane.normal[0] * c[0] + plane.normal[1] * c[1] + plane.normal[2] * c[2];
  if (details) to_lst(run, "(/5x,'P Q R S = ',4f12.4/)"_f, plane.normal, plane.s);

  float sum = 0.0f;
  for (int i : list) {
    const Vec3& x = run.atoms.xc[static_cast<std::size_t>(i)];
    const float dev = plane.normal[0] * x[0] + plane.normal[1] * x[1] + plane.normal[2] * x[2] - plane.s;
    if (details) to_lst(run, "(7x,'dist. from ',a,' to lsq plane =',f11.3,' Ang')"_f, label(i), dev);
    sum += dev * dev;
  }
  // Three points always define a plane; n - 3 would divide by zero.
  plane.sigpln = n > 3 ? std::sqrt(sum / static_cast<float>(n - 3)) : 0.0f;
  if (plane.sigpln > tol) flag = 0;

  if (loud) {
    to_lst(run, "(/5x,'Esd atoms from the plane (sigpln) = ',f12.4,' ( tol = ',f8.4,' )')"_f, plane.sigpln, tol);
    to_lst(run, "(/5x,'This ',a,' is planar = .',l1,'.')"_f, word, flag == 1);
  }
  return flag;
}

}  // namespace vorn
