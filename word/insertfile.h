#pragma once
// Inserting one document into another, as Word's Selection.InsertFile does: the body of the
// inserted document (paragraphs, tables, content controls, section breaks) goes to the end of
// the target's main story with its paragraph and character formatting, and everything that
// content refers to comes along under names that do not collide with the target's:
//
// - styles: a style the target lacks is copied under its own id; a style the target has under
//   the same name with the same definition (its basedOn chain and the document defaults
//   included) is shared; one that means something else is copied under a new id and name, so
//   the inserted text looks as it did. Inserted paragraphs without a style keep the look of
//   their document's default paragraph style (an explicit style is written when the target's
//   default differs); the same holds for tables and the default table style. When the two
//   documents' defaults (w:docDefaults) differ, copied paragraph styles without a base get the
//   inserted document's defaults written into them.
// - list numbering: a list the target already has (the same w:nsid and the same definition)
//   is joined, so its numbers continue; any other abstractNum/num is copied with new ids and
//   the inserted paragraphs' numIds follow.
// - relationships: pictures, charts, embedded objects, headers and footers of inserted
//   section breaks are copied as new parts (binary parts with the same bytes as a target part
//   are shared) with new relationship ids; hyperlinks keep their targets; content types follow.
// - footnotes, endnotes and comments referred to are copied with new ids.
// - bookmarks whose name the target uses are renamed (hyperlink anchors and REF/PAGEREF fields
//   of the inserted text follow); bookmark, revision and drawing (wp:docPr) ids are renumbered
//   where they collide; namespace declarations and mc:Ignorable entries are added as needed.
//
// The inserted document's final section properties are not inserted (its text joins the
// target's last section); when it has section breaks of its own, the target's last paragraph
// first becomes a section break with the target's final section properties, so the target's
// own sections keep their page setup. The target's settings, theme and final section
// properties stay; theme font references of the inserted text resolve through the target's
// theme. Nothing of the target is removed or changed apart from these additions.

#include <string>
#include <vector>

#include "word/document.h"

namespace word {

// What one insertion did.
struct InsertFileReport {
  int blocks = 0;            // body elements inserted (paragraphs, tables, content controls…)
  int stylesCopied = 0;      // styles the target lacked, copied under their own id
  int stylesRenamed = 0;     // styles copied under a new id (and name) to avoid a collision
  int stylesShared = 0;      // styles the target already had with the same definition
  int listsCopied = 0;       // list definitions (w:abstractNum) copied with new ids
  int listsJoined = 0;       // list definitions the target already had: numbering continues
  int partsCopied = 0;       // parts copied (pictures, headers, charts, embedded objects…)
  int bookmarksRenamed = 0;  // bookmarks renamed because the target used the name
  int drawingIdsChanged = 0; // wp:docPr ids changed because the target used them
  int notesCopied = 0;       // footnotes, endnotes and comments copied
  std::vector<std::string> warnings; // references that could not be followed (kept as they were)
};

} // namespace word
