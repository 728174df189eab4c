// Timing runs of vorn over generated structures.
//
//   vorn_bench gen N DIR [seed]       write DIR/bench.res and DIR/vorn.inp (about N atoms)
//   vorn_bench run [--without-record VORN_NO_RECORD] [--without-rho-cif VORN_NO_RHO_CIF]
//                  VORN WORKDIR RUNS N1 N2 ...
//                                     for each size: one warm-up and RUNS timed runs of
//                                     VORN in WORKDIR/N, then the table
//
// Per size the table gives the median wall time, the largest peak resident
// memory of the runs, and the I/O floor: the median time to copy the output
// files one run produced (the cost of writing that many bytes at all). With
// --without-record, every run of VORN is paired with one of VORN_NO_RECORD
// (the same program without vorn.json and vorn.html), run in turn, and the
// table adds that program's median wall time and the median of the pairs'
// ratios: the cost of the two files, taken pair by pair so that a machine
// whose speed drifts during the runs moves both alike. --without-rho-cif
// does the same with VORN_NO_RHO_CIF, the program without vorn_rho.cif.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "structure_gen.hpp"

namespace fs = std::filesystem;

namespace {

const char* const kOutputs[] = {"vorn.out",      "xd_vorn.mas", "xd_vorn.inp",   "mopro_vorn.par", "con_mopro.inp",
                                "res_mopro.inp", "reset.bond",  "const.bond",    "fixedH.ins",     "vorn.spf",
                                "vorn.ang",      "complete.ang", "reduced.ang",  "reduced_1.ang",  "group.ang",
                                "vorn.json",     "vorn.html",   "vorn_rho.cif"};

int write_case(int target, const fs::path& dir, unsigned seed) {
  vorn::bench::GenOptions opts;
  opts.target_atoms = target;
  opts.seed = seed;
  const vorn::bench::Structure s = vorn::bench::generate(opts);
  fs::create_directories(dir);
  std::ofstream(dir / "bench.res") << vorn::bench::shelx_text(s);
  const fs::path db = fs::absolute(fs::path(VORN_SOURCE_DIR) / "examples" / "databank" / "vorn_example.db");
  std::ofstream(dir / "vorn.inp") << vorn::bench::control_text("bench.res", db.string(), s.natoms());
  return s.natoms();
}

struct Sample {
  double wall = 0;    // s
  long peak_kb = 0;   // largest resident set
  int status = 0;
};

// The output files of the previous run are removed (untimed) so that every
// run writes fresh files, like the copy that measures the I/O floor: the run
// would otherwise also pay the kernel for truncating the old files. Then
// what was written before goes to the disk, untimed too, so that neither a
// run nor a copy shares the machine with the write-back of the one before.
void remove_outputs(const fs::path& dir) {
  for (const char* name : kOutputs) fs::remove(dir / name);
  sync();
}

// One run of vorn in dir, its output thrown away.
Sample run_once(const std::string& vorn, const fs::path& dir) {
  remove_outputs(dir);
  Sample s;
  const auto t0 = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(126);
    if (!freopen("/dev/null", "r", stdin) || !freopen("/dev/null", "w", stdout)) _exit(126);
    execl(vorn.c_str(), vorn.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int st = 0;
  rusage ru{};
  wait4(pid, &st, 0, &ru);
  s.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  s.peak_kb = ru.ru_maxrss;
  s.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128;
  return s;
}

// Time to copy what the run wrote: the files are read from the page cache
// and written anew, as vorn writes them.
double copy_floor(const fs::path& dir, std::uintmax_t& bytes) {
  const fs::path to = dir / "copy";
  fs::remove_all(to);
  fs::create_directories(to);
  sync();
  bytes = 0;
  const auto t0 = std::chrono::steady_clock::now();
  for (const char* name : kOutputs) {
    const fs::path p = dir / name;
    if (!fs::exists(p)) continue;
    bytes += fs::file_size(p);
    std::ifstream in(p, std::ios::binary);
    std::ofstream out(to / name, std::ios::binary | std::ios::trunc);
    out << in.rdbuf();
  }
  const double t = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  fs::remove_all(to);
  return t;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

bool ran(const Sample& s, const std::string& program, const fs::path& dir) {
  if (s.status == 0) return true;
  std::fprintf(stderr, "%s stopped with status %d in %s (see vorn.out there)\n", program.c_str(), s.status, dir.c_str());
  return false;
}

// A program that leaves out one or more files, and what it leaves out.
struct Yardstick {
  std::string files;    // "vorn.json, vorn.html"
  std::string program;
};

int bench(const std::string& vorn, const std::vector<Yardstick>& without, const fs::path& work, int runs,
          const std::vector<int>& sizes) {
  struct Row {
    int atoms;
    double wall, floor;
    long peak_kb;
    std::uintmax_t bytes;
    std::vector<double> wall_without, ratio;  // per yardstick
  };
  std::vector<Row> rows;
  for (int n : sizes) {
    const fs::path dir = work / std::to_string(n);
    fs::remove_all(dir);
    const int atoms = write_case(n, dir, 1);
    std::vector<double> walls, floors;
    std::vector<std::vector<double>> walls_without(without.size()), ratios(without.size());
    long peak = 0;
    std::uintmax_t bytes = 0;
    for (int r = 0; r <= runs; ++r) {
      const Sample s = run_once(vorn, dir);
      if (!ran(s, vorn, dir)) return 1;
      std::vector<Sample> b(without.size());
      for (std::size_t y = 0; y < without.size(); ++y) {
        b[y] = run_once(without[y].program, dir);
        if (!ran(b[y], without[y].program, dir)) return 1;
      }
      if (r == 0) continue;  // warm-up
      walls.push_back(s.wall);
      peak = std::max(peak, s.peak_kb);
      for (std::size_t y = 0; y < without.size(); ++y) {
        walls_without[y].push_back(b[y].wall);
        ratios[y].push_back(s.wall / b[y].wall);
      }
    }
    // The floor of what vorn writes: its own run last, the files as it left them.
    if (!without.empty() && !ran(run_once(vorn, dir), vorn, dir)) return 1;
    for (int r = 0; r < runs; ++r) floors.push_back(copy_floor(dir, bytes));
    Row row{atoms, median(walls), median(floors), peak, bytes, {}, {}};
    for (std::size_t y = 0; y < without.size(); ++y) {
      row.wall_without.push_back(median(walls_without[y]));
      row.ratio.push_back(median(ratios[y]));
    }
    rows.push_back(row);
    std::fprintf(stderr, "  %6d atoms: done\n", atoms);
  }
  std::printf("\n| atoms | wall (s, median of %d) | peak memory (MB) | output (MB) | I/O floor (s) | wall / floor | wall / wall(first) |",
              runs);
  for (const Yardstick& y : without)
    std::printf(" wall without %s (s) | wall / wall without (median of pairs) |", y.files.c_str());
  std::printf("\n|---:|---:|---:|---:|---:|---:|---:|");
  for (std::size_t y = 0; y < without.size(); ++y) std::printf("---:|---:|");
  std::printf("\n");
  for (const Row& r : rows) {
    std::printf("| %d | %.3f | %.1f | %.1f | %.3f | %.1f | %.1f |", r.atoms, r.wall, r.peak_kb / 1024.0,
                static_cast<double>(r.bytes) / 1e6, r.floor, r.wall / r.floor, r.wall / rows.front().wall);
    for (std::size_t y = 0; y < without.size(); ++y) std::printf(" %.3f | %.2f |", r.wall_without[y], r.ratio[y]);
    std::printf("\n");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> a(argv + 1, argv + argc);
  if (a.size() >= 3 && a[0] == "gen") {
    const unsigned seed = a.size() >= 4 ? static_cast<unsigned>(std::stoul(a[3])) : 1u;
    const int n = write_case(std::stoi(a[1]), a[2], seed);
    std::printf("%d atoms written to %s\n", n, a[2].c_str());
    return 0;
  }
  if (a.size() >= 2 && a[0] == "run") {
    std::vector<Yardstick> without;
    for (;;) {
      if (a.size() >= 3 && a[1] == "--without-record")
        without.push_back({"vorn.json, vorn.html", fs::absolute(a[2]).string()});
      else if (a.size() >= 3 && a[1] == "--without-rho-cif")
        without.push_back({"vorn_rho.cif", fs::absolute(a[2]).string()});
      else
        break;
      a.erase(a.begin() + 1, a.begin() + 3);
    }
    if (a.size() >= 5) {
      std::vector<int> sizes;
      for (std::size_t k = 4; k < a.size(); ++k) sizes.push_back(std::stoi(a[k]));
      return bench(fs::absolute(a[1]).string(), without, fs::absolute(a[2]), std::stoi(a[3]), sizes);
    }
  }
  std::fprintf(stderr,
               "usage: vorn_bench gen N DIR [seed] | vorn_bench run [--without-record VORN_NO_RECORD] "
               "[--without-rho-cif VORN_NO_RHO_CIF] VORN WORKDIR RUNS N1 [N2 ...]\n");
  return 2;
}
