#include "word/textimport.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <unistd.h>

#include "base/encoding.h"
#include "base/messages.h"
#include "word/error.h"

namespace {

// Converts UTF-8 to `encoding`; returns false when a character has no mapping.
bool encodeAs(const std::string& utf8, const char* encoding, std::string& out) {
  return base::convertFromUtf8(utf8, encoding, out);
}

std::string encoded(const std::string& utf8, const char* encoding) {
  std::string out;
  EXPECT_TRUE(encodeAs(utf8, encoding, out)) << encoding;
  return out;
}

const std::string kChinese = "关于印发《公文排版规范》的通知\r\n第一条　总则。\r\n";
const std::string kTraditional = "關於印發《公文排版規範》的通知\r\n第一條　為統一本機關公文格式，"
                                 "特訂定本規範。\r\n";
const std::string kAscii = "Hello, world\r\nLine two\r\n";
// U+20087 lies outside GBK; GB18030 has it as a four-byte sequence.
const std::string kRareHan = "\xF0\xA0\x82\x87";

struct DecodeCase {
  const char* name;
  std::string bytes;
  std::string utf8;
  std::string encoding;
  bool confident = true;
};

class DecodeText : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeText, DetectsEncodingAndDecodes) {
  const auto& c = GetParam();
  word::DecodedText got = word::decodeText(c.bytes);
  EXPECT_EQ(got.encoding, c.encoding);
  EXPECT_EQ(got.utf8, c.utf8);
  EXPECT_EQ(got.confident, c.confident);
}

TEST(DecodeTextTest, BytesThatFitSeveralEncodingsAreReadButNotTrusted) {
  // Two bytes that are a character in GB18030 and in Big5 alike, too few to tell by.
  word::DecodedText got = word::decodeText("\xA4\x40");
  EXPECT_FALSE(got.confident) << got.encoding;
}

std::vector<DecodeCase> decodeCases() {
  const std::string mixed = "正文 " + kRareHan + " text";
  return {
      {"Empty", "", "", "UTF-8"},
      {"Utf8", kChinese, kChinese, "UTF-8"},
      {"Utf8Bom", "\xEF\xBB\xBF" + kChinese, kChinese, "UTF-8 BOM"},
      {"Utf8WithNulOddLength", std::string("abc\0def", 7), std::string("abc\0def", 7), "UTF-8"},
      {"Gbk", encoded(kChinese, "GBK"), kChinese, "GB18030"},
      {"Gb2312", encoded("中文", "GB2312"), "中文", "GB18030"},
      // Three Chinese characters are as much Big5 as GB18030: read, but not trusted.
      {"Gb18030FourByte", encoded(mixed, "GB18030"), mixed, "GB18030", false},
      {"Utf16LeBom", "\xFF\xFE" + encoded(kChinese, "UTF-16LE"), kChinese, "UTF-16LE"},
      {"Utf16BeBom", "\xFE\xFF" + encoded(kChinese, "UTF-16BE"), kChinese, "UTF-16BE"},
      {"Utf16LeBomSurrogatePair", "\xFF\xFE" + encoded(mixed, "UTF-16LE"), mixed, "UTF-16LE"},
      {"Utf16LeNoBomAscii", encoded(kAscii, "UTF-16LE"), kAscii, "UTF-16LE"},
      {"Utf16BeNoBomAscii", encoded(kAscii, "UTF-16BE"), kAscii, "UTF-16BE"},
      {"Utf16LeNoBomChinese", encoded(kChinese, "UTF-16LE"), kChinese, "UTF-16LE"},
      {"Utf16BeNoBomChinese", encoded(kChinese, "UTF-16BE"), kChinese, "UTF-16BE"},
      {"Big5", encoded(kTraditional, "BIG5"), kTraditional, "Big5"},
      {"Big5Short", encoded("臺灣省政府公報", "BIG5"), "臺灣省政府公報", "Big5"},
      {"GbkTraditionalCharacters", encoded(kTraditional, "GBK"), kTraditional, "GB18030"},
  };
}

