// Small molecules and crystals built in code for the topology tests, with
// textbook geometry: aromatic C-C 1.39-1.40 A, C(sp3)-C 1.53 A, C-H 1.08-1.09 A.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "support/builders.hpp"

namespace vorn::test {

inline Vec3 unit(const Vec3& v) { return scale(v, 1.0f / rlength(v)); }

// The cell and its matrices (X along a, Y in the a-b plane, Z along c*).
inline void set_cell(Run& run, float a, float b, float c, float al, float be, float ga) {
  run.ucell = {a, b, c, al, be, ga};
  const float ca = cosd(al), cb = cosd(be), cg = cosd(ga), sg = sind(ga);
  const float c2 = c * (ca - cb * cg) / sg;
  const float c3 = std::sqrt(c * c - (c * cb) * (c * cb) - c2 * c2);
  Mat3 m{{{a, b * cg, c * cb}, {0.0f, b * sg, c2}, {0.0f, 0.0f, c3}}};
  run.transf.M = m;
  // Upper triangular, so the inverse is written out directly.
  Mat3 v{};
  v[0][0] = 1.0f / m[0][0];
  v[1][1] = 1.0f / m[1][1];
  v[2][2] = 1.0f / m[2][2];
  v[0][1] = -m[0][1] / (m[0][0] * m[1][1]);
  v[1][2] = -m[1][2] / (m[1][1] * m[2][2]);
  v[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) / (m[0][0] * m[1][1] * m[2][2]);
  run.transf.Minv = v;
}

// Operator list: identity first, then the given ones.
inline void set_ops(Run& run, const std::vector<SymOp>& extra) {
  run.symm.op.assign(1, SymOp{});
  SymOp id;
  id.R = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
  run.symm.op.push_back(id);
  for (const auto& op : extra) run.symm.op.push_back(op);
  run.symm.nsym = static_cast<int>(run.symm.op.size()) - 1;
}

inline SymOp op(Mat3 r, Vec3 t) {
  SymOp o;
  o.R = r;
  o.t = t;
  return o;
}
inline SymOp inversion() { return op({{{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}}}, {0, 0, 0}); }
// P21/c: -x, y+1/2, -z+1/2 (with the inversion added separately).
inline SymOp screw_b() { return op({{{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}}}, {0, 0.5f, 0.5f}); }
inline SymOp glide_c() { return op({{{1, 0, 0}, {0, -1, 0}, {0, 0, 1}}}, {0, 0.5f, 0.5f}); }

inline Cart at(const Cart& o, const Vec3& d) { return Cart(add(o, d)); }

// prefix + number + tag, as atom labels are made here.
inline std::string name(const char* prefix, int n, const std::string& tag = "") {
  std::string s(prefix);
  s += std::to_string(n);
  s += tag;
  return s;
}

// A regular hexagon of carbons (bond d) in the plane spanned by u and v
// around the centre, first atom along u, with hydrogens 1.08 A outwards.
// Returns the carbon indices.
inline std::vector<int> benzene(Run& run, const Cart& centre, const std::string& tag = "", bool hydrogens = true,
                                const Vec3& u = {1, 0, 0}, const Vec3& v = {0, 1, 0}, float d = 1.39f) {
  std::vector<int> c;
  for (int i = 0; i < 6; ++i) {
    const float th = 60.0f * static_cast<float>(i);
    const Vec3 dir = add(scale(u, cosd(th)), scale(v, sind(th)));
    c.push_back(add_atom(run, name("C", i + 1, tag), at(centre, scale(dir, d))));
  }
  if (hydrogens)
    for (int i = 0; i < 6; ++i) {
      const float th = 60.0f * static_cast<float>(i);
      const Vec3 dir = add(scale(u, cosd(th)), scale(v, sind(th)));
      add_atom(run, name("H", i + 1, tag), at(centre, scale(dir, d + 1.08f)));
    }
  return c;
}

// Naphthalene in the xy plane, C-C 1.40 A: C1-C4, C4A, C5-C8, C8A, then
// the eight hydrogens.
inline void naphthalene(Run& run) {
  const float r = 1.40f, h = r * 0.8660254f;
  const std::vector<std::pair<std::string, Vec3>> c = {
      {"C1", {h, r, 0}},        {"C2", {2 * h, r / 2, 0}},   {"C3", {2 * h, -r / 2, 0}},
      {"C4", {h, -r, 0}},       {"C4A", {0, -r / 2, 0}},     {"C5", {-h, -r, 0}},
      {"C6", {-2 * h, -r / 2, 0}}, {"C7", {-2 * h, r / 2, 0}}, {"C8", {-h, r, 0}},
      {"C8A", {0, r / 2, 0}}};
  for (const auto& [name, x] : c) add_atom(run, name, Cart(x));
  const std::vector<std::pair<std::string, Vec3>> ring_centre_of = {
      {"H1", {h, 0, 0}},  {"H2", {h, 0, 0}},  {"H3", {h, 0, 0}},  {"H4", {h, 0, 0}},
      {"H5", {-h, 0, 0}}, {"H6", {-h, 0, 0}}, {"H7", {-h, 0, 0}}, {"H8", {-h, 0, 0}}};
  const int outer[8] = {1, 2, 3, 4, 6, 7, 8, 9};
  for (int i = 0; i < 8; ++i) {
    const Vec3& x = run.atoms.xc[static_cast<std::size_t>(outer[i])];
    const Vec3 out = unit(sub(x, ring_centre_of[static_cast<std::size_t>(i)].second));
    add_atom(run, ring_centre_of[static_cast<std::size_t>(i)].first, Cart(add(x, scale(out, 1.08f))));
  }
}

// Cyclohexane chair: carbons 1.44 A from the axis, +-0.25 A above and below
// the mean plane (C-C 1.524 A), with axial and equatorial hydrogens.
inline std::vector<int> cyclohexane_chair(Run& run, const Cart& centre) {
  std::vector<int> c;
  for (int i = 0; i < 6; ++i) {
    const float th = 60.0f * static_cast<float>(i);
    const float z = (i % 2 == 0) ? 0.25f : -0.25f;
    c.push_back(add_atom(run, name("C", i + 1), at(centre, {1.44f * cosd(th), 1.44f * sind(th), z})));
  }
  for (int i = 0; i < 6; ++i) {
    const Vec3& x = run.atoms.xc[static_cast<std::size_t>(c[static_cast<std::size_t>(i)])];
    const float up = (i % 2 == 0) ? 1.0f : -1.0f;
    const float th = 60.0f * static_cast<float>(i);
    const Vec3 radial{cosd(th), sind(th), 0.0f};
    add_atom(run, name("H", i + 1, "A"), Cart(add(x, {0.0f, 0.0f, up * 1.09f})));
    add_atom(run, name("H", i + 1, "B"), Cart(add(x, scale(unit(add(radial, {0, 0, -0.33f * up})), 1.09f))));
  }
  return c;
}

// Hydrogens on an sp3 carbon with the given bonded neighbours (1 or 2).
inline void sp3_hydrogens(Run& run, int ic, const std::vector<int>& nbr, const std::string& tag) {
  const Vec3 x = run.atoms.xc[static_cast<std::size_t>(ic)];
  std::vector<Vec3> dirs;
  if (nbr.size() == 2) {
    const Vec3 a = unit(sub(run.atoms.xc[static_cast<std::size_t>(nbr[0])], x));
    const Vec3 b = unit(sub(run.atoms.xc[static_cast<std::size_t>(nbr[1])], x));
    const Vec3 out = unit(scale(add(a, b), -1.0f));
    const Vec3 perp = unit(vmult(a, b));
    dirs = {add(scale(out, 0.5774f), scale(perp, 0.8165f)), add(scale(out, 0.5774f), scale(perp, -0.8165f))};
  } else {
    const Vec3 axis = unit(scale(sub(run.atoms.xc[static_cast<std::size_t>(nbr[0])], x), -1.0f));
    Vec3 p = unit(vmult(axis, {0.0f, 0.0f, 1.0f}));
    if (rlength(vmult(axis, {0, 0, 1})) < 0.1f) p = unit(vmult(axis, {1.0f, 0.0f, 0.0f}));
    const Vec3 q = vmult(axis, p);
    for (int k = 0; k < 3; ++k) {
      const float ph = 120.0f * static_cast<float>(k);
      dirs.push_back(add(scale(axis, 0.3338f), scale(add(scale(p, cosd(ph)), scale(q, sind(ph))), 0.9426f)));
    }
  }
  char c = 'A';
  for (const auto& d : dirs) add_atom(run, "H" + tag + (c++), Cart(add(x, scale(d, 1.09f))));
}

// n-alkane zigzag chain C1..Cn (C-C 1.53 A, C-C-C 112 deg) with hydrogens.
inline std::vector<int> alkane(Run& run, int n, const Cart& origin) {
  std::vector<int> c;
  for (int i = 0; i < n; ++i)
    c.push_back(add_atom(run, name("C", i + 1),
                         at(origin, {1.2686f * static_cast<float>(i), (i % 2 == 0) ? 0.0f : 0.8553f, 0.0f})));
  for (int i = 0; i < n; ++i) {
    std::vector<int> nb;
    if (i > 0) nb.push_back(c[static_cast<std::size_t>(i - 1)]);
    if (i + 1 < n) nb.push_back(c[static_cast<std::size_t>(i + 1)]);
    sp3_hydrogens(run, c[static_cast<std::size_t>(i)], nb, std::to_string(i + 1));
  }
  return c;
}

// The text with trailing blanks cut from every line: for layouts that end in
// an nX whose blanks carry no information.
inline std::string trimmed_lines(const std::string& text) {
  std::string out;
  for (const auto& l : lines_of(text)) {
    out += std::string(rtrim(l));
    out += '\n';
  }
  return out;
}

inline bool has_line(const std::string& text, const std::string& line) {
  for (const auto& l : lines_of(text))
    if (l == line) return true;
  return false;
}

}  // namespace vorn::test
