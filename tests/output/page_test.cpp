#include "output/page.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "control/run_sequence.hpp"
#include "base/text.hpp"
#include "output/page_assets.hpp"
#include "support/builders.hpp"

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

namespace vorn::test {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

std::string record_in(const std::string& page) {
  const std::string open = "<script type=\"application/json\" id=\"vorn-data\">";
  const auto from = page.find(open);
  const auto to = page.find("</script>", from);
  if (from == std::string::npos || to == std::string::npos) return "";
  return page.substr(from + open.size(), to - from - open.size());
}

// A label or file name with "</script>" or "<!--" must not end the record
// early or open a comment: the record reads back whole, to the same values.
TEST(Page, RecordReadsBackWhateverItsTextsHold) {
  Json rec;
  rec["input"] = Json{{"file", "a</script><!--b.res"}};
  rec["atoms"] = Json::array({Json{{"label", "C</SCRIPT>"}}});
  const std::string text = rec.dump(1);
  const std::string page = page_text(text, "a</script>&b.res");
  const std::string inner = record_in(page);
  EXPECT_EQ(inner.find('<'), std::string::npos);
  EXPECT_EQ(Json::parse(inner), Json::parse(text));
  EXPECT_NE(page.find("<title>VORN local frames: a&lt;/script&gt;&amp;b.res</title>"), std::string::npos);
}

// The page carries the viewer and its licence and every mark of the
// template is filled.
TEST(Page, CarriesTheViewerAndItsLicence) {
  const std::string page = page_text("{}", "x.res");
  EXPECT_NE(page.find(kViewerScript), std::string::npos);
  EXPECT_NE(page.find("Redistribution and use in source and binary forms"), std::string::npos);
  EXPECT_EQ(page.find("<!--VORN:"), std::string::npos);
  EXPECT_GT(kViewerScript.size(), 100000u);
  // The page reaches for no file or address outside itself.
  EXPECT_NE(page.find("default-src 'none'"), std::string::npos);
  EXPECT_EQ(page.find("<script src"), std::string::npos);
  EXPECT_EQ(page.find("<link"), std::string::npos);
}

std::string chromium() {
  if (const char* c = std::getenv("VORN_CHROMIUM")) return c;
  for (const char* c : {"/usr/bin/chromium", "/usr/bin/chromium-browser"})
    if (fs::exists(c)) return c;
  return "";
}

// Headless Chromium on the page as a file, its scripts run, no network and
// a fresh profile; what it prints goes to log.
int run_chromium(const fs::path& work, const std::string& what, const fs::path& page, const fs::path& log) {
  const std::string cmd = "timeout 180 '" + chromium() +
                          "' --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
                          " --disable-background-networking --disable-component-update --disable-sync"
                          " --enable-unsafe-swiftshader --host-resolver-rules='MAP * ~NOTFOUND'"
                          " --user-data-dir='" + (work / ("profile-" + std::to_string(std::rand()))).string() +
                          "' --window-size=1400,900 --virtual-time-budget=10000 " + what + " 'file://" +
                          page.string() + "' > '" + log.string() + "' 2>&1";
  return std::system(cmd.c_str());
}

// The demo's page in a real browser: one table row per atom, no script
// error (nor any attempt to reach outside the page), and a 3D view with
// something drawn on it.
TEST(Page, DemoPageWorksInHeadlessChromium) {
  const std::string browser = chromium();
  ASSERT_FALSE(browser.empty()) << "chromium is missing (make deps installs it)";
  ScratchDir dir;
  fs::copy(fs::path(VORN_SOURCE_DIR) / "examples", dir.path(), fs::copy_options::recursive);
  const fs::path work = dir.path() / "toluic";
  {
    std::ostringstream out;
    std::istringstream in;
    vorn::Run run(out, in, work);
    ASSERT_EQ(vorn_main(run, {}), 0) << out.str();
  }
  const fs::path page = work / "vorn.html";
  const std::size_t atoms = Json::parse(read_file(work / "vorn.json")).at("atoms").size();
  ASSERT_EQ(atoms, 18u);

  const fs::path dom_file = work / "dom.html";
  ASSERT_EQ(run_chromium(dir.path(), "--dump-dom", page, dom_file), 0) << read_file(dom_file);
  const std::string dom = read_file(dom_file);
  std::smatch body;
  ASSERT_TRUE(std::regex_search(dom, body, std::regex("<body([^>]*)>"))) << dom.substr(0, 2000);
  const std::string attrs = body[1];
  EXPECT_EQ(attrs.find("data-errors"), std::string::npos) << dom.substr(0, 3000);
  EXPECT_NE(attrs.find("data-state=\"ready\""), std::string::npos) << attrs;
  const std::regex row("<tr data-atom=\"[0-9]+\"");
  EXPECT_EQ(static_cast<std::size_t>(std::distance(std::sregex_iterator(dom.begin(), dom.end(), row), std::sregex_iterator())),
            atoms);
  std::smatch rect;
  ASSERT_TRUE(std::regex_search(attrs, rect, std::regex("data-viewer-rect=\"([0-9]+),([0-9]+),([0-9]+),([0-9]+)\"")))
      << attrs;
  const int rx = std::stoi(rect[1]), ry = std::stoi(rect[2]), rw = std::stoi(rect[3]), rh = std::stoi(rect[4]);
  ASSERT_GT(rw, 100);
  ASSERT_GT(rh, 100);

  const fs::path shot = work / "page.png";
  ASSERT_EQ(run_chromium(dir.path(), "--screenshot='" + shot.string() + "'", page, work / "shot.log"), 0)
      << read_file(work / "shot.log");
  int w = 0, h = 0, n = 0;
  unsigned char* px = stbi_load(shot.string().c_str(), &w, &h, &n, 3);
  ASSERT_NE(px, nullptr) << "no screenshot";
  // The view's background is white; the molecule, bonds and axes are not.
  long drawn = 0, total = 0;
  for (int y = ry; y < std::min(h, ry + rh); ++y)
    for (int x = rx; x < std::min(w, rx + rw); ++x) {
      const unsigned char* p = px + 3 * (static_cast<long>(y) * w + x);
      ++total;
      if (p[0] < 235 || p[1] < 235 || p[2] < 235) ++drawn;
    }
  stbi_image_free(px);
  ASSERT_GT(total, 0);
  EXPECT_GT(drawn, total / 100) << drawn << " of " << total << " pixels of the view drawn";
}

// Two waters in P1: one with equal O-H bonds, and one whose bonds differ
// (0.90 and 1.10 A), so that the two-fold axis of its oxygen's "mm2" maps
// each H well away from the other (a misfit of 0.32 A against the ring
// tolerance of 0.1 A). No EXTEND_H: the hydrogens stay where they are.
TEST(Page, MarksExactlyTheAtomsThatFailTheSymmetryCheck) {
  const std::string browser = chromium();
  ASSERT_FALSE(browser.empty()) << "chromium is missing (make deps installs it)";
  TestRun t;
  t.write("w.res",
          "TITL two waters\n"
          "CELL 0.71073 10.0 10.0 10.0 90 90 90\n"
          "LATT -1\n"
          "SFAC O H\n"
          "FVAR 1.0\n"
          "O1    1   0.20000   0.20000   0.20000  11.00000   0.02000\n"
          "H11   2   0.29600   0.20000   0.20000  11.00000   0.03000\n"
          "H12   2   0.17596   0.29294   0.20000  11.00000   0.03000\n"
          "O2    1   0.60000   0.60000   0.60000  11.00000   0.02000\n"
          "H21   2   0.69000   0.60000   0.60000  11.00000   0.03000\n"
          "H22   2   0.57246   0.70650   0.60000  11.00000   0.03000\n"
          "END\n");
  t.write("vorn.inp", "FORMAT *shelx\nINPUT w.res\n");
  ASSERT_EQ(vorn_main(t.run, {}), 0) << t.out.str();

  // The listing's closing list of the atoms above the ring tolerance.
  std::set<std::string> listed;
  const std::string lst = t.read("vorn.out");
  const std::string header = "      NO  ATOM      SITESYM  MISFIT (A)\n";
  const auto head = lst.find(header);
  ASSERT_NE(head, std::string::npos) << lst.substr(lst.size() > 3000 ? lst.size() - 3000 : 0);
  std::istringstream rows(lst.substr(head + header.size()));
  for (std::string l; std::getline(rows, l) && l.size() > 20;) listed.insert(std::string(rtrim(l.substr(10, 8))));
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(*listed.begin(), "O(2)");

  // The record: the same atoms, by the misfit and the tolerance it gives.
  const std::string json = t.read("vorn.json");
  const Json rec = Json::parse(json);
  const double tol = rec.at("tolerances").at("ring");
  std::set<std::string> over;
  for (const Json& a : rec.at("atoms"))
    if (!a.at("misfit").is_null() && a.at("misfit").get<double>() > tol) over.insert(a.at("label"));
  EXPECT_EQ(over, listed);

  // The page carries that record as written to vorn.json ...
  const std::string page = t.read("vorn.html");
  EXPECT_EQ(record_in(page), "\n" + json + "\n");
  // ... and, its scripts run, marks those atoms as failing: the rows the
  // filter "fails the symmetry check" keeps.
  const fs::path dom_file = t.dir.path() / "dom.html";
  ASSERT_EQ(run_chromium(t.dir.path(), "--dump-dom", t.dir.path() / "vorn.html", dom_file), 0) << read_file(dom_file);
  const std::string dom = read_file(dom_file);
  ASSERT_NE(dom.find("data-state=\"ready\""), std::string::npos) << dom.substr(0, 3000);
  std::set<std::string> marked;
  const std::regex row("<tr data-atom=\"([0-9]+)\"( class=\"fails\")?");
  int n = 0;
  for (auto it = std::sregex_iterator(dom.begin(), dom.end(), row); it != std::sregex_iterator(); ++it, ++n)
    if ((*it)[2].matched) marked.insert(rec.at("atoms").at(std::stoul((*it)[1])).at("label"));
  EXPECT_EQ(n, 6);
  EXPECT_EQ(marked, listed);
}

}  // namespace
}  // namespace vorn::test
