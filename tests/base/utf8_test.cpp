// UTF-8: which sequences are well-formed, and how bad bytes decode (one U+FFFD each, the
// decoding going on with the next byte).

#include <gtest/gtest.h>

#include <string>

#include "base/utf8.h"

namespace {

struct Utf8Case {
  const char* name;
  std::string bytes;
  size_t firstInvalid; // npos when well-formed
  std::u32string decoded;
};

constexpr size_t kValid = std::string::npos;
constexpr char32_t R = base::kReplacementCharacter;

class Utf8 : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8, ValidatesAndDecodesByteForByte) {
  const Utf8Case& c = GetParam();
  EXPECT_EQ(base::firstInvalidUtf8(c.bytes), c.firstInvalid);
  EXPECT_EQ(base::isValidUtf8(c.bytes), c.firstInvalid == kValid);
  EXPECT_EQ(base::toU32(c.bytes), c.decoded);
  EXPECT_EQ(base::utf8Length(c.bytes), c.decoded.size());
  // Sanitising replaces exactly what decoding replaces, and leaves well-formed text alone.
  const std::string clean = base::sanitizedUtf8(c.bytes);
  EXPECT_TRUE(base::isValidUtf8(clean));
  EXPECT_EQ(base::toU32(clean), c.decoded);
  EXPECT_EQ(base::toUtf8(c.decoded), clean);
  if (c.firstInvalid == kValid) {
    EXPECT_EQ(clean, c.bytes);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, Utf8,
    ::testing::Values(Utf8Case{"empty", "", kValid, U""}, Utf8Case{"ascii", "abc", kValid, U"abc"},
                      Utf8Case{"nul", std::string("a\0b", 3), kValid, std::u32string(U"a\0b", 3)},
                      Utf8Case{"two_three_four", "\xC3\xA9\xE5\xAE\x8B\xF0\xA0\x80\x80", kValid,
                               U"é宋\U00020000"},
                      Utf8Case{"edges", "\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF4\x8F\xBF\xBF",
                               kValid, U"\u0080\u07FF\u0800\uFFFF\U0010FFFF"},
                      Utf8Case{"around_surrogates", "\xED\x9F\xBF\xEE\x80\x80", kValid,
                               U"\uD7FF\uE000"},
                      // Cut short: at the end, and before the next character.
                      Utf8Case{"truncated_two", "a\xC3", 1, {U'a', R}},
                      Utf8Case{"truncated_three_at_end", "\xE5\xAE", 0, {R, R}},
                      Utf8Case{"truncated_three_before_ascii",
                               "\xE5\xAE"
                               "x",
                               0,
                               {R, R, U'x'}},
                      Utf8Case{"truncated_four", "\xF0\xA0\x80", 0, {R, R, R}},
                      // Overlong forms of '/' and of U+07FF / U+FFFF.
                      Utf8Case{"overlong_c0", "\xC0\xAF", 0, {R, R}},
                      Utf8Case{"overlong_c1", "\xC1\xBF", 0, {R, R}},
                      Utf8Case{"overlong_three", "\xE0\x80\xAF", 0, {R, R, R}},
                      Utf8Case{"overlong_three_high", "\xE0\x9F\xBF", 0, {R, R, R}},
                      Utf8Case{"overlong_four", "\xF0\x8F\xBF\xBF", 0, {R, R, R, R}},
                      // UTF-16 surrogates written as UTF-8 (CESU-8), a lone one and a pair.
                      Utf8Case{"surrogate_low_end", "x\xED\xA0\x80", 1, {U'x', R, R, R}},
                      Utf8Case{"surrogate_high_end", "\xED\xBF\xBF", 0, {R, R, R}},
                      Utf8Case{"surrogate_pair", "\xED\xA0\xBD\xED\xB8\x80", 0, {R, R, R, R, R, R}},
                      // Beyond U+10FFFF, and lead bytes that begin nothing.
                      Utf8Case{"beyond_f4", "\xF4\x90\x80\x80", 0, {R, R, R, R}},
                      Utf8Case{"f5", "\xF5\x80\x80\x80", 0, {R, R, R, R}},
                      Utf8Case{"ff_fe", "\xFF\xFE", 0, {R, R}},
                      Utf8Case{"lone_continuation", "ab\x80", 2, {U'a', U'b', R}},
                      Utf8Case{"bad_second_byte",
                               "\xE5"
                               "A\xAE",
                               0,
                               {R, U'A', R}},
                      Utf8Case{"gb18030", "\xCB\xCE\xCC\xE5", 0, {R, R, R, R}}, // 宋体 in GB18030
                      // A bad byte never swallows the good text after it.
                      Utf8Case{"good_after_bad", "\xE5\xE5\xAE\x8B", 0, {R, U'宋'}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Utf8, SequenceLengthStopsAtTheEndOfTheText) {
  const std::string text = "\xE5\xAE\x8B";
  EXPECT_EQ(base::utf8SequenceLength(text, 0), 3u);
  EXPECT_EQ(base::utf8SequenceLength(std::string_view(text).substr(0, 2), 0), 0u);
  EXPECT_EQ(base::utf8SequenceLength(text, 1), 0u);
}

TEST(Utf8, DecodeReportsTheBadByteAndMovesOnByOne) {
  const std::string text = "\xED\xA0\x80z";
  size_t i = 0;
  bool ok = true;
  EXPECT_EQ(base::decodeUtf8(text, i, &ok), R);
  EXPECT_FALSE(ok);
  EXPECT_EQ(i, 1u);
  ok = true;
  i = 3;
  EXPECT_EQ(base::decodeUtf8(text, i, &ok), U'z');
  EXPECT_TRUE(ok);
  EXPECT_EQ(i, 4u);
}

TEST(Utf8, EncodingWritesNoSurrogateAndNothingBeyondTheLastCodePoint) {
  const std::pair<char32_t, std::string> cases[] = {
      {U'A', "A"},
      {0x7FF, "\xDF\xBF"},
      {0xFFFD, "\xEF\xBF\xBD"},
      {0x10FFFF, "\xF4\x8F\xBF\xBF"},
      {0xD800, "\xEF\xBF\xBD"},
      {0xDFFF, "\xEF\xBF\xBD"},
      {0x110000, "\xEF\xBF\xBD"},
      {0xFFFFFFFF, "\xEF\xBF\xBD"},
  };
  for (const auto& [c, bytes] : cases) {
    EXPECT_EQ(base::toUtf8(c), bytes) << std::hex << static_cast<uint32_t>(c);
    std::string out = "old";
    base::toUtf8(std::u32string(1, c), out);
    EXPECT_EQ(out, bytes);
  }
}

} // namespace
