#pragma once
// Looking formatting up through the style chains (paragraph and character styles, based-on
// styles, document defaults).

#include <optional>
#include <string>

#include <pugixml.hpp>

#include "word/document.h"
#include "word/internal/story.h"
#include "word/internal/xmlns.h"

namespace word {

// Asks `get(pr, names)` for the `which` properties ("pPr" or "rPr") of style `id` and of each
// style it is based on, until one gives a value. Cycles end after 32 styles.
template <class T, class Get>
std::optional<T> lookupStyleChain(Document& doc, std::string id, const char* which, Get get) {
  for (int guard = 0; !id.empty() && guard < 32; ++guard) {
    pugi::xml_node s = doc.styleNode(id);
    if (!s)
      break;
    const WNames& sn = doc.stylesNames();
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
    ps = doc.defaultParagraphStyle();
  if (auto v = lookupStyleChain<T>(doc, ps, "pPr", get))
    return v;
  if (pugi::xml_node d = doc.docDefaultsPPr())
    if (auto v = get(d, doc.stylesNames()))
      return v;
  return std::nullopt;
}

} // namespace word
