// Document::insertDocument and Selection::insertFile: one document's body appended to another
// with its styles, lists, relationships, notes, bookmarks and drawing ids made to fit.

#include "word/insertfile.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "base/ascii.h"
#include "base/messages.h"
#include "word/internal/access.h"
#include "word/internal/parts.h"
#include "word/internal/story.h"
#include "word/internal/xmlns.h"

namespace word {

namespace {

constexpr const char* kRNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr const char* kWpNs =
    "http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing";
constexpr const char* kONs = "urn:schemas-microsoft-com:office:office";
constexpr const char* kMcNs = "http://schemas.openxmlformats.org/markup-compatibility/2006";
constexpr const char* kW14Ns = "http://schemas.microsoft.com/office/word/2010/wordml";
constexpr const char* kPkgRelNs = "http://schemas.openxmlformats.org/package/2006/relationships";

bool endsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string prefixOf(std::string_view qname) {
  auto c = qname.find(':');
  return c == std::string_view::npos ? std::string() : std::string(qname.substr(0, c));
}

std::string_view localOf(std::string_view qname) {
  auto c = qname.find(':');
  return c == std::string_view::npos ? qname : qname.substr(c + 1);
}

std::string qualify(const std::string& prefix, std::string_view local) {
  return prefix.empty() ? std::string(local) : prefix + ":" + std::string(local);
}

using base::lowerAscii;

// A non-negative decimal number, or -1.
long long number(const char* s) {
  if (!s || !*s)
    return -1;
  char* end = nullptr;
  long long v = std::strtoll(s, &end, 10);
  return (*end || v < 0) ? -1 : v;
}

// The namespace declarations of one element: (prefix, uri), "" for the default namespace.
std::vector<std::pair<std::string, std::string>> declarations(pugi::xml_node e) {
  std::vector<std::pair<std::string, std::string>> out;
  for (pugi::xml_attribute a : e.attributes()) {
    std::string_view name = a.name();
    if (name == "xmlns")
      out.emplace_back("", a.value());
    else if (name.substr(0, 6) == "xmlns:")
      out.emplace_back(std::string(name.substr(6)), a.value());
  }
  return out;
}

// The in-scope namespace declarations while walking a tree.
class NsScope {
public:
  // Starts with the declarations of `e`'s ancestors (outermost first).
  explicit NsScope(pugi::xml_node e) {
    std::vector<pugi::xml_node> chain;
    for (pugi::xml_node a = e.parent(); a && a.type() == pugi::node_element; a = a.parent())
      chain.push_back(a);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
      push(*it);
  }
  size_t push(pugi::xml_node e) {
    auto d = declarations(e);
    decls_.insert(decls_.end(), d.begin(), d.end());
    return d.size();
  }
  void pop(size_t n) { decls_.resize(decls_.size() - n); }
  std::string_view uri(std::string_view prefix) const {
    for (auto it = decls_.rbegin(); it != decls_.rend(); ++it)
      if (it->first == prefix)
        return it->second;
    return {};
  }

private:
  std::vector<std::pair<std::string, std::string>> decls_;
};

// How the prefixes of a source part translate into the target part's.
struct PrefixMap {
  std::unordered_map<std::string, std::string> map;
  bool identity = true;
};

// Declares on `dst` every namespace `src` declares (under the target's prefix for a namespace
// it already binds, else under the source's prefix or a fresh one), merges mc:Ignorable, and
// returns the prefix translation. Sets `changed` when `dst` was modified.
PrefixMap reconcileNamespaces(pugi::xml_node src, pugi::xml_node dst, bool& changed) {
  PrefixMap pm;
  std::unordered_map<std::string, std::string> dstByPrefix, dstByUri;
  for (auto& [p, u] : declarations(dst)) {
    dstByPrefix[p] = u;
    dstByUri.emplace(u, p);
  }
  unsigned fresh = 0;
  auto srcDecls = declarations(src);
  for (auto& [p, u] : srcDecls) {
    std::string to;
    if (auto it = dstByPrefix.find(p); it != dstByPrefix.end() && it->second == u) {
      to = p;
    } else if (auto byUri = dstByUri.find(u); byUri != dstByUri.end()) {
      to = byUri->second;
    } else {
      to = p;
      while (to.empty() || dstByPrefix.count(to))
        to = "qf" + std::to_string(++fresh);
      dst.append_attribute(("xmlns:" + to).c_str()).set_value(u.c_str());
      dstByPrefix[to] = u;
      dstByUri.emplace(u, to);
      changed = true;
    }
    pm.map[p] = to;
    if (to != p)
      pm.identity = false;
  }
  // Prefixes the source marks as ignorable stay ignorable in the target.
  std::string srcMc, dstMc;
  for (auto& [p, u] : srcDecls)
    if (u == kMcNs)
      srcMc = p;
  if (auto it = dstByUri.find(kMcNs); it != dstByUri.end())
    dstMc = it->second;
  if (!srcMc.empty() && !dstMc.empty()) {
    std::istringstream in(src.attribute((srcMc + ":Ignorable").c_str()).value());
    pugi::xml_attribute dstIgn = dst.attribute((dstMc + ":Ignorable").c_str());
    std::string have = dstIgn ? dstIgn.value() : "";
    std::set<std::string> present;
    {
      std::istringstream h(have);
      for (std::string t; h >> t;)
        present.insert(t);
    }
    for (std::string t; in >> t;) {
      auto m = pm.map.find(t);
      std::string mapped = m == pm.map.end() ? t : m->second;
      if (present.count(mapped) || !dstByPrefix.count(mapped))
        continue;
      present.insert(mapped);
      have += (have.empty() ? "" : " ") + mapped;
      if (!dstIgn)
        dstIgn = dst.append_attribute((dstMc + ":Ignorable").c_str());
      dstIgn.set_value(have.c_str());
      changed = true;
    }
  }
  return pm;
}

std::string mapTokens(const std::string& value, const PrefixMap& pm) {
  std::istringstream in(value);
  std::string out;
  for (std::string t; in >> t;) {
    auto m = pm.map.find(t);
    out += (out.empty() ? "" : " ") + (m == pm.map.end() ? t : m->second);
  }
  return out;
}

// Renames elements and attributes of a copied subtree into the target's prefixes. Prefixes
// that an element inside the subtree declares itself keep their meaning below it.
void applyPrefixMap(pugi::xml_node e, const PrefixMap& pm, std::vector<std::string>& shadowed) {
  if (pm.identity || e.type() != pugi::node_element)
    return;
  size_t added = 0;
  for (auto& [p, u] : declarations(e)) {
    (void)u;
    shadowed.push_back(p);
    ++added;
  }
  auto mapped = [&](const std::string& p, std::string& out) {
    if (std::find(shadowed.begin(), shadowed.end(), p) != shadowed.end())
      return false;
    auto it = pm.map.find(p);
    if (it == pm.map.end() || it->second == p)
      return false;
    out = it->second;
    return true;
  };
  std::string to;
  std::string name = e.name();
  if (mapped(prefixOf(name), to))
    e.set_name(qualify(to, localOf(name)).c_str());
  for (pugi::xml_attribute a : e.attributes()) {
    std::string an = a.name();
    if (an == "xmlns" || an.rfind("xmlns:", 0) == 0)
      continue;
    std::string ap = prefixOf(an);
    std::string_view al = localOf(an);
    if (!ap.empty() && mapped(ap, to))
      a.set_name(qualify(to, al).c_str());
    if (al == "Ignorable" || al == "Requires" || al == "ProcessContent" || al == "MustUnderstand")
      a.set_value(mapTokens(a.value(), pm).c_str());
  }
  for (pugi::xml_node c = e.first_child(); c; c = c.next_sibling())
    applyPrefixMap(c, pm, shadowed);
  shadowed.resize(shadowed.size() - added);
}

void applyPrefixMap(pugi::xml_node e, const PrefixMap& pm) {
  std::vector<std::string> shadowed;
  applyPrefixMap(e, pm, shadowed);
}

std::string serializeNode(pugi::xml_node n) {
  std::ostringstream os;
  n.print(os, "", pugi::format_raw);
  return os.str();
}

void removeRsids(pugi::xml_node e) {
  for (pugi::xml_attribute a = e.first_attribute(); a;) {
    pugi::xml_attribute next = a.next_attribute();
    if (localOf(a.name()).substr(0, 4) == "rsid")
      e.remove_attribute(a);
    a = next;
  }
  for (pugi::xml_node c = e.first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_element)
      removeRsids(c);
}

// A relationship target for `to` written in the relationships of `from` (both entry names).
std::string relativeTarget(const std::string& from, const std::string& to) {
  std::vector<std::string> a, b;
  auto split = [](const std::string& s, std::vector<std::string>& out) {
    size_t start = 0;
    while (true) {
      size_t e = s.find('/', start);
      out.push_back(s.substr(start, e == std::string::npos ? std::string::npos : e - start));
      if (e == std::string::npos)
        break;
      start = e + 1;
    }
  };
  split(from, a);
  split(to, b);
  a.pop_back(); // the directory of `from`
  size_t common = 0;
  while (common < a.size() && common + 1 < b.size() && a[common] == b[common])
    ++common;
  std::string out;
  for (size_t i = common; i < a.size(); ++i)
    out += "../";
  for (size_t i = common; i < b.size(); ++i)
    out += b[i] + (i + 1 < b.size() ? "/" : "");
  return out;
}

// One relationship as written, with its target resolved to an entry name when internal.
struct RawRel {
  std::string id, type, target, mode, resolved;
};

std::vector<RawRel> readRels(Package& pkg, const std::string& part) {
  std::vector<RawRel> out;
  pugi::xml_document* doc = pkg.xml(relsPartOf(part));
  if (!doc)
    return out;
  for (pugi::xml_node r : doc->document_element().children()) {
    if (r.type() != pugi::node_element || localOf(r.name()) != "Relationship")
      continue;
    RawRel rel{r.attribute("Id").value(),
               r.attribute("Type").value(),
               r.attribute("Target").value(),
               r.attribute("TargetMode").value(),
               {}};
    if (rel.mode != "External") {
      std::string res = Package::resolveTarget(part, rel.target);
      if (!res.empty() && pkg.has(res))
        rel.resolved = res;
    }
    out.push_back(std::move(rel));
  }
  return out;
}

// The first internal part related to `owner` with a type ending in `suffix`.
std::pair<std::string, std::string> relatedPart(Package& pkg, const std::string& owner,
                                                const char* suffix) {
  for (const RawRel& r : readRels(pkg, owner))
    if (r.mode != "External" && endsWith(r.type, suffix) && !r.resolved.empty())
      return {r.resolved, r.type};
  return {};
}

// Elements whose w:id is an annotation id (bookmarks, revisions, permissions, move ranges).
bool isAnnotationIdElement(std::string_view local) {
  static const std::unordered_set<std::string_view> names = {"bookmarkStart",
                                                             "bookmarkEnd",
                                                             "ins",
                                                             "del",
                                                             "moveFrom",
                                                             "moveTo",
                                                             "moveFromRangeStart",
                                                             "moveFromRangeEnd",
                                                             "moveToRangeStart",
                                                             "moveToRangeEnd",
                                                             "rPrChange",
                                                             "pPrChange",
                                                             "sectPrChange",
                                                             "tblPrChange",
                                                             "trPrChange",
                                                             "tcPrChange",
                                                             "tblGridChange",
                                                             "numberingChange",
                                                             "cellIns",
                                                             "cellDel",
                                                             "cellMerge",
                                                             "permStart",
                                                             "permEnd",
                                                             "customXmlInsRangeStart",
                                                             "customXmlInsRangeEnd",
                                                             "customXmlDelRangeStart",
                                                             "customXmlDelRangeEnd",
                                                             "customXmlMoveFromRangeStart",
                                                             "customXmlMoveFromRangeEnd",
                                                             "customXmlMoveToRangeStart",
                                                             "customXmlMoveToRangeEnd"};
  return names.count(local) > 0;
}

// Style children that do not change how text looks.
bool isStyleBookkeeping(std::string_view local) {
  static const std::unordered_set<std::string_view> names = {
      "name",       "aliases",         "basedOn",       "next",
      "link",       "autoRedefine",    "hidden",        "uiPriority",
      "semiHidden", "unhideWhenUsed",  "qFormat",       "locked",
      "personal",   "personalCompose", "personalReply", "rsid"};
  return names.count(local) > 0;
}

// The kinds of note-like parts whose entries the body refers to by w:id.
struct NotesKind {
  const char* relSuffix;
  const char* entry;
};
constexpr NotesKind kFootnotes{"/footnotes", "footnote"};
constexpr NotesKind kEndnotes{"/endnotes", "endnote"};
constexpr NotesKind kComments{"/comments", "comment"};

class Inserter {
public:
  Inserter(Package& tp, std::string tMain, pugi::xml_node tBody, Package& sp, std::string sMain,
           pugi::xml_node sBody, InsertFileReport& rep)
      : tp_(tp), sp_(sp), tMain_(std::move(tMain)), sMain_(std::move(sMain)), tBody_(tBody),
        sBody_(sBody), rep_(rep) {}

