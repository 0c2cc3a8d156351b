#include "base/utf8.h"

namespace base {

namespace {

// A well-formed three-byte sequence at p[i] whose lead byte needs no range check of its second
// byte (E1-EC, EE, EF): most CJK text. The caller makes sure three bytes are left.
bool plainThreeByte(const unsigned char* p, std::size_t i) {
  const unsigned char c = p[i];
  return ((c >= 0xE1 && c <= 0xEC) || c == 0xEE || c == 0xEF) && (p[i + 1] & 0xC0) == 0x80 &&
         (p[i + 2] & 0xC0) == 0x80;
}

} // namespace

std::size_t firstInvalidUtf8(std::string_view s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const std::size_t n = s.size();
  for (std::size_t i = 0; i < n;) {
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    if (n - i >= 3 && plainThreeByte(p, i)) {
      i += 3;
      continue;
    }
    const std::size_t len = utf8SequenceLength(s, i);
    if (len == 0)
      return i;
    i += len;
  }
  return std::string_view::npos;
}

bool isValidUtf8(std::string_view bytes) {
  return firstInvalidUtf8(bytes) == std::string_view::npos;
}

std::size_t utf8Length(std::string_view s) {
  std::size_t n = 0;
  for (std::size_t i = 0; i < s.size(); ++n) {
    const std::size_t len = utf8SequenceLength(s, i);
    i += len == 0 ? 1 : len;
  }
  return n;
}

std::string sanitizedUtf8(std::string_view bytes) {
  std::size_t bad = firstInvalidUtf8(bytes);
  if (bad == std::string_view::npos)
    return std::string(bytes);
  std::string out;
  out.reserve(bytes.size() + 8);
  out.append(bytes.substr(0, bad));
  for (std::size_t i = bad; i < bytes.size();) {
    const std::size_t len = utf8SequenceLength(bytes, i);
    if (len == 0) {
      out += kReplacementUtf8;
      ++i;
    } else {
      out.append(bytes.substr(i, len));
      i += len;
    }
  }
  return out;
}

std::u32string toU32(std::string_view s) {
  // Written through a pointer into room for one code point per byte, then cut to size: the
  // model converts every run's text it edits, and checking the capacity per code point cost
  // as much as decoding it. ASCII and the well-formed three-byte sequences of CJK text take a
  // short path; everything else goes through decodeUtf8.
  std::u32string out(s.size(), U'\0');
  char32_t* o = out.data();
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const std::size_t n = s.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      *o++ = c;
      ++i;
    } else if (n - i >= 3 && plainThreeByte(p, i)) {
      *o++ = (static_cast<char32_t>(c & 0x0F) << 12) |
             (static_cast<char32_t>(p[i + 1] & 0x3F) << 6) | (p[i + 2] & 0x3F);
      i += 3;
    } else {
      *o++ = decodeUtf8(s, i);
    }
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return out;
}

std::string toUtf8(std::u32string_view text) {
  std::string out;
  toUtf8(text, out);
  return out;
}

void toUtf8(std::u32string_view text, std::string& out) {
  // Written through a pointer into room for four bytes per code point, then cut to size (see
  // toU32).
  out.resize(text.size() * 4);
  char* o = out.data();
  for (char32_t c : text)
    o = putUtf8(o, c);
  out.resize(static_cast<std::size_t>(o - out.data()));
}

std::string toUtf8(char32_t c) {
  std::string out;
  appendUtf8(out, c);
  return out;
}

} // namespace base
