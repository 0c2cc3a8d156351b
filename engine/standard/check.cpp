#include "engine/standard/check.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include <fmt/format.h>

#include "base/ascii.h"
#include "base/messages.h"
#include "engine/standard/elements.h"
#include "engine/standard/layout.h"
#include "word/batch.h"
#include "word/borders.h"
#include "word/document.h"
#include "word/error.h"
#include "word/fields.h"
#include "word/font.h"
#include "word/page_numbers.h"
#include "word/pagesetup.h"
#include "word/paragraph_format.h"
#include "word/sections.h"
#include "word/tab_stops.h"
#include "word/text.h"
#include "word/view.h"

namespace engine::standard {

namespace {

// Other names of the official faces that a reviewer takes for the same font.
const std::vector<std::vector<std::string>>& fontAliases() {
  static const std::vector<std::vector<std::string>> list = {
      {"仿宋_gb2312", "仿宋", "仿宋体", "fangsong_gb2312", "fangsong", "仿宋_gbk"},
      {"楷体_gb2312", "楷体", "楷体_gbk", "kaiti_gb2312", "kaiti"},
      {"黑体", "simhei", "方正黑体_gbk", "方正黑体简体"},
      {"宋体", "simsun", "新宋体", "nsimsun"},
      {"方正小标宋简体", "方正小标宋_gbk", "小标宋", "小标宋体", "fzxiaobiaosong-b05s"},
  };
  return list;
}

bool sameFont(const std::string& found, const std::string& wanted) {
  const std::string a = base::lowerAscii(found), b = base::lowerAscii(wanted);
  if (a == b)
    return true;
  for (const auto& names : fontAliases())
    if (std::find(names.begin(), names.end(), a) != names.end() &&
        std::find(names.begin(), names.end(), b) != names.end())
      return true;
  return false;
}

std::string number(float v) {
  float r = std::round(v * 100.0f) / 100.0f;
  if (std::abs(r) < 0.005f)
    r = 0.0f;
  return fmt::format("{:g}", r);
}

std::string pointsText(float v) {
  return msg::text(msg::kStdPoints, number(v));
}

std::string mmText(float points) {
  return msg::text(msg::kStdMillimetres, number(points * 25.4f / 72.0f));
}

std::string charsText(float chars) {
  return msg::text(msg::kStdCharacters, number(chars));
}

std::string inQuotes(const std::u32string& t) {
  return msg::text(msg::kStdQuoted, word::toUtf8(t));
}

std::string alignmentText(int a) {
  switch (a) {
  case word::wdAlignParagraphLeft:
    return msg::kStdAlignLeft;
  case word::wdAlignParagraphCenter:
    return msg::kStdAlignCentre;
  case word::wdAlignParagraphRight:
    return msg::kStdAlignRight;
  case word::wdAlignParagraphJustify:
    return msg::kStdAlignJustify;
  default:
    return msg::kStdAlignOther;
  }
}

bool near(float a, float b, float tolerance) {
  return std::abs(a - b) <= tolerance;
}

// How far in a paragraph's lines start, in points: character units count in `charSize`.
struct Placement {
  float left = 0, right = 0, firstLine = 0; // firstLine: the first line's offset from left
};
Placement placementOf(word::ParagraphFormat f, float charSize) {
  Placement p;
  const float lc = f.characterUnitLeftIndent(), rc = f.characterUnitRightIndent(),
              fc = f.characterUnitFirstLineIndent();
  p.left = lc != 0 && lc != word::kUndefined ? lc * charSize : f.leftIndent();
  p.right = rc != 0 && rc != word::kUndefined ? rc * charSize : f.rightIndent();
  p.firstLine = fc != 0 && fc != word::kUndefined ? fc * charSize : f.firstLineIndent();
  return p;
}

std::string placementText(const Placement& p) {
  return msg::text(msg::kStdPlacement, charsText(p.firstLine / kBodySize),
                   charsText(p.left / kBodySize), charsText(p.right / kBodySize));
}

std::string firstWords(const std::u32string& text) {
  std::u32string t = trimBlanks(text);
  std::u32string out;
  for (char32_t c : t)
    out.push_back(c < 0x20 ? U' ' : c);
  if (out.size() > 12)
    out = out.substr(0, 12) + U"…";
  return word::toUtf8(out);
}

class Checker {
public:
  Checker(word::Document& doc, const Settings& s) : doc_(doc), s_(s) {}

