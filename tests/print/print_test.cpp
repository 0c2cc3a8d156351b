// Document print against a real CUPS queue: Quillfold_PDF, a cups-pdf virtual printer that
// scripts/start-cups sets up (CI runs it before the tests). Each job's PDF is found in cups-pdf's
// output folder by its job id and read with pdftotext.

#include "app/print/print.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/merge/merge_fixtures.h"
#include "word/convert.h"

namespace fs = std::filesystem;
using app::print::PrintRequest;
using app::print::PrintResult;
using app::print::Wait;
using mergetest::Folder;

namespace {

const std::string kQueue = "Quillfold_PDF";

bool haveQueue() {
  for (const std::string& n : app::print::printers().names)
    if (n == kQueue)
      return true;
  return false;
}

#define REQUIRE_PRINTER()                                                                          \
  do {                                                                                             \
    if (!haveQueue())                                                                              \
      GTEST_SKIP() << "no CUPS queue " << kQueue << " (run scripts/start-cups as root)";           \
    if (word::findSoffice().empty())                                                               \
      GTEST_SKIP() << word::sofficeMissingMessage();                                               \
  } while (0)

// cups-pdf's output folder for this user, from its configuration ("Out", default ~/PDF).
std::string cupsPdfFolder() {
  std::string out = "${HOME}/PDF";
  std::ifstream conf("/etc/cups/cups-pdf.conf");
  for (std::string line; std::getline(conf, line);)
    if (line.rfind("Out ", 0) == 0)
      out = line.substr(4);
  const passwd* pw = getpwuid(getuid());
  std::string user = pw ? pw->pw_name : "", home = pw ? pw->pw_dir : "";
  for (auto [var, value] :
       {std::pair<std::string, std::string>{"${USER}", user}, {"${HOME}", home}})
    for (size_t at; (at = out.find(var)) != std::string::npos;)
      out.replace(at, var.size(), value);
  while (!out.empty() && (out.back() == ' ' || out.back() == '\t'))
    out.pop_back();
  return out;
}

// The PDF cups-pdf wrote for job `id` ("…-job_<id>.pdf" or "job_<id>-…"), waiting a little for
// it to appear; "" when it does not.
std::string pdfOfJob(int id) {
  const std::string folder = cupsPdfFolder(), tag = "job_" + std::to_string(id);
  for (int i = 0; i < 100; ++i) {
    std::error_code ec;
    for (auto& e : fs::directory_iterator(folder, ec)) {
      std::string name = e.path().filename().string();
      bool tagged =
          name.find("-" + tag + ".pdf") != std::string::npos || name.rfind(tag + "-", 0) == 0;
      if (tagged && e.file_size(ec) > 0)
        return e.path().string();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return {};
}

// The first page of a PDF as a 50 dpi grey image (pdftoppm), row by row; empty on failure.
struct Page {
  int width = 0, height = 0;
  std::string pixels;
};

Page firstPage(const std::string& pdf, const std::string& scratch) {
  Page page;
  std::string base = scratch + "/page";
  mergetest::capture("pdftoppm -r 50 -gray -singlefile -f 1 -l 1 '" + pdf + "' '" + base +
                     "' 2>/dev/null");
  std::string pgm = mergetest::readFile(base + ".pgm");
  std::error_code ec;
  fs::remove(base + ".pgm", ec);
  // P5 <width> <height> <max> then the bytes.
  std::istringstream in(pgm);
  std::string magic;
  int maxval = 0;
  if (!(in >> magic >> page.width >> page.height >> maxval) || magic != "P5")
    return {};
  in.get();
  page.pixels.assign(std::istreambuf_iterator<char>(in), {});
  if (page.pixels.size() != static_cast<size_t>(page.width) * static_cast<size_t>(page.height))
    return {};
  return page;
}

// Mean absolute difference of two pages' grey values (0 the same … 255 inverse).
double pageDifference(const Page& a, const Page& b) {
  if (a.width != b.width || a.height != b.height || a.pixels.empty())
    return 255;
  double sum = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i)
    sum += std::abs(static_cast<int>(static_cast<unsigned char>(a.pixels[i])) -
                    static_cast<int>(static_cast<unsigned char>(b.pixels[i])));
  return sum / static_cast<double>(a.pixels.size());
}

std::string unique(const std::string& what) {
  return what + std::to_string(::getpid()) + "x" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 1000000);
}

// ---- pure parts ---------------------------------------------------------------------------

struct SummaryCase {
  const char* name;
  PrintResult result;
  std::string want;
};

PrintResult resultOf(int printed, std::vector<app::print::PrintFailure> failures,
                     std::string noPrinter = "", bool nothing = false) {
  PrintResult r;
  r.printed = printed;
  r.failures = std::move(failures);
  r.noPrinter = std::move(noPrinter);
  r.nothingSelected = nothing;
  return r;
}

const SummaryCase kSummaries[] = {
    {"AllPrinted", resultOf(3, {}), "打印完毕！"},
    {"SomeFailed", resultOf(1, {{"/a/坏.docx", "x"}, {"/b/缺.doc", "y"}}),
     "打印完毕！\n共 3 个文件，其中 2 个未能打印：坏.docx、缺.doc"},
    {"NoPrinter", resultOf(0, {{"/a.docx", "z"}}, "没有可用的打印机"), "没有可用的打印机"},
    {"NothingSelected", resultOf(0, {}, "", true), "请选择要打印的文件！"},
};

class PrintSummary : public testing::TestWithParam<SummaryCase> {};

TEST_P(PrintSummary, SaysWhatHappened) {
  EXPECT_EQ(GetParam().result.summary(), GetParam().want);
}

INSTANTIATE_TEST_SUITE_P(Cases, PrintSummary, testing::ValuesIn(kSummaries),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PrintRequestChecks, NothingSelectedDoesNothing) {
  int calls = 0;
  PrintRequest req;
  req.progress = [&](const app::print::PrintProgress&) { ++calls; };
  PrintResult r = app::print::printDocuments(req);
  EXPECT_TRUE(r.nothingSelected);
  EXPECT_EQ(r.summary(), app::print::kNothingSelected);
  EXPECT_EQ(calls, 0);
}

TEST(PrintRequestChecks, UnknownPrinterPrintsNothingAndSaysSo) {
  Folder dir;
  mergetest::writeFile(dir / "a.docx", mergetest::simpleDocx({"x"}));
  std::vector<std::string> lines;
  PrintRequest req;
  req.files = {dir / "a.docx", dir / "b.docx"};
  req.printer = "No_Such_Printer_Quillfold";
  req.progress = [&](const app::print::PrintProgress& p) { lines.push_back(p.line); };
  unsigned launches = word::sofficeLaunchCount();
  PrintResult r = app::print::printDocuments(req);
  EXPECT_EQ(r.summary(), "找不到打印机“No_Such_Printer_Quillfold”，未打印任何文件。");
  EXPECT_EQ(r.printed, 0);
  EXPECT_EQ(r.failures.size(), 2u);
  EXPECT_EQ(lines.size(), 2u) << "the progress bar still reaches its end";
  EXPECT_EQ(word::sofficeLaunchCount(), launches) << "nothing is rendered for no printer";
}

TEST(PrintRequestChecks, MissingDefaultPrinterIsNamed) {
  // LPDEST names the user's default destination; one that does not exist means no default.
  ::setenv("LPDEST", "No_Such_Default_Quillfold", 1);
  Folder dir;
  mergetest::writeFile(dir / "a.docx", mergetest::simpleDocx({"x"}));
  PrintRequest req;
  req.files = {dir / "a.docx"};
  PrintResult r = app::print::printDocuments(req);
  ::unsetenv("LPDEST");
  EXPECT_EQ(r.summary(), "没有可用的打印机：系统没有设置默认打印机，未打印任何文件。");
  EXPECT_EQ(r.printed, 0);
}

// ---- printing for real --------------------------------------------------------------------

TEST(PrintRun, ListsTheQueue) {
  if (!haveQueue())
    GTEST_SKIP() << "no CUPS queue " << kQueue << " (run scripts/start-cups as root)";
  app::print::PrinterList list = app::print::printers();
  EXPECT_NE(std::find(list.names.begin(), list.names.end(), kQueue), list.names.end());
}

TEST(PrintRun, TwoDocumentsArriveAsTwoPdfsWithTheirText) {
  REQUIRE_PRINTER();
  Folder dir;
  const std::string first = unique("QFPRINTFIRST"), second = unique("QFPRINTSECOND");
  // A heading in large type makes each page easy to tell apart.
  mergetest::writeFile(dir / "甲.docx",
                       mergetest::docx(mergetest::heading("第一份文件") + mergetest::para(first),
                                       mergetest::styles(96), "", ""));
  // A text file in GB18030: printed through the program's own encoding detection.
  mergetest::writeFile(dir / "乙.txt",
                       "\xB5\xDA\xB6\xFE\xB7\xDD\xCE\xC4\xBC\xFE\r\n" + second + "\r\n");
  std::vector<std::pair<int, int>> progress;
  PrintRequest req;
  req.files = {dir / "甲.docx", dir / "乙.txt"};
  req.printer = kQueue;
  req.wait = Wait::Completed;
  req.progress = [&](const app::print::PrintProgress& p) {
    progress.emplace_back(p.done, p.total);
    EXPECT_TRUE(p.ok);
  };
  PrintResult r = app::print::printDocuments(req);
  ASSERT_TRUE(r.failures.empty()) << r.failures[0].file << ": " << r.failures[0].reason;
  EXPECT_EQ(r.summary(), "打印完毕！");
  EXPECT_EQ(r.printer, kQueue);
  EXPECT_EQ(r.printed, 2);
  EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 2}, {2, 2}}));
  ASSERT_EQ(r.jobIds.size(), 2u);
  EXPECT_LT(r.jobIds[0], r.jobIds[1]) << "submitted in list order";

  // What LibreOffice makes of the two documents, to compare the printed pages with.
  mergetest::writeFile(dir / "乙.docx", mergetest::simpleDocx({"第二份文件", second}));
  std::vector<word::ConversionJob> own{{dir / "甲.docx", dir / "甲.pdf", "pdf", {}, false},
                                       {dir / "乙.docx", dir / "乙.pdf", "pdf", {}, false}};
  word::convertFiles(own);
  ASSERT_TRUE(own[0].ok && own[1].ok);
  const Page reference[2] = {firstPage(dir / "甲.pdf", dir.path()),
                             firstPage(dir / "乙.pdf", dir.path())};
  const std::string tokens[2] = {first, second};
  for (size_t i = 0; i < 2; ++i) {
    std::string pdf = pdfOfJob(r.jobIds[i]);
    ASSERT_FALSE(pdf.empty()) << "no PDF for job " << r.jobIds[i] << " in " << cupsPdfFolder();
    std::string text = mergetest::pdfText(pdf);
    EXPECT_NE(text.find(tokens[i]), std::string::npos) << text;
    EXPECT_EQ(text.find(tokens[1 - i]), std::string::npos) << "one document per job";
    // The Chinese text is on the page: it looks like the document's own rendering, not like
    // the other one's.
    Page printed = firstPage(pdf, dir.path());
    double same = pageDifference(printed, reference[i]);
    double other = pageDifference(printed, reference[1 - i]);
    EXPECT_LT(same, 1.0) << "job " << r.jobIds[i];
    EXPECT_LT(same * 3, other) << "job " << r.jobIds[i] << " looks like the other document";
    std::error_code ec;
    fs::remove(pdf, ec);
  }
}

