#pragma once
// The body text outside tables, as runs of neighbouring paragraphs.

#include <functional>

#include "word/document.h"

namespace engine {

// Calls `work` with the range of every run of neighbouring paragraphs of `doc`'s main text
// that lie outside tables (marks included), from the last run to the first. A document
// without tables is one run: its whole text. `work` may change its range's text, split or join
// paragraphs inside it, but must leave the paragraphs before it alone.
void forEachBlockOutsideTables(word::Document& doc, const std::function<void(word::Range&)>& work);

} // namespace engine