  std::vector<Finding> run() {
    doc_.convertNumbersToText();
    texts_ = paragraphTexts(doc_);
    elements_ = recogniseElements(texts_);
    checkPage();
    checkParagraphs();
    if (s_.pageNumbers)
      checkPageNumbers();
    return std::move(findings_);
  }

private:
  word::Document& doc_;
  const Settings& s_;
  std::vector<ParagraphText> texts_;
  std::vector<Element> elements_;
  std::vector<Finding> findings_;
  bool gridSnaps_ = false; // the grid gives 22 lines to a paragraph that snaps to it
  float textWidth_ = 0;

  void onPage(Clause c, const char* what, std::string found, std::string expected) {
    findings_.push_back(
        {c, 0, "", msg::kStdWherePage, what, std::move(found), std::move(expected)});
  }
  void at(Clause c, size_t i, const char* what, std::string found, std::string expected) {
    findings_.push_back({c, static_cast<int>(i) + 1, firstWords(texts_[i].text),
                         elementName(elements_[i]), what, std::move(found), std::move(expected)});
  }

  void checkPage() {
    word::PageSetup page = doc_.pageSetup();
    const float w = page.pageWidth(), h = page.pageHeight();
    // A measure the sections do not agree on reads as undefined.
    auto lengthText = [](float v) {
      return v == word::kUndefined ? std::string(msg::kStdMixed) : mmText(v);
    };
    if (!near(w, mmToPoints(kPageWidthMm), 1.5f) || !near(h, mmToPoints(kPageHeightMm), 1.5f))
      onPage(Clause::Paper, msg::kStdWhatPaper,
             msg::text(msg::kStdPaperFound, lengthText(w), lengthText(h)), msg::kStdPaperExpected);
    struct Margin {
      Clause clause;
      const char* what;
      float found, wanted;
    };
    const Margin margins[] = {
        {Clause::TopMargin, msg::kStdWhatTopMargin, page.topMargin(), kTopMarginMm},
        {Clause::BottomMargin, msg::kStdWhatBottomMargin, page.bottomMargin(), kBottomMarginMm},
        {Clause::LeftMargin, msg::kStdWhatLeftMargin, page.leftMargin() + page.gutter(),
         kLeftMarginMm},
        {Clause::RightMargin, msg::kStdWhatRightMargin, page.rightMargin(), kRightMarginMm},
    };
    for (const Margin& m : margins)
      if (!near(m.found, mmToPoints(m.wanted), 1.5f))
        onPage(m.clause, m.what, lengthText(m.found),
               msg::text(msg::kStdMillimetres, number(m.wanted)));
    textWidth_ = w - page.leftMargin() - page.rightMargin() - page.gutter();

    const int mode = page.layoutMode();
    const bool grid = mode == word::wdLayoutModeGrid || mode == word::wdLayoutModeLineGrid ||
                      mode == word::wdLayoutModeGenko;
    auto countText = [](int n, const char* unit) {
      return n == word::wdUndefined ? std::string(msg::kStdMixed) : msg::text(unit, n);
    };
    const int lines = grid ? page.linesPage() : 0;
    if (lines != kLinesPerPage)
      onPage(Clause::LinesPerPage, msg::kStdWhatLinesPerPage,
             grid ? countText(lines, msg::kStdLines) : std::string(msg::kStdNoGrid),
             msg::text(msg::kStdLines, kLinesPerPage));
    gridSnaps_ = lines == kLinesPerPage;
    const bool charGrid = mode == word::wdLayoutModeGrid || mode == word::wdLayoutModeGenko;
    const int chars = charGrid ? page.charsLine() : 0;
    if (chars != kCharsPerLine)
      onPage(Clause::CharsPerLine, msg::kStdWhatCharsPerLine,
             charGrid ? countText(chars, msg::kStdChars) : std::string(msg::kStdNoCharGrid),
             msg::text(msg::kStdChars, kCharsPerLine));
  }

