// Page setup of sections: margins and paper in twips, orientation swaps, the document-wide
// gutter position and odd/even headers in settings.xml, views of all sections or of the
// selection's, and text columns.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "model_helpers.h"
#include "word/internal/access.h"
#include "word/internal/story.h"
#include "word/pagesetup.h"
#include "word/sections.h"

using qftest::para;
using qftest::run;

namespace {

const std::string kCorpus = std::string(QF_CORPUS_DIR) + "/word/";

const std::string kLetterSect =
    "<w:sectPr><w:pgSz w:w=\"12240\" w:h=\"15840\"/><w:pgMar w:top=\"1440\" w:right=\"1800\" "
    "w:bottom=\"1440\" w:left=\"1800\" w:header=\"720\" w:footer=\"720\" w:gutter=\"0\"/>"
    "<w:cols w:space=\"720\"/><w:docGrid w:type=\"lines\" w:linePitch=\"312\"/></w:sectPr>";

// Three sections: two that end in a paragraph, and the body's.
std::string threeSections() {
  return para(run("one"), kLetterSect) + para(run("two"), kLetterSect) + para(run("three")) +
         kLetterSect;
}

std::string settingsXml(word::Document& d) {
  pugi::xml_document* x = word::packageOf(d).xml("word/settings.xml");
  if (!x)
    return {};
  std::ostringstream os;
  x->save(os, "", pugi::format_raw);
  return os.str();
}

// Local names of the element children of a node, in order.
std::vector<std::string> childNames(pugi::xml_node n) {
  std::vector<std::string> out;
  for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_element)
      out.push_back(c.name());
  return out;
}

// ---- lengths ---------------------------------------------------------------------------

struct LengthCase {
  const char* member;
  float (word::PageSetup::*get)() const;
  void (word::PageSetup::*set)(float);
  const char* element;
  const char* attribute;
};

const LengthCase kLengths[] = {
    {"TopMargin", &word::PageSetup::topMargin, &word::PageSetup::setTopMargin, "w:pgMar", "w:top"},
    {"BottomMargin", &word::PageSetup::bottomMargin, &word::PageSetup::setBottomMargin, "w:pgMar",
     "w:bottom"},
    {"LeftMargin", &word::PageSetup::leftMargin, &word::PageSetup::setLeftMargin, "w:pgMar",
     "w:left"},
    {"RightMargin", &word::PageSetup::rightMargin, &word::PageSetup::setRightMargin, "w:pgMar",
     "w:right"},
    {"Gutter", &word::PageSetup::gutter, &word::PageSetup::setGutter, "w:pgMar", "w:gutter"},
    {"HeaderDistance", &word::PageSetup::headerDistance, &word::PageSetup::setHeaderDistance,
     "w:pgMar", "w:header"},
    {"FooterDistance", &word::PageSetup::footerDistance, &word::PageSetup::setFooterDistance,
     "w:pgMar", "w:footer"},
    {"PageWidth", &word::PageSetup::pageWidth, &word::PageSetup::setPageWidth, "w:pgSz", "w:w"},
    {"PageHeight", &word::PageSetup::pageHeight, &word::PageSetup::setPageHeight, "w:pgSz", "w:h"},
};

TEST(PageSetupLengths, EveryMemberWritesTwipsOnEverySectionAndReadsBack) {
  for (const LengthCase& c : kLengths) {
    SCOPED_TRACE(c.member);
    auto d = qftest::makeDoc(threeSections());
    word::PageSetup ps = d->pageSetup();
    ASSERT_EQ(word::sectionsOf(ps).size(), 3u);
    // 2.5 cm as Word converts it: 70.87 pt, 1417 twips.
    (ps.*c.set)(word::Application::centimetersToPoints(2.5f));
    EXPECT_NEAR((ps.*c.get)(), 70.87f, 0.03f);
    for (pugi::xml_node s : word::sectionsOf(ps))
      EXPECT_STREQ(s.child(c.element).attribute(c.attribute).value(), "1417");
    // Survives saving.
    auto back = qftest::roundTrip(*d);
    EXPECT_NEAR((back->pageSetup().*c.get)(), 70.87f, 0.03f);
  }
}

TEST(PageSetupLengths, SectionsThatDifferReadUndefined) {
  auto d = qftest::makeDoc(threeSections());
  d->pageSetup().setTopMargin(50);
  EXPECT_FLOAT_EQ(d->pageSetup().topMargin(), 50.0f);
  word::PageSetup first(d.get(), {word::sectionsOf(d->pageSetup())[0]});
  first.setTopMargin(60);
  EXPECT_EQ(d->pageSetup().topMargin(), word::kUndefined);
  EXPECT_FLOAT_EQ(first.topMargin(), 60.0f);
}

