#include "output/page.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <regex>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "base/elements.hpp"
#include "base/text.hpp"
#include "control/run_sequence.hpp"
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

// Headless Chromium on the page as a file (with #fragment when given), its
// scripts run, no network and a fresh profile; what it prints goes to log.
int run_chromium(const fs::path& work, const std::string& what, const fs::path& page, const fs::path& log,
                 const std::string& fragment = "", const std::string& window = "1400,900") {
  const std::string cmd = "timeout 180 '" + chromium() +
                          "' --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
                          " --disable-background-networking --disable-component-update --disable-sync"
                          " --enable-unsafe-swiftshader --host-resolver-rules='MAP * ~NOTFOUND'"
                          " --user-data-dir='" + (work / ("profile-" + std::to_string(std::rand()))).string() +
                          "' --window-size=" + window + " --virtual-time-budget=10000 " + what + " 'file://" +
                          page.string() + fragment + "' > '" + log.string() + "' 2>&1";
  return std::system(cmd.c_str());
}

std::string html_unescaped(std::string s) {
  static const std::pair<const char*, const char*> kEntities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
  for (const auto& [from, to] : kEntities)
    for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + 1)) s.replace(at, std::strlen(from), to);
  return s;
}

// The page with a script of the test run after its own (the page's
// window.vornPage in reach): the script fills the object out, which comes
// back as JSON; out.error holds an exception the script threw.
Json probe_page(const fs::path& page, const std::string& script, const std::string& fragment = "",
                const std::string& window = "1400,900") {
  const fs::path work = page.parent_path();
  std::string text = read_file(page);
  const std::size_t end = text.rfind("</body>");
  if (end == std::string::npos) return Json{{"error", "no </body> in the page"}};
  text.insert(end, "<script>(function () { var out = {}; try {\n" + script +
                       "\n} catch (e) { out.error = String(e); }\n"
                       "var pre = document.createElement('pre'); pre.id = 'vorn-probe';"
                       " pre.textContent = JSON.stringify(out); document.body.appendChild(pre); })();</script>\n");
  const fs::path probe = work / "probe.html";
  std::ofstream(probe, std::ios::binary) << text;
  const fs::path dom_file = work / "probe-dom.html";
  if (run_chromium(work, "--dump-dom", probe, dom_file, fragment, window) != 0)
    return Json{{"error", "chromium failed: " + read_file(dom_file).substr(0, 2000)}};
  const std::string dom = read_file(dom_file);
  const std::string open = "<pre id=\"vorn-probe\">";
  const std::size_t from = dom.find(open);
  const std::size_t to = dom.find("</pre>", from);
  if (from == std::string::npos || to == std::string::npos) return Json{{"error", "no probe in " + dom.substr(0, 3000)}};
  return Json::parse(html_unescaped(dom.substr(from + open.size(), to - from - open.size())));
}

