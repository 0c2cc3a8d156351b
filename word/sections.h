#pragma once
// Sections of the main text with their headers and footers (Word's Sections, Section and
// HeaderFooter), and Range.InsertBreak.
//
// Headers and footers follow Word's linking: a section without a reference of its own shows
// the previous section's. A header or footer that no section up to the current one has yet is
// created on the first section, as a new part with its relationship and content type, so that
// Word (which inherits along the chain) and LibreOffice (which takes headers from the first
// section across continuous breaks) both show it on every page.

#include <pugixml.hpp>

#include "word/document.h"
#include "word/page_numbers.h"

namespace word {

// WdHeaderFooterIndex
inline constexpr int wdHeaderFooterPrimary = 1, wdHeaderFooterFirstPage = 2,
                     wdHeaderFooterEvenPages = 3;

class Shapes;

// A header or footer of a section (Word's HeaderFooter).
class HeaderFooter {
public:
  // `section` 1-based; `index` wdHeaderFooterPrimary / FirstPage / EvenPages.
  HeaderFooter(Document* doc, int section, int index, bool header);
  bool isHeader() const { return header_; }
  int index() const { return index_; }
  int section() const { return section_; }
  // The story the section shows, following links to previous sections; created on the first
  // section when no section up to this one has one.
  Story* story() const;
  Range range() const;
  // False when this section has a part of its own; true when it shows the previous section's
  // (always false for the first section).
  bool linkToPrevious() const;
  // True drops the section's own part (it shows the previous section's); false gives the
  // section a copy of the part it showed.
  void setLinkToPrevious(bool on);
  // Page numbering of every section that shows this header or footer.
  PageNumbers pageNumbers() const;
  Shapes shapes() const;

private:
  Document* doc_;
  int section_, index_;
  bool header_;
};

// A section of the main text: the paragraphs up to and including one that ends a section
// (or the end of the document, for the last).
class Section {
public:
  Section(Document* doc, int index) : doc_(doc), index_(index) {}
  int index() const { return index_; }
  HeaderFooter headers(int index = wdHeaderFooterPrimary) const;
  HeaderFooter footers(int index = wdHeaderFooterPrimary) const;
  // The page setup of this section alone (word/pagesetup.h).
  PageSetup pageSetup() const;
  Range range() const;

private:
  friend struct internal::Access;
  // The section's w:sectPr.
  pugi::xml_node sectPr() const;
  Document* doc_;
  int index_;
};

class Sections {
public:
  explicit Sections(Document* doc) : doc_(doc) {}
  int count() const;
  // 1-based; throws DocumentError when out of range.
  Section item(int index) const;

private:
  Document* doc_;
};

} // namespace word
