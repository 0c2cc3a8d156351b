#include "engine/recognisers/wu_hao.h"

#include <string>
#include <vector>

#include "engine/recognisers/article_number.h"

namespace engine {

namespace {

std::vector<std::u32string> buildTable() {
  std::vector<std::u32string> out;
  const auto& numerals = ChineseNumerals();
  for (int k = 0; k < 10; ++k)
    out.push_back(U"(" + numerals[static_cast<size_t>(k)] + U")");
  for (int k = 1; k <= 10; ++k) {
    std::u32string s = U"(";
    for (char c : std::to_string(k))
      s += static_cast<char32_t>(c);
    out.push_back(s + U")");
  }
  for (char32_t c = U'a'; c <= U'j'; ++c)
    out.push_back(std::u32string(U"(") + c + U")");
  return out;
}

} // namespace

int matchWuHao(std::u32string_view text) {
  static const std::vector<std::u32string> kTable = buildTable();
  std::u32string_view t = text.substr(leadingSpaces(text));
  if (t.empty() || t[0] != U'(')
    return 0;
  for (const std::u32string& number : kTable) {
    size_t n = number.size();
    if (t.size() > n && t.compare(0, n, number) == 0 && (t[n] == U'。' || t[n] == U'、'))
      return static_cast<int>(n) + 1;
  }
  return 0;
}

} // namespace engine
