#include "format/list_reader.hpp"

#include <cctype>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace ff {

namespace {

// Splits a number word into mantissa and exponent text; false on bad syntax.
bool split_number(std::string_view w, std::string& normal) {
  std::size_t i = 0, n = w.size();
  normal.clear();
  if (i < n && (w[i] == '+' || w[i] == '-')) {
    if (w[i] == '-') normal.push_back('-');
    ++i;
  }
  int digits = 0;
  bool point = false;
  while (i < n) {
    char c = w[i];
    if (std::isdigit(static_cast<unsigned char>(c))) {
      ++digits;
    } else if (c == '.' && !point) {
      point = true;
    } else {
      break;
    }
    normal.push_back(c);
    ++i;
  }
  if (digits == 0) return false;
  if (i == n) return true;
  char c = static_cast<char>(std::toupper(static_cast<unsigned char>(w[i])));
  if (c == 'E' || c == 'D' || c == 'Q') {
    ++i;
  } else if (c != '+' && c != '-') {
    return false;
  }
  normal.push_back('e');
  if (i < n && (w[i] == '+' || w[i] == '-')) {
    normal.push_back(w[i]);
    ++i;
  }
  int edigits = 0;
  while (i < n && std::isdigit(static_cast<unsigned char>(w[i]))) {
    normal.push_back(w[i]);
    ++i;
    ++edigits;
  }
  return edigits > 0 && i == n;
}

}  // namespace

bool is_fixed_number(std::string_view word) {
  std::string normal;
  return split_number(word, normal);
}

bool parse_real(std::string_view word, double& out) {
  std::string normal;
  if (!split_number(word, normal)) return false;
  double d = 0;
  auto r = std::from_chars(normal.data(), normal.data() + normal.size(), d);
  if (r.ec == std::errc::result_out_of_range) {
    // underflow reads as zero; overflow is an error
    auto e = normal.find('e');
    if (e != std::string::npos && normal[e + 1] == '-') {
      out = 0.0;
      return true;
    }
    return false;
  }
  if (r.ec != std::errc() || r.ptr != normal.data() + normal.size()) return false;
  out = d;
  return true;
}

bool parse_real(std::string_view word, float& out) {
  std::string normal;
  if (!split_number(word, normal)) return false;
  float f = 0;
  auto r = std::from_chars(normal.data(), normal.data() + normal.size(), f);
  if (r.ec == std::errc() && r.ptr == normal.data() + normal.size()) {
    out = f;
    return true;
  }
  if (r.ec != std::errc::result_out_of_range) return false;
  double d = 0;
  if (!parse_real(word, d)) return false;
  if (std::fabs(d) > static_cast<double>(FLT_MAX)) return false;
  out = static_cast<float>(d);
  return true;
}

bool parse_int(std::string_view word, int& out) {
  std::size_t i = 0;
  bool neg = false;
  if (i < word.size() && (word[i] == '+' || word[i] == '-')) {
    neg = word[i] == '-';
    ++i;
  }
  if (i == word.size()) return false;
  long long v = 0;
  for (; i < word.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(word[i]))) return false;
    v = v * 10 + (word[i] - '0');
    if (v > 2147483648LL) return false;
  }
  if (neg) v = -v;
  if (v > 2147483647LL || v < -2147483648LL) return false;
  out = static_cast<int>(v);
  return true;
}

namespace {
bool is_sep(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
}  // namespace

void ListReader::advance_after_value() {
  while (pos_ < text_.size() && is_sep(text_[pos_])) ++pos_;
  if (pos_ < text_.size() && text_[pos_] == ',') ++pos_;
}

// Sets w to the next value text (empty for a null value); false at the end.
bool ListReader::next_word(std::string_view& w) {
  if (repeat_left_ > 0) {
    --repeat_left_;
    w = repeat_value_;
    return true;
  }
  if (ended_) return false;
  while (pos_ < text_.size() && is_sep(text_[pos_])) ++pos_;
  if (pos_ >= text_.size()) return false;
  if (text_[pos_] == '/') {
    ended_ = true;
    return false;
  }
  if (text_[pos_] == ',') {
    ++pos_;
    w = {};
    return true;
  }
  std::size_t start = pos_;
  while (pos_ < text_.size() && !is_sep(text_[pos_]) && text_[pos_] != ',' && text_[pos_] != '/') ++pos_;
  w = text_.substr(start, pos_ - start);
  advance_after_value();
  auto star = w.find('*');
  if (star != std::string_view::npos && star > 0) {
    int r = 0;
    if (parse_int(w.substr(0, star), r) && r > 0 && w[0] != '+' && w[0] != '-') {
      repeat_value_ = w.substr(star + 1);
      repeat_left_ = r - 1;
      w = repeat_value_;
    }
  }
  return true;
}

bool ListReader::next(double& x) {
  std::string_view w;
  if (!next_word(w)) return false;
  if (w.empty()) return true;
  return parse_real(w, x);
}

bool ListReader::next(float& x) {
  std::string_view w;
  if (!next_word(w)) return false;
  if (w.empty()) return true;
  return parse_real(w, x);
}

bool ListReader::next(int& x) {
  std::string_view w;
  if (!next_word(w)) return false;
  if (w.empty()) return true;
  return parse_int(w, x);
}

int ListReader::count_left() const {
  ListReader copy = *this;
  int n = 0;
  std::string_view w;
  while (copy.next_word(w)) ++n;
  return n;
}

}  // namespace ff
