#include "word/internal/styles.h"

#include "word/internal/access.h"
#include "word/package.h"

namespace word {

Styles& stylesOf(Document& doc) {
  return internal::Access::styles(doc);
}

void Styles::load() {
  if (loaded_)
    return;
  loaded_ = true;
  for (const Relationship& rel : pkg_.relationships(mainPart_)) {
    if (rel.type.ends_with("/styles") && pkg_.has(rel.target)) {
      part_ = pkg_.xml(rel.target);
      break;
    }
  }
  if (!part_)
    return;
  pugi::xml_node root = part_->document_element();
  names_ = WNames::forRoot(root);
  const WNames& n = names_;
  for (pugi::xml_node s = root.child(n.q("style")); s; s = s.next_sibling(n.q("style"))) {
    std::string id = attr(s, "styleId", n);
    if (!id.empty())
      index_.emplace(id, s);
    if (attr(s, "type", n) == "paragraph" && defaultStyle_.empty()) {
      std::string def = attr(s, "default", n);
      if (def == "1" || def == "true" || def == "on")
        defaultStyle_ = id;
    }
  }
}

const WNames& Styles::names() {
  load();
  return names_;
}

pugi::xml_node Styles::node(const std::string& id) {
  load();
  auto it = index_.find(id);
  return it == index_.end() ? pugi::xml_node() : it->second;
}

std::string Styles::defaultParagraphStyle() {
  load();
  return defaultStyle_;
}

pugi::xml_node Styles::docDefaultsRPr() {
  load();
  if (!part_)
    return {};
  const WNames& n = names_;
  return part_->document_element()
      .child(n.q("docDefaults"))
      .child(n.q("rPrDefault"))
      .child(n.rPr.c_str());
}

pugi::xml_node Styles::docDefaultsPPr() {
  load();
  if (!part_)
    return {};
  const WNames& n = names_;
  return part_->document_element()
      .child(n.q("docDefaults"))
      .child(n.q("pPrDefault"))
      .child(n.pPr.c_str());
}

std::string Styles::themeFont(const std::string& ref) {
  if (themeFonts_.empty()) {
    themeFonts_["."] = "";
    for (const Relationship& rel : pkg_.relationships(mainPart_)) {
      if (!rel.type.ends_with("/theme") || !pkg_.has(rel.target))
        continue;
      pugi::xml_document* t = pkg_.xml(rel.target);
      auto pick = [&](const char* which, const char* key) {
        pugi::xpath_node f = t->select_node(
            (std::string("//*[local-name()='fontScheme']/*[local-name()='") + which + "']")
                .c_str());
        if (!f)
          return;
        std::string latin =
            f.node().select_node("*[local-name()='latin']").node().attribute("typeface").value();
        std::string ea =
            f.node().select_node("*[local-name()='ea']").node().attribute("typeface").value();
        if (ea.empty())
          ea = f.node()
                   .select_node("*[local-name()='font'][@script='Hans']")
                   .node()
                   .attribute("typeface")
                   .value();
        themeFonts_[std::string(key) + "Latin"] = latin;
        themeFonts_[std::string(key) + "EastAsia"] = ea;
      };
      pick("majorFont", "major");
      pick("minorFont", "minor");
      break;
    }
  }
  bool major = ref.rfind("major", 0) == 0;
  bool ea = ref.find("EastAsia") != std::string::npos;
  auto it = themeFonts_.find(std::string(major ? "major" : "minor") + (ea ? "EastAsia" : "Latin"));
  return it == themeFonts_.end() ? std::string() : it->second;
}

const pugi::xml_document* Styles::xml() {
  load();
  return part_;
}

void Styles::reload() {
  loaded_ = false;
  part_ = nullptr;
  index_.clear();
  defaultStyle_.clear();
}

} // namespace word
