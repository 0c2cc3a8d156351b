// Chapter and article headings of regulations. A paragraph that begins 第…章 or 第…篇 becomes
// a heading line: short ones are centred in the title font one point above the body size; every
// one loses its indent, gets 0.2 line more space above and below and an ideographic space after
// its lead-in. A paragraph that begins 第…条, 第…节 or 第…款 keeps its place in the text; its
// lead-in (with the indent in front) becomes bold and is followed by an ideographic space.

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include <fmt/format.h>

#include "base/messages.h"
#include "engine/clsdoc.h"
#include "engine/recognisers/article_number.h"
#include "word/text.h"

namespace engine {

namespace {

// Paragraphs whose text (indent and mark included) is this long or longer are not centred:
// they are sentences that happen to start with a chapter number, not heading lines.
constexpr size_t kHeadingLineLimit = 24;

// A setting read as a 32-bit integer, rounded half to even.
int32_t integerSetting(const clsDoc& doc, const std::string& name) {
  float v = doc.number(name);
  float r = std::nearbyint(v);
  if (r < static_cast<float>(std::numeric_limits<int32_t>::min()) ||
      r >= static_cast<float>(std::numeric_limits<int32_t>::max()))
    throw word::DocumentError(msg::text(msg::kSettingNotInteger, name, doc.property(name)));
  return static_cast<int32_t>(r);
}

// A space in lines taken from `setting` plus the extra that heading lines get; Word accepts no
// negative spacing.
float headingSpacing(const clsDoc& doc, const std::string& setting) {
  float lines = doc.number(setting) + 0.2f;
  if (lines < 0.0f || lines > 1000.0f)
    throw word::DocumentError(msg::text(msg::kSettingSpacingRange, setting, doc.property(setting)));
  return lines;
}

} // namespace

void clsDoc::formatArticleHeadings() {
  ChapterFlag = 0;
  word::Paragraphs paras = ActiveDocument().paragraphs();
  // From the last paragraph to the first: edits never split or merge paragraphs, and the
  // positions of the paragraphs still to be visited stay valid.
  for (int i = paras.count(); i >= 1; --i) {
    CurPara = paras.item(i);
    std::u32string text = CurPara.range().text32();
    bool chapter = false;
    int e = matchArticleNumber(text, chapter);
    ChapterFlag = chapter ? -1 : 0;
    if (e <= 0)
      continue;

    if (text.size() < kHeadingLineLimit && ChapterFlag) {
      word::Font font = CurPara.range().font();
      font.setName(property("标题字体"));
      font.setBold(integerSetting(*this, "标题加粗") != 0);
      font.setSize(fontSize("正文字号") + 1.0f);
      CurPara.range().paragraphFormat().setAlignment(word::wdAlignParagraphCenter);
    }

    // The lead-in with whatever indent stands before it.
    CurRange = CurPara.range();
    int64_t s = static_cast<int64_t>(leadingSpaces(text));
    CurRange.setRange(CurRange.start(), CurRange.start() + s + e);
    if (ChapterFlag) {
      // Heading lines are centred or stand alone: the indent goes, only the lead-in stays.
      CurRange.setText(word::toUtf8(word::trimSpaces(CurRange.text32())));
      CurPara.format().setLineUnitBefore(headingSpacing(*this, "段前"));
      CurPara.format().setLineUnitAfter(headingSpacing(*this, "段后"));
    }
    CurRange.insertAfter("\u3000");
    if (!ChapterFlag)
      CurRange.font().setBold(true);
  }
}

} // namespace engine
