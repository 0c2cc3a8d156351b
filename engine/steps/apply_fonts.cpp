// Body and title fonts: the body font, size and weight for the text outside tables (table text
// keeps its own), then, when the first paragraph is the title, its font, size, weight, half a
// line of space above and below, and its alignment.

#include "engine/clsdoc.h"
#include "engine/outside_tables.h"

namespace engine {

void clsDoc::applyFonts() {
  const Settings& s = settings();
  forEachBlockOutsideTables(ActiveDocument(), [&](word::Range& block) {
    block.font().apply({s.bodyFont(), s.bodyFontSize(), s.bodyBold()});
  });

  if (!s.firstParagraphIsTitle())
    return;
  // The selection covers the first paragraph, mark included.
  Selection().homeKey(word::wdStory);
  Selection().setRange(ActiveDocument().paragraphs().first().range());
  Selection().font().apply({s.titleFont(), s.titleFontSize(), s.titleBold()});
  word::ParagraphFormat format = Selection().paragraphFormat();
  format.setLineUnitBefore(0.5f);
  format.setLineUnitAfter(0.5f);
  format.setAlignment(wordAlignment(s.titleAlign()));
}

} // namespace engine
