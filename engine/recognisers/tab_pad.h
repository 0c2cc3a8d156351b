#pragma once
// Tab filling for right-aligned lines of the signature block.

#include <cstdint>
#include <string>

namespace engine {

// One tab for n = 1; two tabs for every other n, 0 included.
std::string tabPad(int n);

} // namespace engine
