#pragma once
// Fields of a story (Word's Fields and Field): complex fields (w:fldChar begin … end) and
// simple ones (w:fldSimple).

#include <cstdint>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "word/document.h"

namespace word {

// WdFieldType
inline constexpr int wdFieldEmpty = -1, wdFieldNumPages = 26, wdFieldPage = 33;

// One field: a complex field (w:fldChar begin … end) or a simple one (w:fldSimple).
class Field {
public:
  Field(Story* story, pugi::xml_node begin) : story_(story), begin_(begin) {}
  // The field code as written (" PAGE "), instruction pieces joined.
  std::string code() const;
  // The shown result, as text.
  std::string result() const;
  // Word's Field.Delete: removes the whole field, code and result.
  void deleteField();

private:
  Story* story_;
  pugi::xml_node begin_; // w:fldChar begin or w:fldSimple
};

class Fields {
public:
  // The fields of the paragraphs that [start, end) of `story` touches, in document order.
  Fields(Story* story, int64_t start, int64_t end, Selection* owner = nullptr);
  int count() const;
  // 1-based; throws DocumentError when out of range.
  Field item(int index) const;
  // Replaces `range` with a new field of `type`: wdFieldPage, wdFieldNumPages, or wdFieldEmpty
  // with the field code in `text`. The field shows a placeholder result ("1") until a reader
  // updates it; it takes the formatting of the character before it. A Fields of a selection
  // whose range is `range` leaves the selection collapsed after the new field.
  Field add(const Range& range, int type, const std::string& text = "");

private:
  Story* story_;
  int64_t start_, end_;
  Selection* owner_;
  std::vector<pugi::xml_node> list() const;
};

} // namespace word
