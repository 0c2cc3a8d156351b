#include "word/font.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <string_view>
#include <tuple>
#include <vector>

#include "base/messages.h"
#include "word/constants.h"
#include "word/document.h"
#include "word/internal/run_properties.h"
#include "word/internal/shared_xml.h"
#include "word/internal/story.h"
#include "word/internal/styles.h"
#include "word/internal/xmlns.h"

namespace word {

namespace {

// The w:rPr of a run, created as its first child when missing (a copy of `made` when given).
// It is nearly always the first child: that is looked at before the children are searched by
// name.
pugi::xml_node runProps(pugi::xml_node r, const WNames& n, pugi::xml_node made = {}) {
  pugi::xml_node first = r.first_child();
  if (first && std::strcmp(first.name(), n.rPr.c_str()) == 0)
    return first;
  if (pugi::xml_node rPr = r.child(n.rPr.c_str()))
    return rPr;
  return insertMadeChild(r, made, n.rPr.c_str(), r.first_child());
}

// The run properties of a paragraph's mark (w:pPr/w:rPr), created when missing where
// ensureChild places it: before the first child that follows w:rPr in w:pPr's schema order.
// Only the few names that follow it are compared, rather than every child ranked.
pugi::xml_node markProps(pugi::xml_node p, const WNames& n) {
  pugi::xml_node pPr = paraProps(p, n);
  if (pugi::xml_node c = pPr.child(n.rPr.c_str()))
    return c;
  static const std::vector<std::string_view> after = [] {
    std::vector<std::string_view> out;
    for (const char* local : kPPrOrder)
      if (pPrRank(local) > pPrRank("rPr"))
        out.emplace_back(local);
    return out;
  }();
  for (pugi::xml_node c = pPr.first_child(); c; c = c.next_sibling()) {
    const char* local = n.localOf(c);
    if (local && std::find(after.begin(), after.end(), std::string_view(local)) != after.end())
      return pPr.insert_child_before(n.rPr.c_str(), c);
  }
  return pPr.append_child(n.rPr.c_str());
}

// The schema ranks of the run properties the Font writes, looked up once.
struct Ranks {
  int rStyle = rPrRank("rStyle"), rFonts = rPrRank("rFonts"), b = rPrRank("b"),
      bCs = rPrRank("bCs"), sz = rPrRank("sz"), szCs = rPrRank("szCs");
};
const Ranks& ranks() {
  static const Ranks r;
  return r;
}

// The children of one w:rPr with their schema ranks, read in one pass: each property is then
// found, or placed where ensureChild would place it, without comparing every child's name
// again. Every change to the list goes through this index. One index serves the runs of an
// edit in turn (reset), so its storage is allocated once.
class RunPropsIndex {
public:
  explicit RunPropsIndex(const WNames& n) : n_(n) {}
  RunPropsIndex(pugi::xml_node rPr, const WNames& n) : n_(n) { reset(rPr); }
  void reset(pugi::xml_node rPr) {
    rPr_ = rPr;
    kids_.clear();
    for (pugi::xml_node c = rPr.first_child(); c; c = c.next_sibling())
      kids_.push_back({c, rPrRank(n_.localOf(c))});
  }
  pugi::xml_node props() const { return rPr_; }
  const WNames& names() const { return n_; }

