#include "symmetry/cell.hpp"

#include <algorithm>
#include <cmath>

#include "base/error.hpp"
#include "format/fortran_io.hpp"

namespace vorn {

namespace {

// Square of the Z component of c, in the units of c squared.
float c3_squared(const Cell& cell) {
  const float c = cell[2];
  const float ca = cosd(cell[3]), cb = cosd(cell[4]), cg = cosd(cell[5]), sg = sind(cell[5]);
  const float c1 = c * cb, c2 = c * (ca - cb * cg) / sg;
  return c * c - c1 * c1 - c2 * c2;
}

void print_rows(Run& run, const Mat3& m) {
  for (const auto& row : m) to_lst(run, "(3f15.8)"_f, row);
}

}  // namespace

std::string cell_fault(const Cell& cell) {
  for (int k = 0; k < 3; ++k)
    if (!(cell[k] > 0.0f) || !std::isfinite(cell[k])) return "cell length " + ff::fmt_f(cell[k], 10, 4) + " is not positive";
  for (int k = 3; k < 6; ++k)
    if (!(cell[k] > 0.0f && cell[k] < 180.0f)) return "cell angle " + ff::fmt_f(cell[k], 10, 4) + " is not between 0 and 180 degrees";
  float q = c3_squared(cell);
  if (!(q > 0.0f) || !std::isfinite(q)) return "cell angles close no cell (no real cell matrix)";
  return {};
}

Mat3 cell_matrix(const Cell& cell) {
  const float a = cell[0], b = cell[1], c = cell[2];
  const float ca = cosd(cell[3]), cb = cosd(cell[4]), cg = cosd(cell[5]), sg = sind(cell[5]);
  const float c1 = c * cb, c2 = c * (ca - cb * cg) / sg;
  const float c3 = std::sqrt(c * c - c1 * c1 - c2 * c2);
  Mat3 m{};
  m[0] = {a, b * cg, c1};
  m[1] = {0.0f, b * sg, c2};
  m[2] = {0.0f, 0.0f, c3};
  return m;
}

Mat3 Inverse(const Mat3& m) {
  const float det = m[0][0] * m[1][1] * m[2][2] + m[0][1] * m[1][2] * m[2][0] + m[0][2] * m[1][0] * m[2][1] -
                    m[0][2] * m[1][1] * m[2][0] - m[0][1] * m[1][0] * m[2][2] - m[0][0] * m[1][2] * m[2][1];
  if (det == 0.0f) err("Inverse", "Determinant = 0");
  Mat3 inv{};
  inv[0][0] = (m[1][1] * m[2][2] - m[1][2] * m[2][1]) / det;
  inv[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) / det;
  inv[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) / det;
  inv[1][0] = (m[1][2] * m[2][0] - m[1][0] * m[2][2]) / det;
  inv[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) / det;
  inv[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) / det;
  inv[2][0] = (m[1][0] * m[2][1] - m[1][1] * m[2][0]) / det;
  inv[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) / det;
  inv[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) / det;
  return inv;
}

void tranmat(Run& run) {
  const Cell& cell = run.ucell;
  // A cell of zero lengths (none read) is left to Inverse; angles that close
  // no cell would otherwise give a matrix of NaN and garbage coordinates.
  bool zero_length = cell[0] == 0.0f || cell[1] == 0.0f || cell[2] == 0.0f;
  if (!zero_length) {
    std::string fault = cell_fault(cell);
    if (!fault.empty()) err("tranmat", "Cell " + ff::format("(3f10.4,3f9.3,$)"_f, cell) + " : " + fault);
  }
  Mat3 m = zero_length ? Mat3{} : cell_matrix(cell);
  run.transf.M = m;
  run.transf.Minv = Inverse(m);
  to_lst(run, "(/' Transformation matrix CRYSTAL --> GLOBAL CARTESIAN :')"_f);
  print_rows(run, run.transf.M);
  to_lst(run, "(/' Transformation matrix GLOBAL CARTESIAN --> CRYSTAL :')"_f);
  print_rows(run, run.transf.Minv);
  to_lst(run, "('  ')"_f);
  to_out(run, "('  ')"_f);
}

Cell r_cell(const Cell& cell) {
  const float a = cell[0], b = cell[1], c = cell[2];
  const float ca = cosd(cell[3]), cb = cosd(cell[4]), cg = cosd(cell[5]);
  const float sa = sind(cell[3]), sb = sind(cell[4]), sg = sind(cell[5]);
  const float v = a * b * c * std::sqrt(1.0f - ca * ca - cb * cb - cg * cg + 2.0f * ca * cb * cg);
  auto asin_clamped = [](float x) { return asind(std::clamp(x, -1.0f, 1.0f)); };
  return {b * c * sa / v,
          a * c * sb / v,
          a * b * sg / v,
          asin_clamped(v / (a * b * c * sb * sg)),
          asin_clamped(v / (a * b * c * sa * sg)),
          asin_clamped(v / (a * b * c * sa * sb))};
}

}  // namespace vorn