  word::Range textRange(size_t i) {
    word::Range r = doc_.paragraphs().item(static_cast<int>(i) + 1).range();
    int64_t end = r.start() + static_cast<int64_t>(texts_[i].text.size());
    return word::Range(r.story(), r.start(), end);
  }

  void checkFontAndSize(size_t i, const word::Range& r, Clause fontClause, Clause sizeClause,
                        const std::string& font, float size) {
    if (r.end() <= r.start())
      return;
    const std::string name = r.font().nameFarEast();
    if (!sameFont(name, font))
      at(fontClause, i, msg::kStdWhatFont, name.empty() ? std::string(msg::kStdMixed) : name, font);
    const float found = r.font().size();
    if (!near(found, size, 0.25f))
      at(sizeClause, i, msg::kStdWhatSize,
         found == word::kUndefined ? std::string(msg::kStdMixed) : pointsText(found),
         pointsText(size));
  }

  // One blank line above the first paragraph of a block (the attachment note, the signature
  // block): `seen` says whether the block's first paragraph was already measured.
  void checkOneBlankAbove(size_t i, bool& seen, Clause clause) {
    if (seen)
      return;
    seen = true;
    if (int blanks = blanksAbove(i); blanks != 1)
      at(clause, i, msg::kStdWhatBlankAbove, msg::text(msg::kStdLines, blanks),
         msg::text(msg::kStdLines, 1));
  }

  // Blank paragraphs directly above paragraph i.
  int blanksAbove(size_t i) const {
    int n = 0;
    while (i > 0 && elements_[i - 1] == Element::Blank) {
      --i;
      ++n;
    }
    return n;
  }

  void checkLineSpacing(size_t i, word::ParagraphFormat f) {
    const int rule = f.lineSpacingRule();
    const float spacing = f.lineSpacing();
    bool ok = rule == word::wdLineSpaceExactly && near(spacing, kLinePitch, 0.06f);
    // A single-spaced line that snaps to a grid of 22 lines takes one grid line.
    if (!ok && gridSnaps_ && rule == word::wdLineSpaceSingle && f.disableLineHeightGrid() == 0)
      ok = true;
    if (ok)
      return;
    std::string found;
    if (rule == word::wdLineSpaceExactly)
      found = msg::text(msg::kStdExactly, pointsText(spacing));
    else if (rule == word::wdLineSpaceAtLeast)
      found = msg::text(msg::kStdAtLeast, pointsText(spacing));
    else
      found = msg::text(msg::kStdMultiple, number(spacing / 12.0f));
    at(Clause::LineSpacing, i, msg::kStdWhatLineSpacing, found,
       msg::text(msg::kStdLineSpacingExpected, number(kLinePitch)));
  }

  // Two characters in on the first line, no other indent.
  void checkBodyIndent(size_t i, word::ParagraphFormat f) {
    Placement p = placementOf(f, kBodySize);
    if (!near(p.firstLine, 2 * kBodySize, 1.0f) || !near(p.left, 0, 1.0f) ||
        !near(p.right, 0, 1.0f))
      at(Clause::BodyIndent, i, msg::kStdWhatIndent, placementText(p), msg::kStdBodyIndent);
  }

