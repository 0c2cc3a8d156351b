// The full run starts from plain text: the whole main text is selected and its direct paragraph
// and character formatting is cleared (Word's Selection.ClearFormatting; styles, section
// breaks and tracked changes stay), so the later steps format text that carries none of its
// own. The selection is left over the whole text.

#include "engine/clsdoc.h"

namespace engine {

void clsDoc::clearFormatting() {
  Selection().wholeStory();
  Selection().clearFormatting();
}

} // namespace engine
