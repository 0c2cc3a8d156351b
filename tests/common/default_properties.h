#pragma once
// The 46 values the engine receives without any setup.ini, in the engine's property order:
// every key of the settings key table with its default, converted as for the engine.

#include <string>
#include <utility>
#include <vector>

#include "settings/keytable.h"

namespace qftest {

inline const std::vector<std::pair<std::string, std::string>> kDefaultProperties = [] {
  std::vector<std::pair<std::string, std::string>> properties;
  for (const settings::KeyInfo& key : settings::engineKeys())
    properties.emplace_back(std::string(key.property), settings::engineValue(key, key.defaultText));
  return properties;
}();

} // namespace qftest
