#include "structure/shelx_atoms.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>

#include "base/elements.hpp"
#include "base/error.hpp"
#include "base/text.hpp"
#include "format/fortran_io.hpp"
#include "io/scanner.hpp"
#include "structure/atom_labels.hpp"
#include "symmetry/cell.hpp"

namespace vorn {

namespace {

// Instruction names, compared on the first four characters. The first block
// is the classic list; the second holds the instructions of current SHELXL.
constexpr const char* kInstructions[] = {
    "TITL", "CELL", "ZERR", "LATT", "SYMM", "SFAC", "DISP", "UNIT", "LAUE", "REM ", "MORE", "TIME", "FLAT",
    "HKLF", "OMIT", "SHEL", "BASF", "TWIN", "EXTI", "SWAT", "HOPE", "MERG", "SP" "EC" /* special-position constraint */, "RESI", "MOVE", "ANIS",
    "AFIX", "HFIX", "FRAG", "FEND", "EXYZ", "EADP", "EQIV", "OMIT", "CONN", "PART", "BIND", "FREE", "DFIX",
    "DANG", "BUMP", "SAME", "SADI", "CHIV", "FALT", "DELU", "SIMU", "DEFS", "ISOR", "NCSY", "SUMP", "L.S.",
    "CGLS", "BLOC", "DAMP", "STIR", "WGHT", "FVAR", "BOND", "CONF", "MPLA", "RTAB", "HTAB", "LIST", "ACTA",
    "SIZE", "TEMP", "WPDB", "FMAP", "GRID", "PLAN", "MOLE", "END ",
    "ABIN", "ANSC", "ANSR", "BEDE", "LONE", "NEUT", "PRIG", "RIGU", "TWST", "WIGL", "XNPD"};

// A line as the atom reader looks at it: the text before any comment,
// without trailing blanks and without a closing "=" (cont tells).
std::string_view content(std::string_view raw, bool& cont) {
  std::string_view t = rtrim(raw.substr(0, raw.find('!')));
  cont = !t.empty() && t.back() == '=';
  if (cont) t = rtrim(t.substr(0, t.size() - 1));
  return t;
}

// The first four characters in upper case, blank-padded: all that the
// instruction names are compared on.
std::array<char, 4> head_of(std::string_view text) {
  std::array<char, 4> h{' ', ' ', ' ', ' '};
  for (std::size_t k = 0; k < h.size() && k < text.size(); ++k) h[k] = upper(text[k]);
  return h;
}

}  // namespace

void strip_comment(std::string& line) {
  std::size_t p = line.find('!');
  if (p != std::string::npos)
    for (std::size_t k = p; k < line.size(); ++k) line[k] = ' ';
}

namespace {

// The four characters as one number.
constexpr std::uint32_t key_of(std::string_view text) {
  std::uint32_t key = 0;
  for (std::size_t k = 0; k < 4; ++k) key = key << 8 | static_cast<unsigned char>(k < text.size() ? text[k] : ' ');
  return key;
}

// The instruction names as numbers, sorted for a binary search.
constexpr auto kInstructionKeys = [] {
  std::array<std::uint32_t, std::size(kInstructions)> keys{};
  for (std::size_t k = 0; k < keys.size(); ++k) keys[k] = key_of(kInstructions[k]);
  std::sort(keys.begin(), keys.end());
  return keys;
}();

}  // namespace

bool is_instruction(std::string_view line) {
  return std::binary_search(kInstructionKeys.begin(), kInstructionKeys.end(), key_of(line));
}

void parse_part(std::string_view line, ShelxResidue& res) {
  res.part = 0;
  std::string text(line.size() > 4 ? line.substr(4) : std::string_view());
  const std::vector<Word> ws = words(text, static_cast<int>(text.size()) + 1);
  if (ws.empty()) return;
  const std::string_view s = std::string_view(text).substr(static_cast<std::size_t>(ws[0].start - 1),
                                                           static_cast<std::size_t>(ws[0].end - ws[0].start + 1));
  int n = 0;
  if (ff::parse_int(s, n)) res.part = n;
}

void parse_resi(std::string_view line, ShelxResidue& res) {
  const int part = res.part;
  res = ShelxResidue{};
  res.part = part;
  std::string text(line.size() > 4 ? line.substr(4) : std::string_view());
  for (const Word& w : words(text, static_cast<int>(text.size()) + 1)) {
    std::string_view s = std::string_view(text).substr(static_cast<std::size_t>(w.start - 1),
                                                       static_cast<std::size_t>(w.end - w.start + 1));
    int n = 0;
    if (ff::parse_int(s, n))
      res.number = n;
    else if (std::isalpha(static_cast<unsigned char>(s[0])))
      res.name = pad(s, 10);
  }
}

bool rdshline(TextFile& f, std::string& line, bool& cont, ShelxResidue& res, std::string* name) {
  cont = false;
  std::string_view raw;
  bool continued = false;  // the line before ended in "=": this one belongs to it
  while (f.next_view(raw, 255)) {
    bool eq = false;
    const std::string_view text = content(raw, eq);
    if (text.empty()) continue;  // blank, or a comment
    if (continued) {
      continued = eq;
      continue;
    }
    // SHELX reads a line that begins with a blank as part of the instruction
    // before it (the lines under TITL, long restraint lists), and "+file" as
    // an include instruction.
    if (text[0] == ' ' || text[0] == '+') {
      continued = eq;
      continue;
    }
    const std::array<char, 4> h = head_of(text);
    const std::string_view head(h.data(), h.size());
    // SHELXL reads nothing after HKLF; current versions write display-only
    // pseudo-atoms between HKLF and END.
    if (head == "END " || head == "HKLF") return false;
    if (is_instruction(head)) {
      if (head == "RESI") parse_resi(upper(text), res);
      if (head == "PART") parse_part(upper(text), res);
      continued = eq;
      continue;
    }
    if (name != nullptr) name->assign(text.substr(0, std::min(text.find(' '), text.size())));
    assign_upper(line, text);
    cont = eq;
    return true;
  }
  return false;
}

bool rdcontinuation(TextFile& f, std::string& line, bool& cont) {
  std::string_view raw;
  while (f.next_view(raw, 255)) {
    const std::string_view text = content(raw, cont);
    if (text.empty()) continue;
    assign_upper(line, text);
    return true;
  }
  cont = false;
  return false;
}

std::string atom_label(std::string_view name, int iz, int nat, int type_count, const Ctl& ctl) {
  // Written into eight blanks; what goes beyond them is cut.
  std::string label(8, ' ');
  std::size_t k = 0;
  auto put = [&](std::string_view part) {
    for (char c : part) {
      if (k == 8) return;
      label[k++] = c;
    }
  };
  const std::string sym = atsym(iz);
  if (ctl.irename == 0) {
    std::string formed = name_label(name, iz);
    return formed.size() < 8 ? pad(formed, 8) : formed;
  } else {
    // "(a2,'(',i6,')')" with the blanks taken out, field by field.
    for (char c : std::string_view(sym).substr(0, 2))
      if (c != ' ') put(std::string_view(&c, 1));
    put("(");
    const int number = ctl.irs == 0 ? nat : type_count;
    if (number >= 0 && number <= 999999) {
      char digits[8];
      put(std::string_view(digits, static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, number).ptr - digits)));
    } else {
      const std::string wide = ff::fmt_i(number, 6);  // asterisks, or a sign with digits
      for (char c : wide)
        if (c != ' ') put(std::string_view(&c, 1));
    }
    put(")");
  }
  return label;
}

