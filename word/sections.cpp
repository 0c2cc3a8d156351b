#include "word/sections.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "base/ascii.h"
#include "base/messages.h"
#include "base/xml_escape.h"
#include "word/internal/access.h"
#include "word/internal/parts.h"
#include "word/internal/sections.h"
#include "word/internal/story.h"
#include "word/internal/xmlns.h"
#include "word/page_numbers.h"
#include "word/pagesetup.h"
#include "word/shapes.h"

namespace word {

namespace {

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
  for (const Relationship& rel : packageOf(doc).relationships(doc.content().part()))
    if (rel.id == id && rel.targetMode != "External" && packageOf(doc).has(rel.target))
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
  for (const Relationship& rel : packageOf(doc).relationships(doc.content().part())) {
    if (!rel.type.ends_with("/styles") || !packageOf(doc).has(rel.target))
      continue;
    pugi::xml_document* x = packageOf(doc).xml(rel.target);
    pugi::xml_node root = x->document_element();
    WNames n = WNames::forRoot(root);
    for (pugi::xml_node s = root.child(n.q("style")); s; s = s.next_sibling(n.q("style"))) {
      if (attr(s, "type", n) != "paragraph")
        continue;
      if (base::lowerAscii(attr(s.child(n.q("name")), "val", n)) == name)
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
  Package& pkg = packageOf(doc);
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
      xml += "<w:pPr><w:pStyle w:val=\"" + base::xmlEscaped(style) + "\"/></w:pPr>";
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

} // namespace

// ---- sections of the main text ------------------------------------------------------------

int sectionAt(Document& doc, int64_t pos) {
  Story& st = doc.content();
  int idx = st.indexAt(pos);
  int breaks = 0;
  for (const Story::SectionMark& m : st.sectionMarks())
    if (st.indexOf(m.rec) < idx)
      ++breaks;
  return breaks + 1;
}

std::vector<pugi::xml_node> documentSections(Document& doc) {
  Story& st = doc.content();
  const WNames& n = st.names();
  std::vector<pugi::xml_node> out;
  const std::vector<Story::SectionMark>& marks = st.sectionMarks();
  out.reserve(marks.size() + 1);
  for (const Story::SectionMark& m : marks)
    out.push_back(m.sectPr);
  pugi::xml_node body = st.root();
  pugi::xml_node last;
  for (pugi::xml_node c = body.last_child(); c && !last; c = c.previous_sibling())
    if (n.is(c, "sectPr"))
      last = c;
  if (!last) {
    last = body.append_child(n.sectPr.c_str());
    st.touch();
  }
  out.push_back(last);
  return out;
}

// ---- Document members --------------------------------------------------------------------

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

PageSetup Section::pageSetup() const {
  return PageSetup(doc_, {sectPr()});
}

Range Section::range() const {
  Story& st = doc_->content();
  int k = 1;
  int64_t start = 0;
  for (const Story::SectionMark& m : st.sectionMarks()) {
    int64_t end = st.startOf(m.rec) + static_cast<int64_t>(st.fullLen(m.rec));
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
  // The header and footer parts are listed before one is made here: the list then has no
  // references to look for in a document that had none.
  doc_->headerFooters();
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
  Package& pkg = packageOf(*doc_);
  auto [name, rid] = createPart(*doc_, header_, shown.empty() ? std::string() : pkg.bytes(shown));
  if (!shown.empty() && pkg.has(relsPartOf(shown)))
    pkg.setBytes(relsPartOf(name), pkg.bytes(relsPartOf(shown)));
  addReference(*doc_, sectPr, header_, index_, rid);
}

PageNumbers HeaderFooter::pageNumbers() const {
  std::string part = story()->part();
  std::vector<pugi::xml_node> secs = sectionsShowing(*doc_, part, header_, index_);
  if (secs.empty())
    secs.push_back(sectPrOf(Section(doc_, section_)));
  return PageNumbers(doc_, std::move(secs));
}

Shapes HeaderFooter::shapes() const {
  return Shapes(story());
}

// ---- Selection.HeaderFooter -------------------------------------------------------------------

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
  st->sectionsChanged();
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

} // namespace word
