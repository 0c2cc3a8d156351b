#pragma once
// The date line of a signature block (落款): the line under the issuing body's name.

#include <string_view>

namespace engine {

// True when `text` (a paragraph's text, its mark included) is taken for a date line.
// The text is trimmed of leading and trailing U+0020 / U+3000 spaces; what is left must be 7 to
// 12 UTF-16 units long (the mark counts) and hold 日, or both 年 and 月. So 2023年5月6日 with
// its mark (10) is a date line; 五月六日 (5) is too short and 二〇二三年十二月二十六日 (13) too
// long; a short sentence holding 日, such as 自发布之日起施行。, is taken for one as well.
bool isDateLine(std::u32string_view text);

} // namespace engine
