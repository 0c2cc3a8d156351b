// The two heading steps on small documents, checked through the document model the way a user
// would look at the result: text, bold, size, font name, alignment, spacing.

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../word/model_helpers.h"
#include "engine/clsdoc.h"
#include "engine_access.h"
#include "word/text.h"

namespace {

using engine::EngineAccess;

const std::string kIndent = "\u3000\u3000";

// Paragraphs of plain text, each in one run of 12 pt (w:sz 24) so size changes show.
std::string body(const std::vector<std::string>& paras) {
  std::string out;
  for (const auto& t : paras)
    out += qftest::para(qftest::run(t, "<w:sz w:val=\"24\"/>"));
  return out;
}

// One table cell holding `cell`, with a paragraph after the table.
std::string tableBody(const std::vector<std::string>& cell) {
  std::string out = "<w:tbl><w:tr><w:tc>" + body(cell) + "</w:tc></w:tr></w:tbl>";
  return out + qftest::para("");
}

struct Engine {
  engine::clsDoc e;
  word::Document* doc = nullptr;

  explicit Engine(const std::string& xmlBody) {
    e.setProperty("标题字体", "黑体");
    e.setProperty("标题加粗", "1");
    e.setProperty("正文字号", "16");
    e.setProperty("段前", "0");
    e.setProperty("段后", "0");
    doc = &EngineAccess::adopt(e, qftest::makeDoc(xmlBody));
  }
  void articles() { EngineAccess::formatArticleHeadings(e); }
  void numbered() { EngineAccess::formatNumberedHeadings(e); }

