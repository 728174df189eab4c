#include "output/xd_master.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "base/text.hpp"
#include "control/run_sequence.hpp"
#include "output/lines.hpp"
#include "support/builders.hpp"
#include "topology/neighbors.hpp"
#include "topology/real_files.hpp"

namespace vorn::test {
namespace {

const std::string kDashes = "!" + std::string(78, '-');
const std::string kBangs(79, '!');
const std::string kKeyHeader = "KEY     XYZ --U2-- ----U3---- ------U4------- M- -D- --Q-- ---O--- ----H----";
const std::string kTableHeader = "ATOM     ATOM0    AX1 ATOM1    ATOM2   AX2 R/L TP TBL KAP LMX SITESYM  CHEMCON";
const std::string kKeyO = "O(1)    111 111111 0000000000 000000000000000 10 001 10010 1001000 100100010";
const std::string kKeyH1 = "H(1)    111 100000 0000000000 000000000000000 10 001 10000 1000000 100000000";
const std::string kKeyH2 = "H(2)    111 100000 0000000000 000000000000000 10 001 10000 1000000 100000000";
const std::string kLineO = "O(1)     DUM1      Z  O(1)     H(1)     Y   R   1  1   1   4   mm2";
const std::string kLineH1 = "H(1)     O(1)      Z  H(1)     H(2)     Y   R   1  2   2   2   cyl";
const std::string kLineH2 = "H(2)     O(1)      Z  H(2)     H(1)     Y   R   1  2   2   2   cyl     H(1)";

// A water molecule (O-H 0.96 A, H-O-H 104.5 degrees) and the per-atom loop
// over it with every key switch on; fractional input sits in a 10 A cubic
// cell, Cartesian input (PLATON, AIM2TAB) has none.
struct WaterMaster {
  TestRun t;
  vorn::Run& run = t.run;
  std::ostringstream mas;
  explicit WaterMaster(int format) {
    run.ctl.iformat = format;
    if (format == FMT_PLATON || format == FMT_AIM2TAB) {
      run.ctl.ifrac = 0;
    } else {
      run.transf.M = {{{10, 0, 0}, {0, 10, 0}, {0, 0, 10}}};
      run.transf.Minv = {{{0.1f, 0, 0}, {0, 0.1f, 0}, {0, 0, 0.1f}}};
    }
    run.mas.attach(mas);
    add_atom(run, "O(1)", Cart(5.0f, 5.0f, 5.0f));
    add_atom(run, "H(1)", Cart(5.96f, 5.0f, 5.0f));
    add_atom(run, "H(2)", Cart(4.76f, 5.93f, 5.0f));
    run.atoms1.isft[1] = 1;
    run.atoms1.isft[2] = run.atoms1.isft[3] = 2;
    for (int k = 1; k <= 7; ++k) run.ctl.lkey[static_cast<std::size_t>(k)] = true;
    findallneighbors(run);
  }
  std::vector<std::string> lines() const { return lines_of(mas.str()); }
};

// The lines from the first one equal to `from` on, n of them.
std::vector<std::string> slice(const std::vector<std::string>& l, const std::string& from, std::size_t n) {
  for (std::size_t k = 0; k < l.size(); ++k)
    if (l[k] == from) return std::vector<std::string>(l.begin() + static_cast<long>(k), l.begin() + static_cast<long>(std::min(l.size(), k + n)));
  return {};
}

TEST(GetKey, SiteSymmetryMaskUnderKeygenAll) {
  TestRun t;
  vorn::Run& r = t.run;
  add_atom(r, "C(1)", Cart(0, 0, 0));
  add_atom(r, "H(1)", Cart(1.09f, 0, 0));
  add_atom(r, "N(1)", Cart(5, 5, 5));
  r.atoms.sitesym[1] = "mm2  ";
  r.atoms.sitesym[2] = "cyl  ";
  r.atoms.sitesym[3] = "2/m  ";
  // KEYGEN *XYZUIJ *all ordered *MULT *all
  for (int k : {1, 2, 4, 5}) r.ctl.lkey[static_cast<std::size_t>(k)] = true;
  EXPECT_EQ(getkey(r, 1), "111 111111 0000000000 000000000000000 10 001 10010 1001000 100100010");
  EXPECT_EQ(getkey(r, 2), "111 100000 0000000000 000000000000000 10 001 10000 1000000 100000000");
  EXPECT_EQ(getkey(r, 3), "111 111111 0000000000 000000000000000 10 000 10011 0000000 100110011");
  // A code outside the table leaves the multipoles fixed.
  r.atoms.sitesym[3] = "5m   ";
  EXPECT_EQ(getkey(r, 3), "111 111111 0000000000 000000000000000 00 000 00000 0000000 000000000");
}

TEST(GetKey, DisorderedAtomsUnderOrderedAndAll) {
  TestRun t;
  vorn::Run& r = t.run;
  add_atom(r, "C(1)", Cart(0, 0, 0), 0.5f);
  r.atoms1.flag[1] = -1;
  r.atoms.sitesym[1] = "NO   ";
  for (int k : {1, 3, 4, 6}) r.ctl.lkey[static_cast<std::size_t>(k)] = true;  // ordered only
  EXPECT_EQ(getkey(r, 1), "000 000000 0000000000 000000000000000 00 000 00000 0000000 000000000");
  r.atoms1.flag[1] = 0;
  EXPECT_EQ(getkey(r, 1), "111 111111 0000000000 000000000000000 10 111 11111 1111111 111111111");
  r.atoms1.flag[1] = -1;
  r.ctl.lkey[2] = r.ctl.lkey[5] = true;
  EXPECT_EQ(getkey(r, 1), "111 111111 0000000000 000000000000000 10 111 11111 1111111 111111111");
  // Simple conversion: positions and U only.
  r.ctl.itoxd = 1;
  EXPECT_EQ(getkey(r, 1), "111 111111 0000000000 000000000000000 00 000 00000 0000000 000000000");
  // No KEYGEN line: everything fixed.
  r.ctl.itoxd = 0;
  r.ctl.lkey = {};
  EXPECT_EQ(getkey(r, 1), "000 000000 0000000000 000000000000000 00 000 00000 0000000 000000000");
}

TEST(LocalDef, ShelxInputGivesTheWholeFileAfterTheHead) {
  WaterMaster w(FMT_SHELX);
  localdef(w.run);
  const std::vector<std::string> l = w.lines();
  ASSERT_GE(l.size(), 40u);
  const std::vector<std::string> head = {
      kTableHeader,
      kLineO,
      kLineH1,
      kLineH2,
      "DUM1        0.536000    0.546500    0.500000",
      "END ATOM",
      kDashes,
      "KEEP  kappa    1   2",
      "KEEP  charge group1",
      "!KEEP  rigid group1",
      "!RESET bond C(1) H(1) 1.09 ...",
      "WEIGHT     -2.00000    0.00000    0.00000    0.00000    0.00000    0.33333",
      "SKIP  obs 0. 1.d10 *sigobs 3. 1.d06 sinthl 0. 2.",
      "PRINT sinthl .0 2. obs 0. 15. delta 0. 10. *del% 80 100 extcn 80. 100. *abssc",
      "!EXTCN  *iso aniso *type_1 type_2 type_3 distr_g *distr_l msc_0  msc_1",
      "!DMSDA  1.1  1.8",
      "!FOUR  fmod1 4 2 0 0  fmod2 -1 2 0 0",
      "!CON  num1 par1/iat1 num2 par2/iat2 ... = num0",
      kDashes,
      kKeyHeader,
      kKeyO,
      kKeyH1,
      kKeyH2,
      "KAPPA   110000",
      "KAPPA   100000",
      "EXTCN   0000000",
      "OVTHP   0",
      "SCALE   1",
      "END KEY",
      kDashes,
      "!",
      "   END XDLSM",
      "!",
      kBangs,
      "!",
      "   MODULE *XDPROP",
  };
  for (std::size_t k = 0; k < head.size(); ++k) EXPECT_EQ(l[k], head[k]) << "line " << k + 1;
  // The module blocks: 61 lines, the lattice-energy line with -nat.
  EXPECT_EQ(l.size(), 34u + 61u);
  EXPECT_EQ(slice(l, "!LATEN  frag1 1   -3  *neutral", 1).size(), 1u);
  const std::vector<std::string> tail(l.end() - 6, l.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"   END XDPROP", kBangs, "   MODULE XDGEOM",
                                            "SELECT   rmin 0.8 rmax 1.8  tor *ato *bon *ang loc non", "   END  XDGEOM",
                                            kBangs}));
  EXPECT_EQ(w.run.atoms.nat, 3);
  // Standard output: a blank line, then the header and the atom lines.
  EXPECT_NE(w.t.out.str().find("\n" + kTableHeader + "\n " + kLineO + "\n"), std::string::npos);
}

