#include "structure/structure_kind.hpp"

#include <cctype>
#include <exception>
#include <sstream>
#include <string_view>

#include "base/text.hpp"
#include "structure/cif_document.hpp"

namespace vorn {

namespace {

// The first word of a line, upper case.
std::string first_word(std::string_view line) {
  std::size_t a = line.find_first_not_of(" \t");
  if (a == std::string_view::npos) return {};
  std::size_t b = line.find_first_of(" \t\r", a);
  return upper(line.substr(a, b == std::string_view::npos ? std::string_view::npos : b - a));
}

struct Marks {
  bool data_block = false, item = false;
  bool xd_parameters = false, xd_module = false;
  bool aim2tab_count = false;
  bool shelx_cell = false, shelx_other = false;
  bool atom_line = false;
};

Marks marks_of(const std::string& text) {
  Marks m;
  std::istringstream is(text);
  bool first = true;
  for (std::string l; std::getline(is, l);) {
    const std::string w = first_word(l);
    if (w.empty()) continue;
    // An XD parameter file may begin with comment lines, as its reader skips.
    if (first && w[0] == '!') continue;
    if (first && w == "XDPARFILE") m.xd_parameters = true;
    first = false;
    const std::size_t a = l.find_first_not_of(" \t");
    if (w.size() > 5 && w.rfind("DATA_", 0) == 0) m.data_block = true;
    if (l[a] == '_' && a + 1 < l.size() && std::isalpha(static_cast<unsigned char>(l[a + 1]))) m.item = true;
    if (w == "MODULE" || w == "XDNAME") m.xd_module = true;
    if (l.find("NUMBER OF ATOMS READ =") != std::string::npos) m.aim2tab_count = true;
    if (w == "CELL") m.shelx_cell = true;
    if (w == "SFAC" || w == "UNIT" || w == "LATT" || w == "FVAR" || w == "HKLF") m.shelx_other = true;
    if (w == "ATOM") m.atom_line = true;
  }
  return m;
}

}  // namespace

StructureKind structure_kind(const std::string& text) {
  StructureKind k;
  const Marks m = marks_of(text);
  if (m.data_block && m.item) {
    k.format = FMT_CIF;
    try {
      for (const cifdoc::Block& b : cifdoc::parse(text, "structure").blocks) {
        k.cif_blocks.push_back(b.name);
        if (k.cif_atom_block.empty() && b.find("_atom_site_label") != nullptr) k.cif_atom_block = b.name;
      }
    } catch (const std::exception&) {
      // Not a CIF the reader can take after all: the run will say why.
    }
  } else if (m.xd_parameters) {
    k.format = FMT_XD;
    k.xd_parameters = true;
  } else if (m.aim2tab_count) {
    k.format = FMT_AIM2TAB;
  } else if (m.xd_module) {
    k.format = FMT_XD;
  } else if (m.shelx_cell && m.shelx_other) {
    k.format = FMT_SHELX;
  } else if (m.atom_line) {
    k.format = FMT_PLATON;
  }
  return k;
}

}  // namespace vorn
