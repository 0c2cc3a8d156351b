#include "word/internal/numbering.h"

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <zip.h>

#include "model_helpers.h"
#include "word/internal/story.h"

namespace {

using word::formatListNumber;
using word::ListLabel;
using word::ListNumberer;

// ---------------------------------------------------------------------------------------------
// Number formats

// One format and "n=label" pairs separated by spaces.
struct FormatCase {
  const char* fmt;
  const char* pairs;
};

class FormatListNumber : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatListNumber, WritesWordsDigits) {
  const FormatCase& c = GetParam();
  std::istringstream in(c.pairs);
  std::string pair;
  while (in >> pair) {
    auto eq = pair.find('=');
    ASSERT_NE(eq, std::string::npos) << pair;
    int n = std::stoi(pair.substr(0, eq));
    // "_" stands for a space inside a label.
    std::string expected = pair.substr(eq + 1);
    std::replace(expected.begin(), expected.end(), '_', ' ');
    EXPECT_EQ(formatListNumber(n, c.fmt), expected) << c.fmt << " " << n;
  }
}

// clang-format off
const FormatCase kFormatCases[] = {
    {"decimal", "1=1 0=0 -3=-3"},
    {"decimalHalfWidth", "12=12"},
    {"unknownFormat", "7=7"},
    {"ordinal", "1=1st 2=2nd 3=3rd 4=4th 11=11th 12=12th 13=13th 21=21st 102=102nd"},
    {"cardinalText", "3=Three 21=Twenty-one 100=One_hundred"},
    {"ordinalText", "1=First 2=Second 12=Twelfth 20=Twentieth 21=Twenty-first"},
    {"dollarText", "5=Five_and_00/100"},
    {"hex", "9=9 10=A 255=FF"},
    {"chicago", "1=* 2=† 4=§ 5=** 8=§§"},
    {"numberInDash", "3=-_3_-"},
    {"taiwaneseCounting", "1=一 10=十 11=十一 20=二十 21=二十一 100=一百 101=一百〇一"},
    {"taiwaneseCountingThousand", "1=一 10=十 11=十一 99=九十九 1000=一千 10000=一萬"},
    {"taiwaneseDigital", "10=一〇 205=二〇五"},
    {"japaneseCounting", "1=一 10=十 11=十一 20=二十 100=百 101=百一 110=百十 1000=千 "
                         "10000=一万 12345=一万二千三百四十五"},
    {"japaneseLegal", "1=壱 2=弐 3=参 10=壱拾 11=壱拾壱 100=壱百 1000=壱阡 10000=壱萬"},
    {"japaneseDigitalTenThousand", "10=一〇 10000=一万〇〇〇〇 12345=一万二三四五"},
    {"ideographLegalTraditional", "1=壹 13=壹拾參 1000=壹仟"},
    {"ideographZodiacTraditional", "1=甲子 2=乙丑 11=甲戌 60=癸亥 61=61"},
    {"ideographEnclosedCircle", "1=㊀ 10=㊉ 11=11"},
    {"decimalFullWidth2", "3=３"},
    {"aiueo", "1=ｱ 2=ｲ 46=ﾝ 47=ｱｱ"},
    {"aiueoFullWidth", "1=ア 6=カ 46=ン"},
    {"iroha", "1=ｲ 2=ﾛ 3=ﾊ"},
    {"irohaFullWidth", "1=イ 2=ロ 48=イイ"},
    {"koreanDigital", "1=일 10=일영 205=이영오"},
    {"koreanDigital2", "1=一 10=一零"},
    {"koreanCounting", "1=하나 2=둘 10=열 11=열하나 20=스물 99=아흔아홉 100=백"},
    {"koreanLegal", "1=일 10=십 11=십일 20=이십 100=백 101=백일 10000=만 20000=이만"},
    {"ganada", "1=가 2=나 14=하 15=가가"},
    {"chosung", "1=ㄱ 14=ㅎ"},
    {"vietnameseCounting", "1=một 10=mười 15=mười_lăm 21=hai_mươi_mốt 105=một_trăm_linh_năm"},
    {"russianLower", "1=а 6=е 7=ж 28=я 29=аа"},
    {"russianUpper", "1=А 28=Я"},
    {"hebrew1", "1=א 10=י 15=טו 16=טז 21=כא 100=ק"},
    {"hebrew2", "1=א 22=ת 23=אא"},
    {"arabicAlpha", "1=أ 2=ب 3=ت"},
    {"arabicAbjad", "1=أ 2=ب 3=ج 4=د"},
    {"hindiNumbers", "1=१ 10=१०"},
    {"hindiVowels", "1=अ 2=आ"},
    {"hindiConsonants", "1=क 2=ख"},
    {"hindiCounting", "1=एक 2=दो 11=११"},
    {"thaiNumbers", "1=๑ 10=๑๐"},
    {"thaiLetters", "1=ก 2=ข 3=ค"},
    {"thaiCounting", "1=หนึ่ง 10=สิบ 11=สิบเอ็ด 20=ยี่สิบ 21=ยี่สิบเอ็ด 35=สามสิบห้า"},
    {"bahtText", "1=หนึ่งบาทถ้วน"},
    {"decimalZero", "1=01 9=09 10=10 123=123"},
    {"decimalFullWidth", "7=７ 12=１２"},
    {"decimalEnclosedCircle", "1=① 20=⑳ 21=21 0=0"},
    {"decimalEnclosedCircleChinese", "3=③"},
    {"decimalEnclosedFullstop", "2=⒉"},
    {"decimalEnclosedParen", "20=⒇ 21=21"},
    {"chineseCounting", "0=〇 1=一 2=二 3=三 4=四 5=五 6=六 7=七 8=八 9=九 10=十 11=十一 12=十二 "
                        "13=十三 14=十四 15=十五 16=十六 17=十七 18=十八 19=十九 20=二十 21=二十一 "
                        "30=三十 99=九十九 100=一〇〇 101=一〇一 110=一一〇"},
    {"chineseCountingThousand", "0=〇 7=七 10=十 11=十一 20=二十 100=一百 101=一百〇一 "
                                "110=一百一十 111=一百一十一 1000=一千 1001=一千〇一 "
                                "1010=一千〇一十 10000=一万 10001=一万〇一 10100=一万〇一百 "
                                "110000=十一万 100000001=一亿〇一"},
    {"chineseLegalSimplified", "1=壹 10=壹拾 23=贰拾叁 105=壹佰零伍 2000=贰仟"},
    {"ideographTraditional", "1=甲 10=癸 11=11"},
    {"ideographZodiac", "1=子 12=亥 13=13"},
    {"ideographDigital", "205=二〇五"},
    {"lowerLetter", "1=a 26=z 27=aa 28=bb 52=zz 53=aaa 0=0"},
    {"upperLetter", "1=A 27=AA"},
    {"lowerRoman", "1=i 4=iv 9=ix 14=xiv 40=xl 1994=mcmxciv"},
    {"upperRoman", "4=IV 9=IX 14=XIV 1994=MCMXCIV 0=0"},
};
// clang-format on

