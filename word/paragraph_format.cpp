// ParagraphFormat's members. Each setter other than the alignment's is one change to one property
// element of w:pPr (its attributes set, removed or set when missing). Changes are applied
// through a per-paragraph index of the w:pPr children, so that many changes over many
// paragraphs cost one pass and no repeated searches.

#include "word/paragraph_format.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "base/messages.h"
#include "word/document.h"
#include "word/internal/shared_xml.h"
#include "word/internal/story.h"
#include "word/internal/styles.h"
#include "word/internal/xmlns.h"

namespace word {

namespace {

constexpr int kSlots = static_cast<int>(kPPrOrder.size());

int rankOf(const char* local) {
  return pPrRank(local);
}

enum class Action : uint8_t { Set, Remove, SetIfMissing };

struct AttrChange {
  const char* attr; // local name
  Action action;
  std::string value;
};

// One setter call: changes to the attributes of one property element, created when missing.
struct Change {
  int rank; // of the element in kPPrOrder
  std::vector<AttrChange> attrs;
};

std::string num(long v) {
  return std::to_string(v);
}

// `what` names the value in the catalogue's words (msg::kWhat…).
long twips(float points, const char* what) {
  if (!std::isfinite(points) || std::fabs(points) > 1584.0f)
    throw DocumentError(
        msg::text(msg::kValueOutOfRange, what, msg::text(msg::kUnitPoints, points)));
  return std::lround(static_cast<double>(points) * 20.0);
}

// `unit` is msg::kUnitCharacters or msg::kUnitLines.
long hundredths(float v, const char* what, const char* unit) {
  if (!std::isfinite(v) || std::fabs(v) > 1000.0f)
    throw DocumentError(msg::text(msg::kValueOutOfRange, what, msg::text(unit, v)));
  return std::lround(static_cast<double>(v) * 100.0);
}

Change onOffChange(const char* element, bool on) {
  if (on)
    return {rankOf(element), {{"val", Action::Remove, {}}}};
  return {rankOf(element), {{"val", Action::Set, "0"}}};
}

// The effect of a sequence of changes on one attribute, reduced to one action.
struct Net {
  bool any = false;
  Action action = Action::Set;
  std::string value;
  void add(const AttrChange& c) {
    if (!any || c.action != Action::SetIfMissing) {
      any = true;
      action = c.action;
      value = c.value;
    } else if (action == Action::Remove) {
      action = Action::Set;
      value = c.value;
    }
  }
};

// Values that need not be written when nothing above the paragraph sets the property: the
// file format's default is the same (and every consumer agrees on it). Leaving them out keeps
// paragraphs small; the effective format is the same.
constexpr const char* kOffByDefault[] = {
    "keepNext",    "keepLines", "pageBreakBefore", "suppressLineNumbers", "suppressAutoHyphens",
    "topLinePunct"};

// Attributes whose "0" is the default, with the attributes that share their meaning; each
// group is one bit of a mention mask, after the element bits.
struct AttrGroup {
  const char* names[2];
};
constexpr AttrGroup kZeroByDefault[] = {{{"leftChars", "startChars"}},
                                        {{"rightChars", "endChars"}},
                                        {{"firstLineChars", "hangingChars"}},
                                        {{"beforeAutospacing", nullptr}},
                                        {{"afterAutospacing", nullptr}},
                                        {{"left", "start"}},
                                        {{"right", "end"}},
                                        {{"firstLine", "hanging"}}};

int zeroGroupOf(const char* attr) {
  for (size_t g = 0; g < std::size(kZeroByDefault); ++g)
    for (const char* a : kZeroByDefault[g].names)
      if (a && !std::strcmp(a, attr))
        return static_cast<int>(g);
  return -1;
}

// The indent groups above: a list level's own indents apply to a numbered paragraph, so its
// zero indents are always written.
constexpr int kFirstIndentGroup = 5;
static_assert(std::size(kZeroByDefault) == kFirstIndentGroup + 3);
static_assert(kSlots + std::size(kZeroByDefault) <= 64);

uint64_t elementBit(int rank) {
  return uint64_t{1} << rank;
}
uint64_t groupBit(int group) {
  return uint64_t{1} << (kSlots + group);
}
uint64_t indentGroupBits() {
  return groupBit(kFirstIndentGroup) | groupBit(kFirstIndentGroup + 1) |
         groupBit(kFirstIndentGroup + 2);
}

// The properties a w:pPr mentions, as a mask of element and attribute-group bits.
uint64_t mentions(pugi::xml_node pPr, const WNames& n) {
  uint64_t m = 0;
  for (pugi::xml_node c = pPr.first_child(); c; c = c.next_sibling()) {
    int r = rankOf(n.localOf(c));
    if (r < 0)
      continue;
    m |= elementBit(r);
    if (!std::strcmp(kPPrOrder[static_cast<size_t>(r)], "numPr"))
      m |= indentGroupBits();
    for (pugi::xml_attribute a = c.first_attribute(); a; a = a.next_attribute()) {
      const char* name = a.name();
      const char* colon = std::strchr(name, ':');
      int g = zeroGroupOf(colon ? colon + 1 : name);
      if (g >= 0)
        m |= groupBit(g);
    }
  }
  return m;
}

// What the style hierarchy of paragraphs mentions, per paragraph style, for one application.
class StyleMentions {
public:
  explicit StyleMentions(Document& doc) : doc_(doc) {}
  uint64_t of(const std::string& styleId) {
    auto it = cache_.find(styleId);
    if (it != cache_.end())
      return it->second;
    const WNames& sn = stylesOf(doc_).names();
    uint64_t m = 0;
    std::string id = styleId.empty() ? stylesOf(doc_).defaultParagraphStyle() : styleId;
    for (int guard = 0; !id.empty() && guard < 32; ++guard) {
      pugi::xml_node s = stylesOf(doc_).node(id);
      if (!s)
        break;
      m |= mentions(s.child(sn.pPr.c_str()), sn);
      id = attr(s.child(sn.q("basedOn")), "val", sn);
    }
    if (pugi::xml_node d = stylesOf(doc_).docDefaultsPPr())
      m |= mentions(d, sn);
    cache_.emplace(styleId, m);
    return m;
  }

private:
  Document& doc_;
  std::unordered_map<std::string, uint64_t> cache_;
};

// Changes compiled for application: per element, the net action of each attribute, with the
// part's qualified names resolved once.
struct Compiled {
  struct Attr {
    std::string qname;
    Action action;
    std::string value;
    int zeroGroup; // >= 0: a "0" that need not be written (see kZeroByDefault)
  };
  struct Element {
    int rank;
    std::string qname;
    std::vector<Attr> attrs;
    bool defaultValue; // the element states the default: not written when nothing sets it
  };
  std::vector<Element> elements; // in schema order
  std::string prefix;            // of the names above
  size_t changeCount = 0;        // number of changes compiled
  bool mayOmit = false;          // some value need not be written

