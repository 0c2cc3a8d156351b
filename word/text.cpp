#include "word/text.h"

namespace word {

namespace {
// Decodes one code point at s[i]; advances i. Returns U+FFFD for an invalid byte (consuming 1).
char32_t decodeOne(std::string_view s, size_t& i, bool* ok = nullptr) {
  auto bad = [&]() {
    ++i;
    if (ok)
      *ok = false;
    return char32_t(0xFFFD);
  };
  unsigned char c = static_cast<unsigned char>(s[i]);
  if (c < 0x80) {
    ++i;
    return c;
  }
  int n;
  char32_t cp;
  if (c >= 0xC2 && c <= 0xDF) {
    n = 1;
    cp = c & 0x1F;
  } else if (c >= 0xE0 && c <= 0xEF) {
    n = 2;
    cp = c & 0x0F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    n = 3;
    cp = c & 0x07;
  } else {
    return bad();
  }
  if (i + n >= s.size())
    return bad();
  for (int k = 1; k <= n; ++k) {
    unsigned char cc = static_cast<unsigned char>(s[i + k]);
    if ((cc & 0xC0) != 0x80)
      return bad();
    cp = (cp << 6) | (cc & 0x3F);
  }
  // Overlongs, surrogates and values beyond U+10FFFF.
  if ((n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
      (cp >= 0xD800 && cp <= 0xDFFF))
    return bad();
  i += n + 1;
  return cp;
}
} // namespace

std::u32string toU32(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size())
    out.push_back(decodeOne(s, i));
  return out;
}

static void append(std::string& out, char32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
    c = 0xFFFD;
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

std::string toUtf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (char32_t c : text)
    append(out, c);
  return out;
}

void toUtf8(std::u32string_view text, std::string& out) {
  out.clear();
  out.reserve(text.size() * 3);
  for (char32_t c : text)
    append(out, c);
}

std::string toUtf8(char32_t c) {
  std::string out;
  append(out, c);
  return out;
}

bool isValidUtf8(std::string_view s) {
  size_t i = 0;
  bool ok = true;
  while (i < s.size() && ok)
    decodeOne(s, i, &ok);
  return ok;
}

size_t utf8Length(std::string_view s) {
  size_t i = 0, n = 0;
  while (i < s.size()) {
    decodeOne(s, i);
    ++n;
  }
  return n;
}

std::u32string trimSpaces(std::u32string_view t) {
  size_t b = 0, e = t.size();
  while (b < e && (t[b] == U' ' || t[b] == U'\u3000'))
    ++b;
  while (e > b && (t[e - 1] == U' ' || t[e - 1] == U'\u3000'))
    --e;
  return std::u32string(t.substr(b, e - b));
}

} // namespace word
