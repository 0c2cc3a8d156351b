#pragma once
// Text in another encoding to UTF-8, through glibc's iconv.

#include <cerrno>
#include <string>
#include <string_view>

#include <iconv.h>

namespace base {

// `bytes` in `encoding` (an iconv name: "GB18030", "BIG5", "UTF-16LE"…) to UTF-8 in `out`.
// Returns false, with `out` empty, when the bytes are not valid in that encoding (an invalid
// or truncated sequence) or iconv does not know it.
inline bool convertToUtf8(std::string_view bytes, const char* encoding, std::string& out) {
  iconv_t cd = iconv_open("UTF-8", encoding);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    out.clear();
    return false;
  }
  out.assign(bytes.size() * 2 + 64, '\0');
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size(), used = 0;
  bool ok = true;
  while (inLeft > 0) {
    char* dst = out.data() + used;
    size_t outLeft = out.size() - used;
    size_t r = iconv(cd, &in, &inLeft, &dst, &outLeft);
    used = out.size() - outLeft;
    if (r != static_cast<size_t>(-1))
      break;
    if (errno == E2BIG) {
      out.resize(out.size() * 2);
      continue;
    }
    ok = false; // EILSEQ (invalid sequence) or EINVAL (truncated sequence at the end)
    break;
  }
  iconv_close(cd);
  out.resize(ok ? used : 0);
  return ok;
}

} // namespace base
