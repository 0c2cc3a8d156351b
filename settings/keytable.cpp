#include "settings/keytable.h"

#include "base/ascii.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fmt/format.h>

#include "base/number.h"

namespace settings {

namespace {

constexpr ListEntry kFontNames[] = {{"宋体"}, {"黑体"}, {"仿宋_GB2312"}, {"楷体_GB2312"}};

constexpr ListEntry kSizesWithDaWu[] = {
    {"初号", 42}, {"小初", 36}, {"一号", 26}, {"小一", 24}, {"二号", 22},
    {"小二", 18}, {"三号", 16}, {"小三", 15}, {"四号", 14}, {"小四", 12},
    {"大五", 11}, {"五号", 10}, {"小五", 9},  {"六号", 7},  {"小六", 6},
};

constexpr ListEntry kSizesWithoutDaWu[] = {
    {"初号", 42}, {"小初", 36}, {"一号", 26}, {"小一", 24}, {"二号", 22},
    {"小二", 18}, {"三号", 16}, {"小三", 15}, {"四号", 14}, {"小四", 12},
    {"五号", 10}, {"小五", 9},  {"六号", 7},  {"小六", 6},
};

constexpr ListEntry kAlignment[] = {{"两端对齐"}, {"居中"}, {"右对齐"}};
constexpr ListEntry kFontSizeStep[] = {{"增加"}, {"减小"}};
constexpr ListEntry kPaperSize[] = {{"A4"}, {"B5"}, {"A3"}};
constexpr ListEntry kOrientation[] = {{"纵向"}, {"横向"}};
constexpr ListEntry kGutterPosition[] = {{"左侧"}, {"右侧"}, {"上侧"}};
constexpr ListEntry kPageNumberStyle[] = {{"1, 2, 3 , ..."}, {"- 1 - , - 2 - , - 3 -, ..."}};
constexpr ListEntry kWatermarkStyle[] = {{"水平"}, {"斜式"}};
constexpr ListEntry kWatermarkColor[] = {{"灰色"}, {"红色"}, {"黑色"}, {"蓝色"}, {"绿色"}};
constexpr ListEntry kWatermarkOption[] = {{"无水印"}, {"图片水印"}, {"文字水印"}};
constexpr ListEntry kLineSpacing[] = {{"单倍行距"}, {"1.5倍行距"}, {"2倍行距"}, {"固定值"}};

using C = Conversion;
using L = ValueList;

// The engine's property order is the order of the rows.
// clang-format off
constexpr KeyInfo kKeys[] = {
    // property    section         key               default        conversion      list                 10.5
    {"纸张大小",   "pageinfo",     "PageSize",       "0",           C::Index,       L::PaperSize,        false},
    {"页方向",     "pageinfo",     "Orientation",    "0",           C::Index,       L::Orientation,      false},
    {"上边距",     "pageinfo",     "TopMargin",      "3",           C::Text,        L::None,             false},
    {"下边距",     "pageinfo",     "BottomMargin",   "3",           C::Text,        L::None,             false},
    {"左边距",     "pageinfo",     "LeftMargin",     "2.5",         C::Text,        L::None,             false},
    {"右边距",     "pageinfo",     "RightMargin",    "2.5",         C::Text,        L::None,             false},
    {"页眉边距",   "pageinfo",     "HeaderDistance", "1.5",         C::Text,        L::None,             false},
    {"页脚边距",   "pageinfo",     "FooterDistance", "1.75",        C::Text,        L::None,             false},
    {"装订线位置", "pageinfo",     "GutterPos",      "0",           C::Index,       L::GutterPosition,   false},
    {"装订线",     "pageinfo",     "Gutter",         "0",           C::Text,        L::None,             false},
    {"使用页眉",   "headerfooter", "useheader",      "0",           C::Check,       L::None,             false},
    {"组合页眉",   "headerfooter", "zhyemei",        "0",           C::Check,       L::None,             false},
    {"使用页码",   "headerfooter", "usefooter",      "0",           C::Check,       L::None,             false},
    {"页眉",       "headerfooter", "header",         "",            C::Text,        L::None,             false},
    {"页眉对齐",   "headerfooter", "headeralign",    "0",           C::Index,       L::Alignment,        false},
    {"页眉字体",   "headerfooter", "headerfontname", "0",           C::IndexToName, L::FontNames,        false},
    {"页眉字号",   "headerfooter", "headerfontsize", "10",          C::IndexToSize, L::SizesWithDaWu,    false},
    {"页码格式",   "headerfooter", "numberstyle",    "0",           C::Index,       L::PageNumberStyle,  false},
    {"页码对齐",   "headerfooter", "numberalign",    "0",           C::Index,       L::Alignment,        false},
    {"正文字体",   "font",         "fontnamezw",     "宋体",        C::IndexToName, L::FontNames,        false},
    {"正文字号",   "font",         "fontsizezw",     "10.5",        C::IndexToSize, L::SizesWithDaWu,    true},
    {"正文加粗",   "font",         "fontboldzw",     "0",           C::Check,       L::None,             false},
    {"标题字体",   "font",         "fontnamebt",     "宋体",        C::IndexToName, L::FontNames,        false},
    {"标题字号",   "font",         "fontsizebt",     "10.5",        C::IndexToSize, L::SizesWithoutDaWu, true},
    {"标题加粗",   "font",         "fontboldbt",     "0",           C::Check,       L::None,             false},
    {"一段标题",   "font",         "firstparagraph", "0",           C::Check,       L::None,             false},
    {"标题对齐",   "font",         "btAlign",        "0",           C::Index,       L::Alignment,        false},
    {"字号增减",   "font",         "fontJJ",         "0",           C::Index,       L::FontSizeStep,     false},
    {"行距",       "paragraph",    "LineSpacingRule", "0",          C::LineSpacing, L::LineSpacing,      false},
    {"左缩进",     "paragraph",    "LeftIndent",     "0",           C::Text,        L::None,             false},
    {"右缩进",     "paragraph",    "RightIndent",    "",            C::Text,        L::None,             false},
    {"段前",       "paragraph",    "LineUnitBefore", "0",           C::Text,        L::None,             false},
    {"段后",       "paragraph",    "LineUnitAfter",  "0",           C::Text,        L::None,             false},
    {"标点",       "tool",         "BiaoDian",       "0",           C::Check,       L::None,             false},
    {"空格",       "tool",         "KongGe",         "0",           C::Check,       L::None,             false},
    {"空行",       "tool",         "KongHang",       "0",           C::Check,       L::None,             false},
    {"头空格",     "tool",         "TouKongGe",      "0",           C::Check,       L::None,             false},
    {"小括号",     "tool",         "XiaoKuoHao",     "0",           C::Check,       L::None,             false},
    {"分栏",       "tool",         "FenLan",         "0",           C::Check,       L::None,             false},
    {"句号",       "tool",         "JuHao",          "0",           C::Check,       L::None,             false},
    {"水印",       "shuiyin",      "op",             "0",           C::Option,      L::WatermarkOption,  false},
    {"水印图片",   "shuiyin",      "jpg",            "",            C::Text,        L::None,             false},
    {"水印文字",   "shuiyin",      "txt",            "Morvane软件", C::Text,        L::None,             false},
    {"水印字体",   "shuiyin",      "txtfontname",    "宋体",        C::IndexToName, L::FontNames,        false},
    {"水印样式",   "shuiyin",      "txtstyle",       "0",           C::Index,       L::WatermarkStyle,   false},
    {"水印颜色",   "shuiyin",      "color",          "0",           C::Index,       L::WatermarkColor,   false},
    // The standard run's keys: the elements it handles (and the check measures) and its fonts.
    {"国标标题",         "standard", "title",          "1",              C::Check, L::None, false},
    {"国标主送机关",     "standard", "addressee",      "1",              C::Check, L::None, false},
    {"国标层次标题",     "standard", "headings",       "1",              C::Check, L::None, false},
    {"国标附件说明",     "standard", "attachment",     "1",              C::Check, L::None, false},
    {"国标落款",         "standard", "signature",      "1",              C::Check, L::None, false},
    {"国标附注",         "standard", "note",           "1",              C::Check, L::None, false},
    {"国标版记",         "standard", "record",         "1",              C::Check, L::None, false},
    {"国标发文字号",     "standard", "docnumber",      "1",              C::Check, L::None, false},
    {"国标页码",         "standard", "pagenumbers",    "1",              C::Check, L::None, false},
    {"国标标题字体",     "standard", "titlefont",      "方正小标宋简体", C::Text,  L::None, false},
    {"国标正文字体",     "standard", "bodyfont",       "仿宋_GB2312",    C::Text,  L::None, false},
    {"国标一级标题字体", "standard", "heading1font",   "黑体",           C::Text,  L::None, false},
    {"国标二级标题字体", "standard", "heading2font",   "楷体_GB2312",    C::Text,  L::None, false},
    {"国标三级标题字体", "standard", "heading3font",   "仿宋_GB2312",    C::Text,  L::None, false},
    {"国标四级标题字体", "standard", "heading4font",   "仿宋_GB2312",    C::Text,  L::None, false},
    {"国标页码字体",     "standard", "pagenumberfont", "宋体",           C::Text,  L::None, false},
    {"国标版记字体",     "standard", "recordfont",     "仿宋_GB2312",    C::Text,  L::None, false},
    {"",           "sys",          "docpath",        "",            C::Text,        L::None,             false},
    {"",           "sys",          "outpath",        "",            C::Text,        L::None,             false},
    {"",           "sys",          "pdf",            "0",           C::Check,       L::None,             false},
};
// clang-format on

// The engine keys come first, then the standard run's, each property once; the sys keys last.
constexpr bool engineKeysComeFirst() {
  const std::span<const KeyInfo> keys = kKeys;
  constexpr std::size_t withProperty = kEnginePropertyCount + kStandardPropertyCount;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (keys[i].property.empty() != (i >= withProperty))
      return false;
    if ((keys[i].section == "standard") != (i >= kEnginePropertyCount && i < withProperty))
      return false;
    for (std::size_t j = 0; j < i; ++j)
      if (!keys[i].property.empty() && keys[j].property == keys[i].property)
        return false;
  }
  return true;
}
static_assert(engineKeysComeFirst(),
              "the first 46 rows fill the engine properties, the next 17 the standard run's");

using base::equalsNoCase;

// Stored numbers are read as the engine reads its settings.
using base::parseNumber;

std::optional<int> listPosition(ValueList list, std::string_view stored, std::size_t usable) {
  std::optional<int> n = roundedNumber(stored);
  if (!n)
    return std::nullopt;
  if (*n == -1)
    return -1;
  if (*n < 0 || static_cast<std::size_t>(*n) >= std::min(usable, listEntries(list).size()))
    return std::nullopt;
  return n;
}

} // namespace

