#include "word/pagesetup.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "base/messages.h"
#include "word/constants.h"
#include "word/internal/access.h"
#include "word/internal/run_properties.h"
#include "word/internal/sections.h"
#include "word/internal/story.h"

namespace word {

namespace {

constexpr const char* kSettingsRelType =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/settings";
constexpr const char* kSettingsContentType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.settings+xml";

// Word's limit for page sizes and margins: 22 inches.
constexpr float kMaxPagePoints = 1584.0f;

// Values read for a section that does not say (an A4 page with Word's Chinese-locale
// margins), so that a document without page settings reads like a fresh one.
struct Default {
  const char* element;
  const char* attribute;
  long twips;
};
constexpr Default kDefaults[] = {
    {"pgSz", "w", 11906},     {"pgSz", "h", 16838},      {"pgMar", "top", 1440},
    {"pgMar", "right", 1800}, {"pgMar", "bottom", 1440}, {"pgMar", "left", 1800},
    {"pgMar", "header", 851}, {"pgMar", "footer", 992},  {"pgMar", "gutter", 0}};

long defaultTwips(const char* element, const char* attribute) {
  for (const Default& d : kDefaults)
    if (!std::strcmp(d.element, element) && !std::strcmp(d.attribute, attribute))
      return d.twips;
  return 0;
}

const WNames& mainNames(Document& doc) {
  return doc.content().names();
}

// The attribute as a whole number of twips (OOXML also allows a unit suffix such as "2cm").
std::optional<double> twipsOf(pugi::xml_node node, const char* attribute, const WNames& n) {
  pugi::xml_attribute a = node.attribute(n.q(attribute));
  if (!a)
    return std::nullopt;
  std::string s = a.value();
  char* end = nullptr;
  double v = std::strtod(s.c_str(), &end);
  if (end == s.c_str())
    return std::nullopt;
  std::string unit(end);
  if (unit == "in")
    v *= 1440;
  else if (unit == "cm")
    v *= 1440 / 2.54;
  else if (unit == "mm")
    v *= 144 / 2.54;
  else if (unit == "pt")
    v *= 20;
  else if (unit == "pc")
    v *= 240;
  else if (unit == "pi")
    v *= 240;
  else if (!unit.empty())
    return std::nullopt;
  return v;
}

long toTwips(float points) {
  return std::lround(static_cast<double>(points) * 20.0);
}

// The element of a section, created with every required attribute at its default value.
pugi::xml_node sectionChild(pugi::xml_node sectPr, const char* element, const WNames& n) {
  pugi::xml_node e = ensureChild(sectPr, element, n);
  for (const Default& d : kDefaults)
    if (!std::strcmp(d.element, element) && !e.attribute(n.q(d.attribute)))
      setAttr(e, d.attribute, std::to_string(d.twips), n);
  return e;
}

// Schema order of the children of w:settings (CT_Settings).
const char* const kSettingsOrder[] = {"writeProtection",
                                      "view",
                                      "zoom",
                                      "removePersonalInformation",
                                      "removeDateAndTime",
                                      "doNotDisplayPageBoundaries",
                                      "displayBackgroundShape",
                                      "printPostScriptOverText",
                                      "printFractionalCharacterWidth",
                                      "printFormsData",
                                      "embedTrueTypeFonts",
                                      "embedSystemFonts",
                                      "saveSubsetFonts",
                                      "saveFormsData",
                                      "mirrorMargins",
                                      "alignBordersAndEdges",
                                      "bordersDoNotSurroundHeader",
                                      "bordersDoNotSurroundFooter",
                                      "gutterAtTop",
                                      "hideSpellingErrors",
                                      "hideGrammaticalErrors",
                                      "activeWritingStyle",
                                      "proofState",
                                      "formsDesign",
                                      "attachedTemplate",
                                      "linkStyles",
                                      "stylePaneFormatFilter",
                                      "stylePaneSortMethod",
                                      "documentType",
                                      "mailMerge",
                                      "revisionView",
                                      "trackRevisions",
                                      "doNotTrackMoves",
                                      "doNotTrackFormatting",
                                      "documentProtection",
                                      "autoFormatOverride",
                                      "styleLockTheme",
                                      "styleLockQFSet",
                                      "defaultTabStop",
                                      "autoHyphenation",
                                      "consecutiveHyphenLimit",
                                      "hyphenationZone",
                                      "doNotHyphenateCaps",
                                      "showEnvelope",
                                      "summaryLength",
                                      "clickAndTypeStyle",
                                      "defaultTableStyle",
                                      "evenAndOddHeaders",
                                      "bookFoldRevPrinting",
                                      "bookFoldPrinting",
                                      "bookFoldPrintingSheets",
                                      "drawingGridHorizontalSpacing",
                                      "drawingGridVerticalSpacing",
                                      "displayHorizontalDrawingGridEvery",
                                      "displayVerticalDrawingGridEvery",
                                      "doNotUseMarginsForDrawingGridOrigin",
                                      "drawingGridHorizontalOrigin",
                                      "drawingGridVerticalOrigin",
                                      "doNotShadeFormData",
                                      "noPunctuationKerning",
                                      "characterSpacingControl",
                                      "printTwoOnOne",
                                      "strictFirstAndLastChars",
                                      "noLineBreaksAfter",
                                      "noLineBreaksBefore",
                                      "savePreviewPicture",
                                      "doNotValidateAgainstSchema",
                                      "saveInvalidXml",
                                      "ignoreMixedContent",
                                      "alwaysShowPlaceholderText",
                                      "doNotDemarcateInvalidXml",
                                      "saveXmlDataOnly",
                                      "useXSLTWhenSaving",
                                      "saveThroughXslt",
                                      "showXMLTags",
                                      "alwaysMergeEmptyNamespace",
                                      "updateFields",
                                      "hdrShapeDefaults",
                                      "footnotePr",
                                      "endnotePr",
                                      "compat",
                                      "docVars",
                                      "rsids",
                                      "mathPr",
                                      "attachedSchema",
                                      "themeFontLang",
                                      "clrSchemeMapping",
                                      "doNotIncludeSubdocsInStats",
                                      "doNotAutoCompressPictures",
                                      "forceUpgrade",
                                      "captions",
                                      "readModeInkLockDown",
                                      "smartTagType",
                                      "schemaLibrary",
                                      "shapeDefaults",
                                      "doNotEmbedSmartTags",
                                      "decimalSymbol",
                                      "listSeparator"};

// Rank of a settings child by its local name, whatever its prefix (m:mathPr, sl:schemaLibrary
// sit in the sequence too); -1 for extension elements (w14:, w15: …), which Word writes last.
int settingsRank(pugi::xml_node e) {
  if (e.type() != pugi::node_element)
    return -1;
  const char* name = e.name();
  const char* colon = std::strchr(name, ':');
  const char* local = colon ? colon + 1 : name;
  for (size_t i = 0; i < std::size(kSettingsOrder); ++i)
    if (!std::strcmp(kSettingsOrder[i], local))
      return static_cast<int>(i);
  return -1;
}

// The child `local` of w:settings, created at its schema position: before the first known
// child that follows it, else right after the last known child (extension elements stay last).
pugi::xml_node ensureSettingsChild(pugi::xml_node settings, const char* local, const WNames& n) {
  if (pugi::xml_node c = settings.child(n.q(local)))
    return c;
  int rank = -1;
  for (size_t i = 0; i < std::size(kSettingsOrder); ++i)
    if (!std::strcmp(kSettingsOrder[i], local))
      rank = static_cast<int>(i);
  pugi::xml_node lastKnown;
  for (pugi::xml_node c = settings.first_child(); c; c = c.next_sibling()) {
    int r = settingsRank(c);
    if (r < 0)
      continue;
    if (r > rank)
      return settings.insert_child_before(n.q(local), c);
    lastKnown = c;
  }
  if (lastKnown)
    return settings.insert_child_after(n.q(local), lastKnown);
  return settings.prepend_child(n.q(local));
}

// The settings part of the document's main part ("" when there is none).
std::string settingsPart(Document& doc) {
  Package& pkg = packageOf(doc);
  std::string main = doc.content().part();
  for (const Relationship& rel : pkg.relationships(main)) {
    const std::string& t = rel.type;
    if (t.size() >= 9 && t.compare(t.size() - 9, 9, "/settings") == 0 &&
        rel.targetMode != "External" && pkg.has(rel.target))
      return rel.target;
  }
  return {};
}

// The w:settings element, or an empty node when the document has none and `create` is false.
pugi::xml_node settingsRoot(Document& doc, bool create, std::string* partOut) {
  Package& pkg = packageOf(doc);
  std::string part = settingsPart(doc);
  if (part.empty()) {
    if (!create)
      return {};
    std::string main = doc.content().part();
    std::string dir =
        main.find('/') == std::string::npos ? "" : main.substr(0, main.rfind('/') + 1);
    std::string name = "settings.xml";
    for (int k = 2; pkg.has(dir + name); ++k)
      name = "settings" + std::to_string(k) + ".xml";
    part = dir + name;
    pkg.setBytes(part, std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
                                   "<w:settings xmlns:w=\"") +
                           kWNamespace + "\"/>");
    pkg.addRelationship(main, kSettingsRelType, name);
    pkg.setContentTypeOverride(part, kSettingsContentType);
  }
  pugi::xml_document* x = pkg.xml(part);
  pugi::xml_node root = x ? x->document_element() : pugi::xml_node();
  WNames n = WNames::forRoot(root);
  if (!n.is(root, "settings")) {
    if (create)
      throw DocumentError(doc.fullName(), part, msg::text(msg::kSettingsPartInvalid, part));
    return {};
  }
  if (partOut)
    *partOut = part;
  return root;
}

// Reads a document-wide on/off setting (absent: off).
bool settingOn(Document& doc, const char* local) {
  pugi::xml_node root = settingsRoot(doc, false, nullptr);
  if (!root)
    return false;
  return onOff(root, local, WNames::forRoot(root));
}

// Switches a document-wide setting; switching off removes the element.
void setSetting(Document& doc, const char* local, bool on) {
  std::string part;
  pugi::xml_node root = settingsRoot(doc, on, &part);
  if (!root)
    return;
  WNames n = WNames::forRoot(root);
  if (on) {
    pugi::xml_node e = ensureSettingsChild(root, local, n);
    e.remove_attribute(n.q("val"));
  } else if (pugi::xml_node e = root.child(n.q(local))) {
    root.remove_child(e);
  } else {
    return;
  }
  packageOf(doc).markDirty(part);
}

// The common value of `get` over the sections, or `undefined` when they differ.
template <class T, class Get>
T common(const std::vector<pugi::xml_node>& sections, Get get, T undefined) {
  std::optional<T> v;
  for (pugi::xml_node s : sections) {
    T x = get(s);
    if (!v)
      v = x;
    else if (*v != x)
      return undefined;
  }
  return v.value_or(undefined);
}

// `what` names the value in the catalogue's words (msg::kWhat…).
void checkLength(float points, float low, const char* what) {
  if (!std::isfinite(points) || points < low || points > kMaxPagePoints)
    throw DocumentError(
        msg::text(msg::kValueOutOfRange, what, msg::text(msg::kUnitPoints, points)));
}

void setOnOffChild(pugi::xml_node sectPr, const char* local, bool on, const WNames& n) {
  if (on) {
    ensureChild(sectPr, local, n).remove_attribute(n.q("val"));
  } else if (pugi::xml_node e = sectPr.child(n.q(local))) {
    sectPr.remove_child(e);
  }
}

} // namespace

