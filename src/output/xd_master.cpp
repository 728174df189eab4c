#include "output/xd_master.hpp"

#include <optional>
#include <string_view>
#include <utility>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "base/text.hpp"
#include "local/axes.hpp"
#include "local/key_masks.hpp"
#include "model/interaction.hpp"
#include "local/site_dummies.hpp"

namespace vorn {

namespace {

const char* kKeyHeader = "KEY     XYZ --U2-- ----U3---- ------U4------- M- -D- --Q-- ---O--- ----H----";

// A CIF gives what a SHELX file gives, and its master file is built alike.
bool shelx_like(const Run& run) { return run.ctl.iformat == FMT_SHELX || run.ctl.iformat == FMT_CIF; }

void line(Run& run, std::string_view text) { *run.mas << text << '\n'; }
void dash_rule(Run& run) { *run.mas << '!' << std::string(78, '-') << '\n'; }
void bang_rule(Run& run) { *run.mas << std::string(79, '!') << '\n'; }

// The input XD master file, read on from where the previous step stopped.
class OldMaster {
 public:
  explicit OldMaster(Run& run) : run_(run) {
    name_ = std::string(rtrim(run.ctl.xdold));
    auto f = TextFile::open(run.path(name_));
    if (!f) err("localdef", "Error opening XD master file " + name_ + " (" + open_failure(run.path(name_)) + ")");
    file_ = std::move(*f);
  }
  // Copies lines as they stand up to, not including, the first that starts
  // with key (compared as read); stops the run when there is none.
  void copy_until(std::string_view key, std::string_view what) {
    std::string l;
    while (file_.next(l, 200)) {
      if (starts_padded(l, key)) return;
      std::string_view t = rtrim(l);
      line(run_, t.empty() ? std::string_view(l) : t);
    }
    missing(what);
  }
  // Reads on (compared upper-cased) up to and including the first line that
  // starts with key; returns that line upper-cased.
  std::string skip_through(std::string_view key, std::string_view what) {
    std::string l;
    while (file_.next(l, 200)) {
      std::string u = upper(l);
      if (starts_padded(u, key)) return u;
    }
    missing(what);
  }
  void copy_rest() {
    std::string l;
    while (file_.next(l, 200)) {
      std::string_view t = rtrim(l);
      line(run_, t.empty() ? std::string_view(l) : t);
    }
  }

