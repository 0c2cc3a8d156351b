// The heading recognisers over their whole tables and just beyond them.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/recognisers/article_number.h"
#include "engine/recognisers/dian_hao.h"
#include "engine/recognisers/dun_hao.h"
#include "engine/recognisers/wu_hao.h"
#include "word/text.h"

namespace {

using engine::ChineseNumerals;
using word::toU32;

// The counting numerals 1 … 63 written out by hand, independent of how the engine builds them.
const char* const kNumerals =
    "一 二 三 四 五 六 七 八 九 十 十一 十二 十三 十四 十五 十六 十七 十八 十九 二十 二十一 "
    "二十二 二十三 二十四 二十五 二十六 二十七 二十八 二十九 三十 三十一 三十二 三十三 三十四 "
    "三十五 三十六 三十七 三十八 三十九 四十 四十一 四十二 四十三 四十四 四十五 四十六 四十七 "
    "四十八 四十九 五十 五十一 五十二 五十三 五十四 五十五 五十六 五十七 五十八 五十九 六十 "
    "六十一 六十二 六十三";

std::vector<std::string> handNumerals() {
  std::vector<std::string> out;
  std::string s(kNumerals), cur;
  for (char c : s) {
    if (c == ' ') {
      out.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  out.push_back(cur);
  return out;
}

// The indents a paragraph may carry in front of its heading: none, the two ideographic spaces
// of the indentation step, and typed ASCII spaces.
const char* const kIndents[] = {"", "\u3000\u3000", "  ", " \u3000"};

TEST(ChineseNumerals, HoldsTheCountingNumeralsOneToSixtyThree) {
  auto expected = handNumerals();
  ASSERT_EQ(expected.size(), 63u);
  ASSERT_EQ(ChineseNumerals().size(), 63u);
  for (size_t k = 0; k < expected.size(); ++k)
    EXPECT_EQ(word::toUtf8(ChineseNumerals()[k]), expected[k]) << "entry for " << k + 1;
}

// ---- matchArticleNumber ------------------------------------------------------------------

struct ArticleCase {
  const char* text;
  int length;
  bool chapter;
};

void PrintTo(const ArticleCase& c, std::ostream* os) {
  *os << c.text;
}

class MatchArticleNumber : public ::testing::TestWithParam<ArticleCase> {};

TEST_P(MatchArticleNumber, GivesLengthAndKind) {
  const ArticleCase& c = GetParam();
  bool chapter = !c.chapter; // must be overwritten either way
  EXPECT_EQ(engine::matchArticleNumber(toU32(c.text), chapter), c.length) << c.text;
  EXPECT_EQ(chapter, c.chapter) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    TypicalAndEdge, MatchArticleNumber,
    ::testing::Values(
        ArticleCase{"第一章总则\r", 3, true}, ArticleCase{"\u3000\u3000第一章总则\r", 3, true},
        ArticleCase{"第二十篇\r", 4, true}, ArticleCase{"第三条为了规范\r", 3, false},
        ArticleCase{"第五节\r", 3, false}, ArticleCase{"第六款\r", 3, false},
        // Found at 十一, not at 十 (the unit must follow the numeral directly).
        ArticleCase{"第十一章\r", 4, true}, ArticleCase{"第六十三条\r", 5, false},
        ArticleCase{"第六十四条\r", 0, false}, ArticleCase{"第七十条\r", 0, false},
        ArticleCase{"第一百条\r", 0, false}, ArticleCase{"第1条\r", 0, false},
        ArticleCase{"第〇条\r", 0, false}, ArticleCase{"第零条\r", 0, false},
        ArticleCase{"第１条\r", 0, false}, ArticleCase{"第一部分\r", 0, false},
        ArticleCase{"第一\r", 0, false}, ArticleCase{"第一", 0, false}, ArticleCase{"第", 0, false},
        ArticleCase{"", 0, false}, ArticleCase{"\u3000\u3000\r", 0, false},
        ArticleCase{"本法第一章规定\r", 0, false}, ArticleCase{"\t第一章\r", 0, false},
        ArticleCase{"第 一章\r", 0, false},
        // A second lead-in later on changes nothing; an existing ideographic space neither.
        ArticleCase{"第一条\u3000第二条\r", 3, false},
        // Table paragraphs end in the cell mark.
        ArticleCase{"第四条\r\a", 3, false}));

TEST(MatchArticleNumberTable, EveryNumeralWithEveryUnitAndIndent) {
  auto numerals = handNumerals();
  struct Unit {
    const char* text;
    bool chapter;
  };
  const Unit units[] = {{"章", true}, {"篇", true}, {"条", false}, {"节", false}, {"款", false}};
  for (size_t k = 0; k < numerals.size(); ++k) {
    int n = static_cast<int>(toU32(numerals[k]).size());
    for (const Unit& u : units) {
      for (const char* indent : kIndents) {
        std::string text = std::string(indent) + "第" + numerals[k] + u.text + "　内容\r";
        bool chapter = false;
        EXPECT_EQ(engine::matchArticleNumber(toU32(text), chapter), n + 2) << text;
        EXPECT_EQ(chapter, u.chapter) << text;
      }
    }
  }
}

TEST(MatchArticleNumberTable, NumeralsJustBeyondTheTableAreNotLeadIns) {
  for (const char* numeral : {"六十四", "六十五", "六十九", "七十", "九十九"}) {
    for (const char* unit : {"章", "篇", "条", "节", "款"}) {
      std::string text = std::string("第") + numeral + unit + "\r";
      bool chapter = true;
      EXPECT_EQ(engine::matchArticleNumber(toU32(text), chapter), 0) << text;
      EXPECT_FALSE(chapter) << text;
    }
  }
}

// ---- the numbered-heading recognisers ----------------------------------------------------

using Recogniser = int (*)(std::u32string_view);

struct HeadingCase {
  const char* name;
  Recogniser match;
  const char* text;
  int position;
};

void PrintTo(const HeadingCase& c, std::ostream* os) {
  *os << c.name << " " << c.text;
}

class NumberedHeadingRecogniser : public ::testing::TestWithParam<HeadingCase> {};

TEST_P(NumberedHeadingRecogniser, GivesSeparatorPosition) {
  const HeadingCase& c = GetParam();
  EXPECT_EQ(c.match(toU32(c.text)), c.position) << c.name << ": " << c.text;
}

const Recogniser kDun = engine::matchDunHao;
const Recogniser kDian = engine::matchDianHao;
const Recogniser kWu = engine::matchWuHao;

INSTANTIATE_TEST_SUITE_P(
    TypicalAndEdge, NumberedHeadingRecogniser,
    ::testing::Values(
        HeadingCase{"dun", kDun, "一、总体要求\r", 2},
        HeadingCase{"dun", kDun, "一。总体要求\r", 2},
        HeadingCase{"dun", kDun, "\u3000\u3000一。总体要求。坚持\r", 2},
        HeadingCase{"dun", kDun, "十一、\r", 3}, HeadingCase{"dun", kDun, "五十、\r", 3},
        HeadingCase{"dun", kDun, "五十一、\r", 0}, HeadingCase{"dun", kDun, "六十三、\r", 0},
        HeadingCase{"dun", kDun, "一是\r", 0}, HeadingCase{"dun", kDun, "一．\r", 0},
        HeadingCase{"dun", kDun, "一,\r", 0}, HeadingCase{"dun", kDun, "一.\r", 0},
        HeadingCase{"dun", kDun, "一\r", 0}, HeadingCase{"dun", kDun, "一", 0},
        HeadingCase{"dun", kDun, "", 0}, HeadingCase{"dun", kDun, "要点一、\r", 0},
        HeadingCase{"dun", kDun, "〇、\r", 0}, HeadingCase{"dun", kDun, "1、\r", 0},
        HeadingCase{"dun", kDun, "一、\r\a", 2}, HeadingCase{"dian", kDian, "3、加强管理\r", 2},
        HeadingCase{"dian", kDian, "1。\r", 2}, HeadingCase{"dian", kDian, "12、\r", 3},
        HeadingCase{"dian", kDian, "20、\r", 3}, HeadingCase{"dian", kDian, "21、\r", 0},
        HeadingCase{"dian", kDian, "0、\r", 0}, HeadingCase{"dian", kDian, "01、\r", 0},
        HeadingCase{"dian", kDian, "1.\r", 0}, HeadingCase{"dian", kDian, "1．\r", 0},
        HeadingCase{"dian", kDian, "１、\r", 0}, HeadingCase{"dian", kDian, "100、\r", 0},
        HeadingCase{"dian", kDian, "第1、\r", 0},
        HeadingCase{"dian", kDian, "\u3000\u30003、\r", 2},
        HeadingCase{"wu", kWu, "(二)、工作措施\r", 4}, HeadingCase{"wu", kWu, "(1)。\r", 4},
        HeadingCase{"wu", kWu, "(a)、\r", 4}, HeadingCase{"wu", kWu, "(十)、\r", 4},
        HeadingCase{"wu", kWu, "(10)、\r", 5}, HeadingCase{"wu", kWu, "(j)。\r", 4},
        HeadingCase{"wu", kWu, "(十一)、\r", 0}, HeadingCase{"wu", kWu, "(11)、\r", 0},
        HeadingCase{"wu", kWu, "(k)、\r", 0}, HeadingCase{"wu", kWu, "(A)、\r", 0},
        HeadingCase{"wu", kWu, "(0)、\r", 0}, HeadingCase{"wu", kWu, "（一）、\r", 0},
        HeadingCase{"wu", kWu, "(一）、\r", 0}, HeadingCase{"wu", kWu, "(一)\r", 0},
        HeadingCase{"wu", kWu, "(一)工作\r", 0}, HeadingCase{"wu", kWu, "(一、\r", 0},
        HeadingCase{"wu", kWu, "(", 0}, HeadingCase{"wu", kWu, "\u3000\u3000(三)。\r", 4}));

// Every entry of every table, with both separators and every indent, is recognised at the
// number's length plus one.
TEST(NumberedHeadingTables, WholeTablesAreRecognised) {
  auto numerals = handNumerals();
  struct Table {
    const char* name;
    Recogniser match;
    std::vector<std::string> numbers;
  };
  std::vector<Table> tables = {{"dun", kDun, {}}, {"dian", kDian, {}}, {"wu", kWu, {}}};
  for (size_t k = 0; k < 50; ++k)
    tables[0].numbers.push_back(numerals[k]);
  for (int k = 1; k <= 20; ++k)
    tables[1].numbers.push_back(std::to_string(k));
  for (size_t k = 0; k < 10; ++k)
    tables[2].numbers.push_back("(" + numerals[k] + ")");
  for (int k = 1; k <= 10; ++k)
    tables[2].numbers.push_back("(" + std::to_string(k) + ")");
  for (char c = 'a'; c <= 'j'; ++c)
    tables[2].numbers.push_back(std::string("(") + c + ")");
  ASSERT_EQ(tables[2].numbers.size(), 30u);
  for (const Table& t : tables) {
    for (const std::string& number : t.numbers) {
      int n = static_cast<int>(toU32(number).size());
      for (const char* sep : {"、", "。"}) {
        for (const char* indent : kIndents) {
          std::string text = std::string(indent) + number + sep + "标题。正文\r";
          EXPECT_EQ(t.match(toU32(text)), n + 1) << t.name << ": " << text;
        }
      }
      // Without a separator, or with one the recognisers do not accept, nothing is found.
      for (const char* other : {"", ".", "，", "：", " "}) {
        std::string text = number + other + "标题\r";
        EXPECT_EQ(t.match(toU32(text)), 0) << t.name << ": " << text;
      }
    }
  }
}

// The three families do not recognise each other's numbers.
TEST(NumberedHeadingTables, FamiliesAreDisjoint) {
  for (const char* text : {"一、\r", "1、\r", "(一)、\r", "(1)、\r", "(a)、\r"}) {
    int hits = (kDun(toU32(text)) > 0) + (kDian(toU32(text)) > 0) + (kWu(toU32(text)) > 0);
    EXPECT_EQ(hits, 1) << text;
  }
}

} // namespace
