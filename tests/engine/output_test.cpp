// Output saving and the font-size-only run: output names, the format each extension gets,
// the guards around the output folder and the sources, legacy formats converted per batch,
// and the sizes of every run moving the chosen way.

#include <gtest/gtest.h>

#include <set>

#include "../common/scoped_env.h"
#include "batch_helpers.h"
#include "word/convert.h"
#include "word/document.h"

using batchtest::Folder;
using batchtest::Recorder;
using qftest::para;
using qftest::run;

namespace fs = std::filesystem;

namespace {

std::set<std::string> names(const fs::path& folder) {
  std::set<std::string> out;
  for (const auto& e : fs::directory_iterator(folder))
    out.insert(e.path().filename().string());
  return out;
}

class Saving : public ::testing::Test {
protected:
  Folder dir;
  fs::path in = dir / "in", out = dir / "out";
  engine::clsDoc eng;
  Recorder rec;
  void SetUp() override {
    fs::create_directories(in);
    batchtest::configure(eng, rec, in, out);
  }
  void runBatch(std::vector<std::string> files, const char* mode = "ZiHao") {
    eng.setDocFiles(std::move(files));
    eng.Main(mode);
  }
  std::string errors() const {
    std::string all;
    for (const auto& e : rec.withId("E"))
      all += e.msg + "\n";
    return all;
  }
};

TEST_F(Saving, OutputFolderIsCreatedWithItsParents) {
  batchtest::writeTextDocx(in / "a.docx", "正文");
  out = dir / "x" / "y" / "z";
  eng.setProperty("DocOutLocation", out.string());
  runBatch({"a.docx"});
  EXPECT_EQ(errors(), "");
  EXPECT_TRUE(batchtest::isZip(batchtest::readFile(out / "a.docx")));
}

TEST_F(Saving, AFolderThatCannotBeMadeFailsEveryDocument) {
  batchtest::writeTextDocx(in / "a.docx", "正文");
  batchtest::writeTextDocx(in / "b.docx", "正文");
  batchtest::writeFile(dir / "plain", "a file, not a folder");
  eng.setProperty("DocOutLocation", (dir / "plain" / "sub").string());
  runBatch({"a.docx", "b.docx"});
  ASSERT_EQ(rec.withId("E").size(), 2u);
  for (const auto& e : rec.withId("E"))
    EXPECT_NE(e.msg.find("无法创建输出文件夹"), std::string::npos) << e.msg;
  for (const auto& e : rec.withId("100"))
    EXPECT_EQ(e.msg.rfind("失败：", 0), 0u) << e.msg;
}

TEST_F(Saving, AnOutputThatIsAFolderIsAFailure) {
  batchtest::writeTextDocx(in / "a.docx", "正文");
  fs::create_directories(out / "a.docx");
  runBatch({"a.docx"});
  ASSERT_EQ(rec.withId("E").size(), 1u);
  EXPECT_EQ(rec.withId("100").at(0).msg, "失败：a.docx");
  EXPECT_TRUE(fs::is_directory(out / "a.docx"));
}

TEST_F(Saving, AnExistingOutputIsReplacedWholeAndNoTemporaryFileStays) {
  batchtest::writeTextDocx(in / "a.docx", "新的正文");
  fs::create_directories(out);
  batchtest::writeFile(out / "a.docx", "an older result");
  runBatch({"a.docx"});
  EXPECT_EQ(errors(), "");
  EXPECT_EQ(names(out), std::set<std::string>{"a.docx"});
  word::Application app;
  EXPECT_EQ(app.open((out / "a.docx").string()).paragraphs().item(1).range().text(), "新的正文\r");
}

TEST_F(Saving, TheSourceIsNeverOverwrittenWhenOutputIsTheSourceFolder) {
  batchtest::writeTextDocx(in / "a.docx", "正文");
  const std::string before = batchtest::readFile(in / "a.docx");
  eng.setProperty("DocOutLocation", in.string());
  runBatch({"a.docx"});
  ASSERT_EQ(rec.withId("E").size(), 1u);
  EXPECT_NE(rec.withId("E")[0].msg.find("源文件"), std::string::npos) << errors();
  EXPECT_EQ(batchtest::readFile(in / "a.docx"), before);
  EXPECT_EQ(names(in), std::set<std::string>{"a.docx"});
}

TEST_F(Saving, ALinkInTheOutputFolderToASourceIsRefused) {
  batchtest::writeTextDocx(in / "a.docx", "正文");
  const std::string before = batchtest::readFile(in / "a.docx");
  fs::create_directories(out);
  fs::create_symlink(in / "a.docx", out / "a.docx");
  runBatch({"a.docx"});
  ASSERT_EQ(rec.withId("E").size(), 1u) << errors();
  EXPECT_EQ(batchtest::readFile(in / "a.docx"), before);
}

TEST_F(Saving, TwoSourcesOfOneOutputNameGiveAWarning) {
  fs::create_directories(dir / "one");
  fs::create_directories(dir / "two");
  batchtest::writeTextDocx(dir / "one" / "a.docx", "第一份");
  batchtest::writeTextDocx(dir / "two" / "a.docx", "第二份");
  eng.setProperty("DocPath", "");
  runBatch({(dir / "one" / "a.docx").string(), (dir / "two" / "a.docx").string()});
  EXPECT_EQ(errors(), "");
  ASSERT_EQ(rec.withId("3").size(), 1u);
  EXPECT_EQ(rec.withId("3")[0].cur, "2");
  EXPECT_EQ(rec.withId("3")[0].doc, "a.docx");
  word::Application app;
  EXPECT_EQ(app.open((out / "a.docx").string()).paragraphs().item(1).range().text(), "第二份\r");
}

// ---- legacy formats, converted once per batch --------------------------------------------

// Text of every paragraph of a .docx, joined.
std::string docxText(const fs::path& p) {
  word::Application app;
  word::Document& d = app.open(p.string());
  std::string text;
  for (int i = 1; i <= d.paragraphs().count(); ++i)
    text += d.paragraphs().item(i).range().text();
  return text;
}

class LegacyBatch : public ::testing::Test {
protected:
  static inline Folder* shared = nullptr;
  // One .doc and one .odt made by LibreOffice; the RTF written by hand; the WPS is Word
  // 97-2003 content under its own extension (what WPS Office saves).
  static void SetUpTestSuite() {
    shared = new Folder;
    fs::path src = *shared / "src";
    fs::create_directories(src);
    batchtest::writeDocx(src / "base.docx",
                         para(run("关于表彰先进的决定", "<w:sz w:val=\"44\"/>")) +
                             para(run("各科室：", "<w:sz w:val=\"32\"/>")));
    std::vector<word::ConversionJob> jobs(2);
    jobs[0].input = jobs[1].input = (src / "base.docx").string();
    jobs[0].output = (src / "base.doc").string();
    jobs[1].output = (src / "base.odt").string();
    word::convertFiles(jobs);
    for (const auto& j : jobs)
      ASSERT_TRUE(j.ok) << j.output << ": " << j.error;
  }
  static void TearDownTestSuite() {
    delete shared;
    shared = nullptr;
  }
  Folder dir;
  fs::path in = dir / "in", out = dir / "out";
  engine::clsDoc eng;
  Recorder rec;
  void SetUp() override {
    fs::create_directories(in);
    batchtest::configure(eng, rec, in, out);
  }
};

const char* kRtf = "{\\rtf1\\ansi\\ansicpg936\\deff0{\\fonttbl{\\f0 SimSun;}}\\uc1"
                   "\\pard\\fs44 \\u20851?\\u20110?\\u36890?\\u30693?\\par"
                   "\\pard\\fs28 \\u27491?\\u25991?\\par}";

TEST_F(LegacyBatch, EveryOutputHasTheFormatOfItsExtensionAndLibreOfficeStartsOncePerFormat) {
  const fs::path src = *shared / "src";
  fs::copy_file(src / "base.doc", in / "a.doc");
  fs::copy_file(src / "base.doc", in / "b.doc");
  fs::copy_file(src / "base.doc", in / "e.wps");
  fs::copy_file(src / "base.odt", in / "d.odt");
  batchtest::writeFile(in / "c.rtf", kRtf);
  for (const char* txt : {"f.txt", "G.TXT", "h.TxT"})
    batchtest::writeFile(in / txt, "会议纪要\n正文\n");
  batchtest::writeTextDocx(in / "notes.txt.docx", "正文");
  batchtest::writeTextDocx(in / "plain.docx", "正文");

  // A user cache with no profile kept from earlier runs.
  qftest::ScopedEnv cache("XDG_CACHE_HOME", (dir / "cache").string());
  const unsigned before = word::sofficeLaunchCount();
  eng.setDocFiles({"a.doc", "b.doc", "c.rtf", "d.odt", "e.wps", "f.txt", "G.TXT", "h.TxT",
                   "notes.txt.docx", "plain.docx"});
  eng.Main("ZiHao");
  const unsigned launches = word::sofficeLaunchCount() - before;

  EXPECT_EQ(rec.withId("E").size(), 0u) << rec.withId("E")[0].msg;
  EXPECT_EQ(rec.withId("100").size(), 10u);
  // Inputs: one start for all five legacy documents. Outputs: one LibreOffice, the batch's kept
  // office on the profile that start left, takes each format (doc, rtf, odt) and the read-back
  // for the integrity check.
  EXPECT_EQ(launches, 2u);
  EXPECT_TRUE(rec.withId("3").empty()) << rec.withId("3")[0].msg;
  EXPECT_EQ(names(out), (std::set<std::string>{"a.doc", "b.doc", "c.rtf", "d.odt", "e.wps", "f.doc",
                                               "G.doc", "h.doc", "notes.txt.docx", "plain.docx"}));
  for (const char* ole : {"a.doc", "b.doc", "e.wps", "f.doc", "G.doc", "h.doc"})
    EXPECT_TRUE(batchtest::isOle(batchtest::readFile(out / ole))) << ole;
  EXPECT_EQ(batchtest::readFile(out / "c.rtf").rfind("{\\rtf", 0), 0u);
  const std::string odt = batchtest::readFile(out / "d.odt");
  EXPECT_TRUE(batchtest::isZip(odt));
  EXPECT_NE(odt.find("application/vnd.oasis.opendocument.text"), std::string::npos);
  for (const char* docx : {"notes.txt.docx", "plain.docx"})
    EXPECT_TRUE(batchtest::isZip(batchtest::readFile(out / docx))) << docx;

  // A notice for each document that came through LibreOffice, none for the others.
  std::set<std::string> converted;
  for (const auto& e : rec.withId("2"))
    converted.insert(e.doc);
  EXPECT_EQ(converted, (std::set<std::string>{"a.doc", "b.doc", "c.rtf", "d.odt", "e.wps"}));

  // Read back: the text survived and the 22 pt title became 20 pt.
  std::vector<word::ConversionJob> back(2);
  back[0].input = (out / "a.doc").string();
  back[0].output = (dir / "a-back.docx").string();
  back[1].input = (out / "f.doc").string();
  back[1].output = (dir / "f-back.docx").string();
  word::convertFiles(back);
  ASSERT_TRUE(back[0].ok && back[1].ok) << back[0].error << back[1].error;
  word::Application app;
  word::Document& a = app.open(back[0].output);
  EXPECT_EQ(a.paragraphs().item(1).range().text(), "关于表彰先进的决定\r");
  EXPECT_FLOAT_EQ(a.paragraphs().item(1).range().font().size(), 20.0f);
  EXPECT_EQ(docxText(back[1].output), "会议纪要\r正文\r");
}

TEST_F(LegacyBatch, ATextSourceMayBeSavedBesideItselfButNeverOverAnotherSource) {
  batchtest::writeFile(in / "a.txt", "甲\n");
  batchtest::writeFile(in / "a.doc", "an unrelated older document");
  batchtest::writeFile(in / "b.txt", "乙\n");
  eng.setProperty("DocOutLocation", in.string());
  eng.setDocFiles({"a.txt", "b.txt"});
  eng.Main("ZiHao");
  ASSERT_EQ(rec.withId("E").size(), 1u);
  EXPECT_EQ(rec.withId("E")[0].cur, "1");
  EXPECT_NE(rec.withId("E")[0].msg.find("a.doc"), std::string::npos);
  EXPECT_EQ(batchtest::readFile(in / "a.doc"), "an unrelated older document");
  EXPECT_TRUE(batchtest::isOle(batchtest::readFile(in / "b.doc")));
}

TEST_F(LegacyBatch, AFailedLegacyConversionIsAnErrorOfThatDocumentAlone) {
  // OLE bytes that are no Word document: LibreOffice cannot read them.
  batchtest::writeFile(in / "broken.doc", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) +
                                              std::string(600, '\x07'));
  batchtest::writeTextDocx(in / "ok.docx", "正文");
  eng.setDocFiles({"broken.doc", "ok.docx"});
  eng.Main("ZiHao");
  EXPECT_EQ(rec.outline(),
            (std::vector<std::string>{"0 1/2 broken.doc", "E 1", "100 1/2 broken.doc",
                                      "0 2/2 ok.docx", "100 2/2 ok.docx", "101 2/2 "}));
  EXPECT_EQ(names(out), std::set<std::string>{"ok.docx"});
}

