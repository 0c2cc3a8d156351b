// Every test program runs with a temporary folder (TMPDIR) and a user cache (XDG_CACHE_HOME)
// of its own, both inherited by the programs it starts, made empty at its start and removed at
// its end. What one run leaves behind - the temporary folder of an engine server a test kills
// on purpose, the LibreOffice profile kept for later runs, previews - neither piles up in the
// system's temporary folder or the user's own cache nor changes what the next test program
// sees.

#include <cstdlib>

#include "base/temp_folder.h"

namespace {

struct PrivateFolders {
  PrivateFolders() {
    if (temporary.made())
      ::setenv("TMPDIR", temporary.path().c_str(), 1);
    if (cache.made())
      ::setenv("XDG_CACHE_HOME", cache.path().c_str(), 1);
  }
  base::TempFolder temporary{"qf-tmp"};
  base::TempFolder cache{"qf-cache"};
} privateFolders;

} // namespace
