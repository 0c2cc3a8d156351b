#include "base/process.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <fstream>
#include <string>

extern char** environ;

namespace base {

namespace {

// The name of a "NAME=value" entry, with its '='.
std::string_view entryName(std::string_view entry) {
  const std::size_t eq = entry.find('=');
  return entry.substr(0, eq == std::string_view::npos ? entry.size() : eq + 1);
}

std::vector<std::string> childEnvironment(const SpawnOptions& options) {
  std::vector<std::string> names;
  for (const std::string& e : options.setEnv)
    names.emplace_back(entryName(e));
  for (const std::string& n : options.unsetEnv)
    names.push_back(n + "=");
  std::vector<std::string> env;
  for (char** e = environ; e && *e; ++e) {
    bool replaced = false;
    for (const std::string& n : names)
      replaced = replaced || std::strncmp(*e, n.c_str(), n.size()) == 0;
    if (!replaced)
      env.emplace_back(*e);
  }
  env.insert(env.end(), options.setEnv.begin(), options.setEnv.end());
  return env;
}

} // namespace

pid_t spawnProcess(const SpawnOptions& options, int& error) {
  error = 0;
  if (options.argv.empty()) {
    error = EINVAL;
    return -1;
  }
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attr;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attr);
  if (!options.stdinPath.empty())
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, options.stdinPath.c_str(), O_RDONLY,
                                     0);
  else if (options.stdinFd >= 0)
    posix_spawn_file_actions_adddup2(&actions, options.stdinFd, STDIN_FILENO);
  if (!options.stdoutPath.empty())
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, options.stdoutPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
  else if (options.stdoutFd >= 0)
    posix_spawn_file_actions_adddup2(&actions, options.stdoutFd, STDOUT_FILENO);
  if (options.stderrToStdout)
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  sigset_t mask, defaults;
  sigemptyset(&mask);
  sigemptyset(&defaults);
  for (int sig : {SIGPIPE, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGCHLD, SIGUSR1, SIGUSR2})
    sigaddset(&defaults, sig);
  posix_spawnattr_setsigmask(&attr, &mask);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

  std::vector<std::string> envStrings = childEnvironment(options);
  std::vector<char*> env;
  for (std::string& e : envStrings)
    env.push_back(e.data());
  env.push_back(nullptr);
  std::vector<std::string> argStrings = options.argv;
  std::vector<char*> args;
  for (std::string& a : argStrings)
    args.push_back(a.data());
  args.push_back(nullptr);

  const std::string& program = options.argv[0];
  pid_t pid = -1;
  const int rc =
      program.find('/') == std::string::npos
          ? ::posix_spawnp(&pid, program.c_str(), &actions, &attr, args.data(), env.data())
          : ::posix_spawn(&pid, program.c_str(), &actions, &attr, args.data(), env.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    error = rc;
    return -1;
  }
  return pid;
}

mode_t fileCreationMask() {
  static const mode_t mask = [] {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind("Umask:", 0) == 0)
        return static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
    return static_cast<mode_t>(022);
  }();
  return mask;
}

} // namespace base
