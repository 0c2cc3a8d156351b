#include "app/server/engine_client.h"
#include "base/number.h"

#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstring>
#include <optional>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "app/server/process_sweep.h"
#include "app/server/protocol.h"
#include "base/interrupt.h"
#include "base/messages.h"
#include "base/process.h"
#include "base/system_error.h"

namespace app {

namespace {

using protocol::Event;
using protocol::Request;
using Clock = std::chrono::steady_clock;

std::string errnoText(int error) {
  return msg::systemError(error);
}

// Waits for the child to end, up to `limit`; true when it has ended (and was reaped). With the
// child's process descriptor the wait sleeps until it ends; without one it looks every 5 ms.
bool reap(pid_t pid, int& status, std::chrono::milliseconds limit, int pidFd = -1) {
  auto deadline = Clock::now() + limit;
  for (;;) {
    pid_t got = ::waitpid(pid, &status, WNOHANG);
    if (got == pid)
      return true;
    if (got < 0 && errno != EINTR)
      return true; // not our child any more: nothing left to wait for
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0)
      return false;
    if (pidFd >= 0) {
      pollfd p{pidFd, POLLIN, 0};
      ::poll(&p, 1, static_cast<int>(left.count()));
    } else {
      std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(5)));
    }
  }
}

bool isExecutableFile(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

} // namespace

std::string findEngineServer(const std::vector<std::filesystem::path>& folders,
                             std::string_view pathVariable) {
  constexpr const char* kProgram = "quillfold-engine";
  for (const auto& folder : folders)
    if (!folder.empty() && isExecutableFile(folder / kProgram))
      return (folder / kProgram).string();
  std::size_t from = 0;
  while (from <= pathVariable.size()) {
    std::size_t colon = pathVariable.find(':', from);
    std::string_view folder = pathVariable.substr(
        from, colon == std::string_view::npos ? std::string_view::npos : colon - from);
    if (!folder.empty() && folder.front() == '/' &&
        isExecutableFile(std::filesystem::path(folder) / kProgram))
      return (std::filesystem::path(folder) / kProgram).string();
    if (colon == std::string_view::npos)
      break;
    from = colon + 1;
  }
  return {};
}

EngineClient::EngineClient(std::string serverProgram, EngineCallbacks callbacks, std::string marker)
    : program_(std::move(serverProgram)), callbacks_(std::move(callbacks)),
      marker_(marker.empty() ? newMarker("QUILLFOLD_ENGINE") : std::move(marker)) {}

EngineClient::~EngineClient() {
  stop(std::chrono::milliseconds(2000));
}

void EngineClient::setFdWatcher(std::function<void(int)> watcher) {
  watcher_ = std::move(watcher);
  if (watcher_)
    watcher_(eof_ ? -1 : watchFd_);
}

void EngineClient::setWatched(int fd) {
  watchFd_ = fd;
  if (watcher_)
    watcher_(fd);
}

bool EngineClient::serverExited() const {
  if (pidFd_ < 0)
    return false;
  pollfd p{pidFd_, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0;
}

bool EngineClient::reapIfExited() {
  siginfo_t info{};
  if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0 ||
      info.si_pid != pid_)
    return false;
  // Forgotten before it is reaped: its number may be given to another process after.
  base::interrupt::forgetGroup(pid_);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  exitStatus_ = status;
  exited_ = true;
  pid_ = -1;
  return true;
}

bool EngineClient::start(std::string& error, std::chrono::milliseconds timeout) {
  return launch(error) && awaitReady(error, timeout);
}

