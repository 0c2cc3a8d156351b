#pragma once
// What an interrupted process must undo, and the handling of SIGINT, SIGTERM and SIGHUP.
//
// Code that leaves something behind while it works - a partial file in an output folder, a
// child process group (LibreOffice runs in a group of its own, so a terminal's Ctrl+C never
// reaches it) - registers it here for as long as it exists. A program that calls
// installInterruptHandling() at the start of main() then, on one of those signals, ends the
// registered process groups, removes the registered files and its private temporary folder
// (every temporary folder of the process lies inside it, through TMPDIR), reports what was
// finished, and exits with 128 + the signal number (130, 143, 129).
//
// Registration and the cleanup share one lock, and the cleanup keeps it until the process has
// ended: a file is either registered before it exists, or the process ends before it is made.
// Header-only: word/, engine/ and app/ share the one registry through registry()'s static.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/messages.h"
#include "base/temp_folder.h"

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace base::interrupt {

struct Registry {
  std::mutex lock;
  std::set<std::string> files; // partial files to remove
  std::set<pid_t> groups;      // process groups to end
  std::vector<std::string> finished;
  std::string tempRoot; // the process's private temporary folder ("" when none)
  std::function<void(int signal, const std::vector<std::string>& finished)> report;
};

inline Registry& registry() {
  static Registry* r = new Registry; // never destroyed: the cleanup thread may outlive main()
  return *r;
}

// Runs `make` under the registry's lock and registers the file it returns (when not empty):
// for creating a temporary file so that no interrupt can fall between its creation and its
// registration.
inline std::string createFile(const std::function<std::string()>& make) {
  Registry& r = registry();
  std::lock_guard<std::mutex> hold(r.lock);
  std::string path = make();
  if (!path.empty())
    r.files.insert(path);
  return path;
}

// Runs `finish` (for example the rename that makes a temporary file the output) under the
// lock, then forgets `path`: the file is no longer partial, whatever `finish` returned.
template <typename F> auto settleFile(const std::string& path, F&& finish) {
  Registry& r = registry();
  std::lock_guard<std::mutex> hold(r.lock);
  struct Forget {
    Registry& r;
    const std::string& path;
    ~Forget() { r.files.erase(path); }
  } forget{r, path};
  return finish();
}

inline void forgetFile(const std::string& path) {
  settleFile(path, [] { return 0; });
}

// Starts a child under the lock with `spawn` (which returns its process group id, or <= 0
// when it failed) and registers the group.
inline pid_t startGroup(const std::function<pid_t()>& spawn) {
  Registry& r = registry();
  std::lock_guard<std::mutex> hold(r.lock);
  pid_t group = spawn();
  if (group > 0)
    r.groups.insert(group);
  return group;
}

// Forgets a group; call it before the group's leader is reaped (its id may be reused after).
inline void forgetGroup(pid_t group) {
  Registry& r = registry();
  std::lock_guard<std::mutex> hold(r.lock);
  r.groups.erase(group);
}

// Notes something finished (an output written, a job printed) for the report of an interrupt.
inline void noteFinished(const std::string& what) {
  Registry& r = registry();
  std::lock_guard<std::mutex> hold(r.lock);
  r.finished.push_back(what);
}

// The cleanup itself, with the lock held: ends the groups (SIGTERM, then SIGKILL after a grace
// of up to 3 s, enough for a group that has to end groups of its own first: an engine server
// ending its LibreOffice), removes the partial files and the temporary folder.
inline void cleanUpLocked(Registry& r) {
  for (pid_t g : r.groups)
    ::kill(-g, SIGTERM);
  for (int i = 0; i < 150 && !r.groups.empty(); ++i) {
    bool alive = false;
    for (pid_t g : r.groups) {
      // A leader that has ended stays a member of its group until it is reaped: reap our own
      // (the process ends right after the cleanup, nothing else waits for them).
      int status = 0;
      ::waitpid(g, &status, WNOHANG);
      alive = alive || ::kill(-g, 0) == 0;
    }
    if (!alive)
      break;
    ::usleep(20000);
  }
  for (pid_t g : r.groups)
    ::kill(-g, SIGKILL);
  for (const std::string& f : r.files)
    ::unlink(f.c_str());
  // A thread of this process may be making a folder there at this moment (the lock covers
  // starting children, not making their folders); it stops at its next start of a child, so a
  // later pass finds everything.
  for (int pass = 0; pass < 5 && !r.tempRoot.empty(); ++pass) {
    std::error_code ec;
    std::filesystem::remove_all(r.tempRoot, ec);
    if (!std::filesystem::exists(r.tempRoot, ec) && !ec)
      break;
    ::usleep(20000);
  }
}

// Removes the private temporary folder at a normal end of the process.
inline void removeTempRoot() {
  Registry& r = registry();
  std::lock_guard<std::mutex> hold(r.lock);
  if (!r.tempRoot.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(r.tempRoot, ec);
    r.tempRoot.clear();
  }
}

// Installs the handling: call once at the start of main(), before any thread is started (the
// three signals are blocked in every thread and taken by a thread of their own). Makes the
// private temporary folder and points TMPDIR at it; removes it again at exit(). `report` is
// called on an interrupt with the signal and what was finished, before the process ends.
inline void installInterruptHandling(
    std::function<void(int signal, const std::vector<std::string>& finished)> report) {
  Registry& r = registry();
  {
    std::lock_guard<std::mutex> hold(r.lock);
    r.report = std::move(report);
    std::string root = makeTempFolder("quillfold-" + std::to_string(::getpid()));
    if (!root.empty()) {
      r.tempRoot = root;
      ::setenv("TMPDIR", root.c_str(), 1);
      std::atexit(removeTempRoot);
    }
  }
  sigset_t set;
  sigemptyset(&set);
  for (int sig : {SIGINT, SIGTERM, SIGHUP})
    sigaddset(&set, sig);
  ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
  std::thread([set] {
    int sig = 0;
    while (::sigwait(&set, &sig) != 0) {
    }
    Registry& reg = registry();
    reg.lock.lock(); // kept until the process ends
    cleanUpLocked(reg);
    if (reg.report)
      reg.report(sig, reg.finished);
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(128 + sig);
  }).detach();
}

// The usual report of an interrupt, on the standard error: the signal, what was finished (the
// outputs written, complete), and that nothing partial was left.
inline void reportOnStderr(int signal, const std::vector<std::string>& finished) {
  std::string text = msg::text(msg::kInterrupted,
                               signal == SIGINT    ? "SIGINT"
                               : signal == SIGTERM ? "SIGTERM"
                               : signal == SIGHUP  ? "SIGHUP"
                                                   : "?",
                               finished.size());
  for (const std::string& f : finished)
    text += msg::text(msg::kInterruptedFinished, f);
  text += msg::kInterruptedCleaned;
  text += "\n";
  (void)!::write(STDERR_FILENO, text.data(), text.size());
}

} // namespace base::interrupt
