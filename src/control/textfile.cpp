#include "control/textfile.hpp"

#include <fstream>
#include <functional>
#include <sstream>

#include "control/text.hpp"

namespace vorn {

namespace {

void expand_tabs(std::string& line, Tabs tabs) {
  if (line.find('\t') == std::string::npos) return;
  if (tabs == Tabs::Blank) {
    for (char& c : line)
      if (c == '\t') c = ' ';
    return;
  }
  std::string r;
  r.reserve(line.size() + 16);
  for (char c : line) {
    if (c != '\t') {
      r.push_back(c);
      continue;
    }
    do r.push_back(' ');
    while (r.size() % 8 != 0);
  }
  line = std::move(r);
}

}  // namespace

TextFile TextFile::from_string(std::string_view text, std::string name, Tabs tabs) {
  TextFile f;
  f.name_ = std::move(name);
  f.fingerprint_ = std::hash<std::string_view>{}(text);
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t nl = text.find('\n', start);
    std::size_t end = nl == std::string_view::npos ? text.size() : nl;
    std::string line(text.substr(start, end - start));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    expand_tabs(line, tabs);
    // No text format has a use for other control characters; read as "?",
    // damage stays visible in labels and messages without reaching the
    // terminal or a fixed-column output line as a control code.
    for (char& c : line)
      if (static_cast<unsigned char>(c) < 32 || c == 127) c = '?';
    f.lines_.push_back(std::move(line));
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
  return f;
}

std::optional<TextFile> TextFile::open(const std::filesystem::path& path, Tabs tabs) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream ss;
  ss << in.rdbuf();
  return from_string(ss.str(), path.filename().string(), tabs);
}

bool TextFile::next(std::string& line, std::size_t width) {
  cut_ = false;
  if (pos_ >= lines_.size()) return false;
  const std::string& l = lines_[pos_++];
  cut_ = l.size() > width && l.find_first_not_of(' ', width) != std::string::npos;
  line = pad(l, width);
  return true;
}

bool TextFile::next_raw(std::string& line) {
  if (pos_ >= lines_.size()) return false;
  line = lines_[pos_++];
  return true;
}

}  // namespace vorn