TEST(PageSetupLengths, ValuesWordRefusesFailWithoutChangingTheDocument) {
  auto d = qftest::makeDoc(para(run("x")) + kLetterSect);
  word::PageSetup ps = d->pageSetup();
  EXPECT_THROW(ps.setLeftMargin(-1), word::DocumentError);
  EXPECT_THROW(ps.setPageWidth(0), word::DocumentError);
  EXPECT_THROW(ps.setPageHeight(2000), word::DocumentError);
  EXPECT_THROW(ps.setTopMargin(std::nanf("")), word::DocumentError);
  EXPECT_THROW(ps.setOrientation(2), word::DocumentError);
  EXPECT_THROW(ps.setGutterPos(3), word::DocumentError);
  EXPECT_FLOAT_EQ(ps.leftMargin(), 90.0f);
  EXPECT_FLOAT_EQ(ps.pageWidth(), 612.0f);
  // A negative top margin is Word's "exactly, never moved by the header".
  ps.setTopMargin(-36);
  EXPECT_FLOAT_EQ(ps.topMargin(), -36.0f);
}

TEST(PageSetupLengths, AMissingBodySectionIsCreatedAndReadsAsA4) {
  auto d = qftest::makeDoc(para(run("x")));
  word::PageSetup ps = d->pageSetup();
  ASSERT_EQ(word::sectionsOf(ps).size(), 1u);
  EXPECT_EQ(word::sectionsOf(ps)[0].parent(), d->content().root());
  EXPECT_NEAR(ps.pageWidth(), 595.3f, 0.05f);
  EXPECT_NEAR(ps.pageHeight(), 841.9f, 0.05f);
  // Writing one margin gives pgMar every attribute the schema requires.
  ps.setTopMargin(72);
  pugi::xml_node m = word::sectionsOf(ps)[0].child("w:pgMar");
  for (const char* a :
       {"w:top", "w:bottom", "w:left", "w:right", "w:header", "w:footer", "w:gutter"})
    EXPECT_TRUE(m.attribute(a)) << a;
  // The body's section stays its last child.
  EXPECT_STREQ(d->content().root().last_child().name(), "w:sectPr");
}

// ---- orientation and paper ----------------------------------------------------------------

TEST(PageSetupOrientation, ChangingItSwapsWidthAndHeightOnce) {
  auto d = qftest::makeDoc(threeSections());
  word::PageSetup ps = d->pageSetup();
  ps.setOrientation(word::wdOrientLandscape);
  EXPECT_EQ(ps.orientation(), word::wdOrientLandscape);
  EXPECT_FLOAT_EQ(ps.pageWidth(), 792.0f);
  EXPECT_FLOAT_EQ(ps.pageHeight(), 612.0f);
  for (pugi::xml_node s : word::sectionsOf(ps))
    EXPECT_STREQ(s.child("w:pgSz").attribute("w:orient").value(), "landscape");
  ps.setOrientation(word::wdOrientLandscape); // no change, no swap
  EXPECT_FLOAT_EQ(ps.pageWidth(), 792.0f);
  ps.setOrientation(word::wdOrientPortrait);
  EXPECT_FLOAT_EQ(ps.pageWidth(), 612.0f);
  EXPECT_FALSE(word::sectionsOf(ps)[0].child("w:pgSz").attribute("w:orient"));
}

TEST(PageSetupOrientation, ExplicitSizesDoNotTouchTheOrientation) {
  auto d = qftest::makeDoc(para(run("x")) + kLetterSect);
  word::PageSetup ps = d->pageSetup();
  ps.setOrientation(word::wdOrientLandscape);
  ps.setPageHeight(word::Application::centimetersToPoints(21));
  ps.setPageWidth(word::Application::centimetersToPoints(29.7f));
  EXPECT_EQ(ps.orientation(), word::wdOrientLandscape);
  pugi::xml_node sz = word::sectionsOf(ps)[0].child("w:pgSz");
  EXPECT_STREQ(sz.attribute("w:w").value(), "16838");
  EXPECT_STREQ(sz.attribute("w:h").value(), "11906");
}

// ---- views ---------------------------------------------------------------------------------