std::span<const ListEntry> listEntries(ValueList list) {
  switch (list) {
  case ValueList::None:
    return {};
  case ValueList::FontNames:
    return kFontNames;
  case ValueList::SizesWithDaWu:
    return kSizesWithDaWu;
  case ValueList::SizesWithoutDaWu:
    return kSizesWithoutDaWu;
  case ValueList::Alignment:
    return kAlignment;
  case ValueList::FontSizeStep:
    return kFontSizeStep;
  case ValueList::PaperSize:
    return kPaperSize;
  case ValueList::Orientation:
    return kOrientation;
  case ValueList::GutterPosition:
    return kGutterPosition;
  case ValueList::PageNumberStyle:
    return kPageNumberStyle;
  case ValueList::WatermarkStyle:
    return kWatermarkStyle;
  case ValueList::WatermarkColor:
    return kWatermarkColor;
  case ValueList::WatermarkOption:
    return kWatermarkOption;
  case ValueList::LineSpacing:
    return kLineSpacing;
  }
  return {};
}

std::span<const KeyInfo> keyTable() {
  return kKeys;
}

std::span<const KeyInfo> engineKeys() {
  return std::span<const KeyInfo>(kKeys).first(kEnginePropertyCount);
}

std::span<const KeyInfo> standardKeys() {
  return std::span<const KeyInfo>(kKeys).subspan(kEnginePropertyCount, kStandardPropertyCount);
}

