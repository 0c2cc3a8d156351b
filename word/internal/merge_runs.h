#pragma once
// Merging of adjacent runs that carry the same formatting, done on a story part before it is
// written. Edits split runs (a property set on part of a run, text inserted after a character)
// and never join them again; without this a typeset document grows several times over.

#include <cstddef>

#include <pugixml.hpp>

namespace word {

// Merges, under every element of `root` (paragraphs, hyperlinks, insertions, content controls,
// text boxes…), each group of sibling w:r that:
//   - are separated by nothing but whitespace text nodes;
//   - have equal run properties: the same w:rPr elements with the same attributes and content,
//     attributes in any order, elements in any order unless a name repeats, an empty w:rPr
//     equal to none; equal attributes on the w:r; revision ids (rsid…) do not count;
//   - hold only text content: w:t (no attribute but xml:space, text only), w:tab, w:br without
//     a type or clear attribute, w:cr, w:noBreakHyphen, w:softHyphen - or nothing.
// Anything else between two runs (bookmarks, comment ranges, proofing marks, field characters,
// revision marks, hyperlinks, content controls, comments in the XML) ends a group, and a run
// holding anything else (a field character or code, a note or comment reference, a drawing, a
// symbol, deleted text, a page break) is never merged. The first run of a group keeps its own
// w:rPr and attributes and receives the content of the others in order. Adjacent w:t join when
// the joined text means the same whatever a reader does with whitespace outside
// xml:space="preserve": both preserved; neither preserved and neither with whitespace at an
// edge; or the one not preserved holds no whitespace at all (the joined one is preserved).
// The text and the properties of every character stay as they were. Returns the number of runs
// removed.
size_t mergeRuns(pugi::xml_node root);

} // namespace word
