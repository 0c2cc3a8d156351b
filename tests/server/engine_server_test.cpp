// quillfold-engine as a program: what it answers to each request, line by line, over plain
// pipes as a person or a script would drive it.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "app/server/protocol.h"

#include "server_test_support.h"

extern char** environ;

namespace {

using nlohmann::json;

// The server on two pipes.
class RawServer {
public:
  RawServer() {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0)
      throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    char program[] = QF_ENGINE_SERVER;
    char* argv[] = {program, nullptr};
    if (posix_spawn(&pid_, program, &actions, nullptr, argv, environ) != 0)
      throw std::runtime_error("spawn");
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    toServer_ = in[1];
    fromServer_ = out[0];
  }
  ~RawServer() {
    if (toServer_ >= 0)
      ::close(toServer_);
    ::close(fromServer_);
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      int status;
      ::waitpid(pid_, &status, 0);
    }
  }

  void send(const std::string& line) {
    std::string bytes = line + "\n";
    ASSERT_EQ(::write(toServer_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  void closeInput() {
    ::close(toServer_);
    toServer_ = -1;
  }

  // The next line, or "" after 20 s or at the end of the output.
  std::string line() {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
      auto nl = buffer_.find('\n');
      if (nl != std::string::npos) {
        std::string l = buffer_.substr(0, nl);
        buffer_.erase(0, nl + 1);
        return l;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0)
        return {};
      pollfd p{fromServer_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
        return {};
      char chunk[4096];
      ssize_t n = ::read(fromServer_, chunk, sizeof chunk);
      if (n <= 0)
        return {};
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }
  json event() {
    std::string l = line();
    EXPECT_FALSE(l.empty()) << "no event arrived";
    return l.empty() ? json::object() : json::parse(l, nullptr, false);
  }

  // The exit status once the server has ended (-1 when it has not within 10 s).
  int exitStatus() {
    for (int i = 0; i < 1000; ++i) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      ::usleep(10000);
    }
    return -1;
  }

  pid_t pid() const { return pid_; }

private:
  pid_t pid_ = -1;
  int toServer_ = -1, fromServer_ = -1;
  std::string buffer_;
};

json set(const std::string& name, const std::string& value) {
  return {{"op", "set"}, {"name", name}, {"value", value}};
}

TEST(EngineServer, AnnouncesItselfFirst) {
  RawServer server;
  json ready = server.event();
  EXPECT_EQ(ready["event"], "Ready");
  EXPECT_EQ(ready["protocol"], app::protocol::kVersion);
  EXPECT_EQ(ready["pid"], server.pid());
}

TEST(EngineServer, PropertiesStartEmptyAndKeepWhatIsSet) {
  RawServer server;
  server.event();
  struct Case {
    const char* name;
    const char* value;
  } cases[] = {
      {"纸张大小", "2"},
      {"水印颜色", "4"},
      {"页眉", "第一行, \"引号\" 与 \\"},
      {"DocPath", "/tmp/文档"},
      {"DocFileName", "a.docx,b.docx"},
      {"DocOutLocation", ""},
      {"正文字号", "10.5"},
  };
  for (const Case& c : cases) {
    server.send(json{{"op", "get"}, {"name", c.name}}.dump());
    json before = server.event();
    EXPECT_EQ(before["event"], "Value") << c.name;
    EXPECT_EQ(before["value"], "") << c.name;
    server.send(set(c.name, c.value).dump());
    server.send(json{{"op", "get"}, {"name", c.name}}.dump());
    json after = server.event();
    EXPECT_EQ(after["name"], c.name);
    EXPECT_EQ(after["value"], c.value) << c.name;
  }
}

TEST(EngineServer, AFailedSetterSkipsTheRestOfTheConfigurationAndItsMain) {
  RawServer server;
  server.event();
  server.send(set("纸张大小", "1").dump());
  server.send(set("不存在", "1").dump());
  server.send(set("页方向", "1").dump()); // skipped: the configuration already failed
  server.send(json{{"op", "main"}, {"mode", "0"}}.dump());
  json fail = server.event();
  EXPECT_EQ(fail["event"], "Fail");
  EXPECT_EQ(fail["op"], "set");
  EXPECT_EQ(fail["name"], "不存在");
  json done = server.event();
  EXPECT_EQ(done["event"], "MainDone");
  EXPECT_EQ(done["skipped"], true);

  // The skipped setter did not take; the next batch is configured and runs again.
  server.send(json{{"op", "get"}, {"name", "页方向"}}.dump());
  EXPECT_EQ(server.event()["value"], "");
  server.send(json{{"op", "get"}, {"name", "纸张大小"}}.dump());
  EXPECT_EQ(server.event()["value"], "1");
  server.send(json{{"op", "main"}, {"mode", "0"}}.dump());
  json end = server.event();
  EXPECT_EQ(end["event"], "Message");
  EXPECT_EQ(end["msgId"], "101");
  EXPECT_FALSE(server.event().contains("skipped"));
}

TEST(EngineServer, MalformedLinesAnswerFailAndBlankLinesNothing) {
  RawServer server;
  server.event();
  server.send("");
  server.send("   ");
  server.send("this is not json");
  json fail = server.event();
  EXPECT_EQ(fail["event"], "Fail");
  EXPECT_EQ(fail["op"], "");
  EXPECT_NE(fail["reason"].get<std::string>().find("不是 JSON"), std::string::npos);
  server.send(json{{"op", "main"}, {"mode", "0"}}.dump());
  EXPECT_EQ(server.event()["skipped"], true);
}

// The server's peak memory in KiB (VmHWM), 0 when it cannot be read.
long peakKiB(pid_t pid) {
  std::string status = server_test::readText("/proc/" + std::to_string(pid) + "/status");
  auto at = status.find("VmHWM:");
  return at == std::string::npos ? 0 : std::atol(status.c_str() + at + 6);
}

// Lines within the line limit whose shape no request has: answered with Fail, with memory
// close to the line's own size, and the server serves the next request.
TEST(EngineServer, HostileRequestLinesAreRefusedWithBoundedMemory) {
  struct Case {
    std::string line;
    const char* reasonPart;
  } cases[] = {
      {std::string(60u << 20, '['), "上限"},
      {std::string(6u << 20, '['), "嵌套"},
      {"[" + std::string(6u << 20, ',') + "]", "值超过"},
      {"{\"op\":\"set\",\"name\":\"x\",\"value\":\"" + std::string(20u << 20, 'a') + "\"}", "MiB"},
  };
  for (const Case& c : cases) {
    RawServer server;
    server.event();
    server.send(c.line);
    json fail = server.event();
    EXPECT_EQ(fail["event"], "Fail");
    EXPECT_NE(fail["reason"].get<std::string>().find(c.reasonPart), std::string::npos)
        << fail.dump();
    server.send(json{{"op", "get"}, {"name", "纸张大小"}}.dump());
    EXPECT_EQ(server.event()["event"], "Value");
    long peak = peakKiB(server.pid());
    EXPECT_LT(peak, 400L * 1024) << "peak memory " << peak << " KiB";
  }
}

TEST(EngineServer, MainWithoutDocumentsEndsTheBatchAtOnce) {
  RawServer server;
  server.event();
  server.send(json{{"op", "main"}, {"mode", "0"}}.dump());
  json end = server.event();
  EXPECT_EQ(end["event"], "Message");
  EXPECT_EQ(end["msgId"], "101");
  EXPECT_EQ(server.event()["event"], "MainDone");
}

TEST(EngineServer, AnUnknownRunModeIsReportedAndProcessesNothing) {
  RawServer server;
  server.event();
  server.send(set("DocFileName", "a.docx").dump());
  server.send(json{{"op", "main"}, {"mode", "Everything"}}.dump());
  json error = server.event();
  EXPECT_EQ(error["event"], "Error");
  EXPECT_NE(error["errMsg"].get<std::string>().find("Everything"), std::string::npos);
  EXPECT_EQ(server.event()["msgId"], "101");
  EXPECT_EQ(server.event()["event"], "MainDone");
}

TEST(EngineServer, AFileListServesOneBatchOnly) {
  server_test::TempFolder folder;
  RawServer server;
  server.event();
  server.send(set("DocPath", folder.path().string()).dump());
  server.send(set("DocOutLocation", (folder / "out").string()).dump());
  server.send(set("DocFileName", "").dump());
  server.send(json{{"op", "setFiles"}, {"names", {"missing,with comma.docx"}}}.dump());
  server.send(json{{"op", "main"}, {"mode", "YeMian"}}.dump());
  json start = server.event();
  EXPECT_EQ(start["msgId"], "0");
  EXPECT_EQ(start["docName"], "missing,with comma.docx");
  EXPECT_EQ(start["curDocNum"], "1");
  EXPECT_EQ(start["allDocNum"], "1");
  json error = server.event();
  EXPECT_EQ(error["event"], "Error");
  EXPECT_NE(error["errMsg"].get<std::string>().find("missing,with comma.docx"), std::string::npos);
  EXPECT_EQ(server.event()["msgId"], "100");
  EXPECT_EQ(server.event()["msgId"], "101");
  EXPECT_EQ(server.event()["event"], "MainDone");

  // The next Main takes DocFileName again, which is empty: nothing to do.
  server.send(json{{"op", "main"}, {"mode", "YeMian"}}.dump());
  EXPECT_EQ(server.event()["msgId"], "101");
  EXPECT_EQ(server.event()["event"], "MainDone");
}

// The window ends a busy server with SIGTERM: LibreOffice, in its own process group, ends with
// it, the temporary folders go, and the server exits 143.
TEST(EngineServer, SigtermDuringAConversionEndsLibreOfficeAndLeavesNothing) {
  if (!std::filesystem::exists("/usr/bin/soffice") &&
      !std::filesystem::exists("/usr/lib/libreoffice/program/soffice"))
    GTEST_SKIP() << "needs LibreOffice";
  server_test::TempFolder folder;
  const auto in = folder / "in", tmp = folder / "tmp";
  std::filesystem::create_directories(in);
  std::filesystem::create_directories(tmp);
  std::vector<std::string> names;
  for (int i = 0; i < 4; ++i) {
    names.push_back("d" + std::to_string(i) + ".rtf");
    server_test::writeText(in / names.back(),
                           "{\\rtf1\\ansi " + std::string(20000, 'x') + "\\par}");
  }
  server_test::ScopedEnv privateTmp("TMPDIR", tmp.string());
  RawServer server;
  server.event();
  server.send(set("DocPath", in.string()).dump());
  server.send(set("DocOutLocation", (folder / "out").string()).dump());
  server.send(json{{"op", "setFiles"}, {"names", names}}.dump());
  server.send(json{{"op", "main"}, {"mode", "YeMian"}}.dump());
  // LibreOffice runs when a process other than the server has the server's TMPDIR folder in
  // its environment.
  auto soffices = [&] {
    std::vector<pid_t> out;
    for (const auto& e : std::filesystem::directory_iterator("/proc")) {
      const std::string name = e.path().filename().string();
      if (name.find_first_not_of("0123456789") != std::string::npos ||
          std::stoi(name) == server.pid())
        continue;
      std::string stat = server_test::readText(e.path() / "stat");
      auto close = stat.rfind(')');
      if (close == std::string::npos || stat.size() < close + 3 || stat[close + 2] == 'Z')
        continue;
      if (server_test::readText(e.path() / "environ").find("TMPDIR=" + tmp.string()) !=
          std::string::npos)
        out.push_back(std::stoi(name));
    }
    return out;
  };
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (soffices().empty() && std::chrono::steady_clock::now() < deadline)
    ::usleep(20000);
  ASSERT_FALSE(soffices().empty()) << "LibreOffice did not start";
  ::kill(server.pid(), SIGTERM);
  EXPECT_EQ(server.exitStatus(), 143);
  EXPECT_TRUE(soffices().empty()) << "LibreOffice still runs";
  for (const auto& e : std::filesystem::recursive_directory_iterator(tmp))
    ADD_FAILURE() << "left behind: " << e.path();
}

TEST(EngineServer, QuitSaysByeAndEnds) {
  RawServer server;
  server.event();
  server.send(json{{"op", "quit"}}.dump());
  EXPECT_EQ(server.event()["event"], "Bye");
  EXPECT_EQ(server.exitStatus(), 0);
}

TEST(EngineServer, TheEndOfInputEndsTheServer) {
  RawServer server;
  server.event();
  server.closeInput();
  EXPECT_EQ(server.line(), "");
  EXPECT_EQ(server.exitStatus(), 0);
}

TEST(EngineServer, ArgumentsGiveUsage) {
  std::string help = std::string(QF_ENGINE_SERVER) + " --help >/dev/null 2>&1";
  EXPECT_EQ(std::system(help.c_str()), 0);
  std::string wrong = std::string(QF_ENGINE_SERVER) + " --frobnicate >/dev/null 2>&1";
  int status = std::system(wrong.c_str());
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 2);
}

} // namespace
