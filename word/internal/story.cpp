#include "word/internal/story.h"
#include "base/messages.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "word/internal/access.h"
#include "word/text.h"

namespace word {

namespace {

bool isPropertyLike(const char* local) {
  if (!local)
    return false;
  static const char* const kProps[] = {"rPr",        "pPr",         "sdtPr",  "sdtEndPr",
                                       "smartTagPr", "customXmlPr", "fldData"};
  for (const char* p : kProps)
    if (!std::strcmp(local, p))
      return true;
  return false;
}

bool isMarker(const char* local) {
  if (!local)
    return false;
  static const char* const kMarkers[] = {
      "bookmarkStart",    "bookmarkEnd",      "commentRangeStart", "commentRangeEnd",
      "permStart",        "permEnd",          "proofErr",          "moveFromRangeStart",
      "moveFromRangeEnd", "moveToRangeStart", "moveToRangeEnd"};
  for (const char* m : kMarkers)
    if (!std::strcmp(local, m))
      return true;
  return false;
}

pugi::xml_node nextElement(pugi::xml_node n) {
  for (n = n.next_sibling(); n; n = n.next_sibling())
    if (n.type() == pugi::node_element)
      return n;
  return {};
}

pugi::xml_node previousElement(pugi::xml_node n) {
  for (n = n.previous_sibling(); n; n = n.previous_sibling())
    if (n.type() == pugi::node_element)
      return n;
  return {};
}

// Elements of a paragraph that hold nothing but text and its formatting: containers the
// text walk enters, the text itself, tabs and breaks (characters of the text), and marks that
// carry no content of their own.
bool isTextOnly(const char* local) {
  static const char* const kText[] = {
      "r",   "hyperlink", "smartTag",      "ins",        "dir",
      "bdo", "t",         "tab",           "ptab",       "br",
      "cr",  "proofErr",  "noBreakHyphen", "softHyphen", "lastRenderedPageBreak"};
  for (const char* k : kText)
    if (!std::strcmp(local, k))
      return true;
  return false;
}

// The text of a w:t, marked to keep its spaces when it starts or ends with one (a space or tab
// is one byte in UTF-8, which no other character's first or last byte is).
void setWTextUtf8(pugi::xml_node wt, const std::string& u) {
  wt.text().set(u.data(), u.size());
  bool edge =
      !u.empty() && (u.front() == ' ' || u.back() == ' ' || u.front() == '\t' || u.back() == '\t');
  if (edge && !wt.attribute("xml:space"))
    wt.append_attribute("xml:space").set_value("preserve");
}

void setWText(pugi::xml_node wt, const std::u32string& s) {
  thread_local std::string u;
  toUtf8(s, u);
  setWTextUtf8(wt, u);
}

// The w:t text `bytes` with `ins` put before its character `local`, spliced in UTF-8; false
// (nothing made) when `bytes` is not well-formed UTF-8 or shorter than `local` characters:
// only then does a conversion of the whole text differ from the splice.
bool splicedUtf8(std::string_view bytes, size_t local, std::u32string_view ins, std::string& out) {
  size_t off = 0;
  for (size_t k = 0; k < local; ++k) {
    if (off >= bytes.size())
      return false;
    size_t len = base::utf8SequenceLength(bytes, off);
    if (len == 0)
      return false;
    off += len;
  }
  if (!base::isValidUtf8(bytes.substr(off)))
    return false;
  out.clear();
  out.reserve(bytes.size() + ins.size() * 4);
  out.append(bytes.substr(0, off));
  for (char32_t c : ins)
    base::appendUtf8(out, c);
  out.append(bytes.substr(off));
  return true;
}

} // namespace

Story::Story(Document* doc, std::string part, pugi::xml_node root, StoryType type)
    : doc_(doc), part_(std::move(part)), root_(root), type_(type),
      n_(WNames::forRoot(root.root().first_child())) {}

Story::~Story() = default;

void Story::touch() {
  if (doc_)
    packageOf(*doc_).markDirty(part_);
}

long maxShapeIdUnder(pugi::xml_node root) {
  long best = 0;
  for (pugi::xml_node n = root; n;) {
    for (pugi::xml_attribute a = n.first_attribute(); a; a = a.next_attribute()) {
      // The value is looked at first: few values start with "_", every name would need
      // its length.
      const char* v = a.value();
      if (v[0] != '_' || std::strncmp(v, "_x0000_s", 8) != 0)
        continue;
      size_t len = std::strlen(a.name());
      if (len >= 5 && !std::strcmp(a.name() + len - 5, ":spid"))
        best = std::max(best, std::strtol(v + 8, nullptr, 10));
    }
    // document order, staying inside root
    if (n.first_child()) {
      n = n.first_child();
      continue;
    }
    while (n && n != root && !n.next_sibling())
      n = n.parent();
    n = (n && n != root) ? n.next_sibling() : pugi::xml_node();
  }
  return best;
}

// ---- index -------------------------------------------------------------------------------

ParaRec* Story::makeRec(pugi::xml_node p) {
  auto it = byNode_.find(p.internal_object());
  if (it != byNode_.end() && !it->second->dead)
    return it->second;
  owned_.push_back(std::make_unique<ParaRec>());
  ParaRec* rec = owned_.back().get();
  rec->p = p;
  byNode_[p.internal_object()] = rec;
  return rec;
}

void Story::collect(pugi::xml_node container, int depth, std::vector<ParaRec*>& out) {
  for (pugi::xml_node c = container.first_child(); c; c = c.next_sibling()) {
    const char* local = n_.localOf(c);
    if (!local)
      continue;
    if (!std::strcmp(local, "p")) {
      ParaRec* rec = makeRec(c);
      rec->inTable = depth > 0;
      rec->cellEnd = false;
      out.push_back(rec);
    } else if (!std::strcmp(local, "tbl") || !std::strcmp(local, "tr")) {
      collect(c, depth, out);
    } else if (!std::strcmp(local, "tc")) {
      size_t before = out.size();
      collect(c, depth + 1, out);
      // The cell's last own paragraph carries the end-of-cell mark.
      pugi::xml_node lastP;
      for (pugi::xml_node k = c.first_child(); k; k = k.next_sibling())
        if (n_.is(k, "p"))
          lastP = k;
      if (lastP && out.size() > before) {
        ParaRec* rec = byNode_[lastP.internal_object()];
        if (rec)
          rec->cellEnd = true;
      }
    } else if (!std::strcmp(local, "sdt")) {
      if (pugi::xml_node sc = child(c, "sdtContent", n_))
        collect(sc, depth, out);
    } else if (!std::strcmp(local, "customXml") || !std::strcmp(local, "ins") ||
               !std::strcmp(local, "moveTo")) {
      collect(c, depth, out);
    }
  }
}

void Story::rebuild() {
  std::vector<ParaRec*> fresh;
  fresh.reserve(paras_.size() + 16);
  collect(root_, 0, fresh);
  if (fresh.empty() && root_) {
    // A story always has a paragraph, as in Word: a body that holds only its section
    // properties (or a header without any paragraph) gets an empty one, before the body's
    // sectPr.
    pugi::xml_node last = root_.last_child();
    while (last && last.type() != pugi::node_element)
      last = last.previous_sibling();
    if (last && n_.is(last, "sectPr"))
      root_.insert_child_before(n_.p.c_str(), last);
    else
      root_.append_child(n_.p.c_str());
    touch();
    collect(root_, 0, fresh);
  }
  std::unordered_map<pugi::xml_node_struct*, ParaRec*> live;
  live.reserve(fresh.size() * 2);
  for (ParaRec* r : fresh)
    live[r->p.internal_object()] = r;
  for (auto& [node, rec] : byNode_)
    if (!live.count(node))
      rec->dead = true;
  byNode_.swap(live);
  paras_.swap(fresh);
  for (size_t i = 0; i < paras_.size(); ++i)
    paras_[i]->index = static_cast<int>(i);
  built_ = true;
  validPrefix_ = 0;
  batchDirty_ = false;
  marksValid_ = false;
}

void Story::invalidateAll() {
  shapeId_ = -1;
  for (auto& r : owned_)
    r->textValid = false;
  built_ = false;
  marksValid_ = false;
}

void Story::releaseText() {
  for (auto& r : owned_) {
    r->textValid = false;
    std::u32string().swap(r->text);
    std::vector<Seg>().swap(r->segs);
    std::vector<FieldSpan>().swap(r->fields);
  }
}

int Story::count() {
  if (!built_)
    rebuild();
  return static_cast<int>(paras_.size());
}

ParaRec* Story::at(int i) {
  if (!built_)
    rebuild();
  return paras_.at(static_cast<size_t>(i));
}

ParaRec* Story::recOf(pugi::xml_node p) {
  if (!built_)
    rebuild();
  auto it = byNode_.find(p.internal_object());
  return it == byNode_.end() ? nullptr : it->second;
}

int Story::indexOf(ParaRec* rec) {
  if (!built_)
    rebuild();
  if (rec->dead)
    return -1;
  int n = static_cast<int>(paras_.size());
  if (rec->index >= 0 && rec->index < n && paras_[rec->index] == rec)
    return rec->index;
  // Edits nearby shift indices a little; look around first, then everywhere.
  for (int d = 1; d <= 64; ++d) {
    for (int k : {rec->index - d, rec->index + d})
      if (k >= 0 && k < n && paras_[k] == rec)
        return rec->index = k;
  }
  for (int k = 0; k < n; ++k)
    if (paras_[k] == rec)
      return rec->index = k;
  return -1;
}

void Story::ensureValid(int i) {
  if (!built_)
    rebuild();
  if (i >= static_cast<int>(paras_.size()))
    i = static_cast<int>(paras_.size()) - 1;
  for (int k = validPrefix_; k <= i; ++k) {
    ParaRec* r = paras_[k];
    r->index = k;
    r->start = k == 0 ? 0 : paras_[k - 1]->start + static_cast<int64_t>(fullLen(paras_[k - 1]));
  }
  if (i + 1 > validPrefix_)
    validPrefix_ = i + 1;
}

void Story::invalidateFrom(int i) {
  if (i < validPrefix_)
    validPrefix_ = std::max(0, i);
}

void Story::invalidateText(ParaRec* rec) {
  // The caller changed the paragraph's XML in ways the story does not know: any shape may
  // have come or gone.
  shapeId_ = -1;
  textChanged(rec);
}

void Story::removing(pugi::xml_node gone) {
  if (shapeId_ >= 0 && maxShapeIdUnder(gone) > 0)
    shapeId_ = -1;
}

void Story::textChanged(ParaRec* rec) {
  rec->textValid = false;
  if (built_ && rec->index >= 0 && rec->index < validPrefix_ &&
      paras_[static_cast<size_t>(rec->index)] == rec)
    invalidateFrom(rec->index + 1);
  else if (built_ && !batch_)
    invalidateFrom(std::max(0, indexOf(rec) + 1));
}

int64_t Story::startOf(ParaRec* rec) {
  int i = indexOf(rec);
  if (i < 0)
    throw DocumentError({}, part_, msg::kParagraphGone);
  ensureValid(i);
  return rec->start;
}

int64_t Story::length() {
  int n = count();
  if (n == 0)
    return 0;
  ensureValid(n - 1);
  return paras_.back()->start + static_cast<int64_t>(fullLen(paras_.back()));
}

int Story::indexAt(int64_t pos) {
  int n = count();
  if (n == 0)
    return -1;
  if (pos <= 0)
    return 0;
  // The paragraph found last or one of its neighbours: the steps ask for the same paragraph
  // several times in a row, then go on to the next or the previous one. Below the valid
  // prefix a paragraph's start and the next one's tell for sure (no search, no walk).
  for (int h : {lastIndexAt_, lastIndexAt_ - 1, lastIndexAt_ + 1}) {
    if (h >= 0 && h + 1 < validPrefix_ && paras_[static_cast<size_t>(h)]->start <= pos &&
        pos < paras_[static_cast<size_t>(h) + 1]->start) {
      lastIndexAt_ = h;
      return h;
    }
  }
  // Extend the valid prefix until it covers pos.
  while (validPrefix_ < n) {
    ParaRec* last = validPrefix_ > 0 ? paras_[validPrefix_ - 1] : nullptr;
    if (last && last->start + static_cast<int64_t>(fullLen(last)) > pos)
      break;
    ensureValid(validPrefix_);
  }
  int hi = validPrefix_ - 1;
  auto it = std::upper_bound(paras_.begin(), paras_.begin() + hi + 1, pos,
                             [](int64_t v, const ParaRec* r) { return v < r->start; });
  int idx = static_cast<int>(it - paras_.begin()) - 1;
  lastIndexAt_ = std::clamp(idx, 0, n - 1);
  return lastIndexAt_;
}

// ---- text --------------------------------------------------------------------------------

namespace {
struct Walker {
  const WNames& n;
  std::u32string& text;
  std::vector<Seg>& segs;
  std::vector<FieldSpan>& done;
  std::vector<bool> fields; // true while inside a field's code
  std::vector<FieldSpan> open;
  int hidden = 0;

