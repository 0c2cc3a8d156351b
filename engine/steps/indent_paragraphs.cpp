// Indentation: every paragraph outside tables starts with two ideographic spaces and is
// justified. The indent is text, not a paragraph setting, so the later steps can count it.
// With 头空格 "0" the first paragraph (usually the title) loses the two spaces again.

#include <string>

#include "engine/clsdoc.h"
#include "engine/outside_tables.h"

namespace engine {

namespace {
const std::string kIndent = "\u3000\u3000";

// Where writing kIndent + `text` back over `text` (a paragraph's text, mark included) puts
// the two new characters as a minimal edit: after the ideographic spaces the paragraph
// already starts with. -1 when the rewrite would change more than that: a line feed becomes a
// paragraph mark on the way back, and a value that is no Unicode scalar value comes back as
// U+FFFD.
long indentOffset(const std::u32string& text) {
  for (char32_t c : text)
    if (c == U'\n' || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
      return -1;
  size_t m = 0;
  while (m < text.size() && text[m] == U'\u3000')
    ++m;
  return static_cast<long>(m);
}
} // namespace

void clsDoc::indentParagraphs() {
  word::Paragraphs paras = ActiveDocument().paragraphs();
  bool firstIndented = false;
  // From the last paragraph to the first; each rewrite keeps one paragraph as one paragraph,
  // so the indexes still to be visited do not move.
  for (int i = paras.count(); i > 0; --i) {
    word::Range range = paras.item(i).range();
    if (range.tablesCount() >= 1)
      continue;
    // The whole paragraph, mark included, is written back with the prefix in front; only the
    // prefix is new, so pictures, fields and formatting of the text stay where they are. That
    // edit is the insertion of the prefix after the paragraph's leading ideographic spaces,
    // made directly where the text allows it (no round trip of the whole text).
    const long at = indentOffset(range.text32());
    if (at < 0) {
      range.setText(kIndent + range.text());
    } else {
      ActiveDocument().range(range.start() + at, range.start() + at).insertBefore(kIndent);
    }
    if (i == 1)
      firstIndented = true;
  }

  // Every paragraph outside tables is justified: one edit per stretch of them, the same
  // properties as one per paragraph.
  forEachBlockOutsideTables(ActiveDocument(), [](word::Range& block) {
    block.paragraphFormat().setAlignment(word::wdAlignParagraphJustify);
  });

  if (!settings().indentFirstParagraph() && firstIndented) {
    Selection().homeKey(word::wdStory);
    for (int k = 0; k < 2; ++k)
      Selection().deleteText();
  }
}

} // namespace engine
