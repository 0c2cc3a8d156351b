// The process sweep finds processes by their exact marker and ends them, and nothing else.

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "app/server/process_sweep.h"
#include "base/process.h"

namespace {

// A child running `argv` with `entry` added to its environment (nothing when empty).
pid_t start(std::vector<std::string> argv, const std::string& entry) {
  base::SpawnOptions spawn;
  spawn.argv = std::move(argv);
  if (!entry.empty())
    spawn.setEnv = {entry};
  int error = 0;
  pid_t pid = base::spawnProcess(spawn, error);
  EXPECT_EQ(error, 0);
  return pid;
}

// A "sleep" child with `entry` added to its environment (nothing when empty).
pid_t sleeper(const std::string& entry, const char* seconds = "30") {
  return start({"/bin/sleep", seconds}, entry);
}

bool ended(pid_t pid) {
  int status = 0;
  for (int i = 0; i < 200; ++i) {
    if (::waitpid(pid, &status, WNOHANG) == pid || ::kill(pid, 0) != 0)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

void reap(pid_t pid) {
  ::kill(pid, SIGKILL);
  int status;
  ::waitpid(pid, &status, 0);
}

TEST(ProcessSweep, FindsExactlyTheMarkedProcesses) {
  std::string marker = app::newMarker("QF_SWEEP_TEST");
  std::string other = app::newMarker("QF_SWEEP_TEST");
  pid_t marked = sleeper(marker);
  pid_t otherMarked = sleeper(other);
  pid_t prefix = sleeper(marker + "0"); // a longer value is another marker
  pid_t plain = sleeper("");
  std::this_thread::sleep_for(std::chrono::milliseconds(50)); // let exec finish
  EXPECT_EQ(app::processesWithMarker(marker), std::vector<pid_t>{marked});
  EXPECT_EQ(app::processesWithMarker(other), std::vector<pid_t>{otherMarked});
  for (pid_t pid : {marked, otherMarked, prefix, plain})
    reap(pid);
}

TEST(ProcessSweep, EndsMarkedProcessesAndSparesTheRest) {
  std::string marker = app::newMarker("QF_SWEEP_TEST");
  pid_t a = sleeper(marker), b = sleeper(marker), plain = sleeper("");
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(app::endMarkedProcesses(marker), 2);
  EXPECT_TRUE(ended(a));
  EXPECT_TRUE(ended(b));
  EXPECT_EQ(::kill(plain, 0), 0);
  EXPECT_TRUE(app::processesWithMarker(marker).empty());
  EXPECT_EQ(app::endMarkedProcesses(marker), 0);
  reap(plain);
}

TEST(ProcessSweep, AProcessThatIgnoresTerminationIsKilledAfterTheGrace) {
  std::string marker = app::newMarker("QF_SWEEP_TEST");
  pid_t pid = start({"/bin/sh", "-c", "trap '' TERM; sleep 30 & wait"}, marker);
  ASSERT_GT(pid, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  auto before = std::chrono::steady_clock::now();
  EXPECT_GE(app::endMarkedProcesses(marker, std::chrono::milliseconds(200)), 1);
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
  EXPECT_TRUE(ended(pid));
  EXPECT_TRUE(app::processesWithMarker(marker).empty());
}

TEST(ProcessSweep, MarkersAreNewEachTimeAndTheOwnerMarkerIsInherited) {
  EXPECT_NE(app::newMarker("X"), app::newMarker("X"));
  EXPECT_EQ(app::newMarker("X").rfind("X=" + std::to_string(::getpid()) + "-", 0), 0u);
  const std::string& owner = app::ownerMarker();
  EXPECT_EQ(&owner, &app::ownerMarker());
  std::string value = owner.substr(owner.find('=') + 1);
  ASSERT_NE(std::getenv("QUILLFOLD_OWNER"), nullptr);
  EXPECT_EQ(value, std::getenv("QUILLFOLD_OWNER"));
  pid_t child = sleeper(""); // inherits the environment as it is now
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(app::processesWithMarker(owner), std::vector<pid_t>{child});
  reap(child);
}

TEST(ProcessSweep, ABareNameMatchesNothing) {
  pid_t child = sleeper("QF_SWEEP_BARE");
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(app::processesWithMarker("QF_SWEEP_BARE").empty());
  reap(child);
}

} // namespace