PageSetup Document::pageSetup() {
  return PageSetup(this, documentSections(*this));
}

PageSetup Selection::pageSetup() const {
  std::vector<pugi::xml_node> all = documentSections(*doc_);
  Story* st = range_.story();
  if (!st || st != &doc_->content() || all.size() == 1)
    return PageSetup(doc_, all);
  // Section k covers the paragraphs after the (k-1)th section break up to the kth.
  const WNames& n = st->names();
  int first = st->indexAt(range_.start());
  int last = st->indexAt(std::max(range_.start(), range_.end() - 1));
  std::vector<pugi::xml_node> touched;
  int count = st->count(), from = 0;
  size_t k = 0;
  for (int i = 0; i < count && k + 1 < all.size(); ++i) {
    ParaRec* rec = st->at(i);
    if (rec->inTable || rec->p.child(n.pPr.c_str()).child(n.sectPr.c_str()) != all[k])
      continue;
    if (from <= last && i >= first)
      touched.push_back(all[k]);
    from = i + 1;
    ++k;
  }
  if (from <= last)
    touched.push_back(all.back());
  return PageSetup(doc_, touched.empty() ? std::vector<pugi::xml_node>{all.back()} : touched);
}

// ---- PageSetup ----------------------------------------------------------------------------

PageSetup::PageSetup(Document* doc, std::vector<pugi::xml_node> sections)
    : doc_(doc), sections_(std::move(sections)) {}

