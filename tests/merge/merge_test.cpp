// Document merge, run for real through LibreOffice: list order, the output's name and folder,
// documents that cannot be read, and three documents with colliding styles, lists and pictures
// read back and rendered.

#include "app/merge/merge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "merge_fixtures.h"
#include "word/convert.h"
#include "word/document.h"
#include "word/internal/story.h"

namespace fs = std::filesystem;
using app::merge::MergeRequest;
using app::merge::MergeResult;
using mergetest::Folder;

namespace {

std::time_t localTime(int y, int mo, int d, int h, int mi, int s) {
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

std::vector<std::string> outputs(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (auto& e : fs::directory_iterator(folder, ec))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The paragraphs of a saved document as read back (through LibreOffice for .doc).
std::vector<std::string> readBack(const std::string& path, bool numbersToText = false) {
  word::Application app;
  word::Document& d = app.open(path);
  if (numbersToText)
    d.convertNumbersToText();
  std::vector<std::string> out;
  auto ps = d.paragraphs();
  for (int i = 1; i <= ps.count(); ++i) {
    std::string t = ps.item(i).range().text();
    while (!t.empty() && (t.back() == '\r' || t.back() == '\a'))
      t.pop_back();
    if (!t.empty())
      out.push_back(t);
  }
  return out;
}

bool skipWithoutLibreOffice() {
  return word::findSoffice().empty();
}

// ---- pure parts ---------------------------------------------------------------------------

TEST(MergeName, StampIsLocalDateAndTime) {
  EXPECT_EQ(app::merge::timeStamp(localTime(2024, 1, 2, 3, 4, 5)), "20240102030405");
  EXPECT_EQ(app::merge::timeStamp(localTime(1999, 12, 31, 23, 59, 59)), "19991231235959");
}

TEST(MergeName, SuffixFromTheSecondAttempt) {
  EXPECT_EQ(app::merge::mergeFileName("20240102030405"), "merge20240102030405.doc");
  EXPECT_EQ(app::merge::mergeFileName("20240102030405", 1), "merge20240102030405.doc");
  EXPECT_EQ(app::merge::mergeFileName("20240102030405", 2), "merge20240102030405_2.doc");
  EXPECT_EQ(app::merge::mergeFileName("20240102030405", 12), "merge20240102030405_12.doc");
}

struct SummaryCase {
  const char* name;
  MergeResult result;
  std::string want;
};

MergeResult resultOf(std::string path, std::string name, std::vector<app::merge::MergeFailure> f,
                     std::string saveError, bool tooFew = false) {
  MergeResult r;
  r.outputPath = std::move(path);
  r.outputName = std::move(name);
  r.failures = std::move(f);
  r.saveError = std::move(saveError);
  r.tooFewFiles = tooFew;
  return r;
}

const SummaryCase kSummaries[] = {
    {"Done", resultOf("/o/merge20240102030405.doc", "merge20240102030405.doc", {}, ""),
     "合并完毕！文件名为:merge20240102030405.doc"},
    {"DoneWithLeftOut",
     resultOf("/o/merge1.doc", "merge1.doc", {{"/in/坏.docx", "x"}, {"/in/b.doc", "y"}}, ""),
     "合并完毕！文件名为:merge1.doc\n有 2 个文件未能合并：坏.docx、b.doc"},
    {"SaveFailed", resultOf("", "", {}, "未能保存 merge1.doc：磁盘已满"),
     "合并失败！未能保存 merge1.doc：磁盘已满"},
    {"NothingReadable", resultOf("", "", {{"/a.docx", "x"}, {"/b.docx", "y"}}, ""),
     "合并失败！没有能打开的文件，未生成合并文档。\n有 2 个文件未能合并：a.docx、b.docx"},
    {"TooFew", resultOf("", "", {}, "", true), "请选择要合并的文件，至少2个！"},
};

class MergeSummary : public testing::TestWithParam<SummaryCase> {};

TEST_P(MergeSummary, SaysWhatHappened) {
  EXPECT_EQ(GetParam().result.summary(), GetParam().want);
  EXPECT_EQ(GetParam().result.complete(), std::string(GetParam().name) == "Done");
}

INSTANTIATE_TEST_SUITE_P(Cases, MergeSummary, testing::ValuesIn(kSummaries),
                         [](const auto& info) { return std::string(info.param.name); });

class MergeTooFew : public testing::TestWithParam<int> {};

TEST_P(MergeTooFew, NothingHappens) {
  Folder dir;
  std::vector<std::string> files;
  for (int i = 0; i < GetParam(); ++i) {
    files.push_back(dir / ("d" + std::to_string(i) + ".docx"));
    mergetest::writeFile(files.back(), mergetest::simpleDocx({"x"}));
  }
  int calls = 0;
  MergeRequest req;
  req.files = files;
  req.outputFolder = dir / "out";
  req.progress = [&](const app::merge::MergeProgress&) { ++calls; };
  MergeResult r = app::merge::mergeDocuments(req);
  EXPECT_TRUE(r.tooFewFiles);
  EXPECT_EQ(r.summary(), app::merge::kTooFewFiles);
  EXPECT_EQ(calls, 0);
  EXPECT_FALSE(fs::exists(dir / "out")) << "nothing is created for too few documents";
}

INSTANTIATE_TEST_SUITE_P(Counts, MergeTooFew, testing::Values(0, 1));

TEST(MergeFolder, BlockedOutputFolderIsReportedForEveryDocument) {
  Folder dir;
  mergetest::writeFile(dir / "plain", "a file where a folder should be");
  std::vector<std::string> files{dir / "a.docx", dir / "b.docx"};
  for (auto& f : files)
    mergetest::writeFile(f, mergetest::simpleDocx({"x"}));
  std::vector<std::string> lines;
  MergeRequest req;
  req.files = files;
  req.outputFolder = dir / "plain/sub";
  req.progress = [&](const app::merge::MergeProgress& p) {
    lines.push_back(p.line);
    EXPECT_FALSE(p.ok);
  };
  MergeResult r = app::merge::mergeDocuments(req);
  EXPECT_FALSE(r.saved());
  EXPECT_EQ(r.summary().rfind("合并失败！无法创建输出文件夹", 0), 0u) << r.summary();
  EXPECT_EQ(lines.size(), 2u);
}

// ---- real merges (LibreOffice) --------------------------------------------------------------

TEST(MergeRun, ThreeDocumentsWithCollidingStylesListsAndPictures) {
  if (skipWithoutLibreOffice())
    GTEST_SKIP() << word::sofficeMissingMessage();
  using namespace mergetest;
  Folder dir;
  // Every document defines heading 1 its own way, has its own picture behind the same
  // relationship id and drawing id, and a numbered list: the first two share one list (the
  // same identifier and definition), the third has a list of its own.
  writeFile(dir / "一.docx", docx(heading("第一篇") + item("甲项", 1) + item("乙项", 1) +
                                      picture(1) + para("正文一"),
                                  styles(32), numbering("5A5A5A5A", "decimal", "%1."), tinyPng(0)));
  writeFile(dir / "二.docx", docx(heading("第二篇") + item("丙项", 1) + item("丁项", 1) +
                                      picture(1) + para("正文二"),
                                  styles(44), numbering("5A5A5A5A", "decimal", "%1."), tinyPng(1)));
  writeFile(dir / "三.docx", docx(heading("第三篇") + item("戊项", 1) + item("己项", 1) +
                                      picture(1) + para("正文三"),
                                  styles(36), numbering("7B7B7B7B", "decimal", "%1)"), tinyPng(2)));
  std::vector<std::pair<int, int>> progress;
  MergeRequest req;
  req.files = {dir / "一.docx", dir / "二.docx", dir / "三.docx"};
  req.outputFolder = dir / "out";
  req.clock = [] { return localTime(2024, 5, 6, 7, 8, 9); };
  req.progress = [&](const app::merge::MergeProgress& p) {
    progress.emplace_back(p.done, p.total);
    EXPECT_TRUE(p.ok);
  };
  MergeResult r = app::merge::mergeDocuments(req);
  ASSERT_TRUE(r.complete()) << r.summary();
  EXPECT_EQ(r.merged, 3);
  EXPECT_EQ(r.outputName, "merge20240506070809.doc");
  EXPECT_EQ(r.summary(), "合并完毕！文件名为:merge20240506070809.doc");
  EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
  std::string bytes = readFile(r.outputPath);
  ASSERT_GE(bytes.size(), 8u);
  EXPECT_EQ(bytes.substr(0, 4), std::string("\xD0\xCF\x11\xE0", 4)) << "a Word 97 file";

  // Read back: text order, numbers as Word continues them, each heading in its own size,
  // three pictures.
  word::Application app;
  word::Document& d = app.open(r.outputPath);
  d.convertNumbersToText();
  std::vector<std::string> texts;
  std::vector<float> headingSizes;
  int pictures = 0;
  auto ps = d.paragraphs();
  for (int i = 1; i <= ps.count(); ++i) {
    std::string t = ps.item(i).range().text();
    pictures += static_cast<int>(std::count(t.begin(), t.end(), '\x01'));
    std::string clean;
    for (char c : t)
      if (c != '\r' && c != '\t' && c != '\x01' && c != ' ')
        clean += c;
    if (clean.empty())
      continue;
    texts.push_back(clean);
    if (clean.rfind("第", 0) == 0)
      headingSizes.push_back(ps.item(i).range().font().size());
  }
  EXPECT_EQ(texts,
            (std::vector<std::string>{"第一篇", "1.甲项", "2.乙项", "正文一", "第二篇", "3.丙项",
                                      "4.丁项", "正文二", "第三篇", "1)戊项", "2)己项", "正文三"}));
  EXPECT_EQ(headingSizes, (std::vector<float>{16, 22, 18}));
  EXPECT_EQ(pictures, 3);

  // Rendered: every document's text and all three pictures are on the pages.
  std::vector<word::ConversionJob> jobs{{r.outputPath, dir / "merged.pdf", "pdf", {}, false}};
  word::convertFiles(jobs);
  ASSERT_TRUE(jobs[0].ok) << jobs[0].error;
  std::string text = pdfText(dir / "merged.pdf");
  for (const char* want :
       {"第一篇", "甲项", "正文一", "第二篇", "丁项", "正文二", "第三篇", "己项", "正文三"})
    EXPECT_NE(text.find(want), std::string::npos) << want << " missing from\n" << text;
  EXPECT_LT(text.find("正文一"), text.find("第二篇"));
  EXPECT_LT(text.find("正文二"), text.find("第三篇"));
  EXPECT_EQ(pdfImageCount(dir / "merged.pdf"), 3);
}

TEST(MergeRun, ListOrderAndUnreadableDocumentsAndLegacyInputs) {
  if (skipWithoutLibreOffice())
    GTEST_SKIP() << word::sofficeMissingMessage();
  using namespace mergetest;
  Folder dir;
  writeFile(dir / "a.docx", simpleDocx({"文档甲"}));
  writeFile(dir / "c.docx", simpleDocx({"文档丙"}));
  writeFile(dir / "坏.docx", "this is not a zip archive");
  // RTF written by hand (乙 is U+4E59) and GB18030 text (丁 is 0xB6A1).
  writeFile(dir / "b.rtf", "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Arial;}}\\f0 \\u25991?\\u26723?"
                           "\\u20057?\\par}");
  writeFile(dir / "d.txt", "\xCE\xC4\xB5\xB5\xB6\xA1\r\n");
  std::vector<std::tuple<int, int, std::string, std::string, bool>> calls;
  MergeRequest req;
  // List order, not name order: c before a; the unreadable ones in between.
  req.files = {dir / "c.docx",  dir / "缺.docx", dir / "a.docx",
               dir / "坏.docx", dir / "b.rtf",   dir / "d.txt"};
  req.outputFolder = dir / "深/层/out";
  req.progress = [&](const app::merge::MergeProgress& p) {
    calls.emplace_back(p.done, p.total, fs::path(p.file).filename().string(), p.line, p.ok);
  };
  MergeResult r = app::merge::mergeDocuments(req);
  ASSERT_TRUE(r.saved()) << r.summary();
  EXPECT_FALSE(r.complete());
  EXPECT_EQ(r.merged, 4);
  ASSERT_EQ(r.failures.size(), 2u);
  EXPECT_EQ(fs::path(r.failures[0].file).filename(), "缺.docx");
  EXPECT_EQ(r.failures[0].reason, "文件不存在；请检查文件名和所在的文件夹");
  EXPECT_EQ(fs::path(r.failures[1].file).filename(), "坏.docx");
  EXPECT_NE(r.summary().find("有 2 个文件未能合并：缺.docx、坏.docx"), std::string::npos)
      << r.summary();
  ASSERT_EQ(calls.size(), 6u);
  for (size_t i = 0; i < calls.size(); ++i) {
    EXPECT_EQ(std::get<0>(calls[i]), static_cast<int>(i) + 1);
    EXPECT_EQ(std::get<1>(calls[i]), 6);
  }
  EXPECT_EQ(std::get<3>(calls[0]), "已合并：c.docx");
  std::vector<bool> oks;
  for (auto& c : calls)
    oks.push_back(std::get<4>(c));
  EXPECT_EQ(oks, (std::vector<bool>{true, false, true, false, true, true}));
  EXPECT_EQ(std::get<3>(calls[1]), "无法合并：缺.docx：文件不存在；请检查文件名和所在的文件夹");
  EXPECT_EQ(std::get<3>(calls[3]).rfind("无法合并：坏.docx：", 0), 0u);
  EXPECT_TRUE(fs::is_directory(dir / "深/层/out"));
  std::vector<std::string> texts = readBack(r.outputPath);
  EXPECT_EQ(texts, (std::vector<std::string>{"文档丙", "文档甲", "文档乙", "文档丁"}));
}

TEST(MergeRun, TwoMergesInTheSameSecondKeepBoth) {
  if (skipWithoutLibreOffice())
    GTEST_SKIP() << word::sofficeMissingMessage();
  using namespace mergetest;
  Folder dir;
  writeFile(dir / "a.docx", simpleDocx({"第一"}));
  writeFile(dir / "b.docx", simpleDocx({"第二"}));
  MergeRequest req;
  req.files = {dir / "a.docx", dir / "b.docx"};
  req.outputFolder = dir / "out";
  req.clock = [] { return localTime(2024, 1, 2, 3, 4, 5); };
  MergeResult first = app::merge::mergeDocuments(req);
  req.files = {dir / "b.docx", dir / "a.docx"};
  MergeResult second = app::merge::mergeDocuments(req);
  ASSERT_TRUE(first.complete()) << first.summary();
  ASSERT_TRUE(second.complete()) << second.summary();
  EXPECT_EQ(first.outputName, "merge20240102030405.doc");
  EXPECT_EQ(second.outputName, "merge20240102030405_2.doc");
  EXPECT_EQ(second.summary(), "合并完毕！文件名为:merge20240102030405_2.doc");
  EXPECT_EQ(outputs(dir / "out"),
            (std::vector<std::string>{"merge20240102030405.doc", "merge20240102030405_2.doc"}));
  EXPECT_EQ(readBack(first.outputPath), (std::vector<std::string>{"第一", "第二"}));
  EXPECT_EQ(readBack(second.outputPath), (std::vector<std::string>{"第二", "第一"}));
}

TEST(MergeRun, NothingReadableWritesNothing) {
  Folder dir;
  mergetest::writeFile(dir / "x.docx", "garbage");
  MergeRequest req;
  req.files = {dir / "x.docx", dir / "y.docx"};
  req.outputFolder = dir / "out";
  MergeResult r = app::merge::mergeDocuments(req);
  EXPECT_FALSE(r.saved());
  EXPECT_EQ(r.failures.size(), 2u);
  EXPECT_EQ(r.summary().rfind("合并失败！", 0), 0u);
  EXPECT_TRUE(outputs(dir / "out").empty());
}

// Documents whose text would not read back (bytes that are not UTF-8, a part that does not
// parse) are left out by name (a character XML does not allow is dropped when the document is
// read, so that one merges); the rest are merged and the output
// reads back. One bad document never sinks the merge.
TEST(MergeRun, ADocumentWhoseTextCannotBeReadIsLeftOutByName) {
  if (skipWithoutLibreOffice())
    GTEST_SKIP() << word::sofficeMissingMessage();
  struct Bad {
    const char* name;
    std::string bytes;
  } bads[] = {
      {"gbk.docx", mergetest::docx(mergetest::para("\xC7\xEB\xB0\xB4"), "", "", "")},
      {"styles.docx",
       mergetest::docx(mergetest::para("样式"), "<w:style><oops></w:style>", "", "")},
  };
  for (const Bad& bad : bads) {
    SCOPED_TRACE(bad.name);
    Folder dir;
    mergetest::writeFile(dir / "a.docx", mergetest::simpleDocx({"文档甲"}));
    mergetest::writeFile(dir / bad.name, bad.bytes);
    mergetest::writeFile(dir / "b.docx", mergetest::simpleDocx({"文档乙"}));
    MergeRequest req;
    req.files = {dir / "a.docx", dir / bad.name, dir / "b.docx"};
    req.outputFolder = dir / "out";
    std::vector<std::string> lines;
    req.progress = [&](const app::merge::MergeProgress& p) { lines.push_back(p.line); };
    MergeResult r = app::merge::mergeDocuments(req);
    ASSERT_TRUE(r.saved()) << r.summary();
    EXPECT_EQ(r.merged, 2);
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(fs::path(r.failures[0].file).filename(), bad.name);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].rfind(std::string("无法合并：") + bad.name + "：", 0), 0u) << lines[1];
    EXPECT_EQ(readBack(r.outputPath), (std::vector<std::string>{"文档甲", "文档乙"}));
  }
}

// An entry named like the output - a link to a file elsewhere - is never written through: the
// merge takes the next free name and the link's target keeps its bytes.
TEST(MergeRun, ALinkNamedLikeTheOutputIsNotWrittenThrough) {
  if (skipWithoutLibreOffice())
    GTEST_SKIP() << word::sofficeMissingMessage();
  Folder dir;
  mergetest::writeFile(dir / "a.docx", mergetest::simpleDocx({"文档甲"}));
  mergetest::writeFile(dir / "b.docx", mergetest::simpleDocx({"文档乙"}));
  mergetest::writeFile(dir / "victim.doc", "keep");
  const std::time_t t = localTime(2024, 1, 2, 3, 4, 5);
  fs::create_directories(dir / "out");
  fs::create_symlink(dir / "victim.doc", dir / "out" / app::merge::mergeFileName("20240102030405"));
  MergeRequest req;
  req.files = {dir / "a.docx", dir / "b.docx"};
  req.outputFolder = dir / "out";
  req.clock = [t] { return t; };
  MergeResult r = app::merge::mergeDocuments(req);
  ASSERT_TRUE(r.saved()) << r.summary();
  EXPECT_EQ(r.outputName, app::merge::mergeFileName("20240102030405", 2));
  EXPECT_EQ(mergetest::readFile(dir / "victim.doc"), "keep");
}

} // namespace
