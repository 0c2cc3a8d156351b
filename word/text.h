#pragma once
// UTF-8 / UTF-32 conversions and character helpers shared by the model and the engine.

#include <string>
#include <string_view>

#include "base/utf8.h"

namespace word {

// Decoding (every invalid byte becomes U+FFFD), encoding (values that are no scalar value
// become U+FFFD), validation and counting of code points: see base/utf8.h.
using base::isValidUtf8;
using base::toU32;
using base::toUtf8;
using base::utf8Length;

// Word's "trimmed text": leading and trailing U+0020 and U+3000 removed.
std::u32string trimSpaces(std::u32string_view text);

} // namespace word