  void single(pugi::xml_node node, char32_t c) {
    if (hidden)
      return;
    segs.push_back({node, static_cast<uint32_t>(text.size()), 1, Seg::Single});
    text.push_back(c);
  }

  void run(pugi::xml_node r) {
    for (pugi::xml_node c = r.first_child(); c; c = c.next_sibling()) {
      if (c.type() != pugi::node_element)
        continue;
      const char* local = n.localOf(c);
      if (!local) {
        if (!std::strcmp(c.name(), "mc:AlternateContent"))
          single(c, U'\x01');
        continue;
      }
      switch (local[0]) {
      case 't':
        if (!std::strcmp(local, "t")) {
          if (hidden)
            break;
          std::u32string s = toU32(c.text().get());
          if (s.empty())
            break;
          segs.push_back(
              {c, static_cast<uint32_t>(text.size()), static_cast<uint32_t>(s.size()), Seg::Text});
          text += s;
        } else if (!std::strcmp(local, "tab")) {
          single(c, U'\t');
        }
        break;
      case 'p':
        if (!std::strcmp(local, "ptab"))
          single(c, U'\t');
        else if (!std::strcmp(local, "pict"))
          single(c, U'\x01');
        break;
      case 'b':
        if (!std::strcmp(local, "br")) {
          std::string type = c.attribute(n.q("type")).value();
          single(c, type == "page" ? U'\f' : type == "column" ? U'\x0e' : U'\v');
        }
        break;
      case 'c':
        if (!std::strcmp(local, "cr"))
          single(c, U'\v');
        break;
      case 's':
        if (!std::strcmp(local, "sym")) {
          char32_t ch =
              static_cast<char32_t>(std::strtoul(c.attribute(n.q("char")).value(), nullptr, 16));
          single(c, ch ? ch : U'\x01');
        } else if (!std::strcmp(local, "softHyphen")) {
          single(c, U'\u00AD');
        }
        break;
      case 'd':
        if (!std::strcmp(local, "drawing"))
          single(c, U'\x01');
        break;
      case 'o':
        if (!std::strcmp(local, "object"))
          single(c, U'\x01');
        break;
      case 'f':
        if (!std::strcmp(local, "footnoteReference"))
          single(c, U'\x02');
        else if (!std::strcmp(local, "fldChar")) {
          std::string type = c.attribute(n.q("fldCharType")).value();
          if (type == "begin") {
            fields.push_back(true);
            ++hidden;
            open.push_back({{c}, {}, 0, 0});
          } else if (type == "separate") {
            if (!fields.empty() && fields.back()) {
              fields.back() = false;
              --hidden;
            }
            if (!open.empty()) {
              open.back().code.push_back(c);
              open.back().resStart = static_cast<uint32_t>(text.size());
            }
          } else if (type == "end") {
            if (!fields.empty()) {
              if (fields.back()) {
                --hidden;
                if (!open.empty())
                  open.back().resStart = static_cast<uint32_t>(text.size());
              }
              fields.pop_back();
            }
            if (!open.empty()) {
              FieldSpan f = std::move(open.back());
              open.pop_back();
              f.code.push_back(c);
              f.resEnd = static_cast<uint32_t>(text.size());
              done.push_back(std::move(f));
            }
          }
        }
        break;
      case 'e':
        if (!std::strcmp(local, "endnoteReference"))
          single(c, U'\x02');
        break;
      case 'i':
        if (!std::strcmp(local, "instrText") && !open.empty())
          open.back().code.push_back(c);
        break;
      case 'n':
        if (!std::strcmp(local, "noBreakHyphen"))
          single(c, U'\u2011');
        break;
      default:
        break;
      }
    }
  }

