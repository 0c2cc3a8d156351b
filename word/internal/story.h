#pragma once
// A story (main text, a header or a footer): its paragraphs in document order, their text,
// character positions maintained incrementally, and the minimal edits every writer uses.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <pugixml.hpp>

#include "word/document.h"
#include "word/internal/xmlns.h"

namespace word {

// One character-producing piece of a paragraph: a w:t element (kind Text, `len` characters)
// or a single-character element (tab, break, picture…).
struct Seg {
  enum Kind : uint8_t { Text, Single };
  pugi::xml_node node;
  uint32_t off = 0, len = 0;
  Kind kind = Text;
};

// A field that begins and ends in one paragraph: its code elements (w:fldChar begin,
// separate, end and w:instrText, in order) or its w:fldSimple, and the span of its result.
struct FieldSpan {
  std::vector<pugi::xml_node> code;
  pugi::xml_node simple;
  uint32_t resStart = 0, resEnd = 0;
};

// Book-keeping of one w:p. Records are owned by the story and outlive deletion (marked dead)
// so Paragraph handles stay safe.
struct ParaRec {
  pugi::xml_node p;
  bool textValid = false;
  std::u32string text; // content without the mark
  std::vector<Seg> segs;
  std::vector<FieldSpan> fields;
  bool cellEnd = false; // last paragraph of a table cell: mark is "\r\a"
  bool inTable = false;
  bool dead = false;
  int index = 0;     // 0-based position in the story (valid below the valid prefix)
  int64_t start = 0; // character position (valid below the valid prefix)
};

class Story {
public:
  Story(Document* doc, std::string part, pugi::xml_node root, StoryType type);
  ~Story();

  Document* document() const { return doc_; }
  const std::string& part() const { return part_; }
  pugi::xml_node root() const { return root_; }
  StoryType type() const { return type_; }
  const WNames& names() const { return n_; }

  int count();
  ParaRec* at(int index0);
  ParaRec* recOf(pugi::xml_node p);
  int indexOf(ParaRec* rec);
  int64_t startOf(ParaRec* rec);
  int64_t length();
  // Index of the paragraph containing position `pos` (the last one for pos >= length).
  int indexAt(int64_t pos);

  const std::u32string& content(ParaRec* rec);
  static size_t markLen(const ParaRec* rec) { return rec->cellEnd ? 2 : 1; }
  size_t fullLen(ParaRec* rec) { return content(rec).size() + markLen(rec); }
  std::u32string text(int64_t start, int64_t end);

  // Replaces [start, end) by `text` as a minimal edit (common prefix and suffix kept).
  // Returns the end position of the new text. A field goes with the deletion when the deleted
  // span holds its whole result (a field without a result: when it lies between two deleted
  // characters, or its whole paragraph goes, mark included). With `keepFields` (the edits of
  // Find and of the cleanup steps, which change characters only) no field ever goes: a field
  // whose result is deleted keeps its code with an empty result.
  int64_t replace(int64_t start, int64_t end, std::u32string_view text, bool keepFields = false);
  // Low-level edit inside one paragraph's content: [a, b) replaced by `ins` (may hold "\r").
  void editParagraph(ParaRec* rec, size_t a, size_t b, std::u32string_view ins,
                     bool keepFields = false);
  // Replaces the pattern occurrences at `hits` (content offsets, non-overlapping, ascending)
  // by `repl` when every occurrence lies inside one w:t and `repl` is plain text: each text
  // piece is rewritten once. Returns false (nothing changed) when that does not apply.
  bool replaceWithinText(ParaRec* rec, const std::vector<size_t>& hits, size_t patLen,
                         std::u32string_view repl);
  // Deletes the mark of `rec`, merging it into the next paragraph. Returns false when the
  // mark cannot go: the last paragraph of a cell or of the story, a table follows a non-empty
  // paragraph, the paragraph is all that separates two tables (they would become one), or
  // its mark ends a section (the sections and the section of every paragraph stay as they are).
  bool deleteMark(ParaRec* rec);

  // True when the paragraph holds anything besides text: a field or form field, a content
  // control (or it is the only paragraph of one), a picture, drawing, shape, embedded object
  // or equation, a note or comment reference, a bookmark or other anchor, tracked deleted
  // text, or an element the model does not know. Runs, text, tabs, breaks, proofing marks and
  // properties are not objects.
  bool holdsObject(ParaRec* rec);
  // Blank: no text but U+0020 / U+3000 spaces, and no object of any kind.
  bool isBlank(ParaRec* rec);
  // True when the paragraph's mark carries a section break.
  bool endsSection(ParaRec* rec);

