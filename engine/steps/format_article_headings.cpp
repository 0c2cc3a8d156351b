// Chapter and article headings of regulations. A paragraph that begins 第…章 or 第…篇 becomes
// a heading line: short ones are centred in the title font one point above the body size; every
// one loses its indent, gets 0.2 line more space above and below and an ideographic space after
// its lead-in. A paragraph that begins 第…条, 第…节 or 第…款 keeps its place in the text; its
// lead-in (with the indent in front) becomes bold and is followed by an ideographic space.

#include <string>

#include "base/messages.h"
#include "engine/clsdoc.h"
#include "engine/recognisers/article_number.h"
#include "word/text.h"

namespace engine {

namespace {

// Paragraphs whose text (indent and mark included) is this long or longer are not centred:
// they are sentences that happen to start with a chapter number, not heading lines.
constexpr size_t kHeadingLineLimit = 24;

// A space in lines, `lines` of the setting `name` plus the extra that heading lines get; Word
// accepts no negative spacing.
float headingSpacing(float lines, const Settings& settings, const char* name) {
  lines += 0.2f;
  if (lines < 0.0f || lines > 1000.0f)
    throw word::DocumentError(msg::text(msg::kSettingSpacingRange, name, settings.text(name)));
  return lines;
}

} // namespace

void clsDoc::formatArticleHeadings() {
  const Settings& s = settings();
  word::Paragraphs paras = ActiveDocument().paragraphs();
  // From the last paragraph to the first: edits never split or merge paragraphs, and the
  // positions of the paragraphs still to be visited stay valid.
  for (int i = paras.count(); i >= 1; --i) {
    word::Paragraph para = paras.item(i);
    std::u32string text = para.range().text32();
    bool chapter = false;
    int e = matchArticleNumber(text, chapter);
    if (e <= 0)
      continue;

    if (text.size() < kHeadingLineLimit && chapter) {
      word::Font font = para.range().font();
      font.setName(s.titleFont());
      font.setBold(s.titleBold());
      font.setSize(s.bodyFontSize() + 1.0f);
      para.range().paragraphFormat().setAlignment(word::wdAlignParagraphCenter);
    }

    // The lead-in with whatever indent stands before it.
    word::Range leadIn = para.range();
    int64_t spaces = static_cast<int64_t>(leadingSpaces(text));
    leadIn.setRange(leadIn.start(), leadIn.start() + spaces + e);
    if (chapter) {
      // Heading lines are centred or stand alone: the indent goes, only the lead-in stays.
      leadIn.setText(word::toUtf8(word::trimSpaces(leadIn.text32())));
      para.format().setLineUnitBefore(headingSpacing(s.spaceBeforeLines(), s, "段前"));
      para.format().setLineUnitAfter(headingSpacing(s.spaceAfterLines(), s, "段后"));
    }
    leadIn.insertAfter("\u3000");
    if (!chapter)
      leadIn.font().setBold(true);
  }
}

} // namespace engine
