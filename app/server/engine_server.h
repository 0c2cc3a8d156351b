#pragma once
// The engine server's loop: one engine object driven by the requests read from `inFd`, its
// events written to `outFd` as they happen (app/server/protocol.h).

namespace app {

// Announces Ready, then serves requests until Quit or the end of the input. Returns the
// process exit status (0). A failed request answers Fail and makes the server skip the
// following requests up to the next Main, which then answers MainDone with "skipped" without
// running: one failed setter leaves the batch unconfigured, so it is not run.
int serveEngine(int inFd, int outFd);

} // namespace app
