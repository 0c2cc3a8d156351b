#include "word/internal/shape_xml.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "word/internal/parts.h"
#include "word/internal/xmlns.h"

namespace word::shapexml {

// ---- names ----

const char* localName(pugi::xml_node n) {
  const char* c = std::strchr(n.name(), ':');
  return c ? c + 1 : n.name();
}

std::string prefixOf(pugi::xml_node n) {
  const char* c = std::strchr(n.name(), ':');
  return c ? std::string(n.name(), static_cast<size_t>(c - n.name())) : std::string();
}

std::string nsUriOf(pugi::xml_node n) {
  std::string prefix = prefixOf(n);
  std::string decl = prefix.empty() ? "xmlns" : "xmlns:" + prefix;
  for (pugi::xml_node a = n; a && a.type() == pugi::node_element; a = a.parent())
    if (pugi::xml_attribute at = a.attribute(decl.c_str()))
      return at.value();
  return {};
}

pugi::xml_node documentElement(pugi::xml_node n) {
  for (pugi::xml_node c = n.root().first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_element)
      return c;
  return {};
}

bool isVmlShapeLocal(const char* local) {
  static const char* const kShapes[] = {"shape",    "rect", "roundrect", "oval",  "line",
                                        "polyline", "arc",  "curve",     "image", "group"};
  for (const char* s : kShapes)
    if (!std::strcmp(local, s))
      return true;
  return false;
}

// ---- VML style ("key:value;key:value") ----

VmlStyle styleOf(pugi::xml_node shape) {
  return VmlStyle(shape.attribute("style").value());
}

void writeStyle(pugi::xml_node shape, const VmlStyle& s) {
  pugi::xml_attribute a = shape.attribute("style");
  if (!a)
    a = shape.append_attribute("style");
  a.set_value(s.str().c_str());
}

float toPoints(const std::string& v) {
  if (v.empty())
    return 0.0f;
  char* end = nullptr;
  double x = std::strtod(v.c_str(), &end);
  std::string unit(end ? end : "");
  if (unit == "in")
    x *= 72;
  else if (unit == "cm")
    x *= 72 / 2.54;
  else if (unit == "mm")
    x *= 72 / 25.4;
  else if (unit == "pc")
    x *= 12;
  else if (unit == "px" || unit.empty())
    x *= 0.75;
  else if (unit == "emu")
    x /= 12700;
  return static_cast<float>(x);
}

std::string number(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", v);
  std::string s = buf;
  while (!s.empty() && s.back() == '0')
    s.pop_back();
  if (!s.empty() && s.back() == '.')
    s.pop_back();
  if (s == "-0")
    s = "0";
  return s;
}

std::string pt(double v) {
  std::string s = number(v);
  return s == "0" ? s : s + "pt";
}

double fractionOf(const std::string& v, double absent) {
  if (v.empty())
    return absent;
  double x = std::strtod(v.c_str(), nullptr);
  return v.back() == 'f' ? x / 65536.0 : x;
}

std::string fixed(double fraction) {
  return std::to_string(std::lround(fraction * 65536.0)) + "f";
}

bool vmlTrue(const char* v, bool absent) {
  std::string s = v;
  if (s.empty())
    return absent;
  return s == "t" || s == "true" || s == "1" || s == "on";
}

pugi::xml_node nsChild(pugi::xml_node shape, const char* uri, const char* preferred,
                       const char* local, bool create) {
  pugi::xml_node root = documentElement(shape);
  std::optional<std::string> prefix = std::strcmp(uri, kVmlNs) == 0
                                          ? std::optional<std::string>(prefixOf(shape))
                                          : findPrefix(root, uri);
  if (prefix) {
    std::string q = prefix->empty() ? local : *prefix + ":" + local;
    if (pugi::xml_node c = shape.child(q.c_str()))
      return c;
  }
  if (!create)
    return {};
  std::string p = prefix ? *prefix : namespacePrefix(root, uri, preferred);
  return shape.append_child((p.empty() ? std::string(local) : p + ":" + local).c_str());
}

std::string nsAttrName(pugi::xml_node shape, const char* uri, const char* preferred,
                       const char* local, bool create) {
  pugi::xml_node root = documentElement(shape);
  std::optional<std::string> prefix = findPrefix(root, uri);
  if (!prefix && create)
    prefix = namespacePrefix(root, uri, preferred);
  return (prefix ? *prefix : std::string(preferred)) + ":" + local;
}

pugi::xml_attribute setAttribute(pugi::xml_node n, const std::string& name,
                                 const std::string& value) {
  pugi::xml_attribute a = n.attribute(name.c_str());
  if (!a)
    a = n.append_attribute(name.c_str());
  a.set_value(value.c_str());
  return a;
}

// ---- colours ----

namespace {

struct NamedColor {
  const char* name;
  int rgb; // 0xRRGGBB
};
constexpr NamedColor kColors[] = {{"black", 0x000000},  {"white", 0xFFFFFF},  {"red", 0xFF0000},
                                  {"green", 0x008000},  {"lime", 0x00FF00},   {"blue", 0x0000FF},
                                  {"yellow", 0xFFFF00}, {"silver", 0xC0C0C0}, {"gray", 0x808080},
                                  {"grey", 0x808080},   {"maroon", 0x800000}, {"navy", 0x000080},
                                  {"olive", 0x808000},  {"purple", 0x800080}, {"teal", 0x008080},
                                  {"aqua", 0x00FFFF},   {"fuchsia", 0xFF00FF}};

} // namespace

int wordRgb(const std::string& text) {
  std::string s = text.substr(0, text.find(' '));
  int rgb = 0;
  if (!s.empty() && s[0] == '#') {
    std::string h = s.substr(1);
    if (h.size() == 3)
      h = {h[0], h[0], h[1], h[1], h[2], h[2]};
    rgb = static_cast<int>(std::strtol(h.c_str(), nullptr, 16));
  } else {
    for (const NamedColor& c : kColors)
      if (s == c.name)
        rgb = c.rgb;
  }
  return ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
}

std::string vmlColor(int wordRgb) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02X%02X%02X", wordRgb & 0xFF, (wordRgb >> 8) & 0xFF,
                (wordRgb >> 16) & 0xFF);
  return buf;
}

