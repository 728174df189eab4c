// Test support: a run state in memory over a scratch directory, and small
// builders for atoms and molecules with realistic geometry.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/elements.hpp"
#include "base/text.hpp"
#include "model/run.hpp"

namespace vorn::test {

// The whole of a file, byte for byte; empty when it cannot be read.
inline std::string read_file(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

// The lines of a text, without their line ends (a last line without one
// counts too).
inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream is(text);
  for (std::string l; std::getline(is, l);) out.push_back(l);
  return out;
}

// The blank-separated words of a line.
inline std::vector<std::string> words_of(const std::string& line) {
  std::istringstream is(line);
  std::vector<std::string> out;
  for (std::string w; is >> w;) out.push_back(w);
  return out;
}

// A scratch directory removed when the object goes.
class ScratchDir {
 public:
  ScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "vorn-test-XXXXXX").string();
    char* p = mkdtemp(tmpl.data());
    if (p == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = p;
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// A run whose standard streams and listing are strings.
struct TestRun {
  explicit TestRun(std::string stdin_text = "") : in(std::move(stdin_text)), run(out, in, dir.path()) {
    run.lst.attach(lst);
  }
  ScratchDir dir;
  std::ostringstream out;
  std::ostringstream lst;
  std::istringstream in;
  Run run;

  void write(const std::string& name, const std::string& text) const {
    std::ofstream(dir.path() / name) << text;
  }
  std::string read(const std::string& name) const { return read_file(dir.path() / name); }
  bool exists(const std::string& name) const { return std::filesystem::exists(dir.path() / name); }
};

// Appends a read atom at a Cartesian position (the cell matrices of the run
// convert it to fractional); returns its index.
inline int add_atom(Run& run, const std::string& label, const Cart& xc, float occ = 1.0f) {
  int i = ++run.atoms.nat;
  run.atoms.label[i] = pad(label, 8);
  run.atoms.iz[i] = iatnum(label);
  run.atoms.xc[i] = xc;
  run.atoms.xf[i] = to_frac(run.transf, xc);
  run.atoms1.occ[i] = occ;
  run.atoms1.lmax[i] = run.atoms.iz[i] == 1 ? 2 : 4;
  run.atoms1.iu[i] = 1;
  run.cryst.ncryst = run.atoms.nat;
  // The tables the neighbour search and localdef size in a whole run, for
  // the stages tests call directly.
  const auto need = static_cast<std::size_t>(i) + 1;
  if (run.neighbors.size() < need) run.neighbors.resize(need);
  if (run.mpoles.size() < need) run.mpoles.resize(need);
  if (run.site_check.size() < need) run.site_check.resize(need);
  return i;
}

// The real structures shared with the project, or nullopt (the caller skips).
inline std::optional<std::filesystem::path> shared_real_dir() {
  std::filesystem::path p = std::filesystem::path(VORN_SOURCE_DIR) / ".." / "shared" / "testdata" / "real";
  if (std::filesystem::is_directory(p)) return p;
  return std::nullopt;
}

#define VORN_REQUIRE_SHARED(var)                                                 \
  auto var##_opt = ::vorn::test::shared_real_dir();                              \
  if (!var##_opt) GTEST_SKIP() << "../shared/testdata/real not present: skipped"; \
  const std::filesystem::path var = *var##_opt

}  // namespace vorn::test