  // A paragraph outside tables whose mark ends a section, with its w:sectPr.
  struct SectionMark {
    ParaRec* rec;
    pugi::xml_node sectPr;
  };
  // Every section mark of the story in order. Worked out by one walk over the paragraphs and
  // kept until the paragraphs change (a paragraph added, removed or split, the index rebuilt)
  // or sectionsChanged() is called; a kept list whose marks no longer hold their w:sectPr is
  // worked out again.
  const std::vector<SectionMark>& sectionMarks();
  // Forgets the section marks: for the writers that add a w:sectPr to a paragraph's mark.
  void sectionsChanged() { marksValid_ = false; }

  // Splits runs so that [start, end) begins and ends on run boundaries; returns the runs
  // inside, in order. `markToo` is set when the range covers a paragraph mark (the mark's
  // run properties should follow).
  std::vector<pugi::xml_node> runsIn(int64_t start, int64_t end, bool split,
                                     std::vector<ParaRec*>* marks = nullptr);
  // Paragraphs touched by [start, end) (at least one).
  std::vector<ParaRec*> parasIn(int64_t start, int64_t end);

  // Batch mode: while on, structural changes skip index upkeep; ending it rebuilds once.
  void beginBatch();
  void endBatch();
  // Marks the story's part as changed.
  void touch();
  // The highest VML shape number (o:spid "_x0000_sN") in the story, as last worked out by
  // maxShapeIdUnder; -1 when unknown. The story's own edits keep it while they remove nothing
  // that holds a shape number (formatting, typing, splitting runs and paragraphs only copy
  // or add elements without one); invalidateText() and invalidateAll() forget it, for the
  // outside writers that may add or remove shapes.
  long knownShapeId() const { return shapeId_; }
  void setKnownShapeId(long id) { shapeId_ = id; }
  // Forgets cached text and index after outside changes to the XML.
  void invalidateAll();
  // Frees the paragraphs' cached text (made again when asked for): for a document whose edits
  // are done, whose text need not be held while its census is taken and it is written.
  void releaseText();
  void invalidateText(ParaRec* rec);

private:
  Document* doc_;
  std::string part_;
  pugi::xml_node root_;
  StoryType type_;
  WNames n_;
  std::vector<ParaRec*> paras_;
  std::vector<std::unique_ptr<ParaRec>> owned_;
  std::unordered_map<pugi::xml_node_struct*, ParaRec*> byNode_;
  bool built_ = false;
  bool batch_ = false;
  bool batchDirty_ = false;
  int validPrefix_ = 0;
  std::vector<SectionMark> marks_;
  bool marksValid_ = false;
  long shapeId_ = -1;
  int lastIndexAt_ = 0; // indexAt's last answer, a hint checked before use

  void rebuild();
  void collect(pugi::xml_node container, int depth, std::vector<ParaRec*>& out);
  ParaRec* makeRec(pugi::xml_node p);
  void ensureValid(int index0);
  void invalidateFrom(int index0);
  // invalidateText() for the story's own edits, which keep the known shape number.
  void textChanged(ParaRec* rec);
  // Before `gone` leaves the tree: forgets the known shape number when `gone` holds one.
  void removing(pugi::xml_node gone);
  void buildText(ParaRec* rec);
  pugi::xml_node splitParagraph(ParaRec* rec, size_t k);
  // Which fields a deletion takes with it (see replace()).
  enum class FieldRule { Keep, Covered, All };
  void deleteContent(ParaRec* rec, size_t a, size_t b, FieldRule rule);
  void insertContent(ParaRec* rec, size_t a, std::u32string_view ins, bool overtype);
  pugi::xml_node splitRunAt(ParaRec* rec, size_t k);
  void insertedParagraphAfter(ParaRec* rec, pugi::xml_node q);
  void removedParagraph(ParaRec* rec);
};

// The highest VML shape number (o:spid "_x0000_sN") under `root` (0 when none), in one walk.
long maxShapeIdUnder(pugi::xml_node root);

// Inserts an empty w:r at character position `pos` of `story` (at the start of a paragraph
// right after its properties, at its end as the last child, else between runs split there)
// and returns it; `rPrFrom` receives the run whose formatting the character before `pos` has
// (an empty node at a paragraph start). The caller fills the run, then calls
// story.invalidateText(story.recOf(paragraph)) and story.touch().
pugi::xml_node insertRunAt(Story& story, int64_t pos, pugi::xml_node* rPrFrom = nullptr);

} // namespace word
