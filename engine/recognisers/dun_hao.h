#pragma once
// First-level headings: a Chinese numeral 一 … 五十 followed by "、" (or a mistyped "。").

#include <string_view>

namespace engine {

// The 1-based position of the separator ("。" or "、") in `text` with its leading U+0020 /
// U+3000 spaces skipped, i.e. the numeral's length plus 1; 0 when the text does not begin with
// one of the first 50 Chinese numerals directly followed by a separator.
int matchDunHao(std::u32string_view text);

} // namespace engine
