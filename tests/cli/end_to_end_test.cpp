// `quillfold typeset` from end to end: the bundled samples (.docx, GBK .txt, legacy .doc) are
// typeset with their house settings and the outputs read back through the document model; the
// tool itself answers --help and reports failures through its exit status.

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include <nlohmann/json.hpp>

#include "../common/scoped_env.h"
#include "app/cli/check_command.h"
#include "app/cli/typeset_job.h"
#include "cli_helpers.h"
#include "settings/settings.h"
#include "word/convert.h"
#include "word/document.h"

using namespace quillfold::cli;
using clitest::Folder;
using clitest::quote;

namespace fs = std::filesystem;

namespace {

const fs::path kSamples = fs::path(QF_SOURCE_DIR) / "samples";

std::string allText(word::Document& d) {
  std::string text;
  for (int i = 1; i <= d.paragraphs().count(); ++i)
    text += d.paragraphs().item(i).range().text();
  return text;
}

bool hasOle(const fs::path& p) {
  return clitest::readFile(p).rfind(std::string("\xD0\xCF\x11\xE0", 4), 0) == 0;
}

// The demo's standard run: the sample notice laid out by the national standard with the
// samples' settings passes the check, and its source does not.
TEST(EndToEnd, TheStandardSampleIsLaidOutAndPassesTheCheck) {
  Folder dir;
  TypesetRequest r;
  r.files = {(kSamples / "通知-防汛抗旱工作.docx").string()};
  r.settings = kSamples / "setup.ini";
  r.mode = "standard";
  r.out = (dir / "out").string();
  std::ostringstream out, err;
  const int status = runTypeset(r, out, err);
  ASSERT_TRUE(status == kExitDone || status == kExitNotices) << out.str() << err.str();
  quillfold::cli::CheckCommand check;
  check.settings = kSamples / "setup.ini";
  check.files = {(dir / "out" / "通知-防汛抗旱工作.docx").string()};
  std::ostringstream checkOut, checkErr;
  EXPECT_EQ(quillfold::cli::runCheck(check, checkOut, checkErr), kExitDone) << checkOut.str();
  check.files = r.files;
  EXPECT_EQ(quillfold::cli::runCheck(check, checkOut, checkErr), kExitNotices);
}

TEST(EndToEnd, TheSamplesAreTypesetAndReadBack) {
  Folder dir;
  TypesetRequest r;
  r.dir = kSamples.string();
  r.settings = kSamples / "setup.ini";
  r.out = (dir / "out").string();
  std::ostringstream out, err;
  const int status = runTypeset(r, out, err);
  ASSERT_TRUE(status == kExitDone || status == kExitNotices) << out.str() << err.str();
  EXPECT_EQ(clitest::names(dir / "out"),
            (std::set<std::string>{"决定-表彰先进.doc", "办法-政府投资项目管理.docx",
                                   "纪要-第一季度工作例会.doc", "通知-安全生产大检查.docx",
                                   "通知-防汛抗旱工作.docx"}));
  EXPECT_NE(out.str().find("共 5 个文档：成功 5 个，失败 0 个"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("结果在 " + (dir / "out").string()), std::string::npos);

  word::Application app;
  word::Document& notice = app.open((dir / "out" / "通知-安全生产大检查.docx").string());
  const std::string noticeText = allText(notice);
  EXPECT_NE(noticeText.find("关于开展2024年度安全生产大检查的通知"), std::string::npos);
  EXPECT_NE(noticeText.find("某某市安全生产委员会"), std::string::npos);
  // The automatic list numbers of the three requirements are text now.
  EXPECT_NE(noticeText.find("加强组织领导"), std::string::npos);
  EXPECT_LT(noticeText.find("1"), noticeText.find("加强组织领导"));

  word::Document& rules = app.open((dir / "out" / "办法-政府投资项目管理.docx").string());
  const std::string rulesText = allText(rules);
  EXPECT_NE(rulesText.find("第一章"), std::string::npos);
  EXPECT_NE(rulesText.find("第七条"), std::string::npos);

  // Legacy outputs are Word 97-2003 files; read them back through LibreOffice in one start.
  for (const char* doc : {"决定-表彰先进.doc", "纪要-第一季度工作例会.doc"})
    EXPECT_TRUE(hasOle(dir / "out" / doc)) << doc;
  std::vector<word::ConversionJob> back(2);
  back[0].input = (dir / "out" / "决定-表彰先进.doc").string();
  back[0].output = (dir / "decision.docx").string();
  back[1].input = (dir / "out" / "纪要-第一季度工作例会.doc").string();
  back[1].output = (dir / "minutes.docx").string();
  word::convertFiles(back);
  ASSERT_TRUE(back[0].ok && back[1].ok) << back[0].error << back[1].error;
  word::Document& decision = app.open(back[0].output);
  EXPECT_EQ(decision.tablesCount(), 1);
  EXPECT_NE(allText(decision).find("先进集体"), std::string::npos);
  // The GBK text came through whole.
  word::Document& minutes = app.open(back[1].output);
  const std::string minutesText = allText(minutes);
  EXPECT_NE(minutesText.find("第一季度工作例会的会议纪要"), std::string::npos);
  EXPECT_NE(minutesText.find("某某市人民政府办公室"), std::string::npos);
}

TEST(EndToEnd, FailuresAndCommasThroughTheCommand) {
  Folder dir;
  fs::create_directories(dir / "in");
  clitest::writeDocx(dir / "in" / "甲,乙.docx", {"第一份"});
  clitest::writeFile(dir / "in" / "坏.docx", "not a document");
  clitest::writeDocx(dir / "in" / "c.docx", {"第三份"});
  clitest::writeDocx(dir / "in" / "d.docx", {"第四份"});
  TypesetRequest r;
  for (const char* name : {"甲,乙.docx", "坏.docx", "c.docx", "d.docx"})
    r.files.push_back((dir / "in" / name).string());
  r.mode = "size";
  r.settings = dir / "setup.ini"; // missing: the defaults
  r.out = (dir / "out").string();
  r.style = OutputStyle::Json;
  std::ostringstream out, err;
  EXPECT_EQ(runTypeset(r, out, err), kExitFailed);
  EXPECT_NE(err.str().find("不存在"), std::string::npos) << err.str();
  EXPECT_EQ(clitest::names(dir / "out"), (std::set<std::string>{"甲,乙.docx", "c.docx", "d.docx"}));
  std::vector<nlohmann::json> events;
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);)
    events.push_back(nlohmann::json::parse(line));
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back()["failed"], 1);
  EXPECT_EQ(events.back()["done"], 3);
  int errors = 0;
  for (const auto& e : events)
    if (e["event"] == "Error") {
      ++errors;
      EXPECT_EQ(e["errId"], 2);
      EXPECT_NE(e["errMsg"].get<std::string>().find("坏.docx"), std::string::npos);
    }
  EXPECT_EQ(errors, 1);
}

