// Fixed-length text as the listings and files use it: blank-padded on the
// right, compared in padded form, positions 1-based where the routines say so.
#pragma once

#include <string>
#include <string_view>

namespace vorn {

// The text cut or blank-padded to exactly n characters.
std::string pad(std::string_view s, std::size_t n);
// out = pad(s, n), keeping out's room.
void pad_into(std::string& out, std::string_view s, std::size_t n);
// pad(a, n) == pad(b, n), without building either text.
bool same_padded(std::string_view a, std::string_view b, std::size_t n);
// The text without trailing blanks.
std::string_view rtrim(std::string_view s);
std::string upper(std::string_view s);
inline char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
// Sets out to the text in upper case, keeping out's room.
void assign_upper(std::string& out, std::string_view s);
std::string lower(std::string_view s);
// True when the first characters of the text, blank-padded, equal the key
// (so "END" starts with "END ").
bool starts_padded(std::string_view text, std::string_view key);
// The text with every control character (a byte below 32, and 127) shown as
// "?", so that quoted input cannot send escape sequences or stray line ends
// to the terminal.
std::string printable(std::string_view s);

}  // namespace vorn