TEST(LocalDef, AngFileListsAtomsAndDummiesInAngstrom) {
  WaterMaster w(FMT_SHELX);
  localdef(w.run);
  expect_lines(w.t.read("vorn.ang"), {
                                         "ANGSTROM",
                                         "ATOM O(1)               5.0000        5.0000        5.0000",
                                         "ATOM H(1)               5.9600        5.0000        5.0000",
                                         "ATOM H(2)               4.7600        5.9300        5.0000",
                                         "ATOM Li(1)          5.3600        5.4650        5.0000",
                                     });
  EXPECT_TRUE(w.t.lst.str().find("\n " + std::string(79, '-') + "\n Working with atom       2 : [H(1)    ]     occ =     1.0000\n") !=
              std::string::npos);
}

// Ten water molecules: ten midpoint dummies, the tenth named in full.
TEST(LocalDef, AngFileNamesDummiesAboveNineInFull) {
  TestRun t;
  vorn::Run& r = t.run;
  std::ostringstream mas;
  r.mas.attach(mas);
  r.transf.M = {{{40, 0, 0}, {0, 40, 0}, {0, 0, 40}}};
  r.transf.Minv = {{{0.025f, 0, 0}, {0, 0.025f, 0}, {0, 0, 0.025f}}};
  for (int k = 0; k < 10; ++k) {
    const float x = 2.0f + 3.5f * static_cast<float>(k);
    const std::string n = std::to_string(k + 1);
    add_atom(r, "O(" + n + ")", Cart(x, 5.0f, 5.0f));
    add_atom(r, "H(" + n + "1)", Cart(x + 0.96f, 5.0f, 5.0f));
    add_atom(r, "H(" + n + "2)", Cart(x - 0.24f, 5.93f, 5.0f));
  }
  findallneighbors(r);
  localdef(r);
  EXPECT_EQ(r.dummy.n, 10);
  const std::vector<std::string> ang = lines_of(t.read("vorn.ang"));
  ASSERT_EQ(ang.size(), 1u + 30u + 10u);
  EXPECT_EQ(ang[31], "ATOM Li(1)          2.3600        5.4650        5.0000");
  EXPECT_EQ(ang[40], "ATOM Li(10)         33.8600        5.4650        5.0000");
  EXPECT_EQ(slice(lines_of(mas.str()), "DUM10       0.846500    0.136625    0.125000", 1).size(), 1u);
}

