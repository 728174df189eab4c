#include "format/format.hpp"

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>
#include <vector>

#include "format/fortran_io.hpp"
#include "io/write_behind.hpp"

namespace {

// A literal format is read by the compiler: these hold before the program
// runs, or it does not build.
constexpr const ff::Format& kAtomRow = "(i6,3x,a,3(1x,f9.4),2x,'|')"_f;
static_assert(kAtomRow.lasting() && kAtomRow.fault() == nullptr);
// One compiled object per text, wherever the text stands.
static_assert(&"(i6,3x,a,3(1x,f9.4),2x,'|')"_f == &kAtomRow);
// A plain literal is compiled by the compiler too, into an object of the call.
static_assert(ff::Format("(i4)").literal() && !ff::Format("(i4)").lasting());
static_assert(ff::Format("(q4)").fault() != nullptr);             // no such descriptor
static_assert(ff::Format("(i4,f8.3").fault() != nullptr);          // a parenthesis missing
static_assert(ff::Format("('it''s',a)").fault() == nullptr);       // a doubled quote is one quote
static_assert(ff::Format("(1000(5x,2i4,f11.3,:/))").fault() == nullptr);

// A RecordBuf whose blocks are kept, to be turned into text later, as the
// writer thread does.
class KeptBlocks : public ff::RecordBuf {
 public:
  KeptBlocks() { start_block(block_.data(), block_.size()); }
  // The text of the records and the text between them, as the writer
  // thread makes it.
  std::string text() {
    vorn::TextBuffer tb;
    const std::string why = vorn::block_text(block_.data(), block_used(), tb);
    return why.empty() ? std::string(tb.text()) : why;
  }

 protected:
  void block_full() override { FAIL() << "a test block filled up"; }

 private:
  std::array<char, 1 << 16> block_{};
};

// The format of a table whose column count is known only at run time.
std::string columns_format(int n) { return "(a," + std::to_string(n) + "(1x,f6.2))"; }

}  // namespace

TEST(Format, ALiteralWritesItsLayout) {
  EXPECT_EQ(ff::format(kAtomRow, 12, "C(1)", std::array<double, 3>{0.5, -1.25, 10.0}),
            "    12   C(1)    0.5000   -1.2500   10.0000  |\n");
  EXPECT_EQ(ff::format("('it''s ',a)", "done"), "it's done\n");
}

// A format that is not one is a fault of the program: the first write with
// it stops with the format and the reason, and writes nothing.
TEST(Format, AMalformedLiteralStopsTheWriteNamingFormatAndReason) {
  std::ostringstream os;
  try {
    ff::write(os, "(i4,q2)", 1, 2);
    FAIL() << "no error";
  } catch (const std::logic_error& e) {
    EXPECT_STREQ(e.what(), "bad format (i4,q2): unknown edit descriptor");
  }
  EXPECT_EQ(os.str(), "");
}

// A format put together at run time is compiled where it is made: a bad one
// stops there, a good one writes what the same literal writes.
TEST(Format, AFormatMadeAtRunTimeIsCompiledWhereItIsMade) {
  EXPECT_THROW(ff::Format(std::string("(2(i4)")), std::logic_error);
  const std::string text = columns_format(3);
  const ff::Format made(text);
  EXPECT_FALSE(made.literal());
  const std::vector<double> v = {1.5, -2.25, 3.0};
  EXPECT_EQ(ff::format(made, "row", v), ff::format("(a,3(1x,f6.2))", "row", v));
  EXPECT_EQ(ff::format(made, "row", v), "row   1.50  -2.25   3.00\n");
}

// Writes are kept as records of their format and items and turned into
// text later, after the calls are gone: a literal with _f named by its
// compiled object, a plain literal by its text. A format made at run time,
// whose text may be gone by then, is written at once. The text comes out in
// the order of the writes.
TEST(Format, RecordsOutliveTheCallsAndKeepTheOrderOfTheWrites) {
  KeptBlocks kept;
  std::ostream recorded(&kept);
  ff::RecordBuf::attach(recorded, &kept);
  std::ostringstream plain;
  for (int k = 0; k < 20; ++k) {
    for (std::ostream* os : {static_cast<std::ostream*>(&recorded), static_cast<std::ostream*>(&plain)}) {
      ff::write(*os, kAtomRow, k, "N" + std::to_string(k), std::array<float, 3>{0.25f * k, -1.0f, 1e-3f});
      std::string text = columns_format(k % 4 + 1);
      const ff::Format made(text);
      ff::write(*os, made, "made", std::vector<double>(static_cast<std::size_t>(k % 4 + 1), 0.5 * k));
      text.assign(text.size(), '?');  // the text of the run-time format is gone
      ff::write(*os, "(a,i3,$)", "open", k);
      *os << " text\n";
      ff::write(*os, "(2(1x,a),sp,f8.3)"_f, "C", std::string(static_cast<std::size_t>(k), 'x'), 0.001 * k);
    }
  }
  EXPECT_EQ(kept.text(), plain.str());
}
