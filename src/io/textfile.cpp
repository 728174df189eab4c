#include "io/textfile.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <system_error>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vorn {

namespace {

// Room for n bytes (and one more), left as it is: the file's text goes there.
std::shared_ptr<char[]> room_for(std::size_t n) { return std::make_shared_for_overwrite<char[]>(n + 1); }

// Tabs expanded to the next column of eight, line by line (Tabs::Columns);
// everything else, line ends included, stays as it is.
std::string expand_tabs(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  std::size_t column = 0;
  for (char c : text) {
    if (c == '\t') {
      do out.push_back(' ');
      while (++column % 8 != 0);
      continue;
    }
    out.push_back(c);
    column = c == '\n' ? 0 : column + 1;
  }
  return out;
}

// Bit k set when byte k of the 16 at p is a control character (below 32,
// or 127).
#if defined(__SSE2__)
inline unsigned control_bits(const char* p) {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i low = _mm_cmpeq_epi8(_mm_min_epu8(x, _mm_set1_epi8(31)), x);
  const __m128i del = _mm_cmpeq_epi8(x, _mm_set1_epi8(127));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(low, del)));
}
#else
inline unsigned control_bits(const char* p) {
  unsigned m = 0;
  for (unsigned k = 0; k < 16; ++k) {
    const auto c = static_cast<unsigned char>(p[k]);
    if (c < 32 || c == 127) m |= 1u << k;
  }
  return m;
}
#endif

}  // namespace

// The text is kept as it came, its line ends included; each line is a span
// of it. No text format has a use for control characters other than the
// tab: they read as "?", so that damage stays visible in labels and messages
// without reaching the terminal or a fixed-column output line as a control
// code. A carriage return that ends a line is left out of the line.
TextFile TextFile::from_buffer(std::shared_ptr<char[]> text, std::size_t n, std::string name, Tabs tabs) {
  TextFile f;
  f.name_ = std::move(name);
  // A byte-order mark stays in the text, before the first line.
  std::size_t first = std::string_view(text.get(), n).substr(0, 3) == "\xEF\xBB\xBF" ? 3 : 0;
  if (tabs == Tabs::Columns && std::string_view(text.get(), n).find('\t', first) != std::string_view::npos) {
    const std::string wide = expand_tabs(std::string_view(text.get(), n).substr(first));
    n = wide.size();
    text = room_for(n);
    std::memcpy(text.get(), wide.data(), n);
    first = 0;
  }
  f.text_ = std::move(text);
  f.size_ = n;
  char* const p = f.text_.get();
  std::size_t begin = first;
  if (begin < n) f.spans_.reserve(n / 40 + 1);
  // A control character at k: a line end, a tab or a "?".
  auto control = [&](std::size_t k) {
    const char c = p[k];
    if (c == '\n') {
      const std::size_t end = k > begin && p[k - 1] == '\r' ? k - 1 : k;
      f.spans_.push_back(Span{begin, end});
      begin = k + 1;
    } else if (c == '\t') {
      p[k] = ' ';
    } else if (c != '\r' || (k + 1 < n && p[k + 1] != '\n')) {
      p[k] = '?';
    }
  };
  std::size_t k = first;
  for (; k + 16 <= n; k += 16)
    for (unsigned m = control_bits(p + k); m != 0; m &= m - 1) control(k + static_cast<std::size_t>(std::countr_zero(m)));
  for (; k < n; ++k) {
    const auto c = static_cast<unsigned char>(p[k]);
    if (c < 32 || c == 127) control(k);
  }
  if (begin < n) f.spans_.push_back(Span{begin, p[n - 1] == '\r' ? n - 1 : n});
  return f;
}

TextFile TextFile::from_string(std::string_view text, std::string name, Tabs tabs) {
  std::shared_ptr<char[]> buf = room_for(text.size());
  std::memcpy(buf.get(), text.data(), text.size());
  return from_buffer(std::move(buf), text.size(), std::move(name), tabs);
}

std::optional<TextFile> TextFile::open(const std::filesystem::path& path, Tabs tabs) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  // Read whole into the buffer that the lines then point into; the size the
  // system gives is only a first guess (a file can grow, a pipe has none).
  const std::uintmax_t hint = std::filesystem::file_size(path, ec);
  std::size_t room = ec ? std::size_t{1} << 16 : static_cast<std::size_t>(hint) + 1;
  std::shared_ptr<char[]> buf = room_for(room);
  std::size_t got = 0;
  for (;;) {
    got += static_cast<std::size_t>(in.rdbuf()->sgetn(buf.get() + got, static_cast<std::streamsize>(room - got)));
    if (got < room) break;
    std::shared_ptr<char[]> more = room_for(2 * room);
    std::memcpy(more.get(), buf.get(), got);
    buf = std::move(more);
    room *= 2;
  }
  return from_buffer(std::move(buf), got, path.filename().string(), tabs);
}

std::string open_failure(const std::filesystem::path& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return std::generic_category().message(EISDIR);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::generic_category().message(errno);
  ::close(fd);
  return {};
}

std::size_t TextFile::fingerprint() const {
  if (!hashed_) {
    fingerprint_ = std::hash<std::string_view>{}(std::string_view(text_.get(), size_));
    hashed_ = true;
  }
  return fingerprint_;
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
