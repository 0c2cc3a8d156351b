// What the model writes stays as small as the meaning allows: "not bold" and zero indents are
// written only where a style, the defaults or a list level would say otherwise, and a part
// too large to keep twice in memory is saved through a temporary file and reads back whole.

#include <gtest/gtest.h>

#include "tests/word/model_helpers.h"
#include "word/document.h"
#include "word/internal/access.h"

namespace {

using qftest::para;
using qftest::run;

const std::string kStyles =
    "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name w:val=\"Normal\"/>"
    "</w:style>"
    "<w:style w:type=\"paragraph\" w:styleId=\"Strong\"><w:name w:val=\"Strong\"/>"
    "<w:pPr><w:ind w:left=\"720\"/></w:pPr><w:rPr><w:b/></w:rPr></w:style>"
    "<w:style w:type=\"character\" w:styleId=\"Emph\"><w:name w:val=\"Emph\"/>"
    "<w:rPr><w:bCs/></w:rPr></w:style>";

std::string mainXml(word::Document& d) {
  return word::packageOf(d).bytes("word/document.xml");
}

TEST(LeanOutput, NotBoldIsWrittenOnlyWhereSomethingAboveIsBold) {
  struct Case {
    const char* name;
    std::string paragraph;
    bool written;
  } cases[] = {
      {"plain", para(run("a")), false},
      {"direct bold is removed", para(run("a", "<w:b/><w:bCs/>")), false},
      {"bold paragraph style", para(run("a"), "<w:pStyle w:val=\"Strong\"/>"), true},
      {"character style", para(run("a", "<w:rStyle w:val=\"Emph\"/>")), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto d = qftest::makeDoc(c.paragraph, kStyles);
    d->contentRange().font().setBold(false);
    auto back = qftest::roundTrip(*d);
    EXPECT_EQ(back->contentRange().font().bold(), 0);
    EXPECT_EQ(mainXml(*d).find("w:b w:val=\"0\"") != std::string::npos, c.written) << mainXml(*d);
  }
}

TEST(LeanOutput, ZeroIndentsAreWrittenOnlyWhereSomethingAboveIndents) {
  struct Case {
    const char* name;
    std::string paragraph;
    bool written;
  } cases[] = {
      {"plain", para(run("a")), false},
      {"indented style", para(run("a"), "<w:pStyle w:val=\"Strong\"/>"), true},
      {"list paragraph",
       para(run("a"), "<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/>"
                      "</w:numPr>"),
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto d = qftest::makeDoc(c.paragraph, kStyles);
    auto f = d->contentRange().paragraphFormat();
    f.setLeftIndent(0);
    f.setRightIndent(0);
    f.setFirstLineIndent(0);
    EXPECT_EQ(qftest::roundTrip(*d)->contentRange().paragraphFormat().leftIndent(), 0.0f);
    EXPECT_EQ(mainXml(*d).find("w:left=\"0\"") != std::string::npos, c.written) << mainXml(*d);
  }
}

TEST(LeanOutput, ALargePartIsSavedWholeThroughATemporaryFile) {
  // About 12 MiB of document XML: above the size kept in memory while saving.
  std::string body;
  const int paragraphs = 30000;
  for (int i = 0; i < paragraphs; ++i)
    body += para(run("第" + std::to_string(i) + "段：为进一步加强和规范公文处理工作。"),
                 "<w:spacing w:before=\"20\" w:after=\"0\" w:line=\"560\" w:lineRule=\"exact\"/>");
  auto d = qftest::makeDoc(body);
  d->contentRange().font().setName("仿宋_GB2312");
  ASSERT_GT(mainXml(*d).size(), size_t(8) << 20);
  auto back = qftest::roundTrip(*d);
  EXPECT_EQ(back->paragraphs().count(), paragraphs);
  EXPECT_EQ(mainXml(*back), mainXml(*d));
  EXPECT_EQ(d->saveToString(), d->saveToString()) << "saving is not deterministic";
}

} // namespace