TEST(FormatListNumberBullets, ShowNoNumber) {
  EXPECT_EQ(formatListNumber(3, "bullet"), "");
  EXPECT_EQ(formatListNumber(3, "none"), "");
}

INSTANTIATE_TEST_SUITE_P(Formats, FormatListNumber, testing::ValuesIn(kFormatCases));

TEST(FormatListNumberLimits, HugeValuesStayShort) {
  // Letters and roman numerals repeat characters; out-of-range values fall back to decimal.
  EXPECT_EQ(formatListNumber(2147483647, "lowerLetter"), "2147483647");
  EXPECT_EQ(formatListNumber(2147483647, "upperRoman"), "2147483647");
  EXPECT_EQ(formatListNumber(-2147483647 - 1, "chineseCountingThousand"), "-2147483648");
  EXPECT_EQ(formatListNumber(2147483647, "chineseCountingThousand"),
            "二十一亿四千七百四十八万三千六百四十七");
  for (const char* fmt : {"ganada", "russianLower", "chicago", "aiueo", "hebrew2", "thaiLetters"})
    EXPECT_EQ(formatListNumber(2147483647, fmt), "2147483647") << fmt;
}

TEST(FormatListNumberKnown, EveryEcmaFormatIsKnown) {
  // ST_NumberFormat of ECMA-376 Part 1 (custom is read from its w:format, see below).
  for (const char* fmt : {"decimal",
                          "upperRoman",
                          "lowerRoman",
                          "upperLetter",
                          "lowerLetter",
                          "ordinal",
                          "cardinalText",
                          "ordinalText",
                          "hex",
                          "chicago",
                          "ideographDigital",
                          "japaneseCounting",
                          "aiueo",
                          "iroha",
                          "decimalFullWidth",
                          "decimalHalfWidth",
                          "japaneseLegal",
                          "japaneseDigitalTenThousand",
                          "decimalEnclosedCircle",
                          "decimalFullWidth2",
                          "aiueoFullWidth",
                          "irohaFullWidth",
                          "decimalZero",
                          "bullet",
                          "ganada",
                          "chosung",
                          "decimalEnclosedFullstop",
                          "decimalEnclosedParen",
                          "decimalEnclosedCircleChinese",
                          "ideographEnclosedCircle",
                          "ideographTraditional",
                          "ideographZodiac",
                          "ideographZodiacTraditional",
                          "taiwaneseCounting",
                          "ideographLegalTraditional",
                          "taiwaneseCountingThousand",
                          "taiwaneseDigital",
                          "chineseCounting",
                          "chineseLegalSimplified",
                          "chineseCountingThousand",
                          "koreanDigital",
                          "koreanCounting",
                          "koreanLegal",
                          "koreanDigital2",
                          "vietnameseCounting",
                          "russianLower",
                          "russianUpper",
                          "none",
                          "numberInDash",
                          "hebrew1",
                          "hebrew2",
                          "arabicAlpha",
                          "arabicAbjad",
                          "hindiVowels",
                          "hindiConsonants",
                          "hindiNumbers",
                          "hindiCounting",
                          "thaiLetters",
                          "thaiNumbers",
                          "thaiCounting",
                          "bahtText",
                          "dollarText"})
    EXPECT_TRUE(word::isKnownNumberFormat(fmt)) << fmt;
  EXPECT_FALSE(word::isKnownNumberFormat("unknownFormat"));
}