float PageSetup::readTwips(const char* element, const char* attribute, float absent) const {
  const WNames& n = mainNames(*doc_);
  return common<float>(
      sections_,
      [&](pugi::xml_node s) {
        std::optional<double> t = twipsOf(s.child(n.q(element)), attribute, n);
        return t ? static_cast<float>(*t / 20.0) : absent;
      },
      kUndefined);
}

void PageSetup::writeTwips(const char* element, const char* attribute, float points) {
  const WNames& n = mainNames(*doc_);
  std::string v = std::to_string(toTwips(points));
  for (pugi::xml_node s : sections_)
    setAttr(sectionChild(s, element, n), attribute, v, n);
  doc_->content().touch();
}

#define QF_TWIPS_MEMBER(Getter, Setter, element, attribute, low, what)                             \
  float PageSetup::Getter() const {                                                                \
    return readTwips(element, attribute,                                                           \
                     static_cast<float>(defaultTwips(element, attribute)) / 20.0f);                \
  }                                                                                                \
  void PageSetup::Setter(float points) {                                                           \
    checkLength(points, low, what);                                                                \
    writeTwips(element, attribute, points);                                                        \
  }

QF_TWIPS_MEMBER(topMargin, setTopMargin, "pgMar", "top", -kMaxPagePoints, msg::kWhatTopMargin)
QF_TWIPS_MEMBER(bottomMargin, setBottomMargin, "pgMar", "bottom", -kMaxPagePoints,
                msg::kWhatBottomMargin)
