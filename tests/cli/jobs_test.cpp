// `quillfold typeset --jobs N` on real engine servers: whatever the number of servers, the
// events, the summary, the exit status and the outputs are those of one server, also where
// documents of one batch interact (two outputs of one name, an output that would replace a
// file of another document's folder).

#include <gtest/gtest.h>

#include <sstream>

#include <nlohmann/json.hpp>

#include "app/cli/typeset_job.h"
#include "cli_helpers.h"
#include "word/convert.h"
#include "word/document.h"

using namespace quillfold::cli;
using clitest::Folder;

namespace fs = std::filesystem;

namespace {

struct Result {
  int status = -1;
  std::vector<nlohmann::json> events; // the JSON lines, the summary's output folder left out
  std::string err;
};

Result typeset(const std::vector<fs::path>& files, const fs::path& out, std::size_t jobs) {
  TypesetRequest r;
  for (const auto& f : files)
    r.files.push_back(f.string());
  r.out = out.string();
  r.settings = fs::path(QF_SOURCE_DIR) / "samples" / "setup.ini";
  r.style = OutputStyle::Json;
  r.jobs = jobs;
  std::ostringstream text, err;
  Result run;
  run.status = runTypeset(r, text, err);
  run.err = err.str();
  std::istringstream lines(text.str());
  for (std::string line; std::getline(lines, line);) {
    nlohmann::json e = nlohmann::json::parse(line);
    e.erase("output");
    run.events.push_back(std::move(e));
  }
  return run;
}

std::string dump(const std::vector<nlohmann::json>& events) {
  std::string text;
  for (const auto& e : events)
    text += e.dump() + "\n";
  return text;
}

std::string firstParagraph(const fs::path& docx) {
  word::Application app;
  return app.open(docx.string()).paragraphs().item(1).range().text();
}

TEST(Jobs, SeveralServersReportAndWriteAsOne) {
  Folder dir;
  const fs::path a = dir / "甲", b = dir / "乙";
  fs::create_directories(a);
  fs::create_directories(b);
  clitest::writeDocx(a / "通知.docx", {"第一份通知"});
  clitest::writeDocx(a / "同名.docx", {"甲的同名"});
  clitest::writeFile(a / "坏.docx", "not a document");
  clitest::writeDocx(b / "同名.docx", {"乙的同名"});
  clitest::writeDocx(b / "报告.docx", {"一份报告"});
  std::vector<fs::path> files = {a / "通知.docx", a / "同名.docx", a / "坏.docx", b / "同名.docx",
                                 b / "报告.docx"};
  if (!word::findSoffice().empty()) {
    // Through LibreOffice: a text written as .doc, and a legacy source.
    clitest::writeFile(a / "纪要.txt", "会议纪要\n第二行\n");
    clitest::writeFile(b / "旧稿.rtf", "{\\rtf1\\ansi 旧稿\\par}");
    files.insert(files.begin() + 1, a / "纪要.txt");
    files.push_back(b / "旧稿.rtf");
  }

  const Result one = typeset(files, dir / "out1", 1);
  EXPECT_EQ(one.status, kExitFailed) << dump(one.events) << one.err;
  // The later of the two 同名.docx replaced the earlier, and said so.
  EXPECT_EQ(firstParagraph(dir / "out1" / "同名.docx"), "乙的同名\r");
  EXPECT_NE(dump(one.events).find("替换了它的结果"), std::string::npos) << dump(one.events);
  for (std::size_t jobs : {2u, 3u}) {
    SCOPED_TRACE(jobs);
    const fs::path out = dir / ("out" + std::to_string(jobs));
    const Result many = typeset(files, out, jobs);
    EXPECT_EQ(many.status, one.status);
    EXPECT_EQ(dump(many.events), dump(one.events));
    EXPECT_EQ(clitest::names(out), clitest::names(dir / "out1"));
    EXPECT_EQ(firstParagraph(out / "同名.docx"), "乙的同名\r");
  }
}

TEST(Jobs, NoOutputReplacesAFileOfAnotherServersSourceFolder) {
  // The output folder is the folder of the second document, which already holds a file named
  // like the first document's output: one server refuses to replace it, and so do two, though
  // the second document is the other server's.
  Folder dir;
  const fs::path a = dir / "甲", b = dir / "乙";
  fs::create_directories(a);
  fs::create_directories(b);
  clitest::writeDocx(a / "x.docx", {"新的"});
  clitest::writeDocx(b / "x.docx", {"用户自己的文件"});
  clitest::writeDocx(b / "y.docx", {"乙"});
  const std::string before = clitest::readFile(b / "x.docx");
  const Result one = typeset({a / "x.docx", b / "y.docx"}, b, 1);
  EXPECT_EQ(clitest::readFile(b / "x.docx"), before);
  EXPECT_NE(dump(one.events).find("输出文件夹就是源文件夹"), std::string::npos) << dump(one.events);
  const Result two = typeset({a / "x.docx", b / "y.docx"}, b, 2);
  EXPECT_EQ(clitest::readFile(b / "x.docx"), before);
  EXPECT_EQ(dump(two.events), dump(one.events));
  EXPECT_EQ(two.status, one.status);
}

} // namespace