TEST(EndToEnd, CommandHandsTheServerTheFortySixValues) {
  Folder dir;
  clitest::writeFile(dir / "setup.ini", "[font]\nFontSizeZW=\"11\"\n[TOOL]\nbiaodian=1\n"
                                        "[headerfooter]\nheader=  某某市人民政府  \n");
  settings::IniFile ini(dir / "setup.ini");
  const auto loaded = settings::loadEngineProperties(ini);
  ASSERT_EQ(loaded.size(), 46u);
  for (size_t i = 0; i < 46; ++i)
    EXPECT_EQ(loaded[i].first, engine::clsDoc::propertyNames()[i]) << i;

  // The stand-in server logs every request it is sent.
  fs::create_directories(dir / "in");
  clitest::writeDocx(dir / "in" / "a.docx", {"正文"});
  qftest::ScopedEnv log("QF_FAKE_LOG", (dir / "requests.txt").string());
  TypesetRequest r;
  r.dir = (dir / "in").string();
  r.settings = dir / "setup.ini";
  r.out = (dir / "out").string();
  r.enginePath = QF_FAKE_ENGINE;
  std::ostringstream out, err;
  EXPECT_EQ(runTypeset(r, out, err), kExitDone) << out.str() << err.str();
  std::map<std::string, std::string> sent;
  std::istringstream lines(clitest::readFile(dir / "requests.txt"));
  for (std::string line; std::getline(lines, line);) {
    auto request = nlohmann::json::parse(line);
    if (request["op"] == "set")
      sent[request["name"]] = request["value"];
  }
  for (const auto& [name, value] : loaded)
    EXPECT_EQ(sent[name], value) << name;
  EXPECT_EQ(sent["正文字号"], "10.5");
  EXPECT_EQ(sent["标点"], "1");
  EXPECT_EQ(sent["页眉"], "某某市人民政府");
  EXPECT_EQ(sent["DocPath"], (dir / "in").string());
  EXPECT_EQ(sent["DocOutLocation"], (dir / "out").string());
}