// ---------------------------------------------------------------------------------------------
// ListNumberer over hand-written parts

const char* const kNs = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";

std::string lvl(int ilvl, const std::string& fmt, const std::string& text,
                const std::string& extra = "", int start = 1) {
  return "<w:lvl w:ilvl=\"" + std::to_string(ilvl) + "\"><w:start w:val=\"" +
         std::to_string(start) + "\"/><w:numFmt w:val=\"" + fmt + "\"/><w:lvlText w:val=\"" + text +
         "\"/>" + extra + "</w:lvl>";
}
std::string abstractNum(int id, const std::string& levels) {
  return "<w:abstractNum w:abstractNumId=\"" + std::to_string(id) + "\">" + levels +
         "</w:abstractNum>";
}
std::string num(int id, int abstractId, const std::string& overrides = "") {
  return "<w:num w:numId=\"" + std::to_string(id) + "\"><w:abstractNumId w:val=\"" +
         std::to_string(abstractId) + "\"/>" + overrides + "</w:num>";
}
std::string startOverride(int ilvl, int start) {
  return "<w:lvlOverride w:ilvl=\"" + std::to_string(ilvl) + "\"><w:startOverride w:val=\"" +
         std::to_string(start) + "\"/></w:lvlOverride>";
}
// A paragraph numbered directly.
std::string P(int numId, int ilvl = 0) {
  return "<w:p><w:pPr><w:numPr><w:ilvl w:val=\"" + std::to_string(ilvl) + "\"/><w:numId w:val=\"" +
         std::to_string(numId) + "\"/></w:numPr></w:pPr></w:p>";
}
// A paragraph of a style, optionally with its own numPr inside (raw XML).
std::string PS(const std::string& style, const std::string& numPr = "") {
  return "<w:p><w:pPr><w:pStyle w:val=\"" + style + "\"/>" + numPr + "</w:pPr></w:p>";
}
const std::string kPlain = "<w:p><w:r><w:t>text</w:t></w:r></w:p>";

std::string paraStyle(const std::string& id, const std::string& pPr,
                      const std::string& basedOn = "") {
  return "<w:style w:type=\"paragraph\" w:styleId=\"" + id + "\">" +
         (basedOn.empty() ? "" : "<w:basedOn w:val=\"" + basedOn + "\"/>") + "<w:pPr>" + pPr +
         "</w:pPr></w:style>";
}
std::string numPr(int numId, int ilvl = -1) {
  return "<w:numPr>" +
         (ilvl >= 0 ? "<w:ilvl w:val=\"" + std::to_string(ilvl) + "\"/>" : std::string()) +
         "<w:numId w:val=\"" + std::to_string(numId) + "\"/></w:numPr>";
}