TEST(PageSetupViews, TheSelectionSeesOnlyTheSectionsItTouches) {
  auto d = qftest::makeDoc(threeSections());
  std::vector<pugi::xml_node> all = word::sectionsOf(d->pageSetup());
  word::Paragraphs ps = d->paragraphs();
  struct Case {
    int fromPara, toPara;
    std::vector<size_t> sections;
  };
  const Case cases[] = {{1, 1, {0}},    {2, 2, {1}},    {3, 3, {2}},
                        {1, 2, {0, 1}}, {2, 3, {1, 2}}, {1, 3, {0, 1, 2}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.fromPara) + "-" + std::to_string(c.toPara));
    d->selection().setRange(
        d->range(ps.item(c.fromPara).range().start(), ps.item(c.toPara).range().end()));
    std::vector<pugi::xml_node> got = word::sectionsOf(d->selection().pageSetup());
    ASSERT_EQ(got.size(), c.sections.size());
    for (size_t i = 0; i < got.size(); ++i)
      EXPECT_EQ(got[i], all[c.sections[i]]);
  }
  // A collapsed selection at the start of paragraph 2 is in section 2.
  d->selection().setRange(d->range(ps.item(2).range().start(), ps.item(2).range().start()));
  d->selection().pageSetup().setLeftMargin(100);
  word::PageSetup whole = d->pageSetup();
  EXPECT_EQ(whole.leftMargin(), word::kUndefined);
  EXPECT_FLOAT_EQ(word::PageSetup(d.get(), {all[1]}).leftMargin(), 100.0f);
  EXPECT_FLOAT_EQ(word::PageSetup(d.get(), {all[0]}).leftMargin(), 90.0f);
}

TEST(PageSetupViews, ARealDocumentWithFiveSectionsGetsOnePaperEverywhere) {
  auto d = word::Document::openPackage(kCorpus + "sct-section-props.docx");
  word::PageSetup ps = d->pageSetup();
  ASSERT_EQ(word::sectionsOf(ps).size(), 5u);
  EXPECT_EQ(ps.orientation(), word::wdUndefined); // the first section is landscape
  ps.setOrientation(word::wdOrientPortrait);
  ps.setPageWidth(word::Application::centimetersToPoints(21));
  ps.setPageHeight(word::Application::centimetersToPoints(29.7f));
  ps.setGutter(0);
  auto back = qftest::roundTrip(*d);
  word::PageSetup again = back->pageSetup();
  EXPECT_EQ(again.orientation(), word::wdOrientPortrait);
  EXPECT_NEAR(again.pageWidth(), 595.3f, 0.05f);
  EXPECT_NEAR(again.pageHeight(), 841.9f, 0.05f);
  EXPECT_FLOAT_EQ(again.gutter(), 0.0f);
  // Everything else of the sections stays: their break types and printer settings.
  std::string xml = word::packageOf(*back).bytes("word/document.xml");
  EXPECT_NE(xml.find("w:type w:val=\"oddPage\""), std::string::npos);
  EXPECT_NE(xml.find("w:printerSettings"), std::string::npos);
}

// ---- gutter position, headers, grid -------------------------------------------------------

TEST(PageSetupGutter, PositionsMapToTheirOwnElements) {
  struct Case {
    int pos;
    bool rtl, atTop;
  };
  const Case cases[] = {{word::wdGutterPosLeft, false, false},
                        {word::wdGutterPosRight, true, false},
                        {word::wdGutterPosTop, false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pos);
    auto d = word::Document::openPackage(kCorpus + "doc-access-sections.docx");
    word::PageSetup ps = d->pageSetup();
    // From every other position to this one.
    for (int from : {0, 1, 2}) {
      ps.setGutterPos(from);
      ps.setGutterPos(c.pos);
      EXPECT_EQ(ps.gutterPos(), c.pos);
      for (pugi::xml_node s : word::sectionsOf(ps))
        EXPECT_EQ(static_cast<bool>(s.child("w:rtlGutter")), c.rtl);
      EXPECT_EQ(settingsXml(*d).find("<w:gutterAtTop") != std::string::npos, c.atTop);
    }
    EXPECT_EQ(qftest::roundTrip(*d)->pageSetup().gutterPos(), c.pos);
  }
}

