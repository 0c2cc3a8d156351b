#pragma once
// What the model's own files reach inside its public classes: the package and the styles
// behind a document, the w:p of a paragraph, the w:pPr elements of a paragraph format and the
// w:sectPr of a section. The engine and the application never include word/internal headers
// (tests/word/layering_test.cpp checks it): they work through the Word members alone.

#include <memory>
#include <vector>

#include <pugixml.hpp>

#include "word/document.h"
#include "word/internal/styles.h"
#include "word/package.h"
#include "word/page_numbers.h"
#include "word/pagesetup.h"
#include "word/sections.h"
#include "word/shapes.h"

namespace word {

namespace internal {

struct Access {
  static Package& package(Document& doc) { return *doc.pkg_; }
  static Styles& styles(Document& doc) {
    if (!doc.styles_)
      doc.styles_ = std::make_unique<Styles>(*doc.pkg_, doc.mainPart_);
    return *doc.styles_;
  }
  static pugi::xml_node node(const Paragraph& p) { return p.node(); }
  static std::vector<pugi::xml_node> pPrs(const ParagraphFormat& f) { return f.pPrs(); }
  static pugi::xml_node sectPr(const Section& s) { return s.sectPr(); }
  static pugi::xml_node node(const Shape& s) { return s.node(); }
  static pugi::xml_node holder(const Shape& s) { return s.holder(); }
  static std::vector<pugi::xml_node> sections(const PageSetup& p) { return p.sections(); }
  static std::vector<pugi::xml_node> sections(const PageNumbers& p) { return p.sections(); }
};

} // namespace internal

// The package a document was read from and is saved to.
inline Package& packageOf(Document& doc) {
  return internal::Access::package(doc);
}
// The w:p of a paragraph (an empty node once it was deleted).
inline pugi::xml_node nodeOf(const Paragraph& p) {
  return internal::Access::node(p);
}
// The w:pPr elements of the paragraphs a format touches (created when missing), for members
// that set properties the format does not wrap.
inline std::vector<pugi::xml_node> pPrsOf(const ParagraphFormat& f) {
  return internal::Access::pPrs(f);
}
// The element of a shape (a VML shape or a wp:anchor), and the run child holding it (w:pict,
// w:drawing or mc:AlternateContent).
inline pugi::xml_node nodeOf(const Shape& s) {
  return internal::Access::node(s);
}
inline pugi::xml_node holderOf(const Shape& s) {
  return internal::Access::holder(s);
}
// A section's w:sectPr.
inline pugi::xml_node sectPrOf(const Section& s) {
  return internal::Access::sectPr(s);
}

// The w:sectPr elements a page setup or the page numbers apply to.
inline std::vector<pugi::xml_node> sectionsOf(const PageSetup& p) {
  return internal::Access::sections(p);
}
inline std::vector<pugi::xml_node> sectionsOf(const PageNumbers& p) {
  return internal::Access::sections(p);
}

} // namespace word
