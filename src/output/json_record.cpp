#include "output/json_record.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <optional>
#include <string_view>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "base/elements.hpp"
#include "base/error.hpp"
#include "base/text.hpp"
#include "base/version.hpp"
#include "local/frame.hpp"
#include "output/misfit_list.hpp"
#include "symmetry/cards.hpp"

namespace vorn {

namespace {

// The name in the structure file (the label where the reader keeps none)
// and the disorder part.
std::string_view input_name(const Run& run, int atom) {
  const auto a = static_cast<std::size_t>(atom);
  if (a < run.atoms.name.size() && !run.atoms.name[a].empty()) return run.atoms.name[a];
  return rtrim(run.atoms.label[a]);
}
int disorder_part(const Run& run, int atom) {
  const auto a = static_cast<std::size_t>(atom);
  return a < run.atoms1.part.size() ? run.atoms1.part[a] : 0;
}

const char* format_word(int f) {
  switch (f) {
    case FMT_SHELX: return "shelx";
    case FMT_XD: return "xd";
    case FMT_AIM2TAB: return "aim2tab";
    case FMT_PLATON: return "platon";
    case FMT_CIF: return "cif";
    default: return "";
  }
}

// Decimals of the reals. Lengths in Angstrom (positions, distances) to
// 0.00001 A; fractions of the cell, unit vectors and every other real to 6
// places, which keeps a written frame of unit length and at right angles
// within 2e-6. Misfits and tolerances are written exactly (exact() below).
constexpr int kLengthDecimals = 5;
constexpr int kDecimals = 6;

// v rounded to the given decimals (1 to 6), with the zeros at its end
// dropped down to one ("1.0", "0.25", "-0.123457"); a value that rounds to
// zero has no sign. Printed as the whole number v * 10^decimals: a record
// of 20,000 atoms holds some 450,000 reals, and in it libstdc++'s to_chars
// took about 530 instructions for the shortest round trip of one, and is
// slower still with a precision (550 against 350 in a loop over 200,000
// reals); this takes about 190 (callgrind). Returns the length of the text
// written to s (room for 48).
std::size_t real_text(char* s, float v, int decimals) {
  static constexpr double kScale[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6};
  const double scaled = static_cast<double>(v) * kScale[decimals];
  // Beyond what a 64-bit whole number holds exactly: the shortest text.
  if (!(std::fabs(scaled) < 1e15)) return static_cast<std::size_t>(std::to_chars(s, s + 48, v).ptr - s);
  const long long whole = std::llround(scaled);
  char digits[24];
  const char* end = std::to_chars(digits, digits + sizeof digits, whole < 0 ? -whole : whole).ptr;
  std::string_view d(digits, static_cast<std::size_t>(end - digits));
  const auto places = static_cast<std::size_t>(decimals);
  char* p = s;
  if (whole < 0) *p++ = '-';
  if (d.size() > places) {
    p = std::copy_n(d.data(), d.size() - places, p);
    d.remove_prefix(d.size() - places);
  } else {
    *p++ = '0';
  }
  *p++ = '.';
  p = std::fill_n(p, places - d.size(), '0');
  p = std::copy(d.begin(), d.end(), p);
  while (p[-1] == '0' && p[-2] != '.') --p;
  return static_cast<std::size_t>(p - s);
}

// The record is streamed through RapidJSON's writer: a structure of 20,000
// atoms gives some 13 MB of record, which a tree of values (nlohmann/json)
// built, printed and took down again in more time than the whole set-up
// (0.26 s of CPU against 0.17 s at 19,998 atoms). Nor is the text held
// whole: it goes to the sink a piece of some 64 KB at a time, from one
// buffer used again, as holding it had the run touch 27 MB more memory
// (the text and its copy) and cost a page fault for every 4 KB of it.
class RecordWriter {
 public:
  explicit RecordWriter(const RecordSink& sink) : sink_(sink), w_(buf_) {
    buf_.Reserve(2 * kPiece);
    raw("{");
  }

