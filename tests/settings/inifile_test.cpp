#include "settings/inifile.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "base/encoding.h"

using settings::IniEncoding;
using settings::IniFile;
using settings_test::fileCount;
using settings_test::readBytes;
using settings_test::TempFolder;
using settings_test::writeBytes;

namespace {

// GB18030 bytes of a few words, written out so the test does not depend on the converter.
const std::string kGbSongTi = "\xCB\xCE\xCC\xE5";   // 宋体
const std::string kGbHeiTi = "\xBA\xDA\xCC\xE5";    // 黑体
const std::string kGbRuanJian = "\xC8\xED\xBC\xFE"; // 软件
const std::string kGbYeMei = "\xD2\xB3\xC3\xBC";    // 页眉
const std::string kGbFourByte = "\x95\x32\x82\x36"; // U+20000, a four-byte sequence

struct ReadCase {
  const char* name;
  std::string file;
  const char* section;
  const char* key;
  std::string expected;
};

class IniRead : public testing::TestWithParam<ReadCase> {};

TEST_P(IniRead, FindsValueAsWindowsDoes) {
  TempFolder dir;
  writeBytes(dir / "setup.ini", GetParam().file);
  IniFile ini(dir / "setup.ini");
  EXPECT_EQ(ini.readError(), "");
  EXPECT_EQ(ini.get(GetParam().section, GetParam().key, "DEF"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniRead,
    testing::Values(
        ReadCase{"Plain", "[tool]\nkongge=1\n", "tool", "kongge", "1"},
        ReadCase{"KeyCaseBlind", "[tool]\nTouKongGe=1\n", "tool", "toukongge", "1"},
        ReadCase{"SectionCaseBlind", "[TOOL]\njuhao=1\n", "Tool", "JUHAO", "1"},
        ReadCase{"MissingKey", "[tool]\nkongge=1\n", "tool", "juhao", "DEF"},
        ReadCase{"MissingSection", "[tool]\nkongge=1\n", "font", "kongge", "DEF"},
        ReadCase{"KeyBeforeAnySection", "kongge=1\n[tool]\n", "tool", "kongge", "DEF"},
        ReadCase{"KeyOfOtherSection", "[font]\nkongge=1\n[tool]\n", "tool", "kongge", "DEF"},
        ReadCase{"SpacesAndTabsTrimmed", "[a]\n  \tkey \t=  \t value x \t \n", "a", "key",
                 "value x"},
        ReadCase{"DoubleQuotes", "[a]\nk=\"  quoted  \"\n", "a", "k", "  quoted  "},
        ReadCase{"SingleQuotes", "[a]\nk='x'\n", "a", "k", "x"},
        ReadCase{"OnlyOnePairStripped", "[a]\nk=\"\"x\"\"\n", "a", "k", "\"x\""},
        ReadCase{"MismatchedQuotesKept", "[a]\nk=\"x'\n", "a", "k", "\"x'"},
        ReadCase{"LoneQuoteKept", "[a]\nk=\"\n", "a", "k", "\""},
        ReadCase{"QuotesInsideKept", "[a]\nk=a\"b\"c\n", "a", "k", "a\"b\"c"},
        ReadCase{"EmptyQuotes", "[a]\nk=\"\"\n", "a", "k", ""},
        ReadCase{"EmptyValue", "[a]\nk=\n", "a", "k", ""},
        ReadCase{"EqualsInValue", "[a]\nk=x=y\n", "a", "k", "x=y"},
        ReadCase{"EndsAtNul", std::string("[a]\nk=ab\0cd\n", 12), "a", "k", "ab"},
        ReadCase{"Crlf", "[a]\r\nk=v\r\n", "a", "k", "v"},
        ReadCase{"LastLineWithoutNewline", "[a]\nk=v", "a", "k", "v"},
        ReadCase{"CommentIgnored", "[a]\n;k=c\nk=v\n", "a", "k", "v"},
        ReadCase{"CommentOnlyKeyNotFound", "[a]\n ; k=c\n", "a", "k", "DEF"},
        ReadCase{"FirstKeyWins", "[a]\nk=1\nK=2\n", "a", "k", "1"},
        ReadCase{"FirstSectionOnly", "[a]\nx=1\n[A]\nk=2\n", "a", "k", "DEF"},
        ReadCase{"SectionNameBlanksTrimmed", "[ font ]\nk=v\n", "font", "k", "v"},
        ReadCase{"TextAfterSectionHeader", "[font] ; body\nk=v\n", "font", "k", "v"},
        ReadCase{"LineWithoutEquals", "[a]\nk\nk=v\n", "a", "k", "v"},
        ReadCase{"Utf8Bom", "\xEF\xBB\xBF[a]\nk=v\n", "a", "k", "v"},
        ReadCase{"Utf8Chinese", "[font]\nfontnamezw=黑体\n", "font", "fontnamezw", "黑体"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniFile, MissingFileGivesDefaultsWithoutError) {
  TempFolder dir;
  IniFile ini(dir / "setup.ini");
  EXPECT_EQ(ini.readError(), "");
  EXPECT_EQ(ini.get("font", "fontnamezw", "宋体"), "宋体");
  EXPECT_FALSE(ini.contains("font", "fontnamezw"));
  // Trailing blanks of a default are dropped, as the Windows function does.
  EXPECT_EQ(ini.get("font", "x", " a b  \t"), " a b");
}

TEST(IniFile, ContainsTellsStoredFromDefault) {
  TempFolder dir;
  writeBytes(dir / "setup.ini", "[a]\nempty=\n");
  IniFile ini(dir / "setup.ini");
  EXPECT_TRUE(ini.contains("A", "EMPTY"));
  EXPECT_FALSE(ini.contains("a", "other"));
}

TEST(IniFile, LongValuesComeBackWhole) {
  TempFolder dir;
  std::string ascii(300, 'x');
  std::string chinese = "/home/用户/文档/";
  while (chinese.size() < 600)
    chinese += "非常长的中文文件夹名称/";
  writeBytes(dir / "setup.ini", "[a]\nascii=" + ascii + "\n");
  IniFile ini(dir / "setup.ini");
  EXPECT_EQ(ini.get("a", "ascii", ""), ascii);
  ASSERT_TRUE(ini.set("sys", "docpath", chinese));
  EXPECT_EQ(IniFile(dir / "setup.ini").get("sys", "docpath", ""), chinese);
}

TEST(IniFile, UnreadableFileReadsAsEmptyWithReason) {
  TempFolder dir;
  std::filesystem::create_directory(dir / "setup.ini");
  IniFile ini(dir / "setup.ini");
  EXPECT_NE(ini.readError().find("setup.ini"), std::string::npos);
  EXPECT_EQ(ini.get("a", "k", "d"), "d");
  auto result = ini.set("a", "k", "v");
  EXPECT_FALSE(result);
  EXPECT_TRUE(std::filesystem::is_directory(dir / "setup.ini"));
}

TEST(IniFile, Utf16FileIsNeitherReadNorOverwritten) {
  TempFolder dir;
  std::string utf16("\xFF\xFE[\0a\0]\0\n\0", 10);
  writeBytes(dir / "setup.ini", utf16);
  IniFile ini(dir / "setup.ini");
  EXPECT_NE(ini.readError().find("UTF-16"), std::string::npos);
  EXPECT_FALSE(ini.set("a", "k", "v"));
  EXPECT_EQ(readBytes(dir / "setup.ini"), utf16);
}

// ---- Writing: only the key's bytes change -------------------------------------------------

struct WriteCase {
  const char* name;
  std::string before;
  const char* section;
  const char* key;
  std::string value;
  std::string after;
};

class IniWrite : public testing::TestWithParam<WriteCase> {};

TEST_P(IniWrite, ChangesOnlyThatKey) {
  TempFolder dir;
  const WriteCase& c = GetParam();
  if (!c.before.empty())
    writeBytes(dir / "setup.ini", c.before);
  IniFile ini(dir / "setup.ini");
  auto result = ini.set(c.section, c.key, c.value);
  ASSERT_TRUE(result) << result.error;
  EXPECT_EQ(readBytes(dir / "setup.ini"), c.after);
  EXPECT_EQ(ini.get(c.section, c.key, "DEF"),
            IniFile(dir / "setup.ini").get(c.section, c.key, "X"));
}

const std::string kMessy = "; Quillfold settings\r\n"
                           "\r\n"
                           "[font]\r\n"
                           "  FontNameZw =  1   \r\n"
                           "; body size below\r\n"
                           "fontsizezw\t=\t10.5\r\n"
                           "\r\n"
                           "[tool]\r\n"
                           "biaodian=0\r\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, IniWrite,
    testing::Values(
        WriteCase{"NewFileIsUtf8WithLf", "", "font", "fontnamezw", "黑体",
                  "[font]\nfontnamezw=黑体\n"},
        WriteCase{"ReplaceKeepsLayoutAndCrlf", kMessy, "FONT", "fontnamezw", "3",
                  "; Quillfold settings\r\n\r\n[font]\r\n  FontNameZw =  3\r\n"
                  "; body size below\r\nfontsizezw\t=\t10.5\r\n\r\n[tool]\r\nbiaodian=0\r\n"},
        WriteCase{"ReplaceSecondKey", kMessy, "font", "FONTSIZEZW", "11",
                  "; Quillfold settings\r\n\r\n[font]\r\n  FontNameZw =  1   \r\n"
                  "; body size below\r\nfontsizezw\t=\t11\r\n\r\n[tool]\r\nbiaodian=0\r\n"},
        WriteCase{"CapitalisedKeyUpdatesLowerCaseLine", kMessy, "tool", "BiaoDian", "1",
                  "; Quillfold settings\r\n\r\n[font]\r\n  FontNameZw =  1   \r\n"
                  "; body size below\r\nfontsizezw\t=\t10.5\r\n\r\n[tool]\r\nbiaodian=1\r\n"},
        WriteCase{"NewKeyAfterLastEntryOfSection", kMessy, "font", "fontnamebt", "2",
                  "; Quillfold settings\r\n\r\n[font]\r\n  FontNameZw =  1   \r\n"
                  "; body size below\r\nfontsizezw\t=\t10.5\r\nfontnamebt=2\r\n\r\n[tool]\r\n"
                  "biaodian=0\r\n"},
        WriteCase{"NewKeyInLastSection", kMessy, "tool", "JuHao", "1", kMessy + "JuHao=1\r\n"},
        WriteCase{"NewSectionAtEndWithCrlf", kMessy, "paragraph", "LeftIndent", "2",
                  kMessy + "\r\n[paragraph]\r\nLeftIndent=2\r\n"},
        WriteCase{"NewKeyInEmptySection", "[a]\n[b]\nk=1\n", "a", "k", "v", "[a]\nk=v\n[b]\nk=1\n"},
        WriteCase{"NewKeyWhenLastLineHasNoNewline", "[a]\nx=1", "a", "k", "v", "[a]\nx=1\nk=v"},
        WriteCase{"NewSectionWhenLastLineHasNoNewline", "[a]\nx=1", "b", "k", "v",
                  "[a]\nx=1\n\n[b]\nk=v\n"},
        WriteCase{"NewSectionAfterBlankLine", "[a]\nx=1\n\n", "b", "k", "v",
                  "[a]\nx=1\n\n[b]\nk=v\n"},
        WriteCase{"ValueWrittenAsGiven", "[a]\nk=1\n", "a", "k", " \"padded\" ",
                  "[a]\nk= \"padded\" \n"},
        WriteCase{"EmptyValue", "[a]\nk=1\n", "a", "k", "", "[a]\nk=\n"},
        WriteCase{"ReplacesValueAfterNul", std::string("[a]\nk=ab\0cd\nz=1\n", 16), "a", "k", "x",
                  "[a]\nk=x\nz=1\n"},
        WriteCase{"BomKept", "\xEF\xBB\xBF[a]\nk=1\n", "a", "k", "2", "\xEF\xBB\xBF[a]\nk=2\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniFile, ValueWithBlanksAndQuotesReadsBackTrimmed) {
  TempFolder dir;
  IniFile ini(dir / "setup.ini");
  ASSERT_TRUE(ini.set("a", "k", " \"padded\" "));
  EXPECT_EQ(ini.get("a", "k", ""), "padded");
}

TEST(IniFile, SetReadsTheFileAfreshAndKeepsOtherWriters) {
  TempFolder dir;
  IniFile ini(dir / "setup.ini");
  ASSERT_TRUE(ini.set("a", "k", "1"));
  writeBytes(dir / "setup.ini", "[a]\nk=1\nother=2\n"); // another program edits the file
  ASSERT_TRUE(ini.set("a", "k", "3"));
  EXPECT_EQ(readBytes(dir / "setup.ini"), "[a]\nk=3\nother=2\n");
  EXPECT_EQ(ini.get("a", "other", ""), "2");
}

TEST(IniFile, ReloadSeesChangesOnDisk) {
  TempFolder dir;
  writeBytes(dir / "setup.ini", "[a]\nk=1\n");
  IniFile ini(dir / "setup.ini");
  writeBytes(dir / "setup.ini", "[a]\nk=2\n");
  EXPECT_EQ(ini.get("a", "k", ""), "1");
  ini.reload();
  EXPECT_EQ(ini.get("a", "k", ""), "2");
}

TEST(IniFile, UnchangedValueDoesNotRewriteTheFile) {
  TempFolder dir;
  writeBytes(dir / "setup.ini", "[a]\nk=1\n");
  struct stat before {};
  ASSERT_EQ(::stat((dir / "setup.ini").c_str(), &before), 0);
  IniFile ini(dir / "setup.ini");
  ASSERT_TRUE(ini.set("A", "K", "1"));
  struct stat after {};
  ASSERT_EQ(::stat((dir / "setup.ini").c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
}

struct RefusedCase {
  const char* name;
  std::string section, key, value;
};

class IniRefused : public testing::TestWithParam<RefusedCase> {};

TEST_P(IniRefused, LeavesFileUntouched) {
  TempFolder dir;
  writeBytes(dir / "setup.ini", "[a]\nk=1\n");
  IniFile ini(dir / "setup.ini");
  auto result = ini.set(GetParam().section, GetParam().key, GetParam().value);
  EXPECT_FALSE(result);
  EXPECT_NE(result.error.find("setup.ini"), std::string::npos);
  EXPECT_EQ(readBytes(dir / "setup.ini"), "[a]\nk=1\n");
  EXPECT_EQ(ini.get("a", "k", ""), "1");
}

INSTANTIATE_TEST_SUITE_P(Cases, IniRefused,
                         testing::Values(RefusedCase{"ValueWithLf", "a", "k", "x\ny=2"},
                                         RefusedCase{"ValueWithCr", "a", "k", "x\r"},
                                         RefusedCase{"ValueWithNul", "a", "k",
                                                     std::string("x\0y", 3)},
                                         RefusedCase{"ValueNotUtf8", "a", "k", "\xCB\xCE"},
                                         RefusedCase{"EmptySection", "", "k", "v"},
                                         RefusedCase{"EmptyKey", "a", "", "v"},
                                         RefusedCase{"KeyWithEquals", "a", "k=x", "v"},
                                         RefusedCase{"KeyLikeSection", "a", "[k", "v"},
                                         RefusedCase{"KeyLikeComment", "a", ";k", "v"},
                                         RefusedCase{"KeyWithBlanks", "a", " k", "v"},
                                         RefusedCase{"SectionWithBracket", "a]", "k", "v"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- GB18030 files from older installations -----------------------------------------------

TEST(IniFileGb18030, ReadsChineseValues) {
  TempFolder dir;
  writeBytes(dir / "setup.ini",
             "[shuiyin]\r\ntxt=Morvane" + kGbRuanJian + "\r\nrare=" + kGbFourByte + "\r\n");
  IniFile ini(dir / "setup.ini");
  EXPECT_EQ(ini.encoding(), IniEncoding::Gb18030);
  EXPECT_EQ(ini.get("shuiyin", "txt", ""), "Morvane软件");
  EXPECT_EQ(ini.get("shuiyin", "rare", ""), "\xF0\xA0\x80\x80"); // U+20000
}

TEST(IniFileGb18030, WritesBackInGb18030AndKeepsOtherBytes) {
  TempFolder dir;
  const std::string head = "; " + kGbYeMei + "\r\n[font]\r\nfontnamezw = " + kGbSongTi + "\r\n";
  const std::string tail = "\r\n[headerfooter]\r\nheader=" + kGbYeMei + kGbFourByte + "\r\n";
  writeBytes(dir / "setup.ini", head + "fontnamebt=0" + tail);
  IniFile ini(dir / "setup.ini");
  ASSERT_TRUE(ini.set("font", "fontnamebt", "黑体"));
  EXPECT_EQ(readBytes(dir / "setup.ini"), head + "fontnamebt=" + kGbHeiTi + tail);

  ASSERT_TRUE(ini.set("sys", "outpath", "/srv/输出"));
  std::string gbOut;
  ASSERT_TRUE(base::convertFromUtf8("/srv/输出", "GB18030", gbOut));
  EXPECT_EQ(readBytes(dir / "setup.ini"),
            head + "fontnamebt=" + kGbHeiTi + tail + "\r\n[sys]\r\noutpath=" + gbOut + "\r\n");
  IniFile again(dir / "setup.ini");
  EXPECT_EQ(again.encoding(), IniEncoding::Gb18030);
  EXPECT_EQ(again.get("font", "fontnamezw", ""), "宋体");
  EXPECT_EQ(again.get("font", "fontnamebt", ""), "黑体");
  EXPECT_EQ(again.get("sys", "outpath", ""), "/srv/输出");
}

TEST(IniFileGb18030, SectionNameWithBracketTrailByteIsFound) {
  // 乚 is 0x81 0x5D in GB18030: its trail byte is ']'.
  std::string gb;
  ASSERT_TRUE(base::convertFromUtf8("乚", "GB18030", gb));
  ASSERT_EQ(gb[1], ']');
  TempFolder dir;
  writeBytes(dir / "setup.ini", "[" + gb + "]\nk=" + kGbSongTi + "\n");
  IniFile ini(dir / "setup.ini");
  EXPECT_EQ(ini.get("乚", "k", ""), "宋体");
}

TEST(IniFileGb18030, InvalidBytesBecomeReplacementCharacters) {
  TempFolder dir;
  writeBytes(dir / "setup.ini", "[a]\nk=x\xFFy\nz=1\n");
  IniFile ini(dir / "setup.ini");
  EXPECT_EQ(ini.get("a", "k", ""), "x\xEF\xBF\xBDy");
  ASSERT_TRUE(ini.set("a", "z", "2"));
  EXPECT_EQ(readBytes(dir / "setup.ini"), "[a]\nk=x\xFFy\nz=2\n");
}

// ---- Atomic replacement ------------------------------------------------------------------

TEST(IniFileAtomic, WriteBelowARegularFileFailsAndNamesThePath) {
  TempFolder dir;
  writeBytes(dir / "plain", "not a folder");
  IniFile ini(dir / "plain" / "setup.ini");
  auto result = ini.set("a", "k", "v");
  EXPECT_FALSE(result);
  EXPECT_NE(result.error.find("plain/setup.ini"), std::string::npos) << result.error;
  EXPECT_EQ(readBytes(dir / "plain"), "not a folder");

  auto direct = settings::writeFileAtomically(dir / "plain" / "x.ini", "data");
  EXPECT_FALSE(direct);
  EXPECT_NE(direct.error.find("x.ini"), std::string::npos);
}

TEST(IniFileAtomic, WriteIntoMissingFolderFails) {
  TempFolder dir;
  IniFile ini(dir / "no-such-folder" / "setup.ini");
  EXPECT_FALSE(ini.set("a", "k", "v"));
  EXPECT_FALSE(std::filesystem::exists(dir / "no-such-folder"));
}

TEST(IniFileAtomic, FailureMidWriteLeavesOldFileAndNoTemporary) {
  TempFolder dir;
  const std::string old = "[a]\nk=1\n";
  writeBytes(dir / "setup.ini", old);
  // A file-size limit makes the write of the temporary file fail half way, as a full disk would.
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{64, 64};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    IniFile ini(dir / "setup.ini");
    auto result = ini.set("a", "k", std::string(4096, 'x'));
    bool kept = ini.get("a", "k", "") == "1";
    ::_exit(!result && kept && result.error.find("setup.ini") != std::string::npos ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(readBytes(dir / "setup.ini"), old);
  EXPECT_EQ(fileCount(dir.path()), 1); // the temporary file is gone
}

TEST(IniFileAtomic, KeepsPermissionsAndLeavesNoTemporary) {
  TempFolder dir;
  writeBytes(dir / "setup.ini", "[a]\nk=1\n");
  ASSERT_EQ(::chmod((dir / "setup.ini").c_str(), 0640), 0);
  IniFile ini(dir / "setup.ini");
  ASSERT_TRUE(ini.set("a", "k", "2"));
  struct stat st {};
  ASSERT_EQ(::stat((dir / "setup.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(fileCount(dir.path()), 1);
}

TEST(IniFileAtomic, FollowsSymbolicLink) {
  TempFolder dir;
  std::filesystem::create_directory(dir / "real");
  writeBytes(dir / "real" / "setup.ini", "[a]\nk=1\n");
  std::filesystem::create_symlink(dir / "real" / "setup.ini", dir / "setup.ini");
  IniFile ini(dir / "setup.ini");
  ASSERT_TRUE(ini.set("a", "k", "2"));
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "setup.ini"));
  EXPECT_EQ(readBytes(dir / "real" / "setup.ini"), "[a]\nk=2\n");
}

// ---- Which encoding a file is read in -----------------------------------------------------

namespace encoding_cases {

struct EncodingCase {
  const char* name;
  std::string file;
  IniEncoding encoding;
  std::string header; // headerfooter/header as read
  bool warned;        // readWarning() reports replaced bytes
};

class IniEncodingChoice : public testing::TestWithParam<EncodingCase> {};

TEST_P(IniEncodingChoice, WholeFileDecides) {
  TempFolder dir;
  writeBytes(dir / "setup.ini", GetParam().file);
  IniFile ini(dir / "setup.ini");
  EXPECT_EQ(ini.readError(), "");
  EXPECT_EQ(ini.encoding(), GetParam().encoding);
  EXPECT_EQ(ini.get("headerfooter", "header", ""), GetParam().header);
  EXPECT_EQ(!ini.readWarning().empty(), GetParam().warned) << ini.readWarning();
  if (GetParam().warned) {
    EXPECT_NE(ini.readWarning().find("setup.ini"), std::string::npos);
  }
}

const std::string kFffd = "\xEF\xBF\xBD";

INSTANTIATE_TEST_SUITE_P(
    Cases, IniEncodingChoice,
    testing::Values(
        EncodingCase{"Utf8", "[headerfooter]\nheader=某某市人民政府\n", IniEncoding::Utf8,
                     "某某市人民政府", false},
        EncodingCase{"Utf8WithLatin1Comment",
                     "; r\xE9glages de l'\xE9t\xE9\n[headerfooter]\nheader=某某市人民政府\n",
                     IniEncoding::Utf8, "某某市人民政府", true},
        EncodingCase{"Utf8WithCharacterCutAtTheEnd",
                     "[font]\nfontnamezw=黑体\n[headerfooter]\nheader=人民政府\xE6\x96",
                     IniEncoding::Utf8, "人民政府" + kFffd + kFffd, true},
        EncodingCase{"Utf8WithStrayByteInTheValue", "[headerfooter]\nheader=人民\xB0政府\n",
                     IniEncoding::Utf8, "人民" + kFffd + "政府", true},
        EncodingCase{"Gb18030",
                     "[font]\r\nfontnamezw=" + kGbSongTi +
                         "\r\n[headerfooter]\r\nheader=" + kGbYeMei + "\r\n",
                     IniEncoding::Gb18030, "页眉", false},
        EncodingCase{"Gb18030WithStrayByte",
                     "[font]\r\nfontnamezw=" + kGbSongTi +
                         "\xFF\r\n[headerfooter]\r\nheader=" + kGbYeMei + kGbRuanJian + "\r\n",
                     IniEncoding::Gb18030, "页眉软件", true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniEncodingChoice, AWriteIntoAUtf8FileWithAStrayByteWritesUtf8) {
  TempFolder dir;
  const std::string before = "; caf\xE9\n[shuiyin]\ntxt=某某软件\n";
  writeBytes(dir / "setup.ini", before);
  IniFile ini(dir / "setup.ini");
  ASSERT_TRUE(ini.set("headerfooter", "header", "某某市人民政府"));
  EXPECT_EQ(readBytes(dir / "setup.ini"), before + "\n[headerfooter]\nheader=某某市人民政府\n");
  EXPECT_EQ(IniFile(dir / "setup.ini").get("shuiyin", "txt", ""), "某某软件");
}

} // namespace encoding_cases

// ---- Files that are no settings file ------------------------------------------------------

struct NotTextCase {
  const char* name;
  std::string bytes;
};

class IniNotText : public testing::TestWithParam<NotTextCase> {};

TEST_P(IniNotText, IsRefusedForReadingAndWriting) {
  TempFolder dir;
  writeBytes(dir / "setup.ini", GetParam().bytes);
  IniFile ini(dir / "setup.ini");
  EXPECT_NE(ini.readError().find("不是文本文件"), std::string::npos) << ini.readError();
  EXPECT_NE(ini.readError().find("setup.ini"), std::string::npos);
  EXPECT_EQ(ini.get("font", "fontnamezw", "宋体"), "宋体");
  auto result = ini.set("font", "fontnamezw", "1");
  EXPECT_FALSE(result);
  EXPECT_NE(result.error.find("不是文本文件"), std::string::npos) << result.error;
  EXPECT_EQ(readBytes(dir / "setup.ini"), GetParam().bytes);
}

std::string pseudoRandomBytes(std::size_t n) {
  std::string out;
  unsigned state = 12345;
  for (std::size_t i = 0; i < n; ++i) {
    state = state * 1103515245u + 12345u;
    out += static_cast<char>(state >> 16);
  }
  return out;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IniNotText,
    testing::Values(NotTextCase{"RandomBytes", pseudoRandomBytes(4096)},
                    NotTextCase{"ElfHeader", std::string("\x7F"
                                                         "ELF\x02\x01\x01\0\0\0\0\0\0\0\0\0\x03\0"
                                                         "\x3E\0\x01\0\0\0\x40\x10\0\0\0\0\0\0",
                                                         32) +
                                                 std::string(200, '\0')},
                    NotTextCase{"Png", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\0\x10\0\0\0"
                                                   "\x10\x08\x06\0\0\0\x1F\xF3\xFF\x61",
                                                   33)},
                    NotTextCase{"Utf16WithoutByteOrderMark",
                                std::string("[\0f\0o\0n\0t\0]\0\n\0k\0=\0v\0\n\0", 22)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IniFile, AReadOnlyFileIsRefusedForWriting) {
  TempFolder dir;
  const std::string before = "[font]\nfontnamezw=0\n";
  writeBytes(dir / "setup.ini", before);
  ASSERT_EQ(::chmod((dir / "setup.ini").c_str(), 0444), 0);
  IniFile ini(dir / "setup.ini");
  EXPECT_EQ(ini.get("font", "fontnamezw", ""), "0");
  auto result = ini.set("font", "fontnamezw", "1");
  EXPECT_FALSE(result);
  EXPECT_NE(result.error.find("只读"), std::string::npos) << result.error;
  EXPECT_NE(result.error.find("setup.ini"), std::string::npos) << result.error;
  EXPECT_EQ(readBytes(dir / "setup.ini"), before);
  struct stat st {};
  ASSERT_EQ(::stat((dir / "setup.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
  EXPECT_EQ(fileCount(dir.path()), 1);
}

// ---- Concurrent writers -------------------------------------------------------------------

TEST(IniFileConcurrency, TwentyProcessesSettingDifferentKeysLoseNothing) {
  TempFolder dir;
  writeBytes(dir / "setup.ini", "[font]\nfontnamezw=0\n");
  constexpr int kWriters = 20;
  int gate[2];
  ASSERT_EQ(::pipe(gate), 0);
  std::vector<pid_t> children;
  for (int i = 0; i < kWriters; ++i) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(gate[1]);
      char c;
      (void)::read(gate[0], &c, 1); // all start together when the gate closes
      IniFile ini(dir / "setup.ini");
      bool ok = true;
      // Each writer changes its own key a few times, the section alternating, so the writes
      // of different writers overlap in time.
      for (int round = 0; round < 5 && ok; ++round)
        ok = static_cast<bool>(
            ini.set(i % 2 ? "tool" : "pageinfo", "key" + std::to_string(i), std::to_string(round)));
      ::_exit(ok ? 0 : 1);
    }
    children.push_back(child);
  }
  ::close(gate[0]);
  ::close(gate[1]);
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  IniFile ini(dir / "setup.ini");
  for (int i = 0; i < kWriters; ++i)
    EXPECT_EQ(ini.get(i % 2 ? "tool" : "pageinfo", "key" + std::to_string(i), "lost"), "4") << i;
  EXPECT_EQ(ini.get("font", "fontnamezw", ""), "0");
  EXPECT_EQ(fileCount(dir.path()), 1); // no temporary file left
}

} // namespace
