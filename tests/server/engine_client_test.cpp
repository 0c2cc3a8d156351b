// The client side of the engine server: a batch's events in order, what is sent, the recovery
// when the server dies in the middle of a batch (against a stand-in that crashes on purpose,
// and against the real server killed from outside), and starting failures.

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "app/server/process_sweep.h"
#include "server_test_support.h"
#include "settings/settings.h"

namespace {

using server_test::joined;
using server_test::Recorder;
using server_test::ScopedEnv;
using server_test::TempFolder;

app::EngineBatch fakeBatch(std::vector<std::string> files, std::string mode = "0") {
  app::EngineBatch batch;
  batch.properties = {{"纸张大小", "0"}, {"页眉", "标题,带逗号"}};
  batch.docPath = "/nowhere";
  batch.files = std::move(files);
  batch.outFolder = "/nowhere/out";
  batch.runMode = std::move(mode);
  return batch;
}

// True while the process runs (a zombie nobody has reaped yet has ended).
bool alive(pid_t pid) {
  std::string stat = server_test::readText("/proc/" + std::to_string(pid) + "/stat");
  std::size_t close = stat.rfind(')');
  return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z' &&
         stat[close + 2] != 'X';
}

// ---- a batch through the stand-in ----

TEST(EngineClientBatch, DeliversTheEventsInOrderAndEnds) {
  Recorder rec;
  app::EngineClient client(QF_FAKE_ENGINE, rec.callbacks());
  std::string error;
  ASSERT_TRUE(client.beginBatch(fakeBatch({"a.docx", "b.txt"}, "ZiHao"), error)) << error;
  EXPECT_TRUE(client.busy());
  client.waitForBatch();
  EXPECT_FALSE(client.busy());
  EXPECT_EQ(joined(rec.lines), "M 0 1/2 a.docx | 正在处理\n"
                               "M 2 1/2 a.docx | 模式 ZiHao\n"
                               "M 100 1/2 a.docx | 完成：a.docx\n"
                               "M 0 2/2 b.txt | 正在处理\n"
                               "M 2 2/2 b.txt | 模式 ZiHao\n"
                               "M 100 2/2 b.txt | 完成：b.txt\n"
                               "M 101 2/2  | 处理完毕！\n"
                               "END\n");
}

TEST(EngineClientBatch, SendsThePropertiesTheFoldersTheNamesAndTheMode) {
  TempFolder tmp;
  ScopedEnv log("QF_FAKE_LOG", (tmp / "log").string());
  Recorder rec;
  app::EngineClient client(QF_FAKE_ENGINE, rec.callbacks());
  std::string error;
  ASSERT_TRUE(client.beginBatch(fakeBatch({"x,1.docx", "报告.txt"}, "YeMei"), error)) << error;
  client.waitForBatch();

  std::vector<nlohmann::json> requests;
  std::istringstream lines(server_test::readText(tmp / "log"));
  for (std::string line; std::getline(lines, line);)
    requests.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(requests.size(), 7u);
  auto isSet = [&](std::size_t i, const char* name, const std::string& value) {
    EXPECT_EQ(requests[i]["op"], "set") << i;
    EXPECT_EQ(requests[i]["name"], name) << i;
    EXPECT_EQ(requests[i]["value"], value) << i;
  };
  isSet(0, "纸张大小", "0");
  isSet(1, "页眉", "标题,带逗号");
  isSet(2, "DocPath", "/nowhere");
  isSet(3, "DocFileName", "x,1.docx,报告.txt");
  isSet(4, "DocOutLocation", "/nowhere/out");
  EXPECT_EQ(requests[5]["op"], "setFiles");
  EXPECT_EQ(requests[5]["names"], nlohmann::json({"x,1.docx", "报告.txt"}));
  EXPECT_EQ(requests[6], nlohmann::json({{"op", "main"}, {"mode", "YeMei"}}));
}

TEST(EngineClientBatch, ASecondBatchWhileOneRunsIsRefused) {
  Recorder rec;
  app::EngineClient client(QF_FAKE_ENGINE, rec.callbacks());
  std::string error;
  ASSERT_TRUE(client.beginBatch(fakeBatch({"slow.docx"}), error)) << error;
  EXPECT_FALSE(client.beginBatch(fakeBatch({"b.docx"}), error));
  EXPECT_FALSE(error.empty());
  client.waitForBatch();
  EXPECT_EQ(rec.count("END"), 1);
  EXPECT_EQ(rec.count("M 0 "), 1);
}

TEST(EngineClientBatch, AFailedSetterEndsTheBatchWithoutMessages) {
  Recorder rec;
  app::EngineClient client(QF_FAKE_ENGINE, rec.callbacks());
  app::EngineBatch batch = fakeBatch({"a.docx"});
  batch.properties.insert(batch.properties.begin() + 1, {"bad", "1"});
  std::string error;
  ASSERT_TRUE(client.beginBatch(batch, error)) << error;
  client.waitForBatch();
  EXPECT_EQ(joined(rec.lines), "END\n");
  // The server is still there and serves the next batch.
  ASSERT_TRUE(client.beginBatch(fakeBatch({"a.docx"}), error)) << error;
  client.waitForBatch();
  EXPECT_EQ(rec.count("M 100 "), 1);
}

TEST(EngineClientBatch, TheSameServerServesBatchAfterBatch) {
  Recorder rec;
  app::EngineClient client(QF_FAKE_ENGINE, rec.callbacks());
  std::string error;
  ASSERT_TRUE(client.start(error)) << error;
  pid_t pid = client.serverPid();
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(client.beginBatch(fakeBatch({"a.docx"}), error)) << error;
    client.waitForBatch();
  }
  EXPECT_EQ(client.serverPid(), pid);
  EXPECT_EQ(rec.count("END"), 3);
}

