// Output files written behind the run.
//
// A large structure makes tens of megabytes of listing and parameter files,
// a short formatted line at a time. Each output file fills a block of its
// own with what the run writes: the text written as text, and every
// formatted write as a record of its format and items (ff::RecordBuf). A
// full block goes to one writer thread, which formats the records and hands
// the text to the system while the run goes on. Files that never fill a
// block are written at their close, without the thread. Every byte lost (a
// full disk, a quota, an I/O error) is kept as the system's reason and
// reported when the file is closed.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

#include "format/fortran_io.hpp"

namespace vorn {

class FileSink;

// Where a block is turned into text on its way to the file: grows to the
// text of the largest block.
class TextBuffer {
 public:
  // Room for k more bytes at the end.
  char* room(std::size_t k) {
    if (cap_ - fill_ < k) grow(k);
    return data_.get() + fill_;
  }
  std::size_t free() const { return cap_ - fill_; }
  void commit(std::size_t k) { fill_ += k; }
  void append(std::string_view s) {
    std::memcpy(room(s.size()), s.data(), s.size());
    fill_ += s.size();
  }
  void clear() { fill_ = 0; }
  std::string_view text() const { return {data_.get(), fill_}; }
  std::string spill;  // a line longer than the room given to it

 private:
  void grow(std::size_t k);
  std::unique_ptr<char[]> data_;
  std::size_t fill_ = 0;
  std::size_t cap_ = 0;
};

// The writer thread and the blocks of the files it writes. One per run; the
// thread starts at the first full block. When the run would wait for it (too
// many blocks queued, or a file to close), the run turns queued blocks into
// text itself. Blocks are taken in the order they were queued, and each
// file's texts reach it in that order, whichever thread made them.
class WriteBehind {
 public:
  static constexpr std::size_t kBlock = std::size_t{1} << 18;  // bytes per block

  WriteBehind() = default;
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;
  ~WriteBehind() { stop(); }

  // A block of kBlock bytes, from those already written when there are.
  std::unique_ptr<char[]> block();
  // Takes back a block that is no longer needed.
  void recycle(std::unique_ptr<char[]> block);
  // Queues the first n bytes of block for the file. Waits while too many
  // blocks are queued; without a thread, writes them itself.
  void submit(FileSink& sink, std::unique_ptr<char[]> block, std::size_t n);
  // Writes the first n bytes of a block of the file here and now.
  void write_here(FileSink& sink, const char* block, std::size_t n);
  // Returns when every block queued for the file is written.
  void drain(const FileSink& sink);
  // Writes what is queued and ends the thread.
  void stop();

 private:
  struct Job {
    FileSink* sink;
    std::unique_ptr<char[]> block;
    std::size_t n;
    std::uint64_t seq;  // the block's place among those of its file
  };
  static constexpr std::size_t kMaxQueued = 32;  // 8 MB in flight at most

  void work();
  void start();
  void run_job(std::unique_lock<std::mutex>& lock, TextBuffer& tb);
  template <class Done>
  void help_until(std::unique_lock<std::mutex>& lock, Done done);
  void give_back(std::unique_ptr<char[]> block);

  std::mutex m_;
  std::condition_variable wake_;  // the writer: a job or the stop
  std::condition_variable done_;  // a job written
  std::deque<Job> queue_;
  std::vector<std::unique_ptr<char[]>> pool_;
  std::size_t in_flight_ = 0;  // queued or being written
  bool stop_ = false;
  bool no_thread_ = false;  // none could be had: submit writes
  std::thread thread_;
  TextBuffer writer_text_;  // the writer thread's
  TextBuffer own_text_;     // the run's, for blocks written here
};

// The stream buffer of one output file: its blocks go to the writer.
class FileSink final : public ff::RecordBuf {
 public:
  explicit FileSink(WriteBehind& wb) : wb_(wb) {}
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;
  ~FileSink() override { close(); }

  // Creates or empties the file; false when it cannot be.
  bool open(const std::filesystem::path& path);
  // Writes to a descriptor that stays open after close() (standard output).
  void adopt(int fd);
  // Writes what is left and closes the file. Returns the reason when any
  // byte of the file was lost, else an empty text.
  std::string close();
  bool is_open() const { return fd_ >= 0; }

 protected:
  void block_full() override;
  // A flush: what was written so far reaches the descriptor before it
  // returns (a prompt before the run reads its answer).
  int sync() override;

 private:
  friend class WriteBehind;

  // Writes to fd from now on, in a fresh block.
  void start(int fd, bool owned);
  // Turns the block's segments into text, appended to tb; the reason of a
  // failure, or an empty text.
  static std::string text_of(const char* p, std::size_t n, TextBuffer& tb);

  WriteBehind& wb_;
  int fd_ = -1;
  bool owned_ = true;  // close() closes the descriptor
  std::unique_ptr<char[]> buf_;
  bool handed_ = false;     // some block went to the writer
  // Under the writer's lock:
  std::size_t queued_ = 0;   // blocks not yet written
  std::uint64_t seq_ = 0;     // blocks queued so far
  std::uint64_t written_ = 0;  // blocks written so far
  std::string error_;        // the first failure
};

}  // namespace vorn
