#include "chem/hydrogens.hpp"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "base/error.hpp"
#include "base/text.hpp"
#include "io/scanner.hpp"
#include "topology/neighbors.hpp"
#include "topology/planarity.hpp"
#include "topology/search_index.hpp"

namespace vorn {

namespace {

constexpr int kC = 6, kN = 7, kO = 8, kS = 16;

bool nh2(const XhGroup& g) { return g.nx == 3 && g.nh == 2; }
bool oh(const XhGroup& g) { return g.nx == 2 && g.nh == 1 && g.has_y; }

// Standard X-H distances (neutron values). Within one parent element the
// rows are tried top to bottom, so a later row may rely on the earlier ones
// having failed, as the "otherwise" rows do.
constexpr XhClass kClasses[] = {
    {"C-C-H3", kC, [](const XhGroup& g) { return g.nx == 4 && g.nh == 3 && g.all_ch; }, 1.077f, 1.2f},
    {"X-C-H3", kC, [](const XhGroup& g) { return g.nx == 4 && g.nh == 3; }, 1.077f, 1.2f},
    {"C2-C-H2", kC, [](const XhGroup& g) { return g.nx == 4 && g.nh == 2 && g.all_ch; }, 1.092f, 1.2f},
    {"X2-C-H2", kC, [](const XhGroup& g) { return g.nx == 4 && g.nh == 2; }, 1.091f, 1.2f},
    {"C3-C-H", kC, [](const XhGroup& g) { return g.nx == 4 && g.nh == 1 && g.all_ch; }, 1.099f, 1.2f},
    {"X3-C-H", kC, [](const XhGroup& g) { return g.nx == 4 && g.nh == 1; }, 1.098f, 1.2f},
    {"aromatic C-H", kC, [](const XhGroup& g) { return g.nx == 3 && g.nh == 1 && g.x_ring; }, 1.083f, 1.2f},
    {"C-C=C-H", kC, [](const XhGroup& g) { return g.nx == 3; }, 1.082f, 1.2f},

    {"N+-H", kN, [](const XhGroup& g) { return g.nx == 4; }, 1.036f, 1.5f},
    {"C2-N-H", kN, [](const XhGroup& g) { return g.nx == 3 && g.nh == 1 && g.ncarb3 == 2; }, 1.030f, 1.5f},
    {"X2-N-H", kN, [](const XhGroup& g) { return g.nx == 3 && g.nh == 1; }, 1.027f, 1.5f},
    {"C(ar)-N-H2pl", kN, [](const XhGroup& g) { return nh2(g) && g.planar && g.has_c && g.nc == 3 && g.c_ring; },
     1.010f, 1.5f},
    {"C-N-H2 amido", kN, [](const XhGroup& g) { return nh2(g) && g.planar && g.has_c && g.nc == 3 && g.c_oxo; },
     1.010f, 1.5f},
    {"C-N-H2pl", kN, [](const XhGroup& g) { return nh2(g) && g.planar && g.has_c && g.nc == 3; }, 1.012f, 1.5f},
    {"Csp3-N-H2pl", kN, [](const XhGroup& g) { return nh2(g) && g.planar && g.has_c && g.nc == 4; }, 1.002f, 1.5f},
    {"X-N-H2pl", kN, [](const XhGroup& g) { return nh2(g) && g.planar && !g.has_c; }, 1.015f, 1.5f},
    {"C(ar)-N-H2py", kN, [](const XhGroup& g) { return nh2(g) && !g.planar && g.has_c && g.nc == 3 && g.c_ring; },
     1.024f, 1.5f},
    {"X-N-H2", kN, [](const XhGroup& g) { return nh2(g) && !g.planar && g.has_c && g.nc == 3; }, 1.015f, 1.5f},

    {"water", kO, [](const XhGroup& g) { return g.nx == 2 && g.nh == 2; }, 0.9584f, 1.5f},
    {"O-H in phenol", kO, [](const XhGroup& g) { return oh(g) && g.y_c && g.y_no == 1 && g.y_ring; }, 0.992f, 1.5f},
    {"Csp3-O-H in alcohol", kO, [](const XhGroup& g) { return oh(g) && g.y_c && g.y_no == 1 && g.ny == 4; },
     0.970f, 1.5f},
    {"C-O-H any", kO, [](const XhGroup& g) { return oh(g) && g.y_c && g.y_no == 1; }, 0.980f, 1.5f},
    {"O-H in acid", kO, [](const XhGroup& g) { return oh(g) && g.y_c && g.y_no == 2 && g.o2_n == 1; }, 1.018f, 1.5f},
    {"O-H in ether", kO, [](const XhGroup& g) { return oh(g) && g.y_c && g.y_no == 2; }, 0.980f, 1.5f},
    {"O-H in Pacid", kO, [](const XhGroup& g) { return oh(g) && !g.y_c && (g.y_no == 3 || g.y_no == 4); }, 1.015f,
     1.5f},
    {"X-OH", kO, [](const XhGroup& g) { return oh(g) && !g.y_c; }, 0.983f, 1.5f},

    {"S-H", kS, [](const XhGroup&) { return true; }, 1.338f, 1.5f},
};

const NeighborRec& nei(const Run& run, int atom) { return run.neighbors[static_cast<std::size_t>(atom)]; }
int iz(const Run& run, int atom) { return run.atoms.iz[static_cast<std::size_t>(atom)]; }
int nnei(const Run& run, int atom) { return nei(run, atom).nnei; }

// Neighbours of the atom in distance order.
std::span<const int> neighbours(const Run& run, int atom) {
  const NeighborRec& r = nei(run, atom);
  const std::size_t n = std::min(static_cast<std::size_t>(std::max(r.nnei, 0)), r.inei.empty() ? 0 : r.inei.size() - 1);
  if (n == 0) return {};
  return std::span<const int>(r.inei).subspan(1, n);
}

int count_element(const Run& run, int atom, int z) {
  auto n = neighbours(run, atom);
  return static_cast<int>(std::count_if(n.begin(), n.end(), [&](int k) { return iz(run, k) == z; }));
}

bool in_planar_ring(Run& run, int atom) {
  const RingTest t = isitcyclic(run, atom);
  return t.l1plan == 1 || t.l2plan == 1;
}

void describe_nitrogen(Run& run, int parent, XhGroup& g) {
  if (g.nx != 3) return;
  for (int k : neighbours(run, parent))
    if (iz(run, k) == kC && nnei(run, k) == 3) ++g.ncarb3;
  if (g.nh != 2) return;
  const std::vector<int> group = collectnei(run, parent);
  g.planar = planarity(run, 0, group, 3) == 1;
  int c = 0;
  for (int k : neighbours(run, parent))
    if (iz(run, k) == kC) c = k;
  if (c == 0) return;
  g.has_c = true;
  g.nc = nnei(run, c);
  g.c_ring = in_planar_ring(run, c);
  for (int k : neighbours(run, c))
    if (iz(run, k) == kO && nnei(run, k) == 1) g.c_oxo = true;
}

void describe_oxygen(Run& run, int parent, int h, XhGroup& g) {
  if (g.nx != 2 || g.nh != 1) return;
  // Y is the neighbour of X other than the hydrogen: by distance the second,
  // but chosen by identity so that a long O-H cannot swap the two.
  int y = 0;
  for (int k : neighbours(run, parent))
    if (k != h) {
      y = k;
      break;
    }
  if (y == 0) return;
  g.has_y = true;
  g.y_c = iz(run, y) == kC;
  g.ny = nnei(run, y);
  g.y_no = count_element(run, y, kO);
  if (g.y_no == 0) err("ExtendH", "Error 1 in Y-O-H");
  if (!g.y_c) return;
  g.y_ring = in_planar_ring(run, y);
  if (g.y_no == 2) {
    int o2 = 0;
    for (int k : neighbours(run, y))
      if (iz(run, k) == kO && k != parent) o2 = k;
    if (o2 == 0) err("ExtendH", "Error 2 in Y-O-H");
    g.o2_n = nnei(run, o2);
  }
}

// ---------------------------------------------------------------------------
// Listing and file lines.

void trying_line(Run& run, std::string_view h) {
  to_lst(run, "(/3a)"_f, " Trying to extend hydrogen ", h, " to standard distance :");
}

void group_line(Run& run, std::string_view x, std::string_view h, std::string_view text) {
  to_lst(run, "(3x,'X-H group : ',a,'-',a,' >',2x,a,a,f7.3,' /',f7.3,' Angstroms')"_f, x, h, text);
}

// The two lines of a hydrogen that is classified, as one record group; with
// no distances the record ends after the text.
constexpr const ff::Format& kTryingAndGroup =
    "(/' Trying to extend hydrogen ',a,' to standard distance :',/,"
    "3x,'X-H group : ',a,'-',a,' >',2x,a,a,f7.3,' /',f7.3,' Angstroms')"_f;

// One formatted record without its line end.
template <class... Ts>
std::string field(const ff::Format& fmt, const Ts&... args) {
  std::string s = ff::format(fmt, args...);
  while (!s.empty() && s.back() == '\n') s.pop_back();
  return s;
}

void write_reset(Run& run, std::string_view x, std::string_view h, float d) {
  // One complete line per hydrogen; the distance field ends it, so the line
  // has no trailing blanks.
  ff::write(*run.reset, "('RESET BOND  ',a,' ',a,f6.3)"_f, x, h, d);
}

// The atom's 10-character residue reference, or nullopt when the input has
// no residues or the reference is missing. A generated atom answers with its
// source atom's reference.
std::optional<std::string> residue_name(const Run& run, int atom) {
  if (!run.shelx.resi) return std::nullopt;
  int a = atom;
  if (a > run.atoms.nat && static_cast<std::size_t>(a) < run.cryst.isq.size()) a = run.cryst.isq[static_cast<std::size_t>(a)];
  if (a < 1 || static_cast<std::size_t>(a) >= run.shelx.resshort.size()) return std::nullopt;
  return pad(run.shelx.resshort[static_cast<std::size_t>(a)], 10);
}

// The ratio line of the hydrogen, kept blank-padded to 100 characters in
// place of the text kept before, put together in the run's line buffer.
// (The restraint line beside it is written to the MoPro file.)
template <class... Ts>
void keep_ratio(Run& run, int h, const ff::Format& fmt, const Ts&... args) {
  ff::ItemList items;
  (ff::add(items, args), ...);
  std::string& line = run.atom_line;
  line.clear();
  ff::format_append(line, fmt, items.view());
  while (!line.empty() && line.back() == '\n') line.pop_back();
  run.uratio.set(static_cast<std::size_t>(h), line);
}

// The text as Aw writes it for a text of at most w characters: right-justified.
ff::Columns& right_in(ff::Columns& c, std::string_view t, std::size_t w) { return c.blanks(w - t.size()).text(t); }

// The restraint line (distan) and the ratio line of the hydrogen.
void write_mopro(Run& run, int parent, int h, std::string_view xl, std::string_view hl, float d, float ur,
                 bool distan) {
  const auto rx = residue_name(run, parent);
  const auto rh = residue_name(run, h);
  if (rx && rh) {
    if (distan) ff::write(*run.resm, "(A,A,2X,A,1X,f6.3,2X,A)"_f, "DISTAN   ", *rx, *rh, d, "0.001");
    keep_ratio(run, h, "('URATIO      ',A,2X,A,1X,f6.1,2X,A)"_f, *rx, *rh, ur, "0.01");
    return;
  }
  if (run.shelx.resi)
    to_lst(run, "(3x,'Note : no residue name for ',a,' or ',a,'; MoPro lines use residue 1')"_f, xl, hl);
  const std::string mx = erbras(run.atoms.label[static_cast<std::size_t>(parent)]);
  const std::string mh = erbras(run.atoms.label[static_cast<std::size_t>(h)]);
  const std::string_view nx = rtrim(mx), nh = rtrim(mh);
  // The names go in A5 fields; a longer name is written in full rather than
  // cut to a different atom's name.
  if (nx.size() <= 5 && nh.size() <= 5) {
    if (distan) ff::write(*run.resm, "(A,A5,1X,I1,2X,A5,1X,I1,1X,f6.3,1X,A)"_f, "DISTAN   ", nx, 1, nh, 1, d, "0.001");
    // As "('URATIO      ',A5,1X,I1,2X,A5,1X,I1,1X,f6.1,1X,A)" writes it.
    ff::Columns c(run.atom_line, 64);
    right_in(c.text("URATIO      "), nx, 5).text(" 1  ");
    right_in(c, nh, 5).text(" 1 ");
    if (c.fixed_field(ur, 6, 1)) {
      c.text(" 0.01").done();
      run.uratio.set(static_cast<std::size_t>(h), run.atom_line);
    } else {
      keep_ratio(run, h, "('URATIO      ',A5,1X,I1,2X,A5,1X,I1,1X,f6.1,1X,A)"_f, nx, 1, nh, 1, ur, "0.01");
    }
  } else {
    const std::string fx = nx.size() <= 5 ? field("(a5)"_f, nx) : std::string(nx);
    const std::string fh = nh.size() <= 5 ? field("(a5)"_f, nh) : std::string(nh);
    if (distan) ff::write(*run.resm, "(A,A,1X,I1,2X,A,1X,I1,1X,f6.3,1X,A)"_f, "DISTAN   ", fx, 1, fh, 1, d, "0.001");
    keep_ratio(run, h, "('URATIO      ',A,1X,I1,2X,A,1X,I1,1X,f6.1,1X,A)"_f, fx, 1, fh, 1, ur, "0.01");
  }
}

void write_constraints(Run& run, int parent, int h, std::string_view xl, std::string_view hl, float d) {
  // The two atom numbers as the constraint lines write them, without blanks.
  const ff::IntText pt(parent), qt(h);
  const std::string_view p = pt.in_width(8), q = qt.in_width(8);
  ff::write(*run.cbond,
            "('!',/,'! ',a,' - ',a,' = ',f9.3,' Angstroms',/,'!',/,"
            "'CON 1 X/',a,' -1 X/',a,' = 0',/,"
            "'CON 1 Y/',a,' -1 Y/',a,' = 0',/,"
            "'CON 1 Z/',a,' -1 Z/',a,' = 0')"_f,
            xl, hl, d, p, q, p, q, p, q);
}

void check_atom(const Run& run, int atom, std::string_view what) {
  const int n = std::max(run.cryst.ncryst, run.atoms.nat);
  if (atom < 1 || atom > n || static_cast<std::size_t>(atom) >= run.atoms.xc.size())
    err("ExtendH", std::string(what) + " index " + std::to_string(atom) + " is outside the atom table (1.." +
                       std::to_string(n) + ")");
}

}  // namespace

std::span<const XhClass> xh_classes() { return kClasses; }

const XhClass* classify(const XhGroup& g) {
  for (const XhClass& c : kClasses)
    if (c.z == g.z && c.fits(g)) return &c;
  return nullptr;
}

float xh_uratio(int z) {
  if (z == kC) return 1.2f;
  if (z == kN || z == kO || z == kS) return 1.5f;
  return 0.0f;
}

XhGroup describe_group(Run& run, int parent, int h) {
  const auto& f = run.forh[static_cast<std::size_t>(h)];
  XhGroup g;
  g.nx = f[0];
  g.z = f[1];
  g.nh = f[2];
  auto n = neighbours(run, parent);
  g.all_ch = std::all_of(n.begin(), n.end(), [&](int k) { return iz(run, k) == 1 || iz(run, k) == kC; });
  if (g.z == kC) g.x_ring = in_planar_ring(run, parent);
  if (g.z == kN) describe_nitrogen(run, parent, g);
  if (g.z == kO) describe_oxygen(run, parent, h, g);
  return g;
}

float extendbond(const Vec3& x, Vec3& h, float d) {
  const Vec3 v = sub(h, x);
  const float r = rlength(v);
  if (r > 0.0f) h = add(x, scale(v, d / r));
  return r;
}

void ExtendH(Run& run, int parent, int h) {
  check_atom(run, parent, "parent atom");
  check_atom(run, h, "hydrogen atom");
  const auto up = static_cast<std::size_t>(parent), uh = static_cast<std::size_t>(h);
  if (uh >= run.forh.size() || up >= run.neighbors.size())
    err("ExtendH", "no parent description for hydrogen " + std::to_string(h));
  if (run.uratio.size() <= uh) run.uratio.resize(uh + 1);
  const std::string_view xl = rtrim(run.atoms.label[up]);
  const std::string_view hl = rtrim(run.atoms.label[uh]);

  if (run.atoms1.flag[uh] == -1 && run.ctl.idisH == 0) {
    group_line(run, xl, hl, "H-ATOM IS DISORDERED");
    return;
  }
  const int z = run.forh[uh][1];
  if (z != kC && z != kN && z != kO && z != kS) {
    trying_line(run, hl);
    group_line(run, xl, hl, "DON'T KNOW HOW TO HANDLE");
    return;
  }
  if (dist(run.atoms.xc[up], run.atoms.xc[uh]) <= 0.0f) {
    trying_line(run, hl);
    err("ExtendH", "hydrogen " + std::string(hl) + " lies on its parent atom " + std::string(xl));
  }

  // The group is identified before the first line is printed, so that both
  // lines go out in one call; a stop on the way still shows the first.
  XhGroup g;
  try {
    g = describe_group(run, parent, h);
  } catch (...) {
    trying_line(run, hl);
    throw;
  }
  const XhClass* cls = classify(g);
  float d = 0;
  if (cls != nullptr) {
    d = cls->d;
    const float dold = extendbond(run.atoms.xc[up], run.atoms.xc[uh], d);
    atom_moved(run, h);
    to_lst(run, kTryingAndGroup, hl, xl, hl, cls->name, " =", dold, d);
    if (run.ctl.ifrac == 1) run.atoms.xf[uh] = to_frac(run.transf, run.atoms.xc[uh]);
    // The parent's working neighbour list sees the hydrogen at its new place.
    run.iprint = 0;
    GetNei(run, parent, 0.0f);
  } else {
    d = dist(run.atoms.xc[up], run.atoms.xc[uh]);
    to_lst(run, kTryingAndGroup, hl, xl, hl, "NOT IDENTIFIED");
  }

  const float ur = cls != nullptr ? cls->uratio : xh_uratio(z);
  if (parent > run.atoms.nat) {
    // The parent is an image made by fragment completion. The bond and
    // constraint lines could only name its asymmetric-unit atom, which is
    // elsewhere, or a number that XD takes for a dummy atom. The ratio line
    // stays: the image has the same Ueq as its source.
    to_both(run, "(3x,'Note : the parent of ',a,' is a symmetry image of ',a,' : no RESET BOND, DISTAN or CON lines for it')"_f,
            hl, xl);
    write_mopro(run, parent, h, xl, hl, d, ur, false);
    return;
  }
  write_reset(run, xl, hl, d);
  write_mopro(run, parent, h, xl, hl, d, ur, true);
  write_constraints(run, parent, h, xl, hl, d);
}

}  // namespace vorn
