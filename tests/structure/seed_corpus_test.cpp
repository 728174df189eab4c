// The seed corpora of the fuzz harnesses (fuzz/corpus/) through the readers:
// every input either reads or stops with the program's own error, in every
// build, so that the sanitizer suite replays them in each CI run.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "control/read_inp.hpp"
#include "structure/aim2tab_reader.hpp"
#include "structure/cif_reader.hpp"
#include "structure/platon_reader.hpp"
#include "structure/shelx_reader.hpp"
#include "structure/xd_reader.hpp"
#include "support/builders.hpp"
#include "symmetry/cards.hpp"

namespace vorn {
namespace {

using test::TestRun;

std::vector<std::string> corpus(const char* harness) {
  std::vector<std::string> texts;
  const auto dir = std::filesystem::path(VORN_SOURCE_DIR) / "fuzz" / "corpus" / harness;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    std::ifstream f(e.path(), std::ios::binary);
    std::ostringstream ss;
    ss << f.rdbuf();
    texts.push_back(ss.str());
  }
  EXPECT_FALSE(texts.empty()) << dir;
  return texts;
}

// Reads or stops with a VornError; anything else fails the test.
template <class F>
void orderly(F&& read) {
  try {
    read();
  } catch (const VornError&) {
  }
}

TEST(SeedCorpus, EveryInputReadsOrStopsInOrder) {
  for (const std::string& text : corpus("control")) {
    TestRun t;
    t.write("vorn.inp", text);
    orderly([&] { ReadInp(t.run); });
  }
  for (const std::string& text : corpus("shelx")) {
    TestRun t;
    t.write("x.res", text);
    orderly([&] { ReadShelx(t.run, "x.res"); });
  }
  for (const std::string& text : corpus("xd")) {
    TestRun t;
    const std::size_t cut = text.find("\n%%\n");
    t.write("xd.mas", text.substr(0, cut));
    t.write("xd.inp", cut == std::string::npos ? "" : text.substr(cut + 4));
    t.run.ctl.xdold = pad("xd.mas", 60);
    orderly([&] { ReadXD(t.run, "xd.inp"); });
  }
  for (const std::string& text : corpus("platon")) {
    TestRun t;
    t.write("x.ang", text);
    orderly([&] { ReadPlaton(t.run, "x.ang"); });
  }
  for (const std::string& text : corpus("aim2tab")) {
    TestRun t;
    t.write("x.aim", text);
    orderly([&] { ReadAim2Tab(t.run, "x.aim"); });
  }
  for (const std::string& text : corpus("cif")) {
    TestRun t;
    t.write("x.cif", text);
    orderly([&] { ReadCif(t.run, "x.cif", ""); });
  }
  for (const std::string& text : corpus("symmetry")) {
    TestRun t;
    TextFile f = TextFile::from_string(text);
    orderly([&] { getsym(t.run, f); });
  }
}

}  // namespace
}  // namespace vorn
