#pragma once
// WordprocessingML names under whatever prefix a part binds to the main namespace, and
// insertion of property elements in schema order (Word rejects out-of-order property lists).

#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include <pugixml.hpp>

namespace word {

inline constexpr const char* kWNamespace =
    "http://schemas.openxmlformats.org/wordprocessingml/2006/main";

// Qualified names of the main namespace for one part. Built from the root element's
// declarations: "w:p" for the usual prefix, "p" when the namespace is the default one.
class WNames {
public:
  WNames() : WNames(std::string("w")) {}
  explicit WNames(const std::string& prefix);
  // Finds the prefix bound to the main namespace on `root` (falls back to "w").
  static WNames forRoot(pugi::xml_node root);

  // Qualified name for a local name, e.g. "p" -> "w:p". The pointer stays valid.
  const char* q(const char* local) const;
  bool is(pugi::xml_node n, const char* local) const;
  // The local name of `n` when it is in the main namespace, else nullptr.
  const char* localOf(pugi::xml_node n) const;
  const std::string& prefix() const { return prefix_; }

  // Frequently used names, precomputed.
  std::string p, r, t, tab, br, cr, pPr, rPr, tbl, tr, tc, sectPr, val, pStyle, rStyle;

private:
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  std::string prefix_;
  size_t skip_ = 0; // length of "prefix:"
  mutable std::unordered_map<std::string, std::string, Hash, std::equal_to<>> cache_;
  // Callers mostly pass string literals: a small cache keyed by the pointer, checked by
  // content, avoids
  // hashing the name on every call. Copies start empty: entries point into their own map.
  struct FastCache {
    std::array<std::pair<const char*, const char*>, 64> entries{};
    FastCache() = default;
    FastCache(const FastCache&) {}
    FastCache& operator=(const FastCache&) {
      entries = {};
      return *this;
    }
  };
  mutable FastCache fast_;
};

// Rewrites a parsed part so that the WordprocessingML namespaces this model names in code (main,
// relationships, DrawingML, VML, markup compatibility) use their usual prefixes (w, r, wp, a,
// pic, v, o, w10, mc), whatever prefix the file bound them to (ns0:, or the default namespace as
// generic XML tools write). Elements and attributes are found by namespace, not by spelling:
// each name is resolved through the declarations in scope. The usual declarations are added to
// the root; the file's own declarations stay (mc:Ignorable may name them). Attributes without a
// prefix on main-namespace elements are taken as main-namespace attributes (no schema attribute
// of that namespace is unqualified). A namespace whose usual prefix the part binds to another
// namespace somewhere is left as written. Prefixes in the root's mc:Ignorable that the root
// does not declare are dropped from it (Word refuses such a list). Returns true when anything
// changed. `rootDeclaresAll` says that no element below the root declares a namespace (see
// declaresBelowRoot): the tree is then walked only when something needs renaming.
bool normalizeNamespaces(pugi::xml_document& doc, bool rootDeclaresAll = false);

// False when the XML text `xml` surely declares no namespace below its root element: the text
// is in an ASCII-compatible encoding and "xmlns" appears nowhere after the root's start tag.
// True whenever that cannot be told cheaply from the bytes (then the tree must be looked at).
bool declaresBelowRoot(std::string_view xml);

// Schema order of w:pPr's children (CT_PPr), the order ensureChild() inserts them in.
inline constexpr std::array<const char*, 36> kPPrOrder = {"pStyle",
                                                          "keepNext",
                                                          "keepLines",
                                                          "pageBreakBefore",
                                                          "framePr",
                                                          "widowControl",
                                                          "numPr",
                                                          "suppressLineNumbers",
                                                          "pBdr",
                                                          "shd",
                                                          "tabs",
                                                          "suppressAutoHyphens",
                                                          "kinsoku",
                                                          "wordWrap",
                                                          "overflowPunct",
                                                          "topLinePunct",
                                                          "autoSpaceDE",
                                                          "autoSpaceDN",
                                                          "bidi",
                                                          "adjustRightInd",
                                                          "snapToGrid",
                                                          "spacing",
                                                          "ind",
                                                          "contextualSpacing",
                                                          "mirrorIndents",
                                                          "suppressOverlap",
                                                          "jc",
                                                          "textDirection",
                                                          "textAlignment",
                                                          "textboxTightWrap",
                                                          "outlineLvl",
                                                          "divId",
                                                          "cnfStyle",
                                                          "rPr",
                                                          "sectPr",
                                                          "pPrChange"};
// Position of child `local` in kPPrOrder, or -1.
int pPrRank(const char* local);
// Position of child `local` in the schema order of w:rPr (CT_RPr), or -1 (also for nullptr).
int rPrRank(const char* local);

// The child `local` of `parent` (a w:pPr, w:rPr or w:sectPr, which must be in the main
// namespace), created at its schema position when missing.
// Calls f(element) for every element below `root`, in document order. Unlike an XPath
// descendant step it allocates nothing, however large the tree.
template <class F> void forEachElement(pugi::xml_node root, F f) {
  pugi::xml_node n = root.first_child();
  while (n) {
    if (n.type() == pugi::node_element)
      f(n);
    if (n.first_child()) {
      n = n.first_child();
      continue;
    }
    while (!n.next_sibling()) {
      n = n.parent();
      if (!n || n == root)
        return;
    }
    n = n.next_sibling();
  }
}

// The local part of a qualified name ("r:id" -> "id").
inline const char* localPart(const char* qname) {
  const char* colon = std::strchr(qname, ':');
  return colon ? colon + 1 : qname;
}

pugi::xml_node ensureChild(pugi::xml_node parent, const char* local, const WNames& n);
// The first child with that local name, or an empty node.
pugi::xml_node child(pugi::xml_node parent, const char* local, const WNames& n);
// The w:pPr of a paragraph, created as its first child when missing.
pugi::xml_node paraProps(pugi::xml_node p, const WNames& n);
// Sets attribute w:`local` (creating it).
void setAttr(pugi::xml_node node, const char* local, const std::string& value, const WNames& n);
// Reads attribute w:`local`, or "" when missing.
std::string attr(pugi::xml_node node, const char* local, const WNames& n);
// Reads an OOXML on/off property element (w:b, w:keepNext…): absent -> `absent`;
// present with no val or val true/1/on -> true; false/0/off -> false.
bool onOff(pugi::xml_node parentPr, const char* local, const WNames& n, bool absent = false);

// The prefix bound to namespace `uri` on `root`, or nullopt.
std::optional<std::string> findPrefix(pugi::xml_node root, const char* uri);
// The prefix bound to namespace `uri` on `root`, declared there as `preferred` (or
// `preferred` with a number) when missing.
std::string namespacePrefix(pugi::xml_node root, const char* uri, const char* preferred);

} // namespace word
