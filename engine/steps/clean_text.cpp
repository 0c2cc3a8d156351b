// Text cleanup: every manual line break becomes a paragraph mark, and spaces go.
//
// With 空格 on, every half-width (U+0020) and ideographic (U+3000) space of the text is deleted.
// With 空格 off, only the spaces at the start and end of each paragraph outside tables go:
// words keep their spaces, and a plain-text document indented with spaces does not come out of
// the indentation step with a double indent.
//
// Only the text outside tables is cleaned: each run of neighbouring paragraphs outside tables
// (the whole text of a document without tables) is searched as one range, from the last run to
// the first, so text inside table cells is never touched. None of the patterns reaches across
// a paragraph mark, so a run searched as one range gets the same replacements as one search per
// paragraph would give, with fewer searches.

#include <string>

#include "engine/clsdoc.h"
#include "engine/outside_tables.h"
#include "word/text.h"

namespace engine {

namespace {

struct Pass {
  const char* find;
  const char* replace;
  int delta; // change of length per replacement, in characters
};

constexpr Pass kLineBreaks{"^l", "^p", 0};
constexpr Pass kSpaces{" ", "", -1};
constexpr Pass kIdeographicSpaces{"\u3000", "", -1};

// The search options every pass uses. MatchByte keeps half-width and full-width forms apart,
// so the space passes touch only their own character.
void setOptions(word::Find& f, const Pass& p) {
  f.text = p.find;
  f.replacementText = p.replace;
  f.forward = true;
  f.wrap = word::wdFindContinue;
  f.format = false;
  f.matchCase = false;
  f.matchWholeWord = false;
  f.matchByte = true;
  f.matchWildcards = false;
  f.matchSoundsLike = false;
  f.matchAllWordForms = false;
}

bool isSpace(char32_t c) {
  return c == U' ' || c == U'\u3000';
}

} // namespace

void clsDoc::cleanText() {
  const bool removeSpaces = settings().removeSpaces();
  std::vector<Pass> passes{kLineBreaks};
  if (removeSpaces) {
    passes.push_back(kSpaces);
    passes.push_back(kIdeographicSpaces);
  }

  forEachBlockOutsideTables(ActiveDocument(), [&](word::Range& scope) {
    // Each pass searches the text as the earlier passes left it: line breaks become marks in
    // place, deleted spaces shorten the scope.
    for (const Pass& p : passes) {
      word::Find f = scope.find();
      f.clearFormatting();
      f.replacementClearFormatting();
      setOptions(f, p);
      int n = f.execute(word::wdReplaceAll);
      scope.setRange(scope.start(), scope.end() + static_cast<int64_t>(n) * p.delta);
    }
  });

  if (removeSpaces)
    return;
  // Spaces kept inside the text: trim each paragraph outside tables at both ends.
  word::Paragraphs paras = ActiveDocument().paragraphs();
  for (int i = paras.count(); i > 0; --i) {
    word::Range range = paras.item(i).range();
    if (range.tablesCount() >= 1)
      continue;
    std::u32string t = range.text32();
    size_t len = t.empty() ? 0 : t.size() - 1; // without the paragraph mark
    size_t lead = 0, trail = 0;
    while (lead < len && isSpace(t[lead]))
      ++lead;
    while (trail < len - lead && isSpace(t[len - 1 - trail]))
      ++trail;
    // Only the characters go: a field or form field without a result between the spaces
    // stays, as it does under the find passes.
    int64_t s = range.start();
    int64_t e = s + static_cast<int64_t>(len);
    if (trail > 0)
      ActiveDocument().range(e - static_cast<int64_t>(trail), e).deleteCharacters();
    if (lead > 0)
      ActiveDocument().range(s, s + static_cast<int64_t>(lead)).deleteCharacters();
  }
}

} // namespace engine
