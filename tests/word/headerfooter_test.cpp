// Page furniture of the document model: seeking between the main text, headers and footers
// (parts created where Word and LibreOffice both use them), linked sections, page numbering,
// PAGE fields, section breaks, paragraph borders, MoveDown, and WordArt and picture shapes.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "model_helpers.h"
#include "word/borders.h"
#include "word/fields.h"
#include "word/internal/access.h"
#include "word/internal/sections.h"
#include "word/internal/story.h"
#include "word/pagesetup.h"
#include "word/sections.h"
#include "word/shapes.h"
#include "word/view.h"

using qftest::para;
using qftest::run;

namespace {

const char* kSect = "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/></w:sectPr>";

std::string paras(int n, const std::string& prefix = "p") {
  std::string body;
  for (int i = 1; i <= n; ++i)
    body += para(run(prefix + std::to_string(i)));
  return body;
}

// A document whose package also holds settings.xml with `settings` (inner XML).
std::unique_ptr<word::Document> docWithSettings(const std::string& body,
                                                const std::string& settings) {
  auto pkg = qftest::makePackage(body);
  pkg->setBytes("word/settings.xml", std::string("<?xml version=\"1.0\"?><w:settings ") +
                                         qftest::kWNs + ">" + settings + "</w:settings>");
  pkg->addRelationship("word/document.xml",
                       "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                       "settings",
                       "settings.xml");
  return word::Document::fromPackage(std::move(pkg), "test.docx");
}

std::string xmlOf(word::Document& d, const std::string& part) {
  return word::serializeXml(*word::packageOf(d).xml(part));
}

// View.SeekView of the document's window (the test documents open in the print layout).
void seek(word::Document& doc, int wdSeek) {
  doc.activeWindow().activePane().view().setSeekView(wdSeek);
}

std::string storyText(word::Story* st) {
  return word::Range(st, 0, st->length()).text();
}

// ---- seeking -----------------------------------------------------------------------------

TEST(HeaderFooterSeek, CreatesPartsOnTheFirstSectionAndReturnsToTheMainText) {
  auto doc = qftest::makeDoc(para(run("one"), kSect) + paras(2) + kSect);
  word::Selection& sel = doc->selection();
  sel.setRange(doc->range(6, 8)); // in section 2
  seek(*doc, word::wdSeekCurrentPageHeader);
  ASSERT_EQ(sel.story()->type(), word::StoryType::Header);
  EXPECT_TRUE(sel.headerFooter().isHeader());
  sel.typeText("Head");
  doc->activeWindow().activePane().view().setSeekView(word::wdSeekCurrentPageFooter);
  ASSERT_EQ(sel.story()->type(), word::StoryType::Footer);
  EXPECT_FALSE(sel.headerFooter().isHeader());
  sel.typeText("Foot");
  EXPECT_EQ(doc->activeWindow().view().seekView(), word::wdSeekCurrentPageFooter);
  seek(*doc, word::wdSeekMainDocument);
  EXPECT_EQ(sel.story(), &doc->content());
  EXPECT_EQ(sel.start(), 6);
  EXPECT_EQ(sel.end(), 8);

  // The references sit on the first section; the second inherits them.
  std::vector<pugi::xml_node> secs = word::documentSections(*doc);
  ASSERT_EQ(secs.size(), 2u);
  EXPECT_TRUE(secs[0].child("w:headerReference"));
  EXPECT_TRUE(secs[0].child("w:footerReference"));
  EXPECT_FALSE(secs[1].child("w:headerReference"));
  EXPECT_EQ(word::packageOf(*doc).contentType("word/header1.xml"),
            "application/vnd.openxmlformats-officedocument.wordprocessingml.header+xml");
  EXPECT_EQ(word::packageOf(*doc).contentType("word/footer1.xml"),
            "application/vnd.openxmlformats-officedocument.wordprocessingml.footer+xml");

  auto back = qftest::roundTrip(*doc);
  std::map<std::string, std::string> texts;
  for (word::HeaderFooterPart& h : back->headerFooters())
    texts[h.refType + (h.type == word::StoryType::Header ? " header" : " footer")] =
        storyText(h.story);
  EXPECT_EQ(texts["default header"], "Head\r");
  EXPECT_EQ(texts["default footer"], "Foot\r");
  EXPECT_TRUE(word::Sections(back.get()).item(2).headers().linkToPrevious());
}

TEST(HeaderFooterSeek, UsesTheHeaderStyleOfTheDocument) {
  const std::string styles =
      "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name "
      "w:val=\"Normal\"/></w:style><w:style w:type=\"paragraph\" w:styleId=\"a3\"><w:name "
      "w:val=\"header\"/></w:style>";
  auto doc = qftest::makeDoc(paras(1), styles);
  seek(*doc, word::wdSeekCurrentPageHeader);
  EXPECT_NE(xmlOf(*doc, "word/header1.xml").find("<w:pStyle w:val=\"a3\"/>"), std::string::npos);
  seek(*doc, word::wdSeekCurrentPageFooter);
  EXPECT_EQ(xmlOf(*doc, "word/footer1.xml").find("pStyle"), std::string::npos);
}

struct ViewCase {
  const char* saved; // w:view value, "" for none
  int type;
};

class SavedView : public ::testing::TestWithParam<ViewCase> {};

TEST_P(SavedView, ReadsAndOnlyPrintLayoutReachesHeaders) {
  const ViewCase& c = GetParam();
  std::string settings =
      *c.saved ? std::string("<w:view w:val=\"") + c.saved + "\"/><w:zoom w:percent=\"100\"/>"
               : std::string("<w:zoom w:percent=\"100\"/>");
  auto doc = docWithSettings(paras(2), settings);
  word::View& view = doc->activeWindow().view();
  EXPECT_EQ(view.type(), c.type);
  if (c.type != word::wdPrintView) {
    EXPECT_THROW(view.setSeekView(word::wdSeekCurrentPageHeader), word::DocumentError);
  }
  view.setType(word::wdPrintView);
  view.setSeekView(word::wdSeekCurrentPageHeader);
  EXPECT_EQ(view.type(), word::wdPrintView);
  EXPECT_EQ(doc->selection().story()->type(), word::StoryType::Header);
  std::string xml = xmlOf(*doc, "word/settings.xml");
  if (c.type != word::wdPrintView) {
    EXPECT_NE(xml.find("<w:view w:val=\"print\"/><w:zoom"), std::string::npos) << xml;
  } else if (!*c.saved) {
    EXPECT_EQ(xml.find("w:view"), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(Views, SavedView,
                         ::testing::Values(ViewCase{"", word::wdPrintView},
                                           ViewCase{"print", word::wdPrintView},
                                           ViewCase{"normal", word::wdNormalView},
                                           ViewCase{"outline", word::wdOutlineView},
                                           ViewCase{"web", word::wdWebView}));

TEST(HeaderFooterSeek, SplitWindowClosesToOnePane) {
  auto doc = qftest::makeDoc(paras(1));
  word::Window& w = doc->activeWindow();
  EXPECT_EQ(w.panes().count(), 1);
  EXPECT_THROW(w.panes().item(1).close(), word::DocumentError);
  w.view().setSplitSpecial(word::wdPanePrimaryHeader);
  EXPECT_EQ(w.panes().count(), 2);
  w.panes().item(2).close();
  EXPECT_EQ(w.panes().count(), 1);
  EXPECT_EQ(w.view().splitSpecial(), word::wdPaneNone);
  EXPECT_THROW(w.panes().item(2), word::DocumentError);
  EXPECT_THROW(w.view().setSeekView(7), word::DocumentError); // footnotes
}

TEST(HeaderFooterSeek, SettingTheViewCreatesSettingsWhenMissing) {
  auto doc = qftest::makeDoc(paras(1));
  doc->activeWindow().view().setType(word::wdPrintView);
  EXPECT_FALSE(word::packageOf(*doc).has("word/settings.xml"));
  doc->activeWindow().view().setType(word::wdOutlineView);
  ASSERT_TRUE(word::packageOf(*doc).has("word/settings.xml"));
  auto back = qftest::roundTrip(*doc);
  EXPECT_EQ(back->activeWindow().view().type(), word::wdOutlineView);
}

// ---- linked sections ---------------------------------------------------------------------

TEST(HeaderFooterLinks, UnlinkCopiesAndLinkShares) {
  auto doc = qftest::makeDoc(para(run("one"), kSect) + paras(1) + kSect);
  word::Sections secs = doc->sections();
  ASSERT_EQ(secs.count(), 2);
  word::Story* first = secs.item(1).headers().story();
  word::Range(first, 0, 0).setText("Shared");
  EXPECT_EQ(secs.item(2).headers().story(), first);
  EXPECT_FALSE(secs.item(1).headers().linkToPrevious());
  EXPECT_TRUE(secs.item(2).headers().linkToPrevious());

  secs.item(2).headers().setLinkToPrevious(false);
  word::Story* own = secs.item(2).headers().story();
  ASSERT_NE(own, first);
  EXPECT_EQ(storyText(own), "Shared\r"); // a copy of what it showed
  word::Range(own, 0, 6).setText("Own");
  EXPECT_EQ(storyText(first), "Shared\r");

  secs.item(2).headers().setLinkToPrevious(true);
  EXPECT_EQ(secs.item(2).headers().story(), first);
  EXPECT_THROW(secs.item(3), word::DocumentError);
  EXPECT_THROW(word::HeaderFooter(doc.get(), 1, 4, true), word::DocumentError);
}

// ---- fields ------------------------------------------------------------------------------

TEST(Fields, PageFieldBetweenLiteralDashes) {
  auto doc = qftest::makeDoc(paras(1));
  word::Selection& sel = doc->selection();
  seek(*doc, word::wdSeekCurrentPageFooter);
  sel.typeText("-  -");
  sel.setRange(word::Range(sel.story(), 2, 2));
  word::Field f = sel.fields().add(sel.range(), word::wdFieldPage);
  EXPECT_EQ(f.code(), " PAGE ");
  EXPECT_EQ(f.result(), "1");
  EXPECT_EQ(storyText(sel.story()), "- 1 -\r");
  EXPECT_EQ(sel.start(), 3);
  EXPECT_EQ(sel.end(), 3);
  word::Fields all = sel.fields();
  ASSERT_EQ(all.count(), 1);
  EXPECT_EQ(all.item(1).code(), " PAGE ");
  EXPECT_THROW(all.item(2), word::DocumentError);
}

TEST(Fields, TakesTheFormattingBeforeAndReplacesTheRange) {
  auto doc = qftest::makeDoc(para(run("Page X of Y", "<w:b/>")));
  word::Range whole = doc->range(5, 6);
  word::Fields fields(&doc->content(), 0, 1);
  fields.add(whole, word::wdFieldPage);
  fields.add(doc->range(10, 11), word::wdFieldNumPages, "\\* Arabic");
  EXPECT_EQ(doc->paragraphs().first().range().text(), "Page 1 of 1\r");
  ASSERT_EQ(fields.count(), 2);
  EXPECT_EQ(fields.item(2).code(), " NUMPAGES \\* Arabic ");
  EXPECT_EQ(doc->range(5, 6).font().bold(), -1);
  EXPECT_THROW(fields.add(doc->range(0, 0), 31), word::DocumentError); // DATE
  std::string xml = xmlOf(*doc, "word/document.xml");
  EXPECT_NE(xml.find("<w:r><w:rPr><w:b/></w:rPr><w:fldChar w:fldCharType=\"begin\"/></w:r>"),
            std::string::npos)
      << xml;
}

TEST(Fields, DeleteRemovesMarksCodesAndResult) {
  auto fc = [](const char* kind) {
    return std::string("<w:r><w:fldChar w:fldCharType=\"") + kind + "\"/></w:r>";
  };
  auto instr = [](const char* code) {
    return std::string("<w:r><w:instrText xml:space=\"preserve\">") + code + "</w:instrText></w:r>";
  };
  // A PAGE field and a simple NUMPAGES field; then an IF field holding a nested PAGE field.
  auto doc = qftest::makeDoc(
      para(run("A") + fc("begin") + instr(" PAGE ") + fc("separate") + run("7") + fc("end") +
           run("B") + "<w:fldSimple w:instr=\" NUMPAGES \">" + run("9") + "</w:fldSimple>") +
      para(run("C") + fc("begin") + instr(" IF ") + fc("begin") + instr(" PAGE ") + fc("separate") +
           run("1") + fc("end") + instr(" = 1 \"x\" ") + fc("separate") + run("x") + fc("end") +
           run("D")));
  word::Fields first(&doc->content(), 0, 1);
  ASSERT_EQ(first.count(), 2);
  EXPECT_EQ(first.item(2).code(), " NUMPAGES ");
  EXPECT_EQ(first.item(2).result(), "9");
  first.item(2).deleteField();
  first.item(1).deleteField();
  EXPECT_EQ(doc->paragraphs().item(1).range().text(), "AB\r");
  EXPECT_EQ(first.count(), 0);
  word::Fields second(&doc->content(), 3, 4);
  ASSERT_EQ(second.count(), 2);
  EXPECT_EQ(second.item(1).code(), " IF  = 1 \"x\" ");
  EXPECT_EQ(second.item(1).result(), "x");
  second.item(1).deleteField();
  EXPECT_EQ(second.count(), 0);
  EXPECT_EQ(doc->paragraphs().item(2).range().text(), "CD\r");
  std::string xml = xmlOf(*doc, "word/document.xml");
  for (const char* gone : {"fldChar", "instrText", "fldSimple"})
    EXPECT_EQ(xml.find(gone), std::string::npos) << gone;
}

// ---- page numbers ------------------------------------------------------------------------

struct NumberCase {
  int style;
  const char* fmt;
};

class PageNumberStyles : public ::testing::TestWithParam<NumberCase> {};

TEST_P(PageNumberStyles, WriteTheSectionFormat) {
  auto doc = qftest::makeDoc(para(run("a"), kSect) + paras(1) + kSect);
  word::PageNumbers numbers = doc->sections().item(1).footers().pageNumbers();
  ASSERT_EQ(word::sectionsOf(numbers).size(), 2u); // the second section shows the same footer
  numbers.setNumberStyle(GetParam().style);
  for (pugi::xml_node s : word::documentSections(*doc))
    EXPECT_STREQ(s.child("w:pgNumType").attribute("w:fmt").value(), GetParam().fmt);
  EXPECT_EQ(numbers.numberStyle(), GetParam().style);
}

INSTANTIATE_TEST_SUITE_P(
    Styles, PageNumberStyles,
    ::testing::Values(NumberCase{word::wdPageNumberStyleArabic, "decimal"},
                      NumberCase{word::wdPageNumberStyleNumberInDash, "numberInDash"},
                      NumberCase{word::wdPageNumberStyleUppercaseRoman, "upperRoman"},
                      NumberCase{word::wdPageNumberStyleLowercaseLetter, "lowerLetter"},
                      NumberCase{word::wdPageNumberStyleArabicFullWidth, "decimalFullWidth"},
                      NumberCase{word::wdPageNumberStyleSimpChinNum1, "chineseCounting"}));

TEST(PageNumbers, RestartAndChapterNumbers) {
  auto doc = qftest::makeDoc(paras(1) + kSect);
  word::PageNumbers n = doc->sections().item(1).footers().pageNumbers();
  EXPECT_THROW(n.setNumberStyle(99), word::DocumentError);
  EXPECT_FALSE(n.restartNumberingAtSection());
  n.setStartingNumber(5);
  EXPECT_TRUE(n.restartNumberingAtSection());
  EXPECT_EQ(n.startingNumber(), 5);
  n.setRestartNumberingAtSection(false);
  EXPECT_EQ(n.startingNumber(), 0);
  n.setRestartNumberingAtSection(true);
  EXPECT_EQ(n.startingNumber(), 1);
  n.setStartingNumber(0);
  EXPECT_FALSE(n.restartNumberingAtSection());
  EXPECT_THROW(n.setStartingNumber(-1), word::DocumentError);

  n.setHeadingLevelForChapter(2); // kept only while chapter numbers are included
  EXPECT_FALSE(n.includeChapterNumber());
  n.setIncludeChapterNumber(true);
  n.setHeadingLevelForChapter(2);
  n.setChapterPageSeparator(word::wdSeparatorEmDash);
  EXPECT_EQ(n.headingLevelForChapter(), 2);
  EXPECT_EQ(n.chapterPageSeparator(), word::wdSeparatorEmDash);
  n.setIncludeChapterNumber(false);
  EXPECT_EQ(n.chapterPageSeparator(), word::wdSeparatorHyphen);
  // Nothing left: the element goes.
  EXPECT_FALSE(word::documentSections(*doc).back().child("w:pgNumType"));
}

// ---- section breaks ----------------------------------------------------------------------

struct BreakCase {
  const char* name;
  int64_t at;
  std::vector<std::string> texts; // paragraph texts afterwards
  int breakPara;                  // 1-based paragraph whose mark ends section 1
};

class ContinuousBreak : public ::testing::TestWithParam<BreakCase> {};

TEST_P(ContinuousBreak, EndsTheFirstSectionAndCarriesTheHeaderOn) {
  const BreakCase& c = GetParam();
  const std::string sect = "<w:sectPr><w:headerReference w:type=\"default\" r:id=\"rIdH\"/>"
                           "<w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgNumType w:fmt=\"decimal\" "
                           "w:start=\"3\"/><w:cols w:space=\"425\"/></w:sectPr>";
  auto doc = qftest::makeDoc(para(run("Title")) + para(run("Body")) + para(run("End")) + sect);
  word::Range r = doc->range(c.at, c.at);
  r.insertBreak(word::wdSectionBreakContinuous);
  word::Paragraphs ps = doc->paragraphs();
  std::vector<std::string> texts;
  for (int i = 1; i <= ps.count(); ++i)
    texts.push_back(ps.item(i).range().text());
  EXPECT_EQ(texts, c.texts);
  std::vector<pugi::xml_node> secs = word::documentSections(*doc);
  ASSERT_EQ(secs.size(), 2u);
  EXPECT_EQ(word::nodeOf(ps.item(c.breakPara)).child("w:pPr").child("w:sectPr"), secs[0]);
  // The earlier section has the header, the page size and the numbering start; the later one
  // starts on the same page, inherits the header and continues the numbering.
  EXPECT_TRUE(secs[0].child("w:headerReference"));
  EXPECT_STREQ(secs[0].child("w:pgNumType").attribute("w:start").value(), "3");
  EXPECT_STREQ(secs[0].child("w:cols").attribute("w:space").value(), "425");
  EXPECT_FALSE(secs[1].child("w:headerReference"));
  EXPECT_FALSE(secs[1].child("w:pgNumType").attribute("w:start"));
  EXPECT_STREQ(secs[1].child("w:type").attribute("w:val").value(), "continuous");
  EXPECT_EQ(r.end() - r.start(), 1);
  EXPECT_EQ(doc->range(r.start(), r.end()).text(), "\r");
}

INSTANTIATE_TEST_SUITE_P(
    Places, ContinuousBreak,
    ::testing::Values(BreakCase{"ParagraphStart", 6, {"Title\r", "Body\r", "End\r"}, 1},
                      BreakCase{"MidParagraph", 8, {"Title\r", "Bo\r", "dy\r", "End\r"}, 2},
                      BreakCase{"DocumentStart", 0, {"\r", "Title\r", "Body\r", "End\r"}, 1},
                      BreakCase{"ParagraphEnd", 10, {"Title\r", "Body\r", "\r", "End\r"}, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SectionBreaks, NotDoubledAndNotInTables) {
  auto doc = qftest::makeDoc(para(run("Title")) + para(run("Body")) +
                             "<w:tbl><w:tr><w:tc><w:p><w:r><w:t>a</w:t></w:r></w:p><w:p><w:r><w:t>"
                             "b</w:t></w:r></w:p></w:tc></w:tr></w:tbl>" +
                             para(run("z")) + kSect);
  doc->range(6, 6).insertBreak(word::wdSectionBreakContinuous);
  doc->range(6, 6).insertBreak(word::wdSectionBreakNextPage);
  std::vector<pugi::xml_node> secs = word::documentSections(*doc);
  ASSERT_EQ(secs.size(), 2u);
  EXPECT_STREQ(secs[1].child("w:type").attribute("w:val").value(), "nextPage");
  EXPECT_EQ(doc->paragraphs().count(), 5);
  EXPECT_THROW(doc->range(13, 13).insertBreak(word::wdSectionBreakContinuous), word::DocumentError);
  EXPECT_THROW(doc->range(0, 0).insertBreak(99), word::DocumentError);
  word::Range pb = doc->range(2, 2);
  pb.insertBreak(word::wdPageBreak);
  EXPECT_EQ(doc->paragraphs().first().range().text(), "Ti\ftle\r");
  seek(*doc, word::wdSeekCurrentPageHeader);
  EXPECT_THROW(doc->selection().range().insertBreak(word::wdSectionBreakContinuous),
               word::DocumentError);
}

// ---- paragraph borders -------------------------------------------------------------------

TEST(ParagraphBorders, NoneHidesTheStyleRuleAndSingleDrawsOne) {
  const std::string styles =
      "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name "
      "w:val=\"Normal\"/></w:style><w:style w:type=\"paragraph\" w:styleId=\"Header\"><w:name "
      "w:val=\"header\"/><w:basedOn w:val=\"Normal\"/><w:pPr><w:pBdr><w:bottom w:val=\"single\" "
      "w:sz=\"6\" w:space=\"1\" w:color=\"auto\"/></w:pBdr></w:pPr></w:style>";
  auto doc = qftest::makeDoc(para(run("ruled"), "<w:pStyle w:val=\"Header\"/>") + paras(1), styles);
  word::Borders b = doc->paragraphs().first().format().borders();
  EXPECT_EQ(b.item(word::wdBorderBottom).lineStyle(), word::wdLineStyleSingle);
  EXPECT_EQ(b.item(word::wdBorderBottom).lineWidth(), word::wdLineWidth075pt);
  EXPECT_EQ(b.item(word::wdBorderTop).lineStyle(), word::wdLineStyleNone);
  // Two paragraphs that differ read as undefined.
  EXPECT_EQ(doc->contentRange().paragraphFormat().borders().item(word::wdBorderBottom).lineStyle(),
            word::wdUndefined);

  b.item(word::wdBorderBottom).setLineStyle(word::wdLineStyleNone);
  EXPECT_EQ(b.item(word::wdBorderBottom).lineStyle(), word::wdLineStyleNone);
  std::string xml = xmlOf(*doc, "word/document.xml");
  EXPECT_NE(xml.find("<w:pBdr><w:bottom w:val=\"nil\"/></w:pBdr>"), std::string::npos) << xml;

  word::Border last = doc->paragraphs().last().format().borders().item(word::wdBorderBottom);
  last.setLineStyle(word::wdLineStyleDouble);
  last.setLineWidth(word::wdLineWidth150pt);
  last.setColor(255); // red
  EXPECT_EQ(last.lineStyle(), word::wdLineStyleDouble);
  EXPECT_EQ(last.lineWidth(), word::wdLineWidth150pt);
  EXPECT_EQ(last.color(), 255);
  EXPECT_NE(xmlOf(*doc, "word/document.xml")
                .find("<w:bottom w:val=\"double\" w:sz=\"12\" w:space=\"1\" w:color=\"FF0000\"/>"),
            std::string::npos);
  last.setColor(word::wdColorAutomatic);
  EXPECT_EQ(last.color(), word::wdColorAutomatic);
  EXPECT_THROW(last.setLineWidth(5), word::DocumentError);
  EXPECT_THROW(last.setLineStyle(42), word::DocumentError);
  EXPECT_THROW(b.item(-5), word::DocumentError);
  EXPECT_THROW(word::ParagraphFormat().borders(), word::DocumentError);
}

// ---- MoveDown ----------------------------------------------------------------------------

struct MoveCase {
  int64_t start, end;
  int count, extend;
  int64_t wantStart, wantEnd;
  int moved;
};

class MoveDown : public ::testing::TestWithParam<MoveCase> {};

TEST_P(MoveDown, ByParagraph) {
  const MoveCase& c = GetParam();
  auto doc = qftest::makeDoc(paras(3)); // "p1\r" "p2\r" "p3\r"
  word::Selection& sel = doc->selection();
  sel.setRange(doc->range(c.start, c.end));
  EXPECT_EQ(sel.moveDown(word::wdParagraph, c.count, c.extend), c.moved);
  EXPECT_EQ(sel.start(), c.wantStart);
  EXPECT_EQ(sel.end(), c.wantEnd);
}

INSTANTIATE_TEST_SUITE_P(Moves, MoveDown,
                         ::testing::Values(MoveCase{0, 9, 1, word::wdMove, 3, 3, 1},
                                           MoveCase{1, 1, 2, word::wdMove, 6, 6, 2},
                                           MoveCase{7, 7, 1, word::wdMove, 8, 8, 0},
                                           MoveCase{4, 4, 5, word::wdMove, 8, 8, 1},
                                           MoveCase{1, 2, 1, word::wdExtend, 1, 3, 1}));

// ---- shapes ------------------------------------------------------------------------------

// Minimal picture files: only the bytes the size probe reads.
std::string be32(uint32_t v) {
  return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
std::string le16(uint16_t v) {
  return {char(v), char(v >> 8)};
}
std::string le32(uint32_t v) {
  return le16(uint16_t(v)) + le16(uint16_t(v >> 16));
}

std::string png(uint32_t w, uint32_t h, uint32_t pixelsPerMetre) {
  std::string s = "\x89PNG\r\n\x1a\n";
  s += be32(13) + "IHDR" + be32(w) + be32(h) + std::string("\x08\x02\0\0\0", 5) + be32(0);
  if (pixelsPerMetre)
    s += be32(9) + "pHYs" + be32(pixelsPerMetre) + be32(pixelsPerMetre) + "\x01" + be32(0);
  return s + be32(0) + "IEND" + be32(0);
}

std::string jpeg(uint16_t w, uint16_t h, uint16_t dpi) {
  std::string s = "\xFF\xD8";
  s += std::string("\xFF\xE0\x00\x10JFIF\0\x01\x01\x01", 12) + char(dpi >> 8) + char(dpi) +
       char(dpi >> 8) + char(dpi) + std::string("\0\0", 2);
  s += std::string("\xFF\xC0\x00\x11\x08", 5) + char(h >> 8) + char(h) + char(w >> 8) + char(w) +
       std::string(12, '\x01');
  return s + "\xFF\xD9";
}

std::string gif(uint16_t w, uint16_t h) {
  return "GIF89a" + le16(w) + le16(h) + std::string(8, 0);
}

std::string bmp(uint32_t w, int32_t h, uint32_t ppm) {
  return "BM" + std::string(12, 0) + le32(40) + le32(w) + le32(uint32_t(h)) + le16(1) + le16(24) +
         le32(0) + le32(0) + le32(ppm) + le32(ppm) + std::string(8, 0);
}

struct TempFile {
  std::string path;
  explicit TempFile(const std::string& bytes, const std::string& ext = ".bin") {
    char tmpl[] = "/tmp/qf-shape-XXXXXX";
    int fd = mkstemp(tmpl);
    ::close(fd);
    std::filesystem::remove(tmpl);
    path = std::string(tmpl) + ext;
    std::ofstream(path, std::ios::binary) << bytes;
  }
  ~TempFile() { std::filesystem::remove(path); }
};

struct PictureCase {
  const char* name;
  std::string bytes;
  const char* ext;
  float width, height; // points
};

class PictureSizes : public ::testing::TestWithParam<PictureCase> {};

TEST_P(PictureSizes, EmbedsAtTheNaturalSize) {
  const PictureCase& c = GetParam();
  TempFile file(c.bytes);
  auto doc = qftest::makeDoc(paras(1));
  seek(*doc, word::wdSeekCurrentPageHeader);
  word::Shape s = doc->selection().headerFooter().shapes().addPicture(file.path);
  EXPECT_EQ(s.type(), word::msoPicture);
  EXPECT_FALSE(s.isVml());
  EXPECT_EQ(s.name(), "Picture 1");
  word::ShapeRange r = s.range();
  EXPECT_NEAR(r.width(), c.width, 0.05);
  EXPECT_NEAR(r.height(), c.height, 0.05);
  EXPECT_EQ(r.lockAspectRatio(), word::msoTrue);
  std::string media = std::string("word/media/image1.") + c.ext;
  ASSERT_TRUE(word::packageOf(*doc).has(media));
  EXPECT_EQ(word::packageOf(*doc).bytes(media), c.bytes);
  std::vector<word::Relationship> rels = word::packageOf(*doc).relationships("word/header1.xml");
  ASSERT_EQ(rels.size(), 1u);
  EXPECT_EQ(rels[0].target, media);
  EXPECT_EQ(storyText(doc->selection().story()), "\x01\r");
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, PictureSizes,
    ::testing::Values(PictureCase{"Png96", png(300, 150, 0), "png", 225, 112.5},
                      PictureCase{"Png144", png(288, 144, 5669), "png", 144, 72},
                      PictureCase{"Jpeg72", jpeg(100, 50, 72), "jpeg", 100, 50},
                      PictureCase{"Gif", gif(96, 48), "gif", 72, 36},
                      PictureCase{"BmpTopDown", bmp(192, -96, 0), "bmp", 144, 72}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Shapes, PictureErrorsNameThePath) {
  auto doc = qftest::makeDoc(paras(1));
  word::Shapes shapes(&doc->content());
  TempFile text("just some text, not a picture", ".png");
  TempFile truncated(png(0, 10, 0), ".png");
  for (const std::string& path :
       {text.path, truncated.path, std::string("/nonexistent/x.png"), std::string("/tmp")}) {
    try {
      shapes.addPicture(path);
      ADD_FAILURE() << path;
    } catch (const word::DocumentError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(shapes.addPicture(""), word::DocumentError);
  EXPECT_EQ(shapes.count(), 0);
  EXPECT_EQ(doc->contentRange().text(), "p1\r");
}

TEST(Shapes, WordArtIsSizedForItsTextAndReadsBack) {
  auto doc = qftest::makeDoc(paras(1));
  seek(*doc, word::wdSeekCurrentPageHeader);
  word::Selection& sel = doc->selection();
  sel.typeText("Head");
  word::Shapes shapes = sel.headerFooter().shapes();
  word::Shape s = shapes.addTextEffect(word::msoTextEffect1, "水印AB", "黑体", 96, word::msoTrue,
                                       word::msoFalse, 10, 20);
  EXPECT_EQ(s.type(), word::msoTextEffect);
  EXPECT_EQ(s.name(), "WordArt 1");
  word::ShapeRange r = s.range();
  word::TextEffectFormat t = r.textEffect();
  EXPECT_EQ(t.text(), "水印AB");
  EXPECT_EQ(t.fontName(), "黑体");
  EXPECT_FLOAT_EQ(t.fontSize(), 96);
  EXPECT_EQ(t.fontBold(), word::msoTrue);
  EXPECT_EQ(t.fontItalic(), word::msoFalse);
  EXPECT_NEAR(r.height(), 96, 0.01);
  EXPECT_NEAR(r.width(), 96 * (2 + 2 * 0.62), 0.01); // two ideographs, two capitals
  EXPECT_FLOAT_EQ(r.left(), 10);
  EXPECT_FLOAT_EQ(r.top(), 20);
  // Anchored at the start of the paragraph that holds the selection.
  EXPECT_EQ(storyText(sel.story()), "\x01Head\r");
  EXPECT_THROW(shapes.addTextEffect(0, "", "宋体", 96, 0, 0, 0, 0), word::DocumentError);
  EXPECT_THROW(shapes.addTextEffect(30, "x", "宋体", 96, 0, 0, 0, 0), word::DocumentError);
  EXPECT_THROW(shapes.addTextEffect(0, "x", "宋体", 0, 0, 0, 0, 0), word::DocumentError);
}

// The same member rows on a WordArt (VML) and a picture (DrawingML) shape.
class ShapeMembers : public ::testing::TestWithParam<bool> {
protected:
  std::unique_ptr<word::Document> doc = qftest::makeDoc(paras(1));
  std::unique_ptr<TempFile> file;
  word::Shape make() {
    seek(*doc, word::wdSeekCurrentPageHeader);
    word::Shapes shapes = doc->selection().headerFooter().shapes();
    if (GetParam())
      return shapes.addTextEffect(0, "WM", "宋体", 96, 0, 0, 0, 0);
    file = std::make_unique<TempFile>(png(400, 200, 0));
    return shapes.addPicture(file->path);
  }
};

TEST_P(ShapeMembers, WriteAndReadBack) {
  word::Shape s = make();
  s.select();
  word::Selection& sel = doc->selection();
  word::ShapeRange r = sel.shapeRange();
  ASSERT_EQ(r.count(), 1);
  EXPECT_EQ(sel.end() - sel.start(), 1);

  r.fill().setVisible(word::msoTrue);
  r.fill().solid();
  r.fill().foreColor().setRgb(0x0000FF); // red
  r.fill().setTransparency(0.5f);
  EXPECT_EQ(r.fill().visible(), word::msoTrue);
  EXPECT_EQ(r.fill().foreColor().rgb(), 0x0000FF);
  EXPECT_NEAR(r.fill().transparency(), 0.5, 1e-6);
  r.fill().setVisible(word::msoFalse);
  EXPECT_EQ(r.fill().visible(), word::msoFalse);

  word::LineFormat line = r.line();
  line.setWeight(0.75f);
  line.setDashStyle(word::msoLineDash);
  line.setStyle(word::msoLineThinThin);
  line.setVisible(word::msoTrue);
  line.setTransparency(0.25f);
  EXPECT_NEAR(line.weight(), 0.75, 1e-6);
  EXPECT_EQ(line.dashStyle(), word::msoLineDash);
  EXPECT_EQ(line.style(), word::msoLineThinThin);
  EXPECT_NEAR(line.transparency(), 0.25, 1e-6);
  line.setVisible(word::msoFalse);
  EXPECT_EQ(line.visible(), word::msoFalse);

  r.setRotation(-45);
  EXPECT_FLOAT_EQ(r.rotation(), 315);
  r.setRelativeHorizontalPosition(word::wdRelativeHorizontalPositionMargin);
  r.setRelativeVerticalPosition(word::wdRelativeVerticalPositionPage);
  r.setLeft(word::wdShapeCenter);
  r.setTop(word::wdShapeBottom);
  EXPECT_EQ(r.relativeHorizontalPosition(), word::wdRelativeHorizontalPositionMargin);
  EXPECT_EQ(r.relativeVerticalPosition(), word::wdRelativeVerticalPositionPage);
  EXPECT_FLOAT_EQ(r.left(), word::wdShapeCenter);
  EXPECT_FLOAT_EQ(r.top(), word::wdShapeBottom);
  r.setLeft(12.5f);
  EXPECT_FLOAT_EQ(r.left(), 12.5f);
  EXPECT_THROW(r.setLeft(-999994.5f), word::DocumentError);

  r.setLockAnchor(true);
  EXPECT_EQ(r.lockAnchor(), word::msoTrue);
  r.setLockAnchor(false);
  EXPECT_EQ(r.lockAnchor(), word::msoFalse);
  r.setLayoutInCell(false);
  EXPECT_EQ(r.layoutInCell(), word::msoFalse);

  word::WrapFormat wrap = r.wrapFormat();
  wrap.setAllowOverlap(false);
  EXPECT_EQ(wrap.allowOverlap(), word::msoFalse);
  wrap.setType(word::wdWrapSquare);
  wrap.setSide(word::wdWrapLargest);
  EXPECT_EQ(wrap.type(), word::wdWrapSquare);
  EXPECT_EQ(wrap.side(), word::wdWrapLargest);
  wrap.setType(word::wdWrapTight);
  EXPECT_EQ(wrap.type(), word::wdWrapTight);
  wrap.setDistanceLeft(9.07f);
  wrap.setDistanceTop(0);
  EXPECT_NEAR(wrap.distanceLeft(), 9.07, 0.01);
  EXPECT_NEAR(wrap.distanceTop(), 0, 0.01);
  wrap.setType(word::wdWrapBehind);
  EXPECT_EQ(wrap.type(), word::wdWrapBehind);
  EXPECT_LT(r.zIndex(), 0);
  wrap.setType(word::wdWrapNone);
  EXPECT_EQ(wrap.type(), word::wdWrapNone);
  r.zOrder(word::msoSendBehindText);
  EXPECT_LT(r.zIndex(), 0);
  r.zOrder(word::msoBringInFrontOfText);
  EXPECT_GT(r.zIndex(), 0);
  EXPECT_EQ(wrap.type(), word::wdWrapNone);

  // With the aspect ratio locked the height follows the width.
  r.setLockAspectRatio(word::msoTrue);
  float w = r.width(), h = r.height();
  r.setWidth(w * 2);
  EXPECT_NEAR(r.height(), h * 2, 0.02);
  r.setLockAspectRatio(word::msoFalse);
  r.setHeight(10);
  EXPECT_NEAR(r.width(), w * 2, 0.02);
  EXPECT_THROW(r.setWidth(0), word::DocumentError);
}

TEST_P(ShapeMembers, KindSpecificMembers) {
  word::ShapeRange r = make().range();
  if (GetParam()) {
    EXPECT_THROW(r.pictureFormat().setBrightness(0.75f), word::DocumentError);
    r.textEffect().setPresetShape(word::msoTextEffectShapePlainText);
    EXPECT_EQ(r.textEffect().presetShape(), word::msoTextEffectShapePlainText);
    EXPECT_THROW(r.textEffect().setPresetShape(2), word::DocumentError);
    return;
  }
  EXPECT_THROW(r.textEffect().text(), word::DocumentError);
  word::PictureFormat p = r.pictureFormat();
  EXPECT_FLOAT_EQ(p.brightness(), 0.5f);
  p.setBrightness(0.75f);
  p.setContrast(0.25f);
  EXPECT_FLOAT_EQ(p.brightness(), 0.75f);
  EXPECT_FLOAT_EQ(p.contrast(), 0.25f);
  std::string xml = xmlOf(*doc, "word/header1.xml");
  EXPECT_NE(xml.find("<a:lum bright=\"50000\" contrast=\"-50000\"/>"), std::string::npos) << xml;
  p.setCropLeft(30); // of 300 pt: a tenth
  EXPECT_NEAR(p.cropLeft(), 30, 0.01);
  EXPECT_NE(xmlOf(*doc, "word/header1.xml").find("<a:srcRect l=\"10000\"/>"), std::string::npos);
  p.setCropLeft(0);
  p.setCropRight(0);
  EXPECT_EQ(xmlOf(*doc, "word/header1.xml").find("srcRect"), std::string::npos);
  p.setBrightness(0.5f);
  p.setContrast(0.5f);
  EXPECT_EQ(xmlOf(*doc, "word/header1.xml").find("a:lum"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Kinds, ShapeMembers, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "WordArt" : "Picture"; });

TEST(Shapes, SelectionAndDeletion) {
  auto doc = qftest::makeDoc(paras(1));
  seek(*doc, word::wdSeekCurrentPageHeader);
  word::Selection& sel = doc->selection();
  sel.typeText("Head");
  sel.homeKey(word::wdStory);
  word::Shapes shapes = sel.headerFooter().shapes();
  shapes.addTextEffect(0, "A", "宋体", 96, 0, 0, 0, 0);
  word::Shape b = shapes.addTextEffect(0, "B", "宋体", 96, 0, 0, 0, 0);
  ASSERT_EQ(shapes.count(), 2);
  b.select();
  EXPECT_EQ(sel.shapeRange().name(), "WordArt 2");
  // The selected shape's paragraph is the header's.
  sel.paragraphFormat().setAlignment(word::wdAlignParagraphRight);
  EXPECT_EQ(word::Paragraphs(sel.story()).first().format().alignment(),
            word::wdAlignParagraphRight);
  // A text selection holds the shapes anchored in it; a collapsed one none.
  sel.setRange(word::Range(sel.story(), 0, 7));
  EXPECT_EQ(sel.shapeRange().count(), 2);
  sel.setRange(word::Range(sel.story(), 0, 0));
  EXPECT_EQ(sel.shapeRange().count(), 0);

  // The first WordArt carries the shape type the second one uses: it survives.
  word::Shape first = shapes.item(1);
  EXPECT_EQ(first.name(), "WordArt 2"); // anchored before the first one
  shapes.item(2).deleteShape();
  ASSERT_EQ(shapes.count(), 1);
  std::string xml = xmlOf(*doc, "word/header1.xml");
  EXPECT_NE(xml.find("<v:shapetype id=\"_x0000_t136\""), std::string::npos);
  word::ShapeRange rest = shapes.item(1).range();
  rest.deleteShapes();
  EXPECT_EQ(shapes.count(), 0);
  EXPECT_EQ(storyText(sel.story()), "Head\r");
  EXPECT_THROW(rest.name(), word::DocumentError);
  EXPECT_THROW(shapes.item(1), word::DocumentError);
}

} // namespace
