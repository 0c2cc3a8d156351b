// Interrupting a real run: SIGINT, SIGTERM and SIGHUP sent to `quillfold typeset` and
// `quillfold merge` while LibreOffice converts. The tool ends LibreOffice (which runs in a
// process group of its own, out of the terminal's reach), removes its temporary folders and
// partial files, reports, and exits 130, 143 or 129.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "cli_helpers.h"
#include "word/convert.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using clitest::Folder;

// Processes (other than `self`) whose environment holds `needle`; with `program`, only those
// whose name starts with it.
std::vector<pid_t> processesWith(const std::string& needle, pid_t self,
                                 const std::string& program = {}) {
  std::vector<pid_t> out;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator("/proc", ec)) {
    const std::string name = e.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos)
      continue;
    const pid_t pid = std::stoi(name);
    if (pid == self)
      continue;
    std::string env = clitest::readFile(e.path() / "environ");
    std::string stat = clitest::readFile(e.path() / "stat");
    auto close = stat.rfind(')');
    if (close != std::string::npos && stat.size() > close + 2 && stat[close + 2] == 'Z')
      continue; // a zombie holds nothing
    if (!program.empty() && clitest::readFile(e.path() / "comm").rfind(program, 0) != 0)
      continue;
    if (env.find(needle) != std::string::npos)
      out.push_back(pid);
  }
  return out;
}

// The tool started with `args`, its own temporary folder under `tmp`, its output in `dir`.
pid_t startTool(std::vector<std::string> args, const fs::path& dir, const fs::path& tmp) {
  const fs::path tool = fs::path(QF_BINARY_DIR) / "app" / "cli" / "quillfold";
  args.insert(args.begin(), tool.string());
  std::vector<std::string> envs;
  for (char** e = environ; *e; ++e)
    if (std::string(*e).rfind("TMPDIR=", 0) != 0)
      envs.emplace_back(*e);
  envs.push_back("TMPDIR=" + tmp.string());
  std::vector<char*> argv, envp;
  for (auto& a : args)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : envs)
    envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, (dir / "stdout").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, (dir / "stderr").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  if (posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
    pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// Waits until `ready` holds, up to 30 s.
template <class Ready> bool waitFor(Ready ready) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!ready() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  return ready();
}

// What every interrupted run leaves: the exit status of the signal, the report, no process of
// its own (engine servers and LibreOffice carry its TMPDIR), nothing in its temporary folder,
// and in the output folder only whole outputs, named by the report; but for at most one per
// server, written in the moment before the interrupt and not yet announced to the tool.
void expectCleanInterrupt(pid_t pid, int expectedStatus, const fs::path& dir, const fs::path& tmp,
                          const fs::path& out, std::size_t servers = 1) {
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  const std::string err = clitest::readFile(dir / "stderr");
  ASSERT_TRUE(WIFEXITED(status)) << err;
  EXPECT_EQ(WEXITSTATUS(status), expectedStatus);
  EXPECT_NE(err.find("已中断"), std::string::npos) << err;
  // One report: the servers leave reporting to the tool.
  EXPECT_EQ(err.find("已中断"), err.rfind("已中断")) << err;
  const std::string marker = "TMPDIR=" + tmp.string();
  EXPECT_TRUE(waitFor([&] { return processesWith(marker, pid).empty(); }))
      << "a process of the tool still runs";
  for (const auto& e : fs::recursive_directory_iterator(tmp))
    ADD_FAILURE() << "left behind: " << e.path();
  std::error_code ec;
  std::size_t unreported = 0;
  for (const auto& e : fs::directory_iterator(out, ec)) {
    EXPECT_NE(e.path().filename().string()[0], '.') << "partial file " << e.path();
    EXPECT_GT(fs::file_size(e.path()), 0u) << "empty output " << e.path();
    unreported += err.find(e.path().string() + "\n") == std::string::npos ? 1 : 0;
  }
  EXPECT_LE(unreported, servers) << err;
}

TEST(Interrupt, EndsLibreOfficeRemovesTemporaryFilesAndExitsBySignal) {
  if (word::findSoffice().empty())
    GTEST_SKIP() << "needs LibreOffice";
  struct Case {
    const char* command;
    int signal;
    int status;
    const char* jobs; // typeset: engine servers
  } cases[] = {
      {"typeset", SIGINT, 130, "1"},
      {"merge", SIGTERM, 143, ""},
      {"typeset", SIGHUP, 129, "1"},
      // Two servers, each converting its own part with a LibreOffice of its own.
      {"typeset", SIGINT, 130, "2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.command) + " " + strsignal(c.signal) + " " + c.jobs);
    Folder dir;
    const fs::path in = dir / "in", out = dir / "out", tmp = dir / "tmp";
    fs::create_directories(in);
    fs::create_directories(tmp);
    // Legacy inputs: LibreOffice converts them first, which gives time to interrupt.
    for (int i = 0; i < 6; ++i)
      clitest::writeFile(in / ("d" + std::to_string(i) + ".rtf"),
                         "{\\rtf1\\ansi " + std::string(20000, 'x') + "\\par}");
    std::vector<std::string> args = {c.command};
    if (std::string(c.command) == "typeset") {
      args.insert(args.end(), {"--dir", in.string(), "--out", out.string(), "--settings",
                               (dir / "setup.ini").string(), "--jobs", c.jobs});
    } else {
      for (int i = 0; i < 6; ++i)
        args.push_back((in / ("d" + std::to_string(i) + ".rtf")).string());
      args.insert(args.end(), {"--out", out.string()});
    }
    const pid_t pid = startTool(args, dir.path(), tmp);
    ASSERT_GT(pid, 0);

    // Wait until LibreOffice runs for the tool (its environment names the tool's folder), for
    // each server.
    const std::string marker = "TMPDIR=" + tmp.string();
    const std::size_t instances = std::string(c.jobs) == "2" ? 2 : 1;
    ASSERT_TRUE(waitFor([&] {
      return processesWith(marker, pid, "soffice.bin").size() >= instances;
    })) << "LibreOffice did not start";
    ::kill(pid, c.signal);
    expectCleanInterrupt(pid, c.status, dir.path(), tmp, out);
  }
}

TEST(Interrupt, ReportsTheOutputsTheServersFinished) {
  // Outputs written by two servers while the batch runs: those written are whole and named
  // in the tool's report; the rest are absent.
  Folder dir;
  const fs::path in = dir / "in", out = dir / "out", tmp = dir / "tmp";
  fs::create_directories(in);
  fs::create_directories(tmp);
  std::vector<std::string> body(
      2000, "　　为深入贯彻落实安全生产工作部署，有效防范和遏制重特大事故发生。");
  for (int i = 0; i < 40; ++i)
    clitest::writeDocx(in / ("n" + std::to_string(i) + ".docx"), body);
  const pid_t pid = startTool({"typeset", "--dir", in.string(), "--out", out.string(), "--settings",
                               (dir / "setup.ini").string(), "--jobs", "2"},
                              dir.path(), tmp);
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(waitFor([&] {
    std::error_code ec;
    int written = 0;
    for (const auto& e : fs::directory_iterator(out, ec))
      written += e.path().filename().string()[0] != '.' ? 1 : 0;
    return written >= 6;
  })) << "the outputs were not written";
  ::kill(pid, SIGINT);
  expectCleanInterrupt(pid, 130, dir.path(), tmp, out, 2);
  EXPECT_LT(clitest::names(out).size(), 40u) << "the batch ended before the interrupt";
}

} // namespace
