// The page, paragraph and font steps of the document run, and the paragraph-format members
// they write with. Documents are built from WordprocessingML, run through the steps and read
// back through the document model; a few are rendered through LibreOffice to check the paper.

#include <gtest/gtest.h>

#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "../word/model_helpers.h"
#include "engine_access.h"
#include "word/convert.h"
#include "word/internal/access.h"
#include "word/internal/story.h"
#include "word/internal/xmlns.h"
#include "word/pagesetup.h"

using engine::EngineAccess;
using qftest::para;
using qftest::run;

namespace fs = std::filesystem;

namespace {

const std::string kCorpus = std::string(QF_CORPUS_DIR) + "/word/";

const std::string kLetterSect =
    "<w:sectPr><w:pgSz w:w=\"12240\" w:h=\"15840\"/><w:pgMar w:top=\"1440\" w:right=\"1800\" "
    "w:bottom=\"1440\" w:left=\"1800\" w:header=\"720\" w:footer=\"720\" w:gutter=\"0\"/>"
    "<w:titlePg/></w:sectPr>";

// A table of one cell with its own paragraph and character format.
const std::string kTable =
    "<w:tbl><w:tr><w:tc>" +
    para(run("表格文字", "<w:rFonts w:ascii=\"Arial\" w:hAnsi=\"Arial\" w:eastAsia=\"黑体\"/><w:b/>"
                         "<w:sz w:val=\"18\"/>"),
         "<w:spacing w:line=\"240\" w:lineRule=\"auto\"/><w:ind w:left=\"100\"/><w:jc "
         "w:val=\"center\"/>") +
    "</w:tc></w:tr></w:tbl>";

// Styles: a body style with character indents, spacing in lines and a theme font, and a
// heading that keeps with the next paragraph at outline level 1.
const std::string kStyles =
    "<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:asciiTheme=\"minorHAnsi\" "
    "w:eastAsiaTheme=\"minorEastAsia\"/><w:sz w:val=\"21\"/></w:rPr></w:rPrDefault>"
    "<w:pPrDefault><w:pPr><w:spacing w:after=\"160\" w:line=\"259\" w:lineRule=\"auto\"/>"
    "</w:pPr></w:pPrDefault></w:docDefaults>"
    "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name w:val=\"Normal\"/>"
    "<w:pPr><w:widowControl/><w:ind w:firstLineChars=\"200\" w:leftChars=\"100\"/></w:pPr>"
    "</w:style>"
    "<w:style w:type=\"paragraph\" w:styleId=\"Heading1\"><w:name w:val=\"heading 1\"/>"
    "<w:basedOn w:val=\"Normal\"/><w:pPr><w:keepNext/><w:keepLines/><w:spacing "
    "w:beforeLines=\"100\" w:beforeAutospacing=\"1\"/><w:outlineLvl w:val=\"0\"/></w:pPr>"
    "<w:rPr><w:b/><w:sz w:val=\"44\"/></w:rPr></w:style>";

// The settings of the three steps as the main window writes them by default.
void configure(engine::clsDoc& e) {
  const std::pair<const char*, const char*> settings[] = {{"纸张大小", "0"},
                                                          {"页方向", "0"},
                                                          {"上边距", "3.7"},
                                                          {"下边距", "3.5"},
                                                          {"左边距", "2.8"},
                                                          {"右边距", "2.6"},
                                                          {"装订线", "0"},
                                                          {"页眉边距", "1.5"},
                                                          {"页脚边距", "2.8"},
                                                          {"装订线位置", "0"},
                                                          {"行距", "28"},
                                                          {"左缩进", "0"},
                                                          {"右缩进", "0"},
                                                          {"段前", "0"},
                                                          {"段后", "0"},
                                                          {"正文字体", "仿宋_GB2312"},
                                                          {"正文字号", "16"},
                                                          {"正文加粗", "0"},
                                                          {"标题字体", "方正小标宋简体"},
                                                          {"标题字号", "22"},
                                                          {"标题加粗", "0"},
                                                          {"一段标题", "1"},
                                                          {"标题对齐", "1"}};
  for (auto [k, v] : settings)
    e.setProperty(k, v);
}

class FormatSteps : public ::testing::Test {
protected:
  engine::clsDoc eng;
  word::Document* doc = nullptr;

