#pragma once
// UTF-8: validation, decoding and encoding.
//
// Well-formed means what Unicode (and RFC 3629) allow: no overlong forms, no surrogates
// (U+D800-U+DFFF), nothing above U+10FFFF, no truncated sequence. Wherever text is decoded, a
// byte that begins no well-formed sequence stands for one U+FFFD and decoding goes on with the
// next byte, so that every byte of bad input is accounted for and nothing after it is lost.

#include <cstddef>
#include <string>
#include <string_view>

namespace base {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;
inline constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";

// Length (1 to 4) of the well-formed sequence that begins at s[i], or 0 when the byte there
// begins none. `i` must be inside `s`.
inline std::size_t utf8SequenceLength(std::string_view s, std::size_t i) {
  const auto c = static_cast<unsigned char>(s[i]);
  if (c < 0x80)
    return 1;
  std::size_t len;
  unsigned char lo = 0x80, hi = 0xBF; // the range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    len = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    len = 3;
    if (c == 0xE0)
      lo = 0xA0; // below: overlong
    else if (c == 0xED)
      hi = 0x9F; // above: surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    len = 4;
    if (c == 0xF0)
      lo = 0x90; // below: overlong
    else if (c == 0xF4)
      hi = 0x8F; // above: beyond U+10FFFF
  } else {
    return 0; // a continuation byte, C0/C1 (always overlong) or F5-FF
  }
  if (s.size() - i < len)
    return 0;
  const auto c1 = static_cast<unsigned char>(s[i + 1]);
  if (c1 < lo || c1 > hi)
    return 0;
  for (std::size_t k = 2; k < len; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
      return 0;
  return len;
}

// Decodes the code point at s[i] and advances `i` past it. A byte that begins no well-formed
// sequence gives U+FFFD, advances by one and, when `ok` is given, sets *ok to false.
inline char32_t decodeUtf8(std::string_view s, std::size_t& i, bool* ok = nullptr) {
  const std::size_t len = utf8SequenceLength(s, i);
  const auto b = [&](std::size_t k) {
    return static_cast<char32_t>(static_cast<unsigned char>(s[i + k]));
  };
  char32_t cp;
  switch (len) {
  case 1:
    cp = b(0);
    break;
  case 2:
    cp = ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    break;
  case 3:
    cp = ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    break;
  case 4:
    cp = ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
    break;
  default:
    if (ok)
      *ok = false;
    ++i;
    return kReplacementCharacter;
  }
  i += len;
  return cp;
}

// Writes `c` as UTF-8 at `o`, which has room for four bytes, and returns the end of what it
// wrote; a value that is no Unicode scalar value (a surrogate, or above U+10FFFF) is written as
// U+FFFD.
inline char* putUtf8(char* o, char32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
    c = kReplacementCharacter;
  if (c < 0x80) {
    *o++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *o++ = static_cast<char>(0xC0 | (c >> 6));
    *o++ = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *o++ = static_cast<char>(0xE0 | (c >> 12));
    *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *o++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *o++ = static_cast<char>(0xF0 | (c >> 18));
    *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *o++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return o;
}

// Appends `c` as UTF-8 (see putUtf8).
inline void appendUtf8(std::string& out, char32_t c) {
  char bytes[4];
  out.append(bytes, static_cast<std::size_t>(putUtf8(bytes, c) - bytes));
}

// The offset of the first byte that begins no well-formed sequence, or npos.
std::size_t firstInvalidUtf8(std::string_view bytes);
// True when `bytes` is well-formed UTF-8.
bool isValidUtf8(std::string_view bytes);
// Number of code points (a byte that begins no well-formed sequence counts as one).
std::size_t utf8Length(std::string_view utf8);
// `bytes` with every byte that begins no well-formed sequence replaced by U+FFFD.
std::string sanitizedUtf8(std::string_view bytes);

// UTF-8 to UTF-32 (bad bytes become U+FFFD), and back (values that are no scalar value become
// U+FFFD). Never throw but for memory.
std::u32string toU32(std::string_view utf8);
std::string toUtf8(std::u32string_view text);
std::string toUtf8(char32_t c);
// Encodes into `out` (cleared first), reusing its storage.
void toUtf8(std::u32string_view text, std::string& out);

} // namespace base
