// The engine's typed settings: every accessor reads a property the engine has, lists map their
// positions, weights round one way in every step, and a bad value fails where it is read,
// naming the setting.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "../word/model_helpers.h"
#include "engine/clsdoc.h"
#include "engine_access.h"

using engine::Alignment;
using engine::EngineAccess;
using qftest::para;
using qftest::run;

namespace {

// An engine holding a usable value for every setting.
void configure(engine::clsDoc& e) {
  const std::pair<const char*, const char*> values[] = {
      {"纸张大小", "0"},   {"页方向", "0"},   {"上边距", "3.7"},    {"下边距", "3.5"},
      {"左边距", "2.8"},   {"右边距", "2.6"}, {"页眉边距", "1.5"},  {"页脚边距", "2.8"},
      {"装订线位置", "0"}, {"装订线", "0"},   {"使用页眉", "1"},    {"组合页眉", "0"},
      {"使用页码", "1"},   {"页眉", "页眉"},  {"页眉对齐", "1"},    {"页眉字体", "宋体"},
      {"页眉字号", "9"},   {"页码格式", "1"}, {"页码对齐", "1"},    {"正文字体", "仿宋_GB2312"},
      {"正文字号", "16"},  {"正文加粗", "0"}, {"标题字体", "黑体"}, {"标题字号", "22"},
      {"标题加粗", "1"},   {"一段标题", "1"}, {"标题对齐", "1"},    {"字号增减", "1"},
      {"行距", "28"},      {"左缩进", "0"},   {"右缩进", "0"},      {"段前", "0"},
      {"段后", "0"},       {"标点", "1"},     {"空格", "1"},        {"空行", "1"},
      {"头空格", "0"},     {"小括号", "1"},   {"分栏", "0"},        {"句号", "0"},
      {"水印", "0"},       {"水印图片", ""},  {"水印文字", "样稿"}, {"水印字体", "宋体"},
      {"水印样式", "1"},   {"水印颜色", "0"}};
  for (auto [name, value] : values)
    e.setProperty(name, value);
}

TEST(Settings, EveryAccessorReadsAPropertyOfTheEngine) {
  engine::clsDoc eng;
  configure(eng);
  const engine::Settings& s = eng.settings();
  // An accessor naming a property the engine does not have throws std::invalid_argument.
  auto readAll = [&] {
    s.paperSize();
    s.portrait();
    s.topMarginCm();
    s.bottomMarginCm();
    s.leftMarginCm();
    s.rightMarginCm();
    s.headerDistanceCm();
    s.footerDistanceCm();
    s.gutterPosition();
    s.gutterCm();
    s.useHeader();
    s.combinedHeader();
    s.usePageNumbers();
    s.headerText();
    s.headerAlign();
    s.headerFont();
    s.headerFontSize();
    s.dashedPageNumbers();
    s.pageNumberAlign();
    s.bodyFont();
    s.bodyFontSize();
    s.bodyBold();
    s.titleFont();
    s.titleFontSize();
    s.titleBold();
    s.firstParagraphIsTitle();
    s.titleAlign();
    s.fontSizesLarger();
    s.lineSpacingRule();
    s.lineSpacingPoints();
    s.leftIndentCm();
    s.rightIndentCm();
    s.spaceBeforeLines();
    s.spaceAfterLines();
    s.fullWidthPunctuation();
    s.removeSpaces();
    s.removeBlankLines();
    s.indentFirstParagraph();
    s.halfWidthParentheses();
    s.twoColumns();
    s.fullWidthFullStops();
    s.watermark();
    s.watermarkPicture();
    s.watermarkText();
    s.watermarkFont();
    s.diagonalWatermark();
    s.watermarkColor();
  };
  EXPECT_NO_THROW(readAll());
  EXPECT_THROW(s.text("页眉文字"), std::invalid_argument);
}

// Each list position, and the fallback of any other text.
TEST(Settings, ListsMapTheirPositions) {
  engine::clsDoc eng;
  const engine::Settings& s = eng.settings();
  struct Case {
    const char* name;
    std::function<int()> read;
    std::vector<std::pair<std::string, int>> values;
  };
  auto as = [](auto v) { return static_cast<int>(v); };
  using engine::GutterPosition;
  using engine::LineSpacingRule;
  using engine::PaperSize;
  using engine::Watermark;
  const Case cases[] = {
      {"标题对齐",
       [&] { return as(s.titleAlign()); },
       {{"0", as(Alignment::Justify)},
        {"1", as(Alignment::Center)},
        {"2", as(Alignment::Right)},
        {"", as(Alignment::Right)},
        {" 1", as(Alignment::Right)}}},
      {"页眉对齐",
       [&] { return as(s.headerAlign()); },
       {{"0", as(Alignment::Justify)}, {"1", as(Alignment::Center)}, {"9", as(Alignment::Right)}}},
      {"页码对齐",
       [&] { return as(s.pageNumberAlign()); },
       {{"0", as(Alignment::Justify)}, {"1", as(Alignment::Center)}, {"x", as(Alignment::Right)}}},
      {"纸张大小",
       [&] { return s.paperSize() ? as(*s.paperSize()) : -1; },
       {{"0", as(PaperSize::A4)},
        {"1", as(PaperSize::B5)},
        {"2", as(PaperSize::A3)},
        {"3", -1},
        {"", -1}}},
      {"装订线位置",
       [&] { return as(s.gutterPosition()); },
       {{"0", as(GutterPosition::Left)},
        {"1", as(GutterPosition::Right)},
        {"2", as(GutterPosition::Top)},
        {"-1", as(GutterPosition::Top)}}},
      {"行距",
       [&] { return as(s.lineSpacingRule()); },
       {{"0", as(LineSpacingRule::Single)},
        {"1", as(LineSpacingRule::OneAndAHalf)},
        {"2", as(LineSpacingRule::Double)},
        {"2.0", as(LineSpacingRule::Exactly)},
        {"28", as(LineSpacingRule::Exactly)}}},
      {"水印",
       [&] { return as(s.watermark()); },
       {{"0", as(Watermark::None)},
        {"1", as(Watermark::Picture)},
        {"2", as(Watermark::Text)},
        {"3", as(Watermark::Unchanged)},
        {"", as(Watermark::Unchanged)}}},
      {"水印颜色",
       [&] { return s.watermarkColor().value_or(-1); },
       {{"0", 150 + 150 * 256 + 150 * 65536},
        {"1", 255},
        {"2", 0},
        {"3", 255 * 65536},
        {"4", 255 * 256},
        {"5", -1}}},
      {"页方向", [&] { return as(s.portrait()); }, {{"0", 1}, {"1", 0}, {"", 0}}},
      {"页码格式", [&] { return as(s.dashedPageNumbers()); }, {{"0", 0}, {"1", 1}, {"", 1}}},
      {"字号增减", [&] { return as(s.fontSizesLarger()); }, {{"0", 1}, {"1", 0}, {"", 0}}},
      {"水印样式", [&] { return as(s.diagonalWatermark()); }, {{"0", 0}, {"1", 1}}},
  };
  for (const Case& c : cases)
    for (const auto& [text, want] : c.values) {
      eng.setProperty(c.name, text);
      EXPECT_EQ(c.read(), want) << c.name << " “" << text << "”";
    }
}

TEST(Settings, AlignmentsAreWordsConstants) {
  EXPECT_EQ(engine::wordAlignment(Alignment::Justify), word::wdAlignParagraphJustify);
  EXPECT_EQ(engine::wordAlignment(Alignment::Center), word::wdAlignParagraphCenter);
  EXPECT_EQ(engine::wordAlignment(Alignment::Right), word::wdAlignParagraphRight);
}

TEST(Settings, WeightsRoundHalvesToEvenWithinTheIntegerRange) {
  engine::clsDoc eng;
  const std::pair<const char*, bool> bold[] = {
      {"0", false},    {"1", true},    {"-1", true},  {"0.2", false},      {"0.5", false},
      {"-0.5", false}, {"0.51", true}, {"1.5", true}, {"2147483520", true}};
  for (const char* name : {"正文加粗", "标题加粗"})
    for (const auto& [text, on] : bold) {
      eng.setProperty(name, text);
      const engine::Settings& s = eng.settings();
      EXPECT_EQ(std::string(name) == "正文加粗" ? s.bodyBold() : s.titleBold(), on)
          << name << " “" << text << "”";
    }
  for (const char* text : {"1e10", "-3e9", "2147483648"}) {
    eng.setProperty("正文加粗", text);
    try {
      eng.settings().bodyBold();
      ADD_FAILURE() << "accepted “" << text << "”";
    } catch (const word::DocumentError& e) {
      EXPECT_EQ(std::string(e.what()), std::string("设置“正文加粗”的值“") + text + "”超出整数范围");
    }
  }
}

using Read = std::function<float(const engine::Settings&)>;

TEST(Settings, BlankIndentsAreNoIndentOtherBlankNumbersFail) {
  engine::clsDoc eng;
  const std::pair<const char*, Read> indents[] = {
      {"左缩进", [](const engine::Settings& s) { return s.leftIndentCm(); }},
      {"右缩进", [](const engine::Settings& s) { return s.rightIndentCm(); }}};
  for (const auto& [name, read] : indents)
    for (const char* blank : {"", " ", "\t "}) {
      eng.setProperty(name, blank);
      EXPECT_EQ(read(eng.settings()), 0.0f) << name;
    }
  const std::pair<const char*, Read> numbers[] = {
      {"上边距", [](const engine::Settings& s) { return s.topMarginCm(); }},
      {"装订线", [](const engine::Settings& s) { return s.gutterCm(); }},
      {"段后", [](const engine::Settings& s) { return s.spaceAfterLines(); }},
      {"行距", [](const engine::Settings& s) { return s.lineSpacingPoints(); }}};
  for (const auto& [name, read] : numbers) {
    eng.setProperty(name, " ");
    try {
      read(eng.settings());
      ADD_FAILURE() << name;
    } catch (const word::DocumentError& e) {
      EXPECT_EQ(std::string(e.what()), std::string("设置“") + name + "”的值为空，应为数字");
    }
  }
}

TEST(Settings, FontSizesOutsideWhatWordTakesFailNamingTheSetting) {
  engine::clsDoc eng;
  const std::pair<const char*, Read> sizes[] = {
      {"正文字号", [](const engine::Settings& s) { return s.bodyFontSize(); }},
      {"标题字号", [](const engine::Settings& s) { return s.titleFontSize(); }},
      {"页眉字号", [](const engine::Settings& s) { return s.headerFontSize(); }}};
  for (const auto& [name, read] : sizes) {
    for (const char* ok : {"1", "10.5", "1638"}) {
      eng.setProperty(name, ok);
      EXPECT_FLOAT_EQ(read(eng.settings()), std::stof(ok)) << name;
    }
    for (const char* bad : {"0.5", "1638.5", "-3"}) {
      eng.setProperty(name, bad);
      try {
        read(eng.settings());
        ADD_FAILURE() << name << " accepted " << bad;
      } catch (const word::DocumentError& e) {
        EXPECT_EQ(std::string(e.what()),
                  std::string("设置“") + name + "”的值 " + bad +
                      " 磅超出字号的范围（1 至 1638 磅），请改为这个范围内的字号");
      }
    }
  }
}

// 标题加粗 sets the weight of the title (applyFonts), of chapter headings
// (formatArticleHeadings) and of first-level lead sentences (formatNumberedHeadings); all three
// read the same text the same way, halves included.
TEST(Settings, TitleWeightIsTheSameInEveryStep) {
  const std::string indent = "\u3000\u3000";
  for (const char* text : {"0.5", "1.5", "2.5", "-0.5", "0", "1"}) {
    SCOPED_TRACE(text);
    engine::clsDoc eng;
    configure(eng);
    eng.setProperty("一段标题", "1");
    eng.setProperty("标题加粗", text);
    word::Document& doc = EngineAccess::adopt(
        eng, qftest::makeDoc(para(run("关于加强管理的规定")) + para(run(indent + "第一章总则")) +
                             para(run(indent + "一、总体要求。正文"))));
    EngineAccess::applyFonts(eng);
    EngineAccess::formatArticleHeadings(eng);
    EngineAccess::formatNumberedHeadings(eng);
    const int title = doc.paragraphs().item(1).range().font().bold();
    word::Range chapter = doc.paragraphs().item(2).range();
    word::Range lead = doc.paragraphs().item(3).range();
    lead.setRange(lead.start(), lead.start() + 7); // 　　一、总体要求
    EXPECT_NE(title, word::wdUndefined);
    EXPECT_EQ(chapter.font().bold(), title);
    EXPECT_EQ(lead.font().bold(), title);
    EXPECT_EQ(title != 0, eng.settings().titleBold());
  }
}

} // namespace