std::string shatnam(std::string& line, int iz, int nat, int type_count, const Ctl& ctl) {
  const std::size_t start = line.find_first_not_of(' ');
  if (start == std::string::npos) return std::string(8, ' ');
  const std::size_t n = std::min(line.find(' ', start), line.size()) - start;
  std::string label = atom_label(std::string_view(line).substr(start, n), iz, nat, type_count, ctl);
  line.replace(start, n, n, ' ');
  return label;
}

float decode_fvar(float v, const ShelxData& shelx, std::string_view atom, const std::string& where) {
  if (v > -10.0f && v < 10.0f) return v;
  if (v >= 10.0f && v < 20.0f) return v - 10.0f;
  // A negative fixed value (-10.25 fixes a coordinate at -0.25) keeps its
  // sign, as SHELX reads it.
  if (v > -20.0f && v <= -10.0f) return v + 10.0f;
  // Rounded, a huge number has no defined value: such a number is no code.
  if (!(std::fabs(v) < 1.0e7f))
    err("ReadShelx", "Number " + ff::fmt_e(v, 0, 5) + " is no free-variable code (free variables 1 to " +
                         std::to_string(MAXFV) + "), " + where);
  const long m = std::lround(v / 10.0f);
  const float p = std::fmod(v, 10.0f);
  const long k = std::labs(m);
  if (k > MAXFV)
    err("ReadShelx", "Free variable " + std::to_string(k) + " (coded " + std::string(rtrim(ff::fmt_f(v, 12, 5))) +
                         ") is beyond the " + std::to_string(MAXFV) + " free variables the table holds, " + where);
  // A variable that FVAR does not give has no value to start from; taking
  // 0 or 1 for it would empty or fill a site without a word.
  if (k > shelx.nfv) {
    std::string coded = ff::fmt_f(v, 12, 5);
    coded.erase(0, coded.find_first_not_of(' '));
    err("ReadShelx", "Atom " + std::string(atom) + " refers to free variable " + std::to_string(k) + " (coded " +
                         coded + "), but FVAR gives " +
                         (shelx.nfv == 0 ? std::string("none") : "only " + std::to_string(shelx.nfv)) + ", " + where);
  }
  const float fv = shelx.fv[static_cast<std::size_t>(k)];
  return v > 0.0f ? p * fv : p * (fv - 1.0f);
}

