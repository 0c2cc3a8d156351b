#pragma once
// Page numbering of sections (Word's PageNumbers): the w:pgNumType of each section.

#include <vector>

#include <pugixml.hpp>

#include "word/document.h"

namespace word {

namespace internal {
struct Access;
}

// WdPageNumberStyle (the ones with an OOXML number format)
inline constexpr int wdPageNumberStyleArabic = 0, wdPageNumberStyleUppercaseRoman = 1,
                     wdPageNumberStyleLowercaseRoman = 2, wdPageNumberStyleUppercaseLetter = 3,
                     wdPageNumberStyleLowercaseLetter = 4, wdPageNumberStyleArabicFullWidth = 14,
                     wdPageNumberStyleNumberInCircle = 18, wdPageNumberStyleArabicLZ = 22,
                     wdPageNumberStyleSimpChinNum1 = 37, wdPageNumberStyleSimpChinNum2 = 38,
                     wdPageNumberStyleNumberInDash = 57;
// WdSeparatorType
inline constexpr int wdSeparatorHyphen = 0, wdSeparatorPeriod = 1, wdSeparatorColon = 2,
                     wdSeparatorEmDash = 3, wdSeparatorEnDash = 4;

// Page numbering of the sections that show one header or footer (w:pgNumType of each).
class PageNumbers {
public:
  PageNumbers(Document* doc, std::vector<pugi::xml_node> sections);
  // wdPageNumberStyle… of the first section (w:pgNumType @fmt; Arabic when absent).
  int numberStyle() const;
  // Throws DocumentError for a style without an OOXML number format.
  void setNumberStyle(int wdPageNumberStyle);
  // Chapter numbers in page numbers (w:pgNumType @chapStyle, @chapSep). The heading level and
  // the separator are kept in the file only while chapter numbers are included.
  bool includeChapterNumber() const;
  void setIncludeChapterNumber(bool on);
  int headingLevelForChapter() const; // 0 = Heading 1
  void setHeadingLevelForChapter(int level);
  int chapterPageSeparator() const; // wdSeparator…
  void setChapterPageSeparator(int wdSeparator);
  // Numbering starts again at each section (w:pgNumType @start) or continues.
  bool restartNumberingAtSection() const;
  void setRestartNumberingAtSection(bool on);
  // The number a restarting section begins with; 0 when numbering continues. Setting a
  // number above 0 restarts numbering there, 0 lets it continue.
  int startingNumber() const;
  void setStartingNumber(int number);

private:
  friend struct internal::Access;
  const std::vector<pugi::xml_node>& sections() const { return sections_; }
  Document* doc_;
  std::vector<pugi::xml_node> sections_;
};

} // namespace word
