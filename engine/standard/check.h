#pragma once
// The conformance check: which measurable clauses of the national layout standard for official
// documents a document breaks, each with where (the paragraph's number and first words), what
// was found and what the standard asks. The check reads the document as it is; it changes
// nothing that is saved.

#include <string>
#include <vector>

#include "engine/standard/settings.h"

namespace word {
class Document;
}

namespace engine::standard {

// The clauses the check measures, one per row of its table of faults.
enum class Clause {
  Paper,            // A4 portrait
  TopMargin,        // 37 mm
  BottomMargin,     // 35 mm (text block 225 mm high)
  LeftMargin,       // 28 mm
  RightMargin,      // 26 mm (text block 156 mm wide)
  LinesPerPage,     // 22
  CharsPerLine,     // 28
  LineSpacing,      // one grid line per line
  TitleFont,        // 方正小标宋简体
  TitleSize,        // 22 pt
  TitleAlignment,   // centred
  BlankAfterTitle,  // one blank line between title and addressee
  AddresseeIndent,  // flush left
  AddresseeColon,   // full-width colon
  BodyFont,         // 仿宋_GB2312
  BodySize,         // 16 pt
  BodyIndent,       // first line two characters, no other indent
  HeadingFont,      // 黑体 / 楷体_GB2312 / 仿宋_GB2312 by level
  HeadingNumber,    // 一、 （一） 1. （1）
  AttachmentBlank,  // one blank line above
  AttachmentIndent, // two characters in
  AttachmentColon,  // 附件：
  SignatureBlank,   // one blank line above the signature block
  SignaturePlace,   // right-aligned, two characters of space
  DatePlace,        // two characters right of the signature's start
  DateForm,         // Arabic numerals, no leading zero
  NoteForm,         // in full-width parentheses, two characters in
  RecordFont,       // 仿宋_GB2312
  RecordSize,       // 14 pt
  RecordSpace,      // one character of space left and right
  RecordRules,      // rules as wide as the text block above and below
  DocNumberForm,    // 〔2024〕
  PageNumberForm,   // "— 1 —" in 宋体 14 pt
  PageNumberPlace,  // odd pages right, even pages left, one character of space
};

struct Finding {
  Clause clause;
  int paragraph = 0;    // 1-based in the main text; 0 for the page and the page numbers
  std::string words;    // the paragraph's first words
  std::string element;  // what the paragraph is (标题, 正文 …), or where (页面, 页码)
  std::string what;     // the measure (字号, 首行缩进 …)
  std::string found;    // what the document has
  std::string expected; // what the standard asks
  // The whole finding as one Chinese sentence.
  std::string text() const;
};

// The clauses `doc` breaks, in document order (the page first, the page numbers last). List
// numbers are made text on the way (in memory only). A paragraph the model cannot measure is
// passed over; a document it cannot read throws word::DocumentError.
std::vector<Finding> checkDocument(word::Document& doc, const Settings& settings);

} // namespace engine::standard
