#pragma once
// Character formatting of a range (Word's Font).

#include <memory>
#include <optional>
#include <string>

namespace word {

class Range;

// Several changes of character formatting made at once (Font::apply): each run is split and
// its properties read once for all of them.
struct FontChanges {
  std::optional<std::string> name;
  std::optional<float> size;
  std::optional<bool> bold;
};

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
  // setName, setSize and setBold, in that order, for those `changes` holds; a size out of range
  // throws before anything changes.
  void apply(const FontChanges& changes);
  // The East Asian font (w:rFonts @eastAsia), which Chinese text is drawn in.
  std::string nameFarEast() const;
  // Character spacing in points (w:spacing, twips): positive expands, negative condenses.
  float spacing() const;
  void setSpacing(float points);

private:
  std::shared_ptr<Range> range_;
};

} // namespace word
