#include "word/sections.h"
#include "base/messages.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>

#include "word/format.h"
#include "word/internal/story.h"
#include "word/pagesetup.h"
#include "word/shapes.h"
#include "word/text.h"

namespace word {

namespace {

constexpr const char* kRelNs =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr const char* kRelTypeBase =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
constexpr const char* kHeaderContentType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.header+xml";
constexpr const char* kFooterContentType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.footer+xml";
constexpr const char* kSettingsContentType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.settings+xml";
constexpr const char* kVmlNs = "urn:schemas-microsoft-com:vml";
constexpr const char* kOfficeNs = "urn:schemas-microsoft-com:office:office";
constexpr const char* kWordVmlNs = "urn:schemas-microsoft-com:office:word";

bool endsWith(const std::string& s, const char* suffix) {
  size_t n = std::strlen(suffix);
  return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

std::string folderOf(const std::string& part) {
  size_t slash = part.rfind('/');
  return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// "word/header1.xml" -> "word/_rels/header1.xml.rels"
std::string relsPartOf(const std::string& part) {
  size_t slash = part.rfind('/');
  std::string dir = slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
  std::string file = slash == std::string::npos ? part : part.substr(slash + 1);
  return dir + "_rels/" + file + ".rels";
}

// The prefix bound to `uri` on `root`, or nullopt.
std::optional<std::string> findPrefix(pugi::xml_node root, const char* uri) {
  for (pugi::xml_attribute a : root.attributes()) {
    if (std::strcmp(a.value(), uri) != 0)
      continue;
    const char* name = a.name();
    if (!std::strncmp(name, "xmlns:", 6))
      return std::string(name + 6);
  }
  return std::nullopt;
}

const char* refTypeName(int index) {
  switch (index) {
  case wdHeaderFooterFirstPage:
    return "first";
  case wdHeaderFooterEvenPages:
    return "even";
  default:
    return "default";
  }
}

void checkIndex(int index) {
  if (index != wdHeaderFooterPrimary && index != wdHeaderFooterFirstPage &&
      index != wdHeaderFooterEvenPages)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatHeaderFooterIndex, index));
}

pugi::xml_node mainRoot(Document& doc) {
  return doc.content().root().parent();
}

// The relationship id attribute name of header and footer references ("r:id").
std::string relIdName(Document& doc) {
  return findPrefix(mainRoot(doc), kRelNs).value_or("r") + ":id";
}

// Reference elements of one kind and index in a section.
std::vector<pugi::xml_node> references(Document& doc, pugi::xml_node sectPr, bool header,
                                       int index) {
  const WNames& n = doc.content().names();
  const char* local = header ? "headerReference" : "footerReference";
  std::vector<pugi::xml_node> out;
  for (pugi::xml_node c = sectPr.child(n.q(local)); c; c = c.next_sibling(n.q(local))) {
    std::string type = attr(c, "type", n);
    if (type.empty())
      type = "default";
    if (type == refTypeName(index))
      out.push_back(c);
  }
  return out;
}

// The part a section's own reference names ("" when it has none or it is broken).
std::string referencedPart(Document& doc, pugi::xml_node sectPr, bool header, int index) {
  auto refs = references(doc, sectPr, header, index);
  if (refs.empty())
    return {};
  std::string id = refs.front().attribute(relIdName(doc).c_str()).value();
  for (const Relationship& rel : doc.package().relationships(doc.content().part()))
    if (rel.id == id && rel.targetMode != "External" && doc.package().has(rel.target))
      return rel.target;
  return {};
}

// The part section `s` (1-based) shows: its own, else the nearest previous section's.
std::string resolvePart(Document& doc, const std::vector<pugi::xml_node>& secs, int s, bool header,
                        int index) {
  for (int k = std::min<int>(s, static_cast<int>(secs.size())); k >= 1; --k) {
    std::string part = referencedPart(doc, secs[static_cast<size_t>(k - 1)], header, index);
    if (!part.empty())
      return part;
  }
  return {};
}

// The styleId of the paragraph style named `name` ("header", "footer"), or "".
std::string styleIdByName(Document& doc, const char* name) {
  for (const Relationship& rel : doc.package().relationships(doc.content().part())) {
    if (!endsWith(rel.type, "/styles") || !doc.package().has(rel.target))
      continue;
    pugi::xml_document* x = doc.package().xml(rel.target);
    pugi::xml_node root = x->document_element();
    WNames n = WNames::forRoot(root);
    for (pugi::xml_node s = root.child(n.q("style")); s; s = s.next_sibling(n.q("style"))) {
      if (attr(s, "type", n) != "paragraph")
        continue;
      std::string v = attr(s.child(n.q("name")), "val", n);
      std::transform(v.begin(), v.end(), v.begin(),
                     [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
      if (v == name)
        return attr(s, "styleId", n);
    }
  }
  return {};
}

// Adds a reference of `kind`/`index` with relationship `rid` to a section, after its other
// header and footer references (they come first in a section, in any order).
void addReference(Document& doc, pugi::xml_node sectPr, bool header, int index,
                  const std::string& rid) {
  const WNames& n = doc.content().names();
  std::string prefix = namespacePrefix(mainRoot(doc), kRelNs, "r");
  pugi::xml_node after;
  for (pugi::xml_node c = sectPr.first_child(); c; c = c.next_sibling())
    if (n.is(c, "headerReference") || n.is(c, "footerReference"))
      after = c;
  const char* local = header ? "headerReference" : "footerReference";
  pugi::xml_node ref =
      after ? sectPr.insert_child_after(n.q(local), after) : sectPr.prepend_child(n.q(local));
  setAttr(ref, "type", refTypeName(index), n);
  ref.append_attribute((prefix + ":id").c_str()).set_value(rid.c_str());
  doc.content().touch();
}

// A new header or footer part beside the main part, related from it; `bytes` empty makes an
// empty one (one paragraph in the Header/Footer style when the document has that style).
// Returns {part name, relationship id}.
std::pair<std::string, std::string> createPart(Document& doc, bool header,
                                               const std::string& bytes = {}) {
  Package& pkg = doc.package();
  const std::string& mainPart = doc.content().part();
  std::string dir = folderOf(mainPart);
  const char* base = header ? "header" : "footer";
  int k = 1;
  while (pkg.has(dir + base + std::to_string(k) + ".xml"))
    ++k;
  std::string file = base + std::to_string(k) + ".xml";
  std::string part = dir + file;
  if (bytes.empty()) {
    std::string style = styleIdByName(doc, base);
    std::string xml =
        std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<w:") +
        (header ? "hdr" : "ftr") + " xmlns:w=\"" + kWNamespace + "\" xmlns:r=\"" + kRelNs +
        "\" xmlns:v=\"" + kVmlNs + "\" xmlns:o=\"" + kOfficeNs + "\" xmlns:w10=\"" + kWordVmlNs +
        "\"><w:p>";
    if (!style.empty()) {
      std::string escaped;
      for (char c : style) {
        if (c == '"')
          escaped += "&quot;";
        else if (c == '&')
          escaped += "&amp;";
        else if (c == '<')
          escaped += "&lt;";
        else
          escaped += c;
      }
      xml += "<w:pPr><w:pStyle w:val=\"" + escaped + "\"/></w:pPr>";
    }
    xml += std::string("</w:p></w:") + (header ? "hdr" : "ftr") + ">";
    pkg.setBytes(part, xml);
  } else {
    pkg.setBytes(part, bytes);
  }
  pkg.setContentTypeOverride(part, header ? kHeaderContentType : kFooterContentType);
  std::string rid = pkg.addRelationship(mainPart, std::string(kRelTypeBase) + base, file);
  return {part, rid};
}

// The story of a header or footer part of the package.
Story* storyOfPart(Document& doc, const std::string& part, bool header, int index) {
  for (HeaderFooterPart& h : doc.headerFooters())
    if (h.partName == part)
      return h.story;
  return doc.addHeaderFooterStory(part, header ? StoryType::Header : StoryType::Footer,
                                  refTypeName(index));
}

// Which sections show `part` as their `kind`/`index` header or footer.
std::vector<pugi::xml_node> sectionsShowing(Document& doc, const std::string& part, bool header,
                                            int index) {
  std::vector<pugi::xml_node> secs = documentSections(doc), out;
  for (int s = 1; s <= static_cast<int>(secs.size()); ++s)
    if (resolvePart(doc, secs, s, header, index) == part)
      out.push_back(secs[static_cast<size_t>(s - 1)]);
  return out;
}

// ---- settings.xml for the saved view ----

pugi::xml_node settingsRoot(Document& doc, bool create) {
  Package& pkg = doc.package();
  const std::string& mainPart = doc.content().part();
  for (const Relationship& rel : pkg.relationships(mainPart))
    if (endsWith(rel.type, "/settings") && pkg.has(rel.target))
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

// ---- paragraph borders ----

const char* borderSide(int which) {
  switch (which) {
  case wdBorderTop:
    return "top";
  case wdBorderLeft:
    return "left";
  case wdBorderBottom:
    return "bottom";
  case wdBorderRight:
    return "right";
  default:
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatBorderSide, which));
  }
}

struct LineStyleName {
  int style;
  const char* val;
};
constexpr LineStyleName kLineStyles[] = {{wdLineStyleSingle, "single"},
                                         {wdLineStyleDot, "dotted"},
                                         {wdLineStyleDashSmallGap, "dashSmallGap"},
                                         {wdLineStyleDashLargeGap, "dashed"},
                                         {wdLineStyleDashDot, "dotDash"},
                                         {wdLineStyleDashDotDot, "dotDotDash"},
                                         {wdLineStyleDouble, "double"},
                                         {wdLineStyleTriple, "triple"}};

// The border element of one side in a w:pPr (the strict names start/end stand for left/right).
pugi::xml_node sideIn(pugi::xml_node pPr, const char* side, const WNames& n) {
  pugi::xml_node pBdr = pPr.child(n.q("pBdr"));
  if (!pBdr)
    return {};
  if (pugi::xml_node e = pBdr.child(n.q(side)))
    return e;
  if (!std::strcmp(side, "left"))
    return pBdr.child(n.q("start"));
  if (!std::strcmp(side, "right"))
    return pBdr.child(n.q("end"));
  return {};
}

// The effective border element of a paragraph (direct, then its style chain) and the names of
// the part it lives in.
std::pair<pugi::xml_node, const WNames*> effectiveSide(Document& doc, Story* st, pugi::xml_node p,
                                                       const char* side) {
  const WNames& n = st->names();
  pugi::xml_node pPr = p.child(n.pPr.c_str());
  if (pugi::xml_node e = sideIn(pPr, side, n))
    return {e, &n};
  std::string ps = attr(pPr.child(n.pStyle.c_str()), "val", n);
  if (ps.empty())
    ps = doc.defaultParagraphStyle();
  const WNames& sn = doc.stylesNames();
  for (int guard = 0; !ps.empty() && guard < 32; ++guard) {
    pugi::xml_node s = doc.styleNode(ps);
    if (!s)
      break;
    if (pugi::xml_node e = sideIn(s.child(sn.pPr.c_str()), side, sn))
      return {e, &sn};
    ps = attr(s.child(sn.q("basedOn")), "val", sn);
  }
  return {pugi::xml_node(), &n};
}

template <class Get> int uniformBorder(const Range& r, const char* side, Get get) {
  Story* st = r.story();
  if (!st)
    return wdUndefined;
  std::optional<int> v;
  for (ParaRec* rec : st->parasIn(r.start(), std::max(r.end(), r.start() + 1))) {
    auto [e, names] = effectiveSide(*st->document(), st, rec->p, side);
    int x = get(e, *names);
    if (!v)
      v = x;
    else if (*v != x)
      return wdUndefined;
  }
  return v.value_or(wdUndefined);
}

int lineStyleOf(pugi::xml_node e, const WNames& n) {
  if (!e)
    return wdLineStyleNone;
  std::string val = attr(e, "val", n);
  if (val.empty() || val == "nil" || val == "none")
    return wdLineStyleNone;
  for (const LineStyleName& l : kLineStyles)
    if (val == l.val)
      return l.style;
  return wdLineStyleSingle; // art and 3-D borders: a line of some kind
}

// ---- document-order walking for fields ----

pugi::xml_node nextInOrder(pugi::xml_node node, pugi::xml_node root) {
  if (node.first_child())
    return node.first_child();
  while (node && node != root) {
    if (node.next_sibling())
      return node.next_sibling();
    node = node.parent();
  }
  return {};
}

void collectFields(pugi::xml_node node, const WNames& n, std::vector<pugi::xml_node>& out) {
  for (pugi::xml_node c = node.first_child(); c; c = c.next_sibling()) {
    if (c.type() != pugi::node_element)
      continue;
    if (n.is(c, "fldSimple")) {
      out.push_back(c);
    } else if (n.is(c, "fldChar")) {
      if (attr(c, "fldCharType", n) == "begin")
        out.push_back(c);
      continue;
    }
    collectFields(c, n, out);
  }
}

} // namespace

// ---- helpers ------------------------------------------------------------------------------

std::string namespacePrefix(pugi::xml_node root, const char* uri, const char* preferred) {
  if (auto p = findPrefix(root, uri))
    return *p;
  std::string prefix = preferred;
  for (int k = 1; root.attribute(("xmlns:" + prefix).c_str()); ++k)
    prefix = std::string(preferred) + std::to_string(k);
  root.append_attribute(("xmlns:" + prefix).c_str()).set_value(uri);
  return prefix;
}

int sectionAt(Document& doc, int64_t pos) {
  Story& st = doc.content();
  const WNames& n = st.names();
  int idx = st.indexAt(pos);
  int breaks = 0;
  for (int i = 0; i < idx; ++i) {
    ParaRec* rec = st.at(i);
    if (!rec->inTable && rec->p.child(n.pPr.c_str()).child(n.sectPr.c_str()))
      ++breaks;
  }
  return breaks + 1;
}

pugi::xml_node insertRunAt(Story& st, int64_t pos, pugi::xml_node* rPrFrom) {
  const WNames& n = st.names();
  ParaRec* rec = st.at(st.indexAt(pos));
  int64_t s = st.startOf(rec);
  int64_t len = static_cast<int64_t>(st.content(rec).size());
  int64_t off = std::clamp<int64_t>(pos - s, 0, len);
  pugi::xml_node p = rec->p;
  pugi::xml_node from;
  if (off > 0) {
    for (const Seg& sg : rec->segs)
      if (sg.off <= off - 1 && off - 1 < sg.off + sg.len && n.is(sg.node.parent(), "r"))
        from = sg.node.parent();
  }
  if (rPrFrom)
    *rPrFrom = from;
  if (off == 0) {
    pugi::xml_node pPr = p.child(n.pPr.c_str());
    return pPr ? p.insert_child_after(n.r.c_str(), pPr) : p.prepend_child(n.r.c_str());
  }
  if (off == len)
    return p.append_child(n.r.c_str());
  std::vector<pugi::xml_node> runs = st.runsIn(pos, s + len, true);
  if (runs.empty())
    return p.append_child(n.r.c_str());
  return runs.front().parent().insert_child_before(n.r.c_str(), runs.front());
}

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
  for (const Relationship& rel : doc_->package().relationships(doc_->content().part()))
    if (endsWith(rel.type, "/settings"))
      part = rel.target;
  doc_->package().markDirty(part);
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

void showPrintLayout(Document& doc) {
  Window& window = doc.activeWindow();
  if (window.view().splitSpecial() != wdPaneNone)
    window.panes().item(2).close();
  View& view = window.activePane().view();
  if (view.type() != wdPrintView)
    view.setType(wdPrintView);
}

void seekStory(Document& doc, int wdSeek) {
  showPrintLayout(doc);
  doc.activeWindow().activePane().view().setSeekView(wdSeek);
}

// ---- Document members --------------------------------------------------------------------

Window& Document::activeWindow() {
  if (!window_)
    window_ = std::make_shared<Window>(this);
  return *window_;
}

Sections Document::sections() {
  return Sections(this);
}

Story* Document::addHeaderFooterStory(const std::string& partName, StoryType type,
                                      const std::string& refType) {
  for (HeaderFooterPart& h : headerFooters())
    if (h.partName == partName)
      return h.story;
  pugi::xml_document* x = pkg_->xml(partName);
  if (!x)
    throw DocumentError(path_, partName, msg::kHeaderPartMissing);
  others_.push_back(std::make_unique<Story>(this, partName, x->document_element(), type));
  hf_.push_back({partName, type, refType, others_.back().get()});
  return others_.back().get();
}

// ---- Sections ----------------------------------------------------------------------------

int Sections::count() const {
  return static_cast<int>(documentSections(*doc_).size());
}

Section Sections::item(int index) const {
  if (index < 1 || index > count())
    throw DocumentError(msg::text(msg::kSectionMissing, index, count()));
  return Section(doc_, index);
}

HeaderFooter Section::headers(int index) const {
  return HeaderFooter(doc_, index_, index, true);
}
HeaderFooter Section::footers(int index) const {
  return HeaderFooter(doc_, index_, index, false);
}

pugi::xml_node Section::sectPr() const {
  std::vector<pugi::xml_node> secs = documentSections(*doc_);
  return secs.at(
      static_cast<size_t>(std::clamp<int>(index_, 1, static_cast<int>(secs.size())) - 1));
}

Range Section::range() const {
  Story& st = doc_->content();
  const WNames& n = st.names();
  int count = st.count(), k = 1;
  int64_t start = 0;
  for (int i = 0; i < count; ++i) {
    ParaRec* rec = st.at(i);
    if (rec->inTable || !rec->p.child(n.pPr.c_str()).child(n.sectPr.c_str()))
      continue;
    int64_t end = st.startOf(rec) + static_cast<int64_t>(st.fullLen(rec));
    if (k == index_)
      return Range(&st, start, end);
    start = end;
    ++k;
  }
  return Range(&st, start, st.length());
}

// ---- HeaderFooter ------------------------------------------------------------------------

HeaderFooter::HeaderFooter(Document* doc, int section, int index, bool header)
    : doc_(doc), section_(section), index_(index), header_(header) {
  checkIndex(index);
}

Story* HeaderFooter::story() const {
  std::vector<pugi::xml_node> secs = documentSections(*doc_);
  std::string part = resolvePart(*doc_, secs, section_, header_, index_);
  if (part.empty()) {
    // No section up to this one has one: the chain begins at the first section.
    pugi::xml_node first = secs.front();
    for (pugi::xml_node broken : references(*doc_, first, header_, index_))
      first.remove_child(broken);
    auto [name, rid] = createPart(*doc_, header_);
    addReference(*doc_, first, header_, index_, rid);
    part = name;
  }
  return storyOfPart(*doc_, part, header_, index_);
}

Range HeaderFooter::range() const {
  Story* st = story();
  return Range(st, 0, st->length());
}

bool HeaderFooter::linkToPrevious() const {
  if (section_ <= 1)
    return false;
  std::vector<pugi::xml_node> secs = documentSections(*doc_);
  if (section_ > static_cast<int>(secs.size()))
    return false;
  return referencedPart(*doc_, secs[static_cast<size_t>(section_ - 1)], header_, index_).empty();
}

void HeaderFooter::setLinkToPrevious(bool on) {
  std::vector<pugi::xml_node> secs = documentSections(*doc_);
  if (section_ <= 1 || section_ > static_cast<int>(secs.size()))
    return;
  pugi::xml_node sectPr = secs[static_cast<size_t>(section_ - 1)];
  if (on) {
    for (pugi::xml_node ref : references(*doc_, sectPr, header_, index_))
      sectPr.remove_child(ref);
    doc_->content().touch();
    return;
  }
  if (!referencedPart(*doc_, sectPr, header_, index_).empty())
    return;
  for (pugi::xml_node broken : references(*doc_, sectPr, header_, index_))
    sectPr.remove_child(broken);
  // A copy of what the section showed, with the relationships of its pictures.
  std::string shown = resolvePart(*doc_, secs, section_ - 1, header_, index_);
  Package& pkg = doc_->package();
  auto [name, rid] = createPart(*doc_, header_, shown.empty() ? std::string() : pkg.bytes(shown));
  if (!shown.empty() && pkg.has(relsPartOf(shown)))
    pkg.setBytes(relsPartOf(name), pkg.bytes(relsPartOf(shown)));
  addReference(*doc_, sectPr, header_, index_, rid);
}

PageNumbers HeaderFooter::pageNumbers() const {
  std::string part = story()->part();
  std::vector<pugi::xml_node> secs = sectionsShowing(*doc_, part, header_, index_);
  if (secs.empty())
    secs.push_back(Section(doc_, section_).sectPr());
  return PageNumbers(doc_, std::move(secs));
}

Shapes HeaderFooter::shapes() const {
  return Shapes(story());
}

// ---- PageNumbers -------------------------------------------------------------------------

namespace {

struct NumberFormat {
  int style;
  const char* fmt;
};
constexpr NumberFormat kNumberFormats[] = {
    {wdPageNumberStyleArabic, "decimal"},
    {wdPageNumberStyleUppercaseRoman, "upperRoman"},
    {wdPageNumberStyleLowercaseRoman, "lowerRoman"},
    {wdPageNumberStyleUppercaseLetter, "upperLetter"},
    {wdPageNumberStyleLowercaseLetter, "lowerLetter"},
    {wdPageNumberStyleArabicFullWidth, "decimalFullWidth"},
    {wdPageNumberStyleNumberInCircle, "decimalEnclosedCircle"},
    {wdPageNumberStyleArabicLZ, "decimalZero"},
    {wdPageNumberStyleSimpChinNum1, "chineseCounting"},
    {wdPageNumberStyleSimpChinNum2, "chineseLegalSimplified"},
    {wdPageNumberStyleNumberInDash, "numberInDash"}};

constexpr const char* kSeparators[] = {"hyphen", "period", "colon", "emDash", "enDash"};

} // namespace

PageNumbers::PageNumbers(Document* doc, std::vector<pugi::xml_node> sections)
    : doc_(doc), sections_(std::move(sections)) {}

namespace {
pugi::xml_node firstPgNumType(Document* doc, const std::vector<pugi::xml_node>& secs) {
  if (secs.empty())
    return {};
  return secs.front().child(doc->content().names().q("pgNumType"));
}

// Applies `edit` to each section's w:pgNumType (created when missing; removed when it is left
// without attributes).
template <class Edit>
void editPgNumType(Document* doc, const std::vector<pugi::xml_node>& secs, Edit edit) {
  const WNames& n = doc->content().names();
  for (pugi::xml_node s : secs) {
    pugi::xml_node e = ensureChild(s, "pgNumType", n);
    edit(e, n);
    if (!e.first_attribute() && !e.first_child())
      s.remove_child(e);
  }
  doc->content().touch();
}
} // namespace

int PageNumbers::numberStyle() const {
  const WNames& n = doc_->content().names();
  std::string fmt = attr(firstPgNumType(doc_, sections_), "fmt", n);
  for (const NumberFormat& f : kNumberFormats)
    if (fmt == f.fmt)
      return f.style;
  return wdPageNumberStyleArabic;
}

void PageNumbers::setNumberStyle(int style) {
  const char* fmt = nullptr;
  for (const NumberFormat& f : kNumberFormats)
    if (f.style == style)
      fmt = f.fmt;
  if (!fmt)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatPageNumberStyle, style));
  editPgNumType(doc_, sections_,
                [&](pugi::xml_node e, const WNames& n) { setAttr(e, "fmt", fmt, n); });
}

