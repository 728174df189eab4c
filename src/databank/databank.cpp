#include "databank/databank.hpp"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "base/configurations.hpp"
#include "base/error.hpp"
#include "base/text.hpp"
#include "format/fortran_io.hpp"
#include "io/scanner.hpp"
#include "topology/neighbors.hpp"
#include "topology/search_index.hpp"

namespace vorn {

namespace {

constexpr int DBUNIT = 47;  // the databank's stream number, named in its read errors
constexpr int LINELEN = 200;

// Keywords and codes as the words of a line hold them, 8 characters wide.
const std::string W_PRNT = "PRNT    ";
const std::string W_NEIG = "NEIG    ";
const std::string W_PVAL = "PVAL    ";
const std::string W_EXCEPT = "EXCEPT  ";
const std::string W_PLMS = "PLMS    ";
const std::string W_F = "F       ";
const std::string W_T = "T       ";
const std::string BLANK5(5, ' ');

std::string trimmed(std::string_view s) { return std::string(rtrim(s)); }

// ---------------------------------------------------------------------------
// The file, scanned once.

DbLine scan_line(const std::string& text) {
  DbLine l;
  l.raw = text.substr(0, std::min<std::size_t>(text.size(), LINELEN));
  l.cut = text.find_first_not_of(' ', LINELEN) != std::string::npos;
  l.comment = !l.raw.empty() && l.raw[0] == '!';
  if (l.comment) return l;
  std::string buf = upper(pad(l.raw, LINELEN));
  Tokens t;
  readline(t, buf, LINELEN);
  for (int k = 1; k <= t.n; ++k) l.words.push_back(t[k]);
  // Only numbers are left, separated by blanks.
  for (const Word& w : words(buf, LINELEN + 1)) {
    std::string_view v = std::string_view(buf).substr(static_cast<std::size_t>(w.start - 1),
                                                       static_cast<std::size_t>(w.end - w.start + 1));
    DbNumber n;
    n.real_ok = ff::parse_real(v, n.r);
    n.int_ok = ff::parse_int(v, n.i);
    l.numbers.push_back(n);
  }
  return l;
}

// The atomic number of a head line; the line must carry a readable one, or
// the entry could neither be matched nor skipped with confidence.
int head_z(const DbLine& l, const std::string& fname, std::size_t lineno) {
  std::string buf = pad(l.raw, LINELEN);
  std::string w = word(buf, 2, LINELEN);
  int z = 0;
  if (w.empty() || !ff::parse_int(w, z))
    err("ReadDB", "No atomic number on the ATOM line " + std::to_string(lineno) + " of databank file " + fname +
                      " (second word [" + w + "])");
  return z;
}

// From the start of the fourth word to the last non-blank, at most 80 characters.
std::string head_comment(const DbLine& l) {
  std::string buf = pad(l.raw, LINELEN);
  auto w = words(buf, LINELEN);
  if (w.size() < 4) return {};
  auto start = static_cast<std::size_t>(w[3].start - 1);
  std::string c = trimmed(std::string_view(buf).substr(start));
  return c.substr(0, std::min<std::size_t>(c.size(), 80));
}

DbFile& bank(Run& run, const char* routine) {
  if (!run.db) err(routine, "The databank file is not open");
  TextFile& f = *run.db;
  DbFile& d = run.dbfile;
  if (d.loaded && d.name == f.name() && d.fingerprint == f.fingerprint() && d.lines.size() == f.size()) return d;
  d = DbFile{};
  d.name = f.name();
  d.fingerprint = f.fingerprint();
  f.rewind();
  std::string s;
  while (f.next_raw(s)) d.lines.push_back(scan_line(s));
  f.rewind();
  for (std::size_t i = 0; i < d.lines.size(); ++i) {
    DbLine& l = d.lines[i];
    if (l.raw.compare(0, 4, "ATOM") != 0) continue;
    l.headz = head_z(l, d.name, i + 1);
    l.note = head_comment(l);
    d.heads[l.headz].push_back(i);
  }
  for (auto [key, next] : {std::pair{&W_PRNT, &d.next_prnt}, {&W_NEIG, &d.next_neig}, {&W_PVAL, &d.next_pval}}) {
    next->assign(d.lines.size() + 1, d.lines.size());
    for (std::size_t i = d.lines.size(); i-- > 0;) {
      const DbLine& l = d.lines[i];
      (*next)[i] = !l.comment && l.word(1) == *key ? i : (*next)[i + 1];
    }
  }
  d.loaded = true;
  return d;
}

// ---------------------------------------------------------------------------
// Reading lines.

std::size_t line_no(const DbFile& d, const DbLine& l) { return static_cast<std::size_t>(&l - d.lines.data()) + 1; }

// Lines are read up to column 200; the numbers beyond it would be lost
// without a word. (A head line keeps only 80 characters of its comment.)
const DbLine& whole(const DbFile& d, const DbLine& l) {
  if (l.cut && l.headz < 0)
    err("ReadFile", "Line " + std::to_string(line_no(d, l)) + " of databank file " + d.name +
                        " is longer than 200 characters");
  return l;
}

// The next non-comment line, or nullptr at the end of the file.
const DbLine* next_line(DbFile& d) {
  while (d.pos < d.lines.size()) {
    const DbLine& l = d.lines[d.pos++];
    if (!l.comment) return &whole(d, l);
  }
  return nullptr;
}

[[noreturn]] void end_of_file(const DbFile& d, std::string_view what, std::size_t entry) {
  std::string msg = ff::format("(1x,a,1x,i11,$)"_f, "Error reading unit = ", DBUNIT);
  msg += " (end of databank file " + d.name + " while reading " + std::string(what);
  if (entry > 0) msg += " of the entry on line " + std::to_string(entry);
  msg += ")";
  err("ReadFile", msg);
}

const DbLine& read_required(DbFile& d, std::string_view what, std::size_t entry) {
  const DbLine* l = next_line(d);
  if (l == nullptr) end_of_file(d, what, entry);
  return *l;
}

// Skips forward to the next line with the keyword, by its table of next lines.
const DbLine& skip_to(DbFile& d, const std::vector<std::size_t>& next, std::string_view key, std::size_t entry) {
  const std::size_t i = next[std::min(d.pos, d.lines.size())];
  if (i >= d.lines.size()) {
    d.pos = d.lines.size();
    end_of_file(d, "the " + std::string(key) + " line", entry);
  }
  d.pos = i + 1;
  return whole(d, d.lines[i]);
}

[[noreturn]] void bad_numbers(const DbFile& d, const DbLine& l, std::string_view what) {
  err("ReadDB", "Cannot read " + std::string(what) + " from line " + std::to_string(line_no(d, l)) +
                    " of databank file " + d.name + ": [" + trimmed(l.raw) + "]");
}

bool take(const DbNumber& n, int& x) {
  x = n.i;
  return n.int_ok;
}
bool take(const DbNumber& n, float& x) {
  x = n.r;
  return n.real_ok;
}

// The first numbers of the line, in order, as a free-format read takes them.
template <class... Ts>
void read_numbers(const DbFile& d, const DbLine& l, std::string_view what, Ts&... xs) {
  std::size_t k = 0;
  bool ok = ((k < l.numbers.size() && take(l.numbers[k++], xs)) && ...);
  if (!ok) bad_numbers(d, l, what);
}

void read_plms(Run& run, const DbFile& d, const DbLine& l) {
  const std::size_t n = l.numbers.size();
  if (n % 3 != 0) bad_numbers(d, l, "triples l m P(l,m)");
  for (std::size_t k = 0; k < n; k += 3) {
    float fl = 0, fm = 0, p = 0;
    if (!take(l.numbers[k], fl) || !take(l.numbers[k + 1], fm) || !take(l.numbers[k + 2], p))
      bad_numbers(d, l, "triples l m P(l,m)");
    int lv = static_cast<int>(std::lround(fl));
    int mv = static_cast<int>(std::lround(fm));
    if (lv < 0 || lv > 4 || mv < -lv || mv > lv)
      err("ReadDB", "No multipole l = " + std::to_string(lv) + ", m = " + std::to_string(mv) + " on line " +
                        std::to_string(line_no(d, l)) + " of databank file " + d.name +
                        " (l runs 0..4, m -l..l)");
    run.dbrec.P(lv, mv) = p;
  }
}

// ---------------------------------------------------------------------------
// Exception lines.

int exceptdb_q(Run& run, DbFile& d, const DbQuery& q, std::string& group, std::size_t entry) {
  const bool talk = run.ctl.iverb > 1;
  const DbLine& l = read_required(d, "the line after the description", entry);
  if (l.word(1) != W_EXCEPT) {
    --d.pos;  // the caller reads this line again
    if (q.exflag == 0) return 0;
    if (talk)
      to_lst(run,
             "(/' Functional group = [',a,'], but no functional group',"
             "' specified for this entry..',/,' Skipping DB entry...'/)"_f,
             trimmed(q.group));
    return 1;
  }
  if (talk) to_lst(run, "(3x,'Exception entry in DataBank :')"_f);
  if (q.exflag == 0) {
    if (talk) to_lst(run, "(' Exception was not identified for this atom - ','Skip DB entry...',/)"_f);
    return 1;
  }
  std::string up = upper(l.raw);
  auto g = up.find("GROUP");
  if (g == std::string::npos)
    err("exceptdb", "No GROUP on the EXCEPT line " + std::to_string(line_no(d, l)) + " of databank file " + d.name +
                        ": [" + trimmed(l.raw) + "]");
  std::string name = g + 6 < up.size() ? trimmed(std::string_view(up).substr(g + 6)) : std::string();
  name = pad(name, 40);
  std::string mine = pad(upper(q.group), 40);
  if (talk) {
    to_lst(run, "(6x,'functional group   = [',a,']')"_f, mine);
    to_lst(run, "(6x,'group read from DB = [',a,']')"_f, name);
  }
  if (name == mine) {
    group = name;
    return 0;
  }
  if (talk) to_lst(run, "('   Wrong functional group... :( '/)"_f);
  return 1;
}

// ---------------------------------------------------------------------------
// Listings.

void print_query(std::ostream& os, const DbQuery& q) {
  // list-directed lines: one leading blank, integers in 11 columns after a separator
  static constexpr const ff::Format& ld = "(1x,a,1x,i11)"_f;
  ff::write(os, "(/a)"_f, " Searching DataBank for a match : ");
  ff::write(os, ld, " ityp  = ", q.ityp);
  ff::write(os, ld, " iring = ", q.iring);
  ff::write(os, ld, " inei  = ", q.inei);
  ff::write(os, ld, " ity   = ", q.ity);
  ff::write(os, ld, " imemb = ", q.imemb);
  ff::write(os, "(1x,3a)"_f, "  asymi = [", q.asymi, "]");
  ff::write(os, ld, " lPG   = ", q.lPG);
  for (int k = 1; k <= q.ity; ++k) {
    auto kk = static_cast<std::size_t>(k);
    ff::write(os, "(1x,a,1x,i11,1x,a,1x,i11,1x,a,1x,i11)"_f, " type = ", k, " atom = ", q.ztype[kk], " neib = ",
              q.ntypenei[kk]);
  }
  ff::write(os, "(a)"_f, " ");
}

// The six lines of parameter values under " Pseudoatom parameters assigned to ".
std::string values_text(const DbRecord& r) {
  std::array<float, 25> v{};
  std::size_t n = 0;
  for (int l = 0; l <= 4; ++l)
    for (int m = -l; m <= l; ++m) v[n++] = r.P(l, m);
  return ff::format(
      "(3x,'Pval, Kappa, Kappa'', sigmaPv = ',4f12.4,/,"
      "3x,' 2nd Monopole:',f7.3,/,"
      "3x,'      Dipoles:',3f7.3,/,"
      "3x,'  Quadrupoles:',5f7.3,/,"
      "3x,'    Octupoles:',7f7.3,/,"
      "3x,'Hexadecapoles:',9f7.3)"_f,
      r.pv, r.kappa, r.kappap, r.spv, v);
}

// The outcome lines of the search and the head of the parameter block, in
// one record group: they differ between atoms only by the label.
void print_outcome(Run& run, const DbQuery& q, const DbMatch& m, std::string_view label) {
  std::ostream& os = *run.lst;
  const std::string_view name = rtrim(label);
  if (!m.found) {
    ff::write(os,
              "(/' ReadDB :: atom ',a,' was NOT found in the DataBank',/,"
              "/' Pseudoatom parameters assigned to ',a,' : ',/)"_f,
              name, name);
  } else if (q.exflag != 0) {
    ff::write(os,
              "(/' ReadDB :: atom ',a,' was found in the DataBank',/,"
              "/' DB comment for ',a,' = [',a,']',/,"
              "/' Functional group = [',a,']',/,"
              "/' Pseudoatom parameters assigned to ',a,' : ',/)"_f,
              name, label, rtrim(m.rec.comment), rtrim(m.group), name);
  } else {
    ff::write(os,
              "(/' ReadDB :: atom ',a,' was found in the DataBank',/,"
              "/' DB comment for ',a,' = [',a,']',/,"
              "/' Pseudoatom parameters assigned to ',a,' : ',/)"_f,
              name, label, rtrim(m.rec.comment), name);
  }
  os << m.values_text;
}

// Every field of the description that the matching or its listing reads.
void query_key(const DbQuery& q, std::string& key) {
  key.clear();
  auto put = [&key](int v) { key.append(reinterpret_cast<const char*>(&v), sizeof v); };
  put(q.ityp);
  put(q.inei);
  put(q.ity);
  for (int k = 1; k <= q.ity; ++k) {
    put(q.ztype[static_cast<std::size_t>(k)]);
    put(q.ntypenei[static_cast<std::size_t>(k)]);
  }
  put(q.iring);
  put(q.imemb);
  put(q.lPG);
  for (int p : q.parent) put(p);
  put(q.exflag);
  put(static_cast<int>(q.asymi.size()));
  key += q.asymi;
  key += q.group;
}

// The text cut or blank-padded to n characters and upper-cased, into out.
void assign_upper(std::string& out, std::string_view s, std::size_t n) {
  const std::size_t m = std::min(s.size(), n);
  out.resize(n, ' ');
  std::transform(s.begin(), s.begin() + static_cast<std::ptrdiff_t>(m), out.begin(),
                 [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(m), out.end(), ' ');
}

void check_index(const Run& run, int atom) {
  if (atom < 1 || atom > run.atoms.nat) err("ReadDB", "Atom index " + std::to_string(atom) + " is not in the atom table");
}

// The description of the atom, into q (its buffers reused).
void describe(Run& run, int atom, DbQuery& q) {
  check_index(run, atom);
  const auto a = static_cast<std::size_t>(atom);
  q.ityp = run.atoms.iz[a];
  run.iprint = 0;
  // The stored record serves while nothing bonded to the atom has moved.
  const NeighborRec* stored = unchanged_bonds(run, atom);
  if (stored == nullptr) GetNei(run, atom, 0.0f);
  const NeighborRec& n = stored != nullptr ? *stored : run.neig;
  q.inei = n.nnei;
  // Types by increasing atomic number, as the neighbour search groups them.
  q.ztype.assign(1, 0);
  q.ntypenei.assign(1, 0);
  for (int k = 1; k <= n.nnei; ++k) {
    const int z = run.atoms.iz[static_cast<std::size_t>(n.inei[static_cast<std::size_t>(k)])];
    const auto it = std::lower_bound(q.ztype.begin() + 1, q.ztype.end(), z);
    const auto t = it - q.ztype.begin();
    if (it != q.ztype.end() && *it == z) {
      ++q.ntypenei[static_cast<std::size_t>(t)];
    } else {
      q.ztype.insert(it, z);
      q.ntypenei.insert(q.ntypenei.begin() + t, 1);
    }
  }
  q.ity = static_cast<int>(q.ztype.size()) - 1;
  q.iring = run.forring[0];
  q.imemb = run.forring[1];
  assign_upper(q.asymi, run.atoms.sitesym[a], 5);
  q.lPG = run.lPG;
  const auto& fh = run.forh[a];  // bonds of the parent, its Z, its H count
  q.parent = {fh[1], fh[0], fh[2]};
  q.exflag = run.except.flag[a];
  assign_upper(q.group, run.except.group[a], 40);
}

// Scans the file from its start for the first entry that fits; fills
// run.dbrec and, for an exception entry, group. True when one fits.
bool match(Run& run, DbFile& d, const DbQuery& q, std::string& group) {
  DbRecord& r = run.dbrec;
  const bool talk = run.ctl.iverb > 1;
  d.pos = 0;
  auto heads = d.heads.find(q.ityp);
  if (heads == d.heads.end()) return false;
  const auto& hv = heads->second;
  for (;;) {
    // Lines that are not head lines of this element are passed over unread,
    // so the next candidate is the first such head line at the position.
    auto it = std::lower_bound(hv.begin(), hv.end(), d.pos);
    if (it == hv.end()) return false;
    const std::size_t h = *it;
    const std::size_t entry = h + 1;
    d.pos = h + 1;
    const DbLine& head = d.lines[h];
    if (talk) to_lst(run, "(2a)"_f, " Reading atom = ", trimmed(head.raw));
    bool planar = q.inei <= 3;

    if (q.ityp == 1) {
      const DbLine& l = skip_to(d, d.next_prnt, "PRNT", entry);
      int jhp = 0, jsp = 0, jhnei = 0;
      read_numbers(d, l, "the parent's atomic number, bonds and H count", jhp, jsp, jhnei);
      const std::string_view asymr = std::string_view(l.word(5)).substr(0, 5);
      if (talk)
        to_lst(run, "(2x,3(1x,a,i3),1x,3a)"_f, "jhp =", jhp, "jsp =", jsp, "jhnei=", jhnei, "asymr=[", asymr, "]");
      if (exceptdb_q(run, d, q, group, entry) != 0) continue;
      if (jhp != q.parent[0] || jsp != q.parent[1] || jhnei != q.parent[2] || asymr != q.asymi) continue;
    } else {
      const DbLine& l = skip_to(d, d.next_neig, "NEIG", entry);
      int jnei = 0, jty = 0, jring = 0, jmemb = 0;
      read_numbers(d, l, "the neighbour, type, ring and ring-size counts", jnei, jty, jring, jmemb);
      const std::string_view asymr = std::string_view(l.word(6)).substr(0, 5);
      const std::string& w8 = l.word(8);
      if (w8 == W_F) planar = false;
      if (w8 == W_T) planar = true;
      if (talk)
        to_lst(run, "(2x,3(1x,a,i3),1x,3a,1x,a,l1/1x,a,i3)"_f, "jnei=", jnei, "jty=", jty, "jring=", jring, "asymr=[",
               asymr, "]", "planar=", planar, "jmemb=", jmemb);
      const bool sym_fits = asymr == BLANK5 || asymr == q.asymi;
      if (jnei != q.inei || jty != q.ity || jring != q.iring || jmemb != q.imemb || !sym_fits ||
          planar != (q.lPG != 0))
        continue;
      std::vector<std::array<int, 2>> types;
      for (int k = 1; k <= jty; ++k) {
        const DbLine& t = read_required(d, "a neighbour-type line", entry);
        int idx = 0, jatum = 0, jndt = 0;
        read_numbers(d, t, "a neighbour type (index, atomic number, count)", idx, jatum, jndt);
        if (talk) to_lst(run, "(3x,'type =',i3,' jatum =',i3,' jndt =',i3)"_f, idx, jatum, jndt);
        types.push_back({jatum, jndt});
      }
      bool all = true;
      for (int k = 1; k <= q.ity && all; ++k) {
        std::array<int, 2> want{q.ztype[static_cast<std::size_t>(k)], q.ntypenei[static_cast<std::size_t>(k)]};
        all = std::find(types.begin(), types.end(), want) != types.end();
      }
      if (!all) continue;
      if (exceptdb_q(run, d, q, group, entry) != 0) continue;
    }

    r.found = 1;
    r.comment = head.note;
    const DbLine& pv = skip_to(d, d.next_pval, "PVAL", entry);
    read_numbers(d, pv, "Pv, kappa, kappa' and sigma(Pv)", r.pv, r.kappa, r.kappap, r.spv);
    // The end of the file ends the PLMS lines of the last entry as well as
    // any other line would.
    while (const DbLine* l = next_line(d)) {
      if (l->word(1) != W_PLMS) break;
      read_plms(run, d, *l);
    }
    return true;
  }
}

}  // namespace

// ---------------------------------------------------------------------------

float pval(int z) {
  // The valence of the SCAT line, so that the refinement starts from the
  // electrons its wavefunction table puts in the valence shell (iodine 7:
  // its 4d shell is core).
  if (z >= 1 && z <= MAXSCATZ) return static_cast<float>(scat_valence(z));
  // Beyond the SCAT table (an atom of such an element stops the run when it
  // is read): the electrons outside the preceding noble gas.
  if (z <= 2) return static_cast<float>(z);
  return static_cast<float>(z - 86);
}

DbQuery dbquery(Run& run, int atom) {
  DbQuery q;
  describe(run, atom, q);
  return q;
}

void ReadDB(Run& run, int atom) {
  check_index(run, atom);
  DbFile& d = bank(run, "ReadDB");
  describe(run, atom, d.query);
  ReadDB(run, atom, d.query);
}

void ReadDB(Run& run, int atom, const DbQuery& q) {
  check_index(run, atom);
  if (q.ity < 0 || q.ztype.size() <= static_cast<std::size_t>(q.ity) ||
      q.ntypenei.size() <= static_cast<std::size_t>(q.ity))
    err("ReadDB", "The neighbour types of atom " + std::to_string(atom) + " are incomplete");
  DbFile& d = bank(run, "ReadDB");
  DbRecord& r = run.dbrec;
  // With verbosity above 1 the listing follows the scan entry by entry, so
  // the scan is made every time; otherwise a description seen before takes
  // the outcome of its first scan.
  const bool talk = run.ctl.iverb > 1;
  query_key(q, d.key);
  auto known = d.matches.find(d.key);
  const DbMatch* m = nullptr;
  DbMatch fresh;
  if (known != d.matches.end() && !talk) {
    m = &known->second;
    *run.lst << m->query_text;
    r = m->rec;
    d.pos = m->pos;
  } else {
    std::ostringstream os;
    print_query(os, q);
    fresh.query_text = std::move(os).str();
    *run.lst << fresh.query_text;
    r = DbRecord{};
    r.pv = pval(q.ityp);
    fresh.group.assign(40, ' ');
    fresh.found = match(run, d, q, fresh.group);
    fresh.rec = r;
    fresh.pos = d.pos;
    fresh.values_text = values_text(r);
    m = known == d.matches.end() ? &d.matches.emplace(d.key, std::move(fresh)).first->second : &fresh;
  }

  ++run.dbc.searched;
  if (m->found)
    ++run.dbc.found;
  else
    ++run.dbc.notfound;
  print_outcome(run, q, *m, run.atoms.label[static_cast<std::size_t>(atom)]);
}

void ReadFile(Run& run, std::string& line) {
  DbFile& d = bank(run, "ReadFile");
  const DbLine& l = read_required(d, "a line", 0);
  line = upper(pad(l.raw, LINELEN));
  readline(run.tok, line, LINELEN);
}

int exceptdb(Run& run, int atom, std::string& group) {
  if (atom < 1 || atom > run.atoms.nat) err("exceptdb", "Atom index " + std::to_string(atom) + " is not in the atom table");
  DbFile& d = bank(run, "exceptdb");
  DbQuery q;
  q.exflag = run.except.flag[static_cast<std::size_t>(atom)];
  q.group = upper(pad(run.except.group[static_cast<std::size_t>(atom)], 40));
  return exceptdb_q(run, d, q, group, 0);
}

}  // namespace vorn