  void container(pugi::xml_node node) {
    for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
      const char* local = n.localOf(c);
      if (!local)
        continue;
      if (!std::strcmp(local, "r")) {
        run(c);
      } else if (!std::strcmp(local, "hyperlink") || !std::strcmp(local, "ins") ||
                 !std::strcmp(local, "smartTag") || !std::strcmp(local, "customXml") ||
                 !std::strcmp(local, "moveTo") || !std::strcmp(local, "dir") ||
                 !std::strcmp(local, "bdo") || !std::strcmp(local, "sdtContent")) {
        container(c);
      } else if (!std::strcmp(local, "fldSimple")) {
        FieldSpan f;
        f.simple = c;
        f.resStart = static_cast<uint32_t>(text.size());
        container(c);
        f.resEnd = static_cast<uint32_t>(text.size());
        done.push_back(std::move(f));
      } else if (!std::strcmp(local, "sdt")) {
        if (pugi::xml_node sc = c.child(n.q("sdtContent")))
          container(sc);
      }
    }
  }
};
} // namespace

void Story::buildText(ParaRec* rec) {
  rec->text.clear();
  rec->segs.clear();
  rec->fields.clear();
  Walker w{n_, rec->text, rec->segs, rec->fields, {}, {}, 0};
  w.container(rec->p);
  rec->textValid = true;
}

