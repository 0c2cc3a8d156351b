#pragma once
// The work behind `quillfold settings`: reading and changing setup.ini from a shell and
// printing the property values the engine would receive. Each function prints on `out`,
// reports mistakes on `err` as "quillfold：…" (in Chinese, terminal-safe) and returns the exit
// status (0 or 1). A settings file that is not text, or read-only for `set`, is refused with 1.

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "settings/keytable.h"

namespace quillfold::cli {

// Every key of the key table as "section/key=value" (the stored text, or the default when the
// file lacks it), after a comment line naming the file.
int settingsShow(const std::filesystem::path& file, std::ostream& out, std::ostream& err);

// The value of SECTION/KEY (the default when the file lacks a known key). Unknown keys that
// the file holds are printed too; an unknown key it lacks is an error.
int settingsGet(const std::filesystem::path& file, std::string_view sectionKey, std::ostream& out,
                std::ostream& err);

// Writes SECTION/KEY = VALUE under the key table's spelling of section and key. List keys take
// a position or the entry's name ("黑体", "三号", "居中"), which is stored as its position.
// Unless `force`, unknown keys and values that do not fit the key are refused.
int settingsSet(const std::filesystem::path& file, std::string_view sectionKey,
                std::string_view value, bool force, std::ostream& out, std::ostream& err);

// The 46 engine properties as "名称=value", in the engine's order.
int settingsProperties(const std::filesystem::path& file, std::ostream& out, std::ostream& err);

// The text to store for `value` under `key`: list entry names become their position; nothing
// when the value does not fit the key (the reason then goes to `why`).
std::optional<std::string> storedValueFor(const settings::KeyInfo& key, std::string_view value,
                                          std::string* why = nullptr);

} // namespace quillfold::cli
