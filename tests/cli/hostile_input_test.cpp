// The command line against hostile and unlucky input: settings files that are not text or are
// read-only, output folders that cannot be used, file names that try to forge lines or reach
// the terminal, and font lists stored without a selection.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "app/cli/typeset_job.h"
#include "cli_helpers.h"
#include "word/package.h"

using namespace quillfold::cli;
using clitest::Folder;
using clitest::quote;

namespace fs = std::filesystem;

namespace {

// ---- terminal-safe names -----------------------------------------------------------------

struct SafeCase {
  std::string raw;
  std::string shown;
};

class TerminalSafe : public ::testing::TestWithParam<SafeCase> {};

TEST_P(TerminalSafe, EscapesWhatATerminalWouldObey) {
  EXPECT_EQ(terminalSafe(GetParam().raw), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Names, TerminalSafe,
    ::testing::Values(SafeCase{"通知.docx", "通知.docx"},
                      SafeCase{"a\n[1/1] 完成：b.docx", "a\\n[1/1] 完成：b.docx"},
                      SafeCase{"\x1b[2J\x1b]0;title\x07x", "\\x1b[2J\\x1b]0;title\\x07x"},
                      SafeCase{"cr\rtab\tdel\x7f", "cr\\rtab\\tdel\\x7f"},
                      SafeCase{"c1\xC2\x9B"
                               "31m",
                               "c1\\u009b31m"}, // CSI as a C1 control
                      SafeCase{"\xE2\x80\xAE"
                               "fdp.exe",
                               "\\u202efdp.exe"}, // right-to-left override
                      SafeCase{"bad\xFF\xC3", "bad\\xff\\xc3"},
                      SafeCase{"宋体、é 𠀀", "宋体、é 𠀀"}));

TEST(EventLines, ANameWithANewlineOrEscapesCannotForgeALine) {
  std::ostringstream out, err;
  EventPrinter printer(OutputStyle::Lines, out, err);
  const std::string evil = "x.docx\n[1/1] 完成：\x1b[32m假的.docx";
  printer.Message("0", "", "1", "1", evil);
  printer.Message("3", "注意", "1", "1", evil);
  printer.Error(1, "排版失败：" + evil + "：原因");
  printer.Message("100", "完成：" + evil, "1", "1", evil);
  printer.summary("/out\n伪造");
  for (const std::string& text : {out.str(), err.str()}) {
    EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
    EXPECT_EQ(text.find("\n[1/1] 完成：\x1b"), std::string::npos) << text;
  }
  EXPECT_NE(out.str().find("[1/1] 正在处理：x.docx\\n[1/1] 完成：\\x1b[32m假的.docx\n"),
            std::string::npos)
      << out.str();
  const std::string all = out.str();
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 5) << all; // three events, two summary lines
}

TEST(EventProgressBar, TheBarShowsTheNameEscaped) {
  std::ostringstream out, err;
  EventPrinter printer(OutputStyle::ProgressBar, out, err, 200);
  printer.Message("0", "", "1", "2", "a\nb\x1b[1m.docx");
  EXPECT_NE(out.str().find("正在处理：a\\nb\\x1b[1m.docx"), std::string::npos) << out.str();
  EXPECT_EQ(out.str().find('\n'), std::string::npos) << out.str();
}

// ---- the tool itself ---------------------------------------------------------------------

class Hostile : public ::testing::Test {
protected:
  Folder dir;
  fs::path ini = dir / "setup.ini";
  void SetUp() override {
    fs::create_directories(dir / "in");
    clitest::writeDocx(dir / "in" / "a.docx", {"关于开展检查的通知", "正文。"});
  }
  clitest::ToolResult typeset(const std::string& extra = "") {
    return clitest::runTool("typeset " + quote((dir / "in" / "a.docx").string()) + " --settings " +
                                quote(ini.string()) + " " + extra,
                            dir.path());
  }
};

TEST_F(Hostile, ASettingsFileThatIsNotTextIsRefused) {
  std::string binary = std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16);
  for (int i = 0; i < 64; ++i)
    binary += static_cast<char>(i * 37);
  clitest::writeFile(ini, binary);
  auto r = typeset("--out " + quote((dir / "out").string()));
  EXPECT_EQ(r.status, kExitUsage) << r.out << r.err;
  EXPECT_NE(r.err.find("不是文本文件"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("setup.ini"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir / "out"));
  for (const char* command :
       {"settings show", "settings properties", "settings set tool/KongGe 1"}) {
    auto s =
        clitest::runTool(std::string(command) + " --settings " + quote(ini.string()), dir.path());
    EXPECT_EQ(s.status, kExitUsage) << command;
    EXPECT_NE(s.err.find("不是文本文件"), std::string::npos) << command << s.err;
  }
  EXPECT_EQ(clitest::readFile(ini), binary);
}

TEST_F(Hostile, AReadOnlySettingsFileIsNotReplaced) {
  const std::string before = "[tool]\nKongGe=0\n";
  clitest::writeFile(ini, before);
  ASSERT_EQ(::chmod(ini.c_str(), 0444), 0);
  auto r =
      clitest::runTool("settings set tool/KongGe 1 --settings " + quote(ini.string()), dir.path());
  EXPECT_EQ(r.status, kExitUsage);
  EXPECT_NE(r.err.find("只读"), std::string::npos) << r.err;
  EXPECT_EQ(clitest::readFile(ini), before);
}

TEST_F(Hostile, AStrayByteInAUtf8SettingsFileIsAWarningNotMojibake) {
  clitest::writeFile(ini, "; caf\xE9\n[headerfooter]\nheader=某某市人民政府\n");
  auto r = clitest::runTool("settings properties --settings " + quote(ini.string()), dir.path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("页眉=某某市人民政府\n"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("UTF-8"), std::string::npos) << r.err;
}

struct OutputCase {
  const char* label;
  std::string command; // the tool's arguments before --out
};

class OutputFolderProblems : public ::testing::TestWithParam<OutputCase> {};

// Output-folder problems are found before anything is done, and exit 1 like every other
// problem that stops the whole command.
TEST_P(OutputFolderProblems, ExitOneWithTheReason) {
  Folder dir;
  clitest::writeDocx(dir / "a.docx", {"甲"});
  clitest::writeDocx(dir / "b.docx", {"乙"});
  clitest::writeFile(dir / "taken", "a file, not a folder");
  std::string command = GetParam().command;
  for (std::string from = "DIR"; command.find(from) != std::string::npos;)
    command.replace(command.find(from), from.size(), quote(dir.path().string()));
  for (const std::string& out : {(dir / "taken").string(), (dir / "taken" / "sub").string()}) {
    auto r = clitest::runTool(command + " --out " + quote(out), dir.path());
    EXPECT_EQ(r.status, kExitUsage) << GetParam().label << " " << out << "\n" << r.out << r.err;
    EXPECT_NE(r.err.find("输出文件夹"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(out), std::string::npos) << r.err;
  }
  EXPECT_EQ(clitest::readFile(dir / "taken"), "a file, not a folder");
}

INSTANTIATE_TEST_SUITE_P(Commands, OutputFolderProblems,
                         ::testing::Values(OutputCase{"typeset",
                                                      "typeset DIR/a.docx --settings DIR/none.ini"},
                                           OutputCase{"merge", "merge DIR/a.docx DIR/b.docx"}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(Tool, ParseErrorsAreChinese) {
  Folder dir;
  for (const char* args :
       {"frobnicate", "typeset --mode fast a.docx", "settings get", "", "typeset --jobs 0 a.docx",
        "typeset --jobs -2 a.docx", "typeset --jobs abc a.docx", "typeset --jobs 65 a.docx",
        "typeset --jobs 1.5 a.docx", "typeset a.docx --jobs"}) {
    auto r = clitest::runTool(args, dir.path());
    EXPECT_EQ(r.status, kExitUsage) << args;
    EXPECT_EQ(r.err.rfind("quillfold：", 0), 0u) << args << "\n" << r.err;
    EXPECT_NE(r.err.find("quillfold --help"), std::string::npos) << r.err;
    for (const char* english : {"The following", "is required", "not in", "Run with"})
      EXPECT_EQ(r.err.find(english), std::string::npos) << args << "\n" << r.err;
    if (std::string(args).find("--jobs") != std::string::npos) {
      EXPECT_NE(r.err.find("--jobs 的值不合适：应为 1 至 64 之间的整数"), std::string::npos)
          << args << "\n"
          << r.err;
    }
  }
}

// ---- font lists stored without a selection -----------------------------------------------

TEST_F(Hostile, FontIndexesOfMinusOneGiveRealFontNames) {
  clitest::writeFile(ini, "[font]\nfontnamezw=-1\nfontnamebt=-1\nfirstparagraph=1\nfontsizezw=-1\n"
                          "[shuiyin]\ntxtfontname=-1\nop=2\n"
                          "[headerfooter]\nheaderfontname=9\nuseheader=1\nheader=页眉\n");
  auto props =
      clitest::runTool("settings properties --settings " + quote(ini.string()), dir.path());
  ASSERT_EQ(props.status, 0) << props.err;
  for (const char* line : {"正文字体=宋体\n", "标题字体=宋体\n", "水印字体=宋体\n",
                           "页眉字体=宋体\n", "正文字号=11\n"})
    EXPECT_NE(props.out.find(line), std::string::npos) << line << props.out;
  EXPECT_EQ(props.out.find("=-1\n"), std::string::npos) << props.out;

  auto r = typeset("--out " + quote((dir / "out").string()));
  ASSERT_TRUE(r.status == kExitDone || r.status == kExitNotices) << r.out << r.err;
  auto pkg = word::Package::open((dir / "out" / "a.docx").string());
  std::string xml;
  for (const std::string& name : pkg->names())
    if (name.rfind("word/", 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".xml")
      xml += pkg->bytes(name);
  EXPECT_NE(xml.find("w:eastAsia=\"宋体\""), std::string::npos);
  EXPECT_EQ(xml.find("\"-1\""), std::string::npos);
  EXPECT_EQ(xml.find("w:eastAsia=\"-1\""), std::string::npos);
}

} // namespace
