// quillfold-engine: the typesetting engine in a process of its own, driven over its standard
// input and output by newline-delimited JSON (docs/engine-protocol.md). A document that
// crashes the engine ends only this process; the caller reports it and starts a new one.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "app/server/engine_server.h"
#include "base/interrupt.h"
#include "base/messages.h"

int main(int argc, char** argv) {
  // --client: a client drives the server and reports an interrupt itself (what was finished,
  // from the Written events), so the server ends without a report of its own.
  bool client = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--client") == 0) {
      client = true;
      continue;
    }
    bool help = std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0;
    const std::string usage = msg::text(msg::kServerUsage, argv[0]);
    std::fputs(usage.c_str(), help ? stdout : stderr);
    return help ? 0 : 2;
  }
  // Without TZ the C library reads /etc/localtime again at every local-time conversion, and the
  // zip library makes dozens per document; naming that same file keeps the one it has read.
  ::setenv("TZ", ":/etc/localtime", 0);
  // SIGTERM (the window ending a busy server), SIGINT and SIGHUP end LibreOffice and remove
  // temporary and partial files before the server exits 143, 130 or 129.
  base::interrupt::installInterruptHandling(client ? [](int, const std::vector<std::string>&) {}
                                                   : base::interrupt::reportOnStderr);
  // The protocol keeps private copies of the standard input and output; the standard
  // descriptors are then pointed elsewhere so that nothing the engine or a program it starts
  // prints can end up inside the event stream, and nothing it reads can eat a request.
  int in = ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
  int out = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (in < 0 || out < 0) {
    std::perror("quillfold-engine");
    return 1;
  }
  int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (devNull >= 0) {
    ::dup2(devNull, STDIN_FILENO);
    ::close(devNull);
  }
  ::dup2(STDERR_FILENO, STDOUT_FILENO);
  return app::serveEngine(in, out);
}
