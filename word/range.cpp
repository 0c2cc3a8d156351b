#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#include "base/messages.h"
#include "word/document.h"
#include "word/format.h"
#include "word/internal/story.h"
#include "word/text.h"

namespace word {

// ---- Range -------------------------------------------------------------------------------

Range::Range(Story* story, int64_t start, int64_t end) : story_(story), start_(start), end_(end) {
  if (end_ < start_)
    std::swap(start_, end_);
}

void Range::setRange(int64_t start, int64_t end) {
  start_ = std::min(start, end);
  end_ = std::max(start, end);
}

std::u32string Range::text32() const {
  return story_ ? story_->text(start_, end_) : U"";
}

std::string Range::text() const {
  return toUtf8(text32());
}

void Range::setText(const std::string& text) {
  if (!story_)
    return;
  std::u32string t = toU32(text);
  story_->replace(start_, end_, t);
  end_ = start_ + static_cast<int64_t>(t.size());
}

void Range::insertAfter(const std::string& text) {
  if (!story_)
    return;
  std::u32string t = toU32(text);
  story_->replace(end_, end_, t);
  end_ += static_cast<int64_t>(t.size());
}

void Range::insertBefore(const std::string& text) {
  if (!story_)
    return;
  std::u32string t = toU32(text);
  story_->replace(start_, start_, t);
  end_ += static_cast<int64_t>(t.size());
}

int64_t Range::deleteText() {
  if (!story_ || end_ <= start_)
    return 0;
  int64_t newEnd = story_->replace(start_, end_, U"");
  int64_t removed = end_ - newEnd;
  end_ = start_;
  return removed;
}

Find Range::find() const {
  return Find(story_, start_, end_, false);
}

int Range::tablesCount() const {
  if (!story_)
    return 0;
  std::set<pugi::xml_node_struct*> tables;
  const WNames& n = story_->names();
  for (ParaRec* r : story_->parasIn(start_, std::max(end_, start_ + 1))) {
    if (!r->inTable)
      continue;
    pugi::xml_node outer;
    for (pugi::xml_node a = r->p.parent(); a; a = a.parent())
      if (n.is(a, "tbl"))
        outer = a;
    if (outer)
      tables.insert(outer.internal_object());
  }
  return static_cast<int>(tables.size());
}

std::vector<Range> Range::formatRuns() const {
  std::vector<Range> out;
  if (!story_)
    return out;
  for (ParaRec* rec : story_->parasIn(start_, end_)) {
    int64_t s = story_->startOf(rec);
    story_->content(rec);
    pugi::xml_node cur;
    int64_t cs = 0, ce = 0;
    for (const Seg& sg : rec->segs) {
      int64_t a = s + sg.off, b = a + sg.len;
      if (b <= start_ || a >= end_)
        continue;
      a = std::max(a, start_);
      b = std::min(b, end_);
      pugi::xml_node r = sg.node.parent();
      if (r == cur && a == ce) {
        ce = b;
        continue;
      }
      if (cur)
        out.emplace_back(story_, cs, ce);
      cur = r;
      cs = a;
      ce = b;
    }
    if (cur)
      out.emplace_back(story_, cs, ce);
  }
  return out;
}

// ---- Paragraphs --------------------------------------------------------------------------

Range Paragraph::range() const {
  if (!valid())
    throw DocumentError(msg::kParagraphGone);
  int64_t s = story_->startOf(rec_);
  return Range(story_, s, s + static_cast<int64_t>(story_->fullLen(rec_)));
}

pugi::xml_node Paragraph::node() const {
  return rec_ ? rec_->p : pugi::xml_node();
}
bool Paragraph::inTable() const {
  return rec_ && rec_->inTable;
}
bool Paragraph::valid() const {
  return story_ && rec_ && !rec_->dead;
}
bool Paragraph::isBlank() const {
  return valid() && story_->isBlank(rec_);
}
bool Paragraph::endsSection() const {
  return valid() && story_->endsSection(rec_);
}

int Paragraphs::count() const {
  return story_->count();
}

Paragraph Paragraphs::item(int index) const {
  int n = story_->count();
  if (index < 1 || index > n)
    throw DocumentError({}, story_->part(), msg::text(msg::kParagraphMissing, index, n));
  return Paragraph(story_, story_->at(index - 1));
}

// ---- Font --------------------------------------------------------------------------------

Font::Font(const Range& r) : range_(std::make_shared<Range>(r)) {}

namespace {
template <class T, class Get> T uniform(const Range& r, Get get, T undefined) {
  Story* st = r.story();
  if (!st)
    return undefined;
  std::optional<T> v;
  auto runs = st->runsIn(r.start(), r.end(), false);
  for (pugi::xml_node run : runs) {
    T x = get(run);
    if (!v)
      v = x;
    else if (!(*v == x))
      return undefined;
  }
  if (!v) {
    // A collapsed range or one over a bare mark reads the formatting of the run at its start.
    ParaRec* rec = st->at(st->indexAt(r.start()));
    st->content(rec);
    if (!rec->segs.empty()) {
      int64_t off = std::clamp<int64_t>(r.start() - st->startOf(rec), 0,
                                        static_cast<int64_t>(rec->text.size()) - 1);
      for (const Seg& sg : rec->segs)
        if (off >= sg.off && off < sg.off + sg.len)
          return get(sg.node.parent());
      return get(rec->segs.back().node.parent());
    }
    return get(rec->p);
  }
  return *v;
}
} // namespace

std::string Font::name() const {
  Story* st = range_->story();
  return uniform<std::string>(
      *range_, [&](pugi::xml_node run) { return effectiveFontName(*st->document(), st, run); },
      std::string());
}

void Font::setName(const std::string& name) {
  Story* st = range_->story();
  if (!st)
    return;
  std::vector<ParaRec*> marks;
  for (pugi::xml_node run : st->runsIn(range_->start(), range_->end(), true, &marks))
    setRunFontName(runProps(run, st->names()), name, st->names());
  for (ParaRec* m : marks)
    setRunFontName(markProps(m->p, st->names()), name, st->names());
  st->touch();
}

float Font::size() const {
  Story* st = range_->story();
  return uniform<float>(
      *range_, [&](pugi::xml_node run) { return effectiveSize(*st->document(), st, run); },
      kUndefined);
}

void Font::setSize(float points) {
  // Word refuses a size outside 1 to 1638 points; so does the model, rather than clamp.
  if (!(points >= 1.0f && points <= 1638.0f))
    throw DocumentError(msg::text(msg::kFontSizeInvalid, points));
  Story* st = range_->story();
  if (!st)
    return;
  std::vector<ParaRec*> marks;
  for (pugi::xml_node run : st->runsIn(range_->start(), range_->end(), true, &marks))
    setRunSize(runProps(run, st->names()), points, st->names());
  for (ParaRec* m : marks)
    setRunSize(markProps(m->p, st->names()), points, st->names());
  st->touch();
}

int Font::bold() const {
  Story* st = range_->story();
  return uniform<int>(
      *range_, [&](pugi::xml_node run) { return effectiveBold(*st->document(), st, run) ? -1 : 0; },
      wdUndefined);
}

void Font::setBold(bool on) {
  Story* st = range_->story();
  if (!st)
    return;
  // "Not bold" is written only where a style or the defaults would make the text bold: the
  // file format's default is not bold, and leaving it out keeps every run smaller.
  const WNames& n = st->names();
  auto set = [&](pugi::xml_node owner, pugi::xml_node rPr) {
    if (on || boldMentionedAbove(*st->document(), st, owner)) {
      setRunBold(rPr, on, n);
      return;
    }
    for (const char* name : {"b", "bCs"})
      while (pugi::xml_node e = rPr.child(n.q(name)))
        rPr.remove_child(e);
  };
  std::vector<ParaRec*> marks;
  for (pugi::xml_node run : st->runsIn(range_->start(), range_->end(), true, &marks))
    set(run, runProps(run, n));
  for (ParaRec* m : marks)
    set(m->p, markProps(m->p, n));
  st->touch();
}

// ---- ParagraphFormat ---------------------------------------------------------------------

ParagraphFormat::ParagraphFormat(const Range& r) : range_(std::make_shared<Range>(r)) {}

int ParagraphFormat::alignment() const {
  Story* st = range_->story();
  if (!st)
    return wdUndefined;
  std::optional<int> v;
  for (ParaRec* rec : st->parasIn(range_->start(), std::max(range_->end(), range_->start() + 1))) {
    int a = effectiveAlignment(*st->document(), st, rec->p);
    if (!v)
      v = a;
    else if (*v != a)
      return wdUndefined;
  }
  return v.value_or(wdUndefined);
}

void ParagraphFormat::setAlignment(int wdAlign) {
  static const char* const kJc[] = {"left", "center", "right", "both", "distribute"};
  if (wdAlign < 0 || wdAlign > 4)
    throw DocumentError(msg::kAlignmentInvalid);
  if (!range_->story())
    return;
  for (pugi::xml_node pPr : pPrs()) {
    const WNames& n = range_->story()->names();
    setAttr(ensureChild(pPr, "jc", n), "val", kJc[wdAlign], n);
  }
  range_->story()->touch();
}

std::vector<pugi::xml_node> ParagraphFormat::pPrs() const {
  std::vector<pugi::xml_node> out;
  Story* st = range_->story();
  if (!st)
    return out;
  for (ParaRec* rec : st->parasIn(range_->start(), std::max(range_->end(), range_->start() + 1)))
    out.push_back(paraProps(rec->p, st->names()));
  st->touch();
  return out;
}

} // namespace word