TEST(LocalDef, KappaLinesFollowTheKappasSwitch) {
  WaterMaster w(FMT_AIM2TAB);
  w.run.ctl.lkey[7] = false;
  localdef(w.run);
  const std::vector<std::string> l = w.lines();
  EXPECT_EQ(slice(l, "KAPPA   000000", 6),
            (std::vector<std::string>{"KAPPA   000000", "KAPPA   000000", "EXTCN   0000000", "OVTHP   0", "SCALE   1",
                                      "END KEY"}));
  EXPECT_EQ(l.back(), "END KEY");
}

TEST(LocalDef, PlatonInputEndsAfterTheKappaLines) {
  WaterMaster w(FMT_PLATON);
  localdef(w.run);
  expect_lines(w.mas.str(), {kTableHeader, kLineO, kLineH1, kLineH2, "DUM1        5.360000    5.465000    5.000000",
                             "END ATOM", kKeyHeader, kKeyO, kKeyH1, kKeyH2, "KAPPA   110000", "KAPPA   100000"});
}

TEST(Wrxdmas1, TwentyOneKappaSetsContinueOnASecondLine) {
  TestRun t;
  std::ostringstream mas;
  t.run.mas.attach(mas);
  t.run.kappaset[0] = 21;
  wrxdmas1(t.run);
  const std::vector<std::string> l = lines_of(mas.str());
  ASSERT_GE(l.size(), 3u);
  EXPECT_EQ(l[1],
            "KEEP  kappa    1   2   3   4   5   6   7   8   9  10  11  12  13  14  15  16  17  18  19  20 \\");
  EXPECT_EQ(l[2], "  21");
  EXPECT_EQ(l[3], "KEEP  charge group1");
}

