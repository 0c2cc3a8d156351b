#include "settings/keytable.h"

#include "base/ascii.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fmt/format.h>

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

// clang-format off
constexpr KeyInfo kKeys[] = {
    // section  key               default        conversion      list                 10.5   property      #   control
    {"font", "fontnamezw",        "宋体",        C::IndexToName, L::FontNames,        false, "正文字体",   20, "cbFontZw"},
    {"font", "fontsizezw",        "10.5",        C::IndexToSize, L::SizesWithDaWu,    true,  "正文字号",   21, "cbFontSizeZw"},
    {"font", "fontnamebt",        "宋体",        C::IndexToName, L::FontNames,        false, "标题字体",   23, "cbFontBt"},
    {"font", "fontsizebt",        "10.5",        C::IndexToSize, L::SizesWithoutDaWu, true,  "标题字号",   24, "cbFontSizeBt"},
    {"font", "fontboldzw",        "0",           C::Check,       L::None,             false, "正文加粗",   22, "chkBzw"},
    {"font", "fontboldbt",        "0",           C::Check,       L::None,             false, "标题加粗",   25, "chkB"},
    {"font", "firstparagraph",    "0",           C::Check,       L::None,             false, "一段标题",   26, "chkBt"},
    {"font", "btAlign",           "0",           C::Index,       L::Alignment,        false, "标题对齐",   27, "cbBtAlign"},
    {"font", "fontJJ",            "0",           C::Index,       L::FontSizeStep,     false, "字号增减",   28, "cbFontJJ"},
    {"shuiyin", "txtfontname",    "宋体",        C::IndexToName, L::FontNames,        false, "水印字体",   44, "cbShuiYinFontName"},
    {"shuiyin", "txt",            "Morvane软件", C::Text,        L::None,             false, "水印文字",   43, "txtShuiYin"},
    {"shuiyin", "jpg",            "",            C::Text,        L::None,             false, "水印图片",   42, "txtJpg"},
    {"shuiyin", "txtstyle",       "0",           C::Index,       L::WatermarkStyle,   false, "水印样式",   45, "cbShuiYinStyle"},
    {"shuiyin", "op",             "0",           C::Option,      L::WatermarkOption,  false, "水印",       41, "op1,op2,op3"},
    {"shuiyin", "color",          "0",           C::Index,       L::WatermarkColor,   false, "水印颜色",   46, "cbColor"},
    {"pageinfo", "PageSize",      "0",           C::Index,       L::PaperSize,        false, "纸张大小",    1, "cboPageSize"},
    {"pageinfo", "Orientation",   "0",           C::Index,       L::Orientation,      false, "页方向",      2, "cboPageO"},
    {"pageinfo", "TopMargin",     "3",           C::Text,        L::None,             false, "上边距",      3, "txtPageTop"},
    {"pageinfo", "BottomMargin",  "3",           C::Text,        L::None,             false, "下边距",      4, "txtPageBottom"},
    {"pageinfo", "LeftMargin",    "2.5",         C::Text,        L::None,             false, "左边距",      5, "txtPageLeft"},
    {"pageinfo", "RightMargin",   "2.5",         C::Text,        L::None,             false, "右边距",      6, "txtPageRight"},
    {"pageinfo", "Gutter",        "0",           C::Text,        L::None,             false, "装订线",     10, "txtGutter"},
    {"pageinfo", "GutterPos",     "0",           C::Index,       L::GutterPosition,   false, "装订线位置",  9, "cboGutterPos"},
    {"pageinfo", "HeaderDistance", "1.5",        C::Text,        L::None,             false, "页眉边距",    7, "txtHeaderDistance"},
    {"pageinfo", "FooterDistance", "1.75",       C::Text,        L::None,             false, "页脚边距",    8, "txtFooterDistance"},
    {"headerfooter", "useheader", "0",           C::Check,       L::None,             false, "使用页眉",   11, "chkUseHeader"},
    {"headerfooter", "usefooter", "0",           C::Check,       L::None,             false, "使用页码",   13, "chkUseFooter"},
    {"headerfooter", "header",    "",            C::Text,        L::None,             false, "页眉",       14, "txtYeMei"},
    {"headerfooter", "headeralign", "0",         C::Index,       L::Alignment,        false, "页眉对齐",   15, "cbAlign"},
    {"headerfooter", "headerfontname", "0",      C::IndexToName, L::FontNames,        false, "页眉字体",   16, "cbFontYm"},
    {"headerfooter", "headerfontsize", "10",     C::IndexToSize, L::SizesWithDaWu,    false, "页眉字号",   17, "cbFontSizeYm"},
    {"headerfooter", "numberstyle", "0",         C::Index,       L::PageNumberStyle,  false, "页码格式",   18, "cbStyle"},
    {"headerfooter", "numberalign", "0",         C::Index,       L::Alignment,        false, "页码对齐",   19, "cbAlignYj"},
    {"headerfooter", "zhyemei",   "0",           C::Check,       L::None,             false, "组合页眉",   12, "chkZHYeMei"},
    {"paragraph", "LineSpacingRule", "0",        C::LineSpacing, L::LineSpacing,      false, "行距",       29, "cbHangJu,txtBang"},
    {"paragraph", "LeftIndent",   "0",           C::Text,        L::None,             false, "左缩进",     30, "txtLeft"},
    {"paragraph", "RightIndent",  "",            C::Text,        L::None,             false, "右缩进",     31, "txtRight"},
    {"paragraph", "LineUnitBefore", "0",         C::Text,        L::None,             false, "段前",       32, "txtDuanQian"},
    {"paragraph", "LineUnitAfter", "0",          C::Text,        L::None,             false, "段后",       33, "txtDuanHou"},
    {"tool", "BiaoDian",          "0",           C::Check,       L::None,             false, "标点",       34, "chkBiaoDian"},
    {"tool", "KongGe",            "0",           C::Check,       L::None,             false, "空格",       35, "chkKongGe"},
    {"tool", "KongHang",          "0",           C::Check,       L::None,             false, "空行",       36, "chkKongHang"},
    {"tool", "TouKongGe",         "0",           C::Check,       L::None,             false, "头空格",     37, "chkTouKongGe"},
    {"tool", "XiaoKuoHao",        "0",           C::Check,       L::None,             false, "小括号",     38, "chkXiaoKuoHao"},
    {"tool", "FenLan",            "0",           C::Check,       L::None,             false, "分栏",       39, "chkFenLan"},
    {"tool", "JuHao",             "0",           C::Check,       L::None,             false, "句号",       40, "chkJuHao"},
    {"sys", "docpath",            "",            C::Text,        L::None,             false, "",            0, "File1"},
    {"sys", "outpath",            "",            C::Text,        L::None,             false, "",            0, "txtOut"},
    {"sys", "pdf",                "0",           C::Check,       L::None,             false, "",            0, "chkPdf"},
};
// clang-format on

