// The pieces of `quillfold typeset`: run modes, gathering documents, the batch report and
// its exit status, and how events are shown as lines, JSON and a progress bar.

#include <gtest/gtest.h>

#include <sstream>

#include <nlohmann/json.hpp>

#include "app/cli/typeset_job.h"
#include "cli_helpers.h"

using namespace quillfold::cli;
using clitest::Folder;

namespace fs = std::filesystem;

namespace {

TEST(RunMode, WordsMapToTheEngineModes) {
  EXPECT_EQ(runModeFor("full"), "0");
  EXPECT_EQ(runModeFor("header"), "YeMei");
  EXPECT_EQ(runModeFor("page"), "YeMian");
  EXPECT_EQ(runModeFor("size"), "ZiHao");
  for (const char* bad : {"", "Full", "0", "ZiHao", "sizes"})
    EXPECT_EQ(runModeFor(bad), std::nullopt) << bad;
}

// ---- gathering ---------------------------------------------------------------------------

TEST(GatherInputs, FilesOfOneFolderBecomeThatFolderAndBareNames) {
  TypesetRequest r;
  r.files = {"/data/公文/b.docx", "/data/公文/a,b.doc", "/data/公文/c.txt"};
  BatchInput in = gatherInputs(r);
  EXPECT_EQ(in.docPath, "/data/公文");
  EXPECT_EQ(in.names, (std::vector<std::string>{"b.docx", "a,b.doc", "c.txt"}));

  r.files = {"a.docx", "b.docx"};
  in = gatherInputs(r);
  EXPECT_EQ(in.docPath, "");
  EXPECT_EQ(in.names, (std::vector<std::string>{"a.docx", "b.docx"}));
}

TEST(GatherInputs, FilesOfSeveralFoldersKeepTheirPaths) {
  TypesetRequest r;
  r.files = {"/one/a.docx", "two/b.docx", "c.docx"};
  BatchInput in = gatherInputs(r);
  EXPECT_EQ(in.docPath, "");
  EXPECT_EQ(in.names, r.files);
}

class GatherFolder : public ::testing::Test {
protected:
  Folder dir;
  void SetUp() override {
    for (const char* name :
         {"b.docx", "a.DOC", "c.txt", "d.pdf", ".hidden.docx", "~$b.docx", "通知一.doc",
          "报告.docx", "e.rtf", "f.wps", "g.odt", "h.docm", "notes"})
      clitest::writeFile(dir / name, "x");
    fs::create_directory(dir / "sub.docx");
  }
  std::vector<std::string> listed(const std::string& filter, std::vector<std::string> exts) {
    TypesetRequest r;
    r.dir = dir.path().string();
    r.filter = filter;
    r.exts = std::move(exts);
    BatchInput in = gatherInputs(r);
    EXPECT_EQ(in.docPath, dir.path().string());
    return in.names;
  }
};

TEST_F(GatherFolder, TakesTheDocumentsSortedByName) {
  EXPECT_EQ(listed("", {}),
            (std::vector<std::string>{"a.DOC", "b.docx", "c.txt", "e.rtf", "f.wps", "g.odt",
                                      "h.docm", "报告.docx", "通知一.doc"}));
}

TEST_F(GatherFolder, ExtensionsAndKeywordNarrowTheList) {
  EXPECT_EQ(listed("", {"doc"}), (std::vector<std::string>{"a.DOC", "通知一.doc"}));
  EXPECT_EQ(listed("", {".TXT", "*.pdf"}), (std::vector<std::string>{"c.txt", "d.pdf"}));
  EXPECT_EQ(listed("通知", {}), (std::vector<std::string>{"通知一.doc"}));
  EXPECT_EQ(listed("报告", {"docx", "doc"}), (std::vector<std::string>{"报告.docx"}));
}

struct BadRequest {
  const char* label;
  TypesetRequest request;
  const char* message;
};

class GatherErrors : public ::testing::TestWithParam<BadRequest> {};

TEST_P(GatherErrors, AreUsageErrors) {
  try {
    gatherInputs(GetParam().request);
    ADD_FAILURE() << "accepted";
  } catch (const UsageError& e) {
    EXPECT_NE(std::string(e.what()).find(GetParam().message), std::string::npos) << e.what();
  }
}

TypesetRequest request(std::vector<std::string> files, std::string dir, std::string filter = "",
                       std::vector<std::string> exts = {}) {
  TypesetRequest r;
  r.files = std::move(files);
  r.dir = std::move(dir);
  r.filter = std::move(filter);
  r.exts = std::move(exts);
  return r;
}

INSTANTIATE_TEST_SUITE_P(
    Requests, GatherErrors,
    ::testing::Values(BadRequest{"Both", request({"a.docx"}, "/tmp"), "不要同时"},
                      BadRequest{"Neither", request({}, ""), "没有给出文档"},
                      BadRequest{"FilterWithoutDir", request({"a.docx"}, "", "通知"), "--dir"},
                      BadRequest{"ExtWithoutDir", request({}, "", "", {"doc"}), "--dir"},
                      BadRequest{"MissingDir", request({}, "/nonexistent/quillfold"), "无法列出"},
                      BadRequest{"NoMatch", request({}, "/", "no-such-document-anywhere"),
                                 "没有可排版"}),
    [](const auto& info) { return std::string(info.param.label); });

// ---- report and exit status --------------------------------------------------------------

// Feeds a batch's events: "0:1/2:a.docx", "3:1/2:a.docx", "E:1", "100:1/2:a.docx", "101:2/2:".
void feed(engine::IQuillfoldEvents& sink, const std::vector<std::string>& script) {
  for (const auto& line : script) {
    std::vector<std::string> parts;
    std::stringstream ss(line);
    std::string part;
    while (std::getline(ss, part, ':'))
      parts.push_back(part);
    if (parts[0] == "E") {
      sink.Error(std::stoi(parts[1]), "排版失败：x：原因");
      continue;
    }
    std::string cur = parts[1].substr(0, parts[1].find('/'));
    std::string all = parts[1].substr(parts[1].find('/') + 1);
    sink.Message(parts[0], "文字", cur, all, parts.size() > 2 ? parts[2] : "");
  }
}

struct ExitCase {
  const char* label;
  std::vector<std::string> script;
  int status, done, failed, warned;
};

class ExitStatus : public ::testing::TestWithParam<ExitCase> {};

TEST_P(ExitStatus, FollowsFailuresThenWarnings) {
  std::ostringstream out, err;
  EventPrinter printer(OutputStyle::Lines, out, err);
  feed(printer, GetParam().script);
  const BatchReport& r = printer.report();
  EXPECT_EQ(r.exitStatus(), GetParam().status);
  EXPECT_EQ(r.doneCount(), GetParam().done);
  EXPECT_EQ(r.failedCount(), GetParam().failed);
  EXPECT_EQ(r.warningCount(), GetParam().warned);
}

INSTANTIATE_TEST_SUITE_P(
    Batches, ExitStatus,
    ::testing::Values(
        ExitCase{
            "AllDone", {"0:1/2:a", "100:1/2:a", "0:2/2:b", "100:2/2:b", "101:2/2"}, 0, 2, 0, 0},
        ExitCase{"InformationOnly", {"0:1/1:a", "2:1/1:a", "100:1/1:a", "101:1/1"}, 0, 1, 0, 0},
        ExitCase{"Warning",
                 {"0:1/2:a", "3:1/2:a", "100:1/2:a", "0:2/2:b", "100:2/2:b", "101:2/2"},
                 3,
                 2,
                 0,
                 1},
        ExitCase{"FailureInTheMiddle",
                 {"0:1/3:a", "100:1/3:a", "0:2/3:b", "E:2", "100:2/3:b", "0:3/3:c", "3:3/3:c",
                  "100:3/3:c", "101:3/3"},
                 2,
                 2,
                 1,
                 1},
        ExitCase{"OutputFailureAfterTheEnd",
                 {"0:1/2:a", "100:1/2:a", "0:2/2:b", "100:2/2:b", "E:1", "101:2/2"},
                 2,
                 1,
                 1,
                 0},
        ExitCase{"BatchError", {"E:0", "101:0/1"}, 2, 0, 0, 0},
        ExitCase{"WarningOfAFailedDocument",
                 {"0:1/1:a", "3:1/1:a", "E:1", "100:1/1:a", "101:1/1"},
                 2,
                 0,
                 1,
                 0}),
    [](const auto& info) { return std::string(info.param.label); });

// ---- how events are shown ----------------------------------------------------------------

const std::vector<std::string> kScript = {"0:1/2:a.docx", "2:1/2:a.docx", "100:1/2:a.docx",
                                          "0:2/2:b.txt",  "E:2",          "100:2/2:b.txt",
                                          "101:2/2"};

TEST(EventLines, OneLinePerEventAndErrorsOnStandardError) {
  std::ostringstream out, err;
  EventPrinter printer(OutputStyle::Lines, out, err);
  feed(printer, kScript);
  printer.summary("/srv/out");
  EXPECT_EQ(out.str(), "[1/2] 正在处理：a.docx\n"
                       "[1/2] 提示：文字:a.docx\n"
                       "[1/2] 文字\n"
                       "[2/2] 正在处理：b.txt\n"
                       "[2/2] 文字\n"
                       "文字\n"
                       "共 2 个文档：成功 1 个，失败 1 个，有警告 0 个。\n"
                       "结果在 /srv/out\n");
  EXPECT_EQ(err.str(), "错误：排版失败：x：原因\n");
}

TEST(EventJson, OneObjectPerEventThenASummary) {
  std::ostringstream out, err;
  EventPrinter printer(OutputStyle::Json, out, err);
  feed(printer, kScript);
  printer.summary("/srv/out");
  EXPECT_EQ(err.str(), "");
  std::vector<nlohmann::json> objects;
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);)
    objects.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(objects.size(), kScript.size() + 1);
  EXPECT_EQ(objects[0], (nlohmann::json{{"event", "Message"},
                                        {"msgId", "0"},
                                        {"msg", "文字"},
                                        {"curDocNum", "1"},
                                        {"allDocNum", "2"},
                                        {"docName", "a.docx"}}));
  EXPECT_EQ(objects[4],
            (nlohmann::json{{"event", "Error"}, {"errId", 2}, {"errMsg", "排版失败：x：原因"}}));
  EXPECT_EQ(objects.back(), (nlohmann::json{{"event", "summary"},
                                            {"documents", 2},
                                            {"done", 1},
                                            {"failed", 1},
                                            {"withWarnings", 0},
                                            {"output", "/srv/out"},
                                            {"exitStatus", 2}}));
}

