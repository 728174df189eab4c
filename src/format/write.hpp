// Formatted writes: the items of a call laid out by a compiled format.
//
//     ff::write(os, "(i7,2x,a,1x,3f9.5)"_f, i, label, xf);
//     std::string s = ff::format("(a,f8.3)"_f, name, x);
//
// A write to a stream whose RecordBuf records (an output file of the run)
// is kept as a record and turned into text on the writer thread; any other
// write is formatted at once, straight into the stream's buffer.
#pragma once

#include <ostream>
#include <span>
#include <string>

#include "format/format.hpp"
#include "format/items.hpp"
#include "format/record.hpp"

namespace ff {

// Formats the items with the format; the result holds one '\n' after every
// record, except after the last when the format ends in '$'.
std::string format_items(const Format& fmt, std::span<const Item> items);
// The same, appended to out.
void format_append(std::string& out, const Format& fmt, std::span<const Item> items);
// The same, written to the stream.
void write_items(std::ostream& os, const Format& fmt, std::span<const Item> items);

template <class... Ts>
std::string format(const Format& fmt, const Ts&... args) {
  const auto items = items_of(args...);
  return format_items(fmt, items.view());
}

template <class... Ts>
void write(std::ostream& os, const Format& fmt, const Ts&... args) {
  if constexpr (sizeof...(Ts) > 0 && ((item_count<Ts> > 0) && ...)) {
    // Recorded straight from the arguments, when the stream records.
    if (RecordBuf* rb = RecordBuf::of(os); rb != nullptr && os.good())
      if (detail::record_args(*rb, fmt, args...)) return;
  }
  const auto items = items_of(args...);
  write_items(os, fmt, items.view());
}

}  // namespace ff
