#include "engine/standard/elements.h"

#include <algorithm>

#include "base/messages.h"
#include "engine/recognisers/article_number.h"
#include "engine/recognisers/dun_hao.h"

namespace engine::standard {

namespace {

bool isBlankChar(char32_t c) {
  return c == U' ' || c == U'\u3000' || c == U'\t' || c == U'\u00A0';
}

bool isColon(char32_t c) {
  return c == U':' || c == U'：';
}

bool isDigit(char32_t c) {
  return c >= U'0' && c <= U'9';
}

// Full-width digits read as ASCII ones.
char32_t foldDigit(char32_t c) {
  return (c >= U'０' && c <= U'９') ? c - U'０' + U'0' : c;
}

bool endsSentence(char32_t c) {
  return c == U'。' || c == U'；' || c == U';' || c == U'！' || c == U'!' || c == U'，' ||
         c == U',' || c == U'、' || c == U'.';
}

bool holdsSentenceEnd(std::u32string_view t) {
  return t.find_first_of(U"。；;！!？?") != std::u32string_view::npos;
}

// The Chinese numeral for 1 … 63 that `t` starts with, longest first; its value and length.
std::pair<int, size_t> leadingChineseNumber(std::u32string_view t) {
  const auto& numerals = ChineseNumerals();
  int best = 0;
  size_t length = 0;
  for (size_t k = 0; k < numerals.size(); ++k) {
    const std::u32string& n = numerals[k];
    if (n.size() > length && t.substr(0, n.size()) == n) {
      best = static_cast<int>(k) + 1;
      length = n.size();
    }
  }
  return {best, length};
}

// A number of 1 to `maxDigits` ASCII or full-width digits at the start of `t`.
std::pair<int, size_t> leadingArabicNumber(std::u32string_view t, size_t maxDigits) {
  int value = 0;
  size_t i = 0;
  while (i < t.size() && i < maxDigits + 1 && isDigit(foldDigit(t[i]))) {
    value = value * 10 + static_cast<int>(foldDigit(t[i]) - U'0');
    ++i;
  }
  if (i == 0 || i > maxDigits)
    return {0, 0};
  return {value, i};
}

bool isOpenParen(char32_t c) {
  return c == U'(' || c == U'（';
}
bool isCloseParen(char32_t c) {
  return c == U')' || c == U'）';
}

// Digits of a year written in Chinese: 〇 or 零 for 0, 一 … 九.
int chineseDigit(char32_t c) {
  static const std::u32string digits = U"〇一二三四五六七八九";
  if (c == U'零' || c == U'○' || c == U'Ｏ')
    return 0;
  size_t at = digits.find(c);
  return at == std::u32string::npos ? -1 : static_cast<int>(at);
}

// A date at the start of `t`: year 年 month 月 day 日 (Arabic or Chinese numerals, blanks
// allowed between the parts). Its parts and length.
struct DateParts {
  int year = 0, month = 0, day = 0;
  size_t length = 0;
};
std::optional<DateParts> leadingDate(std::u32string_view t) {
  DateParts d;
  size_t i = 0;
  auto skipBlanks = [&] {
    while (i < t.size() && isBlankChar(t[i]))
      ++i;
  };
  // The year: four Arabic or four Chinese digits.
  if (auto [y, n] = leadingArabicNumber(t, 4); n == 4) {
    d.year = y;
    i = 4;
  } else {
    int year = 0;
    size_t k = 0;
    for (; k < 4 && k < t.size() && chineseDigit(t[k]) >= 0; ++k)
      year = year * 10 + chineseDigit(t[k]);
    if (k != 4)
      return std::nullopt;
    d.year = year;
    i = 4;
  }
  skipBlanks();
  if (i >= t.size() || t[i] != U'年')
    return std::nullopt;
  ++i;
  auto part = [&](char32_t unit, int max, int& out) {
    skipBlanks();
    auto [value, n] = leadingArabicNumber(t.substr(i), 2);
    if (n == 0)
      std::tie(value, n) = leadingChineseNumber(t.substr(i));
    if (n == 0 || value < 1 || value > max)
      return false;
    i += n;
    skipBlanks();
    if (i >= t.size() || t[i] != unit)
      return false;
    ++i;
    out = value;
    return true;
  };
  if (!part(U'月', 12, d.month) || !part(U'日', 31, d.day))
    return std::nullopt;
  d.length = i;
  return d;
}

std::u32string formatDate(const DateParts& d) {
  auto digits = [](int v) {
    std::u32string s;
    for (char c : std::to_string(v))
      s.push_back(static_cast<char32_t>(c));
    return s;
  };
  return digits(d.year) + U"年" + digits(d.month) + U"月" + digits(d.day) + U"日";
}

bool titleLike(std::u32string_view t) {
  return !t.empty() && t.size() <= 100 && !endsSentence(t.back()) && !isColon(t.back()) &&
         matchHeading(t).level == 0 && !standardDate(t);
}

bool addresseeLike(std::u32string_view t) {
  if (t.size() < 2 || t.size() > 120 || !isColon(t.back()) || holdsSentenceEnd(t))
    return false;
  // "…通知如下：" ends the opening sentence of a body, not a list of addressees.
  std::u32string_view head = t.substr(0, t.size() - 1);
  return !(head.size() >= 2 && head.substr(head.size() - 2) == U"如下") &&
         matchHeading(t).level == 0 && !isAttachmentLine(t) && !isCopyToLine(t);
}

bool signatureLike(std::u32string_view t) {
  return !t.empty() && t.size() <= 30 && !holdsSentenceEnd(t) && !endsSentence(t.back()) &&
         !isColon(t.back()) && matchHeading(t).level == 0 && !isAttachmentLine(t);
}

bool inParentheses(std::u32string_view t) {
  return t.size() >= 3 && isOpenParen(t.front()) && isCloseParen(t.back());
}

} // namespace

std::u32string trimBlanks(std::u32string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && isBlankChar(text[b]))
    ++b;
  while (e > b && isBlankChar(text[e - 1]))
    --e;
  return std::u32string(text.substr(b, e - b));
}

