#pragma once
// The document window and its view (Word's Window, Panes, Pane and View). View.SeekView moves
// the selection between the main text and the headers and footers.
//
// The model does not lay out pages: "the current page" is the section of the selection, and its
// header or footer is the primary one (first-page and even-page headers are reached through
// wdSeekFirstPage… / wdSeekEvenPages…).

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
  // header or footer of the selection's section, created when missing (see word/sections.h).
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

} // namespace word
