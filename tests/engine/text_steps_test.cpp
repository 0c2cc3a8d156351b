// The text steps of the document run: cleanup, punctuation, indentation, signature block and
// blank lines. Documents are built from WordprocessingML, run through the steps as the full run
// calls them, and read back through the document model.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "../word/model_helpers.h"
#include "engine/recognisers/date_line.h"
#include "engine/recognisers/tab_pad.h"
#include "engine_access.h"
#include "word/internal/access.h"
#include "word/internal/xmlns.h"
#include "word/package.h"
#include "word/sections.h"
#include "word/text.h"

using engine::EngineAccess;
using qftest::para;
using qftest::run;

namespace {

const std::string kBreak = "<w:r><w:br/></w:r>";
const std::string kTab = "<w:r><w:tab/></w:r>";
const std::string kPicture = "<w:r><w:drawing><wp:inline xmlns:wp=\"urn:test\"/></w:drawing></w:r>";
const std::string kField = "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r>"
                           "<w:r><w:instrText xml:space=\"preserve\"> PAGE </w:instrText></w:r>"
                           "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>" +
                           run("7") + "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>";
const std::string kIndent = "\u3000\u3000";

// Paragraphs of plain text; an empty text gives an empty paragraph.
std::string paras(const std::vector<std::string>& texts) {
  std::string body;
  for (const auto& t : texts)
    body += t.empty() ? "<w:p/>" : para(run(t));
  return body;
}

std::string table(const std::string& cellBody) {
  return "<w:tbl><w:tr><w:tc>" + cellBody + "</w:tc></w:tr></w:tbl>";
}

class TextSteps : public ::testing::Test {
protected:
  engine::clsDoc eng;
  word::Document* doc = nullptr;

  // Makes `body` the engine's open document, as the run leaves it before the steps.
  void open(const std::string& body) {
    doc = &EngineAccess::adopt(eng, qftest::makeDoc(body));
    doc->selection().wholeStory();
  }
  void set(const char* name, const std::string& value) { eng.setProperty(name, value); }

  // Paragraph texts without their marks (a cell's "\r\a" included).
  std::vector<std::string> texts() {
    std::vector<std::string> out;
    word::Paragraphs ps = doc->paragraphs();
    for (int i = 1; i <= ps.count(); ++i) {
      std::string t = ps.item(i).range().text();
      if (t.size() >= 2 && t.compare(t.size() - 2, 2, "\r\a") == 0)
        t.resize(t.size() - 2);
      else if (!t.empty() && t.back() == '\r')
        t.pop_back();
      out.push_back(t);
    }
    return out;
  }
  int alignment(int index) { return doc->paragraphs().item(index).format().alignment(); }
  std::string xml() { return word::serializeXml(*word::packageOf(*doc).xml("word/document.xml")); }
};

} // namespace

// ---- cleanText ----------------------------------------------------------------------------

struct CleanCase {
  const char* name;
  std::string body;
  std::string spaces; // 空格
  std::vector<std::string> expected;
};

