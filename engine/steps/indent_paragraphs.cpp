// Indentation: every paragraph outside tables starts with two ideographic spaces and is
// justified. The indent is text, not a paragraph setting, so the later steps can count it.
// With 头空格 "0" the first paragraph (usually the title) loses the two spaces again.

#include <string>

#include "engine/clsdoc.h"

namespace engine {

namespace {
const std::string kIndent = "\u3000\u3000";
}

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
    // prefix is new, so pictures, fields and formatting of the text stay where they are.
    range.setText(kIndent + range.text());
    range.paragraphFormat().setAlignment(word::wdAlignParagraphJustify);
    if (i == 1)
      firstIndented = true;
  }

  if (!settings().indentFirstParagraph() && firstIndented) {
    Selection().homeKey(word::wdStory);
    for (int k = 0; k < 2; ++k)
      Selection().deleteText();
  }
}

} // namespace engine
