// Line-by-line reading of the input files, shared by every reader.
//
// A file is read whole when it is opened. Each line loses a trailing carriage
// return (files written on Windows), and a byte-order mark that a Windows
// editor put before the first line is dropped. A tab is read as the file's
// kind needs it (Tabs); every other control character (a NUL, a form feed, a
// carriage return inside a line, an escape) is read as "?". next() hands a
// line out cut or blank-padded to the width the reader works with, so that
// "END" and "END " compare alike, and tells through cut() whether text was
// lost beyond that width. rewind() and backspace() give the Fortran REWIND
// and BACKSPACE that several readers rely on.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorn {

// How a tab is read.
enum class Tabs {
  // One blank: the file is read as words, and a tab separates words as a
  // blank does (and counts as one character where a format says "one blank").
  Blank,
  // Blanks up to the next column of eight, as an editor shows the line: the
  // file is read by fixed columns, and a tab must not shift them.
  Columns,
};

class TextFile {
 public:
  // nullopt when the file cannot be opened (or is a directory).
  static std::optional<TextFile> open(const std::filesystem::path& path, Tabs tabs = Tabs::Blank);
  static TextFile from_string(std::string_view text, std::string name = "(memory)", Tabs tabs = Tabs::Blank);

  // The next line cut or padded to width characters; false at end of file.
  bool next(std::string& line, std::size_t width);
  // The same line without the padding: cut to width characters, and read as
  // if blank-padded where it is shorter. The view stays valid while the file
  // lives. Readers that look at most lines only briefly take this one.
  bool next_view(std::string_view& line, std::size_t width);
  // True when the line last handed out by next() had text (not blanks)
  // beyond the width it was cut to.
  bool cut() const { return cut_; }
  // The next line as it stands (without the carriage return); false at end.
  bool next_raw(std::string& line);
  void rewind() { pos_ = 0; }
  void backspace() {
    if (pos_ > 0) --pos_;
  }
  bool at_end() const { return pos_ >= size(); }
  // 1-based number of the line last handed out.
  std::size_t line_number() const { return pos_; }
  const std::string& name() const { return name_; }
  std::size_t size() const { return spans_.size(); }
  // A hash of the whole text as read: readers that keep a parsed copy of a
  // file use it to notice that another file took its place.
  std::size_t fingerprint() const;

 private:
  // The file's text (read whole, control characters replaced) and the lines
  // made of it as it is taken over.
  static TextFile from_buffer(std::shared_ptr<char[]> text, std::size_t n, std::string name, Tabs tabs);
  // Line k (0-based) is text_[spans_[k].begin, spans_[k].end): one buffer
  // for the whole file instead of one string per line.
  struct Span {
    std::size_t begin, end;
  };
  std::string_view line_at(std::size_t k) const {
    return std::string_view(text_.get() + spans_[k].begin, spans_[k].end - spans_[k].begin);
  }
  // Shared by the copies of a file: it does not change once read.
  std::shared_ptr<char[]> text_;
  std::size_t size_ = 0;
  std::vector<Span> spans_;
  std::size_t pos_ = 0;
  bool cut_ = false;
  std::string name_;
  // Worked out when first asked for: most files are never asked.
  mutable std::size_t fingerprint_ = 0;
  mutable bool hashed_ = false;
};

// Why the file cannot be opened for reading now, in the system's words
// ("No such file or directory", "Permission denied", "Is a directory"); ""
// when it can.
std::string open_failure(const std::filesystem::path& path);

}  // namespace vorn
