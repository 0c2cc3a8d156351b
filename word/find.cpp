#include <algorithm>

#include "base/ascii.h"
#include "base/messages.h"
#include "word/document.h"
#include "word/internal/story.h"
#include "word/text.h"

namespace word {

namespace {

// Turns Word's special codes into characters. `amp` receives the positions of "^&" in a
// replacement text (marked by U+FFFF in the result).
std::u32string decodeCodes(const std::string& s, bool replacement) {
  std::u32string in = toU32(s), out;
  for (size_t i = 0; i < in.size(); ++i) {
    if (in[i] != U'^' || i + 1 >= in.size()) {
      out.push_back(in[i]);
      continue;
    }
    char32_t c = in[++i];
    switch (c) {
    case U'p':
      out.push_back(U'\r');
      break;
    case U'l':
      out.push_back(U'\v');
      break;
    case U't':
      out.push_back(U'\t');
      break;
    case U'm':
      out.push_back(U'\f');
      break;
    case U'n':
      out.push_back(U'\x0e');
      break;
    case U's':
      out.push_back(U'\u00A0');
      break;
    case U'^':
      out.push_back(U'^');
      break;
    case U'&':
      if (replacement)
        out.push_back(U'\uFFFF');
      else
        out += U"^&";
      break;
    default:
      out.push_back(U'^');
      out.push_back(c);
    }
  }
  return out;
}

struct Matcher {
  bool matchCase, matchByte, wholeWord;
  std::u32string pat;

