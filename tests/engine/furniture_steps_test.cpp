// The page-furniture steps of the document run: header and page numbers, two columns, the
// watermark and the header rule. Documents are built from WordprocessingML (or taken from the
// corpus), run through the steps and read back through the document model; one batch is
// rendered through LibreOffice and checked as a reader sees it (text per page, pixels of the
// first page).

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "../word/model_helpers.h"
#include "batch_helpers.h"
#include "engine/seek_story.h"
#include "engine_access.h"
#include "word/borders.h"
#include "word/convert.h"
#include "word/fields.h"
#include "word/internal/access.h"
#include "word/internal/sections.h"
#include "word/internal/story.h"
#include "word/pagesetup.h"
#include "word/sections.h"
#include "word/shapes.h"
#include "word/view.h"

using engine::EngineAccess;
using qftest::para;
using qftest::run;

namespace fs = std::filesystem;

namespace {

const std::string kCorpus = std::string(QF_CORPUS_DIR) + "/word/";

const std::string kSect =
    "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:top=\"1440\" w:right=\"1800\" "
    "w:bottom=\"1440\" w:left=\"1800\" w:header=\"851\" w:footer=\"992\" w:gutter=\"0\"/>"
    "</w:sectPr>";

const std::string kTitle = "关于加强安全管理的通知";

// A title and `n` body paragraphs, then the section properties.
std::string document(int n, const std::string& sect = kSect) {
  std::string body = para(run(kTitle));
  for (int i = 1; i <= n; ++i)
    body += para(run("第" + std::to_string(i) +
                     "段，正文内容用于检查页眉、页码、分栏和水印，"
                     "每段都足够长，可以折成两行以上。"));
  return body + sect;
}

// A style sheet whose header style draws the rule Chinese Word puts under headers.
const std::string kRuledHeaderStyle =
    "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name "
    "w:val=\"Normal\"/></w:style><w:style w:type=\"paragraph\" w:styleId=\"a3\"><w:name "
    "w:val=\"header\"/><w:basedOn w:val=\"Normal\"/><w:pPr><w:pBdr><w:bottom w:val=\"single\" "
    "w:sz=\"6\" w:space=\"1\" w:color=\"auto\"/></w:pBdr><w:jc w:val=\"center\"/></w:pPr>"
    "</w:style>";

std::string png(uint32_t w, uint32_t h); // defined below

std::string storyText(word::Story* st) {
  return word::Range(st, 0, st->length()).text();
}

class Furniture : public ::testing::Test {
protected:
  engine::clsDoc eng;
  word::Document* doc = nullptr;

