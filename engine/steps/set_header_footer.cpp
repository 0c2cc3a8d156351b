// Header and page numbers: the header text in its font, size and alignment (with the header
// off, the header is left as it is), and a PAGE field in the footer in
// one of two forms and three alignments (with page numbers off, an empty footer). The
// selection ends in the main text.
//
// One header and one footer serve the whole document: later sections are linked to the first
// one's, so a section break (ours or the source's) does not start another header, footer or
// numbering.
//
// The "- 1 -" form is written as literal "- " and " -" around a PAGE field in decimal format,
// not as Word's number-in-dash format: LibreOffice draws that format as a plain number and
// writes it to .doc as decimal, so only literal dashes show the same in Word, WPS and
// LibreOffice, in .docx and .doc alike.

#include "engine/clsdoc.h"
#include "engine/seek_story.h"
#include "word/fields.h"
#include "word/sections.h"
#include "word/text.h"
#include "word/view.h"

namespace engine {

namespace {

// Header and footer lines are not indented like body text (a first-line indent of the
// document's Normal style would shift a centred header).
void noIndent(word::ParagraphFormat format) {
  format.setLeftIndent(0.0f);
  format.setRightIndent(0.0f);
  format.setFirstLineIndent(0.0f);
  format.setCharacterUnitLeftIndent(0.0f);
  format.setCharacterUnitRightIndent(0.0f);
  format.setCharacterUnitFirstLineIndent(0.0f);
}

// The document's title for the combined header: the first paragraph's text, trimmed, with
// breaks, tabs and objects left out.
std::string titleOf(word::Document& doc) {
  if (doc.paragraphs().count() == 0)
    return {};
  std::u32string text = doc.paragraphs().first().range().text32();
  std::u32string plain;
  for (char32_t c : text)
    if (c >= 0x20)
      plain.push_back(c);
  return word::toUtf8(word::trimSpaces(plain));
}

// Empties the header or footer the selection is in. Deleting the text takes the fields that
// lie within one paragraph with it; a field that spans paragraphs keeps its marks and codes
// (they are not text) and would still show a number, so such fields go one by one, and then
// the paragraphs they kept apart.
void emptyStory(word::Selection& selection) {
  selection.wholeStory();
  selection.deleteText();
  word::Range all = selection.headerFooter().range();
  word::Fields fields(all.story(), all.start(), all.end());
  if (fields.count() == 0)
    return;
  for (int i = fields.count(); i >= 1; --i)
    fields.item(i).deleteField();
  selection.wholeStory();
  selection.deleteText();
}

} // namespace

void clsDoc::setHeaderFooter() {
  const Settings& s = settings();
  word::Document& doc = ActiveDocument();
  word::Sections sections = doc.sections();
  for (int i = 2; i <= sections.count(); ++i) {
    sections.item(i).headers().setLinkToPrevious(true);
    sections.item(i).footers().setLinkToPrevious(true);
  }
  word::View& view = doc.activeWindow().activePane().view();

  // The header.
  if (s.useHeader()) {
    // With the combined header the line holds the header text and the document's title,
    // distributed across it.
    const bool combined = s.combinedHeader();
    std::string header = s.headerText();
    if (combined) {
      std::string title = titleOf(doc);
      if (!title.empty())
        header += (header.empty() ? "" : "\u3000\u3000") + title;
    }
    seekStory(doc, word::wdSeekCurrentPageHeader);
    emptyStory(Selection());
    Selection().typeText(header);
    Selection().paragraphFormat().setAlignment(combined ? word::wdAlignParagraphDistribute
                                                        : wordAlignment(s.headerAlign()));
    noIndent(Selection().paragraphFormat());
    // The font reaches the whole header, line breaks and paragraph mark included.
    Selection().homeKey(word::wdLine, word::wdExtend);
    Selection().setRange(Selection().headerFooter().range());
    Selection().font().setName(s.headerFont());
    Selection().font().setSize(s.headerFontSize());
  } else {
    // With the header off an existing header is left exactly as it was (a select-to-line-start
    // and delete there would take its first character, logo or line shape), and a document
    // without one gets none.
    showPrintLayout(doc);
  }

  // The page numbers.
  if (s.usePageNumbers()) {
    view.setSeekView(word::wdSeekCurrentPageFooter);
    emptyStory(Selection());
    if (s.dashedPageNumbers()) {
      Selection().typeText("-  -");
      Selection().setRange(word::Range(Selection().story(), 2, 2));
    }
    Selection().fields().add(Selection().range(), word::wdFieldPage);
    Selection().paragraphFormat().setAlignment(wordAlignment(s.pageNumberAlign()));
    noIndent(Selection().paragraphFormat());
    Selection().wholeStory();
    word::PageNumbers numbers = Selection().headerFooter().pageNumbers();
    numbers.setNumberStyle(word::wdPageNumberStyleArabic);
    numbers.setHeadingLevelForChapter(0);
    numbers.setIncludeChapterNumber(false);
    numbers.setChapterPageSeparator(word::wdSeparatorHyphen);
    numbers.setRestartNumberingAtSection(false);
    numbers.setStartingNumber(0);
    Selection().homeKey(word::wdLine, word::wdExtend);
    view.setSeekView(word::wdSeekMainDocument);
  } else {
    view.setSeekView(word::wdSeekCurrentPageFooter);
    emptyStory(Selection());
  }

  seekStory(doc, word::wdSeekMainDocument);
}

} // namespace engine