bool PageNumbers::includeChapterNumber() const {
  return static_cast<bool>(
      firstPgNumType(doc_, sections_).attribute(doc_->content().names().q("chapStyle")));
}

void PageNumbers::setIncludeChapterNumber(bool on) {
  editPgNumType(doc_, sections_, [&](pugi::xml_node e, const WNames& n) {
    if (on) {
      if (!e.attribute(n.q("chapStyle")))
        setAttr(e, "chapStyle", "1", n);
    } else {
      e.remove_attribute(n.q("chapStyle"));
      e.remove_attribute(n.q("chapSep"));
    }
  });
}

int PageNumbers::headingLevelForChapter() const {
  int level =
      firstPgNumType(doc_, sections_).attribute(doc_->content().names().q("chapStyle")).as_int(1);
  return std::clamp(level, 1, 9) - 1;
}

void PageNumbers::setHeadingLevelForChapter(int level) {
  if (level < 0 || level > 8)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatChapterLevel, level));
  editPgNumType(doc_, sections_, [&](pugi::xml_node e, const WNames& n) {
    if (e.attribute(n.q("chapStyle")))
      setAttr(e, "chapStyle", std::to_string(level + 1), n);
  });
}

int PageNumbers::chapterPageSeparator() const {
  std::string sep = attr(firstPgNumType(doc_, sections_), "chapSep", doc_->content().names());
  for (int i = 0; i < 5; ++i)
    if (sep == kSeparators[i])
      return i;
  return wdSeparatorHyphen;
}

