#include "settings/keytable.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>

using settings::Conversion;
using settings::engineValue;
using settings::findKey;
using settings::KeyInfo;
using settings::listEntries;
using settings::roundedNumber;
using settings::storedPosition;
using settings::ValueList;

namespace {

const KeyInfo& key(const char* section, const char* name) {
  const KeyInfo* k = findKey(section, name);
  if (!k)
    throw std::runtime_error(std::string("no key ") + section + "/" + name);
  return *k;
}

// ---- The table itself ---------------------------------------------------------------------

TEST(KeyTable, HoldsEverySettingOnce) {
  auto table = settings::keyTable();
  EXPECT_EQ(table.size(), 66u);
  std::set<std::string> sections, properties;
  for (const KeyInfo& k : table) {
    sections.insert(std::string(k.section));
    EXPECT_EQ(findKey(k.section, k.key), &k) << k.section << "/" << k.key;
    // The engine keys come first, then the standard run's; only the sys keys fill no property.
    const bool engineKey = &k < table.data() + settings::kEnginePropertyCount;
    const bool standardKey = !engineKey && &k < table.data() + settings::kEnginePropertyCount +
                                                    settings::kStandardPropertyCount;
    EXPECT_EQ(k.property.empty(), !engineKey && !standardKey) << k.section << "/" << k.key;
    EXPECT_EQ(k.section == "sys", !engineKey && !standardKey) << k.section << "/" << k.key;
    EXPECT_EQ(k.section == "standard", standardKey) << k.section << "/" << k.key;
    if (engineKey || standardKey) {
      EXPECT_TRUE(properties.insert(std::string(k.property)).second) << k.property;
      EXPECT_EQ(settings::findProperty(k.property), &k);
    }
    // Every list kind names its list, and the others none.
    bool listKind = k.conversion != Conversion::Text && k.conversion != Conversion::Check;
    EXPECT_EQ(listKind, k.list != ValueList::None) << k.key;
    EXPECT_EQ(k.tenPointsIsTenAndAHalf && k.conversion != Conversion::IndexToSize, false);
  }
  EXPECT_EQ(properties.size(), 46u + 17u);
  EXPECT_EQ(sections, (std::set<std::string>{"font", "shuiyin", "pageinfo", "headerfooter",
                                             "paragraph", "tool", "standard", "sys"}));
}

// Which key fills which engine property, in the engine's property order.
TEST(KeyTable, PropertyOrderAndSource) {
  const std::vector<std::string> expected = {
      "纸张大小 pageinfo/pagesize",
      "页方向 pageinfo/orientation",
      "上边距 pageinfo/topmargin",
      "下边距 pageinfo/bottommargin",
      "左边距 pageinfo/leftmargin",
      "右边距 pageinfo/rightmargin",
      "页眉边距 pageinfo/headerdistance",
      "页脚边距 pageinfo/footerdistance",
      "装订线位置 pageinfo/gutterpos",
      "装订线 pageinfo/gutter",
      "使用页眉 headerfooter/useheader",
      "组合页眉 headerfooter/zhyemei",
      "使用页码 headerfooter/usefooter",
      "页眉 headerfooter/header",
      "页眉对齐 headerfooter/headeralign",
      "页眉字体 headerfooter/headerfontname",
      "页眉字号 headerfooter/headerfontsize",
      "页码格式 headerfooter/numberstyle",
      "页码对齐 headerfooter/numberalign",
      "正文字体 font/fontnamezw",
      "正文字号 font/fontsizezw",
      "正文加粗 font/fontboldzw",
      "标题字体 font/fontnamebt",
      "标题字号 font/fontsizebt",
      "标题加粗 font/fontboldbt",
      "一段标题 font/firstparagraph",
      "标题对齐 font/btalign",
      "字号增减 font/fontjj",
      "行距 paragraph/linespacingrule",
      "左缩进 paragraph/leftindent",
      "右缩进 paragraph/rightindent",
      "段前 paragraph/lineunitbefore",
      "段后 paragraph/lineunitafter",
      "标点 tool/biaodian",
      "空格 tool/kongge",
      "空行 tool/konghang",
      "头空格 tool/toukongge",
      "小括号 tool/xiaokuohao",
      "分栏 tool/fenlan",
      "句号 tool/juhao",
      "水印 shuiyin/op",
      "水印图片 shuiyin/jpg",
      "水印文字 shuiyin/txt",
      "水印字体 shuiyin/txtfontname",
      "水印样式 shuiyin/txtstyle",
      "水印颜色 shuiyin/color",
  };
  std::vector<std::string> actual;
  for (const KeyInfo& k : settings::engineKeys()) {
    std::string row = std::string(k.property) + " " + std::string(k.section) + "/";
    for (char c : k.key)
      row += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    actual.push_back(row);
  }
  EXPECT_EQ(actual, expected);
  EXPECT_EQ(settings::engineKeys().data(), settings::keyTable().data());
}

struct KindCase {
  const char* section;
  const char* key;
  const char* defaultText;
  Conversion conversion;
  ValueList list;
};

class KeyKinds : public testing::TestWithParam<KindCase> {};

TEST_P(KeyKinds, DefaultAndConversion) {
  const KindCase& c = GetParam();
  const KeyInfo& k = key(c.section, c.key);
  EXPECT_EQ(k.defaultText, c.defaultText);
  EXPECT_EQ(k.conversion, c.conversion);
  EXPECT_EQ(k.list, c.list);
}

using C = Conversion;
using L = ValueList;
INSTANTIATE_TEST_SUITE_P(
    Rows, KeyKinds,
    testing::Values(KindCase{"font", "fontnamezw", "宋体", C::IndexToName, L::FontNames},
                    KindCase{"font", "fontsizezw", "10.5", C::IndexToSize, L::SizesWithDaWu},
                    KindCase{"font", "fontnamebt", "宋体", C::IndexToName, L::FontNames},
                    KindCase{"font", "fontsizebt", "10.5", C::IndexToSize, L::SizesWithoutDaWu},
                    KindCase{"font", "btAlign", "0", C::Index, L::Alignment},
                    KindCase{"font", "fontJJ", "0", C::Index, L::FontSizeStep},
                    KindCase{"font", "firstparagraph", "0", C::Check, L::None},
                    KindCase{"shuiyin", "txtfontname", "宋体", C::IndexToName, L::FontNames},
                    KindCase{"shuiyin", "txt", "Morvane软件", C::Text, L::None},
                    KindCase{"shuiyin", "jpg", "", C::Text, L::None},
                    KindCase{"shuiyin", "op", "0", C::Option, L::WatermarkOption},
                    KindCase{"shuiyin", "color", "0", C::Index, L::WatermarkColor},
                    KindCase{"pageinfo", "PageSize", "0", C::Index, L::PaperSize},
                    KindCase{"pageinfo", "GutterPos", "0", C::Index, L::GutterPosition},
                    KindCase{"pageinfo", "FooterDistance", "1.75", C::Text, L::None},
                    KindCase{"headerfooter", "headerfontname", "0", C::IndexToName, L::FontNames},
                    KindCase{"headerfooter", "headerfontsize", "10", C::IndexToSize,
                             L::SizesWithDaWu},
                    KindCase{"headerfooter", "numberstyle", "0", C::Index, L::PageNumberStyle},
                    KindCase{"headerfooter", "header", "", C::Text, L::None},
                    KindCase{"paragraph", "LineSpacingRule", "0", C::LineSpacing, L::LineSpacing},
                    KindCase{"paragraph", "RightIndent", "", C::Text, L::None},
                    KindCase{"tool", "toukongge", "0", C::Check, L::None}));

TEST(KeyTable, LookupIsCaseBlind) {
  EXPECT_EQ(findKey("TOOL", "toukongge"), findKey("tool", "TouKongGe"));
  EXPECT_EQ(findKey("tool", "toukongge")->property, "头空格");
  EXPECT_EQ(findKey("font", "nosuchkey"), nullptr);
  EXPECT_EQ(settings::findProperty(""), nullptr);
  EXPECT_EQ(settings::findProperty("DocPath"), nullptr);
}

TEST(Lists, SizeListsShareEntriesExceptDaWu) {
  auto with = listEntries(ValueList::SizesWithDaWu);
  auto without = listEntries(ValueList::SizesWithoutDaWu);
  ASSERT_EQ(with.size(), 15u);
  ASSERT_EQ(without.size(), 14u);
  EXPECT_EQ(with[10].name, "大五");
  EXPECT_EQ(with[10].points, 11);
  EXPECT_EQ(with[11].name, "五号");
  EXPECT_EQ(without[10].name, "五号");
  for (std::size_t i = 0, j = 0; i < with.size(); ++i) {
    if (i == 10)
      continue;
    EXPECT_EQ(with[i].name, without[j].name);
    EXPECT_EQ(with[i].points, without[j].points);
    ++j;
  }
  EXPECT_EQ(listEntries(ValueList::FontNames).size(), 4u);
  EXPECT_EQ(listEntries(ValueList::LineSpacing)[3].name, "固定值");
  EXPECT_TRUE(listEntries(ValueList::None).empty());
}

// ---- Reading a stored text as a number ----------------------------------------------------

struct NumberCase {
  const char* text;
  std::optional<int> expected;
};

class RoundedNumber : public testing::TestWithParam<NumberCase> {};

TEST_P(RoundedNumber, HalvesToEven) {
  EXPECT_EQ(roundedNumber(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RoundedNumber,
    testing::Values(NumberCase{"0", 0}, NumberCase{"10", 10}, NumberCase{"10.5", 10},
                    NumberCase{"11.5", 12}, NumberCase{"9.5", 10}, NumberCase{"0.5", 0},
                    NumberCase{"1.5", 2}, NumberCase{"2.5", 2}, NumberCase{"-0.5", 0},
                    NumberCase{"-1.5", -2}, NumberCase{"2.4999", 2}, NumberCase{"2.5001", 3},
                    NumberCase{"-1", -1}, NumberCase{" 3 ", 3}, NumberCase{"\t3", 3},
                    NumberCase{"+2", 2}, NumberCase{"1e1", 10}, NumberCase{".5", 0},
                    NumberCase{"5.", 5}, NumberCase{"-.6", -1}, NumberCase{"32767", 32767},
                    NumberCase{"-32768", -32768}, NumberCase{"32768", std::nullopt},
                    NumberCase{"1e9", std::nullopt}, NumberCase{"", std::nullopt},
                    NumberCase{" ", std::nullopt}, NumberCase{"abc", std::nullopt},
                    NumberCase{"宋体", std::nullopt}, NumberCase{"1,5", std::nullopt},
                    NumberCase{"1.5.2", std::nullopt}, NumberCase{"0x10", std::nullopt},
                    NumberCase{"inf", std::nullopt}, NumberCase{"-inf", std::nullopt},
                    NumberCase{"nan", std::nullopt}, NumberCase{"-", std::nullopt},
                    NumberCase{".", std::nullopt}, NumberCase{"--1", std::nullopt},
                    NumberCase{"+-1", std::nullopt}, NumberCase{"- 1", std::nullopt},
                    NumberCase{"3pt", std::nullopt}));

// ---- Value for the engine -----------------------------------------------------------------

struct EngineCase {
  const char* section;
  const char* key;
  const char* stored;
  const char* expected;
};

class EngineValue : public testing::TestWithParam<EngineCase> {};

TEST_P(EngineValue, ConvertsOrPassesThrough) {
  const EngineCase& c = GetParam();
  EXPECT_EQ(engineValue(key(c.section, c.key), c.stored), c.expected)
      << c.section << "/" << c.key << " = " << c.stored;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EngineValue,
    testing::Values(
        // Index to size, body list (with 大五): 五号 is worth "10.5".
        EngineCase{"font", "fontsizezw", "10.5", "11"},
        EngineCase{"font", "fontsizezw", "10", "11"},
        EngineCase{"font", "fontsizezw", "11", "10.5"},
        EngineCase{"font", "fontsizezw", "11.5", "9"},
        EngineCase{"font", "fontsizezw", "9.5", "11"}, EngineCase{"font", "fontsizezw", "0", "42"},
        EngineCase{"font", "fontsizezw", "14", "6"},
        // A number that selects nothing gives the default: 大五 for the body, 五号 for the title.
        EngineCase{"font", "fontsizezw", "15", "11"}, EngineCase{"font", "fontsizezw", "-1", "11"},
        EngineCase{"font", "fontsizebt", "-1", "10.5"},
        EngineCase{"headerfooter", "headerfontsize", "-1", "11"},
        EngineCase{"font", "fontsizezw", "abc", "abc"}, EngineCase{"font", "fontsizezw", "", ""},
        // Title list (without 大五).
        EngineCase{"font", "fontsizebt", "10.5", "10.5"},
        EngineCase{"font", "fontsizebt", "10", "10.5"}, EngineCase{"font", "fontsizebt", "9", "12"},
        EngineCase{"font", "fontsizebt", "11", "9"}, EngineCase{"font", "fontsizebt", "13", "6"},
        EngineCase{"font", "fontsizebt", "14", "10.5"},
        // Header size: the integer is passed unchanged.
        EngineCase{"headerfooter", "headerfontsize", "10", "11"},
        EngineCase{"headerfooter", "headerfontsize", "11", "10"},
        EngineCase{"headerfooter", "headerfontsize", "2", "26"},
        EngineCase{"headerfooter", "headerfontsize", "1.4e1", "6"},
        // Index to name.
        EngineCase{"font", "fontnamezw", "0", "宋体"},
        EngineCase{"font", "fontnamezw", "1", "黑体"},
        EngineCase{"font", "fontnamezw", "2.4", "仿宋_GB2312"},
        EngineCase{"font", "fontnamebt", "3", "楷体_GB2312"},
        EngineCase{"font", "fontnamebt", "4", "宋体"},
        EngineCase{"font", "fontnamezw", "宋体", "宋体"},
        EngineCase{"font", "fontnamezw", "-1", "宋体"},
        EngineCase{"font", "fontnamebt", "-1", "宋体"},
        EngineCase{"font", "fontnamezw", "-1.0", "宋体"},
        EngineCase{"headerfooter", "headerfontname", "-1", "宋体"},
        EngineCase{"headerfooter", "headerfontname", "99999999", "宋体"},
        EngineCase{"shuiyin", "txtfontname", "-1", "宋体"},
        EngineCase{"shuiyin", "txtfontname", "3.5", "宋体"},
        EngineCase{"shuiyin", "txtfontname", "Noto Serif CJK SC", "Noto Serif CJK SC"},
        EngineCase{"shuiyin", "txtfontname", "2.5", "仿宋_GB2312"},
        EngineCase{"headerfooter", "headerfontname", "1", "黑体"},
        // Every other kind hands over the stored text.
        EngineCase{"font", "btAlign", "10.5", "10.5"}, EngineCase{"font", "btAlign", "x", "x"},
        EngineCase{"font", "fontboldzw", "2", "2"}, EngineCase{"shuiyin", "op", "7", "7"},
        EngineCase{"paragraph", "LineSpacingRule", "2.5", "2.5"},
        EngineCase{"pageinfo", "TopMargin", "3,5", "3,5"}, EngineCase{"shuiyin", "txt", "", ""}));

// ---- The list position a stored text holds -----------------------------------------------

struct PositionCase {
  const char* section;
  const char* key;
  const char* stored;
  std::optional<int> expected;
};

class StoredPosition : public testing::TestWithParam<PositionCase> {};

TEST_P(StoredPosition, PositionNoSelectionOrNothing) {
  const PositionCase& c = GetParam();
  EXPECT_EQ(storedPosition(key(c.section, c.key), c.stored), c.expected)
      << c.section << "/" << c.key << " = " << c.stored;
}

const std::optional<int> kNone;

INSTANTIATE_TEST_SUITE_P(Cases, StoredPosition,
                         testing::Values(PositionCase{"font", "fontsizezw", "10.5", 10},
                                         PositionCase{"font", "fontsizebt", "10.5", 10},
                                         PositionCase{"font", "fontsizezw", "11.5", 12},
                                         PositionCase{"font", "fontsizezw", "9.5", 10},
                                         PositionCase{"font", "fontsizebt", "14", kNone},
                                         PositionCase{"font", "fontsizezw", "14", 14},
                                         PositionCase{"font", "fontnamezw", "宋体", kNone},
                                         PositionCase{"font", "fontnamezw", "-1", -1},
                                         PositionCase{"font", "fontnamezw", "-2", kNone},
                                         PositionCase{"font", "btAlign", "2", 2},
                                         PositionCase{"font", "btAlign", "3", kNone},
                                         PositionCase{"pageinfo", "PageSize", "", kNone},
                                         PositionCase{"shuiyin", "op", "2", 2},
                                         // 行距: only its first three entries are positions.
                                         PositionCase{"paragraph", "LineSpacingRule", "2", 2},
                                         PositionCase{"paragraph", "LineSpacingRule", "1.5", 2},
                                         PositionCase{"paragraph", "LineSpacingRule", "3", kNone},
                                         PositionCase{"paragraph", "LineSpacingRule", "-1", -1},
                                         PositionCase{"paragraph", "LineSpacingRule", "abc", kNone},
                                         // Keys without a list hold no position.
                                         PositionCase{"font", "fontboldzw", "1", kNone},
                                         PositionCase{"pageinfo", "TopMargin", "-1", kNone}));

struct FixedCase {
  const char* stored;
  bool fixed;
};

class FixedLineSpacing : public testing::TestWithParam<FixedCase> {};

TEST_P(FixedLineSpacing, NumbersAboveTwo) {
  EXPECT_EQ(settings::isFixedLineSpacing(GetParam().stored), GetParam().fixed) << GetParam().stored;
}

INSTANTIATE_TEST_SUITE_P(Cases, FixedLineSpacing,
                         testing::Values(FixedCase{"2", false}, FixedCase{"2.0", false},
                                         FixedCase{"2.0001", true}, FixedCase{"2.5", true},
                                         FixedCase{" 28 ", true}, FixedCase{"-3", false},
                                         FixedCase{"", false}, FixedCase{"28pt", false},
                                         FixedCase{"inf", false}));

} // namespace
