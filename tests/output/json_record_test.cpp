#include "output/json_record.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "control/run_sequence.hpp"
#include "output/misfit_list.hpp"
#include "output/lines.hpp"
#include "output/methanol.hpp"
#include "support/builders.hpp"

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

// Read back with a parser of its own, reals as 32-bit values as written.
using Json = nlohmann::basic_json<nlohmann::ordered_map, std::vector, std::string, bool, std::int64_t, std::uint64_t,
                                  float>;

// The examples in a scratch folder, as make demo runs them.
struct Demo {
  ScratchDir dir;
  Demo() {
    fs::copy(fs::path(VORN_SOURCE_DIR) / "examples", dir.path(), fs::copy_options::recursive);
  }
  // Runs vorn in one example's folder; returns the exit status.
  int run(const std::string& example, std::string* out = nullptr) const {
    std::ostringstream o;
    std::istringstream in;
    vorn::Run r(o, in, dir.path() / example);
    const int status = vorn_main(r, {});
    if (out) *out = o.str();
    return status;
  }
  std::string read(const std::string& example, const std::string& name) const {
    std::ifstream f(dir.path() / example / name);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
  }
};

Vec3 vec_of(const Json& j) { return {j.at(0).get<float>(), j.at(1).get<float>(), j.at(2).get<float>()}; }

// Every frame of vorn.json against the atom table of xd_vorn.mas: the same
// axis atoms and letters and the handedness written there; unit vectors at
// right angles forming the system the letter R or L names; AX1 pointing from
// the atom at ATOM0 and AX2 lying in the plane of the atom, ATOM0 and ATOM2
// on the side of ATOM2, with the positions the record gives.
void check_frames(const std::string& name, const std::string& mas, const std::string& json) {
  SCOPED_TRACE(name);
  const Json rec = Json::parse(json);
  std::map<std::string, Vec3> where;
  std::map<std::string, int> uses;
  for (const Json& a : rec.at("atoms")) {
    where[a.at("label").get<std::string>()] = vec_of(a.at("cart"));
    ++uses[a.at("label").get<std::string>()];
  }
  for (const Json& d : rec.at("dummies")) where[d.at("label").get<std::string>()] = vec_of(d.at("cart"));

  std::vector<std::string> table;
  bool in_table = false;
  for (const std::string& l : lines_of(mas)) {
    if (l.rfind("ATOM     ATOM0", 0) == 0) {
      in_table = true;
      continue;
    }
    if (l == "END ATOM") break;
    if (in_table && !(l.rfind("DUM", 0) == 0 && l.size() == 44)) table.push_back(l);
  }
  const Json& atoms = rec.at("atoms");
  ASSERT_EQ(table.size(), atoms.size());
  int bad = 0;
  for (std::size_t k = 0; k < table.size() && bad < 5; ++k) {
    const std::string& line = table[k];
    const Json& a = atoms[k];
    const Json& f = a.at("frame");
    SCOPED_TRACE(line);
    const int before = ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
    EXPECT_EQ(a.at("label").get<std::string>(), std::string(rtrim(line.substr(0, 8))));
    EXPECT_EQ(f.at("atom0").get<std::string>(), std::string(rtrim(line.substr(9, 8))));
    EXPECT_EQ(f.at("ax1").get<std::string>(), line.substr(19, 1));
    EXPECT_EQ(f.at("atom2").get<std::string>(), std::string(rtrim(line.substr(31, 8))));
    EXPECT_EQ(f.at("ax2").get<std::string>(), line.substr(40, 1));
    EXPECT_EQ(f.at("hand").get<std::string>(), line.substr(44, 1));
    // A label that repeats (residues may repeat atom names) does not say
    // which atom it means, here as in XD.
    if (uses[a.at("label")] > 1 || uses[f.at("atom0")] > 1 || uses[f.at("atom2")] > 1) continue;
    if (f.at("x").is_null()) {
      ADD_FAILURE() << "no frame";
      ++bad;
      continue;
    }
    const std::array<Vec3, 3> e{vec_of(f.at("x")), vec_of(f.at("y")), vec_of(f.at("z"))};
    for (int i = 0; i < 3; ++i) {
      EXPECT_NEAR(rlength(e[i]), 1.0f, 1e-5f);
      EXPECT_NEAR(dot(e[i], e[(i + 1) % 3]), 0.0f, 1e-5f);
    }
    const float handed = dot(vmult(e[0], e[1]), e[2]);
    EXPECT_NEAR(handed, line.substr(44, 1) == "L" ? -1.0f : 1.0f, 1e-5f);
    const Vec3 c = vec_of(a.at("cart"));
    const auto p0 = where.find(f.at("atom0").get<std::string>());
    const auto p2 = where.find(f.at("atom2").get<std::string>());
    ASSERT_TRUE(p0 != where.end() && p2 != where.end());
    const Vec3 u = sub(p0->second, c), w = sub(p2->second, c);
    const Vec3 ax1 = e[static_cast<std::size_t>(line[19] - 'X')];
    const Vec3 ax2 = e[static_cast<std::size_t>(line[40] - 'X')];
    EXPECT_NEAR(dot(ax1, u) / rlength(u), 1.0f, 1e-5f) << "AX1 does not point at ATOM0";
    EXPECT_NEAR(dot(vmult(u, w), ax2), 0.0f, 1e-4f * rlength(u) * rlength(w)) << "AX2 off the plane";
    EXPECT_GT(dot(w, ax2), 0.0f) << "AX2 away from ATOM2";
    if (::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count() != before) ++bad;
  }
}