INSTANTIATE_TEST_SUITE_P(Encodings, DecodeText, testing::ValuesIn(decodeCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DecodeTextTest, RareHanIsOutsideGbk) {
  // Guards the four-byte case above: it must exercise what GBK cannot express.
  std::string out;
  EXPECT_FALSE(encodeAs(kRareHan, "GBK", out));
}

struct BadCase {
  const char* name;
  std::string bytes;
  std::string reason;
};

class DecodeTextFails : public testing::TestWithParam<BadCase> {};

TEST_P(DecodeTextFails, ThrowsWithReason) {
  try {
    word::decodeText(GetParam().bytes);
    FAIL() << "no error";
  } catch (const word::DocumentError& e) {
    EXPECT_EQ(e.reason(), GetParam().reason);
  }
}

const std::string kNoEncoding = msg::kTextNoEncoding;

INSTANTIATE_TEST_SUITE_P(Encodings, DecodeTextFails,
                         testing::Values(BadCase{"InvalidGb18030Byte", "abc\x80xyz", kNoEncoding},
                                         BadCase{"TruncatedGb18030", "\xD6\xD0\xCE", kNoEncoding},
                                         BadCase{"Utf8BomThenLatin1",
                                                 "\xEF\xBB\xBF"
                                                 "caf\xE9",
                                                 msg::text(msg::kTextBadBom, "UTF-8")},
                                         BadCase{"Utf16LeOddLength",
                                                 std::string("\xFF\xFE"
                                                             "a\0b",
                                                             5),
                                                 msg::text(msg::kTextBadBom, "UTF-16LE")},
                                         BadCase{"Utf16BeLoneSurrogate",
                                                 std::string("\xFE\xFF\xD8\x00\x00\x41", 6),
                                                 msg::text(msg::kTextBadBom, "UTF-16BE")}),
                         [](const auto& info) { return std::string(info.param.name); });

struct SplitCase {
  const char* name;
  std::string text;
  std::vector<std::string> lines;
};

class SplitLines : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitLines, EndsLinesAtCrLfAndCrLf) {
  EXPECT_EQ(word::splitLines(GetParam().text), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    LineEnds, SplitLines,
    testing::Values(SplitCase{"Empty", "", {}}, SplitCase{"NoLineEnd", "abc", {"abc"}},
                    SplitCase{"Lf", "a\nb", {"a", "b"}}, SplitCase{"Cr", "a\rb", {"a", "b"}},
                    SplitCase{"CrLf", "a\r\nb", {"a", "b"}},
                    SplitCase{"TrailingLf", "a\nb\n", {"a", "b"}},
                    SplitCase{"TrailingCrLf", "a\r\n", {"a"}}, SplitCase{"OnlyLineEnd", "\n", {""}},
                    SplitCase{"BlankLines", "a\r\n\r\nb\n\n", {"a", "", "b", ""}},
                    SplitCase{"LfCrIsTwoEnds", "a\n\rb", {"a", "", "b"}},
                    SplitCase{"Mixed", "一\r二\n三\r\n四", {"一", "二", "三", "四"}},
                    SplitCase{"KeepsSpacesAndTabs", " a\t\n\tb ", {" a\t", "\tb "}}),
    [](const auto& info) { return std::string(info.param.name); });

// The body's paragraphs as text: w:t contents joined, w:tab as '\t'.
std::vector<std::string> paragraphTexts(const pugi::xml_document& doc) {
  std::vector<std::string> out;
  for (auto p : doc.child("w:document").child("w:body").children("w:p")) {
    std::string text;
    for (auto r : p.children("w:r"))
      for (auto child : r.children()) {
        if (std::string_view(child.name()) == "w:t")
          text += child.text().get();
        if (std::string_view(child.name()) == "w:tab")
          text += '\t';
      }
    out.push_back(text);
  }
  return out;
}

void parsePart(word::Package& pkg, const std::string& name, pugi::xml_document& doc) {
  ASSERT_TRUE(pkg.has(name)) << name;
  auto result =
      doc.load_string(pkg.bytes(name).c_str(), pugi::parse_default | pugi::parse_ws_pcdata);
  ASSERT_TRUE(result) << name << ": " << result.description();
}

struct PackageCase {
  const char* name;
  std::vector<std::string> paragraphs;
  std::vector<std::string> expected;
};

class MakeTextPackage : public testing::TestWithParam<PackageCase> {};

TEST_P(MakeTextPackage, BodyHoldsOneParagraphPerLine) {
  auto pkg = word::makeTextPackage(GetParam().paragraphs);
  pugi::xml_document doc;
  parsePart(*pkg, "word/document.xml", doc);
  EXPECT_EQ(paragraphTexts(doc), GetParam().expected);
  for (auto t : doc.select_nodes("//w:t"))
    EXPECT_STREQ(t.node().attribute("xml:space").value(), "preserve");
  // The body ends in the section properties.
  EXPECT_STREQ(doc.child("w:document").child("w:body").last_child().name(), "w:sectPr");
}

INSTANTIATE_TEST_SUITE_P(
    Paragraphs, MakeTextPackage,
    testing::Values(
        PackageCase{"NoneGivesOneEmpty", {}, {""}},
        PackageCase{"Plain", {"第一段", "", "第三段"}, {"第一段", "", "第三段"}},
        PackageCase{"Tabs", {"a\tb", "\t\tc\t"}, {"a\tb", "\t\tc\t"}},
        PackageCase{"Escaping", {"<a & \"b\"> 'c'", "]]> &amp;"}, {"<a & \"b\"> 'c'", "]]> &amp;"}},
        PackageCase{
            "SpacesKept", {"  两端  ", "\xE3\x80\x80全角"}, {"  两端  ", "\xE3\x80\x80全角"}},
        PackageCase{"ControlsDropped",
                    {std::string("a\x01"
                                 "b\x0B"
                                 "c\x0C"
                                 "d\x1F"
                                 "e\x7F"
                                 "f\r\ng\0h",
                                 16),
                     "\xC2\x85x\xEF\xBF\xBF"},
                    {"abcdefgh", "x"}},
        PackageCase{"InvalidUtf8Replaced", {"a\xFFz"}, {"a\xEF\xBF\xBDz"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MakeTextPackageTest, PackageIsAMinimalWordDocument) {
  auto pkg = word::makeTextPackage({"正文"});
  EXPECT_EQ(pkg->mainPart(), "word/document.xml");
  EXPECT_EQ(pkg->contentType("word/document.xml"),
            "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml");
  EXPECT_EQ(pkg->contentType("word/styles.xml"),
            "application/vnd.openxmlformats-officedocument.wordprocessingml.styles+xml");
  std::vector<std::string> targets;
  for (const auto& rel : pkg->relationships("word/document.xml"))
    targets.push_back(rel.target);
  EXPECT_EQ(targets, (std::vector<std::string>{"word/styles.xml", "word/settings.xml"}));

  pugi::xml_document doc;
  parsePart(*pkg, "word/document.xml", doc);
  auto sect = doc.child("w:document").child("w:body").child("w:sectPr");
  EXPECT_EQ(sect.child("w:pgSz").attribute("w:w").as_int(), 11906);
  EXPECT_EQ(sect.child("w:pgSz").attribute("w:h").as_int(), 16838);
  EXPECT_FALSE(sect.child("w:pgSz").attribute("w:orient"));
  auto mar = sect.child("w:pgMar");
  EXPECT_EQ(mar.attribute("w:top").as_int(), 1440);
  EXPECT_EQ(mar.attribute("w:bottom").as_int(), 1440);
  EXPECT_EQ(mar.attribute("w:left").as_int(), 1800);
  EXPECT_EQ(mar.attribute("w:right").as_int(), 1800);

  pugi::xml_document styles;
  parsePart(*pkg, "word/styles.xml", styles);
  auto rPr = styles.select_node("/w:styles/w:docDefaults/w:rPrDefault/w:rPr").node();
  EXPECT_STREQ(rPr.child("w:rFonts").attribute("w:eastAsia").value(), "宋体");
  EXPECT_STREQ(rPr.child("w:rFonts").attribute("w:ascii").value(), "Times New Roman");
  EXPECT_EQ(rPr.child("w:sz").attribute("w:val").as_int(), 21);
  auto normal = styles.select_node("/w:styles/w:style[@w:styleId='Normal']").node();
  EXPECT_STREQ(normal.attribute("w:type").value(), "paragraph");
  EXPECT_STREQ(normal.attribute("w:default").value(), "1");
  auto dpf = styles.select_node("/w:styles/w:style[@w:type='character'][@w:default='1']").node();
  EXPECT_STREQ(dpf.attribute("w:styleId").value(), "DefaultParagraphFont");

  pugi::xml_document settings;
  parsePart(*pkg, "word/settings.xml", settings);
  EXPECT_TRUE(settings.child("w:settings"));
}

TEST(MakeTextPackageTest, OutputIsDeterministicAndReopens) {
  std::vector<std::string> lines = {"一", "二\t三", "<&>"};
  std::string first = word::makeTextPackage(lines)->saveToString();
  EXPECT_EQ(first, word::makeTextPackage(lines)->saveToString());

  char path[] = "/tmp/qf-textimport-XXXXXX.docx";
  int fd = mkstemps(path, 5);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, first.data(), first.size()), static_cast<ssize_t>(first.size()));
  close(fd);
  auto reopened = word::Package::open(path);
  unlink(path);
  pugi::xml_document doc;
  parsePart(*reopened, "word/document.xml", doc);
  EXPECT_EQ(paragraphTexts(doc), lines);
}

class ImportTextFile : public testing::Test {
protected:
  void SetUp() override {
    char tmpl[] = "/tmp/qf-textimport-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::string cmd = "rm -rf '" + dir_ + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
  }
  std::string write(const std::string& name, const std::string& bytes) {
    std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::string dir_;
};

TEST_F(ImportTextFile, ReadsGbkWithCrLf) {
  std::string path = write("通知.txt", encoded("标题\r\n\r\n正文\t一\r\n", "GBK"));
  std::string encoding;
  auto pkg = word::importTextFile(path, &encoding);
  EXPECT_EQ(encoding, "GB18030");
  pugi::xml_document doc;
  parsePart(*pkg, "word/document.xml", doc);
  EXPECT_EQ(paragraphTexts(doc), (std::vector<std::string>{"标题", "", "正文\t一"}));
}

TEST_F(ImportTextFile, EmptyFileGivesOneEmptyParagraph) {
  auto pkg = word::importTextFile(write("empty.txt", ""));
  pugi::xml_document doc;
  parsePart(*pkg, "word/document.xml", doc);
  EXPECT_EQ(paragraphTexts(doc), std::vector<std::string>{""});
}

TEST_F(ImportTextFile, ErrorsNameTheFile) {
  struct Case {
    std::string path, reasonStart;
  };
  const Case cases[] = {
      {dir_ + "/missing.txt", "无法读取文件（"},
      {dir_, msg::kFileNotRegular},
      {write("bad.txt", "\xFF\xFF\xFF"), kNoEncoding},
  };
  for (const auto& c : cases) {
    try {
      word::importTextFile(c.path);
      ADD_FAILURE() << c.path << ": no error";
    } catch (const word::DocumentError& e) {
      EXPECT_EQ(e.file(), c.path);
      EXPECT_EQ(e.reason().rfind(c.reasonStart, 0), 0u) << e.reason();
    }
  }
}

} // namespace
