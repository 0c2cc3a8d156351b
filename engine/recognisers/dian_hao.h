#pragma once
// Third-level headings: an Arabic number 1 … 20 followed by "." (typed as "。" or "、").

#include <string_view>

namespace engine {

// The 1-based position of the separator ("。" or "、") in `text` with its leading U+0020 /
// U+3000 spaces skipped, i.e. the number's length plus 1; 0 when the text does not begin with
// one of "1" … "20" (ASCII digits) directly followed by a separator.
int matchDianHao(std::u32string_view text);

} // namespace engine
