// Properties written on many paragraphs share their strings with templates the document holds:
// a copy changed later must change alone, the templates must never reach a written part or be
// taken for content, and values with markup characters must come out as they went in.

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <string>

#include "tests/word/model_helpers.h"
#include "word/document.h"
#include "word/font.h"
#include "word/fonts.h"
#include "word/internal/access.h"
#include "word/internal/shared_xml.h"
#include "word/package.h"
#include "word/paragraph_format.h"

namespace {

using qftest::para;
using qftest::run;

std::string mainXml(word::Document& d) {
  return word::packageOf(d).bytes("word/document.xml");
}

// The properties of paragraph `i` (from 1) and of its run in the saved main part: its XML
// from <w:p> to the run's text.
std::string paragraphXml(word::Document& d, int i) {
  const std::string xml = mainXml(d);
  size_t at = 0;
  for (int k = 0; k < i; ++k)
    at = xml.find("<w:p>", k == 0 ? 0 : at + 1);
  return at == std::string::npos ? std::string() : xml.substr(at, xml.find("<w:t", at) - at);
}

// --- pugixml's copies of templates: setting a value never writes through to another copy ----

struct ValueCase {
  const char* label;
  const char* later; // the value one copy is given afterwards
};

class SharedCopies : public ::testing::TestWithParam<ValueCase> {};

TEST_P(SharedCopies, ChangeAlone) {
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string("<w:root><w:a/><w:b/></w:root>"));
  word::SharedXml shared(doc.document_element());
  pugi::xml_node tmpl = shared.element("w:sz", {{"w:val", "仿宋_GB2312"}});
  ASSERT_TRUE(tmpl);
  pugi::xml_node one = doc.document_element().child("w:a").append_copy(tmpl);
  pugi::xml_node two = doc.document_element().child("w:b").append_copy(tmpl);
  one.attribute("w:val").set_value(GetParam().later);
  one.set_name("w:x");
  EXPECT_STREQ(one.attribute("w:val").value(), GetParam().later);
  EXPECT_STREQ(two.attribute("w:val").value(), "仿宋_GB2312");
  EXPECT_STREQ(two.name(), "w:sz");
  EXPECT_STREQ(shared.element("w:sz", {{"w:val", "仿宋_GB2312"}}).attribute("w:val").value(),
               "仿宋_GB2312");
  // Templates are found again, not made twice.
  EXPECT_EQ(shared.element("w:sz", {{"w:val", "仿宋_GB2312"}}), tmpl);
}

INSTANTIATE_TEST_SUITE_P(Values, SharedCopies,
                         ::testing::Values(ValueCase{"Shorter", "宋体"},
                                           ValueCase{"SameLength", "黑体_GB2312"},
                                           ValueCase{"Longer", "方正小标宋简体_GB2312"},
                                           ValueCase{"Empty", ""}),
                         [](const auto& info) { return std::string(info.param.label); });

// --- the model: later edits of one paragraph leave the others as they were ---------------------

struct EditCase {
  const char* label;
  void (*later)(word::Range&); // applied to the first paragraph only
  std::string second;          // what the second paragraph's must hold afterwards
};

const std::string kFonts =
    "<w:rFonts w:ascii=\"仿宋\" w:hAnsi=\"仿宋\" w:eastAsia=\"仿宋\" w:cs=\"仿宋\"/>";

class LaterEdits : public ::testing::TestWithParam<EditCase> {};