// An XD master file of a previous refinement of the same water molecule.
const char* const kOldMaster =
    "TITLE water   \n"
    "CELL   10.0 10.0 10.0 90.0 90.0 90.0\n"
    "atom table follows (lower case is no atom table)\n"
    "\n"
    "ATOM     ATOM0    AX1 ATOM1    ATOM2   AX2 R/L TP TBL KAP LMX SITESYM  CHEMCON\n"
    "O(1)     H(1)      X  O(1)     H(2)     Y   R   2  1   1   4   m\n"
    "ATOM lines inside the old table are dropped too\n"
    "end atom\n"
    "!  between the tables: kept as written   \n"
    "KEEP  kappa 1 2\n"
    "KEY     XYZ --U2-- ----U3---- ------U4------- M- -D- --Q-- ---O--- ----H----\n"
    "O(1)    111 111111 0000000000 000000000000000 10 110 10011 0110011 100110011\n"
    "KAPPA   110000\n"
    "extcn   1111111\n"
    "OVTHP   1\n"
    "END KEY\n"
    "   module *xdprop\n";

TEST(LocalDef, XdInputCopiesTheOldMasterFileAroundTheNewTables) {
  WaterMaster w(FMT_XD);
  w.run.ctl.xdold = pad("old.mas", 60);
  const std::string longline = "REMARK " + std::string(193, 'x') + "TAIL";
  w.t.write("old.mas", longline + "\n" + kOldMaster);
  localdef(w.run);
  expect_lines(w.mas.str(), {
                                "REMARK " + std::string(193, 'x'),  // read as 200 characters
                                "TITLE water",
                                "CELL   10.0 10.0 10.0 90.0 90.0 90.0",
                                "atom table follows (lower case is no atom table)",
                                std::string(200, ' '),
                                kTableHeader,
                                kLineO,
                                kLineH1,
                                kLineH2,
                                "DUM1        0.536000    0.546500    0.500000",
                                "END ATOM",
                                "!  between the tables: kept as written",
                                "KEEP  kappa 1 2",
                                kKeyHeader,
                                kKeyO,
                                kKeyH1,
                                kKeyH2,
                                "KAPPA   110000",
                                "KAPPA   100000",
                                "EXTCN   1111111",
                                "OVTHP   1",
                                "END KEY",
                                "   module *xdprop",
                            });
}

TEST(LocalDef, XdInputMasterFileWithoutARequiredLineStops) {
  const std::string text = kOldMaster;
  auto without = [&](const std::vector<std::string>& starts) {
    std::string out;
    std::istringstream is(text);
    for (std::string l; std::getline(is, l);) {
      bool keep = true;
      for (const std::string& s : starts) keep = keep && l.rfind(s, 0) != 0;
      if (keep) out += l + "\n";
    }
    return out;
  };
  struct Case {
    std::vector<std::string> drop;
    std::string line;
  };
  // ("END KEY" would end the old atom table too.)
  for (const Case& c : {Case{{"ATOM"}, "ATOM"}, Case{{"end atom", "END KEY"}, "END"}, Case{{"KEY "}, "KEY"},
                        Case{{"extcn"}, "EXTCN"}}) {
    WaterMaster w(FMT_XD);
    w.run.ctl.xdold = pad("old.mas", 60);
    w.t.write("old.mas", without(c.drop));
    try {
      localdef(w.run);
      ADD_FAILURE() << "no stop without " << c.line;
    } catch (const VornError& e) {
      EXPECT_EQ(e.routine(), "localdef");
      EXPECT_EQ(e.message(), "XD master file old.mas has no " + c.line + " line");
    }
  }
  WaterMaster w(FMT_XD);
  w.run.ctl.xdold = pad("missing.mas", 60);
  try {
    localdef(w.run);
    ADD_FAILURE() << "no stop";
  } catch (const VornError& e) {
    EXPECT_EQ(e.message(), "Error opening XD master file missing.mas (No such file or directory)");
  }
}