void PageNumbers::setChapterPageSeparator(int sep) {
  if (sep < 0 || sep > 4)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatChapterSeparator, sep));
  editPgNumType(doc_, sections_, [&](pugi::xml_node e, const WNames& n) {
    if (e.attribute(n.q("chapStyle")))
      setAttr(e, "chapSep", kSeparators[sep], n);
  });
}

bool PageNumbers::restartNumberingAtSection() const {
  return static_cast<bool>(
      firstPgNumType(doc_, sections_).attribute(doc_->content().names().q("start")));
}

void PageNumbers::setRestartNumberingAtSection(bool on) {
  editPgNumType(doc_, sections_, [&](pugi::xml_node e, const WNames& n) {
    if (!on)
      e.remove_attribute(n.q("start"));
    else if (!e.attribute(n.q("start")))
      setAttr(e, "start", "1", n);
  });
}

int PageNumbers::startingNumber() const {
  return firstPgNumType(doc_, sections_).attribute(doc_->content().names().q("start")).as_int(0);
}

void PageNumbers::setStartingNumber(int number) {
  if (number < 0)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatStartingNumber, number));
  editPgNumType(doc_, sections_, [&](pugi::xml_node e, const WNames& n) {
    if (number == 0)
      e.remove_attribute(n.q("start"));
    else
      setAttr(e, "start", std::to_string(number), n);
  });
}

