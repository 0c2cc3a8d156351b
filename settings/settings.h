#pragma once
// Loading setup.ini into the values the engine receives, the last folders of the sys section,
// and where setup.ini lives.

#include "settings/inifile.h"
#include "settings/keytable.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace settings {

// The 46 engine properties (Chinese name, value) in the engine's property order: each key as
// `file` holds it (its default when missing) converted by engineValue. The window and the
// command line both hand the engine exactly this before a run.
std::vector<std::pair<std::string, std::string>> loadEngineProperties(const IniFile& file);

// The properties of the standard run (the [standard] section), (Chinese name, value) in
// key-table order; the engine ignores them in its other run modes.
std::vector<std::pair<std::string, std::string>> loadStandardProperties(const IniFile& file);

// The folder of the running executable (from /proc/self/exe); empty when it cannot be found.
std::filesystem::path programFolder();

// The last source folder (sys/docpath); the program folder when missing.
std::string lastSourceFolder(const IniFile& file,
                             const std::filesystem::path& program = programFolder());

// The last output folder (sys/outpath); the folder "out" in the program folder when missing.
std::string lastOutputFolder(const IniFile& file,
                             const std::filesystem::path& program = programFolder());

// Writes sys/docpath and sys/outpath (at exit). The first failure is returned; the other key
// is still attempted.
IniWriteResult saveLastFolders(IniFile& file, std::string_view sourceFolder,
                               std::string_view outputFolder);

// Where setup.ini lives when no path is given: `program`/setup.ini when that folder exists and
// is writable; otherwise `xdgConfigHome`/quillfold/setup.ini when `xdgConfigHome` is an
// absolute path; otherwise `home`/.config/quillfold/setup.ini. Pure: touches nothing.
std::filesystem::path settingsPathFor(const std::filesystem::path& program,
                                      std::string_view xdgConfigHome, std::string_view home);

// settingsPathFor() with this program's folder, $XDG_CONFIG_HOME and $HOME (or the user's
// home from the password database). When the result lies in the configuration folder, that
// folder is created if missing, so the first write can create the file.
std::filesystem::path defaultSettingsPath();

} // namespace settings
