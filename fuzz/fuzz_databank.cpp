// A databank file through ReadDB, matched against methanol (CH3-OH, standard
// bond lengths): the methyl carbon, the alcohol oxygen, a methyl hydrogen
// and the hydroxyl hydrogen, each with the description the local-axes stage
// and the group recognition would leave for it.
#include <array>

#include "base/elements.hpp"
#include "base/text.hpp"
#include "databank/databank.hpp"
#include "fuzz_run.hpp"

namespace {

using vorn::Cart;
using vorn::Run;

struct Site {
  const char* label;
  Cart xc;
  const char* sitesym;
  int lpg;
  std::array<int, 3> forh;  // parent: bonds, atomic number, H count
  const char* group;
};

const Site kMethanol[] = {
    {"C(1)", Cart(0.0f, 0.0f, 0.0f), "3m", 0, {}, ""},
    {"O(1)", Cart(1.427f, 0.0f, 0.0f), "m", 1, {}, "alcohol"},
    {"H(1)", Cart(-0.363f, 1.028f, 0.0f), "cyl", 0, {4, 6, 3}, ""},
    {"H(2)", Cart(-0.363f, -0.514f, 0.890f), "cyl", 0, {4, 6, 3}, ""},
    {"H(3)", Cart(-0.363f, -0.514f, -0.890f), "cyl", 0, {4, 6, 3}, ""},
    {"H(4)", Cart(1.732f, 0.910f, 0.0f), "cyl", 0, {2, 8, 1}, "alcohol"},
};

void build(Run& run) {
  for (const Site& s : kMethanol) {
    int i = ++run.atoms.nat;
    auto k = static_cast<std::size_t>(i);
    run.atoms.label[k] = vorn::pad(s.label, 8);
    run.atoms.iz[k] = vorn::iatnum(s.label);
    run.atoms.xc[k] = s.xc;
    run.atoms.xf[k] = vorn::to_frac(run.transf, s.xc);
    run.atoms1.lmax[k] = run.atoms.iz[k] == 1 ? 2 : 4;
    run.atoms1.iu[k] = 1;
  }
  run.cryst.ncryst = run.atoms.nat;
  run.ctl.iverb = 2;
}

void describe(Run& run, int atom) {
  const Site& s = kMethanol[atom - 1];
  auto k = static_cast<std::size_t>(atom);
  run.atoms.sitesym[k] = vorn::pad(s.sitesym, 5);
  run.lPG = s.lpg;
  run.forring = {0, 0};
  run.forh[k] = s.forh;
  run.except.flag[k] = s.group[0] == '\0' ? 0 : 1;
  run.except.group[k] = vorn::pad(vorn::upper(s.group), 40);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static vorn::fuzz::FuzzRun f;
  static bool built = false;
  Run& run = f.run;
  if (!built) {
    build(run);
    built = true;
  }
  run.dbfile = vorn::DbFile{};
  run.dbc = vorn::DbCounters{};
  run.db = vorn::TextFile::from_string(vorn::fuzz::as_text(data, size), "fuzz.db");
  return vorn::fuzz::expect_orderly([&] {
    for (int atom : {1, 2, 3, 6}) {
      describe(run, atom);
      vorn::ReadDB(run, atom);
    }
  });
}
