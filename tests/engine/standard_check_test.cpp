// The check: a document laid out by the standard run, broken in one clause per row, is found
// breaking that clause; findings say where, what was found and what the standard asks.

#include <functional>

#include <gtest/gtest.h>

#include "engine/standard/check.h"
#include "standard_notice.h"
#include "word/borders.h"
#include "word/fields.h"
#include "word/font.h"
#include "word/page_numbers.h"
#include "word/paragraph_format.h"
#include "word/sections.h"
#include "word/view.h"
#include "word/pagesetup.h"
#include "word/tab_stops.h"
#include "word/text.h"

namespace {

namespace std_ = engine::standard;
using engine::standard::Clause;
using engine::standard::Element;
using stdtest::firstOf;

word::Paragraph paraOf(word::Document& doc, Element e) {
  return doc.paragraphs().item(firstOf(doc, e));
}
// The paragraph's text without its mark.
word::Range textOf(word::Document& doc, Element e) {
  word::Range r = paraOf(doc, e).range();
  return word::Range(r.story(), r.start(), r.end() - 1);
}
// Replaces the first occurrence of `from` in the paragraph's text.
void replaceIn(word::Document& doc, Element e, const std::string& from, const std::string& to) {
  word::Range r = paraOf(doc, e).range();
  std::u32string text = r.text32(), f = word::toU32(from);
  size_t at = text.find(f);
  ASSERT_NE(at, std::u32string::npos) << from;
  word::Range(r.story(), r.start() + static_cast<int64_t>(at),
              r.start() + static_cast<int64_t>(at + f.size()))
      .setText(to);
}
word::Range oddFooter(word::Document& doc) {
  return doc.sections().item(1).footers(word::wdHeaderFooterPrimary).range();
}

struct Fault {
  const char* name;
  Clause clause;
  std::function<void(word::Document&)> breakIt;
};

class BrokenClause : public ::testing::TestWithParam<Fault> {};

TEST_P(BrokenClause, IsFound) {
  auto doc = stdtest::laidOutNotice();
  GetParam().breakIt(*doc);
  auto findings = std_::checkDocument(*doc, {});
  std::string all;
  bool found = false;
  for (const auto& f : findings) {
    all += f.text() + "\n";
    if (f.clause == GetParam().clause) {
      found = true;
      EXPECT_FALSE(f.found.empty());
      EXPECT_FALSE(f.expected.empty());
      EXPECT_NE(f.found, f.expected);
    }
  }
  EXPECT_TRUE(found) << all;
}

float mm(float v) {
  return std_::mmToPoints(v);
}

// clang-format off
const Fault kFaults[] = {
    {"Paper", Clause::Paper, [](word::Document& d) { d.pageSetup().setPageWidth(612.0f); }},
    {"TopMargin", Clause::TopMargin, [](word::Document& d) { d.pageSetup().setTopMargin(mm(30)); }},
    {"BottomMargin", Clause::BottomMargin,
     [](word::Document& d) { d.pageSetup().setBottomMargin(mm(25)); }},
    {"LeftMargin", Clause::LeftMargin, [](word::Document& d) { d.pageSetup().setLeftMargin(mm(31.8f)); }},
    {"RightMargin", Clause::RightMargin,
     [](word::Document& d) { d.pageSetup().setRightMargin(mm(20)); }},
    {"LinesPerPage", Clause::LinesPerPage, [](word::Document& d) { d.pageSetup().setLinesPage(20); }},
    {"CharsPerLine", Clause::CharsPerLine, [](word::Document& d) { d.pageSetup().setCharsLine(26); }},
    {"NoGrid", Clause::LinesPerPage,
     [](word::Document& d) { d.pageSetup().setLayoutMode(word::wdLayoutModeDefault); }},
    {"LineSpacing", Clause::LineSpacing, [](word::Document& d) {
       paraOf(d, Element::Body).format().setLineSpacing(20.0f); }},
    {"TitleFont", Clause::TitleFont,
     [](word::Document& d) { textOf(d, Element::Title).font().setName("黑体"); }},
    {"TitleSize", Clause::TitleSize,
     [](word::Document& d) { textOf(d, Element::Title).font().setSize(18.0f); }},
    {"TitleAlignment", Clause::TitleAlignment, [](word::Document& d) {
       paraOf(d, Element::Title).format().setAlignment(word::wdAlignParagraphLeft); }},
    {"BlankAfterTitle", Clause::BlankAfterTitle, [](word::Document& d) {
       d.paragraphs().item(firstOf(d, Element::Addressee) - 1).range().deleteText(); }},
    {"AddresseeIndent", Clause::AddresseeIndent, [](word::Document& d) {
       paraOf(d, Element::Addressee).format().setFirstLineIndent(32.0f); }},
    {"AddresseeColon", Clause::AddresseeColon,
     [](word::Document& d) { replaceIn(d, Element::Addressee, "：", ":"); }},
    {"BodyFont", Clause::BodyFont,
     [](word::Document& d) { textOf(d, Element::Body).font().setName("宋体"); }},
    {"BodySize", Clause::BodySize,
     [](word::Document& d) { textOf(d, Element::Body).font().setSize(15.0f); }},
    {"BodyIndent", Clause::BodyIndent, [](word::Document& d) {
       word::ParagraphFormat f = paraOf(d, Element::Body).format();
       f.setFirstLineIndent(0.0f);
       f.setCharacterUnitFirstLineIndent(0.0f); }},
    {"BodyLeftIndent", Clause::BodyIndent,
     [](word::Document& d) { paraOf(d, Element::Body).format().setLeftIndent(21.0f); }},
    {"HeadingFont", Clause::HeadingFont,
     [](word::Document& d) { textOf(d, Element::Heading1).font().setName("仿宋_GB2312"); }},
    {"HeadingNumber", Clause::HeadingNumber,
     [](word::Document& d) { replaceIn(d, Element::Heading2, "（一）", "(一)"); }},
    {"AttachmentBlank", Clause::AttachmentBlank, [](word::Document& d) {
       word::Range r = paraOf(d, Element::Attachment).range();
       word::Range(r.story(), r.start(), r.start()).insertBefore("\r"); }},
    {"AttachmentIndent", Clause::AttachmentIndent, [](word::Document& d) {
       word::ParagraphFormat f = paraOf(d, Element::Attachment).format();
       f.setLeftIndent(0.0f);
       f.setFirstLineIndent(0.0f); }},
    {"AttachmentColon", Clause::AttachmentColon,
     [](word::Document& d) { replaceIn(d, Element::Attachment, "附件：", "附件:"); }},
    {"SignatureBlank", Clause::SignatureBlank, [](word::Document& d) {
       d.paragraphs().item(firstOf(d, Element::Signature) - 1).range().deleteText(); }},
    {"SignaturePlace", Clause::SignaturePlace, [](word::Document& d) {
       paraOf(d, Element::Signature).format().setRightIndent(0.0f); }},
    {"DatePlace", Clause::DatePlace, [](word::Document& d) {
       word::ParagraphFormat f = paraOf(d, Element::Date).format();
       f.setAlignment(word::wdAlignParagraphRight);
       f.setLeftIndent(0.0f);
       f.setRightIndent(0.0f); }},
    {"DateForm", Clause::DateForm,
     [](word::Document& d) { replaceIn(d, Element::Date, "3月5日", "03月05日"); }},
    {"NoteForm", Clause::NoteForm,
     [](word::Document& d) { replaceIn(d, Element::Note, "（", "("); }},
    {"NoteIndent", Clause::NoteForm, [](word::Document& d) {
       word::ParagraphFormat f = paraOf(d, Element::Note).format();
       f.setFirstLineIndent(0.0f);
       f.setCharacterUnitFirstLineIndent(0.0f); }},
    {"RecordFont", Clause::RecordFont,
     [](word::Document& d) { textOf(d, Element::CopyTo).font().setName("宋体"); }},
    {"RecordSize", Clause::RecordSize,
     [](word::Document& d) { textOf(d, Element::PrintedBy).font().setSize(16.0f); }},
    {"RecordLeftSpace", Clause::RecordSpace,
     [](word::Document& d) { replaceIn(d, Element::CopyTo, "\u3000抄送", "抄送"); }},
    {"RecordRightSpace", Clause::RecordSpace, [](word::Document& d) {
       word::TabStops(paraOf(d, Element::PrintedBy).range()).clearAll();
       word::TabStops(paraOf(d, Element::PrintedBy).range()).add(442.0f, word::wdAlignTabRight); }},
    {"RecordRuleAbove", Clause::RecordRules, [](word::Document& d) {
       word::Borders(paraOf(d, Element::CopyTo).range()).item(word::wdBorderTop)
           .setLineStyle(word::wdLineStyleNone); }},
    {"RecordRuleNarrow", Clause::RecordRules,
     [](word::Document& d) { paraOf(d, Element::PrintedBy).format().setRightIndent(14.0f); }},
    {"DocNumberForm", Clause::DocNumberForm,
     [](word::Document& d) { replaceIn(d, Element::DocNumber, "〔2024〕", "[2024]"); }},
    {"PageNumberForm", Clause::PageNumberForm, [](word::Document& d) {
       word::Range r = oddFooter(d);
       word::Range(r.story(), r.start(), r.start() + 1).setText("-"); }},
    {"PageNumberFont", Clause::PageNumberForm,
     [](word::Document& d) { oddFooter(d).font().setName("黑体"); }},
    {"PageNumberPlace", Clause::PageNumberPlace, [](word::Document& d) {
       oddFooter(d).paragraphFormat().setAlignment(word::wdAlignParagraphCenter); }},
    {"SameNumbersOnAllPages", Clause::PageNumberPlace,
     [](word::Document& d) { d.pageSetup().setOddAndEvenPagesHeaderFooter(false); }},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Faults, BrokenClause, ::testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Check, FindingSaysWhereWhatWasFoundAndWhatIsAsked) {
  auto doc = stdtest::laidOutNotice();
  textOf(*doc, Element::Body).font().setSize(15.0f);
  auto findings = std_::checkDocument(*doc, {});
  ASSERT_EQ(findings.size(), 1u);
  const std_::Finding& f = findings[0];
  EXPECT_EQ(f.paragraph, firstOf(*doc, Element::Body));
  EXPECT_EQ(f.words, "为切实做好今年防汛抗旱工…");
  EXPECT_EQ(f.text(), "第 " + std::to_string(f.paragraph) +
                          " 段“为切实做好今年防汛抗旱工…”（正文）：字号为15 磅，应为16 磅");
}

TEST(Check, PageFindingsNameThePage) {
  auto doc = stdtest::laidOutNotice();
  doc->pageSetup().setTopMargin(std_::mmToPoints(30));
  auto findings = std_::checkDocument(*doc, {});
  ASSERT_FALSE(findings.empty());
  EXPECT_EQ(findings[0].paragraph, 0);
  EXPECT_EQ(findings[0].text(), "页面：上边距（天头）为30 毫米，应为37 毫米");
}

TEST(Check, AliasesOfTheOfficialFontsPass) {
  auto doc = stdtest::laidOutNotice();
  textOf(*doc, Element::Body).font().setName("FangSong");
  textOf(*doc, Element::Heading1).font().setName("SimHei");
  EXPECT_TRUE(std_::checkDocument(*doc, {}).empty());
}

} // namespace
