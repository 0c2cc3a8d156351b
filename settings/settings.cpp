#include "settings/settings.h"

#include "base/ascii.h"

#include <cstdlib>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

namespace settings {

namespace fs = std::filesystem;

namespace {

bool isWritableFolder(const fs::path& folder) {
  std::error_code ec;
  return !folder.empty() && fs::is_directory(folder, ec) &&
         ::access(folder.c_str(), W_OK | X_OK) == 0;
}

} // namespace

std::vector<std::pair<std::string, std::string>> loadEngineProperties(const IniFile& file) {
  std::vector<std::pair<std::string, std::string>> out;
  out.reserve(kEnginePropertyCount);
  for (const KeyInfo& key : engineKeys())
    out.emplace_back(std::string(key.property),
                     engineValue(key, file.get(key.section, key.key, key.defaultText)));
  return out;
}

std::vector<std::pair<std::string, std::string>> loadStandardProperties(const IniFile& file) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const KeyInfo& key : standardKeys())
    out.emplace_back(std::string(key.property),
                     engineValue(key, file.get(key.section, key.key, key.defaultText)));
  return out;
}

fs::path programFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec)
    return {};
  return exe.parent_path();
}

std::string lastSourceFolder(const IniFile& file, const fs::path& program) {
  return file.get("sys", "docpath", program.string());
}

std::string lastOutputFolder(const IniFile& file, const fs::path& program) {
  return file.get("sys", "outpath", (program / "out").string());
}

IniWriteResult saveLastFolders(IniFile& file, std::string_view sourceFolder,
                               std::string_view outputFolder) {
  IniWriteResult first = file.set("sys", "docpath", sourceFolder);
  IniWriteResult second = file.set("sys", "outpath", outputFolder);
  return first ? second : first;
}

fs::path settingsPathFor(const fs::path& program, std::string_view xdgConfigHome,
                         std::string_view home) {
  if (isWritableFolder(program))
    return program / "setup.ini";
  fs::path xdg(xdgConfigHome);
  if (!xdgConfigHome.empty() && xdg.is_absolute())
    return xdg / "quillfold" / "setup.ini";
  return fs::path(home) / ".config" / "quillfold" / "setup.ini";
}

fs::path defaultSettingsPath() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  std::string homeDir = home ? home : "";
  if (homeDir.empty()) {
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
      homeDir = pw->pw_dir;
  }
  fs::path program = programFolder();
  fs::path path = settingsPathFor(program, xdg ? xdg : "", homeDir);
  if (path.parent_path() != program) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec); // a failure shows when the file is written
  }
  return path;
}

} // namespace settings
