#include "engine/clsdoc.h"

namespace engine {

// Not built yet: the run passes over this step.
void clsDoc::applyWatermark() {}

} // namespace engine

namespace engine {
void clsDoc::applyHeaderRule() {}
} // namespace engine
