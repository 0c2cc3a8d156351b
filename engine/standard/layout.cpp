#include "engine/standard/layout.h"

#include <algorithm>

#include "base/messages.h"
#include "base/wide_characters.h"
#include "word/document.h"
#include "word/borders.h"
#include "word/fields.h"
#include "word/font.h"
#include "word/page_numbers.h"
#include "word/paragraph_format.h"
#include "word/sections.h"
#include "word/view.h"
#include "word/pagesetup.h"
#include "word/styles.h"
#include "word/tab_stops.h"
#include "word/text.h"

namespace engine::standard {

namespace {

bool isBlankChar(char32_t c) {
  return c == U' ' || c == U'\u3000' || c == U'\t' || c == U'\u00A0';
}

// Chinese fonts also give the em dash and the curly quotes a full em.
bool isWide(char32_t c) {
  return base::isWideCharacter(c) || c == U'—' || c == U'“' || c == U'”' || c == U'‘' || c == U'’';
}

// A paragraph's text without its mark (and a cell's end mark).
std::u32string textOf(const word::Paragraph& p) {
  std::u32string t = p.range().text32();
  while (!t.empty() && (t.back() == U'\r' || t.back() == U'\a'))
    t.pop_back();
  return t;
}

// Replaces [from, to) of paragraph `index`'s text with `with` when it differs.
void replaceSpan(word::Document& doc, int index, size_t from, size_t to,
                 const std::u32string& with) {
  word::Range r = doc.paragraphs().item(index).range();
  if (r.text32().substr(from, to - from) == with)
    return;
  word::Range span(r.story(), r.start() + static_cast<int64_t>(from),
                   r.start() + static_cast<int64_t>(to));
  span.setText(word::toUtf8(with));
}

// The span of `t` without its leading and trailing blanks.
std::pair<size_t, size_t> trimmedSpan(const std::u32string& t) {
  size_t b = 0, e = t.size();
  while (b < e && isBlankChar(t[b]))
    ++b;
  while (e > b && isBlankChar(t[e - 1]))
    --e;
  return {b, e};
}

int headingLevel(Element e) {
  switch (e) {
  case Element::Heading1:
    return 1;
  case Element::Heading2:
    return 2;
  case Element::Heading3:
    return 3;
  case Element::Heading4:
    return 4;
  default:
    return 0;
  }
}

// Elements that an element, switched off, is laid out as.
Element effective(const Settings& s, Element e) {
  if (headingLevel(e) > 0 && !s.headings)
    return Element::Body;
  return handles(s, e) ? e : Element::Masthead;
}

// The text of one paragraph as the standard writes it (blanks used for positioning dropped).
std::u32string standardText(Element e, const std::u32string& text) {
  auto [b, en] = trimmedSpan(text);
  std::u32string t = text.substr(b, en - b);
  auto fullColon = [](std::u32string& s, size_t at) {
    if (at < s.size() && s[at] == U':')
      s[at] = U'：';
  };
  switch (e) {
  case Element::Heading1:
  case Element::Heading2:
  case Element::Heading3:
  case Element::Heading4: {
    HeadingNumber h = matchHeading(t);
    if (h.level > 0)
      t.replace(h.start, h.length,
                standardHeadingNumber(std::u32string_view(t).substr(h.start, h.length), h.level));
    return t;
  }
  case Element::Addressee:
    if (!t.empty())
      fullColon(t, t.size() - 1);
    return t;
  case Element::Attachment:
    if (isAttachmentLine(t))
      fullColon(t, 2);
    else if (HeadingNumber h = matchHeading(t); h.level == 3)
      t.replace(h.start, h.length,
                standardHeadingNumber(std::u32string_view(t).substr(h.start, h.length), 3));
    return t;
  case Element::Date:
    return standardDate(t).value_or(t);
  case Element::Note:
    if (t.size() >= 2) {
      if (t.front() == U'(')
        t.front() = U'（';
      if (t.back() == U')')
        t.back() = U'）';
    }
    return t;
  case Element::DocNumber:
    return standardDocNumber(t).value_or(t);
  case Element::CopyTo:
    fullColon(t, 2);
    return U"\u3000" + t;
  case Element::PrintedBy:
    if (std::optional<PrintedLine> line = splitPrintedLine(t))
      return U"\u3000" + line->office + U"\t" + line->date;
    return t;
  default:
    return t;
  }
}

// ---- paragraph formats ----

struct Indents {
  float left = 0, right = 0, firstLine = 0, firstLineChars = 0;
};

void setIndents(word::ParagraphFormat f, const Indents& in) {
  f.setLeftIndent(in.left);
  f.setRightIndent(in.right);
  f.setFirstLineIndent(in.firstLine);
  f.setCharacterUnitLeftIndent(0.0f);
  f.setCharacterUnitRightIndent(0.0f);
  f.setCharacterUnitFirstLineIndent(in.firstLineChars);
}

// Line pitch and spacing of every paragraph that is laid out: one grid line each.
void setLines(word::ParagraphFormat f) {
  f.setSpaceBefore(0.0f);
  f.setSpaceAfter(0.0f);
  f.setLineUnitBefore(0.0f);
  f.setLineUnitAfter(0.0f);
  f.setLineSpacingRule(word::wdLineSpaceExactly);
  f.setLineSpacing(kLinePitch);
  f.setDisableLineHeightGrid(true);
  // Every page full: 22 lines, whatever the paragraphs' ends.
  f.setWidowControl(false);
}

void setFont(const word::Range& r, const std::string& name, float size, float spacing) {
  word::Font f = r.font();
  f.setName(name);
  f.setSize(size);
  f.setSpacing(spacing);
}

// Two characters of the body size: the first-line indent of the body.
constexpr float kTwoChars = 2 * kBodySize;

// The range of a heading that takes the heading's font: up to and including the first full
// stop when text follows it (a heading run into its paragraph), else the whole paragraph.
word::Range headingPart(const word::Paragraph& p, const std::u32string& text) {
  word::Range r = p.range();
  size_t stop = text.find(U'。');
  size_t end = text.size();
  if (stop != std::u32string::npos && stop + 1 < text.size())
    end = stop + 1;
  return word::Range(r.story(), r.start(), r.start() + static_cast<int64_t>(end));
}

// Number of blank paragraphs directly before paragraph `index` (1-based) that may go: a blank
// paragraph that ends a section keeps the break, and stops the count.
int blanksBefore(word::Document& doc, int index) {
  int n = 0;
  for (int i = index - 1; i >= 1; --i) {
    word::Paragraph p = doc.paragraphs().item(i);
    if (!p.isBlank() || p.inTable() || p.endsSection())
      break;
    ++n;
  }
  return n;
}

// Makes exactly one blank paragraph stand directly before paragraph `index` (1-based) and
// returns the paragraph's new index.
int oneBlankBefore(word::Document& doc, int index) {
  int blanks = blanksBefore(doc, index);
  while (blanks > 1) {
    word::Range r = doc.paragraphs().item(index - 1).range();
    r.deleteText();
    --index;
    --blanks;
  }
  if (blanks == 0) {
    word::Range r = doc.paragraphs().item(index).range();
    word::Range at(r.story(), r.start(), r.start());
    at.insertBefore("\r");
    ++index;
  }
  return index;
}

struct Recognised {
  std::vector<ParagraphText> texts;
  std::vector<Element> elements;
};

Recognised recognise(word::Document& doc) {
  Recognised r;
  r.texts = paragraphTexts(doc);
  r.elements = recogniseElements(r.texts);
  return r;
}

int firstOf(const std::vector<Element>& elements, std::initializer_list<Element> kinds) {
  for (size_t i = 0; i < elements.size(); ++i)
    if (std::find(kinds.begin(), kinds.end(), elements[i]) != kinds.end())
      return static_cast<int>(i) + 1;
  return 0;
}

// One blank line after the title, above the attachment note and above the signature block.
void adjustBlankLines(word::Document& doc, const Settings& s) {
  Recognised r = recognise(doc);
  const auto& e = r.elements;
  // From the end, so that earlier indexes stay valid.
  if (s.signature) {
    if (int at = firstOf(e, {Element::Signature, Element::Date}); at > 1)
      oneBlankBefore(doc, at);
  }
  if (s.attachment) {
    r = recognise(doc);
    if (int at = firstOf(r.elements, {Element::Attachment}); at > 1)
      oneBlankBefore(doc, at);
  }
  if (s.title) {
    r = recognise(doc);
    int title = 0;
    for (size_t i = 0; i < r.elements.size(); ++i)
      if (r.elements[i] == Element::Title)
        title = static_cast<int>(i) + 1;
    if (title > 0) {
      for (size_t i = static_cast<size_t>(title); i < r.elements.size(); ++i)
        if (r.elements[i] != Element::Blank) {
          oneBlankBefore(doc, static_cast<int>(i) + 1);
          break;
        }
    }
  }
}

void setPage(word::Document& doc) {
  word::PageSetup page = doc.pageSetup();
  page.setOrientation(word::wdOrientPortrait);
  page.setPageWidth(mmToPoints(kPageWidthMm));
  page.setPageHeight(mmToPoints(kPageHeightMm));
  page.setTopMargin(mmToPoints(kTopMarginMm));
  page.setBottomMargin(mmToPoints(kBottomMarginMm));
  page.setLeftMargin(mmToPoints(kLeftMarginMm));
  page.setRightMargin(mmToPoints(kRightMarginMm));
  page.setGutter(0.0f);
  page.setGutterPos(word::wdGutterPosLeft);
  page.setFooterDistance(mmToPoints(kFooterDistanceMm));
  page.setDifferentFirstPageHeaderFooter(false);
  page.textColumns().setCount(1);
  // The grid's character pitch is measured against the default paragraph style's size; Word
  // reads it through the style chain, LibreOffice only from the style itself: the style states
  // it, unchanged.
  word::Style normal = word::normalStyle(doc);
  if (normal.exists())
    normal.setFontSize(normal.fontSize());
  page.setLayoutMode(word::wdLayoutModeGrid);
  page.setLinesPage(kLinesPerPage);
  page.setCharsLine(kCharsPerLine);
}

// Empties a header or footer story and writes "— PAGE —" into it.
void writePageNumber(const word::HeaderFooter& footer, const Settings& s, bool odd) {
  word::Range all = footer.range();
  word::Story* story = all.story();
  {
    word::Fields fields(story, all.start(), all.end());
    for (int i = fields.count(); i >= 1; --i)
      fields.item(i).deleteField();
  }
  all = footer.range();
  word::Range content(story, all.start(), std::max(all.start(), all.end() - 1));
  content.setText("\u2014  \u2014");
  word::Fields(story, content.start(), content.end())
      .add(word::Range(story, content.start() + 2, content.start() + 2), word::wdFieldPage);
  all = footer.range();
  word::Font font = all.font();
  font.setName(s.pageNumberFont);
  font.setSize(kPageNumberSize);
  font.setSpacing(0.0f);
  word::ParagraphFormat f = all.paragraphFormat();
  Indents in;
  (odd ? in.right : in.left) = kPageNumberSize; // one character of space
  setIndents(f, in);
  f.setAlignment(odd ? word::wdAlignParagraphRight : word::wdAlignParagraphLeft);
  f.setSpaceBefore(0.0f);
  f.setSpaceAfter(0.0f);
  f.setLineSpacingRule(word::wdLineSpaceSingle);
  f.setDisableLineHeightGrid(true);
}

// Whether a header or footer part of `type` and reference `refType` shows anything.
bool holdsText(word::Document& doc, word::StoryType type, const char* refType) {
  for (const word::HeaderFooterPart& part : doc.headerFooters())
    if (part.type == type && part.refType == refType && part.story) {
      std::u32string text = storyRange(part.story).text32();
      if (std::any_of(text.begin(), text.end(),
                      [](char32_t c) { return !isBlankChar(c) && (c >= 0x20 || c == 1); }))
        return true;
    }
  return false;
}

void setPageNumbers(word::Document& doc, const Settings& s, std::vector<std::string>& notices) {
  // Odd and even pages get footers of their own. A header of ordinary pages then shows on odd
  // pages only, unless the document has one for even pages already.
  word::PageSetup page = doc.pageSetup();
  if (page.oddAndEvenPagesHeaderFooter() == 0 &&
      holdsText(doc, word::StoryType::Header, "default") &&
      !holdsText(doc, word::StoryType::Header, "even"))
    notices.push_back(msg::kStdHeaderOddPagesOnly);
  page.setOddAndEvenPagesHeaderFooter(true);
  word::Sections sections = doc.sections();
  // One numbering through the whole document: later sections show the first one's footers.
  for (int i = 2; i <= sections.count(); ++i)
    for (int which : {word::wdHeaderFooterPrimary, word::wdHeaderFooterEvenPages})
      sections.item(i).footers(which).setLinkToPrevious(true);
  word::Section first = sections.item(1);
  word::HeaderFooter odd = first.footers(word::wdHeaderFooterPrimary);
  word::HeaderFooter even = first.footers(word::wdHeaderFooterEvenPages);
  writePageNumber(odd, s, true);
  writePageNumber(even, s, false);
  word::PageNumbers numbers = odd.pageNumbers();
  numbers.setNumberStyle(word::wdPageNumberStyleArabic);
  numbers.setIncludeChapterNumber(false);
  numbers.setRestartNumberingAtSection(false);
  numbers.setStartingNumber(0);
}

} // namespace

word::Range storyRange(word::Story* story) {
  word::Paragraphs paras(story);
  return word::Range(story, 0, paras.count() > 0 ? paras.last().range().end() : 0);
}

bool handles(const Settings& s, Element e) {
  switch (e) {
  case Element::Title:
    return s.title;
  case Element::Addressee:
    return s.addressee;
  case Element::Heading1:
  case Element::Heading2:
  case Element::Heading3:
  case Element::Heading4:
    return true; // as body text at least; their numbers and fonts follow s.headings
  case Element::Attachment:
    return s.attachment;
  case Element::Signature:
  case Element::Date:
    return s.signature;
  case Element::Note:
    return s.note;
  case Element::CopyTo:
  case Element::PrintedBy:
    return s.record;
  case Element::DocNumber:
    return s.docNumber;
  case Element::Body:
  case Element::Blank:
    return true;
  case Element::Masthead:
  case Element::Table:
    return false;
  }
  return false;
}

float mmToPoints(float mm) {
  return word::Application::centimetersToPoints(mm / 10.0f);
}

float textWidth(std::u32string_view text, float size, float spacing) {
  float w = 0;
  for (char32_t c : text)
    w += (isWide(c) ? size : size / 2) + spacing;
  return w;
}

std::vector<ParagraphText> paragraphTexts(word::Document& doc) {
  std::vector<ParagraphText> out;
  word::Paragraphs paras = doc.paragraphs();
  const int n = paras.count();
  out.reserve(static_cast<size_t>(n));
  for (int i = 1; i <= n; ++i) {
    word::Paragraph p = paras.item(i);
    out.push_back({textOf(p), p.inTable()});
  }
  return out;
}

void normaliseText(word::Document& doc, const Settings& s) {
  Recognised r = recognise(doc);
  for (size_t i = r.elements.size(); i-- > 0;) {
    const Element e = effective(s, r.elements[i]);
    if (e == Element::Masthead || e == Element::Table || e == Element::Blank)
      continue;
    const int index = static_cast<int>(i) + 1;
    const std::u32string& text = r.texts[i].text;
    // Blanks before and after the text only positioned it by hand: they go. A line holding an
    // object (picture, field, break) keeps its text otherwise, so the object keeps its place.
    size_t lead = 0, trail = text.size();
    while (lead < trail && isBlankChar(text[lead]))
      ++lead;
    while (trail > lead && isBlankChar(text[trail - 1]))
      --trail;
    const std::u32string core = text.substr(lead, trail - lead);
    const bool holdsObject =
        std::any_of(core.begin(), core.end(), [](char32_t c) { return c < 0x20 && c != U'\t'; });
    // From the end, so that the earlier positions stay valid.
    replaceSpan(doc, index, trail, text.size(), U"");
    if (!holdsObject)
      replaceSpan(doc, index, lead, trail, standardText(e, core));
    replaceSpan(doc, index, 0, lead, U"");
  }
}

std::vector<std::string> layOut(word::Document& doc, const Settings& s) {
  std::vector<std::string> notices;
  adjustBlankLines(doc, s);
  setPage(doc);
  const float textBlockWidth = mmToPoints(kPageWidthMm - kLeftMarginMm - kRightMarginMm);

  Recognised r = recognise(doc);
  const auto& el = r.elements;
  word::Paragraphs paras = doc.paragraphs();

  // The signature's width places the date under it.
  float signatureWidth = 0;
  for (size_t i = 0; i < el.size(); ++i)
    if (el[i] == Element::Signature)
      signatureWidth = std::max(
          signatureWidth, textWidth(trimBlanks(r.texts[i].text), kBodySize, kBodyCharSpacing));
  // The closing block's first and last lines, and its last 抄送 line, carry its rules.
  int recordFirst = 0, recordLast = 0, lastCopyTo = 0;
  bool anyPrinted = false;
  for (size_t i = 0; i < el.size(); ++i) {
    if (el[i] != Element::CopyTo && el[i] != Element::PrintedBy)
      continue;
    const int index = static_cast<int>(i) + 1;
    if (!recordFirst)
      recordFirst = index;
    recordLast = index;
    if (el[i] == Element::CopyTo)
      lastCopyTo = index;
    else
      anyPrinted = true;
  }
  bool firstAttachment = true;

  for (size_t i = 0; i < el.size(); ++i) {
    const Element e = effective(s, el[i]);
    if (e == Element::Masthead || e == Element::Table) {
      // Left as they are, but off the character grid: LibreOffice gives a character wider
      // than a grid cell two cells.
      paras.item(static_cast<int>(i) + 1).format().setDisableLineHeightGrid(true);
      continue;
    }
    const int index = static_cast<int>(i) + 1;
    word::Paragraph p = paras.item(index);
    word::Range range = p.range();
    word::ParagraphFormat f = p.format();
    setLines(f);
    Indents in;
    int align = word::wdAlignParagraphJustify;
    std::string font = s.bodyFont;
    float size = kBodySize, spacing = kBodyCharSpacing;
    switch (e) {
    case Element::Title:
      align = word::wdAlignParagraphCenter;
      font = s.titleFont;
      size = kTitleSize;
      spacing = 0;
      break;
    case Element::DocNumber:
      align = word::wdAlignParagraphCenter;
      break;
    case Element::Addressee:
    case Element::Blank:
      break;
    case Element::Attachment: {
      // "附件：" two characters in; the names of further attachments under the first name.
      const float nameStart = kTwoChars + textWidth(U"附件：", kBodySize, kBodyCharSpacing);
      in.left = nameStart;
      if (firstAttachment)
        in.firstLine = kTwoChars - nameStart;
      firstAttachment = false;
      break;
    }
    case Element::Signature:
      align = word::wdAlignParagraphRight;
      in.right = kTwoChars;
      break;
    case Element::Date: {
      const float dateWidth = textWidth(trimBlanks(r.texts[i].text), kBodySize, kBodyCharSpacing);
      if (signatureWidth > 0 && dateWidth + kTwoChars <= signatureWidth) {
        // Two characters right of the signature's first character.
        align = word::wdAlignParagraphLeft;
        in.left = textBlockWidth - kTwoChars - signatureWidth + kTwoChars;
      } else {
        align = word::wdAlignParagraphRight;
        in.right = kTwoChars;
      }
      break;
    }
    case Element::CopyTo:
    case Element::PrintedBy:
      align = word::wdAlignParagraphLeft;
      font = s.recordFont;
      size = kRecordSize;
      spacing = 0;
      break;
    default: // body, headings, note
      in.firstLine = kTwoChars;
      in.firstLineChars = 2;
      break;
    }
    setIndents(f, in);
    f.setAlignment(align);
    setFont(range, font, size, spacing);
    if (int level = headingLevel(e); level > 0 && s.headings)
      setFont(headingPart(p, r.texts[i].text), s.headingFont(level), size, spacing);

    if (e == Element::PrintedBy) {
      word::TabStops tabs(range);
      tabs.clearAll();
      tabs.add(textBlockWidth - kRecordSize, word::wdAlignTabRight);
    }
    if (e == Element::CopyTo || e == Element::PrintedBy) {
      word::Borders borders = f.borders();
      auto rule = [&](int which, int width) {
        word::Border b = borders.item(which);
        b.setLineStyle(word::wdLineStyleSingle);
        b.setLineWidth(width);
        b.setColor(word::wdColorAutomatic);
      };
      if (index == recordFirst)
        rule(word::wdBorderTop, word::wdLineWidth100pt);
      if (index == recordLast)
        rule(word::wdBorderBottom, word::wdLineWidth100pt);
      else if (index == lastCopyTo && anyPrinted)
        rule(word::wdBorderBottom, word::wdLineWidth075pt);
    }
  }
  if (s.pageNumbers)
    setPageNumbers(doc, s, notices);
  return notices;
}

} // namespace engine::standard
