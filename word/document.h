#pragma once
// The Word-compatible document model: Application, Document, Paragraphs, Range,
// Find/Replacement and Selection, with Word's meaning (Font and ParagraphFormat in their own
// headers, included here; sections, fields, borders, shapes, the view and the page setup in
// theirs).
//
// Text is UTF-8 at the interface. Character positions count Unicode code points (Word counts
// UTF-16 units; the two differ only for characters outside the BMP). A paragraph's text ends in
// "\r"; the last paragraph of a table cell ends in "\r\a" (two positions). A tab is "\t", a
// manual line break "\v", a page break "\f", a column break "\x0e", a picture or other object
// "\x01", a footnote or endnote reference "\x02"; field codes are hidden, field results shown.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "word/constants.h"
#include "word/error.h"
#include "word/font.h"
#include "word/package.h"
#include "word/paragraph_format.h"

namespace word {

namespace internal {
struct Access;
}
class Document;
class Styles;
class Story;
struct ConvertOptions;
struct ParaRec;
class Range;
class PageSetup;
struct InsertFileReport;
class Window;
class HeaderFooter;
class Sections;
class Fields;
class Borders;
class ShapeRange;
struct SelectedShapes;

// Find and replace, as Word's Find object with its Replacement.
class Find {
public:
  // Binds to a range of a story. `wholeStoryOnWrap`: Selection.Find (wdFindContinue covers
  // the whole story wherever the selection stands); a Range's Find stays inside the range.
  Find(Story* story, int64_t start, int64_t end, bool wholeStoryOnWrap);

  std::string text;            // search text with ^p ^l ^t ^^ ^m ^s codes
  std::string replacementText; // Replacement.Text (also ^& for the found text)
  bool forward = true;
  int wrap = wdFindStop;
  bool format = false;
  bool matchCase = false;
  bool matchWholeWord = false;
  bool matchByte = false;
  bool matchWildcards = false;
  bool matchSoundsLike = false;
  bool matchAllWordForms = false;

  void clearFormatting() {}
  void replacementClearFormatting() {}
  // Runs the search. With wdReplaceAll every occurrence in scope is replaced (non-overlapping,
  // left to right, found in the text as it was before the call) and the number of
  // replacements is returned; wdReplaceNone/One find (and replace) the first occurrence from
  // the start of the scope and return 1 when found, else 0. Wildcards, sounds-like and word
  // forms are not supported and throw DocumentError.
  int execute(int replace = wdReplaceNone);
  // Like execute(wdReplaceAll) but replaces only matches for which `accept(storyText, pos,
  // len)` returns true (positions into the scope's text as code points).
  // For patterns without a paragraph mark `text` is the paragraph's content (no mark) and
  // `pos` an offset into it; otherwise the text of the whole scope.
  int replaceAllIf(const std::function<bool(const std::u32string&, size_t, size_t)>& accept);
  // Called with the found span by a non-replace-all execute (Selection moves there).
  std::function<void(int64_t, int64_t)> onFound;

private:
  int run(int replace, const std::function<bool(const std::u32string&, size_t, size_t)>* accept);
  Story* story_;
  int64_t start_, end_;
  bool whole_;
};

// A contiguous span of one story, in character positions [start, end).
class Range {
public:
  Range() = default;
  Range(Story* story, int64_t start, int64_t end);

  int64_t start() const { return start_; }
  int64_t end() const { return end_; }
  void setRange(int64_t start, int64_t end);
  Story* story() const { return story_; }

  std::string text() const;
  std::u32string text32() const;
  // The range's characters inside the content of the paragraph it starts in (paragraph mark
  // and anything after it left out), as a view of the story's own text, without a copy. Valid
  // until the story changes.
  std::u32string_view contentView() const;
  // Replaces the text as a minimal edit: the common prefix and suffix of old and new text stay
  // untouched, so runs, pictures and fields outside the change keep their place; new text takes
  // the formatting of the character before it. "\r" or "\r\n" makes a paragraph boundary.
  // Afterwards the range covers the new text.
  void setText(const std::string& text);
  // Inserts at the end / start of the range and extends the range over the new text.
  void insertAfter(const std::string& text);
  void insertBefore(const std::string& text);
  // Deletes the range's text (paragraph marks inside merge paragraphs; a mark that cannot go,
  // such as a cell's or the story's last, stays). Returns the number of characters deleted.
  int64_t deleteText();
  // Deletes the range's characters only, as Find's replacements do: no field or form field
  // goes with them (a field whose result is deleted keeps its code with an empty result).
  // Returns the number of characters deleted.
  int64_t deleteCharacters();