  void SetUp() override {
    for (const auto& [name, value] : batchtest::workingSettings())
      eng.setProperty(name, value);
  }
  void set(const char* name, const std::string& value) { eng.setProperty(name, value); }
  void open(const std::string& body, const std::string& styles = "") {
    adopt(qftest::makeDoc(body, styles));
  }
  void adopt(std::unique_ptr<word::Document> d) {
    doc = &EngineAccess::adopt(eng, std::move(d));
    doc->selection().wholeStory();
  }
  // The story of the first section's primary header or footer (created when missing).
  word::Story* header() { return doc->sections().item(1).headers().story(); }
  word::Story* footer() { return doc->sections().item(1).footers().story(); }
  std::string partXml(const std::string& part) {
    return word::serializeXml(*word::packageOf(*doc).xml(part));
  }
};

// ---- setHeaderFooter: the header ----------------------------------------------------------

struct AlignCase {
  const char* setting;
  int alignment;
};

class HeaderAlignment : public Furniture, public ::testing::WithParamInterface<AlignCase> {};

TEST_P(HeaderAlignment, HeaderTextFontAndAlignment) {
  // Long enough for two lines: the font must reach all of it.
  const std::string text = "某某市人民政府办公室关于印发二〇二四年度重点工作任务分解方案的通知"
                           "（供各区县、各部门参考执行）";
  open(document(3));
  set("使用页眉", "1");
  set("页眉", text);
  set("页眉对齐", GetParam().setting);
  set("页眉字体", "黑体");
  set("页眉字号", "14");
  EngineAccess::setHeaderFooter(eng);
  word::Story* h = header();
  EXPECT_EQ(storyText(h), text + "\r");
  word::Range all(h, 0, h->length());
  EXPECT_EQ(all.font().name(), "黑体");
  EXPECT_FLOAT_EQ(all.font().size(), 14.0f);
  EXPECT_EQ(all.paragraphFormat().alignment(), GetParam().alignment);
  EXPECT_FLOAT_EQ(all.paragraphFormat().firstLineIndent(), 0.0f);
  // The selection ends in the main text, the window in the print layout.
  EXPECT_EQ(doc->selection().story(), &doc->content());
  EXPECT_EQ(doc->activeWindow().view().type(), word::wdPrintView);
  EXPECT_EQ(doc->activeWindow().view().seekView(), word::wdSeekMainDocument);
}

INSTANTIATE_TEST_SUITE_P(Settings, HeaderAlignment,
                         ::testing::Values(AlignCase{"0", word::wdAlignParagraphJustify},
                                           AlignCase{"1", word::wdAlignParagraphCenter},
                                           AlignCase{"2", word::wdAlignParagraphRight},
                                           AlignCase{"9", word::wdAlignParagraphRight}));

TEST_F(Furniture, HeaderReplacesWhatWasThere) {
  open(document(2));
  set("使用页眉", "1");
  set("页眉", "第一次");
  EngineAccess::setHeaderFooter(eng);
  set("页眉", "第二次");
  set("页眉字号", "10.5");
  EngineAccess::setHeaderFooter(eng);
  EXPECT_EQ(storyText(header()), "第二次\r");
  EXPECT_FLOAT_EQ(word::Range(header(), 0, 3).font().size(), 10.5f);
}

TEST_F(Furniture, EmptyHeaderTextLeavesAnEmptyLineInTheFont) {
  open(document(1));
  set("使用页眉", "1");
  set("页眉", "");
  set("页眉字体", "楷体");
  EngineAccess::setHeaderFooter(eng);
  EXPECT_EQ(storyText(header()), "\r");
  EXPECT_EQ(word::Range(header(), 0, 1).font().name(), "楷体");
}

struct KeptHeaderCase {
  const char* name;
  std::string paragraph; // the header's first paragraph
};

class HeaderOff : public Furniture, public ::testing::WithParamInterface<KeptHeaderCase> {};

TEST_P(HeaderOff, LeavesTheHeaderExactlyAsItWas) {
  // A header beginning with a letter, a logo or a line shape: with the header off not a byte
  // of it changes (the footer is emptied as page numbers are off).
  open(document(1));
  word::Story* h = header();
  h->root().remove_children();
  pugi::xml_document frag;
  ASSERT_TRUE(
      frag.load_string(("<x>" + GetParam().paragraph + para(run("第二行")) + "</x>").c_str()));
  for (pugi::xml_node c : frag.first_child().children())
    h->root().append_copy(c);
  h->invalidateAll();
  h->touch();
  const std::string part = h->part();
  const std::string before = partXml(part);
  set("使用页眉", "0");
  set("使用页码", "0");
  EngineAccess::setHeaderFooter(eng);
  EXPECT_EQ(partXml(part), before) << GetParam().name;
  EXPECT_EQ(storyText(footer()), "\r");
  EXPECT_EQ(doc->selection().story(), &doc->content());
}

INSTANTIATE_TEST_SUITE_P(
    Contents, HeaderOff,
    ::testing::Values(
        KeptHeaderCase{"letter", para(run("ABC"))},
        KeptHeaderCase{"logo", para("<w:r><w:drawing><wp:inline xmlns:wp=\"urn:test\"/>"
                                    "</w:drawing></w:r>" +
                                    run("某某公司"))},
        KeptHeaderCase{"line", para("<w:r><w:pict><v:line xmlns:v=\"urn:schemas-microsoft-com:"
                                    "vml\"/></w:pict></w:r>")}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Furniture, HeaderOffAddsNoHeaderToADocumentWithout) {
  open(document(1));
  set("使用页眉", "0");
  set("使用页码", "1");
  EngineAccess::setHeaderFooter(eng);
  EXPECT_EQ(partXml("word/document.xml").find("headerReference"), std::string::npos);
  EXPECT_NE(partXml("word/document.xml").find("footerReference"), std::string::npos);
}

TEST_F(Furniture, CombinedHeaderAddsTheTitleDistributed) {
  std::string body = para(run("\u3000 " + kTitle + " ")) + para(run("正文")) + kSect;
  open(body);
  set("使用页眉", "1");
  set("组合页眉", "1");
  set("页眉", "某某公司");
  set("页眉对齐", "1"); // ignored
  EngineAccess::setHeaderFooter(eng);
  EXPECT_EQ(storyText(header()), "某某公司\u3000\u3000" + kTitle + "\r");
  EXPECT_EQ(word::Range(header(), 0, 1).paragraphFormat().alignment(),
            word::wdAlignParagraphDistribute);
}

TEST_F(Furniture, HeaderSizeThatIsNotANumberFailsTheStep) {
  open(document(1));
  set("使用页眉", "1");
  for (const char* size : {"", "大号"}) {
    set("页眉字号", size);
    EXPECT_THROW(EngineAccess::setHeaderFooter(eng), word::DocumentError) << size;
  }
}

// ---- setHeaderFooter: the page numbers ----------------------------------------------------

struct NumberCase {
  const char* format;
  const char* align;
  const char* text;
  int alignment;
};

class PageNumberForms : public Furniture, public ::testing::WithParamInterface<NumberCase> {};

TEST_P(PageNumberForms, PageFieldInTheFooter) {
  const NumberCase& c = GetParam();
  open(para(run("a"),
            kSect.substr(0, kSect.size() - 11) + "<w:pgNumType w:start=\"4\"/>" + "</w:sectPr>") +
       document(2));
  set("使用页码", "1");
  set("页码格式", c.format);
  set("页码对齐", c.align);
  EngineAccess::setHeaderFooter(eng);
  word::Story* f = footer();
  EXPECT_EQ(storyText(f), std::string(c.text) + "\r");
  word::Fields fields(f, 0, f->length());
  ASSERT_EQ(fields.count(), 1);
  EXPECT_EQ(fields.item(1).code(), " PAGE ");
  EXPECT_EQ(word::Range(f, 0, 1).paragraphFormat().alignment(), c.alignment);
  // Decimal numbers that run on through every section (the dashes are text).
  std::vector<pugi::xml_node> secs = word::documentSections(*doc);
  ASSERT_EQ(secs.size(), 2u);
  for (pugi::xml_node s : secs) {
    EXPECT_STREQ(s.child("w:pgNumType").attribute("w:fmt").value(), "decimal");
    EXPECT_FALSE(s.child("w:pgNumType").attribute("w:start"));
  }
  EXPECT_TRUE(doc->sections().item(2).footers().linkToPrevious());
  EXPECT_EQ(doc->selection().story(), &doc->content());
}

INSTANTIATE_TEST_SUITE_P(
    Settings, PageNumberForms,
    ::testing::Values(NumberCase{"0", "0", "1", word::wdAlignParagraphJustify},
                      NumberCase{"1", "1", "- 1 -", word::wdAlignParagraphCenter},
                      NumberCase{"1", "2", "- 1 -", word::wdAlignParagraphRight},
                      NumberCase{"0", "x", "1", word::wdAlignParagraphRight},
                      NumberCase{"7", "1", "- 1 -", word::wdAlignParagraphCenter}));

TEST_F(Furniture, PageNumbersOffEmptiesTheFooter) {
  open(document(2));
  set("使用页码", "1");
  EngineAccess::setHeaderFooter(eng);
  ASSERT_EQ(storyText(footer()), "- 1 -\r");
  set("使用页码", "0");
  EngineAccess::setHeaderFooter(eng);
  EXPECT_EQ(storyText(footer()), "\r");
  EXPECT_EQ(word::Fields(footer(), 0, 1).count(), 0);
}

// A footer as Word writes page numbers (a simple field in one paragraph, a complex one in a
// page-number content control in the next): typeset twice, it holds one field.
TEST_F(Furniture, PageNumbersReplaceTheFieldsThatWereThere) {
  open(document(2));
  word::Story* f = footer();
  pugi::xml_node root = f->root();
  while (root.first_child())
    root.remove_child(root.first_child());
  pugi::xml_document old;
  old.load_string(
      "<x xmlns:w=\"urn:w\"><w:p><w:fldSimple w:instr=\" PAGE \"><w:r><w:t>3</w:t></w:r>"
      "</w:fldSimple></w:p><w:sdt><w:sdtPr><w:docPartObj><w:docPartGallery w:val=\"Page "
      "Numbers (Bottom of Page)\"/></w:docPartObj></w:sdtPr><w:sdtContent><w:p><w:r><w:fldChar "
      "w:fldCharType=\"begin\"/></w:r><w:r><w:instrText> PAGE </w:instrText></w:r><w:r>"
      "<w:fldChar w:fldCharType=\"separate\"/></w:r><w:r><w:t>3</w:t></w:r><w:r><w:fldChar "
      "w:fldCharType=\"end\"/></w:r></w:p></w:sdtContent></w:sdt></x>");
  for (pugi::xml_node c : old.first_child().children())
    root.append_copy(c);
  f->invalidateAll();
  ASSERT_EQ(storyText(f), "3\r3\r");
  set("使用页码", "1");
  set("页码格式", "1");
  for (int i = 0; i < 2; ++i) {
    EngineAccess::setHeaderFooter(eng);
    EXPECT_EQ(storyText(footer()), "- 1 -\r");
    EXPECT_EQ(word::Fields(footer(), 0, footer()->length()).count(), 1);
  }
}

TEST_F(Furniture, OneHeaderAndFooterForEverySection) {
  open(para(run("one"), kSect) + para(run("two"), kSect) + document(1));
  // The second section had a header of its own.
  word::Sections secs = doc->sections();
  secs.item(2).headers().setLinkToPrevious(false);
  word::Range(secs.item(2).headers().story(), 0, 0).setText("old");
  set("使用页眉", "1");
  set("页眉", "新页眉");
  EngineAccess::setHeaderFooter(eng);
  for (int i = 1; i <= secs.count(); ++i) {
    EXPECT_EQ(storyText(secs.item(i).headers().story()), "新页眉\r") << i;
    EXPECT_EQ(secs.item(i).footers().story(), footer()) << i;
  }
}

TEST_F(Furniture, NormalViewAndSplitWindowEndInPrintLayout) {
  auto pkg = qftest::makePackage(document(1));
  pkg->setBytes("word/settings.xml", std::string("<?xml version=\"1.0\"?><w:settings ") +
                                         qftest::kWNs + "><w:view w:val=\"normal\"/></w:settings>");
  pkg->addRelationship("word/document.xml",
                       "http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
                       "settings",
                       "settings.xml");
  adopt(word::Document::fromPackage(std::move(pkg), "view.docx"));
  doc->activeWindow().view().setSplitSpecial(word::wdPanePrimaryFooter);
  EngineAccess::setHeaderFooter(eng);
  EXPECT_EQ(doc->activeWindow().view().type(), word::wdPrintView);
  EXPECT_EQ(doc->activeWindow().panes().count(), 1);
  EXPECT_NE(partXml("word/settings.xml").find("w:val=\"print\""), std::string::npos);
}

// A corpus document with a first-page header and odd and even headers: after the page setup
// and the header step every page shows the one header.
class CorpusHeaders : public Furniture, public ::testing::WithParamInterface<const char*> {};

TEST_P(CorpusHeaders, OneHeaderAfterPageSetup) {
  adopt(word::Document::openPackage(kCorpus + GetParam()));
  set("使用页眉", "1");
  set("页眉", "统一页眉");
  EngineAccess::setupPage(eng);
  EngineAccess::setHeaderFooter(eng);
  word::PageSetup page = doc->pageSetup();
  EXPECT_EQ(page.differentFirstPageHeaderFooter(), 0);
  EXPECT_EQ(page.oddAndEvenPagesHeaderFooter(), 0);
  word::Sections secs = doc->sections();
  for (int i = 1; i <= secs.count(); ++i)
    EXPECT_EQ(storyText(secs.item(i).headers().story()), "统一页眉\r") << i;
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusHeaders,
                         ::testing::Values("sct-first-page-hdrftr.docx", "doc-odd-even-hdrs.docx",
                                           "hdr-header-footer.docx"));

// ---- setColumns ---------------------------------------------------------------------------

struct ColumnCase {
  const char* name;
  const char* columns;     // 分栏
  const char* title;       // 一段标题
  std::vector<int> counts; // columns of each section afterwards
};

class TwoColumns : public Furniture, public ::testing::WithParamInterface<ColumnCase> {};

TEST_P(TwoColumns, TitleKeepsTheFullWidth) {
  const ColumnCase& c = GetParam();
  open(document(4));
  set("使用页码", "1");
  EngineAccess::setHeaderFooter(eng);
  std::string before = partXml("word/document.xml");
  set("分栏", c.columns);
  set("一段标题", c.title);
  EngineAccess::setColumns(eng);
  EXPECT_EQ(doc->paragraphs().count(), 5);
  if (std::string(c.columns) == "0") {
    EXPECT_EQ(partXml("word/document.xml"), before);
    return;
  }
  std::vector<pugi::xml_node> secs = word::documentSections(*doc);
  ASSERT_EQ(secs.size(), c.counts.size());
  for (size_t i = 0; i < secs.size(); ++i) {
    word::TextColumns cols = word::PageSetup(doc, {secs[i]}).textColumns();
    EXPECT_EQ(cols.count(), c.counts[i]) << i;
    if (c.counts[i] == 2) {
      EXPECT_EQ(cols.evenlySpaced(), -1);
      EXPECT_EQ(cols.lineBetween(), 0);
      EXPECT_FALSE(secs[i].child("w:cols").attribute("w:space")); // Word's default spacing
    }
  }
  if (secs.size() == 2) {
    // The title's mark ends the first section; the columns follow on the same page with the
    // same header and footer.
    EXPECT_EQ(word::nodeOf(doc->paragraphs().first()).child("w:pPr").child("w:sectPr"), secs[0]);
    EXPECT_STREQ(secs[1].child("w:type").attribute("w:val").value(), "continuous");
    EXPECT_TRUE(secs[0].child("w:footerReference"));
    EXPECT_FALSE(secs[1].child("w:footerReference"));
    // Typeset again: no second break.
    EngineAccess::setColumns(eng);
    EXPECT_EQ(word::documentSections(*doc).size(), 2u);
    EXPECT_EQ(doc->paragraphs().count(), 5);
  } else {
    EXPECT_FALSE(secs[0].child("w:type"));
  }
}

INSTANTIATE_TEST_SUITE_P(Settings, TwoColumns,
                         ::testing::Values(ColumnCase{"Off", "0", "1", {1}},
                                           ColumnCase{"WithTitle", "1", "1", {1, 2}},
                                           ColumnCase{"WithoutTitle", "1", "0", {2}}),
                         [](const auto& info) { return std::string(info.param.name); });

struct TableColumnCase {
  const char* name;
  std::string body;
  std::vector<int> counts; // columns of each section afterwards
};

class ColumnsAroundTables : public Furniture,
                            public ::testing::WithParamInterface<TableColumnCase> {};

TEST_P(ColumnsAroundTables, TheBreakGoesWhereItIsValid) {
  // A document that begins with a table has no title paragraph: no break, all in columns. A
  // title followed by a table: the break ends the title. Neither fails.
  const TableColumnCase& c = GetParam();
  open(c.body + kSect);
  set("分栏", "1");
  set("一段标题", "1");
  ASSERT_NO_THROW(EngineAccess::setColumns(eng));
  std::vector<pugi::xml_node> secs = word::documentSections(*doc);
  ASSERT_EQ(secs.size(), c.counts.size());
  for (size_t i = 0; i < secs.size(); ++i)
    EXPECT_EQ(word::PageSetup(doc, {secs[i]}).textColumns().count(), c.counts[i]) << i;
  EXPECT_EQ(doc->tablesCount(), 1);
  auto again = qftest::roundTrip(*doc);
  EXPECT_EQ(again->tablesCount(), 1);
}

namespace {
const std::string kTable = "<w:tbl><w:tr><w:tc>" + para(run("格一")) + "</w:tc><w:tc>" +
                           para(run("格二")) + "</w:tc></w:tr></w:tbl>";
}

INSTANTIATE_TEST_SUITE_P(
    Tables, ColumnsAroundTables,
    ::testing::Values(TableColumnCase{"TableFirst", kTable + para(run("正文")), {2}},
                      TableColumnCase{"OnlyATable", kTable + "<w:p/>", {2}},
                      TableColumnCase{
                          "TitleThenTable", para(run(kTitle)) + kTable + "<w:p/>", {1, 2}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- applyWatermark -----------------------------------------------------------------------

struct ColourCase {
  const char* colour; // 水印颜色
  const char* style;  // 水印样式
  int rgb;            // Word's RGB value of the fill
  float rotation;
};

class TextWatermark : public Furniture, public ::testing::WithParamInterface<ColourCase> {};

TEST_P(TextWatermark, RowsOfTheTextShape) {
  const ColourCase& c = GetParam();
  open(document(2));
  set("使用页眉", "1");
  set("页眉", "页眉");
  EngineAccess::setHeaderFooter(eng);
  set("水印", "2");
  set("水印文字", "内部资料");
  set("水印字体", "黑体");
  set("水印颜色", c.colour);
  set("水印样式", c.style);
  EngineAccess::applyWatermark(eng);
  word::Shapes shapes(header());
  ASSERT_EQ(shapes.count(), 1);
  word::Shape s = shapes.item(1);
  EXPECT_EQ(s.name().rfind("PowerPlusWaterMarkObject", 0), 0u) << s.name();
  EXPECT_EQ(s.type(), word::msoTextEffect);
  word::ShapeRange r = s.range();
  EXPECT_EQ(r.textEffect().text(), "内部资料");
  EXPECT_EQ(r.textEffect().fontName(), "黑体");
  EXPECT_FLOAT_EQ(r.textEffect().fontSize(), 96);
  EXPECT_EQ(r.textEffect().fontBold(), word::msoFalse);
  EXPECT_EQ(r.fill().visible(), word::msoTrue);
  EXPECT_EQ(r.fill().foreColor().rgb(), c.rgb);
  EXPECT_NEAR(r.fill().transparency(), 0.5, 1e-6);
  EXPECT_EQ(r.line().visible(), word::msoFalse);
  EXPECT_EQ(r.lockAspectRatio(), word::msoTrue);
  EXPECT_FLOAT_EQ(r.rotation(), c.rotation);
  EXPECT_NEAR(r.width(), 510.24, 0.01);
  EXPECT_NEAR(r.height(), 510.24 / 4, 0.01); // four ideographs: four ems by one
  EXPECT_EQ(r.relativeHorizontalPosition(), word::wdRelativeHorizontalPositionMargin);
  EXPECT_EQ(r.relativeVerticalPosition(), word::wdRelativeVerticalPositionMargin);
  EXPECT_FLOAT_EQ(r.left(), word::wdShapeCenter);
  EXPECT_FLOAT_EQ(r.top(), word::wdShapeCenter);
  EXPECT_EQ(r.wrapFormat().type(), word::wdWrapNone);
  EXPECT_EQ(r.wrapFormat().side(), word::wdWrapLargest);
  EXPECT_NEAR(r.wrapFormat().distanceLeft(), 9.07, 0.01);
  EXPECT_GT(r.zIndex(), 0);
  EXPECT_EQ(r.lockAnchor(), word::msoFalse);
  EXPECT_EQ(r.layoutInCell(), word::msoTrue);
  // The header text stays, the selection runs from the start of the main text.
  EXPECT_EQ(storyText(header()), "\x01页眉\r");
  EXPECT_EQ(doc->selection().story(), &doc->content());
  EXPECT_EQ(doc->selection().start(), 0);
}

INSTANTIATE_TEST_SUITE_P(Colours, TextWatermark,
                         ::testing::Values(ColourCase{"0", "1", 150 + 150 * 256 + 150 * 65536, 315},
                                           ColourCase{"1", "1", 255, 315},
                                           ColourCase{"2", "0", 0, 0},
                                           ColourCase{"3", "0", 255 * 65536, 0},
                                           ColourCase{"4", "1", 255 * 256, 315},
                                           ColourCase{"5", "0", 0, 0})); // default black

struct TempPicture {
  fs::path path = fs::temp_directory_path() / ("qf-wm-" + std::to_string(::getpid()) + ".png");
  TempPicture() { std::ofstream(path, std::ios::binary) << png(160, 80); }
  ~TempPicture() { fs::remove(path); }
};

TEST_F(Furniture, PictureWatermarkIsWashedOutAndCentred) {
  TempPicture picture;
  open(document(2));
  set("水印", "1");
  set("水印图片", picture.path.string());
  EngineAccess::applyWatermark(eng);
  word::Shapes shapes(header());
  ASSERT_EQ(shapes.count(), 1);
  word::ShapeRange r = shapes.item(1).range();
  EXPECT_EQ(r.name().rfind("WordPictureWatermark", 0), 0u);
  EXPECT_EQ(shapes.item(1).type(), word::msoPicture);
  EXPECT_FLOAT_EQ(r.pictureFormat().brightness(), 0.75f);
  EXPECT_FLOAT_EQ(r.pictureFormat().contrast(), 0.25f);
  EXPECT_FLOAT_EQ(r.pictureFormat().cropLeft(), 0);
  EXPECT_EQ(r.fill().visible(), word::msoFalse);
  EXPECT_EQ(r.line().visible(), word::msoFalse);
  EXPECT_FLOAT_EQ(r.width(), 120); // its own size: 160 px at 96 dpi
  EXPECT_FLOAT_EQ(r.left(), word::wdShapeCenter);
  EXPECT_FLOAT_EQ(r.top(), word::wdShapeCenter);
  EXPECT_EQ(r.wrapFormat().type(), word::wdWrapNone);
  EXPECT_GT(r.zIndex(), 0);
}

TEST_F(Furniture, WatermarkFailuresNameTheSettingOrThePath) {
  TempPicture picture;
  const fs::path notPicture = picture.path.string() + ".txt";
  std::ofstream(notPicture) << "not a picture";
  struct Case {
    const char* kind;
    std::string text, path, mention;
  } cases[] = {{"2", "", "", "水印文字"},
               {"1", "x", "", "水印图片"},
               {"1", "x", "/nonexistent/wm.png", "/nonexistent/wm.png"},
               {"1", "x", notPicture.string(), notPicture.string()}};
  for (const Case& c : cases) {
    open(document(1));
    set("水印", c.kind);
    set("水印文字", c.text);
    set("水印图片", c.path);
    try {
      EngineAccess::applyWatermark(eng);
      ADD_FAILURE() << c.mention;
    } catch (const std::exception& e) {
      EXPECT_NE(std::string(e.what()).find(c.mention), std::string::npos) << e.what();
    }
  }
  fs::remove(notPicture);
}

TEST_F(Furniture, TypesetTwiceKeepsOneWatermark) {
  TempPicture picture;
  open(document(2));
  set("使用页眉", "0");
  set("水印", "2");
  set("水印文字", "草稿");
  for (int i = 0; i < 2; ++i) {
    EngineAccess::setHeaderFooter(eng);
    EngineAccess::applyWatermark(eng);
  }
  EngineAccess::applyWatermark(eng);
  ASSERT_EQ(word::Shapes(header()).count(), 1);
  set("水印", "1");
  set("水印图片", picture.path.string());
  EngineAccess::applyWatermark(eng);
  word::Shapes shapes(header());
  ASSERT_EQ(shapes.count(), 1);
  EXPECT_EQ(shapes.item(1).type(), word::msoPicture);
}

TEST_F(Furniture, NoWatermarkRemovesWatermarksButNotTheLogo) {
  open(document(1));
  set("水印", "2");
  set("水印文字", "草稿");
  EngineAccess::applyWatermark(eng);
  word::Shape logo = word::Shapes(header()).addTextEffect(0, "LOGO", "Arial", 20, 0, 0, 0, 0);
  logo.setName("Company logo");
  set("水印", "0");
  set("使用页眉", "1");
  EngineAccess::applyWatermark(eng);
  word::Shapes shapes(header());
  ASSERT_EQ(shapes.count(), 1);
  EXPECT_EQ(shapes.item(1).name(), "Company logo");
  word::Border bottom =
      word::Range(header(), 0, 1).paragraphFormat().borders().item(word::wdBorderBottom);
  EXPECT_EQ(bottom.lineStyle(), word::wdLineStyleSingle);
}

TEST_F(Furniture, OtherWatermarkSettingsTouchNothing) {
  for (const char* kind : {"3", ""}) {
    open(document(1));
    set("水印", kind);
    set("使用页眉", "1");
    std::vector<std::string> names = word::packageOf(*doc).names();
    std::string xml = partXml("word/document.xml");
    doc->selection().setRange(doc->range(4, 6));
    EngineAccess::applyWatermark(eng);
    EXPECT_EQ(word::packageOf(*doc).names(), names) << kind; // no header was made
    EXPECT_EQ(partXml("word/document.xml"), xml);
    EXPECT_EQ(doc->selection().start(), 0);
    EXPECT_EQ(doc->selection().end(), 6);
  }
}

// The rule under the header: drawn for a used header, removed (also against the header
// style's rule) for an unused one; the same in the "YeMei" run's applyHeaderRule.
struct RuleCase {
  const char* useHeader;
  const char* watermark;
  bool ruleOnly; // applyHeaderRule instead of applyWatermark
  int bottom;
};

class HeaderRule : public Furniture, public ::testing::WithParamInterface<RuleCase> {};

TEST_P(HeaderRule, BottomBorderOfTheHeader) {
  const RuleCase& c = GetParam();
  open(document(1), kRuledHeaderStyle);
  set("使用页眉", c.useHeader);
  set("页眉", "页眉文字");
  set("水印", c.watermark);
  set("水印文字", "水印");
  EngineAccess::setHeaderFooter(eng);
  if (c.ruleOnly)
    EngineAccess::applyHeaderRule(eng);
  else
    EngineAccess::applyWatermark(eng);
  word::Borders b = word::Range(header(), 0, 1).paragraphFormat().borders();
  EXPECT_EQ(b.item(word::wdBorderBottom).lineStyle(), c.bottom);
  if (c.bottom == word::wdLineStyleSingle) {
    EXPECT_EQ(b.item(word::wdBorderBottom).lineWidth(), word::wdLineWidth075pt);
    EXPECT_EQ(b.item(word::wdBorderBottom).color(), word::wdColorAutomatic);
  }
  for (int side : {word::wdBorderTop, word::wdBorderLeft, word::wdBorderRight})
    EXPECT_EQ(b.item(side).lineStyle(), word::wdLineStyleNone);
  EXPECT_EQ(doc->selection().story(), &doc->content());
}

INSTANTIATE_TEST_SUITE_P(Settings, HeaderRule,
                         ::testing::Values(RuleCase{"1", "0", false, word::wdLineStyleSingle},
                                           RuleCase{"1", "2", false, word::wdLineStyleSingle},
                                           RuleCase{"0", "0", false, word::wdLineStyleNone},
                                           RuleCase{"0", "2", false, word::wdLineStyleNone},
                                           RuleCase{"1", "3", true, word::wdLineStyleSingle},
                                           RuleCase{"0", "3", true, word::wdLineStyleNone}));

// ---- rendering through LibreOffice --------------------------------------------------------

std::string be32(uint32_t v) {
  return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

uint32_t crc32(const std::string& s) {
  uint32_t c = 0xFFFFFFFFu;
  for (unsigned char b : s) {
    c ^= b;
    for (int k = 0; k < 8; ++k)
      c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
  }
  return ~c;
}

std::string chunk(const std::string& type, const std::string& data) {
  return be32(uint32_t(data.size())) + type + data + be32(crc32(type + data));
}

// A real PNG of saturated orange and blue squares (stored deflate blocks, no compression).
std::string png(uint32_t w, uint32_t h) {
  std::string raw;
  for (uint32_t y = 0; y < h; ++y) {
    raw += '\0';
    for (uint32_t x = 0; x < w; ++x) {
      bool orange = ((x / 20) + (y / 20)) % 2 == 0;
      raw += orange ? std::string("\xC8\x32\x00", 3) : std::string("\x00\x32\xC8", 3);
    }
  }
  std::string z = "\x78\x01";
  uint32_t a = 1, b = 0;
  for (unsigned char ch : raw) {
    a = (a + ch) % 65521;
    b = (b + a) % 65521;
  }
  for (size_t pos = 0; pos < raw.size() || pos == 0; pos += 65535) {
    size_t n = std::min<size_t>(65535, raw.size() - pos);
    bool last = pos + n >= raw.size();
    z += char(last ? 1 : 0);
    z += char(n & 0xFF);
    z += char(n >> 8);
    z += char(~n & 0xFF);
    z += char((~n >> 8) & 0xFF);
    z += raw.substr(pos, n);
    if (last)
      break;
  }
  z += be32((b << 16) | a);
  return "\x89PNG\r\n\x1a\n" + chunk("IHDR", be32(w) + be32(h) + std::string("\x08\x02\0\0\0", 5)) +
         chunk("IDAT", z) + chunk("IEND", "");
}

std::string capture(const std::string& command) {
  std::string out;
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
      out.append(buf, n);
    ::pclose(p);
  }
  return out;
}

bool haveTool(const char* name) {
  return !capture(std::string("command -v ") + name + " 2>/dev/null").empty();
}

std::string quoted(const fs::path& p) {
  return "'" + p.string() + "'";
}

std::string pageText(const fs::path& pdf, int page) {
  return capture("pdftotext -q -f " + std::to_string(page) + " -l " + std::to_string(page) +
                 " -layout " + quoted(pdf) + " -");
}

int pageCount(const fs::path& pdf) {
  std::smatch m;
  std::string info = capture("pdfinfo " + quoted(pdf) + " 2>/dev/null");
  return std::regex_search(info, m, std::regex("Pages:\\s+(\\d+)")) ? std::stoi(m[1]) : 0;
}

// The first page as RGB pixels (PPM).
struct Pixels {
  int width = 0, height = 0;
  std::string rgb;
  int count(bool (*match)(int, int, int), int y0 = 0, int y1 = -1) const {
    int n = 0;
    for (int y = y0; y < (y1 < 0 ? height : y1); ++y)
      for (int x = 0; x < width; ++x) {
        size_t i = (size_t(y) * width + x) * 3;
        n += match(uint8_t(rgb[i]), uint8_t(rgb[i + 1]), uint8_t(rgb[i + 2]));
      }
    return n;
  }
  // The longest run of dark pixels in a row of [y0, y1).
  int longestDarkRow(int y0, int y1) const {
    int best = 0;
    for (int y = y0; y < y1; ++y) {
      int cur = 0;
      for (int x = 0; x < width; ++x) {
        size_t i = (size_t(y) * width + x) * 3;
        bool dark = uint8_t(rgb[i]) < 110 && uint8_t(rgb[i + 1]) < 110 && uint8_t(rgb[i + 2]) < 110;
        cur = dark ? cur + 1 : 0;
        best = std::max(best, cur);
      }
    }
    return best;
  }
};

Pixels firstPage(const fs::path& pdf, const fs::path& prefix) {
  capture("pdftoppm -q -f 1 -l 1 -r 40 -singlefile " + quoted(pdf) + " " + quoted(prefix));
  Pixels px;
  std::string data = batchtest::readFile(prefix.string() + ".ppm");
  std::smatch m;
  if (!std::regex_search(data, m, std::regex("^P6\\s+(\\d+)\\s+(\\d+)\\s+255\\s")))
    return px;
  px.width = std::stoi(m[1]);
  px.height = std::stoi(m[2]);
  px.rgb = data.substr(size_t(m.length(0)));
  return px;
}

struct Word {
  double xMin, yMin, xMax, yMax;
  std::string text;
};

std::vector<Word> words(const fs::path& pdf) {
  std::string html = capture("pdftotext -q -f 1 -l 1 -bbox " + quoted(pdf) + " -");
  std::vector<Word> out;
  std::regex re("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                "yMax=\"([\\d.]+)\">([^<]*)</word>");
  for (auto it = std::sregex_iterator(html.begin(), html.end(), re); it != std::sregex_iterator();
       ++it)
    out.push_back({std::stod((*it)[1]), std::stod((*it)[2]), std::stod((*it)[3]),
                   std::stod((*it)[4]), (*it)[5]});
  return out;
}

// Runs the furniture steps (with the page setup first) on `body` and saves the result.
void typeset(const std::map<std::string, std::string>& settings, std::unique_ptr<word::Document> d,
             const fs::path& out) {
  engine::clsDoc e;
  for (const auto& [name, value] : batchtest::workingSettings())
    e.setProperty(name, value);
  for (const auto& [name, value] : settings)
    e.setProperty(name, value);
  word::Document& doc = EngineAccess::adopt(e, std::move(d));
  doc.selection().wholeStory();
  EngineAccess::setupPage(e);
  EngineAccess::setHeaderFooter(e);
  EngineAccess::setColumns(e);
  EngineAccess::applyWatermark(e);
  doc.saveAs(out.string());
}

bool red(int r, int g, int b) {
  return r > 200 && g < 150 && b < 150 && r - g > 80;
}
bool green(int r, int g, int b) {
  return g > 200 && r < 150 && b < 150 && g - r > 80;
}
bool saturatedBlue(int r, int g, int b) {
  return b > 170 && r < 60 && g < 90;
}
bool paleBlue(int r, int, int b) {
  return b > 200 && r > 90 && r < 230 && b - r > 25;
}

TEST(FurnitureRender, WhatAReaderSeesInDocxAndDoc) {
  if (word::findSoffice().empty() || !haveTool("pdftotext") || !haveTool("pdftoppm"))
    GTEST_SKIP() << "LibreOffice or poppler-utils missing";
  batchtest::Folder dir;
  const fs::path pic = dir / "mark.png";
  batchtest::writeFile(pic, png(200, 120));

  typeset({{"使用页眉", "1"},
           {"页眉", "测试页眉文字"},
           {"使用页码", "1"},
           {"页码格式", "1"},
           {"分栏", "1"},
           {"一段标题", "1"},
           {"水印", "2"},
           {"水印文字", "内部资料"},
           {"水印颜色", "1"},
           {"水印样式", "1"}},
          qftest::makeDoc(document(150)), dir / "dash.docx");
  typeset({{"使用页眉", "0"},
           {"使用页码", "1"},
           {"页码格式", "0"},
           {"页码对齐", "2"},
           {"水印", "1"},
           {"水印图片", pic.string()}},
          qftest::makeDoc(document(90)), dir / "plain.docx");
  typeset({{"使用页眉", "1"},
           {"页眉", "双栏页眉"},
           {"分栏", "1"},
           {"一段标题", "0"},
           {"水印", "2"},
           {"水印文字", "样稿"},
           {"水印颜色", "4"},
           {"水印样式", "0"}},
          qftest::makeDoc(document(80)), dir / "twocol.docx");
  typeset({{"使用页眉", "1"}, {"页眉", "统一页眉"}, {"使用页码", "1"}},
          word::Document::openPackage(kCorpus + "sct-first-page-hdrftr.docx"),
          dir / "firstpage.docx");

  auto job = [&](const std::string& in, const std::string& out) {
    word::ConversionJob j;
    j.input = (dir / in).string();
    j.output = (dir / out).string();
    return j;
  };
  std::vector<word::ConversionJob> toDoc = {job("dash.docx", "dash.doc"),
                                            job("plain.docx", "plain.doc")};
  word::convertFiles(toDoc);
  for (const auto& j : toDoc)
    ASSERT_TRUE(j.ok) << j.error;
  std::vector<word::ConversionJob> toPdf;
  for (const char* name :
       {"dash.docx", "dash.doc", "plain.docx", "plain.doc", "twocol.docx", "firstpage.docx"})
    toPdf.push_back(job(name, std::string(name) + ".pdf"));
  word::convertFiles(toPdf);
  for (const auto& j : toPdf)
    ASSERT_TRUE(j.ok) << j.error;

  // Header and "- n -" on the first three pages, in .docx and in .doc alike.
  for (const char* pdf : {"dash.docx.pdf", "dash.doc.pdf"}) {
    ASSERT_GE(pageCount(dir / pdf), 3) << pdf;
    for (int page = 1; page <= 3; ++page) {
      std::string text = pageText(dir / pdf, page);
      EXPECT_NE(text.find("测试页眉文字"), std::string::npos) << pdf << " page " << page;
      EXPECT_TRUE(std::regex_search(
          text, std::regex("(^|\\n)\\s*-\\s*" + std::to_string(page) + "\\s*-\\s*(\\n|$)")))
          << pdf << " page " << page << ":\n"
          << text;
    }
    Pixels px = firstPage(dir / pdf, dir / (std::string(pdf) + "-p1"));
    EXPECT_GT(px.count(red), 300) << pdf << ": the red watermark";
    // The rule under the header: a dark line across most of the text width.
    EXPECT_GT(px.longestDarkRow(0, px.height / 8), px.width / 2) << pdf;
  }
  // Plain numbers at the right; no header, no rule; a washed-out picture.
  for (const char* pdf : {"plain.docx.pdf", "plain.doc.pdf"}) {
    ASSERT_GE(pageCount(dir / pdf), 3) << pdf;
    for (int page = 1; page <= 3; ++page) {
      std::string text = pageText(dir / pdf, page);
      EXPECT_TRUE(
          std::regex_search(text, std::regex("\\n\\s{20,}" + std::to_string(page) + "\\s*(\\n|$)")))
          << pdf << " page " << page << ":\n"
          << text;
      EXPECT_EQ(text.find("- " + std::to_string(page)), std::string::npos);
    }
    Pixels px = firstPage(dir / pdf, dir / (std::string(pdf) + "-p1"));
    EXPECT_LT(px.longestDarkRow(0, px.height / 8), px.width / 4) << pdf;
    EXPECT_GT(px.count(paleBlue), 200) << pdf << ": the picture shows";
    EXPECT_LT(px.count(saturatedBlue), 20) << pdf << ": the picture is lightened";
  }
  // Two columns below a full-width title; a green watermark.
  {
    std::vector<Word> ws = words(dir / "twocol.docx.pdf");
    int left = 0, right = 0;
    for (const Word& w : ws) {
      if (w.xMax < 297)
        ++left;
      if (w.xMin > 298)
        ++right;
    }
    EXPECT_GT(left, 10);
    EXPECT_GT(right, 10);
    Pixels px = firstPage(dir / "twocol.docx.pdf", dir / "twocol-p1");
    EXPECT_GT(px.count(green), 300);
  }
  {
    std::vector<Word> ws = words(dir / "dash.docx.pdf");
    double titleBottom = -1, firstRight = 1e9;
    for (const Word& w : ws) {
      if (w.text.find("关于加强") != std::string::npos)
        titleBottom = w.yMax;
      if (w.xMin > 298 && w.yMin > 80)
        firstRight = std::min(firstRight, w.yMin);
    }
    ASSERT_GT(titleBottom, 0);
    EXPECT_GT(firstRight, titleBottom); // the right column starts below the title
  }
  // A document with a first-page header and a second section after a page break: the one
  // header on every page, the numbers running on through the break.
  int pages = pageCount(dir / "firstpage.docx.pdf");
  ASSERT_GE(pages, 5);
  for (int page = 1; page <= pages; ++page) {
    std::string text = pageText(dir / "firstpage.docx.pdf", page);
    EXPECT_NE(text.find("统一页眉"), std::string::npos) << page;
    EXPECT_TRUE(std::regex_search(text, std::regex("-\\s*" + std::to_string(page) + "\\s*-")))
        << page;
  }
}

} // namespace

// ---- a body without paragraphs ------------------------------------------------------------

TEST(EmptyBody, TypesetsLikeAnyOtherDocument) {
  // A body that holds only its section properties, with a footer: the full run gives it the
  // one empty paragraph every Word document has, and typesets it.
  qftest::TempFolder in, out;
  auto pkg = qftest::makePackage("");
  std::string rid = pkg->addRelationship(
      "word/document.xml",
      "http://schemas.openxmlformats.org/officeDocument/2006/relationships/footer", "footer1.xml");
  pkg->setBytes("word/footer1.xml", std::string("<?xml version=\"1.0\"?><w:ftr ") + qftest::kWNs +
                                        ">" + para(run("页脚文字")) + "</w:ftr>");
  pkg->setContentTypeOverride(
      "word/footer1.xml",
      "application/vnd.openxmlformats-officedocument.wordprocessingml.footer+xml");
  std::string xml = word::serializeXml(*pkg->xml("word/document.xml"));
  const std::string body = "<w:body/>";
  ASSERT_NE(xml.find(body), std::string::npos) << xml;
  xml.replace(xml.find(body), body.size(),
              "<w:body><w:sectPr><w:footerReference w:type=\"default\" r:id=\"" + rid +
                  "\"/><w:pgSz w:w=\"11906\" w:h=\"16838\"/></w:sectPr></w:body>");
  pkg->setBytes("word/document.xml", xml);
  pkg->save((in / "empty.docx").string());

  engine::clsDoc eng;
  batchtest::Recorder rec;
  batchtest::configure(eng, rec, in.path(), out.path());
  eng.setProperty("使用页码", "0");
  eng.setProperty("使用页眉", "1");
  eng.setProperty("页眉", "页眉");
  eng.setProperty("分栏", "1");
  eng.setDocFiles({"empty.docx"});
  eng.Main("0");
  EXPECT_TRUE(rec.withId("E").empty()) << rec.events.front();
  auto done = word::Document::openPackage((out / "empty.docx").string());
  EXPECT_GE(done->paragraphs().count(), 1);
  EXPECT_EQ(done->sections().count(), 1);
}

// ---- seekStory: one pane, print layout, then the header or the main text ---------------------

struct SeekCase {
  const char* savedView; // w:view in settings.xml, "" for none
  bool split;
};

class SeekStory : public ::testing::TestWithParam<SeekCase> {};

TEST_P(SeekStory, ReachesTheHeaderFromAnyWindowAndComesBack) {
  const SeekCase& c = GetParam();
  auto pkg = qftest::makePackage(para(run("正文")));
  if (*c.savedView) {
    pkg->setBytes("word/settings.xml", std::string("<?xml version=\"1.0\"?><w:settings ") +
                                           qftest::kWNs + "><w:view w:val=\"" + c.savedView +
                                           "\"/></w:settings>");
    pkg->addRelationship(
        "word/document.xml",
        "http://schemas.openxmlformats.org/officeDocument/2006/relationships/settings",
        "settings.xml");
  }
  auto doc = word::Document::fromPackage(std::move(pkg), "test.docx");
  word::Window& window = doc->activeWindow();
  if (c.split)
    window.view().setSplitSpecial(word::wdPanePrimaryHeader);
  engine::seekStory(*doc, word::wdSeekCurrentPageHeader);
  EXPECT_EQ(window.panes().count(), 1);
  EXPECT_EQ(window.view().type(), word::wdPrintView);
  EXPECT_EQ(doc->selection().story()->type(), word::StoryType::Header);
  engine::seekStory(*doc, word::wdSeekMainDocument);
  EXPECT_EQ(doc->selection().story(), &doc->content());
  if (*c.savedView) {
    EXPECT_NE(word::serializeXml(*word::packageOf(*doc).xml("word/settings.xml"))
                  .find("<w:view w:val=\"print\"/>"),
              std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(Windows, SeekStory,
                         ::testing::Values(SeekCase{"", false}, SeekCase{"", true},
                                           SeekCase{"normal", false}, SeekCase{"outline", true},
                                           SeekCase{"web", false}));
