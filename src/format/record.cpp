#include "format/record.hpp"

#include <climits>
#include <cstring>
#include <span>
#include <stdexcept>
#include <vector>

#include "format/engine.hpp"

namespace ff {

void RecordBuf::attach(std::ostream& os, RecordBuf* buf) { os.pword(kSlot) = buf; }

char* RecordBuf::room_in_next_block(std::size_t n) {
  if (block_ == nullptr || n > detail::kMaxRecord || n + 2 * kHead > static_cast<std::size_t>(end_ - block_)) return nullptr;
  block_full();
  return block_;
}

int RecordBuf::overflow(int c) {
  if (block_ == nullptr) return traits_type::eof();
  block_full();
  if (c != traits_type::eof()) {
    *pptr() = static_cast<char>(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

std::streamsize RecordBuf::xsputn(const char* s, std::streamsize n) {
  if (block_ == nullptr) return 0;
  std::streamsize left = n;
  while (left > 0) {
    if (pptr() == epptr()) block_full();
    const auto room = static_cast<std::streamsize>(epptr() - pptr());
    const std::streamsize k = left < room ? left : room;
    std::memcpy(pptr(), s, static_cast<std::size_t>(k));
    pbump(static_cast<int>(k));
    s += k;
    left -= k;
  }
  return n;
}

std::string_view format_record(const char* rec, std::size_t n, char* room, std::size_t cap, std::string& spill) {
  using detail::kRecordHead;
  if (n < kRecordHead) throw std::logic_error("record cut short");
  const void* name = nullptr;
  std::uint32_t len = 0, count = 0;
  std::memcpy(&name, rec, 8);
  std::memcpy(&len, rec + 8, 4);
  std::memcpy(&count, rec + 12, 4);
  const char* p = rec + kRecordHead;
  const char* end = rec + n;
  // The items, on the stack for the usual record.
  constexpr std::uint32_t kInline = 64;
  Item local[kInline];  // trivial: not initialised before the items are written
  std::vector<Item> heap;
  if (count > kInline) heap.resize(count);
  const std::span<Item> items(count > kInline ? heap.data() : local, count);
  for (Item& it : items) {
    if (p >= end) throw std::logic_error("record cut short");
    it.kind = static_cast<Item::Kind>(*p++);
    it.b = false;
    switch (it.kind) {
      case Item::Int:
        std::memcpy(&it.i, p, 8);
        p += 8;
        break;
      case Item::Real:
        std::memcpy(&it.r, p, 8);
        p += 8;
        break;
      case Item::Str: {
        std::uint32_t slen = 0;
        std::memcpy(&slen, p, 4);
        it.t = Item::Text{p + 4, slen};
        p += 4 + slen;
        break;
      }
      case Item::Log:
        it.i = 0;
        it.b = *p++ != 0;
        break;
      default:
        throw std::logic_error("record of an unknown item");
    }
  }
  if (p != end) throw std::logic_error("record of the wrong length");
  if (cap > static_cast<std::size_t>(INT_MAX)) cap = static_cast<std::size_t>(INT_MAX);
  detail::Line line(room, cap);
  if ((len & detail::kCompiledBit) != 0) {
    detail::format_program(line, static_cast<const Format*>(name)->program(), items);
  } else {
    // A plain literal: its text is there for the whole run.
    const Format fmt(std::string_view(static_cast<const char*>(name), len));
    detail::format_program(line, fmt.program(), items);
  }
  if (line.in(room)) return {room, line.size()};
  spill.assign(line.view());
  return spill;
}

}  // namespace ff