TEST(ModelRecord, DemoFramesMatchTheMasterFiles) {
  Demo demo;
  for (const char* ex : {"toluic", "toluic-xd", "toluic-cif"}) {
    std::string out;
    ASSERT_EQ(demo.run(ex, &out), 0) << ex << "\n" << out;
    check_frames(ex, demo.read(ex, "xd_vorn.mas"), demo.read(ex, "vorn.json"));
  }
}

TEST(RealStructures, FramesOfEveryAcceptedStructureMatchTheMasterFile) {
  VORN_REQUIRE_SHARED(dir);
  int accepted = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".res") continue;
    const std::string name = entry.path().filename().string();
    TestRun t;
    fs::create_symlink(entry.path(), t.dir.path() / "structure.res");
    t.write("vorn.inp", "FORMAT *shelx\nINPUT structure.res\nNCELLS 1\nRINGS 3 8\nEXTEND_H\n");
    if (vorn_main(t.run, {}) != 0) {
      EXPECT_FALSE(t.exists("vorn.json")) << name << " was refused but has a record";
      continue;
    }
    ++accepted;
    check_frames(name, t.read("xd_vorn.mas"), t.read("vorn.json"));
  }
  EXPECT_GE(accepted, 20);
}

// The demo's record says what its other files say: the bonds both ways with
// the distances of the positions, the kappa sets of the atom table, the
// constraints, the planar benzene ring, the databank entries and the one
// neutral fragment of the control file.
TEST(ModelRecord, DemoRecordAgreesWithTheRun) {
  Demo demo;
  ASSERT_EQ(demo.run("toluic"), 0);
  const Json rec = Json::parse(demo.read("toluic", "vorn.json"));
  EXPECT_EQ(rec.at("input").at("file"), "toluic.res");
  EXPECT_EQ(rec.at("input").at("format"), "shelx");
  EXPECT_EQ(rec.at("symmetry").size(), 4u);
  EXPECT_EQ(rec.at("symmetry").at(1).at("text"), "- X, 1/2 + Y, 1/2 - Z");
  const Json& atoms = rec.at("atoms");
  ASSERT_EQ(atoms.size(), 18u);
  // The SHELX name beside the label made of it.
  EXPECT_EQ(atoms.at(0).at("label"), "C(1)");
  EXPECT_EQ(atoms.at(0).at("name"), "C1");
  EXPECT_EQ(atoms.at(0).at("part"), 0);

  std::map<int, std::map<int, float>> bonded;
  for (const Json& a : atoms)
    for (const Json& n : a.at("neighbours")) bonded[a.at("n").get<int>()][n.at("atom").get<int>()] = n.at("distance");
  for (const Json& a : atoms) {
    const int i = a.at("n");
    for (const auto& [j, d] : bonded[i]) {
      if (j > 18) continue;
      EXPECT_EQ(bonded[j].count(i), 1u) << i << "-" << j;
      const Vec3 ci = vec_of(a.at("cart")), cj = vec_of(atoms.at(static_cast<std::size_t>(j - 1)).at("cart"));
      EXPECT_NEAR(d, dist(ci, cj), 1e-4f);
      EXPECT_GT(d, 0.8f);
      EXPECT_LT(d, 1.6f);
    }
  }
  // H atoms moved out to standard distances: C(ar)-H 1.083, O-H 0.967 (the listing's values).
  const Json& h2 = atoms.at(14);
  ASSERT_EQ(h2.at("label"), "H(2)");
  ASSERT_EQ(h2.at("neighbours").size(), 1u);
  EXPECT_NEAR(h2.at("neighbours").at(0).at("distance").get<float>(), 1.083f, 0.002f);

  const std::string mas = demo.read("toluic", "xd_vorn.mas");
  for (const Json& a : atoms) {
    const std::string label = a.at("label");
    const auto at = mas.find("\n" + pad(label, 9));
    ASSERT_NE(at, std::string::npos) << label;
    const std::string line = mas.substr(at + 1, mas.find('\n', at + 1) - at - 1);
    EXPECT_EQ(a.at("kappa_set").get<int>(), std::stoi(line.substr(52, 4))) << line;
    EXPECT_EQ(a.at("site_symmetry").get<std::string>(), std::string(rtrim(line.substr(63, 5)))) << line;
    const std::string con = line.size() > 71 ? std::string(rtrim(line.substr(71))) : "";
    if (con.empty())
      EXPECT_TRUE(a.at("constraint").is_null()) << line;
    else
      EXPECT_EQ(a.at("constraint").get<std::string>(), con) << line;
  }
  std::set<std::string> in_sets;
  for (const Json& s : rec.at("kappa_sets"))
    for (const Json& l : s.at("atoms")) EXPECT_TRUE(in_sets.insert(l.get<std::string>()).second);
  EXPECT_EQ(in_sets.size(), 18u);

  ASSERT_GE(rec.at("rings").size(), 1u);
  const Json& ring = rec.at("rings").at(0);
  EXPECT_EQ(ring.at("size"), 6);
  EXPECT_TRUE(ring.at("planar").get<bool>());
  EXPECT_EQ(atoms.at(0).at("rings"), Json::array({1}));
  EXPECT_EQ(atoms.at(6).at("rings"), Json::array());

  EXPECT_EQ(atoms.at(1).at("databank"), "C(ar) aromatic CH in a six-membered ring");
  EXPECT_TRUE(atoms.at(1).at("databank_searched").get<bool>());
  float pv = 0;
  for (const Json& a : atoms) pv += a.at("pv").get<float>();
  // Neutral: the valence electrons of C8H8O2 (8 x 4 + 8 x 1 + 2 x 6 = 52).
  EXPECT_NEAR(pv, 52.0f, 0.01f);
  ASSERT_EQ(rec.at("fragments").size(), 1u);
  EXPECT_EQ(rec.at("fragments").at(0).at("charge").get<float>(), 0.0f);
  EXPECT_EQ(rec.at("fragments").at(0).at("atoms").size(), 18u);
  ASSERT_GE(rec.at("dummies").size(), 1u);
  EXPECT_EQ(rec.at("dummies").at(0).at("label"), "DUM1");
}

