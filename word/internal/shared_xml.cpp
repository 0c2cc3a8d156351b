#include "word/internal/shared_xml.h"

#include <cstring>

namespace word {

namespace {

// A name no parsed document can hold (XML names have no spaces), so the holder is never
// mistaken for content read from a file.
constexpr const char* kHolderName = " shared";

void appendEscaped(std::string& out, std::string_view value) {
  for (char c : value) {
    switch (c) {
    case '&':
      out += "&amp;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case '"':
      out += "&quot;";
      break;
    case '\t':
      out += "&#9;";
      break;
    case '\n':
      out += "&#10;";
      break;
    case '\r':
      out += "&#13;";
      break;
    default:
      out += c;
    }
  }
}

} // namespace

bool isSharedXmlHolder(pugi::xml_node n) {
  return n.type() == pugi::node_element && n.parent().type() == pugi::node_document &&
         std::strcmp(n.name(), kHolderName) == 0;
}

SharedXml::SharedXml(pugi::xml_node anyNode) {
  pugi::xml_node doc = anyNode.root();
  if (!doc || !doc.find_child([](pugi::xml_node c) { return c.type() == pugi::node_element; }))
    return;
  pugi::xml_node last = doc.last_child();
  if (isSharedXmlHolder(last)) {
    holder_ = last;
    return;
  }
  holder_ = doc.append_child(kHolderName);
}

pugi::xml_node SharedXml::parse(const std::string& xml) {
  if (!holder_)
    return {};
  // append_buffer keeps its copy of the text in the document: the parsed strings stay there
  // for the document's life, whatever becomes of the template nodes.
  pugi::xml_node last = holder_.last_child();
  if (!holder_.append_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8))
    return {};
  pugi::xml_node made = last ? last.next_sibling() : holder_.first_child();
  return made.type() == pugi::node_element ? made : pugi::xml_node();
}

pugi::xml_node
SharedXml::element(const char* qname,
                   std::initializer_list<std::pair<const char*, const char*>> attrs) {
  std::string xml = "<";
  xml += qname;
  for (const auto& [name, value] : attrs) {
    xml += ' ';
    xml += name;
    xml += "=\"";
    appendEscaped(xml, value);
    xml += '"';
  }
  xml += "/>";
  pugi::xml_node made = fragment(xml);
  // A value the parser would read otherwise than it was given makes no template.
  for (const auto& [name, value] : attrs)
    if (made && std::strcmp(made.attribute(name).value(), value) != 0)
      return {};
  return made;
}

pugi::xml_node SharedXml::fragment(std::string_view xml) {
  std::string key(xml);
  auto it = elements_.find(key);
  if (it != elements_.end())
    return it->second;
  pugi::xml_node made = parse(key);
  elements_.emplace(std::move(key), made);
  return made;
}

pugi::xml_attribute SharedXml::attribute(const char* qname, const char* value) {
  std::string key = qname;
  key += '\0';
  key += value;
  auto it = attributes_.find(key);
  if (it != attributes_.end())
    return it->second;
  std::string xml = "<a ";
  xml += qname;
  xml += "=\"";
  appendEscaped(xml, value);
  xml += "\"/>";
  pugi::xml_attribute made = parse(xml).first_attribute();
  // Whitespace in a value is written as a reference and read back as itself; anything else
  // the parser would change (it normalises nothing by default) makes no template.
  if (made && std::strcmp(made.value(), value) != 0)
    made = pugi::xml_attribute();
  attributes_.emplace(std::move(key), made);
  return made;
}

pugi::xml_node insertSharedChild(SharedXml& shared, pugi::xml_node parent, const char* qname,
                                 pugi::xml_node before) {
  if (pugi::xml_node t = shared.element(qname))
    return before ? parent.insert_copy_before(t, before) : parent.append_copy(t);
  return before ? parent.insert_child_before(qname, before) : parent.append_child(qname);
}

pugi::xml_attribute setSharedAttribute(SharedXml& shared, pugi::xml_node e, const char* qname,
                                       const char* value) {
  pugi::xml_attribute old = e.attribute(qname);
  if (old && std::strcmp(old.value(), value) == 0)
    return old;
  pugi::xml_attribute t = shared.attribute(qname, value);
  if (!t) {
    if (!old)
      old = e.append_attribute(qname);
    old.set_value(value);
    return old;
  }
  if (!old)
    return e.append_copy(t);
  pugi::xml_attribute made = e.insert_copy_after(t, old);
  e.remove_attribute(old);
  return made;
}

} // namespace word
