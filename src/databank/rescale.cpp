#include "databank/rescale.hpp"

#include <cmath>
#include <string>
#include <vector>

#include "base/error.hpp"
#include "base/text.hpp"
#include "databank/databank.hpp"
#include "format/fortran_io.hpp"
#include "io/input_lines.hpp"
#include "io/scanner.hpp"
#include "model/interaction.hpp"

namespace vorn {

namespace {

constexpr int MAXLINE = 255;
const char* const FRAGERR = "Error reading fragments from vorn.inp";

struct CtlLine {
  std::string text;    // upper case, 255 characters
  std::size_t lineno;  // physical line where it starts
};

// The logical lines of the control file as its reader (ReadInputLine) sees
// them: comment and blank lines skipped, lines ending in "\" joined to the
// next.
// The logical lines of the control file, upper-cased, each with the number
// of its last physical line.
std::vector<CtlLine> logical_lines(TextFile& f) {
  std::vector<CtlLine> out;
  std::string buf;
  f.rewind();
  while (!ReadInputLine(f, buf)) out.push_back({upper(buf), f.line_number()});
  return out;
}

[[noreturn]] void frag_error(const CtlLine& l, const std::string& why) {
  err("rescalePv", std::string(FRAGERR) + " (line " + std::to_string(l.lineno) + ": " + why + ")");
}

// The atoms a FRAG line gives to fragment j, marked in member.
void mark_members(const CtlLine& l, int j, int nat, std::vector<char>& member) {
  std::string text = l.text;
  text.replace(0, 4, "    ");
  // A continued line keeps its "\" markers; they are no atoms.
  for (const Word& w : words(text, MAXLINE))
    if (w.start == w.end && text[static_cast<std::size_t>(w.start - 1)] == '\\')
      text[static_cast<std::size_t>(w.start - 1)] = ' ';
  ff::ListReader r(text);
  int n = r.count_left();
  std::vector<int> v(static_cast<std::size_t>(n));
  for (int& x : v) {
    if (r.next(x)) continue;
    std::string why(rtrim(l.text));
    why.insert(0, 1, '[');
    why += "] holds a value that is not an integer";
    frag_error(l, why);
  }
  if (v.empty()) frag_error(l, "no fragment number");
  for (std::size_t k = 1; k < v.size(); ++k) {
    int a = v[k];
    if (a < 0) {
      if (k < 2 || v[k - 1] <= 0)
        frag_error(l, "the range end " + std::to_string(a) + " does not follow an atom number");
      a = -a;
    }
    if (a < 1 || a > nat)
      frag_error(l, "atom " + std::to_string(a) + " is not one of the atoms 1.." + std::to_string(nat));
    if (v[k] < 0 && a < v[k - 1])
      frag_error(l, "the range " + std::to_string(v[k - 1]) + " to " + std::to_string(a) + " runs backwards");
  }
  if (v[0] != j) return;
  for (std::size_t k = 1; k < v.size(); ++k) {
    if (v[k] > 0) {
      member[static_cast<std::size_t>(v[k])] = 1;
    } else {
      for (int a = v[k - 1]; a <= -v[k]; ++a) member[static_cast<std::size_t>(a)] = 1;
    }
  }
}

// The net charge of fragment j from the terminal; an empty answer is 0.
float ask_charge(Run& run, int j) {
  for (;;) {
    to_out(run, "(' Enter net charge of fragment ',i3,' [0.] : ',$)"_f, j);
    run.out.flush();
    std::string ans;
    if (!read_answer(run, ans))
      err("rescalePv", "No net charge for fragment " + std::to_string(j) +
                           ": standard input ended. Give the charges of the fragments with CHFRAG in vorn.inp");
    for (char& c : ans)
      if (c == '\t' || c == '\r') c = ' ';
    std::string a(rtrim(ans));
    a.erase(0, a.find_first_not_of(' ') == std::string::npos ? a.size() : a.find_first_not_of(' '));
    if (a.empty()) return 0.0f;
    float q = 0;
    if (ff::parse_real(a, q)) return q;
    to_out(run, "(' Not a number : [',a,'] - give the charge, or an empty line for 0.')"_f, a);
  }
}

// Fragments beyond the CHFRAG list have charge 0.
float charge_of(const std::vector<float>& charge, int j) {
  return static_cast<std::size_t>(j) < charge.size() ? charge[static_cast<std::size_t>(j)] : 0.0f;
}

const char* method_name(int m) { return m == 2 ? "fraction" : m == 3 ? "sigmaPv" : "difference"; }
const char* method_mark(int m) { return m == 2 ? "*" : m == 3 ? "s" : "+"; }

}  // namespace

void rescalePv(Run& run) {
  const int nat = run.atoms.nat;
  const int method = run.ctl.iscale == 2 || run.ctl.iscale == 3 ? run.ctl.iscale : 1;
  to_lst(run, "(/' Using ',a,' method for rescaling...')"_f, method_name(method));

  int nfrag = 0;
  bool have_frag = false;
  bool have_charges = false;
  std::vector<float> charge(2, 0.0f);  // 1-based; fragments beyond the list have charge 0
  std::vector<CtlLine> frag_lines;
  if (auto f = TextFile::open(run.path("vorn.inp"))) {
    for (CtlLine& l : logical_lines(*f)) {
      if (starts_padded(l.text, "NFRAG")) {
        ff::ListReader r(std::string_view(l.text).substr(5));
        if (!r.next(nfrag)) frag_error(l, "NFRAG needs the number of fragments");
      }
      if (starts_padded(l.text, "FRAG")) {
        have_frag = true;
        frag_lines.push_back(l);
      }
      if (starts_padded(l.text, "CHFRAG")) {
        have_charges = true;
        std::string text = l.text;
        readline(run.tok, text, MAXLINE);
        ff::ListReader r(text);
        int n = r.count_left();
        charge.assign(static_cast<std::size_t>(n) + 2, 0.0f);
        for (int k = 1; k <= n; ++k)
          if (!r.next(charge[static_cast<std::size_t>(k)]))
            frag_error(l, "CHFRAG holds a charge that is not a number");
      }
    }
  }
  const bool all_atoms = !(nfrag > 0 && have_frag);
  if (all_atoms) {
    nfrag = 1;
    to_both(run, "(/' Using ALL atoms for fragment 1 !')"_f);
  }

  std::vector<char> member(static_cast<std::size_t>(nat) + 1);
  run.fragments.assign(1, Fragment{});
  for (int j = 1; j <= nfrag; ++j) {
    to_both(run, "(/' ***** Rescaling Pv''s in fragment = ',i3,' *****')"_f, j);
    std::fill(member.begin(), member.end(), all_atoms ? 1 : 0);
    member[0] = 0;
    if (!all_atoms)
      for (const CtlLine& l : frag_lines) mark_members(l, j, nat, member);

    // Sums over a fragment of a thousand atoms lose the fourth decimal in
    // single precision: they are taken in double.
    int nmem = 0;
    double sdb = 0, sfree = 0, ssig = 0;
    for (int i = 1; i <= nat; ++i) {
      if (!member[static_cast<std::size_t>(i)]) continue;
      const auto a = static_cast<std::size_t>(i);
      ++nmem;
      sdb += run.mpoles[a].pv;
      sfree += static_cast<double>(pval(run.atoms.iz[a])) * run.atoms1.occ[a];
      ssig += run.mpoles[a].spv;
    }
    if (nmem == 0) {
      // Its charge is still taken, so that the answers given for the
      // fragments after it reach them.
      const float q = have_charges ? charge_of(charge, j) : ask_charge(run, j);
      run.fragments.push_back(Fragment{q, {}});
      to_both(run, "(/' Fragment ',i3,' has no atoms : nothing to rescale')"_f, j);
      if (q != 0.0f)
        to_both(run, "(' Its net charge ',sp,f8.3,ss,' el. is given to no atom')"_f, q);
      continue;
    }
    const double diff = sfree - sdb;
    const double pct = sfree != 0.0 ? std::fabs(diff) / sfree * 100.0 : 0.0;
    to_both(run,
            "(/' Sum-of-Pv[free]     = ',f12.6,' el.',/,"
            "' Sum-of-Pv[databank] = ',f12.6,' el.',/,"
            "' Difference          = ',f12.6,' el. ( ',f6.2,' % )')"_f,
            sfree, sdb, diff, pct);
    if (method == 3) to_both(run, "(' Sum of sigma(Pv)    = ',f12.6)"_f, ssig);

    const float q = have_charges ? charge_of(charge, j) : ask_charge(run, j);
    const double target = sfree - q;
    Fragment& frag = run.fragments.emplace_back();
    frag.charge = q;
    for (int i = 1; i <= nat; ++i)
      if (member[static_cast<std::size_t>(i)]) frag.atoms.push_back(i);
    to_both(run, "(/' Rescaling Sum-of-Pv to ',f13.6,' el.',3x,'( Charge = ',sp,f8.3,' el. )')"_f, target, q);

    // A zero sum cannot be scaled by a ratio; the fragment then gets the
    // plain difference correction.
    int m = method;
    if (m == 2 && sdb == 0.0) {
      to_both(run, "(/' Sum-of-Pv[databank] is zero : fragment ',i3,' is rescaled by the difference method')"_f, j);
      m = 1;
    }
    if (m == 3 && ssig == 0.0) {
      to_both(run, "(/' Sum of sigma(Pv) is zero : fragment ',i3,' is rescaled by the difference method')"_f, j);
      m = 1;
    }

    to_lst(run, "(/4x,'NO  ATOM',7x,'Occup.    Pv(DB)      Pv(free)','    ',a,'Corr       Pv(new)'/)"_f,
           method_mark(m));
    double snew = 0;
    // What storing each new Pv in single precision rounded off goes to the
    // next atom, so that the fragment adds up to its target.
    double carry = 0;
    for (int i = 1; i <= nat; ++i) {
      if (!member[static_cast<std::size_t>(i)]) continue;
      const auto a = static_cast<std::size_t>(i);
      Mpole& mp = run.mpoles[a];
      const float occ = run.atoms1.occ[a];
      double c = 0, exact = 0;
      if (m == 2) {
        c = target / sdb;
        exact = mp.pv * c;
      } else if (m == 3) {
        c = mp.spv * (target - sdb) / ssig;
        exact = mp.pv + c;
      } else {
        c = (target - sdb) / nmem;
        exact = mp.pv + c;
      }
      exact += carry;
      const auto pnew = static_cast<float>(exact);
      carry = exact - pnew;
      to_lst(run, "(i6,2x,a,1x,f7.3,2f12.5,sp,f12.5,ss,f12.5)"_f, i, run.atoms.label[a], occ, mp.pv,
             pval(run.atoms.iz[a]) * occ, c, pnew);
      mp.pv = pnew;
      snew += pnew;
    }
    to_lst(run, "(/20x,'SUM ',4f12.5)"_f, sdb, sfree, target - sdb, snew);
  }
}

}  // namespace vorn