// ---- the font-size-only run --------------------------------------------------------------

std::string sized(const std::string& text, int halfPoints, const std::string& more = "") {
  return run(text, more + "<w:sz w:val=\"" + std::to_string(halfPoints) + "\"/>");
}

// Sizes of the runs of paragraph `i`.
std::vector<float> runSizes(word::Document& d, int i) {
  std::vector<float> sizes;
  for (const auto& r : d.paragraphs().item(i).range().formatRuns())
    sizes.push_back(r.font().size());
  return sizes;
}

struct Direction {
  const char* label;
  std::string setting;
  std::vector<float> mixed; // 22 16 14 12 10.5 9 11
  float styled;             // a 14 pt paragraph style
};

class FontSizes : public Saving, public ::testing::WithParamInterface<Direction> {};

TEST_P(FontSizes, EveryRunMovesOnItsOwn) {
  const std::string styles =
      "<w:docDefaults><w:rPrDefault><w:rPr><w:sz w:val=\"21\"/></w:rPr></w:rPrDefault>"
      "</w:docDefaults>"
      "<w:style w:type=\"paragraph\" w:styleId=\"Big\"><w:name w:val=\"Big\"/>"
      "<w:rPr><w:sz w:val=\"28\"/></w:rPr></w:style>";
  qftest::makePackage(
      para(sized("标题", 44, "<w:b/>") + sized("三号", 32) + sized("四号", 28) + sized("小四", 24) +
           sized("五号", 21) + sized("小五", 18) + sized("大五", 22)) +
          para(run("默认字号")) + para(run("样式字号"), "<w:pStyle w:val=\"Big\"/>"),
      styles)
      ->save((in / "a.docx").string());
  eng.setProperty("字号增减", GetParam().setting);
  runBatch({"a.docx"});
  ASSERT_EQ(errors(), "");
  word::Application app;
  word::Document& d = app.open((out / "a.docx").string());
  EXPECT_EQ(runSizes(d, 1), GetParam().mixed);
  EXPECT_EQ(d.paragraphs().item(1).range().text(), "标题三号四号小四五号小五大五\r");
  EXPECT_EQ(d.paragraphs().item(1).range().formatRuns().at(0).font().bold(), -1);
  EXPECT_EQ(runSizes(d, 2), std::vector<float>{10.5f});
  EXPECT_EQ(runSizes(d, 3), std::vector<float>{GetParam().styled});
}