TEST_F(TextSteps, CleanTextWithoutTables) {
  const CleanCase cases[] = {
      {"line break splits", para(run("甲乙") + kBreak + run("丙丁")), "1", {"甲乙", "丙丁"}},
      {"break at the end gives an empty paragraph", para(run("甲") + kBreak), "1", {"甲", ""}},
      {"both spaces deleted", paras({"\u3000\u3000a b\u3000c  "}), "1", {"abc"}},
      {"empty switch counts as on", paras({"a b"}), "", {"ab"}},
      {"off: inner spaces stay, edges go",
       paras({"  Hello world \u3000", "\u3000\u3000正文 内容"}),
       "0",
       {"Hello world", "正文 内容"}},
      {"off: split lines are trimmed too",
       para(run("甲 ") + kBreak + run(" 乙")),
       "0",
       {"甲", "乙"}},
      {"off: a paragraph of spaces becomes empty", paras({" \u3000 ", "x"}), "0", {"", "x"}},
      {"no-break space is not a space", paras({"a\u00A0b"}), "1", {"a\u00A0b"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    open(c.body);
    set("空格", c.spaces);
    EngineAccess::cleanText(eng);
    EXPECT_EQ(texts(), c.expected);
  }
}

TEST_F(TextSteps, CleanTextLeavesTablesAlone) {
  for (const char* spaces : {"1", "0"}) {
    SCOPED_TRACE(spaces);
    // The paragraph before the table loses two spaces; the cell right after it holds spaces
    // and a line break that must survive every pass.
    open(para(run(" a\u3000b ") + kBreak + run("c d")) +
         table(para(run("\u3000x y") + kBreak + run("z"))) + paras({"  e f  "}));
    set("空格", spaces);
    EngineAccess::cleanText(eng);
    std::vector<std::string> want =
        std::string(spaces) == "1"
            ? std::vector<std::string>{"ab", "cd", "\u3000x y\vz", "ef"}
            : std::vector<std::string>{"a\u3000b", "c d", "\u3000x y\vz", "e f"};
    EXPECT_EQ(texts(), want);
  }
}

TEST_F(TextSteps, CleanTextBetweenSeveralTables) {
  open(table(para(run("a b"))) + paras({"c d", "\u3000e"}) + table(para(run("f\u3000g"))) +
       para(run("h") + kBreak + run(" i")));
  EngineAccess::cleanText(eng);
  EXPECT_EQ(texts(), (std::vector<std::string>{"a b", "cd", "e", "f\u3000g", "h", "i"}));
}

TEST_F(TextSteps, CleanTextChangesNothingWithoutSpacesOrBreaks) {
  for (bool withTable : {false, true}) {
    open(paras({"第一段。", "第二段"}) + (withTable ? table(para(run("格"))) : "") + paras({"尾"}));
    std::string before = xml();
    EngineAccess::cleanText(eng);
    EXPECT_EQ(xml(), before) << withTable;
  }
}

// ---- fixPunctuation -----------------------------------------------------------------------

struct PunctCase {
  const char* name;
  std::string marks, stops, parens; // 标点, 句号, 小括号
  std::string in, out;
};

TEST_F(TextSteps, FixPunctuationTable) {
  const PunctCase cases[] = {
      {"sentence", "1", "1", "1", "你好,世界.结束;", "你好，世界。结束；"},
      {"question, exclamation, colon", "1", "1", "1", "什么?好!注:", "什么？好！注："},
      {"tab deleted", "1", "1", "1", "ab\tcd", "abcd"},
      {"decimal", "1", "1", "1", "3.14", "3.14"},
      {"thousands", "1", "1", "1", "共1,000元", "共1,000元"},
      {"time", "1", "1", "1", "时间:10:30", "时间：10:30"},
      {"address", "1", "1", "1", "见www.gov.cn网站", "见www.gov.cn网站"},
      {"version", "1", "1", "1", "版本v1.0,更新", "版本v1.0，更新"},
      {"list number before Chinese", "1", "1", "1", "1.加强", "1。加强"},
      {"mark at the paragraph end", "1", "1", "1", "end.", "end。"},
      {"mark before a space", "1", "1", "1", "Hi, there", "Hi， there"},
      {"full-width marks stay", "1", "1", "1", "，。：？！；", "，。：？！；"},
      {"full-width stop becomes ideographic", "1", "1", "0", "完\uFF0E1\uFF0E5", "完。1。5"},
      {"half-width parentheses never widen", "1", "1", "1", "(一)", "(一)"},
      {"parentheses only", "0", "0", "1", "（一）总则,是\t", "(一)总则,是\t"},
      {"parentheses off", "1", "1", "0", "（一）", "（一）"},
      {"stops off", "1", "0", "0", "好.坏,\uFF0E", "好.坏，\uFF0E"},
      {"stops only", "0", "1", "0", "好.坏,", "好。坏,"},
      {"empty switches count as on", "", "", "", "（甲）,乙.", "(甲)，乙。"},
      {"all off", "0", "0", "0", "a,b.（c）\t", "a,b.（c）\t"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string body;
    // Tabs are elements of their own in a document.
    std::string in = c.in;
    size_t tab = in.find('\t');
    if (tab == std::string::npos)
      body = paras({in});
    else
      body = para(run(in.substr(0, tab)) + kTab +
                  (tab + 1 < in.size() ? run(in.substr(tab + 1)) : ""));
    open(body);
    set("标点", c.marks);
    set("句号", c.stops);
    set("小括号", c.parens);
    EngineAccess::fixPunctuation(eng);
    EXPECT_EQ(texts(), std::vector<std::string>{c.out});
  }
}

TEST_F(TextSteps, FixPunctuationCoversTheWholeDocumentWhereverTheSelectionIs) {
  open(paras({"甲,乙"}) + table(para(run("格,子"))) + paras({"丙.丁"}));
  doc->selection().homeKey(word::wdStory);
  EngineAccess::fixPunctuation(eng);
  EXPECT_EQ(texts(), (std::vector<std::string>{"甲，乙", "格，子", "丙。丁"}));
}

// ---- indentParagraphs ---------------------------------------------------------------------

TEST_F(TextSteps, IndentParagraphsWithFirstLineSwitch) {
  struct Case {
    std::string first; // 头空格
    bool firstKeeps;
  };
  for (const Case& c : {Case{"1", true}, Case{"", true}, Case{"x", true}, Case{"0", false}}) {
    SCOPED_TRACE(c.first);
    open(paras({"标题", "正文", ""}));
    set("头空格", c.first);
    EngineAccess::indentParagraphs(eng);
    EXPECT_EQ(texts(), (std::vector<std::string>{c.firstKeeps ? kIndent + "标题" : "标题",
                                                 kIndent + "正文", kIndent}));
    for (int i = 1; i <= 3; ++i)
      EXPECT_EQ(alignment(i), word::wdAlignParagraphJustify) << i;
  }
}

TEST_F(TextSteps, IndentAddsToAnExistingIndent) {
  open(paras({"标题", kIndent + "已缩进"}));
  EngineAccess::indentParagraphs(eng);
  EXPECT_EQ(texts()[1], kIndent + kIndent + "已缩进");
}

TEST_F(TextSteps, IndentLeavesTablesAlone) {
  for (const char* first : {"0", "1"}) {
    SCOPED_TRACE(first);
    // The table is the first thing of the document: with 头空格 "0" nothing is deleted.
    open(table(para(run("格子"), "<w:jc w:val=\"center\"/>")) + paras({"正文"}));
    set("头空格", first);
    EngineAccess::indentParagraphs(eng);
    EXPECT_EQ(texts(), (std::vector<std::string>{"格子", kIndent + "正文"}));
    EXPECT_EQ(alignment(1), word::wdAlignParagraphCenter);
    EXPECT_EQ(alignment(2), word::wdAlignParagraphJustify);
  }
}

TEST_F(TextSteps, IndentKeepsTheFirstRunsFormatting) {
  open(para(run("粗", "<w:b/>") + run("细")));
  EngineAccess::indentParagraphs(eng);
  word::Range r = doc->paragraphs().item(1).range();
  EXPECT_EQ(doc->range(r.start(), r.start() + 3).font().bold(), -1);
}

// The step inserts the indent where rewriting the whole paragraph as kIndent + its text would
// put it: the XML must be the same as that rewrite's, whatever the paragraph holds.
TEST_F(TextSteps, IndentWritesWhatTheWholeRewriteWrites) {
  const std::string bold = "<w:b/>";
  const struct {
    const char* name;
    std::string body;
  } cases[] = {
      {"plain", paras({"正文"})},
      {"empty", "<w:p/>"},
      {"indent in its own formatting", para(run(kIndent, bold) + run("正文"))},
      {"one space bold, one plain", para(run("\u3000", bold) + run("\u3000正文"))},
      {"only spaces over two runs", para(run("\u3000", bold) + run("\u3000\u3000"))},
      {"starts with a tab", para(kTab + run("正文"))},
      {"starts with a picture", para(kPicture + run("正文"))},
      {"starts with a field", para(kField + run("页"))},
      {"space then field", para(run("\u3000") + kField)},
      {"line break inside", para(run("甲") + kBreak + run("乙"))},
      {"line feed in the text", para("<w:r><w:t xml:space=\"preserve\">甲\n乙</w:t></w:r>")},
      {"carriage return in the text", para("<w:r><w:t xml:space=\"preserve\">甲\r乙</w:t></w:r>")},
      {"several paragraphs and a table",
       paras({"一", "\u3000二", ""}) + table(para(run("格"))) + paras({"三"})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    open(c.body);
    set("头空格", "1");
    // The rewrite of every paragraph outside tables, from the last to the first.
    word::Paragraphs ps = doc->paragraphs();
    for (int i = ps.count(); i > 0; --i) {
      word::Range r = ps.item(i).range();
      if (r.tablesCount() >= 1)
        continue;
      r.setText(kIndent + r.text());
      r.paragraphFormat().setAlignment(word::wdAlignParagraphJustify);
    }
    const std::string want = xml();
    open(c.body);
    set("头空格", "1");
    EngineAccess::indentParagraphs(eng);
    EXPECT_EQ(xml(), want);
  }
}

// ---- recognisers --------------------------------------------------------------------------

TEST(DateLine, Recognises) {
  struct Case {
    std::u32string text;
    bool want;
  };
  const Case cases[] = {
      {U"2023年5月6日\r", true},
      {U"二〇二三年五月六日\r", true},
      {U"\u3000\u30002023年5月6日\r", true},  // the indent is trimmed
      {U"五月六日\r", false},                 // 5: too short
      {U"二〇二三年十二月二十六日\r", false}, // 13: too long
      {U"二〇二三年十二月二十日\r", true},    // 12
      {U"2023年5月\r", true},                 // 年 and 月
      {U"2023年五六七八\r", false},           // 年 alone
      {U"五六七八九月\r", false},             // 月 alone
      {U"自发布之日起施行。\r", true},
      {U"2023年5月6日 \u3000 \u3000\r", false}, // spaces before the mark stay: 14
      {U"日\r", false},
      {U"", false},
      {U"\U00020000\U00020000\U00020000日\r", true}, // 4 characters, 8 UTF-16 units
  };
  for (const auto& c : cases)
    EXPECT_EQ(engine::isDateLine(c.text), c.want) << word::toUtf8(c.text);
}

TEST(TabPad, OneTabOnlyForOne) {
  EXPECT_EQ(engine::tabPad(1), "\t");
  for (int n : {0, 2, 3, -1, 100})
    EXPECT_EQ(engine::tabPad(n), "\t\t") << n;
}

// ---- formatSignature ----------------------------------------------------------------------

namespace {
const std::string kSig = "某某市人民政府";
const std::string kDate = "2023年5月6日";
} // namespace

TEST_F(TextSteps, SignatureStandardBlock) {
  for (const char* blanks : {"1", "0"}) {
    SCOPED_TRACE(blanks);
    open(paras({"通知", "正文。", "", "正文二。", "", "", kSig, kDate}));
    set("空行", blanks);
    EngineAccess::indentParagraphs(eng);
    EngineAccess::formatSignature(eng);
    // Signature 10 characters with its mark, date 12: the signature gets two tabs more.
    std::vector<std::string> want{kIndent + "通知",
                                  kIndent + "正文。",
                                  kIndent,
                                  kIndent + "正文二。",
                                  kIndent,
                                  kIndent,
                                  kIndent + kSig + "\t\t\t\t",
                                  kIndent + kDate + "\t\t"};
    if (std::string(blanks) == "1")
      want.erase(want.begin() + 2);
    EXPECT_EQ(texts(), want);
    int n = static_cast<int>(want.size());
    EXPECT_EQ(alignment(n), word::wdAlignParagraphRight);
    EXPECT_EQ(alignment(n - 1), word::wdAlignParagraphRight);
    EXPECT_EQ(alignment(n - 2), word::wdAlignParagraphJustify);
  }
}

TEST_F(TextSteps, SignatureNotFormatted) {
  struct Case {
    const char* name;
    std::vector<std::string> in, out; // 空行 "1"
  };
  const Case cases[] = {
      {"one blank line only", {"正文", "", kSig, kDate}, {"正文", kSig, kDate}},
      {"third line up not blank: the search stops there",
       {"正文", "", "", "甲单位", "2023年1月1日", "正文", "", "乙单位", kDate},
       {"正文", "甲单位", "2023年1月1日", "正文", "乙单位", kDate}},
      // The story's last mark cannot go: the last blank paragraph is emptied, not removed.
      {"no date at all", {"", "正文", "", "", "结尾", ""}, {"正文", "结尾", ""}},
      {"date in paragraph 2", {kSig, kDate}, {kSig, kDate}},
      {"date in paragraph 1", {kDate}, {kDate}},
      {"date in paragraph 3 under a blank", {"", kSig, kDate}, {kSig, kDate}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    open(paras(c.in));
    EngineAccess::formatSignature(eng);
    EXPECT_EQ(texts(), c.out);
    for (int i = 1; i <= static_cast<int>(c.out.size()); ++i)
      EXPECT_NE(alignment(i), word::wdAlignParagraphRight) << i;
  }
}

TEST_F(TextSteps, SignatureBottomMostQualifyingCandidate) {
  // The last line is a date but the line two up from it is not blank; the date above it
  // qualifies. The upper block is never considered.
  open(paras({"正文", "", "", "甲单位", "2023年1月1日", "正文", "", "", "乙单位", "2023年2月2日",
              "2023年3月3日"}));
  set("空行", "0");
  EngineAccess::formatSignature(eng);
  std::vector<std::string> t = texts();
  EXPECT_EQ(t[3], "甲单位");
  EXPECT_EQ(t[4], "2023年1月1日");
  EXPECT_EQ(t[8], "乙单位\t\t\t\t");
  EXPECT_EQ(t[9], "2023年2月2日\t\t");
  EXPECT_EQ(t[10], "2023年3月3日");
  EXPECT_EQ(alignment(9), word::wdAlignParagraphRight);
  EXPECT_EQ(alignment(10), word::wdAlignParagraphRight);
  EXPECT_NE(alignment(11), word::wdAlignParagraphRight);
  EXPECT_NE(alignment(5), word::wdAlignParagraphRight);
}

TEST_F(TextSteps, SignatureSentenceTakenForDate) {
  open(paras({"第一条 内容。", "", "", "本办法", "自发布之日起施行。"}));
  EngineAccess::formatSignature(eng);
  std::vector<std::string> t = texts();
  ASSERT_EQ(t.size(), 5u);
  EXPECT_EQ(t[3].substr(0, 9), "本办法");
  EXPECT_NE(t[3].find('\t'), std::string::npos);
  EXPECT_NE(t[4].find('\t'), std::string::npos);
  EXPECT_EQ(alignment(4), word::wdAlignParagraphRight);
  EXPECT_EQ(alignment(5), word::wdAlignParagraphRight);
}

TEST_F(TextSteps, SignatureRounding) {
  // L characters with the mark: signature bytes 2L - 1, date bytes 2L; the shorter line gets
  // tabPad(k) more, k = half the difference rounded to even.
  struct Case {
    const char* name;
    std::string sig, date;
    int sigTabs, dateTabs;
  };
  const Case cases[] = {
      {"equal: difference 1, k 0", "一二三四五六七八九", "2023年5月6日", 4, 2},
      {"signature 3 longer: difference 5, k 2", "一二三四五六七八九十甲乙", "2023年5月6日", 2, 4},
      {"date 1 longer: difference 3, k 2", "一二三四五六七八", "2023年5月6日", 4, 2},
      {"signature 1 longer: difference 1, k 0", "一二三四五六七八九十", "2023年5月6日", 2, 4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    open(paras({"正文", "", "", c.sig, c.date}));
    EngineAccess::formatSignature(eng);
    std::vector<std::string> t = texts();
    EXPECT_EQ(t[3], c.sig + std::string(static_cast<size_t>(c.sigTabs), '\t'));
    EXPECT_EQ(t[4], c.date + std::string(static_cast<size_t>(c.dateTabs), '\t'));
  }
}

TEST_F(TextSteps, SignatureAtTheTopOfTheDocument) {
  open(paras({"", "", kSig, kDate}));
  EngineAccess::formatSignature(eng);
  EXPECT_EQ(texts(), (std::vector<std::string>{"", "", kSig + "\t\t\t\t", kDate + "\t\t"}));
  EXPECT_EQ(alignment(3), word::wdAlignParagraphRight);
}

TEST_F(TextSteps, SignatureLastParagraphKeepsTheCount) {
  open(paras({"正文", "", "", kSig, kDate}));
  EngineAccess::formatSignature(eng);
  EXPECT_EQ(doc->paragraphs().count(), 5);
  EXPECT_EQ(texts().back(), kDate + "\t\t");
}

TEST_F(TextSteps, BlankRemovalVisitsTables) {
  // A blank paragraph inside a cell goes like any other; the cell's own last paragraph stays.
  open(paras({"正文", ""}) + table(para("") + para(run("格"))) + paras({"", "尾"}));
  EngineAccess::formatSignature(eng);
  EXPECT_EQ(texts(), (std::vector<std::string>{"正文", "格", "尾"}));
}

// ---- all four steps -----------------------------------------------------------------------

TEST_F(TextSteps, PictureAndFieldSurviveEveryStep) {
  open(para(run("图 示,") + kPicture + run("说明.") + kField + run(" 页")) +
       paras({"", "", kSig, kDate}));
  EngineAccess::cleanText(eng);
  EngineAccess::fixPunctuation(eng);
  EngineAccess::indentParagraphs(eng);
  EngineAccess::formatSignature(eng);
  std::vector<std::string> t = texts();
  ASSERT_EQ(t.size(), 5u);
  EXPECT_EQ(t[0], kIndent + "图示，\x01说明。7页");
  std::string x = xml();
  EXPECT_NE(x.find("<wp:inline"), std::string::npos);
  EXPECT_NE(x.find("PAGE"), std::string::npos);
  EXPECT_NE(x.find("w:fldCharType=\"separate\""), std::string::npos);
  EXPECT_EQ(alignment(5), word::wdAlignParagraphRight);
  // The document still saves and reopens with the same text.
  auto again = qftest::roundTrip(*doc);
  EXPECT_EQ(again->paragraphs().item(1).range().text(), t[0] + "\r");
}

TEST_F(TextSteps, FullChainOnASample) {
  open(paras({"关于 做好工作的通知", "各单位:", "  一是加强领导,提高认识.", "二是落实责任;", "", "",
              "", "某某市人民政府", "2023年5月6日"}));
  for (const char* k : {"空格", "标点", "句号", "小括号", "空行"})
    set(k, "1");
  set("头空格", "0");
  EngineAccess::cleanText(eng);
  EngineAccess::fixPunctuation(eng);
  EngineAccess::indentParagraphs(eng);
  EngineAccess::formatSignature(eng);
  EXPECT_EQ(texts(), (std::vector<std::string>{
                         "关于做好工作的通知", kIndent + "各单位：",
                         kIndent + "一是加强领导，提高认识。", kIndent + "二是落实责任；", kIndent,
                         kIndent, kIndent + kSig + "\t\t\t\t", kIndent + kDate + "\t\t"}));
}

// ---- real documents -----------------------------------------------------------------------

TEST_F(TextSteps, NoticeSample) {
  doc = &EngineAccess::adopt(
      eng, word::Document::openPackage(QF_SOURCE_DIR "/samples/通知-安全生产大检查.docx"));
  doc->selection().wholeStory();
  for (const char* k : {"空格", "标点", "句号", "小括号", "空行"})
    set(k, "1");
  set("头空格", "0");
  EngineAccess::cleanText(eng);
  EngineAccess::fixPunctuation(eng);
  EngineAccess::indentParagraphs(eng);
  EngineAccess::formatSignature(eng);
  std::vector<std::string> t = texts();
  ASSERT_EQ(t.size(), 17u); // the blank line under the title is gone
  EXPECT_EQ(t[0], "关于开展2024年度安全生产大检查的通知");
  EXPECT_EQ(t[1], kIndent + "各区县人民政府，市政府各部门，各有关单位：");
  EXPECT_EQ(t[7],
            kIndent +
                "(二)建筑施工领域。重点检查深基坑、高支模、起重机械等危险性较大的分部分项工程。");
  EXPECT_NE(t[12].find("(联系人：王明，电话：0571-87654321，邮箱：ajb@example.gov.cn)"),
            std::string::npos);
  EXPECT_EQ(t[13], kIndent);
  EXPECT_EQ(t[14], kIndent);
  // Both lines are 12 characters long: the signature gets two tabs more.
  EXPECT_EQ(t[15], kIndent + "某某市安全生产委员会\t\t\t\t");
  EXPECT_EQ(t[16], kIndent + "2024年3月15日\t\t");
  EXPECT_EQ(alignment(16), word::wdAlignParagraphRight);
  EXPECT_EQ(alignment(17), word::wdAlignParagraphRight);
  EXPECT_EQ(alignment(2), word::wdAlignParagraphJustify);
}

// Every document of the corpus goes through the four steps without losing a table, a picture
// or another object, and still saves and reopens.
TEST_F(TextSteps, CorpusKeepsObjectsAndTables) {
  namespace fs = std::filesystem;
  fs::path dir = fs::path(QF_CORPUS_DIR) / "word";
  if (!fs::is_directory(dir))
    FAIL() << "the corpus is missing from " << dir;
  auto objects = [](const std::string& s) {
    return std::count_if(s.begin(), s.end(), [](char c) { return c == '\x01' || c == '\x02'; });
  };
  int seen = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".docx")
      continue;
    SCOPED_TRACE(entry.path().filename().string());
    doc = &EngineAccess::adopt(eng, word::Document::openPackage(entry.path().string()));
    int tables = doc->tablesCount();
    doc->selection().wholeStory();
    auto before = objects(doc->contentRange().text());
    EXPECT_NO_THROW({
      EngineAccess::cleanText(eng);
      EngineAccess::fixPunctuation(eng);
      EngineAccess::indentParagraphs(eng);
      EngineAccess::formatSignature(eng);
    });
    EXPECT_EQ(objects(doc->contentRange().text()), before);
    EXPECT_EQ(doc->tablesCount(), tables);
    auto again = qftest::roundTrip(*doc);
    EXPECT_EQ(again->paragraphs().count(), doc->paragraphs().count());
    ++seen;
  }
  EXPECT_GT(seen, 0);
}

// ---- nothing but blank paragraphs goes ------------------------------------------------------

namespace {

const std::string kCheckBox =
    "<w:r><w:fldChar w:fldCharType=\"begin\"><w:ffData><w:name w:val=\"Check1\"/><w:checkBox>"
    "<w:sizeAuto/><w:default w:val=\"0\"/></w:checkBox></w:ffData></w:fldChar></w:r>"
    "<w:r><w:instrText xml:space=\"preserve\"> FORMCHECKBOX </w:instrText></w:r>"
    "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>";
const std::string kDropDown =
    "<w:r><w:fldChar w:fldCharType=\"begin\"><w:ffData><w:name w:val=\"Drop1\"/><w:ddList>"
    "<w:listEntry w:val=\"甲\"/></w:ddList></w:ffData></w:fldChar></w:r>"
    "<w:r><w:instrText xml:space=\"preserve\"> FORMDROPDOWN </w:instrText></w:r>"
    "<w:r><w:fldChar w:fldCharType=\"separate\"/></w:r><w:r><w:fldChar w:fldCharType=\"end\"/>"
    "</w:r>";
const std::string kEmptySimple = "<w:fldSimple w:instr=\" DATE \"/>";
const std::string kContentControl =
    "<w:sdt><w:sdtPr><w:alias w:val=\"CC\"/></w:sdtPr><w:sdtContent/></w:sdt>";
const std::string kShape = "<w:r><w:pict><v:line xmlns:v=\"urn:schemas-microsoft-com:vml\"/>"
                           "</w:pict></w:r>";
const std::string kBookmark =
    "<w:bookmarkStart w:id=\"7\" w:name=\"mark\"/><w:bookmarkEnd w:id=\"7\"/>";
const std::string kEquation =
    "<m:oMath xmlns:m=\"http://schemas.openxmlformats.org/officeDocument/2006/math\">"
    "<m:r><m:t>x</m:t></m:r></m:oMath>";

struct KeptCase {
  const char* name;
  std::string inner;  // the paragraph's content, spaces around it
  const char* marker; // what the XML must still hold afterwards
};

} // namespace

class ObjectParagraphs : public TextSteps, public ::testing::WithParamInterface<KeptCase> {};

TEST_P(ObjectParagraphs, AreNotBlankAndSurviveTheCleanup) {
  // Each object alone in a paragraph between blank lines, spaces and a tab around it: every
  // text step runs with every cleanup switch on; the blank lines go, the object stays.
  const KeptCase& c = GetParam();
  open(paras({"正文", ""}) + para(run(" ") + kTab + c.inner + run("\u3000 ")) + paras({"", "尾"}));
  set("空格", "1");
  set("标点", "1");
  set("空行", "1");
  set("头空格", "1");
  EngineAccess::cleanText(eng);
  EngineAccess::fixPunctuation(eng);
  EngineAccess::indentParagraphs(eng);
  EngineAccess::formatSignature(eng);
  EXPECT_EQ(doc->paragraphs().count(), 3) << c.name;
  EXPECT_NE(xml().find(c.marker), std::string::npos) << c.name << "\n" << xml();
  EXPECT_FALSE(doc->paragraphs().item(2).isBlank()) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Kinds, ObjectParagraphs,
                         ::testing::Values(KeptCase{"checkbox", kCheckBox, "FORMCHECKBOX"},
                                           KeptCase{"dropdown", kDropDown, "FORMDROPDOWN"},
                                           KeptCase{"field without result", kEmptySimple, "DATE"},
                                           KeptCase{"content control", kContentControl, "w:alias"},
                                           KeptCase{"picture", kPicture, "wp:inline"},
                                           KeptCase{"shape", kShape, "v:line"},
                                           KeptCase{"bookmark", kBookmark, "w:bookmarkStart"},
                                           KeptCase{"equation", kEquation, "m:oMath"}),
                         [](const auto& info) {
                           std::string n = info.param.name;
                           std::replace(n.begin(), n.end(), ' ', '_');
                           return n;
                         });

TEST_F(TextSteps, FieldsBetweenDeletedCharactersKeepTheirCode) {
  // Form fields without a result, right after a tab or between spaces of a trimmed edge: the
  // characters go, the fields stay (with 空格 off only the edges are trimmed).
  open(para(run("  ") + kCheckBox + run(" ") + kEmptySimple + run("选项") + kTab + kCheckBox +
            run(" ")));
  set("空格", "0");
  set("标点", "1");
  EngineAccess::cleanText(eng);
  EngineAccess::fixPunctuation(eng);
  std::string x = xml();
  size_t boxes = 0;
  for (size_t at = x.find("FORMCHECKBOX"); at != std::string::npos;
       at = x.find("FORMCHECKBOX", at + 1))
    ++boxes;
  EXPECT_EQ(boxes, 2u) << x;
  EXPECT_NE(x.find("DATE"), std::string::npos) << x;
  EXPECT_EQ(texts(), (std::vector<std::string>{"选项"}));
}

TEST_F(TextSteps, BlankRemovalNeverJoinsTables) {
  // Three tables kept apart by blank paragraphs only: removing those would make one table.
  open(paras({"正文"}) + table(para(run("一"))) + "<w:p/>" + table(para(run("二"))) +
       para(run("\u3000")) + table(para(run("三"))) + paras({"", "尾"}));
  EngineAccess::formatSignature(eng);
  EXPECT_EQ(doc->tablesCount(), 3);
  auto again = qftest::roundTrip(*doc);
  EXPECT_EQ(again->tablesCount(), 3);
  EXPECT_EQ(texts(), (std::vector<std::string>{"正文", "一", "", "二", "", "三", "尾"}));
}

TEST_F(TextSteps, BlankRemovalKeepsEverySectionAndItsParagraphs) {
  // Consecutive blank paragraphs that end sections, and one blank paragraph before a
  // section's text: the section count and the section of each kept paragraph stay.
  auto sect = [](const char* cols) {
    return std::string("<w:pPr><w:sectPr><w:type w:val=\"continuous\"/><w:cols w:num=\"") + cols +
           "\"/></w:sectPr></w:pPr>";
  };
  open(para(run("甲")) + "<w:p>" + sect("1") + "</w:p>" + "<w:p>" + sect("2") + "</w:p>" +
       "<w:p/>" + para(run("乙")) + "<w:p>" + sect("3") + "</w:p>" + para(run("丙")) +
       "<w:sectPr><w:cols w:num=\"4\"/></w:sectPr>");
  word::Sections sections = doc->sections();
  ASSERT_EQ(sections.count(), 4);
  EngineAccess::formatSignature(eng);
  EXPECT_EQ(doc->sections().count(), 4);
  // Which section holds each text: its own cols count.
  auto sectionOf = [&](const std::string& text) {
    for (int i = 1; i <= doc->sections().count(); ++i)
      if (doc->sections().item(i).range().text().find(text) != std::string::npos)
        return word::attr(word::sectPrOf(doc->sections().item(i)).child("w:cols"), "num", {});
    return std::string("?");
  };
  EXPECT_EQ(sectionOf("甲"), "1");
  EXPECT_EQ(sectionOf("乙"), "3");
  EXPECT_EQ(sectionOf("丙"), "4");
  EXPECT_EQ(texts(), (std::vector<std::string>{"甲", "", "", "乙", "", "丙"}));
}
