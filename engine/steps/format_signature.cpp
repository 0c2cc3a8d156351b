// Signature block (落款) and blank paragraphs.
//
// The block is the issuing body's name on one line and the date on the line below, set off
// from the body by two blank lines. It is found from the bottom of the document up by its date
// line; both lines are right-aligned and end in tabs, the shorter one getting more, so that it
// stands further in, towards the middle of the longer one. Then, with 空行 on, blank
// paragraphs are removed everywhere except the two blank lines above a formatted block.
//
// Blank: a paragraph whose text, trimmed of U+0020 / U+3000 at both ends, is its mark alone
// (after indentation a blank line holds two ideographic spaces and its mark), and that holds
// no object of any kind: a paragraph with only a field, form field, content control, picture,
// shape or bookmark is content. The model keeps a blank paragraph whose mark ends a section or
// that is all that separates two tables, so removing blanks never merges sections or tables.

#include <string>
#include <utility>

#include "engine/clsdoc.h"
#include "engine/recognisers/date_line.h"
#include "engine/recognisers/tab_pad.h"
#include "word/text.h"

namespace engine {

namespace {

// Length of a text in bytes of UTF-16 (two per code unit).
int byteLength(std::u32string_view s) {
  int n = 0;
  for (char32_t c : s)
    n += c > 0xFFFF ? 4 : 2;
  return n;
}

// d / 2 rounded to the nearest integer, halves to the even neighbour (d >= 0).
int halfToEven(int d) {
  int q = d / 2;
  if (d % 2 != 0 && q % 2 != 0)
    ++q;
  return q;
}

// The paragraph's text without its mark ("\r", or "\r\a" at the end of a table cell) and the
// mark itself.
std::pair<std::u32string, std::u32string> splitMark(const std::u32string& t) {
  size_t cut = t.size();
  if (cut >= 2 && t[cut - 2] == U'\r' && t[cut - 1] == U'\a')
    cut -= 2;
  else if (cut >= 1 && t[cut - 1] == U'\r')
    cut -= 1;
  return {t.substr(0, cut), t.substr(cut)};
}

} // namespace

void clsDoc::formatSignature() {
  word::Paragraphs paras = ActiveDocument().paragraphs();

  // A paragraph index that lies before the first paragraph counts as not blank, so a date-like
  // line near the top never ends the run.
  auto isBlank = [&](int index) {
    if (index < 1)
      return false;
    word::Paragraph para = paras.item(index);
    return word::trimSpaces(para.range().text32()).size() == 1 && para.isBlank();
  };

  // 1. The bottom-most date line whose paragraph two up is blank.
  int index = paras.count();
  int dateBytes = 0;
  int dateIndex = 0;
  bool found = false;
  while (index >= 1) {
    const std::u32string text = paras.item(index).range().text32();
    if (isDateLine(text)) {
      dateBytes = byteLength(text);
      dateIndex = index;
      if (isBlank(index - 2)) {
        found = true;
        break;
      }
    }
    --index;
  }

  // 2. and 3. With the second blank line above it too, the block is formatted: the signature
  // is the line above the date. Each line is written back as its text, its tabs and its own
  // mark, so only the tabs are new: the paragraph keeps its mark and properties, and the
  // paragraph count does not change (a line ending the document gets no empty one after it).
  int blockDate = 0; // the date line of the formatted block, or 0
  if (found && isBlank(index - 3)) {
    auto endWith = [](word::Range& line, const std::string& tabs) {
      auto [body, mark] = splitMark(line.text32());
      line.setText(word::toUtf8(body) + tabs + word::toUtf8(mark));
    };
    word::Range signature = paras.item(index - 1).range();
    const int sigBytes = byteLength(signature.text32()) - 1;
    // The shorter line gets the extra tabs.
    const bool signatureLonger = sigBytes > dateBytes;
    const int k = halfToEven(signatureLonger ? sigBytes - dateBytes : dateBytes - sigBytes);
    endWith(signature, signatureLonger ? "\t\t" : tabPad(k) + "\t\t");
    signature.paragraphFormat().setAlignment(word::wdAlignParagraphRight);
    word::Range date = paras.item(dateIndex).range();
    endWith(date, signatureLonger ? tabPad(k) + "\t\t" : "\t\t");
    date.paragraphFormat().setAlignment(word::wdAlignParagraphRight);
    blockDate = index;
  }

  // 4. Blank paragraphs, except the two lines above a formatted block.
  if (!settings().removeBlankLines())
    return;
  for (int j = paras.count(); j >= 1; --j) {
    if (isBlank(j) && j != blockDate - 2 && j != blockDate - 3)
      paras.item(j).range().deleteText();
  }
}

} // namespace engine
