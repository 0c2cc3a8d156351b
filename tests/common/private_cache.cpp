// Every test program runs with a user cache of its own (XDG_CACHE_HOME, inherited by the
// programs it starts), made empty at its start and removed at its end: what one run leaves
// there (the LibreOffice profile kept for later runs, previews) neither reaches the user's own
// cache nor changes what the next test program sees.

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

struct PrivateCache {
  PrivateCache() {
    const char* parent = std::getenv("TMPDIR");
    std::string pattern =
        std::string(parent && *parent == '/' ? parent : "/tmp") + "/qf-cache-XXXXXX";
    if (::mkdtemp(pattern.data())) {
      path = pattern;
      ::setenv("XDG_CACHE_HOME", path.c_str(), 1);
    }
  }
  ~PrivateCache() {
    std::error_code ec;
    if (!path.empty())
      std::filesystem::remove_all(path, ec);
  }
  std::string path;
} privateCache;

} // namespace