// Each atom on a line of its own; a label with bytes that are not UTF-8
// still gives a record that reads back, the bad byte as U+FFFD.
TEST(ModelRecord, TextKeepsOneAtomPerLineAndSurvivesBytesThatAreNotUtf8) {
  TestRun t;
  vorn::Run& run = t.run;
  build_methanol(run);
  run.atoms.label[2] = pad("C\xe9(1)", 8);
  const std::string text = record_text(run);
  const std::vector<std::string> l = lines_of(text);
  const auto at = std::find(l.begin(), l.end(), "  \"atoms\": [");
  ASSERT_NE(at, l.end()) << text;
  for (int k = 1; k <= 6; ++k) {
    const std::string& line = *(at + k);
    EXPECT_EQ(line.rfind("    {\"n\":" + std::to_string(k) + ",", 0), 0u) << line;
    EXPECT_EQ(line.back(), k < 6 ? ',' : '}') << line;
  }
  EXPECT_EQ(*(at + 7), "  ],");
  const Json back = Json::parse(text);
  EXPECT_EQ(back.at("atoms").at(1).at("label"), "C\xef\xbf\xbd(1)");
  // The hydroxyl H of methanol: Z towards O(1), X towards the dummy.
  const Json& h = back.at("atoms").at(2);
  EXPECT_EQ(h.at("frame").at("atom0"), "O(1)");
  EXPECT_EQ(h.at("frame").at("atom2"), "DUM1");
  EXPECT_EQ(back.at("dummies").at(0).at("cart"), Json::array({7.0f, 6.0f, 5.0f}));
  EXPECT_EQ(back.at("atoms").at(5).at("occupancy").get<float>(), 0.5f);
  EXPECT_EQ(back.at("atoms").at(5).at("constraint"), "H(2)");
}