QF_TWIPS_MEMBER(leftMargin, setLeftMargin, "pgMar", "left", 0.0f, msg::kWhatLeftMargin)
QF_TWIPS_MEMBER(rightMargin, setRightMargin, "pgMar", "right", 0.0f, msg::kWhatRightMargin)
QF_TWIPS_MEMBER(gutter, setGutter, "pgMar", "gutter", 0.0f, msg::kWhatGutter)
QF_TWIPS_MEMBER(headerDistance, setHeaderDistance, "pgMar", "header", 0.0f,
                msg::kWhatHeaderDistance)
QF_TWIPS_MEMBER(footerDistance, setFooterDistance, "pgMar", "footer", 0.0f,
                msg::kWhatFooterDistance)
QF_TWIPS_MEMBER(pageWidth, setPageWidth, "pgSz", "w", 7.2f, msg::kWhatPageWidth)
QF_TWIPS_MEMBER(pageHeight, setPageHeight, "pgSz", "h", 7.2f, msg::kWhatPageHeight)

#undef QF_TWIPS_MEMBER

int PageSetup::orientation() const {
  const WNames& n = mainNames(*doc_);
  return common<int>(
      sections_,
      [&](pugi::xml_node s) {
        return attr(s.child(n.q("pgSz")), "orient", n) == "landscape" ? wdOrientLandscape
                                                                      : wdOrientPortrait;
      },
      wdUndefined);
}

void PageSetup::setOrientation(int wdOrient) {
  if (wdOrient != wdOrientPortrait && wdOrient != wdOrientLandscape)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatOrientation, wdOrient));
  const WNames& n = mainNames(*doc_);
  bool landscape = wdOrient == wdOrientLandscape;
  for (pugi::xml_node s : sections_) {
    pugi::xml_node sz = sectionChild(s, "pgSz", n);
    bool was = attr(sz, "orient", n) == "landscape";
    if (was == landscape)
      continue;
    std::string w = attr(sz, "w", n), h = attr(sz, "h", n);
    setAttr(sz, "w", h, n);
    setAttr(sz, "h", w, n);
    if (landscape)
      setAttr(sz, "orient", "landscape", n);
    else
      sz.remove_attribute(n.q("orient"));
  }
  doc_->content().touch();
}

