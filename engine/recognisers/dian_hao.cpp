#include "engine/recognisers/dian_hao.h"

#include <string>
#include <vector>

#include "engine/recognisers/article_number.h"

namespace engine {

namespace {

std::vector<std::u32string> buildTable() {
  std::vector<std::u32string> out;
  for (int k = 1; k <= 20; ++k) {
    std::u32string s;
    for (char c : std::to_string(k))
      s += static_cast<char32_t>(c);
    out.push_back(std::move(s));
  }
  return out;
}

} // namespace

int matchDianHao(std::u32string_view text) {
  static const std::vector<std::u32string> kTable = buildTable();
  std::u32string_view t = text.substr(leadingSpaces(text));
  if (t.empty() || t[0] < U'0' || t[0] > U'9')
    return 0;
  // Table order: 12、 fails at 1 (the separator must follow directly) and is found at 12.
  for (const std::u32string& number : kTable) {
    size_t n = number.size();
    if (t.size() > n && t.compare(0, n, number) == 0 && (t[n] == U'。' || t[n] == U'、'))
      return static_cast<int>(n) + 1;
  }
  return 0;
}

} // namespace engine
