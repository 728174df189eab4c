#include "format/write.hpp"

#include <climits>
#include <ostream>
#include <streambuf>
#include <string>

#include "format/engine.hpp"
#include "format/line.hpp"
#include "format/record.hpp"

namespace ff {

using detail::format_program;
using detail::Line;

namespace {

void format_line(Line& out, const Format& fmt, std::span<const Item> items) {
  fmt.check();
  format_program(out, fmt.program(), items);
}

// The put area of any stream buffer, for writing a line straight into it.
// The members are protected; naming them through a class derived from
// std::streambuf gives member pointers that apply to every stream buffer.
struct PutArea : std::streambuf {
  static char* next(std::streambuf* b) { return (b->*&PutArea::pptr)(); }
  static char* end(std::streambuf* b) { return (b->*&PutArea::epptr)(); }
  static void advance(std::streambuf* b, int n) { (b->*&PutArea::pbump)(n); }
};

// Lines are built in the stream's buffer when it has this much room left.
constexpr std::size_t kMinRoom = 512;

// Hands the write over to the stream's RecordBuf; false when it has none or
// the write cannot be recorded.
bool record(std::ostream& os, const Format& fmt, std::span<const Item> items) {
  RecordBuf* rb = RecordBuf::of(os);
  if (rb == nullptr) [[likely]]
    return false;
  return detail::put_record(*rb, fmt, [&](auto& adder) {
    for (const Item& it : items) adder.push_back(it);
  });
}

}  // namespace

void format_append(std::string& out, const Format& fmt, std::span<const Item> items) {
  Line line;
  format_line(line, fmt, items);
  out += line.view();
}

std::string format_items(const Format& fmt, std::span<const Item> items) {
  Line line;
  format_line(line, fmt, items);
  return line.str();
}

void write_items(std::ostream& os, const Format& fmt, std::span<const Item> items) {
  fmt.check();
  // A stream in error writes nothing; a short write marks it bad, as the
  // stream would.
  if (!os.good()) [[unlikely]] {
    os.setstate(std::ios::badbit);
    return;
  }
  if (record(os, fmt, items)) return;
  std::streambuf* sb = os.rdbuf();
  char* room = PutArea::next(sb);
  const auto free = room == nullptr ? 0 : static_cast<std::size_t>(PutArea::end(sb) - room);
  if (free >= kMinRoom && free <= static_cast<std::size_t>(INT_MAX)) [[likely]] {
    // Straight into the stream's buffer; the line counts once it is whole.
    Line line(room, free);
    format_program(line, fmt.program(), items);
    if (line.in(room))
      PutArea::advance(sb, static_cast<int>(line.size()));
    else if (sb->sputn(line.view().data(), static_cast<std::streamsize>(line.size())) !=
             static_cast<std::streamsize>(line.size()))
      os.setstate(std::ios::badbit);
  } else {
    Line line;
    format_program(line, fmt.program(), items);
    const auto n = static_cast<std::streamsize>(line.size());
    if (sb->sputn(line.view().data(), n) != n) os.setstate(std::ios::badbit);
  }
  if (os.flags() & std::ios::unitbuf) os.flush();
}

}  // namespace ff