  void SetUp() override { configure(eng); }
  void open(std::unique_ptr<word::Document> d) { doc = &EngineAccess::adopt(eng, std::move(d)); }
  void open(const std::string& body, const std::string& styles = kStyles) {
    open(qftest::makeDoc(body, styles));
  }
  void set(const char* name, const std::string& value) { eng.setProperty(name, value); }
  word::Paragraph paragraph(int i) { return doc->paragraphs().item(i); }
  word::ParagraphFormat format(int i) { return paragraph(i).format(); }
  word::Font font(int i) { return paragraph(i).range().font(); }
  std::string pPrXml(int i) {
    std::ostringstream os;
    word::nodeOf(paragraph(i)).child("w:pPr").print(os, "", pugi::format_raw);
    return os.str();
  }
};

std::string bodyParagraphs(int n) {
  std::string b;
  for (int i = 1; i <= n; ++i)
    b += para(run("第" + std::to_string(i) + "段正文"));
  return b;
}

// ---- page setup -----------------------------------------------------------------------

TEST_F(FormatSteps, PaperSizesByListEntryAndOrientation) {
  struct Case {
    const char* size;
    const char* orient;
    float width, height; // points; 0 = the document's own paper (Letter)
    int orientation;
  };
  const Case cases[] = {
      {"0", "0", 595.3f, 841.9f, word::wdOrientPortrait},
      {"0", "1", 841.9f, 595.3f, word::wdOrientLandscape},
      {"1", "0", 498.9f, 708.7f, word::wdOrientPortrait}, // ISO B5, not JIS
      {"1", "1", 708.7f, 498.9f, word::wdOrientLandscape},
      {"2", "0", 841.9f, 1190.6f, word::wdOrientPortrait},
      {"3", "0", 612.0f, 792.0f, word::wdOrientPortrait},  // unknown: paper kept
      {"", "1", 792.0f, 612.0f, word::wdOrientLandscape},  // kept, turned by the orientation
      {"0", "2", 841.9f, 595.3f, word::wdOrientLandscape}, // any other text is landscape
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.size) + "/" + c.orient);
    open(bodyParagraphs(2) + kLetterSect);
    set("纸张大小", c.size);
    set("页方向", c.orient);
    EngineAccess::setupPage(eng);
    word::PageSetup ps = doc->pageSetup();
    EXPECT_NEAR(ps.pageWidth(), c.width, 0.05f);
    EXPECT_NEAR(ps.pageHeight(), c.height, 0.05f);
    EXPECT_EQ(ps.orientation(), c.orientation);
  }
}

TEST_F(FormatSteps, MarginsDistancesAndGutterInCentimetres) {
  open(bodyParagraphs(1) + kLetterSect);
  set("上边距", "2.5");
  set("装订线", "0.5");
  EngineAccess::setupPage(eng);
  word::PageSetup ps = doc->pageSetup();
  EXPECT_NEAR(ps.topMargin(), 70.87f, 0.03f);
  EXPECT_NEAR(ps.bottomMargin(), 99.21f, 0.03f);
  EXPECT_NEAR(ps.leftMargin(), 79.37f, 0.03f);
  EXPECT_NEAR(ps.rightMargin(), 73.70f, 0.03f);
  EXPECT_NEAR(ps.gutter(), 14.17f, 0.03f);
  EXPECT_NEAR(ps.headerDistance(), 42.52f, 0.03f);
  EXPECT_NEAR(ps.footerDistance(), 79.37f, 0.03f);
  EXPECT_EQ(ps.layoutMode(), word::wdLayoutModeDefault);
}

TEST_F(FormatSteps, GutterPositionsAreWordsZeroTwoOne) {
  const std::pair<const char*, int> cases[] = {{"0", word::wdGutterPosLeft},
                                               {"1", word::wdGutterPosRight},
                                               {"2", word::wdGutterPosTop},
                                               {"", word::wdGutterPosTop},
                                               {"x", word::wdGutterPosTop}};
  for (auto [setting, pos] : cases) {
    SCOPED_TRACE(setting);
    open(word::Document::openPackage(kCorpus + "doc-access-sections.docx"));
    set("装订线位置", setting);
    EngineAccess::setupPage(eng);
    EXPECT_EQ(doc->pageSetup().gutterPos(), pos);
  }
}

TEST_F(FormatSteps, OneHeaderAndFooterForAllPagesAfterwards) {
  open(word::Document::openPackage(kCorpus + "doc-odd-even-hdrs.docx"));
  word::PageSetup before = doc->pageSetup();
  before.setDifferentFirstPageHeaderFooter(true);
  ASSERT_EQ(before.oddAndEvenPagesHeaderFooter(), -1);
  EngineAccess::setupPage(eng);
  word::PageSetup ps = doc->pageSetup();
  EXPECT_EQ(ps.oddAndEvenPagesHeaderFooter(), 0);
  EXPECT_EQ(ps.differentFirstPageHeaderFooter(), 0);
}

TEST_F(FormatSteps, EverySectionGetsThePage) {
  open(word::Document::openPackage(kCorpus + "sct-section-props.docx"));
  set("页方向", "1");
  EngineAccess::setupPage(eng);
  word::PageSetup ps = doc->pageSetup();
  ASSERT_EQ(word::sectionsOf(ps).size(), 5u);
  EXPECT_NEAR(ps.pageWidth(), 841.9f, 0.05f);
  EXPECT_NEAR(ps.pageHeight(), 595.3f, 0.05f);
  EXPECT_NEAR(ps.leftMargin(), 79.37f, 0.03f);
  EXPECT_EQ(ps.differentFirstPageHeaderFooter(), 0);
}

TEST_F(FormatSteps, ALengthThatIsNotANumberFailsAfterTheOrientation) {
  for (const char* bad : {"", "2,5", "abc"}) {
    SCOPED_TRACE(bad);
    open(bodyParagraphs(1) + kLetterSect);
    set("页方向", "1");
    set("上边距", bad);
    try {
      EngineAccess::setupPage(eng);
      FAIL() << "no failure";
    } catch (const word::DocumentError& e) {
      EXPECT_NE(std::string(e.what()).find("上边距"), std::string::npos) << e.what();
    }
    word::PageSetup ps = doc->pageSetup();
    EXPECT_EQ(ps.orientation(), word::wdOrientLandscape); // set before the failure
    EXPECT_FLOAT_EQ(ps.topMargin(), 72.0f);               // not reached
  }
}

