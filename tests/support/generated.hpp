// Whole runs over the generated structures of bench/: the structure and the
// control file written into a scratch run, every file the run leaves read
// back.
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "control/run_sequence.hpp"
#include "structure_gen.hpp"
#include "support/builders.hpp"

namespace vorn::test {

inline std::string example_databank() {
  return (std::filesystem::path(VORN_SOURCE_DIR) / "examples" / "databank" / "vorn_example.db").string();
}

// Writes the structure (bench.res) and a full control file; returns the
// number of atoms.
inline int write_generated(TestRun& t, const bench::GenOptions& opts, int verbose = 1, const std::string& extra = "") {
  const bench::Structure s = bench::generate(opts);
  t.write("bench.res", bench::shelx_text(s));
  t.write("vorn.inp", bench::control_text("bench.res", example_databank(), s.natoms(), verbose) + extra);
  return s.natoms();
}

// Every file of the run's folder by name, and standard output as "(stdout)";
// the CPU-time lines of the listing and of standard output are left out.
inline std::map<std::string, std::string> run_outputs(TestRun& t) {
  auto without_times = [](const std::string& text) {
    std::istringstream in(text);
    std::string out, line;
    while (std::getline(in, line))
      if (line.find("elapsed times u,s,t") == std::string::npos &&
          line.find("Timing for ring search u,s,t") == std::string::npos)
        out += line + "\n";
    return out;
  };
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::directory_iterator(t.dir.path())) {
    const std::string name = e.path().filename().string();
    files[name] = name == "vorn.out" ? without_times(t.read(name)) : t.read(name);
  }
  files["(stdout)"] = without_times(t.out.str());
  return files;
}

}  // namespace vorn::test
