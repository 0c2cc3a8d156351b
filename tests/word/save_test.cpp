// Saving a package: what is written must read back before it replaces anything. What Word
// repairs (missing content types or root relationships, characters XML does not allow) is
// repaired and written; a package the model or another program could not open is refused with
// a reason, the file it would have replaced keeps its bytes and no temporary file stays.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "../common/temp_folder.h"
#include "model_helpers.h"
#include "word/error.h"

namespace fs = std::filesystem;

namespace {

std::string body(const std::string& text) {
  return "<w:p><w:r><w:t>" + text + "</w:t></w:r></w:p>";
}

TEST(SaveReadBack, RepairableOutputsAreRepairedUnreadableOnesReplaceNothing) {
  struct Case {
    const char* name;
    std::function<std::unique_ptr<word::Package>()> make;
    const char* reasonPart; // "" = saved, and it reads back
  } cases[] = {
      {"a plain document", [] { return qftest::makePackage(body("正文")); }, ""},
      {"a control character as a reference", [] { return qftest::makePackage(body("前&#1;后")); },
       ""},
      {"a NUL reference", [] { return qftest::makePackage(body("前&#x0;后")); }, ""},
      {"bytes that are not UTF-8", [] { return qftest::makePackage(body("\xC7\xEB\xB0\xB4")); },
       "UTF-8"},
      {"no content types",
       [] {
         auto p = qftest::makePackage(body("正文"));
         p->remove("[Content_Types].xml");
         return p;
       },
       ""},
      {"no root relationships",
       [] {
         auto p = qftest::makePackage(body("正文"));
         p->remove("_rels/.rels");
         return p;
       },
       ""},
      {"a part that is not well-formed",
       [] {
         auto p = qftest::makePackage(body("正文"));
         p->setBytes("word/styles.xml", "<w:styles><unclosed></w:styles>");
         return p;
       },
       "word/styles.xml"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    qftest::TempFolder dir;
    const fs::path out = dir / "out.docx";
    qftest::writeFile(out, "the previous result");
    std::string reason;
    try {
      auto doc = word::Document::fromPackage(c.make(), "in.docx");
      doc->savePackage(out.string());
    } catch (const word::DocumentError& e) {
      reason = e.what();
    }
    if (*c.reasonPart == '\0') {
      EXPECT_EQ(reason, "");
      EXPECT_NE(qftest::readFile(out), "the previous result");
      EXPECT_NO_THROW(word::Document::openPackage(out.string())->paragraphs().count());
    } else {
      EXPECT_NE(reason.find(c.reasonPart), std::string::npos) << reason;
      EXPECT_EQ(qftest::readFile(out), "the previous result");
    }
    size_t entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path()))
      ++entries;
    EXPECT_EQ(entries, 1u) << "a temporary file stayed";
  }
}

} // namespace
