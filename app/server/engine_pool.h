#pragma once
// Several engine servers over one batch. The documents are dealt out a unit at a time: a server
// that ends its unit takes the next one, so one slow document does not idle the others. The
// caller sees the events as one server would give them: in document order (each document's
// events are held until the documents before it are through), numbered through the whole
// batch, then what the servers reported at the end of their parts in document order, one
// notice about the fonts that stand in for the whole batch, and one Message "101".
//
// Units:
//  - documents whose outputs have the same name (ASCII case aside) go together, in batch order,
//    so that the later output replaces the earlier one and says so, as with one server;
//  - documents that go through LibreOffice (a legacy source, or a legacy output such as the .doc
//    of a .txt) go in chunks: each chunk pays LibreOffice's start-up three times (converting in,
//    exporting, reading back), far more than the work of a document, so a chunk holds about
//    their number divided by the servers (at most 50, one LibreOffice start's worth), and the
//    chunks are dealt out first;
//  - the other documents go in units that shrink as the batch goes on (a unit costs its server
//    the setup of a batch): the first holds 1/(4 × servers) of them, each next one as much of
//    those left, the last ones a single document each.
// With one server the whole batch is one unit, exactly what one EngineClient does. Every server
// of a batch in parts is told all of its files, so that no output replaces a source of another
// part. A server that crashes costs the document it was on (EngineClient's recovery).
//
// Like EngineClient the pool runs without threads: a window watches fd() and calls
// processInput(); a command-line program calls waitForBatch().

#include <chrono>
#include <cstddef>
#include <functional>
#include <future>
#include <memory>
#include <set>
#include <string>
#include <sys/types.h>
#include <vector>

#include "app/server/engine_client.h"
#include "word/fonts.h"

namespace app {

class EnginePool {
public:
  // The number of servers when none is asked for: the processor's cores, at least 1.
  static std::size_t defaultJobs();

  // The units `batch` is dealt out in with `servers` servers: indices into batch.files, each
  // unit in batch order, in the order they are handed out.
  static std::vector<std::vector<std::size_t>> planUnits(const EngineBatch& batch,
                                                         std::size_t servers);

  // `serverProgram`: path of quillfold-engine. `jobs`: the most servers a batch runs on (at
  // least 1). `marker`: as for EngineClient, the first server's; the others get it with "-2",
  // "-3"… appended. Empty: new markers.
  EnginePool(std::string serverProgram, EngineCallbacks callbacks, std::size_t jobs = defaultJobs(),
             std::string marker = {});
  ~EnginePool(); // stops the servers
  EnginePool(const EnginePool&) = delete;
  EnginePool& operator=(const EnginePool&) = delete;

  std::size_t jobs() const { return slots_.size(); }
  // Starts every server that does not run. False, with the first reason, when none runs.
  bool start(std::string& error);
  // As EngineClient::setProgramResolver, for every server.
  void setProgramResolver(std::function<std::string()> resolve);

  // True from beginBatch() until batchEnded has been called.
  bool busy() const { return busy_; }
  // Deals the batch out to up to jobs() servers (no more than it has units), starting them as
  // needed. Returns at once; the events follow through processInput(). False, with `error`,
  // when no server could take it (nothing then runs) or a batch is running.
  bool beginBatch(const EngineBatch& batch, std::string& error);

  // One descriptor for all servers, readable when one of them has something to say; it does
  // not change. `watcher` is told it at once.
  int fd() const { return epoll_; }
  void setFdWatcher(std::function<void(int fd)> watcher);
  // Reads what the servers have sent and delivers what is due. Never blocks; safe to call
  // from inside a callback (what it reads then waits for the outer call).
  void processInput();
  // Blocks until the running batch has ended, delivering its events.
  void waitForBatch();
  // Ends every server (EngineClient::stop) and forgets the running batch without further
  // events.
  void stop(std::chrono::milliseconds grace = std::chrono::milliseconds(2000));

  // The servers' process ids, -1 for one that does not run.
  std::vector<pid_t> serverPids() const;
  // The markers of the servers' processes.
  std::vector<std::string> markers() const;

private:
  // An event as the caller will get it.
  struct Event {
    bool error = false;
    std::string msgId, msg, cur, all, name; // Message
    int32_t errId = 0;                      // Error
    std::string errMsg;
  };
  struct Slot {
    std::unique_ptr<EngineClient> client;
    int fd = -1;         // its descriptor in the epoll set
    long unit = -1;      // the unit it runs, -1 when idle
    bool broken = false; // could not take a unit in this batch
  };

  bool startServers(std::size_t count, std::string& error);
  void watch(std::size_t slot, int fd);
  void onMessage(std::size_t slot, const std::string& msgId, const std::string& msg,
                 const std::string& cur, const std::string& all, const std::string& name);
  void onError(std::size_t slot, int32_t errId, const std::string& errMsg);
  void onUnitEnded(std::size_t slot);
  // The document of a server's local number within its unit, or -1.
  long documentOf(std::size_t slot, long long local) const;
  void keep(std::size_t document, Event event);
  void assignUnits();
  void deliver();
  void tell(const Event& event);
  void buildEnd();
  void endBatch();

  EngineCallbacks callbacks_;
  std::vector<Slot> slots_;
  int epoll_ = -1;
  std::function<void(int)> watcher_;

  // The running batch.
  bool busy_ = false;
  unsigned generation_ = 0; // changes when a batch ends or is stopped
  EngineBatch batch_;
  std::vector<std::vector<std::size_t>> units_;
  std::vector<std::size_t> queue_; // units not handed out yet, next first
  std::size_t queued_ = 0;         // index of the next one in queue_
  std::size_t unitsEnded_ = 0;
  std::vector<std::vector<Event>> held_; // each document's events not delivered yet
  std::vector<bool> ended_;              // its Message "100" has arrived
  std::size_t next_ = 0;                 // the document whose events are being delivered
  std::size_t nextEvent_ = 0;            // the next of its held events
  std::vector<std::pair<std::size_t, Event>> tailMessages_, tailErrors_;
  std::vector<Event> batchEvents_; // about no document of the batch
  std::set<std::string> fonts_;
  std::future<std::unique_ptr<word::FontMatcher>> fontMatcher_; // built as the batch begins
  bool batchEndSeen_ = false;                                   // a server's Message "101" arrived
  bool batchEndCounted_ = false; // one of them counted documents (else "0", as for a bad mode)
  std::string batchEndText_;
  std::string lastStartError_;
  bool delivering_ = false;
  bool endBuilt_ = false;
  std::vector<Event> end_;
  std::size_t endNext_ = 0;
};

} // namespace app
