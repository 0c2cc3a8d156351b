// Body and title fonts: the body font, size and weight for the text (table text keeps its
// own), then, when the first paragraph is the title, its font, size, weight, half a line of
// space above and below, and its alignment.

#include <cmath>

#include "engine/clsdoc.h"

namespace engine {

namespace {

// A weight setting as Word's Font.Bold takes it: any number but 0 is bold.
bool boldOf(float value) {
  return std::lround(value) != 0;
}

} // namespace

void clsDoc::applyFonts() {
  const std::string& bodyFont = property("正文字体");
  if (HasTables) {
    word::Paragraphs paras = ActiveDocument().paragraphs();
    for (int n = paras.count(); n > 0; --n) {
      CurPara = paras.item(n);
      if (CurPara.inTable())
        continue;
      word::Font font = CurPara.range().font();
      font.setName(bodyFont);
      font.setSize(fontSize("正文字号"));
      font.setBold(boldOf(number("正文加粗")));
    }
  } else {
    Selection().wholeStory();
    word::Font font = Selection().font();
    font.setName(bodyFont);
    font.setSize(fontSize("正文字号"));
    font.setBold(boldOf(number("正文加粗")));
  }

  if (!isOn("一段标题"))
    return;
  // The selection covers the first paragraph, mark included.
  Selection().homeKey(word::wdStory);
  Selection().setRange(ActiveDocument().paragraphs().first().range());
  word::Font title = Selection().font();
  title.setName(property("标题字体"));
  title.setSize(fontSize("标题字号"));
  title.setBold(boldOf(number("标题加粗")));
  word::ParagraphFormat format = Selection().paragraphFormat();
  format.setLineUnitBefore(0.5f);
  format.setLineUnitAfter(0.5f);
  const std::string& align = property("标题对齐");
  format.setAlignment(align == "0"   ? word::wdAlignParagraphJustify
                      : align == "1" ? word::wdAlignParagraphCenter
                                     : word::wdAlignParagraphRight);
}

} // namespace engine
