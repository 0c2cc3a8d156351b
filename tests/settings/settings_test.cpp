#include "../common/default_properties.h"
#include "settings/settings.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>

using settings::IniFile;
using settings::loadEngineProperties;
using settings_test::TempFolder;
using settings_test::writeBytes;

namespace {

using Properties = std::vector<std::pair<std::string, std::string>>;

const Properties& kDefaults = qftest::kDefaultProperties;

Properties with(Properties base, const Properties& changes) {
  for (const auto& [name, value] : changes) {
    bool found = false;
    for (auto& p : base)
      if (p.first == name) {
        p.second = value;
        found = true;
      }
    if (!found)
      ADD_FAILURE() << "no property " << name;
  }
  return base;
}

struct FileCase {
  const char* name;
  std::string file; // "" for no file at all
  Properties expected;
};

class EngineProperties : public testing::TestWithParam<FileCase> {};

TEST_P(EngineProperties, FromFile) {
  TempFolder dir;
  if (!GetParam().file.empty())
    writeBytes(dir / "setup.ini", GetParam().file);
  IniFile ini(dir / "setup.ini");
  EXPECT_EQ(loadEngineProperties(ini), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EngineProperties,
    testing::Values(
        FileCase{"NoFile", "", kDefaults},
        FileCase{"UnrelatedContent", "; nothing here\n[other]\nfontnamezw=1\n", kDefaults},
        FileCase{"StoredDefaultsOfTheWindow",
                 "[font]\nfontnamezw=0\nfontsizezw=10\nfontnamebt=0\nfontsizebt=10\n"
                 "[shuiyin]\ntxtfontname=0\n",
                 kDefaults},
        FileCase{"FullFile",
                 "[font]\r\nfontnamezw=1\r\nfontsizezw=11\r\nfontnamebt=3\r\nfontsizebt=4\r\n"
                 "fontboldzw=1\r\nfontboldbt=1\r\nfirstparagraph=1\r\nbtAlign=1\r\nfontJJ=1\r\n"
                 "[shuiyin]\r\ntxtfontname=2\r\ntxt=机密\r\njpg=/srv/图片/水印.jpg\r\n"
                 "txtstyle=1\r\nop=2\r\ncolor=4\r\n"
                 "[pageinfo]\r\nPageSize=2\r\nOrientation=1\r\nTopMargin=3.7\r\n"
                 "BottomMargin=3.5\r\nLeftMargin=2.8\r\nRightMargin=2.6\r\nGutter=0.5\r\n"
                 "GutterPos=2\r\nHeaderDistance=1.2\r\nFooterDistance=1.3\r\n"
                 "[headerfooter]\r\nuseheader=1\r\nusefooter=1\r\nheader=某某公司文件\r\n"
                 "headeralign=2\r\nheaderfontname=3\r\nheaderfontsize=11\r\nnumberstyle=1\r\n"
                 "numberalign=1\r\nzhyemei=1\r\n"
                 "[paragraph]\r\nLineSpacingRule=28\r\nLeftIndent=1\r\nRightIndent=2\r\n"
                 "LineUnitBefore=0.5\r\nLineUnitAfter=1\r\n"
                 "[tool]\r\nBiaoDian=1\r\nKongGe=1\r\nKongHang=1\r\nTouKongGe=1\r\n"
                 "XiaoKuoHao=1\r\nFenLan=1\r\nJuHao=1\r\n",
                 Properties{
                     {"纸张大小", "2"},
                     {"页方向", "1"},
                     {"上边距", "3.7"},
                     {"下边距", "3.5"},
                     {"左边距", "2.8"},
                     {"右边距", "2.6"},
                     {"页眉边距", "1.2"},
                     {"页脚边距", "1.3"},
                     {"装订线位置", "2"},
                     {"装订线", "0.5"},
                     {"使用页眉", "1"},
                     {"组合页眉", "1"},
                     {"使用页码", "1"},
                     {"页眉", "某某公司文件"},
                     {"页眉对齐", "2"},
                     {"页眉字体", "楷体_GB2312"},
                     {"页眉字号", "10"},
                     {"页码格式", "1"},
                     {"页码对齐", "1"},
                     {"正文字体", "黑体"},
                     {"正文字号", "10.5"},
                     {"正文加粗", "1"},
                     {"标题字体", "楷体_GB2312"},
                     {"标题字号", "22"},
                     {"标题加粗", "1"},
                     {"一段标题", "1"},
                     {"标题对齐", "1"},
                     {"字号增减", "1"},
                     {"行距", "28"},
                     {"左缩进", "1"},
                     {"右缩进", "2"},
                     {"段前", "0.5"},
                     {"段后", "1"},
                     {"标点", "1"},
                     {"空格", "1"},
                     {"空行", "1"},
                     {"头空格", "1"},
                     {"小括号", "1"},
                     {"分栏", "1"},
                     {"句号", "1"},
                     {"水印", "2"},
                     {"水印图片", "/srv/图片/水印.jpg"},
                     {"水印文字", "机密"},
                     {"水印字体", "仿宋_GB2312"},
                     {"水印样式", "1"},
                     {"水印颜色", "4"},
                 }},
        FileCase{"LowerCaseToolKeysAndOddValues",
                 "[TOOL]\ntoukongge = 1\njuhao=\"1\"\n[shuiyin]\nop=7\n"
                 "[font]\nfontsizezw=11.5\nfontsizebt=9.4\nfontnamezw=微软雅黑\n",
                 with(kDefaults, {{"头空格", "1"},
                                  {"句号", "1"},
                                  {"水印", "7"},
                                  {"正文字号", "9"},
                                  {"标题字号", "12"},
                                  {"正文字体", "微软雅黑"}})},
        FileCase{
            "Gb18030File",
            "[shuiyin]\r\ntxt=\xBB\xFA\xC3\xDC\r\n[headerfooter]\r\nheader=\xD2\xB3\xC3\xBC\r\n"
            "[font]\r\nfontnamezw=\xCB\xCE\xCC\xE5\r\n",
            with(kDefaults, {{"水印文字", "机密"}, {"页眉", "页眉"}})}),
    [](const auto& info) { return std::string(info.param.name); });

// Without setup.ini the engine receives every default converted: the font lists give 宋体
// (stored "宋体" for three of them, position "0" for the header), the size lists 大五 "11" for
// the body and the header and 五号 "10.5" for the title.
TEST(LoadSettings, DefaultsWithoutAFile) {
  TempFolder dir;
  const Properties props = loadEngineProperties(IniFile(dir / "setup.ini"));
  const Properties expected = {
      {"正文字体", "宋体"}, {"标题字体", "宋体"}, {"水印字体", "宋体"}, {"页眉字体", "宋体"},
      {"正文字号", "11"},   {"标题字号", "10.5"}, {"页眉字号", "11"},   {"上边距", "3"},
      {"下边距", "3"},      {"左边距", "2.5"},    {"右边距", "2.5"},    {"页眉边距", "1.5"},
      {"页脚边距", "1.75"}, {"装订线", "0"},      {"行距", "0"},        {"左缩进", "0"},
      {"右缩进", ""},       {"水印", "0"},        {"水印图片", ""},     {"水印文字", "Morvane软件"},
      {"纸张大小", "0"},
  };
  ASSERT_EQ(props.size(), 46u);
  for (const auto& [name, value] : expected) {
    auto it =
        std::find_if(props.begin(), props.end(), [&](const auto& p) { return p.first == name; });
    ASSERT_NE(it, props.end()) << name;
    EXPECT_EQ(it->second, value) << name;
  }
}

TEST(LoadSettings, SavedByOneNameLoadedByTheOther) {
  TempFolder dir;
  IniFile ini(dir / "setup.ini");
  ASSERT_TRUE(ini.set("tool", "TouKongGe", "1"));
  ASSERT_TRUE(ini.set("headerfooter", "headerfontsize", "11"));
  auto props = loadEngineProperties(IniFile(dir / "setup.ini"));
  EXPECT_EQ(props, with(kDefaults, {{"头空格", "1"}, {"页眉字号", "10"}}));
}

TEST(SysFolders, DefaultsFollowTheProgramFolder) {
  TempFolder dir;
  IniFile ini(dir / "setup.ini");
  EXPECT_EQ(settings::lastSourceFolder(ini, "/opt/quillfold"), "/opt/quillfold");
  EXPECT_EQ(settings::lastOutputFolder(ini, "/opt/quillfold"), "/opt/quillfold/out");
}

TEST(SysFolders, SavedAndReadBack) {
  TempFolder dir;
  IniFile ini(dir / "setup.ini");
  ASSERT_TRUE(settings::saveLastFolders(ini, "/home/用户/来文", "/home/用户/排版后"));
  IniFile again(dir / "setup.ini");
  EXPECT_EQ(settings::lastSourceFolder(again, "/x"), "/home/用户/来文");
  EXPECT_EQ(settings::lastOutputFolder(again, "/x"), "/home/用户/排版后");
}

TEST(SysFolders, FailedSaveIsReported) {
  TempFolder dir;
  writeBytes(dir / "plain", "");
  IniFile ini(dir / "plain" / "setup.ini");
  EXPECT_FALSE(settings::saveLastFolders(ini, "/a", "/b"));
}

TEST(SettingsPath, ProgramFolderIsTheExecutablesFolder) {
  auto folder = settings::programFolder();
  EXPECT_TRUE(folder.is_absolute());
  EXPECT_TRUE(std::filesystem::exists(folder / "test_settings"));
}

TEST(SettingsPath, BesideTheProgramWhenWritable) {
  TempFolder dir;
  EXPECT_EQ(settings::settingsPathFor(dir.path(), "/xdg", "/home/u"), dir.path() / "setup.ini");
}

TEST(SettingsPath, ConfigFolderWhenProgramFolderUnusable) {
  TempFolder dir;
  writeBytes(dir / "plain", "");
  const auto unusable = dir / "plain" / "bin"; // a folder that cannot exist
  EXPECT_EQ(settings::settingsPathFor(unusable, "/xdg", "/home/u"),
            std::filesystem::path("/xdg/quillfold/setup.ini"));
  EXPECT_EQ(settings::settingsPathFor(unusable, "", "/home/u"),
            std::filesystem::path("/home/u/.config/quillfold/setup.ini"));
  EXPECT_EQ(settings::settingsPathFor(unusable, "relative/xdg", "/home/u"),
            std::filesystem::path("/home/u/.config/quillfold/setup.ini"));
  EXPECT_EQ(settings::settingsPathFor({}, "/xdg", "/home/u"),
            std::filesystem::path("/xdg/quillfold/setup.ini"));
}

TEST(SettingsPath, DefaultIsASetupIni) {
  auto path = settings::defaultSettingsPath();
  EXPECT_EQ(path.filename(), "setup.ini");
  EXPECT_TRUE(std::filesystem::is_directory(path.parent_path()));
}

} // namespace
