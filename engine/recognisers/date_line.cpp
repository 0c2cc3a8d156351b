#include "engine/recognisers/date_line.h"

#include "word/text.h"

namespace engine {

namespace {
// Length in UTF-16 code units: characters beyond the BMP take two.
size_t utf16Length(std::u32string_view s) {
  size_t n = s.size();
  for (char32_t c : s)
    if (c > 0xFFFF)
      ++n;
  return n;
}
} // namespace

bool isDateLine(std::u32string_view text) {
  std::u32string t = word::trimSpaces(text);
  size_t len = utf16Length(t);
  if (len > 12 || len < 7)
    return false;
  bool ri = t.find(U'日') != std::u32string::npos;
  bool nian = t.find(U'年') != std::u32string::npos;
  bool yue = t.find(U'月') != std::u32string::npos;
  return ri || (nian && yue);
}

} // namespace engine