constexpr bool propertyNumbersAreComplete() {
  std::array<int, kEnginePropertyCount + 1> seen{};
  for (const KeyInfo& k : kKeys)
    if (k.propertyNumber > 0)
      ++seen[static_cast<std::size_t>(k.propertyNumber)];
  for (int i = 1; i <= kEnginePropertyCount; ++i)
    if (seen[static_cast<std::size_t>(i)] != 1)
      return false;
  return true;
}
static_assert(propertyNumbersAreComplete(), "every engine property is filled by exactly one key");

const std::array<const KeyInfo*, kEnginePropertyCount> kByProperty = [] {
  std::array<const KeyInfo*, kEnginePropertyCount> order{};
  for (const KeyInfo& k : kKeys)
    if (k.propertyNumber > 0)
      order[static_cast<std::size_t>(k.propertyNumber - 1)] = &k;
  return order;
}();

using base::equalsNoCase;

// `text` as a decimal number, or nothing. Blanks around it are allowed, as in stored values
// written by hand.
std::optional<double> parseNumber(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && blank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && blank(text.back()))
    text.remove_suffix(1);
  // from_chars takes no '+' and would take "inf" and "nan": only a sign, a digit or a point
  // may begin the number.
  bool plus = !text.empty() && text.front() == '+';
  if (plus)
    text.remove_prefix(1);
  auto startsNumber = [](std::string_view t) {
    return !t.empty() && (std::isdigit(static_cast<unsigned char>(t.front())) || t.front() == '.');
  };
  if (!startsNumber(text) &&
      (plus || text.empty() || text.front() != '-' || !startsNumber(text.substr(1))))
    return std::nullopt;
  double value = 0;
  auto [end, ec] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    return std::nullopt;
  return value;
}

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

std::span<const KeyInfo* const> keysInPropertyOrder() {
  return kByProperty;
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
  for (const KeyInfo& k : kKeys)
    if (k.property == property)
      return &k;
  return nullptr;
}

std::optional<int> roundedNumber(std::string_view text) {
  std::optional<double> value = parseNumber(text);
  if (!value)
    return std::nullopt;
  // The default rounding mode rounds halves to the even neighbour.
  double r = std::nearbyint(*value);
  if (r < -32768.0 || r > 32767.0)
    return std::nullopt;
  return static_cast<int>(r);
}

std::optional<int> controlState(const KeyInfo& key, std::string_view stored) {
  switch (key.conversion) {
  case Conversion::Text:
    return std::nullopt;
  case Conversion::Index:
  case Conversion::IndexToName:
  case Conversion::IndexToSize:
    return listPosition(key.list, stored, listEntries(key.list).size());
  case Conversion::Check: {
    std::optional<int> n = roundedNumber(stored);
    if (n && (*n == 0 || *n == 1))
      return n;
    return std::nullopt;
  }
  case Conversion::Option:
    if (stored == "0")
      return 0;
    if (stored == "1")
      return 1;
    return 2;
  case Conversion::LineSpacing: {
    std::optional<double> value = parseNumber(stored);
    if (value && *value > 2)
      return 3;
    return listPosition(key.list, stored, 3);
  }
  }
  return std::nullopt;
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
