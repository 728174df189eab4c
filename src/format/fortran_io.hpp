// Fortran-style formatted output and list-directed (free-format) input.
//
// Every file VORN writes is read by Fortran programs (XD, MoPro, PLATON) with
// fixed field layouts, so every number goes through the edit descriptors here:
//
//     ff::write(os, "(i7,2x,a,1x,3f9.5)", i, label, xf);
//
// The format string is the Fortran format of the layout, compiled once per
// format text at its first use.
// Supported: Iw, Iw.m, Fw.d, Ew.d, A, Aw, Lw, nX, 'text' (and "text"), /,
// n(...) groups with repeat counts, SP, SS, a trailing $ (leave the line
// open) and format reversion (more items than descriptors start a new record
// at the last top-level group, as in 10F8.4 for 26 values).
//
// Arguments: integers go to I, float/double to F and E, strings to A, bool to
// L; std::array, std::vector and std::span of those are expanded item by item.
//
// Output follows gfortran: values are rounded to nearest on their exact binary
// value (ties to even), a field too narrow for its value is filled with
// asterisks, the leading zero of |x| < 1 is dropped when the field has no room
// for it, and a negative value that rounds to zero keeps its sign ("-0.000").
// An exact negative zero prints as zero without sign.
//
// An extension for large structures: "Jw" prints an integer like Iw when it
// fits and otherwise in full instead of asterisks, after one blank where the
// number would touch what stands before it on the line (not at the start of
// a line, nor after a blank). A field that must keep a blank before a number
// as wide as itself (I5 holding 12345 after another number) is written
// "1x,j4": the same columns as I5 up to 9999, one blank and the number
// beyond.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <span>
#include <streambuf>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace ff {

// One value to format. A run builds millions of them, so the value shares
// its room with the others: 24 bytes in all.
struct Item {
  enum Kind : unsigned char { Int, Real, Str, Log } kind;
  bool b;  // Log
  struct Text {
    const char* p;
    std::size_t n;
  };
  union {
    long long i;  // Int
    double r;     // Real
    Text t;       // Str
  };
  std::string_view s() const { return {t.p, t.n}; }

  static Item of(long long v) {
    Item it;
    it.kind = Int;
    it.b = false;
    it.i = v;
    return it;
  }
  static Item of(double v) {
    Item it;
    it.kind = Real;
    it.b = false;
    it.r = v;
    return it;
  }
  static Item of(std::string_view v) {
    Item it;
    it.kind = Str;
    it.b = false;
    it.t = Text{v.data(), v.size()};
    return it;
  }
  static Item of(bool v) {
    Item it;
    it.kind = Log;
    it.b = v;
    it.i = 0;
    return it;
  }
};

using Items = std::vector<Item>;

// The items of one call: room for a few dozen on the stack, the heap beyond.
class ItemList {
 public:
  ItemList() = default;
  ItemList(const ItemList&) = delete;
  ItemList& operator=(const ItemList&) = delete;
  void push_back(const Item& it) {
    if (n_ < kInline) [[likely]]
      inline_[n_++] = it;
    else
      spill(it);
  }
  std::span<const Item> view() const {
    return heap_.empty() ? std::span<const Item>(inline_, n_) : std::span<const Item>(heap_);
  }

 private:
  void spill(const Item& it) {
    if (heap_.empty()) heap_.assign(inline_, inline_ + n_);
    heap_.push_back(it);
  }
  static constexpr std::size_t kInline = 48;
  Item inline_[kInline];  // trivial: not initialised before the items are written
  std::size_t n_ = 0;
  std::vector<Item> heap_;
};

// The item adders work on an Items vector and on an ItemList alike.
template <class V>
inline void add(V& v, bool b) {
  v.push_back(Item::of(b));
}
template <class V>
inline void add(V& v, float x) {
  v.push_back(Item::of(static_cast<double>(x)));
}
template <class V>
inline void add(V& v, double x) {
  v.push_back(Item::of(x));
}
template <class V>
inline void add(V& v, std::string_view s) {
  v.push_back(Item::of(s));
}
template <class V>
inline void add(V& v, const std::string& s) {
  add(v, std::string_view(s));
}
template <class V>
inline void add(V& v, const char* s) {
  add(v, std::string_view(s));
}
template <class V>
inline void add(V& v, char c) = delete;  // a char is text or a number? say which
template <class V, class T>
  requires(std::is_integral_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char>)
inline void add(V& v, T n) {
  v.push_back(Item::of(static_cast<long long>(n)));
}
template <class V, class T, std::size_t N>
inline void add(V& v, const std::array<T, N>& a) {
  for (const auto& x : a) add(v, x);
}
template <class V, class T>
inline void add(V& v, const std::vector<T>& a) {
  for (const auto& x : a) add(v, x);
}
template <class V, class T, std::size_t E>
inline void add(V& v, std::span<T, E> a) {
  for (const auto& x : a) add(v, x);
}

