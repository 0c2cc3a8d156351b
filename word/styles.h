#pragma once
// A style of a document (Word's Style), by its id: what the document grid and the character
// units of indents are measured against.

#include <string>

#include "word/document.h"

namespace word {

class Style {
public:
  Style(Document* doc, std::string id) : doc_(doc), id_(std::move(id)) {}
  const std::string& id() const { return id_; }
  // Whether the styles part defines the style.
  bool exists() const;
  // The font size the style gives, in points: its own w:sz, else the style it is based on,
  // else the document defaults (10 pt when none says).
  float fontSize() const;
  // Writes w:sz and w:szCs (half-points) into the style's own run properties. A style that
  // does not exist is left alone.
  void setFontSize(float points);

private:
  Document* doc_;
  std::string id_;
};

// The default paragraph style (Word's wdStyleNormal).
Style normalStyle(Document& doc);

// The default paragraph style, made when the document has none: a styles part first when there
// is none (with its content type and relationship), then a paragraph style marked as the
// default, Normal (or Normal2 … when that id is taken), without formatting of its own, so that
// every paragraph looks as before. Other programs (LibreOffice) measure the document grid against
// this style only.
Style ensureNormalStyle(Document& doc);

} // namespace word