// A whole run of the program in the test's folder.
void run_vorn(TestRun& t, const std::string& control) {
  t.write("vorn.inp", control);
  ASSERT_EQ(vorn_main(t.run, {}), 0) << t.out.str();
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
  // A pair tolerance that takes the unequal bonds as a pair all the same.
  t.write("vorn.inp", "FORMAT *shelx\nINPUT w.res\nTOLS bond 0.2 ring 0.1 group 0.1 misfit 0.5 pair 0.3\n");
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

// --- what the page shows ---------------------------------------------------

struct Vec {
  double x, y, z;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec operator*(double s, Vec a) { return {s * a.x, s * a.y, s * a.z}; }

// A PLATON-style file of carbon atoms at Cartesian positions.
std::string carbon_file(const std::vector<Vec>& at) {
  std::ostringstream os;
  os << "TITL shape\n";
  for (std::size_t k = 0; k < at.size(); ++k) os << "ATOM C" << k + 1 << " " << at[k].x << " " << at[k].y << " " << at[k].z << "\n";
  return os.str();
}

// The screen positions of the atoms of the record in the first view.
std::vector<std::array<double, 2>> screen_positions(const Json& probe) {
  std::vector<std::array<double, 2>> out;
  for (const Json& p : probe.at("screen")) out.push_back({p.at("x").get<double>(), p.at("y").get<double>()});
  return out;
}

// A flat molecule seen face on (every distance on the screen the same
// fraction of the distance in space) and with its long side across; a
// linear one across the screen, never end-on.
TEST(Page, FirstViewLooksDownTheNormalOfTheBestPlaneWithTheLongAxisAcross) {
  ASSERT_FALSE(chromium().empty()) << "chromium is missing (make test-deps installs it)";
  // Naphthalene's carbons (two hexagons of side 1.4 A sharing an edge; long
  // axis along u, 4.85 A against 2.8 A) in a plane tilted against every
  // Cartesian axis; and a straight chain of six atoms 1.2 A apart.
  const double r = 1.4, h = r * std::sqrt(3.0) / 2;
  const Vec u{0.48, 0.64, 0.6}, v{0.8, -0.6, 0.0}, origin{3, 3, 3};  // u and v at right angles
  std::vector<Vec> flat;
  for (const auto& [a, b] : std::vector<std::pair<double, double>>{
           {0, r / 2}, {0, -r / 2}, {-h, r}, {-2 * h, r / 2}, {-2 * h, -r / 2}, {-h, -r}, {h, r}, {2 * h, r / 2}, {2 * h, -r / 2}, {h, -r}})
    flat.push_back(origin + a * u + b * v);
  std::vector<Vec> line;
  for (int k = 0; k < 6; ++k) line.push_back(origin + (1.2 * k) * Vec{0.3, -0.4, 0.866});

  for (const auto& shape : {flat, line}) {
    SCOPED_TRACE(shape.size() == 10 ? "flat" : "linear");
    TestRun t;
    t.write("m.ang", carbon_file(shape));
    run_vorn(t, "FORMAT *platon\nINPUT m.ang\n");
    const Json rec = Json::parse(t.read("vorn.json"));
    const Json probe = probe_page(t.dir.path() / "vorn.html",
                                  "var v = window.vornPage.viewer;"
                                  "out.screen = v.modelToScreen(JSON.parse(document.getElementById('vorn-data').textContent)"
                                  ".atoms.map(function (a) { return { x: a.cart[0], y: a.cart[1], z: a.cart[2] }; }));");
    ASSERT_FALSE(probe.contains("error")) << probe.dump();
    const auto screen = screen_positions(probe);
    ASSERT_EQ(screen.size(), shape.size());
    double lo = 1e9, hi = 0;
    for (std::size_t i = 0; i < shape.size(); ++i)
      for (std::size_t j = i + 1; j < shape.size(); ++j) {
        const Vec d = shape[i] + (-1.0) * shape[j];
        const double space = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
        const double on_screen = std::hypot(screen[i][0] - screen[j][0], screen[i][1] - screen[j][1]);
        lo = std::min(lo, on_screen / space);
        hi = std::max(hi, on_screen / space);
      }
    EXPECT_GT(lo, 5.0) << "drawn too small to tell";
    EXPECT_LT(hi / lo, 1.02) << "foreshortened: the view is not along the normal";
    // The spread on the screen: wider than high, its main axis across.
    double mx = 0, my = 0;
    for (const auto& p : screen) mx += p[0] / screen.size(), my += p[1] / screen.size();
    double sxx = 0, syy = 0, sxy = 0;
    for (const auto& p : screen) {
      sxx += (p[0] - mx) * (p[0] - mx);
      syy += (p[1] - my) * (p[1] - my);
      sxy += (p[0] - mx) * (p[1] - my);
    }
    EXPECT_GT(sxx, 2 * syy);
    EXPECT_LT(std::abs(sxy), 0.02 * sxx);
  }
}

// CIE L*a*b* of a colour "#rrggbb", for distances as the eye sees them.
std::array<double, 3> lab(const std::string& hex) {
  double c[3];
  for (int k = 0; k < 3; ++k) {
    const double s = std::stoi(hex.substr(1 + 2 * k, 2), nullptr, 16) / 255.0;
    c[k] = s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
  }
  const double x = (0.4124 * c[0] + 0.3576 * c[1] + 0.1805 * c[2]) / 0.95047;
  const double y = 0.2126 * c[0] + 0.7152 * c[1] + 0.0722 * c[2];
  const double z = (0.0193 * c[0] + 0.1192 * c[1] + 0.9505 * c[2]) / 1.08883;
  auto f = [](double t) { return t > 0.008856 ? std::cbrt(t) : 7.787 * t + 16.0 / 116; };
  return {116 * f(y) - 16, 500 * (f(x) - f(y)), 200 * (f(y) - f(z))};
}
double colour_distance(const std::string& a, const std::string& b) {
  const auto p = lab(a), q = lab(b);
  return std::sqrt((p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]) + (p[2] - q[2]) * (p[2] - q[2]));
}

// Pixels of the view in the chosen colour (magenta: red and blue high,
// green low), counted in a screenshot.
long chosen_pixels(const fs::path& shot, const std::array<int, 4>& rect) {
  int w = 0, h = 0, n = 0;
  unsigned char* px = stbi_load(shot.string().c_str(), &w, &h, &n, 3);
  if (px == nullptr) return -1;
  long count = 0;
  for (int y = rect[1]; y < std::min(h, rect[1] + rect[3]); ++y)
    for (int x = rect[0]; x < std::min(w, rect[0] + rect[2]); ++x) {
      const unsigned char* p = px + 3 * (static_cast<long>(y) * w + x);
      if (p[0] > 150 && p[2] > 150 && p[1] < 0.35 * std::min(p[0], p[2])) ++count;
    }
  stbi_image_free(px);
  return count;
}

// The demo's page with an atom chosen: the atom and its frame in a colour
// that no element from H to Xe has and that no axis has; nothing else in the
// picture in that colour; every frame drawn (18 atoms); the number and label
// columns of the table stay in view while it scrolls sideways.
TEST(Page, ChosenAtomStandsOutAndTheFirstColumnsStayInView) {
  ASSERT_FALSE(chromium().empty()) << "chromium is missing (make test-deps installs it)";
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
  std::string symbols = "[";
  for (int z = 1; z <= NCOVRAD; ++z) symbols += (z > 1 ? ",'" : "'") + std::string(rtrim(atsym(z))) + "'";
  symbols += "]";
  const Json probe = probe_page(page,
                                "var p = window.vornPage;"
                                "out.chosen = p.chosen(); out.chosenColour = p.chosenColour; out.axes = p.axisColours;"
                                "out.elements = " + symbols + ".map(function (s) { return [s, p.elementColour(s)]; });"
                                "out.frames = p.framesDrawn();"
                                "out.switchHidden = document.getElementById('all-frames-switch').hidden;"
                                "var box = document.getElementById('table-box'); box.style.width = '320px';"
                                "var row = document.getElementById('atom-rows').rows[0];"
                                "function lefts() { return [0, 1, 2, 8].map(function (c) {"
                                "  var r = row.cells[c].getBoundingClientRect(); return [r.left, r.right]; }); }"
                                "out.before = lefts(); box.scrollLeft = 400; out.scrolled = box.scrollLeft;"
                                "out.after = lefts(); out.box = box.getBoundingClientRect().left;"
                                "out.labelBackground = getComputedStyle(row.cells[1]).backgroundColor;",
                                "#atom=C(7)");
  ASSERT_FALSE(probe.contains("error")) << probe.dump();
  EXPECT_EQ(probe.at("chosen"), 6);
  const std::string chosen = probe.at("chosenColour");
  for (const Json& e : probe.at("elements")) {
    SCOPED_TRACE(e.dump());
    EXPECT_GT(colour_distance(chosen, e.at(1)), 25.0);
  }
  EXPECT_EQ(probe.at("elements").size(), static_cast<std::size_t>(NCOVRAD));
  for (const Json& a : probe.at("axes")) EXPECT_GT(colour_distance(chosen, a), 25.0) << a;
  EXPECT_GT(colour_distance(chosen, "#ffffff"), 25.0);
  // Every frame at 18 atoms, and no switch.
  EXPECT_EQ(probe.at("frames").size(), 18u) << probe.at("frames");
  EXPECT_TRUE(probe.at("switchHidden").get<bool>());
  // Scrolled 400 pixels: the number sits at the box's left edge, the label
  // right after it, and an opaque label cell covers what passes beneath;
  // the name and ATOM0 columns moved.
  ASSERT_GT(probe.at("scrolled").get<double>(), 100) << "the table does not overflow";
  const Json& before = probe.at("before");
  const Json& after = probe.at("after");
  const double box_left = probe.at("box");
  EXPECT_NEAR(after[0][0].get<double>(), box_left, 1.5);
  EXPECT_NEAR(after[1][0].get<double>(), after[0][1].get<double>(), 1.5);
  EXPECT_NEAR(after[1][0].get<double>(), before[1][0].get<double>(), 1.5);
  EXPECT_LT(after[3][0].get<double>(), before[3][0].get<double>() - 100);
  EXPECT_NE(probe.at("labelBackground"), "rgba(0, 0, 0, 0)");

  // The screenshot: the chosen colour appears only once an atom is chosen.
  std::smatch rect;
  const std::string dom = read_file(work / "probe-dom.html");
  ASSERT_TRUE(std::regex_search(dom, rect, std::regex("data-viewer-rect=\"([0-9]+),([0-9]+),([0-9]+),([0-9]+)\"")));
  const std::array<int, 4> view{std::stoi(rect[1]), std::stoi(rect[2]), std::stoi(rect[3]), std::stoi(rect[4])};
  const fs::path plain = work / "plain.png", marked = work / "marked.png";
  ASSERT_EQ(run_chromium(dir.path(), "--screenshot='" + plain.string() + "'", page, work / "shot.log"), 0);
  ASSERT_EQ(run_chromium(dir.path(), "--screenshot='" + marked.string() + "'", page, work / "shot.log", "#atom=C(7)"), 0);
  const long without = chosen_pixels(plain, view), with = chosen_pixels(marked, view);
  ASSERT_GE(without, 0) << "no screenshot";
  EXPECT_LT(without, 10);
  EXPECT_GT(with, 300);
}

// 321 atoms: 107 waters on a grid. Only the chosen atom's frame and those of
// its bonded neighbours are drawn, until the switch asks for every frame.
TEST(Page, AboveThreeHundredAtomsFramesOfTheChosenAtomAndItsNeighboursOnly) {
  ASSERT_FALSE(chromium().empty()) << "chromium is missing (make test-deps installs it)";
  TestRun t;
  std::ostringstream ang;
  ang << "TITL waters\n";
  const double oh = 0.9572, half = 104.52 / 2 * std::numbers::pi / 180;
  for (int k = 0; k < 107; ++k) {
    const Vec o{3.5 * (k % 5), 3.5 * (k / 5 % 5), 3.5 * (k / 25)};
    const Vec h1 = o + Vec{oh * std::sin(half), oh * std::cos(half), 0};
    const Vec h2 = o + Vec{-oh * std::sin(half), oh * std::cos(half), 0};
    ang << "ATOM O" << 3 * k + 1 << " " << o.x << " " << o.y << " " << o.z << "\n"
        << "ATOM H" << 3 * k + 2 << " " << h1.x << " " << h1.y << " " << h1.z << "\n"
        << "ATOM H" << 3 * k + 3 << " " << h2.x << " " << h2.y << " " << h2.z << "\n";
  }
  t.write("w.ang", ang.str());
  run_vorn(t, "FORMAT *platon\nINPUT w.ang\n");
  const Json rec = Json::parse(t.read("vorn.json"));
  ASSERT_EQ(rec.at("atoms").size(), 321u);
  int with_frame = 0;
  for (const Json& a : rec.at("atoms")) with_frame += a.at("frame").at("x").is_null() ? 0 : 1;
  // The oxygen of the 43rd water and its two hydrogens, atoms 127 to 129.
  const Json probe = probe_page(t.dir.path() / "vorn.html",
                                "var p = window.vornPage;"
                                "out.none = p.framesDrawn(); p.choose(126); out.chosen = p.framesDrawn();"
                                "out.status = document.getElementById('status').textContent;"
                                "out.switchHidden = document.getElementById('all-frames-switch').hidden;"
                                "document.getElementById('all-frames').click(); out.all = p.framesDrawn();"
                                "document.getElementById('all-frames').click(); out.again = p.framesDrawn();"
                                "out.near = p.viewer.getSlab().near; document.getElementById('whole-view').click();"
                                "out.whole = p.viewer.getSlab().near;");
  ASSERT_FALSE(probe.contains("error")) << probe.dump();
  EXPECT_TRUE(probe.at("none").empty());
  EXPECT_EQ(probe.at("chosen"), Json::parse("[126,127,128]"));
  EXPECT_FALSE(probe.at("switchHidden").get<bool>());
  EXPECT_NE(probe.at("status").get<std::string>().find("bonded neighbours"), std::string::npos);
  EXPECT_EQ(probe.at("all").size(), static_cast<std::size_t>(with_frame));
  EXPECT_GT(with_frame, 300);
  EXPECT_EQ(probe.at("again"), probe.at("chosen"));
  // Close to the chosen atom, what lies far in front is left out; the whole
  // structure comes back at its full depth (the grid is 17.5 A deep).
  EXPECT_GT(probe.at("near").get<double>(), -10.0);
  EXPECT_LT(probe.at("whole").get<double>(), -17.5);
}

}  // namespace
}  // namespace vorn::test