const std::u32string& Story::content(ParaRec* rec) {
  if (!rec->textValid)
    buildText(rec);
  return rec->text;
}

std::u32string Story::text(int64_t start, int64_t end) {
  std::u32string out;
  if (end <= start)
    return out;
  // A paragraph's text (the usual request) in one allocation, mark included.
  out.reserve(static_cast<size_t>(std::min<int64_t>(end - start, 4096)));
  int i = indexAt(start);
  int n = count();
  for (int k = i; k < n; ++k) {
    ParaRec* r = at(k);
    int64_t s = startOf(r);
    if (s >= end)
      break;
    // The paragraph's content then its mark ("\r", or "\r\a" ending a cell), without a copy.
    const std::u32string& c = content(r);
    const size_t size = c.size();
    size_t from = static_cast<size_t>(std::max<int64_t>(start - s, 0));
    size_t to =
        static_cast<size_t>(std::min<int64_t>(end - s, static_cast<int64_t>(size + markLen(r))));
    if (from < std::min(to, size))
      out.append(c, from, std::min(to, size) - from);
    for (size_t k = std::max(from, size); k < to; ++k)
      out.push_back(k == size ? U'\r' : U'\a');
  }
  return out;
}

// ---- edits -------------------------------------------------------------------------------

void Story::deleteContent(ParaRec* rec, size_t a, size_t b, FieldRule rule) {
  content(rec);
  // Fields whose whole result lies in the deleted span go with their codes, as in Word. A
  // field without a result has no width: it goes only when deleted characters lie on both
  // sides of it (at a span's edge it may as well stand outside it, as after a deleted tab).
  std::vector<FieldSpan> covered;
  for (const FieldSpan& f : rec->fields) {
    bool whole = false;
    if (rule == FieldRule::All)
      whole = true;
    else if (rule == FieldRule::Covered)
      whole = f.resEnd > f.resStart ? a <= f.resStart && f.resEnd <= b
                                    : a < f.resStart && f.resStart < b;
    if (whole)
      covered.push_back(f);
  }
  std::vector<pugi::xml_node> runs;
  for (size_t k = rec->segs.size(); k-- > 0;) {
    const Seg& s = rec->segs[k];
    size_t so = s.off, se = s.off + s.len;
    if (se <= a || so >= b)
      continue;
    pugi::xml_node parent = s.node.parent();
    if (s.kind == Seg::Text) {
      std::u32string t = toU32(s.node.text().get());
      size_t x = std::max(a, so) - so, y = std::min(b, se) - so;
      t.erase(x, y - x);
      if (t.empty())
        parent.remove_child(s.node);
      else
        setWText(s.node, t);
    } else {
      removing(s.node);
      parent.remove_child(s.node);
    }
    if (runs.empty() || runs.back() != parent)
      runs.push_back(parent);
  }
  for (const FieldSpan& f : covered) {
    if (f.simple) {
      if (f.simple.parent()) {
        removing(f.simple);
        f.simple.parent().remove_child(f.simple);
      }
      continue;
    }
    pugi::xml_node first = f.code.front().parent(), last = f.code.back().parent();
    if (n_.is(first, "r") && n_.is(last, "r") && first.parent() == last.parent()) {
      // Everything from the run that begins the field to the run that ends it.
      std::vector<pugi::xml_node> drop;
      for (pugi::xml_node k = first; k; k = k.next_sibling()) {
        drop.push_back(k);
        if (k == last)
          break;
      }
      if (drop.back() == last) {
        pugi::xml_node parent = first.parent();
        for (pugi::xml_node k : drop) {
          runs.erase(std::remove(runs.begin(), runs.end(), k), runs.end());
          removing(k);
          parent.remove_child(k);
        }
        continue;
      }
    }
    for (pugi::xml_node k : f.code) {
      pugi::xml_node r = k.parent();
      removing(k);
      r.remove_child(k);
      if (std::find(runs.begin(), runs.end(), r) == runs.end())
        runs.push_back(r);
    }
  }
  // A run left with nothing but its properties goes too.
  for (pugi::xml_node r : runs) {
    if (!n_.is(r, "r"))
      continue;
    bool empty = true;
    for (pugi::xml_node c = r.first_child(); c && empty; c = c.next_sibling())
      if (c.type() == pugi::node_element && !n_.is(c, "rPr"))
        empty = false;
    if (empty) {
      removing(r);
      r.parent().remove_child(r);
    }
  }
  touch();
  textChanged(rec);
}

namespace {
// Builds the XML nodes for `ins` (text, tabs, breaks) by calling `place(name)` for each new
// element in order; `place` creates the element where it belongs and returns it.
template <class Place> void emitTokens(std::u32string_view ins, const WNames& n, Place place) {
  std::u32string buf;
  auto flush = [&]() {
    if (buf.empty())
      return;
    pugi::xml_node t = place(n.t.c_str());
    setWText(t, buf);
    buf.clear();
  };
  for (char32_t c : ins) {
    if (c == U'\t') {
      flush();
      place(n.tab.c_str());
    } else if (c == U'\v' || c == U'\f' || c == U'\x0e') {
      flush();
      pugi::xml_node br = place(n.br.c_str());
      if (c != U'\v')
        br.append_attribute(n.q("type")).set_value(c == U'\f' ? "page" : "column");
    } else if (c < 0x20 || c == 0xFFFE || c == 0xFFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      // Characters XML cannot hold or that stand for objects are not inserted.
    } else {
      buf.push_back(c);
    }
  }
  flush();
}
} // namespace

