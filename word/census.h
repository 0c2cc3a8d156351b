#pragma once
// The census of a document: counts of the things a document must never lose, and the letters
// and digits of its text in order. The engine takes one when a document is opened and again
// before it is saved, and names every difference its run does not intend.
//
// A census reads the XML of the package as it is (one pass over each part it looks at), so it
// costs time linear in the size of the document.

#include <string>
#include <vector>

namespace word {

class Document;
class Package;

// What a document holds. Counts are of the main text unless said otherwise.
struct Census {
  int tables = 0;          // w:tbl, nested ones included
  int cells = 0;           // w:tc
  int pictures = 0;        // pictures, drawings, shapes and embedded objects (not watermarks)
  int fields = 0;          // complex and simple fields
  int formFields = 0;      // fields with form-field data (check box, drop-down, text)
  int contentControls = 0; // w:sdt
  int bookmarks = 0;       // w:bookmarkStart (Word's own _GoBack mark left out)
  int footnotes = 0;       // footnote references in the text
  int endnotes = 0;        // endnote references
  int comments = 0;        // comment references
  int sections = 0;        // w:sectPr of the body
  // The letters and digits of the main text in order (full-width forms folded to ASCII), field
  // results included except those of fields the reader recomputes (page numbers, dates…).
  std::u32string text;
  // The letters and digits of the footnotes, endnotes and comments.
  std::u32string notesText;
  // The distinct contents of the non-empty headers and footers in effect in any section (a
  // content is its letters and digits with its picture and field counts), sorted.
  std::vector<std::string> headers, footers;
  // The same for the headers and footers of ordinary pages ("default" ones) alone.
  std::vector<std::string> defaultHeaders, defaultFooters;
  // The contents of the headers the first section uses, each "type:content" (type default,
  // first or even).
  std::vector<std::string> firstSectionHeaders;
};

// Takes the census of a document as it is now / of a package (for a file read back).
Census takeCensus(Document& doc);
Census takeCensus(Package& pkg);

// True for a letter or digit of the census signature.
bool isCensusLetter(char32_t c);

// Before a Word 97-2003 export: writes every FILLIN field of the main text, the headers, the
// footers and the notes as a text form field (FORMTEXT) with the same result, the form
// LibreOffice gives it in a .doc anyway. LibreOffice writes a FILLIN field whose result holds
// CJK text several times over; a text form field it writes once. The prompt becomes the form
// field's name and status text. Returns the number of fields rewritten. The document is about
// to be saved: the model's cached text is not updated.
int writeFillInAsFormText(Document& doc);

} // namespace word