  // The first child of schema rank `rank` (≥ 0), or an empty node.
  pugi::xml_node find(int rank) const {
    for (const Kid& k : kids_)
      if (k.rank == rank)
        return k.node;
    return {};
  }
  // The child `qname` of schema rank `rank` (≥ 0), created at its schema position when missing
  // (as ensureChild does).
  // A created child is a copy of `made` when given (strings shared with it).
  pugi::xml_node ensure(int rank, const char* qname, pugi::xml_node made = {}) {
    if (pugi::xml_node c = find(rank))
      return c;
    for (size_t i = 0; i < kids_.size(); ++i)
      if (kids_[i].rank > rank) {
        pugi::xml_node c = insertMadeChild(rPr_, made, qname, kids_[i].node);
        kids_.insert(kids_.begin() + static_cast<std::ptrdiff_t>(i), {c, rank});
        return c;
      }
    pugi::xml_node c = insertMadeChild(rPr_, made, qname, {});
    kids_.push_back({c, rank});
    return c;
  }
  // Removes every child of schema rank `rank`.
  void removeAll(int rank) {
    for (size_t i = 0; i < kids_.size();)
      if (kids_[i].rank == rank) {
        rPr_.remove_child(kids_[i].node);
        kids_.erase(kids_.begin() + static_cast<std::ptrdiff_t>(i));
      } else {
        ++i;
      }
  }

private:
  struct Kid {
    pugi::xml_node node;
    int rank; // -1: no property of the main namespace's w:rPr order
  };
  pugi::xml_node rPr_;
  const WNames& n_;
  std::vector<Kid> kids_;
};

// The qualified names a Font edit writes, looked up once per edit rather than per run.
struct EditNames {
  explicit EditNames(const WNames& n)
      : rFonts(n.q("rFonts")), b(n.q("b")), bCs(n.q("bCs")), sz(n.q("sz")), szCs(n.q("szCs")),
        val(n.q("val")), slots{n.q("ascii"), n.q("hAnsi"), n.q("eastAsia"), n.q("cs")},
        themes{n.q("asciiTheme"), n.q("hAnsiTheme"), n.q("eastAsiaTheme"), n.q("cstheme")} {}
  const char *rFonts, *b, *bCs, *sz, *szCs, *val;
  const char* slots[4];
  const char* themes[4];
  // Templates of the elements an edit writes whole (empty: made the usual way), and the
  // document's shared strings for values set on elements already there.
  pugi::xml_node rFontsMade, szMade, szCsMade;
  SharedXml* shared = nullptr;
};

void setRunFontName(RunPropsIndex& props, const EditNames& q, const std::string& name) {
  if (!props.find(ranks().rFonts)) {
    // A new element: the four names in the order setAttr would append them, nothing to drop.
    pugi::xml_node f = props.ensure(ranks().rFonts, q.rFonts, q.rFontsMade);
    if (!q.rFontsMade)
      for (const char* a : q.slots)
        f.append_attribute(a).set_value(name.c_str());
    return;
  }
  pugi::xml_node f = props.ensure(ranks().rFonts, q.rFonts);
  for (const char* a : q.slots) {
    if (q.shared) {
      setSharedAttribute(*q.shared, f, a, name.c_str());
      continue;
    }
    pugi::xml_attribute at = f.attribute(a);
    (at ? at : f.append_attribute(a)).set_value(name.c_str());
  }
  for (const char* a : q.themes)
    f.remove_attribute(a);
}

// The value of w:sz for a size in points: half-points, rounded, within what the file allows.
struct HalfPoints {
  explicit HalfPoints(float points) {
    long half = std::lround(points * 2.0f);
    if (half < 1)
      half = 1;
    if (half > 3276)
      half = 3276;
    std::snprintf(v, sizeof v, "%ld", half);
  }
  char v[8];
};

void setRunSize(RunPropsIndex& props, const EditNames& q, const HalfPoints& size) {
  for (auto [rank, name, made] :
       {std::tuple(ranks().sz, q.sz, q.szMade), std::tuple(ranks().szCs, q.szCs, q.szCsMade)}) {
    if (made && !props.find(rank)) {
      props.ensure(rank, name, made);
      continue;
    }
    pugi::xml_node e = props.ensure(rank, name);
    if (q.shared) {
      setSharedAttribute(*q.shared, e, q.val, size.v);
      continue;
    }
    pugi::xml_attribute a = e.attribute(q.val);
    (a ? a : e.append_attribute(q.val)).set_value(size.v);
  }
}

} // namespace

void setRunSize(pugi::xml_node rPr, float points, const WNames& n) {
  RunPropsIndex props(rPr, n);
  setRunSize(props, EditNames(n), HalfPoints(points));
}

namespace {

void setRunBold(RunPropsIndex& props, const EditNames& q, bool on) {
  for (auto [rank, name] : {std::pair(ranks().b, q.b), std::pair(ranks().bCs, q.bCs)}) {
    pugi::xml_node e = props.ensure(rank, name);
    e.remove_attribute(q.val);
    if (!on)
      e.append_attribute(q.val).set_value("0");
  }
}

void setRunSpacing(pugi::xml_node rPr, float points, const WNames& n) {
  long twips = std::lround(points * 20.0f);
  if (twips == 0) {
    if (pugi::xml_node e = rPr.child(n.q("spacing")))
      rPr.remove_child(e);
    return;
  }
  setAttr(ensureChild(rPr, "spacing", n), "val", std::to_string(twips), n);
}

// Looks a run property up through direct formatting, the character style chain, the
// paragraph style chain and the document defaults. `get(rPr, names)` returns a value or
// nothing.
template <class T, class Get>
std::optional<T> lookupRun(Document& doc, Story* st, pugi::xml_node run, Get get) {
  const WNames& n = st->names();
  pugi::xml_node p = run;
  bool isPara = n.is(run, "p");
  if (!isPara)
    while (p && !n.is(p, "p"))
      p = p.parent();
  if (run) {
    pugi::xml_node rPr =
        isPara ? run.child(n.pPr.c_str()).child(n.rPr.c_str()) : run.child(n.rPr.c_str());
    if (rPr)
      if (auto v = get(rPr, n))
        return v;
    if (!isPara && rPr) {
      std::string rs = attr(rPr.child(n.rStyle.c_str()), "val", n);
      if (auto v = lookupStyleChain<T>(doc, rs, "rPr", get))
        return v;
    }
  }
  std::string ps;
  if (p)
    ps = attr(p.child(n.pPr.c_str()).child(n.pStyle.c_str()), "val", n);
  if (ps.empty())
    ps = stylesOf(doc).defaultParagraphStyle();
  if (auto v = lookupStyleChain<T>(doc, ps, "rPr", get))
    return v;
  if (pugi::xml_node d = stylesOf(doc).docDefaultsRPr())
    if (auto v = get(d, stylesOf(doc).names()))
      return v;
  return std::nullopt;
}

// Effective values for a run (an empty run node reads the paragraph style and defaults).
} // namespace

float effectiveSize(Document& doc, Story* st, pugi::xml_node run) {
  auto v = lookupRun<float>(doc, st, run,
                            [](pugi::xml_node rPr, const WNames& n) -> std::optional<float> {
                              pugi::xml_node sz = rPr.child(n.q("sz"));
                              if (!sz)
                                return std::nullopt;
                              return static_cast<float>(sz.attribute(n.q("val")).as_double()) / 2;
                            });
  return v.value_or(10.0f);
}

namespace {

bool effectiveBold(Document& doc, Story* st, pugi::xml_node run) {
  auto v =
      lookupRun<bool>(doc, st, run, [](pugi::xml_node rPr, const WNames& n) -> std::optional<bool> {
        if (!rPr.child(n.q("b")))
          return std::nullopt;
        return onOff(rPr, "b", n);
      });
  return v.value_or(false);
}

// Whether character style `rs` (none when empty), the chain of paragraph style `ps` (the
// default paragraph style when empty) or the document defaults mention bold: what a run of
// that character style in a paragraph of that style would inherit, its direct properties
// aside.
bool boldMentionedInStyles(Document& doc, const std::string& rs, const std::string& ps) {
  auto mentions = [](pugi::xml_node props, const WNames& pn) -> std::optional<bool> {
    if (props.child(pn.q("b")) || props.child(pn.q("bCs")))
      return true;
    return std::nullopt;
  };
  if (!rs.empty() && lookupStyleChain<bool>(doc, rs, "rPr", mentions))
    return true;
  std::string paragraphStyle = ps.empty() ? stylesOf(doc).defaultParagraphStyle() : ps;
  if (lookupStyleChain<bool>(doc, paragraphStyle, "rPr", mentions))
    return true;
  if (pugi::xml_node d = stylesOf(doc).docDefaultsRPr())
    return mentions(d, stylesOf(doc).names()).has_value();
  return false;
}

// boldMentionedInStyles for the runs and paragraph marks of one edit: the styles do not
// change meanwhile, so each pair of styles is looked up once, however many runs share it.
class BoldAbove {
public:
  BoldAbove(Document& doc, const WNames& n) : doc_(doc), n_(n) {}
  // For a run (its w:rPr given, and that w:rPr's w:rStyle, empty when it has none) or a
  // paragraph's mark (`run` empty) of paragraph `p`.
  bool operator()(pugi::xml_node p, pugi::xml_node run, pugi::xml_node rStyle) {
    if (p != lastP_) {
      lastP_ = p;
      lastPs_ = attr(p.child(n_.pPr.c_str()).child(n_.pStyle.c_str()), "val", n_);
      lastValid_ = false;
    }
    std::string rs = run ? attr(rStyle, "val", n_) : std::string();
    if (lastValid_ && rs == lastRs_)
      return lastAnswer_;
    lastRs_ = rs;
    auto key = std::make_pair(std::move(rs), lastPs_);
    auto it = known_.find(key);
    if (it == known_.end())
      it = known_.emplace(key, boldMentionedInStyles(doc_, key.first, key.second)).first;
    lastValid_ = true;
    lastAnswer_ = it->second;
    return it->second;
  }

private:
  Document& doc_;
  const WNames& n_;
  pugi::xml_node lastP_;
  std::string lastPs_;
  // The last answer in paragraph `lastP_`, for character style `lastRs_`.
  std::string lastRs_;
  bool lastValid_ = false, lastAnswer_ = false;
  std::map<std::pair<std::string, std::string>, bool> known_;
};

// The font name of one slot of w:rFonts (its theme attribute first), read as lookupRun does.
std::string effectiveFontSlot(Document& doc, Story* st, pugi::xml_node run, const char* slot,
                              const char* themeSlot, const char* absent) {
  auto v = lookupRun<std::string>(
      doc, st, run, [&](pugi::xml_node rPr, const WNames& n) -> std::optional<std::string> {
        pugi::xml_node f = rPr.child(n.q("rFonts"));
        if (!f)
          return std::nullopt;
        std::string theme = attr(f, themeSlot, n);
        if (!theme.empty())
          return stylesOf(doc).themeFont(theme);
        std::string a = attr(f, slot, n);
        if (!a.empty())
          return a;
        return std::nullopt;
      });
  return v.value_or(absent);
}

std::string effectiveFontName(Document& doc, Story* st, pugi::xml_node run) {
  return effectiveFontSlot(doc, st, run, "ascii", "asciiTheme", "Times New Roman");
}

std::string effectiveFarEastFontName(Document& doc, Story* st, pugi::xml_node run) {
  return effectiveFontSlot(doc, st, run, "eastAsia", "eastAsiaTheme", "宋体");
}

float effectiveSpacing(Document& doc, Story* st, pugi::xml_node run) {
  auto v = lookupRun<float>(doc, st, run,
                            [](pugi::xml_node rPr, const WNames& n) -> std::optional<float> {
                              pugi::xml_node e = rPr.child(n.q("spacing"));
                              if (!e)
                                return std::nullopt;
                              return static_cast<float>(e.attribute(n.q("val")).as_double()) / 20;
                            });
  return v.value_or(0.0f);
}

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

// ---- Font --------------------------------------------------------------------------------

Font::Font(const Range& r) : range_(std::make_shared<Range>(r)) {}

std::string Font::name() const {
  Story* st = range_->story();
  return uniform<std::string>(
      *range_, [&](pugi::xml_node run) { return effectiveFontName(*st->document(), st, run); },
      std::string());
}

void Font::setName(const std::string& name) {
  FontChanges c;
  c.name = name;
  apply(c);
}

float Font::size() const {
  Story* st = range_->story();
  return uniform<float>(
      *range_, [&](pugi::xml_node run) { return effectiveSize(*st->document(), st, run); },
      kUndefined);
}

void Font::setSize(float points) {
  FontChanges c;
  c.size = points;
  apply(c);
}

int Font::bold() const {
  Story* st = range_->story();
  return uniform<int>(
      *range_, [&](pugi::xml_node run) { return effectiveBold(*st->document(), st, run) ? -1 : 0; },
      wdUndefined);
}

void Font::setBold(bool on) {
  FontChanges c;
  c.bold = on;
  apply(c);
}

void Font::apply(const FontChanges& c) {
  // Word refuses a size outside 1 to 1638 points; so does the model, rather than clamp.
  if (c.size && !(*c.size >= 1.0f && *c.size <= 1638.0f))
    throw DocumentError(msg::text(msg::kFontSizeInvalid, *c.size));
  Story* st = range_->story();
  if (!st)
    return;
  const WNames& n = st->names();
  std::optional<BoldAbove> boldAbove;
  if (c.bold && !*c.bold)
    boldAbove.emplace(*st->document(), n);
  // Each w:rPr is read once for all the changes, in the order name, size, weight.
  EditNames q(n);
  std::optional<HalfPoints> size;
  if (c.size)
    size.emplace(*c.size);
  // What the edit writes on every run is held once by the document, not once per run.
  SharedXml shared(st->root());
  q.shared = &shared;
  if (c.name) {
    const char* v = c.name->c_str();
    q.rFontsMade = shared.element(
        q.rFonts, {{q.slots[0], v}, {q.slots[1], v}, {q.slots[2], v}, {q.slots[3], v}});
  }
  const pugi::xml_node rPrMade = shared.element(n.rPr.c_str());
  if (size) {
    q.szMade = shared.element(q.sz, {{q.val, size->v}});
    q.szCsMade = shared.element(q.szCs, {{q.val, size->v}});
  }
  RunPropsIndex props(n);
  auto edit = [&](pugi::xml_node p, pugi::xml_node run, pugi::xml_node rPr) {
    props.reset(rPr);
    if (c.name)
      setRunFontName(props, q, *c.name);
    if (size)
      setRunSize(props, q, *size);
    if (c.bold) {
      // "Not bold" is written only where a style or the defaults would make the text bold:
      // the file format's default is not bold, and leaving it out keeps every run smaller.
      if (*c.bold || (*boldAbove)(p, run, run ? props.find(ranks().rStyle) : pugi::xml_node())) {
        setRunBold(props, q, *c.bold);
      } else {
        props.removeAll(ranks().b);
        props.removeAll(ranks().bCs);
      }
    }
  };
  std::vector<ParaRec*> marks;
  for (pugi::xml_node run : st->runsIn(range_->start(), range_->end(), true, &marks)) {
    pugi::xml_node p;
    if (boldAbove) {
      p = run.parent();
      while (p && !n.is(p, "p"))
        p = p.parent();
    }
    edit(p, run, runProps(run, n, rPrMade));
  }
  for (ParaRec* m : marks)
    edit(m->p, pugi::xml_node(), markProps(m->p, n));
  st->touch();
}

std::string Font::nameFarEast() const {
  Story* st = range_->story();
  return uniform<std::string>(
      *range_,
      [&](pugi::xml_node run) { return effectiveFarEastFontName(*st->document(), st, run); },
      std::string());
}

float Font::spacing() const {
  Story* st = range_->story();
  return uniform<float>(
      *range_, [&](pugi::xml_node run) { return effectiveSpacing(*st->document(), st, run); },
      kUndefined);
}

void Font::setSpacing(float points) {
  if (!(points >= -1584.0f && points <= 1584.0f))
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatCharacterSpacing,
                                  msg::text(msg::kUnitPoints, points)));
  Story* st = range_->story();
  if (!st)
    return;
  std::vector<ParaRec*> marks;
  for (pugi::xml_node run : st->runsIn(range_->start(), range_->end(), true, &marks))
    setRunSpacing(runProps(run, st->names()), points, st->names());
  for (ParaRec* m : marks)
    setRunSpacing(markProps(m->p, st->names()), points, st->names());
  st->touch();
}

} // namespace word