// ---- Selection members -------------------------------------------------------------------

HeaderFooter Selection::headerFooter() const {
  Story* st = range_.story();
  if (!st || st->type() == StoryType::Main)
    throw DocumentError(msg::kSelectionNotInHeader);
  bool header = st->type() == StoryType::Header;
  std::vector<pugi::xml_node> secs = documentSections(*doc_);
  for (int s = 1; s <= static_cast<int>(secs.size()); ++s)
    for (int index : {wdHeaderFooterPrimary, wdHeaderFooterFirstPage, wdHeaderFooterEvenPages})
      if (resolvePart(*doc_, secs, s, header, index) == st->part())
        return HeaderFooter(doc_, s, index, header);
  return HeaderFooter(doc_, 1, wdHeaderFooterPrimary, header);
}

Fields Selection::fields() {
  return Fields(range_.story(), range_.start(), range_.end(), this);
}

int Selection::moveDown(int unit, int count, int extend) {
  if (unit != wdParagraph && unit != wdLine)
    throw DocumentError(msg::kMoveDownUnit);
  Story* st = range_.story();
  if (!st || count <= 0)
    return 0;
  int i = st->indexAt(range_.start()), n = st->count();
  int64_t pos;
  int moved;
  if (i + count < n) {
    pos = st->startOf(st->at(i + count));
    moved = count;
  } else {
    pos = std::max<int64_t>(0, st->length() - 1);
    moved = n - 1 - i;
  }
  range_ = extend == wdExtend ? Range(st, range_.start(), pos) : Range(st, pos, pos);
  return moved;
}

