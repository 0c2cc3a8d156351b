// The standard run: the layout by the national standard's clauses, read back through the model,
// its output passing its own check (in memory, saved and reopened, and through the engine's
// batch), and its settings.

#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "batch_helpers.h"
#include "engine/standard/check.h"
#include "settings/keytable.h"
#include "standard_notice.h"
#include "word/borders.h"
#include "word/fields.h"
#include "word/font.h"
#include "word/page_numbers.h"
#include "word/paragraph_format.h"
#include "word/sections.h"
#include "word/view.h"
#include "word/pagesetup.h"
#include "word/styles.h"
#include "word/tab_stops.h"

namespace {

namespace std_ = engine::standard;
namespace fs = std::filesystem;
using engine::standard::Element;
using stdtest::firstOf;
using stdtest::textOf;

std::string findingsText(const std::vector<std_::Finding>& findings) {
  std::string out;
  for (const auto& f : findings)
    out += f.text() + "\n";
  return out;
}

// The main part's XML as saved.
std::string documentXml(word::Document& doc) {
  auto pkg = word::Package::openMemory(doc.saveToString(), "out.docx");
  return pkg->bytes("word/document.xml");
}

TEST(StandardRun, PageIsA4WithTheTextBlockAndAGridOf22LinesOf28Characters) {
  auto doc = stdtest::laidOutNotice();
  word::PageSetup page = doc->pageSetup();
  auto mm = [](float points) { return points * 25.4f / 72.0f; };
  EXPECT_NEAR(mm(page.pageWidth()), 210.0f, 0.05f);
  EXPECT_NEAR(mm(page.pageHeight()), 297.0f, 0.05f);
  EXPECT_NEAR(mm(page.topMargin()), 37.0f, 0.05f);
  EXPECT_NEAR(mm(page.bottomMargin()), 35.0f, 0.05f);
  EXPECT_NEAR(mm(page.leftMargin()), 28.0f, 0.05f);
  EXPECT_NEAR(mm(page.rightMargin()), 26.0f, 0.05f);
  EXPECT_EQ(page.layoutMode(), word::wdLayoutModeGrid);
  EXPECT_EQ(page.linesPage(), 22);
  EXPECT_EQ(page.charsLine(), 28);
  // The pitches: 225 mm / 22 in whole twips; the default style's 10.5 pt (now stated in the
  // style itself, for LibreOffice) plus charSpace/4096 pt is at most 156 mm / 28.
  const std::string xml = documentXml(*doc);
  EXPECT_NE(xml.find("w:type=\"linesAndChars\""), std::string::npos);
  EXPECT_NE(xml.find("w:linePitch=\"579\""), std::string::npos);
  EXPECT_NE(xml.find("w:charSpace=\"21686\""), std::string::npos) << xml.substr(xml.size() - 600);
  EXPECT_FLOAT_EQ(word::normalStyle(*doc).fontSize(), 10.5f);
  EXPECT_EQ(page.oddAndEvenPagesHeaderFooter(), -1);
}

TEST(StandardRun, ElementsTakeTheirFontsSizesAndPlaces) {
  auto doc = stdtest::laidOutNotice();
  auto para = [&](Element e) { return doc->paragraphs().item(firstOf(*doc, e)); };
  auto textRange = [&](Element e) {
    word::Range r = para(e).range();
    return word::Range(r.story(), r.start(), r.end() - 1);
  };

  word::Range title = textRange(Element::Title);
  EXPECT_EQ(title.font().nameFarEast(), "方正小标宋简体");
  EXPECT_FLOAT_EQ(title.font().size(), 22.0f);
  EXPECT_EQ(para(Element::Title).format().alignment(), word::wdAlignParagraphCenter);

  word::ParagraphFormat addressee = para(Element::Addressee).format();
  EXPECT_FLOAT_EQ(addressee.firstLineIndent(), 0.0f);
  EXPECT_FLOAT_EQ(addressee.characterUnitFirstLineIndent(), 0.0f);
  EXPECT_EQ(textOf(*doc, firstOf(*doc, Element::Addressee)), "各区县人民政府，市政府各部门：");

  word::ParagraphFormat body = para(Element::Body).format();
  EXPECT_FLOAT_EQ(body.characterUnitFirstLineIndent(), 2.0f);
  EXPECT_FLOAT_EQ(body.firstLineIndent(), 32.0f);
  EXPECT_FLOAT_EQ(body.leftIndent(), 0.0f);
  EXPECT_EQ(body.lineSpacingRule(), word::wdLineSpaceExactly);
  EXPECT_NEAR(body.lineSpacing(), 28.95f, 0.001f);
  EXPECT_EQ(body.disableLineHeightGrid(), -1);
  EXPECT_EQ(textRange(Element::Body).font().nameFarEast(), "仿宋_GB2312");
  EXPECT_FLOAT_EQ(textRange(Element::Body).font().size(), 16.0f);
  EXPECT_FLOAT_EQ(textRange(Element::Body).font().spacing(), -0.3f);
  // Leading blanks typed for the indent are gone.
  EXPECT_EQ(textOf(*doc, firstOf(*doc, Element::Body)).rfind("为切实做好", 0), 0u);

  // Headings: the number in the standard's form, the heading part in its level's font, the
  // text run into the paragraph in the body font.
  struct Heading {
    Element e;
    const char* number;
    const char* font;
  };
  for (const Heading& h : {Heading{Element::Heading1, "一、", "黑体"},
                           Heading{Element::Heading2, "（一）", "楷体_GB2312"},
                           Heading{Element::Heading3, "1.", "仿宋_GB2312"},
                           Heading{Element::Heading4, "（1）", "仿宋_GB2312"}}) {
    const int index = firstOf(*doc, h.e);
    ASSERT_GT(index, 0) << h.number;
    EXPECT_EQ(textOf(*doc, index).rfind(h.number, 0), 0u) << textOf(*doc, index);
    word::Range r = doc->paragraphs().item(index).range();
    EXPECT_EQ(word::Range(r.story(), r.start(), r.start() + 1).font().nameFarEast(), h.font);
  }
  const int h2 = firstOf(*doc, Element::Heading2);
  word::Range r2 = doc->paragraphs().item(h2).range();
  EXPECT_EQ(word::Range(r2.story(), r2.end() - 3, r2.end() - 2).font().nameFarEast(),
            "仿宋_GB2312");
  EXPECT_EQ(doc->paragraphs().item(h2).range().font().bold(), 0);

  // Attachment note, signature, date, note.
  EXPECT_EQ(textOf(*doc, firstOf(*doc, Element::Attachment)).rfind("附件：1.", 0), 0u);
  word::ParagraphFormat attachment = para(Element::Attachment).format();
  EXPECT_NEAR(attachment.leftIndent() + attachment.firstLineIndent(), 32.0f, 0.05f);
  word::ParagraphFormat signature = para(Element::Signature).format();
  EXPECT_EQ(signature.alignment(), word::wdAlignParagraphRight);
  EXPECT_FLOAT_EQ(signature.rightIndent(), 32.0f);
  EXPECT_EQ(textOf(*doc, firstOf(*doc, Element::Signature)), "某某市人民政府办公室");
  EXPECT_EQ(textOf(*doc, firstOf(*doc, Element::Date)), "2024年3月5日");
  EXPECT_EQ(textOf(*doc, firstOf(*doc, Element::Note)), "（此件公开发布）");
  EXPECT_EQ(textOf(*doc, firstOf(*doc, Element::DocNumber)), "某政办发〔2024〕15号");

  // The closing block: 14 pt, one character of space, rules above and below.
  const int copyTo = firstOf(*doc, Element::CopyTo), printed = firstOf(*doc, Element::PrintedBy);
  EXPECT_EQ(textOf(*doc, copyTo).rfind("\u3000抄送：", 0), 0u);
  EXPECT_EQ(textOf(*doc, printed), "\u3000某某市人民政府办公室\t2024年3月5日印发");
  EXPECT_FLOAT_EQ(textRange(Element::CopyTo).font().size(), 14.0f);
  word::Range printedRange = doc->paragraphs().item(printed).range();
  auto stops = word::TabStops(printedRange).list();
  ASSERT_EQ(stops.size(), 1u);
  EXPECT_EQ(stops[0].alignment, word::wdAlignTabRight);
  EXPECT_NEAR(stops[0].position, 442.2f - 14.0f, 0.1f);
  word::Borders copyBorders(doc->paragraphs().item(copyTo).range());
  EXPECT_EQ(copyBorders.item(word::wdBorderTop).lineWidth(), word::wdLineWidth100pt);
  EXPECT_EQ(copyBorders.item(word::wdBorderBottom).lineWidth(), word::wdLineWidth075pt);
  EXPECT_EQ(word::Borders(printedRange).item(word::wdBorderBottom).lineWidth(),
            word::wdLineWidth100pt);
}

TEST(StandardRun, OneBlankLineAfterTheTitleAndAboveAttachmentAndSignature) {
  auto doc = stdtest::laidOutNotice();
  auto elements = std_::recogniseElements(std_::paragraphTexts(*doc));
  auto blanksAbove = [&](Element e) {
    auto it = std::find(elements.begin(), elements.end(), e);
    int n = 0;
    while (it != elements.begin() && *(it - 1) == Element::Blank) {
      --it;
      ++n;
    }
    return n;
  };
  EXPECT_EQ(blanksAbove(Element::Addressee), 1);  // none in the source
  EXPECT_EQ(blanksAbove(Element::Attachment), 1); // two in the source
  EXPECT_EQ(blanksAbove(Element::Signature), 1);
}

// Blank lines go or come only as plain paragraphs: a blank paragraph that ends a section keeps
// its break.
TEST(StandardRun, BlankParagraphThatEndsASectionStays) {
  const std::string breakPara =
      "<w:p><w:pPr><w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/></w:sectPr></w:pPr></w:p>";
  std::string body = stdtest::line("关于调整作息时间的通知") + stdtest::line("各单位：") +
                     stdtest::line("自下周起调整作息时间。") + stdtest::line("") + breakPara +
                     stdtest::line("") + stdtest::line("某某局") + stdtest::line("2024年5月1日");
  auto doc = qftest::makeDoc(body, stdtest::kStyles);
  ASSERT_EQ(doc->sections().count(), 2);
  std_::normaliseText(*doc, {});
  std_::layOut(*doc, {});
  EXPECT_EQ(doc->sections().count(), 2);
  EXPECT_EQ(textOf(*doc, firstOf(*doc, Element::Signature)), "某某局");
}

TEST(StandardRun, PageNumbersWithEmDashesRightOnOddPagesLeftOnEven) {
  auto doc = stdtest::laidOutNotice();
  word::Section first = doc->sections().item(1);
  struct Footer {
    int which, alignment;
    bool rightSpace;
  };
  for (const Footer& f :
       {Footer{word::wdHeaderFooterPrimary, word::wdAlignParagraphRight, true},
        Footer{word::wdHeaderFooterEvenPages, word::wdAlignParagraphLeft, false}}) {
    word::Range r = first.footers(f.which).range();
    EXPECT_EQ(r.text(), "\u2014 1 \u2014\r");
    word::Fields fields(r.story(), r.start(), r.end());
    ASSERT_EQ(fields.count(), 1);
    EXPECT_NE(fields.item(1).code().find("PAGE"), std::string::npos);
    EXPECT_EQ(r.paragraphFormat().alignment(), f.alignment);
    EXPECT_FLOAT_EQ(
        f.rightSpace ? r.paragraphFormat().rightIndent() : r.paragraphFormat().leftIndent(), 14.0f);
    word::Range text(r.story(), r.start(), r.end() - 1);
    EXPECT_EQ(text.font().nameFarEast(), "宋体");
    EXPECT_FLOAT_EQ(text.font().size(), 14.0f);
  }
}

TEST(StandardRun, OutputPassesItsOwnCheckInMemoryAndSaved) {
  auto doc = stdtest::laidOutNotice();
  EXPECT_EQ(findingsText(std_::checkDocument(*doc, {})), "");
  auto reopened = qftest::roundTrip(*doc);
  EXPECT_EQ(findingsText(std_::checkDocument(*reopened, {})), "");
  // The source breaks many clauses.
  auto source = stdtest::notice();
  EXPECT_GT(std_::checkDocument(*source, {}).size(), 20u);
}

TEST(StandardRun, ElementsSwitchedOffAreLeftAndNotChecked) {
  std_::Settings s;
  s.headings = false;
  s.record = false;
  s.heading1Font = "宋体";
  auto doc = stdtest::laidOutNotice(s);
  // Headings off: body text in the body font, numbers as typed.
  const int h2 = firstOf(*doc, Element::Heading2);
  EXPECT_EQ(textOf(*doc, h2).rfind("(一)", 0), 0u);
  word::Range r = doc->paragraphs().item(h2).range();
  EXPECT_EQ(word::Range(r.story(), r.start(), r.start() + 1).font().nameFarEast(), "仿宋_GB2312");
  // Closing block off: as typed.
  EXPECT_EQ(textOf(*doc, firstOf(*doc, Element::PrintedBy)),
            "某某市人民政府办公室      2024年3月5日印发");
  EXPECT_EQ(findingsText(std_::checkDocument(*doc, s)), "");
  // With every element on, the check finds what was left.
  EXPECT_FALSE(std_::checkDocument(*doc, {}).empty());
}

TEST(StandardRun, HeadingFontSettingReachesTheHeadings) {
  std_::Settings s;
  s.heading1Font = "宋体";
  auto doc = stdtest::laidOutNotice(s);
  const int h1 = firstOf(*doc, Element::Heading1);
  word::Range r = doc->paragraphs().item(h1).range();
  EXPECT_EQ(word::Range(r.story(), r.start(), r.end() - 1).font().nameFarEast(), "宋体");
  EXPECT_EQ(findingsText(std_::checkDocument(*doc, s)), "");
}

TEST(StandardSettings, DefaultsAreTheKeyTablesAndTheClauseValues) {
  // The engine's defaults, the key table's rows and the Settings members agree.
  std_::Settings fromTable = std_::fromProperties([](std::string_view name) {
    const settings::KeyInfo* key = settings::findProperty(name);
    return key ? std::string(key->defaultText) : std::string("?");
  });
  std_::Settings members;
  EXPECT_EQ(fromTable.titleFont, members.titleFont);
  EXPECT_EQ(fromTable.bodyFont, members.bodyFont);
  for (int level = 1; level <= 4; ++level)
    EXPECT_EQ(fromTable.headingFont(level), members.headingFont(level));
  EXPECT_EQ(fromTable.pageNumberFont, members.pageNumberFont);
  EXPECT_EQ(fromTable.recordFont, members.recordFont);
  EXPECT_EQ(members.titleFont, "方正小标宋简体");
  EXPECT_EQ(members.heading1Font, "黑体");
  EXPECT_EQ(members.heading2Font, "楷体_GB2312");
  EXPECT_EQ(std_::properties().size(), 17u);
  engine::clsDoc eng;
  for (const auto& p : std_::properties())
    EXPECT_EQ(eng.property(std::string(p.name)), p.defaultText) << p.name;
  // A switch is off for exactly "0".
  std_::Settings off = std_::fromProperties(
      [](std::string_view name) { return std::string(name == "国标版记" ? "0" : "1"); });
  EXPECT_FALSE(off.record);
  EXPECT_TRUE(off.title);
}

// ---- through the engine's batch --------------------------------------------------------------

TEST(StandardRun, BatchWritesAnOutputThatPassesTheCheckAndLeavesTheSource) {
  batchtest::Folder dir;
  fs::create_directories(dir / "in");
  fs::create_directories(dir / "out");
  const fs::path source = dir / "in" / "通知.docx";
  qftest::makePackage(stdtest::noticeBody(), stdtest::kStyles)->save(source.string());
  const std::string before = batchtest::readFile(source);

  engine::clsDoc eng;
  batchtest::Recorder rec;
  batchtest::configure(eng, rec, dir / "in", dir / "out");
  eng.setProperty("DocFileName", "通知.docx");
  eng.Main("Standard");

  EXPECT_TRUE(rec.withId("E").empty()) << rec.withId("E")[0].msg;
  // Nothing unintended: no integrity warning (the footers and the rewritten text are intended).
  for (const auto& w : rec.withId("3"))
    ADD_FAILURE() << w.msg;
  EXPECT_EQ(batchtest::readFile(source), before);
  ASSERT_TRUE(fs::exists(dir / "out" / "通知.docx"));
  auto out = word::Document::openPackage((dir / "out" / "通知.docx").string());
  EXPECT_EQ(findingsText(std_::checkDocument(*out, {})), "");
}

// A header of ordinary pages would vanish from even pages once they have footers of their own:
// the run says so, unless the document already has even-page headers.
TEST(StandardRun, HeaderThatLeavesEvenPagesIsReported) {
  struct Case {
    const char* file;
    size_t notices;
  };
  for (const Case& c : {Case{"hdr-header-footer.docx", 1}, Case{"doc-odd-even-hdrs.docx", 0},
                        Case{"par-alignment.docx", 0}}) {
    auto doc = word::Document::openPackage(std::string(QF_CORPUS_DIR) + "/word/" + c.file);
    std_::normaliseText(*doc, {});
    EXPECT_EQ(std_::layOut(*doc, {}).size(), c.notices) << c.file;
    EXPECT_EQ(doc->pageSetup().oddAndEvenPagesHeaderFooter(), -1);
  }
}

TEST(StandardRun, UnknownModeStillRefusedAndStandardSettingsAcceptedAsProperties) {
  engine::clsDoc eng;
  eng.setProperty("国标标题字体", "宋体");
  EXPECT_EQ(eng.property("国标标题字体"), "宋体");
  EXPECT_THROW(eng.setProperty("国标无此项", "1"), std::invalid_argument);
  // The 49 properties of the interface are unchanged.
  EXPECT_EQ(engine::clsDoc::propertyNames().size(), 49u);
}

} // namespace