  word::Range para(int i) { return doc->paragraphs().item(i).range(); }
  // Paragraph i's text without its mark.
  std::string text(int i) {
    std::u32string t = para(i).text32();
    while (!t.empty() && (t.back() == U'\r' || t.back() == U'\a'))
      t.pop_back();
    return word::toUtf8(t);
  }
  // Characters [from, to) of paragraph i.
  word::Range span(int i, int64_t from, int64_t to) {
    int64_t s = para(i).start();
    return doc->range(s + from, s + to);
  }
  int alignment(int i) { return para(i).paragraphFormat().alignment(); }
  float before(int i) { return para(i).paragraphFormat().lineUnitBefore(); }
  float after(int i) { return para(i).paragraphFormat().lineUnitAfter(); }
};

// ---- formatArticleHeadings ---------------------------------------------------------------

TEST(FormatArticleHeadings, ShortChapterBecomesCentredTitleLine) {
  Engine d(body({kIndent + "第一章总则"}));
  d.articles();
  EXPECT_EQ(d.text(1), "第一章\u3000总则");
  EXPECT_EQ(d.alignment(1), word::wdAlignParagraphCenter);
  EXPECT_EQ(d.para(1).font().name(), "黑体");
  EXPECT_EQ(d.para(1).font().bold(), -1);
  EXPECT_FLOAT_EQ(d.para(1).font().size(), 17.0f);
  EXPECT_FLOAT_EQ(d.before(1), 0.2f);
  EXPECT_FLOAT_EQ(d.after(1), 0.2f);
}

TEST(FormatArticleHeadings, SpacingAddsToTheParagraphSettings) {
  Engine d(body({kIndent + "第二十篇附则"}));
  d.e.setProperty("段前", "0.5");
  d.e.setProperty("段后", "1");
  d.articles();
  EXPECT_EQ(d.text(1), "第二十篇\u3000附则");
  EXPECT_FLOAT_EQ(d.before(1), 0.7f);
  EXPECT_FLOAT_EQ(d.after(1), 1.2f);
}

TEST(FormatArticleHeadings, TitleBoldFollowsTheSetting) {
  Engine d(body({kIndent + "第二章机构"}));
  d.e.setProperty("标题加粗", "0");
  d.articles();
  EXPECT_EQ(d.para(1).font().bold(), 0);
  EXPECT_EQ(d.para(1).font().name(), "黑体");
}

struct ArticleCase {
  const char* name;
  std::string text;     // paragraph text before the step
  std::string expected; // after
  int boldChars;        // leading characters that must be bold; the rest must not be
};

void PrintTo(const ArticleCase& c, std::ostream* os) {
  *os << c.text;
}

class ArticleLeadIns : public ::testing::TestWithParam<ArticleCase> {};

TEST_P(ArticleLeadIns, LeadInIsBoldAndFollowedBySpace) {
  const ArticleCase& c = GetParam();
  Engine d(body({c.text}));
  d.articles();
  EXPECT_EQ(d.text(1), c.expected);
  int64_t len = static_cast<int64_t>(word::utf8Length(d.text(1)));
  EXPECT_EQ(d.span(1, 0, c.boldChars).font().bold(), -1);
  if (len > c.boldChars) {
    EXPECT_EQ(d.span(1, c.boldChars, len).font().bold(), 0);
  }
  // The paragraph keeps its alignment, size and font and gets no extra spacing.
  EXPECT_EQ(d.alignment(1), word::wdAlignParagraphLeft);
  EXPECT_FLOAT_EQ(d.para(1).font().size(), 12.0f);
  EXPECT_NE(d.para(1).font().name(), "黑体");
  EXPECT_FLOAT_EQ(d.before(1), 0.0f);
}

INSTANTIATE_TEST_SUITE_P(
    Typical, ArticleLeadIns,
    ::testing::Values(
        ArticleCase{"Article", kIndent + "第三条为了规范管理", kIndent + "第三条\u3000为了规范管理",
                    6},
        ArticleCase{"Section", kIndent + "第五节一般规定", kIndent + "第五节\u3000一般规定", 6},
        ArticleCase{"Clause", kIndent + "第六款", kIndent + "第六款\u3000", 6},
        ArticleCase{"LastNumeral", kIndent + "第六十三条附则", kIndent + "第六十三条\u3000附则", 8},
        ArticleCase{"NoIndent", "第三条为了规范", "第三条\u3000为了规范", 4},
        ArticleCase{"SpacesIndent", "  第三条为了", "  第三条\u3000为了", 6},
        ArticleCase{"ExistingSpace", kIndent + "第一条\u3000内容",
                    kIndent + "第一条\u3000\u3000内容", 6}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FormatArticleHeadings, NonHeadingsAreLeftAlone) {
  const std::vector<std::string> texts = {kIndent + "第六十四条超出范围",
                                          kIndent + "本办法第一章规定",
                                          kIndent + "第1条",
                                          kIndent + "第〇条",
                                          kIndent + "一、总体要求",
                                          kIndent,
                                          ""};
  Engine d(body(texts));
  d.articles();
  for (size_t i = 0; i < texts.size(); ++i) {
    int k = static_cast<int>(i) + 1;
    EXPECT_EQ(d.text(k), texts[i]) << k;
    EXPECT_EQ(d.para(k).font().bold(), 0) << k;
    EXPECT_EQ(d.alignment(k), word::wdAlignParagraphLeft) << k;
  }
}

TEST(FormatArticleHeadings, CentringStopsAtTwentyFourCharacters) {
  // Indent (2) + 第一章 (3) + filler + mark (1): 23 characters in all is a heading line, 24 is
  // a sentence.
  std::string fill17 = "一二三四五六七八九十一二三四五六七";
  std::string line = kIndent + "第一章" + fill17;            // 22 + mark = 23
  std::string sentence = kIndent + "第二章" + fill17 + "八"; // 23 + mark = 24
  Engine d(body({line, sentence}));
  d.articles();
  EXPECT_EQ(d.alignment(1), word::wdAlignParagraphCenter);
  EXPECT_EQ(d.para(1).font().name(), "黑体");
  EXPECT_FLOAT_EQ(d.para(1).font().size(), 17.0f);
  // The long one keeps alignment and fonts, yet loses its indent, gains the spacing and the
  // ideographic space.
  EXPECT_EQ(d.text(2), "第二章\u3000" + fill17 + "八");
  EXPECT_EQ(d.alignment(2), word::wdAlignParagraphLeft);
  EXPECT_NE(d.para(2).font().name(), "黑体");
  EXPECT_FLOAT_EQ(d.para(2).font().size(), 12.0f);
  EXPECT_EQ(d.para(2).font().bold(), 0);
  EXPECT_FLOAT_EQ(d.before(2), 0.2f);
  EXPECT_FLOAT_EQ(d.after(2), 0.2f);
}

TEST(FormatArticleHeadings, HeadingsInTableCellsAreFormattedWithoutIndent) {
  Engine d(tableBody({"第一章总则", "第四条内容"}));
  d.articles();
  EXPECT_EQ(d.text(1), "第一章\u3000总则");
  EXPECT_EQ(d.alignment(1), word::wdAlignParagraphCenter);
  EXPECT_EQ(d.text(2), "第四条\u3000内容");
  EXPECT_EQ(d.span(2, 0, 4).font().bold(), -1);
  EXPECT_EQ(d.span(2, 4, 6).font().bold(), 0);
  // The cell still ends where it did.
  EXPECT_EQ(d.para(2).text(), "第四条\u3000内容\r\a");
}

TEST(FormatArticleHeadings, WholeRegulationInOrder) {
  Engine d(body({"某某管理办法", kIndent + "第一章总则", kIndent + "第一条为了规范。",
                 kIndent + "第二条本办法适用于。", kIndent + "第二章附则",
                 kIndent + "第三条本办法自发布之日起施行。"}));
  d.articles();
  EXPECT_EQ(d.doc->paragraphs().count(), 6);
  EXPECT_EQ(d.text(1), "某某管理办法");
  EXPECT_EQ(d.text(2), "第一章\u3000总则");
  EXPECT_EQ(d.text(3), kIndent + "第一条\u3000为了规范。");
  EXPECT_EQ(d.text(4), kIndent + "第二条\u3000本办法适用于。");
  EXPECT_EQ(d.text(5), "第二章\u3000附则");
  EXPECT_EQ(d.text(6), kIndent + "第三条\u3000本办法自发布之日起施行。");
  for (int k : {2, 5})
    EXPECT_EQ(d.alignment(k), word::wdAlignParagraphCenter) << k;
  for (int k : {3, 4, 6})
    EXPECT_EQ(d.span(k, 0, 6).font().bold(), -1) << k;
}

struct BadSetting {
  const char* setting;
  const char* value;
  std::string heading; // the first heading that needs the setting
};

void PrintTo(const BadSetting& c, std::ostream* os) {
  *os << c.setting << "=" << c.value;
}

class ArticleBadSettings : public ::testing::TestWithParam<BadSetting> {};

TEST_P(ArticleBadSettings, FailNamingSettingAndText) {
  const BadSetting& c = GetParam();
  Engine d(body({kIndent + "第一条内容", c.heading}));
  d.e.setProperty(c.setting, c.value);
  try {
    d.articles();
    FAIL() << "no error for " << c.setting;
  } catch (const word::DocumentError& e) {
    EXPECT_NE(std::string(e.what()).find(c.setting), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find(c.value), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(Typical, ArticleBadSettings,
                         ::testing::Values(BadSetting{"正文字号", "小四", kIndent + "第一章总则"},
                                           BadSetting{"标题加粗", "是", kIndent + "第一章总则"},
                                           BadSetting{"段前", "abc", kIndent + "第一章总则"},
                                           BadSetting{"段后", "1..5", kIndent + "第一章总则"},
                                           BadSetting{"段前", "-1", kIndent + "第一章总则"},
                                           BadSetting{"段前", "x",
                                                      kIndent + "第一章" + std::string(60, 'x')}));

TEST(FormatArticleHeadings, SettingsAreReadOnlyWhenAHeadingNeedsThem) {
  // Articles and long chapters never read the sizes; documents without chapters never read
  // the spacing.
  Engine d(body({kIndent + "第一条内容", kIndent + "普通段落"}));
  for (const char* name : {"正文字号", "标题加粗", "段前", "段后"})
    d.e.setProperty(name, "?");
  EXPECT_NO_THROW(d.articles());
  EXPECT_EQ(d.text(1), kIndent + "第一条\u3000内容");
}

// ---- formatNumberedHeadings --------------------------------------------------------------

TEST(FormatNumberedHeadings, FirstLevelGetsCommaAndTitleFontOnLeadSentence) {
  Engine d(body({kIndent + "一。总体要求。坚持稳中求进。"}));
  d.numbered();
  EXPECT_EQ(d.text(1), kIndent + "一、总体要求。坚持稳中求进。");
  EXPECT_EQ(d.alignment(1), word::wdAlignParagraphJustify);
  // 　　一、总体要求。 is 9 characters.
  EXPECT_EQ(d.span(1, 0, 9).font().name(), "黑体");
  EXPECT_EQ(d.span(1, 0, 9).font().bold(), -1);
  EXPECT_NE(d.span(1, 9, 16).font().name(), "黑体");
  EXPECT_EQ(d.span(1, 9, 16).font().bold(), 0);
  // The size is not the step's business.
  EXPECT_FLOAT_EQ(d.para(1).font().size(), 12.0f);
}

TEST(FormatNumberedHeadings, FirstLevelWithoutFullStopTakesTitleFontThroughout) {
  Engine d(body({kIndent + "二、工作任务", kIndent + "三、已经规范的标题。正文"}));
  d.numbered();
  EXPECT_EQ(d.text(1), kIndent + "二、工作任务");
  EXPECT_EQ(d.para(1).font().name(), "黑体");
  EXPECT_EQ(d.text(2), kIndent + "三、已经规范的标题。正文");
  EXPECT_EQ(d.span(2, 0, 12).font().name(), "黑体");
  EXPECT_NE(d.span(2, 12, 14).font().name(), "黑体");
  EXPECT_EQ(d.alignment(2), word::wdAlignParagraphJustify);
}

struct NumberedCase {
  const char* name;
  std::string text;
  std::string expected;
  int alignment;
};

void PrintTo(const NumberedCase& c, std::ostream* os) {
  *os << c.text;
}

class NumberedRewrites : public ::testing::TestWithParam<NumberedCase> {};

TEST_P(NumberedRewrites, SeparatorAndAlignment) {
  const NumberedCase& c = GetParam();
  Engine d(body({c.text}));
  d.numbered();
  EXPECT_EQ(d.text(1), c.expected);
  EXPECT_EQ(d.alignment(1), c.alignment);
}

constexpr int kJustify = word::wdAlignParagraphJustify, kLeft = word::wdAlignParagraphLeft;

INSTANTIATE_TEST_SUITE_P(
    Typical, NumberedRewrites,
    ::testing::Values(
        NumberedCase{"DianComma", kIndent + "3、加强管理", kIndent + "3.加强管理", kJustify},
        NumberedCase{"DianStop", kIndent + "1。目标", kIndent + "1.目标", kJustify},
        NumberedCase{"DianTwenty", kIndent + "20、末项", kIndent + "20.末项", kJustify},
        NumberedCase{"WuComma", kIndent + "(二)、工作措施", kIndent + "(二)工作措施", kJustify},
        NumberedCase{"WuDigit", kIndent + "(1)。内容", kIndent + "(1)内容", kJustify},
        NumberedCase{"WuLetter", kIndent + "(a)、内容", kIndent + "(a)内容", kJustify},
        NumberedCase{"WuTen", kIndent + "(10)、内容", kIndent + "(10)内容", kJustify},
        NumberedCase{"DunFifty", kIndent + "五十。末项", kIndent + "五十、末项", kJustify},
        NumberedCase{"DunFiftyOne", kIndent + "五十一。超出", kIndent + "五十一。超出", kLeft},
        NumberedCase{"DianTwentyOne", kIndent + "21、超出", kIndent + "21、超出", kLeft},
        NumberedCase{"WuEleven", kIndent + "(十一)、超出", kIndent + "(十一)、超出", kLeft},
        NumberedCase{"WuK", kIndent + "(k)、超出", kIndent + "(k)、超出", kLeft},
        NumberedCase{"DotTyped", kIndent + "1.已是点号", kIndent + "1.已是点号", kLeft},
        NumberedCase{"FullWidthParens", kIndent + "（一）、全角", kIndent + "（一）、全角", kLeft},
        NumberedCase{"Middle", kIndent + "要点一、其次", kIndent + "要点一、其次", kLeft},
        NumberedCase{"OneIs", kIndent + "一是加强", kIndent + "一是加强", kLeft},
        NumberedCase{"NoIndent", "2、无缩进", "2.无缩进", kJustify}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FormatNumberedHeadings, HeadingsInTableCellsAreRewrittenInPlace) {
  Engine d(tableBody({"一。总则。内容", "1。目标", "(1)、措施"}));
  d.numbered();
  EXPECT_EQ(d.para(1).text(), "一、总则。内容\r");
  EXPECT_EQ(d.span(1, 0, 5).font().name(), "黑体");
  EXPECT_EQ(d.para(2).text(), "1.目标\r");
  EXPECT_EQ(d.para(3).text(), "(1)措施\r\a");
  EXPECT_EQ(d.doc->paragraphs().count(), 4);
}

TEST(FormatNumberedHeadings, RewriteKeepsTheFormattingAroundTheSeparator) {
  // Number, separator and text in runs of their own; the text's run keeps its size and bold.
  std::string p = qftest::para(qftest::run(kIndent + "(2)", "<w:sz w:val=\"24\"/>") +
                               qftest::run("、", "<w:sz w:val=\"24\"/>") +
                               qftest::run("重点", "<w:b/><w:sz w:val=\"32\"/>"));
  Engine d(p);
  d.numbered();
  EXPECT_EQ(d.text(1), kIndent + "(2)重点");
  EXPECT_FLOAT_EQ(d.span(1, 5, 7).font().size(), 16.0f);
  EXPECT_EQ(d.span(1, 5, 7).font().bold(), -1);
  EXPECT_FLOAT_EQ(d.span(1, 0, 5).font().size(), 12.0f);
}

TEST(FormatNumberedHeadings, NoticeWithAllLevels) {
  Engine d(
      body({"关于做好某项工作的通知", kIndent + "一。总体要求。坚持。", kIndent + "(一)、基本原则",
            kIndent + "1、依法办事", kIndent + "(1)。具体要求", kIndent + "二、保障措施"}));
  d.numbered();
  EXPECT_EQ(d.text(1), "关于做好某项工作的通知");
  EXPECT_EQ(d.alignment(1), kLeft);
  EXPECT_EQ(d.text(2), kIndent + "一、总体要求。坚持。");
  EXPECT_EQ(d.text(3), kIndent + "(一)基本原则");
  EXPECT_EQ(d.text(4), kIndent + "1.依法办事");
  EXPECT_EQ(d.text(5), kIndent + "(1)具体要求");
  EXPECT_EQ(d.text(6), kIndent + "二、保障措施");
  for (int k = 2; k <= 6; ++k)
    EXPECT_EQ(d.alignment(k), kJustify) << k;
  // Only first-level headings take the title font.
  for (int k : {2, 6})
    EXPECT_EQ(d.span(k, 0, 4).font().name(), "黑体") << k;
  for (int k : {3, 4, 5})
    EXPECT_NE(d.para(k).font().name(), "黑体") << k;
}

TEST(FormatNumberedHeadings, BadTitleBoldFailsOnlyAtFirstLevelHeading) {
  {
    Engine d(body({kIndent + "3、加强管理", kIndent + "(二)、措施"}));
    d.e.setProperty("标题加粗", "粗");
    EXPECT_NO_THROW(d.numbered());
    EXPECT_EQ(d.text(1), kIndent + "3.加强管理");
  }
  {
    Engine d(body({kIndent + "一、总体要求"}));
    d.e.setProperty("标题加粗", "粗");
    try {
      d.numbered();
      FAIL() << "no error";
    } catch (const word::DocumentError& e) {
      EXPECT_NE(std::string(e.what()).find("标题加粗"), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find("粗"), std::string::npos) << e.what();
    }
  }
}

// The two steps in the order the run calls them, on a regulation whose articles carry
// numbered items: the article step's ideographic space does not hide an item, and the item
// step does not touch the article lead-ins.
TEST(HeadingSteps, ArticlesThenNumberedItems) {
  Engine d(body({kIndent + "第一章总则", kIndent + "第一条下列事项：", kIndent + "(一)、登记；",
                 kIndent + "(二)。备案。"}));
  d.articles();
  d.numbered();
  EXPECT_EQ(d.text(1), "第一章\u3000总则");
  EXPECT_EQ(d.text(2), kIndent + "第一条\u3000下列事项：");
  EXPECT_EQ(d.text(3), kIndent + "(一)登记；");
  EXPECT_EQ(d.text(4), kIndent + "(二)备案。");
  EXPECT_EQ(d.alignment(1), word::wdAlignParagraphCenter);
}

// After the indentation step, as in a run: the headings find the indent it wrote.
TEST(HeadingSteps, AfterIndentation) {
  Engine d(body({"第一章总则", "第一条为了规范。", "一。总体要求。坚持。", "3、加强管理"}));
  d.e.setProperty("头空格", "1");
  EngineAccess::indentParagraphs(d.e);
  d.articles();
  d.numbered();
  EXPECT_EQ(d.text(1), "第一章\u3000总则");
  EXPECT_EQ(d.alignment(1), word::wdAlignParagraphCenter);
  EXPECT_EQ(d.text(2), kIndent + "第一条\u3000为了规范。");
  EXPECT_EQ(d.span(2, 0, 6).font().bold(), -1);
  EXPECT_EQ(d.text(3), kIndent + "一、总体要求。坚持。");
  EXPECT_EQ(d.span(3, 0, 9).font().name(), "黑体");
  EXPECT_EQ(d.text(4), kIndent + "3.加强管理");
}

} // namespace