int PageSetup::gutterPos() const {
  if (settingOn(*doc_, "gutterAtTop"))
    return wdGutterPosTop;
  const WNames& n = mainNames(*doc_);
  return common<int>(
      sections_,
      [&](pugi::xml_node s) {
        return onOff(s, "rtlGutter", n) ? wdGutterPosRight : wdGutterPosLeft;
      },
      wdUndefined);
}

void PageSetup::setGutterPos(int pos) {
  if (pos != wdGutterPosLeft && pos != wdGutterPosTop && pos != wdGutterPosRight)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatGutterPos, pos));
  const WNames& n = mainNames(*doc_);
  for (pugi::xml_node s : sections_)
    setOnOffChild(s, "rtlGutter", pos == wdGutterPosRight, n);
  doc_->content().touch();
  setSetting(*doc_, "gutterAtTop", pos == wdGutterPosTop);
}

int PageSetup::layoutMode() const {
  const WNames& n = mainNames(*doc_);
  return common<int>(
      sections_,
      [&](pugi::xml_node s) {
        std::string t = attr(s.child(n.q("docGrid")), "type", n);
        if (t == "linesAndChars")
          return wdLayoutModeGrid;
        if (t == "lines")
          return wdLayoutModeLineGrid;
        if (t == "snapToChars")
          return wdLayoutModeGenko;
        return wdLayoutModeDefault;
      },
      wdUndefined);
}

void PageSetup::setLayoutMode(int mode) {
  static const char* const kTypes[] = {"default", "linesAndChars", "lines", "snapToChars"};
  if (mode < wdLayoutModeDefault || mode > wdLayoutModeGenko)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatLayoutMode, mode));
  const WNames& n = mainNames(*doc_);
  for (pugi::xml_node s : sections_) {
    pugi::xml_node g = s.child(n.q("docGrid"));
    // No grid element already means no grid.
    if (!g && mode == wdLayoutModeDefault)
      continue;
    if (!g)
      g = ensureChild(s, "docGrid", n);
    setAttr(g, "type", kTypes[mode], n);
  }
  doc_->content().touch();
}

namespace {

// Text area of a section in twips: page size less the margins (and the gutter on its side).
struct TextArea {
  double width = 0, height = 0;
};
TextArea textAreaOf(pugi::xml_node s, const WNames& n) {
  auto get = [&](const char* element, const char* attribute) {
    return twipsOf(s.child(n.q(element)), attribute, n)
        .value_or(static_cast<double>(defaultTwips(element, attribute)));
  };
  TextArea a;
  a.width =
      get("pgSz", "w") - get("pgMar", "left") - get("pgMar", "right") - get("pgMar", "gutter");
  a.height = get("pgSz", "h") - std::abs(get("pgMar", "top")) - std::abs(get("pgMar", "bottom"));
  return a;
}

// Word's base of the character pitch: the default paragraph style's font size, in points.
double defaultStyleSize(Document& doc) {
  return effectiveSize(doc, &doc.content(), pugi::xml_node());
}

void checkGridCount(int n) {
  if (n < 1 || n > 1000)
    throw DocumentError(msg::text(msg::kValueOutOfRange, msg::kWhatLayoutMode, n));
}

} // namespace

int PageSetup::linesPage() const {
  const WNames& n = mainNames(*doc_);
  return common<int>(
      sections_,
      [&](pugi::xml_node s) {
        double pitch = twipsOf(s.child(n.q("docGrid")), "linePitch", n).value_or(360.0);
        return pitch > 0 ? static_cast<int>(std::floor(textAreaOf(s, n).height / pitch)) : 0;
      },
      wdUndefined);
}

void PageSetup::setLinesPage(int count) {
  checkGridCount(count);
  const WNames& n = mainNames(*doc_);
  for (pugi::xml_node s : sections_) {
    long pitch = static_cast<long>(std::floor(textAreaOf(s, n).height / count));
    setAttr(ensureChild(s, "docGrid", n), "linePitch", std::to_string(std::max(pitch, 1L)), n);
  }
  doc_->content().touch();
}

