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

// Processes (other than `self`) whose environment holds `needle`.
std::vector<pid_t> processesWith(const std::string& needle, pid_t self) {
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
    if (env.find(needle) != std::string::npos)
      out.push_back(pid);
  }
  return out;
}

TEST(Interrupt, EndsLibreOfficeRemovesTemporaryFilesAndExitsBySignal) {
  if (word::findSoffice().empty())
    GTEST_SKIP() << "needs LibreOffice";
  struct Case {
    const char* command;
    int signal;
    int status;
  } cases[] = {
      {"typeset", SIGINT, 130},
      {"merge", SIGTERM, 143},
      {"typeset", SIGHUP, 129},
  };
  const fs::path tool = fs::path(QF_BINARY_DIR) / "app" / "cli" / "quillfold";
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.command) + " " + strsignal(c.signal));
    Folder dir;
    const fs::path in = dir / "in", out = dir / "out", tmp = dir / "tmp";
    fs::create_directories(in);
    fs::create_directories(tmp);
    // Legacy inputs: LibreOffice converts them first, which gives time to interrupt.
    for (int i = 0; i < 6; ++i)
      clitest::writeFile(in / ("d" + std::to_string(i) + ".rtf"),
                         "{\\rtf1\\ansi " + std::string(20000, 'x') + "\\par}");
    std::vector<std::string> args = {tool.string(), c.command};
    if (std::string(c.command) == "typeset") {
      args.insert(args.end(), {"--dir", in.string(), "--out", out.string(), "--settings",
                               (dir / "setup.ini").string()});
    } else {
      for (int i = 0; i < 6; ++i)
        args.push_back((in / ("d" + std::to_string(i) + ".rtf")).string());
      args.insert(args.end(), {"--out", out.string()});
    }
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
    ASSERT_EQ(posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), envp.data()), 0);
    posix_spawn_file_actions_destroy(&actions);

    // Wait until LibreOffice runs for the tool (its environment names the tool's folder).
    const std::string marker = "TMPDIR=" + tmp.string();
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (processesWith(marker, pid).empty() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_FALSE(processesWith(marker, pid).empty()) << "LibreOffice did not start";
    ::kill(pid, c.signal);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << clitest::readFile(dir / "stderr");
    EXPECT_EQ(WEXITSTATUS(status), c.status);
    EXPECT_NE(clitest::readFile(dir / "stderr").find("已中断"), std::string::npos);
    EXPECT_TRUE(processesWith(marker, pid).empty()) << "LibreOffice still runs";
    for (const auto& e : fs::recursive_directory_iterator(tmp))
      ADD_FAILURE() << "left behind: " << e.path();
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(out, ec)) {
      EXPECT_NE(e.path().filename().string()[0], '.') << "partial file " << e.path();
      EXPECT_GT(fs::file_size(e.path()), 0u) << "empty output " << e.path();
    }
  }
}

} // namespace
