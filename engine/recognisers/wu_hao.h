#pragma once
// Second- and fourth-level headings: (一) … (十), (1) … (10), (a) … (j) with half-width
// parentheses, typed with a superfluous "。" or "、" after them.

#include <string_view>

namespace engine {

// The 1-based position of the separator ("。" or "、") in `text` with its leading U+0020 /
// U+3000 spaces skipped, i.e. the parenthesised number's length plus 1; 0 when the text does
// not begin with one of the 30 parenthesised numbers directly followed by a separator.
int matchWuHao(std::u32string_view text);

} // namespace engine
