// The "Standard" run: the layout of the national standard for official documents, with its
// settings read from the engine's properties (engine/standard/).

#include "engine/clsdoc.h"
#include "engine/standard/layout.h"

namespace engine {

namespace {

standard::Settings settingsOf(const clsDoc& engine) {
  return standard::fromProperties(
      [&](std::string_view name) { return engine.property(std::string(name)); });
}

} // namespace

void clsDoc::standardText() {
  standard::normaliseText(ActiveDocument(), settingsOf(*this));
}

void clsDoc::standardLayout() {
  for (const std::string& text : standard::layOut(ActiveDocument(), settingsOf(*this)))
    notice("3", text);
}

} // namespace engine