TEST(EventJson, InvalidTextDoesNotBreakTheStream) {
  std::ostringstream out, err;
  EventPrinter printer(OutputStyle::Json, out, err);
  printer.Message("0", "bad \xFF byte", "1", "1", "x\xC3.docx");
  EXPECT_NO_THROW(nlohmann::json::parse(out.str()));
}

TEST(EventProgressBar, RedrawsOneLineWithTheCurrentFile) {
  std::ostringstream out, err;
  EventPrinter printer(OutputStyle::ProgressBar, out, err, 60);
  feed(printer, {"0:1/4:关于开展安全生产大检查的通知（正式稿）最终版本.docx"});
  const std::string bar = out.str();
  EXPECT_EQ(bar.rfind("\r\x1b[K[", 0), 0u) << bar;
  EXPECT_NE(bar.find("0/4"), std::string::npos) << bar;
  EXPECT_NE(bar.find("正在处理：关于"), std::string::npos) << bar;
  EXPECT_LE(displayWidth(bar.substr(bar.rfind('\r') + 4)), 59) << bar;
  out.str("");
  feed(printer, {"100:1/4:a.docx", "0:2/4:b.docx"});
  EXPECT_NE(out.str().find("[######------------------] 1/4  正在处理：b.docx"), std::string::npos)
      << out.str();
  out.str("");
  feed(printer, {"3:2/4:b.docx"});
  // A warning is printed as a line of its own above the bar.
  EXPECT_NE(out.str().find("\r\x1b[K[2/4] 警告：文字:b.docx\n\r\x1b[K["), std::string::npos)
      << out.str();
  out.str("");
  feed(printer, {"100:2/4:b.docx", "101:4/4"});
  printer.summary("/o");
  EXPECT_EQ(out.str().substr(out.str().rfind('\n', out.str().size() - 2) + 1), "结果在 /o\n");
  EXPECT_NE(out.str().find("文字\n"), std::string::npos);
}

TEST(TerminalWidth, WideCharactersCountTwice) {
  EXPECT_EQ(displayWidth("abc"), 3);
  EXPECT_EQ(displayWidth("通知"), 4);
  EXPECT_EQ(displayWidth("（一）"), 6);
  EXPECT_EQ(displayWidth("a，b"), 4);
  EXPECT_EQ(fitWidth("通知.docx", 20), "通知.docx");
  EXPECT_EQ(fitWidth("关于开展检查的通知", 9), "关于开展…");
  EXPECT_EQ(displayWidth(fitWidth("关于开展检查的通知", 9)), 9);
  EXPECT_EQ(fitWidth("abcdef", 4), "abc…");
}

} // namespace
