// `quillfold settings`: values checked against their key, names of list entries stored as
// positions, the file left alone when a value is refused, and the 46 engine values.

#include <gtest/gtest.h>

#include <sstream>

#include "app/cli/settings_command.h"
#include "cli_helpers.h"
#include "engine/clsdoc.h"
#include "settings/settings.h"

using namespace quillfold::cli;
using clitest::Folder;

namespace {

struct ValueCase {
  const char* key; // section/key
  const char* value;
  const char* stored; // nullptr: refused
};

class StoredValue : public ::testing::TestWithParam<ValueCase> {};

TEST_P(StoredValue, FitsTheKindOfTheKey) {
  std::string sk = GetParam().key;
  const settings::KeyInfo* key =
      settings::findKey(sk.substr(0, sk.find('/')), sk.substr(sk.find('/') + 1));
  ASSERT_NE(key, nullptr) << sk;
  std::string why;
  auto stored = storedValueFor(*key, GetParam().value, &why);
  if (GetParam().stored) {
    EXPECT_EQ(stored, std::string(GetParam().stored));
  } else {
    EXPECT_EQ(stored, std::nullopt);
    EXPECT_FALSE(why.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, StoredValue,
    ::testing::Values(
        ValueCase{"font/fontnamezw", "黑体", "1"}, ValueCase{"font/fontnamezw", "3", "3"},
        ValueCase{"font/fontnamezw", "4", nullptr}, ValueCase{"font/fontnamezw", "-1", "-1"},
        ValueCase{"font/fontnamezw", "Arial", nullptr}, ValueCase{"font/fontsizezw", "三号", "6"},
        ValueCase{"font/fontsizezw", "大五", "10"}, ValueCase{"font/fontsizebt", "大五", nullptr},
        ValueCase{"font/fontsizebt", "五号", "10"}, ValueCase{"font/fontJJ", "减小", "1"},
        ValueCase{"font/btAlign", "居中", "1"}, ValueCase{"tool/BiaoDian", "1", "1"},
        ValueCase{"tool/biaodian", "yes", nullptr}, ValueCase{"shuiyin/op", "2", "2"},
        ValueCase{"shuiyin/op", "3", nullptr}, ValueCase{"paragraph/LineSpacingRule", "2", "2"},
        ValueCase{"paragraph/LineSpacingRule", "1.5倍行距", "1"},
        ValueCase{"paragraph/LineSpacingRule", "28", "28"},
        ValueCase{"paragraph/LineSpacingRule", "3", "3"},
        ValueCase{"paragraph/LineSpacingRule", "1.5", nullptr},
        ValueCase{"paragraph/LineSpacingRule", "固定值", nullptr},
        ValueCase{"pageinfo/TopMargin", "3.7", "3.7"},
        ValueCase{"pageinfo/TopMargin", "3cm", nullptr},
        ValueCase{"paragraph/RightIndent", "", nullptr},
        ValueCase{"headerfooter/header", "某某市人民政府文件", "某某市人民政府文件"},
        ValueCase{"shuiyin/jpg", "", ""}));

class SettingsCommand : public ::testing::Test {
protected:
  Folder dir;
  std::filesystem::path ini = dir / "setup.ini";
  std::ostringstream out, err;
};

TEST_F(SettingsCommand, SetWritesTheTableSpellingAndGetReadsItBack) {
  EXPECT_EQ(settingsSet(ini, "FONT/FontNameZW", "黑体", false, out, err), 0) << err.str();
  EXPECT_EQ(out.str(), "font/fontnamezw=1\n");
  EXPECT_EQ(clitest::readFile(ini), "[font]\nfontnamezw=1\n");
  out.str("");
  EXPECT_EQ(settingsGet(ini, "font/FONTNAMEZW", out, err), 0);
  EXPECT_EQ(out.str(), "1\n");
}

TEST_F(SettingsCommand, ARefusedValueLeavesTheFileAsItWas) {
  const std::string before = "; house settings\r\n[tool]\r\nBiaoDian = 1 \r\n";
  clitest::writeFile(ini, before);
  EXPECT_EQ(settingsSet(ini, "tool/BiaoDian", "on", false, out, err), 1);
  EXPECT_NE(err.str().find("0 或 1"), std::string::npos) << err.str();
  EXPECT_EQ(settingsSet(ini, "tool/NoSuchKey", "1", false, out, err), 1);
  EXPECT_EQ(settingsSet(ini, "notakey", "1", false, out, err), 1);
  EXPECT_EQ(clitest::readFile(ini), before);
  EXPECT_EQ(settingsSet(ini, "tool/Extra", "x", true, out, err), 0);
  EXPECT_EQ(clitest::readFile(ini), before + "Extra=x\r\n");
}

TEST_F(SettingsCommand, GetGivesDefaultsForAMissingFile) {
  EXPECT_EQ(settingsGet(ini, "pageinfo/TopMargin", out, err), 0);
  EXPECT_EQ(settingsGet(ini, "font/fontsizezw", out, err), 0);
  EXPECT_EQ(settingsGet(ini, "headerfooter/headerfontsize", out, err), 0);
  EXPECT_EQ(out.str(), "3\n10.5\n10\n");
  EXPECT_EQ(settingsGet(ini, "tool/unknown", out, err), 1);
  EXPECT_EQ(settingsGet(ini, "no-slash", out, err), 1);
  EXPECT_FALSE(std::filesystem::exists(ini));
}

TEST_F(SettingsCommand, ShowListsEveryKeyOfTheTable) {
  clitest::writeFile(ini, "[pageinfo]\ntopmargin=\"3.7\"\n");
  EXPECT_EQ(settingsShow(ini, out, err), 0);
  std::istringstream lines(out.str());
  std::vector<std::string> all;
  for (std::string line; std::getline(lines, line);)
    all.push_back(line);
  ASSERT_EQ(all.size(), settings::keyTable().size() + 1);
  EXPECT_EQ(all[0], "# " + ini.string());
  EXPECT_NE(std::find(all.begin(), all.end(), "pageinfo/TopMargin=3.7"), all.end());
  EXPECT_NE(std::find(all.begin(), all.end(), "tool/BiaoDian=0"), all.end());
}

TEST_F(SettingsCommand, PropertiesAreTheFortySixEngineValuesInEngineOrder) {
  clitest::writeFile(ini, "[font]\nfontnamezw=2\nfontsizezw=6\n[paragraph]\nRightIndent=0\n");
  EXPECT_EQ(settingsProperties(ini, out, err), 0);
  std::istringstream lines(out.str());
  std::vector<std::string> got;
  for (std::string line; std::getline(lines, line);)
    got.push_back(line);
  ASSERT_EQ(got.size(), 46u);
  const auto& names = engine::clsDoc::propertyNames();
  for (size_t i = 0; i < 46; ++i)
    EXPECT_EQ(got[i].substr(0, got[i].find('=')), names[i]) << i;
  EXPECT_EQ(got[19], "正文字体=仿宋_GB2312");
  EXPECT_EQ(got[20], "正文字号=16");
  EXPECT_EQ(got[30], "右缩进=0");
}

} // namespace