void Story::insertContent(ParaRec* rec, size_t a, std::u32string_view ins, bool overtype) {
  if (ins.empty())
    return;
  content(rec);
  size_t grownSeg = SIZE_MAX; // the text piece the insertion went into, when kept up to date
  const auto& segs = rec->segs;
  if (segs.empty()) {
    // An empty paragraph: a new run formatted like the paragraph mark.
    pugi::xml_node r = rec->p.append_child(n_.r.c_str());
    if (pugi::xml_node pPr = rec->p.child(n_.pPr.c_str())) {
      if (pugi::xml_node markRPr = pPr.child(n_.rPr.c_str())) {
        pugi::xml_node rp = r.append_copy(markRPr);
        for (const char* drop : {"ins", "del", "moveFrom", "moveTo", "rPrChange"})
          while (pugi::xml_node d = rp.child(n_.q(drop)))
            rp.remove_child(d);
        if (!rp.first_child())
          r.remove_child(rp);
      }
    }
    emitTokens(ins, n_, [&](const char* name) { return r.append_child(name); });
  } else {
    // Anchor on the character before the insertion point, or the one after it at the start.
    bool before = a == 0 || (overtype && a < rec->text.size());
    size_t pos = before ? a : a - 1;
    auto it = std::upper_bound(segs.begin(), segs.end(), pos,
                               [](size_t v, const Seg& s) { return v < s.off; });
    const Seg& s = *(it - 1);
    thread_local std::string spliced;
    const size_t local = before ? pos - s.off : pos - s.off + 1;
    const bool plain = std::none_of(ins.begin(), ins.end(), [](char32_t c) { return c < 0x20; });
    if (s.kind == Seg::Text && plain && splicedUtf8(s.node.text().get(), local, ins, spliced)) {
      // Plain text into well-formed text: the new characters are spliced into its UTF-8.
      setWTextUtf8(s.node, spliced);
      if (rec->fields.empty())
        grownSeg = static_cast<size_t>(it - 1 - segs.begin());
    } else if (s.kind == Seg::Text) {
      std::u32string t = toU32(s.node.text().get());
      std::u32string head = t.substr(0, local), tail = t.substr(local);
      if (plain) {
        setWText(s.node, head + std::u32string(ins) + tail);
        // Plain text joins one w:t: without fields (whose spans would move) the paragraph's
        // text and pieces follow by themselves, as a new walk would find them.
        if (rec->fields.empty())
          grownSeg = static_cast<size_t>(it - 1 - segs.begin());
      } else {
        pugi::xml_node wt = s.node, last = s.node, parent = s.node.parent();
        bool first = true;
        emitTokens(ins, n_, [&](const char* name) -> pugi::xml_node {
          if (first && !std::strcmp(name, n_.t.c_str())) {
            first = false;
            return wt; // the first text piece joins the existing w:t (set below)
          }
          first = false;
          last = parent.insert_child_after(name, last);
          return last;
        });
        // emitTokens overwrote wt's text when the first token was text: prepend head.
        std::u32string cur = toU32(wt.text().get());
        bool firstWasText = ins[0] >= 0x20;
        setWText(wt, firstWasText ? head + cur : head);
        if (!tail.empty()) {
          pugi::xml_node tt = parent.insert_child_after(n_.t.c_str(), last);
          setWText(tt, tail);
        }
      }
    } else {
      pugi::xml_node anchor = s.node, parent = s.node.parent();
      if (before) {
        emitTokens(ins, n_,
                   [&](const char* name) { return parent.insert_child_before(name, anchor); });
      } else {
        pugi::xml_node last = anchor;
        emitTokens(ins, n_,
                   [&](const char* name) { return last = parent.insert_child_after(name, last); });
      }
    }
  }
  touch();
  textChanged(rec);
  if (grownSeg != SIZE_MAX) {
    rec->text.insert(a, ins);
    rec->segs[grownSeg].len += static_cast<uint32_t>(ins.size());
    for (size_t k = grownSeg + 1; k < rec->segs.size(); ++k)
      rec->segs[k].off += static_cast<uint32_t>(ins.size());
    rec->textValid = true;
  }
}

pugi::xml_node Story::splitRunAt(ParaRec* rec, size_t k) {
  const std::u32string& t = content(rec);
  if (k == 0 || k >= t.size())
    return {};
  auto it = std::upper_bound(rec->segs.begin(), rec->segs.end(), k,
                             [](size_t v, const Seg& s) { return v < s.off; });
  Seg s = *(it - 1);
  pugi::xml_node node = s.node;
  if (s.kind == Seg::Text && k > s.off) {
    std::u32string full = toU32(s.node.text().get());
    size_t local = k - s.off;
    setWText(s.node, full.substr(0, local));
    node = s.node.parent().insert_child_after(n_.t.c_str(), s.node);
    setWText(node, full.substr(local));
  }
  pugi::xml_node r = node.parent();
  if (!n_.is(r, "r"))
    return node;
  bool hasPrev = false;
  for (pugi::xml_node c = node.previous_sibling(); c && !hasPrev; c = c.previous_sibling())
    if (c.type() == pugi::node_element && !n_.is(c, "rPr"))
      hasPrev = true;
  if (hasPrev) {
    pugi::xml_node r2 = r.parent().insert_child_after(r.name(), r);
    if (pugi::xml_node rp = r.child(n_.rPr.c_str()))
      r2.append_copy(rp);
    std::vector<pugi::xml_node> move;
    for (pugi::xml_node c = node; c; c = c.next_sibling())
      move.push_back(c);
    for (pugi::xml_node c : move)
      r2.append_move(c);
  }
  touch();
  textChanged(rec);
  return node;
}