// ---- Fields ------------------------------------------------------------------------------

Fields::Fields(Story* story, int64_t start, int64_t end, Selection* owner)
    : story_(story), start_(start), end_(end), owner_(owner) {}

std::vector<pugi::xml_node> Fields::list() const {
  std::vector<pugi::xml_node> out;
  if (!story_)
    return out;
  for (ParaRec* rec : story_->parasIn(start_, std::max(end_, start_ + 1)))
    collectFields(rec->p, story_->names(), out);
  return out;
}

int Fields::count() const {
  return static_cast<int>(list().size());
}

Field Fields::item(int index) const {
  std::vector<pugi::xml_node> all = list();
  if (index < 1 || index > static_cast<int>(all.size()))
    throw DocumentError(msg::text(msg::kFieldMissing, index));
  return Field(story_, all[static_cast<size_t>(index - 1)]);
}

Field Fields::add(const Range& range, int type, const std::string& text) {
  Story* st = range.story();
  if (!st)
    throw DocumentError(msg::kFieldNeedsStory);
  std::string code;
  std::string result = "1";
  if (type == wdFieldPage || type == wdFieldNumPages) {
    code = type == wdFieldPage ? " PAGE " : " NUMPAGES ";
    if (!text.empty())
      code += text + " ";
  } else if (type == wdFieldEmpty) {
    code = text;
    result.clear();
  } else {
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatFieldType, type));
  }
  bool fromSelection = owner_ && owner_->story() == st && owner_->start() == range.start() &&
                       owner_->end() == range.end();
  Range r = range;
  if (r.end() > r.start())
    r.deleteText();
  int64_t pos = r.start();
  const WNames& n = st->names();

  pugi::xml_node from;
  pugi::xml_node first = insertRunAt(*st, pos, &from);
  pugi::xml_node rPr = from ? from.child(n.rPr.c_str()) : pugi::xml_node();
  pugi::xml_node p = first.parent();
  while (p && !n.is(p, "p"))
    p = p.parent();
  if (!from)
    rPr = p.child(n.pPr.c_str()).child(n.rPr.c_str());
  auto format = [&](pugi::xml_node run) {
    if (!rPr)
      return;
    pugi::xml_node c = run.prepend_copy(rPr);
    c.set_name(n.rPr.c_str());
    for (const char* drop : {"ins", "del", "moveFrom", "moveTo", "rPrChange"})
      while (pugi::xml_node d = c.child(n.q(drop)))
        c.remove_child(d);
  };
  auto fldChar = [&](pugi::xml_node run, const char* kind) {
    pugi::xml_node f = run.append_child(n.q("fldChar"));
    setAttr(f, "fldCharType", kind, n);
    return f;
  };
  pugi::xml_node begin = fldChar(first, "begin");
  format(first);
  pugi::xml_node last = first;
  auto next = [&]() {
    last = last.parent().insert_child_after(n.r.c_str(), last);
    format(last);
    return last;
  };
  pugi::xml_node instr = next().append_child(n.q("instrText"));
  instr.append_attribute("xml:space").set_value("preserve");
  instr.text().set(code.c_str());
  if (!result.empty()) {
    fldChar(next(), "separate");
    pugi::xml_node t = next().append_child(n.t.c_str());
    t.text().set(result.c_str());
  }
  fldChar(next(), "end");

  if (ParaRec* rec = st->recOf(p))
    st->invalidateText(rec);
  st->touch();
  if (fromSelection) {
    int64_t after = pos + static_cast<int64_t>(utf8Length(result));
    owner_->setRange(Range(st, after, after));
  }
  return Field(st, begin);
}

