#include "base/encoding.h"

#include <cerrno>

#include <iconv.h>

#include "base/utf8.h"

namespace base {

namespace {

// One iconv conversion descriptor, closed on scope exit.
class Converter {
public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (valid())
      iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

  // Converts `input` into `out`. A byte that begins no valid sequence (or a sequence cut
  // short at the end) either ends the conversion with false, or - with `replacement` - is
  // replaced by it and skipped.
  bool run(std::string_view input, std::string& out, std::string_view replacement = {},
           std::size_t* replaced = nullptr) {
    out.clear();
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char buffer[4096];
    while (inLeft > 0) {
      char* o = buffer;
      std::size_t oLeft = sizeof buffer;
      const std::size_t r = iconv(cd_, &in, &inLeft, &o, &oLeft);
      out.append(buffer, static_cast<std::size_t>(o - buffer));
      if (r != static_cast<std::size_t>(-1) || errno == E2BIG)
        continue;
      if (replacement.empty())
        return false; // EILSEQ: an invalid sequence; EINVAL: one cut short at the end
      out += replacement;
      if (replaced)
        ++*replaced;
      ++in;
      --inLeft;
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    char* o = buffer;
    std::size_t oLeft = sizeof buffer;
    iconv(cd_, nullptr, nullptr, &o, &oLeft); // the end of any shift state
    out.append(buffer, static_cast<std::size_t>(o - buffer));
    return true;
  }

private:
  iconv_t cd_;
};

bool convert(std::string_view bytes, const char* from, const char* to, std::string& out) {
  Converter cv(to, from);
  if (cv.valid() && cv.run(bytes, out))
    return true;
  out.clear();
  return false;
}

} // namespace

bool convertToUtf8(std::string_view bytes, const char* encoding, std::string& out) {
  return convert(bytes, encoding, "UTF-8", out);
}

bool convertFromUtf8(std::string_view utf8, const char* encoding, std::string& out) {
  if (!isValidUtf8(utf8)) {
    out.clear();
    return false;
  }
  return convert(utf8, "UTF-8", encoding, out);
}

std::string decodeToUtf8(std::string_view bytes, const char* encoding, std::size_t* replaced) {
  std::size_t count = 0;
  std::string out;
  Converter cv("UTF-8", encoding);
  if (!cv.valid() || !cv.run(bytes, out, kReplacementUtf8, &count)) {
    count = 0;
    out.clear();
    for (char c : bytes) {
      if (static_cast<unsigned char>(c) < 0x80) {
        out += c;
      } else {
        out += kReplacementUtf8;
        ++count;
      }
    }
  }
  if (replaced)
    *replaced = count;
  return out;
}

bool isKnownEncoding(const char* encoding) {
  return Converter("UTF-8", encoding).valid();
}

} // namespace base
