// Output files written behind the run.
//
// A large structure makes tens of megabytes of listing and parameter files.
// Each output file fills a buffer of its own; a full buffer goes to one
// writer thread, which hands it to the system while the run fills the next.
// Files that never fill a buffer are written at their close, without the
// thread. Every byte lost (a full disk, a quota, an I/O error) is kept as the
// system's reason and reported when the file is closed.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

namespace vorn {

class FileSink;

// The writer thread and the buffers of the files it writes. One per run; the
// thread starts at the first full buffer.
class WriteBehind {
 public:
  static constexpr std::size_t kBlock = std::size_t{1} << 18;  // bytes per buffer

  WriteBehind() = default;
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;
  ~WriteBehind() { stop(); }

  // A buffer of kBlock bytes, from those already written when there are.
  std::unique_ptr<char[]> buffer();
  // Queues the first n bytes of block for the file. Waits while too many
  // blocks are queued; without a thread, writes them itself.
  void submit(FileSink& sink, std::unique_ptr<char[]> block, std::size_t n);
  // Returns when every block queued for the file is written.
  void drain(const FileSink& sink);
  // Writes what is queued and ends the thread.
  void stop();

 private:
  struct Job {
    FileSink* sink;
    std::unique_ptr<char[]> block;
    std::size_t n;
  };
  static constexpr std::size_t kMaxQueued = 16;  // 4 MB in flight at most

  void work();
  void start();
  void give_back(std::unique_ptr<char[]> block);

  std::mutex m_;
  std::condition_variable wake_;  // the writer: a job or the stop
  std::condition_variable done_;  // the run: a job written
  std::deque<Job> queue_;
  std::vector<std::unique_ptr<char[]>> pool_;
  std::size_t in_flight_ = 0;  // queued or being written
  bool stop_ = false;
  bool no_thread_ = false;  // none could be had: submit writes
  std::thread thread_;
};

// The stream buffer of one output file.
class FileSink : public std::streambuf {
 public:
  explicit FileSink(WriteBehind& wb) : wb_(wb) {}
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;
  ~FileSink() override { close(); }

  // Creates or empties the file; false when it cannot be.
  bool open(const std::filesystem::path& path);
  // Writes what is left and closes the file. Returns the system's reason
  // when any byte of the file was lost, else an empty text.
  std::string close();
  bool is_open() const { return fd_ >= 0; }

 protected:
  int overflow(int c) override;
  std::streamsize xsputn(const char* s, std::streamsize n) override;

 private:
  friend class WriteBehind;
  // Hands the filled part of the buffer over and starts a fresh one.
  void hand_over();
  // Writes n bytes at p to the file; records the first failure.
  void write_out(const char* p, std::size_t n);

  WriteBehind& wb_;
  int fd_ = -1;
  std::unique_ptr<char[]> buf_;
  bool handed_ = false;    // some block went to the writer
  std::size_t queued_ = 0;  // its blocks not yet written (under the writer's lock)
  int error_ = 0;           // the first failure's errno (under the writer's lock)
};

}  // namespace vorn
