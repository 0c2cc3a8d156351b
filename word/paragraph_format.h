#pragma once
// Paragraph formatting of the paragraphs a range touches (Word's ParagraphFormat).

#include <memory>
#include <vector>

#include <pugixml.hpp>

namespace word {

namespace internal {
struct Access;
}
class Borders;
class Range;

// WdLineSpacing
inline constexpr int wdLineSpaceSingle = 0, wdLineSpace1pt5 = 1, wdLineSpaceDouble = 2,
                     wdLineSpaceAtLeast = 3, wdLineSpaceExactly = 4, wdLineSpaceMultiple = 5;
// WdOutlineLevel: levels 1 to 9, then body text
inline constexpr int wdOutlineLevel1 = 1, wdOutlineLevel9 = 9, wdOutlineLevelBodyText = 10;
// WdBaselineAlignment
inline constexpr int wdBaselineAlignTop = 0, wdBaselineAlignCenter = 1, wdBaselineAlignBaseline = 2,
                     wdBaselineAlignFarEast50 = 3, wdBaselineAlignAuto = 4;

struct ParagraphFormatChanges;

// Paragraph formatting of the paragraphs a range touches.
//
// Reading gives the effective value (direct formatting, then the paragraph style chain, then the
// document defaults) when it is the same for every paragraph, else kUndefined (lengths) or
// wdUndefined; on/off members read -1 (true) or 0. Writing sets direct formatting on every
// paragraph, in schema order, and states an "off" explicitly (w:val="0") so that it wins over a
// style.
class ParagraphFormat {
public:
  explicit ParagraphFormat(const Range& r);
  // A standalone format, attached to no paragraph (Word's ParagraphFormat.Duplicate): its
  // setters only record the change, for apply(). Its getters read as undefined.
  ParagraphFormat();
  // Applies the changes recorded in `changes` (a standalone format) to every paragraph, in the
  // order they were recorded: the same result as calling those setters one after the other,
  // in one pass over the paragraphs.
  void apply(const ParagraphFormat& changes);

  // wdAlignParagraph… value; wdUndefined when the paragraphs differ.
  int alignment() const;
  void setAlignment(int wdAlign);

  // Indents in points (w:ind @left @right @firstLine/@hanging, twips). Setting one in points
  // also zeroes its character-unit form, which would otherwise win over it.
  float leftIndent() const;
  void setLeftIndent(float points);
  float rightIndent() const;
  void setRightIndent(float points);
  // Positive: first-line indent; negative: hanging indent.
  float firstLineIndent() const;
  void setFirstLineIndent(float points);
  // Indents in characters (w:ind @leftChars @rightChars @firstLineChars/@hangingChars, in
  // hundredths of a character). 0 leaves the indent to its value in points.
  float characterUnitLeftIndent() const;
  void setCharacterUnitLeftIndent(float chars);
  float characterUnitRightIndent() const;
  void setCharacterUnitRightIndent(float chars);
  float characterUnitFirstLineIndent() const;
  void setCharacterUnitFirstLineIndent(float chars);

  // Space before and after in points (w:spacing @before @after). Setting one in points zeroes
  // its value in lines, which would otherwise win over it.
  float spaceBefore() const;
  void setSpaceBefore(float points);
  float spaceAfter() const;
  void setSpaceAfter(float points);
  // Automatic (HTML-like) space before and after (@beforeAutospacing @afterAutospacing).
  int spaceBeforeAuto() const;
  void setSpaceBeforeAuto(bool on);
  int spaceAfterAuto() const;
  void setSpaceAfterAuto(bool on);
  // Space before and after in lines (@beforeLines @afterLines, hundredths of a line).
  float lineUnitBefore() const;
  void setLineUnitBefore(float lines);
  float lineUnitAfter() const;
  void setLineUnitAfter(float lines);

  // wdLineSpace… rule (@lineRule, @line). Single, 1.5 and double set the line value too; the
  // other rules keep the current value, which setLineSpacing then gives.
  int lineSpacingRule() const;
  void setLineSpacingRule(int wdLineSpace);
  // Points (12 is one line under the auto rules).
  float lineSpacing() const;
  void setLineSpacing(float points);

  // On/off members: -1 / 0 / wdUndefined.
  int widowControl() const; // w:widowControl
  void setWidowControl(bool on);
  int keepWithNext() const; // w:keepNext
  void setKeepWithNext(bool on);
  int keepTogether() const; // w:keepLines
  void setKeepTogether(bool on);
  int pageBreakBefore() const; // w:pageBreakBefore
  void setPageBreakBefore(bool on);
  int noLineNumber() const; // w:suppressLineNumbers
  void setNoLineNumber(bool on);
  int hyphenation() const; // the inverse of w:suppressAutoHyphens
  void setHyphenation(bool on);
  int autoAdjustRightIndent() const; // w:adjustRightInd
  void setAutoAdjustRightIndent(bool on);
  int disableLineHeightGrid() const; // the inverse of w:snapToGrid
  void setDisableLineHeightGrid(bool on);
  int farEastLineBreakControl() const; // w:kinsoku
  void setFarEastLineBreakControl(bool on);
  // True lets Latin words break anywhere: the inverse of w:wordWrap (word-level breaking).
  int wordWrap() const;
  void setWordWrap(bool on);
  int hangingPunctuation() const; // w:overflowPunct
  void setHangingPunctuation(bool on);
  int halfWidthPunctuationOnTopOfLine() const; // w:topLinePunct
  void setHalfWidthPunctuationOnTopOfLine(bool on);
  int addSpaceBetweenFarEastAndAlpha() const; // w:autoSpaceDE
  void setAddSpaceBetweenFarEastAndAlpha(bool on);
  int addSpaceBetweenFarEastAndDigit() const; // w:autoSpaceDN
  void setAddSpaceBetweenFarEastAndDigit(bool on);

  // wdOutlineLevel1 … 9 or wdOutlineLevelBodyText (w:outlineLvl 0 … 8, 9).
  int outlineLevel() const;
  void setOutlineLevel(int level);
  // wdBaselineAlign… (w:textAlignment top / center / baseline / bottom / auto).
  int baseLineAlignment() const;
  void setBaseLineAlignment(int wdBaselineAlign);

  // Borders of the paragraphs (w:pBdr). Defined in word/borders.cpp; include
  // word/borders.h. Throws DocumentError on a standalone format.
  Borders borders() const;

private:
  friend struct ParagraphFormatChanges;
  friend struct internal::Access;
  // The w:pPr elements of the touched paragraphs (created when missing).
  std::vector<pugi::xml_node> pPrs() const;
  std::shared_ptr<Range> range_;
  std::shared_ptr<ParagraphFormatChanges> changes_; // set for a standalone format
};

} // namespace word