HeadingNumber matchHeading(std::u32string_view text) {
  size_t start = 0;
  while (start < text.size() && isBlankChar(text[start]))
    ++start;
  std::u32string_view t = text.substr(start);
  HeadingNumber none;
  if (t.empty())
    return none;
  if (int n = matchDunHao(t); n > 0)
    return {1, start, static_cast<size_t>(n)};
  if (isOpenParen(t[0])) {
    std::u32string_view inner = t.substr(1);
    auto [cv, cn] = leadingChineseNumber(inner);
    if (cn > 0 && cn < inner.size() && isCloseParen(inner[cn]))
      return {2, start, cn + 2};
    auto [av, an] = leadingArabicNumber(inner, 2);
    if (an > 0 && av > 0 && an < inner.size() && isCloseParen(inner[an]))
      return {4, start, an + 2};
    return none;
  }
  auto [av, an] = leadingArabicNumber(t, 2);
  if (an > 0 && av > 0 && an < t.size()) {
    char32_t sep = t[an];
    bool separator = sep == U'.' || sep == U'．' || sep == U'、' || sep == U'。';
    bool digitAfter = an + 1 < t.size() && isDigit(foldDigit(t[an + 1]));
    if (separator && !digitAfter)
      return {3, start, an + 1};
  }
  return none;
}

std::u32string standardHeadingNumber(std::u32string_view number, int level) {
  std::u32string out(number);
  if (out.empty())
    return out;
  switch (level) {
  case 1:
    out.back() = U'、';
    break;
  case 2:
  case 4:
    out.front() = U'（';
    out.back() = U'）';
    for (char32_t& c : out)
      c = foldDigit(c);
    break;
  case 3:
    out.back() = U'.';
    for (char32_t& c : out)
      c = foldDigit(c);
    break;
  default:
    break;
  }
  return out;
}

std::optional<std::u32string> standardDate(std::u32string_view text) {
  std::u32string t = trimBlanks(text);
  std::optional<DateParts> d = leadingDate(t);
  if (!d || d->length != t.size())
    return std::nullopt;
  return formatDate(*d);
}

