// The engine object and its batch: property names and values, number reading, the event
// protocol (order and numbers, failures in the middle, names with ","), the run modes, and the
// state the engine is left in.

#include <gtest/gtest.h>

#include <clocale>
#include <set>

#include "batch_helpers.h"
#include "engine_access.h"
#include "word/document.h"
#include "word/internal/access.h"

using batchtest::Event;
using batchtest::Folder;
using batchtest::Recorder;
using engine::EngineAccess;
using qftest::para;
using qftest::run;

namespace fs = std::filesystem;

namespace {

// ---- properties --------------------------------------------------------------------------

TEST(EngineProperties, FortyNineNamesInInterfaceOrder) {
  const auto& names = engine::clsDoc::propertyNames();
  ASSERT_EQ(names.size(), 49u);
  EXPECT_EQ(names[0], "纸张大小");
  EXPECT_EQ(names[9], "装订线");
  EXPECT_EQ(names[20], "正文字号");
  EXPECT_EQ(names[27], "字号增减");
  EXPECT_EQ(names[45], "水印颜色");
  EXPECT_EQ(names[46], "DocPath");
  EXPECT_EQ(names[47], "DocFileName");
  EXPECT_EQ(names[48], "DocOutLocation");
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 49u);
}

TEST(EngineProperties, EmptyAtCreationAndKeptAsGiven) {
  engine::clsDoc eng;
  for (const auto& name : engine::clsDoc::propertyNames())
    EXPECT_EQ(eng.property(name), "") << name;
  eng.setProperty("页眉", "  某某市人民政府  ");
  EXPECT_EQ(eng.property("页眉"), "  某某市人民政府  ");
  EXPECT_THROW(eng.setProperty("页眉文字", "x"), std::invalid_argument);
  EXPECT_THROW(eng.property("docpath"), std::invalid_argument);
}

TEST(EngineProperties, SwitchIsOffOnlyForExactlyZero) {
  engine::clsDoc eng;
  for (const auto& [text, on] : std::vector<std::pair<std::string, bool>>{
           {"0", false}, {"1", true}, {"", true}, {"00", true}, {" 0", true}, {"-1", true}}) {
    eng.setProperty("标点", text);
    EXPECT_EQ(eng.settings().fullWidthPunctuation(), on) << "“" << text << "”";
  }
}

struct NumberCase {
  std::string text;
  float value;
};

class EngineNumber : public ::testing::TestWithParam<NumberCase> {};

