#include "base/utf8.h"

namespace base {

std::size_t firstInvalidUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
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
  std::u32string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();)
    out.push_back(decodeUtf8(s, i));
  return out;
}

std::string toUtf8(std::u32string_view text) {
  std::string out;
  toUtf8(text, out);
  return out;
}

void toUtf8(std::u32string_view text, std::string& out) {
  out.clear();
  out.reserve(text.size() * 3);
  for (char32_t c : text)
    appendUtf8(out, c);
}

std::string toUtf8(char32_t c) {
  std::string out;
  appendUtf8(out, c);
  return out;
}

} // namespace base