  // A top-level field: its key, then the value written by value().
  template <class Value>
  void field(std::string_view key, Value&& value) {
    start(key);
    value();
  }
  // A top-level list whose members stand one to a line; member(k) writes
  // member k.
  template <class Member>
  void list(std::string_view key, std::size_t n, Member&& member) {
    start(key);
    if (n == 0) {
      raw("[]");
      return;
    }
    raw("[\n");
    for (std::size_t k = 0; k < n; ++k) {
      raw("    ");
      w_.Reset(buf_);
      member(k);
      raw(k + 1 < n ? ",\n" : "\n");
      if (buf_.GetSize() >= kPiece) flush();
    }
    raw("  ]");
  }
  void finish() {
    raw("\n}\n");
    flush();
  }

  // Values, for the writers of fields and members.
  void key(std::string_view k) { w_.Key(k.data(), static_cast<rapidjson::SizeType>(k.size())); }
  void text(std::string_view t) {
    if (utf8(t)) {
      w_.String(t.data(), static_cast<rapidjson::SizeType>(t.size()));
    } else {
      const std::string fixed = replace_bad_bytes(t);
      w_.String(fixed.data(), static_cast<rapidjson::SizeType>(fixed.size()));
    }
  }
  void number(int v) { w_.Int(v); }
  // A real to the given decimals (see real_text); a value that is no
  // number is null.
  void real(float v, int decimals) {
    if (!std::isfinite(v)) {
      w_.Null();
      return;
    }
    char s[48];
    w_.RawValue(s, real_text(s, v, decimals), rapidjson::kNumberType);
  }
  // A real as the shortest text that reads back to the same 32-bit value,
  // for the values a reader compares as the program does (a misfit with the
  // ring tolerance): rounded to decimals, one just above the tolerance
  // could read as equal to it. Plus zero turns a negative zero into 0.
  void exact(float v) {
    if (!std::isfinite(v)) {
      w_.Null();
      return;
    }
    char s[48];
    const auto r = std::to_chars(s, s + 40, v + 0.0f);
    std::size_t n = static_cast<std::size_t>(r.ptr - s);
    // A whole number reads as an integer without its ".0"; keep the point so
    // that readers see a real.
    if (std::find_if(s, r.ptr, [](char c) { return c == '.' || c == 'e'; }) == r.ptr) {
      s[n++] = '.';
      s[n++] = '0';
    }
    w_.RawValue(s, n, rapidjson::kNumberType);
  }
  void boolean(bool b) { w_.Bool(b); }
  void null() { w_.Null(); }
  void vec(const Vec3& v, int decimals) {
    w_.StartArray();
    for (float x : v) real(x, decimals);
    w_.EndArray();
  }
  void begin_object() { w_.StartObject(); }
  void end_object() { w_.EndObject(); }
  void begin_array() { w_.StartArray(); }
  void end_array() { w_.EndArray(); }

 private:
  static constexpr std::size_t kPiece = std::size_t{1} << 16;

  void flush() {
    sink_(std::string_view(buf_.GetString(), buf_.GetSize()));
    buf_.Clear();
  }
  void raw(std::string_view t) {
    char* p = buf_.Push(t.size());
    t.copy(p, t.size());
  }
  // Keys of top-level fields are plain words: written as they are.
  void start(std::string_view k) {
    raw(first_ ? "\n  \"" : ",\n  \"");
    first_ = false;
    raw(k);
    raw("\": ");
    w_.Reset(buf_);
  }
  static bool utf8(std::string_view t) {
    for (std::size_t k = 0; k < t.size();) {
      const auto c = static_cast<unsigned char>(t[k]);
      const std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
      if (n == 0 || k + n > t.size()) return false;
      for (std::size_t j = 1; j < n; ++j)
        if ((static_cast<unsigned char>(t[k + j]) & 0xC0) != 0x80) return false;
      k += n;
    }
    return true;
  }
  // Each byte that does not begin or continue a UTF-8 sequence becomes
  // U+FFFD.
  static std::string replace_bad_bytes(std::string_view t) {
    std::string out;
    for (std::size_t k = 0; k < t.size();) {
      const auto c = static_cast<unsigned char>(t[k]);
      const std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
      bool ok = n > 0 && k + n <= t.size();
      for (std::size_t j = 1; ok && j < n; ++j) ok = (static_cast<unsigned char>(t[k + j]) & 0xC0) == 0x80;
      if (ok) {
        out.append(t.substr(k, n));
        k += n;
      } else {
        out += "\xEF\xBF\xBD";
        ++k;
      }
    }
    return out;
  }

