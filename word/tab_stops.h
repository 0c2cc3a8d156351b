#pragma once
// Tab stops of the paragraphs of a range (Word's TabStops, w:tabs in each w:pPr), in points
// from the left indent's origin (the text area's left edge).

#include <vector>

#include "word/document.h"

namespace word {

// WdTabAlignment
inline constexpr int wdAlignTabLeft = 0, wdAlignTabCenter = 1, wdAlignTabRight = 2,
                     wdAlignTabDecimal = 3, wdAlignTabBar = 4;

struct TabStop {
  float position = 0; // points
  int alignment = wdAlignTabLeft;
};

class TabStops {
public:
  explicit TabStops(const Range& range) : range_(range) {}
  // The paragraph's own tab stops (a "clear" stop left out), of the first paragraph of the range,
  // in order of position.
  std::vector<TabStop> list() const;
  // Adds a stop at `position` points with a wdAlignTab… alignment to every paragraph (one at
  // the same position is replaced).
  void add(float position, int alignment);
  // Removes every tab stop the paragraphs set themselves.
  void clearAll();

private:
  Range range_;
};

} // namespace word
