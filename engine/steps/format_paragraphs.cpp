// Paragraph format: one uniform format for every paragraph outside tables (indents, line
// spacing, space before and after, Chinese line breaking). Paragraphs in tables keep theirs.

#include <exception>

#include "engine/clsdoc.h"
#include "engine/outside_tables.h"

namespace engine {

namespace {

int wordLineSpacingRule(LineSpacingRule rule) {
  switch (rule) {
  case LineSpacingRule::Single:
    return word::wdLineSpaceSingle;
  case LineSpacingRule::OneAndAHalf:
    return word::wdLineSpace1pt5;
  case LineSpacingRule::Double:
    return word::wdLineSpaceDouble;
  case LineSpacingRule::Exactly:
    break;
  }
  return word::wdLineSpaceExactly;
}

} // namespace

void clsDoc::formatParagraphs() {
  const Settings& s = settings();
  auto points = [](float cm) { return word::Application::centimetersToPoints(cm); };
  // The members in the order they are set. They are recorded first and applied in one pass;
  // a setting that is not a number stops the recording, and what was recorded before it is
  // still applied to the first paragraphs worked on, as setting them one by one would leave
  // them.
  word::ParagraphFormat rows;
  std::exception_ptr failure;
  try {
    rows.setLeftIndent(points(s.leftIndentCm()));
    rows.setRightIndent(points(s.rightIndentCm()));
    rows.setSpaceBefore(1.0f);
    rows.setSpaceBeforeAuto(false);
    rows.setSpaceAfter(0.0f);
    rows.setSpaceAfterAuto(false);
    const LineSpacingRule rule = s.lineSpacingRule();
    rows.setLineSpacingRule(wordLineSpacingRule(rule));
    if (rule == LineSpacingRule::Exactly)
      rows.setLineSpacing(s.lineSpacingPoints());
    // In lines: these win over the points given above.
    rows.setLineUnitBefore(s.spaceBeforeLines());
    rows.setLineUnitAfter(s.spaceAfterLines());
    rows.setWidowControl(false);
    rows.setKeepWithNext(false);
    rows.setKeepTogether(false);
    rows.setPageBreakBefore(false);
    rows.setNoLineNumber(false);
    rows.setHyphenation(true);
    rows.setFirstLineIndent(word::Application::centimetersToPoints(0.0f));
    rows.setOutlineLevel(word::wdOutlineLevelBodyText);
    // The indents are in points: their character-unit forms go to 0 so they do not win.
    rows.setCharacterUnitLeftIndent(0.0f);
    rows.setCharacterUnitRightIndent(0.0f);
    rows.setCharacterUnitFirstLineIndent(0.0f);
    rows.setAutoAdjustRightIndent(true);
    rows.setDisableLineHeightGrid(false);
    rows.setFarEastLineBreakControl(true);
    rows.setWordWrap(true);
    rows.setHangingPunctuation(true);
    rows.setHalfWidthPunctuationOnTopOfLine(false);
    rows.setAddSpaceBetweenFarEastAndAlpha(true);
    rows.setAddSpaceBetweenFarEastAndDigit(true);
    rows.setBaseLineAlignment(word::wdBaselineAlignAuto);
  } catch (...) {
    failure = std::current_exception();
  }

  // A run of neighbouring paragraphs outside tables at a time, from the last; table
  // paragraphs keep their format.
  forEachBlockOutsideTables(ActiveDocument(), [&](word::Range& block) {
    block.paragraphFormat().apply(rows);
    if (failure)
      std::rethrow_exception(failure);
  });
  if (failure)
    std::rethrow_exception(failure);
}

} // namespace engine