bool through_f12_6(float v, float& out) {
  // The float times 10**6 is exact in a double (24 + 20 bits), so rounding
  // it to an integer rounds the exact binary value, ties to even, as the
  // field does.
  const double n = std::nearbyint(static_cast<double>(v) * 1.0e6);
  // A field filled to its first column runs into the number before it and
  // no longer reads; a wider value is asterisks.
  if (!(n < 1.0e10 && n > -1.0e9)) return false;
  if (n == 0.0) {
    // "-0.000000" for a negative value that rounds to zero; an exact
    // negative zero is written without its sign.
    out = v < 0.0f ? -0.0f : 0.0f;
    return true;
  }
  // n / 10**6 is one correctly rounded division; its distance from a
  // midpoint between two floats is far above the double's rounding error,
  // so the float nearest to the decimal text comes out.
  out = static_cast<float>(n / 1.0e6);
  return true;
}

namespace {

// A word that is a plain decimal: a sign, digits, a point and digits, each
// but the first digits optional, and nothing else.
struct PlainDecimal {
  bool negative = false;
  std::uint64_t digits = 0;  // every digit, the point left out (exact up to 19 digits)
  int whole = 0;             // digits before the point
  int fraction = 0;          // digits after it
};

bool scan_decimal(std::string_view word, PlainDecimal& d) {
  const char* p = word.data();
  const char* const end = p + word.size();
  d.negative = p != end && *p == '-';
  if (p != end && (*p == '-' || *p == '+')) ++p;
  auto digit = [](char c) { return static_cast<unsigned>(c - '0'); };
  std::uint64_t m = 0;
  const char* const whole_start = p;
  for (; p != end && digit(*p) < 10; ++p) m = m * 10 + digit(*p);
  d.whole = static_cast<int>(p - whole_start);
  d.fraction = 0;
  if (p != end && *p == '.') {
    const char* const fraction_start = ++p;
    for (; p != end && digit(*p) < 10; ++p) m = m * 10 + digit(*p);
    d.fraction = static_cast<int>(p - fraction_start);
  }
  d.digits = m;
  return p == end;
}

}  // namespace

bool parse_atom_number(std::string_view word, float& out) {
  // The plain decimals of atom lines (0.092098, -1.2, 11.0) are read here;
  // everything else (exponents, long digit strings) by ff::parse_real. Past
  // eight decimals (or seven whole digits) the digits need not be exact.
  PlainDecimal d;
  // Below 10**7 (2**24) with at most 8 decimals, digits / 10**fraction lies so
  // far from every midpoint between two floats, relative to the rounding
  // error of the double division (10**8 < 2**29), that the float nearest to
  // the double is the float nearest to the decimal text.
  if (!scan_decimal(word, d) || d.whole + d.fraction == 0 || d.whole > 7 || d.fraction > 8)
    return ff::parse_real(word, out);
  static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
  const double v = static_cast<double>(d.digits) / kPowers[d.fraction];
  out = static_cast<float>(d.negative ? -v : v);
  return true;
}