  void checkParagraphs() {
    word::Paragraphs paras = doc_.paragraphs();
    float signatureStart = -1; // where the signature's first character stands
    float signatureWidth = 0;
    int lastTitle = -1;
    bool attachmentSeen = false, signatureSeen = false, recordSeen = false;
    size_t lastRecord = 0;
    for (size_t i = 0; i < elements_.size(); ++i) {
      Element e = elements_[i];
      if (!handles(s_, e))
        continue;
      if (e >= Element::Heading1 && e <= Element::Heading4 && !s_.headings)
        e = Element::Body;
      try {
        word::Paragraph p = paras.item(static_cast<int>(i) + 1);
        word::ParagraphFormat f = p.format();
        const std::u32string text = trimBlanks(texts_[i].text);
        const word::Range r = textRange(i);
        checkLineSpacing(i, f);
        switch (e) {
        case Element::Blank:
          break;
        case Element::Title: {
          checkFontAndSize(i, r, Clause::TitleFont, Clause::TitleSize, s_.titleFont, kTitleSize);
          const int a = f.alignment();
          if (a != word::wdAlignParagraphCenter)
            at(Clause::TitleAlignment, i, msg::kStdWhatAlignment, alignmentText(a),
               msg::kStdAlignCentre);
          lastTitle = static_cast<int>(i);
          break;
        }
        case Element::DocNumber:
          if (auto wanted = standardDocNumber(text); wanted && *wanted != text)
            at(Clause::DocNumberForm, i, msg::kStdWhatForm, inQuotes(text), inQuotes(*wanted));
          break;
        case Element::Addressee: {
          if (lastTitle >= 0 && s_.title) {
            int blanks = blanksAbove(i);
            if (blanks != 1)
              at(Clause::BlankAfterTitle, i, msg::kStdWhatBlankAbove,
                 msg::text(msg::kStdLines, blanks), msg::text(msg::kStdLines, 1));
          }
          Placement pl = placementOf(f, kBodySize);
          if (!near(pl.firstLine, 0, 1.0f) || !near(pl.left, 0, 1.0f))
            at(Clause::AddresseeIndent, i, msg::kStdWhatIndent, placementText(pl),
               msg::kStdFlushLeft);
          if (!text.empty() && text.back() != U'：')
            at(Clause::AddresseeColon, i, msg::kStdWhatColon,
               inQuotes(text.substr(text.size() - 1)), inQuotes(U"："));
          checkFontAndSize(i, r, Clause::BodyFont, Clause::BodySize, s_.bodyFont, kBodySize);
          break;
        }
        case Element::Heading1:
        case Element::Heading2:
        case Element::Heading3:
        case Element::Heading4: {
          const int level = static_cast<int>(e) - static_cast<int>(Element::Heading1) + 1;
          HeadingNumber h = matchHeading(text);
          std::u32string number = text.substr(h.start, h.length);
          if (h.level > 0 && standardHeadingNumber(number, level) != number)
            at(Clause::HeadingNumber, i, msg::kStdWhatHeadingNumber, inQuotes(number),
               inQuotes(standardHeadingNumber(number, level)));
          // The heading's font on its heading part (up to the first full stop when text
          // follows it).
          size_t stop = texts_[i].text.find(U'。');
          int64_t end = r.end();
          if (stop != std::u32string::npos && stop + 1 < texts_[i].text.size())
            end = r.start() + static_cast<int64_t>(stop) + 1;
          word::Range part(r.story(), r.start(), end);
          const std::string name = part.font().nameFarEast();
          if (!sameFont(name, s_.headingFont(level)))
            at(Clause::HeadingFont, i, msg::kStdWhatFont,
               name.empty() ? std::string(msg::kStdMixed) : name, s_.headingFont(level));
          const float size = r.font().size();
          if (!near(size, kBodySize, 0.25f))
            at(Clause::BodySize, i, msg::kStdWhatSize,
               size == word::kUndefined ? std::string(msg::kStdMixed) : pointsText(size),
               pointsText(kBodySize));
          checkBodyIndent(i, f);
          break;
        }
        case Element::Body:
          checkFontAndSize(i, r, Clause::BodyFont, Clause::BodySize, s_.bodyFont, kBodySize);
          checkBodyIndent(i, f);
          break;
        case Element::Attachment: {
          checkFontAndSize(i, r, Clause::BodyFont, Clause::BodySize, s_.bodyFont, kBodySize);
          if (!attachmentSeen) {
            checkOneBlankAbove(i, attachmentSeen, Clause::AttachmentBlank);
            Placement pl = placementOf(f, kBodySize);
            if (!near(pl.left + pl.firstLine, 2 * kBodySize, 1.0f))
              at(Clause::AttachmentIndent, i, msg::kStdWhatIndent,
                 charsText((pl.left + pl.firstLine) / kBodySize), charsText(2));
            if (text.size() > 2 && text[2] != U'：')
              at(Clause::AttachmentColon, i, msg::kStdWhatColon, inQuotes(text.substr(2, 1)),
                 inQuotes(U"："));
          }
          break;
        }
        case Element::Signature: {
          checkFontAndSize(i, r, Clause::BodyFont, Clause::BodySize, s_.bodyFont, kBodySize);
          checkOneBlankAbove(i, signatureSeen, Clause::SignatureBlank);
          Placement pl = placementOf(f, kBodySize);
          const int a = f.alignment();
          if (a != word::wdAlignParagraphRight || !near(pl.right, 2 * kBodySize, 1.0f))
            at(Clause::SignaturePlace, i, msg::kStdWhatPlace,
               msg::text(msg::kStdAlignedWithRight, alignmentText(a),
                         charsText(pl.right / kBodySize)),
               msg::kStdSignatureExpected);
          signatureWidth = textWidth(text, kBodySize, kBodyCharSpacing);
          signatureStart = textWidth_ - pl.right - signatureWidth;
          break;
        }
        case Element::Date: {
          checkFontAndSize(i, r, Clause::BodyFont, Clause::BodySize, s_.bodyFont, kBodySize);
          if (auto wanted = standardDate(text); wanted && *wanted != text)
            at(Clause::DateForm, i, msg::kStdWhatForm, inQuotes(text), inQuotes(*wanted));
          checkOneBlankAbove(i, signatureSeen, Clause::SignatureBlank);
          checkDatePlace(i, f, text, signatureStart, signatureWidth);
          break;
        }
        case Element::Note: {
          if (text.front() != U'（' || text.back() != U'）')
            at(Clause::NoteForm, i, msg::kStdWhatForm, inQuotes(text), msg::kStdNoteExpected);
          Placement pl = placementOf(f, kBodySize);
          if (!near(pl.firstLine, 2 * kBodySize, 1.0f) || !near(pl.left, 0, 1.0f))
            at(Clause::NoteForm, i, msg::kStdWhatIndent, placementText(pl), msg::kStdBodyIndent);
          break;
        }
        case Element::CopyTo:
        case Element::PrintedBy: {
          checkFontAndSize(i, r, Clause::RecordFont, Clause::RecordSize, s_.recordFont,
                           kRecordSize);
          checkRecordLine(i, f, e);
          if (!recordSeen) {
            recordSeen = true;
            if (word::Borders(p.range()).item(word::wdBorderTop).lineStyle() ==
                word::wdLineStyleNone)
              at(Clause::RecordRules, i, msg::kStdWhatRuleAbove, msg::kStdNone,
                 msg::kStdRuleExpected);
          }
          lastRecord = i;
          break;
        }
        default:
          break;
        }
      } catch (const std::exception&) {
        // A paragraph the model cannot read is not measured.
      }
    }
    if (recordSeen) {
      try {
        word::Range r = paras.item(static_cast<int>(lastRecord) + 1).range();
        if (word::Borders(r).item(word::wdBorderBottom).lineStyle() == word::wdLineStyleNone)
          at(Clause::RecordRules, lastRecord, msg::kStdWhatRuleBelow, msg::kStdNone,
             msg::kStdRuleExpected);
      } catch (const std::exception&) {
      }
    }
  }