  Font font() const { return Font(*this); }
  ParagraphFormat paragraphFormat() const { return ParagraphFormat(*this); }
  Find find() const;
  // Number of tables that the range touches.
  int tablesCount() const;
  // Ranges of the runs (maximal pieces with one w:r each) inside this range, in order.
  std::vector<Range> formatRuns() const;
  // Word's InsertBreak (word/sections.cpp): a section break (wdSectionBreak…) ends a
  // section at the range's start, the section before it taking a copy of the section's
  // properties and its header and footer references (later sections inherit them); a page,
  // column or line break is inserted as text. Afterwards the range covers the break.
  void insertBreak(int type);

private:
  Story* story_ = nullptr;
  int64_t start_ = 0, end_ = 0;
};

class Paragraph {
public:
  Paragraph() = default;
  Paragraph(Story* story, ParaRec* rec) : story_(story), rec_(rec) {}
  // The paragraph's range, mark included. Throws DocumentError if the paragraph was deleted.
  Range range() const;
  ParagraphFormat format() const { return ParagraphFormat(range()); }
  bool inTable() const;
  bool valid() const;
  // Blank: no text but U+0020 / U+3000 spaces and no object of any kind (field, form field,
  // content control, picture, shape, equation, bookmark…); see Story::holdsObject.
  bool isBlank() const;
  // True when its mark carries a section break.
  bool endsSection() const;

private:
  friend struct internal::Access;
  Story* story_ = nullptr;
  ParaRec* rec_ = nullptr;
  pugi::xml_node node() const;
};

class Paragraphs {
public:
  explicit Paragraphs(Story* story) : story_(story) {}
  int count() const;
  // 1-based, O(1). Throws DocumentError when out of range.
  Paragraph item(int index) const;
  Paragraph first() const { return item(1); }
  Paragraph last() const { return item(count()); }

private:
  Story* story_;
};

enum class StoryType { Main, Header, Footer };

// The selection of a document window: one range on one story.
class Selection {
public:
  explicit Selection(Document* doc);
  void wholeStory();
  // wdStory: start / end of the story (before its final paragraph mark). With wdExtend the
  // other end stays. wdLine behaves as wdStory inside one-line paragraphs: start / end of the
  // current paragraph.
  void homeKey(int unit = wdLine, int extend = wdMove);
  void endKey(int unit = wdLine, int extend = wdMove);
  // Deletes the selection, or the next character when it is collapsed.
  void deleteText();
  // Replaces the selection with `text` and collapses after it.
  void typeText(const std::string& text);
  // Removes direct character and paragraph formatting of the selected paragraphs and resets
  // them to the default paragraph style; section breaks, numbering ids of tracked changes and
  // everything that is not formatting stay.
  void clearFormatting();
  int64_t start() const { return range_.start(); }
  int64_t end() const { return range_.end(); }
  Range range() const { return range_; }
  void setRange(const Range& r) { range_ = r; }
  Find& find();
  Font font() const { return range_.font(); }
  ParagraphFormat paragraphFormat() const { return range_.paragraphFormat(); }
  Story* story() const { return range_.story(); }
  void moveToStory(Story* story);
  // The page setup of the sections the selection touches (every section when the selection
  // is in a header or footer). Defined in word/pagesetup.cpp; include word/pagesetup.h.
  PageSetup pageSetup() const;
  // Word's InsertFile: inserts the document at `path` (any format Application::open reads) at
  // the end of the main story with everything its text refers to (word/insertfile.h) and moves
  // the selection to the end of the story. Throws DocumentError naming the file when it cannot
  // be read; the document is then unchanged. Defined in word/insertfile.cpp.
  InsertFileReport insertFile(const std::string& path);
  // The header or footer the selection is in; throws DocumentError in the main text.
  // Defined in word/sections.cpp; include word/sections.h.
  HeaderFooter headerFooter() const;
  // The fields of the selected paragraphs (Fields.Add leaves the selection after the field).
  // Defined in word/fields.cpp; include word/fields.h.
  Fields fields();
  // The shapes selected by Shape::select while the range is unchanged, else the floating
  // shapes anchored inside the selected text. Defined in word/shapes.cpp; include
  // word/shapes.h.
  ShapeRange shapeRange() const;
  // Word's MoveDown by wdParagraph (wdLine counts as paragraph): from the paragraph where the
  // selection starts to the start of the `count`th next one (the end of the story's text when
  // there is none). wdExtend keeps the start. Returns the number of paragraphs moved.
  int moveDown(int unit = wdParagraph, int count = 1, int extend = wdMove);

private:
  Document* doc_;
  Range range_;
  std::unique_ptr<Find> find_;
  friend class Shape;
  std::shared_ptr<SelectedShapes> shapes_; // set by Shape::select
};

// A header or footer part and the sections that reference it.
struct HeaderFooterPart {
  std::string partName;
  StoryType type;
  std::string refType; // "default", "first", "even"
  Story* story;
};

class Document {
public:
  // Opens a .docx/.docm/.dotx package natively (see Application::open for other formats).
  static std::unique_ptr<Document> openPackage(const std::string& path);
  static std::unique_ptr<Document> fromPackage(std::unique_ptr<Package> pkg,
                                               const std::string& path);
  ~Document();

