#include "output/scattering_sources.hpp"

#include <algorithm>
#include <sstream>

#include "base/configurations.hpp"
#include "base/text.hpp"

namespace vorn {

namespace {

// The orbitals of a SCAT line in its column order.
struct Orbital {
  const char* name;
  int n, l;
};
constexpr Orbital kOrbitals[18] = {{"1s", 1, 0}, {"2s", 2, 0}, {"3s", 3, 0}, {"4s", 4, 0}, {"2p", 2, 1}, {"3p", 3, 1},
                                   {"4p", 4, 1}, {"3d", 3, 2}, {"4d", 4, 2}, {"4f", 4, 3}, {"5s", 5, 0}, {"5p", 5, 1},
                                   {"6s", 6, 0}, {"6p", 6, 1}, {"5d", 5, 2}, {"7s", 7, 0}, {"6d", 6, 2}, {"5f", 5, 3}};

// The columns in order of shell, then angular momentum.
const std::array<int, 18>& shell_order() {
  static const std::array<int, 18> order = [] {
    std::array<int, 18> o{};
    for (int k = 0; k < 18; ++k) o[static_cast<std::size_t>(k)] = k;
    std::stable_sort(o.begin(), o.end(), [](int a, int b) {
      const Orbital &x = kOrbitals[a], &y = kOrbitals[b];
      return x.n != y.n ? x.n < y.n : x.l < y.l;
    });
    return o;
  }();
  return order;
}

ScatteringSource element_source(int z) {
  ScatteringSource s;
  s.occupancy = GetSFT(z);
  s.known = std::any_of(s.occupancy.begin(), s.occupancy.end(), [](int n) { return n != 0; });
  return s;
}

// The rows of the SCAT table of an XD master file, in order; a row that
// does not read as symbol, three table names and 18 occupancies is unknown.
std::vector<ScatteringSource> master_scat_rows(Run& run) {
  std::vector<ScatteringSource> rows;
  auto f = TextFile::open(run.path(std::string(rtrim(run.ctl.xdold))));
  if (!f) return rows;
  std::string line;
  bool inside = false;
  while (f->next(line, 200)) {
    const std::string u = upper(line);
    if (!inside) {
      inside = starts_padded(u, "SCAT ");
      continue;
    }
    if (starts_padded(u, "END SCAT")) break;
    if (rtrim(u).empty() || u[0] == '!') continue;
    std::istringstream words(u);
    std::string symbol;
    ScatteringSource s;
    words >> symbol >> s.core >> s.valence >> s.deformation;
    s.known = !words.fail();
    for (int& n : s.occupancy)
      if (!(words >> n)) s.known = false;
    rows.push_back(std::move(s));
  }
  return rows;
}

}  // namespace

std::vector<ScatteringSource> scattering_sources(Run& run) {
  const int n = std::max(run.nsft, 1);
  std::vector<ScatteringSource> out(static_cast<std::size_t>(n) + 1);
  std::vector<bool> filled(out.size(), false);
  if (run.ctl.iformat == FMT_XD) {
    const auto rows = master_scat_rows(run);
    for (std::size_t k = 0; k < rows.size() && k + 1 < out.size(); ++k)
      if (rows[k].known) {
        out[k + 1] = rows[k];
        filled[k + 1] = true;
      }
  }
  // Otherwise each table is the element of its atoms.
  for (int i = 1; i <= run.atoms.nat; ++i) {
    const int t = run.atoms1.isft[static_cast<std::size_t>(i)];
    if (t < 1 || t > n || filled[static_cast<std::size_t>(t)]) continue;
    out[static_cast<std::size_t>(t)] = element_source(run.atoms.iz[static_cast<std::size_t>(i)]);
    filled[static_cast<std::size_t>(t)] = true;
  }
  return out;
}

std::string configuration_text(const std::array<int, 18>& occupancy) {
  std::string core, valence;
  for (int k : shell_order()) {
    const int n = occupancy[static_cast<std::size_t>(k)];
    if (n == 0) continue;
    std::string& part = n > 0 ? core : valence;
    if (!part.empty()) part += ' ';
    part += kOrbitals[k].name;
    part += std::to_string(n > 0 ? n : -n);
  }
  std::string s;
  if (!core.empty()) s = "core " + core;
  if (!valence.empty()) s += (s.empty() ? "" : "; ") + std::string("valence ") + valence;
  return s;
}

int core_electrons(const std::array<int, 18>& occupancy) {
  int n = 0;
  for (int k : occupancy)
    if (k > 0) n += k;
  return n;
}

}  // namespace vorn