  Compiled(const std::vector<Change>& changes, const WNames& n)
      : prefix(n.prefix()), changeCount(changes.size()) {
    std::array<std::vector<std::pair<const char*, Net>>, kSlots> per;
    std::array<bool, kSlots> used{};
    for (const Change& c : changes) {
      used[static_cast<size_t>(c.rank)] = true;
      auto& list = per[static_cast<size_t>(c.rank)];
      for (const AttrChange& a : c.attrs) {
        auto it = std::find_if(list.begin(), list.end(),
                               [&](const auto& e) { return !std::strcmp(e.first, a.attr); });
        if (it == list.end()) {
          list.emplace_back(a.attr, Net{});
          it = list.end() - 1;
        }
        it->second.add(a);
      }
    }
    for (int r = 0; r < kSlots; ++r) {
      if (!used[static_cast<size_t>(r)])
        continue;
      const char* local = kPPrOrder[static_cast<size_t>(r)];
      Element e{r, n.q(local), {}, false};
      for (auto& [attr, net] : per[static_cast<size_t>(r)]) {
        int g = net.action == Action::Set && net.value == "0" ? zeroGroupOf(attr) : -1;
        e.attrs.push_back({n.q(attr), net.action, net.value, g});
        mayOmit = mayOmit || g >= 0;
      }
      // An element whose only change is w:val set to the default.
      if (e.attrs.size() == 1 && !std::strcmp(per[static_cast<size_t>(r)][0].first, "val") &&
          e.attrs[0].action == Action::Set) {
        const std::string& v = e.attrs[0].value;
        bool off = v == "0" && std::any_of(std::begin(kOffByDefault), std::end(kOffByDefault),
                                           [&](const char* o) { return !std::strcmp(o, local); });
        e.defaultValue = off || (!std::strcmp(local, "outlineLvl") && v == "9") ||
                         (!std::strcmp(local, "textAlignment") && v == "auto");
      }
      mayOmit = mayOmit || e.defaultValue;
      elements.push_back(std::move(e));
    }
  }