pugi::xml_node Story::splitParagraph(ParaRec* rec, size_t k) {
  const std::u32string& t = content(rec);
  pugi::xml_node p = rec->p;
  pugi::xml_node tailStart;
  if (k < t.size()) {
    auto it = std::upper_bound(rec->segs.begin(), rec->segs.end(), k,
                               [](size_t v, const Seg& s) { return v < s.off; });
    Seg s = *(it - 1);
    tailStart = s.node;
    if (s.kind == Seg::Text && k > s.off) {
      std::u32string full = toU32(s.node.text().get());
      size_t local = k - s.off;
      setWText(s.node, full.substr(0, local));
      tailStart = s.node.parent().insert_child_after(n_.t.c_str(), s.node);
      setWText(tailStart, full.substr(local));
    }
    // Split every container between the text and the paragraph.
    pugi::xml_node T = tailStart;
    while (T.parent() != p) {
      pugi::xml_node A = T.parent();
      bool hasPrev = false;
      for (pugi::xml_node c = T.previous_sibling(); c && !hasPrev; c = c.previous_sibling())
        if (c.type() == pugi::node_element && !isPropertyLike(n_.localOf(c)))
          hasPrev = true;
      const char* aLocal = n_.localOf(A);
      if (!hasPrev || (aLocal && !std::strcmp(aLocal, "fldSimple"))) {
        T = A;
        continue;
      }
      pugi::xml_node clone, target;
      if (aLocal && !std::strcmp(aLocal, "sdtContent")) {
        pugi::xml_node sdt = A.parent();
        clone = sdt.parent().insert_child_after(sdt.name(), sdt);
        for (pugi::xml_attribute at : sdt.attributes())
          clone.append_attribute(at.name()).set_value(at.value());
        if (pugi::xml_node pr = sdt.child(n_.q("sdtPr"))) {
          pugi::xml_node cp = clone.append_copy(pr);
          while (pugi::xml_node id = cp.child(n_.q("id")))
            cp.remove_child(id);
        }
        target = clone.append_child(A.name());
      } else {
        clone = A.parent().insert_child_after(A.name(), A);
        for (pugi::xml_attribute at : A.attributes())
          clone.append_attribute(at.name()).set_value(at.value());
        for (pugi::xml_node c = A.first_child(); c; c = c.next_sibling())
          if (c.type() == pugi::node_element && isPropertyLike(n_.localOf(c)))
            clone.append_copy(c);
        target = clone;
      }
      std::vector<pugi::xml_node> move;
      for (pugi::xml_node c = T; c; c = c.next_sibling())
        move.push_back(c);
      for (pugi::xml_node c : move)
        target.append_move(c);
      T = clone;
    }
    tailStart = T;
  }
  pugi::xml_node q = p.parent().insert_child_after(p.name(), p);
  if (pugi::xml_node pPr = p.child(n_.pPr.c_str())) {
    q.append_copy(pPr);
    // The original mark now ends the tail: its section break goes with it.
    if (pugi::xml_node sp = pPr.child(n_.sectPr.c_str())) {
      pPr.remove_child(sp);
      marksValid_ = false;
    }
  }
  if (tailStart) {
    std::vector<pugi::xml_node> move;
    for (pugi::xml_node c = tailStart; c; c = c.next_sibling())
      move.push_back(c);
    for (pugi::xml_node c : move)
      q.append_move(c);
  }
  touch();
  textChanged(rec);
  return q;
}

void Story::insertedParagraphAfter(ParaRec* rec, pugi::xml_node q) {
  marksValid_ = false;
  if (batch_) {
    batchDirty_ = true;
    return;
  }
  int i = indexOf(rec);
  ParaRec* nr = makeRec(q);
  nr->inTable = rec->inTable;
  nr->cellEnd = rec->cellEnd;
  rec->cellEnd = false;
  paras_.insert(paras_.begin() + i + 1, nr);
  nr->index = i + 1;
  invalidateFrom(i + 1);
}

void Story::removedParagraph(ParaRec* rec) {
  marksValid_ = false;
  byNode_.erase(rec->p.internal_object());
  if (batch_) {
    rec->dead = true;
    batchDirty_ = true;
    return;
  }
  int i = indexOf(rec);
  rec->dead = true;
  if (i >= 0) {
    paras_.erase(paras_.begin() + i);
    invalidateFrom(i);
  }
}

void Story::editParagraph(ParaRec* rec, size_t a, size_t b, std::u32string_view ins,
                          bool keepFields) {
  // Paragraph boundaries: "\r", "\n" and "\r\n" each make one.
  std::u32string joined;
  std::vector<size_t> cuts;
  for (size_t i = 0; i < ins.size(); ++i) {
    char32_t c = ins[i];
    if (c == U'\r' || c == U'\n') {
      if (c == U'\r' && i + 1 < ins.size() && ins[i + 1] == U'\n')
        ++i;
      cuts.push_back(a + joined.size());
      continue;
    }
    joined.push_back(c);
  }
  // Typing over characters gives the new text the formatting of the first one replaced.
  insertContent(rec, a, joined, b > a);
  if (b > a)
    deleteContent(rec, a + joined.size(), b + joined.size(),
                  keepFields ? FieldRule::Keep : FieldRule::Covered);
  for (size_t k = cuts.size(); k-- > 0;) {
    pugi::xml_node q = splitParagraph(rec, cuts[k]);
    insertedParagraphAfter(rec, q);
  }
}

bool Story::deleteMark(ParaRec* rec) {
  if (rec->cellEnd || endsSection(rec))
    return false;
  pugi::xml_node p = rec->p;
  std::vector<pugi::xml_node> between;
  pugi::xml_node next = nextElement(p);
  while (next && isMarker(n_.localOf(next))) {
    between.push_back(next);
    next = nextElement(next);
  }
  if (next && n_.is(next, "tbl")) {
    pugi::xml_node prev = previousElement(p);
    while (prev && isMarker(n_.localOf(prev)))
      prev = previousElement(prev);
    if (prev && n_.is(prev, "tbl"))
      return false;
  }
  if (next && n_.is(next, "p")) {
    pugi::xml_node qPr = next.child(n_.pPr.c_str());
    pugi::xml_node anchor = qPr ? qPr.next_sibling() : next.first_child();
    std::vector<pugi::xml_node> move;
    for (pugi::xml_node c = p.first_child(); c; c = c.next_sibling())
      if (!(c.type() == pugi::node_element && n_.is(c, "pPr")))
        move.push_back(c);
    for (pugi::xml_node c : between)
      move.push_back(c);
    for (pugi::xml_node c : move) {
      if (anchor)
        next.insert_move_before(c, anchor);
      else
        next.append_move(c);
    }
    ParaRec* q = recOf(next);
    removing(p);
    p.parent().remove_child(p);
    removedParagraph(rec);
    if (q)
      textChanged(q);
    touch();
    return true;
  }
  // Before a table or at the end of a container only an empty paragraph may go, and never
  // the last paragraph of the story or one that ends a section.
  if (!content(rec).empty() || !next)
    return false;
  if (!batch_ && indexOf(rec) == count() - 1)
    return false;
  for (pugi::xml_node c = p.first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_element && !n_.is(c, "pPr") && !n_.is(c, "r"))
      return false;
  removing(p);
  p.parent().remove_child(p);
  removedParagraph(rec);
  touch();
  return true;
}