  void checkDatePlace(size_t i, word::ParagraphFormat f, const std::u32string& text,
                      float signatureStart, float signatureWidth) {
    const float width = textWidth(text, kBodySize, kBodyCharSpacing);
    Placement pl = placementOf(f, kBodySize);
    const int a = f.alignment();
    float start = 0;
    if (a == word::wdAlignParagraphRight)
      start = textWidth_ - pl.right - width;
    else if (a == word::wdAlignParagraphLeft || a == word::wdAlignParagraphJustify)
      start = pl.left + pl.firstLine;
    else if (a == word::wdAlignParagraphCenter)
      start = (textWidth_ + pl.left - pl.right - width) / 2;
    // Two characters right of the signature's first character, or two characters of space on
    // the right when the date is the longer.
    float wanted = textWidth_ - 2 * kBodySize - width;
    if (signatureStart >= 0 && width + 2 * kBodySize <= signatureWidth)
      wanted = signatureStart + 2 * kBodySize;
    if (!near(start, wanted, 4.0f))
      at(Clause::DatePlace, i, msg::kStdWhatPlace,
         msg::text(msg::kStdStartsAt, charsText(start / kBodySize)),
         msg::text(msg::kStdStartsAt, charsText(wanted / kBodySize)));
  }

  void checkRecordLine(size_t i, word::ParagraphFormat f, Element e) {
    const std::u32string& raw = texts_[i].text;
    Placement pl = placementOf(f, kRecordSize);
    size_t lead = 0;
    while (lead < raw.size() && (raw[lead] == U' ' || raw[lead] == U'\u3000'))
      ++lead;
    const float leadWidth = textWidth(raw.substr(0, lead), kRecordSize, 0);
    const float leftSpace = pl.left + pl.firstLine + leadWidth;
    if (!near(leftSpace, kRecordSize, 1.0f))
      at(Clause::RecordSpace, i, msg::kStdWhatLeftSpace, charsText(leftSpace / kRecordSize),
         charsText(1));
    if (!near(pl.left, 0, 1.0f) || !near(pl.right, 0, 1.0f))
      at(Clause::RecordRules, i, msg::kStdWhatRuleWidth, msg::kStdRuleNarrower,
         msg::kStdRuleExpected);
    if (e == Element::PrintedBy) {
      // The date ends one character before the right edge: by a right tab stop or by the
      // paragraph's right alignment and indent.
      float rightSpace = -1;
      if (raw.find(U'\t') != std::u32string::npos) {
        std::vector<word::TabStop> stops =
            word::TabStops(doc_.paragraphs().item(static_cast<int>(i) + 1).range()).list();
        if (!stops.empty() && stops.back().alignment == word::wdAlignTabRight)
          rightSpace = textWidth_ - stops.back().position;
      } else if (f.alignment() == word::wdAlignParagraphRight) {
        rightSpace = pl.right;
      }
      if (!near(rightSpace, kRecordSize, 1.0f))
        at(Clause::RecordSpace, i, msg::kStdWhatRightSpace,
           rightSpace < 0 ? std::string(msg::kStdNotPlaced) : charsText(rightSpace / kRecordSize),
           charsText(1));
    }
  }

