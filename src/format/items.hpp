// The items of a formatted write: each argument turned into values of four
// kinds (integers, reals, texts, logicals), containers item by item.
#pragma once

#include <array>
#include <cstddef>
#include <span>
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

}  // namespace ff
