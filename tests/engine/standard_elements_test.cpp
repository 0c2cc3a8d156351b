// Recognition of the elements of an official document: small made-up documents, whole and
// lacking each element in turn, and the recognisers of headings, dates, issuing numbers and
// closing-block lines.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/standard/elements.h"
#include "word/text.h"

namespace {

using engine::standard::Element;
using word::toU32;
using word::toUtf8;
namespace std_ = engine::standard;

// A line of a made-up document: its text, in a table when it starts with "|".
std::vector<std_::ParagraphText> lines(const std::vector<std::string>& texts) {
  std::vector<std_::ParagraphText> out;
  for (const std::string& t : texts) {
    if (!t.empty() && t[0] == '|')
      out.push_back({toU32(t.substr(1)), true});
    else
      out.push_back({toU32(t), false});
  }
  return out;
}

constexpr Element B = Element::Blank, M = Element::Masthead, N = Element::DocNumber,
                  T = Element::Title, A = Element::Addressee, P = Element::Body,
                  H1 = Element::Heading1, H2 = Element::Heading2, H3 = Element::Heading3,
                  H4 = Element::Heading4, X = Element::Attachment, S = Element::Signature,
                  D = Element::Date, O = Element::Note, C = Element::CopyTo, Y = Element::PrintedBy,
                  Tb = Element::Table;

struct DocCase {
  const char* name;
  std::vector<std::string> texts;
  std::vector<Element> expected;
};

class Recognition : public ::testing::TestWithParam<DocCase> {};

TEST_P(Recognition, FindsEveryElement) {
  const DocCase& c = GetParam();
  std::vector<Element> got = std_::recogniseElements(lines(c.texts));
  ASSERT_EQ(got.size(), c.expected.size());
  for (size_t i = 0; i < got.size(); ++i)
    EXPECT_EQ(std_::elementName(got[i]), std_::elementName(c.expected[i]))
        << "line " << i + 1 << ": " << c.texts[i];
}

// clang-format off
const DocCase kDocuments[] = {
    {"Complete",
     {"某某市人民政府文件", "某政发〔2024〕3号", "", "关于做好防汛工作的", "通知", "",
      "各区县人民政府，市政府各部门：", "为做好防汛工作，现通知如下：", "一、总体要求",
      "（一）提高认识。各地要高度重视。", "1.落实责任。明确分工。", "（1）市级负责。",
      "请认真贯彻执行。", "", "附件：1.任务分解表", "2.物资清单", "", "某某市人民政府",
      "2024年3月5日", "（此件公开发布）", "", "抄送：市委办公室。",
      "某某市人民政府办公室　　2024年3月5日印发"},
     {M, N, B, T, T, B, A, P, H1, H2, H3, H4, P, B, X, X, B, S, D, O, B, C, Y}},
    {"NoDocNumberNoMasthead",
     {"关于表彰先进的决定", "各科室：", "经研究，决定表彰。", "", "某某局", "2024年1月12日"},
     {T, A, P, B, S, D}},
    {"NoTitle",
     {"各科室、各直属单位：", "经研究，决定表彰如下。", "", "某某局", "2024年1月12日"},
     {A, P, B, S, D}},
    {"NoAddressee",
     {"关于召开例会的通知", "定于3月20日召开第一季度工作例会。", "请准时参加。"},
     {T, P, P}},
    {"OpeningSentenceEndingInColonIsNoAddressee",
     {"关于召开例会的通知", "为做好有关工作，现通知如下：", "一、时间"},
     {T, P, H1}},
    {"NoSignatureDateOnly",
     {"关于调整作息时间的通知", "各单位：", "自下周起调整作息时间。", "", "2024年5月1日"},
     {T, A, P, B, D}},
    {"NoDate",
     {"关于调整作息时间的通知", "各单位：", "自下周起调整作息时间。", "", "某某局"},
     {T, A, P, B, P}},
    {"ChineseDateAndNoNote",
     {"通知", "各单位：", "请知悉。", "", "某某局", "二〇二四年三月五日", "抄送：某某厅。"},
     {T, A, P, B, S, D, C}},
    {"NoAttachmentNumberedLinesStayHeadings",
     {"通知", "各单位：", "要求如下：", "1.按时报送。", "2.注意保密。", "", "某某局",
      "2024年3月5日"},
     {T, A, P, H3, H3, B, S, D}},
    {"NoClosingBlock",
     {"通知", "各单位：", "请知悉。", "", "某某局", "2024年3月5日", "（此件公开发布）"},
     {T, A, P, B, S, D, O}},
    {"TablesStayTables",
     {"通知", "各单位：", "名单如下：", "|姓名", "|张三", "请知悉。"},
     {T, A, P, Tb, Tb, P}},
    {"HalfWidthFormsStillRecognised",
     {"某政办发[24]15号", "通知", "各单位:", "(一)要求。", "(1)细则。", "", "附件:表",
      "", "某某局", "2024年03月05日", "(此件公开发布)"},
     {N, T, A, H2, H4, B, X, B, S, D, O}},
    {"EmptyDocument", {"", ""}, {B, B}},
    {"OneLineIsBody", {"请于今日下班前报送。"}, {P}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Documents, Recognition, ::testing::ValuesIn(kDocuments),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- headings --------------------------------------------------------------------------

struct HeadingCase {
  const char* text;
  int level;
  const char* number; // as matched
  const char* standard;
};

class HeadingNumbers : public ::testing::TestWithParam<HeadingCase> {};

TEST_P(HeadingNumbers, LevelAndStandardForm) {
  const HeadingCase& c = GetParam();
  std::u32string t = toU32(c.text);
  std_::HeadingNumber h = std_::matchHeading(t);
  EXPECT_EQ(h.level, c.level) << c.text;
  if (c.level == 0)
    return;
  std::u32string number = t.substr(h.start, h.length);
  EXPECT_EQ(toUtf8(number), c.number);
  EXPECT_EQ(toUtf8(std_::standardHeadingNumber(number, h.level)), c.standard);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, HeadingNumbers, ::testing::Values(
    HeadingCase{"一、总体要求", 1, "一、", "一、"},
    HeadingCase{"十一。工作要求", 1, "十一。", "十一、"},
    HeadingCase{"　　二十三、附则", 1, "二十三、", "二十三、"},
    HeadingCase{"（一）提高认识", 2, "（一）", "（一）"},
    HeadingCase{"(十二)加强领导", 2, "(十二)", "（十二）"},
    HeadingCase{"1.落实责任", 3, "1.", "1."},
    HeadingCase{"12．强化督查", 3, "12．", "12."},
    HeadingCase{"3、注意保密", 3, "3、", "3."},
    HeadingCase{"（1）市级负责", 4, "（1）", "（1）"},
    HeadingCase{"(10)区县负责", 4, "(10)", "（10）"},
    HeadingCase{"1.5倍行距为宜", 0, "", ""},
    HeadingCase{"2024.3.5会议", 0, "", ""},
    HeadingCase{"123.不是标题", 0, "", ""},
    HeadingCase{"（注）说明", 0, "", ""},
    HeadingCase{"一是加强领导", 0, "", ""},
    HeadingCase{"", 0, "", ""}));
// clang-format on

// ---- dates, issuing numbers, closing block --------------------------------------------------

struct NormalCase {
  const char* text;
  const char* standard; // "" when the text is none
};

class Dates : public ::testing::TestWithParam<NormalCase> {};
TEST_P(Dates, StandardForm) {
  auto got = std_::standardDate(toU32(GetParam().text));
  EXPECT_EQ(got ? toUtf8(*got) : "", GetParam().standard) << GetParam().text;
}
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, Dates, ::testing::Values(
    NormalCase{"2024年3月5日", "2024年3月5日"},
    NormalCase{"2024年03月05日", "2024年3月5日"},
    NormalCase{"　2024 年 12 月 26 日 ", "2024年12月26日"},
    NormalCase{"二〇二四年三月五日", "2024年3月5日"},
    NormalCase{"二〇二四年十二月二十六日", "2024年12月26日"},
    NormalCase{"２０２４年３月５日", "2024年3月5日"},
    NormalCase{"2024年13月5日", ""},
    NormalCase{"2024年3月32日", ""},
    NormalCase{"2024年3月5日印发", ""},
    NormalCase{"自2024年3月5日起施行", ""},
    NormalCase{"24年3月5日", ""}));
// clang-format on

class DocNumbers : public ::testing::TestWithParam<NormalCase> {};
TEST_P(DocNumbers, StandardForm) {
  auto got = std_::standardDocNumber(toU32(GetParam().text));
  EXPECT_EQ(got ? toUtf8(*got) : "", GetParam().standard) << GetParam().text;
}
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, DocNumbers, ::testing::Values(
    NormalCase{"某政发〔2024〕12号", "某政发〔2024〕12号"},
    NormalCase{"某政发[2024]12号", "某政发〔2024〕12号"},
    NormalCase{"某政办发（24）3号", "某政办发〔2024〕3号"},
    NormalCase{"某财预【2023】105号", "某财预〔2023〕105号"},
    NormalCase{"〔2024〕12号", ""},
    NormalCase{"某政发〔2024〕号", ""},
    NormalCase{"某政发〔2024〕12号文件", ""},
    NormalCase{"关于印发某政发〔2024〕12号的通知", ""}));
// clang-format on

TEST(ClosingBlock, PrintedLineSplitsOfficeAndDate) {
  auto line = std_::splitPrintedLine(toU32("某某市人民政府办公室    2024年03月05日印发"));
  ASSERT_TRUE(line);
  EXPECT_EQ(toUtf8(line->office), "某某市人民政府办公室");
  EXPECT_EQ(toUtf8(line->date), "2024年3月5日印发");
  EXPECT_FALSE(std_::splitPrintedLine(toU32("某某市人民政府办公室印发")));
  EXPECT_FALSE(std_::splitPrintedLine(toU32("2024年3月5日印发的通知")));
}

TEST(ClosingBlock, CopyToAndAttachmentLinesNeedTheirColon) {
  EXPECT_TRUE(std_::isCopyToLine(toU32("抄送：某某厅。")));
  EXPECT_TRUE(std_::isCopyToLine(toU32("　抄送:某某厅。")));
  EXPECT_FALSE(std_::isCopyToLine(toU32("抄送某某厅。")));
  EXPECT_TRUE(std_::isAttachmentLine(toU32("附件：名单")));
  EXPECT_TRUE(std_::isAttachmentLine(toU32("附件:1.名单")));
  EXPECT_FALSE(std_::isAttachmentLine(toU32("附件1")));
}

} // namespace