TEST_F(FormatSteps, MarginsThatLeaveNoTextAreaAreRefused) {
  // A4 portrait is 21 x 29.7 cm; the gutter counts on the side it is on.
  struct Case {
    const char *setting, *value, *gutter, *gutterPos;
    bool refused;
    const char* says;
  };
  const Case cases[] = {
      {"上边距", "27", "0", "0", true, "纸张高度"}, {"左边距", "19", "0", "0", true, "纸张宽度"},
      {"右边距", "30", "0", "0", true, "纸张宽度"}, {"左边距", "10", "9", "0", true, "装订线"},
      {"上边距", "10", "17", "2", true, "装订线"},  {"左边距", "10", "17", "2", false, ""},
      {"上边距", "3.7", "0", "0", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.setting) + "=" + c.value + " gutter " + c.gutter);
    configure(eng);
    open(bodyParagraphs(1) + kLetterSect);
    set("纸张大小", "0");
    set("页方向", "0");
    set(c.setting, c.value);
    set("装订线", c.gutter);
    set("装订线位置", c.gutterPos);
    if (!c.refused) {
      EXPECT_NO_THROW(EngineAccess::setupPage(eng));
      continue;
    }
    try {
      EngineAccess::setupPage(eng);
      FAIL() << "accepted";
    } catch (const word::DocumentError& e) {
      EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
    }
    EXPECT_FLOAT_EQ(doc->pageSetup().topMargin(), 72.0f); // no margin was set
  }
}

TEST_F(FormatSteps, NumbersUseTheFullStopWhateverTheLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = previous ? previous : "C";
  // A locale with a decimal comma, when the system has one.
  bool comma =
      std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8");
  open(bodyParagraphs(1) + kLetterSect);
  set("上边距", "2.5");
  set("正文字号", "10.5");
  set("一段标题", "0");
  EngineAccess::setupPage(eng);
  EngineAccess::applyFonts(eng);
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_NEAR(doc->pageSetup().topMargin(), 70.87f, 0.03f) << (comma ? "decimal comma" : "C");
  EXPECT_FLOAT_EQ(font(1).size(), 10.5f);
}

