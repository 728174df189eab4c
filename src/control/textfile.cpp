#include "control/textfile.hpp"

#include <fstream>
#include <functional>
#include <sstream>

#include "control/text.hpp"

namespace vorn {

namespace {

// Appends one line of the file as the readers see it. No text format has a
// use for control characters other than the tab: they read as "?", so that
// damage stays visible in labels and messages without reaching the terminal
// or a fixed-column output line as a control code.
void append_line(std::string& out, std::string_view line, Tabs tabs) {
  const std::size_t begin = out.size();
  if (tabs == Tabs::Columns && line.find('\t') != std::string_view::npos) {
    for (char c : line) {
      if (c != '\t') {
        out.push_back(c);
        continue;
      }
      do out.push_back(' ');
      while ((out.size() - begin) % 8 != 0);
    }
  } else {
    out.append(line);
  }
  for (std::size_t k = begin; k < out.size(); ++k) {
    const auto c = static_cast<unsigned char>(out[k]);
    if (c < 32 || c == 127) out[k] = c == '\t' ? ' ' : '?';
  }
}

}  // namespace

TextFile TextFile::from_string(std::string_view text, std::string name, Tabs tabs) {
  TextFile f;
  f.name_ = std::move(name);
  f.fingerprint_ = std::hash<std::string_view>{}(text);
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  f.text_.reserve(text.size());
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t nl = text.find('\n', start);
    std::size_t end = nl == std::string_view::npos ? text.size() : nl;
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    append_line(f.text_, line, tabs);
    f.starts_.push_back(f.text_.size());
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
  return from_string(std::move(ss).str(), path.filename().string(), tabs);
}

bool TextFile::next(std::string& line, std::size_t width) {
  std::string_view l;
  if (!next_view(l, width)) return false;
  line.assign(l);
  line.resize(width, ' ');
  return true;
}

bool TextFile::next_view(std::string_view& line, std::size_t width) {
  cut_ = false;
  if (pos_ >= size()) return false;
  const std::string_view l = line_at(pos_++);
  cut_ = l.size() > width && l.find_first_not_of(' ', width) != std::string_view::npos;
  line = l.substr(0, width);
  return true;
}

bool TextFile::next_raw(std::string& line) {
  if (pos_ >= size()) return false;
  line.assign(line_at(pos_++));
  return true;
}

}  // namespace vorn
