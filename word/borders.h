#pragma once
// Paragraph borders (Word's Borders and Border): w:pBdr of the paragraphs of a range.

#include "word/document.h"

namespace word {

// WdBorderType
inline constexpr int wdBorderTop = -1, wdBorderLeft = -2, wdBorderBottom = -3, wdBorderRight = -4;
// WdLineStyle
inline constexpr int wdLineStyleNone = 0, wdLineStyleSingle = 1, wdLineStyleDot = 2,
                     wdLineStyleDashSmallGap = 3, wdLineStyleDashLargeGap = 4,
                     wdLineStyleDashDot = 5, wdLineStyleDashDotDot = 6, wdLineStyleDouble = 7,
                     wdLineStyleTriple = 8;
// WdLineWidth (eighths of a point, as OOXML stores them)
inline constexpr int wdLineWidth025pt = 2, wdLineWidth050pt = 4, wdLineWidth075pt = 6,
                     wdLineWidth100pt = 8, wdLineWidth150pt = 12, wdLineWidth225pt = 18,
                     wdLineWidth300pt = 24, wdLineWidth450pt = 36, wdLineWidth600pt = 48;
// WdColor
inline constexpr int wdColorAutomatic = -16777216;

// One border of the paragraphs of a range (w:pBdr/w:top, w:left, w:bottom, w:right).
class Border {
public:
  Border(const Range& range, int which) : range_(range), which_(which) {}
  // wdLineStyle…; reading gives the effective border (direct formatting, then the paragraph
  // style chain) when every paragraph agrees, else wdUndefined.
  int lineStyle() const;
  // wdLineStyleNone writes an explicit "nil" border, so that a style's border is hidden.
  // Other styles keep the width and colour already set, or 0.5 pt automatic.
  void setLineStyle(int wdLineStyle);
  // wdLineWidth… (eighths of a point).
  int lineWidth() const;
  void setLineWidth(int wdLineWidth);
  // wdColorAutomatic or a BGR colour value (red + green·256 + blue·65536).
  int color() const;
  void setColor(int wdColor);

private:
  Range range_;
  int which_;
};

class Borders {
public:
  explicit Borders(const Range& range) : range_(range) {}
  // wdBorderTop, wdBorderLeft, wdBorderBottom or wdBorderRight; throws DocumentError for
  // other values.
  Border item(int wdBorder) const;

private:
  Range range_;
};

} // namespace word
