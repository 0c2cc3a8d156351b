#pragma once
// The window's side of setup.ini: the control that shows each settings key, the order in which
// each section's load and save operations go through their keys, and the state a control takes
// for a stored text. What a key is (default, conversion, the engine property it fills) is the
// settings key table's business (settings/keytable.h).

#include <iterator>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "settings/keytable.h"

namespace app::gui {

// One settings key and the objectName of the control showing it (several names joined by ","
// when the value takes more than one control).
struct SettingsControl {
  std::string_view section;
  std::string_view key;
  std::string_view control;
};

// The 46 keys of the six settings sections, section by section (font, shuiyin, pageinfo,
// headerfooter, paragraph, tool), each section in the order its save operation writes it.
// A key missing from setup.ini is appended to its section, so this order is the order of a
// section the window writes afresh.
std::span<const SettingsControl> settingsControls();

// The row of `key`, or null for a key no settings control shows (the sys keys).
const SettingsControl* controlOf(const settings::KeyInfo& key);

// The keys of `section` in the order its save operation writes them.
std::vector<const settings::KeyInfo*> saveOrder(std::string_view section);

// The key names of `section` in the order its load operation reads them: the save order,
// except for shuiyin (txtfontname, txtstyle, jpg, txt, op, color) and tool, which is read with
// lower-case names (the file's names are matched without regard to case).
std::vector<std::string_view> loadOrder(std::string_view section);

// The state the key's control takes for `stored`; nothing means the control keeps its previous
// state because the text cannot be converted.
//  Index kinds: the list position, or -1 for no selection (a stored "-1").
//  Check: 0 clear or 1 set.
//  Option: 0 for exactly "0", 1 for exactly "1", 2 for any other text (never nothing).
//  LineSpacing: 3 (固定值, the value box then shows `stored`) when `stored` is a number above 2,
//    otherwise as Index over the first three entries (-1 clears the selection).
//  Text: always nothing (the control shows the stored text itself).
std::optional<int> controlState(const settings::KeyInfo& key, std::string_view stored);

} // namespace app::gui
