#include "engine/seek_story.h"

#include "word/view.h"

namespace engine {

void showPrintLayout(word::Document& doc) {
  word::Window& window = doc.activeWindow();
  if (window.view().splitSpecial() != word::wdPaneNone)
    window.panes().item(2).close();
  word::View& view = window.activePane().view();
  if (view.type() != word::wdPrintView)
    view.setType(word::wdPrintView);
}

void seekStory(word::Document& doc, int wdSeek) {
  showPrintLayout(doc);
  doc.activeWindow().activePane().view().setSeekView(wdSeek);
}

} // namespace engine