struct Labels {
  std::vector<std::string> text;   // "" for a paragraph without a label
  std::vector<std::string> suffix; // "" for a paragraph without a label
};

// Runs a numberer over the w:p children of a body built from `paragraphs`.
Labels run(const std::string& numberingBody, const std::string& stylesBody,
           const std::string& paragraphs, const std::string& prefix = "w") {
  auto wrap = [&](const char* root, const std::string& body) {
    std::string xml =
        "<w:" + std::string(root) + " xmlns:w=\"" + kNs + "\">" + body + "</w:" + root + ">";
    if (prefix != "w") {
      // Same content under another prefix.
      std::string out;
      for (size_t i = 0; i < xml.size(); ++i) {
        if (xml.compare(i, 8, "xmlns:w=") == 0) {
          out += "xmlns:" + prefix + "=";
          i += 7;
        } else if (xml.compare(i, 2, "w:") == 0 && i > 0 &&
                   (xml[i - 1] == '<' || xml[i - 1] == '/' || xml[i - 1] == ' ')) {
          out += prefix + ":";
          ++i;
        } else {
          out += xml[i];
        }
      }
      return out;
    }
    return xml;
  };
  pugi::xml_document numbering, styles, document;
  EXPECT_TRUE(numbering.load_string(wrap("numbering", numberingBody).c_str()));
  EXPECT_TRUE(styles.load_string(wrap("styles", stylesBody).c_str()));
  EXPECT_TRUE(document.load_string(("<w:document xmlns:w=\"" + std::string(kNs) + "\"><w:body>" +
                                    paragraphs + "</w:body></w:document>")
                                       .c_str()));
  ListNumberer numberer(&numbering, &styles);
  Labels out;
  for (pugi::xml_node p : document.document_element().first_child().children("w:p")) {
    ListLabel label;
    if (numberer.next(p, label)) {
      out.text.push_back(label.text);
      out.suffix.push_back(label.suffix);
    } else {
      out.text.push_back("");
      out.suffix.push_back("");
    }
  }
  return out;
}

struct ListCase {
  const char* name;
  std::string numbering, styles, paragraphs;
  std::vector<std::string> expected;
};

void PrintTo(const ListCase& c, std::ostream* os) {
  *os << c.name;
}

class ListNumbering : public testing::TestWithParam<ListCase> {};

TEST_P(ListNumbering, LabelsFollowWord) {
  const ListCase& c = GetParam();
  EXPECT_EQ(run(c.numbering, c.styles, c.paragraphs).text, c.expected);
}

const std::string kTwoLevels =
    abstractNum(0, lvl(0, "decimal", "%1.") + lvl(1, "decimal", "%1.%2"));

const std::string kHeadingStyles = paraStyle("Heading1", numPr(1)) +
                                   paraStyle("Heading2", numPr(1)) +
                                   paraStyle("MyHeading", "", "Heading2");
const std::string kHeadingNumbering =
    abstractNum(0, lvl(0, "chineseCounting", "第%1章", "<w:pStyle w:val=\"Heading1\"/>") +
                       lvl(1, "decimal", "%1.%2", "<w:pStyle w:val=\"Heading2\"/><w:isLgl/>")) +
    num(1, 0);

// Abstract 10 only points at the numbering style; abstract 11 is the style's definition.
const std::string kStyleLinkNumbering =
    abstractNum(10, "<w:numStyleLink w:val=\"MyList\"/>") +
    abstractNum(11, "<w:styleLink w:val=\"MyList\"/>" + lvl(0, "chineseCounting", "（%1）")) +
    num(2, 11) + num(3, 10);

