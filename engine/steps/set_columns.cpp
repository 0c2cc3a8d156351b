#include "engine/clsdoc.h"

namespace engine {

// Not built yet: the run passes over this step.
void clsDoc::setColumns() {}

} // namespace engine
