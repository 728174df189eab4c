#include "output/drawing.hpp"

#include <string>

#include "base/elements.hpp"
#include "base/error.hpp"
#include "output/populations.hpp"

namespace vorn {

namespace {

constexpr std::string_view kRoutine = "write_spf_rest";

// The atom types the drawing can name, with their radii.
struct JoinEntry {
  std::string sym;  // two characters
  float r;
};

std::vector<JoinEntry> join_entries(Run& run) {
  std::vector<JoinEntry> out;
  if (run.at_types.ntyp < 0 || run.at_types.iz.size() <= static_cast<std::size_t>(run.at_types.ntyp))
    err(kRoutine, "Atom-type list holds fewer types than its count " + std::to_string(run.at_types.ntyp));
  for (int t = 1; t <= run.at_types.ntyp; ++t) {
    const int z = run.at_types.iz[static_cast<std::size_t>(t)];
    float r = 0;
    if (!join_radius(run, z, r)) {
      ff::write(*run.lst, "(/' JOIN RADII : atom type ',i3,' (atomic number ',i3,') has no covalent radius;',"
                          "' left out of vorn.spf')"_f, t, z);
      continue;
    }
    out.push_back({atsym(z), r});
  }
  return out;
}

void write_join_radii(Run& run, const std::vector<JoinEntry>& types, bool dummies) {
  ff::Items items;
  ff::add(items, "JOIN RADII ");
  for (const JoinEntry& e : types) {
    ff::add(items, e.sym);
    ff::add(items, e.r);
  }
  const char* pseudo[] = {"X", "Y", "Z", "D"};
  const int npseudo = dummies ? 4 : 3;
  for (int k = 0; k < npseudo; ++k) ff::add(items, pseudo[k]);
  // The line's length follows the atom types: its format is made here.
  const std::string text =
      "(a," + std::to_string(types.size()) + "(1x,a2,f5.2)," + std::to_string(npseudo) + "(1x,a2,' 0.01'))";
  const ff::Format fmt(text);
  *run.spf << ff::format_items(fmt, items);
}

}  // namespace

bool join_radius(const Run& run, int z, float& r) {
  if (z < 1 || z > NCOVRAD) return false;
  r = run.covrad[static_cast<std::size_t>(z)];
  return true;
}

void write_spf_rest(Run& run) {
  std::ostream& os = *run.spf;
  const int ndum = dummy_count(run, kRoutine);
  for (int j = 1; j <= ndum; ++j) {
    const Vec3& x = run.dummy.x[static_cast<std::size_t>(j)];
    const Vec3 xc = run.ctl.ifrac != 0 ? Vec3(to_cart(run.transf, Frac(x))) : x;
    // The full number: D(10) and beyond must stay distinct names for PLATON.
    ff::write(os, "('ATOM D(',i0,')',2x,3f14.4)"_f, j, xc);
  }

  const std::vector<JoinEntry> types = join_entries(run);
  write_join_radii(run, types, ndum > 0);

  for (const char* line :
       {"SOLID COLOR", "COLOR TYPE X GREEN Y YELLOW Z BROWN D ORANGE", "RADII ATOMS ALL 0.06", "RADII ATOMS X 0.02",
        "RADII ATOMS Y 0.02", "RADII ATOMS Z 0.02", "RADII BONDS ALL 0.01 1", "RADII BONDS TO X 0.01 1",
        "RADII BONDS TO Y 0.01 1", "RADII BONDS TO Z 0.01 1", "RADII BONDS TO D 0.00 0", "DETACH X Y", "DETACH X Z",
        "DETACH Y Z", "DETACH X X", "DETACH Y Y", "DETACH Z Z", "LABEL ON", "LABEL H", "UNLABEL X Y Z"})
    ff::write(os, "(a)"_f, line);

  if (ndum > 0) {
    for (const char* line : {"RADII ATOMS D 0.02", "DETACH D X", "DETACH D Y", "DETACH D Z", "LABEL D"})
      ff::write(os, "(a)"_f, line);
    for (const JoinEntry& e : types) ff::write(os, "('DETACH D ',a2)"_f, e.sym);
  }
  ff::write(os, "(a)"_f, "PLOT");
}

}  // namespace vorn