  // Templates of what applyTo() writes, from the document's shared strings: per element, the
  // element and then the value of each attribute it sets (empty handles where there are none).
  struct Made {
    SharedXml* shared = nullptr;
    std::vector<pugi::xml_node> elements;
    std::vector<std::vector<pugi::xml_attribute>> attrs;
  };
  Made templates(SharedXml& shared) const {
    Made m{&shared, {}, {}};
    for (const Element& e : elements) {
      m.elements.push_back(shared.element(e.qname.c_str()));
      auto& list = m.attrs.emplace_back();
      for (const Attr& a : e.attrs)
        list.push_back(a.action == Action::Remove
                           ? pugi::xml_attribute()
                           : shared.attribute(a.qname.c_str(), a.value.c_str()));
    }
    return m;
  }

  // `styles` is consulted only when a value might be left out.
  void applyTo(pugi::xml_node pPr, const WNames& n, StyleMentions& styles, const Made& made) const {
    std::array<pugi::xml_node, kSlots> slot{};
    for (pugi::xml_node c = pPr.first_child(); c; c = c.next_sibling()) {
      int r = rankOf(n.localOf(c));
      if (r >= 0 && !slot[static_cast<size_t>(r)])
        slot[static_cast<size_t>(r)] = c;
    }
    uint64_t inherited = 0;
    if (mayOmit) {
      pugi::xml_node ps = slot[0]; // w:pStyle
      inherited = styles.of(ps ? ps.attribute(n.val.c_str()).value() : "");
      if (slot[static_cast<size_t>(rankOf("numPr"))])
        inherited |= indentGroupBits();
    }
    for (size_t ei = 0; ei < elements.size(); ++ei) {
      const Element& e = elements[ei];
      pugi::xml_node& node = slot[static_cast<size_t>(e.rank)];
      if (!node) {
        if (e.defaultValue && !(inherited & elementBit(e.rank)))
          continue;
        // Not created for values that would all be left out (an element switched on by
        // presence alone, with no value to set, is created).
        bool sets = false, needed = false;
        for (const Attr& a : e.attrs) {
          if (a.action == Action::Remove)
            continue;
          sets = true;
          needed = needed || a.zeroGroup < 0 || (inherited & groupBit(a.zeroGroup));
        }
        if (sets && !needed)
          continue;
        // Before the first later element, as ensureChild() places it.
        pugi::xml_node before;
        for (int r = e.rank + 1; r < kSlots && !before; ++r)
          before = slot[static_cast<size_t>(r)];
        node = insertMadeChild(pPr, made.elements[ei], e.qname.c_str(), before);
      }
      for (size_t ai = 0; ai < e.attrs.size(); ++ai) {
        const Attr& a = e.attrs[ai];
        pugi::xml_attribute x = node.attribute(a.qname.c_str());
        switch (a.action) {
        case Action::Remove:
          if (x)
            node.remove_attribute(x);
          break;
        case Action::SetIfMissing:
          if (x)
            break;
          [[fallthrough]];
        case Action::Set:
          if (!x && a.zeroGroup >= 0 && !(inherited & groupBit(a.zeroGroup)))
            break;
          if (pugi::xml_attribute t = made.attrs[ei][ai]) {
            placeSharedAttribute(node, x, t);
            break;
          }
          if (!x)
            x = node.append_attribute(a.qname.c_str());
          x.set_value(a.value.c_str());
          break;
        }
      }
    }
  }
};

} // namespace

struct ParagraphFormatChanges {
  std::vector<Change> list;
  // The list compiled for the last part's names: a format applied paragraph by paragraph is
  // compiled once.
  std::unique_ptr<Compiled> compiled;

  const Compiled& compiledFor(const WNames& n) {
    if (!compiled || compiled->prefix != n.prefix() || compiled->changeCount != list.size())
      compiled = std::make_unique<Compiled>(list, n);
    return *compiled;
  }

  static void submit(ParagraphFormat& f, Change c) {
    if (f.changes_) {
      f.changes_->list.push_back(std::move(c));
      return;
    }
    ParagraphFormatChanges once;
    once.list.push_back(std::move(c));
    once.applyTo(f);
  }

