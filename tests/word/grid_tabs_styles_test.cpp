// The document grid of PageSetup (LinesPage, CharsLine), tab stops, character spacing, the East
// Asian font name and the default paragraph style's size.

#include <gtest/gtest.h>

#include "model_helpers.h"
#include "word/internal/access.h"
#include "word/pagesetup.h"
#include "word/styles.h"
#include "word/tab_stops.h"

namespace {

using qftest::makeDoc;
using qftest::para;
using qftest::roundTrip;
using qftest::run;

std::string styles(const char* normalSize) {
  std::string normalRPr =
      *normalSize ? std::string("<w:rPr><w:sz w:val=\"") + normalSize + "\"/></w:rPr>" : "";
  return "<w:docDefaults><w:rPrDefault><w:rPr><w:sz w:val=\"21\"/></w:rPr></w:rPrDefault>"
         "</w:docDefaults><w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\">"
         "<w:name w:val=\"Normal\"/>" +
         normalRPr + "</w:style>";
}

// An A4 section with the margins of the national layout standard for official documents.
const char* kSection = "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"2098\" "
                       "w:right=\"1474\" w:bottom=\"1984\" w:left=\"1587\" w:header=\"851\" "
                       "w:footer=\"992\" w:gutter=\"0\"/></w:sectPr>";

std::string gridOf(word::Document& doc) {
  std::string xml =
      word::Package::openMemory(doc.saveToString(), "x.docx")->bytes("word/document.xml");
  size_t at = xml.find("<w:docGrid");
  return at == std::string::npos ? "" : xml.substr(at, xml.find("/>", at) + 2 - at);
}

struct GridCase {
  const char* normalSize; // half-points of the default paragraph style; "" = the defaults' 21
  int lines, chars;
  const char* grid;
};

class DocumentGrid : public ::testing::TestWithParam<GridCase> {};

TEST_P(DocumentGrid, PitchesGiveTheCountsAndReadBack) {
  const GridCase& c = GetParam();
  auto doc = makeDoc(para(run("正文")) + kSection, styles(c.normalSize));
  word::PageSetup page = doc->pageSetup();
  page.setLayoutMode(word::wdLayoutModeGrid);
  page.setLinesPage(c.lines);
  page.setCharsLine(c.chars);
  EXPECT_EQ(gridOf(*doc), c.grid);
  EXPECT_EQ(page.linesPage(), c.lines);
  EXPECT_EQ(page.charsLine(), c.chars);
  auto back = roundTrip(*doc);
  EXPECT_EQ(back->pageSetup().linesPage(), c.lines);
  EXPECT_EQ(back->pageSetup().charsLine(), c.chars);
}

// The text area is 12756 x 8845 twips: 22 lines of 579 twips; 28 characters of at most
// 15.7946 pt, as charSpace/4096 pt over the default style's size.
INSTANTIATE_TEST_SUITE_P(
    Cases, DocumentGrid,
    ::testing::Values(
        GridCase{"32", 22, 28,
                 "<w:docGrid w:type=\"linesAndChars\" w:linePitch=\"579\" w:charSpace=\"-842\"/>"},
        GridCase{"", 22, 28,
                 "<w:docGrid w:type=\"linesAndChars\" w:linePitch=\"579\" w:charSpace=\"21686\"/>"},
        GridCase{"32", 20, 26,
                 "<w:docGrid w:type=\"linesAndChars\" w:linePitch=\"637\" w:charSpace=\"4135\"/>"},
        GridCase{
            "28", 40, 40,
            "<w:docGrid w:type=\"linesAndChars\" w:linePitch=\"318\" w:charSpace=\"-12058\"/>"}));

TEST(DocumentGridCounts, OutOfRangeIsRefused) {
  auto doc = makeDoc(para(run("正文")) + kSection, styles("32"));
  EXPECT_THROW(doc->pageSetup().setLinesPage(0), word::DocumentError);
  EXPECT_THROW(doc->pageSetup().setCharsLine(-3), word::DocumentError);
}

TEST(TabStops, AddReplacesAtTheSamePositionKeepsOrderAndClears) {
  auto doc = makeDoc(para(run("甲\t乙")));
  word::Range r = doc->paragraphs().item(1).range();
  word::TabStops tabs(r);
  tabs.add(200.0f, word::wdAlignTabLeft);
  tabs.add(100.0f, word::wdAlignTabCenter);
  tabs.add(200.0f, word::wdAlignTabRight);
  auto list = tabs.list();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_FLOAT_EQ(list[0].position, 100.0f);
  EXPECT_EQ(list[0].alignment, word::wdAlignTabCenter);
  EXPECT_FLOAT_EQ(list[1].position, 200.0f);
  EXPECT_EQ(list[1].alignment, word::wdAlignTabRight);
  auto back = roundTrip(*doc);
  EXPECT_EQ(word::TabStops(back->paragraphs().item(1).range()).list().size(), 2u);
  tabs.clearAll();
  EXPECT_TRUE(tabs.list().empty());
  EXPECT_THROW(tabs.add(10.0f, 7), word::DocumentError);
}

TEST(Font, SpacingAndFarEastName) {
  auto doc = makeDoc(para(run("甲乙", "<w:rFonts w:ascii=\"Arial\" w:eastAsia=\"黑体\"/>")));
  word::Range r = doc->paragraphs().item(1).range();
  word::Range text(r.story(), r.start(), r.end() - 1);
  EXPECT_EQ(text.font().name(), "Arial");
  EXPECT_EQ(text.font().nameFarEast(), "黑体");
  EXPECT_FLOAT_EQ(text.font().spacing(), 0.0f);
  text.font().setSpacing(-0.3f);
  EXPECT_FLOAT_EQ(text.font().spacing(), -0.3f);
  auto back = roundTrip(*doc);
  word::Range br = back->paragraphs().item(1).range();
  EXPECT_FLOAT_EQ(word::Range(br.story(), br.start(), br.end() - 1).font().spacing(), -0.3f);
  text.font().setSpacing(0.0f);
  EXPECT_FLOAT_EQ(text.font().spacing(), 0.0f);
}

TEST(Style, NormalSizeThroughTheChainAndStatedExplicitly) {
  auto doc = makeDoc(para(run("正文")), styles(""));
  word::Style normal = word::normalStyle(*doc);
  ASSERT_TRUE(normal.exists());
  EXPECT_FLOAT_EQ(normal.fontSize(), 10.5f); // from the document defaults
  normal.setFontSize(16.0f);
  auto back = roundTrip(*doc);
  EXPECT_FLOAT_EQ(word::normalStyle(*back).fontSize(), 16.0f);
  EXPECT_NE(word::packageOf(*back).bytes("word/styles.xml").find("<w:sz w:val=\"32\"/>"),
            std::string::npos);
  EXPECT_FALSE(word::Style(doc.get(), "NoSuchStyle").exists());
}

} // namespace
