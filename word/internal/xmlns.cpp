#include "word/internal/xmlns.h"

#include <cstdint>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace word {

WNames::WNames(const std::string& prefix)
    : prefix_(prefix), skip_(prefix.empty() ? 0 : prefix.size() + 1) {
  p = q("p");
  r = q("r");
  t = q("t");
  tab = q("tab");
  br = q("br");
  cr = q("cr");
  pPr = q("pPr");
  rPr = q("rPr");
  tbl = q("tbl");
  tr = q("tr");
  tc = q("tc");
  sectPr = q("sectPr");
  val = q("val");
  pStyle = q("pStyle");
  rStyle = q("rStyle");
}

WNames WNames::forRoot(pugi::xml_node root) {
  for (pugi::xml_attribute a : root.attributes()) {
    if (std::strcmp(a.value(), kWNamespace) != 0)
      continue;
    const char* name = a.name();
    if (std::strncmp(name, "xmlns:", 6) == 0)
      return WNames(std::string(name + 6));
    if (std::strcmp(name, "xmlns") == 0)
      return WNames(std::string());
  }
  return WNames(std::string("w"));
}

const char* WNames::q(const char* local) const {
  auto& slot =
      fast_.entries[(reinterpret_cast<uintptr_t>(local) >> 4) & (fast_.entries.size() - 1)];
  if (slot.first == local && std::strcmp(slot.second + skip_, local) == 0)
    return slot.second;
  auto it = cache_.find(std::string_view(local));
  if (it == cache_.end()) {
    std::string name = prefix_.empty() ? std::string(local) : prefix_ + ":" + local;
    it = cache_.emplace(local, std::move(name)).first;
  }
  slot = {local, it->second.c_str()};
  return it->second.c_str();
}

bool WNames::is(pugi::xml_node n, const char* local) const {
  return n.type() == pugi::node_element && std::strcmp(n.name(), q(local)) == 0;
}

const char* WNames::localOf(pugi::xml_node n) const {
  if (n.type() != pugi::node_element)
    return nullptr;
  const char* name = n.name();
  if (prefix_.empty())
    return std::strchr(name, ':') ? nullptr : name;
  size_t len = prefix_.size();
  if (std::strncmp(name, prefix_.c_str(), len) == 0 && name[len] == ':')
    return name + len + 1;
  return nullptr;
}

namespace {

struct KnownNamespace {
  const char* prefix;
  const char* uri;
};
constexpr KnownNamespace kKnown[] = {
    {"w", kWNamespace},
    {"r", "http://schemas.openxmlformats.org/officeDocument/2006/relationships"},
    {"wp", "http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing"},
    {"a", "http://schemas.openxmlformats.org/drawingml/2006/main"},
    {"pic", "http://schemas.openxmlformats.org/drawingml/2006/picture"},
    {"v", "urn:schemas-microsoft-com:vml"},
    {"o", "urn:schemas-microsoft-com:office:office"},
    {"w10", "urn:schemas-microsoft-com:office:word"},
    {"mc", "http://schemas.openxmlformats.org/markup-compatibility/2006"},
};
constexpr int kKnownCount = static_cast<int>(std::size(kKnown));

int knownIndex(std::string_view uri) {
  for (int i = 0; i < kKnownCount; ++i)
    if (uri == kKnown[i].uri)
      return i;
  return -1;
}

// The prefix a declaration attribute binds ("" for xmlns), or nullopt for other attributes.
bool declaredPrefix(const char* name, std::string_view& prefix) {
  if (std::strncmp(name, "xmlns", 5) != 0)
    return false;
  if (name[5] == '\0') {
    prefix = {};
    return true;
  }
  if (name[5] != ':')
    return false;
  prefix = name + 6;
  return true;
}

// Next element in document order below `top` (without recursion); `depth` follows the level.
pugi::xml_node nextElement(pugi::xml_node n, pugi::xml_node top, int& depth) {
  if (pugi::xml_node c = n.first_child()) {
    ++depth;
    n = c;
  } else {
    while (n != top && !n.next_sibling()) {
      n = n.parent();
      --depth;
    }
    if (n == top)
      return {};
    n = n.next_sibling();
  }
  while (n && n.type() != pugi::node_element) {
    if (pugi::xml_node s = n.next_sibling()) {
      n = s;
      continue;
    }
    while (n != top && !n.next_sibling()) {
      n = n.parent();
      --depth;
    }
    if (n == top)
      return {};
    n = n.next_sibling();
  }
  return n;
}

} // namespace

