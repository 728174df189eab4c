// Formatted writes kept as records, to be turned into text later (on the
// writer thread of the output files).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>

#include "format/format.hpp"
#include "format/items.hpp"

namespace ff {

// A RecordBuf keeps what is written to its stream in blocks: text as it is
// written, and each write() as a record that names its compiled format and
// holds a copy of its items. The thread that writes the file turns the
// records into text with format_record: the same text, byte for byte. A
// write that cannot be recorded (a format made at run time, whose text may
// be gone by then, or a record larger than a block) is formatted at once,
// into the text.
//
// A block holds segments one after another, each a 32-bit head and its
// bytes: text (the head gives its length) or a record (the head has its top
// bit set and gives the record's length).
class RecordBuf : public std::streambuf {
 public:
  static constexpr std::uint32_t kRecordBit = 0x80000000u;
  static constexpr std::size_t kHead = 4;

  // write() on os records into buf from now on (nullptr: formats again).
  static void attach(std::ostream& os, RecordBuf* buf);
  // The RecordBuf write() on os records into, or nullptr.
  static RecordBuf* of(std::ostream& os) { return static_cast<RecordBuf*>(os.pword(kSlot)); }

  // Room for a record of n bytes after everything written so far; nullptr
  // when there is none. record_made() then ends it.
  char* record_room(std::size_t n) {
    char* at = close_text();
    if (n + 2 * kHead > static_cast<std::size_t>(end_ - at)) [[unlikely]] {
      at = room_in_next_block(n);
      if (at == nullptr) return nullptr;
    }
    rec_ = at + kHead;
    rec_n_ = n;
    return rec_;
  }
  void record_made() {
    const auto head = static_cast<std::uint32_t>(rec_n_) | kRecordBit;
    std::memcpy(rec_ - kHead, &head, kHead);
    open_text(rec_ + rec_n_);
  }

 protected:
  // Starts filling the block of cap bytes at b.
  void start_block(char* b, std::size_t cap) {
    block_ = b;
    end_ = b + cap;
    open_text(b);
  }
  // Ends the text being written; the bytes of the block in use.
  std::size_t block_used() { return block_ == nullptr ? 0 : static_cast<std::size_t>(close_text() - block_); }
  // Stops filling blocks (writes go nowhere until start_block).
  void no_block() {
    block_ = end_ = text_head_ = nullptr;
    setp(nullptr, nullptr);
  }
  // The block cannot take what comes: the derived class hands block_used()
  // bytes of it over and starts a fresh block.
  virtual void block_full() = 0;
  int overflow(int c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;

 private:
  // The stream's word that names its RecordBuf (taken once at start-up).
  inline static const int kSlot = std::ios_base::xalloc();
  // Ends the text segment being written; where the next segment starts.
  char* close_text() {
    const auto len = static_cast<std::uint32_t>(pptr() - (text_head_ + kHead));
    if (len == 0) return text_head_;
    std::memcpy(text_head_, &len, kHead);
    return pptr();
  }
  void open_text(char* at) {
    text_head_ = at;
    setp(at + kHead, end_);
  }
  char* room_in_next_block(std::size_t n);

  char* block_ = nullptr;
  char* end_ = nullptr;
  char* text_head_ = nullptr;  // head of the text segment being written
  char* rec_ = nullptr;        // the record being made
  std::size_t rec_n_ = 0;
};

// Formats the record of n bytes at rec. The text goes into room (cap bytes)
// when it fits there, else into spill; the view returned shows where.
// Throws std::logic_error as write() would.
std::string_view format_record(const char* rec, std::size_t n, char* room, std::size_t cap, std::string& spill);

namespace detail {

// A record: the format, the item count, then per item its kind and value (a
// text as its length and bytes). The format is named by the address of its
// compiled object when that lasts (a literal with _f), else by its text (a
// plain literal, there for the whole run), compiled again when the record
// is formatted; the top bit of the length tells which.
static_assert(sizeof(const void*) == 8);
constexpr std::size_t kRecordHead = 8 + 4 + 4;
constexpr std::uint32_t kCompiledBit = 0x80000000u;

// The item adders, aimed at a record: its size, then its items.
struct RecordSizer {
  std::size_t n = 0;
  std::size_t count = 0;
  [[gnu::always_inline]] void push_back(const Item& it) {
    ++count;
    n += it.kind == Item::Str ? 5 + it.t.n : it.kind == Item::Log ? 2 : 9;
  }
};
struct RecordWriter {
  char* p;
  // Inlined at each write, where the kind of every item is known.
  [[gnu::always_inline]] void push_back(const Item& it) {
    *p = static_cast<char>(it.kind);
    switch (it.kind) {
      case Item::Int: std::memcpy(p + 1, &it.i, 8); p += 9; break;
      case Item::Real: std::memcpy(p + 1, &it.r, 8); p += 9; break;
      case Item::Log: p[1] = it.b ? 1 : 0; p += 2; break;
      case Item::Str: {
        const auto len = static_cast<std::uint32_t>(it.t.n);
        std::memcpy(p + 1, &len, 4);
        if (len != 0) std::memcpy(p + 5, it.t.p, len);
        p += 5 + len;
        break;
      }
    }
  }
};

// Records larger than this are formatted at once.
constexpr std::size_t kMaxRecord = std::size_t{1} << 16;

// Records a write of the format into rb: each(adder) hands every item to
// the adder, once to size the record and once to fill it. False, with
// nothing recorded, when the write cannot be recorded.
template <class Each>
[[gnu::always_inline]] inline bool put_record(RecordBuf& rb, const Format& fmt, Each&& each) {
  if (!fmt.lasting() && !fmt.literal()) return false;
  fmt.check();
  RecordSizer size;
  each(size);
  const std::size_t n = kRecordHead + size.n;
  if (n > kMaxRecord) return false;  // the item count and every length then fit 32 bits
  char* room = rb.record_room(n);
  if (room == nullptr) return false;
  const void* name = &fmt;
  std::uint32_t len = kCompiledBit;
  if (!fmt.lasting()) {
    name = fmt.program().text.data();
    len = static_cast<std::uint32_t>(fmt.program().text.size());
  }
  const auto count = static_cast<std::uint32_t>(size.count);
  std::memcpy(room, &name, 8);
  std::memcpy(room + 8, &len, 4);
  std::memcpy(room + 12, &count, 4);
  RecordWriter w{room + kRecordHead};
  each(w);
  rb.record_made();
  return true;
}

// A write recorded straight from its arguments.
template <class... Ts>
bool record_args(RecordBuf& rb, const Format& fmt, const Ts&... args) {
  return put_record(rb, fmt, [&](auto& adder) { (add(adder, args), ...); });
}

}  // namespace detail

}  // namespace ff
