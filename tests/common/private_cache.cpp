// Every test program runs with a user cache of its own (XDG_CACHE_HOME, inherited by the
// programs it starts), made empty at its start and removed at its end: what one run leaves
// there (the LibreOffice profile kept for later runs, previews) neither reaches the user's own
// cache nor changes what the next test program sees.

#include <cstdlib>

#include "base/temp_folder.h"

namespace {

struct PrivateCache {
  PrivateCache() {
    if (folder.made())
      ::setenv("XDG_CACHE_HOME", folder.path().c_str(), 1);
  }
  base::TempFolder folder{"qf-cache"};
} privateCache;

} // namespace