// ---------------------------------------------------------------------------
// Whole runs on the real structures.

struct Point {
  float x = 0, y = 0, z = 0;
};
Vec3 vec(const Point& p) { return {p.x, p.y, p.z}; }
Vec3 unit(const Vec3& v) { return scale(v, 1.0f / rlength(v)); }

// "ATOM name x y z" lines of a PLATON-style file, by name.
std::map<std::string, Point> atom_positions(const std::string& text, std::vector<std::string>* order = nullptr) {
  std::map<std::string, Point> out;
  for (const std::string& l : lines_of(text)) {
    if (l.rfind("ATOM ", 0) != 0) continue;
    std::istringstream is(l.substr(5));
    std::string name;
    Point p;
    if (!(is >> name >> p.x >> p.y >> p.z)) continue;
    if (order) order->push_back(name);
    out.emplace(name, p);
  }
  return out;
}

// Every atom line of xd_vorn.mas names axis atoms of the asymmetric unit or
// dummies listed after the atoms, and the frame they define in XD is the one
// the program chose (the axes drawn in vorn.spf).
void check_axis_atoms(const std::string& name, const std::string& mas, const std::string& ang,
                      const std::string& spf) {
  SCOPED_TRACE(name);
  const std::vector<std::string> l = lines_of(mas);
  std::size_t k = 0;
  while (k < l.size() && l[k] != kTableHeader) ++k;
  ASSERT_LT(k, l.size()) << "no atom table";
  std::vector<std::string> atom_lines;
  std::set<std::string> labels, dummies;
  std::map<std::string, int> uses;
  for (++k; k < l.size() && l[k] != "END ATOM"; ++k) {
    if (l[k].rfind("DUM", 0) == 0 && l[k].size() == 44) {
      dummies.insert(std::string(rtrim(l[k].substr(0, 6))));
    } else {
      atom_lines.push_back(l[k]);
      labels.insert(std::string(rtrim(l[k].substr(0, 8))));
      ++uses[std::string(rtrim(l[k].substr(0, 8)))];
    }
  }
  ASSERT_LT(k, l.size()) << "no END ATOM";
  ASSERT_FALSE(atom_lines.empty());

  // Cartesian positions: atoms by label, dummy j as Li(j).
  std::vector<std::string> order;
  const std::map<std::string, Point> pos = atom_positions(ang, &order);
  auto where = [&](const std::string& axis_atom) -> Vec3 {
    if (dummies.count(axis_atom)) return vec(pos.at("Li(" + axis_atom.substr(3) + ")"));
    return vec(pos.at(axis_atom));
  };
  // The drawn axes: the atom line and its three tips, per atom in order.
  std::vector<std::array<Vec3, 4>> drawn;
  {
    std::vector<Vec3> pts;
    for (const std::string& s : lines_of(spf)) {
      if (s.rfind("ATOM ", 0) != 0) continue;
      std::istringstream is(s.substr(5));
      std::string n;
      Point p;
      if (is >> n >> p.x >> p.y >> p.z) pts.push_back(vec(p));
    }
    for (std::size_t j = 0; j + 3 < pts.size() && drawn.size() < atom_lines.size(); j += 4)
      drawn.push_back({pts[j], pts[j + 1], pts[j + 2], pts[j + 3]});
  }
  ASSERT_EQ(drawn.size(), atom_lines.size());

  int bad = 0;
  for (std::size_t a = 0; a < atom_lines.size() && bad < 5; ++a) {
    const std::string& line = atom_lines[a];
    const std::string self(rtrim(line.substr(0, 8)));
    const std::string atom0(rtrim(line.substr(9, 8)));
    const std::string ax1 = line.substr(19, 1);
    const std::string atom2(rtrim(line.substr(31, 8)));
    const std::string ax2 = line.substr(40, 1);
    const bool known0 = labels.count(atom0) || dummies.count(atom0);
    const bool known2 = labels.count(atom2) || dummies.count(atom2);
    EXPECT_TRUE(known0 && known2) << line;
    if (!(known0 && known2)) {
      ++bad;
      continue;
    }
    // Residues may repeat atom names; such a label does not say which atom
    // it means, here as in XD.
    if (uses[self] > 1 || uses[atom0] > 1 || uses[atom2] > 1) continue;
    const Vec3 c = vec(pos.at(self));
    const Vec3 u = sub(where(atom0), c), w = sub(where(atom2), c);
    const float ang01 = std::acos(std::clamp(dot(unit(u), unit(w)), -1.0f, 1.0f)) * 57.29578f;
    EXPECT_GT(rlength(u), 0.1f) << line;
    EXPECT_GT(rlength(w), 0.1f) << line;
    EXPECT_TRUE(ang01 > 1.0f && ang01 < 179.0f) << line << " angle " << ang01;
    // The drawn tip of AX1 lies along u, that of AX2 along w made
    // perpendicular to u (labels may repeat, so only where the drawn atom
    // stands at the labelled position).
    const std::array<Vec3, 4>& d = drawn[a];
    if (rlength(sub(d[0], c)) > 0.001f) continue;
    const int i1 = ax1[0] - 'X' + 1, i2 = ax2[0] - 'X' + 1;
    const Vec3 t1 = unit(sub(d[static_cast<std::size_t>(i1)], c));
    const Vec3 t2 = unit(sub(d[static_cast<std::size_t>(i2)], c));
    const Vec3 wp = unit(sub(unit(w), scale(unit(u), dot(unit(w), unit(u)))));
    const bool same = rlength(sub(t1, unit(u))) < 0.01f && rlength(sub(t2, wp)) < 0.02f;
    EXPECT_TRUE(same) << line;
    if (!same) ++bad;
  }
}

