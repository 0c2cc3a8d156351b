#pragma once
// The elements of an official document (公文) as the national layout standard names them,
// recognised from the text of its paragraphs: the issuing number (发文字号), the title, the
// addressee (主送机关), the body with its four heading levels, the attachment note (附件说明),
// the signature (发文机关署名), the date (成文日期), the note (附注) and the record lines of
// the closing block (抄送 and 印发).
//
// Recognition is a pure function of the paragraph texts, so the standard run and the check see
// the same elements in the same document.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine::standard {

enum class Element {
  Blank,      // no text
  Masthead,   // above the issuing number (the issuing body's mark): left as it is
  DocNumber,  // 发文字号, e.g. 某政发〔2024〕12号
  Title,      // one or more lines up to the addressee
  Addressee,  // 主送机关: the line after the title that ends in a colon
  Body,       // body text
  Heading1,   // 一、
  Heading2,   // （一）
  Heading3,   // 1.
  Heading4,   // （1）
  Attachment, // 附件说明: "附件：" and the lines of further attachments below it
  Signature,  // 发文机关署名, the line(s) above the date
  Date,       // 成文日期
  Note,       // 附注: in parentheses on the line after the date
  CopyTo,     // 抄送 line of the closing block
  PrintedBy,  // 印发 line of the closing block
  Table,      // a paragraph in a table: left as it is
};

// One paragraph as recognition sees it: its text without the paragraph mark.
struct ParagraphText {
  std::u32string text;
  bool inTable = false;
};

// The element of every paragraph, in order (the result has the size of `paragraphs`).
std::vector<Element> recogniseElements(const std::vector<ParagraphText>& paragraphs);

// A heading's number at the start of a text, with its leading blanks skipped: the level (1 to
// 4, 0 for none), where the number begins and its length in characters, separator and
// parentheses included. Level 1: 一、 (a Chinese numeral up to 五十 and 、 or a mistyped 。);
// level 2: （一） with full- or half-width parentheses; level 3: 1. (1 to 99, then "." "．"
// or a mistyped "、" "。", not followed by a digit); level 4: （1）.
struct HeadingNumber {
  int level = 0;
  size_t start = 0, length = 0;
};
HeadingNumber matchHeading(std::u32string_view text);

// The heading number as the standard writes it: 一、 （一） 1. （1）.
std::u32string standardHeadingNumber(std::u32string_view number, int level);

// `text` without leading and trailing U+0020 / U+3000 spaces and tabs.
std::u32string trimBlanks(std::u32string_view text);

// A date line of the signature block: the whole text (blanks aside) is a date 2024年3月5日,
// with Arabic or Chinese numerals (二〇二四年三月五日), leading zeros allowed. Gives the date
// as the standard writes it (Arabic numerals, no leading zero), or nothing.
std::optional<std::u32string> standardDate(std::u32string_view text);

// An issuing number: organisation abbreviation, a year in brackets of any kind (〔〕 [] ［］
// () （） 【】 〈〉), a serial number and 号. Gives it with 〔〕 and a four-digit year
// (a two-digit year is taken as 20xx), or nothing when `text` is none.
std::optional<std::u32string> standardDocNumber(std::u32string_view text);

// The record line of the closing block that names the printing office and date: it ends in
// 印发 and holds a date. Gives the office and the date part (date normalised), or nothing.
struct PrintedLine {
  std::u32string office, date; // date: "2024年3月5日印发"
};
std::optional<PrintedLine> splitPrintedLine(std::u32string_view text);

// True when `text` starts with 抄送 followed by a colon (half- or full-width).
bool isCopyToLine(std::u32string_view text);
// True when `text` starts with 附件 followed by a colon (half- or full-width).
bool isAttachmentLine(std::u32string_view text);

// The element's name as a reader of the standard knows it (标题, 主送机关 …).
const char* elementName(Element e);

} // namespace engine::standard
