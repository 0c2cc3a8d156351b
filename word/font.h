#pragma once
// Character formatting of a range (Word's Font).

#include <memory>
#include <string>

namespace word {

class Range;

// Character formatting of a range. Reading gives the effective value (styles resolved) when it
// is the same over the whole range, else kUndefined / "" / wdUndefined. Writing applies direct
// formatting to every run the range touches, splitting runs at the range's ends.
class Font {
public:
  explicit Font(const Range& r);
  std::string name() const;
  // Writes the Latin, East Asian and complex-script names and removes theme references.
  void setName(const std::string& name);
  float size() const;
  // Writes w:sz and w:szCs (half-points, rounded to the nearest half point).
  void setSize(float points);
  // -1 (true), 0 (false) or wdUndefined.
  int bold() const;
  void setBold(bool on);
  // The East Asian font (w:rFonts @eastAsia), which Chinese text is drawn in.
  std::string nameFarEast() const;
  // Character spacing in points (w:spacing, twips): positive expands, negative condenses.
  float spacing() const;
  void setSpacing(float points);

private:
  std::shared_ptr<Range> range_;
};

} // namespace word