TEST(RealStructures, WholeRunsNameOnlyAtomsAndDummiesThatDefineTheChosenAxes) {
  VORN_REQUIRE_SHARED(dir);
  for (const std::string& name : readable_real_files()) {
    TestRun t;
    std::filesystem::create_symlink(dir / name, t.dir.path() / "structure.res");
    t.write("vorn.inp", "FORMAT *shelx\nINPUT structure.res\nNCELLS 1\nRINGS 3 8\n");
    const int status = vorn_main(t.run, {});
    ASSERT_EQ(status, 0) << name << ": " << t.out.str().substr(t.out.str().size() > 400 ? t.out.str().size() - 400 : 0);
    EXPECT_NE(t.read("vorn.out").find(" Total program elapsed times"), std::string::npos) << name;
    check_axis_atoms(name, t.read("xd_vorn.mas"), t.read("vorn.ang"), t.read("vorn.spf"));
  }
}

// With the special treatment of planar rings too: condensed ring systems
// (x02_p21c) have atoms in two planar rings whose neighbours all lie in two
// rings; the general rules give them their axes instead of a stop.
TEST(RealStructures, SpecialRingTreatmentRunsToTheEnd) {
  VORN_REQUIRE_SHARED(dir);
  for (const std::string& name : readable_real_files()) {
    TestRun t;
    std::filesystem::create_symlink(dir / name, t.dir.path() / "structure.res");
    t.write("vorn.inp", "FORMAT *shelx\nINPUT structure.res\nNCELLS 1\nRINGS 3 8 *special\n");
    const int status = vorn_main(t.run, {});
    ASSERT_EQ(status, 0) << name << ": " << t.out.str().substr(t.out.str().size() > 400 ? t.out.str().size() - 400 : 0);
    check_axis_atoms(name, t.read("xd_vorn.mas"), t.read("vorn.ang"), t.read("vorn.spf"));
  }
}

}  // namespace
}  // namespace vorn::test
