// Punctuation: half-width marks become full-width, tabs go, and full-width parentheses may
// become half-width ones (the heading recogniser knows only "(" and ")").
//
// Switches: 标点 for commas, colons, question and exclamation marks, semicolons and tabs;
// 句号 for full stops; 小括号 for the parentheses. Everything is done with whole-document
// replacements; the text is never read into the engine.
//
// A half-width mark between two ASCII letters or digits is part of a number, a time, an
// address or a version (3.14, 1,000, 10:30, www.gov.cn, v1.0) and stays as it is.

#include "engine/clsdoc.h"

namespace engine {

namespace {

enum class Guard { None, Numbers };

struct Row {
  const char* find;
  const char* replace;
  Guard guard;
};

// 标点, before the full stops.
constexpr Row kComma{",", "\uFF0C", Guard::Numbers};
// 句号
constexpr Row kStops[] = {
    {".", "\u3002", Guard::Numbers},
    {"\uFF0E", "\u3002", Guard::None},
};
// 标点, after the full stops.
constexpr Row kMarks[] = {
    {":", "\uFF1A", Guard::Numbers}, {"?", "\uFF1F", Guard::Numbers},
    {"!", "\uFF01", Guard::Numbers}, {";", "\uFF1B", Guard::Numbers},
    {"\t", "", Guard::None},
};
// 小括号
constexpr Row kParentheses[] = {
    {"\uFF08", "(", Guard::None},
    {"\uFF09", ")", Guard::None},
};

bool isAsciiAlnum(char32_t c) {
  return (c >= U'0' && c <= U'9') || (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
}

// True when the mark at [pos, pos + len) of `text` is to be replaced: not flanked by ASCII
// letters or digits on both sides.
bool outsideNumber(const std::u32string& text, size_t pos, size_t len) {
  bool left = pos > 0 && isAsciiAlnum(text[pos - 1]);
  bool right = pos + len < text.size() && isAsciiAlnum(text[pos + len]);
  return !(left && right);
}

} // namespace

void clsDoc::fixPunctuation() {
  // One replace-all over the whole main text, on a freshly fetched Selection.Find.
  auto replaceAll = [this](const Row& row) {
    word::Find& f = Selection().find();
    f.text = row.find;
    f.replacementText = row.replace;
    f.forward = true;
    f.wrap = word::wdFindContinue;
    f.format = false;
    f.matchCase = false;
    f.matchWholeWord = false;
    f.matchByte = true; // "," never matches an existing "，"
    f.matchWildcards = false;
    f.matchSoundsLike = false;
    f.matchAllWordForms = false;
    if (row.guard == Guard::Numbers)
      f.replaceAllIf(outsideNumber);
    else
      f.execute(word::wdReplaceAll);
  };

  const Settings& s = settings();
  const bool marks = s.fullWidthPunctuation();
  const bool stops = s.fullWidthFullStops();
  if (marks || stops) {
    word::Find& f = Selection().find();
    f.clearFormatting();
    f.replacementClearFormatting();
  }
  if (marks)
    replaceAll(kComma);
  if (stops)
    for (const Row& row : kStops)
      replaceAll(row);
  if (marks)
    for (const Row& row : kMarks)
      replaceAll(row);
  if (s.halfWidthParentheses())
    for (const Row& row : kParentheses)
      replaceAll(row);
}

} // namespace engine
