#include "output/xd_param.hpp"

#include <gtest/gtest.h>

#include "base/error.hpp"
#include "control/run_sequence.hpp"
#include "output/lines.hpp"
#include "output/methanol.hpp"
#include "support/generated.hpp"

namespace vorn::test {
namespace {

struct XdParam : ::testing::Test {
  TestRun t;
  std::ostringstream inp, fixh;
  void SetUp() override {
    build_methanol(t.run);
    t.run.inp.attach(inp);
    t.run.fixh.attach(fixh);
  }
};

const std::string kBangs(80, '!');
const std::string kZeroH = "  0.0000  0.0000  0.0000  0.0000  0.0000  0.0000  0.0000  0.0000  0.0000  0.0000";
const std::string kZeroH6 = "  0.0000  0.0000  0.0000  0.0000  0.0000  0.0000";

// Worked out by hand from the layout of the XD parameter file.
TEST_F(XdParam, MethanolFileMatchesTheLayoutLineByLine) {
  t.run.ctl.iformat = FMT_XD;  // extinction values of its own
  write_xd_inp(t.run);
  expect_lines(inp.str(), {
      kBangs,
      "!                   CREATED BY PROGRAM << VORN >>",
      kBangs,
      "XDPARFILE VERSION  2",
      "  TEST   MODEL  4  2  1  0",
      "LIMITS nat 300 ntx 31 lmx 4 nzz 30 nto 0 nsc 20 ntb 20 nov 2500",
      "USAGE    6 2 4    4 0 1 0 0    3 0 0 0 0    1",
      "  0.000000  0.000000  0.000000  0.000000  0.000000  0.000000  0.000000  0.000000",
      "  0.000000  0.000000  0.000000  0.000000  0.000000  0.000000",
      "     0.700000     0.600000     0.500000",
      "O(1)      3  1    2    1    3      2    1    1    4    1    0  0.64300  0.50000  0.50000  1.0000",
      "  0.020100  0.025300  0.018700 -0.001200  0.003400  0.000800",
      "  6.3212  0.0000  0.0123 -0.0046  0.0561 -0.0671  0.0107  0.0000  0.0832 -0.0213",
      "  0.0144  0.0000  0.0057  0.0000  0.0000 -0.0301  0.0000  0.0078  0.0000  0.0000",
      "  0.0022  0.0000  0.0000  0.0000 -0.0049  0.0011",
      "C(1)      3  1    1    2    4      2    2    2    4    1    0  0.50000  0.50000  0.50000  1.0000",
      "  0.022300  0.029100  0.024500  0.001100  0.002000 -0.001500",
      "  4.0321  0.0000  0.0000  0.0000  0.1201  0.0312  0.0000  0.0000  0.0000  0.0000",
      "  0.2502  0.0000  0.0000  0.0000  0.0000 -0.1503  0.0000  0.0098  0.0000  0.0000",
      kZeroH6,
      "H(1)      3  1    1    3    7      1    3    3    4    1    0  0.67350  0.59100  0.50000  1.0000",
      "  0.041200  0.000000  0.000000  0.000000  0.000000  0.000000",
      "  0.8823  0.0000  0.0000  0.0000  0.1321  0.0611  0.0000  0.0000  0.0000  0.0000",
      kZeroH,
      kZeroH6,
      "H(2)      3  1    2    4    1      1    3    4    4    1    0  0.46800  0.50000  0.40950  1.0000",
      "  0.038500  0.000000  0.000000  0.000000  0.000000  0.000000",
      "  0.8823  0.0000  0.0000  0.0000  0.1321  0.0611  0.0000  0.0000  0.0000  0.0000",
      kZeroH,
      kZeroH6,
      "H(3)      3  1    2    5    1      1    3    4    4    1    0  0.46800  0.57840  0.54520  1.0000",
      "  0.039100  0.000000  0.000000  0.000000  0.000000  0.000000",
      "  0.8823  0.0000  0.0000  0.0000  0.1321  0.0611  0.0000  0.0000  0.0000  0.0000",
      kZeroH,
      kZeroH6,
      "H(4)      3  1    2    6    1      1    3    4    4    1    0  0.46800  0.42160  0.54520  0.5000",
      "  0.040200  0.000000  0.000000  0.000000  0.000000  0.000000",
      "  0.4412  0.0000  0.0000  0.0000  0.0660  0.0305  0.0000  0.0000  0.0000  0.0000",
      kZeroH,
      kZeroH6,
      "  1  0.997000  0.824000  0.824000  0.824000  0.824000  0.824000",
      "  2  0.998000  0.862000  0.862000  0.862000  0.862000  0.862000",
      "  3  1.130000  1.290000  1.290000  1.290000  1.290000  1.290000",
      "  3  1.160000  1.250000  1.250000  1.250000  1.250000  1.250000",
      " 0.1234E-02 0.0000E+00 0.0000E+00 0.0000E+00 0.0000E+00 0.0000E+00 0.0000E+00",
      " 0.1250E-01",
      " 0.987650E+00",
  });
}

TEST_F(XdParam, FixedHLinesOnlyWithExtendedHydrogens) {
  write_xd_inp(t.run);
  EXPECT_EQ(fixh.str(), "");

  t.run.ctl.iextH = 1;
  write_xd_inp(t.run);
  // The anisotropic O and C carry their Ueq, in the cubic cell a third of
  // the trace: (0.0201 + 0.0253 + 0.0187) / 3 and (0.0223 + 0.0291 + 0.0245) / 3.
  expect_lines(fixh.str(), {
      "O(1)        1      0.643000    0.500000    0.500000     1.00000   0.0214",
      "C(1)        2      0.500000    0.500000    0.500000     1.00000   0.0253",
      "H(1)        3      0.673500    0.591000    0.500000     1.00000   0.0412",
      "H(2)        3      0.468000    0.500000    0.409500     1.00000   0.0385",
      "H(3)        3      0.468000    0.578400    0.545200     1.00000   0.0391",
      "H(4)        3      0.468000    0.421600    0.545200     0.50000   0.0402",
  });

  // The simple conversion never extends hydrogens, whatever the switch says.
  fixh.str("");
  t.run.ctl.itoxd = 1;
  write_xd_inp(t.run);
  EXPECT_EQ(fixh.str(), "");
}

TEST_F(XdParam, ModelNameFromXdInputAndNoDummies) {
  t.run.amodel = pad("L-DOPA", 20);
  t.run.dummy.n = 0;
  t.run.mpoles[3].atom2 = 1;
  write_xd_inp(t.run);
  auto l = lines_of(inp.str());
  EXPECT_EQ(l[4], "  L-DOPA   MODEL  4  2  1  0");
  EXPECT_EQ(l[6], "USAGE    6 2 4    4 0 1 0 0    3 0 0 0 0    0");
  EXPECT_EQ(l[8], "  0.000000  0.000000  0.000000  0.000000  0.000000  0.000000");
  EXPECT_EQ(l[9].substr(0, 4), "O(1)");  // no coordinate line for dummies
}

TEST_F(XdParam, DummyIndexFollowsTheAtomsOfALargerStructure) {
  // 25 atoms: an axis at dummy 2 is atom 27 of the record.
  for (int i = 7; i <= 25; ++i) {
    add_atom(t.run, "C(" + std::to_string(i) + ")", Cart(1.0f + 0.1f * static_cast<float>(i), 2, 3));
    set_record(t.run, i, 3, 2, 1, 1, 2, 2, 2, 0);
  }
  t.run.dummy.n = 2;
  t.run.dummy.label.push_back("DUM2  ");
  t.run.dummy.x.push_back(Vec3{0.1f, 0.2f, 0.3f});
  set_record(t.run, 25, 3, 27, 1, 1, 2, 2, 2, 0);
  write_xd_inp(t.run);
  auto l = lines_of(inp.str());
  EXPECT_EQ(l[6], "USAGE   25 2 4    4 0 1 0 0    3 0 0 0 0    2");
  const std::string rec = l[11 + 24 * 5];
  EXPECT_EQ(rec.substr(0, 8), "C(25)   ");
  EXPECT_EQ(rec.substr(14, 5), "   27");
  EXPECT_EQ(l.size(), 11u + 25 * 5 + 4 + 3);
}

TEST_F(XdParam, WithoutDatabankEveryMultipoleIsZero) {
  // What the per-atom stage stores when nothing is read: Pv of the free atom
  // times the occupancy, no multipoles.
  for (int i = 1; i <= 6; ++i) t.run.mpoles[static_cast<std::size_t>(i)].plm = {};
  t.run.mpoles[1].pv = 6.0f;
  t.run.mpoles[6].pv = 0.5f;
  write_xd_inp(t.run);
  auto l = lines_of(inp.str());
  EXPECT_EQ(l[12], "  6.0000  0.0000  0.0000  0.0000  0.0000  0.0000  0.0000  0.0000  0.0000  0.0000");
  EXPECT_EQ(l[13], kZeroH);
  EXPECT_EQ(l[37], "  0.5000  0.0000  0.0000  0.0000  0.0000  0.0000  0.0000  0.0000  0.0000  0.0000");
  EXPECT_EQ(l.back(), " 0.987650E+00");
}

TEST_F(XdParam, FreeVariablesBeyondTheListTakeTheirPresets) {
  t.run.ctl.iformat = FMT_XD;
  t.run.shelx.fv.assign(3, 0.0f);  // a list holding only variables 1 and 2
  t.run.shelx.fv[1] = 2.5f;
  t.run.shelx.fv[2] = 0.5f;
  write_xd_inp(t.run);
  auto l = lines_of(inp.str());
  EXPECT_EQ(l[l.size() - 3], " 0.5000E+00 0.0000E+00 0.0000E+00 0.0000E+00 0.0000E+00 0.0000E+00 0.0000E+00");
  EXPECT_EQ(l[l.size() - 2], " 0.0000E+00");
  EXPECT_EQ(l.back(), " 0.250000E+01");
}

// The free variables 2 to 9 of a SHELX file are occupancies, never
// extinction values; only the scale factor (variable 1) goes over.
TEST_F(XdParam, ShelxAndCifInputStartExtinctionAtZero) {
  for (int format : {FMT_SHELX, FMT_CIF}) {
    inp.str("");
    t.run.ctl.iformat = format;
    t.run.shelx.fv[2] = 0.676f;
    write_xd_inp(t.run);
    auto l = lines_of(inp.str());
    EXPECT_EQ(l[l.size() - 3], " 0.0000E+00 0.0000E+00 0.0000E+00 0.0000E+00 0.0000E+00 0.0000E+00 0.0000E+00");
    EXPECT_EQ(l[l.size() - 2], " 0.0000E+00");
    EXPECT_EQ(l.back(), " 0.987650E+00");
  }
}

// Without a cell the atom lines carry the Cartesian coordinates: the
// fractional ones of such input are zero and mean nothing.
TEST_F(XdParam, CartesianInputWritesCartesianCoordinates) {
  t.run.ctl.ifrac = 0;
  t.run.ctl.iextH = 1;
  for (int i = 1; i <= t.run.atoms.nat; ++i) t.run.atoms.xf[i] = Frac();
  write_xd_inp(t.run);
  auto l = lines_of(inp.str());
  EXPECT_EQ(l[10], "O(1)      3  1    2    1    3      2    1    1    4    1    0  6.43000  5.00000  5.00000  1.0000");
  EXPECT_EQ(lines_of(fixh.str())[2], "H(1)        3      6.735000    5.910000    5.000000     1.00000   0.0412");
  EXPECT_NE(t.out.str().find("The input has no cell : xd_vorn.inp, mopro_vorn.par and fixedH.ins carry Cartesian"),
            std::string::npos);
}

TEST_F(XdParam, AtomReferringToAKappaSetWithoutValuesStops) {
  t.run.mpoles[4].kap = 5;
  try {
    write_xd_inp(t.run);
    FAIL() << "no error";
  } catch (const VornError& e) {
    EXPECT_EQ(e.message(), "Atom H(2) refers to kappa set 5, but only 4 sets have values");
  }
  EXPECT_EQ(inp.str(), "");  // nothing half-written

  t.run.mpoles[4].kap = 4;
  t.run.kappas.n = 5;  // a count the table does not hold
  EXPECT_THROW(write_xd_inp(t.run), VornError);
}

TEST_F(XdParam, WritesThroughRealFiles) {
  t.run.inp.open(t.run.path("xd_vorn.inp"));
  t.run.ctl.iextH = 1;
  t.run.fixh.open(t.run.path("fixedH.ins"));
  write_xd_inp(t.run);
  t.run.inp.close();
  t.run.fixh.close();
  EXPECT_EQ(lines_of(t.read("xd_vorn.inp")).size(), 47u);
  EXPECT_EQ(lines_of(t.read("fixedH.ins")).size(), 6u);
}

// 20,000 atoms overflow the specified widths of atom numbers, counts and
// kappa-set numbers; written in full, every atom still reads back.
TEST(ReadableAtScale, TwentyThousandAtomsReadBackFromTheirOwnXdFiles) {
  TestRun first;
  bench::GenOptions opts;
  opts.target_atoms = 20000;
  // Without chemical constraints every atom has its own kappa set.
  const int n = write_generated(first, opts, 1, "CHEMCON  hydrogen  other\n");
  ASSERT_GT(n, 19900);
  ASSERT_EQ(vorn_main(first.run, {}), 0) << first.out.str().substr(0, 2000);
  const int nkap = first.run.kappaset[0];
  ASSERT_EQ(nkap, n);
  const std::string inp = first.read("xd_vorn.inp");
  const std::string mas = first.read("xd_vorn.mas");
  const std::string par = first.read("mopro_vorn.par");
  for (const std::string* text : {&inp, &mas, &par}) EXPECT_EQ(text->find("**"), std::string::npos);
  EXPECT_NE(inp.find("\nUSAGE " + std::to_string(n) + " 2 4 " + std::to_string(nkap) + " 0 1 0 0 "), std::string::npos);
  EXPECT_NE(par.find("\nATOMS " + std::to_string(n) + "\n"), std::string::npos);
  EXPECT_NE(par.find("\nKAPPA " + std::to_string(nkap) + "\n"), std::string::npos);
  EXPECT_NE(par.find("\nATOM " + std::to_string(n) + " "), std::string::npos);
  EXPECT_NE(mas.find("\n!LATEN  frag1 1 -" + std::to_string(n) + "  *neutral\n"), std::string::npos);
  // The last atom: its own index and its kappa set stand one blank after
  // the numbers before them; in the master file too.
  const std::string last = first.run.atoms.label[static_cast<std::size_t>(n)];
  const std::size_t at = inp.find("\n" + last);
  ASSERT_NE(at, std::string::npos);
  const std::string rec = inp.substr(at + 1, inp.find('\n', at + 1) - at - 1);
  std::istringstream words(rec.substr(8));
  std::vector<long> v(11);
  for (long& x : v) words >> x;
  EXPECT_EQ(v[3], n) << rec;
  EXPECT_EQ(v[7], nkap) << rec;
  const std::size_t in_mas = mas.find("\n" + last + " ");
  ASSERT_NE(in_mas, std::string::npos);
  EXPECT_NE(mas.substr(in_mas, mas.find('\n', in_mas + 1) - in_mas).find(" R   1  2 " + std::to_string(nkap) + "   2 "),
            std::string::npos);

  TestRun again;
  again.write("in.mas", mas);
  again.write("in.inp", inp);
  again.write("vorn.inp", "FORMAT *xd\nINPUT in.mas in.inp\n");
  ASSERT_EQ(vorn_main(again.run, {}), 0) << again.out.str().substr(0, 2000);
  EXPECT_EQ(again.run.atoms.nat, n);
  for (int i : {1, 9999, 10000, n}) {
    const auto u = static_cast<std::size_t>(i);
    EXPECT_EQ(again.run.atoms.label[u], first.run.atoms.label[u]) << i;
    for (int d = 0; d < 3; ++d) EXPECT_NEAR(again.run.atoms.xf[u][d], first.run.atoms.xf[u][d], 1e-5) << i;
    EXPECT_EQ(again.run.atoms1.isft[u], first.run.atoms1.isft[u]) << i;
  }
  // The atom table of the new master file has every atom.
  const std::string mas2 = again.read("xd_vorn.mas");
  EXPECT_NE(mas2.find("\n" + first.run.atoms.label[static_cast<std::size_t>(n)]), std::string::npos);
}

}  // namespace
}  // namespace vorn::test
