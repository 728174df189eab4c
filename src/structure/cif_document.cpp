#include "structure/cif_document.hpp"

#include <gemmi/cif.hpp>
#include <gemmi/numb.hpp>

#include <cctype>

namespace vorn::cifdoc {

namespace {

std::string lower_case(const std::string& s) {
  std::string r = s;
  for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

}  // namespace

const Column* Block::find(const std::string& tag) const {
  const auto it = items.find(lower_case(tag));
  return it == items.end() ? nullptr : &it->second;
}

Document parse(const std::string& text, const std::string& name) {
  const gemmi::cif::Document doc = gemmi::cif::read_memory(text.data(), text.size(), name.c_str());
  Document out;
  for (const gemmi::cif::Block& b : doc.blocks) {
    Block block;
    block.name = b.name;
    int loops = 0;
    for (const gemmi::cif::Item& item : b.items) {
      if (item.type == gemmi::cif::ItemType::Pair) {
        Column c;
        c.values.push_back(item.pair[1]);
        block.items.emplace(lower_case(item.pair[0]), std::move(c));
      } else if (item.type == gemmi::cif::ItemType::Loop) {
        const gemmi::cif::Loop& loop = item.loop;
        const std::size_t width = loop.width(), rows = width == 0 ? 0 : loop.length();
        for (std::size_t k = 0; k < width; ++k) {
          Column c;
          c.loop = loops;
          c.values.reserve(rows);
          for (std::size_t r = 0; r < rows; ++r) c.values.push_back(loop.val(r, k));
          block.items.emplace(lower_case(loop.tags[k]), std::move(c));
        }
        ++loops;
      }
    }
    out.blocks.push_back(std::move(block));
  }
  return out;
}

bool is_null(const std::string& raw) { return gemmi::cif::is_null(raw); }
std::string as_string(const std::string& raw) { return gemmi::cif::as_string(raw); }
double as_number(const std::string& raw) { return gemmi::cif::as_number(gemmi::cif::as_string(raw)); }

}  // namespace vorn::cifdoc