// Page sizes as LibreOffice lays them out: the documents are converted to PDF in one start.
TEST_F(FormatSteps, RenderedPageSizes) {
  if (word::findSoffice().empty())
    GTEST_SKIP() << word::sofficeMissingMessage();
  struct Case {
    const char *name, *size, *orient;
    double width, height;
  };
  const Case cases[] = {{"a4-landscape", "0", "1", 841.9, 595.3},
                        {"b5-portrait", "1", "0", 498.9, 708.7},
                        {"unknown-kept", "7", "0", 612.0, 792.0}};
  fs::path dir = fs::temp_directory_path() / ("qf-format-steps-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::vector<word::ConversionJob> jobs;
  for (const Case& c : cases) {
    open(bodyParagraphs(3) + kTable + kLetterSect);
    set("纸张大小", c.size);
    set("页方向", c.orient);
    EngineAccess::setupPage(eng);
    EngineAccess::formatParagraphs(eng);
    EngineAccess::applyFonts(eng);
    std::string docx = (dir / (std::string(c.name) + ".docx")).string();
    doc->saveAs(docx);
    jobs.push_back({docx, (dir / (std::string(c.name) + ".pdf")).string(), "", "", false});
  }
  word::convertFiles(jobs);
  for (size_t i = 0; i < jobs.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    ASSERT_TRUE(jobs[i].ok) << jobs[i].error;
    std::string cmd = "pdfinfo '" + jobs[i].output + "' 2>&1";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
      char buf[512];
      while (fgets(buf, sizeof buf, p))
        out += buf;
      pclose(p);
    }
    std::smatch m;
    ASSERT_TRUE(std::regex_search(out, m, std::regex(R"(Page size:\s+([\d.]+) x ([\d.]+) pts)")))
        << out;
    EXPECT_NEAR(std::stod(m[1]), cases[i].width, 0.5);
    EXPECT_NEAR(std::stod(m[2]), cases[i].height, 0.5);
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
}

// ---- paragraph format ---------------------------------------------------------------------

// Every member the step sets, as read back through the model.
void expectBodyFormat(word::ParagraphFormat f, float lineSpacing, int rule) {
  EXPECT_FLOAT_EQ(f.leftIndent(), 0.0f);
  EXPECT_FLOAT_EQ(f.rightIndent(), 0.0f);
  EXPECT_FLOAT_EQ(f.spaceBefore(), 1.0f);
  EXPECT_EQ(f.spaceBeforeAuto(), 0);
  EXPECT_FLOAT_EQ(f.spaceAfter(), 0.0f);
  EXPECT_EQ(f.spaceAfterAuto(), 0);
  EXPECT_EQ(f.lineSpacingRule(), rule);
  EXPECT_FLOAT_EQ(f.lineSpacing(), lineSpacing);
  EXPECT_FLOAT_EQ(f.lineUnitBefore(), 0.0f);
  EXPECT_FLOAT_EQ(f.lineUnitAfter(), 0.0f);
  EXPECT_EQ(f.widowControl(), 0);
  EXPECT_EQ(f.keepWithNext(), 0);
  EXPECT_EQ(f.keepTogether(), 0);
  EXPECT_EQ(f.pageBreakBefore(), 0);
  EXPECT_EQ(f.noLineNumber(), 0);
  EXPECT_EQ(f.hyphenation(), -1);
  EXPECT_FLOAT_EQ(f.firstLineIndent(), 0.0f);
  EXPECT_EQ(f.outlineLevel(), word::wdOutlineLevelBodyText);
  EXPECT_FLOAT_EQ(f.characterUnitLeftIndent(), 0.0f);
  EXPECT_FLOAT_EQ(f.characterUnitRightIndent(), 0.0f);
  EXPECT_FLOAT_EQ(f.characterUnitFirstLineIndent(), 0.0f);
  EXPECT_EQ(f.autoAdjustRightIndent(), -1);
  EXPECT_EQ(f.disableLineHeightGrid(), 0);
  EXPECT_EQ(f.farEastLineBreakControl(), -1);
  EXPECT_EQ(f.wordWrap(), -1);
  EXPECT_EQ(f.hangingPunctuation(), -1);
  EXPECT_EQ(f.halfWidthPunctuationOnTopOfLine(), 0);
  EXPECT_EQ(f.addSpaceBetweenFarEastAndAlpha(), -1);
  EXPECT_EQ(f.addSpaceBetweenFarEastAndDigit(), -1);
  EXPECT_EQ(f.baseLineAlignment(), word::wdBaselineAlignAuto);
}

TEST_F(FormatSteps, LineSpacingSettings) {
  struct Case {
    const char* setting;
    int rule;
    float spacing;
    const char* lineRule;
    const char* line;
  };
  const Case cases[] = {{"28", word::wdLineSpaceExactly, 28.0f, "exact", "560"},
                        {"2", word::wdLineSpaceDouble, 24.0f, "auto", "480"}, // not 2 points
                        {"1", word::wdLineSpace1pt5, 18.0f, "auto", "360"},
                        {"0", word::wdLineSpaceSingle, 12.0f, "auto", "240"},
                        {"29.5", word::wdLineSpaceExactly, 29.5f, "exact", "590"},
                        {" 20 ", word::wdLineSpaceExactly, 20.0f, "exact", "400"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.setting);
    for (bool withTable : {false, true}) {
      open(para(run("标题"), "<w:pStyle w:val=\"Heading1\"/>") + bodyParagraphs(3) +
           (withTable ? kTable : ""));
      set("行距", c.setting);
      EngineAccess::formatParagraphs(eng);
      for (int i = 1; i <= 4; ++i) {
        SCOPED_TRACE(i);
        expectBodyFormat(format(i), c.spacing, c.rule);
        pugi::xml_node sp = word::nodeOf(paragraph(i)).child("w:pPr").child("w:spacing");
        EXPECT_STREQ(sp.attribute("w:lineRule").value(), c.lineRule);
        EXPECT_STREQ(sp.attribute("w:line").value(), c.line);
      }
    }
  }
}

TEST_F(FormatSteps, IndentsAndSpaceInTheirUnits) {
  open(para(run("甲"), "<w:ind w:left=\"840\" w:right=\"420\" w:hanging=\"420\" "
                       "w:hangingChars=\"200\"/>") +
       para(run("乙"), "<w:ind w:firstLine=\"640\"/>") + para(run("丙")));
  set("左缩进", "1");
  set("右缩进", "0.5");
  set("段前", "0.5");
  set("段后", "1.2");
  EngineAccess::formatParagraphs(eng);
  for (int i = 1; i <= 3; ++i) {
    SCOPED_TRACE(i);
    word::ParagraphFormat f = format(i);
    EXPECT_NEAR(f.leftIndent(), 28.35f, 0.03f); // centimetres, not characters
    EXPECT_NEAR(f.rightIndent(), 14.17f, 0.03f);
    EXPECT_FLOAT_EQ(f.firstLineIndent(), 0.0f); // cleared in both forms
    EXPECT_FLOAT_EQ(f.characterUnitFirstLineIndent(), 0.0f);
    EXPECT_FLOAT_EQ(f.characterUnitLeftIndent(), 0.0f);
    EXPECT_FLOAT_EQ(f.lineUnitBefore(), 0.5f);
    EXPECT_FLOAT_EQ(f.lineUnitAfter(), 1.2f);
    EXPECT_FLOAT_EQ(f.spaceBefore(), 1.0f); // in points before the lines win
    pugi::xml_node ind = word::nodeOf(paragraph(i)).child("w:pPr").child("w:ind");
    EXPECT_FALSE(ind.attribute("w:hanging"));
    EXPECT_FALSE(ind.attribute("w:hangingChars"));
    EXPECT_STREQ(word::nodeOf(paragraph(i))
                     .child("w:pPr")
                     .child("w:spacing")
                     .attribute("w:beforeLines")
                     .value(),
                 "50");
  }
}

TEST_F(FormatSteps, TableParagraphsKeepTheirFormat) {
  open(bodyParagraphs(2) + kTable + bodyParagraphs(1));
  ASSERT_TRUE(paragraph(3).inTable());
  std::string cellBefore = pPrXml(3);
  EngineAccess::formatParagraphs(eng);
  EXPECT_EQ(pPrXml(3), cellBefore);
  for (int i : {1, 2, 4}) {
    SCOPED_TRACE(i);
    expectBodyFormat(format(i), 28.0f, word::wdLineSpaceExactly);
  }
}

TEST_F(FormatSteps, SameFormatOutsideTablesWithAndWithoutTables) {
  const std::string body =
      para(run("标题"), "<w:pStyle w:val=\"Heading1\"/><w:jc w:val=\"center\"/>") +
      para(run("一"), "<w:ind w:firstLineChars=\"200\"/><w:spacing w:before=\"100\"/>") +
      para(run("二"), "<w:keepNext/><w:suppressAutoHyphens/><w:wordWrap/>") + bodyParagraphs(2);
  set("左缩进", "0.3");
  set("段前", "0.2");
  open(body);
  EngineAccess::formatParagraphs(eng);
  std::vector<std::string> plain;
  for (int i = 1; i <= 5; ++i)
    plain.push_back(pPrXml(i));
  open(body + kTable);
  ASSERT_GT(doc->tablesCount(), 0);
  EngineAccess::formatParagraphs(eng);
  for (int i = 1; i <= 5; ++i)
    EXPECT_EQ(pPrXml(i), plain[static_cast<size_t>(i - 1)]) << i;
  // The heading's own settings are overridden explicitly, its alignment is left alone.
  EXPECT_EQ(format(1).keepWithNext(), 0);
  EXPECT_EQ(format(1).outlineLevel(), word::wdOutlineLevelBodyText);
  EXPECT_EQ(format(1).alignment(), word::wdAlignParagraphCenter);
  EXPECT_EQ(format(3).keepWithNext(), 0);
  EXPECT_EQ(format(3).hyphenation(), -1);
}

TEST_F(FormatSteps, ASettingThatIsNotANumberFailsTheStep) {
  struct Case {
    const char *setting, *value;
    bool leftIndentSet; // rows before the failing one were applied
  };
  const Case cases[] = {{"行距", "", true},
                        {"行距", "abc", true},
                        {"左缩进", "1x", false},
                        {"段前", "0.5x", true},
                        {"段后", "", true}};
  for (const Case& c : cases) {
    for (bool withTable : {false, true}) {
      SCOPED_TRACE(std::string(c.setting) + "=" + c.value + (withTable ? " table" : ""));
      configure(eng);
      set("左缩进", "1");
      set(c.setting, c.value);
      // With the table: paragraphs 1 to 3, the cell (4), then paragraph 5.
      open(bodyParagraphs(3) + (withTable ? kTable + bodyParagraphs(1) : ""));
      try {
        EngineAccess::formatParagraphs(eng);
        FAIL() << "no failure";
      } catch (const word::DocumentError& e) {
        EXPECT_NE(std::string(e.what()).find(c.setting), std::string::npos) << e.what();
      }
      // The rows recorded before the failure are set on the first paragraphs worked on: the
      // last run of paragraphs outside tables (the whole text without a table), and no others.
      // The cell keeps its own 5 pt.
      for (int i = 1; i <= (withTable ? 5 : 3); ++i) {
        bool touched = c.leftIndentSet && (!withTable || i == 5);
        float cell = withTable && i == 4 ? 5.0f : 0.0f;
        EXPECT_NEAR(format(i).leftIndent(), touched ? 28.35f : cell, 0.03f) << i;
      }
    }
  }
}

TEST_F(FormatSteps, EmptyIndentBoxesMeanNoIndent) {
  // A fresh install leaves the right-indent box empty; the run must not fail on it.
  for (const char* setting : {"左缩进", "右缩进"}) {
    SCOPED_TRACE(setting);
    configure(eng);
    set(setting, "");
    open(bodyParagraphs(2));
    EngineAccess::formatParagraphs(eng);
    EXPECT_NEAR(format(1).leftIndent(), 0.0f, 0.01f);
    EXPECT_NEAR(format(1).rightIndent(), 0.0f, 0.01f);
  }
}

// ---- the paragraph-format model -----------------------------------------------------------

TEST(ParagraphFormatModel, RecordedChangesMatchTheSettersOneByOne) {
  const std::string body =
      para(run("a"), "<w:pStyle w:val=\"Heading1\"/><w:ind w:left=\"100\" w:startChars=\"50\"/>"
                     "<w:jc w:val=\"right\"/><w:rPr><w:b/></w:rPr>") +
      para(run("b"), "<w:spacing w:line=\"300\" w:lineRule=\"atLeast\"/><w:kinsoku w:val=\"0\"/>") +
      para(run("c"));
  auto apply = [](auto&& f) {
    f.setLeftIndent(10);
    f.setSpaceBefore(1);
    f.setLineSpacingRule(word::wdLineSpaceExactly);
    f.setLineSpacing(30);
    f.setLineUnitBefore(0.5f);
    f.setKeepWithNext(false);
    f.setWordWrap(true);
    f.setFirstLineIndent(-12);
    f.setCharacterUnitFirstLineIndent(0);
    f.setOutlineLevel(word::wdOutlineLevelBodyText);
    f.setBaseLineAlignment(word::wdBaselineAlignCenter);
    f.setFarEastLineBreakControl(true);
  };
  auto one = qftest::makeDoc(body, kStyles);
  auto recorded = qftest::makeDoc(body, kStyles);
  apply(one->contentRange().paragraphFormat());
  word::ParagraphFormat rows;
  apply(rows);
  EXPECT_EQ(rows.leftIndent(), word::kUndefined); // a standalone format has no paragraphs
  recorded->contentRange().paragraphFormat().apply(rows);
  EXPECT_EQ(one->saveToString().size(), recorded->saveToString().size());
  EXPECT_EQ(word::packageOf(*one).bytes("word/document.xml"),
            word::packageOf(*recorded).bytes("word/document.xml"));
}

TEST(ParagraphFormatModel, PropertiesLandInSchemaOrder) {
  // Start from a paragraph with elements at both ends of the sequence and apply everything.
  auto d = qftest::makeDoc(para(run("x"), "<w:pStyle w:val=\"Normal\"/><w:numPr/><w:jc "
                                          "w:val=\"left\"/><w:rPr><w:b/></w:rPr>"),
                           kStyles);
  word::ParagraphFormat f = d->contentRange().paragraphFormat();
  f.setBaseLineAlignment(word::wdBaselineAlignTop);
  f.setWidowControl(true);
  f.setOutlineLevel(2);
  f.setLeftIndent(5);
  f.setKeepWithNext(true);
  f.setSpaceBefore(3);
  f.setAddSpaceBetweenFarEastAndDigit(false);
  f.setHyphenation(false);
  f.setHangingPunctuation(false);
  f.setDisableLineHeightGrid(true);
  f.setAutoAdjustRightIndent(false);
  f.setNoLineNumber(true);
  f.setPageBreakBefore(true);
  f.setKeepTogether(true);
  f.setFarEastLineBreakControl(false);
  f.setWordWrap(false);
  f.setHalfWidthPunctuationOnTopOfLine(true);
  f.setAddSpaceBetweenFarEastAndAlpha(false);
  pugi::xml_node pPr = word::nodeOf(d->paragraphs().item(1)).child("w:pPr");
  // ensureChild() on a copy, element by element in reverse, must give the same sequence.
  std::vector<std::string> got;
  for (pugi::xml_node c = pPr.first_child(); c; c = c.next_sibling())
    got.push_back(c.name());
  pugi::xml_document scratch;
  pugi::xml_node ref = scratch.append_child("w:pPr");
  word::WNames n;
  for (auto it = got.rbegin(); it != got.rend(); ++it)
    word::ensureChild(ref, it->c_str() + 2, n);
  std::vector<std::string> want;
  for (pugi::xml_node c = ref.first_child(); c; c = c.next_sibling())
    want.push_back(c.name());
  EXPECT_EQ(got, want);
  EXPECT_EQ(got.size(), 22u);
}

TEST(ParagraphFormatModel, OnOffMembersAndTheirElements) {
  struct Case {
    const char* member;
    void (word::ParagraphFormat::*set)(bool);
    int (word::ParagraphFormat::*get)() const;
    const char* element;
    bool inverted;
  };
  using PF = word::ParagraphFormat;
  const Case cases[] = {
      {"WidowControl", &PF::setWidowControl, &PF::widowControl, "w:widowControl", false},
      {"KeepWithNext", &PF::setKeepWithNext, &PF::keepWithNext, "w:keepNext", false},
      {"KeepTogether", &PF::setKeepTogether, &PF::keepTogether, "w:keepLines", false},
      {"PageBreakBefore", &PF::setPageBreakBefore, &PF::pageBreakBefore, "w:pageBreakBefore",
       false},
      {"NoLineNumber", &PF::setNoLineNumber, &PF::noLineNumber, "w:suppressLineNumbers", false},
      {"Hyphenation", &PF::setHyphenation, &PF::hyphenation, "w:suppressAutoHyphens", true},
      {"AutoAdjustRightIndent", &PF::setAutoAdjustRightIndent, &PF::autoAdjustRightIndent,
       "w:adjustRightInd", false},
      {"DisableLineHeightGrid", &PF::setDisableLineHeightGrid, &PF::disableLineHeightGrid,
       "w:snapToGrid", true},
      {"FarEastLineBreakControl", &PF::setFarEastLineBreakControl, &PF::farEastLineBreakControl,
       "w:kinsoku", false},
      {"WordWrap", &PF::setWordWrap, &PF::wordWrap, "w:wordWrap", true},
      {"HangingPunctuation", &PF::setHangingPunctuation, &PF::hangingPunctuation, "w:overflowPunct",
       false},
      {"HalfWidthPunctuationOnTopOfLine", &PF::setHalfWidthPunctuationOnTopOfLine,
       &PF::halfWidthPunctuationOnTopOfLine, "w:topLinePunct", false},
      {"AddSpaceBetweenFarEastAndAlpha", &PF::setAddSpaceBetweenFarEastAndAlpha,
       &PF::addSpaceBetweenFarEastAndAlpha, "w:autoSpaceDE", false},
      {"AddSpaceBetweenFarEastAndDigit", &PF::setAddSpaceBetweenFarEastAndDigit,
       &PF::addSpaceBetweenFarEastAndDigit, "w:autoSpaceDN", false},
  };
  for (const Case& c : cases) {
    for (bool on : {true, false, true}) {
      SCOPED_TRACE(std::string(c.member) + (on ? " on" : " off"));
      // The heading style says the opposite for every element, so each value is written.
      std::string opposite;
      for (const Case& o : cases)
        opposite +=
            std::string("<") + o.element + " w:val=\"" + (on != o.inverted ? "0" : "1") + "\"/>";
      auto d = qftest::makeDoc(para(run("x")) + para(run("y")),
                               "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"N\">"
                               "<w:pPr>" +
                                   opposite + "</w:pPr></w:style>");
      PF f = d->contentRange().paragraphFormat();
      EXPECT_EQ((f.*c.get)(), on ? 0 : -1);
      (f.*c.set)(on);
      EXPECT_EQ((f.*c.get)(), on ? -1 : 0);
      pugi::xml_node e = word::nodeOf(d->paragraphs().item(2)).child("w:pPr").child(c.element);
      ASSERT_TRUE(e);
      bool elementOn = !e.attribute("w:val") || std::string(e.attribute("w:val").value()) != "0";
      EXPECT_EQ(elementOn, on != c.inverted);
    }
  }
}

TEST(ParagraphFormatModel, DefaultsAreNotWrittenWhereNothingSaysOtherwise) {
  auto d =
      qftest::makeDoc(para(run("x")) + para(run("h"), "<w:pStyle w:val=\"Heading1\"/>"), kStyles);
  word::ParagraphFormat f = d->contentRange().paragraphFormat();
  f.setKeepWithNext(false);
  f.setOutlineLevel(word::wdOutlineLevelBodyText);
  f.setSpaceBeforeAuto(false);
  f.setCharacterUnitRightIndent(0);
  f.setCharacterUnitLeftIndent(0);
  f.setBaseLineAlignment(word::wdBaselineAlignAuto);
  pugi::xml_node plain = word::nodeOf(d->paragraphs().item(1)).child("w:pPr");
  pugi::xml_node heading = word::nodeOf(d->paragraphs().item(2)).child("w:pPr");
  // The plain paragraph inherits nothing of these (leftChars comes from Normal).
  EXPECT_FALSE(plain.child("w:keepNext"));
  EXPECT_FALSE(plain.child("w:outlineLvl"));
  EXPECT_FALSE(plain.child("w:textAlignment"));
  EXPECT_FALSE(plain.child("w:spacing"));
  EXPECT_FALSE(plain.child("w:ind").attribute("w:rightChars"));
  EXPECT_STREQ(plain.child("w:ind").attribute("w:leftChars").value(), "0");
  // The heading's style sets them: the values are written to win over it.
  EXPECT_STREQ(heading.child("w:keepNext").attribute("w:val").value(), "0");
  EXPECT_STREQ(heading.child("w:outlineLvl").attribute("w:val").value(), "9");
  EXPECT_STREQ(heading.child("w:spacing").attribute("w:beforeAutospacing").value(), "0");
  EXPECT_EQ(f.keepWithNext(), 0);
  EXPECT_EQ(f.outlineLevel(), word::wdOutlineLevelBodyText);
  EXPECT_EQ(f.spaceBeforeAuto(), 0);
  EXPECT_FLOAT_EQ(f.characterUnitLeftIndent(), 0.0f);
}

TEST(ParagraphFormatModel, ValuesOutOfRangeFail) {
  auto d = qftest::makeDoc(para(run("x")));
  word::ParagraphFormat f = d->contentRange().paragraphFormat();
  EXPECT_THROW(f.setLineSpacingRule(6), word::DocumentError);
  EXPECT_THROW(f.setLineSpacing(0), word::DocumentError);
  EXPECT_THROW(f.setOutlineLevel(0), word::DocumentError);
  EXPECT_THROW(f.setBaseLineAlignment(5), word::DocumentError);
  EXPECT_THROW(f.setSpaceBefore(-1), word::DocumentError);
  EXPECT_THROW(f.setLeftIndent(std::numeric_limits<float>::infinity()), word::DocumentError);
  EXPECT_THROW(f.apply(f), word::DocumentError); // not a standalone format
  EXPECT_FALSE(word::nodeOf(d->paragraphs().item(1)).child("w:pPr").first_child());
}

// ---- fonts ----------------------------------------------------------------------------------

// Font name, size and weight of every run and paragraph mark of a paragraph, as written.
void expectRunsAre(word::Paragraph p, const char* name, const char* halfPoints, bool bold) {
  std::vector<pugi::xml_node> rPrs;
  for (pugi::xml_node r = word::nodeOf(p).child("w:r"); r; r = r.next_sibling("w:r"))
    rPrs.push_back(r.child("w:rPr"));
  rPrs.push_back(word::nodeOf(p).child("w:pPr").child("w:rPr"));
  for (pugi::xml_node rPr : rPrs) {
    pugi::xml_node f = rPr.child("w:rFonts");
    for (const char* a : {"w:ascii", "w:hAnsi", "w:eastAsia", "w:cs"})
      EXPECT_STREQ(f.attribute(a).value(), name) << a;
    for (const char* a : {"w:asciiTheme", "w:hAnsiTheme", "w:eastAsiaTheme", "w:cstheme"})
      EXPECT_FALSE(f.attribute(a)) << a;
    EXPECT_STREQ(rPr.child("w:sz").attribute("w:val").value(), halfPoints);
    EXPECT_STREQ(rPr.child("w:szCs").attribute("w:val").value(), halfPoints);
    EXPECT_EQ(word::onOff(rPr, "b", word::WNames()), bold);
    EXPECT_EQ(word::onOff(rPr, "bCs", word::WNames()), bold);
  }
}

const std::string kMixedRuns =
    para(run("标题", "<w:rFonts w:asciiTheme=\"majorHAnsi\" w:eastAsiaTheme=\"majorEastAsia\"/>"
                     "<w:b/>") +
         run("文字")) +
    para(run("正文一", "<w:i/><w:sz w:val=\"30\"/>") + run("正文二", "<w:b w:val=\"1\"/>"),
         "<w:jc w:val=\"left\"/>") +
    para(run("正文三"));

TEST_F(FormatSteps, BodyFontEverywhereWithoutTables) {
  set("一段标题", "0");
  open(kMixedRuns);
  EngineAccess::applyFonts(eng);
  for (int i = 1; i <= 3; ++i) {
    SCOPED_TRACE(i);
    expectRunsAre(paragraph(i), "仿宋_GB2312", "32", false);
  }
  word::Font all = doc->contentRange().font();
  EXPECT_EQ(all.name(), "仿宋_GB2312");
  EXPECT_FLOAT_EQ(all.size(), 16.0f);
  EXPECT_EQ(all.bold(), 0);
  // Other character formatting stays.
  EXPECT_TRUE(word::nodeOf(paragraph(2)).child("w:r").child("w:rPr").child("w:i"));
  // No title: the first paragraph keeps its alignment and spacing.
  EXPECT_EQ(format(2).alignment(), word::wdAlignParagraphLeft);
  EXPECT_FLOAT_EQ(format(1).lineUnitBefore(), 0.0f);
}

TEST_F(FormatSteps, TableTextKeepsItsFont) {
  set("一段标题", "0");
  open(kMixedRuns + kTable + para(run("表后")));
  EngineAccess::applyFonts(eng);
  for (int i : {1, 2, 3, 5}) {
    SCOPED_TRACE(i);
    expectRunsAre(paragraph(i), "仿宋_GB2312", "32", false);
  }
  word::Font cell = paragraph(4).range().font();
  EXPECT_EQ(cell.name(), "Arial");
  EXPECT_FLOAT_EQ(cell.size(), 9.0f);
  EXPECT_EQ(cell.bold(), -1);
  EXPECT_FALSE(word::nodeOf(paragraph(4)).child("w:pPr").child("w:rPr"));
}

TEST_F(FormatSteps, TheTitle) {
  struct Case {
    const char* align;
    int alignment;
  };
  const Case cases[] = {{"1", word::wdAlignParagraphCenter},
                        {"0", word::wdAlignParagraphJustify},
                        {"2", word::wdAlignParagraphRight},
                        {"", word::wdAlignParagraphRight},
                        {"居中", word::wdAlignParagraphRight}};
  for (const Case& c : cases) {
    for (bool withTable : {false, true}) {
      SCOPED_TRACE(std::string(c.align) + (withTable ? " table" : ""));
      set("标题对齐", c.align);
      open(kMixedRuns + (withTable ? kTable : ""));
      EngineAccess::formatParagraphs(eng);
      EngineAccess::applyFonts(eng);
      expectRunsAre(paragraph(1), "方正小标宋简体", "44", false);
      expectRunsAre(paragraph(2), "仿宋_GB2312", "32", false);
      EXPECT_EQ(format(1).alignment(), c.alignment);
      EXPECT_FLOAT_EQ(format(1).lineUnitBefore(), 0.5f);
      EXPECT_FLOAT_EQ(format(1).lineUnitAfter(), 0.5f);
      EXPECT_FLOAT_EQ(format(2).lineUnitBefore(), 0.0f);
      EXPECT_EQ(format(2).alignment(), word::wdAlignParagraphLeft);
    }
  }
}

TEST_F(FormatSteps, SizesAndWeights) {
  struct Case {
    const char *size, *bold;
    const char* halfPoints;
    bool isBold;
  };
  const Case cases[] = {{"10.5", "0", "21", false},
                        {"16", "1", "32", true},
                        {"22", "-1", "44", true},
                        {"7.5", "0.2", "15", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.size) + "/" + c.bold);
    set("一段标题", "0");
    set("正文字号", c.size);
    set("正文加粗", c.bold);
    open(kMixedRuns);
    EngineAccess::applyFonts(eng);
    for (int i = 1; i <= 3; ++i)
      expectRunsAre(paragraph(i), "仿宋_GB2312", c.halfPoints, c.isBold);
  }
}

