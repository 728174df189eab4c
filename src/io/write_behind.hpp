// The writer thread of the output files.
//
// A large structure makes tens of megabytes of listing and parameter files,
// a short formatted line at a time. Each output file fills blocks with what
// the run writes (ff::RecordBuf): the text written as text, and every
// formatted write as a record. A full block is queued here; one writer
// thread formats its records and hands the text to the system while the run
// goes on. It is ordinary pipelining: the run computes while the thread
// formats and writes.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vorn {

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

// What the writer keeps of one output file: where its text goes, its
// blocks in order, and the first failure.
struct Destination {
  int fd = -1;
  // Under the writer's lock:
  std::size_t queued = 0;     // blocks not yet written
  std::uint64_t seq = 0;      // blocks queued so far
  std::uint64_t written = 0;  // blocks written so far
  std::string error;          // the first failure
};

// Turns a block of segments (ff::RecordBuf) into text, appended to tb; the
// reason of a failure, or an empty text.
std::string block_text(const char* p, std::size_t n, TextBuffer& tb);

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
  void submit(Destination& file, std::unique_ptr<char[]> block, std::size_t n);
  // Writes the first n bytes of a block of the file here and now.
  void write_here(Destination& file, const char* block, std::size_t n);
  // Returns when every block queued for the file is written.
  void drain(const Destination& file);
  // Writes what is queued and ends the thread.
  void stop();

 private:
  struct Job {
    Destination* file;
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

}  // namespace vorn