int PageSetup::charsLine() const {
  const WNames& n = mainNames(*doc_);
  const double base = defaultStyleSize(*doc_);
  return common<int>(
      sections_,
      [&](pugi::xml_node s) {
        double space = twipsOf(s.child(n.q("docGrid")), "charSpace", n).value_or(0.0);
        double pitch = base + space / 4096.0;
        return pitch > 0 ? static_cast<int>(std::floor(textAreaOf(s, n).width / 20.0 / pitch)) : 0;
      },
      wdUndefined);
}

void PageSetup::setCharsLine(int count) {
  checkGridCount(count);
  const WNames& n = mainNames(*doc_);
  const double base = defaultStyleSize(*doc_);
  for (pugi::xml_node s : sections_) {
    double pitch = textAreaOf(s, n).width / 20.0 / count;
    long space = static_cast<long>(std::floor((pitch - base) * 4096.0));
    setAttr(ensureChild(s, "docGrid", n), "charSpace", std::to_string(space), n);
  }
  doc_->content().touch();
}

int PageSetup::oddAndEvenPagesHeaderFooter() const {
  return settingOn(*doc_, "evenAndOddHeaders") ? -1 : 0;
}

void PageSetup::setOddAndEvenPagesHeaderFooter(bool on) {
  setSetting(*doc_, "evenAndOddHeaders", on);
}

int PageSetup::differentFirstPageHeaderFooter() const {
  const WNames& n = mainNames(*doc_);
  return common<int>(
      sections_, [&](pugi::xml_node s) { return onOff(s, "titlePg", n) ? -1 : 0; }, wdUndefined);
}

void PageSetup::setDifferentFirstPageHeaderFooter(bool on) {
  const WNames& n = mainNames(*doc_);
  for (pugi::xml_node s : sections_)
    setOnOffChild(s, "titlePg", on, n);
  doc_->content().touch();
}

namespace {

constexpr const char* kSectionStarts[] = {"continuous", "nextColumn", "nextPage", "evenPage",
                                          "oddPage"};

// The WordprocessingML names of the part an element belongs to.
WNames namesOfPart(pugi::xml_node n) {
  while (n.parent() && n.parent().type() == pugi::node_element)
    n = n.parent();
  return WNames::forRoot(n);
}

} // namespace

int PageSetup::sectionStart() const {
  return common<int>(
      sections_,
      [&](pugi::xml_node s) {
        const WNames n = namesOfPart(s);
        const std::string type = attr(child(s, "type", n), "val", n);
        for (int i = 0; i < 5; ++i)
          if (type == kSectionStarts[i])
            return i;
        return wdSectionNewPage;
      },
      wdUndefined);
}

void PageSetup::setSectionStart(int start) {
  if (start < wdSectionContinuous || start > wdSectionOddPage)
    throw DocumentError(msg::text(msg::kValueInvalid, msg::kWhatSectionStart, start));
  for (pugi::xml_node s : sections_) {
    const WNames n = namesOfPart(s);
    setAttr(ensureChild(s, "type", n), "val", kSectionStarts[start], n);
  }
  doc_->content().touch();
}

std::vector<PageSetup> PageSetup::eachSection() const {
  std::vector<PageSetup> out;
  for (pugi::xml_node s : sections_)
    out.emplace_back(doc_, std::vector<pugi::xml_node>{s});
  return out;
}

// ---- TextColumns --------------------------------------------------------------------------

TextColumns::TextColumns(Document* doc, std::vector<pugi::xml_node> sections)
    : doc_(doc), sections_(std::move(sections)) {}

namespace {

bool attrOn(pugi::xml_node e, const char* local, const WNames& n, bool absent) {
  pugi::xml_attribute a = e.attribute(n.q(local));
  if (!a)
    return absent;
  std::string s = a.value();
  return !(s == "0" || s == "false" || s == "off");
}

void removeColChildren(pugi::xml_node cols, const WNames& n) {
  while (pugi::xml_node c = cols.child(n.q("col")))
    cols.remove_child(c);
}

int columnCount(pugi::xml_node cols, const WNames& n) {
  int cs = 0;
  for (pugi::xml_node c = cols.child(n.q("col")); c; c = c.next_sibling(n.q("col")))
    ++cs;
  if (cs > 0 && !attrOn(cols, "equalWidth", n, cs == 0))
    return cs;
  int num = cols.attribute(n.q("num")).as_int(1);
  return num < 1 ? 1 : num;
}

} // namespace

