#include "format/engine.hpp"

#include <stdexcept>
#include <string>

#include "format/fields.hpp"

namespace ff::detail {

namespace {

[[noreturn]] [[gnu::noinline]] [[gnu::cold]] void mismatch(std::string_view fmt, std::size_t item, const char* d) {
  throw std::logic_error(std::string("format ") + std::string(fmt) + ": item " + std::to_string(item) +
                         " does not suit " + d);
}

// Runs a compiled format over the items, into the line.
class Writer {
 public:
  Writer(const Program& prog, std::span<const Item> items, Line& out)
      : out_(out), prog_(prog), items_(items), record_start_(out.size()) {}

  // Runs the operations from the one at from to the end; false when the
  // items ran out at a field or a colon.
  bool run(std::size_t from) {
    const std::span<const Op> ops = prog_.ops;
    struct Frame {
      std::size_t open;
      int left;
    };
    Frame stack[kMaxDepth + 1];
    int depth = 0;
    for (std::size_t k = from; k < ops.size(); ++k) {
      const Op& o = ops[k];
      switch (o.kind) {
        case Op::Open:
          if (o.n == 0)
            k = after_group(k);
          else
            stack[depth++] = Frame{k, o.n};
          continue;
        case Op::Close:
          if (--stack[depth - 1].left > 0)
            k = stack[depth - 1].open;
          else
            --depth;
          continue;
        case Op::Lit:
          out_.fill(pending_ + o.pre, ' ');
          pending_ = 0;
          out_.add(prog_.text.substr(o.n, static_cast<std::size_t>(o.w)));
          continue;
        case Op::X:
          pending_ += o.n;  // blanks appear when something follows
          continue;
        case Op::Slash:
          for (int r = 0; r < o.n; ++r) end_record();
          continue;
        case Op::SP:
          if (o.n > 0) plus_ = true;
          continue;
        case Op::SS:
          if (o.n > 0) plus_ = false;
          continue;
        case Op::Dollar:
          if (o.n > 0) dollar = true;
          continue;
        case Op::Colon:
          if (o.n > 0 && next >= items_.size()) return false;
          continue;
        default:
          if (!fields(o)) return false;
          continue;
      }
    }
    return true;
  }

  void end_record() {
    pending_ = 0;
    out_.add('\n');
    record_start_ = out_.size();
  }

  bool dollar = false;
  std::size_t next = 0;

 private:
  // The o.n items of a field, each after its blanks; false when the items
  // ran out (the blanks before the missing one are then not written).
  bool fields(const Op& o) {
    if (o.n == 0) return true;
    std::size_t lead = pending_ + o.pre;
    pending_ = 0;
    for (int r = 0; r < o.n; ++r, lead = o.gap) {
      if (next >= items_.size()) return false;
      const Item& it = items_[next++];
      switch (o.kind) {
        case Op::I:
          put_i(out_, lead, need(it, Item::Int, "I").i, o.w, o.d, plus_);
          break;
        case Op::J:
          put_j(out_, lead, need(it, Item::Int, "J").i, o.w, out_.size() > record_start_ && out_.back() != ' ');
          break;
        case Op::F:
          put_f(out_, lead, need(it, Item::Real, "F").r, o.w, o.d, plus_);
          break;
        case Op::E:
          put_e(out_, lead, need(it, Item::Real, "E").r, o.w, o.d, plus_);
          break;
        case Op::A:
          put_a(out_, lead, need(it, Item::Str, "A").s(), o.w);
          break;
        default:
          put_a(out_, lead, need(it, Item::Log, "L").b ? "T" : "F", o.w);
          break;
      }
    }
    return true;
  }

  const Item& need(const Item& it, Item::Kind k, const char* d) const {
    if (it.kind != k) [[unlikely]]
      mismatch(prog_.text, next, d);  // counted from 1
    return it;
  }

  // The operation of the Close of the group that opens at k.
  std::size_t after_group(std::size_t k) const {
    int depth = 0;
    for (;; ++k) {
      const Op::Kind kind = prog_.ops[k].kind;
      if (kind == Op::Open) ++depth;
      if (kind == Op::Close && --depth == 0) return k;
    }
  }

  Line& out_;
  const Program& prog_;
  std::span<const Item> items_;
  bool plus_ = false;
  std::size_t pending_ = 0;
  std::size_t record_start_ = 0;
};

}  // namespace

void format_program(Line& out, const Program& p, std::span<const Item> items) {
  Writer w(p, items, out);
  std::size_t from = 0;
  for (;;) {
    const std::size_t before = w.next;
    if (!w.run(from)) break;
    if (w.next >= items.size()) break;
    if (w.next == before) throw std::logic_error("format " + std::string(p.text) + " takes no items");
    w.end_record();
    from = p.revert;
  }
  if (!w.dollar) out.add('\n');
}

}  // namespace ff::detail
