// Line-by-line reading of the input files, shared by every reader.
//
// A file is read whole when it is opened. Each line loses a trailing carriage
// return (files written on Windows) and every tab becomes one blank, so that
// words separated by tabs are still words. next() hands a line out cut or
// blank-padded to the width the reader works with, so that "END" and "END "
// compare alike. rewind() and backspace() give the Fortran REWIND and
// BACKSPACE that several readers rely on.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vorn {

class TextFile {
 public:
  // nullopt when the file cannot be opened (or is a directory).
  static std::optional<TextFile> open(const std::filesystem::path& path);
  static TextFile from_string(std::string_view text, std::string name = "(memory)");

  // The next line cut or padded to width characters; false at end of file.
  bool next(std::string& line, std::size_t width);
  // The next line as it stands (without the carriage return); false at end.
  bool next_raw(std::string& line);
  void rewind() { pos_ = 0; }
  void backspace() {
    if (pos_ > 0) --pos_;
  }
  bool at_end() const { return pos_ >= lines_.size(); }
  // 1-based number of the line last handed out.
  std::size_t line_number() const { return pos_; }
  const std::string& name() const { return name_; }
  std::size_t size() const { return lines_.size(); }
  // A hash of the whole text: readers that keep a parsed copy of a file use
  // it to notice that another file took its place.
  std::size_t fingerprint() const { return fingerprint_; }

 private:
  std::vector<std::string> lines_;
  std::size_t pos_ = 0;
  std::string name_;
  std::size_t fingerprint_ = 0;
};

}  // namespace vorn