// ---- VML fragments (WordArt's shape type) ----

bool hasShapetype(pugi::xml_node root, const char* id) {
  std::string q = std::string(".//*[local-name()='shapetype' and @id='") + id + "']";
  return static_cast<bool>(root.select_node(q.c_str()));
}

void appendXml(pugi::xml_node parent, const std::string& text) {
  pugi::xml_document frag;
  if (!frag.load_string(text.c_str(), pugi::parse_default))
    return;
  for (pugi::xml_node c = frag.first_child(); c; c = c.next_sibling())
    parent.append_copy(c);
}

std::string textShapetype() {
  std::string s =
      "<v:shapetype id=\"_x0000_t136\" coordsize=\"21600,21600\" o:spt=\"136\" adj=\"10800\" "
      "path=\"m@7,l@8,m@5,21600l@6,21600e\"><v:formulas><v:f eqn=\"sum #0 0 10800\"/><v:f "
      "eqn=\"prod #0 2 1\"/><v:f eqn=\"sum 21600 0 @1\"/><v:f eqn=\"sum 0 0 @2\"/><v:f "
      "eqn=\"sum 21600 0 @3\"/><v:f eqn=\"if @0 @3 0\"/><v:f eqn=\"if @0 21600 @1\"/><v:f "
      "eqn=\"if @0 0 @2\"/><v:f eqn=\"if @0 @4 21600\"/><v:f eqn=\"mid @5 @6\"/><v:f eqn=\"mid "
      "@8 @5\"/><v:f eqn=\"mid @7 @8\"/><v:f eqn=\"mid @6 @7\"/><v:f eqn=\"sum @6 0 "
      "@5\"/></v:formulas><v:path textpathok=\"t\" o:connecttype=\"custom\" "
      "o:connectlocs=\"@9,0;@10,10800;@11,21600;@12,10800\" "
      "o:connectangles=\"270,180,90,0\"/><v:textpath on=\"t\" fitshape=\"t\"/><v:handles><v:h "
      "position=\"#0,bottomRight\" xrange=\"6629,14971\"/></v:handles><o:lock v:ext=\"edit\" "
      "text=\"t\" shapetype=\"t\"/></v:shapetype>";
  return s;
}

std::string withPrefixes(std::string s, const std::string& v, const std::string& o) {
  auto swap = [&](const std::string& from, const std::string& to) {
    if (from == to)
      return;
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
      bool boundary = i == 0 || s[i - 1] == '<' || s[i - 1] == '/' || s[i - 1] == ' ';
      if (boundary && s.compare(i, from.size(), from) == 0) {
        out += to;
        i += from.size() - 1;
      } else {
        out += s[i];
      }
    }
    s = out;
  };
  swap("v:", v + ":");
  swap("o:", o + ":");
  return s;
}

// ---- DrawingML (wp:anchor pictures) ----

pugi::xml_node childL(pugi::xml_node n, const char* local) {
  for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_element && !std::strcmp(localName(c), local))
      return c;
  return {};
}

