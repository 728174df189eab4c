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

#include <filesystem>
#include <memory>
#include <string>

#include "format/record.hpp"
#include "io/write_behind.hpp"

namespace vorn {

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
  bool is_open() const { return dest_.fd >= 0; }

 protected:
  void block_full() override;
  // A flush: what was written so far reaches the descriptor before it
  // returns (a prompt before the run reads its answer).
  int sync() override;

 private:
  // Writes to fd from now on, in a fresh block.
  void start(int fd, bool owned);

  WriteBehind& wb_;
  Destination dest_;
  bool owned_ = true;  // close() closes the descriptor
  std::unique_ptr<char[]> buf_;
  bool handed_ = false;  // some block went to the writer
};

}  // namespace vorn