namespace {

// The value processfvar gives a plain decimal word, worked out from the
// digits at once where that is safe: at most six decimals, not zero, and
// below 16 in magnitude. False (and out untouched) for any other word.
//
// Below 10 the word is no free-variable code and the F12.6 field gives back
// the float nearest to the word (the word has no more decimals than the
// field, and half a float step there is below half a unit of the sixth
// decimal). From 10 to 16 the code takes 10 off (or adds it), exactly, and
// the float nearest to the word is still within half a unit of the sixth
// decimal of it, so the field gives the float nearest to the decimal less
// 10. A quotient of the digits by a power of ten is correctly rounded in
// the double, whatever power of ten it is written with, and so is the
// float of it (see parse_atom_number); the field's zero is +0.
bool plain_value(std::string_view word, float& out) {
  PlainDecimal d;
  if (!scan_decimal(word, d) || d.whole > 7 || d.fraction > 6 || d.digits == 0) return false;
  std::uint64_t m = d.digits;
  static constexpr std::uint64_t kScale[] = {1, 10, 100, 1000, 10000, 100000, 1000000};
  const std::uint64_t scale = kScale[d.fraction];
  if (m >= 16 * scale) return false;
  if (m >= 10 * scale) {
    m -= 10 * scale;
    if (m == 0) {
      out = 0.0f;
      return true;
    }
  }
  const double v = static_cast<double>(m) / static_cast<double>(scale);
  out = static_cast<float>(d.negative ? -v : v);
  return true;
}

}  // namespace

bool processfvar(std::span<const std::string_view> words, const ShelxData& shelx, std::string_view atom,
                 const std::string& where, std::span<float> values) {
  // Words that need the full way: parsed, decoded, then through the field
  // once every word has been read (a word that is no number stops the run
  // first).
  std::uint32_t full = 0;
  for (std::size_t k = 0; k < words.size(); ++k) {
    if (k < 32 && plain_value(words[k], values[k])) continue;
    float x = 0.0f;
    if (!parse_atom_number(words[k], x))
      err("ReadShelx", "Number expected, found '" + std::string(words[k]) + "', " + where);
    values[k] = decode_fvar(x, shelx, atom, where);
    if (k < 32) full |= std::uint32_t{1} << k;
  }
  for (std::size_t k = 0; k < words.size(); ++k)
    if ((k >= 32 || (full >> k & 1) != 0) && !through_f12_6(values[k], values[k])) return false;
  return true;
}

UeqTerms::UeqTerms(const Cell& c) {
  const Cell r = r_cell(c);
  a = c[0];
  b = c[1];
  cc = c[2];
  r0 = r[0];
  r1 = r[1];
  r2 = r[2];
  aa = a * r0;
  bb = b * r1;
  ccs = cc * r2;
  cos_al = cosd(c[3]);
  cos_be = cosd(c[4]);
  cos_ga = cosd(c[5]);
}

float UeqTerms::ueq(const Uij& u) const {
  return (u[0] * aa * aa + u[1] * bb * bb + u[2] * ccs * ccs + 2.0f * u[3] * a * b * r0 * r1 * cos_ga +
          2.0f * u[4] * a * cc * r0 * r2 * cos_be + 2.0f * u[5] * b * cc * r1 * r2 * cos_al) /
         3.0f;
}

float calcueq(const Run& run, int i) {
  const Uij& u = run.at_uij[static_cast<std::size_t>(i)];
  if (run.atoms1.iu[static_cast<std::size_t>(i)] != 2) return u[0];
  return UeqTerms(run.ucell).ueq(u);
}

void ProcessU(Run& run, int i, const std::string& where) { ProcessU(run, i, UeqTerms(run.ucell), where); }

void ProcessU(Run& run, int i, const UeqTerms& terms, const std::string& where) {
  auto& u = run.at_uij[static_cast<std::size_t>(i)][0];
  if (u < -5.0f || u > -0.5f) return;
  run.shelx.riding[static_cast<std::size_t>(i)] = 1;
  int p = i - 1;
  while (p >= 1 && run.shelx.riding[static_cast<std::size_t>(p)] == 1) --p;
  if (p < 1) {
    to_out(run, "(' ProcessU :: Could not find parent atom ')"_f);
    if (!where.empty()) to_out(run, "(' (',a,')')"_f, where);
    stop_reported("ProcessU", "Could not find parent atom");
  }
  const auto up = static_cast<std::size_t>(p);
  const float ueq = run.atoms1.iu[up] != 2 ? run.at_uij[up][0] : terms.ueq(run.at_uij[up]);
  u = std::fabs(u) * ueq;
}

}  // namespace vorn
