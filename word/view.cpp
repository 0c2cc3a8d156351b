#include "word/view.h"

#include <algorithm>
#include <cstring>

#include "base/messages.h"
#include "word/internal/access.h"
#include "word/internal/parts.h"
#include "word/internal/sections.h"
#include "word/internal/story.h"
#include "word/internal/xmlns.h"
#include "word/sections.h"

namespace word {

namespace {

// ---- settings.xml for the saved view ----

pugi::xml_node settingsRoot(Document& doc, bool create) {
  Package& pkg = packageOf(doc);
  const std::string& mainPart = doc.content().part();
  for (const Relationship& rel : pkg.relationships(mainPart))
    if (rel.type.ends_with("/settings") && pkg.has(rel.target))
      return pkg.xml(rel.target)->document_element();
  if (!create)
    return {};
  std::string dir = folderOf(mainPart);
  std::string file = "settings.xml";
  for (int k = 2; pkg.has(dir + file); ++k)
    file = "settings" + std::to_string(k) + ".xml";
  pkg.setBytes(dir + file,
               std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                           "<w:settings xmlns:w=\"") +
                   kWNamespace + "\"/>");
  pkg.setContentTypeOverride(dir + file, kSettingsContentType);
  pkg.addRelationship(mainPart, std::string(kRelTypeBase) + "settings", file);
  return pkg.xml(dir + file)->document_element();
}

struct ViewName {
  int type;
  const char* val;
};
constexpr ViewName kViews[] = {{wdNormalView, "normal"},
                               {wdOutlineView, "outline"},
                               {wdPrintView, "print"},
                               {wdMasterView, "masterPages"},
                               {wdWebView, "web"}};

} // namespace

// ---- View, Pane, Window ------------------------------------------------------------------

View::View(Document* doc) : doc_(doc) {}

int View::type() const {
  if (type_ < 0) {
    type_ = wdPrintView;
    if (pugi::xml_node root = settingsRoot(*doc_, false)) {
      WNames n = WNames::forRoot(root);
      std::string val = attr(root.child(n.q("view")), "val", n);
      for (const ViewName& v : kViews)
        if (val == v.val)
          type_ = v.type;
    }
  }
  return type_;
}

void View::setType(int wdView) {
  if (wdView < wdNormalView || wdView > wdReadingView)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatView, wdView));
  if (wdView == type())
    return;
  type_ = wdView;
  // Print preview and reading mode are not saved: the file keeps the print layout.
  const char* val = "print";
  for (const ViewName& v : kViews)
    if (v.type == wdView)
      val = v.val;
  pugi::xml_node root = settingsRoot(*doc_, std::strcmp(val, "print") != 0);
  if (!root)
    return;
  WNames n = WNames::forRoot(root);
  pugi::xml_node view = root.child(n.q("view"));
  if (!view) {
    pugi::xml_node wp = root.child(n.q("writeProtection"));
    view = wp ? root.insert_child_after(n.q("view"), wp) : root.prepend_child(n.q("view"));
  }
  setAttr(view, "val", val, n);
  std::string part;
  for (const Relationship& rel : packageOf(*doc_).relationships(doc_->content().part()))
    if (rel.type.ends_with("/settings"))
      part = rel.target;
  packageOf(*doc_).markDirty(part);
}

int View::splitSpecial() const {
  return split_;
}

void View::setSplitSpecial(int pane) {
  if (pane < 0)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatPane, pane));
  split_ = pane;
}

int View::seekView() const {
  Story* st = doc_->selection().story();
  if (!st || st->type() == StoryType::Main)
    return wdSeekMainDocument;
  bool header = st->type() == StoryType::Header;
  bool seekHeader = seek_ == wdSeekPrimaryHeader || seek_ == wdSeekFirstPageHeader ||
                    seek_ == wdSeekEvenPagesHeader || seek_ == wdSeekCurrentPageHeader;
  bool seekFooter = seek_ == wdSeekPrimaryFooter || seek_ == wdSeekFirstPageFooter ||
                    seek_ == wdSeekEvenPagesFooter || seek_ == wdSeekCurrentPageFooter;
  if ((header && seekHeader) || (!header && seekFooter))
    return seek_;
  return header ? wdSeekCurrentPageHeader : wdSeekCurrentPageFooter;
}

void View::setSeekView(int wdSeek) {
  Selection& sel = doc_->selection();
  Story* cur = sel.story();
  bool inMain = !cur || cur->type() == StoryType::Main;
  if (wdSeek == wdSeekMainDocument) {
    seek_ = wdSeekMainDocument;
    if (inMain)
      return;
    Story& main = doc_->content();
    sel.moveToStory(&main);
    if (haveMain_) {
      int64_t len = main.length();
      sel.setRange(
          Range(&main, std::min(mainSelection_.start(), len), std::min(mainSelection_.end(), len)));
    }
    return;
  }
  int index;
  bool header;
  switch (wdSeek) {
  case wdSeekPrimaryHeader:
  case wdSeekCurrentPageHeader:
    index = wdHeaderFooterPrimary, header = true;
    break;
  case wdSeekFirstPageHeader:
    index = wdHeaderFooterFirstPage, header = true;
    break;
  case wdSeekEvenPagesHeader:
    index = wdHeaderFooterEvenPages, header = true;
    break;
  case wdSeekPrimaryFooter:
  case wdSeekCurrentPageFooter:
    index = wdHeaderFooterPrimary, header = false;
    break;
  case wdSeekFirstPageFooter:
    index = wdHeaderFooterFirstPage, header = false;
    break;
  case wdSeekEvenPagesFooter:
    index = wdHeaderFooterEvenPages, header = false;
    break;
  default:
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatSeekView, wdSeek));
  }
  if (type() != wdPrintView)
    throw DocumentError(msg::kHeaderNeedsPrintLayout);
  int section = section_;
  if (inMain) {
    mainSelection_ = sel.range();
    haveMain_ = true;
    section = sectionAt(*doc_, sel.start());
  }
  HeaderFooter hf(doc_, section, index, header);
  sel.moveToStory(hf.story());
  section_ = section;
  seek_ = wdSeek;
}

View& Pane::view() {
  return window_->view();
}

void Pane::close() {
  if (window_->panes().count() < 2)
    throw DocumentError(msg::kOnlyPaneCannotClose);
  window_->view().setSplitSpecial(wdPaneNone);
}

int Panes::count() const {
  return window_->view().splitSpecial() == wdPaneNone ? 1 : 2;
}

Pane Panes::item(int index) const {
  if (index < 1 || index > count())
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatPane, index));
  return Pane(window_, index);
}

// ---- Document members --------------------------------------------------------------------

Window& Document::activeWindow() {
  if (!window_)
    window_ = std::make_shared<Window>(this);
  return *window_;
}

} // namespace word
