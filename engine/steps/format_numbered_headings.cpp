// Numbered headings of official documents, written the way the hierarchy prescribes: first
// level 一、, second level (一), third level 1., fourth level (1). Headings typed with the wrong
// separator (一。, 1、, (一)、) are corrected; every recognised heading is justified, and the lead
// sentence of a first-level heading takes the title font.

#include <optional>
#include <string>

#include "engine/clsdoc.h"
#include "engine/recognisers/article_number.h"
#include "engine/recognisers/dian_hao.h"
#include "engine/recognisers/dun_hao.h"
#include "engine/recognisers/wu_hao.h"
#include "word/text.h"

namespace engine {

namespace {

// Writes `range`'s text back with the separator of a heading replaced by `separator`, or
// removed when it is 0. `p` is the recogniser's result (the separator's 1-based position in
// the trimmed text). Only that one character changes; the rest of the paragraph, its mark and
// its formatting stay as they were.
void rewriteSeparator(word::Range& range, int p, char32_t separator) {
  std::u32string text = range.text32();
  size_t at = leadingSpaces(text) + static_cast<size_t>(p) - 1;
  if (at >= text.size())
    return;
  if (separator)
    text[at] = separator;
  else
    text.erase(at, 1);
  range.setText(word::toUtf8(text));
}

} // namespace

void clsDoc::formatNumberedHeadings() {
  const Settings& s = settings();
  word::Paragraphs paras = ActiveDocument().paragraphs();

  // The recognisers look for a separator after the number: the paragraph's content (its text
  // without the mark) is read in place.

  // First level: 一、 with the lead sentence (up to and including the first 。) in the title
  // font; the size stays.
  for (int i = paras.count(); i >= 1; --i) {
    word::Range range = paras.item(i).range();
    int p = matchDunHao(range.contentView());
    if (p < 1)
      continue;
    range.paragraphFormat().setAlignment(word::wdAlignParagraphJustify);
    rewriteSeparator(range, p, U'、');
    std::u32string text = range.text32();
    size_t stop = text.find(U'。');
    int64_t w = stop == std::u32string::npos ? static_cast<int64_t>(text.size())
                                             : static_cast<int64_t>(stop) + 1;
    range.setRange(range.start(), range.start() + w);
    // The name and the weight in one pass over the runs.
    range.font().apply({s.titleFont(), std::nullopt, s.titleBold()});
  }

  // Third level: 1.
  for (int i = paras.count(); i >= 1; --i) {
    word::Range range = paras.item(i).range();
    int p = matchDianHao(range.contentView());
    if (p <= 0)
      continue;
    rewriteSeparator(range, p, U'.');
    range.paragraphFormat().setAlignment(word::wdAlignParagraphJustify);
  }

  // Second and fourth level: (一), (1), (a) take no separator at all.
  for (int i = paras.count(); i >= 1; --i) {
    word::Range range = paras.item(i).range();
    int p = matchWuHao(range.contentView());
    if (p <= 0)
      continue;
    rewriteSeparator(range, p, 0);
    range.paragraphFormat().setAlignment(word::wdAlignParagraphJustify);
  }
}

} // namespace engine
