#include "io/write_behind.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "format/record.hpp"
#include "format/write.hpp"
#include "support/builders.hpp"

using namespace vorn;
using vorn::test::read_file;

namespace {

// A RecordBuf that fills blocks of the writer's size and hands each full
// one to a callback: what an output file does.
class BlockMaker : public ff::RecordBuf {
 public:
  template <class Full>
  explicit BlockMaker(Full full) : full_(full) {
    fresh();
  }
  // The block so far and its used bytes; a fresh block follows.
  std::pair<std::unique_ptr<char[]>, std::size_t> take() {
    const std::size_t n = block_used();
    auto b = std::move(block_);
    fresh();
    return {std::move(b), n};
  }

 protected:
  void block_full() override {
    auto [b, n] = take();
    full_(std::move(b), n);
  }

 private:
  void fresh() {
    block_ = std::make_unique<char[]>(WriteBehind::kBlock);
    start_block(block_.get(), WriteBehind::kBlock);
  }
  std::function<void(std::unique_ptr<char[]>, std::size_t)> full_;
  std::unique_ptr<char[]> block_;
};

int create(const std::filesystem::path& p) { return ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644); }

}  // namespace

// Three files written in turn, with records and plain text, through many
// more blocks than the writer lets queue: each file gets its own text, whole
// and in order, whichever thread formatted its blocks.
TEST(WriteBehind, BlocksOfInterleavedFilesReachEachFileInOrder) {
  test::ScratchDir dir;
  WriteBehind wb;
  Destination files[3];
  std::string want[3];
  std::unique_ptr<BlockMaker> makers[3];
  std::ostream* streams[3];
  std::unique_ptr<std::ostream> owned[3];
  for (int f = 0; f < 3; ++f) {
    files[f].fd = create(dir.path() / ("f" + std::to_string(f)));
    ASSERT_GE(files[f].fd, 0);
    makers[f] = std::make_unique<BlockMaker>(
        [&wb, &dest = files[f]](std::unique_ptr<char[]> b, std::size_t n) { wb.submit(dest, std::move(b), n); });
    owned[f] = std::make_unique<std::ostream>(makers[f].get());
    streams[f] = owned[f].get();
    ff::RecordBuf::attach(*streams[f], makers[f].get());
  }
  for (int k = 0; k < 300000; ++k) {
    const int f = k % 3;
    const float x = 0.001f * static_cast<float>(k);
    ff::write(*streams[f], "(i7,2x,a,f10.4)"_f, k, "C(" + std::to_string(f) + ")", x);
    want[f] += ff::format("(i7,2x,a,f10.4)", k, "C(" + std::to_string(f) + ")", x);
    if (k % 1000 == 0) {
      *streams[f] << "text " << k << '\n';
      want[f] += "text " + std::to_string(k) + '\n';
    }
  }
  for (int f = 0; f < 3; ++f) {
    auto [b, n] = makers[f]->take();
    wb.submit(files[f], std::move(b), n);
  }
  for (int f = 0; f < 3; ++f) {
    ASSERT_GT(want[f].size(), 8 * WriteBehind::kBlock);  // text; the blocks of records are fewer
    wb.drain(files[f]);
    EXPECT_EQ(files[f].queued, 0u);
    EXPECT_EQ(files[f].error, "");
    ::close(files[f].fd);
    EXPECT_EQ(read_file(dir.path() / ("f" + std::to_string(f))), want[f]) << "file " << f;
  }
}

// A block that cannot be written, or whose record cannot be formatted,
// leaves its reason with the file; the text of a good block is unharmed.
TEST(WriteBehind, AFailureIsKeptWithItsFile) {
  test::ScratchDir dir;
  WriteBehind wb;
  Destination good, bad;
  good.fd = create(dir.path() / "good");
  bad.fd = create(dir.path() / "bad");
  ASSERT_GE(good.fd, 0);
  ASSERT_GE(bad.fd, 0);
  BlockMaker maker([](std::unique_ptr<char[]>, std::size_t) { FAIL() << "a test block filled up"; });
  std::ostream os(&maker);
  ff::RecordBuf::attach(os, &maker);
  ff::write(os, "(i5)"_f, "not a number");  // a fault of the program, found on formatting
  auto [b1, n1] = maker.take();
  wb.write_here(bad, b1.get(), n1);
  EXPECT_EQ(bad.error.rfind("internal error: format (i5): item 1 does not suit I", 0), 0u) << bad.error;
  EXPECT_EQ(read_file(dir.path() / "bad"), "");

  ff::write(os, "(a)"_f, "kept");
  auto [b2, n2] = maker.take();
  wb.write_here(good, b2.get(), n2);
  EXPECT_EQ(good.error, "");
  EXPECT_EQ(read_file(dir.path() / "good"), "kept\n");

  ::close(bad.fd);  // the system refuses what follows
  ff::write(os, "(a)"_f, "lost");
  auto [b3, n3] = maker.take();
  bad.error.clear();
  wb.submit(bad, std::move(b3), n3);
  wb.drain(bad);
  EXPECT_EQ(bad.error, "Bad file descriptor");
  ::close(good.fd);
}