// Formats the items with the format; the result holds one '\n' after every
// record, except after the last when the format ends in '$'.
std::string format_items(std::string_view fmt, std::span<const Item> items);
// The same, appended to out.
void format_append(std::string& out, std::string_view fmt, std::span<const Item> items);
// The same, written to the stream.
void write_items(std::ostream& os, std::string_view fmt, std::span<const Item> items);

// The number of items add() makes of an argument, when its type tells (0:
// it does not). Chosen by the same overload rules as add(), so a type
// derived from std::array counts as the array.
constexpr std::size_t count_items(const void*) { return 1; }
template <class T, std::size_t N>
constexpr std::size_t count_items(const std::array<T, N>*) {
  return N * count_items(static_cast<const T*>(nullptr));
}
template <class T>
constexpr std::size_t count_items(const std::vector<T>*) {
  return 0;
}
template <class T, std::size_t E>
constexpr std::size_t count_items(const std::span<T, E>*) {
  return 0;
}
template <class T>
inline constexpr std::size_t item_count = count_items(static_cast<const T*>(nullptr));

// The items of a call whose argument types tell their number: a plain array,
// written front to back.
template <std::size_t N>
struct FixedItems {
  Item items[N];  // trivial: not initialised before the items are written
  std::size_t n = 0;
  void push_back(const Item& it) { items[n++] = it; }
  std::span<const Item> view() const { return {items, N}; }
};

// The item list for the arguments: fixed when their types tell the count.
template <class... Ts>
auto items_of(const Ts&... args) {
  if constexpr (sizeof...(Ts) > 0 && ((item_count<Ts> > 0) && ...)) {
    FixedItems<(item_count<Ts> + ...)> items;
    (add(items, args), ...);
    return items;
  } else {
    struct Dynamic : ItemList {
      explicit Dynamic(const Ts&... a) { (add(*this, a), ...); }
    };
    return Dynamic(args...);
  }
}

// ---------------------------------------------------------------------------
// Formatting on another thread.
//
// A RecordBuf keeps what is written to its stream in blocks: text as it is
// written, and each write() as a record of the compiled format and a copy of
// its items. The thread that writes the file turns the records into text
// with format_record: the same text, byte for byte. A write that cannot be
// recorded (a format compiled only for the moment, a record larger than a
// block) is formatted at once, into the text.
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
// when it fits there, else into spill; the view returned shows where. A
// record names its format, which lives as long as the thread that made the
// record. Throws std::logic_error as write() would.
std::string_view format_record(const char* rec, std::size_t n, char* room, std::size_t cap, std::string& spill);

namespace detail {

// Literal formats met before, by address: a literal's text never changes,
// so its address and length tell it. Two ways per set of a table hashed by
// the address, per thread; filled by the compiled-format cache (the formats
// themselves live there).
struct KnownLiteral {
  const char* at = nullptr;
  std::size_t n = 0;
  const void* program = nullptr;
};
using KnownSet = std::array<KnownLiteral, 2>;  // the one met last first
constexpr int kKnownSetBits = 8;
extern thread_local constinit std::array<KnownSet, std::size_t{1} << kKnownSetBits> known_literals;
inline KnownSet& known_set(const char* at) {
  return known_literals[(reinterpret_cast<std::uintptr_t>(at) * 0x9E3779B97F4A7C15ull) >> (64 - kKnownSetBits)];
}
// The compiled format of a literal met before, or nullptr.
inline const void* known_program(std::string_view fmt) {
  for (const KnownLiteral& k : known_set(fmt.data()))
    if (k.at == fmt.data() && k.n == fmt.size()) return k.program;
  return nullptr;
}

// The compiled format a record may name, or nullptr.
const void* find_record_program(std::string_view fmt);
inline const void* record_program(std::string_view fmt) {
  if (const void* p = known_program(fmt)) [[likely]]
    return p;
  return find_record_program(fmt);
}

// A record: the format, the item count, then per item its kind and value (a
// text as its length and bytes).
constexpr std::size_t kRecordHead = sizeof(const void*) + sizeof(std::uint32_t);

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
[[gnu::always_inline]] inline bool put_record(RecordBuf& rb, std::string_view fmt, Each&& each) {
  const void* prog = record_program(fmt);
  if (prog == nullptr) return false;
  RecordSizer size;
  each(size);
  const std::size_t n = kRecordHead + size.n;
  if (n > kMaxRecord) return false;  // the item count and every length then fit 32 bits
  char* room = rb.record_room(n);
  if (room == nullptr) return false;
  const auto count = static_cast<std::uint32_t>(size.count);
  std::memcpy(room, &prog, sizeof prog);
  std::memcpy(room + sizeof prog, &count, 4);
  RecordWriter w{room + kRecordHead};
  each(w);
  rb.record_made();
  return true;
}

// A write recorded straight from its arguments.
template <class... Ts>
bool record_args(RecordBuf& rb, std::string_view fmt, const Ts&... args) {
  return put_record(rb, fmt, [&](auto& adder) { (add(adder, args), ...); });
}

}  // namespace detail

