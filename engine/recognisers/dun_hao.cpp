#include "engine/recognisers/dun_hao.h"

#include "engine/recognisers/article_number.h"

namespace engine {

int matchDunHao(std::u32string_view text) {
  std::u32string_view t = text.substr(leadingSpaces(text));
  const auto& numerals = ChineseNumerals();
  // Table order: the separator must follow directly, so 十一、 fails at 一 and 十 and is found
  // at 十一.
  for (size_t k = 0; k < 50; ++k) {
    const std::u32string& numeral = numerals[k];
    size_t n = numeral.size();
    if (t.size() > n && t.compare(0, n, numeral) == 0 && (t[n] == U'。' || t[n] == U'、'))
      return static_cast<int>(n) + 1;
  }
  return 0;
}

} // namespace engine
