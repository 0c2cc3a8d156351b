#pragma once
// The engine's settings, typed: one accessor per setting of the property table.
//
// The engine receives its settings as text (clsDoc::setProperty, the protocol's entry) and
// keeps them as text. A Settings view reads a setting's text each time one of its accessors is
// called, so a value that cannot be used fails when a step first needs it: the accessor throws
// word::DocumentError with a reason that names the setting and its text. A step that never needs a
// setting never fails on it.
//
// The rules, each in one place (engine/settings.cpp):
//  - a switch is off only for exactly "0"; any other text, the empty one included, is on;
//  - a number is read by base::parseNumber in single precision;
//  - an integer (a weight) is that number rounded, halves to the even neighbour, and must lie
//    within the 32-bit range;
//  - a font size is a number from 1 to 1638 points, as Word accepts;
//  - a list position is matched as exact text ("0", "1", …), other texts take the list's
//    fallback, which each accessor states.

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "word/error.h"

namespace engine {

// Paragraph alignment of the alignment lists: "0" justified, "1" centred, any other text right.
enum class Alignment { Justify, Center, Right };
// The Word constant (wdAlignParagraph…) of an alignment.
int wordAlignment(Alignment alignment);

// The paper sizes of 纸张大小: "0" A4, "1" B5 (ISO), "2" A3.
enum class PaperSize { A4, B5, A3 };

// 装订线位置: "0" left, "1" right, any other text top.
enum class GutterPosition { Left, Right, Top };

// 行距: "0" single, "1" 1.5 lines, "2" double; any other text an exact height in points.
enum class LineSpacingRule { Single, OneAndAHalf, Double, Exactly };

// 水印: "0" none (an existing one is removed), "1" a picture, "2" a text; any other text leaves
// the header alone.
enum class Watermark { None, Picture, Text, Unchanged };

class Settings {
public:
  // A view of `texts`, which holds every property name (clsDoc's properties). The map must
  // outlive the view.
  explicit Settings(const std::map<std::string, std::string>& texts) : texts_(&texts) {}

  // ---- the page (纸张大小 … 装订线) ----
  // Nothing for a text not in the list: the document keeps its paper.
  std::optional<PaperSize> paperSize() const;
  bool portrait() const; // 页方向 "0"; any other text landscape
  float topMarginCm() const;
  float bottomMarginCm() const;
  float leftMarginCm() const;
  float rightMarginCm() const;
  float headerDistanceCm() const;
  float footerDistanceCm() const;
  GutterPosition gutterPosition() const;
  float gutterCm() const;

  // ---- header and page numbers ----
  bool useHeader() const;      // 使用页眉
  bool combinedHeader() const; // 组合页眉: the header text and the document's title
  bool usePageNumbers() const; // 使用页码
  const std::string& headerText() const;
  Alignment headerAlign() const;
  const std::string& headerFont() const;
  float headerFontSize() const;
  bool dashedPageNumbers() const; // 页码格式: "- 1 -" for any text but "0"
  Alignment pageNumberAlign() const;

  // ---- body and title fonts ----
  const std::string& bodyFont() const;
  float bodyFontSize() const;
  bool bodyBold() const;
  const std::string& titleFont() const;
  float titleFontSize() const;
  bool titleBold() const;
  bool firstParagraphIsTitle() const; // 一段标题
  Alignment titleAlign() const;
  // 字号增减: larger for "0", smaller for any other text.
  bool fontSizesLarger() const;

  // ---- paragraphs ----
  LineSpacingRule lineSpacingRule() const;
  // The exact line height in points (only meaningful for LineSpacingRule::Exactly).
  float lineSpacingPoints() const;
  // Indents in centimetres; a box left blank means no indent.
  float leftIndentCm() const;
  float rightIndentCm() const;
  float spaceBeforeLines() const; // 段前
  float spaceAfterLines() const;  // 段后

  // ---- text tools ----
  bool fullWidthPunctuation() const; // 标点: commas, colons, … become full-width, tabs go
  bool removeSpaces() const;         // 空格: every space of the text goes
  bool removeBlankLines() const;     // 空行
  bool indentFirstParagraph() const; // 头空格: the first paragraph keeps its indent
  bool halfWidthParentheses() const; // 小括号
  bool twoColumns() const;           // 分栏
  bool fullWidthFullStops() const;   // 句号

  // ---- watermark ----
  Watermark watermark() const;
  const std::string& watermarkPicture() const;
  const std::string& watermarkText() const;
  const std::string& watermarkFont() const;
  bool diagonalWatermark() const; // 水印样式: any text but "0"
  // 水印颜色 "0" grey, "1" red, "2" black, "3" blue, "4" green, as Word's RGB value; nothing
  // for any other text (the shape keeps its default fill).
  std::optional<int32_t> watermarkColor() const;

  // The text of a setting, as the engine received it.
  const std::string& text(const char* name) const;

private:
  bool on(const char* name) const;
  float number(const char* name) const;
  float fontSize(const char* name) const;
  int32_t integer(const char* name) const;
  Alignment alignment(const char* name) const;

  const std::map<std::string, std::string>* texts_;
};

} // namespace engine