  // The footer of ordinary (odd) pages and of even pages.
  void checkPageNumbers() {
    word::PageSetup page = doc_.pageSetup();
    word::HeaderFooterPart* odd = nullptr;
    word::HeaderFooterPart* even = nullptr;
    for (word::HeaderFooterPart& part : doc_.headerFooters()) {
      if (part.type != word::StoryType::Footer || !part.story)
        continue;
      if (part.refType == "default" && !odd)
        odd = &part;
      if (part.refType == "even" && !even)
        even = &part;
    }
    if (page.oddAndEvenPagesHeaderFooter() == 0 || !even)
      findings_.push_back({Clause::PageNumberPlace, 0, "", msg::kStdWherePageNumbers,
                           msg::kStdWhatOddEven, msg::kStdSameOnAllPages,
                           msg::kStdOddEvenExpected});
    checkFooter(odd, true);
    if (even && page.oddAndEvenPagesHeaderFooter() != 0)
      checkFooter(even, false);
  }

  void checkFooter(word::HeaderFooterPart* part, bool odd) {
    const char* where = odd ? msg::kStdWhereOddFooter : msg::kStdWhereEvenFooter;
    auto finding = [&](Clause c, const char* what, std::string found, std::string expected) {
      findings_.push_back({c, 0, "", where, what, std::move(found), std::move(expected)});
    };
    if (!part) {
      finding(Clause::PageNumberForm, msg::kStdWhatPageNumber, msg::kStdNone,
              msg::kStdPageNumberExpected);
      return;
    }
    try {
      word::Story* story = part->story;
      word::Range all = storyRange(story);
      const std::u32string text = trimBlanks(word::trimSpaces(all.text32()));
      std::u32string shown;
      for (char32_t c : text)
        if (c != U'\r' && c != U'\a')
          shown.push_back(c);
      word::Fields fields(story, all.start(), all.end());
      bool page = false;
      for (int k = 1; k <= fields.count(); ++k) {
        std::string code = fields.item(k).code();
        if (code.find("PAGE") != std::string::npos && code.find("NUMPAGES") == std::string::npos)
          page = true;
      }
      const bool dashes = shown.size() >= 3 && shown.front() == U'—' && shown.back() == U'—';
      if (!page || !dashes)
        finding(Clause::PageNumberForm, msg::kStdWhatPageNumber,
                shown.empty() ? std::string(msg::kStdNone) : inQuotes(shown),
                msg::kStdPageNumberExpected);
      if (shown.empty())
        return;
      word::Range textOnly(story, 0, std::max<int64_t>(0, all.end() - 1));
      const std::string name = textOnly.font().nameFarEast();
      if (!sameFont(name, s_.pageNumberFont))
        finding(Clause::PageNumberForm, msg::kStdWhatFont,
                name.empty() ? std::string(msg::kStdMixed) : name, s_.pageNumberFont);
      const float size = textOnly.font().size();
      if (!near(size, kPageNumberSize, 0.25f))
        finding(Clause::PageNumberForm, msg::kStdWhatSize,
                size == word::kUndefined ? std::string(msg::kStdMixed) : pointsText(size),
                pointsText(kPageNumberSize));
      word::ParagraphFormat f = all.paragraphFormat();
      Placement pl = placementOf(f, kPageNumberSize);
      const int a = f.alignment();
      const bool placed =
          odd ? a == word::wdAlignParagraphRight && near(pl.right, kPageNumberSize, 1.0f)
              : (a == word::wdAlignParagraphLeft || a == word::wdAlignParagraphJustify) &&
                    near(pl.left + pl.firstLine, kPageNumberSize, 1.0f);
      if (!placed)
        finding(Clause::PageNumberPlace, msg::kStdWhatPlace,
                msg::text(odd ? msg::kStdAlignedWithRight : msg::kStdAlignedWithLeft,
                          alignmentText(a),
                          charsText((odd ? pl.right : pl.left + pl.firstLine) / kPageNumberSize)),
                odd ? msg::kStdOddPageExpected : msg::kStdEvenPageExpected);
    } catch (const std::exception&) {
    }
  }
};

} // namespace

std::string Finding::text() const {
  if (paragraph > 0)
    return msg::text(msg::kStdFindingParagraph, paragraph, words, element, what, found, expected);
  return msg::text(msg::kStdFindingDocument, element, what, found, expected);
}

std::vector<Finding> checkDocument(word::Document& doc, const Settings& settings) {
  return Checker(doc, settings).run();
}

void checkFiles(const std::vector<std::string>& files, const Settings& settings,
                const std::function<bool(const FileCheck&)>& each) {
  word::Application app;
  word::Batch batch(app, word::ConvertOptions::onEveryCore());
  batch.addSources(files);
  for (const std::string& file : files) {
    FileCheck result{file, {}, {}};
    word::Document* doc = nullptr;
    try {
      doc = &batch.open(file);
      result.findings = checkDocument(*doc, settings);
    } catch (const word::DocumentError& e) {
      result.error = e.reason().empty() ? e.what() : e.reason();
    } catch (const std::exception&) {
      result.error = msg::kUnknownFailure;
    }
    if (doc)
      app.close(*doc);
    if (!each(result))
      return;
  }
}

} // namespace engine::standard