  void run();

  std::vector<std::string> newHeaderFooters; // copied header and footer parts
  std::set<std::string> dirty;               // target parts whose XML changed

private:
  struct Ctx {
    std::string src, dst; // the parts whose relationships the subtree's r:ids use
  };

  Package& tp_;
  Package& sp_;
  std::string tMain_, sMain_;
  pugi::xml_node tBody_, sBody_;
  InsertFileReport& rep_;

  // ---- set-up ----
  void preparse();
  void scanTarget();
  std::string ensureTargetPart(const std::string& sPart, const std::string& relType,
                               const char* rootLocal);

  // ---- body ----
  void makeTargetSectionBreak();
  void rewrite(pugi::xml_node e, const Ctx& ctx, NsScope& scope);
  void rewriteTree(pugi::xml_node e, const Ctx& ctx) {
    NsScope scope(e);
    rewrite(e, ctx, scope);
  }
  std::string renameFieldRefs(const std::string& instr) const;
  std::string bookmarkName(const std::string& name);
  std::string annotationId(const std::string& id);
  void drawingId(pugi::xml_attribute id);

  // ---- relationships and parts ----
  std::map<std::string, std::vector<RawRel>> sRels_;
  std::map<std::pair<std::string, std::string>, std::string> relMap_;
  std::map<std::string, std::map<std::tuple<std::string, std::string, std::string>, std::string>>
      tRelIndex_;
  std::map<std::string, std::string> partMap_;
  std::unordered_map<size_t, std::vector<std::string>> binaryIndex_; // hash of bytes -> parts
  bool binaryIndexed_ = false;
  std::string mapRel(const Ctx& ctx, const std::string& id);
  std::string addTargetRel(const std::string& owner, const std::string& type,
                           const std::string& target, const std::string& mode);
  std::string copyPart(const std::string& sPart);
  std::string uniquePartName(const std::string& wanted) const;

  // ---- styles ----
  std::string sStylesPart_, tStylesPart_;
  pugi::xml_node sStyles_, tStyles_;
  PrefixMap stylesPm_;
  std::unordered_map<std::string, pugi::xml_node> sStyleById_, tStyleById_;
  std::unordered_map<std::string, std::string> tIdByName_; // lower-case name -> id
  std::unordered_map<std::string, std::string> styleMap_, sSig_, tSig_;
  std::string sDefaultP_, tDefaultP_, sDefaultTbl_, tDefaultTbl_;
  bool defaultsDiffer_ = false;
  int explicitP_ = -1, explicitTbl_ = -1; // -1 unknown, 0 no, 1 yes
  std::string explicitPId_, explicitTblId_;
  bool ensureTargetStyles();
  std::string mapStyle(const std::string& sId);
  std::string signature(const std::string& id, bool source, int depth);
  std::string canonicalStyle(pugi::xml_node style, bool source);
  void foldDefaults(pugi::xml_node style);
  bool needExplicitParagraphStyle();
  bool needExplicitTableStyle();

  // ---- numbering ----
  std::string sNumPart_, tNumPart_;
  pugi::xml_node sNum_, tNum_;
  PrefixMap numPm_;
  std::unordered_map<std::string, pugi::xml_node> sNumById_, sAbsById_, tNumById_, tAbsById_;
  std::unordered_map<std::string, std::string> numMap_, absMap_, picBulletMap_;
  std::unordered_map<std::string, std::string> joinMemo_;
  std::set<std::string> tNsids_;
  long long nextNumId_ = 1, nextAbsId_ = 0, nextPicBullet_ = 0;
  bool targetNumberingLoaded_ = false;
  bool loadTargetNumbering();
  bool prepareNumbering();
  std::string joinableAbstract(const std::string& sAbsId);
  std::string canonicalAbstract(pugi::xml_node abs, bool source);
  std::string canonicalOverrides(pugi::xml_node num, bool source);
  std::string numDecision(const std::string& sNumId);
  std::string materializeNum(const std::string& sNumId);
  std::string materializeAbstract(const std::string& sAbsId);
  std::string materializePicBullet(const std::string& sId);

  // ---- notes ----
  struct Notes {
    explicit Notes(const NotesKind* k) : kind(k) {}
    const NotesKind* kind;
    bool ready = false;
    std::string sPart, tPart;
    pugi::xml_node sRoot, tRoot;
    PrefixMap pm;
    std::unordered_map<std::string, pugi::xml_node> sById;
    std::unordered_map<std::string, std::string> map;
    long long next = 1;
  };
  Notes footnotes_{&kFootnotes};
  Notes endnotes_{&kEndnotes};
  Notes comments_{&kComments};
  std::string copyNote(Notes& notes, const std::string& sId);

