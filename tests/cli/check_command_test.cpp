// `quillfold check`: exit status 0 / 3 / 2, the findings as lines and as JSON, the [standard]
// settings, legacy formats through LibreOffice, and sources left untouched.

#include <sstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "../engine/standard_notice.h"
#include "app/cli/check_command.h"
#include "cli_helpers.h"
#include "word/convert.h"

namespace {

using clitest::Folder;
namespace fs = std::filesystem;
namespace qc = quillfold::cli;

struct CheckRun {
  int status;
  std::string out, err;
};

CheckRun check(const std::vector<std::string>& files, const fs::path& settings, bool json = false) {
  qc::CheckCommand command;
  command.files = files;
  command.settings = settings;
  command.json = json;
  std::ostringstream out, err;
  int status = qc::runCheck(command, out, err);
  return {status, out.str(), err.str()};
}

class CheckCommand : public ::testing::Test {
protected:
  Folder dir;
  fs::path settings = dir / "setup.ini"; // missing: the defaults
  fs::path conforming = dir / "国标.docx";
  fs::path source = dir / "原文.docx";
  void SetUp() override {
    stdtest::laidOutNotice()->savePackage(conforming.string());
    qftest::makePackage(stdtest::noticeBody(), stdtest::kStyles)->save(source.string());
  }
};

TEST_F(CheckCommand, ExitZeroWhenConformingThreeWhenNotTwoWhenUnreadable) {
  CheckRun ok = check({conforming.string()}, settings);
  EXPECT_EQ(ok.status, 0) << ok.out;
  EXPECT_NE(ok.out.find("符合 GB/T 9704-2012 的各项可测条款"), std::string::npos) << ok.out;

  CheckRun faults = check({conforming.string(), source.string()}, settings);
  EXPECT_EQ(faults.status, 3);
  EXPECT_NE(faults.out.find("原文.docx：有 "), std::string::npos) << faults.out;
  EXPECT_NE(faults.out.find("（主送机关）：冒号为“:”，应为“：”"), std::string::npos) << faults.out;
  EXPECT_NE(faults.out.find("页面：上边距（天头）为"), std::string::npos);

  clitest::writeFile(dir / "坏.docx", "PK\x03\x04 not a package");
  CheckRun bad = check({source.string(), (dir / "坏.docx").string()}, settings);
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("坏.docx：无法读取"), std::string::npos) << bad.err;
  EXPECT_NE(bad.out.find("共检查 2 个文档：符合 0 个，不符合 1 个，无法读取 1 个。"),
            std::string::npos)
      << bad.out;
}

TEST_F(CheckCommand, JsonGivesEachDocumentAndASummary) {
  CheckRun r = check({conforming.string(), source.string()}, settings, true);
  std::istringstream lines(r.out);
  std::vector<nlohmann::json> events;
  for (std::string line; std::getline(lines, line);)
    events.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0]["conforms"], true);
  EXPECT_TRUE(events[0]["findings"].empty());
  EXPECT_EQ(events[1]["conforms"], false);
  const auto& first = events[1]["findings"][0];
  EXPECT_EQ(first["paragraph"], 0);
  EXPECT_EQ(first["element"], "页面");
  bool paragraphFinding = false;
  for (const auto& f : events[1]["findings"])
    if (f["paragraph"].get<int>() > 0 && !f["words"].get<std::string>().empty())
      paragraphFinding = true;
  EXPECT_TRUE(paragraphFinding);
  EXPECT_EQ(events[2]["event"], "summary");
  EXPECT_EQ(events[2]["exitStatus"], 3);
  EXPECT_EQ(r.status, 3);
}

TEST_F(CheckCommand, SettingsOfTheStandardSectionAreWhatIsChecked) {
  clitest::writeFile(settings, "[standard]\nbodyfont=宋体\nrecord=0\n");
  CheckRun r = check({conforming.string()}, settings);
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.out.find("字体为仿宋_GB2312，应为宋体"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("（抄送）"), std::string::npos) << r.out;
}

TEST_F(CheckCommand, SourcesAreNeverChanged) {
  const std::string before = clitest::readFile(source);
  const auto time = fs::last_write_time(source);
  check({source.string()}, settings);
  EXPECT_EQ(clitest::readFile(source), before);
  EXPECT_EQ(fs::last_write_time(source), time);
}

TEST_F(CheckCommand, LegacyFormatsAreReadThroughLibreOffice) {
  if (word::findSoffice().empty())
    GTEST_SKIP() << "LibreOffice is not installed";
  const fs::path doc = dir / "原文.doc";
  word::convertFile(source.string(), doc.string());
  CheckRun r = check({doc.string()}, settings);
  EXPECT_EQ(r.status, 3) << r.err;
  EXPECT_NE(r.out.find("原文.doc：有 "), std::string::npos) << r.out;
}

TEST_F(CheckCommand, ToolPrintsHelpAndChecks) {
  clitest::ToolResult r = clitest::runTool("check " + clitest::quote(conforming.string()) +
                                               " --settings " + clitest::quote(settings.string()),
                                           dir.path());
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  clitest::ToolResult help = clitest::runTool("check --help", dir.path());
  EXPECT_NE(help.out.find("GB/T 9704-2012"), std::string::npos);
}

} // namespace
