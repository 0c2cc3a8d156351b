// Paragraph format: one uniform format for every paragraph outside tables (indents, line
// spacing, space before and after, Chinese line breaking). Paragraphs in tables keep theirs.

#include <exception>

#include "engine/clsdoc.h"

namespace engine {

namespace {

// The line spacing setting: "0", "1", "2" are single, 1.5 and double; any other text is an
// exact line height in points.
int lineRuleOf(const std::string& setting) {
  if (setting == "0")
    return word::wdLineSpaceSingle;
  if (setting == "1")
    return word::wdLineSpace1pt5;
  if (setting == "2")
    return word::wdLineSpaceDouble;
  return word::wdLineSpaceExactly;
}

} // namespace

void clsDoc::formatParagraphs() {
  auto points = [&](const char* setting) {
    return word::Application::centimetersToPoints(number(setting));
  };
  // An indent box left empty means no indent: the right indent's box is empty on a fresh
  // install, and every document would fail otherwise. Text that is not a number still fails.
  auto indent = [&](const char* setting) {
    const std::string& text = property(setting);
    if (text.find_first_not_of(" \t") == std::string::npos)
      return 0.0f;
    return points(setting);
  };
  // The members in the order they are set. They are recorded first and applied in one pass;
  // a setting that is not a number stops the recording, and what was recorded before it is
  // still applied to the first paragraph worked on, as setting them one by one would leave it.
  word::ParagraphFormat rows;
  std::exception_ptr failure;
  try {
    rows.setLeftIndent(indent("左缩进"));
    rows.setRightIndent(indent("右缩进"));
    rows.setSpaceBefore(1.0f);
    rows.setSpaceBeforeAuto(false);
    rows.setSpaceAfter(0.0f);
    rows.setSpaceAfterAuto(false);
    const std::string& spacing = property("行距");
    int rule = lineRuleOf(spacing);
    rows.setLineSpacingRule(rule);
    if (rule == word::wdLineSpaceExactly)
      rows.setLineSpacing(number("行距"));
    // In lines: these win over the points given above.
    rows.setLineUnitBefore(number("段前"));
    rows.setLineUnitAfter(number("段后"));
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

  if (!HasTables) {
    Selection().wholeStory();
    Selection().paragraphFormat().apply(rows);
    if (failure)
      std::rethrow_exception(failure);
    return;
  }
  // Paragraph by paragraph from the last, leaving table paragraphs alone.
  word::Paragraphs paras = ActiveDocument().paragraphs();
  for (int n = paras.count(); n > 0; --n) {
    CurPara = paras.item(n);
    if (CurPara.inTable())
      continue;
    CurPara.format().apply(rows);
    if (failure)
      std::rethrow_exception(failure);
  }
  if (failure)
    std::rethrow_exception(failure);
}

} // namespace engine
