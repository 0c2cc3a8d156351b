#include "word/text.h"

namespace word {

std::u32string trimSpaces(std::u32string_view t) {
  size_t b = 0, e = t.size();
  while (b < e && (t[b] == U' ' || t[b] == U'\u3000'))
    ++b;
  while (e > b && (t[e - 1] == U' ' || t[e - 1] == U'\u3000'))
    --e;
  return std::u32string(t.substr(b, e - b));
}

} // namespace word
