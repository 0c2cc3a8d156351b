#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>

#include "base/messages.h"
#include "word/document.h"
#include "word/internal/story.h"
#include "word/internal/xmlns.h"
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

std::u32string_view Range::contentView() const {
  if (!story_ || end_ <= start_)
    return {};
  ParaRec* rec = story_->at(story_->indexAt(start_));
  const int64_t s = story_->startOf(rec);
  const std::u32string& c = story_->content(rec);
  const int64_t size = static_cast<int64_t>(c.size());
  const int64_t from = std::clamp<int64_t>(start_ - s, 0, size);
  const int64_t to = std::clamp<int64_t>(end_ - s, from, size);
  return std::u32string_view(c).substr(static_cast<size_t>(from), static_cast<size_t>(to - from));
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

int64_t Range::deleteCharacters() {
  if (!story_ || end_ <= start_)
    return 0;
  int64_t newEnd = story_->replace(start_, end_, U"", true);
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

} // namespace word
