#pragma once
// The section properties (w:sectPr) of the main text, for the members that edit them.

#include <cstdint>
#include <vector>

#include <pugixml.hpp>

namespace word {

class Document;

// Every w:sectPr of the main story in document order: the paragraph-level ones, then the
// body's own (created, empty, when the body has none). At least one.
std::vector<pugi::xml_node> documentSections(Document& doc);
// The index (1-based) of the section that holds position `pos` of the main text.
int sectionAt(Document& doc, int64_t pos);

} // namespace word