int TextColumns::count() const {
  const WNames& n = mainNames(*doc_);
  return common<int>(
      sections_, [&](pugi::xml_node s) { return columnCount(s.child(n.q("cols")), n); },
      wdUndefined);
}

void TextColumns::setCount(int count) {
  if (count < 1 || count > 45)
    throw DocumentError(msg::text(msg::kValueOutOfRange, msg::kWhatColumnCount, count));
  const WNames& n = mainNames(*doc_);
  for (pugi::xml_node s : sections_) {
    pugi::xml_node cols = ensureChild(s, "cols", n);
    removeColChildren(cols, n);
    setAttr(cols, "num", std::to_string(count), n);
    setAttr(cols, "equalWidth", "1", n);
  }
  doc_->content().touch();
}

int TextColumns::evenlySpaced() const {
  const WNames& n = mainNames(*doc_);
  return common<int>(
      sections_,
      [&](pugi::xml_node s) {
        pugi::xml_node cols = s.child(n.q("cols"));
        return attrOn(cols, "equalWidth", n, !cols.child(n.q("col"))) ? -1 : 0;
      },
      wdUndefined);
}

void TextColumns::setEvenlySpaced(bool on) {
  const WNames& n = mainNames(*doc_);
  for (pugi::xml_node s : sections_) {
    pugi::xml_node cols = ensureChild(s, "cols", n);
    int count = columnCount(cols, n);
    removeColChildren(cols, n);
    setAttr(cols, "equalWidth", on ? "1" : "0", n);
    if (on)
      continue;
    // Individual widths: the text width shared evenly.
    PageSetup one(doc_, {s});
    double space = twipsOf(cols, "space", n).value_or(720);
    double text = (static_cast<double>(one.pageWidth()) - one.leftMargin() - one.rightMargin() -
                   (one.gutterPos() == wdGutterPosTop ? 0 : one.gutter())) *
                  20.0;
    double width = std::max(1.0, (text - space * (count - 1)) / count);
    setAttr(cols, "num", std::to_string(count), n);
    for (int i = 0; i < count; ++i) {
      pugi::xml_node c = cols.append_child(n.q("col"));
      setAttr(c, "w", std::to_string(std::lround(width)), n);
      if (i + 1 < count)
        setAttr(c, "space", std::to_string(std::lround(space)), n);
    }
  }
  doc_->content().touch();
}

int TextColumns::lineBetween() const {
  const WNames& n = mainNames(*doc_);
  return common<int>(
      sections_,
      [&](pugi::xml_node s) { return attrOn(s.child(n.q("cols")), "sep", n, false) ? -1 : 0; },
      wdUndefined);
}

void TextColumns::setLineBetween(bool on) {
  const WNames& n = mainNames(*doc_);
  for (pugi::xml_node s : sections_) {
    pugi::xml_node cols = ensureChild(s, "cols", n);
    if (on)
      setAttr(cols, "sep", "1", n);
    else
      cols.remove_attribute(n.q("sep"));
  }
  doc_->content().touch();
}

float TextColumns::spacing() const {
  const WNames& n = mainNames(*doc_);
  return common<float>(
      sections_,
      [&](pugi::xml_node s) {
        return static_cast<float>(twipsOf(s.child(n.q("cols")), "space", n).value_or(720) / 20.0);
      },
      kUndefined);
}

void TextColumns::setSpacing(float points) {
  checkLength(points, 0.0f, msg::kWhatColumnSpacing);
  const WNames& n = mainNames(*doc_);
  std::string v = std::to_string(toTwips(points));
  for (pugi::xml_node s : sections_) {
    pugi::xml_node cols = ensureChild(s, "cols", n);
    setAttr(cols, "space", v, n);
    for (pugi::xml_node c = cols.child(n.q("col")); c; c = c.next_sibling(n.q("col")))
      if (c.next_sibling(n.q("col")))
        setAttr(c, "space", v, n);
  }
  doc_->content().touch();
}

} // namespace word