TEST(PageSetupGutter, TopGoesIntoSettingsAtItsSchemaPlace) {
  auto d = word::Document::openPackage(kCorpus + "doc-odd-even-hdrs.docx");
  d->pageSetup().setGutterPos(word::wdGutterPosTop);
  pugi::xml_node settings = word::packageOf(*d).xml("word/settings.xml")->document_element();
  std::vector<std::string> names = childNames(settings);
  auto at = [&](const std::string& n) {
    return std::find(names.begin(), names.end(), n) - names.begin();
  };
  // After the zoom, before the proofing state; extension elements stay last.
  EXPECT_LT(at("w:zoom"), at("w:gutterAtTop"));
  EXPECT_LT(at("w:gutterAtTop"), at("w:proofState"));
}

TEST(PageSetupSettings, ASettingsPartIsCreatedWhenNeededAndOnlyThen) {
  auto d = word::Document::openPackage(kCorpus + "set-no-settings-part.docx");
  word::PageSetup ps = d->pageSetup();
  ps.setOddAndEvenPagesHeaderFooter(false);
  ps.setGutterPos(word::wdGutterPosLeft);
  EXPECT_FALSE(word::packageOf(*d).has("word/settings.xml"));
  EXPECT_EQ(ps.oddAndEvenPagesHeaderFooter(), 0);

  ps.setOddAndEvenPagesHeaderFooter(true);
  ASSERT_TRUE(word::packageOf(*d).has("word/settings.xml"));
  EXPECT_EQ(word::packageOf(*d).contentType("word/settings.xml"),
            "application/vnd.openxmlformats-officedocument.wordprocessingml.settings+xml");
  bool related = false;
  for (const word::Relationship& r : word::packageOf(*d).relationships("word/document.xml"))
    related = related || (r.target == "word/settings.xml" &&
                          r.type.find("/relationships/settings") != std::string::npos);
  EXPECT_TRUE(related);
  auto back = qftest::roundTrip(*d);
  EXPECT_EQ(back->pageSetup().oddAndEvenPagesHeaderFooter(), -1);
  back->pageSetup().setOddAndEvenPagesHeaderFooter(false);
  EXPECT_EQ(settingsXml(*back).find("evenAndOddHeaders"), std::string::npos);
}

TEST(PageSetupHeaders, OddEvenAndFirstPageHeadersCanBeSwitchedOff) {
  auto d = word::Document::openPackage(kCorpus + "doc-odd-even-hdrs.docx");
  word::PageSetup ps = d->pageSetup();
  EXPECT_EQ(ps.oddAndEvenPagesHeaderFooter(), -1);
  ps.setDifferentFirstPageHeaderFooter(true);
  EXPECT_EQ(ps.differentFirstPageHeaderFooter(), -1);
  ps.setOddAndEvenPagesHeaderFooter(false);
  ps.setDifferentFirstPageHeaderFooter(false);
  auto back = qftest::roundTrip(*d);
  EXPECT_EQ(back->pageSetup().oddAndEvenPagesHeaderFooter(), 0);
  EXPECT_EQ(back->pageSetup().differentFirstPageHeaderFooter(), 0);
  // The header parts and their references stay (the "default" ones now serve every page).
  EXPECT_NE(word::packageOf(*back).bytes("word/document.xml").find("w:headerReference"),
            std::string::npos);
}

TEST(PageSetupGrid, LayoutModesMapToDocGridTypes) {
  const std::pair<int, const char*> cases[] = {{word::wdLayoutModeGrid, "linesAndChars"},
                                               {word::wdLayoutModeLineGrid, "lines"},
                                               {word::wdLayoutModeGenko, "snapToChars"},
                                               {word::wdLayoutModeDefault, "default"}};
  auto d = qftest::makeDoc(threeSections());
  word::PageSetup ps = d->pageSetup();
  EXPECT_EQ(ps.layoutMode(), word::wdLayoutModeLineGrid);
  for (auto [mode, type] : cases) {
    ps.setLayoutMode(mode);
    EXPECT_EQ(ps.layoutMode(), mode);
    for (pugi::xml_node s : word::sectionsOf(ps))
      EXPECT_STREQ(s.child("w:docGrid").attribute("w:type").value(), type);
  }
  // No grid element already means no grid: none is added for the default.
  auto bare = qftest::makeDoc(para(run("x")));
  bare->pageSetup().setLayoutMode(word::wdLayoutModeDefault);
  EXPECT_FALSE(word::sectionsOf(bare->pageSetup())[0].child("w:docGrid"));
  EXPECT_EQ(bare->pageSetup().layoutMode(), word::wdLayoutModeDefault);
}

// ---- how sections begin ----------------------------------------------------------------------