const KeyInfo* findKey(std::string_view section, std::string_view key) {
  for (const KeyInfo& k : kKeys)
    if (equalsNoCase(k.section, section) && equalsNoCase(k.key, key))
      return &k;
  return nullptr;
}

const KeyInfo* findProperty(std::string_view property) {
  if (property.empty())
    return nullptr;
  for (const KeyInfo& k : keyTable())
    if (k.property == property)
      return &k;
  return nullptr;
}

std::optional<int> roundedNumber(std::string_view text) {
  std::optional<double> value = parseNumber(text);
  if (!value)
    return std::nullopt;
  std::optional<int64_t> r = base::roundHalfEven(*value, -32768, 32767);
  if (!r)
    return std::nullopt;
  return static_cast<int>(*r);
}

std::optional<int> storedPosition(const KeyInfo& key, std::string_view stored) {
  if (key.list == ValueList::None)
    return std::nullopt;
  const std::size_t entries = listEntries(key.list).size();
  return listPosition(key.list, stored, key.conversion == Conversion::LineSpacing ? 3 : entries);
}

bool isFixedLineSpacing(std::string_view stored) {
  std::optional<double> value = parseNumber(stored);
  return value && *value > 2;
}

namespace {

// The engine value of the list entry at `stored`, or nothing when `stored` names no entry.
std::optional<std::string> entryValue(const KeyInfo& key, std::string_view stored) {
  std::optional<int> position = listPosition(key.list, stored, listEntries(key.list).size());
  if (!position || *position < 0)
    return std::nullopt;
  const ListEntry& entry = listEntries(key.list)[static_cast<std::size_t>(*position)];
  if (key.conversion == Conversion::IndexToName)
    return std::string(entry.name);
  if (entry.points == 10 && key.tenPointsIsTenAndAHalf)
    return std::string("10.5");
  return fmt::format("{}", entry.points);
}

} // namespace

std::string engineValue(const KeyInfo& key, std::string_view stored) {
  if (key.conversion != Conversion::IndexToName && key.conversion != Conversion::IndexToSize)
    return std::string(stored);
  if (std::optional<std::string> value = entryValue(key, stored))
    return *value;
  // A number that is no position ("-1", written for a list without a selection, or a position
  // past the end) selects nothing: the engine gets what the key's default gives, never the
  // number as a font name or size. Other text (a font name typed into the file) is handed on.
  if (parseNumber(stored))
    return entryValue(key, key.defaultText).value_or(std::string(key.defaultText));
  return std::string(stored);
}

} // namespace settings