template <class... Ts>
std::string format(std::string_view fmt, const Ts&... args) {
  const auto items = items_of(args...);
  return format_items(fmt, items.view());
}

template <class... Ts>
void write(std::ostream& os, std::string_view fmt, const Ts&... args) {
  if constexpr (sizeof...(Ts) > 0 && ((item_count<Ts> > 0) && ...)) {
    // Recorded straight from the arguments, when the stream records.
    if (RecordBuf* rb = RecordBuf::of(os); rb != nullptr && os.good())
      if (detail::record_args(*rb, fmt, args...)) return;
  }
  const auto items = items_of(args...);
  write_items(os, fmt, items.view());
}

// Single edit descriptors, for building fields by hand and for tests.
std::string fmt_i(long long v, int w, int m = -1, bool plus = false);
std::string fmt_f(double v, int w, int d, bool plus = false);
std::string fmt_e(double v, int w, int d, bool plus = false);
std::string fmt_a(std::string_view s, int w);  // w < 0: the whole text
std::string fmt_j(long long v, int w);          // Iw, or " <full number>" when it does not fit

// An integer's text as I0 writes it (its digits, after a '-' when negative),
// held in place: no allocation.
class IntText {
 public:
  explicit IntText(long long v);
  std::string_view view() const { return {buf_ + sizeof buf_ - n_, n_}; }
  std::size_t size() const { return n_; }
  // What Iw writes, without its leading blanks: the text, or w asterisks
  // when it does not fit (1 <= w <= 24).
  std::string_view in_width(std::size_t w) const {
    return n_ <= w ? view() : std::string_view("************************", w);
  }

 private:
  char buf_[24];
  std::size_t n_;
};

// A line put together field by field in a string's own buffer, for the few
// lines made for every atom whose fields are texts and integers: the columns
// the format with the same fields gives, without a format to run. The
// caller gives room for the longest line the fields can make.
class Columns {
 public:
  Columns(std::string& s, std::size_t room) : s_(s) {
    s_.resize(room + kSlack);
    p_ = s_.data();
    end_ = p_ + room + kSlack;
  }
  Columns& text(std::string_view t) {
    if (!t.empty()) std::memcpy(p_, t.data(), t.size());
    p_ += t.size();
    return *this;
  }
  Columns& blanks(std::size_t n) {
    std::memset(p_, ' ', n);
    p_ += n;
    return *this;
  }
  // The text cut or blank-padded on the right to n characters.
  Columns& padded(std::string_view t, std::size_t n) {
    const std::size_t m = t.size() < n ? t.size() : n;
    return text(t.substr(0, m)).blanks(n - m);
  }
  // v as Iw (and Jw) write it when it fits; false, with nothing written,
  // when it does not (the caller then formats the line).
  bool int_field(long long v, int w) {
    const IntText t(v);
    if (w < 0 || t.size() > static_cast<std::size_t>(w)) return false;
    return blanks(static_cast<std::size_t>(w) - t.size()).text(t.view()), true;
  }
  // v as Fw.d writes it when it fits (no asterisks); false when it does
  // not (the columns after the line so far then hold no text).
  bool fixed_field(double v, int w, int d);
  // Ends the line here.
  void done() { s_.resize(static_cast<std::size_t>(p_ - s_.data())); }

 private:
  static constexpr std::size_t kSlack = 64;  // room the field writers may use past their field
  std::string& s_;
  char* p_;
  char* end_;
};

// ---------------------------------------------------------------------------
// Input.

// Reads a word as a Fortran Fw.0 field would: an optional sign, digits with
// an optional decimal point (at least one digit), and an optional exponent
// (E, D or Q with an optional sign, or a bare sign). A lone sign or point,
// and the words NaN and Inf, are not numbers here.
bool is_fixed_number(std::string_view word);

// Parses one real in the syntax of is_fixed_number. False when the text is
// not a number or the value is out of the range of a 32-bit float.
bool parse_real(std::string_view word, float& out);
bool parse_real(std::string_view word, double& out);
// Parses an integer: optional sign and digits only; false on overflow.
bool parse_int(std::string_view word, int& out);

// List-directed reading of numbers from one text: values are separated by
// blanks, tabs or a comma; "r*v" repeats v r times; "/" ends the list.
// Every read returns false at the end of the text or on a value that does not
// read as the requested type (as a Fortran READ with IOSTAT would fail); the
// reader is then left at that value.
class ListReader {
 public:
  explicit ListReader(std::string_view text) : text_(text) {}
  bool next(float& x);
  bool next(double& x);
  bool next(int& x);
  template <class... Ts>
  bool read(Ts&... xs) {
    return (next(xs) && ...);
  }
  // Number of values left (a repeat r*v counts r).
  int count_left() const;

 private:
  bool next_word(std::string_view& w);  // the next value text, or empty for a null value
  void advance_after_value();
  std::string_view text_;
  std::size_t pos_ = 0;
  int repeat_left_ = 0;
  std::string_view repeat_value_;
  bool ended_ = false;
};

}  // namespace ff
