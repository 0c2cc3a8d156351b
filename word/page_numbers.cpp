#include "word/page_numbers.h"

#include <algorithm>

#include "base/messages.h"
#include "word/internal/story.h"
#include "word/internal/xmlns.h"

namespace word {

namespace {

struct NumberFormat {
  int style;
  const char* fmt;
};
constexpr NumberFormat kNumberFormats[] = {
    {wdPageNumberStyleArabic, "decimal"},
    {wdPageNumberStyleUppercaseRoman, "upperRoman"},
    {wdPageNumberStyleLowercaseRoman, "lowerRoman"},
    {wdPageNumberStyleUppercaseLetter, "upperLetter"},
    {wdPageNumberStyleLowercaseLetter, "lowerLetter"},
    {wdPageNumberStyleArabicFullWidth, "decimalFullWidth"},
    {wdPageNumberStyleNumberInCircle, "decimalEnclosedCircle"},
    {wdPageNumberStyleArabicLZ, "decimalZero"},
    {wdPageNumberStyleSimpChinNum1, "chineseCounting"},
    {wdPageNumberStyleSimpChinNum2, "chineseLegalSimplified"},
    {wdPageNumberStyleNumberInDash, "numberInDash"}};

constexpr const char* kSeparators[] = {"hyphen", "period", "colon", "emDash", "enDash"};

} // namespace

PageNumbers::PageNumbers(Document* doc, std::vector<pugi::xml_node> sections)
    : doc_(doc), sections_(std::move(sections)) {}

namespace {
pugi::xml_node firstPgNumType(Document* doc, const std::vector<pugi::xml_node>& secs) {
  if (secs.empty())
    return {};
  return secs.front().child(doc->content().names().q("pgNumType"));
}

// Applies `edit` to each section's w:pgNumType (created when missing; removed when it is left
// without attributes).
template <class Edit>
void editPgNumType(Document* doc, const std::vector<pugi::xml_node>& secs, Edit edit) {
  const WNames& n = doc->content().names();
  for (pugi::xml_node s : secs) {
    pugi::xml_node e = ensureChild(s, "pgNumType", n);
    edit(e, n);
    if (!e.first_attribute() && !e.first_child())
      s.remove_child(e);
  }
  doc->content().touch();
}
} // namespace

int PageNumbers::numberStyle() const {
  const WNames& n = doc_->content().names();
  std::string fmt = attr(firstPgNumType(doc_, sections_), "fmt", n);
  for (const NumberFormat& f : kNumberFormats)
    if (fmt == f.fmt)
      return f.style;
  return wdPageNumberStyleArabic;
}

void PageNumbers::setNumberStyle(int style) {
  const char* fmt = nullptr;
  for (const NumberFormat& f : kNumberFormats)
    if (f.style == style)
      fmt = f.fmt;
  if (!fmt)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatPageNumberStyle, style));
  editPgNumType(doc_, sections_,
                [&](pugi::xml_node e, const WNames& n) { setAttr(e, "fmt", fmt, n); });
}

bool PageNumbers::includeChapterNumber() const {
  return static_cast<bool>(
      firstPgNumType(doc_, sections_).attribute(doc_->content().names().q("chapStyle")));
}

void PageNumbers::setIncludeChapterNumber(bool on) {
  editPgNumType(doc_, sections_, [&](pugi::xml_node e, const WNames& n) {
    if (on) {
      if (!e.attribute(n.q("chapStyle")))
        setAttr(e, "chapStyle", "1", n);
    } else {
      e.remove_attribute(n.q("chapStyle"));
      e.remove_attribute(n.q("chapSep"));
    }
  });
}

int PageNumbers::headingLevelForChapter() const {
  int level =
      firstPgNumType(doc_, sections_).attribute(doc_->content().names().q("chapStyle")).as_int(1);
  return std::clamp(level, 1, 9) - 1;
}

void PageNumbers::setHeadingLevelForChapter(int level) {
  if (level < 0 || level > 8)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatChapterLevel, level));
  editPgNumType(doc_, sections_, [&](pugi::xml_node e, const WNames& n) {
    if (e.attribute(n.q("chapStyle")))
      setAttr(e, "chapStyle", std::to_string(level + 1), n);
  });
}

int PageNumbers::chapterPageSeparator() const {
  std::string sep = attr(firstPgNumType(doc_, sections_), "chapSep", doc_->content().names());
  for (int i = 0; i < 5; ++i)
    if (sep == kSeparators[i])
      return i;
  return wdSeparatorHyphen;
}

void PageNumbers::setChapterPageSeparator(int sep) {
  if (sep < 0 || sep > 4)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatChapterSeparator, sep));
  editPgNumType(doc_, sections_, [&](pugi::xml_node e, const WNames& n) {
    if (e.attribute(n.q("chapStyle")))
      setAttr(e, "chapSep", kSeparators[sep], n);
  });
}

bool PageNumbers::restartNumberingAtSection() const {
  return static_cast<bool>(
      firstPgNumType(doc_, sections_).attribute(doc_->content().names().q("start")));
}

void PageNumbers::setRestartNumberingAtSection(bool on) {
  editPgNumType(doc_, sections_, [&](pugi::xml_node e, const WNames& n) {
    if (!on)
      e.remove_attribute(n.q("start"));
    else if (!e.attribute(n.q("start")))
      setAttr(e, "start", "1", n);
  });
}

int PageNumbers::startingNumber() const {
  return firstPgNumType(doc_, sections_).attribute(doc_->content().names().q("start")).as_int(0);
}

void PageNumbers::setStartingNumber(int number) {
  if (number < 0)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatStartingNumber, number));
  editPgNumType(doc_, sections_, [&](pugi::xml_node e, const WNames& n) {
    if (number == 0)
      e.remove_attribute(n.q("start"));
    else
      setAttr(e, "start", std::to_string(number), n);
  });
}

} // namespace word
