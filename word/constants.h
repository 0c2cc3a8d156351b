#pragma once
// Word's enumeration values used through the model, under Word's names.

namespace word {

// WdFindWrap
inline constexpr int wdFindStop = 0, wdFindContinue = 1, wdFindAsk = 2;
// WdReplace
inline constexpr int wdReplaceNone = 0, wdReplaceOne = 1, wdReplaceAll = 2;
// WdUnits
inline constexpr int wdCharacter = 1, wdWord = 2, wdLine = 5, wdStory = 6, wdParagraph = 4;
// WdMovementType
inline constexpr int wdMove = 0, wdExtend = 1;
// WdParagraphAlignment
inline constexpr int wdAlignParagraphLeft = 0, wdAlignParagraphCenter = 1,
                     wdAlignParagraphRight = 2, wdAlignParagraphJustify = 3,
                     wdAlignParagraphDistribute = 4;
// wdUndefined for integer properties
inline constexpr int wdUndefined = 9999999;
// Word's "undefined" value for a property that differs across a range (wdUndefined).
inline constexpr float kUndefined = 9999999.0f;
// WdBreakType
inline constexpr int wdSectionBreakNextPage = 2, wdSectionBreakContinuous = 3,
                     wdSectionBreakEvenPage = 4, wdSectionBreakOddPage = 5, wdLineBreak = 6,
                     wdPageBreak = 7, wdColumnBreak = 8;
// WdSaveFormat
inline constexpr int wdFormatDocument = 0, wdFormatXMLDocument = 12;

} // namespace word
