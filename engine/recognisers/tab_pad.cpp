#include "engine/recognisers/tab_pad.h"

namespace engine {

std::string tabPad(int n) {
  return n == 1 ? "\t" : "\t\t";
}

} // namespace engine
