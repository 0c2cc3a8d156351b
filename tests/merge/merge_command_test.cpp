// `quillfold merge`: what it prints and the exit status.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "app/cli/document_commands.h"
#include "merge_fixtures.h"
#include "word/convert.h"

using mergetest::Folder;
using quillfold::cli::MergeCommand;

namespace {

struct UsageCase {
  const char* name;
  std::vector<std::string> files;
  std::string out;
  std::string wantErr;
};

const UsageCase kUsage[] = {
    {"NoFile", {}, ".", "quillfold：请选择要合并的文件，至少2个！（合并至少需要两个文件）\n"},
    {"OneFile",
     {"a.docx"},
     ".",
     "quillfold：请选择要合并的文件，至少2个！（合并至少需要两个文件）\n"},
    {"EmptyOut", {"a.docx", "b.docx"}, "", "quillfold：--out 需要一个文件夹\n"},
};

class MergeCommandUsage : public testing::TestWithParam<UsageCase> {};

TEST_P(MergeCommandUsage, ExitsWithOne) {
  MergeCommand cmd;
  cmd.files = GetParam().files;
  cmd.out = GetParam().out;
  std::ostringstream out, err;
  EXPECT_EQ(quillfold::cli::runMerge(cmd, out, err), 1);
  EXPECT_EQ(err.str(), GetParam().wantErr);
  EXPECT_EQ(out.str(), "");
}

INSTANTIATE_TEST_SUITE_P(Cases, MergeCommandUsage, testing::ValuesIn(kUsage),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MergeCommand, LinesAndExitStatus) {
  if (word::findSoffice().empty())
    GTEST_SKIP() << word::sofficeMissingMessage();
  Folder dir;
  mergetest::writeFile(dir / "a.docx", mergetest::simpleDocx({"一"}));
  mergetest::writeFile(dir / "b.docx", mergetest::simpleDocx({"二"}));
  MergeCommand cmd;
  cmd.files = {dir / "a.docx", dir / "b.docx"};
  cmd.out = dir / "out";
  std::ostringstream out, err;
  EXPECT_EQ(quillfold::cli::runMerge(cmd, out, err), 0);
  EXPECT_EQ(err.str(), "");
  std::istringstream lines(out.str());
  std::string l1, l2, l3, l4;
  std::getline(lines, l1);
  std::getline(lines, l2);
  std::getline(lines, l3);
  std::getline(lines, l4);
  EXPECT_EQ(l1, "[1/2] 已合并：a.docx");
  EXPECT_EQ(l2, "[2/2] 已合并：b.docx");
  EXPECT_EQ(l3.rfind("合并完毕！文件名为:merge", 0), 0u) << l3;
  EXPECT_TRUE(std::filesystem::exists(l4)) << l4;

  // A document left out: reported on the error stream, exit status 2, the rest saved.
  cmd.files = {dir / "a.docx", dir / "缺.docx", dir / "b.docx"};
  cmd.json = true;
  std::ostringstream jout, jerr;
  EXPECT_EQ(quillfold::cli::runMerge(cmd, jout, jerr), 2);
  std::istringstream objects(jout.str());
  std::vector<nlohmann::json> events;
  for (std::string line; std::getline(objects, line);)
    events.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[1]["ok"], false);
  EXPECT_EQ(events[1]["message"], "无法合并：缺.docx：文件不存在；请检查文件名和所在的文件夹");
  EXPECT_EQ(events[3]["event"], "summary");
  EXPECT_EQ(events[3]["merged"], 2);
  EXPECT_EQ(events[3]["exitStatus"], 2);
  EXPECT_EQ(events[3]["failed"].size(), 1u);
  EXPECT_TRUE(std::filesystem::exists(events[3]["output"].get<std::string>()));
}

} // namespace