int64_t Story::replace(int64_t start, int64_t end, std::u32string_view input, bool keepFields) {
  // "\r\n" and "\n" are one paragraph mark, as "\r" is.
  std::u32string normal;
  normal.reserve(input.size());
  for (size_t i = 0; i < input.size(); ++i) {
    if (input[i] == U'\r' && i + 1 < input.size() && input[i + 1] == U'\n')
      continue;
    normal.push_back(input[i] == U'\n' ? U'\r' : input[i]);
  }
  std::u32string_view text = normal;
  // Clamp to the story without walking it: positions below the valid prefix are known.
  start = std::max<int64_t>(start, 0);
  end = std::max(end, start);
  if (!built_)
    rebuild();
  ParaRec* lastKnown = validPrefix_ > 0 ? paras_[validPrefix_ - 1] : nullptr;
  int64_t knownEnd = lastKnown ? lastKnown->start + static_cast<int64_t>(fullLen(lastKnown)) : 0;
  if (end > knownEnd) {
    int64_t len = length();
    start = std::min(start, len);
    end = std::min(end, len);
  }
  std::u32string old = this->text(start, end);
  size_t pre = 0;
  while (pre < old.size() && pre < text.size() && old[pre] == text[pre])
    ++pre;
  size_t suf = 0;
  while (suf < old.size() - pre && suf < text.size() - pre &&
         old[old.size() - 1 - suf] == text[text.size() - 1 - suf])
    ++suf;
  int64_t a = start + static_cast<int64_t>(pre), b = end - static_cast<int64_t>(suf);
  std::u32string_view mid = text.substr(pre, text.size() - pre - suf);
  if (b > a) {
    // A change inside one paragraph's content is one overtyping edit.
    ParaRec* rec = at(indexAt(a));
    int64_t s = startOf(rec);
    if (b <= s + static_cast<int64_t>(content(rec).size())) {
      editParagraph(rec, static_cast<size_t>(a - s), static_cast<size_t>(b - s), mid, keepFields);
      return a + static_cast<int64_t>(mid.size()) + static_cast<int64_t>(suf);
    }
  }
  int64_t kept = 0; // characters of marks that could not be deleted
  if (b > a) {
    int i = indexAt(a), j = indexAt(b - 1);
    for (int k = j; k >= i; --k) {
      ParaRec* rec = at(k);
      int64_t s = startOf(rec);
      int64_t cl = static_cast<int64_t>(content(rec).size());
      int64_t x = std::max(a, s) - s, y = std::min(b, s + cl) - s;
      bool mark = b > s + cl;
      // A paragraph deleted whole, mark included, takes everything it holds.
      FieldRule rule = keepFields       ? FieldRule::Keep
                       : a <= s && mark ? FieldRule::All
                                        : FieldRule::Covered;
      if (y > x || rule == FieldRule::All)
        deleteContent(rec, static_cast<size_t>(x), static_cast<size_t>(y), rule);
      if (mark && !deleteMark(rec))
        kept += static_cast<int64_t>(markLen(rec));
    }
  }
  if (!mid.empty()) {
    ParaRec* rec = at(indexAt(a));
    int64_t off =
        std::clamp<int64_t>(a - startOf(rec), 0, static_cast<int64_t>(content(rec).size()));
    editParagraph(rec, static_cast<size_t>(off), static_cast<size_t>(off), mid, keepFields);
  }
  return a + static_cast<int64_t>(mid.size()) + kept + static_cast<int64_t>(suf);
}

std::vector<ParaRec*> Story::parasIn(int64_t start, int64_t end) {
  std::vector<ParaRec*> out;
  int n = count();
  if (n == 0)
    return out;
  int i = indexAt(start);
  for (int k = i; k < n; ++k) {
    ParaRec* r = at(k);
    if (k > i && startOf(r) >= end)
      break;
    out.push_back(r);
  }
  return out;
}

std::vector<pugi::xml_node> Story::runsIn(int64_t start, int64_t end, bool split,
                                          std::vector<ParaRec*>* marks) {
  std::vector<pugi::xml_node> out;
  if (end <= start)
    return out;
  for (ParaRec* rec : parasIn(start, end)) {
    int64_t s = startOf(rec);
    int64_t cl = static_cast<int64_t>(content(rec).size());
    int64_t x = std::max(start, s) - s, y = std::min(end, s + cl) - s;
    if (y > x) {
      if (split) {
        splitRunAt(rec, static_cast<size_t>(y));
        splitRunAt(rec, static_cast<size_t>(x));
      }
      content(rec);
      for (const Seg& sg : rec->segs) {
        if (sg.off < x || sg.off + sg.len > y)
          continue;
        pugi::xml_node r = sg.node.parent();
        if (!n_.is(r, "r"))
          continue;
        if (out.empty() || out.back() != r)
          out.push_back(r);
      }
    }
    if (marks && end > s + cl)
      marks->push_back(rec);
  }
  return out;
}

void Story::beginBatch() {
  count();
  batch_ = true;
}

void Story::endBatch() {
  batch_ = false;
  if (batchDirty_)
    rebuild();
}

} // namespace word