  char32_t fold(char32_t c) const {
    if (!matchByte) {
      if (c >= 0xFF01 && c <= 0xFF5E)
        c -= 0xFEE0;
      else if (c == 0x3000)
        c = U' ';
    }
    return matchCase ? c : base::lowerAscii(c);
  }
  static bool wordChar(char32_t c) {
    return (c >= U'0' && c <= U'9') || (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') ||
           c == U'_' || c > 0x7F;
  }
  // Non-overlapping matches in text[from, to), left to right.
  // True when folding cannot change whether the pattern matches: widths are told apart and
  // the pattern has no letter whose case could differ.
  bool foldFree() const {
    if (!matchByte)
      return false;
    if (matchCase)
      return true;
    for (char32_t c : pat)
      if ((c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z'))
        return false;
    return true;
  }
  std::vector<size_t> all(const std::u32string& text, size_t from, size_t to) const {
    std::vector<size_t> out;
    if (pat.empty() || to > text.size() || to < from + pat.size())
      return out;
    std::u32string_view window(text.data() + from, to - from);
    std::u32string folded;
    if (foldFree()) {
      // Nothing to fold: search the text itself, which is most searches.
      if (window.find(pat) == std::u32string_view::npos)
        return out;
    } else {
      folded.assign(window);
      for (auto& c : folded)
        c = fold(c);
      window = folded;
    }
    size_t pos = 0;
    while ((pos = window.find(pat, pos)) != std::u32string_view::npos) {
      size_t abs = from + pos;
      if (wholeWord) {
        bool okL = abs == 0 || !wordChar(text[abs - 1]);
        bool okR = abs + pat.size() >= text.size() || !wordChar(text[abs + pat.size()]);
        if (!okL || !okR) {
          ++pos;
          continue;
        }
      }
      out.push_back(abs);
      pos += pat.size();
    }
    return out;
  }
};

std::u32string expand(const std::u32string& repl, std::u32string_view found) {
  std::u32string out;
  for (char32_t c : repl) {
    if (c == U'\uFFFF')
      out.append(found);
    else
      out.push_back(c);
  }
  return out;
}

} // namespace

Find::Find(Story* story, int64_t start, int64_t end, bool wholeStoryOnWrap)
    : story_(story), start_(start), end_(end), whole_(wholeStoryOnWrap) {}

int Find::execute(int replace) {
  return run(replace, nullptr);
}

int Find::replaceAllIf(const std::function<bool(const std::u32string&, size_t, size_t)>& accept) {
  return run(wdReplaceAll, &accept);
}

int Find::run(int replace,
              const std::function<bool(const std::u32string&, size_t, size_t)>* accept) {
  if (!story_)
    return 0;
  if (matchWildcards || matchSoundsLike || matchAllWordForms)
    throw DocumentError({}, story_->part(), msg::kFindUnsupported);
  Matcher m{matchCase, matchByte, matchWholeWord, decodeCodes(text, false)};
  for (auto& c : m.pat)
    c = m.fold(c);
  if (m.pat.empty())
    return 0;
  std::u32string repl = decodeCodes(replacementText, true);
  int64_t a = start_, b = end_;
  if ((whole_ && wrap == wdFindContinue) || (whole_ && a == b)) {
    a = 0;
    b = story_->length();
  }
  bool hasMark = m.pat.find(U'\r') != std::u32string::npos;

  if (replace != wdReplaceAll) {
    std::u32string t = story_->text(a, b);
    auto hits = m.all(t, 0, t.size());
    if (hits.empty())
      return 0;
    int64_t s = a + static_cast<int64_t>(hits[0]);
    int64_t e = s + static_cast<int64_t>(m.pat.size());
    if (replace == wdReplaceOne) {
      std::u32string r = expand(repl, std::u32string_view(t).substr(hits[0], m.pat.size()));
      story_->replace(s, e, r, true);
      e = s + static_cast<int64_t>(r.size());
    }
    if (onFound)
      onFound(s, e);
    return 1;
  }

  int count = 0;
  if (hasMark) {
    std::u32string t = story_->text(a, b);
    auto hits = m.all(t, 0, t.size());
    for (size_t k = hits.size(); k-- > 0;) {
      if (accept && !(*accept)(t, hits[k], m.pat.size()))
        continue;
      std::u32string r = expand(repl, std::u32string_view(t).substr(hits[k], m.pat.size()));
      story_->replace(a + static_cast<int64_t>(hits[k]),
                      a + static_cast<int64_t>(hits[k] + m.pat.size()), r, true);
      ++count;
    }
    return count;
  }

  std::vector<ParaRec*> recs = story_->parasIn(a, std::max(b, a + 1));
  std::vector<int64_t> starts;
  starts.reserve(recs.size());
  for (ParaRec* r : recs)
    starts.push_back(story_->startOf(r));
  story_->beginBatch();
  try {
    for (size_t i = recs.size(); i-- > 0;) {
      ParaRec* rec = recs[i];
      if (rec->dead)
        continue;
      const std::u32string& c = story_->content(rec);
      int64_t s = starts[i];
      int64_t x = std::max<int64_t>(a - s, 0);
      int64_t y = std::min<int64_t>(b - s, static_cast<int64_t>(c.size()));
      if (y <= x)
        continue;
      auto hits = m.all(c, static_cast<size_t>(x), static_cast<size_t>(y));
      if (hits.empty())
        continue;
      std::u32string snapshot = c;
      if (accept) {
        std::vector<size_t> kept;
        for (size_t hpos : hits)
          if ((*accept)(snapshot, hpos, m.pat.size()))
            kept.push_back(hpos);
        hits.swap(kept);
        if (hits.empty())
          continue;
      }
      if (repl.find(U'\uFFFF') == std::u32string::npos &&
          story_->replaceWithinText(rec, hits, m.pat.size(), repl)) {
        count += static_cast<int>(hits.size());
        continue;
      }
      for (size_t k = hits.size(); k-- > 0;) {
        std::u32string r =
            expand(repl, std::u32string_view(snapshot).substr(hits[k], m.pat.size()));
        story_->editParagraph(rec, hits[k], hits[k] + m.pat.size(), r, true);
        ++count;
      }
    }
  } catch (...) {
    story_->endBatch();
    throw;
  }
  story_->endBatch();
  return count;
}

} // namespace word