std::string Field::code() const {
  const WNames& n = story_->names();
  if (n.is(begin_, "fldSimple"))
    return attr(begin_, "instr", n);
  std::string code;
  int depth = 0;
  for (pugi::xml_node c = nextInOrder(begin_, story_->root()); c;
       c = nextInOrder(c, story_->root())) {
    if (n.is(c, "fldChar")) {
      std::string kind = attr(c, "fldCharType", n);
      if (kind == "begin")
        ++depth;
      else if (depth == 0)
        break;
      else if (kind == "end")
        --depth;
    } else if (depth == 0 && n.is(c, "instrText")) {
      code += c.text().get();
    }
  }
  return code;
}

std::string Field::result() const {
  const WNames& n = story_->names();
  std::string out;
  if (n.is(begin_, "fldSimple")) {
    for (pugi::xpath_node x : begin_.select_nodes(".//*[local-name()='t']"))
      out += x.node().text().get();
    return out;
  }
  int depth = 0;
  bool inResult = false;
  for (pugi::xml_node c = nextInOrder(begin_, story_->root()); c;
       c = nextInOrder(c, story_->root())) {
    if (n.is(c, "fldChar")) {
      std::string kind = attr(c, "fldCharType", n);
      if (kind == "begin") {
        ++depth;
      } else if (kind == "separate") {
        if (depth == 0)
          inResult = true;
      } else if (kind == "end") {
        if (depth == 0)
          break;
        --depth;
      }
    } else if (inResult && n.is(c, "t")) {
      out += c.text().get();
    }
  }
  return out;
}

