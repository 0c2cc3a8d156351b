#pragma once
// The caller's side of the engine server: starts quillfold-engine, hands it the settings and
// the documents of a batch, runs Main and delivers the engine's events through callbacks.
//
// The client runs without threads. A window watches fd() for input (a socket notifier) and
// calls processInput(); a command-line program calls waitForBatch(). When the server dies in
// the middle of a batch (a document that crashes the engine), the client reports an Error
// naming the document being processed and a Message "100" for it, ends whatever the dead
// server had started, starts a new server and goes on with the documents after it; the
// numbers of the following Messages still count through the whole batch.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace app {

// The engine server program: quillfold-engine in the first of `folders` that holds it as an
// executable file, else in the first folder of `pathVariable` (a PATH value) that does; empty
// entries and relative folders of PATH are skipped (the program is never taken from wherever
// the caller happens to run). "" when there is none.
std::string findEngineServer(const std::vector<std::filesystem::path>& folders,
                             std::string_view pathVariable);

// What the caller is told; the signatures are those of IQuillfoldEvents.
struct EngineCallbacks {
  std::function<void(const std::string& msgId, const std::string& msg, const std::string& curDocNum,
                     const std::string& allDocNum, const std::string& docName)>
      message;
  std::function<void(int32_t errId, const std::string& errMsg)> error;
  // An output has been written whole (before the Message "100" of its document, or, for one
  // that LibreOffice writes at the end of the batch, before batchEnded).
  std::function<void(const std::string& path)> written;
  // The font names the batch's outputs ask for, once a server's Main has returned (before
  // batchEnded; not called when the server died first).
  std::function<void(const std::vector<std::string>& fonts)> fontsUsed;
  // The batch has ended: Main returned (also when it was skipped), or the client gave up.
  std::function<void()> batchEnded;
};

// One batch: the settings properties (name, value) as the engine receives them, the source
// folder, the bare file names in list order, the output folder and the run mode. When the
// batch is a part of a larger one that other servers run, `wholeBatch` names all of that
// one's files (no output may replace any of their sources); empty otherwise.
struct EngineBatch {
  std::vector<std::pair<std::string, std::string>> properties;
  std::string docPath;
  std::vector<std::string> files;
  std::string outFolder;
  std::string runMode;
  std::vector<std::string> wholeBatch;
};

class EngineClient {
public:
  // `serverProgram`: path of quillfold-engine. `marker`: an environment entry "NAME=token"
  // given to the server and so inherited by every process it starts; the client ends them
  // all by it when the server dies or is stopped. Empty: a new marker.
  EngineClient(std::string serverProgram, EngineCallbacks callbacks, std::string marker = {});
  ~EngineClient(); // stops the server (stop())
  EngineClient(const EngineClient&) = delete;
  EngineClient& operator=(const EngineClient&) = delete;

  // Starts the server unless it runs, and waits (up to `timeout`) for it to announce itself.
  // False, with `error` saying why (a missing program, one that is not the engine server),
  // when it could not be started.
  bool start(std::string& error,
             std::chrono::milliseconds timeout = std::chrono::milliseconds(15000));
  // start() in two halves, so that several servers start at once: launch() starts the program
  // (false, with `error`, when it could not be started) and returns at once; awaitReady() waits
  // for it to announce itself. Both return true at once for a server that already runs.
  bool launch(std::string& error);
  bool awaitReady(std::string& error,
                  std::chrono::milliseconds timeout = std::chrono::milliseconds(15000));
  bool running() const { return pid_ > 0; }
  pid_t serverPid() const { return pid_; }
  const std::string& serverProgram() const { return program_; }
  // Finds the server program again before every start (a program put back after a failed
  // start is then found without restarting the caller); the path it gives replaces the one
  // given to the constructor.
  void setProgramResolver(std::function<std::string()> resolve) { resolve_ = std::move(resolve); }
  const std::string& marker() const { return marker_; }

  // True from beginBatch() until batchEnded has been called.
  bool busy() const { return busy_; }

  // Starts the server if needed, sends the 46 properties, DocPath, DocFileName (the names
  // joined by ","), DocOutLocation and the file list, then calls Main. Returns at once; the
  // events follow through processInput(). False, with `error`, when no server could be
  // started or the batch could not be sent (nothing is then running), or a batch is running.
  bool beginBatch(const EngineBatch& batch, std::string& error);

  // The descriptor to watch for input while the server runs (-1 when it does not): readable
  // when the server has written something or has ended. It changes when the server is
  // restarted; `watcher` is told every change.
  int fd() const { return watchFd_; }
  void setFdWatcher(std::function<void(int fd)> watcher);

  // Reads what the server has sent and delivers it. Call when fd() is readable; never blocks.
  // Safe to call again from inside a callback (the new input waits for the outer call).
  void processInput();

  // Blocks until the running batch has ended, delivering its events (for programs without an
  // event loop). Returns at once when no batch runs.
  void waitForBatch();

  // Ends the server: asks it to quit, waits up to `grace` when it is idle, then kills it and
  // every process carrying the marker. Called by the destructor.
  void stop(std::chrono::milliseconds grace = std::chrono::milliseconds(2000));
  // The first half of stop(): asks an idle server to quit and returns at once, so that several
  // servers end at the same time; stop() then only waits.
  void askToQuit();

private:
  void setWatched(int fd);
  bool serverExited() const;
  bool reapIfExited();
  bool sendAll(const std::string& bytes);
  bool sendBatch(const std::vector<std::string>& files);
  void readAvailable();
  void dispatch(const std::string& line);
  void serverGone();
  void endBatch();
  void closeServer(bool kill);
  std::string describeExit() const;

  std::string program_;
  EngineCallbacks callbacks_;
  std::string marker_;
  std::function<void(int)> watcher_;
  std::function<std::string()> resolve_;

  pid_t pid_ = -1;
  int fd_ = -1;                // the socket to the server
  int pidFd_ = -1;             // readable once the server has ended (also when a program it started
                               // still holds the other end of the socket)
  int watchFd_ = -1;           // an epoll set of both, for the caller to watch
  int readySet_ = -1;          // that set between launch() and awaitReady()
  bool announced_ = false;     // the running server has said it is ready
  bool quitSent_ = false;      // the running server has been asked to quit
  bool helpersMayRun_ = false; // processes with the marker may exist (a server ran since the
                               // last sweep)
  int exitStatus_ = 0;
  bool exited_ = false; // exitStatus_ holds the status of the last server
  std::string input_;
  bool eof_ = false;
  bool dispatching_ = false;

  // The batch that runs.
  bool busy_ = false;
  EngineBatch batch_;
  std::size_t offset_ = 0;   // files sent to earlier servers of this batch (done or failed)
  std::size_t current_ = 0;  // index (in this server's part) of the open document, 1-based; 0 none
  std::size_t finished_ = 0; // documents of this server's part that sent "100"
  bool batchMessageEnded_ = false; // "101" was delivered
};

} // namespace app
