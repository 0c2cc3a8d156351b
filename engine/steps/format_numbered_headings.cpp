#include "engine/clsdoc.h"

namespace engine {

// Not built yet: the run passes over this step.
void clsDoc::formatNumberedHeadings() {}

} // namespace engine