TEST_P(LaterEdits, LeaveOtherParagraphsAlone) {
  const EditCase& c = GetParam();
  auto doc = qftest::makeDoc(para(run("甲")) + para(run("乙")) + para(run("丙")));
  doc->contentRange().font().apply({"仿宋", 16.0f, std::nullopt});
  word::ParagraphFormat f;
  f.setSpaceBefore(10.0f);
  f.setLineSpacingRule(word::wdLineSpaceExactly);
  f.setLineSpacing(28.0f);
  doc->contentRange().paragraphFormat().apply(f);
  const std::string before = paragraphXml(*doc, 2);
  ASSERT_NE(before.find(kFonts), std::string::npos) << before;
  ASSERT_NE(before.find("w:before=\"200\""), std::string::npos) << before;

  word::Range first = doc->paragraphs().item(1).range();
  c.later(first);
  EXPECT_NE(paragraphXml(*doc, 1), before);
  EXPECT_EQ(paragraphXml(*doc, 2), before);
  EXPECT_EQ(paragraphXml(*doc, 3), before);
  EXPECT_NE(before.find(c.second), std::string::npos) << before;

  // What was written reads back the same.
  const std::string bytes = doc->saveToString();
  auto back =
      word::Document::fromPackage(word::Package::openMemory(bytes, "back.docx"), "back.docx");
  EXPECT_EQ(paragraphXml(*back, 2), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LaterEdits,
    ::testing::Values(
        EditCase{"ShorterFontName", [](word::Range& r) { r.font().setName("宋"); }, kFonts},
        EditCase{"SameLengthFontName", [](word::Range& r) { r.font().setName("黑体"); }, kFonts},
        EditCase{"LongerFontName", [](word::Range& r) { r.font().setName("方正小标宋简体"); },
                 kFonts},
        EditCase{"SmallerSize", [](word::Range& r) { r.font().setSize(5.0f); },
                 "<w:sz w:val=\"32\"/>"},
        EditCase{"SameLengthSize", [](word::Range& r) { r.font().setSize(12.0f); },
                 "<w:szCs w:val=\"32\"/>"},
        EditCase{"SpaceBefore", [](word::Range& r) { r.paragraphFormat().setSpaceBefore(5.0f); },
                 "w:before=\"200\""},
        EditCase{"LineSpacing", [](word::Range& r) { r.paragraphFormat().setLineSpacing(1.0f); },
                 "w:line=\"560\""}),
    [](const auto& info) { return std::string(info.param.label); });

// --- the templates are no content ------------------------------------------------------------

TEST(SharedTemplates, NeverWrittenNorCounted) {
  auto doc = qftest::makeDoc(para(run("甲")) + para(run("乙")));
  doc->contentRange().font().apply({"楷体", 14.0f, std::nullopt});
  doc->contentRange().font().apply({"黑体", 15.0f, std::nullopt});
  const std::string xml = mainXml(*doc);
  EXPECT_EQ(xml.find("楷体"), std::string::npos);
  EXPECT_EQ(xml.find("shared"), std::string::npos);
  EXPECT_EQ(xml.rfind("</w:document>"), xml.size() - 13) << xml.substr(xml.size() - 40);
  // The font first set and then replaced everywhere is used nowhere.
  const std::set<std::string> used = word::fontsUsedIn(*doc);
  EXPECT_EQ(used.count("楷体"), 0u);
  EXPECT_EQ(used.count("黑体"), 1u);
  EXPECT_EQ(doc->readBackProblem(), "");
  // Saved and read back: one root element, the templates gone.
  auto back = word::Document::fromPackage(
      word::Package::openMemory(doc->saveToString(), "back.docx"), "back.docx");
  EXPECT_EQ(mainXml(*back), xml);
}

// --- edits made paragraph by paragraph find the templates the first one made -------------------

// The number of templates the main part holds (elements beside its root element).
size_t templateCount(word::Document& d) {
  pugi::xml_document* x = word::packageOf(d).xml("word/document.xml");
  pugi::xml_node holder = x->last_child();
  if (!word::isSharedXmlHolder(holder))
    return 0;
  return static_cast<size_t>(std::distance(holder.begin(), holder.end()));
}

struct EachCase {
  const char* label;
  void (*edit)(word::Range);
};

class EachParagraph : public ::testing::TestWithParam<EachCase> {};

TEST_P(EachParagraph, MakesNoTemplateTwice) {
  std::string body;
  for (int i = 0; i < 12; ++i)
    body += para(run("段落"));
  auto doc = qftest::makeDoc(body);
  GetParam().edit(doc->paragraphs().item(1).range());
  const size_t once = templateCount(*doc);
  EXPECT_GT(once, 0u);
  for (int i = 2; i <= 12; ++i)
    GetParam().edit(doc->paragraphs().item(i).range());
  EXPECT_EQ(templateCount(*doc), once);
  // Another document made after this one is gone gets templates of its own.
  const std::string xml = mainXml(*doc);
  doc.reset();
  auto next = qftest::makeDoc(body);
  for (int i = 1; i <= 12; ++i)
    GetParam().edit(next->paragraphs().item(i).range());
  EXPECT_EQ(mainXml(*next), xml);
  EXPECT_EQ(templateCount(*next), once);
}

INSTANTIATE_TEST_SUITE_P(Edits, EachParagraph,
                         ::testing::Values(EachCase{"Font",
                                                    [](word::Range r) {
                                                      r.font().apply({"仿宋_GB2312", 16.0f, true});
                                                    }},
                                           EachCase{"Alignment",
                                                    [](word::Range r) {
                                                      r.paragraphFormat().setAlignment(
                                                          word::wdAlignParagraphJustify);
                                                    }},
                                           EachCase{"Spacing",
                                                    [](word::Range r) {
                                                      word::ParagraphFormat f;
                                                      f.setSpaceBefore(10.0f);
                                                      f.setLineSpacingRule(
                                                          word::wdLineSpaceExactly);
                                                      f.setLineSpacing(28.0f);
                                                      r.paragraphFormat().apply(f);
                                                    }}),
                         [](const auto& info) { return std::string(info.param.label); });

// --- values with markup characters -----------------------------------------------------------

class MarkupValues : public ::testing::TestWithParam<const char*> {};

TEST_P(MarkupValues, ComeOutAsTheyWentIn) {
  const std::string name = GetParam();
  auto shared = qftest::makeDoc(para(run("甲")) + para(run("乙")));
  shared->contentRange().font().setName(name);
  // The same name set on each paragraph alone, one edit each.
  auto single = qftest::makeDoc(para(run("甲")) + para(run("乙")));
  for (int i = 1; i <= 2; ++i)
    single->paragraphs().item(i).range().font().setName(name);
  EXPECT_EQ(mainXml(*shared), mainXml(*single));
  auto back = word::Document::fromPackage(
      word::Package::openMemory(shared->saveToString(), "back.docx"), "back.docx");
  EXPECT_EQ(back->paragraphs().item(2).range().font().name(), name);
}

INSTANTIATE_TEST_SUITE_P(Names, MarkupValues,
                         ::testing::Values("A&B", "x<y>z", "say \"hi\"", "it's", "a&amp;b",
                                           "tab\there", "line\nbreak", "  spaced  "));

} // namespace
