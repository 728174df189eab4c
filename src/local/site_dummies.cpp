#include "local/site_dummies.hpp"

#include <string>
#include <vector>

#include "base/text.hpp"
#include "local/atom_lines.hpp"
#include "local/dummies.hpp"

namespace vorn {

namespace {

Vec3 stored_cart(const Run& run, const Vec3& x) {
  return run.ctl.ifrac != 0 ? Vec3(to_cart(run.transf, Frac(x))) : x;
}

// The dummies something names once every atom has its axes: the axis
// points of the atoms and the ring centres.
std::vector<char> named_dummies(const Run& run) {
  const int nat = run.atoms.nat;
  std::vector<char> named(static_cast<std::size_t>(run.dummy.n) + 1, 0);
  auto mark = [&](int d) {
    if (d >= 1 && d <= run.dummy.n) named[static_cast<std::size_t>(d)] = 1;
  };
  for (int i = 1; i <= nat && static_cast<std::size_t>(i) < run.mpoles.size(); ++i) {
    const Mpole& mp = run.mpoles[static_cast<std::size_t>(i)];
    if (mp.atom0 > nat) mark(mp.atom0 - nat);
    if (mp.atom2 > nat) mark(mp.atom2 - nat);
  }
  for (int r = 1; r <= run.rings.nor && static_cast<std::size_t>(r) < run.rings.ring.size(); ++r)
    mark(run.rings.ring[static_cast<std::size_t>(r)].dummy);
  return named;
}

}  // namespace

int site_dummy(Run& run, const Vec3& cart) {
  std::vector<Vec3>& x = run.site.dummy_x;
  for (std::size_t k = 0; k < x.size(); ++k)
    if (dist(stored_cart(run, x[k]), cart) < 0.001f) return static_cast<int>(k) + 1;
  x.push_back(run.ctl.ifrac != 0 ? Vec3(to_frac(run.transf, Cart(cart))) : cart);
  return static_cast<int>(x.size());
}

void wait_for_site_dummies(Run& run, int atom, const std::array<int, 2>& waiting, int chem_first, int chem_last) {
  SiteFrameAtom w;
  w.atom = atom;
  w.axes = run.axes;
  w.waiting = waiting;
  w.chem_first = chem_first;
  w.chem_last = chem_last;
  // An atom set up a second time waits with its latest axes only.
  std::vector<SiteFrameAtom>& all = run.site.waiting;
  std::erase_if(all, [&](const SiteFrameAtom& e) { return e.atom == atom; });
  all.push_back(std::move(w));
}

bool waits_for_site_dummies(const Run& run, int atom) {
  // The atom being set up is the latest to wait, if it waits.
  const std::vector<SiteFrameAtom>& all = run.site.waiting;
  for (auto it = all.rbegin(); it != all.rend(); ++it)
    if (it->atom == atom) return true;
  return false;
}

void number_site_dummies(Run& run) {
  SiteSymm& s = run.site;
  if (s.waiting.empty()) return;
  Dummy& d = run.dummy;
  std::vector<char> named = named_dummies(run);
  std::vector<int> number(s.dummy_x.size() + 1, 0);
  to_lst(run, "(/' Dummies of the frames of atoms on special positions, numbered after all others:')"_f);
  for (const SiteFrameAtom& w : s.waiting)
    for (const int k : w.waiting) {
      if (k == 0 || number[static_cast<std::size_t>(k)] != 0) continue;
      const Vec3& x = s.dummy_x[static_cast<std::size_t>(k) - 1];
      int n = 0;
      for (int c = w.chem_first; c <= w.chem_last && n == 0; ++c)
        if (named[static_cast<std::size_t>(c)] == 0) n = c;
      const std::string lab(rtrim(run.atoms.label[w.atom]));
      if (n != 0) {
        // A dummy of the chemical frame the site frame replaced: no atom
        // names it now, so it serves the site instead of lying unused.
        d.x[static_cast<std::size_t>(n)] = x;
        to_lst(run, "(3x,a,' for ',a,3f12.6,' (moved: made for its chemical frame, named by no atom now)')"_f,
               pad(d.label[static_cast<std::size_t>(n)], 6), pad(lab, 8), x);
      } else {
        n = append_dummy(run, x);
        named.push_back(0);
        to_lst(run, "(3x,a,' for ',a,3f12.6)"_f, pad(d.label[static_cast<std::size_t>(n)], 6), pad(lab, 8), x);
      }
      named[static_cast<std::size_t>(n)] = 1;
      number[static_cast<std::size_t>(k)] = n;
    }
  run.out << "\n Atoms on special positions, with the dummies of their frames numbered after all others:\n";
  for (const SiteFrameAtom& w : s.waiting) {
    LocalAxes ax = w.axes;
    if (w.waiting[0] != 0) ax.ATOM0 = pad(d.label[static_cast<std::size_t>(number[static_cast<std::size_t>(w.waiting[0])])], 8);
    if (w.waiting[1] != 0) ax.ATOM2 = pad(d.label[static_cast<std::size_t>(number[static_cast<std::size_t>(w.waiting[1])])], 8);
    const auto ia = static_cast<std::size_t>(w.atom);
    refer_axes(run, w.atom, ax, ia < run.mpoles.size() ? run.mpoles[ia].equiv : 0);
    const std::string& line = run.atom_table[ia];
    run.out << ' ' << line << '\n';
    to_lst(run, "(/a,a)"_f, " Local coordinate system definition :  ", line);
  }
}

}  // namespace vorn
