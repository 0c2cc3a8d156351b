#include "word/styles.h"

#include "base/messages.h"
#include "word/internal/access.h"
#include "word/internal/parts.h"
#include "word/internal/run_properties.h"
#include "word/internal/styles.h"
#include "word/package.h"

namespace word {

namespace {

// The entry name of the styles part of the main document, "" when there is none.
std::string stylesPart(Document& doc) {
  Package& pkg = packageOf(doc);
  for (const Relationship& rel : pkg.relationships(pkg.mainPart()))
    if (rel.type.size() >= 7 && rel.type.compare(rel.type.size() - 7, 7, "/styles") == 0 &&
        pkg.has(rel.target))
      return rel.target;
  return {};
}

} // namespace

bool Style::exists() const {
  return static_cast<bool>(stylesOf(*doc_).node(id_));
}

float Style::fontSize() const {
  auto own = lookupStyleChain<float>(
      *doc_, id_, "rPr", [](pugi::xml_node rPr, const WNames& n) -> std::optional<float> {
        pugi::xml_node sz = rPr.child(n.q("sz"));
        if (!sz)
          return std::nullopt;
        return static_cast<float>(sz.attribute(n.q("val")).as_double()) / 2;
      });
  if (own)
    return *own;
  if (pugi::xml_node d = stylesOf(*doc_).docDefaultsRPr())
    if (pugi::xml_node sz = d.child(stylesOf(*doc_).names().q("sz")))
      return static_cast<float>(sz.attribute(stylesOf(*doc_).names().q("val")).as_double()) / 2;
  return 10.0f;
}

void Style::setFontSize(float points) {
  if (!(points >= 1.0f && points <= 1638.0f))
    throw DocumentError(msg::text(msg::kFontSizeInvalid, points));
  pugi::xml_node s = stylesOf(*doc_).node(id_);
  if (!s)
    return;
  const WNames& n = stylesOf(*doc_).names();
  setRunSize(ensureChild(s, "rPr", n), points, n);
  const std::string part = stylesPart(*doc_);
  if (!part.empty())
    packageOf(*doc_).markDirty(part);
}

Style normalStyle(Document& doc) {
  return Style(&doc, stylesOf(doc).defaultParagraphStyle());
}

Style ensureNormalStyle(Document& doc) {
  if (Style normal = normalStyle(doc); normal.exists())
    return normal;
  Package& pkg = packageOf(doc);
  std::string part = stylesPart(doc);
  if (part.empty()) {
    const std::string mainPart = pkg.mainPart();
    std::string file = "styles.xml";
    for (int k = 2; pkg.has(folderOf(mainPart) + file); ++k)
      file = "styles" + std::to_string(k) + ".xml";
    part = folderOf(mainPart) + file;
    pkg.setBytes(part,
                 std::string("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
                             "<w:styles xmlns:w=\"") +
                     kWNamespace + "\"/>");
    pkg.setContentTypeOverride(part, kStylesContentType);
    pkg.addRelationship(mainPart, std::string(kRelTypeBase) + "styles", file);
  }
  pugi::xml_node root = pkg.xml(part)->document_element();
  const WNames n = WNames::forRoot(root);
  // A free id (and name): a style Normal may be there without being marked as the default.
  std::string id = "Normal";
  for (int k = 2; stylesOf(doc).node(id); ++k)
    id = "Normal" + std::to_string(k);
  pugi::xml_node style = root.append_child(n.q("style"));
  style.append_attribute(n.q("type")) = "paragraph";
  style.append_attribute(n.q("default")) = "1";
  style.append_attribute(n.q("styleId")) = id.c_str();
  style.append_child(n.q("name")).append_attribute(n.q("val")) = id.c_str();
  style.append_child(n.q("qFormat"));
  pkg.markDirty(part);
  stylesOf(doc).reload();
  return normalStyle(doc);
}

} // namespace word
