#pragma once
// Lead-ins of regulation headings: 第 + a Chinese numeral + a unit character (章 篇 条 节 款).

#include <string>
#include <string_view>
#include <vector>

namespace engine {

// The Chinese counting numerals for 1 to 63 in counting order: entry n - 1 is the numeral for
// n (一 … 十, 十一 … 十九, 二十, 二十一 … 六十三).
const std::vector<std::u32string>& ChineseNumerals();

// Looks for 第 + numeral + unit at the start of `text` with its leading U+0020 / U+3000 spaces
// skipped. Numerals are tried in counting order and the unit must follow the numeral directly,
// so 第十一章 is found at 十一. Units are tried in the order 章, 篇, then 条 / 节 / 款.
// Returns the lead-in's length in characters (0 when there is none) and sets `chapter` when the
// unit is 章 or 篇 (cleared otherwise).
int matchArticleNumber(std::u32string_view text, bool& chapter);

// Number of leading U+0020 / U+3000 spaces of `text` (what trimming removes at the start).
size_t leadingSpaces(std::u32string_view text);

} // namespace engine
