#include "symmetry/oplist.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <set>

namespace vorn {

namespace {

constexpr int D = gemmi::Op::DEN;

gemmi::Op::Rot inversion_rot() { return {{{-D, 0, 0}, {0, -D, 0}, {0, 0, -D}}}; }

// Why the operator is no crystallographic operation, or "".
std::string op_fault(const gemmi::Op& op) {
  for (const auto& row : op.rot)
    for (int v : row)
      if (v % D != 0) return "operator " + op.triplet() + " has a rotation entry that is not a whole number";
  const int det = op.det_rot();
  if (det != D * D * D && det != -D * D * D)
    return "operator " + op.triplet() + " has a rotation part of determinant other than +1 or -1";
  return {};
}

// Decimal translations ("x+0.5", "0.25-y") as 24ths, which gemmi's triplet
// parser takes as fractions; a decimal that is no multiple of 1/24 stays
// and is refused by the parser.
std::string decimals_as_fractions(const std::string& text) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if ((c >= '0' && c <= '9') || c == '.') {
      std::size_t j = i;
      while (j < text.size() && ((text[j] >= '0' && text[j] <= '9') || text[j] == '.')) ++j;
      const std::string num = text.substr(i, j - i);
      const bool fraction_part = (i > 0 && text[i - 1] == '/') || (j < text.size() && text[j] == '/');
      if (num.find('.') != std::string::npos && !fraction_part) {
        char* end = nullptr;
        const double v = std::strtod(num.c_str(), &end);
        const double k = std::round(v * D);
        if (end == num.c_str() + num.size() && std::fabs(v * D - k) < 0.01) {
          out += std::to_string(static_cast<long>(k)) + "/" + std::to_string(D);
          i = j;
          continue;
        }
      }
      out += num;
      i = j;
      continue;
    }
    out.push_back(c);
    ++i;
  }
  return out;
}

}  // namespace

bool parse_operator(const std::string& text, gemmi::Op& op, std::string& why) {
  const std::string triplet = decimals_as_fractions(text);
  // gemmi multiplies the numbers of a triplet as long integers: a number of
  // many digits overflows there, and no operator needs more than a few.
  std::size_t digits = 0;
  for (char c : triplet) {
    digits = c >= '0' && c <= '9' ? digits + 1 : 0;
    if (digits > 6) {
      why = "a number in it has more than 6 digits";
      return false;
    }
  }
  try {
    op = gemmi::parse_triplet(triplet);
  } catch (const std::exception& e) {
    why = e.what();
    return false;
  }
  why = op_fault(op);
  return why.empty();
}

OpList check_op_list(const std::vector<gemmi::Op>& ops) {
  OpList r;
  std::set<gemmi::Op> seen;
  bool identity = false;
  for (const gemmi::Op& as_given : ops) {
    std::string f = op_fault(as_given);
    if (!f.empty()) {
      r.fault = f;
      return r;
    }
    gemmi::Op op = as_given;
    op.wrap();
    if (!seen.insert(op).second) {
      ++r.dropped;
      continue;
    }
    if (op == gemmi::Op::identity()) {
      identity = true;
      r.ops.insert(r.ops.begin(), op);
      r.given.insert(r.given.begin(), gemmi::Op::identity());
    } else {
      r.ops.push_back(op);
      r.given.push_back(as_given);
    }
  }
  if (!identity) {
    r.fault = "the identity x,y,z is not among the operators";
    return r;
  }
  // The largest space groups (F-centred cubic) have 192 operators; the
  // closure test below costs the square of the count.
  if (r.ops.size() > 192) {
    r.fault = std::to_string(r.ops.size()) + " distinct operators: more than any space group has (192)";
    return r;
  }
  for (const gemmi::Op& a : r.ops)
    for (const gemmi::Op& b : r.ops)
      if (!seen.count(a * b)) {
        r.fault = "the operators form no group: the product of " + a.triplet() + " and " + b.triplet() + ", " +
                  (a * b).triplet() + ", is not among them";
        return r;
      }
  return r;
}

XdSymmetry reduce_for_xd(const std::vector<gemmi::Op>& group) {
  XdSymmetry x;
  gemmi::GroupOps g = gemmi::split_centering_vectors(group);
  const char c = g.find_centering();
  if (c != 'P' && c != 'A' && c != 'B' && c != 'C' && c != 'I' && c != 'F') {
    for (std::size_t k = 1; k < group.size(); ++k) x.cards.push_back(group[k]);
    return x;
  }
  x.letter = c;
  const gemmi::Op inversion{inversion_rot(), {0, 0, 0}};
  for (const gemmi::Op& op : group)
    if (op == inversion) x.centro = true;
  if (!x.centro) {
    x.cards.assign(g.sym_ops.begin() + 1, g.sym_ops.end());
    return x;
  }
  // One card per pair {g, -g}: the inversion added by the reader gives the
  // other member.
  std::vector<gemmi::Op::Rot> covered{gemmi::Op::identity().rot, inversion_rot()};
  for (const gemmi::Op& op : g.sym_ops) {
    bool seen = false;
    for (const auto& r : covered) seen = seen || r == op.rot;
    if (seen) continue;
    x.cards.push_back(op);
    covered.push_back(op.rot);
    covered.push_back(op.negated_rot());
  }
  return x;
}

SymOp to_symop(const gemmi::Op& op) {
  SymOp s;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) s.R[i][j] = static_cast<float>(op.rot[i][j]) / D;
    s.t[i] = static_cast<float>(op.tran[i]) / D;
  }
  return s;
}

gemmi::Op from_symop(const SymOp& s) {
  gemmi::Op op;
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 3; ++j) op.rot[i][j] = static_cast<int>(std::lround(s.R[i][j] * D));
    op.tran[i] = static_cast<int>(std::lround(s.t[i] * D));
  }
  return op;
}

std::string card_text(const gemmi::Op& op) {
  std::string s;
  for (char c : op.triplet('x')) {
    if (c == ',')
      s += ", ";
    else
      s.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
  }
  return s;
}

int site_symmetry_order(const Run& run, const Frac& x, float tol) {
  int n = 0;
  for (int j = 1; j <= run.symm.nsym; ++j) {
    const SymOp& op = run.symm.op[static_cast<std::size_t>(j)];
    Vec3 d = sub(add(matvec(op.R, x), op.t), x);
    for (float& v : d) v -= std::round(v);
    if (rlength(matvec(run.transf.M, d)) < tol) ++n;
  }
  return std::max(n, 1);
}

}  // namespace vorn