pugi::xml_node descendantL(pugi::xml_node n, const char* local) {
  for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
    if (c.type() != pugi::node_element)
      continue;
    if (!std::strcmp(localName(c), local))
      return c;
    if (pugi::xml_node d = descendantL(c, local))
      return d;
  }
  return {};
}

std::string qualified(const std::string& prefix, const char* local) {
  return prefix.empty() ? std::string(local) : prefix + ":" + local;
}

int rankIn(const std::vector<const char*>& order, const char* local) {
  for (size_t i = 0; i < order.size(); ++i)
    if (!std::strcmp(order[i], local))
      return static_cast<int>(i);
  return static_cast<int>(order.size());
}

pugi::xml_node ensureOrdered(pugi::xml_node parent, const char* local, const std::string& prefix,
                             const std::vector<const char*>& order) {
  if (pugi::xml_node c = childL(parent, local))
    return c;
  int rank = rankIn(order, local);
  for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_element && rankIn(order, localName(c)) > rank)
      return parent.insert_child_before(qualified(prefix, local).c_str(), c);
  return parent.append_child(qualified(prefix, local).c_str());
}

const std::vector<const char*> kAnchorOrder = {
    "simplePos", "positionH",         "positionV", "extent",      "effectExtent",
    "wrapNone",  "wrapSquare",        "wrapTight", "wrapThrough", "wrapTopAndBottom",
    "docPr",     "cNvGraphicFramePr", "graphic"};
const std::vector<const char*> kSpPrOrder = {"xfrm",      "custGeom", "prstGeom",  "noFill",
                                             "solidFill", "gradFill", "blipFill",  "pattFill",
                                             "grpFill",   "ln",       "effectLst", "effectDag",
                                             "scene3d",   "sp3d",     "extLst"};
const std::vector<const char*> kLnOrder = {"noFill",   "solidFill", "gradFill", "pattFill",
                                           "prstDash", "custDash",  "round",    "bevel",
                                           "miter",    "headEnd",   "tailEnd",  "extLst"};
const std::vector<const char*> kBlipFillOrder = {"blip", "srcRect", "tile", "stretch"};
const std::vector<const char*> kFills = {"noFill",   "solidFill", "gradFill",
                                         "blipFill", "pattFill",  "grpFill"};
const std::vector<const char*> kWraps = {"wrapNone", "wrapSquare", "wrapTight", "wrapThrough",
                                         "wrapTopAndBottom"};

Dml dmlOf(pugi::xml_node anchor) {
  Dml d;
  d.anchor = anchor;
  d.wp = prefixOf(anchor);
  d.graphic = childL(anchor, "graphic");
  d.a = d.graphic ? prefixOf(d.graphic) : std::string("a");
  d.spPr = descendantL(d.graphic, "spPr");
  d.blipFill = descendantL(d.graphic, "blipFill");
  d.blip = childL(d.blipFill, "blip");
  return d;
}

pugi::xml_node fillOf(pugi::xml_node parent) {
  for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_element &&
        rankIn(kFills, localName(c)) < static_cast<int>(kFills.size()))
      return c;
  return {};
}

pugi::xml_node setFill(pugi::xml_node parent, const char* kind, const std::string& a,
                       const std::vector<const char*>& order) {
  while (pugi::xml_node f = fillOf(parent))
    parent.remove_child(f);
  return ensureOrdered(parent, kind, a, order);
}

pugi::xml_node solidColor(pugi::xml_node solid, const std::string& a, const char* rgb) {
  for (pugi::xml_node c = solid.first_child(); c; c = c.next_sibling())
    if (c.type() == pugi::node_element)
      return c;
  pugi::xml_node c = solid.append_child(qualified(a, "srgbClr").c_str());
  c.append_attribute("val").set_value(rgb);
  return c;
}

double alphaOf(pugi::xml_node color) {
  pugi::xml_node alpha = childL(color, "alpha");
  return alpha ? alpha.attribute("val").as_double(100000) / 100000.0 : 1.0;
}

void setAlpha(pugi::xml_node color, const std::string& a, double opacity) {
  pugi::xml_node alpha = childL(color, "alpha");
  if (opacity >= 1.0) {
    if (alpha)
      color.remove_child(alpha);
    return;
  }
  if (!alpha)
    alpha = color.append_child(qualified(a, "alpha").c_str());
  setAttribute(alpha, "val", std::to_string(std::lround(opacity * 100000)));
}

std::string emu(double points) {
  return std::to_string(std::llround(points * kEmuPerPt));
}
double pointsOfEmu(pugi::xml_attribute a) {
  return a.as_double() / kEmuPerPt;
}

} // namespace word::shapexml