void Field::deleteField() {
  const WNames& n = story_->names();
  std::vector<pugi::xml_node> paras;
  auto paragraphOf = [&](pugi::xml_node x) {
    while (x && !n.is(x, "p"))
      x = x.parent();
    if (x && (paras.empty() || paras.back() != x))
      paras.push_back(x);
  };
  if (n.is(begin_, "fldSimple")) {
    paragraphOf(begin_);
    begin_.parent().remove_child(begin_);
  } else {
    // Everything from the begin mark to its end mark: marks, codes and result (whole run
    // children; what lies inside them goes with them).
    auto after = [&](pugi::xml_node x) {
      for (; x && x != story_->root(); x = x.parent())
        if (x.next_sibling())
          return x.next_sibling();
      return pugi::xml_node();
    };
    std::vector<pugi::xml_node> drop{begin_};
    int depth = 0;
    for (pugi::xml_node c = after(begin_); c;) {
      if (c.type() != pugi::node_element || !n.is(c.parent(), "r") || n.is(c, "rPr")) {
        c = nextInOrder(c, story_->root());
        continue;
      }
      drop.push_back(c);
      if (n.is(c, "fldChar")) {
        std::string kind = attr(c, "fldCharType", n);
        if (kind == "begin")
          ++depth;
        else if (kind == "end" && depth-- == 0)
          break;
      }
      c = after(c);
    }
    for (pugi::xml_node c : drop) {
      paragraphOf(c);
      pugi::xml_node r = c.parent();
      r.remove_child(c);
      bool empty = n.is(r, "r");
      for (pugi::xml_node k = r.first_child(); k && empty; k = k.next_sibling())
        if (k.type() == pugi::node_element && !n.is(k, "rPr"))
          empty = false;
      if (empty)
        r.parent().remove_child(r);
    }
  }
  for (pugi::xml_node p : paras)
    if (ParaRec* rec = story_->recOf(p))
      story_->invalidateText(rec);
  story_->touch();
  begin_ = pugi::xml_node();
}

// ---- Range::insertBreak ------------------------------------------------------------------

void Range::insertBreak(int type) {
  if (!story_)
    return;
  if (type == wdPageBreak || type == wdColumnBreak || type == wdLineBreak) {
    setText(type == wdPageBreak ? "\f" : type == wdColumnBreak ? "\x0e" : "\v");
    return;
  }
  const char* kind = type == wdSectionBreakContinuous ? "continuous"
                     : type == wdSectionBreakNextPage ? "nextPage"
                     : type == wdSectionBreakEvenPage ? "evenPage"
                     : type == wdSectionBreakOddPage  ? "oddPage"
                                                      : nullptr;
  if (!kind)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatBreakType, type));
  Story* st = story_;
  Document* doc = st->document();
  if (st->type() != StoryType::Main || !doc)
    throw DocumentError(msg::kSectionBreakOnlyInMainText);
  const WNames& n = st->names();
  if (end_ > start_)
    deleteText();
  int64_t p = start_;
  int i = st->indexAt(p);
  ParaRec* rec = st->at(i);
  bool atStart = p <= st->startOf(rec);
  auto sectOf = [&](ParaRec* r) { return r->p.child(n.pPr.c_str()).child(n.sectPr.c_str()); };

  // The paragraph whose mark becomes the break: the one before a paragraph start (no new
  // character, so the paragraphs stay as they are), else the head of the paragraph split at p.
  ParaRec* head = nullptr;
  if (atStart && i > 0 && !st->at(i - 1)->inTable) {
    ParaRec* prev = st->at(i - 1);
    if (sectOf(prev)) {
      // A section break ends right here already: it is not doubled, the section after it
      // starts as asked.
      std::vector<pugi::xml_node> secs = documentSections(*doc);
      pugi::xml_node next = secs[static_cast<size_t>(sectionAt(*doc, p) - 1)];
      setAttr(ensureChild(next, "type", n), "val", kind, n);
      st->touch();
      int64_t mark = st->startOf(prev) + static_cast<int64_t>(st->content(prev).size());
      start_ = mark;
      end_ = mark + 1;
      return;
    }
    head = prev;
  }
  if (!head) {
    if (rec->inTable)
      throw DocumentError(msg::kSectionBreakInTable);
    st->replace(p, p, U"\r");
    head = st->at(i);
  }
  std::vector<pugi::xml_node> secs = documentSections(*doc);
  int headIndex = st->indexOf(head);
  // The section the head is in ends at the first later section mark (or the body's).
  pugi::xml_node cur = secs.back();
  for (int k = headIndex, count = st->count(); k < count; ++k) {
    ParaRec* r = st->at(k);
    if (!r->inTable && sectOf(r)) {
      cur = sectOf(r);
      break;
    }
  }
  pugi::xml_node mine = ensureChild(paraProps(head->p, n), "sectPr", n);
  for (pugi::xml_attribute a : cur.attributes())
    mine.append_attribute(a.name()).set_value(a.value());
  for (pugi::xml_node c = cur.first_child(); c; c = c.next_sibling())
    mine.append_copy(c);
  // The later section shows the earlier one's header and footer and continues its numbering.
  std::vector<pugi::xml_node> drop;
  for (pugi::xml_node c = cur.first_child(); c; c = c.next_sibling())
    if (n.is(c, "headerReference") || n.is(c, "footerReference"))
      drop.push_back(c);
  for (pugi::xml_node c : drop)
    cur.remove_child(c);
  if (pugi::xml_node num = cur.child(n.q("pgNumType"))) {
    num.remove_attribute(n.q("start"));
    if (!num.first_attribute())
      cur.remove_child(num);
  }
  setAttr(ensureChild(cur, "type", n), "val", kind, n);
  st->touch();
  int64_t mark = st->startOf(head) + static_cast<int64_t>(st->content(head).size());
  start_ = mark;
  end_ = mark + 1;
}

