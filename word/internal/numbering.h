#pragma once
// List numbers as Word shows them, computed from numbering.xml and styles.xml.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <pugixml.hpp>

namespace word {

// Formats one number in an OOXML number format (w:numFmt/@w:val) as Word shows it: every value
// of ST_NumberFormat (the Chinese, Japanese and Korean counting forms, ideographs, heavenly
// stems and earthly branches, enclosed numbers, letters and numerals of other scripts, English
// words...). "bullet" and "none" give ""; values outside a format's range and unknown formats
// are decimal (see isKnownNumberFormat).
std::string formatListNumber(int n, const std::string& numFmt);
// Whether formatListNumber knows `numFmt` ("" counts as decimal).
bool isKnownNumberFormat(const std::string& numFmt);

// The label of a numbered paragraph and what follows it.
struct ListLabel {
  std::string text;      // e.g. "1.", "（一）", "第3条", a bullet character
  std::string suffix;    // "\t", " " or ""
  pugi::xml_node lvlRPr; // the level's run properties (may be empty)
};

// Walks paragraphs in document order and computes their labels. Holds the counters: counters
// run per abstract definition shared by w:num instances without start overrides; a w:num with
// a start override on a level counts that level on its own.
class ListNumberer {
public:
  // `numbering` may be null (then no paragraph is numbered); `styles` may be null.
  ListNumberer(const pugi::xml_document* numbering, const pugi::xml_document* styles);
  // The label for paragraph `p` (a w:p), or nothing when it is not numbered (no numPr in the
  // paragraph or its style chain, numId 0, unknown numId, or format "none" with empty text).
  // Must be called for every paragraph in document order: counters advance.
  bool next(pugi::xml_node p, ListLabel& out);
  // The w:numFmt values met so far that are not known, each once (shown in decimal).
  std::vector<std::string> unknownFormats() const;
  // Whether `p`'s numbering comes from its own w:pPr (true) or only from its style (false).
  static bool hasDirectNumbering(pugi::xml_node p);

private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

} // namespace word