namespace {

// Drops from the root's mc:Ignorable the prefixes that no declaration on the root binds. Such a
// list makes Word refuse the file; an undeclared prefix names no element, so nothing else
// changes. Generic XML tools leave these behind: they declare only the namespaces in use.
bool dropUndeclaredIgnorable(pugi::xml_node root) {
  std::string_view mcPrefix;
  for (pugi::xml_attribute a : root.attributes()) {
    std::string_view prefix;
    int k = knownIndex(a.value());
    if (declaredPrefix(a.name(), prefix) && !prefix.empty() && k >= 0 &&
        std::strcmp(kKnown[k].prefix, "mc") == 0)
      mcPrefix = prefix;
  }
  if (mcPrefix.empty())
    return false;
  pugi::xml_attribute ignorable = root.attribute((std::string(mcPrefix) + ":Ignorable").c_str());
  if (!ignorable)
    return false;
  std::string kept;
  bool dropped = false;
  std::string_view list = ignorable.value();
  size_t at = 0;
  while (at < list.size()) {
    size_t end = list.find_first_of(" \t\r\n", at);
    if (end == std::string_view::npos)
      end = list.size();
    std::string_view token = list.substr(at, end - at);
    at = end + 1;
    if (token.empty())
      continue;
    if (root.attribute(("xmlns:" + std::string(token)).c_str())) {
      kept += (kept.empty() ? "" : " ") + std::string(token);
    } else {
      dropped = true;
    }
  }
  if (dropped)
    ignorable.set_value(kept.c_str());
  return dropped;
}

} // namespace

bool declaresBelowRoot(std::string_view x) {
  // UTF-16 and UTF-32 (a byte order mark, or NUL bytes in the first characters) spell "xmlns"
  // otherwise.
  if (x.size() < 4 || static_cast<unsigned char>(x[0]) >= 0xFE ||
      x.substr(0, 4).find('\0') != std::string_view::npos)
    return true;
  // The root's start tag: the first '<' that opens no comment or processing instruction.
  size_t i = 0;
  for (;;) {
    i = x.find('<', i);
    if (i == std::string_view::npos)
      return true;
    if (x.substr(i, 4) == "<!--") {
      i = x.find("-->", i + 4);
      if (i == std::string_view::npos)
        return true;
      i += 3;
    } else if (x.substr(i, 2) == "<?") {
      i = x.find("?>", i + 2);
      if (i == std::string_view::npos)
        return true;
      i += 2;
    } else if (x.substr(i, 2) == "<!") {
      return true; // a document type or CDATA before the root: not worth telling
    } else {
      break;
    }
  }
  // It ends at the first '>' outside an attribute value.
  char quote = 0;
  for (++i; i < x.size(); ++i) {
    const char c = x[i];
    if (quote) {
      if (c == quote)
        quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      break;
    }
  }
  return i >= x.size() || x.find("xmlns", i) != std::string_view::npos;
}