// ---- Borders -----------------------------------------------------------------------------

Borders ParagraphFormat::borders() const {
  if (!range_ || !range_->story())
    throw DocumentError(msg::kBordersNeedParagraphs);
  return Borders(*range_);
}

Border Borders::item(int which) const {
  borderSide(which);
  return Border(range_, which);
}

int Border::lineStyle() const {
  return uniformBorder(range_, borderSide(which_), lineStyleOf);
}

void Border::setLineStyle(int style) {
  const char* val = nullptr;
  if (style == wdLineStyleNone)
    val = "nil";
  for (const LineStyleName& l : kLineStyles)
    if (l.style == style)
      val = l.val;
  if (!val)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatBorderLineStyle, style));
  Story* st = range_.story();
  const WNames& n = st->names();
  for (pugi::xml_node pPr : ParagraphFormat(range_).pPrs()) {
    pugi::xml_node e = sideIn(pPr, borderSide(which_), n);
    if (!e)
      e = ensureChild(ensureChild(pPr, "pBdr", n), borderSide(which_), n);
    setAttr(e, "val", val, n);
    if (style == wdLineStyleNone) {
      for (const char* a :
           {"sz", "space", "color", "themeColor", "themeTint", "themeShade", "shadow", "frame"})
        e.remove_attribute(n.q(a));
      continue;
    }
    if (!e.attribute(n.q("sz")))
      setAttr(e, "sz", "4", n);
    if (!e.attribute(n.q("space")))
      setAttr(e, "space", "1", n);
    if (!e.attribute(n.q("color")))
      setAttr(e, "color", "auto", n);
  }
  st->touch();
}

int Border::lineWidth() const {
  return uniformBorder(range_, borderSide(which_), [](pugi::xml_node e, const WNames& n) {
    if (lineStyleOf(e, n) == wdLineStyleNone)
      return 0;
    return e.attribute(n.q("sz")).as_int(4);
  });
}

void Border::setLineWidth(int width) {
  static constexpr int kWidths[] = {2, 4, 6, 8, 12, 18, 24, 36, 48};
  if (std::find(std::begin(kWidths), std::end(kWidths), width) == std::end(kWidths))
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatBorderWidth, width));
  Story* st = range_.story();
  const WNames& n = st->names();
  for (pugi::xml_node pPr : ParagraphFormat(range_).pPrs()) {
    pugi::xml_node e = sideIn(pPr, borderSide(which_), n);
    if (!e)
      e = ensureChild(ensureChild(pPr, "pBdr", n), borderSide(which_), n);
    setAttr(e, "sz", std::to_string(width), n);
  }
  st->touch();
}

int Border::color() const {
  return uniformBorder(range_, borderSide(which_), [](pugi::xml_node e, const WNames& n) {
    std::string c = attr(e, "color", n);
    if (c.empty() || c == "auto" || c.size() != 6)
      return wdColorAutomatic;
    long rgb = std::strtol(c.c_str(), nullptr, 16);
    return static_cast<int>(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
  });
}

void Border::setColor(int color) {
  std::string val = "auto";
  if (color != wdColorAutomatic) {
    if (color < 0 || color > 0xFFFFFF)
      throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatBorderColour, color));
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X%02X%02X", color & 0xFF, (color >> 8) & 0xFF,
                  (color >> 16) & 0xFF);
    val = buf;
  }
  Story* st = range_.story();
  const WNames& n = st->names();
  for (pugi::xml_node pPr : ParagraphFormat(range_).pPrs()) {
    pugi::xml_node e = sideIn(pPr, borderSide(which_), n);
    if (!e)
      e = ensureChild(ensureChild(pPr, "pBdr", n), borderSide(which_), n);
    setAttr(e, "color", val, n);
    e.remove_attribute(n.q("themeColor"));
  }
  st->touch();
}

} // namespace word