const ListCase kListCases[] = {
    {"MultiLevelRestartsDeeperLevels",
     kTwoLevels + num(1, 0),
     "",
     P(1, 0) + P(1, 1) + P(1, 1) + P(1, 0) + P(1, 1),
     {"1.", "1.1", "1.2", "2.", "2.1"}},
    {"UnnumberedParagraphsDoNotBreakTheList",
     kTwoLevels + num(1, 0),
     "",
     P(1) + kPlain + P(1),
     {"1.", "", "2."}},
    {"LvlRestartZeroNeverRestarts",
     abstractNum(0, lvl(0, "decimal", "%1.") +
                        lvl(1, "lowerLetter", "%2)", "<w:lvlRestart w:val=\"0\"/>")) +
         num(1, 0),
     "",
     P(1, 0) + P(1, 1) + P(1, 1) + P(1, 0) + P(1, 1),
     {"1.", "a)", "b)", "2.", "c)"}},
    {"LvlRestartOneRestartsOnlyOnTopLevel",
     abstractNum(0, lvl(0, "decimal", "%1") + lvl(1, "decimal", "%1.%2") +
                        lvl(2, "decimal", "%1.%2.%3", "<w:lvlRestart w:val=\"1\"/>")) +
         num(1, 0),
     "",
     P(1, 0) + P(1, 1) + P(1, 2) + P(1, 1) + P(1, 2) + P(1, 0) + P(1, 1) + P(1, 2),
     {"1", "1.1", "1.1.1", "1.2", "1.2.2", "2", "2.1", "2.1.1"}},
    {"LvlRestartAboveOwnLevelIsIgnored",
     abstractNum(0, lvl(0, "decimal", "%1.") +
                        lvl(1, "decimal", "%1.%2", "<w:lvlRestart w:val=\"5\"/>")) +
         num(1, 0),
     "",
     P(1, 0) + P(1, 1) + P(1, 0) + P(1, 1),
     {"1.", "1.1", "2.", "2.1"}},
    {"ParentLevelsUseTheirOwnFormat",
     abstractNum(0, lvl(0, "upperRoman", "Article %1") + lvl(1, "decimalZero", "%1.%2")) +
         num(1, 0),
     "",
     P(1, 0) + P(1, 1) + P(1, 0) + P(1, 1),
     {"Article I", "I.01", "Article II", "II.01"}},
    {"IsLglShowsParentsInDecimal",
     abstractNum(0, lvl(0, "upperRoman", "Article %1") +
                        lvl(1, "decimalZero", "%1.%2", "<w:isLgl/>") +
                        lvl(2, "lowerLetter", "%1.%2.%3", "<w:isLgl w:val=\"0\"/>")) +
         num(1, 0),
     "",
     P(1, 0) + P(1, 0) + P(1, 1) + P(1, 2),
     {"Article I", "Article II", "2.01", "II.01.a"}},
    {"NumsSharingAnAbstractContinue",
     kTwoLevels + num(1, 0) + num(2, 0),
     "",
     P(1) + P(1) + P(2) + P(1),
     {"1.", "2.", "3.", "4."}},
    {"StartOverrideRestartsThenCountsAlone",
     kTwoLevels + num(1, 0) + num(3, 0, startOverride(0, 1)),
     "",
     P(1) + P(1) + P(3) + P(3) + P(1),
     {"1.", "2.", "1.", "2.", "3."}},
    {"StartOverrideValue",
     kTwoLevels + num(1, 0) + num(3, 0, startOverride(0, 5)),
     "",
     P(1) + P(3) + P(3),
     {"1.", "5.", "6."}},
    {"StartOverrideOnDeeperLevelRestartsWithParent",
     kTwoLevels + num(1, 0) + num(3, 0, startOverride(1, 4)),
     "",
     P(1, 0) + P(3, 1) + P(3, 1) + P(1, 0) + P(3, 1),
     {"1.", "1.4", "1.5", "2.", "2.4"}},
    {"FullLevelOverride",
     kTwoLevels + num(1, 0,
                      "<w:lvlOverride w:ilvl=\"0\"><w:lvl w:ilvl=\"0\"><w:start w:val=\"3\"/>"
                      "<w:numFmt w:val=\"upperLetter\"/><w:lvlText w:val=\"%1)\"/></w:lvl>"
                      "</w:lvlOverride>"),
     "",
     P(1) + P(1),
     {"C)", "D)"}},
    {"MissingStartCountsFromZero",
     abstractNum(0, "<w:lvl w:ilvl=\"0\"><w:numFmt w:val=\"decimal\"/>"
                    "<w:lvlText w:val=\"%1.\"/></w:lvl>") +
         num(1, 0),
     "",
     P(1) + P(1),
     {"0.", "1."}},
    {"UnusedParentShowsItsStart",
     abstractNum(0, lvl(0, "decimal", "%1.", "", 3) + lvl(1, "decimal", "%1.%2")) + num(1, 0),
     "",
     P(1, 1) + P(1, 1) + P(1, 0) + P(1, 1),
     {"3.1", "3.2", "3.", "3.1"}},
    {"ReferenceToDeeperLevelDropsText",
     abstractNum(0, lvl(0, "decimal", "%1.%2")) + num(1, 0),
     "",
     P(1),
     {""}},
    {"NoneFormatKeepsLiteralText",
     abstractNum(0, lvl(0, "none", "Note") + lvl(1, "none", "")) + num(1, 0),
     "",
     P(1, 0) + P(1, 1),
     {"Note", ""}},
    {"BulletKeepsSymbolCharacter",
     abstractNum(0, lvl(0, "bullet", "\xEF\x82\xB7") + lvl(1, "bullet", "%2")) + num(1, 0),
     "",
     P(1, 0) + P(1, 1),
     {"\xEF\x82\xB7", "%2"}},
    {"NumIdZeroCancelsStyleNumbering",
     kTwoLevels + num(1, 0),
     paraStyle("ListNum", numPr(1, 0)),
     PS("ListNum") + PS("ListNum", numPr(0)) + PS("ListNum"),
     {"1.", "", "2."}},
    {"DirectIlvlWithStyleNumId",
     kTwoLevels + num(1, 0),
     paraStyle("ListNum", numPr(1, 0)),
     PS("ListNum") + PS("ListNum", "<w:numPr><w:ilvl w:val=\"1\"/></w:numPr>"),
     {"1.", "1.1"}},
    {"NumberingFromParagraphStyles",
     kHeadingNumbering,
     kHeadingStyles,
     PS("Heading1") + PS("Heading2") + PS("Heading2") + PS("MyHeading") + PS("Heading1") +
         PS("Heading2"),
     {"第一章", "1.1", "1.2", "1.3", "第二章", "2.1"}},
    {"DefaultParagraphStyleNumbering",
     kTwoLevels + num(1, 0),
     "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:pPr>" + numPr(1) +
         "</w:pPr></w:style>",
     kPlain + PS("Missing"),
     {"1.", "2."}},
    {"StyleCycleIsHarmless",
     kTwoLevels + num(1, 0),
     paraStyle("A", "", "B") + paraStyle("B", "", "A"),
     PS("A") + PS("B"),
     {"", ""}},
    {"NumStyleLinkUsesTheStyleDefinition",
     kStyleLinkNumbering,
     "<w:style w:type=\"numbering\" w:styleId=\"MyList\"><w:pPr>" + numPr(2) + "</w:pPr></w:style>",
     P(3) + P(3) + P(2),
     {"（一）", "（二）", "（三）"}},
    {"NumStyleLinkWithoutStylesFindsStyleLink",
     kStyleLinkNumbering,
     "",
     P(3) + P(3),
     {"（一）", "（二）"}},
    {"UnknownReferencesAreNotNumbered",
     kTwoLevels + num(1, 0) + num(2, 42) + "<w:num w:numId=\"3\"/>",
     "",
     P(7) + P(2) + P(3) + P(1, 5) + P(1),
     {"", "", "", "", "1."}},
    {"IlvlIsClamped", kTwoLevels + num(1, 0), "", P(1, -4) + P(1, 0), {"1.", "2."}},
};

