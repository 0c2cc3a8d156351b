// The read-back of a saved package: the written file is read once, every XML part checked, the
// main part parsed into the package the caller's check receives (never a second time), and a
// file that would not read back replaces nothing, with the part and the reason named.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "../common/temp_folder.h"
#include "model_helpers.h"
#include "word/error.h"

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

} // namespace
