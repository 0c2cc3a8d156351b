// Numbered headings of official documents, written the way the hierarchy prescribes: first
// level 一、, second level (一), third level 1., fourth level (1). Headings typed with the wrong
// separator (一。, 1、, (一)、) are corrected; every recognised heading is justified, and the lead
// sentence of a first-level heading takes the title font.

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include <fmt/format.h>

#include "base/messages.h"
#include "engine/clsdoc.h"
#include "engine/recognisers/article_number.h"
#include "engine/recognisers/dian_hao.h"
#include "engine/recognisers/dun_hao.h"
#include "engine/recognisers/wu_hao.h"
#include "word/text.h"

namespace engine {

namespace {

// A setting read as a 32-bit integer, rounded half to even.
int32_t integerSetting(const clsDoc& doc, const std::string& name) {
  float v = doc.number(name);
  float r = std::nearbyint(v);
  if (r < static_cast<float>(std::numeric_limits<int32_t>::min()) ||
      r >= static_cast<float>(std::numeric_limits<int32_t>::max()))
    throw word::DocumentError(msg::text(msg::kSettingNotInteger, name, doc.property(name)));
  return static_cast<int32_t>(r);
}

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
  word::Paragraphs paras = ActiveDocument().paragraphs();

  // First level: 一、 with the lead sentence (up to and including the first 。) in the title
  // font; the size stays.
  for (int i = paras.count(); i >= 1; --i) {
    CurPara = paras.item(i);
    int p = matchDunHao(CurPara.range().text32());
    if (p < 1)
      continue;
    CurRange = CurPara.range();
    CurRange.paragraphFormat().setAlignment(word::wdAlignParagraphJustify);
    rewriteSeparator(CurRange, p, U'、');
    std::u32string text = CurRange.text32();
    size_t stop = text.find(U'。');
    int64_t w = stop == std::u32string::npos ? static_cast<int64_t>(text.size())
                                             : static_cast<int64_t>(stop) + 1;
    CurRange.setRange(CurRange.start(), CurRange.start() + w);
    CurRange.font().setName(property("标题字体"));
    CurRange.font().setBold(integerSetting(*this, "标题加粗") != 0);
  }

  // Third level: 1.
  for (int i = paras.count(); i >= 1; --i) {
    CurPara = paras.item(i);
    int p = matchDianHao(CurPara.range().text32());
    if (p <= 0)
      continue;
    CurRange = CurPara.range();
    rewriteSeparator(CurRange, p, U'.');
    CurRange.paragraphFormat().setAlignment(word::wdAlignParagraphJustify);
  }

  // Second and fourth level: (一), (1), (a) take no separator at all.
  for (int i = paras.count(); i >= 1; --i) {
    CurPara = paras.item(i);
    int p = matchWuHao(CurPara.range().text32());
    if (p <= 0)
      continue;
    CurRange = CurPara.range();
    rewriteSeparator(CurRange, p, 0);
    CurRange.paragraphFormat().setAlignment(word::wdAlignParagraphJustify);
  }
}

} // namespace engine