TEST(PrintRun, UnprintableDocumentsAreCountedAndTheRestPrinted) {
  REQUIRE_PRINTER();
  Folder dir;
  const std::string token = unique("QFPRINTGOOD");
  mergetest::writeFile(dir / "好.docx", mergetest::simpleDocx({token}));
  mergetest::writeFile(dir / "坏.docx", std::string("\x01\x02\x03garbage\x00\xff", 12));
  std::vector<std::string> lines;
  PrintRequest req;
  req.files = {dir / "缺.docx", dir / "坏.docx", dir / "好.docx"};
  req.printer = kQueue;
  req.wait = Wait::Completed;
  req.progress = [&](const app::print::PrintProgress& p) { lines.push_back(p.line); };
  PrintResult r = app::print::printDocuments(req);
  EXPECT_EQ(r.printed, 1);
  ASSERT_EQ(r.failures.size(), 2u);
  EXPECT_EQ(r.summary(), "打印完毕！\n共 3 个文件，其中 2 个未能打印：缺.docx、坏.docx");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "未能打印：缺.docx：文件不存在");
  EXPECT_EQ(lines[1].rfind("未能打印：坏.docx：", 0), 0u) << lines[1];
  EXPECT_EQ(lines[2].rfind("已打印：好.docx（Quillfold_PDF，任务 ", 0), 0u) << lines[2];
  ASSERT_EQ(r.jobIds.size(), 1u);
  std::string pdf = pdfOfJob(r.jobIds[0]);
  ASSERT_FALSE(pdf.empty());
  EXPECT_NE(mergetest::pdfText(pdf).find(token), std::string::npos);
  std::error_code ec;
  fs::remove(pdf, ec);
}

TEST(PrintRun, DefaultPrinterIsUsedWhenNoneIsChosen) {
  REQUIRE_PRINTER();
  ::setenv("LPDEST", kQueue.c_str(), 1);
  Folder dir;
  mergetest::writeFile(dir / "a.docx", mergetest::simpleDocx({unique("QFPRINTDEFAULT")}));
  PrintRequest req;
  req.files = {dir / "a.docx"};
  PrintResult r = app::print::printDocuments(req);
  ::unsetenv("LPDEST");
  EXPECT_EQ(r.printer, kQueue);
  EXPECT_EQ(r.printed, 1) << r.summary();
  ASSERT_EQ(r.jobIds.size(), 1u);
  std::string pdf = pdfOfJob(r.jobIds[0]);
  EXPECT_FALSE(pdf.empty());
  std::error_code ec;
  fs::remove(pdf, ec);
}

} // namespace
