#pragma once
// Reading effective formatting (direct, character style, paragraph style chain, document
// defaults) and writing direct formatting in schema order. Internal to the model and its steps.

#include <string>

#include <pugixml.hpp>

#include "word/xmlns.h"

namespace word {

class Document;
class Story;

// The w:pPr of a paragraph, created as its first child when missing.
pugi::xml_node paraProps(pugi::xml_node p, const WNames& n);
// The w:rPr of a run, created as its first child when missing.
pugi::xml_node runProps(pugi::xml_node r, const WNames& n);
// The run properties of a paragraph's mark (w:pPr/w:rPr), created when missing.
pugi::xml_node markProps(pugi::xml_node p, const WNames& n);

void setRunFontName(pugi::xml_node rPr, const std::string& name, const WNames& n);
void setRunSize(pugi::xml_node rPr, float points, const WNames& n);
void setRunBold(pugi::xml_node rPr, bool on, const WNames& n);

// Effective values for a run (an empty run node reads the paragraph style and defaults).
float effectiveSize(Document& doc, Story* st, pugi::xml_node run);
bool effectiveBold(Document& doc, Story* st, pugi::xml_node run);
std::string effectiveFontName(Document& doc, Story* st, pugi::xml_node run);
// wdAlignParagraph… value of a paragraph.
int effectiveAlignment(Document& doc, Story* st, pugi::xml_node p);

} // namespace word