  const std::string& fullName() const { return path_; }
  Story& content(); // the main text story
  Range contentRange();
  Paragraphs paragraphs();
  int tablesCount();
  // The page setup of every section of the document (word/pagesetup.h).
  PageSetup pageSetup();
  // The document's window and its view (SeekView between main text, headers and footers).
  // Defined in word/view.cpp; include word/view.h.
  Window& activeWindow();
  // The sections of the main text (word/sections.h).
  Sections sections();
  // Adds the story of a header or footer part that was added to the package (with its
  // relationship from the main part) to headerFooters(), or returns the one listed.
  Story* addHeaderFooterStory(const std::string& partName, StoryType type,
                              const std::string& refType);
  Range range(int64_t start, int64_t end);
  Selection& selection() { return *selection_; }
  std::vector<HeaderFooterPart>& headerFooters();
  // Every automatic list number of the main story becomes literal text (label + suffix) at the
  // paragraph start, and the numbering is removed from those paragraphs.
  void convertNumbersToText();
  // Appends the body of `source` at the end of the main story with its styles, lists, pictures,
  // notes and bookmarks made to fit (word/insertfile.h). `source` is not changed.
  InsertFileReport insertDocument(Document& source);

  // Saves in the format saveFormatFor (word/filetypes.h) gives `path`: OOXML natively as
  // savePackage() does, a legacy format through LibreOffice (run as `options` say). Atomic;
  // refuses the document's own source path. Throws DocumentError naming `path`.
  void saveAs(const std::string& path);
  void saveAs(const std::string& path, const ConvertOptions& options);
  // Saves the package natively (OOXML whatever the extension) with Package::save, and reads
  // the written file back through the model (main story and its paragraphs) before it replaces
  // anything at `path`. Throws DocumentError; `path` is then left as it was.
  void savePackage(const std::string& path);
  // Native OOXML bytes of the document as it is now. Adjacent runs of equal formatting are
  // merged first, in the parts that changed (savePackage() does the same).
  std::string saveToString();
  // Frees the text the model keeps of every paragraph (made again when asked for): once the
  // edits are done, a large document's census and output need not sit beside it.
  void releaseTextCaches();
  // Why the document, written as it is now, would not read back (Package::readBackProblem);
  // "" when it would.
  std::string readBackProblem() const;
  // Writes bytes made by saveToString() to `path` as savePackage() does, read-back included.
  // The document they came from may already be closed, so a large one is never in memory
  // twice while its output is read back.
  static void savePackageBytes(const std::string& path, const std::string& bytes);
  void close() {}

  // Warnings collected while opening or editing (recoverable oddities).
  // Includes what the package repaired while it was read.
  std::vector<std::string>& warnings();
  // Notices about how the document was read (e.g. the encoding of a text file), for the user.
  std::vector<std::string>& notices() { return notices_; }
  // The converted source file (set when the document came through LibreOffice or text import).
  std::string originalFormat;
  // True when LibreOffice read the source (a legacy format): an output whose extension names
  // no format is then written as Word 97-2003 (saveFormatFor).
  bool readThroughLibreOffice() const { return readThroughLibreOffice_; }

private:
  Document();
  friend class Application;
  friend class Batch;
  friend struct internal::Access;
  bool readThroughLibreOffice_ = false;
  std::unique_ptr<Package> pkg_;
  std::string path_, mainPart_;
  std::unique_ptr<Story> main_;
  std::vector<std::unique_ptr<Story>> others_;
  std::vector<HeaderFooterPart> hf_;
  bool hfLoaded_ = false;
  std::unique_ptr<Selection> selection_;
  std::shared_ptr<Window> window_; // made by activeWindow()
  std::vector<std::string> warnings_;
  std::vector<std::string> notices_;
  std::unique_ptr<Styles> styles_; // made on first use (word/internal/styles.h)
  void flush();
  // Before the package is written: merges the adjacent runs of equal formatting in every
  // changed story part (body, headers, footers, notes, comments) and forgets the stories'
  // cached text, which named the runs merged away.
  void mergeRunsOfChangedStories();
};

// Word's Application: opens documents of every supported format and tracks the active one.
class Application {
public:
  Application();
  ~Application();
  // Opens by content and extension: OOXML packages natively; .txt natively (encoding
  // detection); .doc .rtf .wps .odt (and OLE/RTF content) through LibreOffice. The new
  // document becomes the active one. Throws DocumentError naming the file and the reason.
  Document& open(const std::string& path);
  // Makes an already built document (for example one made in memory) the active one.
  Document& adopt(std::unique_ptr<Document> doc);
  Document* activeDocument() { return docs_.empty() ? nullptr : docs_.back().get(); }
  Selection& selection();
  // Closes (drops) a document without saving.
  void close(Document& doc);
  void changeFileOpenDirectory(const std::string& dir) { cwd_ = dir; }
  const std::string& fileOpenDirectory() const { return cwd_; }
  void quit();
  static float centimetersToPoints(float cm);

private:
  std::vector<std::unique_ptr<Document>> docs_;
  std::string cwd_;
};

} // namespace word