INSTANTIATE_TEST_SUITE_P(
    Settings, FontSizes,
    ::testing::Values(Direction{"Smaller", "1", {20, 16, 12, 10, 10.5f, 9, 9}, 12},
                      Direction{"Larger", "0", {24, 16, 16, 14, 10.5f, 9, 13}, 16},
                      Direction{"EmptyMeansSmaller", "", {20, 16, 12, 10, 10.5f, 9, 9}, 12}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(Saving, FontSizeRunReachesTablesAndKeepsTheText) {
  qftest::makePackage(para(sized("正文", 28)) + "<w:tbl><w:tr><w:tc>" + para(sized("单元格", 24)) +
                      "</w:tc></w:tr></w:tbl>" + para(sized("末段", 32)))
      ->save((in / "a.docx").string());
  runBatch({"a.docx"});
  ASSERT_EQ(errors(), "");
  word::Application app;
  word::Document& d = app.open((out / "a.docx").string());
  ASSERT_EQ(d.paragraphs().count(), 3);
  EXPECT_EQ(runSizes(d, 1), std::vector<float>{12});
  EXPECT_EQ(runSizes(d, 2), std::vector<float>{10});
  EXPECT_EQ(runSizes(d, 3), std::vector<float>{16});
  EXPECT_EQ(d.tablesCount(), 1);
}

} // namespace