bool EngineClient::launch(std::string& error) {
  if (pid_ > 0) {
    // A server that ended while idle is noticed here, before a batch is handed to it.
    if (!reapIfExited())
      return true;
    closeServer(false);
  }
  if (resolve_)
    program_ = resolve_();
  int sv[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sv) != 0) {
    error = msg::text(msg::kClientNoConnection, errnoText(errno));
    return false;
  }

  // In a process group of its own (base::spawnProcess): a Ctrl+C in the terminal that started
  // the window reaches the window, which then ends the server in order.
  // Registered with the interrupt handling for as long as it runs: a program interrupted while
  // it waits for the server ends the server, which ends its LibreOffice and removes its partial
  // files. The server reports nothing of its own then (--client): the caller reports.
  base::SpawnOptions spawn;
  spawn.argv = {program_, "--client"};
  spawn.stdinFd = sv[1];
  spawn.stdoutFd = sv[1];
  spawn.setEnv = {marker_};
  int rc = 0;
  const pid_t pid = base::interrupt::startGroup([&] { return base::spawnProcess(spawn, rc); });
  ::close(sv[1]);
  if (rc != 0) {
    ::close(sv[0]);
    error = msg::text(msg::kClientCannotStart, program_, errnoText(rc));
    return false;
  }
  pid_ = pid;
  fd_ = sv[0];
  announced_ = false;
  helpersMayRun_ = true;
  input_.clear();
  eof_ = false;
  exited_ = false;
  // The end of the socket alone does not tell that the server has died: a program it started
  // may hold its end. A process descriptor does, and one epoll set gives the caller a single
  // descriptor to watch for both.
  pidFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  int set = ::epoll_create1(EPOLL_CLOEXEC);
  if (set >= 0) {
    epoll_event in{};
    in.events = EPOLLIN;
    in.data.fd = fd_;
    ::epoll_ctl(set, EPOLL_CTL_ADD, fd_, &in);
    if (pidFd_ >= 0) {
      epoll_event exited{};
      exited.events = EPOLLIN;
      exited.data.fd = pidFd_;
      ::epoll_ctl(set, EPOLL_CTL_ADD, pidFd_, &exited);
    }
  }
  readySet_ = set;
  return true;
}

bool EngineClient::awaitReady(std::string& error, std::chrono::milliseconds timeout) {
  if (pid_ <= 0) {
    error = msg::text(msg::kClientExitedAtStart, program_, describeExit());
    return false;
  }
  if (announced_)
    return true;
  const int set = readySet_;
  readySet_ = -1;
  int watched = set >= 0 ? set : fd_;
  // The server announces itself before it reads anything.
  auto deadline = Clock::now() + timeout;
  for (;;) {
    std::size_t nl = input_.find('\n');
    if (nl != std::string::npos) {
      std::string line = input_.substr(0, nl);
      input_.erase(0, nl + 1);
      std::string why;
      std::optional<Event> e = protocol::decodeEvent(line, why);
      if (e && e->kind == Event::Kind::Ready && e->version == protocol::kVersion)
        break;
      error = msg::text(msg::kClientNotTheEngine, program_);
      if (set >= 0)
        ::close(set);
      closeServer(true);
      return false;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0 || eof_) {
      bool ended = eof_;
      if (set >= 0)
        ::close(set);
      closeServer(true);
      error = ended ? msg::text(msg::kClientExitedAtStart, program_, describeExit())
                    : msg::text(msg::kClientNoAnswer, program_);
      return false;
    }
    pollfd p{watched, POLLIN, 0};
    int n = ::poll(&p, 1, static_cast<int>(left.count()));
    if (n < 0 && errno != EINTR) {
      error = msg::text(msg::kClientCannotRead, errnoText(errno));
      if (set >= 0)
        ::close(set);
      closeServer(true);
      return false;
    }
    if (n > 0)
      readAvailable();
  }
  announced_ = true;
  setWatched(watched);
  return true;
}

void EngineClient::readAvailable() {
  if (fd_ < 0 || eof_)
    return;
  char chunk[65536];
  for (;;) {
    ssize_t n = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n > 0) {
      input_.append(chunk, static_cast<std::size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // Nothing more to read: if the server has ended, all it wrote has been read.
      if (!serverExited())
        return;
    }
    // End of input (or a broken connection): the server has gone. Stop watching at once, so
    // that an event loop does not keep reporting the closed socket as readable.
    eof_ = true;
    if (watcher_)
      watcher_(-1);
    return;
  }
}

