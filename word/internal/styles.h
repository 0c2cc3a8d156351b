#pragma once
// A document's styles part and the lookups of formatting through the style chains (paragraph
// and character styles, based-on styles, document defaults).

#include <map>
#include <optional>
#include <string>

#include <pugixml.hpp>

#include "word/document.h"
#include "word/internal/story.h"
#include "word/internal/xmlns.h"

namespace word {

class Package;

// The styles of a document: styles by id, the default paragraph style, the document defaults
// and the theme's fonts. The styles part is read on first use.
class Styles {
public:
  Styles(Package& pkg, std::string mainPart) : pkg_(pkg), mainPart_(std::move(mainPart)) {}
  // The parsed styles part, or nullptr when the document has none.
  const pugi::xml_document* xml();
  // The names of the styles part.
  const WNames& names();
  // The w:style of a style id, or an empty node.
  pugi::xml_node node(const std::string& styleId);
  // The id of the default paragraph style ("" when none is marked).
  std::string defaultParagraphStyle();
  // w:docDefaults' run and paragraph properties (empty nodes when absent).
  pugi::xml_node docDefaultsRPr();
  pugi::xml_node docDefaultsPPr();
  // The typeface a theme font reference (w:asciiTheme…, "minorEastAsia") stands for.
  std::string themeFont(const std::string& themeRef);
  // Reads the styles part again on next use (after styles were added to it).
  void reload();

private:
  Package& pkg_;
  std::string mainPart_;
  pugi::xml_document* part_ = nullptr;
  WNames names_;
  std::string defaultStyle_;
  std::map<std::string, std::string> themeFonts_;
  bool loaded_ = false;
  std::map<std::string, pugi::xml_node> index_;
  void load();
};

// The styles of `doc` (made on first use).
Styles& stylesOf(Document& doc);

// Asks `get(pr, names)` for the `which` properties ("pPr" or "rPr") of style `id` and of each
// style it is based on, until one gives a value. Cycles end after 32 styles.
template <class T, class Get>
std::optional<T> lookupStyleChain(Document& doc, std::string id, const char* which, Get get) {
  for (int guard = 0; !id.empty() && guard < 32; ++guard) {
    pugi::xml_node s = stylesOf(doc).node(id);
    if (!s)
      break;
    const WNames& sn = stylesOf(doc).names();
    if (auto v = get(s.child(sn.q(which)), sn))
      return v;
    id = attr(s.child(sn.q("basedOn")), "val", sn);
  }
  return std::nullopt;
}

// The first value `get(pPr, names)` finds for paragraph `p`: its own w:pPr, its paragraph style
// chain (the default paragraph style when it names none), then the document defaults.
template <class T, class Get>
std::optional<T> lookupParagraph(Document& doc, Story* st, pugi::xml_node p, Get get) {
  const WNames& n = st->names();
  pugi::xml_node pPr = p.child(n.pPr.c_str());
  if (pPr)
    if (auto v = get(pPr, n))
      return v;
  std::string ps = attr(pPr.child(n.pStyle.c_str()), "val", n);
  if (ps.empty())
    ps = stylesOf(doc).defaultParagraphStyle();
  if (auto v = lookupStyleChain<T>(doc, ps, "pPr", get))
    return v;
  if (pugi::xml_node d = stylesOf(doc).docDefaultsPPr())
    if (auto v = get(d, stylesOf(doc).names()))
      return v;
  return std::nullopt;
}

} // namespace word
