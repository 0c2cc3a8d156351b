// The read-back of a saved package: the written file is read once, every XML part checked, the
// main part parsed into the package the caller's check receives (never a second time), and a
// file that would not read back replaces nothing, with the part and the reason named.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "../common/temp_folder.h"
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

} // namespace