struct StartCase {
  const char* type; // w:type @val of the first section, "" for none
  int start;
};

class PageSetupSectionStart : public ::testing::TestWithParam<StartCase> {};

TEST_P(PageSetupSectionStart, ReadsEachSectionAndWritesOnlyTheOnesOfTheView) {
  const StartCase& c = GetParam();
  const std::string first =
      *c.type ? "<w:sectPr><w:type w:val=\"" + std::string(c.type) + "\"/></w:sectPr>"
              : std::string("<w:sectPr/>");
  auto d = qftest::makeDoc(para(run("one"), first) + para(run("two")) + kLetterSect);
  std::vector<word::PageSetup> each = d->pageSetup().eachSection();
  ASSERT_EQ(each.size(), 2u);
  EXPECT_EQ(each[0].sectionStart(), c.start);
  EXPECT_EQ(d->sections().item(1).pageSetup().sectionStart(), c.start);
  EXPECT_EQ(each[1].sectionStart(), word::wdSectionNewPage); // none given: a new page
  EXPECT_EQ(d->pageSetup().sectionStart(),
            c.start == word::wdSectionNewPage ? word::wdSectionNewPage : word::wdUndefined);

  // The second section alone: its w:type goes before w:pgSz, the first section keeps its own.
  d->sections().item(2).pageSetup().setSectionStart(word::wdSectionOddPage);
  pugi::xml_node body = word::sectionsOf(d->pageSetup()).back();
  EXPECT_EQ(childNames(body).front(), "w:type");
  EXPECT_STREQ(body.child("w:type").attribute("w:val").value(), "oddPage");
  EXPECT_EQ(d->pageSetup().eachSection()[0].sectionStart(), c.start);
  EXPECT_THROW(each[0].setSectionStart(5), word::DocumentError);
  EXPECT_EQ(qftest::roundTrip(*d)->pageSetup().eachSection()[1].sectionStart(),
            word::wdSectionOddPage);
}

INSTANTIATE_TEST_SUITE_P(Types, PageSetupSectionStart,
                         ::testing::Values(StartCase{"continuous", word::wdSectionContinuous},
                                           StartCase{"nextColumn", word::wdSectionNewColumn},
                                           StartCase{"nextPage", word::wdSectionNewPage},
                                           StartCase{"evenPage", word::wdSectionEvenPage},
                                           StartCase{"oddPage", word::wdSectionOddPage},
                                           StartCase{"", word::wdSectionNewPage},
                                           StartCase{"sideways", word::wdSectionNewPage}));

// ---- text columns --------------------------------------------------------------------------

TEST(PageSetupColumns, CountSpacingLineAndWidths) {
  auto d = qftest::makeDoc(para(run("x")) + kLetterSect);
  word::TextColumns cols = d->pageSetup().textColumns();
  EXPECT_EQ(cols.count(), 1);
  EXPECT_EQ(cols.evenlySpaced(), -1);
  EXPECT_FLOAT_EQ(cols.spacing(), 36.0f);
  cols.setCount(2);
  cols.setSpacing(21);
  cols.setLineBetween(true);
  EXPECT_EQ(cols.count(), 2);
  EXPECT_FLOAT_EQ(cols.spacing(), 21.0f);
  EXPECT_EQ(cols.lineBetween(), -1);

  // Individual widths share the text width (612 - 90 - 90 pt) evenly.
  cols.setEvenlySpaced(false);
  EXPECT_EQ(cols.evenlySpaced(), 0);
  EXPECT_EQ(cols.count(), 2);
  pugi::xml_node c = word::sectionsOf(d->pageSetup())[0].child("w:cols");
  long total = 0;
  int n = 0;
  for (pugi::xml_node col = c.child("w:col"); col; col = col.next_sibling("w:col"), ++n)
    total += col.attribute("w:w").as_int() + col.attribute("w:space").as_int();
  EXPECT_EQ(n, 2);
  EXPECT_NEAR(total, (612 - 180) * 20, 2);

  cols.setCount(3); // evenly spaced again, the widths dropped
  EXPECT_EQ(cols.evenlySpaced(), -1);
  EXPECT_FALSE(c.child("w:col"));
  cols.setLineBetween(false);
  EXPECT_EQ(cols.lineBetween(), 0);
  EXPECT_THROW(cols.setCount(0), word::DocumentError);
  EXPECT_EQ(qftest::roundTrip(*d)->pageSetup().textColumns().count(), 3);
}

} // namespace