 private:
  [[noreturn]] void missing(std::string_view what) {
    err("localdef", "XD master file " + name_ + " has no " + std::string(what) + " line");
  }
  Run& run_;
  std::string name_;
  TextFile file_ = TextFile::from_string("");
};

void write_dummies(Run& run) {
  for (int j = 1; j <= run.dummy.n; ++j) {
    const Vec3& x = run.dummy.x[static_cast<std::size_t>(j)];
    ff::write(*run.mas, "(a,2x,3f12.6)"_f, pad(run.dummy.label[static_cast<std::size_t>(j)], 6), x);
    Vec3 c = run.ctl.ifrac == 1 ? Vec3(to_cart(run.transf, Frac(x))) : x;
    ff::write(*run.ang, "('ATOM Li(',i0,')',2x,3f14.4)"_f, j, c);
  }
}

void write_kappa_lines(Run& run) {
  int nk = run.kappaset[0];
  std::vector<bool> heavy(static_cast<std::size_t>(nk + 1), false);
  for (int i = 1; i <= run.atoms.nat; ++i) {
    int k = run.kappaset[static_cast<std::size_t>(i)];
    if (k >= 1 && k <= nk && run.atoms.iz[i] != 1) heavy[static_cast<std::size_t>(k)] = true;
  }
  bool off = run.ctl.itoxd == 1 || !run.ctl.lkey[7];
  for (int k = 1; k <= nk; ++k)
    line(run, off ? "KAPPA   000000" : (heavy[static_cast<std::size_t>(k)] ? "KAPPA   110000" : "KAPPA   100000"));
}

}  // namespace

namespace {

// The two halves of the key line of an atom (after its label).
std::pair<std::string_view, std::string_view> key_parts(const Run& run, int atom) {
  const auto& k = run.ctl.lkey;
  bool ordered = run.atoms1.flag[atom] != -1;
  std::string_view one = "000 000000 0000000000 000000000000000 ";
  std::string_view two = "00 000 00000 0000000 000000000";
  if (k[1] && (k[2] || (k[3] && ordered)))
    one = run.atoms.iz[atom] == 1 ? "111 100000 0000000000 000000000000000 " : "111 111111 0000000000 000000000000000 ";
  if (run.ctl.itoxd != 1 && k[4] && (k[5] || (k[6] && ordered))) {
    if (const std::string_view m = key_mask(run.atoms.sitesym[atom]); !m.empty()) two = m;
  }
  return {one, two};
}

}  // namespace

std::string getkey(Run& run, int atom) {
  const auto [one, two] = key_parts(run, atom);
  std::string key;
  key.reserve(68);
  key += one;
  key += two;
  return key;
}

void localdef(Run& run) {
  run.dummy.n = 0;
  run.site.dummy_x.clear();
  run.site.waiting.clear();
  run.mpoles.assign(static_cast<std::size_t>(run.atoms.nat) + 1, Mpole{});
  run.db_atoms.assign(static_cast<std::size_t>(run.atoms.nat) + 1, DbAtom{});
  run.site_check.assign(static_cast<std::size_t>(run.atoms.nat) + 1, SiteCheck{});
  run.atom_table.assign(static_cast<std::size_t>(run.atoms.nat) + 1, std::string());
  for (LineBlock* lines : {&run.mopro, &run.mcon, &run.uratio}) lines->reserve(static_cast<std::size_t>(run.atoms.nat) + 1);
  run.label_index.build(run.atoms.label, run.atoms.nat);
  if (!run.ang.open(run.output_path("vorn.ang"))) err("localdef", "Unable to create output file vorn.ang");
  ff::write(*run.ang, "(a)"_f, "ANGSTROM");

  std::optional<OldMaster> old;
  if (run.ctl.iformat == FMT_XD) {
    old.emplace(run);
    old->copy_until("ATOM", "ATOM");
  }
  const char* header = "ATOM     ATOM0    AX1 ATOM1    ATOM2   AX2 R/L TP TBL KAP LMX SITESYM  CHEMCON";
  run.out << '\n' << header << '\n';
  line(run, header);

  for (int i = 1; i <= run.atoms.nat; ++i) {
    to_lst(run, "(/1x,79('-')/' Working with atom ',i7,' : [',a,']',5x,'occ =',f11.4)"_f, i, run.atoms.label[i],
           run.atoms1.occ[i]);
    stop_if_asked(run);
    DefLoc(run, i);
    ff::write(*run.ang, "('ATOM ',a,3x,3f14.4)"_f, run.atoms.label[i], run.atoms.xc[i]);
  }
  // The atom table waits for the last atom: the dummies of the frames of
  // special positions take their numbers then.
  number_site_dummies(run);
  for (int i = 1; i <= run.atoms.nat; ++i) line(run, run.atom_table[static_cast<std::size_t>(i)]);
  write_dummies(run);
  line(run, "END ATOM");
  run.ang.finish();

  if (old) {
    old->skip_through("END ", "END");
    old->copy_until("KEY ", "KEY");
  }
  if (shelx_like(run)) wrxdmas1(run);
  line(run, kKeyHeader);
  std::string key_line;
  for (int i = 1; i <= run.atoms.nat; ++i) {
    const auto [one, two] = key_parts(run, i);
    key_line.assign(run.atoms.label[i]);
    key_line += one;
    key_line += two;
    key_line += '\n';
    run.mas->write(key_line.data(), static_cast<std::streamsize>(key_line.size()));
  }
  write_kappa_lines(run);

  if (shelx_like(run) || run.ctl.iformat == FMT_AIM2TAB) {
    for (const char* l : {"EXTCN   0000000", "OVTHP   0", "SCALE   1", "END KEY"}) line(run, l);
  } else if (old) {
    line(run, rtrim(old->skip_through("EXTCN ", "EXTCN")));
    old->copy_rest();
  }
  if (shelx_like(run)) {
    dash_rule(run);
    line(run, "!");
    line(run, "   END XDLSM");
    line(run, "!");
    bang_rule(run);
    wrxdmas2(run);
  }
}

void wrxdmas1(Run& run) {
  dash_rule(run);
  ff::Items items;
  ff::add(items, "KEEP  kappa ");
  for (int k = 1; k <= run.kappaset[0]; ++k) ff::add(items, k);
  *run.mas << ff::format_items("( a, 20j4,' \\', 10(/,20j4,' \\') )"_f, items);
  for (const char* l : {"KEEP  charge group1", "!KEEP  rigid group1", "!RESET bond C(1) H(1) 1.09 ..."}) line(run, l);
  ff::write(*run.mas, "(a,6f11.5)"_f, "WEIGHT  ", std::span<const float>(run.shelx.wght.data() + 1, 6));
  for (const char* l : {"SKIP  obs 0. 1.d10 *sigobs 3. 1.d06 sinthl 0. 2.",
                        "PRINT sinthl .0 2. obs 0. 15. delta 0. 10. *del% 80 100 extcn 80. 100. *abssc",
                        "!EXTCN  *iso aniso *type_1 type_2 type_3 distr_g *distr_l msc_0  msc_1",
                        "!DMSDA  1.1  1.8", "!FOUR  fmod1 4 2 0 0  fmod2 -1 2 0 0",
                        "!CON  num1 par1/iat1 num2 par2/iat2 ... = num0"})
    line(run, l);
  dash_rule(run);
}

void wrxdmas2(Run& run) {
  static const char* const kProp1[] = {
      "!", "   MODULE *XDPROP", "!", "MODEL  iam *multipole", "!APPLY  symm 1 translations 0 0 0 ato(1) ato(2) ...",
      "SELECT  *local  numdx  check  esd  nocore", "SELECT  cpcut 0.0001 lmax 4  nstep 20  rcut 4.0 ",
      "SELECT  scale 0.05  dx 0.001  ds 0.005 ", "SELECT  rad1 0.1  rad2 200.  rad3 10.  zone1 1  zone2 1",
      "SELECT  rEcrit 0.00001  rNcrit 0.00001", "QUADINT   iqt 2  Nrad 50  Nang 194  Becke  *Stock  Print",
      "!GROUP  ato(1) ato(2) ...", "MOLMOM  *cmass center ucell ccharge", "!D-POP",
      "!EXPORT *orient *min16 lmax 4 nmol 1 natmol ...",
      "PROPERTY  *rho gradrho d2rho nucpot elpot core valence defden sigrho siglap esp ef efg",
      "!QFIT  grid 11 length 7.0 width 1.0 constrain false", "!CONSTRAIN  ato(1) ato(2) ...", "!",
      "!STOCKMOM  defden lmin 0 lmax 4 *cmass center ucell debug",
      "!STOCKMOM *orient *min16 lmax 4 nmol 1 natmol ...", "!STOCKMOM  atoms *all select ato(1) ato(2) ...", "!",
      "!ATATPOT  *EXREP spack  wilcox lj *saptP  saptA ", "!ATATPOT  *DISPR spack  wilcox lj *saptP  saptA ",
      "!ATATPOT  *INDUC                  *saptP  saptA", "!", "!HBONDS   H(1) O(1) 1.75   H(2) O(2) 1.82", "!",
      "!HPOLAR   H(1) H(3) H(4)", "!", "!INTEREN  frag 1  nat1 -nat2  *neutral",
      "!INTEREN  frag 2  nat3 -nat4  *neutral", "!INTEREN  EP aMM  mMM *EPMM  rCrit1 4.5 rCrit2 20. debug", "!"};
  static const char* const kProp2[] = {
      "!LATEN  ncells 0 20  nappl 0  symms 1 2 3", "!LATEN  EP  aMM  mMM  *EPMM  rCrit1 4.5 rCrit2 20. lapf debug", "!",
      "!POINT  x y z", "!LINE  ato(1) ato(2)  npts 50", "!LINE  points x1 y1 z1 x2 y2 z2 npts 50",
      "!CUBE  centre x y z   npts 30  stepsize 0.1", "!CUBE  ato(1) ato(2)  npts 20  stepsize 0.1",
      "!MAP  atoms ato(1) ato(2) ato(3) npts 50 stepsize 0.1",
      "!MAP  bvect1 x1 y1 z1 bvect2 x2 y2 z2 cen x0 y0 z0 npts 50 stepsize 0.1", "!CPSEARCH  bond ato(1) ato(2)",
      "!CPSEARCH  bond rmin  1.2 rmax  1.6", "!CPSEARCH  ring ato(1) ato(2) ...",
      "!CPSEARCH  shell ato(1) rmin 0.3 rmax 0.5 nrad 5 nang 11 11 cutoff 16.0",
      "!CPSEARCH BUBBLE ato(1) rmin 0.3 rmax 0.5 curv -3 ncps 3", "!CPSEARCH  point x y z",
      "!CPSEARCH  start file.cps", "!BPATH  ato(1) ato(2) algrithm 2", "!", "   END XDPROP"};
  for (const char* l : kProp1) line(run, l);
  ff::write(*run.mas, "(a,j4,a)"_f, "!LATEN  frag1 1 ", -run.atoms.nat, "  *neutral");
  for (const char* l : kProp2) line(run, l);
  bang_rule(run);
  line(run, "   MODULE XDGEOM");
  line(run, "SELECT   rmin 0.8 rmax 1.8  tor *ato *bon *ang loc non");
  line(run, "   END  XDGEOM");
  bang_rule(run);
}

}  // namespace vorn
