#include "control/textfile.hpp"

#include <fstream>
#include <functional>
#include <sstream>

#include "control/text.hpp"

namespace vorn {

TextFile TextFile::from_string(std::string_view text, std::string name) {
  TextFile f;
  f.name_ = std::move(name);
  f.fingerprint_ = std::hash<std::string_view>{}(text);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t nl = text.find('\n', start);
    std::size_t end = nl == std::string_view::npos ? text.size() : nl;
    std::string line(text.substr(start, end - start));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    for (char& c : line)
      if (c == '\t') c = ' ';
    f.lines_.push_back(std::move(line));
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
  return f;
}

std::optional<TextFile> TextFile::open(const std::filesystem::path& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream ss;
  ss << in.rdbuf();
  return from_string(ss.str(), path.filename().string());
}

bool TextFile::next(std::string& line, std::size_t width) {
  if (pos_ >= lines_.size()) return false;
  line = pad(lines_[pos_++], width);
  return true;
}

bool TextFile::next_raw(std::string& line) {
  if (pos_ >= lines_.size()) return false;
  line = lines_[pos_++];
  return true;
}

}  // namespace vorn