// Reals to a fixed number of decimals, rounded, with the zeros at their end
// dropped down to one: Cartesian coordinates to 0.00001 A, fractional ones
// to 6 places; no minus sign on what rounds to zero. Misfits and tolerances
// exactly: a misfit just above the ring tolerance stays above it for a
// reader, where five decimals would make the two equal.
TEST(ModelRecord, RealsKeepTheirDecimalsAndMisfitsCompareAsInTheProgram) {
  TestRun t;
  vorn::Run& run = t.run;
  build_methanol(run);
  run.ctl.ifrac = 1;
  run.atoms.xc[2] = Cart(5.0f, -0.000004f, 12.345678f);
  run.atoms.xf[2] = Frac(0.5f, 1.0f / 3.0f, -0.0000004f);
  run.atoms.xc[4] = Cart(-3.0f, 0.000016f, 123456.789f);
  run.ctl.tol2 = 0.1f;
  run.site_check[1] = SiteCheck{true, false, std::nextafter(0.1f, 1.0f)};
  run.site_check[2] = SiteCheck{true, true, 0.1f};
  const std::string text = record_text(run);
  EXPECT_NE(text.find("\"cart\":[5.0,0.0,12.34568]"), std::string::npos) << text;
  EXPECT_NE(text.find("\"frac\":[0.5,0.333333,0.0]"), std::string::npos) << text;
  EXPECT_NE(text.find("\"cart\":[-3.0,0.00002,123456.78906]"), std::string::npos) << text;

  const nlohmann::json rec = nlohmann::json::parse(text);
  const double tol = rec.at("tolerances").at("ring");
  const nlohmann::json& atoms = rec.at("atoms");
  EXPECT_GT(atoms.at(0).at("misfit").get<double>(), tol);
  EXPECT_EQ(atoms.at(1).at("misfit").get<double>(), tol);
  EXPECT_TRUE(atoms.at(2).at("misfit").is_null());
  EXPECT_EQ(misfit_atoms(run), std::vector<int>{1});
  // Unit vectors to 6 places stay of unit length and at right angles.
  const nlohmann::json& f = atoms.at(0).at("frame");
  ASSERT_FALSE(f.at("x").is_null());
  for (const char* a : {"x", "y", "z"}) {
    double len = 0;
    for (int k = 0; k < 3; ++k) len += f.at(a).at(k).get<double>() * f.at(a).at(k).get<double>();
    EXPECT_NEAR(std::sqrt(len), 1.0, 2e-6) << a;
  }
}

// The record comes in pieces whose text, put together, is the record: a
// structure of a few hundred atoms already takes more than one.
TEST(ModelRecord, PiecesMakeTheWholeRecord) {
  TestRun t;
  vorn::Run& run = t.run;
  build_methanol(run);
  for (int k = 0; k < 400; ++k) add_atom(run, "C(" + std::to_string(k + 2) + ")", Cart(k % 10, k / 10 % 10, k / 100));
  std::vector<std::string> pieces;
  stream_record(run, [&](std::string_view piece) { pieces.emplace_back(piece); });
  ASSERT_GT(pieces.size(), 1u);
  std::string whole;
  for (const std::string& p : pieces) whole += p;
  EXPECT_EQ(whole, record_text(run));
  EXPECT_EQ(Json::parse(whole).at("atoms").size(), 406u);
}

// Disorder parts and the names of the structure file reach the record: a
// water in PART 1 beside one in PART 2, each at half occupancy.
TEST(ModelRecord, AtomsKeepTheirInputNamesAndDisorderParts) {
  TestRun t;
  t.write("w.res",
          "TITL disordered water\n"
          "CELL 0.71073 10.0 10.0 10.0 90 90 90\n"
          "LATT -1\n"
          "SFAC O H\n"
          "FVAR 1.0 0.5\n"
          "PART 1\n"
          "O1A   1   0.20000   0.20000   0.20000  21.00000   0.02000\n"
          "H1A   2   0.29600   0.20000   0.20000  21.00000   0.03000\n"
          "H2A   2   0.17596   0.29294   0.20000  21.00000   0.03000\n"
          "PART 2\n"
          "O1B   1   0.60000   0.60000   0.60000 -21.00000   0.02000\n"
          "H1B   2   0.69600   0.60000   0.60000 -21.00000   0.03000\n"
          "H2B   2   0.57596   0.69294   0.60000 -21.00000   0.03000\n"
          "PART 0\n"
          "END\n");
  t.write("vorn.inp", "FORMAT *shelx\nINPUT w.res\n");
  ASSERT_EQ(vorn_main(t.run, {}), 0) << t.out.str();
  const Json rec = Json::parse(t.read("vorn.json"));
  const Json& atoms = rec.at("atoms");
  ASSERT_EQ(atoms.size(), 6u);
  const char* names[] = {"O1A", "H1A", "H2A", "O1B", "H1B", "H2B"};
  for (std::size_t k = 0; k < 6; ++k) {
    EXPECT_EQ(atoms.at(k).at("name"), names[k]);
    EXPECT_EQ(atoms.at(k).at("part"), k < 3 ? 1 : 2) << names[k];
    EXPECT_EQ(atoms.at(k).at("occupancy").get<float>(), 0.5f) << names[k];
  }
}

}  // namespace
}  // namespace vorn::test