// ---- the tool itself ---------------------------------------------------------------------

TEST(Tool, HelpOfEveryCommand) {
  Folder dir;
  for (const char* args : {"--help", "typeset --help", "settings --help", "settings set --help"}) {
    auto r = clitest::runTool(args, dir.path());
    EXPECT_EQ(r.status, 0) << args << r.err;
    EXPECT_NE(r.out.find("Usage: quillfold"), std::string::npos) << args << r.out;
  }
  auto typeset = clitest::runTool("typeset --help", dir.path());
  for (const char* part : {"--dir", "--filter", "--ext", "--out", "--mode", "--settings", "--json",
                           "quillfold-out", "退出状态", "示例"})
    EXPECT_NE(typeset.out.find(part), std::string::npos) << part;
}

TEST(Tool, UsageMistakesExitWithOne) {
  Folder dir;
  for (const char* args : {"", "typeset", "typeset --mode fast a.docx", "frobnicate",
                           "typeset a.docx --dir /tmp", "settings get"}) {
    auto r = clitest::runTool(args, dir.path());
    EXPECT_EQ(r.status, kExitUsage) << args << "\n" << r.out << r.err;
    EXPECT_FALSE(r.err.empty()) << args;
  }
}

TEST(Tool, TypesetsAFolderAndReportsOneLinePerEvent) {
  Folder dir;
  fs::create_directories(dir / "in");
  clitest::writeDocx(dir / "in" / "a.docx", {"正文"});
  clitest::writeFile(dir / "in" / "b.txt", "会议纪要\n");
  clitest::writeFile(dir / "setup.ini", clitest::readFile(kSamples / "setup.ini"));
  auto r = clitest::runTool("typeset --dir " + quote((dir / "in").string()) + " --ext docx" +
                                " --settings " + quote((dir / "setup.ini").string()) + " --out " +
                                quote((dir / "out").string()),
                            dir.path());
  EXPECT_EQ(r.status, kExitDone) << r.out << r.err;
  EXPECT_EQ(r.out.rfind("[1/1] 正在处理：a.docx\n[1/1] 完成：a.docx\n", 0), 0u) << r.out;
  // Between them, on a machine without 宋体, the one notice about the face standing in for it.
  EXPECT_NE(r.out.find("\n处理完毕！\n"), std::string::npos) << r.out;
  EXPECT_EQ(clitest::names(dir / "out"), std::set<std::string>{"a.docx"});

  auto set = clitest::runTool("settings set font/fontsizezw 二号 --settings " +
                                  quote((dir / "setup.ini").string()),
                              dir.path());
  EXPECT_EQ(set.status, 0) << set.err;
  auto get = clitest::runTool(
      "settings get font/fontsizezw -s " + quote((dir / "setup.ini").string()), dir.path());
  EXPECT_EQ(get.out, "4\n");
}

} // namespace
