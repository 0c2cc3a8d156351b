#include "word/borders.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "base/messages.h"
#include "word/internal/access.h"
#include "word/internal/story.h"
#include "word/internal/styles.h"
#include "word/internal/xmlns.h"

namespace word {

namespace {

const char* borderSide(int which) {
  switch (which) {
  case wdBorderTop:
    return "top";
  case wdBorderLeft:
    return "left";
  case wdBorderBottom:
    return "bottom";
  case wdBorderRight:
    return "right";
  default:
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatBorderSide, which));
  }
}

struct LineStyleName {
  int style;
  const char* val;
};
constexpr LineStyleName kLineStyles[] = {{wdLineStyleSingle, "single"},
                                         {wdLineStyleDot, "dotted"},
                                         {wdLineStyleDashSmallGap, "dashSmallGap"},
                                         {wdLineStyleDashLargeGap, "dashed"},
                                         {wdLineStyleDashDot, "dotDash"},
                                         {wdLineStyleDashDotDot, "dotDotDash"},
                                         {wdLineStyleDouble, "double"},
                                         {wdLineStyleTriple, "triple"}};

// The border element of one side in a w:pPr (the strict names start/end stand for left/right).
pugi::xml_node sideIn(pugi::xml_node pPr, const char* side, const WNames& n) {
  pugi::xml_node pBdr = pPr.child(n.q("pBdr"));
  if (!pBdr)
    return {};
  if (pugi::xml_node e = pBdr.child(n.q(side)))
    return e;
  if (!std::strcmp(side, "left"))
    return pBdr.child(n.q("start"));
  if (!std::strcmp(side, "right"))
    return pBdr.child(n.q("end"));
  return {};
}

// The effective border element of a paragraph (direct, then its style chain) and the names of
// the part it lives in.
std::pair<pugi::xml_node, const WNames*> effectiveSide(Document& doc, Story* st, pugi::xml_node p,
                                                       const char* side) {
  const WNames& n = st->names();
  pugi::xml_node pPr = p.child(n.pPr.c_str());
  if (pugi::xml_node e = sideIn(pPr, side, n))
    return {e, &n};
  std::string ps = attr(pPr.child(n.pStyle.c_str()), "val", n);
  if (ps.empty())
    ps = stylesOf(doc).defaultParagraphStyle();
  const WNames& sn = stylesOf(doc).names();
  for (int guard = 0; !ps.empty() && guard < 32; ++guard) {
    pugi::xml_node s = stylesOf(doc).node(ps);
    if (!s)
      break;
    if (pugi::xml_node e = sideIn(s.child(sn.pPr.c_str()), side, sn))
      return {e, &sn};
    ps = attr(s.child(sn.q("basedOn")), "val", sn);
  }
  return {pugi::xml_node(), &n};
}

template <class Get> int uniformBorder(const Range& r, const char* side, Get get) {
  Story* st = r.story();
  if (!st)
    return wdUndefined;
  std::optional<int> v;
  for (ParaRec* rec : st->parasIn(r.start(), std::max(r.end(), r.start() + 1))) {
    auto [e, names] = effectiveSide(*st->document(), st, rec->p, side);
    int x = get(e, *names);
    if (!v)
      v = x;
    else if (*v != x)
      return wdUndefined;
  }
  return v.value_or(wdUndefined);
}

int lineStyleOf(pugi::xml_node e, const WNames& n) {
  if (!e)
    return wdLineStyleNone;
  std::string val = attr(e, "val", n);
  if (val.empty() || val == "nil" || val == "none")
    return wdLineStyleNone;
  for (const LineStyleName& l : kLineStyles)
    if (val == l.val)
      return l.style;
  return wdLineStyleSingle; // art and 3-D borders: a line of some kind
}

} // namespace

// ---- Borders -----------------------------------------------------------------------------

Borders ParagraphFormat::borders() const {
  if (!range_ || !range_->story())
    throw DocumentError(msg::kBordersNeedParagraphs);
  return Borders(*range_);
}

Border Borders::item(int which) const {
  borderSide(which);
  return Border(range_, which);
}

int Border::lineStyle() const {
  return uniformBorder(range_, borderSide(which_), lineStyleOf);
}

void Border::setLineStyle(int style) {
  const char* val = nullptr;
  if (style == wdLineStyleNone)
    val = "nil";
  for (const LineStyleName& l : kLineStyles)
    if (l.style == style)
      val = l.val;
  if (!val)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatBorderLineStyle, style));
  Story* st = range_.story();
  const WNames& n = st->names();
  for (pugi::xml_node pPr : pPrsOf(ParagraphFormat(range_))) {
    pugi::xml_node e = sideIn(pPr, borderSide(which_), n);
    if (!e)
      e = ensureChild(ensureChild(pPr, "pBdr", n), borderSide(which_), n);
    setAttr(e, "val", val, n);
    if (style == wdLineStyleNone) {
      for (const char* a :
           {"sz", "space", "color", "themeColor", "themeTint", "themeShade", "shadow", "frame"})
        e.remove_attribute(n.q(a));
      continue;
    }
    if (!e.attribute(n.q("sz")))
      setAttr(e, "sz", "4", n);
    if (!e.attribute(n.q("space")))
      setAttr(e, "space", "1", n);
    if (!e.attribute(n.q("color")))
      setAttr(e, "color", "auto", n);
  }
  st->touch();
}

int Border::lineWidth() const {
  return uniformBorder(range_, borderSide(which_), [](pugi::xml_node e, const WNames& n) {
    if (lineStyleOf(e, n) == wdLineStyleNone)
      return 0;
    return e.attribute(n.q("sz")).as_int(4);
  });
}

void Border::setLineWidth(int width) {
  static constexpr int kWidths[] = {2, 4, 6, 8, 12, 18, 24, 36, 48};
  if (std::find(std::begin(kWidths), std::end(kWidths), width) == std::end(kWidths))
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatBorderWidth, width));
  Story* st = range_.story();
  const WNames& n = st->names();
  for (pugi::xml_node pPr : pPrsOf(ParagraphFormat(range_))) {
    pugi::xml_node e = sideIn(pPr, borderSide(which_), n);
    if (!e)
      e = ensureChild(ensureChild(pPr, "pBdr", n), borderSide(which_), n);
    setAttr(e, "sz", std::to_string(width), n);
  }
  st->touch();
}

int Border::color() const {
  return uniformBorder(range_, borderSide(which_), [](pugi::xml_node e, const WNames& n) {
    std::string c = attr(e, "color", n);
    if (c.empty() || c == "auto" || c.size() != 6)
      return wdColorAutomatic;
    long rgb = std::strtol(c.c_str(), nullptr, 16);
    return static_cast<int>(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
  });
}

void Border::setColor(int color) {
  std::string val = "auto";
  if (color != wdColorAutomatic) {
    if (color < 0 || color > 0xFFFFFF)
      throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatBorderColour, color));
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X%02X%02X", color & 0xFF, (color >> 8) & 0xFF,
                  (color >> 16) & 0xFF);
    val = buf;
  }
  Story* st = range_.story();
  const WNames& n = st->names();
  for (pugi::xml_node pPr : pPrsOf(ParagraphFormat(range_))) {
    pugi::xml_node e = sideIn(pPr, borderSide(which_), n);
    if (!e)
      e = ensureChild(ensureChild(pPr, "pBdr", n), borderSide(which_), n);
    setAttr(e, "color", val, n);
    e.remove_attribute(n.q("themeColor"));
  }
  st->touch();
}

} // namespace word
