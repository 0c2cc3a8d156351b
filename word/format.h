#pragma once
// Reading effective formatting (direct, character style, paragraph style chain, document
// defaults) and writing direct formatting in schema order. Internal to the model and its steps.

#include <optional>
#include <string>

#include <pugixml.hpp>

#include "word/document.h"
#include "word/internal/story.h"
#include "word/internal/xmlns.h"

namespace word {

// The w:pPr of a paragraph, created as its first child when missing.
pugi::xml_node paraProps(pugi::xml_node p, const WNames& n);
// The w:rPr of a run, created as its first child when missing.
pugi::xml_node runProps(pugi::xml_node r, const WNames& n);
// The run properties of a paragraph's mark (w:pPr/w:rPr), created when missing.
pugi::xml_node markProps(pugi::xml_node p, const WNames& n);

void setRunFontName(pugi::xml_node rPr, const std::string& name, const WNames& n);
void setRunSize(pugi::xml_node rPr, float points, const WNames& n);
void setRunBold(pugi::xml_node rPr, bool on, const WNames& n);

// Effective values for a run (an empty run node reads the paragraph style and defaults).
float effectiveSize(Document& doc, Story* st, pugi::xml_node run);
bool effectiveBold(Document& doc, Story* st, pugi::xml_node run);
std::string effectiveFontName(Document& doc, Story* st, pugi::xml_node run);
// Whether the character style, the paragraph style chain or the document defaults of a run
// (or of a paragraph's mark, given the w:p) mention bold; its direct properties are not read.
bool boldMentionedAbove(Document& doc, Story* st, pugi::xml_node runOrParagraph);
// wdAlignParagraph… value of a paragraph.
int effectiveAlignment(Document& doc, Story* st, pugi::xml_node p);

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