  // ---- ids of the target ----
  std::unordered_set<std::string> tBookmarks_;
  std::unordered_map<std::string, std::string> bookmarkMap_, annotationMap_;
  long long nextAnnotation_ = 0;
  std::unordered_set<long long> tDrawingIds_;
  std::unordered_set<std::string> tParaIds_; // w14:paraId, unique per document
  unsigned long nextParaId_ = 0x10000000ul;
  void paraId(pugi::xml_attribute id);
  long long nextDrawingId_ = 1;

  void fonts();
};

// ---- set-up --------------------------------------------------------------------------------

void Inserter::preparse() {
  // Parse every source part the insertion reads before the target changes, so that a malformed
  // part fails the insertion while the target is still whole.
  for (const RawRel& r : readRels(sp_, sMain_)) {
    if (r.resolved.empty())
      continue;
    for (const char* t : {"/styles", "/numbering", "/footnotes", "/endnotes", "/comments",
                          "/fontTable", "/header", "/footer"})
      if (endsWith(r.type, t))
        sp_.xml(r.resolved);
  }
  for (const RawRel& r : readRels(tp_, tMain_)) {
    if (r.resolved.empty())
      continue;
    for (const char* t : {"/styles", "/numbering", "/footnotes", "/endnotes", "/comments",
                          "/fontTable", "/header", "/footer"})
      if (endsWith(r.type, t))
        tp_.xml(r.resolved);
  }
}

void Inserter::scanTarget() {
  const std::string w = kWNamespace;
  pugi::xml_node root = tBody_.parent();
  NsScope scope(root);
  std::function<void(pugi::xml_node)> walk = [&](pugi::xml_node e) {
    size_t added = scope.push(e);
    std::string name = e.name();
    std::string_view uri = scope.uri(prefixOf(name));
    std::string_view local = localOf(name);
    if (uri == w && isAnnotationIdElement(local)) {
      std::string wp = prefixOf(name);
      nextAnnotation_ =
          std::max(nextAnnotation_, number(e.attribute(qualify(wp, "id").c_str()).value()) + 1);
      if (local == "bookmarkStart")
        tBookmarks_.insert(e.attribute(qualify(wp, "name").c_str()).value());
    } else if (uri == kWpNs && local == "docPr") {
      long long id = number(e.attribute("id").value());
      if (id >= 0) {
        tDrawingIds_.insert(id);
        nextDrawingId_ = std::max(nextDrawingId_, id + 1);
      }
    }
    for (pugi::xml_attribute a : e.attributes())
      if (localOf(a.name()) == "paraId" && scope.uri(prefixOf(a.name())) == kW14Ns)
        tParaIds_.insert(lowerAscii(a.value()));
    for (pugi::xml_node c = e.first_child(); c; c = c.next_sibling())
      if (c.type() == pugi::node_element)
        walk(c);
    scope.pop(added);
  };
  walk(root);
  // Drawing ids are unique over the whole document: headers, footers and notes too.
  for (const RawRel& r : readRels(tp_, tMain_)) {
    if (r.resolved.empty())
      continue;
    bool stories = endsWith(r.type, "/header") || endsWith(r.type, "/footer") ||
                   endsWith(r.type, "/footnotes") || endsWith(r.type, "/endnotes") ||
                   endsWith(r.type, "/comments");
    if (!stories)
      continue;
    pugi::xml_document* d = tp_.xml(r.resolved);
    if (!d)
      continue;
    for (pugi::xpath_node xn : d->select_nodes("//*[local-name()='docPr']")) {
      long long id = number(xn.node().attribute("id").value());
      if (id >= 0) {
        tDrawingIds_.insert(id);
        nextDrawingId_ = std::max(nextDrawingId_, id + 1);
      }
    }
  }
}

std::string Inserter::ensureTargetPart(const std::string& sPart, const std::string& relType,
                                       const char* rootLocal) {
  std::string name = uniquePartName("word/" + sPart.substr(sPart.rfind('/') + 1));
  tp_.setBytes(name, std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                                 "<w:") +
                         rootLocal + " xmlns:w=\"" + kWNamespace + "\"/>");
  std::string ct = sp_.contentType(sPart);
  if (!ct.empty() && tp_.contentType(name) != ct)
    tp_.setContentTypeOverride(name, ct);
  tp_.addRelationship(tMain_, relType, relativeTarget(tMain_, name));
  dirty.insert(name);
  return name;
}

// ---- relationships and parts -----------------------------------------------------------------

std::string Inserter::uniquePartName(const std::string& wanted) const {
  if (!tp_.has(wanted))
    return wanted;
  auto slash = wanted.rfind('/');
  std::string dir = slash == std::string::npos ? std::string() : wanted.substr(0, slash + 1);
  std::string file = wanted.substr(dir.size());
  auto dot = file.rfind('.');
  std::string stem = dot == std::string::npos ? file : file.substr(0, dot);
  std::string ext = dot == std::string::npos ? std::string() : file.substr(dot);
  while (!stem.empty() && stem.back() >= '0' && stem.back() <= '9')
    stem.pop_back();
  for (unsigned k = 1;; ++k) {
    std::string cand = dir + stem + std::to_string(k) + ext;
    if (!tp_.has(cand))
      return cand;
  }
}

std::string Inserter::addTargetRel(const std::string& owner, const std::string& type,
                                   const std::string& target, const std::string& mode) {
  auto& index = tRelIndex_[owner];
  if (index.empty()) {
    for (const RawRel& r : readRels(tp_, owner))
      index.emplace(std::make_tuple(r.type, r.target, r.mode), r.id);
    index.emplace(std::make_tuple(std::string(), std::string(), std::string("-")), std::string());
  }
  auto key = std::make_tuple(type, target, mode);
  if (auto it = index.find(key); it != index.end())
    return it->second;
  std::string id = tp_.addRelationship(owner, type, target);
  // addRelationship marks targets with a scheme external; the source's mode wins.
  pugi::xml_document* rels = tp_.xml(relsPartOf(owner));
  for (pugi::xml_node r : rels->document_element().children()) {
    if (std::string_view(r.attribute("Id").value()) != id)
      continue;
    pugi::xml_attribute m = r.attribute("TargetMode");
    if (mode.empty() && m)
      r.remove_attribute(m);
    else if (!mode.empty())
      (m ? m : r.append_attribute("TargetMode")).set_value(mode.c_str());
    break;
  }
  dirty.insert(relsPartOf(owner));
  index.emplace(key, id);
  return id;
}

std::string Inserter::mapRel(const Ctx& ctx, const std::string& id) {
  auto key = std::make_pair(ctx.src + "\n" + ctx.dst, id);
  if (auto it = relMap_.find(key); it != relMap_.end())
    return it->second;
  auto cached = sRels_.find(ctx.src);
  if (cached == sRels_.end())
    cached = sRels_.emplace(ctx.src, readRels(sp_, ctx.src)).first;
  const RawRel* rel = nullptr;
  for (const RawRel& r : cached->second)
    if (r.id == id)
      rel = &r;
  std::string out;
  if (!rel) {
    rep_.warnings.push_back(msg::text(msg::kInsertRelationshipMissing, ctx.src, id));
    out = "qfMissing" + id; // keeps the reference from pointing at a target relationship
  } else if (rel->mode == "External" || rel->resolved.empty()) {
    if (rel->mode != "External")
      rep_.warnings.push_back(msg::text(msg::kInsertRelationshipTarget, ctx.src, id, rel->target));
    out = addTargetRel(ctx.dst, rel->type, rel->target, rel->mode);
  } else {
    std::string part = copyPart(rel->resolved);
    out = addTargetRel(ctx.dst, rel->type, relativeTarget(ctx.dst, part), "");
  }
  relMap_.emplace(key, out);
  return out;
}

std::string Inserter::copyPart(const std::string& sPart) {
  if (auto it = partMap_.find(sPart); it != partMap_.end())
    return it->second;
  std::string ct = sp_.contentType(sPart);
  bool xmlPart = ct.find("xml") != std::string::npos || endsWith(lowerAscii(sPart), ".xml");
  bool headerFooter = endsWith(ct, "header+xml") || endsWith(ct, "footer+xml");
  std::string bytes = sp_.bytes(sPart);
  std::vector<RawRel> rels = readRels(sp_, sPart);

  // The same picture twice is stored once.
  if (!xmlPart && rels.empty()) {
    if (!binaryIndexed_) {
      binaryIndexed_ = true;
      for (const std::string& n : tp_.names()) {
        std::string lower = lowerAscii(n);
        if (n.find("_rels/") != std::string::npos || endsWith(lower, ".xml") ||
            endsWith(lower, ".rels") || n.rfind("word/media/", 0) != 0)
          continue;
        binaryIndex_[std::hash<std::string>{}(tp_.bytes(n))].push_back(n);
      }
    }
    if (auto it = binaryIndex_.find(std::hash<std::string>{}(bytes)); it != binaryIndex_.end())
      for (const std::string& same : it->second)
        if (tp_.contentType(same) == ct && tp_.bytes(same) == bytes) {
          partMap_.emplace(sPart, same);
          return same;
        }
  }

  std::string name = uniquePartName(sPart);
  partMap_.emplace(sPart, name);
  if (!xmlPart && rels.empty() && name.rfind("word/media/", 0) == 0)
    binaryIndex_[std::hash<std::string>{}(bytes)].push_back(name);
  tp_.setBytes(name, std::move(bytes));
  if (!ct.empty() && tp_.contentType(name) != ct)
    tp_.setContentTypeOverride(name, ct);
  ++rep_.partsCopied;

  if (headerFooter) {
    // A header or footer is text: its styles, lists, pictures and ids follow like the body's.
    pugi::xml_document* d = tp_.xml(name);
    rewriteTree(d->document_element(), Ctx{sPart, name});
    dirty.insert(name);
    newHeaderFooters.push_back(name);
    return name;
  }
  if (rels.empty())
    return name;
  // Other parts keep their relationship ids; the parts they refer to are copied too.
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
  pugi::xml_document relsDoc;
  pugi::xml_node root = relsDoc.append_child("Relationships");
  root.append_attribute("xmlns") = kPkgRelNs;
  for (const RawRel& r : rels) {
    pugi::xml_node x = root.append_child("Relationship");
    x.append_attribute("Id") = r.id.c_str();
    x.append_attribute("Type") = r.type.c_str();
    std::string target = r.target;
    if (r.mode != "External" && !r.resolved.empty())
      target = relativeTarget(name, copyPart(r.resolved));
    x.append_attribute("Target") = target.c_str();
    if (!r.mode.empty())
      x.append_attribute("TargetMode") = r.mode.c_str();
  }
  out += serializeNode(root);
  tp_.setBytes(relsPartOf(name), out);
  return name;
}

// ---- styles ----------------------------------------------------------------------------------

bool Inserter::ensureTargetStyles() {
  if (tStyles_)
    return true;
  if (!sStyles_)
    return false;
  if (tStylesPart_.empty())
    tStylesPart_ =
        ensureTargetPart(sStylesPart_, relatedPart(sp_, sMain_, "/styles").second, "styles");
  tStyles_ = tp_.xml(tStylesPart_)->document_element();
  bool changed = false;
  stylesPm_ = reconcileNamespaces(sStyles_, tStyles_, changed);
  dirty.insert(tStylesPart_);
  return true;
}

std::string Inserter::canonicalStyle(pugi::xml_node style, bool source) {
  pugi::xml_document tmp;
  pugi::xml_node c = tmp.append_copy(style);
  if (source)
    applyPrefixMap(c, stylesPm_);
  removeRsids(c);
  for (pugi::xml_attribute a = c.first_attribute(); a;) {
    pugi::xml_attribute next = a.next_attribute();
    std::string_view l = localOf(a.name());
    if (l == "styleId" || l == "default" || l == "customStyle")
      c.remove_attribute(a);
    a = next;
  }
  for (pugi::xml_node k = c.first_child(); k;) {
    pugi::xml_node next = k.next_sibling();
    if (k.type() != pugi::node_element || isStyleBookkeeping(localOf(k.name())))
      c.remove_child(k);
    k = next;
  }
  if (source) {
    // A list reference means the same only when it leads to the same target list.
    for (pugi::xpath_node xn : c.select_nodes(".//*[local-name()='numId']")) {
      pugi::xml_attribute v =
          xn.node().attribute(qualify(prefixOf(xn.node().name()), "val").c_str());
      if (v && std::string_view(v.value()) != "0")
        v.set_value(numDecision(v.value()).c_str());
    }
  }
  return serializeNode(c);
}

std::string Inserter::signature(const std::string& id, bool source, int depth) {
  auto& memo = source ? sSig_ : tSig_;
  if (auto it = memo.find(id); it != memo.end())
    return it->second;
  auto& byId = source ? sStyleById_ : tStyleById_;
  auto it = byId.find(id);
  if (it == byId.end() || depth > 32)
    return "?" + id;
  pugi::xml_node s = it->second;
  std::string sig = canonicalStyle(s, source);
  std::string wp = prefixOf(s.name());
  std::string base =
      s.child(qualify(wp, "basedOn").c_str()).attribute(qualify(wp, "val").c_str()).value();
  if (!base.empty() && base != id) {
    sig += "|" + signature(base, source, depth + 1);
  } else {
    // The chain ends in the document defaults.
    pugi::xml_node root = source ? sStyles_ : tStyles_;
    pugi::xml_node dd = root.child(qualify(prefixOf(root.name()), "docDefaults").c_str());
    if (dd) {
      pugi::xml_document tmp;
      pugi::xml_node c = tmp.append_copy(dd);
      if (source)
        applyPrefixMap(c, stylesPm_);
      removeRsids(c);
      sig += "|" + serializeNode(c);
    }
  }
  memo.emplace(id, sig);
  return sig;
}

void Inserter::foldDefaults(pugi::xml_node style) {
  // The inserted document's defaults written into a style without a base, so that its text
  // keeps the look it had under those defaults.
  pugi::xml_node sRoot = sStyles_;
  std::string sp = prefixOf(sRoot.name());
  pugi::xml_node dd = sRoot.child(qualify(sp, "docDefaults").c_str());
  if (!dd)
    return;
  WNames n = WNames::forRoot(tStyles_);
  auto fold = [&](const char* wrapper, const char* local) {
    pugi::xml_node src = dd.child(qualify(sp, wrapper).c_str()).child(qualify(sp, local).c_str());
    if (!src)
      return;
    pugi::xml_document tmp;
    pugi::xml_node copy = tmp.append_copy(src);
    applyPrefixMap(copy, stylesPm_);
    pugi::xml_node dst = style.child(n.q(local));
    if (!dst) {
      // pPr comes before rPr, and both before the table properties.
      pugi::xml_node before;
      for (pugi::xml_node k = style.first_child(); k; k = k.next_sibling()) {
        const char* l = n.localOf(k);
        if (l &&
            (!std::strcmp(local, "pPr")
                 ? (!std::strcmp(l, "rPr") || !std::strcmp(l, "tblPr") || !std::strcmp(l, "trPr") ||
                    !std::strcmp(l, "tcPr") || !std::strcmp(l, "tblStylePr"))
                 : (!std::strcmp(l, "tblPr") || !std::strcmp(l, "trPr") ||
                    !std::strcmp(l, "tcPr") || !std::strcmp(l, "tblStylePr")))) {
          before = k;
          break;
        }
      }
      dst = before ? style.insert_child_before(n.q(local), before) : style.append_child(n.q(local));
    }
    for (pugi::xml_node k = copy.first_child(); k; k = k.next_sibling()) {
      if (k.type() != pugi::node_element)
        continue;
      const char* l = n.localOf(k);
      if (!l)
        continue;
      pugi::xml_node have = dst.child(k.name());
      if (!have) {
        pugi::xml_node made = ensureChild(dst, l, n);
        for (pugi::xml_attribute a : k.attributes())
          made.append_attribute(a.name()).set_value(a.value());
        for (pugi::xml_node g = k.first_child(); g; g = g.next_sibling())
          made.append_copy(g);
        continue;
      }
      if (have.first_child())
        continue;
      // Attribute by attribute; a font given by name or by theme counts as given.
      bool fonts = !std::strcmp(l, "rFonts");
      for (pugi::xml_attribute a : k.attributes()) {
        std::string an = a.name();
        if (have.attribute(an.c_str()))
          continue;
        if (fonts) {
          std::string al(localOf(an));
          std::string kind = endsWith(al, "Theme") ? al.substr(0, al.size() - 5) : al;
          if (kind == "cstheme")
            kind = "cs";
          std::string wp = prefixOf(an);
          std::string themeName = kind == "cs" ? "cstheme" : kind + "Theme";
          if (have.attribute(qualify(wp, kind).c_str()) ||
              have.attribute(qualify(wp, themeName).c_str()))
            continue;
        }
        have.append_attribute(an.c_str()).set_value(a.value());
      }
    }
  };
  fold("pPrDefault", "pPr");
  fold("rPrDefault", "rPr");
}

std::string Inserter::mapStyle(const std::string& sId) {
  if (auto it = styleMap_.find(sId); it != styleMap_.end())
    return it->second;
  auto found = sStyleById_.find(sId);
  if (found == sStyleById_.end() || !ensureTargetStyles()) {
    styleMap_.emplace(sId, sId);
    return sId;
  }
  pugi::xml_node s = found->second;
  std::string sp = prefixOf(s.name());
  std::string name =
      s.child(qualify(sp, "name").c_str()).attribute(qualify(sp, "val").c_str()).value();
  if (name.empty())
    name = sId;
  std::string type = s.attribute(qualify(sp, "type").c_str()).value();
  auto byName = tIdByName_.find(lowerAscii(name));
  if (byName != tIdByName_.end()) {
    pugi::xml_node t = tStyleById_[byName->second];
    std::string tp = prefixOf(t.name());
    std::string tType = t.attribute(qualify(tp, "type").c_str()).value();
    if (tType == type && signature(sId, true, 0) == signature(byName->second, false, 0)) {
      styleMap_.emplace(sId, byName->second);
      ++rep_.stylesShared;
      return byName->second;
    }
  }
  // Copy it, under a new id and name where the target's mean something else.
  std::string newId = sId, newName = name;
  bool renamed = false;
  if (byName != tIdByName_.end()) {
    for (unsigned k = 2;; ++k) {
      newName = name + " (" + std::to_string(k) + ")";
      if (!tIdByName_.count(lowerAscii(newName)))
        break;
    }
    renamed = true;
  }
  if (renamed || tStyleById_.count(sId)) {
    for (unsigned k = 2;; ++k) {
      newId = sId + "_" + std::to_string(k);
      if (!tStyleById_.count(newId))
        break;
    }
    renamed = true;
  }
  styleMap_.emplace(sId, newId);
  dirty.insert(tStylesPart_);
  WNames n = WNames::forRoot(tStyles_);
  pugi::xml_node last;
  for (pugi::xml_node k = tStyles_.last_child(); k; k = k.previous_sibling())
    if (n.is(k, "style")) {
      last = k;
      break;
    }
  pugi::xml_node c = last ? tStyles_.insert_copy_after(s, last) : tStyles_.append_copy(s);
  applyPrefixMap(c, stylesPm_);
  setAttr(c, "styleId", newId, n);
  if (pugi::xml_attribute d = c.attribute(n.q("default")))
    c.remove_attribute(d);
  if (newName != name || !c.child(n.q("name"))) {
    pugi::xml_node nm = c.child(n.q("name"));
    if (!nm)
      nm = c.prepend_child(n.q("name"));
    setAttr(nm, "val", newName, n);
  }
  tStyleById_[newId] = c;
  tIdByName_[lowerAscii(newName)] = newId;
  renamed ? ++rep_.stylesRenamed : ++rep_.stylesCopied;
  // What the copy refers to comes along.
  for (const char* ref : {"basedOn", "link", "next"}) {
    pugi::xml_node r = c.child(n.q(ref));
    if (r)
      setAttr(r, "val", mapStyle(attr(r, "val", n)), n);
  }
  for (pugi::xpath_node xn : c.select_nodes(".//*[local-name()='numId']")) {
    std::string v = attr(xn.node(), "val", n);
    if (!v.empty() && v != "0")
      setAttr(xn.node(), "val", materializeNum(v), n);
  }
  if (defaultsDiffer_ && type == "paragraph" && !c.child(n.q("basedOn")))
    foldDefaults(c);
  return newId;
}

bool Inserter::needExplicitParagraphStyle() {
  if (explicitP_ < 0) {
    explicitP_ = 0;
    if (!sDefaultP_.empty()) {
      explicitPId_ = mapStyle(sDefaultP_);
      explicitP_ = explicitPId_ != tDefaultP_ ? 1 : 0;
    }
  }
  return explicitP_ == 1;
}

bool Inserter::needExplicitTableStyle() {
  if (explicitTbl_ < 0) {
    explicitTbl_ = 0;
    if (!sDefaultTbl_.empty()) {
      explicitTblId_ = mapStyle(sDefaultTbl_);
      explicitTbl_ = explicitTblId_ != tDefaultTbl_ ? 1 : 0;
    }
  }
  return explicitTbl_ == 1;
}

// ---- numbering -------------------------------------------------------------------------------

bool Inserter::loadTargetNumbering() {
  if (targetNumberingLoaded_ || tNumPart_.empty() || !sNum_)
    return static_cast<bool>(tNum_);
  targetNumberingLoaded_ = true;
  tNum_ = tp_.xml(tNumPart_)->document_element();
  bool changed = false;
  numPm_ = reconcileNamespaces(sNum_, tNum_, changed);
  dirty.insert(tNumPart_);
  WNames n = WNames::forRoot(tNum_);
  for (pugi::xml_node k = tNum_.first_child(); k; k = k.next_sibling()) {
    if (n.is(k, "num")) {
      std::string id = attr(k, "numId", n);
      tNumById_[id] = k;
      nextNumId_ = std::max(nextNumId_, number(id.c_str()) + 1);
    } else if (n.is(k, "abstractNum")) {
      std::string id = attr(k, "abstractNumId", n);
      tAbsById_[id] = k;
      nextAbsId_ = std::max(nextAbsId_, number(id.c_str()) + 1);
      std::string nsid = attr(k.child(n.q("nsid")), "val", n);
      if (!nsid.empty())
        tNsids_.insert(lowerAscii(nsid));
    } else if (n.is(k, "numPicBullet")) {
      nextPicBullet_ = std::max(nextPicBullet_, number(attr(k, "numPicBulletId", n).c_str()) + 1);
    }
  }
  return true;
}

bool Inserter::prepareNumbering() {
  if (!sNum_)
    return false;
  if (tNumPart_.empty())
    tNumPart_ =
        ensureTargetPart(sNumPart_, relatedPart(sp_, sMain_, "/numbering").second, "numbering");
  return loadTargetNumbering();
}

std::string Inserter::canonicalAbstract(pugi::xml_node abs, bool source) {
  pugi::xml_document tmp;
  pugi::xml_node c = tmp.append_copy(abs);
  if (source)
    applyPrefixMap(c, numPm_);
  removeRsids(c);
  for (pugi::xml_attribute a = c.first_attribute(); a;) {
    pugi::xml_attribute next = a.next_attribute();
    if (localOf(a.name()) == "abstractNumId")
      c.remove_attribute(a);
    a = next;
  }
  for (pugi::xml_node k = c.first_child(); k;) {
    pugi::xml_node next = k.next_sibling();
    std::string_view l = localOf(k.name());
    if (k.type() != pugi::node_element || l == "nsid" || l == "tmpl")
      c.remove_child(k);
    k = next;
  }
  return serializeNode(c);
}

std::string Inserter::canonicalOverrides(pugi::xml_node num, bool source) {
  pugi::xml_document tmp;
  pugi::xml_node c = tmp.append_copy(num);
  if (source)
    applyPrefixMap(c, numPm_);
  std::string out;
  for (pugi::xml_node k = c.first_child(); k; k = k.next_sibling())
    if (localOf(k.name()) == "lvlOverride")
      out += serializeNode(k);
  return out;
}

std::string Inserter::joinableAbstract(const std::string& sAbsId) {
  if (auto it = joinMemo_.find(sAbsId); it != joinMemo_.end())
    return it->second;
  std::string out;
  auto s = sAbsById_.find(sAbsId);
  if (s != sAbsById_.end() && loadTargetNumbering()) {
    WNames sn = WNames::forRoot(sNum_), tn = WNames::forRoot(tNum_);
    std::string nsid = lowerAscii(attr(s->second.child(sn.q("nsid")), "val", sn));
    if (!nsid.empty() && tNsids_.count(nsid)) {
      std::string canon = canonicalAbstract(s->second, true);
      for (auto& [id, t] : tAbsById_) {
        if (lowerAscii(attr(t.child(tn.q("nsid")), "val", tn)) == nsid &&
            canonicalAbstract(t, false) == canon) {
          out = id;
          break;
        }
      }
    }
  }
  joinMemo_.emplace(sAbsId, out);
  return out;
}

std::string Inserter::numDecision(const std::string& sNumId) {
  if (auto it = numMap_.find(sNumId); it != numMap_.end())
    return it->second;
  auto s = sNumById_.find(sNumId);
  if (s == sNumById_.end())
    return "0";
  if (!loadTargetNumbering())
    return "new:" + sNumId;
  WNames sn = WNames::forRoot(sNum_), tn = WNames::forRoot(tNum_);
  std::string sAbs = attr(s->second.child(sn.q("abstractNumId")), "val", sn);
  std::string tAbs = joinableAbstract(sAbs);
  if (!tAbs.empty()) {
    std::string overrides = canonicalOverrides(s->second, true);
    std::vector<std::pair<long long, std::string>> candidates;
    for (auto& [id, t] : tNumById_)
      if (attr(t.child(tn.q("abstractNumId")), "val", tn) == tAbs &&
          canonicalOverrides(t, false) == overrides)
        candidates.emplace_back(number(id.c_str()), id);
    if (!candidates.empty())
      return std::min_element(candidates.begin(), candidates.end())->second;
  }
  return "new:" + sNumId;
}

std::string Inserter::materializePicBullet(const std::string& sId) {
  if (auto it = picBulletMap_.find(sId); it != picBulletMap_.end())
    return it->second;
  WNames sn = WNames::forRoot(sNum_), tn = WNames::forRoot(tNum_);
  pugi::xml_node src;
  for (pugi::xml_node k = sNum_.child(sn.q("numPicBullet")); k;
       k = k.next_sibling(sn.q("numPicBullet")))
    if (attr(k, "numPicBulletId", sn) == sId)
      src = k;
  if (!src) {
    picBulletMap_.emplace(sId, sId);
    return sId;
  }
  std::string id = std::to_string(nextPicBullet_++);
  picBulletMap_.emplace(sId, id);
  pugi::xml_node before;
  for (pugi::xml_node k = tNum_.first_child(); k; k = k.next_sibling())
    if (tn.is(k, "abstractNum") || tn.is(k, "num")) {
      before = k;
      break;
    }
  pugi::xml_node c = before ? tNum_.insert_copy_before(src, before) : tNum_.append_copy(src);
  applyPrefixMap(c, numPm_);
  setAttr(c, "numPicBulletId", id, tn);
  rewriteTree(c, Ctx{sNumPart_, tNumPart_});
  return id;
}

std::string Inserter::materializeAbstract(const std::string& sAbsId) {
  if (auto it = absMap_.find(sAbsId); it != absMap_.end())
    return it->second;
  std::string joined = joinableAbstract(sAbsId);
  if (!joined.empty()) {
    absMap_.emplace(sAbsId, joined);
    ++rep_.listsJoined;
    return joined;
  }
  auto s = sAbsById_.find(sAbsId);
  if (s == sAbsById_.end()) {
    absMap_.emplace(sAbsId, sAbsId);
    return sAbsId;
  }
  WNames tn = WNames::forRoot(tNum_);
  std::string id = std::to_string(nextAbsId_++);
  absMap_.emplace(sAbsId, id);
  // Abstract definitions come before every w:num.
  pugi::xml_node lastAbs, firstNum;
  for (pugi::xml_node k = tNum_.first_child(); k; k = k.next_sibling()) {
    if (tn.is(k, "abstractNum"))
      lastAbs = k;
    else if (!firstNum && (tn.is(k, "num") || tn.is(k, "numIdMacAtCleanup")))
      firstNum = k;
  }
  pugi::xml_node c = lastAbs    ? tNum_.insert_copy_after(s->second, lastAbs)
                     : firstNum ? tNum_.insert_copy_before(s->second, firstNum)
                                : tNum_.append_copy(s->second);
  applyPrefixMap(c, numPm_);
  setAttr(c, "abstractNumId", id, tn);
  tAbsById_[id] = c;
  ++rep_.listsCopied;
  // A list of the target with the same identifier would be taken for this one.
  pugi::xml_node nsidNode = c.child(tn.q("nsid"));
  std::string nsid = lowerAscii(attr(nsidNode, "val", tn));
  if (nsidNode && !nsid.empty()) {
    unsigned long v = std::strtoul(nsid.c_str(), nullptr, 16);
    while (tNsids_.count(nsid)) {
      v = (v * 1103515245ul + 12345ul) & 0xFFFFFFFFul;
      char buf[16];
      std::snprintf(buf, sizeof buf, "%08lx", v);
      nsid = buf;
    }
    setAttr(nsidNode, "val", base::upperAscii(nsid), tn);
  }
  if (!nsid.empty())
    tNsids_.insert(nsid);
  for (pugi::xpath_node xn :
       c.select_nodes(".//*[local-name()='pStyle' or local-name()='styleLink' "
                      "or local-name()='numStyleLink']")) {
    std::string v = attr(xn.node(), "val", tn);
    if (!v.empty())
      setAttr(xn.node(), "val", mapStyle(v), tn);
  }
  for (pugi::xpath_node xn : c.select_nodes(".//*[local-name()='lvlPicBulletId']")) {
    std::string v = attr(xn.node(), "val", tn);
    if (!v.empty())
      setAttr(xn.node(), "val", materializePicBullet(v), tn);
  }
  return id;
}

std::string Inserter::materializeNum(const std::string& sNumId) {
  if (auto it = numMap_.find(sNumId); it != numMap_.end())
    return it->second;
  if (!sNumById_.count(sNumId) || !prepareNumbering())
    return "0";
  std::string d = numDecision(sNumId);
  if (d.rfind("new:", 0) != 0) {
    if (d != "0") {
      WNames sn = WNames::forRoot(sNum_);
      materializeAbstract(attr(sNumById_[sNumId].child(sn.q("abstractNumId")), "val", sn));
    }
    numMap_.emplace(sNumId, d);
    return d;
  }
  pugi::xml_node s = sNumById_[sNumId];
  WNames sn = WNames::forRoot(sNum_), tn = WNames::forRoot(tNum_);
  std::string id = std::to_string(nextNumId_++);
  numMap_.emplace(sNumId, id);
  std::string abs = materializeAbstract(attr(s.child(sn.q("abstractNumId")), "val", sn));
  pugi::xml_node lastNum, cleanup;
  for (pugi::xml_node k = tNum_.first_child(); k; k = k.next_sibling()) {
    if (tn.is(k, "num"))
      lastNum = k;
    else if (tn.is(k, "numIdMacAtCleanup"))
      cleanup = k;
  }
  pugi::xml_node c = lastNum   ? tNum_.insert_copy_after(s, lastNum)
                     : cleanup ? tNum_.insert_copy_before(s, cleanup)
                               : tNum_.append_copy(s);
  applyPrefixMap(c, numPm_);
  setAttr(c, "numId", id, tn);
  setAttr(c.child(tn.q("abstractNumId")), "val", abs, tn);
  tNumById_[id] = c;
  return id;
}

// ---- notes -----------------------------------------------------------------------------------

std::string Inserter::copyNote(Notes& notes, const std::string& sId) {
  if (auto it = notes.map.find(sId); it != notes.map.end())
    return it->second;
  if (!notes.ready) {
    notes.ready = true;
    auto [sPart, type] = relatedPart(sp_, sMain_, notes.kind->relSuffix);
    notes.sPart = sPart;
    if (!sPart.empty()) {
      notes.sRoot = sp_.xml(sPart)->document_element();
      WNames sn = WNames::forRoot(notes.sRoot);
      for (pugi::xml_node k = notes.sRoot.child(sn.q(notes.kind->entry)); k;
           k = k.next_sibling(sn.q(notes.kind->entry)))
        notes.sById[attr(k, "id", sn)] = k;
      notes.tPart = relatedPart(tp_, tMain_, notes.kind->relSuffix).first;
      bool created = notes.tPart.empty();
      if (created) {
        // The new part's root is the source's, with its declarations and separators.
        notes.tPart = uniquePartName("word/" + sPart.substr(sPart.rfind('/') + 1));
        pugi::xml_document shell;
        pugi::xml_node r = shell.append_copy(notes.sRoot);
        for (pugi::xml_node k = r.first_child(); k;) {
          pugi::xml_node next = k.next_sibling();
          if (attr(k, "type", sn).empty())
            r.remove_child(k);
          k = next;
        }
        tp_.setBytes(notes.tPart,
                     "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n" +
                         serializeNode(r));
        std::string ct = sp_.contentType(sPart);
        if (!ct.empty() && tp_.contentType(notes.tPart) != ct)
          tp_.setContentTypeOverride(notes.tPart, ct);
        tp_.addRelationship(tMain_, type, relativeTarget(tMain_, notes.tPart));
      }
      notes.tRoot = tp_.xml(notes.tPart)->document_element();
      bool changed = false;
      notes.pm = reconcileNamespaces(notes.sRoot, notes.tRoot, changed);
      WNames tn = WNames::forRoot(notes.tRoot);
      for (pugi::xml_node k = notes.tRoot.child(tn.q(notes.kind->entry)); k;
           k = k.next_sibling(tn.q(notes.kind->entry)))
        notes.next = std::max(notes.next, number(attr(k, "id", tn).c_str()) + 1);
      dirty.insert(notes.tPart);
    }
  }
  auto s = notes.sById.find(sId);
  if (!notes.tRoot || s == notes.sById.end()) {
    rep_.warnings.push_back(msg::text(msg::kInsertNoteMissing, sId));
    notes.map.emplace(sId, sId);
    return sId;
  }
  std::string id = std::to_string(notes.next++);
  notes.map.emplace(sId, id);
  pugi::xml_node c = notes.tRoot.append_copy(s->second);
  applyPrefixMap(c, notes.pm);
  setAttr(c, "id", id, WNames::forRoot(notes.tRoot));
  ++rep_.notesCopied;
  rewriteTree(c, Ctx{notes.sPart, notes.tPart});
  return id;
}

// ---- body ------------------------------------------------------------------------------------

std::string Inserter::bookmarkName(const std::string& name) {
  if (auto it = bookmarkMap_.find(name); it != bookmarkMap_.end())
    return it->second;
  std::string out = name;
  if (tBookmarks_.count(name)) {
    // Word keeps bookmark names to 40 characters; cut at a UTF-8 boundary.
    size_t cut = std::min<size_t>(34, name.size());
    while (cut > 0 && cut < name.size() && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
      --cut;
    std::string base = name.substr(0, cut);
    for (unsigned k = 2;; ++k) {
      out = base + "_" + std::to_string(k);
      if (!tBookmarks_.count(out))
        break;
    }
    ++rep_.bookmarksRenamed;
  }
  tBookmarks_.insert(out);
  bookmarkMap_.emplace(name, out);
  return out;
}

std::string Inserter::annotationId(const std::string& id) {
  if (auto it = annotationMap_.find(id); it != annotationMap_.end())
    return it->second;
  std::string out = std::to_string(nextAnnotation_++);
  annotationMap_.emplace(id, out);
  return out;
}

void Inserter::drawingId(pugi::xml_attribute id) {
  long long v = number(id.value());
  if (v >= 0 && !tDrawingIds_.count(v)) {
    tDrawingIds_.insert(v);
    nextDrawingId_ = std::max(nextDrawingId_, v + 1);
    return;
  }
  long long fresh = nextDrawingId_++;
  tDrawingIds_.insert(fresh);
  id.set_value(std::to_string(fresh).c_str());
  ++rep_.drawingIdsChanged;
}

void Inserter::paraId(pugi::xml_attribute id) {
  std::string v = lowerAscii(id.value());
  if (!tParaIds_.count(v)) {
    tParaIds_.insert(v);
    return;
  }
  // Paragraph ids stay below 0x80000000.
  char buf[16];
  do {
    std::snprintf(buf, sizeof buf, "%08lX", nextParaId_++ & 0x7FFFFFFFul);
  } while (tParaIds_.count(lowerAscii(buf)));
  tParaIds_.insert(lowerAscii(buf));
  id.set_value(buf);
}

std::string Inserter::renameFieldRefs(const std::string& instr) const {
  bool any = false;
  for (auto& [from, to] : bookmarkMap_)
    if (from != to)
      any = true;
  if (!any)
    return instr;
  std::string out;
  size_t i = 0;
  while (i < instr.size()) {
    if (instr[i] == ' ' || instr[i] == '"' || instr[i] == '\t') {
      out += instr[i++];
      continue;
    }
    size_t j = i;
    while (j < instr.size() && instr[j] != ' ' && instr[j] != '"' && instr[j] != '\t')
      ++j;
    std::string token = instr.substr(i, j - i);
    auto it = bookmarkMap_.find(token);
    out += it == bookmarkMap_.end() ? token : it->second;
    i = j;
  }
  return out;
}

void Inserter::rewrite(pugi::xml_node e, const Ctx& ctx, NsScope& scope) {
  size_t added = scope.push(e);
  std::string name = e.name();
  std::string pfx = prefixOf(name);
  std::string_view uri = scope.uri(pfx);
  std::string local(localOf(name));
  bool w = uri == kWNamespace;
  auto wattr = [&](const char* l) { return e.attribute(qualify(pfx, l).c_str()); };

  if (w) {
    if (local == "pStyle" || local == "rStyle" || local == "tblStyle") {
      if (pugi::xml_attribute v = wattr("val"))
        v.set_value(mapStyle(v.value()).c_str());
    } else if (local == "numId") {
      pugi::xml_attribute v = wattr("val");
      if (v && std::string_view(v.value()) != "0" && localOf(e.parent().name()) == "numPr") {
        std::string mapped = sNum_ ? materializeNum(v.value()) : std::string("0");
        v.set_value(mapped.c_str());
      }
    } else if (isAnnotationIdElement(local)) {
      if (pugi::xml_attribute v = wattr("id"))
        v.set_value(annotationId(v.value()).c_str());
      if (local == "bookmarkStart")
        if (pugi::xml_attribute v = wattr("name"))
          v.set_value(bookmarkName(v.value()).c_str());
    } else if (local == "hyperlink") {
      if (pugi::xml_attribute v = wattr("anchor"))
        if (auto it = bookmarkMap_.find(v.value()); it != bookmarkMap_.end())
          v.set_value(it->second.c_str());
    } else if (local == "instrText") {
      std::string t = e.text().get();
      std::string r = renameFieldRefs(t);
      if (r != t)
        e.text().set(r.c_str());
    } else if (local == "fldSimple") {
      if (pugi::xml_attribute v = wattr("instr"))
        v.set_value(renameFieldRefs(v.value()).c_str());
    } else if (local == "footnoteReference") {
      if (pugi::xml_attribute v = wattr("id"))
        v.set_value(copyNote(footnotes_, v.value()).c_str());
    } else if (local == "endnoteReference") {
      if (pugi::xml_attribute v = wattr("id"))
        v.set_value(copyNote(endnotes_, v.value()).c_str());
    } else if (local == "commentRangeStart" || local == "commentRangeEnd" ||
               local == "commentReference") {
      if (pugi::xml_attribute v = wattr("id"))
        v.set_value(copyNote(comments_, v.value()).c_str());
    }
  } else if (uri == kWpNs && local == "docPr") {
    if (pugi::xml_attribute id = e.attribute("id"))
      drawingId(id);
  }
  for (pugi::xml_attribute a : e.attributes()) {
    std::string an = a.name();
    std::string ap = prefixOf(an);
    if (ap.empty() || ap == "xmlns")
      continue;
    std::string_view auri = scope.uri(ap);
    if (auri == kRNs || (auri == kONs && localOf(an) == "relid"))
      a.set_value(mapRel(ctx, a.value()).c_str());
    else if (auri == kW14Ns && localOf(an) == "paraId")
      paraId(a);
  }

  for (pugi::xml_node c = e.first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_element)
      rewrite(c, ctx, scope);

  // Paragraphs and tables that relied on their document's default style name it now.
  if (w && local == "p" && needExplicitParagraphStyle()) {
    WNames n(pfx);
    pugi::xml_node pPr = e.child(n.pPr.c_str());
    if (!pPr || !pPr.child(n.pStyle.c_str()))
      setAttr(ensureChild(paraProps(e, n), "pStyle", n), "val", explicitPId_, n);
  } else if (w && local == "tbl" && needExplicitTableStyle()) {
    WNames n(pfx);
    pugi::xml_node tblPr = e.child(n.q("tblPr"));
    if (!tblPr)
      tblPr = e.prepend_child(n.q("tblPr"));
    if (!tblPr.child(n.q("tblStyle")))
      setAttr(tblPr.prepend_child(n.q("tblStyle")), "val", explicitTblId_, n);
  }
  scope.pop(added);
}

void Inserter::makeTargetSectionBreak() {
  WNames n = WNames::forRoot(tBody_.parent());
  pugi::xml_node final;
  for (pugi::xml_node k = tBody_.last_child(); k; k = k.previous_sibling())
    if (k.type() == pugi::node_element) {
      final = k;
      break;
    }
  if (!final || !n.is(final, "sectPr"))
    return;
  pugi::xml_node last;
  for (pugi::xml_node k = final.previous_sibling(); k; k = k.previous_sibling())
    if (k.type() == pugi::node_element) {
      last = k;
      break;
    }
  if (!last)
    return;
  if (!n.is(last, "p"))
    last = tBody_.insert_child_before(n.p.c_str(), final);
  pugi::xml_node pPr = paraProps(last, n);
  if (pPr.child(n.sectPr.c_str()))
    return;
  pugi::xml_node sect = ensureChild(pPr, "sectPr", n);
  for (pugi::xml_attribute a : final.attributes())
    sect.append_attribute(a.name()).set_value(a.value());
  for (pugi::xml_node k = final.first_child(); k; k = k.next_sibling())
    sect.append_copy(k);
}

void Inserter::fonts() {
  auto [sPart, type] = relatedPart(sp_, sMain_, "/fontTable");
  std::string tPart = relatedPart(tp_, tMain_, "/fontTable").first;
  if (sPart.empty() || tPart.empty())
    return;
  pugi::xml_node sRoot = sp_.xml(sPart)->document_element();
  pugi::xml_node tRoot = tp_.xml(tPart)->document_element();
  WNames sn = WNames::forRoot(sRoot), tn = WNames::forRoot(tRoot);
  std::unordered_set<std::string> have;
  for (pugi::xml_node f = tRoot.child(tn.q("font")); f; f = f.next_sibling(tn.q("font")))
    have.insert(attr(f, "name", tn));
  bool changed = false;
  PrefixMap pm;
  bool reconciled = false;
  for (pugi::xml_node f = sRoot.child(sn.q("font")); f; f = f.next_sibling(sn.q("font"))) {
    std::string name = attr(f, "name", sn);
    if (name.empty() || have.count(name))
      continue;
    if (!reconciled) {
      pm = reconcileNamespaces(sRoot, tRoot, changed);
      reconciled = true;
    }
    pugi::xml_node c = tRoot.append_copy(f);
    applyPrefixMap(c, pm);
    // Embedded font data lives in parts of its own; the entry describes the font without it.
    for (pugi::xml_node k = c.first_child(); k;) {
      pugi::xml_node next = k.next_sibling();
      if (localOf(k.name()).substr(0, 5) == "embed")
        c.remove_child(k);
      k = next;
    }
    have.insert(name);
    changed = true;
  }
  if (changed)
    dirty.insert(tPart);
}

void Inserter::run() {
  preparse();
  WNames sn = WNames::forRoot(sBody_.parent());
  std::vector<pugi::xml_node> blocks;
  bool innerSections = false;
  for (pugi::xml_node k = sBody_.first_child(); k; k = k.next_sibling()) {
    if (k.type() != pugi::node_element || sn.is(k, "sectPr"))
      continue;
    blocks.push_back(k);
    if (!innerSections && k.select_node(".//*[local-name()='pPr']/*[local-name()='sectPr']"))
      innerSections = true;
  }
  if (blocks.empty())
    return;

  scanTarget();
  // Styles and lists of both documents.
  auto [sStylesPart, sStylesType] = relatedPart(sp_, sMain_, "/styles");
  sStylesPart_ = sStylesPart;
  if (!sStylesPart_.empty())
    sStyles_ = sp_.xml(sStylesPart_)->document_element();
  tStylesPart_ = relatedPart(tp_, tMain_, "/styles").first;
  if (!tStylesPart_.empty())
    tStyles_ = tp_.xml(tStylesPart_)->document_element();
  if (sStyles_ && tStyles_) {
    bool changed = false;
    stylesPm_ = reconcileNamespaces(sStyles_, tStyles_, changed);
    if (changed)
      dirty.insert(tStylesPart_);
  }
  auto indexStyles = [](pugi::xml_node root, std::unordered_map<std::string, pugi::xml_node>& byId,
                        std::unordered_map<std::string, std::string>* byName, std::string& defP,
                        std::string& defTbl) {
    if (!root)
      return;
    WNames n = WNames::forRoot(root);
    for (pugi::xml_node s = root.child(n.q("style")); s; s = s.next_sibling(n.q("style"))) {
      std::string id = attr(s, "styleId", n);
      if (id.empty())
        continue;
      byId.emplace(id, s);
      std::string name = attr(s.child(n.q("name")), "val", n);
      if (byName)
        byName->emplace(lowerAscii(name.empty() ? id : name), id);
      std::string def = attr(s, "default", n), type = attr(s, "type", n);
      if (def == "1" || def == "true" || def == "on") {
        if (type == "paragraph" && defP.empty())
          defP = id;
        else if (type == "table" && defTbl.empty())
          defTbl = id;
      }
    }
  };
  indexStyles(sStyles_, sStyleById_, nullptr, sDefaultP_, sDefaultTbl_);
  indexStyles(tStyles_, tStyleById_, &tIdByName_, tDefaultP_, tDefaultTbl_);
  if (sStyles_ && tStyles_) {
    WNames sN = WNames::forRoot(sStyles_), tN = WNames::forRoot(tStyles_);
    pugi::xml_document a, b;
    if (pugi::xml_node d = sStyles_.child(sN.q("docDefaults"))) {
      pugi::xml_node c = a.append_copy(d);
      applyPrefixMap(c, stylesPm_);
      removeRsids(c);
    }
    if (pugi::xml_node d = tStyles_.child(tN.q("docDefaults"))) {
      pugi::xml_node c = b.append_copy(d);
      removeRsids(c);
    }
    defaultsDiffer_ = serializeNode(a) != serializeNode(b);
  }
  auto [sNumPart, sNumType] = relatedPart(sp_, sMain_, "/numbering");
  sNumPart_ = sNumPart;
  if (!sNumPart_.empty()) {
    sNum_ = sp_.xml(sNumPart_)->document_element();
    WNames n = WNames::forRoot(sNum_);
    for (pugi::xml_node k = sNum_.first_child(); k; k = k.next_sibling()) {
      if (n.is(k, "num"))
        sNumById_.emplace(attr(k, "numId", n), k);
      else if (n.is(k, "abstractNum"))
        sAbsById_.emplace(attr(k, "abstractNumId", n), k);
    }
    tNumPart_ = relatedPart(tp_, tMain_, "/numbering").first;
  }

  // The target keeps its own sections when the inserted text brings section breaks.
  if (innerSections)
    makeTargetSectionBreak();

  pugi::xml_node tRoot = tBody_.parent();
  bool rootChanged = false;
  PrefixMap pm = reconcileNamespaces(sBody_.parent(), tRoot, rootChanged);
  pugi::xml_node final;
  for (pugi::xml_node k = tBody_.last_child(); k; k = k.previous_sibling())
    if (k.type() == pugi::node_element) {
      if (WNames::forRoot(tRoot).is(k, "sectPr"))
        final = k;
      break;
    }
  std::vector<pugi::xml_node> copies;
  copies.reserve(blocks.size());
  for (pugi::xml_node b : blocks) {
    pugi::xml_node c = final ? tBody_.insert_copy_before(b, final) : tBody_.append_copy(b);
    applyPrefixMap(c, pm);
    copies.push_back(c);
  }
  // Bookmark names first, so that links to a bookmark further down follow its new name.
  for (pugi::xml_node c : copies)
    for (pugi::xpath_node xn :
         c.select_nodes("descendant-or-self::*[local-name()='bookmarkStart']"))
      bookmarkName(
          xn.node().attribute(qualify(prefixOf(xn.node().name()), "name").c_str()).value());
  for (pugi::xml_node c : copies)
    rewriteTree(c, Ctx{sMain_, tMain_});
  // A document ends in a paragraph; an inserted table must not run into what follows.
  WNames tn = WNames::forRoot(tRoot);
  if (!tn.is(copies.back(), "p")) {
    pugi::xml_node p =
        final ? tBody_.insert_child_before(tn.p.c_str(), final) : tBody_.append_child(tn.p.c_str());
    (void)p;
  }
  rep_.blocks = static_cast<int>(copies.size());
  fonts();
}

} // namespace

// ---- Document and Selection ------------------------------------------------------------------

InsertFileReport Document::insertDocument(Document& source) {
  if (&source == this || &packageOf(source) == pkg_.get())
    throw DocumentError(path_, "", msg::kInsertIntoItself);
  InsertFileReport report;
  Inserter ins(*pkg_, mainPart_, main_->root(), packageOf(source), source.mainPart_,
               source.main_->root(), report);
  ins.run();
  for (const std::string& part : ins.dirty)
    pkg_->markDirty(part);
  main_->invalidateAll();
  main_->touch();
  // Styles are looked up afresh; copied headers and footers join the known stories.
  if (styles_)
    styles_->reload();
  if (hfLoaded_ && !ins.newHeaderFooters.empty()) {
    std::map<std::string, std::string> refType;
    std::map<std::string, std::string> idOfPart;
    for (const Relationship& rel : pkg_->relationships(mainPart_))
      idOfPart[rel.target] = rel.id;
    const WNames& n = main_->names();
    for (pugi::xpath_node xn : main_->root().select_nodes(
             ".//*[local-name()='headerReference' or local-name()='footerReference']")) {
      pugi::xml_node r = xn.node();
      refType[r.attribute("r:id").value()] = attr(r, "type", n);
    }
    for (const std::string& part : ins.newHeaderFooters) {
      pugi::xml_node root = pkg_->xml(part)->document_element();
      bool header = WNames::forRoot(root).is(root, "hdr");
      StoryType type = header ? StoryType::Header : StoryType::Footer;
      others_.push_back(std::make_unique<Story>(this, part, root, type));
      auto it = refType.find(idOfPart[part]);
      hf_.push_back({part, type, it == refType.end() ? "" : it->second, others_.back().get()});
    }
  }
  return report;
}

InsertFileReport Selection::insertFile(const std::string& path) {
  Application app;
  Document& source = app.open(path);
  InsertFileReport report = doc_->insertDocument(source);
  Story& main = doc_->content();
  int64_t end = std::max<int64_t>(0, main.length() - 1);
  range_ = Range(&main, end, end);
  find_.reset();
  return report;
}

} // namespace word