TEST_P(EngineNumber, ReadsDecimalText) {
  engine::clsDoc eng;
  eng.setProperty("上边距", GetParam().text);
  EXPECT_FLOAT_EQ(eng.settings().topMarginCm(), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Texts, EngineNumber,
                         ::testing::Values(NumberCase{"3.7", 3.7f}, NumberCase{"0", 0.0f},
                                           NumberCase{"-1.25", -1.25f}, NumberCase{"+2", 2.0f},
                                           NumberCase{" 2.5 ", 2.5f}, NumberCase{"1e1", 10.0f},
                                           NumberCase{".5", 0.5f}, NumberCase{"28", 28.0f}));

TEST(EngineNumberErrors, NonNumbersFailNamingTheSettingAndText) {
  engine::clsDoc eng;
  for (const std::string text :
       {"abc", "2,5", "2.5cm", "0x10", "inf", "nan", "+-1", "1e99", "三", "1 2", "--1"}) {
    eng.setProperty("正文字号", text);
    try {
      eng.settings().bodyFontSize();
      ADD_FAILURE() << "accepted “" << text << "”";
    } catch (const word::DocumentError& e) {
      EXPECT_EQ(std::string(e.what()), "设置“正文字号”的值“" + text + "”不是数字");
    }
  }
  for (const std::string text : {"", " \t "}) {
    eng.setProperty("段前", text);
    try {
      eng.settings().spaceBeforeLines();
      ADD_FAILURE() << "accepted an empty text";
    } catch (const word::DocumentError& e) {
      EXPECT_EQ(std::string(e.what()), "设置“段前”的值为空，应为数字");
    }
  }
}

TEST(EngineNumberErrors, DecimalPointWhateverTheLocale) {
  // Where a locale with a decimal comma is installed, it must not change the reading.
  const char* old = std::setlocale(LC_ALL, nullptr);
  std::string saved = old ? old : "C";
  bool comma = std::setlocale(LC_ALL, "de_DE.UTF-8") || std::setlocale(LC_ALL, "fr_FR.UTF-8");
  engine::clsDoc eng;
  eng.setProperty("行距", "28.5");
  EXPECT_FLOAT_EQ(eng.settings().lineSpacingPoints(), 28.5f);
  eng.setProperty("行距", "28,5");
  EXPECT_THROW(eng.settings().lineSpacingPoints(), word::DocumentError);
  std::setlocale(LC_ALL, saved.c_str());
  if (!comma)
    GTEST_SKIP() << "no locale with a decimal comma installed; checked in the C locale only";
}

// ---- the batch protocol ------------------------------------------------------------------

class Batch : public ::testing::Test {
protected:
  Folder dir;
  fs::path in = dir / "in", out = dir / "out";
  engine::clsDoc eng;
  Recorder rec;

  void SetUp() override {
    fs::create_directories(in);
    batchtest::configure(eng, rec, in, out);
  }
  void doc(const std::string& name, const std::string& text = "正文") {
    batchtest::writeTextDocx(in / name, text);
  }
  std::set<std::string> outputs() const {
    std::set<std::string> names;
    if (fs::exists(out))
      for (const auto& e : fs::directory_iterator(out))
        names.insert(e.path().filename().string());
    return names;
  }
};

TEST_F(Batch, OneDocumentSendsBeginEndAndBatchEnd) {
  doc("通知.docx");
  eng.setProperty("DocFileName", "通知.docx");
  eng.Main("ZiHao");
  EXPECT_EQ(rec.outline(),
            (std::vector<std::string>{"0 1/1 通知.docx", "100 1/1 通知.docx", "101 1/1 "}));
  EXPECT_EQ(rec.withId("101").at(0).msg, "处理完毕！");
  EXPECT_EQ(rec.withId("100").at(0).msg, "完成：通知.docx");
  EXPECT_EQ(outputs(), std::set<std::string>{"通知.docx"});
}

TEST_F(Batch, FourDocumentsOfTheFullRunInListOrder) {
  for (const char* name : {"d.docx", "b.docx", "a.docx", "c.docx"})
    doc(name, "关于开展检查的通知");
  eng.setProperty("DocFileName", "d.docx,b.docx,a.docx,c.docx");
  eng.Main("0");
  for (const auto& e : rec.withId("3"))
    ADD_FAILURE() << e.msg;
  EXPECT_EQ(rec.outline(),
            (std::vector<std::string>{"0 1/4 d.docx", "100 1/4 d.docx", "0 2/4 b.docx",
                                      "100 2/4 b.docx", "0 3/4 a.docx", "100 3/4 a.docx",
                                      "0 4/4 c.docx", "100 4/4 c.docx", "101 4/4 "}));
  EXPECT_EQ(outputs(), (std::set<std::string>{"a.docx", "b.docx", "c.docx", "d.docx"}));
  EXPECT_EQ(EngineAccess::app(eng).activeDocument(), nullptr);
}

// What makes the second of three documents fail.
struct BadInput {
  const char* label;
  std::string name;
  void (*make)(const fs::path& file);
  const char* reasonPart; // a piece of the reason the Error must carry
};

class BatchFailure : public Batch, public ::testing::WithParamInterface<BadInput> {};

TEST_P(BatchFailure, IsReportedAndTheBatchGoesOn) {
  const BadInput& bad = GetParam();
  doc("a.docx");
  if (bad.make)
    bad.make(in / bad.name);
  doc("c.docx");
  eng.setDocFiles({"a.docx", bad.name, "c.docx"});
  eng.Main("ZiHao");
  EXPECT_EQ(rec.outline(),
            (std::vector<std::string>{"0 1/3 a.docx", "100 1/3 a.docx", "0 2/3 " + bad.name, "E 2",
                                      "100 2/3 " + bad.name, "0 3/3 c.docx", "100 3/3 c.docx",
                                      "101 3/3 "}));
  const Event error = rec.withId("E").at(0);
  EXPECT_EQ(error.msg.rfind("排版失败：" + bad.name + "：", 0), 0u) << error.msg;
  EXPECT_NE(error.msg.find(bad.reasonPart), std::string::npos) << error.msg;
  EXPECT_EQ(rec.withId("100").at(1).msg, "失败：" + bad.name);
  EXPECT_EQ(outputs(), (std::set<std::string>{"a.docx", "c.docx"}));
  // The failed document was closed unsaved: nothing stays open in the engine.
  EXPECT_EQ(EngineAccess::app(eng).activeDocument(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, BatchFailure,
    ::testing::Values(
        BadInput{"Missing", "gone.docx", nullptr, "文件不存在"},
        BadInput{"Garbage", "bad.docx",
                 [](const fs::path& p) { batchtest::writeFile(p, "this is no document"); },
                 "不是 Word 文档"},
        BadInput{"Empty", "empty.docx", [](const fs::path& p) { batchtest::writeFile(p, ""); },
                 "文件是空的"},
        BadInput{"Folder", "folder.docx", [](const fs::path& p) { fs::create_directory(p); },
                 "文件夹"},
        BadInput{"Unsupported", "scan.pdf",
                 [](const fs::path& p) { batchtest::writeFile(p, "%PDF-1.4\n"); },
                 "不支持的文件类型"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(Batch, ANameWithACommaWorksThroughTheNameList) {
  doc("甲,乙.docx");
  doc("b.docx");
  eng.setProperty("DocFileName", "甲,乙.docx,b.docx");
  eng.setDocFiles({"甲,乙.docx", "b.docx"});
  eng.Main("ZiHao");
  EXPECT_EQ(rec.outline(),
            (std::vector<std::string>{"0 1/2 甲,乙.docx", "100 1/2 甲,乙.docx", "0 2/2 b.docx",
                                      "100 2/2 b.docx", "101 2/2 "}));
  EXPECT_EQ(outputs(), (std::set<std::string>{"甲,乙.docx", "b.docx"}));
}

TEST_F(Batch, DocFileNameAloneSplitsAtEveryComma) {
  doc("甲,乙.docx");
  eng.setProperty("DocFileName", "甲,乙.docx");
  eng.Main("ZiHao");
  EXPECT_EQ(rec.outline(),
            (std::vector<std::string>{"0 1/2 甲", "E 1", "100 1/2 甲", "0 2/2 乙.docx", "E 2",
                                      "100 2/2 乙.docx", "101 2/2 "}));
}

TEST_F(Batch, EmptyNamesAreFailuresAndAnEmptyListIsNoDocument) {
  doc("a.docx");
  doc("b.docx");
  eng.setProperty("DocFileName", "a.docx,,b.docx");
  eng.Main("ZiHao");
  EXPECT_EQ(rec.outline(),
            (std::vector<std::string>{"0 1/3 a.docx", "100 1/3 a.docx", "0 2/3 ", "E 2", "100 2/3 ",
                                      "0 3/3 b.docx", "100 3/3 b.docx", "101 3/3 "}));
  rec.events.clear();
  eng.setProperty("DocFileName", "");
  eng.Main("0");
  EXPECT_EQ(rec.outline(), (std::vector<std::string>{"101 0/0 "}));
}

TEST_F(Batch, UnknownRunModeSendsOnlyAnErrorAndTheBatchEnd) {
  doc("a.docx");
  eng.setProperty("DocFileName", "a.docx");
  for (const char* mode : {"", "1", "zihao", "YeMian "}) {
    rec.events.clear();
    eng.Main(mode);
    EXPECT_EQ(rec.outline(), (std::vector<std::string>{"E 0", "101 0/1 "})) << mode;
    EXPECT_NE(rec.events[0].msg.find(std::string("“") + mode + "”"), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(out));
}

TEST_F(Batch, AnEngineWithoutSinkRunsSilentlyAndCanRunAgain) {
  doc("a.docx");
  eng.SetEventSink(nullptr);
  eng.setProperty("DocFileName", "a.docx");
  eng.Main("ZiHao");
  EXPECT_EQ(outputs(), std::set<std::string>{"a.docx"});
  eng.SetEventSink(&rec);
  eng.setProperty("DocOutLocation", (dir / "again").string());
  eng.Main("ZiHao");
  EXPECT_EQ(rec.outline().size(), 3u);
  EXPECT_TRUE(fs::exists(dir / "again" / "a.docx"));
}

// Nothing of one document's run carries over to the next: each one comes out of the full run
// as it does on its own, whichever document (with or without tables) went before it.
TEST_F(Batch, EveryDocumentComesOutAsItDoesAlone) {
  batchtest::writeDocx(in / "table.docx", para(run("关于开展检查的通知")) + "<w:tbl><w:tr><w:tc>" +
                                              para(run("格 子")) + "</w:tc></w:tr></w:tbl>" +
                                              para(run("正文 内容")));
  doc("plain.docx", "关于 开展检查的通知");
  auto typeset = [&](const std::vector<std::string>& names, const std::string& folder) {
    eng.setProperty("DocOutLocation", (dir / folder).string());
    eng.setDocFiles(names);
    eng.Main("0");
    EXPECT_EQ(rec.withId("E").size(), 0u);
  };
  typeset({"table.docx"}, "table");
  typeset({"plain.docx"}, "plain");
  typeset({"table.docx", "plain.docx"}, "table-plain");
  typeset({"plain.docx", "table.docx"}, "plain-table");
  for (const char* folder : {"table-plain", "plain-table"}) {
    SCOPED_TRACE(folder);
    EXPECT_EQ(qftest::readFile(dir / folder / "plain.docx"),
              qftest::readFile(dir / "plain" / "plain.docx"));
    EXPECT_EQ(qftest::readFile(dir / folder / "table.docx"),
              qftest::readFile(dir / "table" / "table.docx"));
  }
}

// ---- run modes ---------------------------------------------------------------------------

const char* kNumbering =
    "<w:abstractNum w:abstractNumId=\"0\"><w:lvl w:ilvl=\"0\"><w:start w:val=\"1\"/>"
    "<w:numFmt w:val=\"decimal\"/><w:lvlText w:val=\"%1.\"/></w:lvl></w:abstractNum>"
    "<w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num>";

class RunModes : public Batch {
protected:
  // A title, a numbered item in 14 pt bold, and a body paragraph.
  void SetUp() override {
    Batch::SetUp();
    auto pkg = qftest::makePackage(
        para(run("关于开展检查的通知")) +
            para(run("加强组织领导。", "<w:b/><w:sz w:val=\"28\"/>"),
                 "<w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/></w:numPr>") +
            para(run("各单位要高度重视。")),
        "", kNumbering);
    pkg->save((in / "a.docx").string());
    eng.setProperty("DocFileName", "a.docx");
  }
  std::unique_ptr<word::Application> app = std::make_unique<word::Application>();
  word::Document& result() { return app->open((out / "a.docx").string()); }
  static bool numbered(word::Document& d, int i) {
    return word::nodeOf(d.paragraphs().item(i)).child("w:pPr").child("w:numPr");
  }
};

TEST_F(RunModes, FullRunTurnsListNumbersIntoText) {
  eng.Main("0");
  ASSERT_EQ(rec.withId("E").size(), 0u) << rec.withId("E")[0].msg;
  word::Document& d = result();
  std::string text = d.paragraphs().item(2).range().text();
  EXPECT_NE(text.find("1"), std::string::npos) << text;
  EXPECT_LT(text.find("1"), text.find("加强组织领导")) << text;
  EXPECT_FALSE(numbered(d, 2));
}

TEST_F(RunModes, PartialRunsKeepNumbersAndDirectFormatting) {
  for (const char* mode : {"YeMian", "YeMei"}) {
    rec.events.clear();
    eng.Main(mode);
    ASSERT_EQ(rec.withId("E").size(), 0u) << mode << ": " << rec.withId("E")[0].msg;
    word::Document& d = result();
    EXPECT_TRUE(numbered(d, 2)) << mode;
    word::Range item = d.paragraphs().item(2).range();
    EXPECT_EQ(item.text(), "加强组织领导。\r") << mode;
    EXPECT_FLOAT_EQ(item.formatRuns().at(0).font().size(), 14.0f) << mode;
    EXPECT_EQ(item.formatRuns().at(0).font().bold(), -1) << mode;
    app->close(d);
  }
}

} // namespace
