// The census of a document: what it holds, found by namespace whatever the prefix, the
// letters and digits of its text, and the FILLIN fields rewritten for a Word 97-2003 export.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model_helpers.h"
#include "word/census.h"
#include "word/document.h"
#include "word/internal/access.h"
#include "word/text.h"

using qftest::fillIn;
using qftest::kCell;
using qftest::kTable;
using qftest::para;
using qftest::run;

namespace {

// ---- the census ------------------------------------------------------------------------------

// A package whose main part's body is `body`, written under the prefix `prefix` ("" for the
// default namespace): "w:" in `body` is rewritten to it.
std::unique_ptr<word::Package> packageUnder(const std::string& prefix, std::string body) {
  const std::string to = prefix.empty() ? "" : prefix + ":";
  for (size_t at = body.find("w:"); at != std::string::npos; at = body.find("w:", at + to.size()))
    body.replace(at, 2, to);
  const std::string decl = prefix.empty() ? "xmlns" : "xmlns:" + prefix;
  std::string doc =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><" + to + "document " + decl +
      "=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
      "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
      "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" "
      "xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\" "
      "xmlns:v=\"urn:schemas-microsoft-com:vml\"><" +
      to + "body>" + body + "</" + to + "body></" + to + "document>";
  auto pkg = qftest::makePackage("");
  pkg->setBytes("word/document.xml", doc);
  return pkg;
}

struct CensusCase {
  const char* label;
  std::string body;
  std::vector<int>
      counts; // tables cells pictures fields formFields sdt bookmarks fn en cm sections
  const char* text;
};

std::vector<int> countsOf(const word::Census& c) {
  return {c.tables,    c.cells,     c.pictures, c.fields,   c.formFields, c.contentControls,
          c.bookmarks, c.footnotes, c.endnotes, c.comments, c.sections};
}

const std::string kDrawing = "<w:r><w:drawing><wp:inline><wp:docPr id=\"1\" name=\"Picture "
                             "1\"/></wp:inline></w:drawing></w:r>";

class CensusCounts : public ::testing::TestWithParam<CensusCase> {};

TEST_P(CensusCounts, AreTheSameWhateverThePrefix) {
  const CensusCase& c = GetParam();
  for (const char* prefix : {"w", "ns0", ""}) {
    const word::Census got = word::takeCensus(*packageUnder(prefix, c.body));
    EXPECT_EQ(countsOf(got), c.counts) << "prefix \"" << prefix << "\"";
    EXPECT_EQ(word::toUtf8(got.text), c.text) << "prefix \"" << prefix << "\"";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CensusCounts,
    ::testing::Values(
        CensusCase{"LettersAndDigitsFullWidthFolded",
                   para(run("第１章，A-b 3。　Ⅱ②")),
                   {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1},
                   "第1章Ab3Ⅱ②"},
        CensusCase{"NestedTables",
                   "<w:tbl><w:tr><w:tc>" + kTable + para("") + "</w:tc>" + kCell +
                       "</w:tr></w:tbl>" + para(""),
                   {2, 4, 0, 0, 0, 0, 0, 0, 0, 0, 1},
                   "格格格"},
        CensusCase{"TablesWithNoParagraphBetweenAreOne",
                   kTable + "<w:bookmarkStart w:id=\"0\" w:name=\"x\"/>" + kTable + para("") +
                       kTable,
                   {2, 6, 0, 0, 0, 0, 1, 0, 0, 0, 1},
                   "格格格格格格"},
        CensusCase{"AlternateContentCountsOnceWatermarksNever",
                   para("<w:r><mc:AlternateContent><mc:Choice Requires=\"wps\"><w:drawing/>"
                        "</mc:Choice><mc:Fallback><w:pict/></mc:Fallback></mc:AlternateContent>"
                        "</w:r>" +
                        kDrawing +
                        "<w:r><w:pict><v:shape id=\"PowerPlusWaterMarkObject1\"/></w:pict></w:r>"),
                   {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 1},
                   ""},
        CensusCase{"FieldsFormFieldsAndRecomputedResults",
                   para("<w:r><w:fldChar w:fldCharType=\"begin\"><w:ffData><w:name w:val=\"a\"/>"
                        "<w:textInput/></w:ffData></w:fldChar></w:r><w:r><w:instrText> FORMTEXT "
                        "</w:instrText></w:r><w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>" +
                        run("甲") + "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>" +
                        "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText> PAGE "
                        "</w:instrText></w:r><w:r><w:fldChar w:fldCharType=\"separate\"/></w:r>" +
                        run("7") + "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>" +
                        "<w:fldSimple w:instr=\" DATE \">" + run("2024") + "</w:fldSimple>" +
                        "<w:fldSimple w:instr=\" REF x \">" + run("乙") + "</w:fldSimple>"),
                   {0, 0, 0, 4, 1, 0, 0, 0, 0, 0, 1},
                   "甲乙"},
        CensusCase{"BookmarksControlsAndNotes",
                   "<w:sdt><w:sdtContent>" +
                       para("<w:bookmarkStart w:id=\"0\" w:name=\"a\"/><w:bookmarkEnd w:id=\"0\"/>"
                            "<w:bookmarkStart w:id=\"1\" w:name=\"_GoBack\"/>"
                            "<w:r><w:footnoteReference w:id=\"1\"/></w:r>"
                            "<w:r><w:endnoteReference w:id=\"1\"/></w:r>"
                            "<w:r><w:commentReference w:id=\"0\"/></w:r>") +
                       "</w:sdtContent></w:sdt>",
                   {0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1},
                   ""},
        CensusCase{"SectionsButNotTheirEarlierStates",
                   para(run("一"), "<w:sectPr/>") +
                       para(run("二"), "<w:sectPr><w:sectPrChange><w:sectPr/></w:sectPrChange>"
                                       "</w:sectPr>") +
                       "<w:sectPr/>",
                   {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3},
                   "一二"}),
    [](const auto& info) { return info.param.label; });

// Namespace declarations anywhere in a part, not only on its root: whatever binds an element's
// prefix where the element stands decides whether it counts, and leaving the element that
// declared a binding brings the outer one back.
struct ScopeCase {
  const char* label;
  std::string document; // the whole word/document.xml
  int tables;
  const char* text;
};

const std::string kMain = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
const std::string kStrict = "http://purl.oclc.org/ooxml/wordprocessingml/main";
const std::string kOther = "urn:example:other";

// Some thirty declarations of other namespaces, as Word writes on a root.
std::string manyDeclarations() {
  std::string d;
  for (int i = 0; i < 30; ++i)
    d += " xmlns:n" + std::to_string(i) + "=\"urn:example:n" + std::to_string(i) + "\"";
  return d;
}

class CensusScopes : public ::testing::TestWithParam<ScopeCase> {};

TEST_P(CensusScopes, FollowTheDeclarationsInScope) {
  const ScopeCase& c = GetParam();
  auto pkg = qftest::makePackage("");
  pkg->setBytes("word/document.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + c.document);
  const word::Census got = word::takeCensus(*pkg);
  EXPECT_EQ(got.tables, c.tables);
  EXPECT_EQ(word::toUtf8(got.text), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CensusScopes,
    ::testing::Values(ScopeCase{"NoDeclarationsReadsTheUsualPrefix",
                                "<w:document><w:body><w:p><w:r><w:t>甲</w:t></w:r></w:p><w:tbl/>"
                                "</w:body></w:document>",
                                1, "甲"},
                      ScopeCase{
                          "MainNamespaceDeclaredAfterThirtyOthers",
                          "<w:document" + manyDeclarations() + " xmlns:w=\"" + kMain +
                              "\"><w:body><n7:tbl/><w:p><w:r><w:t>甲</w:t></w:r></w:p><w:tbl/>"
                              "</w:body></w:document>",
                          1, "甲"},
                      ScopeCase{"PrefixRedeclaredInsideThenRestored",
                                "<w:document xmlns:w=\"" + kMain +
                                    "\"><w:body><w:p><w:r><w:t>甲</w:t></w:r>"
                                    "<w:r xmlns:w=\"" +
                                    kOther +
                                    "\"><w:t>乙</w:t><w:tbl/></w:r>"
                                    "<w:r><w:t>丙</w:t></w:r></w:p><w:tbl/></w:body></w:document>",
                                1, "甲丙"},
                      ScopeCase{"PrefixBoundOnlyOnAnInnerElement",
                                "<x:document xmlns:x=\"" + kOther +
                                    "\"><x:body><x:p><x:t>甲</x:t>"
                                    "<q:r xmlns:q=\"" +
                                    kMain +
                                    "\"><q:t>乙</q:t><q:tbl/></q:r>"
                                    "<q:t>丙</q:t></x:p></x:body></x:document>",
                                1, "乙"},
                      ScopeCase{"DefaultNamespaceSwitchedAndBack",
                                "<document xmlns=\"" + kMain +
                                    "\"><body><p><r><t>甲</t></r>"
                                    "<r xmlns=\"" +
                                    kOther +
                                    "\"><t>乙</t><tbl/></r><r><t>丙</t></r></p>"
                                    "<tbl/></body></document>",
                                1, "甲丙"},
                      ScopeCase{"StrictNamespaceUnderAnyPrefix",
                                "<s:document xmlns:s=\"" + kStrict +
                                    "\"><s:body><s:p><s:r><s:t>甲1</s:t>"
                                    "</s:r></s:p><s:tbl/><w:tbl/></s:body></s:document>",
                                1, "甲1"}),
    [](const auto& info) { return info.param.label; });

TEST(CensusLetters, LettersAndDigitsOfEveryScriptButNoPunctuation) {
  for (char32_t c : {U'a', U'Z', U'7', U'é', U'中', U'〇', U'ア', U'한', U'Ⅳ', U'①', U'０', U'Ａ'})
    EXPECT_TRUE(word::isCensusLetter(c)) << static_cast<uint32_t>(c);
  for (char32_t c : {U' ', U'\u3000', U',', U'，', U'。', U'、', U'（', U'“', U'—', U'\uF06C',
                     U'\t', U'・', U'\u00A0'})
    EXPECT_FALSE(word::isCensusLetter(c)) << static_cast<uint32_t>(c);
}

// ---- FILLIN fields before a Word 97-2003 export ---------------------------------------------

// The letters are gathered in pieces and joined at the end of the walk: a text of any length,
// a piece's boundary included, comes out whole and in order.
TEST(CensusLetters, LongTextsComeOutWholeAndInOrder) {
  for (size_t letters :
       {size_t(0), size_t(1), size_t(65535), size_t(65536), size_t(65537), size_t(200003)}) {
    SCOPED_TRACE(letters);
    // Paragraphs of ten letters: a digit giving the paragraph's place, then nine of a cycle of
    // ideographs, punctuation between them that the census leaves out.
    std::string body;
    std::u32string want;
    for (size_t i = 0; i < letters; i += 10) {
      std::u32string p;
      p += static_cast<char32_t>(U'0' + (i / 10) % 10);
      for (size_t k = 1; k < 10 && i + k < letters; ++k)
        p += static_cast<char32_t>(U'一' + (i + k) % 97);
      want += p;
      std::string text;
      for (char32_t ch : p)
        text += word::toUtf8(std::u32string(1, ch)) + "，";
      body += para(run(text));
    }
    const word::Census got = word::takeCensus(*packageUnder("w", body));
    ASSERT_EQ(got.text.size(), want.size());
    EXPECT_TRUE(got.text == want);
  }
}

TEST(FillInForLegacyExport, BecomesATextFormFieldWithItsResultWhateverThePrefix) {
  for (const char* prefix : {"w", "ns0", ""}) {
    auto doc = word::Document::fromPackage(
        packageUnder(prefix,
                     para(run("姓名：") + fillIn("姓名", "张三")) +
                         para("<w:fldSimple w:instr=\" fillin 单位 \\d x \">" + run("李四公司") +
                              "</w:fldSimple><w:fldSimple w:instr=\" PAGE \">" + run("1") +
                              "</w:fldSimple>")),
        "fillin.docx");
    const word::Census before = word::takeCensus(*doc);
    EXPECT_EQ(word::writeFillInAsFormText(*doc), 2) << prefix;
    const word::Census after = word::takeCensus(*doc);
    EXPECT_EQ(after.fields, before.fields);
    EXPECT_EQ(after.formFields, 2);
    EXPECT_EQ(word::toUtf8(after.text), "姓名张三李四公司");
    const std::string xml = word::packageOf(*doc).bytes("word/document.xml");
    EXPECT_EQ(xml.find("FILLIN"), std::string::npos) << xml;
    EXPECT_EQ(xml.find("fillin"), std::string::npos) << xml;
    // Parts are read under the usual prefix whatever the file used.
    EXPECT_NE(xml.find("<w:name w:val=\"单位\"/>"), std::string::npos) << xml;
    // Nothing else changes; a second pass finds nothing left to do.
    EXPECT_EQ(word::writeFillInAsFormText(*doc), 0);
  }
}

} // namespace