bool normalizeNamespaces(pugi::xml_document& doc, bool rootDeclaresAll) {
  pugi::xml_node root = doc.document_element();
  if (!root)
    return false;
  const bool ignorableRepaired = dropUndeclaredIgnorable(root);
  // First pass: the declarations alone (the root's alone when nothing below declares any).
  // Nothing to do when every known namespace is bound only to its usual prefix (documents
  // written by Word and LibreOffice).
  bool needed = false;
  std::array<bool, kKnownCount> blocked{};
  {
    int depth = 0;
    for (pugi::xml_node n = root; n;
         n = rootDeclaresAll ? pugi::xml_node() : nextElement(n, root, depth)) {
      for (pugi::xml_attribute a : n.attributes()) {
        std::string_view prefix;
        if (!declaredPrefix(a.name(), prefix))
          continue;
        int k = knownIndex(a.value());
        if (k >= 0 && prefix != kKnown[k].prefix)
          needed = true;
        for (int i = 0; i < kKnownCount; ++i)
          if (prefix == kKnown[i].prefix && i != k)
            blocked[static_cast<size_t>(i)] = true;
      }
    }
  }
  if (!needed)
    return ignorableRepaired;

  // Second pass: resolve every name through the declarations in scope and rename those in a
  // known namespace to its usual prefix.
  struct Binding {
    std::string prefix;
    int known; // index into kKnown, -1 for any other namespace
    int depth;
  };
  std::vector<Binding> scope;
  auto resolve = [&](std::string_view prefix) -> int {
    for (auto it = scope.rbegin(); it != scope.rend(); ++it)
      if (it->prefix == prefix)
        return it->known;
    return -1;
  };
  std::array<bool, kKnownCount> used{};
  bool changed = false;
  std::string name;
  auto rename = [&](auto node, int k, std::string_view local) {
    name.assign(kKnown[k].prefix).append(":").append(local);
    node.set_name(name.c_str());
    used[static_cast<size_t>(k)] = true;
    changed = true;
  };
  int depth = 0;
  for (pugi::xml_node n = root; n; n = nextElement(n, root, depth)) {
    while (!scope.empty() && scope.back().depth >= depth)
      scope.pop_back();
    for (pugi::xml_attribute a : n.attributes()) {
      std::string_view prefix;
      if (declaredPrefix(a.name(), prefix))
        scope.push_back({std::string(prefix), knownIndex(a.value()), depth});
    }
    std::string_view qname = n.name();
    size_t colon = qname.find(':');
    std::string_view prefix =
        colon == std::string_view::npos ? std::string_view() : qname.substr(0, colon);
    std::string_view local = colon == std::string_view::npos ? qname : qname.substr(colon + 1);
    int k = resolve(prefix);
    const bool mainElement = k == 0;
    if (k >= 0 && !blocked[static_cast<size_t>(k)] && prefix != kKnown[k].prefix)
      rename(n, k, std::string(local));
    for (pugi::xml_attribute a : n.attributes()) {
      std::string_view aname = a.name();
      std::string_view unused;
      if (declaredPrefix(a.name(), unused))
        continue;
      size_t c = aname.find(':');
      if (c == std::string_view::npos) {
        // Unqualified attributes are in no namespace, except as read on main-namespace
        // elements (see the header).
        if (mainElement && !blocked[0])
          rename(a, 0, std::string(aname));
        continue;
      }
      std::string_view ap = aname.substr(0, c);
      if (ap == "xml")
        continue;
      int ak = resolve(ap);
      if (ak >= 0 && !blocked[static_cast<size_t>(ak)] && ap != kKnown[ak].prefix)
        rename(a, ak, std::string(aname.substr(c + 1)));
    }
  }
  // Declare the usual prefixes first on the root, so that they win for readers that take the
  // first declaration of a namespace.
  for (int i = kKnownCount - 1; i >= 0; --i) {
    if (!used[static_cast<size_t>(i)])
      continue;
    std::string decl = std::string("xmlns:") + kKnown[i].prefix;
    if (pugi::xml_attribute a = root.attribute(decl.c_str()))
      root.remove_attribute(a);
    root.prepend_attribute(decl.c_str()).set_value(kKnown[i].uri);
  }
  return changed || ignorableRepaired;
}

