#pragma once
// Page furniture of the document model: the document window's view (View.SeekView moves the
// selection between the main text and the headers and footers), sections with their headers
// and footers (link to previous), page numbers, fields, section breaks and paragraph borders.
//
// Headers and footers follow Word's linking: a section without a reference of its own shows
// the previous section's. A header or footer that no section up to the current one has yet is
// created on the first section, as a new part with its relationship and content type, so that
// Word (which inherits along the chain) and LibreOffice (which takes headers from the first
// section across continuous breaks) both show it on every page.
//
// The model does not lay out pages: "the current page" is the section of the selection, and its
// header or footer is the primary one (first-page and even-page headers are reached through
// wdSeekFirstPage… / wdSeekEvenPages…).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "word/document.h"

namespace word {

// WdSeekView
inline constexpr int wdSeekMainDocument = 0, wdSeekPrimaryHeader = 1, wdSeekFirstPageHeader = 2,
                     wdSeekEvenPagesHeader = 3, wdSeekPrimaryFooter = 4, wdSeekFirstPageFooter = 5,
                     wdSeekEvenPagesFooter = 6, wdSeekCurrentPageHeader = 9,
                     wdSeekCurrentPageFooter = 10;
// WdViewType
inline constexpr int wdNormalView = 1, wdOutlineView = 2, wdPrintView = 3, wdPrintPreview = 4,
                     wdMasterView = 5, wdWebView = 6, wdReadingView = 7;
// WdSpecialPane (View.SplitSpecial)
inline constexpr int wdPaneNone = 0, wdPanePrimaryHeader = 1, wdPanePrimaryFooter = 4;
// WdHeaderFooterIndex
inline constexpr int wdHeaderFooterPrimary = 1, wdHeaderFooterFirstPage = 2,
                     wdHeaderFooterEvenPages = 3;
// WdPageNumberStyle (the ones with an OOXML number format)
inline constexpr int wdPageNumberStyleArabic = 0, wdPageNumberStyleUppercaseRoman = 1,
                     wdPageNumberStyleLowercaseRoman = 2, wdPageNumberStyleUppercaseLetter = 3,
                     wdPageNumberStyleLowercaseLetter = 4, wdPageNumberStyleArabicFullWidth = 14,
                     wdPageNumberStyleNumberInCircle = 18, wdPageNumberStyleArabicLZ = 22,
                     wdPageNumberStyleSimpChinNum1 = 37, wdPageNumberStyleSimpChinNum2 = 38,
                     wdPageNumberStyleNumberInDash = 57;
// WdSeparatorType
inline constexpr int wdSeparatorHyphen = 0, wdSeparatorPeriod = 1, wdSeparatorColon = 2,
                     wdSeparatorEmDash = 3, wdSeparatorEnDash = 4;
// WdFieldType
inline constexpr int wdFieldEmpty = -1, wdFieldNumPages = 26, wdFieldPage = 33;
// WdBreakType
inline constexpr int wdSectionBreakNextPage = 2, wdSectionBreakContinuous = 3,
                     wdSectionBreakEvenPage = 4, wdSectionBreakOddPage = 5, wdLineBreak = 6,
                     wdPageBreak = 7, wdColumnBreak = 8;
// WdBorderType
inline constexpr int wdBorderTop = -1, wdBorderLeft = -2, wdBorderBottom = -3, wdBorderRight = -4;
// WdLineStyle
inline constexpr int wdLineStyleNone = 0, wdLineStyleSingle = 1, wdLineStyleDot = 2,
                     wdLineStyleDashSmallGap = 3, wdLineStyleDashLargeGap = 4,
                     wdLineStyleDashDot = 5, wdLineStyleDashDotDot = 6, wdLineStyleDouble = 7,
                     wdLineStyleTriple = 8;
// WdLineWidth (eighths of a point, as OOXML stores them)
inline constexpr int wdLineWidth025pt = 2, wdLineWidth050pt = 4, wdLineWidth075pt = 6,
                     wdLineWidth100pt = 8, wdLineWidth150pt = 12, wdLineWidth225pt = 18,
                     wdLineWidth300pt = 24, wdLineWidth450pt = 36, wdLineWidth600pt = 48;
// WdColor
inline constexpr int wdColorAutomatic = -16777216;

class Shapes;
class View;

// The view of the document window. Its state belongs to the document: the view type is the
// one saved in settings.xml (w:view; print layout when absent), the window has one pane
// unless split.
class View {
public:
  explicit View(Document* doc);
  // wdNormalView, wdOutlineView, wdPrintView, wdMasterView, wdWebView or wdReadingView.
  int type() const;
  // Sets the view and saves it with the document (w:view in settings.xml).
  void setType(int wdView);
  // wdPaneNone, or the pane type of a split window's second pane.
  int splitSpecial() const;
  // wdPaneNone closes the second pane; any other value splits the window.
  void setSplitSpecial(int pane);
  // Where the selection is: wdSeekMainDocument, or the wdSeek… value that took it into the
  // header or footer it is in.
  int seekView() const;
  // Moves the selection: into the main text (back to where it was when it left), or into a
  // header or footer of the selection's section, created when missing (see the file comment).
  // Headers and footers can be reached only in the print layout: other views throw
  // DocumentError, as Word refuses. Footnotes and endnotes are not supported.
  void setSeekView(int wdSeek);

private:
  Document* doc_;
  mutable int type_ = -1; // read from settings.xml on first use
  int split_ = wdPaneNone;
  int seek_ = wdSeekMainDocument;
  int section_ = 1; // section whose header or footer the selection is in
  Range mainSelection_;
  bool haveMain_ = false;
};

class Window;

// One pane of the window (the model keeps one view for both panes of a split window).
class Pane {
public:
  Pane(Window* window, int index) : window_(window), index_(index) {}
  View& view();
  // Closing either pane of a split window leaves one; the last pane cannot be closed.
  void close();
  int index() const { return index_; }

private:
  Window* window_;
  int index_;
};

class Panes {
public:
  explicit Panes(Window* window) : window_(window) {}
  int count() const;
  // 1-based; throws DocumentError when out of range.
  Pane item(int index) const;

private:
  Window* window_;
};

// The document's window (Document::activeWindow).
class Window {
public:
  explicit Window(Document* doc) : view_(doc) {}
  View& view() { return view_; }
  Pane activePane() { return Pane(this, 1); }
  Panes panes() { return Panes(this); }

private:
  View view_;
};

// Page numbering of the sections that show one header or footer (w:pgNumType of each).
class PageNumbers {
public:
  PageNumbers(Document* doc, std::vector<pugi::xml_node> sections);
  // wdPageNumberStyle… of the first section (w:pgNumType @fmt; Arabic when absent).
  int numberStyle() const;
  // Throws DocumentError for a style without an OOXML number format.
  void setNumberStyle(int wdPageNumberStyle);
  // Chapter numbers in page numbers (w:pgNumType @chapStyle, @chapSep). The heading level and
  // the separator are kept in the file only while chapter numbers are included.
  bool includeChapterNumber() const;
  void setIncludeChapterNumber(bool on);
  int headingLevelForChapter() const; // 0 = Heading 1
  void setHeadingLevelForChapter(int level);
  int chapterPageSeparator() const; // wdSeparator…
  void setChapterPageSeparator(int wdSeparator);
  // Numbering starts again at each section (w:pgNumType @start) or continues.
  bool restartNumberingAtSection() const;
  void setRestartNumberingAtSection(bool on);
  // The number a restarting section begins with; 0 when numbering continues. Setting a
  // number above 0 restarts numbering there, 0 lets it continue.
  int startingNumber() const;
  void setStartingNumber(int number);

