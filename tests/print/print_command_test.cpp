// `quillfold print` and `quillfold printers`: what they print and the exit status.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "app/cli/document_commands.h"
#include "app/print/print.h"
#include "tests/merge/merge_fixtures.h"
#include "word/convert.h"

using mergetest::Folder;
using quillfold::cli::PrintCommand;

namespace {

bool haveQueue() {
  auto names = app::print::printers().names;
  return std::find(names.begin(), names.end(), "Quillfold_PDF") != names.end();
}

TEST(PrintCommand, NothingToPrintIsAUsageError) {
  std::ostringstream out, err;
  EXPECT_EQ(quillfold::cli::runPrint(PrintCommand{}, out, err), 1);
  EXPECT_EQ(err.str(), "quillfold：请选择要打印的文件！（请列出要打印的文件）\n");
}

TEST(PrintCommand, UnknownPrinterFailsEveryDocument) {
  PrintCommand cmd;
  cmd.files = {"/nowhere/a.docx", "/nowhere/b.docx"};
  cmd.printer = "No_Such_Printer_Quillfold";
  std::ostringstream out, err;
  EXPECT_EQ(quillfold::cli::runPrint(cmd, out, err), 2);
  EXPECT_EQ(out.str(), "");
  const std::string why = "找不到打印机“No_Such_Printer_Quillfold”，未打印任何文件。";
  EXPECT_EQ(err.str(), "[1/2] 未能打印：a.docx：" + why + "\n[2/2] 未能打印：b.docx：" + why +
                           "\n" + why + "\n");
}

TEST(PrintCommand, PrintsAndCountsFailures) {
  if (!haveQueue() || word::findSoffice().empty())
    GTEST_SKIP() << "no Quillfold_PDF queue (scripts/start-cups) or no LibreOffice";
  Folder dir;
  mergetest::writeFile(dir / "a.docx", mergetest::simpleDocx({"QFCOMMANDPRINT"}));
  PrintCommand cmd;
  cmd.files = {dir / "a.docx", dir / "缺.docx"};
  cmd.printer = "Quillfold_PDF";
  cmd.json = true;
  std::ostringstream out, err;
  EXPECT_EQ(quillfold::cli::runPrint(cmd, out, err), 2);
  std::istringstream objects(out.str());
  std::vector<nlohmann::json> events;
  for (std::string line; std::getline(objects, line);)
    events.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0]["ok"], true);
  EXPECT_EQ(events[1]["ok"], false);
  EXPECT_EQ(events[2]["printer"], "Quillfold_PDF");
  EXPECT_EQ(events[2]["printed"], 1);
  EXPECT_EQ(events[2]["jobs"].size(), 1u);
  EXPECT_EQ(events[2]["message"], "打印完毕！\n共 2 个文件，其中 1 个未能打印：缺.docx");
}

TEST(PrintersCommand, ListsTheQueue) {
  if (!haveQueue())
    GTEST_SKIP() << "no Quillfold_PDF queue (scripts/start-cups)";
  std::ostringstream out, err, jout, jerr;
  EXPECT_EQ(quillfold::cli::runPrinters(false, out, err), 0);
  EXPECT_NE(("\n" + out.str()).find("\nQuillfold_PDF"), std::string::npos) << out.str();
  EXPECT_EQ(quillfold::cli::runPrinters(true, jout, jerr), 0);
  auto j = nlohmann::json::parse(jout.str());
  EXPECT_TRUE(j["printers"].is_array());
  EXPECT_TRUE(j["default"].is_string());
}

} // namespace