std::optional<std::u32string> standardDocNumber(std::u32string_view text) {
  std::u32string t = trimBlanks(text);
  static const std::u32string opens = U"〔[［(（【〈", closes = U"〕]］)）】〉";
  size_t open = t.find_first_of(opens);
  // The organisation's abbreviation comes first, and 号 ends the number.
  if (open == std::u32string::npos || open == 0 || open > 20 || t.back() != U'号')
    return std::nullopt;
  auto [year, digits] = leadingArabicNumber(std::u32string_view(t).substr(open + 1), 4);
  if (digits != 2 && digits != 4)
    return std::nullopt;
  size_t close = open + 1 + digits;
  if (close >= t.size() || closes.find(t[close]) == std::u32string::npos)
    return std::nullopt;
  auto [serial, serialDigits] = leadingArabicNumber(std::u32string_view(t).substr(close + 1), 5);
  if (serialDigits == 0 || close + 1 + serialDigits + 1 != t.size())
    return std::nullopt;
  if (digits == 2)
    year += 2000;
  std::u32string out = t.substr(0, open) + U"〔";
  for (char c : std::to_string(year))
    out.push_back(static_cast<char32_t>(c));
  out += U"〕";
  for (size_t i = close + 1; i < close + 1 + serialDigits; ++i)
    out.push_back(foldDigit(t[i]));
  return out + U"号";
}

std::optional<PrintedLine> splitPrintedLine(std::u32string_view text) {
  std::u32string t = trimBlanks(text);
  static const std::u32string suffix = U"印发";
  if (t.size() <= suffix.size() || t.compare(t.size() - suffix.size(), suffix.size(), suffix) != 0)
    return std::nullopt;
  // The date is the last date in the line, directly before 印发 (blanks allowed).
  std::u32string head = trimBlanks(std::u32string_view(t).substr(0, t.size() - suffix.size()));
  for (size_t at = 0; at < head.size(); ++at) {
    std::optional<DateParts> d = leadingDate(std::u32string_view(head).substr(at));
    if (d && at + d->length == head.size()) {
      PrintedLine line;
      line.office = trimBlanks(std::u32string_view(head).substr(0, at));
      line.date = formatDate(*d) + suffix;
      return line;
    }
  }
  return std::nullopt;
}

bool isCopyToLine(std::u32string_view text) {
  std::u32string t = trimBlanks(text);
  return t.size() > 3 && t.compare(0, 2, U"抄送") == 0 && isColon(t[2]);
}

bool isAttachmentLine(std::u32string_view text) {
  std::u32string t = trimBlanks(text);
  return t.size() > 3 && t.compare(0, 2, U"附件") == 0 && isColon(t[2]);
}

