// What every harness shares: a run state over a scratch directory that lives
// as long as the fuzzing process, and the rule that a fatal error of the
// program (VornError) is an ordinary outcome of bad input.
//
// The scratch directory is made in /dev/shm when the machine has it, so that
// the input a harness hands to a reader as a file never touches the disk.
// Anything else that leaves a reader (another exception, a crash, a
// sanitizer report, a leak, a hang) is a finding.
#pragma once

#include <stdlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/elements.hpp"
#include "base/error.hpp"
#include "base/text.hpp"
#include "model/run.hpp"

namespace vorn::fuzz {

class FuzzRun {
 public:
  FuzzRun() : dir_(make_dir()), run(out_, in_, dir_) {}
  ~FuzzRun() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  FuzzRun(const FuzzRun&) = delete;
  FuzzRun& operator=(const FuzzRun&) = delete;

  // The state at program start, with nothing left over from the last input,
  // for the tables a reader of the control or a structure file uses, which
  // are all such a reader can change (as init() sets them). The
  // tables of the later stages are left alone: clearing them costs most of
  // init()'s time, and a reader neither reads nor writes them.
  //
  // A reader stores at most one atom per line of its input, so only the
  // entries up to the line count of the last input can have changed; they
  // are filled in place (clearing and reallocating all 20001 entries of every
  // table for every input would cost more than reading it).
  Run& fresh_for_reader(std::string_view input) {
    fresh_for_control();
    const std::size_t upto = dirty_;
    dirty_ = std::min<std::size_t>(MAXAT + 1, static_cast<std::size_t>(std::count(input.begin(), input.end(), '\n')) + 2);
    run.atoms.nat = 0;
    refill(run.atoms.label, std::string(8, ' '), upto);
    refill(run.atoms.xf, Frac{}, upto);
    refill(run.atoms.xc, Cart{}, upto);
    refill(run.atoms.iz, 0, upto);
    refill(run.atoms.sitesym, std::string(5, ' '), upto);
    refill(run.atoms1.iu, 0, upto);
    refill(run.atoms1.isft, 0, upto);
    refill(run.atoms1.lmax, 0, upto);
    refill(run.atoms1.occ, 1.0f, upto);
    refill(run.atoms1.flag, 0, upto);
    refill(run.at_uij, Uij{}, upto);
    run.at_types = AtTypes{};
    run.at_types.iz.assign(1, 0);
    run.cryst.ncryst = 0;
    refill(run.cryst.isq, 0, upto);
    refill(run.cryst.nsq, 0, upto);
    run.ucell = {};
    run.symm = Symm{};
    run.symm.op.assign(1, SymOp{});
    run.transf = Transf{};
    run.nsft = 0;
    run.amodel = pad("TEST", 20);
    std::vector<int> riding = std::move(run.shelx.riding);
    run.shelx = ShelxData{};
    run.shelx.fv.assign(MAXFV + 1, 0.0f);
    run.shelx.fv[1] = 1.0f;
    run.shelx.wght = {0.0f, -2.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.33333334f};
    run.shelx.riding = std::move(riding);
    refill(run.shelx.riding, 0, upto);
    return run;
  }

  // The same for the control file alone.
  Run& fresh_for_control() {
    run.close_all();
    run.ctl = Ctl{};
    run.covrad = default_covrad();
    run.tok = Tokens{};
    run.ring1 = Ring1{};
    out_.str({});
    out_.clear();
    return run;
  }

  // Writes the input as a file of the scratch directory.
  void put(const std::string& name, std::string_view text) const {
    std::ofstream f(dir_ / name, std::ios::binary | std::ios::trunc);
    f.write(text.data(), static_cast<std::streamsize>(text.size()));
  }

 private:
  template <class T>
  static void refill(std::vector<T>& v, const T& x, std::size_t upto) {
    const auto n = static_cast<std::size_t>(MAXAT + 1);
    if (v.size() == n)
      std::fill(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(std::min(upto, n)), x);
    else
      v.assign(n, x);
  }

  static std::filesystem::path make_dir() {
    std::error_code ec;
    std::filesystem::path base = std::filesystem::is_directory("/dev/shm", ec) ? std::filesystem::path("/dev/shm")
                                                                                : std::filesystem::temp_directory_path();
    std::string tmpl = (base / "vorn-fuzz-XXXXXX").string();
    if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    return tmpl;
  }

  std::filesystem::path dir_;
  std::size_t dirty_ = MAXAT + 1;  // table entries the last input may have changed
  std::ostringstream out_;
  std::istringstream in_;

 public:
  Run run;
};

inline std::string_view as_text(const uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// Runs one input; the program's own fatal errors are expected.
template <class F>
int expect_orderly(F&& f) {
  try {
    f();
  } catch (const VornError&) {
  }
  return 0;
}

}  // namespace vorn::fuzz