INSTANTIATE_TEST_SUITE_P(Cases, ListNumbering, testing::ValuesIn(kListCases),
                         [](const testing::TestParamInfo<ListCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(ListNumberer, SuffixFollowsSuff) {
  Labels l = run(abstractNum(0, lvl(0, "decimal", "%1.") +
                                    lvl(1, "decimal", "%2.", "<w:suff w:val=\"space\"/>") +
                                    lvl(2, "decimal", "%3.", "<w:suff w:val=\"nothing\"/>") +
                                    lvl(3, "decimal", "%4.", "<w:suff w:val=\"tab\"/>")) +
                     num(1, 0),
                 "", P(1, 0) + P(1, 1) + P(1, 2) + P(1, 3));
  EXPECT_EQ(l.suffix, (std::vector<std::string>{"\t", " ", "", "\t"}));
}

TEST(ConvertNumbersToText, WritesWhatWordShowsAndWarnsOfUnknownFormats) {
  const std::string customChoice =
      "<w:lvl w:ilvl=\"0\"><w:start w:val=\"1\"/><mc:AlternateContent xmlns:mc=\"http://"
      "schemas.openxmlformats.org/markup-compatibility/2006\"><mc:Choice Requires=\"w14\">"
      "<w:numFmt w:val=\"custom\" w:format=\"001, 002, 003, ...\"/></mc:Choice><mc:Fallback>"
      "<w:numFmt w:val=\"decimal\"/></mc:Fallback></mc:AlternateContent><w:lvlText "
      "w:val=\"%1.\"/></w:lvl>";
  struct Case {
    const char* name;
    std::string level;
    std::vector<std::string> labels; // of three paragraphs
    const char* warning;             // a piece of the warning, or nullptr
  };
  const Case cases[] = {
      {"taiwaneseCountingThousand",
       lvl(0, "taiwaneseCountingThousand", "%1、"),
       {"一、", "二、", "三、"},
       nullptr},
      {"chapter",
       lvl(0, "chineseCountingThousand", "第%1章"),
       {"第一章", "第二章", "第三章"},
       nullptr},
      {"japaneseCounting",
       lvl(0, "japaneseCounting", "第%1条"),
       {"第一条", "第二条", "第三条"},
       nullptr},
      {"custom", customChoice, {"001.", "002.", "003."}, nullptr},
      {"unknown", lvl(0, "martianCounting", "%1)"), {"1)", "2)", "3)"}, "martianCounting"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto d = qftest::makeDoc(P(1) + P(1) + P(1), "", abstractNum(0, c.level) + num(1, 0));
    d->convertNumbersToText();
    for (int i = 1; i <= 3; ++i)
      EXPECT_EQ(d->paragraphs().item(i).range().text(),
                c.labels[static_cast<size_t>(i - 1)] + "\t\r");
    auto& warnings = d->warnings();
    if (c.warning) {
      ASSERT_EQ(warnings.size(), 1u);
      EXPECT_NE(warnings[0].find(c.warning), std::string::npos) << warnings[0];
    } else {
      EXPECT_TRUE(warnings.empty());
    }
  }
}

TEST(ListNumberer, OtherPrefixesAreResolved) {
  const std::string numbering = kTwoLevels + num(1, 0);
  const std::string paragraphs = P(1, 0) + P(1, 1);
  EXPECT_EQ(run(numbering, "", paragraphs, "ns0").text, (std::vector<std::string>{"1.", "1.1"}));
  const std::string styled = PS("ListNum") + PS("ListNum");
  EXPECT_EQ(run(numbering, paraStyle("ListNum", numPr(1, 0)), styled, "x").text,
            (std::vector<std::string>{"1.", "2."}));
}

TEST(ListNumberer, ParagraphDocumentWithOwnPrefix) {
  pugi::xml_document numbering, document;
  ASSERT_TRUE(numbering.load_string(("<w:numbering xmlns:w=\"" + std::string(kNs) + "\">" +
                                     kTwoLevels + num(1, 0) + "</w:numbering>")
                                        .c_str()));
  ASSERT_TRUE(document.load_string(
      ("<q:body xmlns:q=\"" + std::string(kNs) +
       "\"><q:p><q:pPr><q:numPr><q:ilvl q:val=\"0\"/><q:numId q:val=\"1\"/></q:numPr>"
       "</q:pPr></q:p></q:body>")
          .c_str()));
  ListNumberer numberer(&numbering, nullptr);
  ListLabel label;
  pugi::xml_node p = document.document_element().first_child();
  ASSERT_TRUE(numberer.next(p, label));
  EXPECT_EQ(label.text, "1.");
  EXPECT_TRUE(ListNumberer::hasDirectNumbering(p));
}

TEST(ListNumberer, LevelRunPropertiesAreKept) {
  pugi::xml_document numbering, document;
  ASSERT_TRUE(numbering.load_string(
      ("<w:numbering xmlns:w=\"" + std::string(kNs) + "\">" +
       abstractNum(0, lvl(0, "bullet", "\xEF\x82\xB7",
                          "<w:rPr><w:rFonts w:ascii=\"Symbol\" w:hAnsi=\"Symbol\"/></w:rPr>")) +
       num(1, 0) + "</w:numbering>")
          .c_str()));
  ASSERT_TRUE(document.load_string(
      ("<w:body xmlns:w=\"" + std::string(kNs) + "\">" + P(1) + "</w:body>").c_str()));
  ListNumberer numberer(&numbering, nullptr);
  ListLabel label;
  ASSERT_TRUE(numberer.next(document.document_element().first_child(), label));
  EXPECT_STREQ(label.lvlRPr.child("w:rFonts").attribute("w:ascii").value(), "Symbol");
}

TEST(ListNumberer, WithoutNumberingNothingIsNumbered) {
  pugi::xml_document document;
  ASSERT_TRUE(document.load_string(
      ("<w:body xmlns:w=\"" + std::string(kNs) + "\">" + P(1) + "</w:body>").c_str()));
  ListNumberer numberer(nullptr, nullptr);
  ListLabel label;
  EXPECT_FALSE(numberer.next(document.document_element().first_child(), label));
  EXPECT_FALSE(numberer.next(pugi::xml_node(), label));
}

TEST(ListNumberer, HasDirectNumbering) {
  pugi::xml_document document;
  ASSERT_TRUE(document.load_string(("<w:body xmlns:w=\"" + std::string(kNs) + "\">" + P(1) +
                                    PS("ListNum") + PS("ListNum", numPr(0)) + kPlain + "</w:body>")
                                       .c_str()));
  std::vector<bool> direct;
  for (pugi::xml_node p : document.document_element().children())
    direct.push_back(ListNumberer::hasDirectNumbering(p));
  EXPECT_EQ(direct, (std::vector<bool>{true, false, true, false}));
}

// ---------------------------------------------------------------------------------------------
// Real documents

bool readEntry(zip_t* z, const char* name, std::string& out) {
  zip_stat_t st;
  if (zip_stat(z, name, 0, &st) != 0)
    return false;
  zip_file_t* f = zip_fopen(z, name, 0);
  if (!f)
    return false;
  out.resize(st.size);
  zip_int64_t got = zip_fread(f, out.data(), st.size);
  zip_fclose(f);
  return got == static_cast<zip_int64_t>(st.size);
}

TEST(ListNumbererCorpus, EveryDocumentNumbersWithoutFailing) {
  const std::filesystem::path dir = std::filesystem::path(QF_CORPUS_DIR) / "word";
  if (!std::filesystem::is_directory(dir))
    FAIL() << "the corpus is missing from " << dir;
  int documents = 0, withNumbering = 0;
  std::string listNumberLabel;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".docx")
      continue;
    int err = 0;
    zip_t* z = zip_open(entry.path().c_str(), ZIP_RDONLY, &err);
    ASSERT_NE(z, nullptr) << entry.path();
    std::string numberingXml, stylesXml, documentXml;
    bool hasNumbering = readEntry(z, "word/numbering.xml", numberingXml);
    bool hasStyles = readEntry(z, "word/styles.xml", stylesXml);
    ASSERT_TRUE(readEntry(z, "word/document.xml", documentXml)) << entry.path();
    zip_close(z);
    pugi::xml_document numbering, styles, document;
    ASSERT_TRUE(document.load_string(documentXml.c_str())) << entry.path();
    if (hasNumbering) {
      ASSERT_TRUE(numbering.load_string(numberingXml.c_str())) << entry.path();
    }
    if (hasStyles) {
      ASSERT_TRUE(styles.load_string(stylesXml.c_str())) << entry.path();
    }
    ListNumberer numberer(hasNumbering ? &numbering : nullptr, hasStyles ? &styles : nullptr);
    for (pugi::xpath_node x : document.select_nodes("//w:p")) {
      ListLabel label;
      if (numberer.next(x.node(), label)) {
        EXPECT_FALSE(label.text.empty()) << entry.path();
        if (entry.path().filename() == "num-having-numbering-part.docx")
          listNumberLabel = label.text + label.suffix;
      }
    }
    ++documents;
    withNumbering += hasNumbering;
  }
  EXPECT_GT(documents, 0);
  EXPECT_GT(withNumbering, 0);
  // Its only list paragraph takes numId 6 from the List Number style: level 0 is linked.
  EXPECT_EQ(listNumberLabel, "1.\t");
}

} // namespace
