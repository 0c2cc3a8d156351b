#include "app/server/process_sweep.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace app {

namespace {

std::string randomToken() {
  std::random_device device;
  std::uniform_int_distribution<unsigned> digit(0, 15);
  std::string token;
  for (int i = 0; i < 16; ++i)
    token += "0123456789abcdef"[digit(device)];
  return token;
}

// The whole of a small /proc file ("" when it cannot be read).
std::string readProcFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return {};
  std::string bytes;
  char chunk[8192];
  for (;;) {
    ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    bytes.append(chunk, static_cast<std::size_t>(n));
    if (bytes.size() > (4u << 20))
      break;
  }
  ::close(fd);
  return bytes;
}

// Whether the environment holds `marker`; nullopt while it cannot be told: a process that is
// in the middle of exec (the parent of a vfork-style spawn has already gone on) shows an empty
// environment until its new program's is set up.
std::optional<bool> markerState(pid_t pid, const std::string& marker) {
  std::string env = readProcFile("/proc/" + std::to_string(pid) + "/environ");
  // A program started with no environment at all still has its arguments; one in exec has
  // neither yet.
  if (env.empty())
    return readProcFile("/proc/" + std::to_string(pid) + "/cmdline").empty()
               ? std::nullopt
               : std::optional<bool>(false);
  std::size_t at = 0;
  while (at < env.size()) {
    std::size_t end = env.find('\0', at);
    if (end == std::string::npos)
      end = env.size();
    if (env.compare(at, end - at, marker) == 0)
      return true;
    at = end + 1;
  }
  return false;
}

bool hasMarker(pid_t pid, const std::string& marker) {
  return markerState(pid, marker).value_or(false);
}

// True while the process exists and has not ended (a zombie has ended). Kernel threads count
// as not running: they have no environment, and when this program runs as root they are its
// user's too.
bool running(pid_t pid) {
  std::string stat = readProcFile("/proc/" + std::to_string(pid) + "/stat");
  std::size_t close = stat.rfind(')');
  if (close == std::string::npos || close + 2 >= stat.size())
    return false;
  char state = stat[close + 2];
  if (state == 'Z' || state == 'X')
    return false;
  // After the state: ppid, pgrp, session, tty_nr, tpgid, then the flags.
  std::size_t at = close + 2;
  for (int field = 0; field < 6 && at != std::string::npos; ++field)
    at = stat.find(' ', at + 1);
  if (at == std::string::npos)
    return true;
  constexpr unsigned long kKernelThread = 0x00200000; // PF_KTHREAD
  return (std::strtoul(stat.c_str() + at + 1, nullptr, 10) & kKernelThread) == 0;
}

} // namespace

std::string newMarker(const std::string& name) {
  return name + "=" + std::to_string(::getpid()) + "-" + randomToken();
}

const std::string& ownerMarker() {
  static const std::string marker = [] {
    std::string m = newMarker("QUILLFOLD_OWNER");
    std::size_t eq = m.find('=');
    ::setenv(m.substr(0, eq).c_str(), m.substr(eq + 1).c_str(), 1);
    return m;
  }();
  return marker;
}

std::vector<pid_t> processesWithMarker(const std::string& marker) {
  std::vector<pid_t> found, candidates;
  if (marker.find('=') == std::string::npos)
    return found; // a bare name would match nothing sensible
  DIR* proc = ::opendir("/proc");
  if (!proc)
    return found;
  const pid_t self = ::getpid();
  const uid_t uid = ::getuid();
  while (dirent* entry = ::readdir(proc)) {
    char* end = nullptr;
    long pid = std::strtol(entry->d_name, &end, 10);
    if (pid <= 0 || *end != '\0' || pid == self)
      continue;
    struct stat st {};
    std::string dir = std::string("/proc/") + entry->d_name;
    if (::stat(dir.c_str(), &st) == 0 && st.st_uid == uid)
      candidates.push_back(static_cast<pid_t>(pid));
  }
  ::closedir(proc);
  // A program started just before its parent died may still be in exec: it is looked at again
  // a few times, briefly. One whose environment stays unknown is taken as unmarked.
  for (int round = 0; round <= 10 && !candidates.empty(); ++round) {
    if (round > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::vector<pid_t> unsure;
    for (pid_t pid : candidates) {
      if (!running(pid))
        continue;
      const std::optional<bool> marked = markerState(pid, marker);
      if (!marked)
        unsure.push_back(pid);
      else if (*marked)
        found.push_back(pid);
    }
    candidates = std::move(unsure);
  }
  std::sort(found.begin(), found.end());
  return found;
}

int endMarkedProcesses(const std::string& marker, std::chrono::milliseconds grace) {
  std::vector<pid_t> pids = processesWithMarker(marker);
  // Only a marked process can start another marked one: when none was found, none is left.
  if (pids.empty())
    return 0;
  for (pid_t pid : pids)
    ::kill(pid, SIGTERM);
  auto reapChild = [](pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, WNOHANG); // fails harmlessly for processes that are not our children
  };
  auto deadline = std::chrono::steady_clock::now() + grace;
  for (;;) {
    bool any = false;
    for (pid_t pid : pids) {
      reapChild(pid);
      if (running(pid))
        any = true;
    }
    if (!any || std::chrono::steady_clock::now() >= deadline)
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  for (pid_t pid : pids) {
    // The marker is checked again: the id may have been given to another process meanwhile.
    if (running(pid) && hasMarker(pid, marker))
      ::kill(pid, SIGKILL);
  }
  // New processes may have been started by those that were ending; one more pass for them.
  // A killed process takes a moment to go: wait (bounded) until none is left.
  auto killDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  for (;;) {
    std::vector<pid_t> left = processesWithMarker(marker);
    for (pid_t pid : left) {
      ::kill(pid, SIGKILL);
      reapChild(pid);
    }
    if (left.empty() || std::chrono::steady_clock::now() >= killDeadline)
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  for (pid_t pid : pids)
    reapChild(pid);
  return static_cast<int>(pids.size());
}

} // namespace app
