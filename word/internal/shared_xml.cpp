#include "word/internal/shared_xml.h"

#include <array>
#include <atomic>
#include <cstring>

#include "base/xml_escape.h"

namespace word {

namespace {

// A name no parsed document can hold (XML names have no spaces), so the holder is never
// mistaken for content read from a file.
constexpr const char* kHolderName = " shared";
// The element that carries one template attribute.
constexpr const char* kCarrier = "shared-attribute";
// The holder's own attribute: a number no other holder had in this process, which tells a
// document's holder from one at the same address after the first was freed.
constexpr const char* kSerial = "n";

void appendKeyPart(std::string& key, const char* s) {
  key += s;
  key += '\0';
}

std::string attributeKey(const char* qname, const char* value) {
  std::string key;
  appendKeyPart(key, qname);
  appendKeyPart(key, value);
  return key;
}

std::string elementKey(pugi::xml_node e) {
  std::string key;
  appendKeyPart(key, e.name());
  for (pugi::xml_attribute a : e.attributes()) {
    appendKeyPart(key, a.name());
    appendKeyPart(key, a.value());
  }
  return key;
}

} // namespace

struct SharedXml::Index {
  const void* holder = nullptr;
  unsigned long long serial = 0;
  std::unordered_map<std::string, pugi::xml_node> elements;
  std::unordered_map<std::string, pugi::xml_attribute> attributes;
};

namespace {

// The indexes of the documents used last in this thread. One that drops out is made again
// from its holder's templates when its document is used again.
struct Recent {
  std::array<std::shared_ptr<SharedXml::Index>, 4> slots;
  size_t next = 0;
};
thread_local Recent recent;

unsigned long long nextSerial() {
  static std::atomic<unsigned long long> serial{0};
  return ++serial;
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
  } else {
    holder_ = doc.append_child(kHolderName);
    holder_.append_attribute(kSerial).set_value(nextSerial());
  }
  const void* id = holder_.internal_object();
  const unsigned long long serial = holder_.attribute(kSerial).as_ullong();
  for (auto& slot : recent.slots)
    if (slot && slot->holder == id && slot->serial == serial) {
      index_ = slot;
      return;
    }
  index_ = std::make_shared<Index>();
  index_->holder = id;
  index_->serial = serial;
  for (pugi::xml_node t = holder_.first_child(); t; t = t.next_sibling()) {
    if (std::strcmp(t.name(), kCarrier) == 0) {
      pugi::xml_attribute a = t.first_attribute();
      index_->attributes.emplace(attributeKey(a.name(), a.value()), a);
    } else {
      index_->elements.emplace(elementKey(t), t);
    }
  }
  recent.slots[recent.next] = index_;
  recent.next = (recent.next + 1) % recent.slots.size();
}

pugi::xml_node SharedXml::parse(const std::string& xml) {
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
  if (!holder_)
    return {};
  std::string key;
  appendKeyPart(key, qname);
  for (const auto& [name, value] : attrs) {
    appendKeyPart(key, name);
    appendKeyPart(key, value);
  }
  if (auto it = index_->elements.find(key); it != index_->elements.end())
    return it->second;
  std::string xml = "<";
  xml += qname;
  for (const auto& [name, value] : attrs) {
    xml += ' ';
    xml += name;
    xml += "=\"";
    base::appendXmlEscaped(xml, value);
    xml += '"';
  }
  xml += "/>";
  pugi::xml_node made = parse(xml);
  // Only a template that reads as it was asked for (the parser normalises nothing it was
  // given as a reference, but a name may not parse).
  if (made && elementKey(made) != key) {
    holder_.remove_child(made);
    made = pugi::xml_node();
  }
  index_->elements.emplace(std::move(key), made);
  return made;
}

pugi::xml_attribute SharedXml::attribute(const char* qname, const char* value) {
  if (!holder_)
    return {};
  std::string key = attributeKey(qname, value);
  if (auto it = index_->attributes.find(key); it != index_->attributes.end())
    return it->second;
  std::string xml = "<";
  xml += kCarrier;
  xml += ' ';
  xml += qname;
  xml += "=\"";
  base::appendXmlEscaped(xml, value);
  xml += "\"/>";
  pugi::xml_node carrier = parse(xml);
  pugi::xml_attribute made = carrier.first_attribute();
  if (carrier && attributeKey(made.name(), made.value()) != key) {
    holder_.remove_child(carrier);
    made = pugi::xml_attribute();
  }
  index_->attributes.emplace(std::move(key), made);
  return made;
}

pugi::xml_node insertMadeChild(pugi::xml_node parent, pugi::xml_node made, const char* qname,
                               pugi::xml_node before) {
  if (made)
    return before ? parent.insert_copy_before(made, before) : parent.append_copy(made);
  return before ? parent.insert_child_before(qname, before) : parent.append_child(qname);
}

pugi::xml_attribute placeSharedAttribute(pugi::xml_node e, pugi::xml_attribute old,
                                         pugi::xml_attribute made) {
  if (!old)
    return e.append_copy(made);
  if (std::strcmp(old.value(), made.value()) == 0)
    return old;
  pugi::xml_attribute placed = e.insert_copy_after(made, old);
  e.remove_attribute(old);
  return placed;
}

pugi::xml_attribute setSharedAttribute(SharedXml& shared, pugi::xml_node e, const char* qname,
                                       const char* value) {
  pugi::xml_attribute old = e.attribute(qname);
  if (old && std::strcmp(old.value(), value) == 0)
    return old;
  if (pugi::xml_attribute t = shared.attribute(qname, value))
    return placeSharedAttribute(e, old, t);
  if (!old)
    old = e.append_attribute(qname);
  old.set_value(value);
  return old;
}

} // namespace word