namespace word {

bool Story::replaceWithinText(ParaRec* rec, const std::vector<size_t>& hits, size_t patLen,
                              std::u32string_view repl) {
  for (char32_t c : repl)
    if (c < 0x20)
      return false;
  content(rec);
  const auto& segs = rec->segs;
  // Every hit must lie inside one text piece.
  std::vector<size_t> segOf(hits.size());
  for (size_t h = 0; h < hits.size(); ++h) {
    auto it = std::upper_bound(segs.begin(), segs.end(), hits[h],
                               [](size_t v, const Seg& sg) { return v < sg.off; });
    if (it == segs.begin())
      return false;
    const Seg& sg = *(it - 1);
    if (sg.kind != Seg::Text || hits[h] + patLen > sg.off + sg.len)
      return false;
    segOf[h] = static_cast<size_t>(it - 1 - segs.begin());
  }
  std::u32string newText;
  newText.reserve(rec->text.size() + hits.size() * repl.size());
  std::vector<Seg> newSegs;
  newSegs.reserve(segs.size());
  bool removed = false;
  size_t h = 0;
  for (size_t k = 0; k < segs.size(); ++k) {
    Seg sg = segs[k];
    std::u32string_view old = std::u32string_view(rec->text).substr(sg.off, sg.len);
    if (h < hits.size() && segOf[h] == k) {
      std::u32string piece;
      size_t from = 0;
      for (; h < hits.size() && segOf[h] == k; ++h) {
        size_t local = hits[h] - sg.off;
        piece.append(old.substr(from, local - from));
        piece.append(repl);
        from = local + patLen;
      }
      piece.append(old.substr(from));
      if (piece.empty()) {
        pugi::xml_node run = sg.node.parent();
        removing(sg.node);
        run.remove_child(sg.node);
        bool empty = n_.is(run, "r");
        for (pugi::xml_node c = run.first_child(); c && empty; c = c.next_sibling())
          if (c.type() == pugi::node_element && !n_.is(c, "rPr"))
            empty = false;
        if (empty) {
          removing(run);
          run.parent().remove_child(run);
        }
        removed = true;
        continue;
      }
      setWText(sg.node, piece);
      sg.off = static_cast<uint32_t>(newText.size());
      sg.len = static_cast<uint32_t>(piece.size());
      newText += piece;
    } else {
      sg.off = static_cast<uint32_t>(newText.size());
      newText.append(old);
    }
    newSegs.push_back(sg);
  }
  touch();
  if (removed) {
    textChanged(rec);
  } else {
    rec->text.swap(newText);
    rec->segs.swap(newSegs);
    rec->textValid = true;
    if (!batch_ && built_) {
      int i = indexOf(rec);
      if (i >= 0)
        invalidateFrom(i + 1);
    } else if (built_ && rec->index >= 0 && rec->index < validPrefix_) {
      invalidateFrom(rec->index + 1);
    }
  }
  return true;
}

bool Story::endsSection(ParaRec* rec) {
  pugi::xml_node pPr = rec->p.child(n_.pPr.c_str());
  return pPr && pPr.child(n_.sectPr.c_str());
}

const std::vector<Story::SectionMark>& Story::sectionMarks() {
  if (!built_)
    rebuild();
  if (marksValid_) {
    // A mark whose w:sectPr was taken out of its paragraph's properties behind the index's
    // back (or whose paragraph went) makes the list stale.
    for (const SectionMark& m : marks_) {
      pugi::xml_node pPr = m.sectPr.parent();
      if (m.rec->dead || !pPr || pPr.parent() != m.rec->p || !n_.is(pPr, "pPr")) {
        marksValid_ = false;
        break;
      }
    }
  }
  if (marksValid_)
    return marks_;
  marks_.clear();
  for (ParaRec* rec : paras_) {
    if (rec->inTable)
      continue;
    if (pugi::xml_node s = rec->p.child(n_.pPr.c_str()).child(n_.sectPr.c_str()))
      marks_.push_back({rec, s});
  }
  marksValid_ = true;
  return marks_;
}

bool Story::holdsObject(ParaRec* rec) {
  // The only paragraph of a block-level content control stands for the control.
  pugi::xml_node parent = rec->p.parent();
  if (const char* local = n_.localOf(parent); local && !std::strcmp(local, "sdtContent")) {
    bool alone = true;
    for (pugi::xml_node c = parent.first_child(); c && alone; c = c.next_sibling())
      if (c != rec->p && (n_.is(c, "p") || n_.is(c, "tbl") || n_.is(c, "sdt")))
        alone = false;
    if (alone)
      return true;
  }
  // Depth-first over everything but the properties.
  std::vector<pugi::xml_node> todo;
  for (pugi::xml_node c = rec->p.first_child(); c; c = c.next_sibling())
    todo.push_back(c);
  while (!todo.empty()) {
    pugi::xml_node c = todo.back();
    todo.pop_back();
    if (c.type() != pugi::node_element)
      continue;
    const char* local = n_.localOf(c);
    if (local && (!std::strcmp(local, "pPr") || !std::strcmp(local, "rPr")))
      continue;
    if (!local || !isTextOnly(local))
      return true;
    if (!std::strcmp(local, "t"))
      continue;
    for (pugi::xml_node k = c.first_child(); k; k = k.next_sibling())
      todo.push_back(k);
  }
  return false;
}

bool Story::isBlank(ParaRec* rec) {
  for (char32_t c : content(rec))
    if (c != U' ' && c != U'\u3000')
      return false;
  return !holdsObject(rec);
}

// ---- runs for new content ----------------------------------------------------------------

pugi::xml_node insertRunAt(Story& st, int64_t pos, pugi::xml_node* rPrFrom) {
  const WNames& n = st.names();
  ParaRec* rec = st.at(st.indexAt(pos));
  int64_t s = st.startOf(rec);
  int64_t len = static_cast<int64_t>(st.content(rec).size());
  int64_t off = std::clamp<int64_t>(pos - s, 0, len);
  pugi::xml_node p = rec->p;
  pugi::xml_node from;
  if (off > 0) {
    for (const Seg& sg : rec->segs)
      if (sg.off <= off - 1 && off - 1 < sg.off + sg.len && n.is(sg.node.parent(), "r"))
        from = sg.node.parent();
  }
  if (rPrFrom)
    *rPrFrom = from;
  if (off == 0) {
    pugi::xml_node pPr = p.child(n.pPr.c_str());
    return pPr ? p.insert_child_after(n.r.c_str(), pPr) : p.prepend_child(n.r.c_str());
  }
  if (off == len)
    return p.append_child(n.r.c_str());
  std::vector<pugi::xml_node> runs = st.runsIn(pos, s + len, true);
  if (runs.empty())
    return p.append_child(n.r.c_str());
  return runs.front().parent().insert_child_before(n.r.c_str(), runs.front());
}

} // namespace word
