#pragma once
// Elements and attributes whose strings a document holds once.
//
// pugixml copies the name and value strings of every element and attribute made with
// append_child / append_attribute / set_value: a step that writes the same few properties on
// every paragraph of a large document holds hundreds of thousands of copies of "w:eastAsia",
// "仿宋_GB2312" or "560". A node copied (append_copy, insert_copy_before/after) from a node of
// the SAME document whose strings lie in a buffer the document parsed shares them instead (and
// pugixml never overwrites a shared string in place). SharedXml keeps such templates, parsed
// into the document once, in a holder element after the root element that is never written:
// the serialiser skips it (isSharedXmlHolder).

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include <pugixml.hpp>

namespace word {

// True for the element that holds a document's templates (never part of its content).
bool isSharedXmlHolder(pugi::xml_node n);

class SharedXml {
public:
  // The templates of the document `anyNode` belongs to (created on first use). A document
  // without a root element gets none: every getter returns an empty handle then, which the
  // helpers below treat as "make the node the usual way". Cheap to make once per edit: the
  // index of a document's templates is kept for the documents used last.
  explicit SharedXml(pugi::xml_node anyNode);

  // A template element `qname` with the attributes `attrs` (name, value) in this order and no
  // children.
  pugi::xml_node element(const char* qname,
                         std::initializer_list<std::pair<const char*, const char*>> attrs = {});
  // A template attribute qname="value" (on an element of its own).
  pugi::xml_attribute attribute(const char* qname, const char* value);

  struct Index;

private:
  pugi::xml_node holder_;
  std::shared_ptr<Index> index_;
  pugi::xml_node parse(const std::string& xml);
};

// `parent`'s new child placed before `before` (appended when `before` is empty): a copy of the
// template `made` (its strings shared), or a new element `qname` when there is no template.
pugi::xml_node insertMadeChild(pugi::xml_node parent, pugi::xml_node made, const char* qname,
                               pugi::xml_node before);
// Gives `e` the attribute of the template `made` (name and value shared): `old`, the attribute
// of that name `e` has (empty when none), is replaced in its place, so the order of attributes
// is kept; nothing changes when `old` already has that value.
pugi::xml_attribute placeSharedAttribute(pugi::xml_node e, pugi::xml_attribute old,
                                         pugi::xml_attribute made);
// Sets `e`'s attribute qname="value", sharing both strings: an existing attribute is replaced
// in its place (the order of attributes is kept), a new one is appended.
pugi::xml_attribute setSharedAttribute(SharedXml& shared, pugi::xml_node e, const char* qname,
                                       const char* value);

} // namespace word
