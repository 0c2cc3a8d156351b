// ASCII case folding: the 26 letters change, every other byte stays as it is.

#include <gtest/gtest.h>

#include <string>

#include "base/ascii.h"

namespace {

TEST(Ascii, OnlyTheLettersAmongCodePointsChange) {
  // Fullwidth Ａ, Latin-1 À, Cyrillic А, Greek Σ and the neighbours of the ASCII letters.
  for (char32_t c :
       {U'@', U'[', U'`', U'{', U'\uFF21', U'\u00C0', U'\u0410', U'\u03A3', U'\U00010400'})
    EXPECT_EQ(base::lowerAscii(c), c) << static_cast<uint32_t>(c);
  EXPECT_EQ(base::lowerAscii(U'A'), U'a');
  EXPECT_EQ(base::lowerAscii(U'Z'), U'z');
  EXPECT_EQ(base::lowerAscii(U'q'), U'q');
}

TEST(Ascii, OnlyTheLettersOfEveryByteValueChange) {
  for (int v = 0; v < 256; ++v) {
    const char c = static_cast<char>(v);
    const bool upper = v >= 'A' && v <= 'Z', lower = v >= 'a' && v <= 'z';
    EXPECT_EQ(base::lowerAscii(c), upper ? static_cast<char>(v + 32) : c) << v;
    EXPECT_EQ(base::upperAscii(c), lower ? static_cast<char>(v - 32) : c) << v;
  }
}

struct FoldCase {
  const char* name;
  std::string text, lower, upper;
};

class AsciiFold : public ::testing::TestWithParam<FoldCase> {};

TEST_P(AsciiFold, LowersAndUppersTheLettersOnly) {
  const FoldCase& c = GetParam();
  EXPECT_EQ(base::lowerAscii(c.text), c.lower);
  EXPECT_EQ(base::upperAscii(c.text), c.upper);
  std::string inPlace = c.text;
  base::lowerAsciiInPlace(inPlace.data(), inPlace.size());
  EXPECT_EQ(inPlace, c.lower);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, AsciiFold,
    ::testing::Values(
        FoldCase{"empty", "", "", ""},
        FoldCase{"mixed", "WordDocument", "worddocument", "WORDDOCUMENT"},
        FoldCase{"digits_punctuation", "GB_2312-80.x", "gb_2312-80.x", "GB_2312-80.X"},
        // UTF-8 宋体 and Ä: no byte of a multi-byte sequence is a letter.
        FoldCase{"utf8", "A\xE5\xAE\x8B\xE4\xBD\x93\xC3\x84z", "a\xE5\xAE\x8B\xE4\xBD\x93\xC3\x84z",
                 "A\xE5\xAE\x8B\xE4\xBD\x93\xC3\x84Z"},
        // GB18030 宋体 (CB CE CC E5) and Latin-1 À (C0), which a Latin-1 locale would fold.
        FoldCase{"gb18030_latin1", "\xCB\xCE\xCC\xE5\xC0q", "\xCB\xCE\xCC\xE5\xC0q",
                 "\xCB\xCE\xCC\xE5\xC0Q"},
        FoldCase{"nul_inside", std::string("A\0b", 3), std::string("a\0b", 3),
                 std::string("A\0B", 3)}),
    [](const auto& info) { return std::string(info.param.name); });

struct CompareCase {
  std::string a, b;
  bool equal;
};

class AsciiEquals : public ::testing::TestWithParam<CompareCase> {};

TEST_P(AsciiEquals, IgnoresTheCaseOfLettersOnly) {
  const CompareCase& c = GetParam();
  EXPECT_EQ(base::equalsNoCase(c.a, c.b), c.equal) << c.a << " / " << c.b;
  EXPECT_EQ(base::equalsNoCase(c.b, c.a), c.equal) << c.b << " / " << c.a;
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, AsciiEquals,
    ::testing::Values(CompareCase{"", "", true}, CompareCase{"UTF-8", "utf-8", true},
                      CompareCase{"Rels", "rELS", true}, CompareCase{"rels", "rel", false},
                      CompareCase{"rels", "rels ", false}, CompareCase{"[Paths]", "[paths]", true},
                      // '@' and '`' sit next to 'A' and 'a'; '[' is 'Z' + 1.
                      CompareCase{"@", "`", false}, CompareCase{"[", "{", false},
                      CompareCase{"\xC3\x84", "\xC3\xA4", false}, // Ä and ä: bytes, not letters
                      CompareCase{"\xC0", "\xE0", false}));

TEST(Ascii, LowerExtensionKeepsTheDotAndIgnoresFolders) {
  const std::pair<const char*, const char*> cases[] = {
      {"a/B.DOCX", ".docx"}, {"Report.Doc", ".doc"}, {"README", ""},
      {"dir.D/file", ""},    {"x.tar.GZ", ".gz"},    {"\xE6\x96\x87.TXT", ".txt"},
  };
  for (const auto& [path, ext] : cases)
    EXPECT_EQ(base::lowerExtension(path), ext) << path;
}

} // namespace
