// The engine's settings read from their texts: each accessor names its property once, and the
// reading rules (switch, number, integer, font size, list position) are the private helpers.

#include "engine/settings.h"

#include <limits>
#include <stdexcept>

#include "base/messages.h"
#include "base/number.h"
#include "word/constants.h"

namespace engine {

int wordAlignment(Alignment alignment) {
  switch (alignment) {
  case Alignment::Justify:
    return word::wdAlignParagraphJustify;
  case Alignment::Center:
    return word::wdAlignParagraphCenter;
  case Alignment::Right:
    break;
  }
  return word::wdAlignParagraphRight;
}

// ---- the reading rules ---------------------------------------------------------------------

const std::string& Settings::text(const char* name) const {
  auto it = texts_->find(name);
  if (it == texts_->end())
    throw std::invalid_argument(msg::text(msg::kUnknownProperty, name));
  return it->second;
}

bool Settings::on(const char* name) const {
  return text(name) != "0";
}

float Settings::number(const char* name) const {
  const std::string& t = text(name);
  if (base::isBlank(t))
    throw word::DocumentError(msg::text(msg::kSettingEmpty, name));
  std::optional<float> value = base::parseNumber<float>(t);
  if (!value)
    throw word::DocumentError(msg::text(msg::kSettingNotNumber, name, t));
  return *value;
}

float Settings::fontSize(const char* name) const {
  const float points = number(name);
  if (!(points >= 1.0f && points <= 1638.0f))
    throw word::DocumentError(msg::text(msg::kFontSizeOutOfRange, name, text(name)));
  return points;
}

int32_t Settings::integer(const char* name) const {
  std::optional<int64_t> value = base::roundHalfEven(
      number(name), std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
  if (!value)
    throw word::DocumentError(msg::text(msg::kSettingNotInteger, name, text(name)));
  return static_cast<int32_t>(*value);
}

Alignment Settings::alignment(const char* name) const {
  const std::string& t = text(name);
  if (t == "0")
    return Alignment::Justify;
  if (t == "1")
    return Alignment::Center;
  return Alignment::Right;
}

// ---- the page --------------------------------------------------------------------------------

std::optional<PaperSize> Settings::paperSize() const {
  const std::string& t = text("纸张大小");
  if (t == "0")
    return PaperSize::A4;
  if (t == "1")
    return PaperSize::B5;
  if (t == "2")
    return PaperSize::A3;
  return std::nullopt;
}

bool Settings::portrait() const {
  return text("页方向") == "0";
}
float Settings::topMarginCm() const {
  return number("上边距");
}
float Settings::bottomMarginCm() const {
  return number("下边距");
}
float Settings::leftMarginCm() const {
  return number("左边距");
}
float Settings::rightMarginCm() const {
  return number("右边距");
}
float Settings::headerDistanceCm() const {
  return number("页眉边距");
}
float Settings::footerDistanceCm() const {
  return number("页脚边距");
}

GutterPosition Settings::gutterPosition() const {
  const std::string& t = text("装订线位置");
  if (t == "0")
    return GutterPosition::Left;
  if (t == "1")
    return GutterPosition::Right;
  return GutterPosition::Top;
}

float Settings::gutterCm() const {
  return number("装订线");
}

// ---- header and page numbers -----------------------------------------------------------------

bool Settings::useHeader() const {
  return on("使用页眉");
}
bool Settings::combinedHeader() const {
  return on("组合页眉");
}
bool Settings::usePageNumbers() const {
  return on("使用页码");
}
const std::string& Settings::headerText() const {
  return text("页眉");
}
Alignment Settings::headerAlign() const {
  return alignment("页眉对齐");
}
const std::string& Settings::headerFont() const {
  return text("页眉字体");
}
float Settings::headerFontSize() const {
  return fontSize("页眉字号");
}
bool Settings::dashedPageNumbers() const {
  return text("页码格式") != "0";
}
Alignment Settings::pageNumberAlign() const {
  return alignment("页码对齐");
}

// ---- body and title fonts ----------------------------------------------------------------------

const std::string& Settings::bodyFont() const {
  return text("正文字体");
}
float Settings::bodyFontSize() const {
  return fontSize("正文字号");
}
bool Settings::bodyBold() const {
  return integer("正文加粗") != 0;
}
const std::string& Settings::titleFont() const {
  return text("标题字体");
}
float Settings::titleFontSize() const {
  return fontSize("标题字号");
}
bool Settings::titleBold() const {
  return integer("标题加粗") != 0;
}
bool Settings::firstParagraphIsTitle() const {
  return on("一段标题");
}
Alignment Settings::titleAlign() const {
  return alignment("标题对齐");
}
bool Settings::fontSizesLarger() const {
  return text("字号增减") == "0";
}

// ---- paragraphs ------------------------------------------------------------------------------

LineSpacingRule Settings::lineSpacingRule() const {
  const std::string& t = text("行距");
  if (t == "0")
    return LineSpacingRule::Single;
  if (t == "1")
    return LineSpacingRule::OneAndAHalf;
  if (t == "2")
    return LineSpacingRule::Double;
  return LineSpacingRule::Exactly;
}

float Settings::lineSpacingPoints() const {
  return number("行距");
}

// An indent box left blank means no indent: the right indent's box is blank on a fresh
// install, and every document would fail otherwise. Text that is not a number still fails.
float Settings::leftIndentCm() const {
  return base::isBlank(text("左缩进")) ? 0.0f : number("左缩进");
}
float Settings::rightIndentCm() const {
  return base::isBlank(text("右缩进")) ? 0.0f : number("右缩进");
}
float Settings::spaceBeforeLines() const {
  return number("段前");
}
float Settings::spaceAfterLines() const {
  return number("段后");
}

// ---- text tools ------------------------------------------------------------------------------

bool Settings::fullWidthPunctuation() const {
  return on("标点");
}
bool Settings::removeSpaces() const {
  return on("空格");
}
bool Settings::removeBlankLines() const {
  return on("空行");
}
bool Settings::indentFirstParagraph() const {
  return on("头空格");
}
bool Settings::halfWidthParentheses() const {
  return on("小括号");
}
bool Settings::twoColumns() const {
  return on("分栏");
}
bool Settings::fullWidthFullStops() const {
  return on("句号");
}

// ---- watermark -------------------------------------------------------------------------------

Watermark Settings::watermark() const {
  const std::string& t = text("水印");
  if (t == "0")
    return Watermark::None;
  if (t == "1")
    return Watermark::Picture;
  if (t == "2")
    return Watermark::Text;
  return Watermark::Unchanged;
}

const std::string& Settings::watermarkPicture() const {
  return text("水印图片");
}
const std::string& Settings::watermarkText() const {
  return text("水印文字");
}
const std::string& Settings::watermarkFont() const {
  return text("水印字体");
}
bool Settings::diagonalWatermark() const {
  return text("水印样式") != "0";
}

std::optional<int32_t> Settings::watermarkColor() const {
  struct Colour {
    const char* setting;
    int32_t red, green, blue;
  };
  static constexpr Colour kColours[] = {
      {"0", 150, 150, 150}, {"1", 255, 0, 0}, {"2", 0, 0, 0}, {"3", 0, 0, 255}, {"4", 0, 255, 0}};
  const std::string& t = text("水印颜色");
  for (const Colour& c : kColours)
    if (t == c.setting)
      return c.red + c.green * 256 + c.blue * 65536;
  return std::nullopt;
}

} // namespace engine
