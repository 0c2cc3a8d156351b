#pragma once
// The standard run: lays an official document out by the measurable clauses of the national
// layout standard for official documents (A4, the text block of 156 × 225 mm at 37 mm from the
// top and 28 mm from the left, 22 lines of 28 characters, the fonts and sizes of each element,
// the signature block, the closing block and the page numbers).
//
// The run has two parts: normaliseText() rewrites what the standard writes differently (heading
// numbers, colons, parentheses, dates, the issuing number, blanks used for positioning) and runs
// before the integrity census is taken, since those edits are intended; layOut() then sets the
// page, the paragraphs, the fonts and the page numbers.

#include <string>
#include <vector>

#include "engine/standard/elements.h"
#include "engine/standard/settings.h"

namespace word {
class Document;
class Range;
class Story;
} // namespace word

namespace engine::standard {

// The standard's measures.
inline constexpr float kBodySize = 16.0f;       // 3号
inline constexpr float kTitleSize = 22.0f;      // 2号
inline constexpr float kRecordSize = 14.0f;     // 4号, the closing block
inline constexpr float kPageNumberSize = 14.0f; // 4号
inline constexpr float kTopMarginMm = 37.0f, kBottomMarginMm = 35.0f, kLeftMarginMm = 28.0f,
                       kRightMarginMm = 26.0f;
inline constexpr float kPageWidthMm = 210.0f, kPageHeightMm = 297.0f;
inline constexpr int kLinesPerPage = 22, kCharsPerLine = 28;
// The line pitch: the text block's 225 mm divided into 22 lines, in whole twips (579 twips).
inline constexpr float kLinePitch = 28.95f;
// Character spacing of the 16-point text: 28 characters of 16 pt do not fit the 156 mm line
// (448 pt against 442.2 pt). Word draws them on the document grid's pitch; LibreOffice puts a
// character wider than a grid cell into two cells, so the paragraphs do not snap to the grid
// and condense each character by 0.3 pt instead, which gives 28 a line in both.
inline constexpr float kBodyCharSpacing = -0.3f;
// The page number's em dashes stand 7 mm below the text block (measured: the dash of a 14-point
// line whose footer ends 25.2 mm above the page's lower edge lies 7.0 mm below the block).
inline constexpr float kFooterDistanceMm = 25.2f;

// Millimetres in points.
float mmToPoints(float mm);

// Whether the settings have the run lay out (and the check measure) element `e`: the page, the
// body, its headings (as body text at least) and blank lines always; the masthead and tables
// never.
bool handles(const Settings& s, Element e);

// The texts of the main story's paragraphs as recognition sees them.
std::vector<ParagraphText> paragraphTexts(word::Document& doc);

// Rewrites the text of the elements the settings handle as the standard writes it. List
// numbers must already be text (Document::convertNumbersToText).
void normaliseText(word::Document& doc, const Settings& settings);

// Lays the document out. Returns notices for the user (Chinese), e.g. that a header of the
// source no longer shows on even pages.
std::vector<std::string> layOut(word::Document& doc, const Settings& settings);

// The whole text of a story (a header or footer), final paragraph mark included.
word::Range storyRange(word::Story* story);

// Width in points of `text` in a font of `size` points with `spacing` points added to every
// character: full-width characters one em, others half an em.
float textWidth(std::u32string_view text, float size, float spacing);

} // namespace engine::standard
