#include "base/temp_folder.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace base {

std::string systemTempFolder() {
  std::error_code ec;
  fs::path folder = fs::temp_directory_path(ec);
  if (ec || !folder.is_absolute())
    return "/tmp";
  return folder.string();
}

std::string userCacheFolder() {
  const char* xdg = std::getenv("XDG_CACHE_HOME");
  if (xdg && *xdg && fs::path(xdg).is_absolute())
    return (fs::path(xdg) / "quillfold").string();
  if (const char* home = std::getenv("HOME"); home && *home && fs::path(home).is_absolute())
    return (fs::path(home) / ".cache" / "quillfold").string();
  return {};
}

std::string makeTempFolder(std::string_view prefix, const std::string& parent, int* error) {
  std::string pattern = parent.empty() ? systemTempFolder() : parent;
  if (pattern.empty() || pattern.back() != '/')
    pattern += '/';
  pattern.append(prefix);
  pattern += "-XXXXXX";
  if (!::mkdtemp(pattern.data())) {
    if (error)
      *error = errno;
    return {};
  }
  return pattern;
}

TempFolder::TempFolder(std::string_view prefix, const std::string& parent) {
  path_ = makeTempFolder(prefix, parent, &error_);
}

TempFolder::TempFolder(TempFolder&& other) noexcept
    : path_(std::exchange(other.path_, {})), error_(other.error_) {}

TempFolder::~TempFolder() {
  if (path_.empty())
    return;
  std::error_code ec;
  fs::remove_all(path_, ec);
}

} // namespace base
