#include "control/file_words.hpp"

#include "base/text.hpp"
#include "format/fortran_io.hpp"

namespace vorn {

std::vector<LineWord> line_words(std::string_view text, std::string& fault) {
  fault.clear();
  std::vector<LineWord> out;
  std::size_t k = 0;
  const std::size_t n = text.size();
  auto blank = [&](std::size_t at) { return at >= n || text[at] == ' '; };
  while (k < n) {
    if (text[k] == ' ') {
      ++k;
      continue;
    }
    LineWord w;
    w.column = static_cast<int>(k) + 1;
    const char q = text[k];
    if (q == '"' || q == '\'') {
      std::size_t close = k + 1;
      while (close < n && !(text[close] == q && blank(close + 1))) ++close;
      if (close >= n) {
        // A quote that closes only with text glued to it ("a b".cif) is a
        // name cut in two; one never closed is a name without its end.
        const std::size_t inner = text.find(q, k + 1);
        fault = inner == std::string_view::npos
                    ? "the quote " + std::string(1, q) + " in column " + std::to_string(w.column) + " is not closed"
                    : "the name quoted from column " + std::to_string(w.column) +
                          " goes on after its closing quote in column " + std::to_string(inner + 1) +
                          ": put the whole name in the quotes";
        return out;
      }
      w.text = std::string(text.substr(k + 1, close - k - 1));
      w.quoted = true;
      out.push_back(std::move(w));
      k = close + 1;
      continue;
    }
    std::size_t end = k;
    while (end < n && text[end] != ' ') ++end;
    w.text = std::string(text.substr(k, end - k));
    out.push_back(std::move(w));
    k = end;
  }
  return out;
}

bool is_number_word(const LineWord& w) { return !w.quoted && ff::is_fixed_number(w.text); }

bool is_input_option(const LineWord& w) {
  if (w.quoted) return false;
  const std::string u = upper(!w.text.empty() && w.text[0] == '*' ? w.text.substr(1) : w.text);
  // Option words are compared as tokens are: their first 8 characters.
  const std::string key = u.substr(0, 8);
  return key == "RENAME" || key == "TOXD";
}

}  // namespace vorn
