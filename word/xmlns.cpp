#include "word/xmlns.h"

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

} // namespace word