bool EngineClient::sendAll(const std::string& bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    ssize_t n = ::send(fd_, p, left, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd w{fd_, POLLOUT, 0};
      ::poll(&w, 1, 1000);
      continue;
    }
    if (n <= 0)
      return false;
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

bool EngineClient::sendBatch(const std::vector<std::string>& files) {
  std::string bytes;
  auto set = [&](const std::string& name, const std::string& value) {
    Request r;
    r.op = Request::Op::Set;
    r.name = name;
    r.value = value;
    bytes += protocol::encode(r);
  };
  for (const auto& [name, value] : batch_.properties)
    set(name, value);
  std::string joined;
  for (std::size_t i = 0; i < files.size(); ++i)
    joined += (i ? "," : "") + files[i];
  set("DocPath", batch_.docPath);
  set("DocFileName", joined);
  set("DocOutLocation", batch_.outFolder);
  Request names;
  names.op = Request::Op::SetFiles;
  names.names = files;
  bytes += protocol::encode(names);
  if (!batch_.wholeBatch.empty()) {
    Request whole;
    whole.op = Request::Op::SetWholeBatch;
    whole.names = batch_.wholeBatch;
    bytes += protocol::encode(whole);
  }
  Request main;
  main.op = Request::Op::Main;
  main.mode = batch_.runMode;
  bytes += protocol::encode(main);
  return sendAll(bytes);
}

bool EngineClient::beginBatch(const EngineBatch& batch, std::string& error) {
  if (busy_) {
    error = msg::kClientBusy;
    return false;
  }
  if (pid_ > 0) {
    // Notice a server that died while idle, so that its death is not blamed on this batch.
    readAvailable();
    if (eof_)
      closeServer(false);
  }
  if (!start(error))
    return false;
  batch_ = batch;
  offset_ = 0;
  current_ = 0;
  finished_ = 0;
  batchMessageEnded_ = false;
  busy_ = true;
  // A failed send means the server died on the way; its end of input reports that.
  sendBatch(batch_.files);
  return true;
}

void EngineClient::processInput() {
  readAvailable();
  if (dispatching_)
    return;
  dispatching_ = true;
  // Callbacks may run event loops of their own (a message box) that call this again; what
  // such a nested call reads is delivered here, so the loop runs until nothing is left.
  for (;;) {
    std::size_t nl = input_.find('\n');
    if (nl != std::string::npos) {
      std::string line = input_.substr(0, nl);
      input_.erase(0, nl + 1);
      dispatch(line);
      if (pid_ <= 0)
        input_.clear(); // stopped from a callback: the rest belongs to a server that is gone
      continue;
    }
    if (eof_ && pid_ > 0) {
      serverGone();
      continue;
    }
    break;
  }
  dispatching_ = false;
}

void EngineClient::dispatch(const std::string& line) {
  std::string why;
  std::optional<Event> e = protocol::decodeEvent(line, why);
  if (!e || !busy_)
    return;
  const std::size_t total = batch_.files.size();
  switch (e->kind) {
  case Event::Kind::Message: {
    std::optional<long long> cur = base::parseWholeNumber(e->curDocNum);
    if (e->msgId == "0") {
      current_ = cur && *cur > 0 ? static_cast<std::size_t>(*cur) : finished_ + 1;
    } else if (e->msgId == "100") {
      finished_ = cur && *cur > 0 ? static_cast<std::size_t>(*cur) : finished_ + 1;
      current_ = 0;
    } else if (e->msgId == "101") {
      batchMessageEnded_ = true;
    }
    std::string curText = e->curDocNum, allText = e->allDocNum;
    if (offset_ > 0) {
      // A restarted server counts its own part of the batch; the caller sees the whole.
      if (cur)
        curText = std::to_string(*cur + static_cast<long long>(offset_));
      if (base::parseWholeNumber(e->allDocNum))
        allText = std::to_string(total);
    }
    if (callbacks_.message)
      callbacks_.message(e->msgId, e->msg, curText, allText, e->docName);
    break;
  }
  case Event::Kind::Error:
    if (callbacks_.error)
      callbacks_.error(offset_ > 0 && e->errId > 0 ? e->errId + static_cast<int32_t>(offset_)
                                                   : e->errId,
                       e->errMsg);
    break;
  case Event::Kind::Written:
    if (callbacks_.written)
      callbacks_.written(e->path);
    break;
  case Event::Kind::MainDone:
    if (callbacks_.fontsUsed && !e->skipped)
      callbacks_.fontsUsed(e->fonts);
    endBatch();
    break;
  default:
    break;
  }
}

void EngineClient::endBatch() {
  busy_ = false;
  batch_ = EngineBatch{};
  offset_ = current_ = finished_ = 0;
  if (callbacks_.batchEnded)
    callbacks_.batchEnded();
}

std::string EngineClient::describeExit() const {
  if (!exited_)
    return msg::kClientExitUnknown;
  if (WIFSIGNALED(exitStatus_)) {
    int sig = WTERMSIG(exitStatus_);
    const char* name = ::sigabbrev_np(sig);
    return msg::text(msg::kClientKilledBySignal, sig, name ? std::string(" SIG") + name : "");
  }
  if (WIFEXITED(exitStatus_))
    return msg::text(msg::kClientExitCode, WEXITSTATUS(exitStatus_));
  return msg::kClientExitUnknown;
}

void EngineClient::closeServer(bool kill) {
  if (readySet_ >= 0) {
    ::close(readySet_);
    readySet_ = -1;
  }
  if (watchFd_ >= 0 && watchFd_ != fd_)
    ::close(watchFd_);
  if (watchFd_ >= 0 || fd_ >= 0)
    setWatched(-1);
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (pid_ > 0) {
    // Forgotten before it is reaped: its number may be given to another process after.
    base::interrupt::forgetGroup(pid_);
    int status = 0;
    bool ended = false;
    if (!kill)
      ended = reap(pid_, status, std::chrono::milliseconds(2000), pidFd_);
    if (!ended) {
      ::kill(pid_, SIGTERM);
      ended = reap(pid_, status, std::chrono::milliseconds(1000), pidFd_);
      if (!ended) {
        ::kill(pid_, SIGKILL);
        ended = reap(pid_, status, std::chrono::milliseconds(5000), pidFd_);
      }
    }
    if (ended) {
      exitStatus_ = status;
      exited_ = true;
    }
    pid_ = -1;
  }
  if (pidFd_ >= 0) {
    ::close(pidFd_);
    pidFd_ = -1;
  }
  input_.clear();
  eof_ = false;
  quitSent_ = false;
  // Whatever the server had started (LibreOffice) goes with it. Once swept after the server has
  // ended, nothing carries the marker any more: a later close has nothing to look for.
  if (helpersMayRun_) {
    endMarkedProcesses(marker_);
    helpersMayRun_ = false;
  }
}

void EngineClient::serverGone() {
  closeServer(false);
  if (!busy_)
    return; // died while idle: the next batch starts a new server
  const std::size_t total = batch_.files.size();
  const std::size_t part = total - offset_;
  // The document being processed is the one whose "0" came last; with none open, the next
  // one that had not ended (the server died between documents or before the first).
  std::size_t failed = current_ > 0 ? current_ : finished_ + 1;
  auto message = [&](const std::string& id, const std::string& msg, std::size_t cur,
                     const std::string& name) {
    if (callbacks_.message)
      callbacks_.message(id, msg, std::to_string(cur), std::to_string(total), name);
  };
  if (failed > part) {
    if (!batchMessageEnded_) {
      if (callbacks_.error)
        callbacks_.error(0, msg::text(msg::kClientDiedAtBatchEnd, describeExit()));
      message("101", msg::kEventBatchDone, total, "");
    }
    endBatch();
    return;
  }
  const std::size_t num = offset_ + failed;
  const std::string& path = batch_.files[num - 1];
  std::string name =
      path.substr(path.find_last_of('/') == std::string::npos ? 0 : path.find_last_of('/') + 1);
  if (callbacks_.error)
    callbacks_.error(static_cast<int32_t>(num),
                     msg::text(msg::kClientDiedOnDocument, name, describeExit()));
  message("100", msg::text(msg::kEventFailed, name), num, name);
  offset_ = num;
  current_ = 0;
  finished_ = 0;
  if (offset_ >= total) {
    message("101", msg::kEventBatchDone, total, "");
    endBatch();
    return;
  }
  std::string error;
  if (!start(error)) {
    if (callbacks_.error)
      callbacks_.error(0, msg::text(msg::kClientRestUndone, error, total - offset_));
    message("101", msg::kEventBatchDone, total, "");
    endBatch();
    return;
  }
  std::vector<std::string> rest(batch_.files.begin() + static_cast<std::ptrdiff_t>(offset_),
                                batch_.files.end());
  sendBatch(rest);
}

void EngineClient::waitForBatch() {
  while (busy_ && watchFd_ >= 0) {
    pollfd p{watchFd_, POLLIN, 0};
    int n = ::poll(&p, 1, -1);
    if (n < 0 && errno != EINTR)
      break;
    processInput();
  }
}

void EngineClient::askToQuit() {
  if (pid_ > 0 && fd_ >= 0 && !busy_ && !quitSent_) {
    Request quit;
    quit.op = Request::Op::Quit;
    quitSent_ = sendAll(protocol::encode(quit));
  }
}

void EngineClient::stop(std::chrono::milliseconds grace) {
  askToQuit();
  if (pid_ > 0 && quitSent_) {
    base::interrupt::forgetGroup(pid_);
    int status = 0;
    if (reap(pid_, status, grace, pidFd_)) {
      exitStatus_ = status;
      exited_ = true;
      pid_ = -1;
    }
  }
  busy_ = false;
  closeServer(true);
}

} // namespace app
