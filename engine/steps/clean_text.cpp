// Text cleanup: every manual line break becomes a paragraph mark, and spaces go.
//
// With 空格 on, every half-width (U+0020) and ideographic (U+3000) space of the text is deleted.
// With 空格 off, only the spaces at the start and end of each paragraph outside tables go:
// words keep their spaces, and a plain-text document indented with spaces does not come out of
// the indentation step with a double indent.
//
// A document without tables is cleaned with whole-document replacements. In a document with
// tables the paragraphs outside the tables are cleaned on their own ranges, from the last to the
// first, so text inside table cells is never touched.

#include <string>

#include "engine/clsdoc.h"
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
  std::vector<Pass> passes{kLineBreaks};
  if (isOn("空格")) {
    passes.push_back(kSpaces);
    passes.push_back(kIdeographicSpaces);
  }

  if (!HasTables) {
    word::Find& f = Selection().find();
    f.clearFormatting();
    f.replacementClearFormatting();
    for (const Pass& p : passes) {
      word::Find& pf = Selection().find();
      setOptions(pf, p);
      pf.execute(word::wdReplaceAll);
    }
  } else {
    // Paragraphs outside tables, from the last to the first. None of the patterns reaches
    // across a paragraph mark, so a run of neighbouring paragraphs outside tables is searched
    // as one range: the same replacements as one search per paragraph, with fewer searches.
    word::Paragraphs paras = ActiveDocument().paragraphs();
    int i = paras.count();
    while (i > 0) {
      CurPara = paras.item(i);
      if (CurPara.range().tablesCount() >= 1) {
        --i;
        continue;
      }
      int64_t end = CurPara.range().end();
      while (i > 1 && paras.item(i - 1).range().tablesCount() < 1)
        --i;
      CurPara = paras.item(i);
      word::Range scope = ActiveDocument().range(CurPara.range().start(), end);
      // Each pass searches the text as the earlier passes left it: line breaks become marks
      // in place, deleted spaces shorten the scope.
      for (const Pass& p : passes) {
        word::Find f = scope.find();
        f.clearFormatting();
        f.replacementClearFormatting();
        setOptions(f, p);
        int n = f.execute(word::wdReplaceAll);
        scope.setRange(scope.start(), scope.end() + static_cast<int64_t>(n) * p.delta);
      }
      --i;
    }
  }

  if (isOn("空格"))
    return;
  // Spaces kept inside the text: trim each paragraph outside tables at both ends.
  word::Paragraphs paras = ActiveDocument().paragraphs();
  for (int i = paras.count(); i > 0; --i) {
    CurPara = paras.item(i);
    CurRange = CurPara.range();
    if (CurRange.tablesCount() >= 1)
      continue;
    std::u32string t = CurRange.text32();
    size_t len = t.empty() ? 0 : t.size() - 1; // without the paragraph mark
    size_t lead = 0, trail = 0;
    while (lead < len && isSpace(t[lead]))
      ++lead;
    while (trail < len - lead && isSpace(t[len - 1 - trail]))
      ++trail;
    // Only the characters go: a field or form field without a result between the spaces
    // stays, as it does under the find passes.
    int64_t s = CurRange.start();
    int64_t e = s + static_cast<int64_t>(len);
    if (trail > 0)
      ActiveDocument().range(e - static_cast<int64_t>(trail), e).deleteCharacters();
    if (lead > 0)
      ActiveDocument().range(s, s + static_cast<int64_t>(lead)).deleteCharacters();
  }
}

} // namespace engine
