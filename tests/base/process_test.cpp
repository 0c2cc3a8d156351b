// Child processes start clean: a process group of their own, the standard streams they are
// given and no other descriptor, no blocked or ignored signal, and the environment asked for.

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "../common/scoped_env.h"
#include "base/process.h"

namespace {

struct ChildRun {
  pid_t pid = -1;
  int error = 0;
  int exitCode = -1;
  std::string output;
};

// Runs `sh -c script` (through PATH) and collects what it writes on its standard output.
ChildRun runShell(const std::string& script, base::SpawnOptions options = {}) {
  ChildRun run;
  int out[2];
  EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
  options.argv = {"sh", "-c", script};
  options.stdoutFd = out[1];
  run.pid = base::spawnProcess(options, run.error);
  ::close(out[1]);
  char buf[4096];
  for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;)
    run.output.append(buf, static_cast<size_t>(n));
  ::close(out[0]);
  int status = 0;
  if (run.pid > 0 && ::waitpid(run.pid, &status, 0) == run.pid && WIFEXITED(status))
    run.exitCode = WEXITSTATUS(status);
  return run;
}

TEST(Process, RunsInAProcessGroupOfItsOwn) {
  ChildRun run = runShell("ps -o pgid= -p $$ | tr -d ' '");
  ASSERT_GT(run.pid, 0);
  EXPECT_EQ(run.output, std::to_string(run.pid) + "\n");
  EXPECT_NE(run.pid, ::getpgrp());
}

TEST(Process, GetsNoDescriptorButTheStandardOnes) {
  const int leaked = ::open("/dev/null", O_RDONLY); // not close-on-exec
  ASSERT_GE(leaked, 3);
  const std::string fd = "/proc/$$/fd/" + std::to_string(leaked);
  ChildRun run = runShell("[ -e " + fd + " ] && echo open || echo closed");
  ::close(leaked);
  EXPECT_EQ(run.output, "closed\n");
}

TEST(Process, StartsWithNoSignalBlockedOrIgnored) {
  struct sigaction ignore {
  }, oldPipe{}, oldTerm{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &oldPipe);
  ::sigaction(SIGTERM, &ignore, &oldTerm);
  sigset_t block, oldMask;
  sigemptyset(&block);
  sigaddset(&block, SIGINT);
  sigaddset(&block, SIGUSR1);
  ::pthread_sigmask(SIG_BLOCK, &block, &oldMask);
  ChildRun run = runShell("grep -E '^Sig(Blk|Ign)' /proc/$$/status | cut -f2 | tr '\\n' ' '");
  ::pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
  ::sigaction(SIGPIPE, &oldPipe, nullptr);
  ::sigaction(SIGTERM, &oldTerm, nullptr);
  unsigned long long blocked = ~0ull, ignored = ~0ull;
  ASSERT_EQ(std::sscanf(run.output.c_str(), "%llx %llx", &blocked, &ignored), 2) << run.output;
  EXPECT_EQ(blocked, 0u);
  for (int sig : {SIGPIPE, SIGTERM})
    EXPECT_EQ(ignored & (1ull << (sig - 1)), 0u) << sig;
}

TEST(Process, TheEnvironmentIsTheParentsWithTheChangesAskedFor) {
  qftest::ScopedEnv kept("QF_BASE_KEPT", "kept"), set("QF_BASE_SET", "old"),
      gone("QF_BASE_GONE", "gone");
  base::SpawnOptions options;
  options.setEnv = {"QF_BASE_SET=new=value", "QF_BASE_NEW="};
  options.unsetEnv = {"QF_BASE_GONE"};
  ChildRun run = runShell("env | grep '^QF_BASE_' | sort | tr '\\n' ' '", options);
  EXPECT_EQ(run.output, "QF_BASE_KEPT=kept QF_BASE_NEW= QF_BASE_SET=new=value ");
}

TEST(Process, StandardStreamsGoWhereTheyAreSent) {
  char folder[] = "/tmp/qf-process-XXXXXX";
  ASSERT_NE(::mkdtemp(folder), nullptr);
  const std::string log = std::string(folder) + "/log";
  base::SpawnOptions options;
  options.argv = {"/bin/sh", "-c", "echo out; echo err >&2; cat; echo end"};
  options.stdinPath = "/dev/null"; // cat ends at once
  options.stdoutPath = log;
  options.stderrToStdout = true;
  int error = 0;
  const pid_t pid = base::spawnProcess(options, error);
  ASSERT_GT(pid, 0) << error;
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  std::string text;
  if (FILE* f = std::fopen(log.c_str(), "r")) {
    char buf[256];
    text.assign(buf, std::fread(buf, 1, sizeof buf, f));
    std::fclose(f);
  }
  struct stat st {};
  ASSERT_EQ(::stat(log.c_str(), &st), 0);
  std::system(("rm -rf " + std::string(folder)).c_str());
  EXPECT_EQ(text, "out\nerr\nend\n");
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(Process, AProgramThatCannotStartSaysWhy) {
  const struct {
    const char* program;
    int error;
  } cases[] = {
      {"/nonexistent/program", ENOENT},
      {"no-such-program-on-the-path", ENOENT},
      {"/dev/null", EACCES},
  };
  for (const auto& c : cases) {
    base::SpawnOptions options;
    options.argv = {c.program};
    int error = 0;
    EXPECT_EQ(base::spawnProcess(options, error), -1) << c.program;
    EXPECT_EQ(error, c.error) << c.program;
  }
  int error = 0;
  EXPECT_EQ(base::spawnProcess(base::SpawnOptions{}, error), -1);
  EXPECT_EQ(error, EINVAL);
}

TEST(Process, AnExitStatusComesBack) {
  EXPECT_EQ(runShell("exit 7").exitCode, 7);
}

} // namespace