  void applyTo(const ParagraphFormat& f) {
    Story* st = f.range_ ? f.range_->story() : nullptr;
    if (!st || list.empty())
      return;
    const WNames& n = st->names();
    const Compiled& c = compiledFor(n);
    StyleMentions styles(*st->document());
    SharedXml shared(st->root());
    const Compiled::Made made = c.templates(shared);
    for (pugi::xml_node pPr : f.pPrs())
      c.applyTo(pPr, n, styles, made);
    st->touch();
  }
};

ParagraphFormat::ParagraphFormat(const Range& r) : range_(std::make_shared<Range>(r)) {}

ParagraphFormat::ParagraphFormat()
    : range_(std::make_shared<Range>()), changes_(std::make_shared<ParagraphFormatChanges>()) {}

void ParagraphFormat::apply(const ParagraphFormat& changes) {
  if (!changes.changes_)
    throw DocumentError(msg::kFormatNeedsStandalone);
  if (changes_) {
    std::vector<Change> copy = changes.changes_->list; // `changes` may be this format
    for (Change& c : copy)
      changes_->list.push_back(std::move(c));
    return;
  }
  changes.changes_->applyTo(*this);
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

// ---- alignment ----------------------------------------------------------------------------

namespace {

// wdAlignParagraph… value of a paragraph.
int effectiveAlignment(Document& doc, Story* st, pugi::xml_node p) {
  auto v = lookupParagraph<int>(doc, st, p,
                                [](pugi::xml_node pPr, const WNames& n) -> std::optional<int> {
                                  pugi::xml_node jc = pPr.child(n.q("jc"));
                                  if (!jc)
                                    return std::nullopt;
                                  std::string s = jc.attribute(n.q("val")).value();
                                  if (s == "center")
                                    return wdAlignParagraphCenter;
                                  if (s == "right" || s == "end")
                                    return wdAlignParagraphRight;
                                  if (s == "left" || s == "start")
                                    return wdAlignParagraphLeft;
                                  if (s == "distribute")
                                    return wdAlignParagraphDistribute;
                                  return wdAlignParagraphJustify;
                                });
  return v.value_or(wdAlignParagraphLeft);
}

} // namespace

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
  SharedXml shared(range_->story()->root());
  for (pugi::xml_node pPr : pPrs()) {
    const WNames& n = range_->story()->names();
    setSharedAttribute(shared, ensureChild(pPr, "jc", n), n.q("val"), kJc[wdAlign]);
  }
  range_->story()->touch();
}

// ---- reading ------------------------------------------------------------------------------

namespace {

// The value shared by every paragraph of the format, or `undefined`.
template <class T, class PerPara>
T uniformOver(const std::shared_ptr<Range>& range, T undefined, PerPara per) {
  Story* st = range ? range->story() : nullptr;
  if (!st)
    return undefined;
  std::optional<T> v;
  for (ParaRec* rec : st->parasIn(range->start(), std::max(range->end(), range->start() + 1))) {
    T x = per(*st->document(), st, rec->p);
    if (!v)
      v = x;
    else if (*v != x)
      return undefined;
  }
  return v.value_or(undefined);
}

// An attribute of a property element, as a number, looked up through the style chain.
// `names` lists alternatives tried at each level (left, then the strict start).
std::optional<double> numberAttr(Document& doc, Story* st, pugi::xml_node p, const char* element,
                                 std::initializer_list<const char*> names) {
  return lookupParagraph<double>(doc, st, p, [&](pugi::xml_node pPr, const WNames& n) {
    pugi::xml_node e = pPr.child(n.q(element));
    for (const char* a : names)
      if (pugi::xml_attribute x = e.attribute(n.q(a)))
        return std::optional<double>(x.as_double());
    return std::optional<double>();
  });
}

// Defaults of on/off properties that no style sets.
bool onOffDefault(const char* element) {
  for (const char* on : {"kinsoku", "wordWrap", "overflowPunct", "autoSpaceDE", "autoSpaceDN",
                         "snapToGrid", "adjustRightInd"})
    if (!std::strcmp(on, element))
      return true;
  return false;
}

bool effectiveOnOff(Document& doc, Story* st, pugi::xml_node p, const char* element) {
  auto v = lookupParagraph<bool>(doc, st, p, [&](pugi::xml_node pPr, const WNames& n) {
    if (!pPr.child(n.q(element)))
      return std::optional<bool>();
    return std::optional<bool>(onOff(pPr, element, n));
  });
  return v.value_or(onOffDefault(element));
}

float hundredthsRead(Document& doc, Story* st, pugi::xml_node p, const char* attr) {
  return static_cast<float>(numberAttr(doc, st, p, "ind", {attr}).value_or(0) / 100.0);
}

} // namespace

#define QF_UNIFORM(T, undefined, expr)                                                             \
  uniformOver<T>(range_, undefined,                                                                \
                 [&](Document& doc, Story* st, pugi::xml_node p) -> T { return expr; })

float ParagraphFormat::leftIndent() const {
  if (changes_)
    return kUndefined;
  return QF_UNIFORM(
      float, kUndefined,
      static_cast<float>(numberAttr(doc, st, p, "ind", {"left", "start"}).value_or(0) / 20.0));
}

float ParagraphFormat::rightIndent() const {
  if (changes_)
    return kUndefined;
  return QF_UNIFORM(
      float, kUndefined,
      static_cast<float>(numberAttr(doc, st, p, "ind", {"right", "end"}).value_or(0) / 20.0));
}

float ParagraphFormat::firstLineIndent() const {
  if (changes_)
    return kUndefined;
  return QF_UNIFORM(float, kUndefined, ([&] {
                      auto v = lookupParagraph<double>(
                          doc, st, p, [](pugi::xml_node pPr, const WNames& n) {
                            pugi::xml_node e = pPr.child(n.q("ind"));
                            if (pugi::xml_attribute h = e.attribute(n.q("hanging")))
                              return std::optional<double>(-h.as_double());
                            if (pugi::xml_attribute f = e.attribute(n.q("firstLine")))
                              return std::optional<double>(f.as_double());
                            return std::optional<double>();
                          });
                      return static_cast<float>(v.value_or(0) / 20.0);
                    }()));
}

float ParagraphFormat::characterUnitLeftIndent() const {
  if (changes_)
    return kUndefined;
  return QF_UNIFORM(float, kUndefined, hundredthsRead(doc, st, p, "leftChars"));
}

float ParagraphFormat::characterUnitRightIndent() const {
  if (changes_)
    return kUndefined;
  return QF_UNIFORM(float, kUndefined, hundredthsRead(doc, st, p, "rightChars"));
}

float ParagraphFormat::characterUnitFirstLineIndent() const {
  if (changes_)
    return kUndefined;
  return QF_UNIFORM(float, kUndefined, ([&] {
                      auto v = lookupParagraph<double>(
                          doc, st, p, [](pugi::xml_node pPr, const WNames& n) {
                            pugi::xml_node e = pPr.child(n.q("ind"));
                            if (pugi::xml_attribute h = e.attribute(n.q("hangingChars")))
                              return std::optional<double>(-h.as_double());
                            if (pugi::xml_attribute f = e.attribute(n.q("firstLineChars")))
                              return std::optional<double>(f.as_double());
                            return std::optional<double>();
                          });
                      return static_cast<float>(v.value_or(0) / 100.0);
                    }()));
}

float ParagraphFormat::spaceBefore() const {
  if (changes_)
    return kUndefined;
  return QF_UNIFORM(
      float, kUndefined,
      static_cast<float>(numberAttr(doc, st, p, "spacing", {"before"}).value_or(0) / 20.0));
}

float ParagraphFormat::spaceAfter() const {
  if (changes_)
    return kUndefined;
  return QF_UNIFORM(
      float, kUndefined,
      static_cast<float>(numberAttr(doc, st, p, "spacing", {"after"}).value_or(0) / 20.0));
}

float ParagraphFormat::lineUnitBefore() const {
  if (changes_)
    return kUndefined;
  return QF_UNIFORM(
      float, kUndefined,
      static_cast<float>(numberAttr(doc, st, p, "spacing", {"beforeLines"}).value_or(0) / 100.0));
}

float ParagraphFormat::lineUnitAfter() const {
  if (changes_)
    return kUndefined;
  return QF_UNIFORM(
      float, kUndefined,
      static_cast<float>(numberAttr(doc, st, p, "spacing", {"afterLines"}).value_or(0) / 100.0));
}

namespace {
int autoSpacing(Document& doc, Story* st, pugi::xml_node p, const char* attr) {
  auto v = lookupParagraph<bool>(doc, st, p, [&](pugi::xml_node pPr, const WNames& n) {
    pugi::xml_attribute a = pPr.child(n.q("spacing")).attribute(n.q(attr));
    if (!a)
      return std::optional<bool>();
    std::string s = a.value();
    return std::optional<bool>(!(s == "0" || s == "false" || s == "off"));
  });
  return v.value_or(false) ? -1 : 0;
}

// (lineRule, line) from the first level that gives a line value.
std::pair<std::string, double> lineSpacingOf(Document& doc, Story* st, pugi::xml_node p) {
  auto v = lookupParagraph<std::pair<std::string, double>>(
      doc, st, p, [](pugi::xml_node pPr, const WNames& n) {
        pugi::xml_node s = pPr.child(n.q("spacing"));
        pugi::xml_attribute line = s.attribute(n.q("line"));
        if (!line)
          return std::optional<std::pair<std::string, double>>();
        std::string rule = s.attribute(n.q("lineRule")).value();
        return std::optional<std::pair<std::string, double>>(
            {rule.empty() ? "auto" : rule, line.as_double()});
      });
  return v.value_or(std::make_pair(std::string("auto"), 240.0));
}
} // namespace

int ParagraphFormat::spaceBeforeAuto() const {
  if (changes_)
    return wdUndefined;
  return QF_UNIFORM(int, wdUndefined, autoSpacing(doc, st, p, "beforeAutospacing"));
}

int ParagraphFormat::spaceAfterAuto() const {
  if (changes_)
    return wdUndefined;
  return QF_UNIFORM(int, wdUndefined, autoSpacing(doc, st, p, "afterAutospacing"));
}

int ParagraphFormat::lineSpacingRule() const {
  if (changes_)
    return wdUndefined;
  return QF_UNIFORM(int, wdUndefined, ([&] {
                      auto [rule, line] = lineSpacingOf(doc, st, p);
                      if (rule == "exact")
                        return wdLineSpaceExactly;
                      if (rule == "atLeast")
                        return wdLineSpaceAtLeast;
                      if (line == 240)
                        return wdLineSpaceSingle;
                      if (line == 360)
                        return wdLineSpace1pt5;
                      if (line == 480)
                        return wdLineSpaceDouble;
                      return wdLineSpaceMultiple;
                    }()));
}

float ParagraphFormat::lineSpacing() const {
  if (changes_)
    return kUndefined;
  return QF_UNIFORM(float, kUndefined, static_cast<float>(lineSpacingOf(doc, st, p).second / 20.0));
}

#define QF_ONOFF_GET(Getter, element, inverted)                                                    \
  int ParagraphFormat::Getter() const {                                                            \
    if (changes_)                                                                                  \
      return wdUndefined;                                                                          \
    return QF_UNIFORM(int, wdUndefined,                                                            \
                      (effectiveOnOff(doc, st, p, element) != (inverted)) ? -1 : 0);               \
  }

QF_ONOFF_GET(widowControl, "widowControl", false)
QF_ONOFF_GET(keepWithNext, "keepNext", false)
QF_ONOFF_GET(keepTogether, "keepLines", false)
QF_ONOFF_GET(pageBreakBefore, "pageBreakBefore", false)
QF_ONOFF_GET(noLineNumber, "suppressLineNumbers", false)
QF_ONOFF_GET(hyphenation, "suppressAutoHyphens", true)
QF_ONOFF_GET(autoAdjustRightIndent, "adjustRightInd", false)
QF_ONOFF_GET(disableLineHeightGrid, "snapToGrid", true)
QF_ONOFF_GET(farEastLineBreakControl, "kinsoku", false)
QF_ONOFF_GET(wordWrap, "wordWrap", true)
QF_ONOFF_GET(hangingPunctuation, "overflowPunct", false)
QF_ONOFF_GET(halfWidthPunctuationOnTopOfLine, "topLinePunct", false)
QF_ONOFF_GET(addSpaceBetweenFarEastAndAlpha, "autoSpaceDE", false)
QF_ONOFF_GET(addSpaceBetweenFarEastAndDigit, "autoSpaceDN", false)

#undef QF_ONOFF_GET

int ParagraphFormat::outlineLevel() const {
  if (changes_)
    return wdUndefined;
  return QF_UNIFORM(int, wdUndefined, ([&] {
                      auto v =
                          lookupParagraph<int>(doc, st, p, [](pugi::xml_node pPr, const WNames& n) {
                            pugi::xml_node e = pPr.child(n.q("outlineLvl"));
                            if (!e)
                              return std::optional<int>();
                            return std::optional<int>(e.attribute(n.q("val")).as_int(9));
                          });
                      int lvl = v.value_or(9);
                      return lvl >= 0 && lvl <= 8 ? lvl + 1 : wdOutlineLevelBodyText;
                    }()));
}

namespace {
constexpr const char* kBaseline[] = {"top", "center", "baseline", "bottom", "auto"};
}

int ParagraphFormat::baseLineAlignment() const {
  if (changes_)
    return wdUndefined;
  return QF_UNIFORM(int, wdUndefined, ([&] {
                      auto v = lookupParagraph<std::string>(
                          doc, st, p, [](pugi::xml_node pPr, const WNames& n) {
                            pugi::xml_node e = pPr.child(n.q("textAlignment"));
                            if (!e)
                              return std::optional<std::string>();
                            return std::optional<std::string>(e.attribute(n.q("val")).value());
                          });
                      std::string s = v.value_or("auto");
                      for (int i = 0; i < 5; ++i)
                        if (s == kBaseline[i])
                          return i;
                      return wdBaselineAlignAuto;
                    }()));
}

#undef QF_UNIFORM

// ---- writing ------------------------------------------------------------------------------

using PFC = ParagraphFormatChanges;

void ParagraphFormat::setLeftIndent(float points) {
  PFC::submit(*this, {rankOf("ind"),
                      {{"left", Action::Set, num(twips(points, msg::kWhatLeftIndent))},
                       {"start", Action::Remove, {}},
                       {"leftChars", Action::Set, "0"},
                       {"startChars", Action::Remove, {}}}});
}

void ParagraphFormat::setRightIndent(float points) {
  PFC::submit(*this, {rankOf("ind"),
                      {{"right", Action::Set, num(twips(points, msg::kWhatRightIndent))},
                       {"end", Action::Remove, {}},
                       {"rightChars", Action::Set, "0"},
                       {"endChars", Action::Remove, {}}}});
}

void ParagraphFormat::setFirstLineIndent(float points) {
  long t = twips(points, msg::kWhatFirstLineIndent);
  if (t >= 0)
    PFC::submit(*this, {rankOf("ind"),
                        {{"firstLine", Action::Set, num(t)},
                         {"hanging", Action::Remove, {}},
                         {"firstLineChars", Action::Set, "0"},
                         {"hangingChars", Action::Remove, {}}}});
  else
    PFC::submit(*this, {rankOf("ind"),
                        {{"hanging", Action::Set, num(-t)},
                         {"firstLine", Action::Remove, {}},
                         {"hangingChars", Action::Set, "0"},
                         {"firstLineChars", Action::Remove, {}}}});
}

void ParagraphFormat::setCharacterUnitLeftIndent(float chars) {
  PFC::submit(*this, {rankOf("ind"),
                      {{"leftChars", Action::Set,
                        num(hundredths(chars, msg::kWhatLeftIndent, msg::kUnitCharacters))},
                       {"startChars", Action::Remove, {}}}});
}

void ParagraphFormat::setCharacterUnitRightIndent(float chars) {
  PFC::submit(*this, {rankOf("ind"),
                      {{"rightChars", Action::Set,
                        num(hundredths(chars, msg::kWhatRightIndent, msg::kUnitCharacters))},
                       {"endChars", Action::Remove, {}}}});
}

void ParagraphFormat::setCharacterUnitFirstLineIndent(float chars) {
  long h = hundredths(chars, msg::kWhatFirstLineIndent, msg::kUnitCharacters);
  if (h >= 0)
    PFC::submit(*this,
                {rankOf("ind"),
                 {{"firstLineChars", Action::Set, num(h)}, {"hangingChars", Action::Remove, {}}}});
  else
    PFC::submit(*this,
                {rankOf("ind"),
                 {{"hangingChars", Action::Set, num(-h)}, {"firstLineChars", Action::Remove, {}}}});
}

void ParagraphFormat::setSpaceBefore(float points) {
  long t = twips(points, msg::kWhatSpaceBefore);
  if (t < 0)
    throw DocumentError(msg::text(msg::kValueOutOfRange, msg::kWhatSpaceBefore,
                                  msg::text(msg::kUnitPoints, points)));
  PFC::submit(*this, {rankOf("spacing"),
                      {{"before", Action::Set, num(t)}, {"beforeLines", Action::Set, "0"}}});
}

void ParagraphFormat::setSpaceAfter(float points) {
  long t = twips(points, msg::kWhatSpaceAfter);
  if (t < 0)
    throw DocumentError(msg::text(msg::kValueOutOfRange, msg::kWhatSpaceAfter,
                                  msg::text(msg::kUnitPoints, points)));
  PFC::submit(*this, {rankOf("spacing"),
                      {{"after", Action::Set, num(t)}, {"afterLines", Action::Set, "0"}}});
}

void ParagraphFormat::setSpaceBeforeAuto(bool on) {
  PFC::submit(*this, {rankOf("spacing"), {{"beforeAutospacing", Action::Set, on ? "1" : "0"}}});
}

void ParagraphFormat::setSpaceAfterAuto(bool on) {
  PFC::submit(*this, {rankOf("spacing"), {{"afterAutospacing", Action::Set, on ? "1" : "0"}}});
}

void ParagraphFormat::setLineUnitBefore(float lines) {
  long h = hundredths(lines, msg::kWhatSpaceBefore, msg::kUnitLines);
  if (h < 0)
    throw DocumentError(
        msg::text(msg::kValueOutOfRange, msg::kWhatSpaceBefore, msg::text(msg::kUnitLines, lines)));
  PFC::submit(*this, {rankOf("spacing"), {{"beforeLines", Action::Set, num(h)}}});
}

void ParagraphFormat::setLineUnitAfter(float lines) {
  long h = hundredths(lines, msg::kWhatSpaceAfter, msg::kUnitLines);
  if (h < 0)
    throw DocumentError(
        msg::text(msg::kValueOutOfRange, msg::kWhatSpaceAfter, msg::text(msg::kUnitLines, lines)));
  PFC::submit(*this, {rankOf("spacing"), {{"afterLines", Action::Set, num(h)}}});
}

void ParagraphFormat::setLineSpacingRule(int rule) {
  const char* fixed = nullptr;
  const char* kind = "auto";
  switch (rule) {
  case wdLineSpaceSingle:
    fixed = "240";
    break;
  case wdLineSpace1pt5:
    fixed = "360";
    break;
  case wdLineSpaceDouble:
    fixed = "480";
    break;
  case wdLineSpaceAtLeast:
    kind = "atLeast";
    break;
  case wdLineSpaceExactly:
    kind = "exact";
    break;
  case wdLineSpaceMultiple:
    break;
  default:
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatLineSpacingRule, rule));
  }
  PFC::submit(*this,
              {rankOf("spacing"),
               {{"lineRule", Action::Set, kind},
                {"line", fixed ? Action::Set : Action::SetIfMissing, fixed ? fixed : "240"}}});
}

