// Two columns: the text in two evenly spaced columns without a line between them, at Word's
// default spacing. When the first paragraph is the title it keeps the full width: a continuous
// section break after it starts the columns on the same page (a table right after the title
// is no obstacle: the break ends the title's own paragraph).

#include <algorithm>

#include "engine/clsdoc.h"
#include "engine/seek_story.h"
#include "word/pagesetup.h"
#include "word/sections.h"

namespace engine {

void clsDoc::setColumns() {
  if (!settings().twoColumns())
    return;
  word::Document& doc = ActiveDocument();
  showPrintLayout(doc);

  // A document that begins with a table has no title paragraph: a section break cannot end a
  // table cell, and the table is body text. The whole document then gets the columns. A title
  // with nothing after it keeps the full width and needs no break.
  word::Paragraphs paras = doc.paragraphs();
  const bool title = settings().firstParagraphIsTitle() && !paras.first().inTable();
  if (title && paras.count() == 1)
    return;
  if (title) {
    Selection().homeKey(word::wdStory, word::wdExtend);
    Selection().moveDown(word::wdParagraph);
    Selection().endKey(word::wdStory, word::wdExtend);
    int64_t p = Selection().start();
    word::Range breakAt = doc.range(p, p);
    breakAt.insertBreak(word::wdSectionBreakContinuous);
    // The selection begins after the break (the title's paragraph mark ends its section).
    int64_t end = std::max(Selection().end(), breakAt.end());
    Selection().setRange(doc.range(std::max(p, breakAt.end()), end));
    // The title's section keeps one column, whatever the section it was split from had.
    word::PageSetup title = doc.sections().item(1).pageSetup();
    title.textColumns().setCount(1);
  } else {
    Selection().wholeStory();
  }

  word::TextColumns columns = Selection().pageSetup().textColumns();
  columns.setCount(2);
  columns.setEvenlySpaced(true);
  columns.setLineBetween(false);
}

} // namespace engine
