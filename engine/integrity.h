#pragma once
// The integrity check of an output against its source. A census (word/census.h) is taken of
// the document when it is opened and again before it is saved; any difference the run's steps
// and settings do not intend becomes a warning that names it. A legacy output (.doc…) is read
// back through LibreOffice and compared with the document it was made from the same way.

#include <string>
#include <vector>

#include "word/census.h"

namespace engine {

using Census = word::Census;

// The changes the run intends, which the comparison lets pass.
struct IntendedChanges {
  enum class Headers {
    Kept,         // every header must stay as it was
    FirstSection, // the first section's headers stay; later sections may follow the first
    Rewritten,    // the settings write the header: not compared
  };
  Headers headers = Headers::Kept;
  bool footersRewritten = false; // the settings write (or empty) the footer
  // The page setup turns off the first-page and even-page headers and footers: only those of
  // ordinary pages are compared.
  bool defaultFurnitureOnly = false;
  int addedSections = 0; // at most this many section breaks are added (the two-column title)
};

// The differences between `before` and `after` that `intended` does not cover, each a Chinese
// phrase such as "表格由 3 个变为 1 个". Empty when nothing unintended changed.
std::vector<std::string> compareCensus(const Census& before, const Census& after,
                                       const IntendedChanges& intended);

} // namespace engine
