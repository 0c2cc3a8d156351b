#pragma once
// ASCII case folding. Only the 26 letters A-Z / a-z change; every other byte - digits,
// punctuation, and the bytes of UTF-8 or GB18030 text - stays as it is, whatever the locale
// (std::tolower follows the C locale, which the window sets from the environment).
//
// For the names of things: file extensions, package part names, encoding names, field codes,
// style names, setup.ini sections and keys.

#include <filesystem>
#include <string>
#include <string_view>

namespace base {

constexpr char lowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr char upperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The same for a code point: only U+0041-U+005A / U+0061-U+007A change.
constexpr char32_t lowerAscii(char32_t c) {
  return c >= U'A' && c <= U'Z' ? c - U'A' + U'a' : c;
}

inline std::string lowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    c = lowerAscii(c);
  return out;
}

inline std::string upperAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    c = upperAscii(c);
  return out;
}

// Lowers the n bytes at p in place (for buffers read in chunks).
inline void lowerAsciiInPlace(char* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    p[i] = lowerAscii(p[i]);
}

// True when a and b differ at most in the case of ASCII letters.
constexpr bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (lowerAscii(a[i]) != lowerAscii(b[i]))
      return false;
  return true;
}

// The extension of `path` with its dot, lowered: "a/B.DOCX" gives ".docx", "README" gives "".
inline std::string lowerExtension(const std::filesystem::path& path) {
  return lowerAscii(path.extension().string());
}

} // namespace base
