#pragma once
// The XML encoding of floating shapes: VML (v:shape with its style string, o: and w10:
// children and attributes) and DrawingML (wp:anchor with a:graphic, pic:spPr, a:blipFill),
// with the prefixes each part binds; colours, lengths and fractions as each writes them.

#include <algorithm>
#include <string>
#include <vector>

#include <pugixml.hpp>

namespace word::shapexml {

inline constexpr const char* kWpNs =
    "http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing";
inline constexpr const char* kANs = "http://schemas.openxmlformats.org/drawingml/2006/main";
inline constexpr const char* kPicNs = "http://schemas.openxmlformats.org/drawingml/2006/picture";
inline constexpr double kEmuPerPt = 12700.0;

// ---- names ----

// The local part of an element's name, and its prefix ("" when it has none).
const char* localName(pugi::xml_node n);
std::string prefixOf(pugi::xml_node n);
// The namespace URI of an element, from the declarations of it and its ancestors.
std::string nsUriOf(pugi::xml_node n);
// The root element of the part holding `n`.
pugi::xml_node documentElement(pugi::xml_node n);
// True for the local names of VML shape elements (shape, rect, oval, image, group…).
bool isVmlShapeLocal(const char* local);

// ---- VML style ("key:value;key:value") ----

struct VmlStyle {
  std::vector<std::pair<std::string, std::string>> items;

  explicit VmlStyle(const char* text) {
    std::string s = text;
    size_t start = 0;
    while (start <= s.size()) {
      size_t end = s.find(';', start);
      if (end == std::string::npos)
        end = s.size();
      std::string item = s.substr(start, end - start);
      size_t colon = item.find(':');
      if (colon != std::string::npos) {
        auto trim = [](std::string x) {
          size_t a = x.find_first_not_of(" \t\r\n"), b = x.find_last_not_of(" \t\r\n");
          return a == std::string::npos ? std::string() : x.substr(a, b - a + 1);
        };
        items.emplace_back(trim(item.substr(0, colon)), trim(item.substr(colon + 1)));
      }
      start = end + 1;
    }
  }
  std::string get(const std::string& key) const {
    for (const auto& [k, v] : items)
      if (k == key)
        return v;
    return {};
  }
  void set(const std::string& key, const std::string& value) {
    for (auto& [k, v] : items)
      if (k == key) {
        v = value;
        return;
      }
    items.emplace_back(key, value);
  }
  void remove(const std::string& key) {
    items.erase(
        std::remove_if(items.begin(), items.end(), [&](const auto& kv) { return kv.first == key; }),
        items.end());
  }
  std::string str() const {
    std::string out;
    for (const auto& [k, v] : items) {
      if (!out.empty())
        out += ';';
      out += k + ':' + v;
    }
    return out;
  }
};

VmlStyle styleOf(pugi::xml_node shape);
void writeStyle(pugi::xml_node shape, const VmlStyle& s);

// A VML length in points ("510.25pt", "2in", "0").
float toPoints(const std::string& v);
// A number with at most two decimals and no trailing zeros; pt() adds the unit ("0" stays bare).
std::string number(double v);
std::string pt(double v);
// A fraction written as "Nf" (1/65536) or a decimal.
double fractionOf(const std::string& v, double absent);
std::string fixed(double fraction);
// A VML boolean ("t", "true", "1", "on"); `absent` when empty.
bool vmlTrue(const char* v, bool absent);

// A child of a VML shape in the namespace `uri` (prefix declared on the part's root when the
// child is created).
pugi::xml_node nsChild(pugi::xml_node shape, const char* uri, const char* preferred,
                       const char* local, bool create);
// The name of attribute `local` of namespace `uri` ("o:allowincell").
std::string nsAttrName(pugi::xml_node shape, const char* uri, const char* preferred,
                       const char* local, bool create);
// Sets attribute `name` of `n` (creating it).
pugi::xml_attribute setAttribute(pugi::xml_node n, const std::string& name,
                                 const std::string& value);

// ---- colours ----

// VML colour text -> Word RGB (red + green·256 + blue·65536).
int wordRgb(const std::string& text);
// Word RGB -> VML colour text ("#RRGGBB").
std::string vmlColor(int wordRgb);

// ---- VML fragments (WordArt's shape type) ----

// True when `root` holds a v:shapetype with that id.
bool hasShapetype(pugi::xml_node root, const char* id);
// Appends the XML in `text` (prefixes v: and o: as given) to `parent`.
void appendXml(pugi::xml_node parent, const std::string& text);
// The v:shapetype of WordArt's plain-text path (_x0000_t136), with the prefixes v: and o:.
std::string textShapetype();
// Renames the v: and o: prefixes of a fragment written with them.
std::string withPrefixes(std::string s, const std::string& v, const std::string& o);

// ---- DrawingML (wp:anchor pictures) ----

// The first child / descendant with local name `local`, whatever its prefix.
pugi::xml_node childL(pugi::xml_node n, const char* local);
pugi::xml_node descendantL(pugi::xml_node n, const char* local);
// "prefix:local", or `local` when the prefix is empty.
std::string qualified(const std::string& prefix, const char* local);
// The position of `local` in `order` (order.size() when absent).
int rankIn(const std::vector<const char*>& order, const char* local);
// The child `local` of `parent`, created (with `prefix`) at its place in `order` when missing.
pugi::xml_node ensureOrdered(pugi::xml_node parent, const char* local, const std::string& prefix,
                             const std::vector<const char*>& order);

// Schema orders of wp:anchor, pic:spPr, a:ln and pic:blipFill children; the fill and
// wrapping elements.
extern const std::vector<const char*> kAnchorOrder, kSpPrOrder, kLnOrder, kBlipFillOrder, kFills,
    kWraps;

// The pieces of a DrawingML anchor.
struct Dml {
  pugi::xml_node anchor, graphic, spPr, blipFill, blip;
  std::string wp, a;
};

Dml dmlOf(pugi::xml_node anchor);
// The fill element of `parent` (spPr or ln), or an empty node.
pugi::xml_node fillOf(pugi::xml_node parent);
// Replaces the fill of `parent` (spPr or ln) by a new element `kind`.
pugi::xml_node setFill(pugi::xml_node parent, const char* kind, const std::string& a,
                       const std::vector<const char*>& order);
// The colour element of a solid fill, created as sRGB `rgb` (0xRRGGBB) when missing.
pugi::xml_node solidColor(pugi::xml_node solid, const std::string& a, const char* rgb);
// The opacity of a colour (a:alpha; 1 when absent), and setting it (1 removes a:alpha).
double alphaOf(pugi::xml_node color);
void setAlpha(pugi::xml_node color, const std::string& a, double opacity);
// Points <-> EMU as DrawingML writes lengths.
std::string emu(double points);
double pointsOfEmu(pugi::xml_attribute a);

} // namespace word::shapexml
