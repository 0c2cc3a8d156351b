#include "word/font.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>

#include "base/messages.h"
#include "word/constants.h"
#include "word/document.h"
#include "word/internal/run_properties.h"
#include "word/internal/story.h"
#include "word/internal/styles.h"
#include "word/internal/xmlns.h"

namespace word {

namespace {

// The w:rPr of a run, created as its first child when missing.
pugi::xml_node runProps(pugi::xml_node r, const WNames& n) {
  if (pugi::xml_node rPr = r.child(n.rPr.c_str()))
    return rPr;
  return r.prepend_child(n.rPr.c_str());
}

// The run properties of a paragraph's mark (w:pPr/w:rPr), created when missing.
pugi::xml_node markProps(pugi::xml_node p, const WNames& n) {
  return ensureChild(paraProps(p, n), "rPr", n);
}

void setRunFontName(pugi::xml_node rPr, const std::string& name, const WNames& n) {
  if (!rPr.child(n.q("rFonts"))) {
    // A new element: the four names in the order setAttr would append them, nothing to drop.
    pugi::xml_node f = ensureChild(rPr, "rFonts", n);
    for (const char* a : {"ascii", "hAnsi", "eastAsia", "cs"})
      f.append_attribute(n.q(a)).set_value(name.c_str());
    return;
  }
  pugi::xml_node f = ensureChild(rPr, "rFonts", n);
  for (const char* a : {"ascii", "hAnsi", "eastAsia", "cs"})
    setAttr(f, a, name, n);
  for (const char* a : {"asciiTheme", "hAnsiTheme", "eastAsiaTheme", "cstheme"})
    f.remove_attribute(n.q(a));
}

} // namespace

void setRunSize(pugi::xml_node rPr, float points, const WNames& n) {
  long half = std::lround(points * 2.0f);
  if (half < 1)
    half = 1;
  if (half > 3276)
    half = 3276;
  char v[8];
  std::snprintf(v, sizeof v, "%ld", half);
  for (const char* name : {"sz", "szCs"}) {
    pugi::xml_node e = ensureChild(rPr, name, n);
    pugi::xml_attribute a = e.attribute(n.q("val"));
    (a ? a : e.append_attribute(n.q("val"))).set_value(v);
  }
}

namespace {

void setRunBold(pugi::xml_node rPr, bool on, const WNames& n) {
  for (const char* name : {"b", "bCs"}) {
    pugi::xml_node e = ensureChild(rPr, name, n);
    e.remove_attribute(n.q("val"));
    if (!on)
      setAttr(e, "val", "0", n);
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
  // For a run (its w:rPr given) or a paragraph's mark (`run` empty) of paragraph `p`.
  bool operator()(pugi::xml_node p, pugi::xml_node run, pugi::xml_node rPr) {
    if (p != lastP_) {
      lastP_ = p;
      lastPs_ = attr(p.child(n_.pPr.c_str()).child(n_.pStyle.c_str()), "val", n_);
    }
    std::string rs = run ? attr(rPr.child(n_.rStyle.c_str()), "val", n_) : std::string();
    auto key = std::make_pair(std::move(rs), lastPs_);
    auto it = known_.find(key);
    if (it == known_.end())
      it = known_.emplace(key, boldMentionedInStyles(doc_, key.first, key.second)).first;
    return it->second;
  }

private:
  Document& doc_;
  const WNames& n_;
  pugi::xml_node lastP_;
  std::string lastPs_;
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
  BoldAbove boldAbove(*st->document(), n);
  auto set = [&](pugi::xml_node p, pugi::xml_node run, pugi::xml_node rPr) {
    if (on || boldAbove(p, run, rPr)) {
      setRunBold(rPr, on, n);
      return;
    }
    // Every w:b and w:bCs goes, in one pass over the properties.
    const char* b = n.q("b");
    const char* bCs = n.q("bCs");
    for (pugi::xml_node e = rPr.first_child(); e;) {
      pugi::xml_node next = e.next_sibling();
      if (e.type() == pugi::node_element &&
          (!std::strcmp(e.name(), b) || !std::strcmp(e.name(), bCs)))
        rPr.remove_child(e);
      e = next;
    }
  };
  std::vector<ParaRec*> marks;
  for (pugi::xml_node run : st->runsIn(range_->start(), range_->end(), true, &marks)) {
    pugi::xml_node p = run.parent();
    while (p && !n.is(p, "p"))
      p = p.parent();
    set(p, run, runProps(run, n));
  }
  for (ParaRec* m : marks)
    set(m->p, pugi::xml_node(), markProps(m->p, n));
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