  const std::vector<pugi::xml_node>& sections() const { return sections_; }

private:
  Document* doc_;
  std::vector<pugi::xml_node> sections_;
};

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
  // The section's w:sectPr.
  pugi::xml_node sectPr() const;
  Range range() const;

private:
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

// One field: a complex field (w:fldChar begin … end) or a simple one (w:fldSimple).
class Field {
public:
  Field(Story* story, pugi::xml_node begin) : story_(story), begin_(begin) {}
  // The field code as written (" PAGE "), instruction pieces joined.
  std::string code() const;
  // The shown result, as text.
  std::string result() const;
  // Word's Field.Delete: removes the whole field, code and result.
  void deleteField();

private:
  Story* story_;
  pugi::xml_node begin_; // w:fldChar begin or w:fldSimple
};

class Fields {
public:
  // The fields of the paragraphs that [start, end) of `story` touches, in document order.
  Fields(Story* story, int64_t start, int64_t end, Selection* owner = nullptr);
  int count() const;
  // 1-based; throws DocumentError when out of range.
  Field item(int index) const;
  // Replaces `range` with a new field of `type`: wdFieldPage, wdFieldNumPages, or wdFieldEmpty
  // with the field code in `text`. The field shows a placeholder result ("1") until a reader
  // updates it; it takes the formatting of the character before it. A Fields of a selection
  // whose range is `range` leaves the selection collapsed after the new field.
  Field add(const Range& range, int type, const std::string& text = "");

private:
  Story* story_;
  int64_t start_, end_;
  Selection* owner_;
  std::vector<pugi::xml_node> list() const;
};

// One border of the paragraphs of a range (w:pBdr/w:top, w:left, w:bottom, w:right).
class Border {
public:
  Border(const Range& range, int which) : range_(range), which_(which) {}
  // wdLineStyle…; reading gives the effective border (direct formatting, then the paragraph
  // style chain) when every paragraph agrees, else wdUndefined.
  int lineStyle() const;
  // wdLineStyleNone writes an explicit "nil" border, so that a style's border is hidden.
  // Other styles keep the width and colour already set, or 0.5 pt automatic.
  void setLineStyle(int wdLineStyle);
  // wdLineWidth… (eighths of a point).
  int lineWidth() const;
  void setLineWidth(int wdLineWidth);
  // wdColorAutomatic or a BGR colour value (red + green·256 + blue·65536).
  int color() const;
  void setColor(int wdColor);

private:
  Range range_;
  int which_;
};

class Borders {
public:
  explicit Borders(const Range& range) : range_(range) {}
  // wdBorderTop, wdBorderLeft, wdBorderBottom or wdBorderRight; throws DocumentError for
  // other values.
  Border item(int wdBorder) const;

private:
  Range range_;
};

// The move of the document run between the main text, the header and the footer (the
// engine's seekStory): a split window loses its second pane, a view other than the print
// layout becomes the print layout (headers and footers can be reached only there), then
// View.SeekView is set to `wdSeek`.
void seekStory(Document& doc, int wdSeek);
// The first two of those steps alone: one pane, print layout.
void showPrintLayout(Document& doc);

// ---- helpers shared with the shape model ----

// Inserts an empty w:r at character position `pos` of `story` (at the start of a paragraph
// right after its properties, at its end as the last child, else between runs split there)
// and returns it; `rPrFrom` receives the run whose formatting the character before `pos` has
// (an empty node at a paragraph start). The caller fills the run, then calls
// story.invalidateText(story.recOf(paragraph)) and story.touch().
pugi::xml_node insertRunAt(Story& story, int64_t pos, pugi::xml_node* rPrFrom = nullptr);
// The prefix bound to namespace `uri` on `root`, declared there as `preferred` (or
// `preferred` with a number) when missing.
std::string namespacePrefix(pugi::xml_node root, const char* uri, const char* preferred);
// The index (1-based) of the section that holds position `pos` of the main text.
int sectionAt(Document& doc, int64_t pos);

} // namespace word
