#pragma once
// Text between UTF-8 and other encodings (GB18030, Big5, UTF-16…), through glibc's iconv.
// Encodings are named as iconv names them: "GB18030", "CP950", "UTF-16LE"…

#include <cstddef>
#include <string>
#include <string_view>

namespace base {

// `bytes` in `encoding` to UTF-8 in `out`. Returns false, with `out` empty, when the bytes
// are not valid in that encoding (an invalid or truncated sequence) or iconv does not know it.
bool convertToUtf8(std::string_view bytes, const char* encoding, std::string& out);

// UTF-8 text to `encoding` in `out`. Returns false, with `out` empty, when `utf8` is not
// well-formed, a character has no mapping in `encoding`, or iconv does not know it.
bool convertFromUtf8(std::string_view utf8, const char* encoding, std::string& out);

// `bytes` in `encoding` to UTF-8, never failing: a byte that begins no valid sequence becomes
// U+FFFD and the conversion goes on after it. When iconv does not know the encoding, ASCII is
// kept and every other byte becomes U+FFFD. `replaced`, when given, counts the U+FFFDs made.
std::string decodeToUtf8(std::string_view bytes, const char* encoding,
                         std::size_t* replaced = nullptr);

// True when iconv converts between `encoding` and UTF-8.
bool isKnownEncoding(const char* encoding);

} // namespace base
