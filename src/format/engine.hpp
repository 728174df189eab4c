// The formatting engine: a compiled format run over the items of a write.
#pragma once

#include <span>

#include "format/format.hpp"
#include "format/items.hpp"
#include "format/line.hpp"

namespace ff::detail {

// Writes the items by the program at the end of the line: one '\n' after
// every record, except after the last when the format ends in '$'. Raises
// std::logic_error for an item that does not suit its descriptor and for a
// format that takes no items while items are left.
void format_program(Line& out, const Program& p, std::span<const Item> items);

}  // namespace ff::detail
