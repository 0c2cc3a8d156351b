#pragma once
// Page setup of a document's sections (Word's PageSetup and TextColumns), in points.
//
// A section is a w:sectPr of the main story: one inside the w:pPr of each paragraph that ends
// a section, and the body's last one for the final section. Reading a member gives its value
// when every section of the view agrees, else kUndefined (lengths) or wdUndefined (the
// others); writing sets it on every section of the view. Two members are document-wide in
// OOXML and live in settings.xml: the gutter at the top (GutterPos wdGutterPosTop) and
// different odd and even pages (OddAndEvenPagesHeaderFooter); the part is created (with its
// relationship and content type) the first time one of them must be switched on.
//
// A PageSetup is a view of the sections as they are when it is made: take a fresh one after
// edits that add or remove section breaks.

#include <string>
#include <vector>

#include <pugixml.hpp>

#include "word/document.h"

namespace word {

namespace internal {
struct Access;
}

// WdOrientation
inline constexpr int wdOrientPortrait = 0, wdOrientLandscape = 1;
// WdGutterStyle (PageSetup.GutterPos)
inline constexpr int wdGutterPosLeft = 0, wdGutterPosTop = 1, wdGutterPosRight = 2;
// WdSectionStart (PageSetup.SectionStart)
inline constexpr int wdSectionContinuous = 0, wdSectionNewColumn = 1, wdSectionNewPage = 2,
                     wdSectionEvenPage = 3, wdSectionOddPage = 4;
// WdLayoutMode
inline constexpr int wdLayoutModeDefault = 0, wdLayoutModeGrid = 1, wdLayoutModeLineGrid = 2,
                     wdLayoutModeGenko = 3;

// The text columns (w:cols) of the sections of a PageSetup.
class TextColumns {
public:
  TextColumns(Document* doc, std::vector<pugi::xml_node> sections);
  // Number of columns (1 when w:cols is absent); wdUndefined when the sections differ.
  int count() const;
  // Word's SetCount: `n` evenly spaced columns (1 to 45), individual column widths dropped.
  void setCount(int n);
  // -1 / 0 / wdUndefined.
  int evenlySpaced() const;
  // True drops the individual column widths; false writes one w:col per column, splitting the
  // text width evenly (the current spacing between them).
  void setEvenlySpaced(bool on);
  // A line between columns (w:cols @sep): -1 / 0 / wdUndefined.
  int lineBetween() const;
  void setLineBetween(bool on);
  // Space between columns in points (w:cols @space; 36 pt when absent).
  float spacing() const;
  void setSpacing(float points);

private:
  Document* doc_;
  std::vector<pugi::xml_node> sections_;
};

class PageSetup {
public:
  // A view of `sections` (w:sectPr elements of `doc`'s main story).
  PageSetup(Document* doc, std::vector<pugi::xml_node> sections);

  // Margins and distances (w:pgMar, twips in the file). Values are rounded to whole twips.
  float topMargin() const;
  void setTopMargin(float points);
  float bottomMargin() const;
  void setBottomMargin(float points);
  float leftMargin() const;
  void setLeftMargin(float points);
  float rightMargin() const;
  void setRightMargin(float points);
  float gutter() const;
  void setGutter(float points);
  float headerDistance() const;
  void setHeaderDistance(float points);
  float footerDistance() const;
  void setFooterDistance(float points);

  // Paper (w:pgSz). The width and height are taken as given; they do not change the
  // orientation.
  float pageWidth() const;
  void setPageWidth(float points);
  float pageHeight() const;
  void setPageHeight(float points);
  // wdOrientPortrait / wdOrientLandscape. Changing it swaps the width and height of every
  // section whose orientation changes, as Word does.
  int orientation() const;
  void setOrientation(int wdOrient);

  // wdGutterPosLeft (0), wdGutterPosTop (1) or wdGutterPosRight (2). Top is the
  // document-wide w:gutterAtTop in settings.xml; right is w:rtlGutter on each section.
  int gutterPos() const;
  void setGutterPos(int pos);

  // wdLayoutModeDefault (no document grid) … wdLayoutModeGenko (w:docGrid @type).
  int layoutMode() const;
  void setLayoutMode(int mode);
  // The document grid's lines per page and characters per line (w:docGrid @linePitch in twips,
  // @charSpace in 4096ths of a point added to the default paragraph style's font size). Reading
  // gives what fits in the text area: floor(text height / line pitch), floor(text width /
  // character pitch); setting writes the largest pitch that fits `n` of them. The character
  // pitch is based on the default paragraph style's size as it is when set.
  int linesPage() const;
  void setLinesPage(int n);
  int charsLine() const;
  void setCharsLine(int n);

  // Document-wide (w:evenAndOddHeaders in settings.xml): -1 / 0.
  int oddAndEvenPagesHeaderFooter() const;
  void setOddAndEvenPagesHeaderFooter(bool on);
  // A first-page header and footer of their own (w:titlePg): -1 / 0 / wdUndefined.
  int differentFirstPageHeaderFooter() const;
  void setDifferentFirstPageHeaderFooter(bool on);

  // How each section begins (w:type @val; a new page when absent): wdSectionContinuous …
  // wdSectionOddPage, wdUndefined when the sections differ.
  int sectionStart() const;
  void setSectionStart(int wdSectionStart);
  TextColumns textColumns() const { return TextColumns(doc_, sections_); }
  // The sections of the view one by one, in document order.
  std::vector<PageSetup> eachSection() const;

private:
  friend struct internal::Access;
  const std::vector<pugi::xml_node>& sections() const { return sections_; }
  Document* doc_;
  std::vector<pugi::xml_node> sections_;
  float readTwips(const char* element, const char* attribute, float absentPoints) const;
  void writeTwips(const char* element, const char* attribute, float points);
};

} // namespace word
