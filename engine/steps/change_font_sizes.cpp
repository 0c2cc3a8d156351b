// The font-size-only run: every size above 10.5 pt except exactly 16 pt (三号, the usual body
// size of official papers) moves by 2 pt, smaller for 字号增减 "1" (减小) and larger for "0"
// (增加). Other texts of the setting mean smaller, the run's original direction.
//
// The work goes run by run, from the last paragraph to the first, so a paragraph that mixes
// sizes has each of its sizes changed on its own; a paragraph read as a whole would report no
// single size and be left alone.

#include <fmt/format.h>

#include "base/messages.h"
#include "engine/clsdoc.h"

namespace engine {

void clsDoc::changeFontSizes() {
  const bool larger = settings().fontSizesLarger();
  const float step = larger ? 2.0f : -2.0f;
  word::Paragraphs paragraphs = ActiveDocument().paragraphs();
  int failed = 0;
  for (int i = paragraphs.count(); i >= 1; --i) {
    std::vector<word::Range> runs;
    try {
      runs = paragraphs.item(i).range().formatRuns();
    } catch (const word::DocumentError&) {
      ++failed;
      continue;
    }
    for (const word::Range& run : runs) {
      // A run that cannot be read or written is passed over; the count is reported below.
      try {
        const float size = run.font().size();
        if (size == 16.0f || !(size > 10.5f) || size >= word::kUndefined)
          continue;
        run.font().setSize(size + step);
      } catch (const word::DocumentError&) {
        ++failed;
      }
    }
  }
  if (failed > 0)
    notice("3", msg::text(msg::kEventFontSizesUnchanged, failed));
}

} // namespace engine
