#include "symmetry/group_name.hpp"

#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

#include <gemmi/symmetry.hpp>

namespace vorn {

namespace {

// The operator in gemmi's integer form (twenty-fourths), translations in
// [0, 1); nullopt when a term is no multiple of 1/24.
std::optional<gemmi::Op> integer_op(const SymOp& op) {
  gemmi::Op g{};
  for (std::size_t i = 0; i < 3; ++i) {
    for (std::size_t j = 0; j < 3; ++j) {
      const double r = static_cast<double>(op.R[i][j]) * gemmi::Op::DEN;
      const double n = std::round(r);
      if (std::fabs(r - n) > 1e-3) return std::nullopt;
      g.rot[i][j] = static_cast<int>(n);
    }
    // Translations come as single-precision fractions (0.33333334 for 1/3).
    const double t = static_cast<double>(op.t[i]) * gemmi::Op::DEN;
    const double n = std::round(t);
    if (std::fabs(t - n) > 1e-3) return std::nullopt;
    g.tran[i] = static_cast<int>(n);
  }
  g.wrap();
  return g;
}

}  // namespace

GroupName group_name(const Symm& symm) {
  GroupName out;
  std::vector<gemmi::Op> ops;
  for (int k = 1; k <= symm.nsym && static_cast<std::size_t>(k) < symm.op.size(); ++k) {
    const auto g = integer_op(symm.op[static_cast<std::size_t>(k)]);
    if (!g) return out;
    ops.push_back(*g);
  }
  if (ops.empty()) return out;
  const gemmi::SpaceGroup* sg = gemmi::find_spacegroup_by_ops(gemmi::split_centering_vectors(ops));
  if (sg == nullptr) return out;
  out.hm = sg->xhm();
  out.number = sg->number;
  return out;
}

std::string operator_triplet(const SymOp& op) {
  if (const auto g = integer_op(op)) return g->triplet('x');
  // A translation of no tabulated fraction keeps its decimals.
  std::string s;
  const char* letters = "xyz";
  for (std::size_t i = 0; i < 3; ++i) {
    if (i > 0) s += ',';
    std::string row;
    for (std::size_t j = 0; j < 3; ++j) {
      const float c = op.R[i][j];
      if (c == 0.0f) continue;
      char buf[32];
      if (c == 1.0f || c == -1.0f)
        std::snprintf(buf, sizeof buf, "%s%c", c < 0 ? "-" : (row.empty() ? "" : "+"), letters[j]);
      else
        std::snprintf(buf, sizeof buf, "%s%.6g*%c", c > 0 && !row.empty() ? "+" : "", static_cast<double>(c), letters[j]);
      row += buf;
    }
    double t = std::fmod(static_cast<double>(op.t[i]), 1.0);
    if (t < 0) t += 1.0;
    if (t != 0.0) {
      char buf[32];
      std::snprintf(buf, sizeof buf, "%s%.6g", row.empty() ? "" : "+", t);
      row += buf;
    }
    s += row.empty() ? "0" : row;
  }
  return s;
}

}  // namespace vorn