std::vector<Element> recogniseElements(const std::vector<ParagraphText>& paragraphs) {
  const size_t n = paragraphs.size();
  std::vector<Element> out(n, Element::Body);
  std::vector<std::u32string> text(n);
  std::vector<size_t> lines; // paragraphs with text outside tables, in order
  for (size_t i = 0; i < n; ++i) {
    text[i] = trimBlanks(paragraphs[i].text);
    if (paragraphs[i].inTable)
      out[i] = Element::Table;
    else if (text[i].empty())
      out[i] = Element::Blank;
    else
      lines.push_back(i);
  }
  if (lines.empty())
    return out;

  // The head: an issuing number among the first lines (what stands above it is the issuing
  // body's mark), then the title up to the addressee.
  size_t first = 0; // index into `lines` where the title may begin
  for (size_t k = 0; k < std::min<size_t>(lines.size(), 6); ++k) {
    if (standardDocNumber(text[lines[k]])) {
      for (size_t m = 0; m < k; ++m)
        out[lines[m]] = Element::Masthead;
      out[lines[k]] = Element::DocNumber;
      first = k + 1;
      break;
    }
  }
  size_t bodyFrom = first; // index into `lines` where the body begins
  std::optional<size_t> addressee;
  for (size_t k = first; k < std::min(lines.size(), first + 5); ++k) {
    if (addresseeLike(text[lines[k]])) {
      addressee = k;
      break;
    }
    if (!titleLike(text[lines[k]]))
      break;
  }
  if (addressee) {
    for (size_t k = first; k < *addressee; ++k)
      out[lines[k]] = Element::Title;
    out[lines[*addressee]] = Element::Addressee;
    bodyFrom = *addressee + 1;
  } else if (first < lines.size() && titleLike(text[lines[first]]) && lines.size() > first + 1) {
    out[lines[first]] = Element::Title;
    bodyFrom = first + 1;
  }

  // The closing block's record lines.
  std::optional<size_t> firstRecord;
  for (size_t k = bodyFrom; k < lines.size(); ++k) {
    const std::u32string& t = text[lines[k]];
    if (isCopyToLine(t))
      out[lines[k]] = Element::CopyTo;
    else if (splitPrintedLine(t))
      out[lines[k]] = Element::PrintedBy;
    else
      continue;
    if (!firstRecord)
      firstRecord = k;
  }
  const size_t end = firstRecord.value_or(lines.size());

  // The date (the last one before the record lines), the signature directly above it and the
  // note in parentheses on the line below it.
  std::optional<size_t> date;
  for (size_t k = end; k-- > bodyFrom;)
    if (standardDate(text[lines[k]])) {
      date = k;
      break;
    }
  size_t bodyTo = end; // index into `lines` where the body ends
  if (date) {
    out[lines[*date]] = Element::Date;
    bodyTo = *date;
    for (size_t k = *date; k > bodyFrom && *date - k < 3;) {
      --k;
      // Only the lines directly above the date (no blank paragraph between) sign it.
      if (lines[k + 1] - lines[k] != 1 || !signatureLike(text[lines[k]]))
        break;
      out[lines[k]] = Element::Signature;
      bodyTo = k;
    }
    if (*date + 1 < end && inParentheses(text[lines[*date + 1]]))
      out[lines[*date + 1]] = Element::Note;
  }

  // The body: headings, and the attachment note with its further lines.
  bool inAttachment = false;
  for (size_t k = bodyFrom; k < end; ++k) {
    const size_t i = lines[k];
    if (out[i] != Element::Body)
      continue;
    const std::u32string& t = text[i];
    if (k < bodyTo && isAttachmentLine(t)) {
      out[i] = Element::Attachment;
      inAttachment = true;
      continue;
    }
    const int level = matchHeading(t).level;
    if (inAttachment && level == 3 && k < bodyTo && lines[k] - lines[k - 1] == 1) {
      out[i] = Element::Attachment;
      continue;
    }
    inAttachment = false;
    static constexpr Element kLevels[] = {Element::Body, Element::Heading1, Element::Heading2,
                                          Element::Heading3, Element::Heading4};
    out[i] = kLevels[level];
  }
  return out;
}

const char* elementName(Element e) {
  switch (e) {
  case Element::Blank:
    return msg::kStdElementBlank;
  case Element::Masthead:
    return msg::kStdElementMasthead;
  case Element::DocNumber:
    return msg::kStdElementDocNumber;
  case Element::Title:
    return msg::kStdElementTitle;
  case Element::Addressee:
    return msg::kStdElementAddressee;
  case Element::Body:
    return msg::kStdElementBody;
  case Element::Heading1:
    return msg::kStdElementHeading1;
  case Element::Heading2:
    return msg::kStdElementHeading2;
  case Element::Heading3:
    return msg::kStdElementHeading3;
  case Element::Heading4:
    return msg::kStdElementHeading4;
  case Element::Attachment:
    return msg::kStdElementAttachment;
  case Element::Signature:
    return msg::kStdElementSignature;
  case Element::Date:
    return msg::kStdElementDate;
  case Element::Note:
    return msg::kStdElementNote;
  case Element::CopyTo:
    return msg::kStdElementCopyTo;
  case Element::PrintedBy:
    return msg::kStdElementPrintedBy;
  case Element::Table:
    return msg::kStdElementTable;
  }
  return "";
}

} // namespace engine::standard
