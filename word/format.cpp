#include "word/format.h"

#include <cmath>
#include <cstring>
#include <optional>

#include "word/constants.h"
#include "word/document.h"
#include "word/internal/story.h"

namespace word {

pugi::xml_node paraProps(pugi::xml_node p, const WNames& n) {
  if (pugi::xml_node pPr = p.child(n.pPr.c_str()))
    return pPr;
  return p.prepend_child(n.pPr.c_str());
}

pugi::xml_node runProps(pugi::xml_node r, const WNames& n) {
  if (pugi::xml_node rPr = r.child(n.rPr.c_str()))
    return rPr;
  return r.prepend_child(n.rPr.c_str());
}

pugi::xml_node markProps(pugi::xml_node p, const WNames& n) {
  return ensureChild(paraProps(p, n), "rPr", n);
}

void setRunFontName(pugi::xml_node rPr, const std::string& name, const WNames& n) {
  pugi::xml_node f = ensureChild(rPr, "rFonts", n);
  for (const char* a : {"ascii", "hAnsi", "eastAsia", "cs"})
    setAttr(f, a, name, n);
  for (const char* a : {"asciiTheme", "hAnsiTheme", "eastAsiaTheme", "cstheme"})
    f.remove_attribute(n.q(a));
}

void setRunSize(pugi::xml_node rPr, float points, const WNames& n) {
  long half = std::lround(points * 2.0f);
  if (half < 1)
    half = 1;
  if (half > 3276)
    half = 3276;
  std::string v = std::to_string(half);
  setAttr(ensureChild(rPr, "sz", n), "val", v, n);
  setAttr(ensureChild(rPr, "szCs", n), "val", v, n);
}

void setRunBold(pugi::xml_node rPr, bool on, const WNames& n) {
  for (const char* name : {"b", "bCs"}) {
    pugi::xml_node e = ensureChild(rPr, name, n);
    e.remove_attribute(n.q("val"));
    if (!on)
      setAttr(e, "val", "0", n);
  }
}

namespace {

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
    ps = doc.defaultParagraphStyle();
  if (auto v = lookupStyleChain<T>(doc, ps, "rPr", get))
    return v;
  if (pugi::xml_node d = doc.docDefaultsRPr())
    if (auto v = get(d, doc.stylesNames()))
      return v;
  return std::nullopt;
}

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

bool effectiveBold(Document& doc, Story* st, pugi::xml_node run) {
  auto v =
      lookupRun<bool>(doc, st, run, [](pugi::xml_node rPr, const WNames& n) -> std::optional<bool> {
        if (!rPr.child(n.q("b")))
          return std::nullopt;
        return onOff(rPr, "b", n);
      });
  return v.value_or(false);
}

bool boldMentionedAbove(Document& doc, Story* st, pugi::xml_node runOrParagraph) {
  // The direct properties are skipped: the caller is about to replace them.
  const WNames& n = st->names();
  pugi::xml_node rPr = n.is(runOrParagraph, "p")
                           ? runOrParagraph.child(n.pPr.c_str()).child(n.rPr.c_str())
                           : runOrParagraph.child(n.rPr.c_str());
  auto mentions = [&](pugi::xml_node props, const WNames& pn) -> std::optional<bool> {
    if (props == rPr)
      return std::nullopt;
    if (props.child(pn.q("b")) || props.child(pn.q("bCs")))
      return true;
    return std::nullopt;
  };
  return lookupRun<bool>(doc, st, runOrParagraph, mentions).value_or(false);
}

std::string effectiveFontName(Document& doc, Story* st, pugi::xml_node run) {
  auto v = lookupRun<std::string>(
      doc, st, run, [&](pugi::xml_node rPr, const WNames& n) -> std::optional<std::string> {
        pugi::xml_node f = rPr.child(n.q("rFonts"));
        if (!f)
          return std::nullopt;
        std::string theme = attr(f, "asciiTheme", n);
        if (!theme.empty())
          return doc.themeFont(theme);
        std::string a = attr(f, "ascii", n);
        if (!a.empty())
          return a;
        return std::nullopt;
      });
  return v.value_or("Times New Roman");
}

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

} // namespace word
