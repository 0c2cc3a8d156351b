// Several engine servers over one batch: how a batch is cut into units, and that the caller
// gets the events as from one server (against the stand-in, which can be slow or crash on
// purpose) while the servers share the work.

#include <filesystem>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <map>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "app/server/engine_pool.h"
#include "app/server/process_sweep.h"
#include "server_test_support.h"
#include "word/fonts.h"

namespace {

using server_test::joined;
using server_test::Recorder;
using server_test::ScopedEnv;
using server_test::TempFolder;
using Units = std::vector<std::vector<std::size_t>>;

app::EngineBatch fakeBatch(std::vector<std::string> files) {
  app::EngineBatch batch;
  batch.properties = {{"纸张大小", "0"}};
  batch.docPath = "/nowhere";
  batch.files = std::move(files);
  batch.outFolder = "/nowhere/out";
  batch.runMode = "0";
  return batch;
}

// ---- cutting a batch into units ----

struct PlanCase {
  const char* name;
  std::size_t servers;
  std::vector<std::string> files;
  Units expected;
};

class EnginePoolPlan : public testing::TestWithParam<PlanCase> {};

TEST_P(EnginePoolPlan, UnitsFollowOutputNamesAndLibreOffice) {
  const PlanCase& c = GetParam();
  TempFolder dir;
  for (const std::string& name : c.files) {
    std::filesystem::create_directories((dir / name).parent_path());
    // A Word 97 file begins like every OLE file; the others only need to exist.
    server_test::writeText(dir / name,
                           name.ends_with(".doc") ? "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" : "text");
  }
  app::EngineBatch batch = fakeBatch(c.files);
  batch.docPath = dir.path().string();
  EXPECT_EQ(app::EnginePool::planUnits(batch, c.servers), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EnginePoolPlan,
    testing::Values(
        PlanCase{"OneServerTakesTheWholeBatch", 1, {"a.docx", "b.doc", "c.docx"}, {{0, 1, 2}}},
        PlanCase{"NoDocuments", 2, {}, {{}}},
        PlanCase{"OneUnitPerDocument", 2, {"a.docx", "b.docx", "c.docx"}, {{0}, {1}, {2}}},
        // The later of two outputs with one name replaces the earlier: one server runs both.
        PlanCase{"SameOutputNameFromTwoFolders",
                 2,
                 {"x/同名.docx", "b.docx", "y/同名.docx", "c.docx"},
                 {{0, 2}, {1}, {3}}},
        PlanCase{"SameOutputNameButForCase", 3, {"A.docx", "b.docx", "a.DOCX"}, {{0, 2}, {1}}},
        // A .txt is written as .doc, through LibreOffice, under the name of the .doc.
        PlanCase{"TextAndWordOfOneName", 2, {"a.txt", "a.doc", "b.docx"}, {{0, 1}, {2}}},
        // Five LibreOffice documents on two servers: chunks of three, handed out first.
        PlanCase{"LibreOfficeInChunksFirst",
                 2,
                 {"1.doc", "2.doc", "a.docx", "3.doc", "b.txt", "4.doc"},
                 {{0, 1, 3}, {4, 5}, {2}}},
        PlanCase{"LibreOfficeChunksPerServer",
                 3,
                 {"1.doc", "2.doc", "3.doc", "4.doc", "5.doc", "6.doc"},
                 {{0, 1}, {2, 3}, {4, 5}}}),
    [](const testing::TestParamInfo<PlanCase>& info) { return std::string(info.param.name); });

TEST(EnginePoolPlanLimits, NativeUnitsShrinkToSingleDocuments) {
  std::vector<std::string> files;
  for (int i = 0; i < 20; ++i)
    files.push_back(std::to_string(i) + ".docx");
  Units expected = {{0, 1}, {2, 3}, {4, 5}};
  for (std::size_t i = 6; i < 20; ++i)
    expected.push_back({i});
  EXPECT_EQ(app::EnginePool::planUnits(fakeBatch(files), 2), expected);
}

TEST(EnginePoolPlanLimits, ALibreOfficeChunkHoldsWhatOneStartTakes) {
  std::vector<std::string> files;
  for (int i = 0; i < 120; ++i)
    files.push_back(std::to_string(i) + ".txt");
  TempFolder dir;
  for (const auto& name : files)
    server_test::writeText(dir / name, "text");
  app::EngineBatch batch = fakeBatch(files);
  batch.docPath = dir.path().string();
  std::vector<std::size_t> sizes;
  for (const auto& unit : app::EnginePool::planUnits(batch, 2))
    sizes.push_back(unit.size());
  EXPECT_EQ(sizes, (std::vector<std::size_t>{50, 50, 20}));
}

// ---- events as from one server ----

struct OrderCase {
  const char* name;
  std::vector<std::string> files;
};

class EnginePoolEvents : public testing::TestWithParam<OrderCase> {};

// Documents of very different cost, crashes: with two or three servers the caller hears
// exactly what one server tells it, in the same order, numbered through the whole batch.
TEST_P(EnginePoolEvents, AreThoseOfOneServer) {
  const OrderCase& c = GetParam();
  Recorder one;
  {
    app::EngineClient client(QF_FAKE_ENGINE, one.callbacks());
    std::string error;
    ASSERT_TRUE(client.beginBatch(fakeBatch(c.files), error)) << error;
    client.waitForBatch();
  }
  for (std::size_t jobs : {1u, 2u, 3u}) {
    SCOPED_TRACE(jobs);
    Recorder rec;
    app::EnginePool pool(QF_FAKE_ENGINE, rec.callbacks(), jobs);
    std::string error;
    ASSERT_TRUE(pool.beginBatch(fakeBatch(c.files), error)) << error;
    EXPECT_TRUE(pool.busy());
    pool.waitForBatch();
    EXPECT_FALSE(pool.busy());
    EXPECT_EQ(joined(rec.lines), joined(one.lines));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EnginePoolEvents,
    testing::Values(OrderCase{"SlowFirst",
                              {"slow1.docx", "a.docx", "b.docx", "c.docx", "slow2.docx", "d.docx"}},
                    OrderCase{"SlowLast", {"a.docx", "b.docx", "c.docx", "slow.docx"}},
                    OrderCase{"ACrashCostsOneDocument",
                              {"a.docx", "crash.docx", "slow.docx", "d.docx"}},
                    OrderCase{"CrashesInARow", {"crash1.docx", "crash2.docx", "a.docx"}},
                    OrderCase{"OneDocument", {"a.docx"}}, OrderCase{"NoDocuments", {}}),
    [](const testing::TestParamInfo<OrderCase>& info) { return std::string(info.param.name); });

TEST(EnginePoolEnd, OneNoticeAboutTheFontsOfTheWholeBatchThenOneEnd) {
  // Each server reports the fonts of its part; the caller hears of them once, for the whole
  // batch, before the one "101" (the notice names the official fonts this machine lacks).
  const std::string notice = word::standInNotice({"仿宋_GB2312", "黑体"});
  for (std::size_t jobs : {1u, 2u}) {
    SCOPED_TRACE(jobs);
    Recorder rec;
    app::EnginePool pool(QF_FAKE_ENGINE, rec.callbacks(), jobs);
    std::string error;
    ASSERT_TRUE(
        pool.beginBatch(fakeBatch({"字体-仿宋_GB2312.docx", "a.docx", "字体-黑体.docx"}), error));
    pool.waitForBatch();
    ASSERT_GE(rec.lines.size(), 3u);
    const std::vector<std::string> end(rec.lines.end() - (notice.empty() ? 2 : 3), rec.lines.end());
    std::vector<std::string> expected;
    if (!notice.empty())
      expected.push_back("M 3 0/3  | " + notice);
    expected.insert(expected.end(), {"M 101 3/3  | 处理完毕！", "END"});
    EXPECT_EQ(end, expected);
    EXPECT_EQ(rec.count("M 101 "), 1);
    EXPECT_EQ(rec.count("M 3 "), notice.empty() ? 0 : 1);
  }
}

// The servers' Main calls, from the stand-in's log: process id -> the names of each call.
std::map<std::string, std::vector<std::string>> mainsByServer(const std::filesystem::path& log) {
  std::map<std::string, std::vector<std::string>> by;
  std::istringstream lines(server_test::readText(log));
  for (std::string line; std::getline(lines, line);) {
    std::size_t space = line.find(' ');
    by[line.substr(0, space)].push_back(space == std::string::npos ? "" : line.substr(space + 1));
  }
  return by;
}

TEST(EnginePoolWork, AServerThatEndsADocumentTakesTheNext) {
  // While one server is on the slow document, the other does all the rest, one at a time.
  TempFolder tmp;
  ScopedEnv log("QF_FAKE_MAINS", (tmp / "mains").string());
  Recorder rec;
  app::EnginePool pool(QF_FAKE_ENGINE, rec.callbacks(), 2);
  std::string error;
  ASSERT_TRUE(pool.beginBatch(fakeBatch({"slow.docx", "a.docx", "b.docx", "c.docx"}), error));
  pool.waitForBatch();
  const auto by = mainsByServer(tmp / "mains");
  ASSERT_EQ(by.size(), 2u) << server_test::readText(tmp / "mains");
  std::set<std::vector<std::string>> calls;
  for (const auto& [pid, names] : by)
    calls.insert(names);
  EXPECT_EQ(calls,
            (std::set<std::vector<std::string>>{{"slow.docx"}, {"a.docx", "b.docx", "c.docx"}}));
}

TEST(EnginePoolWork, EveryServerIsToldTheWholeBatch) {
  for (std::size_t jobs : {1u, 2u}) {
    TempFolder tmp;
    ScopedEnv log("QF_FAKE_LOG", (tmp / "log").string());
    Recorder rec;
    app::EnginePool pool(QF_FAKE_ENGINE, rec.callbacks(), jobs);
    std::string error;
    ASSERT_TRUE(pool.beginBatch(fakeBatch({"a.docx", "b.docx", "c.docx"}), error)) << error;
    pool.waitForBatch();
    int wholes = 0, mains = 0;
    std::istringstream lines(server_test::readText(tmp / "log"));
    for (std::string line; std::getline(lines, line);) {
      auto request = nlohmann::json::parse(line);
      mains += request["op"] == "main" ? 1 : 0;
      if (request["op"] == "setWholeBatch") {
        ++wholes;
        EXPECT_EQ(request["names"], nlohmann::json({"a.docx", "b.docx", "c.docx"}));
      }
    }
    // One server runs the batch as a whole; parts each name the whole.
    EXPECT_EQ(mains, jobs == 1 ? 1 : 3) << jobs;
    EXPECT_EQ(wholes, jobs == 1 ? 0 : 3) << jobs;
  }
}

TEST(EnginePoolWork, EveryWrittenOutputIsPassedOn) {
  std::multiset<std::string> written;
  app::EngineCallbacks callbacks;
  callbacks.written = [&](const std::string& path) { written.insert(path); };
  app::EnginePool pool(QF_FAKE_ENGINE, callbacks, 2);
  std::string error;
  ASSERT_TRUE(pool.beginBatch(fakeBatch({"a.docx", "b.docx", "c.docx"}), error)) << error;
  pool.waitForBatch();
  EXPECT_EQ(written, (std::multiset<std::string>{"/nowhere/out/a.docx", "/nowhere/out/b.docx",
                                                 "/nowhere/out/c.docx"}));
}

TEST(EnginePoolStart, AMissingServerIsReportedAndNothingRuns) {
  Recorder rec;
  app::EnginePool pool("/nonexistent/quillfold-engine", rec.callbacks(), 2);
  std::string error;
  EXPECT_FALSE(pool.start(error));
  EXPECT_NE(error.find("/nonexistent/quillfold-engine"), std::string::npos) << error;
  error.clear();
  EXPECT_FALSE(pool.beginBatch(fakeBatch({"a.docx", "b.docx"}), error));
  EXPECT_NE(error.find("/nonexistent/quillfold-engine"), std::string::npos) << error;
  EXPECT_FALSE(pool.busy());
  EXPECT_TRUE(rec.lines.empty());
}

TEST(EnginePoolStart, EveryServerStartsAndEachHasItsOwnMarker) {
  Recorder rec;
  app::EnginePool pool(QF_FAKE_ENGINE, rec.callbacks(), 3);
  std::string error;
  ASSERT_TRUE(pool.start(error)) << error;
  const std::vector<pid_t> pids = pool.serverPids();
  ASSERT_EQ(pids.size(), 3u);
  const std::vector<std::string> markers = pool.markers();
  for (std::size_t i = 0; i < 3; ++i)
    EXPECT_EQ(app::processesWithMarker(markers[i]), std::vector<pid_t>{pids[i]}) << i;
}

// The servers start at the same time, not one after the other's start-up: each stand-in waits,
// before it announces itself, until the others have been started too.
TEST(EnginePoolStart, TheServersStartTogether) {
  for (const bool batch : {false, true}) {
    SCOPED_TRACE(batch ? "beginBatch" : "start");
    TempFolder meet;
    ScopedEnv folder("QF_FAKE_MEET", meet.path().string());
    ScopedEnv count("QF_FAKE_MEET_COUNT", "3");
    Recorder rec;
    app::EnginePool pool(QF_FAKE_ENGINE, rec.callbacks(), 3);
    std::string error;
    if (batch) {
      ASSERT_TRUE(pool.beginBatch(fakeBatch({"a.docx", "b.docx", "c.docx", "d.docx"}), error));
      pool.waitForBatch();
      EXPECT_EQ(rec.count("END"), 1);
    } else {
      ASSERT_TRUE(pool.start(error)) << error;
    }
    std::vector<std::string> alone;
    for (const auto& entry : std::filesystem::directory_iterator(meet.path()))
      if (entry.path().filename().string().rfind("alone-", 0) == 0)
        alone.push_back(entry.path().filename().string());
    EXPECT_TRUE(alone.empty()) << alone.front();
  }
}

// Asked to stop together, idle servers all end, and the pool starts new ones for the next batch.
TEST(EnginePoolStop, IdleServersEndTogetherAndNewOnesServeTheNextBatch) {
  Recorder rec;
  app::EnginePool pool(QF_FAKE_ENGINE, rec.callbacks(), 3);
  std::string error;
  ASSERT_TRUE(pool.start(error)) << error;
  const std::vector<pid_t> pids = pool.serverPids();
  const std::vector<std::string> markers = pool.markers();
  pool.stop();
  for (std::size_t i = 0; i < pids.size(); ++i) {
    EXPECT_FALSE(pids[i] > 0 && ::kill(pids[i], 0) == 0) << pids[i];
    EXPECT_TRUE(app::processesWithMarker(markers[i]).empty()) << i;
  }
  ASSERT_TRUE(pool.beginBatch(fakeBatch({"a.docx", "b.docx"}), error)) << error;
  pool.waitForBatch();
  EXPECT_EQ(rec.count("END"), 1);
}

TEST(EnginePoolStop, StoppingDuringABatchEndsEveryServer) {
  Recorder rec;
  app::EnginePool pool(QF_FAKE_ENGINE, rec.callbacks(), 2);
  std::string error;
  ASSERT_TRUE(pool.beginBatch(fakeBatch({"slow1.docx", "slow2.docx", "slow3.docx"}), error));
  const std::vector<pid_t> pids = pool.serverPids();
  pool.stop();
  EXPECT_FALSE(pool.busy());
  for (pid_t pid : pids)
    EXPECT_FALSE(pid > 0 && ::kill(pid, 0) == 0) << pid;
  EXPECT_EQ(rec.count("END"), 0);
  // The pool serves the next batch with new servers.
  ASSERT_TRUE(pool.beginBatch(fakeBatch({"a.docx"}), error)) << error;
  pool.waitForBatch();
  EXPECT_EQ(rec.count("END"), 1);
}

} // namespace
