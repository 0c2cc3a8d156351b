// Other encodings through iconv: strict both ways, and the lenient decoding that replaces each
// bad byte and goes on.

#include <gtest/gtest.h>

#include <string>

#include "base/encoding.h"

namespace {

const std::string kGbSongTi = "\xCB\xCE\xCC\xE5";   // 宋体
const std::string kGbHeiTi = "\xBA\xDA\xCC\xE5";    // 黑体
const std::string kGbFourByte = "\x95\x32\x82\x36"; // U+20000, a four-byte sequence
const std::string kR = "\xEF\xBF\xBD";              // U+FFFD

struct ToUtf8Case {
  const char* name;
  const char* encoding;
  std::string bytes;
  bool ok;
  std::string utf8; // of the strict conversion ("" when it fails)
  std::string lenient;
  size_t replaced;
};

class ToUtf8 : public ::testing::TestWithParam<ToUtf8Case> {};

TEST_P(ToUtf8, StrictFailsWhereLenientReplaces) {
  const ToUtf8Case& c = GetParam();
  std::string out = "stale";
  EXPECT_EQ(base::convertToUtf8(c.bytes, c.encoding, out), c.ok);
  EXPECT_EQ(out, c.utf8);
  size_t replaced = 99;
  EXPECT_EQ(base::decodeToUtf8(c.bytes, c.encoding, &replaced), c.lenient);
  EXPECT_EQ(replaced, c.replaced);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, ToUtf8,
    ::testing::Values(
        ToUtf8Case{"gb18030", "GB18030", kGbSongTi + "A" + kGbFourByte, true,
                   "宋体A\xF0\xA0\x80\x80", "宋体A\xF0\xA0\x80\x80", 0},
        ToUtf8Case{"gb18030_bad_byte", "GB18030", "x\xFFy", false, "", "x" + kR + "y", 1},
        // A lead byte cut short at the end: strict fails, lenient keeps all before it.
        ToUtf8Case{"gb18030_truncated", "GB18030", kGbHeiTi + "\xCB", false, "", "黑体" + kR, 1},
        ToUtf8Case{"big5", "CP950", "\xA7\x41", true, "你", "你", 0},
        ToUtf8Case{"utf16le", "UTF-16LE", std::string("A\0\x8B\x5B", 4), true, "A宋", "A宋", 0},
        ToUtf8Case{"empty", "GB18030", "", true, "", "", 0},
        // An encoding iconv does not know: strict fails, lenient keeps ASCII.
        ToUtf8Case{"unknown", "NO-SUCH-ENCODING",
                   "a\xCB\xCE"
                   "b",
                   false, "", "a" + kR + kR + "b", 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Encoding, FromUtf8ConvertsOrFailsWithNothing) {
  const struct {
    const char* encoding;
    std::string utf8;
    bool ok;
    std::string bytes;
  } cases[] = {
      {"GB18030", "黑体€", true, kGbHeiTi + "\xA2\xE3"},
      {"GB18030", "\xF0\xA0\x80\x80", true, kGbFourByte},
      // 乚's trail byte in GB18030 is ']' (a settings file must cope with it).
      {"GB18030", "乚", true, "\x81]"},
      {"GB18030", "\xC0\x80", false, ""},        // overlong input
      {"GB18030", "\xED\xA0\x80", false, ""},    // a surrogate
      {"GB2312", "\xF0\xA0\x80\x80", false, ""}, // no mapping
      {"NO-SUCH-ENCODING", "a", false, ""},
  };
  for (const auto& c : cases) {
    std::string out = "stale";
    EXPECT_EQ(base::convertFromUtf8(c.utf8, c.encoding, out), c.ok) << c.encoding << " " << c.utf8;
    EXPECT_EQ(out, c.bytes) << c.encoding << " " << c.utf8;
  }
}

TEST(Encoding, KnownEncodings) {
  EXPECT_TRUE(base::isKnownEncoding("GB18030"));
  EXPECT_TRUE(base::isKnownEncoding("BIG5-HKSCS"));
  EXPECT_FALSE(base::isKnownEncoding("NO-SUCH-ENCODING"));
}

} // namespace