void ParagraphFormat::setLineSpacing(float points) {
  long t = twips(points, msg::kWhatLineSpacing);
  if (t <= 0)
    throw DocumentError(msg::text(msg::kValueOutOfRange, msg::kWhatLineSpacing,
                                  msg::text(msg::kUnitPoints, points)));
  PFC::submit(*this, {rankOf("spacing"), {{"line", Action::Set, num(t)}}});
}

#define QF_ONOFF_SET(Setter, element, inverted)                                                    \
  void ParagraphFormat::Setter(bool on) {                                                          \
    PFC::submit(*this, onOffChange(element, on != (inverted)));                                    \
  }

QF_ONOFF_SET(setWidowControl, "widowControl", false)
QF_ONOFF_SET(setKeepWithNext, "keepNext", false)
QF_ONOFF_SET(setKeepTogether, "keepLines", false)
QF_ONOFF_SET(setPageBreakBefore, "pageBreakBefore", false)
QF_ONOFF_SET(setNoLineNumber, "suppressLineNumbers", false)
QF_ONOFF_SET(setHyphenation, "suppressAutoHyphens", true)
QF_ONOFF_SET(setAutoAdjustRightIndent, "adjustRightInd", false)
QF_ONOFF_SET(setDisableLineHeightGrid, "snapToGrid", true)
QF_ONOFF_SET(setFarEastLineBreakControl, "kinsoku", false)
QF_ONOFF_SET(setWordWrap, "wordWrap", true)
QF_ONOFF_SET(setHangingPunctuation, "overflowPunct", false)
QF_ONOFF_SET(setHalfWidthPunctuationOnTopOfLine, "topLinePunct", false)
QF_ONOFF_SET(setAddSpaceBetweenFarEastAndAlpha, "autoSpaceDE", false)
QF_ONOFF_SET(setAddSpaceBetweenFarEastAndDigit, "autoSpaceDN", false)

#undef QF_ONOFF_SET

void ParagraphFormat::setOutlineLevel(int level) {
  if (level < wdOutlineLevel1 || level > wdOutlineLevelBodyText)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatOutlineLevel, level));
  PFC::submit(*this, {rankOf("outlineLvl"), {{"val", Action::Set, num(level - 1)}}});
}

void ParagraphFormat::setBaseLineAlignment(int align) {
  if (align < wdBaselineAlignTop || align > wdBaselineAlignAuto)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatBaselineAlignment, align));
  PFC::submit(*this, {rankOf("textAlignment"), {{"val", Action::Set, kBaseline[align]}}});
}

} // namespace word
