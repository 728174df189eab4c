// The layout of src/ that docs/architecture.md describes: its folders form
// layers (no folder includes, directly or through others, a folder that
// includes it), and no source file grows past what a reader takes in at once.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kSource(VORN_SOURCE_DIR);

// "About 600 lines", with room for a file that a change makes a little longer.
constexpr int kMaxLines = 650;

// Files allowed above the size (none at present).
const std::set<std::string> kLongFiles = {};

bool is_source(const fs::path& p) { return p.extension() == ".cpp" || p.extension() == ".hpp"; }

// One include of another folder: the file that has it, and its line.
struct Use {
  std::string file;
  int line = 0;
};

// Folder -> folder it includes -> the first include that does so.
using FolderGraph = std::map<std::string, std::map<std::string, Use>>;

// The folders of root and what their files include of one another ("x/..."
// where x is a folder of root); files directly in root (main.cpp) stand above
// every folder and are left out.
FolderGraph folder_graph(const fs::path& root) {
  std::set<std::string> folders;
  for (const auto& e : fs::directory_iterator(root))
    if (e.is_directory()) folders.insert(e.path().filename().string());
  static const std::regex include(R"(^\s*#\s*include\s*"([A-Za-z0-9_]+)/)");
  FolderGraph g;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (!e.is_regular_file() || !is_source(e.path())) continue;
    const fs::path rel = fs::relative(e.path(), root);
    if (rel.begin() == rel.end() || std::next(rel.begin()) == rel.end()) continue;
    const std::string from = rel.begin()->string();
    std::ifstream f(e.path());
    std::string text;
    std::smatch m;
    for (int line = 1; std::getline(f, text); ++line) {
      if (!std::regex_search(text, m, include)) continue;
      const std::string to = m[1];
      if (to == from || folders.count(to) == 0) continue;
      g[from].try_emplace(to, Use{rel.generic_string(), line});
    }
  }
  return g;
}

// Every cycle the graph has, one per folder it first reaches a cycle from,
// each as "a -> b (b/x.hpp, line 3 ...) -> a".
std::vector<std::string> cycles(const FolderGraph& g) {
  std::vector<std::string> found;
  std::map<std::string, int> state;  // 1 on the path, 2 done
  std::vector<std::string> path;
  std::function<void(const std::string&)> visit = [&](const std::string& a) {
    state[a] = 1;
    path.push_back(a);
    if (auto it = g.find(a); it != g.end())
      for (const auto& [b, use] : it->second) {
        if (state[b] == 1) {
          auto start = std::find(path.begin(), path.end(), b);
          std::string text;
          for (auto p = start; p != path.end(); ++p) {
            const std::string& next = p + 1 != path.end() ? *(p + 1) : b;
            const Use& u = g.at(*p).at(next);
            text += *p + " -> " + next + " (" + u.file + ", line " + std::to_string(u.line) + ")\n";
          }
          found.push_back(text);
        } else if (state[b] == 0) {
          visit(b);
        }
      }
    path.pop_back();
    state[a] = 2;
  };
  for (const auto& [a, _] : g)
    if (state[a] == 0) visit(a);
  return found;
}

void write(const fs::path& p, const std::string& text) {
  fs::create_directories(p.parent_path());
  std::ofstream(p) << text;
}

TEST(Layout, NoFolderOfSrcIncludesOneThatIncludesIt) {
  const std::vector<std::string> found = cycles(folder_graph(kSource / "src"));
  std::string report;
  for (const std::string& c : found) report += "include cycle between folders of src/:\n" + c;
  EXPECT_TRUE(found.empty()) << report;
}

TEST(Layout, TheStagesStandBetweenTheModelAndTheRunSequence) {
  // The picture of docs/architecture.md: the model includes no stage and
  // the run sequence; no stage includes the run sequence.
  const FolderGraph g = folder_graph(kSource / "src");
  for (const std::string low : {"base", "format", "io", "model"})
    if (auto it = g.find(low); it != g.end())
      for (const std::string high : {"symmetry", "structure", "topology", "chem", "databank", "local", "output", "control"})
        EXPECT_EQ(it->second.count(high), 0u) << low << " includes " << high << " (" << it->second.at(high).file << ")";
  for (const auto& [from, uses] : g)
    EXPECT_EQ(uses.count("control"), 0u) << from << " includes control (" << uses.at("control").file << ")";
}

TEST(Layout, NoSourceFileOverAboutSixHundredLines) {
  const fs::path root = kSource / "src";
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (!e.is_regular_file() || !is_source(e.path())) continue;
    const std::string rel = fs::relative(e.path(), root).generic_string();
    if (kLongFiles.count(rel) != 0) continue;
    std::ifstream f(e.path());
    int lines = 0;
    for (std::string s; std::getline(f, s);) ++lines;
    EXPECT_LE(lines, kMaxLines) << "src/" << rel << " has " << lines << " lines";
  }
}

TEST(Layout, TheCycleFinderNamesEachStepOfACycle) {
  const fs::path root = fs::temp_directory_path() / ("vorn_layout_" + std::to_string(getpid()));
  fs::remove_all(root);
  write(root / "low/a.hpp", "#include <vector>\n");
  write(root / "mid/b.hpp", "#include \"low/a.hpp\"\n#include \"mid/c.hpp\"\n");
  write(root / "high/d.cpp", "#include \"mid/b.hpp\"\n#include \"elsewhere/x.hpp\"\n");
  write(root / "main.cpp", "#include \"high/d.hpp\"\n");
  EXPECT_TRUE(cycles(folder_graph(root)).empty());

  write(root / "low/e.cpp", "// a helper\n  #  include \"high/d.hpp\"\n");
  const std::vector<std::string> found = cycles(folder_graph(root));
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0],
            "high -> mid (high/d.cpp, line 1)\n"
            "mid -> low (mid/b.hpp, line 1)\n"
            "low -> high (low/e.cpp, line 2)\n");
  fs::remove_all(root);
}

}  // namespace
