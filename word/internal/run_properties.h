#pragma once
// Run properties shared beyond the Font: a run's effective size and writing a size into a w:rPr
// (the page grid's character pitch and the styles read and write them).

#include <pugixml.hpp>

#include "word/internal/xmlns.h"

namespace word {

class Document;
class Story;

// The effective size in points of a run (an empty node reads the paragraph style and the
// document defaults): direct formatting, character style, paragraph style chain, defaults.
float effectiveSize(Document& doc, Story* st, pugi::xml_node run);
// Writes w:sz and w:szCs (half-points, rounded to the nearest half point) into `rPr`.
void setRunSize(pugi::xml_node rPr, float points, const WNames& n);

} // namespace word
