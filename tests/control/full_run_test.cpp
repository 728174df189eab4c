// Whole runs with every option on: every file the closing summary names must
// exist, and the parameter files must be complete.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "control/run_sequence.hpp"
#include "support/builders.hpp"

using namespace vorn;
using vorn::test::TestRun;

namespace {

std::string control_file(const std::string& structure, int nat) {
  std::string db = std::string(VORN_SOURCE_DIR) + "/examples/databank/vorn_example.db";
  return "FORMAT *shelx\nINPUT " + structure +
         "\nVERBOSE 2\nNCELLS 1\nRINGS 3 8 *special\n"
         "KEYGEN *XYZUIJ *all *ordered *MULT *all *ordered *kappas\n"
         "EXTEND_H\nDATABANK " + db + "\nSCALE *diff\nNFRAG 1\nFRAG 1 1 -" + std::to_string(nat) +
         "\nCHFRAG 0.0\n";
}

// The files named after " : " in the closing summary on standard output.
std::vector<std::string> summary_files(const std::string& out) {
  std::vector<std::string> names;
  std::regex line(R"(^ [A-Za-z/ -]+ : ([A-Za-z_.0-9]+)( & ([A-Za-z_.0-9]+))?$)");
  std::istringstream is(out);
  for (std::string l; std::getline(is, l);) {
    std::smatch m;
    if (!std::regex_match(l, m, line)) continue;
    names.push_back(m[1]);
    if (m[3].matched) names.push_back(m[3]);
  }
  return names;
}

void expect_complete_run(TestRun& t, int nat) {
  ASSERT_EQ(vorn_main(t.run, {}), 0) << t.out.str().substr(t.out.str().size() > 2000 ? t.out.str().size() - 2000 : 0);
  auto names = summary_files(t.out.str());
  EXPECT_GE(names.size(), 10u);
  for (const auto& n : names) EXPECT_TRUE(t.exists(n)) << n << " is named in the summary but missing";
  for (const char* n : {"xd_vorn.mas", "xd_vorn.inp", "mopro_vorn.par", "con_mopro.inp", "res_mopro.inp", "reset.bond",
                        "const.bond", "fixedH.ins", "vorn.spf", "vorn.ang", "vorn.out"})
    EXPECT_TRUE(t.exists(n)) << n;
  std::string inp = t.read("xd_vorn.inp");
  EXPECT_NE(inp.find("XDPARFILE VERSION  2"), std::string::npos);
  std::string mopro = t.read("mopro_vorn.par");
  EXPECT_EQ(mopro.substr(mopro.size() - 6), "STOP \n");
  std::string con = t.read("con_mopro.inp");
  EXPECT_NE(con.find("! similarity (switched-off)"), std::string::npos);
  EXPECT_EQ(con.substr(con.size() - 10), "!\n! end\n!\n");
  EXPECT_EQ(t.read("vorn.spf").substr(t.read("vorn.spf").size() - 5), "PLOT\n");
  std::string fixedh = t.read("fixedH.ins");
  EXPECT_EQ(static_cast<int>(std::count(fixedh.begin(), fixedh.end(), '\n')), nat);
  EXPECT_NE(t.read("vorn.out").find(" Total program elapsed times u,s,t (s) :"), std::string::npos);
}

}  // namespace

TEST(FullRun, ProjectExampleWithEveryOption) {
  TestRun t;
  std::filesystem::copy_file(std::filesystem::path(VORN_SOURCE_DIR) / "examples/toluic/toluic.res",
                             t.dir.path() / "toluic.res");
  t.write("vorn.inp", control_file("toluic.res", 18));
  expect_complete_run(t, 18);
  std::string out = t.out.str();
  EXPECT_NE(out.find(" ATOMS SEARCHED in DB, FOUND in DB, NOT FOUND in DB =       18"), std::string::npos);
  EXPECT_NE(out.find("( Charge =   +0.000 el. )"), std::string::npos);
}

TEST(FullRun, RealStructureWithEveryOption) {
  VORN_REQUIRE_SHARED(dir);
  TestRun t;
  std::filesystem::copy_file(dir / "jkd77.res", t.dir.path() / "jkd77.res");
  t.write("vorn.inp", control_file("jkd77.res", 44));
  expect_complete_run(t, 44);
}
