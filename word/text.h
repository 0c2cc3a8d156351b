#pragma once
// UTF-8 / UTF-32 conversions and character helpers shared by the model and the engine.

#include <string>
#include <string_view>

namespace word {

// Decodes UTF-8; every invalid byte becomes U+FFFD. Never throws.
std::u32string toU32(std::string_view utf8);
// Encodes UTF-32 as UTF-8; code points that are not valid scalar values become U+FFFD.
std::string toUtf8(std::u32string_view text);
std::string toUtf8(char32_t c);
// Encodes into `out` (cleared first), reusing its storage.
void toUtf8(std::u32string_view text, std::string& out);
// True when `bytes` is well-formed UTF-8 (no overlongs, no surrogates).
bool isValidUtf8(std::string_view bytes);
// Number of code points in a UTF-8 string (invalid bytes count one each).
size_t utf8Length(std::string_view utf8);

// Word's "trimmed text": leading and trailing U+0020 and U+3000 removed.
std::u32string trimSpaces(std::u32string_view text);

} // namespace word
