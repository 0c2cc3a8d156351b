#include "word/styles.h"

#include "base/messages.h"
#include "word/internal/access.h"
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

} // namespace word