namespace {
// Schema order of the property containers we write into.
const std::vector<const char*> kPPrVector(kPPrOrder.begin(), kPPrOrder.end());
const std::vector<const char*> kRPrOrder = {"ins",
                                            "del",
                                            "moveFrom",
                                            "moveTo",
                                            "rStyle",
                                            "rFonts",
                                            "b",
                                            "bCs",
                                            "i",
                                            "iCs",
                                            "caps",
                                            "smallCaps",
                                            "strike",
                                            "dstrike",
                                            "outline",
                                            "shadow",
                                            "emboss",
                                            "imprint",
                                            "noProof",
                                            "snapToGrid",
                                            "vanish",
                                            "webHidden",
                                            "color",
                                            "spacing",
                                            "w",
                                            "kern",
                                            "position",
                                            "sz",
                                            "szCs",
                                            "highlight",
                                            "u",
                                            "effect",
                                            "bdr",
                                            "shd",
                                            "fitText",
                                            "vertAlign",
                                            "rtl",
                                            "cs",
                                            "em",
                                            "lang",
                                            "eastAsianLayout",
                                            "specVanish",
                                            "oMath",
                                            "rPrChange"};
const std::vector<const char*> kSectPrOrder = {
    "headerReference", "footerReference", "footnotePr",      "endnotePr",   "type",          "pgSz",
    "pgMar",           "paperSrc",        "pgBorders",       "lnNumType",   "pgNumType",     "cols",
    "formProt",        "vAlign",          "noEndnote",       "titlePg",     "textDirection", "bidi",
    "rtlGutter",       "docGrid",         "printerSettings", "sectPrChange"};
const std::vector<const char*> kPBdrOrder = {"top",   "left", "start",   "bottom",
                                             "right", "end",  "between", "bar"};

const std::vector<const char*>* orderFor(const char* parentLocal) {
  if (!parentLocal)
    return nullptr;
  if (!std::strcmp(parentLocal, "pPr"))
    return &kPPrVector;
  if (!std::strcmp(parentLocal, "rPr"))
    return &kRPrOrder;
  if (!std::strcmp(parentLocal, "sectPr"))
    return &kSectPrOrder;
  if (!std::strcmp(parentLocal, "pBdr"))
    return &kPBdrOrder;
  return nullptr;
}

using RankMap = std::unordered_map<std::string_view, int>;

const RankMap& ranksFor(const std::vector<const char*>& order) {
  static const auto build = [](const std::vector<const char*>& o) {
    RankMap m;
    for (size_t i = 0; i < o.size(); ++i)
      m.emplace(o[i], static_cast<int>(i));
    return m;
  };
  static const RankMap pPr = build(kPPrVector), rPr = build(kRPrOrder),
                       sectPr = build(kSectPrOrder), pBdr = build(kPBdrOrder);
  if (&order == &kPPrVector)
    return pPr;
  if (&order == &kRPrOrder)
    return rPr;
  if (&order == &kSectPrOrder)
    return sectPr;
  return pBdr;
}

int rankOf(const std::vector<const char*>& order, const char* local) {
  if (!local)
    return -1;
  const RankMap& m = ranksFor(order);
  auto it = m.find(std::string_view(local));
  return it == m.end() ? -1 : it->second;
}
} // namespace

int pPrRank(const char* local) {
  return rankOf(kPPrVector, local);
}

int rPrRank(const char* local) {
  return rankOf(kRPrOrder, local);
}

pugi::xml_node child(pugi::xml_node parent, const char* local, const WNames& n) {
  return parent.child(n.q(local));
}

pugi::xml_node ensureChild(pugi::xml_node parent, const char* local, const WNames& n) {
  if (pugi::xml_node c = parent.child(n.q(local)))
    return c;
  const auto* order = orderFor(n.localOf(parent));
  int rank = order ? rankOf(*order, local) : -1;
  if (rank >= 0) {
    // Insert before the first existing child that must come after us.
    for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
      int r = rankOf(*order, n.localOf(c));
      if (r > rank)
        return parent.insert_child_before(n.q(local), c);
    }
  }
  return parent.append_child(n.q(local));
}

void setAttr(pugi::xml_node node, const char* local, const std::string& value, const WNames& n) {
  pugi::xml_attribute a = node.attribute(n.q(local));
  if (!a)
    a = node.append_attribute(n.q(local));
  a.set_value(value.c_str());
}

std::string attr(pugi::xml_node node, const char* local, const WNames& n) {
  return node.attribute(n.q(local)).value();
}

bool onOff(pugi::xml_node parentPr, const char* local, const WNames& n, bool absent) {
  pugi::xml_node c = parentPr.child(n.q(local));
  if (!c)
    return absent;
  pugi::xml_attribute v = c.attribute(n.q("val"));
  if (!v)
    return true;
  std::string s = v.value();
  return !(s == "0" || s == "false" || s == "off");
}

pugi::xml_node paraProps(pugi::xml_node p, const WNames& n) {
  if (pugi::xml_node pPr = p.child(n.pPr.c_str()))
    return pPr;
  return p.prepend_child(n.pPr.c_str());
}

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

std::string namespacePrefix(pugi::xml_node root, const char* uri, const char* preferred) {
  if (auto p = findPrefix(root, uri))
    return *p;
  std::string prefix = preferred;
  for (int k = 1; root.attribute(("xmlns:" + prefix).c_str()); ++k)
    prefix = std::string(preferred) + std::to_string(k);
  root.append_attribute(("xmlns:" + prefix).c_str()).set_value(uri);
  return prefix;
}

} // namespace word