  const RecordSink& sink_;
  // RapidJSON's own buffer: its writer escapes into it without a check of
  // room per character.
  rapidjson::StringBuffer buf_;
  rapidjson::Writer<rapidjson::StringBuffer> w_;
  bool first_ = true;
};

std::string_view label_of(const Run& run, int atom) { return rtrim(run.atoms.label[atom]); }

std::string element_of(int z) {
  std::string s = atsym(z);
  s.resize(rtrim(s).size());
  if (s.size() == 2) s[1] = static_cast<char>(std::tolower(static_cast<unsigned char>(s[1])));
  return s;
}

// An operator as the listing writes it ("1/2 - X, + Y, 1/2 - Z"), without
// the sign of a leading positive term.
std::string operator_text(const SymOp& op) {
  std::string s;
  for (int k = 0; k < 3; ++k) {
    std::string row = opout(op.R[static_cast<std::size_t>(k)], op.t[static_cast<std::size_t>(k)]);
    if (row.starts_with(" + ")) row.erase(0, 3);
    if (row.starts_with(" ")) row.erase(0, 1);
    if (k > 0) s += ", ";
    s += row.empty() ? "0" : row;
  }
  return s;
}

void write_operator(RecordWriter& w, const SymOp& op) {
  w.begin_object();
  w.key("text");
  w.text(operator_text(op));
  w.key("rotation");
  w.begin_array();
  for (const Vec3& row : op.R) w.vec(row, kDecimals);
  w.end_array();
  w.key("translation");
  w.vec(op.t, kDecimals);
  w.end_object();
}

void write_cell(RecordWriter& w, const Run& run) {
  const auto& c = run.ucell;
  if (c[0] <= 0.0f || c[1] <= 0.0f || c[2] <= 0.0f) {
    w.null();
    return;
  }
  w.begin_object();
  const char* names[] = {"a", "b", "c", "alpha", "beta", "gamma"};
  for (std::size_t k = 0; k < 6; ++k) {
    w.key(names[k]);
    w.real(c[k], kDecimals);
  }
  w.end_object();
}

void write_frame(RecordWriter& w, const Run& run, int atom) {
  const AtomFrame f = atom_frame(run, atom);
  w.begin_object();
  w.key("atom0");
  w.text(axis_label(run, f.atom0));
  w.key("ax1");
  w.text(std::string_view(&f.ax1, 1));
  w.key("atom2");
  w.text(axis_label(run, f.atom2));
  w.key("ax2");
  w.text(std::string_view(&f.ax2, 1));
  w.key("hand");
  w.text(std::string_view(&f.hand, 1));
  const char* names[] = {"x", "y", "z"};
  for (std::size_t k = 0; k < 3; ++k) {
    w.key(names[k]);
    if (f.defined)
      w.vec(f.axis[k], kDecimals);
    else
      w.null();
  }
  w.end_object();
}

// Ring numbers of every atom 1..ncryst.
std::vector<std::vector<int>> rings_of_atoms(const Run& run) {
  std::vector<std::vector<int>> out(static_cast<std::size_t>(std::max(run.cryst.ncryst, run.atoms.nat)) + 1);
  for (int k = 1; k <= run.rings.nor; ++k) {
    const Ring& r = run.rings.ring[static_cast<std::size_t>(k)];
    for (int m = 0; m < r.size && static_cast<std::size_t>(m) < r.members.size(); ++m) {
      const int a = r.members[static_cast<std::size_t>(m)];
      if (a >= 1 && static_cast<std::size_t>(a) < out.size()) out[static_cast<std::size_t>(a)].push_back(k);
    }
  }
  return out;
}

void write_neighbours(RecordWriter& w, const Run& run, int atom) {
  w.begin_array();
  const auto a = static_cast<std::size_t>(atom);
  if (a < run.neighbors.size()) {
    const NeighborRec& r = run.neighbors[a];
    for (int k = 1; k <= r.nnei; ++k) {
      const int j = at_or_zero(r.inei, k);
      if (j < 1 || j > run.cryst.ncryst) continue;
      w.begin_object();
      w.key("atom");
      w.number(j);
      w.key("label");
      w.text(label_of(run, j));
      // From the positions the model ends with: a hydrogen atom moved out
      // to its standard distance shows that distance.
      w.key("distance");
      w.real(dist(run.atoms.xc[a], run.atoms.xc[static_cast<std::size_t>(j)]), kLengthDecimals);
      w.end_object();
    }
  }
  w.end_array();
}

void write_atom(RecordWriter& w, const Run& run, int i, const std::vector<int>& rings) {
  const auto a = static_cast<std::size_t>(i);
  const int z = run.atoms.iz[a];
  w.begin_object();
  w.key("n");
  w.number(i);
  w.key("label");
  w.text(label_of(run, i));
  w.key("name");
  w.text(input_name(run, i));
  w.key("element");
  w.text(element_of(z));
  w.key("z");
  w.number(z);
  w.key("frac");
  if (run.ctl.ifrac == 1)
    w.vec(run.atoms.xf[a], kDecimals);
  else
    w.null();
  w.key("cart");
  w.vec(run.atoms.xc[a], kLengthDecimals);
  w.key("occupancy");
  w.real(run.atoms1.occ[a], kDecimals);
  w.key("part");
  w.number(disorder_part(run, i));
  w.key("neighbours");
  write_neighbours(w, run, i);
  w.key("rings");
  w.begin_array();
  for (int k : rings) w.number(k);
  w.end_array();
  w.key("frame");
  write_frame(w, run, i);
  w.key("site_symmetry");
  w.text(rtrim(run.atoms.sitesym[a]));
  w.key("misfit");
  if (const auto m = site_misfit(run, i))
    w.exact(*m);
  else
    w.null();
  // The rule's code and misfit where the code above was reduced from it.
  const SiteCheck* reduced = a < run.site_check.size() && run.site_check[a].reduced ? &run.site_check[a] : nullptr;
  w.key("rule_site_symmetry");
  if (reduced != nullptr)
    w.text(reduced->rule_code);
  else
    w.null();
  w.key("rule_misfit");
  if (reduced != nullptr)
    w.exact(reduced->rule_misfit);
  else
    w.null();
  w.key("kappa_set");
  w.number(a < run.kappaset.size() ? run.kappaset[a] : 0);
  const int equiv = a < run.mpoles.size() ? run.mpoles[a].equiv : 0;
  w.key("constraint");
  if (equiv > 0)
    w.text(label_of(run, equiv));
  else
    w.null();
  w.key("group");
  if (a < run.except.flag.size() && run.except.flag[a] == 1)
    w.text(rtrim(run.except.group[a]));
  else
    w.null();
  const DbAtom* db = a < run.db_atoms.size() ? &run.db_atoms[a] : nullptr;
  w.key("databank_searched");
  w.boolean(db != nullptr && db->searched);
  w.key("databank");
  if (db != nullptr && db->found)
    w.text(db->entry);
  else
    w.null();
  w.key("pv");
  w.real(a < run.mpoles.size() ? run.mpoles[a].pv : 0.0f, kDecimals);
  w.end_object();
}

void write_image(RecordWriter& w, const Run& run, int j) {
  const auto a = static_cast<std::size_t>(j);
  w.begin_object();
  w.key("n");
  w.number(j);
  w.key("label");
  w.text(label_of(run, j));
  w.key("source");
  w.number(run.cryst.isq[a]);
  w.key("element");
  w.text(element_of(run.atoms.iz[a]));
  w.key("cart");
  w.vec(run.atoms.xc[a], kLengthDecimals);
  w.end_object();
}

// Every bonded pair of the completed structure once, lower number first.
std::vector<std::array<int, 2>> bonded_pairs(const Run& run) {
  std::vector<std::array<int, 2>> out;
  const int n = std::min(run.cryst.ncryst, static_cast<int>(run.neighbors.size()) - 1);
  for (int i = 1; i <= n; ++i) {
    const NeighborRec& r = run.neighbors[static_cast<std::size_t>(i)];
    for (int k = 1; k <= r.nnei; ++k) {
      const int j = at_or_zero(r.inei, k);
      if (j > i && j <= run.cryst.ncryst) out.push_back({i, j});
    }
  }
  return out;
}

void write_dummy(RecordWriter& w, const Run& run, int d) {
  w.begin_object();
  w.key("n");
  w.number(d);
  w.key("label");
  w.text(rtrim(run.dummy.label[static_cast<std::size_t>(d)]));
  w.key("frac");
  if (run.ctl.ifrac == 1)
    w.vec(run.dummy.x[static_cast<std::size_t>(d)], kDecimals);
  else
    w.null();
  w.key("cart");
  w.vec(axis_point(run, run.atoms.nat + d), kLengthDecimals);
  w.end_object();
}

// The atoms of each kappa set 1..n.
std::vector<std::vector<int>> kappa_members(const Run& run) {
  const int nk = run.kappaset.empty() ? 0 : std::max(run.kappaset[0], 0);
  std::vector<std::vector<int>> out(static_cast<std::size_t>(nk) + 1);
  for (int i = 1; i <= run.atoms.nat && static_cast<std::size_t>(i) < run.kappaset.size(); ++i) {
    const int k = run.kappaset[static_cast<std::size_t>(i)];
    if (k >= 1 && k <= nk) out[static_cast<std::size_t>(k)].push_back(i);
  }
  return out;
}

void write_kappa_set(RecordWriter& w, const Run& run, int k, const std::vector<int>& atoms) {
  const Kappas& ks = run.kappas;
  const auto u = static_cast<std::size_t>(k);
  const bool known = u < ks.kappa.size() && u < ks.kappap.size() && u < ks.nsft.size();
  w.begin_object();
  w.key("n");
  w.number(k);
  w.key("kappa");
  if (known)
    w.real(ks.kappa[u], kDecimals);
  else
    w.null();
  w.key("kappa_prime");
  if (known)
    w.real(ks.kappap[u], kDecimals);
  else
    w.null();
  w.key("table");
  w.number(known ? ks.nsft[u] : 0);
  w.key("atoms");
  w.begin_array();
  for (int a : atoms) w.text(label_of(run, a));
  w.end_array();
  w.end_object();
}

void write_ring(RecordWriter& w, const Run& run, int k) {
  const Ring& r = run.rings.ring[static_cast<std::size_t>(k)];
  const int n = std::min(r.size, static_cast<int>(r.members.size()));
  w.begin_object();
  w.key("n");
  w.number(k);
  w.key("size");
  w.number(r.size);
  w.key("atoms");
  w.begin_array();
  for (int m = 0; m < n; ++m) w.number(r.members[static_cast<std::size_t>(m)]);
  w.end_array();
  w.key("labels");
  w.begin_array();
  for (int m = 0; m < n; ++m) {
    const int a = r.members[static_cast<std::size_t>(m)];
    w.text(a >= 1 && a <= run.cryst.ncryst ? label_of(run, a) : std::string_view());
  }
  w.end_array();
  w.key("planar");
  w.boolean(r.planar == 1);
  w.end_object();
}

void write_fragment(RecordWriter& w, const Run& run, std::size_t k) {
  const Fragment& f = run.fragments[k];
  w.begin_object();
  w.key("n");
  w.number(static_cast<int>(k));
  w.key("charge");
  w.real(f.charge, kDecimals);
  w.key("atoms");
  w.begin_array();
  for (int a : f.atoms) w.text(label_of(run, a));
  w.end_array();
  w.end_object();
}

}  // namespace

void stream_record(const Run& run, const RecordSink& sink) {
  RecordWriter w(sink);
  w.field("program", [&] { w.text("VORN"); });
  w.field("version", [&] { w.text(program_version()); });
  w.field("input", [&] {
    w.begin_object();
    w.key("file");
    w.text(rtrim(run.ctl.args));
    w.key("format");
    w.text(format_word(run.ctl.iformat));
    if (run.ctl.iformat == FMT_XD) {
      w.key("master_file");
      w.text(rtrim(run.ctl.xdold));
    }
    if (run.ctl.iformat == FMT_CIF) {
      w.key("data_block");
      w.text(run.data_block);
    }
    w.end_object();
  });
  w.field("cell", [&] { write_cell(w, run); });
  w.field("to_cartesian", [&] {
    w.begin_array();
    for (const Vec3& row : run.transf.M) w.vec(row, kDecimals);
    w.end_array();
  });
  w.list("symmetry", static_cast<std::size_t>(std::max(run.symm.nsym, 0)),
         [&](std::size_t k) { write_operator(w, run.symm.op[k + 1]); });
  w.field("tolerances", [&] {
    w.begin_object();
    w.key("bond");
    w.exact(run.ctl.tol1);
    w.key("ring");
    w.exact(run.ctl.tol2);
    w.key("group");
    w.exact(run.ctl.tol3);
    w.key("misfit_limit");
    w.exact(run.ctl.misfit_limit);
    w.key("pair");
    w.exact(run.ctl.pair_tol);
    w.end_object();
  });
  w.field("ncells", [&] { w.number(run.ctl.ncells); });

  const auto ring_lists = rings_of_atoms(run);
  const int nat = std::max(run.atoms.nat, 0);
  w.list("atoms", static_cast<std::size_t>(nat),
         [&](std::size_t k) { write_atom(w, run, static_cast<int>(k) + 1, ring_lists[k + 1]); });
  const int nimg = std::max(run.cryst.ncryst - nat, 0);
  w.list("images", static_cast<std::size_t>(nimg), [&](std::size_t k) { write_image(w, run, nat + 1 + static_cast<int>(k)); });
  const std::vector<std::array<int, 2>> pairs = bonded_pairs(run);
  w.list("bonds", pairs.size(), [&](std::size_t k) {
    w.begin_array();
    w.number(pairs[k][0]);
    w.number(pairs[k][1]);
    w.end_array();
  });
  w.list("dummies", static_cast<std::size_t>(std::max(run.dummy.n, 0)),
         [&](std::size_t k) { write_dummy(w, run, static_cast<int>(k) + 1); });
  const auto sets = kappa_members(run);
  w.list("kappa_sets", sets.size() - 1,
         [&](std::size_t k) { write_kappa_set(w, run, static_cast<int>(k) + 1, sets[k + 1]); });
  w.list("rings", static_cast<std::size_t>(std::max(run.rings.nor, 0)),
         [&](std::size_t k) { write_ring(w, run, static_cast<int>(k) + 1); });
  w.list("fragments", run.fragments.empty() ? 0 : run.fragments.size() - 1,
         [&](std::size_t k) { write_fragment(w, run, k + 1); });
  w.finish();
}

std::string record_text(const Run& run) {
  std::string text;
  stream_record(run, [&](std::string_view piece) { text.append(piece); });
  return text;
}

void write_json_record(Run& run, const RecordSink& also) {
  if (!run.json.open(run.output_path("vorn.json"))) err("vorn", "Unable to create output file vorn.json");
  std::ostream& os = *run.json;
  stream_record(run, [&](std::string_view piece) {
    os.write(piece.data(), static_cast<std::streamsize>(piece.size()));
    also(piece);
  });
  run.json.finish();
}

}  // namespace vorn
