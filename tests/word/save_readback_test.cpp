// The read-back of a saved package: the written file is read once, every XML part checked, the
// main part parsed into the package the caller's check receives (never a second time), and a
// file that would not read back replaces nothing, with the part and the reason named.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "../common/temp_folder.h"
#include "base/messages.h"
#include "model_helpers.h"
#include "word/census.h"
#include "word/error.h"
#include "word/package.h"
#include "word/text.h"

namespace fs = std::filesystem;

namespace {

const char* const kBody = "<w:p><w:r><w:t>正文</w:t></w:r></w:p>";
const char* const kStyles = "<w:style w:type=\"paragraph\" w:styleId=\"A\"/>";

TEST(SaveReadBackOnce, MainPartParsedOnceOthersCheckedOrRefused) {
  struct Case {
    const char* name;
    const char* part; // replaced by `bytes` ("" = none)
    const char* bytes;
    const char* refused; // the part a refusal names ("" = saved)
  } cases[] = {
      {"a sound package", "", "", ""},
      {"a main part that does not parse", "word/document.xml",
       "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
       "<w:body></w:document>",
       "word/document.xml"},
      {"a main part that is not UTF-8", "word/document.xml",
       "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
       "<w:body><w:p><w:r><w:t>\xC7\xEB</w:t></w:r></w:p></w:body></w:document>",
       "UTF-8"},
      {"another part that does not parse", "word/styles.xml", "<w:styles><open></w:styles>",
       "word/styles.xml"},
      {"root relationships that do not parse", "_rels/.rels", "<Relationships>", "_rels/.rels"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    qftest::TempFolder dir;
    const fs::path out = dir / "out.docx";
    qftest::writeFile(out, "before");
    auto pkg = qftest::makePackage(kBody, kStyles);
    if (*c.part)
      pkg->setBytes(c.part, c.bytes);
    bool mainParsed = false, stylesParsed = true;
    std::string reason;
    try {
      pkg->save(out.string(), [&](std::unique_ptr<word::Package>& written) {
        mainParsed = written->parsed(written->mainPart());
        stylesParsed = written->parsed("word/styles.xml");
        // The model takes the package over as it is.
        auto doc = word::Document::fromPackage(std::move(written), "written.docx");
        EXPECT_EQ(doc->paragraphs().item(1).range().text(), "正文\r");
      });
    } catch (const word::DocumentError& e) {
      reason = e.what();
    }
    if (*c.refused) {
      EXPECT_NE(reason.find(c.refused), std::string::npos) << reason;
      EXPECT_EQ(qftest::readFile(out), "before");
    } else {
      EXPECT_EQ(reason, "");
      EXPECT_TRUE(mainParsed) << "the check would parse the main part again";
      EXPECT_FALSE(stylesParsed) << "a checked part stayed parsed";
      EXPECT_NE(qftest::readFile(out), "before");
    }
  }
}

// The read-back main part is parsed where its bytes are: its tree, what it serialises to and
// the census taken of it must be those of the same bytes parsed the ordinary way, whatever
// escaping, line ends or characters the text holds, and after the package changes hands.
TEST(SaveReadBackOnce, MainPartParsedInItsBytesKeepsItsContent) {
  struct Case {
    const char* name;
    std::string body;
  } cases[] = {
      {"plain text", kBody},
      {"escaped markup and character references",
       "<w:p><w:r><w:t>a&amp;b&lt;c&gt;&#x4E2D;&#25991;&quot;</w:t></w:r></w:p>"},
      {"attribute values with references",
       "<w:p><w:pPr><w:pStyle w:val=\"A&amp;B&#x41;\"/></w:pPr><w:r><w:t>x</w:t></w:r></w:p>"},
      {"line ends and whitespace text kept",
       "<w:p><w:r><w:t xml:space=\"preserve\">  \r\n\t甲\r乙\n</w:t></w:r>\r\n  </w:p>"},
      {"many paragraphs",
       [] {
         std::string b;
         for (int i = 0; i < 3000; ++i)
           b += "<w:p><w:r><w:t>第" + std::to_string(i) + "段&amp;</w:t></w:r></w:p>";
         return b;
       }()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    qftest::TempFolder dir;
    auto pkg = qftest::makePackage(c.body, kStyles);
    const std::string main = pkg->mainPart();
    pugi::xml_document expected;
    word::parseXml(expected, pkg->bytes(main), main, 256);
    const std::string expectedXml = word::serializeXml(expected);
    const std::u32string expectedText = word::takeCensus(*pkg).text;
    std::string got, gotAgain;
    std::u32string gotText;
    pkg->save((dir / "out.docx").string(), [&](std::unique_ptr<word::Package>& written) {
      std::unique_ptr<word::Package> taken = std::move(written);
      got = taken->bytes(main);
      gotText = word::takeCensus(*taken).text;
      // Changed after reading: the tree's untouched strings still read right.
      taken->xml(main)->document_element().append_attribute("x").set_value("1");
      taken->markDirty(main);
      gotAgain = taken->bytes(main);
    });
    EXPECT_EQ(got, expectedXml);
    EXPECT_EQ(word::toUtf8(gotText), word::toUtf8(expectedText));
    EXPECT_NE(gotAgain.find(" x=\"1\""), std::string::npos);
    EXPECT_EQ(gotAgain.substr(gotAgain.find("<w:body>")), got.substr(got.find("<w:body>")));
  }
}

// The scan of written bytes for what an XML reader refuses: every class of byte sequence and
// character reference it must refuse (with the offset and the character), and the neighbours
// of each that it must accept.
TEST(XmlTextScan, RefusesWhatXml10ForbidsAndNothingElse) {
  constexpr uint64_t kNotUtf8 = UINT64_MAX; // refused as bytes that are not UTF-8
  constexpr size_t kAccepted = std::string::npos;
  struct Case {
    const char* name;
    std::string bytes;
    uint64_t character; // the refused character (or kNotUtf8)
    size_t at;          // offset of the refusal (or kAccepted)
  } cases[] = {
      {"empty", "", 0, kAccepted},
      {"ASCII text and markup", "<a b=\"c\">d e~\x7F</a>", 0, kAccepted},
      {"tab, line feed, carriage return", "a\tb\nc\rd", 0, kAccepted},
      {"Chinese text", "为进一步加强和规范公文处理工作，", 0, kAccepted},
      {"U+0080 and U+0085", "\xC2\x80\xC2\x85", 0, kAccepted},
      {"U+D7FF, last before the surrogates", "\xED\x9F\xBF", 0, kAccepted},
      {"U+E000, first after the surrogates", "\xEE\x80\x80", 0, kAccepted},
      {"U+FFFD", "\xEF\xBF\xBD", 0, kAccepted},
      {"U+10000 and U+10FFFF", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", 0, kAccepted},
      {"NUL", std::string("ab\0c", 4), 0x0, 2},
      {"U+0001", "x\x01", 0x1, 1},
      {"U+0008", "\x08", 0x8, 0},
      {"vertical tab", "ab\x0B", 0xB, 2},
      {"form feed", "\x0C", 0xC, 0},
      {"U+001F", "文\x1F", 0x1F, 3},
      {"U+FFFE", "a\xEF\xBF\xBE", 0xFFFE, 1},
      {"U+FFFF", "文文\xEF\xBF\xBF", 0xFFFF, 6},
      {"a lone continuation byte", "ab\x80", kNotUtf8, 2},
      {"GBK bytes", "\xC7\xEB", kNotUtf8, 0},
      {"an overlong two-byte form", "\xC0\x80", kNotUtf8, 0},
      {"an overlong three-byte form", "a\xE0\x80\x80", kNotUtf8, 1},
      {"a surrogate", "\xED\xA0\x80", kNotUtf8, 0},
      {"above U+10FFFF", "\xF4\x90\x80\x80", kNotUtf8, 0},
      {"F5", "\xF5\x80\x80\x80", kNotUtf8, 0},
      {"a sequence cut short at the end", "文\xE6\x96", kNotUtf8, 3},
      {"a sequence cut short by ASCII", "\xE6\x96x", kNotUtf8, 0},
      {"FF not followed by FE", "\xFF\x41", kNotUtf8, 0},
      {"UTF-16 text is the parser's", std::string("\xFF\xFE<\0a\0\x01\0", 8), 0, kAccepted},
      {"UTF-16 big-endian too", std::string("\xFE\xFF\0<\0\x01", 6), 0, kAccepted},
      {"allowed references", "&#9;&#10;&#13;&#32;&#x41;&#xD7FF;&#xE000;&#xFFFD;&#x10FFFF;", 0,
       kAccepted},
      {"entity references", "&amp;&lt;&#;&#x;&#12&#x1", 0, kAccepted},
      {"&#0;", "a&#0;", 0x0, 1},
      {"&#x0;", "&#x0;", 0x0, 0},
      {"&#8;", "文&#8;", 0x8, 3},
      {"&#xB;", "&#xB;", 0xB, 0},
      {"&#x1f; in lower case", "&#x1f;", 0x1F, 0},
      {"&#xD800;", "&#xD800;", 0xD800, 0},
      {"&#57343; (U+DFFF)", "&#57343;", 0xDFFF, 0},
      {"&#xFFFE;", "&#xFFFE;", 0xFFFE, 0},
      {"&#65535;", "ab&#65535;", 0xFFFF, 2},
      {"&#x110000;", "&#x110000;", 0x110000, 0},
      {"a reference too large for 32 bits", "&#x100000041;", 0x100000041, 0},
      {"a decimal reference with a letter", "&#1a;", 0, kAccepted},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string want = c.at == kAccepted ? ""
                             : c.character == kNotUtf8
                                 ? msg::text(msg::kSaveNotUtf8, c.at)
                                 : msg::text(msg::kSaveBadChar, c.character, c.at);
    EXPECT_EQ(word::xmlTextProblem(c.bytes), want);
  }
}

// Every single byte at every position of a longer ASCII text (the scan takes plain ASCII
// several bytes at a time, so a refused byte must be found wherever it stands in a block).
TEST(XmlTextScan, EveryByteAtEveryPosition) {
  for (size_t at = 0; at < 20; ++at) {
    for (unsigned byte = 1; byte < 0x100; ++byte) {
      std::string text(20, 'a');
      text[at] = static_cast<char>(byte);
      std::string want;
      if (byte >= 0x80)
        want = msg::text(msg::kSaveNotUtf8, at);
      else if (byte < 0x20 && byte != 0x9 && byte != 0xA && byte != 0xD)
        want = msg::text(msg::kSaveBadChar, byte, at);
      EXPECT_EQ(word::xmlTextProblem(text), want) << "byte " << byte << " at " << at;
    }
    std::string text(20, 'a');
    text.replace(at, 4, "&#1;");
    EXPECT_EQ(word::xmlTextProblem(text.substr(0, 20)),
              at + 4 <= 20 ? msg::text(msg::kSaveBadChar, 1, at) : "")
        << "reference at " << at;
    text = std::string(20, 'a');
    text.insert(at, "文\xEF\xBF\xBF");
    EXPECT_EQ(word::xmlTextProblem(text), msg::text(msg::kSaveBadChar, 0xFFFF, at + 3));
  }
}

} // namespace
