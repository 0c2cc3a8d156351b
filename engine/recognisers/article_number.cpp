#include "engine/recognisers/article_number.h"

namespace engine {

namespace {

std::vector<std::u32string> buildNumerals() {
  static const char32_t kDigits[] = U"一二三四五六七八九";
  std::vector<std::u32string> out;
  out.reserve(63);
  for (int n = 1; n <= 63; ++n) {
    int tens = n / 10, units = n % 10;
    std::u32string s;
    if (tens >= 2)
      s += kDigits[tens - 1];
    if (tens >= 1)
      s += U'十';
    if (units != 0)
      s += kDigits[units - 1];
    out.push_back(std::move(s));
  }
  return out;
}

} // namespace

const std::vector<std::u32string>& ChineseNumerals() {
  static const std::vector<std::u32string> kNumerals = buildNumerals();
  return kNumerals;
}

size_t leadingSpaces(std::u32string_view text) {
  size_t s = 0;
  while (s < text.size() && (text[s] == U' ' || text[s] == U'\u3000'))
    ++s;
  return s;
}

int matchArticleNumber(std::u32string_view text, bool& chapter) {
  chapter = false;
  std::u32string_view t = text.substr(leadingSpaces(text));
  // Every lead-in starts with 第; most paragraphs are rejected here.
  if (t.empty() || t[0] != U'第')
    return 0;
  std::u32string_view rest = t.substr(1);
  for (const std::u32string& numeral : ChineseNumerals()) {
    size_t n = numeral.size();
    if (rest.size() <= n || rest.compare(0, n, numeral) != 0)
      continue;
    char32_t unit = rest[n];
    int length = static_cast<int>(n) + 2;
    if (unit == U'章' || unit == U'篇') {
      chapter = true;
      return length;
    }
    if (unit == U'条' || unit == U'节' || unit == U'款')
      return length;
  }
  return 0;
}

} // namespace engine
