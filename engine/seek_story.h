#pragma once
// The document run's moves between the main text, the header and the footer.

namespace word {
class Document;
}

namespace engine {

// A split window loses its second pane and a view other than the print layout becomes the
// print layout (headers and footers can be reached only there).
void showPrintLayout(word::Document& doc);
// showPrintLayout, then View.SeekView is set to `wdSeek` (word::wdSeekMainDocument,
// word::wdSeekCurrentPageHeader…).
void seekStory(word::Document& doc, int wdSeek);

} // namespace engine