TEST_F(FormatSteps, AFontSettingThatIsNotANumberFailsTheStep) {
  const std::pair<const char*, const char*> cases[] = {{"正文字号", ""},
                                                       {"正文字号", "三号"},
                                                       {"正文加粗", ""},
                                                       {"标题字号", "x"},
                                                       {"标题加粗", ""}};
  for (auto [setting, value] : cases) {
    for (bool withTable : {false, true}) {
      SCOPED_TRACE(std::string(setting) + "=" + value + (withTable ? " table" : ""));
      configure(eng);
      set(setting, value);
      open(kMixedRuns + (withTable ? kTable : ""));
      try {
        EngineAccess::applyFonts(eng);
        FAIL() << "no failure";
      } catch (const word::DocumentError& e) {
        EXPECT_NE(std::string(e.what()).find(setting), std::string::npos) << e.what();
      }
    }
  }
}

TEST_F(FormatSteps, FontSizesWordRefusesAreRefusedNotClamped) {
  for (auto [setting, value] : std::vector<std::pair<const char*, const char*>>{
           {"正文字号", "10000"}, {"标题字号", "1639"}, {"正文字号", "0.5"}, {"标题字号", "-3"}}) {
    SCOPED_TRACE(std::string(setting) + "=" + value);
    configure(eng);
    set(setting, value);
    open(kMixedRuns);
    try {
      EngineAccess::applyFonts(eng);
      FAIL() << "accepted";
    } catch (const word::DocumentError& e) {
      EXPECT_NE(std::string(e.what()).find(setting), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("1638"), std::string::npos) << e.what();
    }
  }
  configure(eng);
  set("正文字号", "1638");
  open(kMixedRuns);
  EXPECT_NO_THROW(EngineAccess::applyFonts(eng));
  EXPECT_THROW(doc->range(0, 1).font().setSize(10000.0f), word::DocumentError);
}

} // namespace
