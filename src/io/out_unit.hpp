// One output file of a run, by its role.
#pragma once

#include <filesystem>
#include <ostream>
#include <streambuf>
#include <string>

#include "io/file_sink.hpp"

namespace vorn {

// One output file. Until it is opened, writes go nowhere; a test may attach
// a string stream instead of a file.
class OutUnit {
 public:
  explicit OutUnit(WriteBehind& wb) : file_(wb), sink_(&null_) {}
  OutUnit(const OutUnit&) = delete;
  OutUnit& operator=(const OutUnit&) = delete;

  // Creates or overwrites the file; false when it cannot be created.
  bool open(const std::filesystem::path& path);
  void attach(std::ostream& os) {
    close();
    sink_ = &os;
    open_ = true;
  }
  // Writes what is left and closes. Returns the system's reason when any
  // byte of the file was lost, else an empty text.
  std::string close();
  // close(), and a fatal error when bytes were lost: a file cut short must
  // never pass for a finished one.
  void finish();
  bool is_open() const { return open_; }
  std::ostream& operator*() { return *sink_; }
  std::ostream* operator->() { return sink_; }
  std::ostream& stream() { return *sink_; }

 private:
  struct NullBuf : std::streambuf {
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
  };
  NullBuf nullbuf_;
  std::ostream null_{&nullbuf_};
  FileSink file_;
  std::ostream file_stream_{&file_};
  std::filesystem::path path_;
  std::ostream* sink_;
  bool open_ = false;
};

}  // namespace vorn
