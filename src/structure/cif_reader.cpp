#include "structure/cif_reader.hpp"

#include <gemmi/elem.hpp>
#include <gemmi/symmetry.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unordered_map>
#include <vector>

#include "base/configurations.hpp"
#include "base/elements.hpp"
#include "base/error.hpp"
#include "base/text.hpp"
#include "format/fortran_io.hpp"
#include "model/interaction.hpp"
#include "structure/atom_labels.hpp"
#include "structure/atom_list.hpp"
#include "structure/cif_document.hpp"
#include "structure/cif_values.hpp"
#include "structure/shelx_atoms.hpp"
#include "structure/shelx_reader.hpp"
#include "symmetry/cards.hpp"
#include "symmetry/cell.hpp"
#include "symmetry/lattice.hpp"
#include "symmetry/oplist.hpp"

namespace vorn {

namespace {

namespace cif = cifdoc;
using cif::first_value;
using cif::optional;
using cif::Place;
using cif::required;
using cif::Rows;

// XD needs a wavelength; most data come from molybdenum tubes.
constexpr float kWaveDefault = 0.71073f;
constexpr double kEightPiSquared = 78.956835208714864;  // B = 8 pi^2 U
// How close (angstroms) an operator must bring a site back onto itself to
// count in the site symmetry: CIF coordinates carry four or five decimals.
constexpr float kSiteTol = 0.01f;

cif::Document read_document(Run& run, const std::string& fname) {
  const std::filesystem::path path = run.path(fname);
  std::error_code ec;
  std::ifstream f(path, std::ios::binary);
  if (!f || std::filesystem::is_directory(path, ec))
    err("ReadCif", "Error opening CIF file " + fname + " (" + open_failure(path) + ")");
  const std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  cif::Document doc;
  try {
    doc = cif::parse(text, fname);
  } catch (const std::exception& e) {
    err("ReadCif", "File " + fname + " is not a CIF: " + e.what());
  }
  if (doc.blocks.empty()) err("ReadCif", "File " + fname + " is not a CIF: it has no data block");
  return doc;
}

bool has_atom_sites(const cif::Block& b) { return b.find("_atom_site_label") != nullptr; }

std::string block_list(const cif::Document& doc) {
  std::string names;
  for (const cif::Block& b : doc.blocks) names += (names.empty() ? "" : ", ") + b.name;
  return names;
}

// The block named on the INPUT line, whatever its name looks like ("4",
// "3b"); block names compare without regard to case, as CIF has it. "data_x"
// names block x unless a block is called "data_x" itself.
const cif::Block& choose_block(const cif::Document& doc, const std::string& fname, const std::string& want) {
  if (!want.empty()) {
    const std::string name = upper(want);
    for (const cif::Block& b : doc.blocks)
      if (upper(b.name) == name) return b;
    if (name.rfind("DATA_", 0) == 0)
      for (const cif::Block& b : doc.blocks)
        if (upper(b.name) == name.substr(5)) return b;
    err("ReadCif", "File " + fname + " has no data block " + want + " (its blocks: " + block_list(doc) + ")");
  }
  for (const cif::Block& b : doc.blocks)
    if (has_atom_sites(b)) return b;
  err("ReadCif", "File " + fname + " has no data block with atom sites (_atom_site_label); its blocks: " +
                     block_list(doc));
}

// Which block was read goes to standard output too; a file of several blocks
// read without a block name says which others it holds.
void print_block(Run& run, const cif::Document& doc, const cif::Block& b, bool named) {
  if (named || doc.blocks.size() == 1) {
    to_both(run, "(' Data block : ',a)"_f, b.name);
    return;
  }
  to_both(run, "(' Data block : ',a,' (the first with atom sites; the file holds ',i0,' blocks: ',a,')')"_f, b.name,
          static_cast<int>(doc.blocks.size()), block_list(doc));
}

Cell read_cell(const cif::Block& b, const Place& p) {
  static const char* const kTags[6] = {"_cell_length_a", "_cell_length_b", "_cell_length_c",
                                       "_cell_angle_alpha", "_cell_angle_beta", "_cell_angle_gamma"};
  Cell c{};
  for (int k = 0; k < 6; ++k) {
    const std::string* v = first_value(b, kTags[k]);
    if (v == nullptr || cif::is_null(*v)) {
      // The dictionary's default for an angle is 90 degrees; a length has none.
      if (k < 3) err("ReadCif", p.at(kTags[k]) + " missing: the block gives no cell");
      c[static_cast<std::size_t>(k)] = 90.0f;
      continue;
    }
    c[static_cast<std::size_t>(k)] = static_cast<float>(required(p, kTags[k], *v));
  }
  const std::string fault = cell_fault(c);
  if (!fault.empty()) err("ReadCif", p.at("_cell_*") + ": impossible cell: " + fault);
  return c;
}

float read_wavelength(Run& run, const cif::Block& b, const Place& p) {
  const char* tag = "_diffrn_radiation_wavelength";
  if (const std::string* v = first_value(b, tag)) {
    const double w = optional(p, tag, *v, 0.0);
    if (w > 0.0) return static_cast<float>(w);
  }
  to_lst(run, "(/' No wavelength in the data block (',a,'): ',f8.5,' (Mo K-alpha) assumed')"_f, tag, kWaveDefault);
  return kWaveDefault;
}

// The operator loop as the file gives it: the operators that parse, and
// the text of those that do not.
struct OpLoop {
  std::string tag;  // "" without a loop
  std::vector<gemmi::Op> ops;
  std::vector<std::string> texts;     // as written, one per operator of ops
  std::vector<std::string> unparsed;  // as written
  std::string why;                    // why the first of them does not parse
};

OpLoop read_op_loop(const cif::Block& b) {
  OpLoop loop;
  for (const char* tag : {"_space_group_symop_operation_xyz", "_symmetry_equiv_pos_as_xyz"}) {
    const cif::Column* col = b.find(tag);
    if (col == nullptr) continue;
    loop.tag = tag;
    for (const std::string& raw : col->values) {
      const std::string text = cif::as_string(raw);
      gemmi::Op op;
      std::string why;
      if (parse_operator(text, op, why)) {
        loop.ops.push_back(op);
        loop.texts.push_back(text);
      } else {
        if (loop.unparsed.empty()) loop.why = why;
        loop.unparsed.push_back(text);
      }
    }
    return loop;
  }
  return loop;
}

// The group a space-group symbol stands for: the Hall symbol when the file
// gives one (it fixes the setting), else the Hermann-Mauguin name.
struct SymbolGroup {
  std::string tag, name;     // tag "" when the file gives no symbol
  std::string setting;       // the setting taken, when the name leaves it open
  std::vector<gemmi::Op> ops;
  std::string problem;       // why the symbol gives no group
};

// How many of the operators (wrapped) the group holds.
std::size_t held(const std::vector<gemmi::Op>& group, const std::vector<gemmi::Op>& ops) {
  std::size_t n = 0;
  for (gemmi::Op op : ops) {
    op.wrap();
    n += std::find(group.begin(), group.end(), op) != group.end() ? 1 : 0;
  }
  return n;
}

std::vector<gemmi::Op> wrapped_ops(const gemmi::GroupOps& g) {
  std::vector<gemmi::Op> ops;
  for (gemmi::Op op : g) {
    op.wrap();
    ops.push_back(op);
  }
  return ops;
}

// `loop` (possibly faulty) chooses among the settings of a Hermann-Mauguin
// name: databases often give the standard name ("P 21/c") beside the
// operators of another setting (P 1 21/n 1).
SymbolGroup read_symbol_group(const cif::Block& b, const Cell& cell, const std::vector<gemmi::Op>& loop) {
  SymbolGroup s;
  for (const char* tag : {"_space_group_name_Hall", "_symmetry_space_group_name_Hall"}) {
    const std::string* v = first_value(b, tag);
    if (v == nullptr || cif::is_null(*v)) continue;
    s.tag = tag;
    s.name = cif::as_string(*v);
    try {
      s.ops = wrapped_ops(gemmi::symops_from_hall(s.name.c_str()));
    } catch (const std::exception& e) {
      s.problem = "Hall symbol '" + s.name + "' not understood: " + e.what();
    }
    return s;
  }
  for (const char* tag : {"_space_group_name_H-M_alt", "_symmetry_space_group_name_H-M"}) {
    const std::string* v = first_value(b, tag);
    if (v == nullptr || cif::is_null(*v)) continue;
    s.tag = tag;
    s.name = cif::as_string(*v);
    const gemmi::SpaceGroup* sg = gemmi::find_spacegroup_by_name(s.name, cell[3], cell[5]);
    // Older CIFs write screw axes with parentheses: P2(1)/c for P 21/c.
    if (sg == nullptr) {
      std::string plain;
      for (char c : s.name)
        if (c != '(' && c != ')') plain.push_back(c);
      sg = gemmi::find_spacegroup_by_name(plain, cell[3], cell[5]);
    }
    if (sg == nullptr) {
      s.problem = "space group '" + s.name + "' not known";
      return s;
    }
    s.ops = wrapped_ops(sg->operations());
    std::size_t best = held(s.ops, loop);
    for (const gemmi::SpaceGroup& other : gemmi::spacegroup_tables::main) {
      if (other.number != sg->number || &other == sg) continue;
      std::vector<gemmi::Op> ops = wrapped_ops(other.operations());
      const std::size_t n = held(ops, loop);
      if (n > best) {
        best = n;
        s.ops = std::move(ops);
        s.setting = other.xhm();
      }
    }
    return s;
  }
  return s;
}

std::string joined(const std::vector<std::string>& texts) {
  if (texts.empty()) return "none";
  std::string s;
  for (const std::string& t : texts) s += (s.empty() ? "" : "; ") + t;
  return s;
}

// The operators of the block: the loop when it forms a group; else the
// group of the space-group symbol, with a warning that names what the
// loop has that the group lacks and what the group adds; without a loop,
// the symbol's group.
std::vector<gemmi::Op> read_operators(Run& run, const cif::Block& b, const Place& p, const Cell& cell) {
  const OpLoop loop = read_op_loop(b);
  std::string fault;
  if (!loop.tag.empty()) {
    if (!loop.unparsed.empty())
      fault = "operator '" + loop.unparsed.front() + "' does not parse: " + loop.why;
    else
      fault = check_op_list(loop.ops).fault;
    if (fault.empty()) return loop.ops;
  }
  const SymbolGroup sym = read_symbol_group(b, cell, loop.ops);
  if (loop.tag.empty()) {
    if (sym.tag.empty())
      err("ReadCif", p.at("_space_group_symop_operation_xyz") +
                         " missing: the block gives no symmetry operators (nor _symmetry_equiv_pos_as_xyz, nor a "
                         "space-group name)");
    if (!sym.problem.empty()) err("ReadCif", p.at(sym.tag) + ": " + sym.problem);
    return sym.ops;
  }
  const std::string where = loop.unparsed.empty() ? p.at("symmetry operators") : p.at(loop.tag);
  if (sym.tag.empty()) err("ReadCif", where + ": " + fault);
  if (!sym.problem.empty())
    err("ReadCif", where + ": " + fault + "; nor does the symbol give the group (" + sym.tag + ": " + sym.problem + ")");

  std::vector<std::string> lacks = loop.unparsed, adds;
  std::vector<gemmi::Op> in_loop;
  for (std::size_t k = 0; k < loop.ops.size(); ++k) {
    gemmi::Op op = loop.ops[k];
    op.wrap();
    if (std::find(in_loop.begin(), in_loop.end(), op) != in_loop.end()) continue;
    in_loop.push_back(op);
    if (std::find(sym.ops.begin(), sym.ops.end(), op) == sym.ops.end()) lacks.push_back(loop.texts[k]);
  }
  for (const gemmi::Op& op : sym.ops)
    if (std::find(in_loop.begin(), in_loop.end(), op) == in_loop.end()) adds.push_back(op.triplet());
  // A symbol that disagrees with most of the loop names another group, not
  // the one the loop misprints: neither can be trusted.
  const std::size_t written = in_loop.size() + loop.unparsed.size();
  if (2 * lacks.size() > written)
    err("ReadCif", where + ": " + fault + "; the symbol " + sym.tag + " '" + sym.name +
                       "' names a group that lacks most of them (" + joined(lacks) + ")");
  const std::string taken = "'" + sym.name + "'" + (sym.setting.empty() ? "" : " (setting " + sym.setting + ")");
  const std::string what =
      where + ": the operators of " + loop.tag + " form no group (" + fault + "); the group of " + sym.tag + " " + taken +
      " is taken instead";
  to_both(run, "(/1x,a)"_f, "WARNING: " + what);
  report_warning(run, what);
  to_both(run, "(1x,a)"_f, "WARNING: operators of the loop that the group lacks: " + joined(lacks));
  to_both(run, "(1x,a)"_f, "WARNING: operators the group adds: " + joined(adds));
  return sym.ops;
}

// Atomic number of a type symbol ("C", "Cu2+", "O1-") from its leading
// letters; 0 when they name no element.
int element_of(const std::string& symbol) {
  std::string letters;
  for (char ch : symbol) {
    if (!std::isalpha(static_cast<unsigned char>(ch)) || letters.size() == 2) break;
    letters.push_back(ch);
  }
  if (letters.empty()) return 0;
  const gemmi::El el = gemmi::find_element(letters.c_str());
  return el == gemmi::El::X ? 0 : gemmi::Element(el).atomic_number();
}

struct Site {
  std::string label;  // as in the file
  int z = 0;
  Frac x;
  float occ = 1.0f;
  float uiso = 0.0f;
  bool aniso = false;
  Uij u{};
  int order = 0;  // site-symmetry order from the file; 0: from the operators
  int part = 0;   // disorder group; 0 when none
};

std::vector<Site> read_sites(const cif::Block& b, const Place& p) {
  enum { kLabel, kType, kX, kY, kZ, kOcc, kUiso, kBiso, kOrder, kPart };
  const Rows t(b, "_atom_site_", {"label", "?type_symbol", "?fract_x", "?fract_y", "?fract_z", "?occupancy",
                                  "?U_iso_or_equiv", "?B_iso_or_equiv", "?site_symmetry_order", "?disorder_group"});
  if (!t.ok()) err("ReadCif", p.at("_atom_site_label") + " missing: the block has no atom sites");
  for (int k : {kX, kY, kZ})
    if (!t.has_column(k))
      err("ReadCif", p.at(std::string("_atom_site_fract_") + "xyz"[k - kX]) +
                         " missing: the atom sites have no fractional coordinates");
  if (t.length() > static_cast<std::size_t>(MAXAT)) err("ReadCif", "Too many atoms");
  std::vector<Site> sites;
  for (std::size_t row = 0; row < t.length(); ++row) {
    const std::size_t row_number = row + 1;
    Site s;
    s.label = t.str(row, kLabel);
    if (s.label.empty())
      err("ReadCif", p.at("_atom_site_label") + ": atom site " + std::to_string(row_number) + " has no label");
    const std::string of = " of atom " + s.label;
    if (t.has2(row, kType)) {
      const std::string sym = t.str(row, kType);
      s.z = element_of(sym);
      if (s.z == 0) err("ReadCif", p.at("_atom_site_type_symbol") + of + ": '" + sym + "' names no element");
    } else {
      s.z = iatnum(s.label);
      if (s.z == 0)
        err("ReadCif", p.at("_atom_site_label") + ": no type symbol, and the label " + s.label + " names no element");
    }
    if (s.z > NSYM_ELEMENTS)
      err("ReadCif", p.at("_atom_site_type_symbol") + of + ": element " + std::to_string(s.z) +
                         " is beyond the element table");
    // The values of a CIF loop keep no line of their own: the row is named.
    require_scat(s.z, "ReadCif", s.label, p.at("_atom_site_ loop") + ", row " + std::to_string(row_number));
    s.x = Frac(static_cast<float>(required(p, "_atom_site_fract_x" + of, t.raw(row, kX))),
               static_cast<float>(required(p, "_atom_site_fract_y" + of, t.raw(row, kY))),
               static_cast<float>(required(p, "_atom_site_fract_z" + of, t.raw(row, kZ))));
    if (t.has_column(kOcc))
      s.occ = static_cast<float>(optional(p, "_atom_site_occupancy" + of, t.raw(row, kOcc), 1.0));
    if (t.has2(row, kUiso))
      s.uiso = static_cast<float>(required(p, "_atom_site_U_iso_or_equiv" + of, t.raw(row, kUiso)));
    else if (t.has2(row, kBiso))
      s.uiso = static_cast<float>(required(p, "_atom_site_B_iso_or_equiv" + of, t.raw(row, kBiso)) / kEightPiSquared);
    if (t.has2(row, kOrder)) {
      const double n = required(p, "_atom_site_site_symmetry_order" + of, t.raw(row, kOrder));
      if (n < 1.0 || n > 192.0 || n != std::floor(n))
        err("ReadCif", p.at("_atom_site_site_symmetry_order") + of + ": '" + t.raw(row, kOrder) +
                           "' is no order of a site symmetry");
      s.order = static_cast<int>(n);
    }
    // A disorder group is a part number as SHELX gives it (negative for a
    // group disordered about a symmetry element); a group named otherwise
    // stops the run rather than merging alternatives.
    if (t.has2(row, kPart)) {
      const std::string g = t.str(row, kPart);
      if (!ff::parse_int(g, s.part))
        err("ReadCif", p.at("_atom_site_disorder_group") + of + ": '" + g + "' is no disorder group number");
    }
    sites.push_back(s);
  }
  return sites;
}

// The aniso loop gives U (or B, converted) to atoms of the atom-site loop;
// an entry without such an atom (an atom left out of the model) is passed over.
void read_aniso(Run& run, const cif::Block& b, const Place& p, std::vector<Site>& sites) {
  const Rows t(b, "_atom_site_aniso_", {"label", "?U_11", "?U_22", "?U_33", "?U_12", "?U_13", "?U_23", "?B_11",
                                              "?B_22", "?B_33", "?B_12", "?B_13", "?B_23"});
  if (!t.ok()) return;
  auto all = [&](int first) {
    for (int k = first; k < first + 6; ++k)
      if (!t.has_column(k)) return false;
    return true;
  };
  static const char* const kNames[] = {"", "U_11", "U_22", "U_33", "U_12", "U_13", "U_23",
                                       "B_11", "B_22", "B_33", "B_12", "B_13", "B_23"};
  int first = 0;
  double scale = 1.0;
  if (all(1)) {
    first = 1;
  } else if (all(7)) {
    first = 7;
    scale = 1.0 / kEightPiSquared;
  } else {
    err("ReadCif", p.at("_atom_site_aniso_U_11") + " missing: the aniso loop gives neither the six U_ij nor the six B_ij");
  }
  std::unordered_map<std::string, std::size_t> index;
  for (std::size_t i = sites.size(); i-- > 0;) index[sites[i].label] = i;
  for (std::size_t row = 0; row < t.length(); ++row) {
    const std::string label = t.str(row, 0);
    auto it = index.find(label);
    if (it == index.end()) {
      to_lst(run, "(' Aniso entry ',a,' has no atom site: passed over')"_f, label);
      continue;
    }
    int nulls = 0;
    for (int k = first; k < first + 6; ++k) nulls += cif::is_null(t.raw(row, k)) ? 1 : 0;
    if (nulls == 6) continue;
    Site& s = sites[it->second];
    for (int k = 0; k < 6; ++k) {
      const std::string item = std::string("_atom_site_aniso_") + kNames[first + k] + " of atom " + label;
      s.u[static_cast<std::size_t>(k)] =
          static_cast<float>(required(p, item, t.raw(row, first + k)) * scale);
    }
    s.aniso = true;
  }
}

// Scattering types: the elements of the _atom_type loop in its order, then
// any further element of the atoms in order of first appearance.
std::vector<int> build_types(Run& run, const cif::Block& b, const std::vector<Site>& sites) {
  AtTypes& ty = run.at_types;
  auto type_of = [&](int z) {
    for (int k = 1; k <= ty.ntyp; ++k)
      if (ty.iz[static_cast<std::size_t>(k)] == z) return k;
    ty.iz.push_back(z);
    return ++ty.ntyp;
  };
  if (const cif::Column* col = b.find("_atom_type_symbol"))
    for (const std::string& raw : col->values) {
      const int z = element_of(cif::as_string(raw));
      if (z >= 1 && z <= NSYM_ELEMENTS) type_of(z);
    }
  std::vector<int> isft;
  for (const Site& s : sites) isft.push_back(type_of(s.z));
  return isft;
}

void write_xd_head(Run& run, float wave, const XdSymmetry& xs) {
  std::ostream& m = *run.mas;
  const Cell& c = run.ucell;
  write_mas_banner(run);
  ff::write(m, "('CELL ',6f12.4)"_f, c);
  ff::write(m, "('WAVE ',f12.6)"_f, wave);
  ff::write(m, "(a,a)"_f, xs.centro ? "LATT C " : "LATT A ", std::string(1, xs.letter));
  for (const gemmi::Op& op : xs.cards) ff::write(m, "(a)"_f, "SYMM " + card_text(op));
  write_mas_module(run);
  ff::write(*run.par, "('CELL',3f10.4,3f9.4,1x,f8.5)"_f, c[0], c[1], c[2], c[3], c[4], c[5], wave);
  ff::write(*run.par, "(a)"_f);
}

void build_symmetry(Run& run, const OpList& list, const XdSymmetry& xs) {
  const gemmi::GroupOps g = gemmi::split_centering_vectors(list.ops);
  to_lst(run, "(/' Cell parameters: ',6f10.3)"_f, run.ucell);
  to_lst(run, "(/' Lattice type : ',a)"_f, std::string(1, xs.letter));
  to_lst(run, "(' Lattice is ',a)"_f, g.is_centrosymmetric() ? "CentroSymmetric" : "Acentric");
  if (g.is_centrosymmetric() && !xs.centro)
    to_lst(run, "(' Centre of symmetry away from the origin: every operator is written as a symmetry card')"_f);
  if (list.dropped > 0) to_lst(run, "(' Operators listed twice, taken once: ',i4)"_f, list.dropped);
  to_lst(run, "(/' Symmetry operations : ')"_f);
  run.symm.nsym = 0;
  run.symm.op.assign(1, SymOp{});
  for (const gemmi::Op& op : list.given) push_op(run.symm, to_symop(op));
  checkts(run);
  for (int n = 1; n <= run.symm.nsym; ++n) symout(*run.lst, n, run.symm.op[static_cast<std::size_t>(n)]);
  to_lst(run, "(/' Final set of symmetry operations in matrix form:')"_f);
  prsymop(run);
  prattyp(run);
  tranmat(run);

  std::vector<std::string> cards;
  for (const gemmi::Op& op : xs.cards) {
    const std::string t = card_text(op);
    cards.push_back(t.size() < 30 ? pad(t, 30) : t);
  }
  write_mopro_symmetry(run, xs.letter, xs.centro, cards);
}

// SHELX gives an atom on a special position its share of the site (1/n);
// a CIF gives occupancy 1 and the order n of the site symmetry.
void store_atoms(Run& run, const std::vector<Site>& sites, const std::vector<int>& isft) {
  to_both(run, "(/4x,'NO.  ATOM     IZ IU SF    XF       YF       ZF','    OCCUP  U''s -->')"_f);
  Atoms& a = run.atoms;
  Atoms1& a1 = run.atoms1;
  std::vector<int> type_count(static_cast<std::size_t>(run.at_types.ntyp) + 1, 0);
  a.nat = 0;
  for (std::size_t k = 0; k < sites.size(); ++k) {
    const Site& s = sites[k];
    const int i = ++a.nat;
    const auto ui = static_cast<std::size_t>(i);
    a.iz[ui] = s.z;
    a.name[ui] = s.label;
    a.resnum[ui] = 0;
    a1.part[ui] = s.part;
    std::string line = upper(s.label) + " ";
    a.label[ui] = shatnam(line, s.z, i, ++type_count[static_cast<std::size_t>(isft[k])], run.ctl);
  }
  const std::vector<int> relabelled = settle_labels(run);
  for (std::size_t k = 0; k < sites.size(); ++k) {
    const Site& s = sites[k];
    const int i = static_cast<int>(k) + 1;
    const auto ui = static_cast<std::size_t>(i);
    const int t = isft[k];
    a1.isft[ui] = t;
    a1.lmax[ui] = s.z == 1 ? 2 : 4;
    a.xf[ui] = s.x;
    a.xc[ui] = to_cart(run.transf, s.x);
    const int order = s.order > 0 ? s.order : site_symmetry_order(run, s.x, kSiteTol);
    a1.occ[ui] = s.occ / static_cast<float>(order);
    a1.iu[ui] = s.aniso ? 2 : 1;
    run.at_uij[ui] = s.aniso ? s.u : Uij{s.uiso, 0, 0, 0, 0, 0};
    std::vector<float> shown(run.at_uij[ui].begin(), run.at_uij[ui].begin() + (s.aniso ? 6 : 1));
    to_both(run, "( i6, 3x, a, 3i3, 3f9.5, f6.3, 6f7.3 )"_f, i, a.label[ui], a.iz[ui], a1.iu[ui], a1.isft[ui], a.xf[ui],
            a1.occ[ui], shown);
    if (order > 1)
      to_lst(run, "(9x,'site symmetry of order',i3,' (',a,'): occupancy ',f7.4,' counted as ',f7.4)"_f, order,
             s.order > 0 ? "from the file" : "from the operators", s.occ, a1.occ[ui]);
  }
  print_label_changes(run, relabelled);
  to_out(run, "(/' Total atoms read from CIF file = ',i5)"_f, a.nat);
}

}  // namespace

bool looks_like_cif(const std::filesystem::path& path) {
  std::ifstream f(path, std::ios::binary);
  bool block = false, item = false;
  for (std::string l; !(block && item) && std::getline(f, l);) {
    const std::size_t first = l.find_first_not_of(" \t");
    if (first == std::string::npos) continue;
    std::string_view w = std::string_view(l).substr(first);
    if (w.size() > 5 && lower(w.substr(0, 5)) == "data_") block = true;
    if (w.size() > 1 && w[0] == '_' && std::isalpha(static_cast<unsigned char>(w[1]))) item = true;
  }
  return block && item;
}

void ReadCif(Run& run, const std::string& fname, const std::string& block) {
  cif::Document doc = read_document(run, fname);
  const cif::Block& b = choose_block(doc, fname, block);
  const Place place{fname, b.name};
  to_lst(run, "(/' Reading CIF file : ',a)"_f, fname);
  print_block(run, doc, b, !block.empty());
  run.data_block = b.name;

  run.ucell = read_cell(b, place);
  const float wave = read_wavelength(run, b, place);
  const OpList list = check_op_list(read_operators(run, b, place, run.ucell));
  if (!list.fault.empty()) err("ReadCif", place.at("symmetry operators") + ": " + list.fault);
  const XdSymmetry xs = reduce_for_xd(list.ops);
  std::vector<Site> sites = read_sites(b, place);
  read_aniso(run, b, place, sites);
  const std::vector<int> isft = build_types(run, b, sites);

  write_xd_head(run, wave, xs);
  build_symmetry(run, list, xs);
  store_atoms(run, sites, isft);
  checkocc(run);
  printatoms(run, *run.lst);
}

}  // namespace vorn