// ---- the server dies in the middle of a batch ----

struct CrashCase {
  const char* name;
  std::vector<std::string> files;
  std::string expected;
};

class EngineClientCrash : public ::testing::TestWithParam<CrashCase> {};

TEST_P(EngineClientCrash, ReportsTheDocumentRestartsAndGoesOn) {
  const CrashCase& c = GetParam();
  Recorder rec;
  app::EngineClient client(QF_FAKE_ENGINE, rec.callbacks());
  std::string error;
  ASSERT_TRUE(client.beginBatch(fakeBatch(c.files), error)) << error;
  client.waitForBatch();
  // The error text after the document's name is the same for every case.
  std::string text = joined(rec.lines);
  const std::string reason =
      "：排版引擎意外退出（被信号 9 SIGKILL 终止），已重新启动排版引擎，继续处理其余文档";
  for (std::size_t at; (at = text.find(reason)) != std::string::npos;)
    text.replace(at, reason.size(), "：<reason>");
  EXPECT_EQ(text, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, EngineClientCrash,
                         ::testing::Values(CrashCase{"InTheMiddle",
                                                     {"a.docx", "crash.docx", "c.docx"},
                                                     "M 0 1/3 a.docx | 正在处理\n"
                                                     "M 2 1/3 a.docx | 模式 0\n"
                                                     "M 100 1/3 a.docx | 完成：a.docx\n"
                                                     "M 0 2/3 crash.docx | 正在处理\n"
                                                     "E 2 排版失败：crash.docx：<reason>\n"
                                                     "M 100 2/3 crash.docx | 失败：crash.docx\n"
                                                     "M 0 3/3 c.docx | 正在处理\n"
                                                     "M 2 3/3 c.docx | 模式 0\n"
                                                     "M 100 3/3 c.docx | 完成：c.docx\n"
                                                     "M 101 3/3  | 处理完毕！\n"
                                                     "END\n"},
                                           CrashCase{"OnTheLastDocument",
                                                     {"a.docx", "crash.docx"},
                                                     "M 0 1/2 a.docx | 正在处理\n"
                                                     "M 2 1/2 a.docx | 模式 0\n"
                                                     "M 100 1/2 a.docx | 完成：a.docx\n"
                                                     "M 0 2/2 crash.docx | 正在处理\n"
                                                     "E 2 排版失败：crash.docx：<reason>\n"
                                                     "M 100 2/2 crash.docx | 失败：crash.docx\n"
                                                     "M 101 2/2  | 处理完毕！\n"
                                                     "END\n"},
                                           CrashCase{"TwiceInARow",
                                                     {"crash1.docx", "crash2.docx", "ok.docx"},
                                                     "M 0 1/3 crash1.docx | 正在处理\n"
                                                     "E 1 排版失败：crash1.docx：<reason>\n"
                                                     "M 100 1/3 crash1.docx | 失败：crash1.docx\n"
                                                     "M 0 2/3 crash2.docx | 正在处理\n"
                                                     "E 2 排版失败：crash2.docx：<reason>\n"
                                                     "M 100 2/3 crash2.docx | 失败：crash2.docx\n"
                                                     "M 0 3/3 ok.docx | 正在处理\n"
                                                     "M 2 3/3 ok.docx | 模式 0\n"
                                                     "M 100 3/3 ok.docx | 完成：ok.docx\n"
                                                     "M 101 3/3  | 处理完毕！\n"
                                                     "END\n"},
                                           CrashCase{"TheOnlyDocument",
                                                     {"crash.docx"},
                                                     "M 0 1/1 crash.docx | 正在处理\n"
                                                     "E 1 排版失败：crash.docx：<reason>\n"
                                                     "M 100 1/1 crash.docx | 失败：crash.docx\n"
                                                     "M 101 1/1  | 处理完毕！\n"
                                                     "END\n"}),
                         [](const ::testing::TestParamInfo<CrashCase>& info) {
                           return info.param.name;
                         });

TEST(EngineClientRecovery, ANewServerTakesOverAndTheOldOnesHelpersAreEnded) {
  TempFolder tmp;
  ScopedEnv orphan("QF_FAKE_ORPHAN", (tmp / "orphan").string());
  Recorder rec;
  app::EngineClient client(QF_FAKE_ENGINE, rec.callbacks());
  std::string error;
  ASSERT_TRUE(client.start(error)) << error;
  pid_t first = client.serverPid();
  ASSERT_TRUE(client.beginBatch(fakeBatch({"crash.docx", "b.docx"}), error)) << error;
  client.waitForBatch();
  EXPECT_NE(client.serverPid(), first);
  EXPECT_TRUE(client.running());
  EXPECT_FALSE(alive(first));

  // The "LibreOffice" the dead server had started carried the client's marker and is gone.
  pid_t helper = std::stoi(server_test::readText(tmp / "orphan"));
  for (int i = 0; i < 100 && alive(helper); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(alive(helper));
  EXPECT_TRUE(app::processesWithMarker(client.marker()) == std::vector<pid_t>{client.serverPid()});
}

TEST(EngineClientRecovery, AServerThatDiedWhileIdleIsReplacedWithoutAnError) {
  Recorder rec;
  app::EngineClient client(QF_FAKE_ENGINE, rec.callbacks());
  std::string error;
  ASSERT_TRUE(client.start(error)) << error;
  pid_t first = client.serverPid();
  ::kill(first, SIGKILL);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_TRUE(client.beginBatch(fakeBatch({"a.docx"}), error)) << error;
  client.waitForBatch();
  EXPECT_NE(client.serverPid(), first);
  EXPECT_EQ(rec.count("E "), 0) << joined(rec.lines);
  EXPECT_EQ(rec.count("M 100 1/1 a.docx | 完成"), 1) << joined(rec.lines);
}

TEST(EngineClientRecovery, ARestartThatFailsEndsTheBatchWithAnError) {
  TempFolder tmp;
  std::filesystem::copy_file(QF_FAKE_ENGINE, tmp / "engine");
  Recorder rec;
  app::EngineClient client((tmp / "engine").string(), rec.callbacks());
  std::string error;
  ASSERT_TRUE(client.start(error)) << error;
  std::filesystem::remove(tmp / "engine"); // gone before the restart
  ASSERT_TRUE(client.beginBatch(fakeBatch({"crash.docx", "b.docx", "c.docx"}), error)) << error;
  client.waitForBatch();
  EXPECT_EQ(rec.count("E 1 排版失败：crash.docx"), 1) << joined(rec.lines);
  EXPECT_EQ(rec.count("E 0 无法启动排版引擎"), 1) << joined(rec.lines);
  EXPECT_NE(joined(rec.lines).find("其余 2 个文档没有处理"), std::string::npos);
  EXPECT_EQ(rec.count("M 101 "), 1);
  EXPECT_EQ(rec.lines.back(), "END");
  EXPECT_FALSE(client.busy());
}

// ---- starting ----

TEST(EngineClientStart, FailuresSayWhy) {
  struct Case {
    const char* name;
    std::string program;
    const char* env;
    const char* reasonPart;
  } cases[] = {
      {"missing", "/nonexistent/quillfold-engine", nullptr, "/nonexistent/quillfold-engine"},
      {"exits", QF_FAKE_ENGINE, "QF_FAKE_EXIT_AFTER_READY", ""},
      {"not an engine", "/bin/echo", nullptr, "不是 Quillfold 排版引擎"},
      {"garbage first", QF_FAKE_ENGINE, "QF_FAKE_GARBAGE", "不是 Quillfold 排版引擎"},
      {"ends at once", "/bin/true", nullptr, "启动后立即退出"},
  };
  for (const Case& c : cases) {
    std::optional<ScopedEnv> env;
    if (c.env)
      env.emplace(c.env, "1");
    Recorder rec;
    app::EngineClient client(c.program, rec.callbacks());
    std::string error;
    bool started = client.start(error, std::chrono::milliseconds(5000));
    if (std::string(c.name) == "exits") {
      // It said Ready: the start succeeds, and its death is noticed at the next batch.
      EXPECT_TRUE(started) << error;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      ASSERT_TRUE(client.beginBatch(fakeBatch({"a.docx"}), error) || !error.empty());
      continue;
    }
    EXPECT_FALSE(started) << c.name;
    EXPECT_NE(error.find(c.reasonPart), std::string::npos) << c.name << ": " << error;
    EXPECT_FALSE(client.running()) << c.name;
    EXPECT_EQ(client.fd(), -1) << c.name;
  }
}

TEST(EngineClientStart, TheWatcherIsToldEveryDescriptorChange) {
  Recorder rec;
  app::EngineClient client(QF_FAKE_ENGINE, rec.callbacks());
  std::vector<int> seen;
  client.setFdWatcher([&](int fd) { seen.push_back(fd); });
  ASSERT_EQ(seen, std::vector<int>{-1});
  std::string error;
  ASSERT_TRUE(client.beginBatch(fakeBatch({"crash.docx", "b.docx"}), error)) << error;
  client.waitForBatch();
  client.stop();
  // Started (fd), lost (-1), closed (-1), restarted (fd), stopped (-1).
  ASSERT_GE(seen.size(), 4u);
  EXPECT_GE(seen[1], 0);
  EXPECT_EQ(seen.back(), -1);
  int starts = 0;
  for (std::size_t i = 1; i < seen.size(); ++i)
    starts += seen[i] >= 0;
  EXPECT_EQ(starts, 2);
}

TEST(EngineClientStop, EndsTheServerAndEverythingItStarted) {
  Recorder rec;
  pid_t pid = -1;
  std::string marker;
  {
    app::EngineClient client(QF_FAKE_ENGINE, rec.callbacks());
    std::string error;
    ASSERT_TRUE(client.start(error)) << error;
    pid = client.serverPid();
    marker = client.marker();
    EXPECT_EQ(app::processesWithMarker(marker), std::vector<pid_t>{pid});
  }
  EXPECT_FALSE(alive(pid));
  EXPECT_TRUE(app::processesWithMarker(marker).empty());
}

TEST(EngineClientStop, StoppingDuringABatchKillsTheServer) {
  Recorder rec;
  app::EngineClient client(QF_FAKE_ENGINE, rec.callbacks());
  std::string error;
  ASSERT_TRUE(client.beginBatch(fakeBatch({"slow.docx", "slow2.docx"}), error)) << error;
  pid_t pid = client.serverPid();
  auto before = std::chrono::steady_clock::now();
  client.stop();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
  EXPECT_FALSE(alive(pid));
  EXPECT_FALSE(client.busy());
  EXPECT_FALSE(client.running());
}

// ---- the real server ----

// The defaults of a first start, with a right indent of 0 (the default, empty, is no number
// and fails the paragraph step of every document).
std::vector<std::pair<std::string, std::string>> defaultProperties(const TempFolder& tmp) {
  settings::IniFile none(tmp / "no-setup.ini");
  auto properties = settings::loadEngineProperties(none);
  for (auto& [name, value] : properties)
    if (name == "右缩进")
      value = "0";
  return properties;
}

TEST(EngineClientReal, TypesetsTwoCorpusDocuments) {
  TempFolder tmp;
  std::filesystem::create_directory(tmp / "in");
  for (const char* name : {"par-known-paragraphs.docx", "hdr-header-footer.docx"})
    std::filesystem::copy_file(std::filesystem::path(QF_CORPUS_DIR) / "word" / name,
                               tmp / "in" / name);
  Recorder rec;
  app::EngineClient client(QF_ENGINE_SERVER, rec.callbacks());
  app::EngineBatch batch;
  batch.properties = defaultProperties(tmp);
  batch.docPath = (tmp / "in").string();
  batch.files = {"par-known-paragraphs.docx", "hdr-header-footer.docx"};
  batch.outFolder = (tmp / "out").string();
  batch.runMode = "0";
  std::string error;
  ASSERT_TRUE(client.beginBatch(batch, error)) << error;
  client.waitForBatch();
  EXPECT_EQ(rec.count("E "), 0) << joined(rec.lines);
  EXPECT_EQ(rec.count("M 0 1/2 par-known-paragraphs.docx"), 1) << joined(rec.lines);
  EXPECT_EQ(rec.count("M 100 2/2 hdr-header-footer.docx"), 1) << joined(rec.lines);
  EXPECT_EQ(rec.count("M 101 "), 1);
  EXPECT_EQ(rec.lines.back(), "END");
  for (const auto& name : batch.files)
    EXPECT_TRUE(std::filesystem::is_regular_file(tmp / "out" / name)) << name;
}

TEST(EngineClientReal, AServerKilledMidBatchCostsOneDocumentOnly) {
  TempFolder tmp;
  std::filesystem::create_directory(tmp / "in");
  std::vector<std::string> files;
  for (int i = 1; i <= 4; ++i) {
    std::string name = "doc" + std::to_string(i) + ".docx";
    std::filesystem::copy_file(std::filesystem::path(QF_CORPUS_DIR) / "word" /
                                   "par-known-paragraphs.docx",
                               tmp / "in" / name);
    files.push_back(name);
  }
  Recorder rec;
  app::EngineClient client(QF_ENGINE_SERVER, rec.callbacks());
  bool killed = false;
  rec.onMessage = [&](const std::string& id, const std::string&) {
    if (id == "0" && !killed) {
      killed = true;
      ::kill(client.serverPid(), SIGKILL);
    }
  };
  app::EngineBatch batch;
  batch.properties = defaultProperties(tmp);
  batch.docPath = (tmp / "in").string();
  batch.files = files;
  batch.outFolder = (tmp / "out").string();
  batch.runMode = "0";
  std::string error;
  ASSERT_TRUE(client.beginBatch(batch, error)) << error;
  client.waitForBatch();
  const std::string log = joined(rec.lines);
  // Exactly one document is lost; which one depends on how far the server got before the
  // signal arrived. Every document ends with a "100", numbered through the whole batch.
  EXPECT_EQ(rec.count("E "), 1) << log;
  EXPECT_NE(log.find("排版引擎意外退出"), std::string::npos) << log;
  EXPECT_EQ(rec.count("M 100 "), 4) << log;
  for (int i = 1; i <= 4; ++i)
    EXPECT_EQ(rec.count("M 100 " + std::to_string(i) + "/4 "), 1) << log;
  EXPECT_EQ(rec.count("M 100 ") - rec.count("M 100 1/4 doc1.docx | 失败") -
                rec.count("M 100 2/4 doc2.docx | 失败") - rec.count("M 100 3/4 doc3.docx | 失败") -
                rec.count("M 100 4/4 doc4.docx | 失败"),
            3)
      << log;
  EXPECT_EQ(rec.count("M 101 "), 1) << log;
  EXPECT_EQ(rec.lines.back(), "END");
  int outputs = 0;
  for (const auto& name : files)
    outputs += std::filesystem::exists(tmp / "out" / name);
  EXPECT_EQ(outputs, 3) << log;
}

} // namespace
